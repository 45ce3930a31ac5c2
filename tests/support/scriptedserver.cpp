#include "scriptedserver.h"

#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kStepTimeout = 5000;

struct StepFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void CloseFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void WaitReadable(int fd, int timeout, const char *what)
{
    pollfd request{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&request, 1, timeout);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        throw StepFailed(std::string("time-out waiting for ") + what);
}

int ListenOnLoopback(int *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        int copy = fd;
        CloseFd(copy);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

int AcceptOne(int listening, const char *what)
{
    WaitReadable(listening, kStepTimeout, what);
    const int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        throw StepFailed(std::string("accept failed for ") + what);
    // Bound every blocking send, so a client that stops reading cannot hang us.
    timeval timeout{kStepTimeout / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    return fd;
}

void CloseWithReset(int &fd)
{
    const linger abortive{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    CloseFd(fd);
}

void SendAll(int fd, const QByteArray &bytes, const char *what)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t count = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (count <= 0 && errno == EINTR)
            continue;
        if (count <= 0)
            throw StepFailed(std::string("send failed on ") + what);
        sent += count;
    }
}

} // namespace

struct ScriptedServer::Impl {
    using Step = std::function<void(Impl &)>;

    QList<Step> steps;
    int drainTimeout = 2000;
    int listening = -1;
    int port = 0;
    int control = -1;
    int dataListening = -1;
    int data = -1;
    QByteArray controlBuffer;
    // Written by the server thread only; read after it has been joined.
    QList<QByteArray> commands;
    QByteArray received;
    QString failure;
    std::thread thread;

    ~Impl()
    {
        join();
        CloseFd(listening);
    }

    void join()
    {
        if (thread.joinable())
            thread.join();
    }

    void run()
    {
        try {
            control = AcceptOne(listening, "the client");
            for (const Step &step : steps)
                step(*this);
            drain();
        } catch (const StepFailed &error) {
            failure = QString::fromStdString(error.what());
        }
        CloseFd(data);
        CloseFd(dataListening);
        CloseFd(control);
    }

    // Reads one line; false when the client closed or nothing came in time.
    bool readLine(int timeout, QByteArray *line)
    {
        while (control >= 0) {
            const qsizetype end = controlBuffer.indexOf('\n');
            if (end >= 0) {
                *line = controlBuffer.left(end);
                if (line->endsWith('\r'))
                    line->chop(1);
                controlBuffer.remove(0, end + 1);
                return true;
            }
            pollfd request{control, POLLIN, 0};
            if (::poll(&request, 1, timeout) <= 0)
                return false;
            char chunk[4096];
            const ssize_t count = ::recv(control, chunk, sizeof chunk, 0);
            if (count <= 0)
                return false;
            controlBuffer.append(chunk, count);
        }
        return false;
    }

    void readCommand()
    {
        QByteArray line;
        if (!readLine(kStepTimeout, &line))
            throw StepFailed("no command arrived");
        commands.append(line);
    }

    void drain()
    {
        QByteArray line;
        while (readLine(drainTimeout, &line))
            commands.append(line);
    }

    void openPassive(const QByteArray &format)
    {
        readCommand();
        int dataPort = 0;
        // A port offered before and never used is given up.
        CloseFd(dataListening);
        dataListening = ListenOnLoopback(&dataPort);
        if (dataListening < 0)
            throw StepFailed("no data port");
        QByteArray line;
        if (commands.constLast().toUpper() == "EPSV") {
            line = "229 Entering Extended Passive Mode (|||" + QByteArray::number(dataPort) + "|)";
        } else {
            const QByteArray portFields =
                QByteArray::number(dataPort / 256) + ',' + QByteArray::number(dataPort % 256);
            line = format;
            line.replace("%1", "127,0,0,1," + portFields);
            line.replace("%2", portFields);
        }
        SendAll(control, line + "\r\n", "the control connection");
    }

