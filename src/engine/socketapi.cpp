#include "socketapi.h"

#include "idexceptions.h"
#include "tidantifreeze.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString SystemResolve(const QString &host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found) != 0 || !found)
        return {};
    const sockaddr_in address = *reinterpret_cast<const sockaddr_in *>(found->ai_addr);
    ::freeaddrinfo(found);
    return SocketApi::AddressText(address);
}

SocketApi::Resolver &CurrentResolver()
{
    static SocketApi::Resolver resolver = SystemResolve;
    return resolver;
}

// One host name lookup, shared by the waiting thread and the thread that
// looks up. The lookup may outlive the wait (it took too long); whoever lets
// go last closes the completion signal.
class Lookup {
public:
    Lookup()
        : m_doneSignal(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
    }
    ~Lookup() { SocketApi::CloseSocket(m_doneSignal); }
    Lookup(const Lookup &) = delete;
    Lookup &operator=(const Lookup &) = delete;

    bool IsReady() const { return m_doneSignal >= 0; }
    int DoneSignal() const { return m_doneSignal; }

    void Finish(const QString &address)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_address = address;
        }
        const quint64 done = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_doneSignal, &done, sizeof done);
    }

    QString Address() const
    {
        const std::lock_guard lock(m_mutex);
        return m_address;
    }

private:
    const int m_doneSignal;
    mutable std::mutex m_mutex;
    QString m_address;
};

} // namespace

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

void SetResolver(Resolver resolver)
{
    CurrentResolver() = resolver ? std::move(resolver) : Resolver(SystemResolve);
}

// The lookup blocks, so it runs on a thread of its own while this thread
// waits on its completion signal like on any socket, pumping in slices.
QString ResolveIPv4(const QString &host, int timeout, const KeepWaiting &keepWaiting)
{
    auto lookup = std::make_shared<Lookup>();
    if (!lookup->IsReady())
        throw EIdSocketError(errno);
    std::thread([lookup, resolve = CurrentResolver(), host] { lookup->Finish(resolve(host)); }).detach();
    if (!WaitFor(lookup->DoneSignal(), POLLIN, timeout, keepWaiting)) {
        if (!keepWaiting())
            throw EIdConnClosedGracefully();
        throw EIdException(u"Der Host-Name %1 konnte nicht rechtzeitig aufgelöst werden."_s.arg(host));
    }
    const QString address = lookup->Address();
    if (address.isEmpty())
        throw EIdException(u"Der Host-Name %1 konnte nicht aufgelöst werden."_s.arg(host));
    return address;
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
