#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

// A server running as a child process in a process group of its own. kill()
// and the destructor end the whole group (servers that fork per session leave
// nothing behind), and the kernel kills the server should the test process die
// without cleaning up.
class ServerProcess {
public:
    enum class Output { Pipe, Log };

    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    // stderr always goes to logFile; stdout too unless it is read with readLine().
    bool start(const QString &program, const QStringList &arguments, const QString &logFile, Output output,
               QString *error);
    bool isRunning() const;
    // One line from stdout without its line end; empty when none came in time.
    QByteArray readLine(const QDeadlineTimer &deadline);
    // Waits up to the given time for the process to end; true if it did.
    bool waitForExit(int milliseconds);
    // Whether the process itself holds the socket listening on 127.0.0.1:port
    // or [::1]:port.
    bool listensOn(int port) const;
    // Polls until the process listens on the port; false when it ended or
    // the deadline passed first.
    bool waitUntilListening(int port, const QDeadlineTimer &deadline);
    void kill();
    // Ends every process the server started (the sessions of its clients),
    // the server itself goes on listening.
    void killChildren();

private:
    QProcess m_process;
    qint64 m_group = 0;
};
