#include "realftpserver.h"

#include "freeport.h"
#include "selfsignedcertificate.h"
#include "serverprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kStartTimeoutMs = 15000;
constexpr int kPortAttempts = 5;

const QString kPython = u"/usr/bin/python3"_s;
const QString kVsftpd = u"/usr/sbin/vsftpd"_s;
// vsftpd logs in this user; pure-ftpd's virtual user runs as it.
const QString kServerUser = u"ftp"_s;
const QString kPamService = u"runuser"_s;
const QString kDpkgDeb = u"/usr/bin/dpkg-deb"_s;
const QString kOpenssl = u"/usr/bin/openssl"_s;

QString pyftpdScript()
{
    return QStringLiteral(GLIMRA_SUPPORT_DIR "/pyftpd_server.py");
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString lastLines(const QString &text, int count)
{
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    return lines.mid(qMax(0, lines.size() - count)).join(u'\n');
}

// A package file scripts/install-deps.sh downloaded, or empty.
QString cachedPackage(const QString &name)
{
    const QDir cache(QStringLiteral(GLIMRA_DEB_CACHE_DIR));
    const QStringList packages = cache.entryList({name + u"_*.deb"_s}, QDir::Files, QDir::Name);
    return packages.isEmpty() ? QString() : cache.filePath(packages.last());
}

QString pureFtpdPackage()
{
    return cachedPackage(u"pure-ftpd"_s);
}

// ProFTPD's server and its TLS module come in two packages.
QStringList proFtpdPackages()
{
    QStringList packages;
    for (const QString &name : {u"proftpd-core"_s, u"proftpd-mod-crypto"_s}) {
        const QString package = cachedPackage(name);
        if (package.isEmpty())
            return {};
        packages.append(package);
    }
    return packages;
}

// Runs a helper program to its end; its output, or nothing when it failed.
std::optional<QByteArray> runTool(const QString &program, const QStringList &arguments, QString *error)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        setError(error,
                 u"%1 failed: %2"_s.arg(program, QString::fromLocal8Bit(process.readAllStandardError())));
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

// Root, and the "ftp" user the server runs its logins as.
bool canChangeToServerUser(const QString &server, QString *why)
{
    if (::geteuid() != 0) {
        setError(why, u"%1 changes to its login user only when started as root"_s.arg(server));
        return false;
    }
    if (!::getpwnam(kServerUser.toLocal8Bit().constData())) {
        setError(why, u"there is no user \"%1\" for %2's logins"_s.arg(kServerUser, server));
        return false;
    }
    return true;
}

} // namespace

RealFtpServer::RealFtpServer(const Options &options)
    : m_options(options)
{
    prepareFolders(&m_setupError);
}

RealFtpServer::~RealFtpServer()
{
    stop();
}

bool RealFtpServer::isAvailable(Kind kind, QString *why)
{
    switch (kind) {
    case Kind::Pyftpdlib:
        if (QFileInfo(kPython).isExecutable())
            return true;
        setError(why, u"%1 is missing"_s.arg(kPython));
        return false;
    case Kind::Vsftpd: {
        if (!QFileInfo(kVsftpd).isExecutable()) {
            setError(why, u"vsftpd is not installed"_s);
            return false;
        }
        if (!canChangeToServerUser(u"vsftpd"_s, why))
            return false;
        QFile pamService(u"/etc/pam.d/"_s + kPamService);
        if (!pamService.open(QIODevice::ReadOnly) || !pamService.readAll().contains("pam_rootok")) {
            setError(why, u"the PAM service \"%1\" with pam_rootok is missing"_s.arg(kPamService));
            return false;
        }
        return true;
    }
    case Kind::PureFtpd:
        if (pureFtpdPackage().isEmpty()) {
            setError(why, u"no pure-ftpd package in %1 (scripts/install-deps.sh downloads it)"_s.arg(
                              QStringLiteral(GLIMRA_DEB_CACHE_DIR)));
            return false;
        }
        if (!QFileInfo(kDpkgDeb).isExecutable() || !QFileInfo(kOpenssl).isExecutable()) {
            setError(why, u"dpkg-deb or openssl is missing"_s);
            return false;
        }
        return canChangeToServerUser(u"pure-ftpd"_s, why);
    case Kind::ProFtpd:
        if (proFtpdPackages().isEmpty()) {
            setError(why, u"no proftpd-core and proftpd-mod-crypto packages in %1 (scripts/install-deps.sh "
                          u"downloads them)"_s.arg(QStringLiteral(GLIMRA_DEB_CACHE_DIR)));
            return false;
        }
        if (!QFileInfo(kDpkgDeb).isExecutable() || !QFileInfo(kOpenssl).isExecutable()) {
            setError(why, u"dpkg-deb or openssl is missing"_s);
            return false;
        }
        return canChangeToServerUser(u"ProFTPD"_s, why);
    }
    return false;
}

