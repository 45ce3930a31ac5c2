#include "socketapi.h"

#include "idexceptions.h"
#include "tidantifreeze.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace SocketApi {

bool WaitFor(int fd, short events, int timeout, const KeepWaiting &keepWaiting)
{
    const QDeadlineTimer deadline =
        timeout < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeout);
    for (;;) {
        // Without a pump the slices still end now and then, so that
        // keepWaiting is asked.
        const int sliceEnd =
            TIdAntiFreeze::IsActive() ? TIdAntiFreeze::MillisecondsUntilDue() : TIdAntiFreeze::kMaxWaitSlice;
        const int slice =
            deadline.isForever() ? sliceEnd : int(std::clamp<qint64>(deadline.remainingTime(), 0, sliceEnd));
        pollfd request{fd, events, 0};
        const int ready = ::poll(&request, 1, slice);
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            throw EIdSocketError(errno);
        // An idle slice: let the user interface work. What runs there may close
        // this very socket, so ask before touching it again.
        TIdAntiFreeze::DoProcessThrottled();
        if (!keepWaiting())
            return false;
        if (deadline.hasExpired())
            return false;
    }
}

int CreateStreamSocket()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw EIdSocketError(errno);
    return fd;
}

void CloseSocket(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

bool IsDottedIPv4(const QString &text)
{
    in_addr address{};
    return ::inet_pton(AF_INET, text.toLatin1().constData(), &address) == 1;
}

QString ResolveIPv4(const QString &host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int result = ::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found);
    if (result != 0 || !found)
        throw EIdException(u"Der Host-Name %1 konnte nicht aufgelöst werden."_s.arg(host));
    const sockaddr_in address = *reinterpret_cast<const sockaddr_in *>(found->ai_addr);
    ::freeaddrinfo(found);
    return AddressText(address);
}

sockaddr_in MakeAddress(const QString &ip, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    if (ip.isEmpty())
        address.sin_addr.s_addr = htonl(INADDR_ANY);
    else if (::inet_pton(AF_INET, ip.toLatin1().constData(), &address.sin_addr) != 1)
        throw EIdSocketError(EINVAL);
    return address;
}

QString AddressText(const sockaddr_in &address)
{
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

int AddressPort(const sockaddr_in &address)
{
    return ntohs(address.sin_port);
}

int PendingError(int fd)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

} // namespace SocketApi
