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

QString FailureText(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const EIdException &error) {
        return error.Message();
    } catch (const std::exception &error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return {};
    }
}

} // namespace

bool TIdTCPClient::OpenConnection()
{
    if (m_socket.Allocated)
        return false;
    ResetConnection();
    ConnectError.clear();
    try {
        // Allocated before there is a socket, so that closing the connection
        // from an event the wait runs ends the host name lookup too.
        m_socket.Allocated = true;
        m_socket.IP = BoundIP;
        // Until an address is tried, the status texts name the host.
        m_socket.PeerIP = Host;
        ConnectToFirstAnswering(PeerAddresses());
    } catch (...) {
        ConnectError = FailureText(std::current_exception());
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

// Connections always go directly to their host: nothing in the program asks
// for a SOCKS route, and there is no SOCKS client.
QStringList TIdTCPClient::PeerAddresses()
{
    if (SocketApi::IsIPAddress(Host))
        return {Host};
    DoStatus(hsResolving, Host);
    return SocketApi::ResolveAddresses(Host, ResolveTimeout, [this] { return m_socket.Allocated; });
}

// A host name may stand for IPv6 and IPv4 addresses, of which some cannot be
// reached from here. Each is tried in turn; one that does not answer within
// the Timeout gives way to the next, and the last one gets the system's time.
void TIdTCPClient::ConnectToFirstAnswering(const QStringList &addresses)
{
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        const bool last = i == addresses.size() - 1;
        try {
            ConnectTo(addresses[i], last ? -1 : ResolveTimeout);
            return;
        } catch (const EIdConnClosedGracefully &) {
            throw; // closed from outside while waiting
        } catch (const EIdException &) {
            if (last)
                throw;
        }
    }
}

void TIdTCPClient::ConnectTo(const QString &address, int timeout)
{
    const SocketApi::SocketAddress peer = SocketApi::MakeAddress(address, Port);
    SocketApi::CloseSocket(m_socket.Handle);
    m_socket.Handle = -1;
    m_socket.Handle = SocketApi::CreateStreamSocket(peer.Family());
    if (!BoundIP.isEmpty()) {
        const SocketApi::SocketAddress local = SocketApi::MakeAddress(BoundIP, 0);
        if (::bind(m_socket.Handle, local.Data(), local.length) != 0)
            throw EIdSocketError(errno);
    }
    if (!UseNagle) {
        const int on = 1;
        ::setsockopt(m_socket.Handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    m_socket.PeerIP = address;
    m_socket.PeerPort = Port;
    DoStatus(hsConnecting, address);

    if (::connect(m_socket.Handle, peer.Data(), peer.length) != 0) {
        if (errno != EINPROGRESS && errno != EINTR)
            throw EIdSocketError(errno);
        const bool ready =
            SocketApi::WaitFor(m_socket.Handle, POLLOUT, timeout, [this] { return m_socket.Allocated; });
        if (!m_socket.Allocated)
            throw EIdConnClosedGracefully();
        if (!ready)
            throw EIdSocketError(ETIMEDOUT);
        if (const int error = SocketApi::PendingError(m_socket.Handle))
            throw EIdSocketError(error);
    }
    m_socket.UpdateBindingLocal();
    m_socket.UpdateBindingPeer();
}

QString TIdTCPClient::OpenReadAllClose()
{
    if (!OpenConnection())
        return QString();
    const auto close = qScopeGuard([this] { CloseConnection(); });
    return ReadAll();
}
