#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include <sys/socket.h>

// Thin helpers over POSIX sockets shared by the connection classes and the
// TLS layer. Sockets are non-blocking; every wait goes through WaitFor so the
// user interface pump keeps running. Addresses are IPv4 or IPv6.
namespace SocketApi {

// Asked after every run of the pump; false ends the wait (the socket was
// closed meanwhile, or the caller gave up).
using KeepWaiting = std::function<bool()>;

// Waits until the socket is ready for the poll events, at most timeout
// milliseconds (negative: no limit). The wait is cut into slices so that the
// pump runs at least every TIdAntiFreeze::WaitSlice() and keepWaiting is
// asked at least every TIdAntiFreeze::kMaxWaitSlice. Returns whether the
// socket became ready; false after the time-out or when keepWaiting said no.
bool WaitFor(int fd, short events, int timeout, const KeepWaiting &keepWaiting);

// An IPv4 or IPv6 socket address.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    int Family() const { return storage.ss_family; }
    const sockaddr *Data() const { return reinterpret_cast<const sockaddr *>(&storage); }
};

// A non-blocking, close-on-exec stream socket of the family (AF_INET or
// AF_INET6). Throws EIdSocketError.
int CreateStreamSocket(int family);
void CloseSocket(int fd);

// A numeric address: dotted IPv4, or IPv6 (with a zone such as "%eth0").
bool IsIPAddress(const QString &text);
bool IsIPv6Address(const QString &text);

// Looks a host name up and may block while it does: its addresses, IPv6
// and IPv4 in the order they should be tried; empty when it has none.
using Resolver = std::function<QStringList(const QString &host)>;
// Replaces the system's resolver, for tests; an empty function restores it.
void SetResolver(Resolver resolver);
// The addresses of a host name. Throws EIdException when there is none or
// the lookup takes longer than timeout milliseconds.
QStringList ResolveAddresses(const QString &host, int timeout, const KeepWaiting &keepWaiting);

// A numeric address and a port; an empty address means any IPv4 address.
// Throws EIdSocketError (EINVAL) for anything else.
SocketAddress MakeAddress(const QString &ip, int port);
QString AddressText(const SocketAddress &address);
int AddressPort(const SocketAddress &address);
// The local and the peer address of a socket; empty when it has none.
SocketAddress LocalAddress(int fd);
SocketAddress PeerAddress(int fd);

// The pending error of a socket (SO_ERROR), 0 when none.
int PendingError(int fd);

} // namespace SocketApi
