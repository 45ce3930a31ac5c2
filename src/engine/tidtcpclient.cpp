#include "tidtcpclient.h"

#include "idexceptions.h"
#include "socketapi.h"
#include "tidconnectionintercept.h"

#include <QScopeGuard>

#include <cerrno>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

void ConnectSocket(int fd, const sockaddr_in &peer, const SocketApi::KeepWaiting &keepWaiting)
{
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) == 0)
        return;
    if (errno != EINPROGRESS && errno != EINTR)
        throw EIdSocketError(errno);
    if (!SocketApi::WaitFor(fd, POLLOUT, -1, keepWaiting))
        throw EIdConnClosedGracefully();
    if (const int error = SocketApi::PendingError(fd))
        throw EIdSocketError(error);
}

} // namespace

bool TIdTCPClient::OpenConnection()
{
    if (m_socket.Allocated)
        return false;
    ResetConnection();
    try {
        m_socket.Handle = SocketApi::CreateStreamSocket();
        m_socket.Allocated = true;
        m_socket.IP = BoundIP;

        const sockaddr_in local = SocketApi::MakeAddress(BoundIP, 0);
        if (::bind(m_socket.Handle, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
            throw EIdSocketError(errno);

        // Connections always go directly to their host: nothing in the
        // program asks for a SOCKS route, and there is no SOCKS client.
        QString peerHost = Host;
        if (!SocketApi::IsDottedIPv4(peerHost)) {
            DoStatus(hsResolving, peerHost);
            peerHost =
                SocketApi::ResolveIPv4(peerHost, ResolveTimeout, [this] { return m_socket.Allocated; });
        }
        if (!UseNagle) {
            const int on = 1;
            ::setsockopt(m_socket.Handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
        m_socket.PeerIP = peerHost;
        m_socket.PeerPort = Port;
        DoStatus(hsConnecting, peerHost);
        ConnectSocket(m_socket.Handle, SocketApi::MakeAddress(peerHost, Port),
                      [this] { return m_socket.Allocated; });
        m_socket.UpdateBindingLocal();
        m_socket.UpdateBindingPeer();
    } catch (...) {
        try {
            CloseConnection();
        } catch (...) {
        }
        return false;
    }

    // The TLS handshake runs here; its failure goes to the caller.
    if (TIdConnectionIntercept *intercept = ActiveIntercept())
        intercept->Connect(m_socket);
    DoStatus(hsConnected, m_socket.PeerIP);
    if (OnConnected)
        OnConnected(this);
    SetActivity(1);
    return true;
}

QString TIdTCPClient::OpenReadAllClose()
{
    if (!OpenConnection())
        return QString();
    const auto close = qScopeGuard([this] { CloseConnection(); });
    return ReadAll();
}