bool RealFtpServer::hasIPv6Loopback(QString *why)
{
    QTcpServer probe;
    if (probe.listen(QHostAddress::LocalHostIPv6, 0))
        return true;
    setError(why, u"this machine has no IPv6 loopback address ::1 (%1)"_s.arg(probe.errorString()));
    return false;
}

bool RealFtpServer::start(QString *error)
{
    stop();
    QString why;
    if (!isAvailable(m_options.kind, &why)) {
        setError(error, why);
        return false;
    }
    if (m_options.ipv6 && !hasIPv6Loopback(&why)) {
        setError(error, why);
        return false;
    }
    if (const QString problem = optionsProblem(); !problem.isEmpty()) {
        setError(error, problem);
        return false;
    }
    if (!m_setupError.isEmpty()) {
        setError(error, m_setupError);
        return false;
    }
    bool started = false;
    switch (m_options.kind) {
    case Kind::Pyftpdlib:
        started = startPyftpdlib(error);
        break;
    case Kind::Vsftpd:
        started = startVsftpd(error);
        break;
    case Kind::PureFtpd:
        started = startPureFtpd(error);
        break;
    case Kind::ProFtpd:
        started = startProFtpd(error);
        break;
    }
    if (!started)
        stop();
    return started;
}

QString RealFtpServer::optionsProblem() const
{
    const Options &o = m_options;
    if (o.kind != Kind::Pyftpdlib &&
        (o.latin1Names || o.hideMlsd || o.unixModeFact || o.commandDelayMs > 0 ||
         o.cutFirstTransferAfter > 0 || o.rateLimit > 0 || o.refuseRestart || o.ignoreRestart || o.zeroSizes))
        return u"latin1Names, hideMlsd, unixModeFact, commandDelayMs, cutFirstTransferAfter, rateLimit, "
               u"refuseRestart, ignoreRestart and zeroSizes are options of the pyftpdlib server"_s;
    if (o.implicitTls && o.explicitTls)
        return u"implicitTls and explicitTls exclude each other"_s;
    if (o.kind == Kind::PureFtpd && (o.implicitTls || o.explicitTls || o.refuseEpsv ||
                                     !o.masqueradeAddress.isEmpty() || o.dataConnectionTimeout > 0))
        return u"the pure-ftpd server takes none of the TLS, EPSV and data connection options"_s;
    if (o.kind == Kind::ProFtpd &&
        (o.ipv6 || o.refuseEpsv || !o.masqueradeAddress.isEmpty() || o.dataConnectionTimeout > 0 ||
         o.maxPerIp > 0 || o.idleSessionTimeout > 0))
        return u"the ProFTPD server takes none of the IPv6, EPSV and connection limit options"_s;
    return {};
}

void RealFtpServer::stop()
{
    m_process.reset();
    m_port = 0;
}

bool RealFtpServer::restart(QString *error)
{
    m_restartPort = m_port;
    const bool started = m_restartPort > 0 && start(error);
    m_restartPort = 0;
    return started;
}

bool RealFtpServer::isRunning() const
{
    return m_process && m_process->isRunning();
}

