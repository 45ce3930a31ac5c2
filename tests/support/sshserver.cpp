#include "sshserver.h"

#include "freeport.h"
#include "serverprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kSshd = u"/usr/sbin/sshd"_s;
const QString kKeygen = u"/usr/bin/ssh-keygen"_s;
const QString kAgent = u"/usr/bin/ssh-agent"_s;
const QString kSshAdd = u"/usr/bin/ssh-add"_s;
const QString kUser = u"glimra-sftp"_s;
const QString kPassword = u"Sftp-Test-Passwort-7"_s;
const QString kKeyPassphrase = u"Schlüssel-Passphrase"_s;
constexpr int kStartTimeoutMs = 10000;
constexpr int kPortAttempts = 5;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Runs a helper program to its end; its output on failure goes to error.
bool run(const QString &program, const QStringList &arguments, QString *error, const QByteArray &input = {},
         const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (process.waitForFinished(kStartTimeoutMs) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return true;
    setError(error, u"%1 %2 failed: %3"_s.arg(program, arguments.join(u' '),
                                              QString::fromLocal8Bit(process.readAll())));
    return false;
}

// The test user: a system account without a shell login, given the known
// password on every run (a machine may have changed it).
bool ensureUser(QString *error)
{
    if (!::getpwnam(kUser.toLocal8Bit().constData()) &&
        !run(u"/usr/sbin/useradd"_s,
             {u"--system"_s, u"--no-create-home"_s, u"--home-dir"_s, u"/nonexistent"_s, u"--shell"_s,
              u"/usr/sbin/nologin"_s, kUser},
             error))
        return false;
    return run(u"/usr/sbin/chpasswd"_s, {}, error, (kUser + u':' + kPassword + u'\n').toUtf8());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

} // namespace

SshServer::SshServer()
    : SshServer(Options{})
{
}

SshServer::SshServer(const Options &options)
    : m_options(options)
{
}

SshServer::~SshServer()
{
    stop();
}

bool SshServer::isAvailable(QString *why)
{
    if (!QFileInfo(kSshd).isExecutable() || !QFileInfo(kKeygen).isExecutable()) {
        setError(why, u"OpenSSH's sshd or ssh-keygen is not installed (openssh-server, openssh-client)"_s);
        return false;
    }
    if (::geteuid() != 0) {
        setError(why, u"sshd logs users in only when started as root"_s);
        return false;
    }
    return true;
}

QString SshServer::user() const
{
    return kUser;
}

QString SshServer::password() const
{
    return kPassword;
}

QString SshServer::keyPassphrase() const
{
    return kKeyPassphrase;
}

QString SshServer::path(const QString &name) const
{
    return m_dir ? m_dir->filePath(name) : QString();
}

QString SshServer::rootDir() const
{
    return path(u"root"_s);
}

QString SshServer::keyFile() const
{
    return path(u"client_key"_s);
}

QString SshServer::agentKeyFile() const
{
    return path(u"agent_key"_s);
}

bool SshServer::handToUser(const QString &file) const
{
    const passwd *account = ::getpwnam(kUser.toLocal8Bit().constData());
    return account && ::lchown(QFile::encodeName(file).constData(), account->pw_uid, account->pw_gid) == 0;
}

bool SshServer::prepare(QString *error)
{
    if (m_prepared)
        return true;
    if (!isAvailable(error) || !ensureUser(error))
        return false;
    m_dir = std::make_unique<QTemporaryDir>();
    // The user must pass through the run's folder to its own.
    if (!m_dir->isValid() ||
        !QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                                  QFileDevice::ExeOther) ||
        !QDir().mkpath(rootDir()) || !handToUser(rootDir())) {
        setError(error, u"cannot prepare the server's folders"_s);
        return false;
    }
    // The folder for privilege separation, as the package's service makes it.
    QDir().mkpath(u"/run/sshd"_s);
    if (!makeHostKey(error) ||
        !run(kKeygen, {u"-q"_s, u"-t"_s, u"ed25519"_s, u"-N"_s, kKeyPassphrase, u"-f"_s, keyFile()}, error) ||
        !run(kKeygen, {u"-q"_s, u"-t"_s, u"ed25519"_s, u"-N"_s, QString(), u"-f"_s, agentKeyFile()}, error))
        return false;
    const QByteArray authorized = readFile(keyFile() + u".pub"_s) + readFile(agentKeyFile() + u".pub"_s);
    if (!writeFile(path(u"authorized_keys"_s), authorized)) {
        setError(error, u"cannot write authorized_keys"_s);
        return false;
    }
    m_prepared = true;
    return true;
}

bool SshServer::makeHostKey(QString *error)
{
    const QString key = path(u"host_ed25519"_s);
    QFile::remove(key);
    QFile::remove(key + u".pub"_s);
    return run(kKeygen, {u"-q"_s, u"-t"_s, u"ed25519"_s, u"-N"_s, QString(), u"-f"_s, key}, error);
}

bool SshServer::start(QString *error)
{
    if (!prepare(error))
        return false;
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        bool portTaken = false;
        if (launch(FreeLocalPort(), error, &portTaken))
            return true;
        if (!portTaken)
            return false;
    }
    return false;
}

