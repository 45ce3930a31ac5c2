#include "tidsockethandle.h"

#include "socketapi.h"

#include <sys/socket.h>

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
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(Handle, reinterpret_cast<sockaddr *>(&address), &length) == 0) {
        IP = SocketApi::AddressText(address);
        Port = SocketApi::AddressPort(address);
    }
}

void TIdSocketHandle::UpdateBindingPeer()
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getpeername(Handle, reinterpret_cast<sockaddr *>(&address), &length) == 0) {
        PeerIP = SocketApi::AddressText(address);
        PeerPort = SocketApi::AddressPort(address);
    }
}
