#include "serverprocess.h"

#include <QDir>
#include <QFile>
#include <QMultiHash>
#include <QSet>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The inode of the socket listening on 127.0.0.1:port or [::1]:port, from
// the kernel's tables.
QByteArray listeningSocketInode(int port)
{
    const QByteArray portField = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    const std::pair<const char *, QByteArray> tables[] = {
        {"/proc/net/tcp", "0100007F" + portField},
        {"/proc/net/tcp6", "00000000000000000000000001000000" + portField},
    };
    const QByteArray listenState = "0A";
    for (const auto &[path, localAddress] : tables) {
        QFile table(QString::fromLatin1(path));
        if (!table.open(QIODevice::ReadOnly))
            continue;
        table.readLine(); // column titles
        while (!table.atEnd()) {
            const QList<QByteArray> fields = table.readLine().simplified().split(' ');
            if (fields.size() > 9 && fields[1] == localAddress && fields[3] == listenState)
                return fields[9];
        }
    }
    return {};
}

QSet<QString> openSocketsOf(qint64 pid)
{
    QSet<QString> sockets;
    const QDir descriptors(u"/proc/%1/fd"_s.arg(pid));
    for (const QString &name :
         descriptors.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)) {
        const QString target = QFile::symLinkTarget(descriptors.filePath(name));
        if (target.contains(u"socket:["_s))
            sockets.insert(target.section(u'/', -1));
    }
    return sockets;
}

qint64 parentOf(const QString &pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // "pid (name) state ppid ...", where the name itself may hold spaces and parentheses.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : 0;
}

// Every process below root; sessions that started a session of their own too.
QList<qint64> descendantsOf(qint64 root)
{
    QMultiHash<qint64, qint64> children;
    const QStringList pids = QDir(u"/proc"_s).entryList({u"[0-9]*"_s}, QDir::Dirs);
    for (const QString &pid : pids)
        children.insert(parentOf(pid), pid.toLongLong());
    QList<qint64> found = children.values(root);
    for (qsizetype i = 0; i < found.size(); ++i)
        found += children.values(found[i]);
    return found;
}

} // namespace

ServerProcess::~ServerProcess()
{
    kill();
}

bool ServerProcess::start(const QString &program, const QStringList &arguments, const QString &logFile,
                          Output output, QString *error)
{
    kill();
    m_process.setProgram(program);
    m_process.setArguments(arguments);
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(logFile, QIODevice::Append);
    if (output == Output::Log)
        m_process.setStandardOutputFile(logFile, QIODevice::Append);
    m_process.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_process.start();
    if (!m_process.waitForStarted()) {
        if (error)
            *error = u"%1 did not start: %2"_s.arg(program, m_process.errorString());
        return false;
    }
    m_group = m_process.processId();
    return true;
}

bool ServerProcess::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

QByteArray ServerProcess::readLine(const QDeadlineTimer &deadline)
{
    while (!m_process.canReadLine()) {
        if (!isRunning() || deadline.hasExpired())
            return {};
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return m_process.readLine().trimmed();
}

bool ServerProcess::waitForExit(int milliseconds)
{
    return !isRunning() || m_process.waitForFinished(milliseconds);
}

bool ServerProcess::listensOn(int port) const
{
    if (!isRunning())
        return false;
    const QByteArray inode = listeningSocketInode(port);
    return !inode.isEmpty() &&
           openSocketsOf(m_process.processId()).contains(u"socket:[%1]"_s.arg(QLatin1StringView(inode)));
}

bool ServerProcess::waitUntilListening(int port, const QDeadlineTimer &deadline)
{
    constexpr int kPollMs = 5;
    while (!deadline.hasExpired()) {
        if (listensOn(port))
            return true;
        if (waitForExit(kPollMs))
            return false;
    }
    return false;
}

void ServerProcess::killChildren()
{
    if (isRunning())
        for (const qint64 pid : descendantsOf(m_process.processId()))
            ::kill(pid_t(pid), SIGKILL);
}

void ServerProcess::kill()
{
    if (m_group > 0) {
        // vsftpd's sessions run in sessions of their own, outside the group.
        killChildren();
        ::kill(pid_t(-m_group), SIGKILL);
    }
    m_group = 0;
    if (m_process.state() != QProcess::NotRunning)
        m_process.waitForFinished(5000);
}