bool RealFtpServer::prepareFolders(QString *error)
{
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid()) {
        setError(error, u"no temporary folder: %1"_s.arg(m_dir->errorString()));
        m_dir.reset();
        return false;
    }
    // The server's own user must be able to reach the served folder.
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                             QFile::ExeOther);
    const QString root = folderPath(u"root"_s);
    if (!QDir().mkpath(root) || !QDir().mkpath(folderPath(u"empty"_s)) || !handToServerUser(root)) {
        setError(error, u"cannot prepare the folders in %1"_s.arg(m_dir->path()));
        return false;
    }
    for (auto entry = m_options.files.cbegin(); entry != m_options.files.cend(); ++entry) {
        const bool added =
            entry.key().endsWith(u'/') ? addFolder(entry.key()) : addFile(entry.key(), entry.value());
        if (!added) {
            setError(error, u"cannot create %1 in the server's folder"_s.arg(entry.key()));
            return false;
        }
    }
    return true;
}

std::optional<QStringList> RealFtpServer::pyftpdlibArguments(QString *error) const
{
    // -I: only the system's modules, whatever the test's environment says.
    QStringList arguments{u"-I"_s, pyftpdScript(),  u"--root"_s, rootDir(),         u"--user"_s,
                          user(),  u"--password"_s, password(),  u"--transcript"_s, transcriptFile()};
    if (m_options.implicitTls || m_options.explicitTls) {
        const auto certificate = tlsCertificate(error);
        if (!certificate)
            return std::nullopt;
        arguments << (m_options.implicitTls ? u"--implicit-tls"_s : u"--explicit-tls"_s) << u"--certificate"_s
                  << certificate->certificateFile << u"--key"_s << certificate->keyFile;
    }
    if (m_options.refuseEpsv)
        arguments << u"--no-epsv"_s;
    if (m_options.ipv6)
        arguments << u"--ipv6"_s;
    if (m_options.latin1Names)
        arguments << u"--latin1"_s;
    if (m_options.hideMlsd)
        arguments << u"--no-mlsd"_s;
    if (m_options.unixModeFact)
        arguments << u"--unix-mode"_s;
    if (!m_options.masqueradeAddress.isEmpty())
        arguments << u"--masquerade"_s << m_options.masqueradeAddress;
    if (m_options.commandDelayMs > 0)
        arguments << u"--command-delay"_s << QString::number(m_options.commandDelayMs)
                  << u"--delayed-commands"_s << m_options.delayedCommands.join(u',');
    if (m_options.cutFirstTransferAfter > 0)
        arguments << u"--cut-first-transfer-after"_s << QString::number(m_options.cutFirstTransferAfter);
    if (m_options.rateLimit > 0)
        arguments << u"--rate-limit"_s << QString::number(m_options.rateLimit);
    if (m_options.refuseRestart)
        arguments << u"--no-rest"_s;
    if (m_options.ignoreRestart)
        arguments << u"--ignore-rest"_s;
    if (m_options.zeroSizes)
        arguments << u"--zero-sizes"_s;
    if (m_options.rawNames)
        arguments << u"--raw-names"_s;
    if (m_options.cutDownloadsReply != 0)
        arguments << u"--cut-downloads"_s << QString::number(m_options.cutDownloadsReply);
    if (m_options.passivePortMin > 0)
        arguments << u"--passive-ports"_s << u"%1-%2"_s.arg(m_options.passivePortMin).arg(passivePortLast());
    return arguments;
}

bool RealFtpServer::startPyftpdlib(QString *error)
{
    const auto arguments = pyftpdlibArguments(error);
    if (!arguments)
        return false;
    m_process = std::make_unique<ServerProcess>();
    if (!m_process->start(kPython, *arguments, folderPath(u"server.log"_s), ServerProcess::Output::Pipe,
                          error))
        return false;
    // The script binds port 0 and names the port once it listens: no race for the port.
    const QByteArray line = m_process->readLine(QDeadlineTimer(kStartTimeoutMs));
    if (line.startsWith("PORT "))
        m_port = line.mid(5).toInt();
    if (m_port <= 0) {
        setError(error, u"pyftpdlib did not come up: %1"_s.arg(lastLines(serverLog(), 15)));
        return false;
    }
    return true;
}

bool RealFtpServer::startVsftpd(QString *error)
{
    return startOnFreePort([this](int port, QString *launchError,
                                  bool *portTaken) { return launchVsftpdOnce(port, launchError, portTaken); },
                           error);
}

