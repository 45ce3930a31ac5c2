#pragma once

#include <QString>

#include <functional>

#include <netinet/in.h>

// Thin helpers over POSIX sockets shared by the connection classes and the
// TLS layer. Sockets are non-blocking; every wait goes through WaitFor so the
// user interface pump keeps running.
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

// A non-blocking, close-on-exec IPv4 stream socket. Throws EIdSocketError.
int CreateStreamSocket();
void CloseSocket(int fd);

bool IsDottedIPv4(const QString &text);
// Looks a host name up and may block while it does: the dotted IPv4
// address, or an empty text when the name has none.
using Resolver = std::function<QString(const QString &host)>;
// Replaces the system's resolver, for tests; an empty function restores it.
void SetResolver(Resolver resolver);
// The first IPv4 address of a host name. Throws EIdException when there is
// none or the lookup takes longer than timeout milliseconds.
QString ResolveIPv4(const QString &host, int timeout, const KeepWaiting &keepWaiting);
// An IPv4 address; an empty text means any address. Throws EIdSocketError (EINVAL).
sockaddr_in MakeAddress(const QString &ip, int port);
QString AddressText(const sockaddr_in &address);
int AddressPort(const sockaddr_in &address);

// The pending error of a socket (SO_ERROR), 0 when none.
int PendingError(int fd);

} // namespace SocketApi
