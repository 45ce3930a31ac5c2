#include "tidsockethandle.h"

#include "socketapi.h"

TIdSocketHandle::~TIdSocketHandle()
{
    SocketApi::CloseSocket(Handle);
}

void TIdSocketHandle::Reset(bool resetLocal)
{
    Allocated = false;
    Handle = -1;
    PeerIP.clear();
    PeerPort = 0;
    if (resetLocal) {
        IP.clear();
        Port = 0;
    }
}

void TIdSocketHandle::UpdateBindingLocal()
{
    const SocketApi::SocketAddress address = SocketApi::LocalAddress(Handle);
    if (address.length > 0) {
        IP = SocketApi::AddressText(address);
        Port = SocketApi::AddressPort(address);
    }
}

void TIdSocketHandle::UpdateBindingPeer()
{
    const SocketApi::SocketAddress address = SocketApi::PeerAddress(Handle);
    if (address.length > 0) {
        PeerIP = SocketApi::AddressText(address);
        PeerPort = SocketApi::AddressPort(address);
    }
}