// vsftpd and pure-ftpd cannot bind port 0 and tell us; a port another
// program takes in the meantime makes them exit, and the next attempt takes
// another port.
bool RealFtpServer::startOnFreePort(const std::function<bool(int, QString *, bool *)> &launch, QString *error)
{
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        bool portTaken = false;
        if (launch(m_restartPort > 0 ? m_restartPort : FreeLocalPort(), error, &portTaken))
            return true;
        if (!portTaken)
            return false;
    }
    return false;
}

bool RealFtpServer::waitForListening(int listenPort, const QString &name, QString *error, bool *portTaken)
{
    if (m_process->waitUntilListening(listenPort, QDeadlineTimer(kStartTimeoutMs))) {
        m_port = listenPort;
        return true;
    }
    const QString log = lastLines(serverLog(), 15);
    *portTaken = log.contains(u"could not bind"_s, Qt::CaseInsensitive) ||
                 log.contains(u"Address already in use"_s, Qt::CaseInsensitive);
    setError(error, u"%1 did not come up: %2"_s.arg(name, log));
    m_process.reset();
    return false;
}

bool RealFtpServer::launchVsftpdOnce(int listenPort, QString *error, bool *portTaken)
{
    const QString config = writeVsftpdConfig(listenPort);
    if (config.isEmpty()) {
        setError(error, u"cannot write the vsftpd config"_s);
        return false;
    }
    m_process = std::make_unique<ServerProcess>();
    if (!m_process->start(kVsftpd, {config}, folderPath(u"server.log"_s), ServerProcess::Output::Log, error))
        return false;
    return waitForListening(listenPort, u"vsftpd"_s, error, portTaken);
}

QString RealFtpServer::writeVsftpdConfig(int listenPort) const
{
    QStringList lines{
        m_options.ipv6 ? u"listen=NO"_s : u"listen=YES"_s,
        m_options.ipv6 ? u"listen_ipv6=YES"_s : u"listen_ipv6=NO"_s,
        m_options.ipv6 ? u"listen_address6=::1"_s : u"listen_address=127.0.0.1"_s,
        u"background=NO"_s,
        u"listen_port=%1"_s.arg(listenPort),
        u"seccomp_sandbox=NO"_s,
        u"secure_chroot_dir=%1"_s.arg(folderPath(u"empty"_s)),
        // A local login of the "ftp" user, checked by a PAM service whose
        // pam_rootok lets root (vsftpd's privileged half) through whatever the
        // password: no system file changes. Anonymous logins would do without
        // PAM, but vsftpd never lets them write to the root of their chroot.
        u"anonymous_enable=NO"_s,
        u"local_enable=YES"_s,
        u"pam_service_name=%1"_s.arg(kPamService),
        u"check_shell=NO"_s,
        u"chroot_local_user=YES"_s,
        u"allow_writeable_chroot=YES"_s,
        u"local_root=%1"_s.arg(rootDir()),
        u"write_enable=YES"_s,
        u"local_umask=022"_s,
        u"file_open_mode=0666"_s,
        u"connect_from_port_20=NO"_s,
        u"pasv_min_port=%1"_s.arg(m_options.passivePortMin),
        u"pasv_max_port=%1"_s.arg(passivePortLast()),
        u"delay_failed_login=0"_s,
        u"dirmessage_enable=NO"_s,
        u"xferlog_enable=YES"_s,
        u"xferlog_std_format=NO"_s,
        u"log_ftp_protocol=YES"_s,
        u"vsftpd_log_file=%1"_s.arg(transcriptFile()),
    };
    if (!m_options.masqueradeAddress.isEmpty())
        lines << u"pasv_address=%1"_s.arg(m_options.masqueradeAddress);
    if (m_options.dataConnectionTimeout > 0)
        lines << u"accept_timeout=%1"_s.arg(m_options.dataConnectionTimeout)
              << u"connect_timeout=%1"_s.arg(m_options.dataConnectionTimeout);
    if (m_options.maxPerIp > 0)
        lines << u"max_per_ip=%1"_s.arg(m_options.maxPerIp);
    if (m_options.idleSessionTimeout > 0)
        lines << u"idle_session_timeout=%1"_s.arg(m_options.idleSessionTimeout);
    if (m_options.refuseEpsv)
        lines << u"cmds_denied=EPSV"_s;
    if (m_options.implicitTls || m_options.explicitTls) {
        const auto certificate = tlsCertificate(nullptr);
        if (!certificate)
            return {};
        if (m_options.implicitTls)
            lines << u"implicit_ssl=YES"_s;
        // vsftpd takes the user name "ftp" for an anonymous one until the login.
        lines << u"ssl_enable=YES"_s << u"allow_anon_ssl=YES"_s << u"force_local_logins_ssl=YES"_s
              << u"force_local_data_ssl=YES"_s << u"force_anon_logins_ssl=YES"_s
              << u"force_anon_data_ssl=YES"_s << u"require_ssl_reuse=YES"_s
              << u"rsa_cert_file=%1"_s.arg(certificate->certificateFile)
              << u"rsa_private_key_file=%1"_s.arg(certificate->keyFile);
    }
    const QString path = folderPath(u"vsftpd.conf"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(lines.join(u'\n').toUtf8() + '\n') < 0)
        return {};
    return path;
}

