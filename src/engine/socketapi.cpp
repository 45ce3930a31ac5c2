#include "socketapi.h"

#include "idexceptions.h"
#include "tidantifreeze.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

// The system sorts the addresses by its preference (IPv6 first where it
// can be reached); that order is kept.
QStringList SystemResolve(const QString &host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found) != 0)
        return {};
    QStringList addresses;
    for (const addrinfo *entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6)
            continue;
        SocketApi::SocketAddress address;
        std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
        address.length = entry->ai_addrlen;
        const QString text = SocketApi::AddressText(address);
        if (!addresses.contains(text))
            addresses.append(text);
    }
    ::freeaddrinfo(found);
    return addresses;
}

// Numeric addresses only: getaddrinfo never asks a name server for these.
bool ParseNumeric(const QString &text, SocketApi::SocketAddress &address)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *found = nullptr;
    if (text.isEmpty() || ::getaddrinfo(text.toUtf8().constData(), nullptr, &hints, &found) != 0)
        return false;
    std::memcpy(&address.storage, found->ai_addr, found->ai_addrlen);
    address.length = found->ai_addrlen;
    ::freeaddrinfo(found);
    return true;
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

    void Finish(const QStringList &addresses)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_addresses = addresses;
        }
        const quint64 done = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_doneSignal, &done, sizeof done);
    }

    QStringList Addresses() const
    {
        const std::lock_guard lock(m_mutex);
        return m_addresses;
    }

private:
    const int m_doneSignal;
    mutable std::mutex m_mutex;
    QStringList m_addresses;
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

int CreateStreamSocket(int family)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw EIdSocketError(errno);
    return fd;
}

void CloseSocket(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

bool IsIPAddress(const QString &text)
{
    SocketAddress address;
    return ParseNumeric(text, address);
}

bool IsIPv6Address(const QString &text)
{
    SocketAddress address;
    return ParseNumeric(text, address) && address.Family() == AF_INET6;
}

void SetResolver(Resolver resolver)
{
    CurrentResolver() = resolver ? std::move(resolver) : Resolver(SystemResolve);
}

// The lookup blocks, so it runs on a thread of its own while this thread
// waits on its completion signal like on any socket, pumping in slices.
QStringList ResolveAddresses(const QString &host, int timeout, const KeepWaiting &keepWaiting)
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
    const QStringList addresses = lookup->Addresses();
    if (addresses.isEmpty())
        throw EIdException(u"Der Host-Name %1 konnte nicht aufgelöst werden."_s.arg(host));
    return addresses;
}

SocketAddress MakeAddress(const QString &ip, int port)
{
    SocketAddress address;
    if (ip.isEmpty()) {
        auto &any = reinterpret_cast<sockaddr_in &>(address.storage);
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        address.length = sizeof any;
    } else if (!ParseNumeric(ip, address)) {
        throw EIdSocketError(EINVAL);
    }
    if (address.Family() == AF_INET6)
        reinterpret_cast<sockaddr_in6 &>(address.storage).sin6_port = htons(quint16(port));
    else
        reinterpret_cast<sockaddr_in &>(address.storage).sin_port = htons(quint16(port));
    return address;
}

QString AddressText(const SocketAddress &address)
{
    char text[NI_MAXHOST] = {};
    if (address.length == 0 ||
        ::getnameinfo(address.Data(), address.length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
        return {};
    return QString::fromLatin1(text);
}

int AddressPort(const SocketAddress &address)
{
    switch (address.Family()) {
    case AF_INET6:
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address.storage).sin6_port);
    case AF_INET:
        return ntohs(reinterpret_cast<const sockaddr_in &>(address.storage).sin_port);
    default:
        return 0;
    }
}

namespace {

// getsockname or getpeername; an empty address when it fails.
SocketAddress QueriedAddress(int fd, int (*query)(int, sockaddr *, socklen_t *))
{
    SocketAddress address;
    address.length = sizeof address.storage;
    if (query(fd, reinterpret_cast<sockaddr *>(&address.storage), &address.length) != 0)
        address.length = 0;
    return address;
}

} // namespace

SocketAddress LocalAddress(int fd)
{
    return QueriedAddress(fd, ::getsockname);
}

SocketAddress PeerAddress(int fd)
{
    return QueriedAddress(fd, ::getpeername);
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