    void connectToLastPort()
    {
        QByteArray portCommand;
        for (const QByteArray &line : std::as_const(commands)) {
            if (line.toUpper().startsWith("PORT "))
                portCommand = line.mid(5);
        }
        const QList<QByteArray> fields = portCommand.split(',');
        if (fields.size() != 6)
            throw StepFailed("no PORT command to connect to");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        const QByteArray host = fields[0] + '.' + fields[1] + '.' + fields[2] + '.' + fields[3];
        ::inet_pton(AF_INET, host.constData(), &address.sin_addr);
        address.sin_port = htons(quint16(fields[4].toInt() * 256 + fields[5].toInt()));
        data = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (data < 0 || ::connect(data, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            throw StepFailed("could not connect to the PORT address");
        timeval timeout{kStepTimeout / 1000, 0};
        ::setsockopt(data, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    }

    void echoCommand()
    {
        readCommand();
        SendAll(control, "200 " + commands.constLast() + "\r\n", "the control connection");
    }

    void sendUntilClosed(const QByteArray &bytes, qint64 atMost)
    {
        for (qint64 sent = 0; sent < atMost;) {
            const ssize_t count = ::send(data, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            sent += count;
        }
        CloseFd(data);
    }

    void receiveAll()
    {
        char chunk[65536];
        for (;;) {
            WaitReadable(data, kStepTimeout, "data");
            const ssize_t count = ::recv(data, chunk, sizeof chunk, 0);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                return;
            received.append(chunk, count);
        }
    }
};

ScriptedServer::ScriptedServer()
    : d(std::make_unique<Impl>())
{
}

ScriptedServer::~ScriptedServer() = default;

ScriptedServer &ScriptedServer::send(const QByteArray &bytes)
{
    d->steps.append([bytes](Impl &s) { SendAll(s.control, bytes, "the control connection"); });
    return *this;
}

ScriptedServer &ScriptedServer::reply(const QByteArray &line)
{
    return send(line + "\r\n");
}

ScriptedServer &ScriptedServer::command()
{
    d->steps.append([](Impl &s) { s.readCommand(); });
    return *this;
}

ScriptedServer &ScriptedServer::answer(const QByteArray &line)
{
    return command().reply(line);
}

ScriptedServer &ScriptedServer::echo()
{
    d->steps.append([](Impl &s) { s.echoCommand(); });
    return *this;
}

ScriptedServer &ScriptedServer::passive(const QByteArray &format)
{
    d->steps.append([format](Impl &s) { s.openPassive(format); });
    return *this;
}

ScriptedServer &ScriptedServer::acceptData()
{
    d->steps.append([](Impl &s) {
        s.data = AcceptOne(s.dataListening, "the data connection");
        CloseFd(s.dataListening);
    });
    return *this;
}

ScriptedServer &ScriptedServer::connectData()
{
    d->steps.append([](Impl &s) { s.connectToLastPort(); });
    return *this;
}

ScriptedServer &ScriptedServer::sendData(const QByteArray &bytes)
{
    d->steps.append([bytes](Impl &s) { SendAll(s.data, bytes, "the data connection"); });
    return *this;
}

ScriptedServer &ScriptedServer::receiveData()
{
    d->steps.append([](Impl &s) { s.receiveAll(); });
    return *this;
}

ScriptedServer &ScriptedServer::sendDataUntilClosed(const QByteArray &bytes, qint64 atMost)
{
    d->steps.append([bytes, atMost](Impl &s) { s.sendUntilClosed(bytes, atMost); });
    return *this;
}

ScriptedServer &ScriptedServer::closeData()
{
    d->steps.append([](Impl &s) { CloseFd(s.data); });
    return *this;
}

ScriptedServer &ScriptedServer::resetData()
{
    d->steps.append([](Impl &s) { CloseWithReset(s.data); });
    return *this;
}

ScriptedServer &ScriptedServer::closeControl()
{
    d->steps.append([](Impl &s) { CloseFd(s.control); });
    return *this;
}

ScriptedServer &ScriptedServer::resetControl()
{
    d->steps.append([](Impl &s) { CloseWithReset(s.control); });
    return *this;
}

ScriptedServer &ScriptedServer::pause(int milliseconds)
{
    d->steps.append(
        [milliseconds](Impl &) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); });
    return *this;
}

void ScriptedServer::setDrainTimeout(int milliseconds)
{
    d->drainTimeout = milliseconds;
}

bool ScriptedServer::start()
{
    d->listening = ListenOnLoopback(&d->port);
    if (d->listening < 0)
        return false;
    d->thread = std::thread([impl = d.get()] { impl->run(); });
    return true;
}

int ScriptedServer::port() const
{
    return d->port;
}

QStringList ScriptedServer::transcript()
{
    QStringList lines;
    for (const QByteArray &line : rawTranscript())
        lines.append(QString::fromUtf8(line));
    return lines;
}

QList<QByteArray> ScriptedServer::rawTranscript()
{
    d->join();
    return d->commands;
}

QByteArray ScriptedServer::receivedData()
{
    d->join();
    return d->received;
}

QString ScriptedServer::failure()
{
    d->join();
    return d->failure;
}