// The package is unpacked into the server's own folder: dpkg-deb -x takes a
// fraction of a second. Its user database holds one virtual user.
bool RealFtpServer::preparePureFtpd(QString *error) const
{
    const QString unpacked = folderPath(u"pure-ftpd"_s);
    if (!QFileInfo::exists(unpacked + u"/usr/sbin/pure-ftpd"_s) &&
        !runTool(kDpkgDeb, {u"-x"_s, pureFtpdPackage(), unpacked}, error))
        return false;
    const auto hash = runTool(kOpenssl, {u"passwd"_s, u"-6"_s, password()}, error);
    const passwd *account = ::getpwnam(kServerUser.toLocal8Bit().constData());
    if (!hash || !account)
        return false;
    // user:hash:uid:gid:gecos:home/./ and twelve empty limits; "/./" chroots there.
    const QString line =
        u"%1:%2:%3:%4::%5/./::::::::::::\n"_s.arg(user(), QString::fromLatin1(hash->trimmed()))
            .arg(account->pw_uid)
            .arg(account->pw_gid)
            .arg(rootDir());
    QFile users(folderPath(u"pureftpd.passwd"_s));
    if (!users.open(QIODevice::WriteOnly | QIODevice::Truncate) || users.write(line.toUtf8()) < 0)
        return false;
    users.close();
    return runTool(unpacked + u"/usr/bin/pure-pw"_s,
                   {u"mkdb"_s, folderPath(u"pureftpd.pdb"_s), u"-f"_s, folderPath(u"pureftpd.passwd"_s)},
                   error)
        .has_value();
}

bool RealFtpServer::startPureFtpd(QString *error)
{
    if (!preparePureFtpd(error))
        return false;
    return startOnFreePort(
        [this](int port, QString *launchError, bool *portTaken) {
            return launchPureFtpdOnce(port, launchError, portTaken);
        },
        error);
}

bool RealFtpServer::launchPureFtpdOnce(int listenPort, QString *error, bool *portTaken)
{
    QStringList arguments{u"--bind"_s,        u"%1,%2"_s.arg(host()).arg(listenPort),
                          u"--login"_s,       u"puredb:"_s + folderPath(u"pureftpd.pdb"_s),
                          u"--noanonymous"_s, u"--chrooteveryone"_s,
                          u"--dontresolve"_s, u"--syslogfacility"_s,
                          u"none"_s};
    if (m_options.passivePortMin > 0)
        arguments << u"--passiveportrange"_s
                  << u"%1:%2"_s.arg(m_options.passivePortMin).arg(passivePortLast());
    m_process = std::make_unique<ServerProcess>();
    if (!m_process->start(folderPath(u"pure-ftpd/usr/sbin/pure-ftpd"_s), arguments,
                          folderPath(u"server.log"_s), ServerProcess::Output::Log, error))
        return false;
    return waitForListening(listenPort, u"pure-ftpd"_s, error, portTaken);
}