bool SshServer::launch(int port, QString *error, bool *portTaken)
{
    const QString config = path(u"sshd_config"_s);
    const QString sftp = u"internal-sftp -u 022 -d "_s + rootDir();
    QStringList lines{
        u"Port %1"_s.arg(port),
        u"ListenAddress 127.0.0.1"_s,
        u"HostKey "_s + path(u"host_ed25519"_s),
        u"PidFile none"_s,
        m_options.keyboardInteractiveOnly ? u"UsePAM yes"_s : u"UsePAM no"_s,
        u"PermitRootLogin no"_s,
        u"AllowUsers "_s + kUser,
        m_options.keyboardInteractiveOnly ? u"PasswordAuthentication no"_s : u"PasswordAuthentication yes"_s,
        m_options.keyboardInteractiveOnly ? u"KbdInteractiveAuthentication yes"_s
                                          : u"KbdInteractiveAuthentication no"_s,
        u"PubkeyAuthentication yes"_s,
        u"AuthorizedKeysFile "_s + path(u"authorized_keys"_s),
        u"StrictModes no"_s,
        u"MaxStartups 50"_s,
        u"MaxAuthTries 10"_s,
        u"LogLevel DEBUG1"_s,
        u"Subsystem sftp "_s + sftp,
        u"ForceCommand "_s + sftp,
    };
    if (m_options.maxSessions > 0)
        lines << u"MaxSessions %1"_s.arg(m_options.maxSessions);
    if (!writeFile(config, lines.join(u'\n').toUtf8() + '\n')) {
        setError(error, u"cannot write the sshd config"_s);
        return false;
    }
    m_process = std::make_unique<ServerProcess>();
    m_logOffset = 0;
    QFile::remove(path(u"sshd.log"_s));
    if (!m_process->start(kSshd, {u"-D"_s, u"-e"_s, u"-f"_s, config}, path(u"sshd.log"_s),
                          ServerProcess::Output::Log, error))
        return false;
    if (m_process->waitUntilListening(port, QDeadlineTimer(kStartTimeoutMs))) {
        m_port = port;
        return true;
    }
    const QString log = QString::fromLocal8Bit(readFile(path(u"sshd.log"_s)));
    *portTaken = log.contains(u"Address already in use"_s);
    setError(error, u"sshd did not come up: %1"_s.arg(log.right(2000)));
    m_process.reset();
    return false;
}

void SshServer::stop()
{
    if (m_process)
        m_process->kill();
    m_process.reset();
}

void SshServer::cutConnections()
{
    if (m_process)
        m_process->killChildren();
}

bool SshServer::changeHostKey(QString *error)
{
    stop();
    if (!makeHostKey(error))
        return false;
    // The port was just ours; another program rarely takes it in between.
    bool portTaken = false;
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        if (launch(m_port, error, &portTaken))
            return true;
        if (!portTaken)
            return false;
        QThread::msleep(200);
    }
    return false;
}

QString SshServer::hostKeyType() const
{
    return QString::fromLatin1(readFile(path(u"host_ed25519.pub"_s)).split(' ').value(0));
}

QString SshServer::hostKeyFingerprint() const
{
    QProcess keygen;
    keygen.start(kKeygen, {u"-l"_s, u"-E"_s, u"sha256"_s, u"-f"_s, path(u"host_ed25519.pub"_s)});
    keygen.waitForFinished(kStartTimeoutMs);
    return QString::fromLatin1(keygen.readAllStandardOutput()).section(u' ', 1, 1);
}

QByteArray SshServer::knownHostsLine() const
{
    const QList<QByteArray> key = readFile(path(u"host_ed25519.pub"_s)).split(' ');
    return "[127.0.0.1]:" + QByteArray::number(m_port) + ' ' + key.value(0) + ' ' + key.value(1).trimmed() +
           '\n';
}

QString SshServer::log() const
{
    return QString::fromLocal8Bit(readFile(path(u"sshd.log"_s)).mid(m_logOffset));
}

void SshServer::clearLog()
{
    m_logOffset = QFileInfo(path(u"sshd.log"_s)).size();
}

bool SshServer::addFile(const QString &relativePath, const QByteArray &content)
{
    const QString file = rootDir() + u'/' + relativePath;
    const QString folder = QFileInfo(relativePath).path();
    return (folder == u"."_s || addFolder(folder)) && writeFile(file, content) && handToUser(file);
}

bool SshServer::addFolder(const QString &relativePath)
{
    QString walked = rootDir();
    for (const QString &part : relativePath.split(u'/', Qt::SkipEmptyParts)) {
        walked += u'/' + part;
        if (!QDir().mkpath(walked) || !handToUser(walked))
            return false;
    }
    return true;
}

bool SshServer::addLink(const QString &relativePath, const QString &target)
{
    const QString link = rootDir() + u'/' + relativePath;
    return QFile::link(target, link) && handToUser(link);
}

// --- the agent -------------------------------------------------------------

SshAgent::SshAgent() = default;
SshAgent::~SshAgent() = default;

QString SshAgent::socket() const
{
    return m_dir ? m_dir->filePath(u"agent.sock"_s) : QString();
}

bool SshAgent::start(const QString &keyFile, QString *error)
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_process = std::make_unique<ServerProcess>();
    if (!m_dir->isValid() ||
        !m_process->start(kAgent, {u"-D"_s, u"-a"_s, socket()}, m_dir->filePath(u"agent.log"_s),
                          ServerProcess::Output::Log, error))
        return false;
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!QFileInfo::exists(socket()) && !deadline.hasExpired())
        QThread::msleep(20);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"SSH_AUTH_SOCK"_s, socket());
    return run(kSshAdd, {u"-q"_s, keyFile}, error, {}, environment);
}
