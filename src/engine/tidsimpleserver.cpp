#include "tidsimpleserver.h"

#include "idexceptions.h"
#include "socketapi.h"

#include <cerrno>

#include <poll.h>
#include <sys/socket.h>

TIdSimpleServer::~TIdSimpleServer()
{
    CloseListeningSocket();
}

void TIdSimpleServer::BeginListen()
{
    ResetConnection();
    if (!m_listening.Allocated)
        BindListeningSocket();
    if (::listen(m_listening.Handle, 1) != 0)
        throw EIdSocketError(errno);
}

void TIdSimpleServer::BindListeningSocket()
{
    const SocketApi::SocketAddress local = SocketApi::MakeAddress(BoundIP, BoundPort);
    m_listening.Handle = SocketApi::CreateStreamSocket(local.Family());
    m_listening.Allocated = true;
    m_listening.IP = BoundIP;
    m_listening.Port = BoundPort;
    try {
        if (::bind(m_listening.Handle, local.Data(), local.length) != 0) {
            if (errno == EADDRINUSE)
                throw EIdCouldNotBindSocket();
            throw EIdSocketError(errno);
        }
        m_listening.UpdateBindingLocal();
    } catch (...) {
        CloseListeningSocket();
        throw;
    }
}

bool TIdSimpleServer::AcceptConnection()
{
    if (!m_listening.Allocated)
        BeginListen();
    const auto keepWaiting = [this] {
        return m_listening.Allocated && !m_abortRequested && !(StopWaiting && StopWaiting());
    };
    // Try first, wait after: a server that connects and then answers at
    // once must not look like one that answered instead of connecting.
    int accepted = -1;
    for (;;) {
        // Closed from outside while waiting (the session's Abort).
        if (!m_listening.Allocated)
            throw EIdConnClosedGracefully();
        accepted = ::accept4(m_listening.Handle, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (accepted >= 0)
            break;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
            throw EIdSocketError(errno);
        if (!keepWaiting())
            break;
        SocketApi::WaitFor(m_listening.Handle, POLLIN, -1, keepWaiting);
    }
    CloseListeningSocket();
    if (accepted < 0)
        return false;
    m_socket.Handle = accepted;
    m_socket.Allocated = true;
    m_socket.UpdateBindingLocal();
    m_socket.UpdateBindingPeer();
    return true;
}

void TIdSimpleServer::CloseConnection()
{
    CloseListeningSocket();
    TIdTCPConnection::CloseConnection();
}

void TIdSimpleServer::CloseListeningSocket()
{
    SocketApi::CloseSocket(m_listening.Handle);
    m_listening.Reset(true);
}
