#include "clisession.h"

#include "clifailure.h"
#include "commandline.h"
#include "connectionprofile.h"
#include "ftpurl.h"
#include "idexceptions.h"
#include "sftpfilesystem.h"
#include "tidftp.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

CliSession::CliSession(const CommandLine &line)
    : m_host(line.insecure)
    , m_log(line.log)
{
    if (line.connectionFile.isEmpty())
        ConfigureFromUrl(line.url, line);
    else
        ConfigureFromFile(line.connectionFile);
    if (m_ftp) {
        if (m_ftp->UseSSL)
            m_ftp->RootCertificateFile = line.caCertificateFile;
        ApplyFtpOptions(line);
    }
    if (m_log)
        m_session->ReportTrafficTo([this](const QString &text) { Log(MaskPasswords(text)); }, true);
    else if (m_ftp)
        m_session->ReportTrafficTo({}, false);
}

CliSession::~CliSession()
{
    try {
        if (m_session->IsConnected())
            m_session->Quit();
    } catch (const EIdException &) {
        // The run's outcome is decided; a failing goodbye changes nothing.
    }
}

void CliSession::ConfigureFromUrl(const QString &text, const CommandLine &line)
{
    const FtpUrl url = FtpUrl::Parse(text);
    if (url.sftp)
        ConfigureSftp(url, line);
    else
        ConfigureFtp(url);
    m_startFolder = url.folder;
}

void CliSession::ConfigureFtp(const FtpUrl &url)
{
    auto ftp = std::make_unique<TIdFTP>();
    ftp->Host = url.host;
    ftp->Port = url.port;
    ftp->User = url.user;
    ftp->Password = url.password;
    ftp->UseSSL = url.implicitTls || url.explicitTls;
    ftp->SSLExplicit = url.explicitTls;
    ftp->SSLMethod = 1; // negotiate the newest protocol both sides speak
    ftp->Passive = true;
    ftp->setSessionHost(&m_host);
    m_ftp = ftp.get();
    m_session = std::move(ftp);
}

void CliSession::ConfigureSftp(const FtpUrl &url, const CommandLine &line)
{
    auto sftp = std::make_unique<SftpFileSystem>();
    sftp->Host = url.host;
    sftp->Port = url.port;
    sftp->User = url.user;
    sftp->Password = url.password;
    sftp->IdentityFile = line.identityFile;
    // glimra-cli keeps no known hosts of its own; --known-hosts names the file
    // read instead of ~/.ssh/known_hosts, which keys accepted with
    // --accept-new-host-key go to.
    if (!line.knownHostsFile.isEmpty()) {
        sftp->UserKnownHostsFile = line.knownHostsFile;
        sftp->KnownHostsFile = line.knownHostsFile;
    }
    sftp->AcceptNewHostKey = line.acceptNewHostKey;
    sftp->setSessionHost(&m_host);
    m_sftp = sftp.get();
    m_session = std::move(sftp);
}

// As the program opens a connection file: the first section, without SSL.
void CliSession::ConfigureFromFile(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile())
        throw CliFailure{kExitUsage, u"Die Verbindungsdatei gibt es nicht: %1"_s.arg(fileName)};
    auto ftp = std::make_unique<TIdFTP>();
    ftp->setSessionHost(&m_host);
    const auto values = ApplyConnectionFile(fileName, *ftp);
    if (!values)
        throw CliFailure{kExitUsage, u"Die Verbindungsdatei enthält keine Verbindung: %1"_s.arg(fileName)};
    if (!IsFitToConnect(*ftp))
        throw CliFailure{kExitUsage, kUnfitProfileWarning.toString()};
    m_startFolder = values->FTPOrdner;
    if (values->Protokoll == FileProtocol::Sftp) {
        auto sftp = std::make_unique<SftpFileSystem>();
        ApplySshSettings(*ftp, values->SshKey, *sftp);
        sftp->setSessionHost(&m_host);
        m_sftp = sftp.get();
        m_session = std::move(sftp);
        return;
    }
    m_ftp = ftp.get();
    m_session = std::move(ftp);
}

void CliSession::ApplyFtpOptions(const CommandLine &line)
{
    if (line.active)
        m_ftp->Passive = false;
    if (line.mlsd)
        m_ftp->MListart = true;
    TimeCorrection &correction = m_ftp->TimeCorrection;
    if (line.noTimeCorrection) {
        correction.DateTimeNo = true;
        correction.DateTimeManuel = false;
    }
    if (line.timeShift) {
        correction.DateTimeNo = false;
        correction.DateTimeManuel = true;
        correction.TimeDif = line.timeShift->difference;
        correction.TimeDifvz = line.timeShift->sign;
    }
}

RemoteFileSystem &CliSession::Connected()
{
    if (!m_loggedIn) {
        CheckCredentials();
        LogIn();
        m_loggedIn = true;
        if (m_ftp)
            m_ftp->ProbeFeatures(m_features);
        if (!m_session->ChangeDir(m_startFolder))
            Refused(u"Ordner nicht gefunden: %1"_s.arg(m_startFolder));
    }
    return *m_session;
}