// Both packages are unpacked into the server's own folder; the libraries
// they need are installed by scripts/install-deps.sh. The user file holds one
// user mapped to "ftp", in the format of /etc/passwd.
bool RealFtpServer::prepareProFtpd(QString *error) const
{
    const QString unpacked = folderPath(u"proftpd"_s);
    if (!QFileInfo::exists(unpacked + u"/usr/sbin/proftpd"_s)) {
        for (const QString &package : proFtpdPackages()) {
            if (!runTool(kDpkgDeb, {u"-x"_s, package, unpacked}, error))
                return false;
        }
    }
    const auto hash = runTool(kOpenssl, {u"passwd"_s, u"-6"_s, password()}, error);
    const passwd *account = ::getpwnam(kServerUser.toLocal8Bit().constData());
    if (!hash || !account)
        return false;
    const QString line = u"%1:%2:%3:%4::%5:/bin/false\n"_s.arg(user(), QString::fromLatin1(hash->trimmed()))
                             .arg(account->pw_uid)
                             .arg(account->pw_gid)
                             .arg(rootDir());
    // ProFTPD refuses a user file that others may read.
    QFile users(folderPath(u"proftpd.passwd"_s));
    return users.open(QIODevice::WriteOnly | QIODevice::Truncate) && users.write(line.toUtf8()) >= 0 &&
           users.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

bool RealFtpServer::startProFtpd(QString *error)
{
    if (!prepareProFtpd(error))
        return false;
    return startOnFreePort(
        [this](int port, QString *launchError, bool *portTaken) {
            return launchProFtpdOnce(port, launchError, portTaken);
        },
        error);
}

bool RealFtpServer::launchProFtpdOnce(int listenPort, QString *error, bool *portTaken)
{
    const QString config = writeProFtpdConfig(listenPort);
    if (config.isEmpty()) {
        setError(error, u"cannot write the ProFTPD config"_s);
        return false;
    }
    m_process = std::make_unique<ServerProcess>();
    if (!m_process->start(folderPath(u"proftpd/usr/sbin/proftpd"_s), {u"-n"_s, u"-c"_s, config},
                          folderPath(u"server.log"_s), ServerProcess::Output::Log, error))
        return false;
    return waitForListening(listenPort, u"ProFTPD"_s, error, portTaken);
}

// The TLS module is always loaded, as distributions set it up: the server
// then announces AUTH TLS, CCC, PBSZ and PROT also to plain sessions.
QString RealFtpServer::writeProFtpdConfig(int listenPort) const
{
    QStringList lines{
        u"ServerType standalone"_s,
        u"ServerName \"Glimra test\""_s,
        u"DefaultAddress 127.0.0.1"_s,
        u"SocketBindTight on"_s,
        u"UseIPv6 off"_s,
        u"Port %1"_s.arg(listenPort),
        u"User %1"_s.arg(kServerUser),
        u"Group nogroup"_s,
        u"Umask 022"_s,
        u"AllowOverwrite on"_s,
        u"UseReverseDNS off"_s,
        u"WtmpLog off"_s,
        u"DelayEngine off"_s,
        u"ControlsEngine off"_s,
        u"PidFile %1"_s.arg(folderPath(u"proftpd.pid"_s)),
        u"ScoreboardFile %1"_s.arg(folderPath(u"proftpd.scoreboard"_s)),
        u"SystemLog %1"_s.arg(folderPath(u"server.log"_s)),
        u"AuthPAM off"_s,
        u"AuthOrder mod_auth_file.c"_s,
        u"AuthUserFile %1"_s.arg(folderPath(u"proftpd.passwd"_s)),
        u"RequireValidShell off"_s,
        u"DefaultRoot ~"_s,
        u"LogFormat commands \"%r\""_s,
        u"ExtendedLog %1 ALL commands"_s.arg(transcriptFile()),
        u"ModulePath %1"_s.arg(folderPath(u"proftpd/usr/lib/proftpd"_s)),
        u"LoadModule mod_tls.c"_s,
        u"TLSEngine on"_s,
        u"TLSProtocol TLSv1.2 TLSv1.3"_s,
        u"TLSLog %1"_s.arg(folderPath(u"server.log"_s)),
    };
    if (m_options.passivePortMin > 0)
        lines << u"PassivePorts %1 %2"_s.arg(m_options.passivePortMin).arg(passivePortLast());
    const auto certificate = SelfSignedCertificate::get(nullptr);
    if (!certificate)
        return {};
    lines << u"TLSRSACertificateFile %1"_s.arg(certificate->certificateFile)
          << u"TLSRSACertificateKeyFile %1"_s.arg(certificate->keyFile);
    if (m_options.implicitTls)
        lines << u"TLSOptions UseImplicitSSL"_s;
    if (m_options.implicitTls || m_options.explicitTls)
        lines << u"TLSRequired on"_s;
    const QString path = folderPath(u"proftpd.conf"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(lines.join(u'\n').toUtf8() + '\n') < 0)
        return {};
    return path;
}

QString RealFtpServer::host() const
{
    return m_options.ipv6 ? u"::1"_s : u"127.0.0.1"_s;
}

int RealFtpServer::port() const
{
    return m_port;
}

QString RealFtpServer::user() const
{
    return m_options.kind == Kind::Vsftpd ? kServerUser : u"glimra"_s;
}

QString RealFtpServer::password() const
{
    return m_options.kind == Kind::Vsftpd ? u"glimra"_s : u"geheim-42"_s;
}

QString RealFtpServer::rootDir() const
{
    return folderPath(u"root"_s);
}

QString RealFtpServer::certificateFile() const
{
    if (!m_options.implicitTls && !m_options.explicitTls)
        return {};
    const auto certificate = tlsCertificate(nullptr);
    return certificate ? certificate->certificateFile : QString();
}

std::optional<SelfSignedCertificate> RealFtpServer::tlsCertificate(QString *error) const
{
    if (!m_options.certificateFile.isEmpty())
        return SelfSignedCertificate{m_options.certificateFile, m_options.keyFile};
    return SelfSignedCertificate::get(error);
}

QString RealFtpServer::transcript() const
{
    const QString text = QString::fromUtf8(readTranscriptBytes());
    if (m_options.kind == Kind::Pyftpdlib || m_options.kind == Kind::ProFtpd)
        return text;
    // vsftpd's log: ... FTP command: Client "127.0.0.1", "RETR a.txt"
    static const QRegularExpression commandLine(uR"re(FTP command: Client "[^"]*", "(.*)"$)re"_s,
                                                QRegularExpression::MultilineOption);
    QString commands;
    for (const QRegularExpressionMatch &match : commandLine.globalMatch(text))
        commands += match.captured(1) + u'\n';
    return commands;
}

QStringList RealFtpServer::commands() const
{
    return transcript().split(u'\n', Qt::SkipEmptyParts);
}

void RealFtpServer::clearTranscript()
{
    m_transcriptOffset += readTranscriptBytes().size();
}

QString RealFtpServer::serverLog() const
{
    QFile log(folderPath(u"server.log"_s));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

bool RealFtpServer::addFile(const QString &relativePath, const QByteArray &content)
{
    const QString path = QDir(rootDir()).filePath(relativePath);
    if (!addFolder(QFileInfo(relativePath).path()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size() &&
           handToServerUser(path);
}

bool RealFtpServer::addFolder(const QString &relativePath)
{
    if (!m_dir)
        return false;
    const QDir root(rootDir());
    if (!root.mkpath(relativePath))
        return false;
    // Every folder on the way needs the server's user as owner, not just the last.
    QString path;
    for (const QString &part : QDir::cleanPath(relativePath).split(u'/', Qt::SkipEmptyParts)) {
        path = path.isEmpty() ? part : path + u'/' + part;
        if (part != u"."_s && !handToServerUser(root.filePath(path)))
            return false;
    }
    return true;
}

int RealFtpServer::passivePortLast() const
{
    return qMax(m_options.passivePortMin, m_options.passivePortMax);
}

QString RealFtpServer::transcriptFile() const
{
    return folderPath(u"transcript.log"_s);
}

QString RealFtpServer::folderPath(const QString &name) const
{
    return m_dir ? m_dir->filePath(name) : QString();
}

bool RealFtpServer::handToServerUser(const QString &path) const
{
    if (m_options.kind == Kind::Pyftpdlib)
        return true;
    const passwd *account = ::getpwnam(kServerUser.toLocal8Bit().constData());
    return account && ::chown(QFile::encodeName(path).constData(), account->pw_uid, account->pw_gid) == 0;
}

QByteArray RealFtpServer::readTranscriptBytes() const
{
    QFile file(transcriptFile());
    if (!file.open(QIODevice::ReadOnly) || !file.seek(m_transcriptOffset))
        return {};
    return file.readAll();
}
