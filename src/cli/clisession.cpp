#include "clisession.h"

#include "clifailure.h"
#include "commandline.h"
#include "connectionprofile.h"
#include "ftpurl.h"
#include "idexceptions.h"
#include "tidconnectioninterceptopenssl.h"
#include "tidlogdebug.h"

#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

CliSession::CliSession(const CommandLine &line)
    : m_host(line.insecure)
    , m_log(line.log)
{
    m_ftp.setSessionHost(&m_host);
    if (line.connectionFile.isEmpty())
        ConfigureFromUrl(line.url);
    else
        ConfigureFromFile(line.connectionFile);
    if (m_ftp.UseSSL)
        m_ftp.RootCertificateFile = line.caCertificateFile;
    ApplyOptions(line);
    AttachInterceptor();
}

CliSession::~CliSession()
{
    try {
        if (m_ftp.IsConnected())
            m_ftp.Quit();
    } catch (const EIdException &) {
        // The run's outcome is decided; a failing goodbye changes nothing.
    }
}

void CliSession::ConfigureFromUrl(const QString &text)
{
    const FtpUrl url = FtpUrl::Parse(text);
    m_ftp.Host = url.host;
    m_ftp.Port = url.port;
    m_ftp.User = url.user;
    m_ftp.Password = url.password;
    m_ftp.UseSSL = url.implicitTls || url.explicitTls;
    m_ftp.SSLExplicit = url.explicitTls;
    m_ftp.SSLMethod = 1; // negotiate the newest protocol both sides speak
    m_ftp.Passive = true;
    m_startFolder = url.folder;
}

// As the program opens a connection file: the first section, without SSL.
void CliSession::ConfigureFromFile(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile())
        throw CliFailure{kExitUsage, u"Die Verbindungsdatei gibt es nicht: %1"_s.arg(fileName)};
    const auto values = ApplyConnectionFile(fileName, m_ftp);
    if (!values)
        throw CliFailure{kExitUsage, u"Die Verbindungsdatei enthält keine Verbindung: %1"_s.arg(fileName)};
    if (!IsFitToConnect(m_ftp))
        throw CliFailure{kExitUsage, kUnfitProfileWarning.toString()};
    m_startFolder = values->FTPOrdner;
}

void CliSession::ApplyOptions(const CommandLine &line)
{
    if (line.active)
        m_ftp.Passive = false;
    if (line.mlsd)
        m_ftp.MListart = true;
    TimeCorrection &correction = m_ftp.TimeCorrection;
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

// TLS sits between session and socket when asked for; otherwise the log
// interceptor does, when there is a log to write.
void CliSession::AttachInterceptor()
{
    if (m_ftp.UseSSL) {
        m_tls = std::make_unique<TIdConnectionInterceptOpenSSL>();
        m_tls->ConfigureFrom(m_ftp);
        if (m_log)
            m_tls->OnStatusInfo = [this](const QString &text) { Log(text); };
        m_ftp.SetIntercept(m_tls.get());
    } else if (m_log) {
        m_logInterceptor = std::make_unique<TIdLogDebug>();
        m_logInterceptor->Active = true;
        m_logInterceptor->Target = ltNone;
        m_logInterceptor->OnLogItem = [this](QString &line) { Log(MaskPasswords(line)); };
        m_ftp.SetIntercept(m_logInterceptor.get());
    } else {
        return;
    }
    m_ftp.SetInterceptEnabled(true);
    if (m_log)
        m_ftp.OnStatus = [this](TIdTCPConnection *, TIdStatus, const QString &text) { Log(text); };
}

TIdFTP &CliSession::Connected()
{
    if (!m_loggedIn) {
        CheckCredentials();
        LogIn();
        m_loggedIn = true;
        m_ftp.ProbeFeatures(m_features);
        if (!m_ftp.ChangeDir(m_startFolder))
            Refused(u"Ordner nicht gefunden: %1"_s.arg(m_startFolder));
    }
    return m_ftp;
}

bool CliSession::ListsWithMlsd() const
{
    return m_ftp.MListart && TIdFTP::HasFeature(m_features, u"MLSD"_s);
}

// The session would ask for what is missing; here nobody could answer.
void CliSession::CheckCredentials() const
{
    const auto missing = [](const QString &user, const QString &password) {
        return user.isEmpty() || password.isEmpty();
    };
    QString what;
    if (missing(m_ftp.User, m_ftp.Password))
        what = u"Benutzername oder Kennwort"_s;
    else if (m_ftp.Gateway_Use && m_ftp.Gateway_Authenticate &&
             missing(m_ftp.Gateway_User, m_ftp.Gateway_Password))
        what = u"Benutzername oder Kennwort des Proxys"_s;
    else if (m_ftp.SocksInfo.Authentication == saUsernamePassword &&
             missing(m_ftp.SocksInfo.UserID, m_ftp.SocksInfo.Password))
        what = u"Benutzername oder Kennwort des SOCKS-Servers"_s;
    if (!what.isEmpty())
        throw CliFailure{kExitUsage, u"Es fehlt %1; glimra-cli fragt nicht nach."_s.arg(what)};
}

void CliSession::LogIn()
{
    m_ftp.OnConnected = [this](TIdTCPConnection *) { m_reachedServer = true; };
    try {
        m_ftp.ConnectAndLogin();
    } catch (const EIdOSSLError &error) {
        if (const auto &certificate = m_host.RejectedCertificate())
            throw CliFailure{kExitNetwork, u"Dem Zertifikat des Servers wird nicht vertraut: %1 Mit --cacert "
                                           u"DATEI ein Stammzertifikat nennen oder es mit --insecure dennoch "
                                           u"annehmen."_s.arg(certificate->verifyError)};
        throw CliFailure{kExitNetwork, u"TLS-Fehler: %1"_s.arg(error.Message())};
    } catch (const EIdException &error) {
        throw CliFailure{kExitNetwork, u"Verbindungsfehler: %1"_s.arg(error.Message())};
    }
    if (m_ftp.LoggedIn())
        return;
    if (!m_reachedServer)
        throw CliFailure{kExitNetwork, u"Keine Verbindung zu %1:%2."_s.arg(m_ftp.Host).arg(m_ftp.Port)};
    const QString reply = m_ftp.LastReplyLine();
    // A refused greeting leaves the connection open; a refused login closes it.
    if (m_ftp.IsConnected()) {
        m_ftp.CloseConnection();
        throw CliFailure{kExitRefused, u"Der Server nimmt keine Anmeldung an."_s, reply};
    }
    throw CliFailure{kExitRefused, u"Anmeldung abgelehnt."_s, reply};
}

void CliSession::Refused(const QString &message) const
{
    if (!m_ftp.IsConnected())
        throw CliFailure{kExitNetwork, message + u" Die Verbindung zum Server ist abgebrochen."_s};
    throw CliFailure{kExitRefused, message, m_ftp.LastReplyLine()};
}

// Only what follows the PASS command word is searched, so that a short
// password cannot hide a piece of the command and show itself.
QString CliSession::MaskPasswords(QString line) const
{
    const qsizetype command = line.indexOf("PASS"_L1, 0, Qt::CaseInsensitive);
    if (command < 0)
        return line;
    for (const QString *password : {&m_ftp.Password, &m_ftp.Gateway_Password, &m_ftp.SocksInfo.Password}) {
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