bool CliSession::ListsWithMlsd() const
{
    return m_session->ListsWithFacts(m_features);
}

bool CliSession::AnnouncesUtf8() const
{
    return TIdFTP::HasFeature(m_features, u"UTF8"_s);
}

bool CliSession::LogsTraffic() const
{
    return m_log && !(m_ftp && m_ftp->UseSSL);
}

// The session would ask for what is missing; here nobody could answer.
void CliSession::CheckCredentials() const
{
    if (m_ftp)
        CheckFtpCredentials();
    else if (m_sftp->User.isEmpty())
        throw CliFailure{kExitUsage, u"Es fehlt der Benutzername; glimra-cli fragt nicht nach."_s};
}

void CliSession::CheckFtpCredentials() const
{
    const auto missing = [](const QString &user, const QString &password) {
        return user.isEmpty() || password.isEmpty();
    };
    QString what;
    if (missing(m_ftp->User, m_ftp->Password))
        what = u"Benutzername oder Kennwort"_s;
    else if (m_ftp->Gateway_Use && m_ftp->Gateway_Authenticate &&
             missing(m_ftp->Gateway_User, m_ftp->Gateway_Password))
        what = u"Benutzername oder Kennwort des Proxys"_s;
    else if (m_ftp->SocksInfo.Authentication == saUsernamePassword &&
             missing(m_ftp->SocksInfo.UserID, m_ftp->SocksInfo.Password))
        what = u"Benutzername oder Kennwort des SOCKS-Servers"_s;
    if (!what.isEmpty())
        throw CliFailure{kExitUsage, u"Es fehlt %1; glimra-cli fragt nicht nach."_s.arg(what)};
}

void CliSession::LogIn()
{
    if (m_ftp) {
        LogInFtp();
        return;
    }
    try {
        m_session->ConnectAndLogin();
    } catch (const EIdLoginRefused &error) {
        throw CliFailure{kExitRefused, error.Message()};
    } catch (const EIdException &error) {
        if (const auto &key = m_host.RejectedHostKey())
            throw CliFailure{kExitUsage, u"Der Host-Schlüssel des Servers ist unbekannt: %1 %2. Mit "
                                         u"--accept-new-host-key wird er angenommen."_s.arg(
                                             key->keyType, key->fingerprint)};
        throw CliFailure{kExitNetwork, u"Verbindungsfehler: %1"_s.arg(error.Message())};
    }
}

void CliSession::LogInFtp()
{
    m_ftp->OnConnected = [this](TIdTCPConnection *) { m_reachedServer = true; };
    try {
        m_ftp->ConnectAndLogin();
    } catch (const EIdOSSLError &error) {
        if (const auto &certificate = m_host.RejectedCertificate())
            throw CliFailure{kExitNetwork, u"Dem Zertifikat des Servers wird nicht vertraut: %1 Mit --cacert "
                                           u"DATEI ein Stammzertifikat nennen oder es mit --insecure dennoch "
                                           u"annehmen."_s.arg(certificate->verifyError)};
        throw CliFailure{kExitNetwork, u"TLS-Fehler: %1"_s.arg(error.Message())};
    } catch (const EIdException &error) {
        throw CliFailure{kExitNetwork, u"Verbindungsfehler: %1"_s.arg(error.Message())};
    }
    if (m_ftp->LoggedIn())
        return;
    if (!m_reachedServer)
        throw CliFailure{kExitNetwork, u"Keine Verbindung zu %1:%2."_s.arg(m_ftp->Host).arg(m_ftp->Port)};
    const QString reply = m_ftp->LastReplyLine();
    // A refused greeting leaves the connection open; a refused login closes it.
    if (m_ftp->IsConnected()) {
        m_ftp->CloseConnection();
        throw CliFailure{kExitRefused, u"Der Server nimmt keine Anmeldung an."_s, reply};
    }
    throw CliFailure{kExitRefused, u"Anmeldung abgelehnt."_s, reply};
}

void CliSession::Refused(const QString &message) const
{
    if (!m_session->IsConnected())
        throw CliFailure{kExitNetwork, message + u" Die Verbindung zum Server ist abgebrochen."_s};
    throw CliFailure{kExitRefused, message, m_session->LastReplyLine()};
}

// Only what follows the PASS command word is searched, so that a short
// password cannot hide a piece of the command and show itself. SFTP log
// lines never carry a password.
QString CliSession::MaskPasswords(QString line) const
{
    const qsizetype command = line.indexOf("PASS"_L1, 0, Qt::CaseInsensitive);
    if (command < 0 || !m_ftp)
        return line;
    for (const QString *password : {&m_ftp->Password, &m_ftp->Gateway_Password, &m_ftp->SocksInfo.Password}) {
        const qsizetype at = password->isEmpty() ? -1 : line.indexOf(*password, command + 4);
        if (at >= 0)
            line.replace(at, password->size(), u"(HIDDEN)"_s);
    }
    return line;
}

void CliSession::LogConnectionLine(const QString &line, int connection) const
{
    if (m_log)
        Log(MaskPasswords(line) + u"  [Verbindung %1]"_s.arg(connection));
}

void CliSession::Log(const QString &line) const
{
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
}
