#include "tidftp.h"

#include "ftpdatachannel.h"
#include "hostport.h"
#include "idexceptions.h"
#include "sessionhost.h"
#include "tidconnectioninterceptopenssl.h"
#include "tidlogdebug.h"

using namespace Qt::StringLiterals;

TIdFTP::TIdFTP()
{
    Port = 21;
    RecvBufferSize = kTransferBufferSize;
    SendBufferSize = kTransferBufferSize;
}

TIdFTP::~TIdFTP()
{
    // The layer this session owns goes before the connection it sits on.
    if (m_reportingLayer && Intercept() == m_reportingLayer.get()) {
        CloseConnection();
        SetIntercept(nullptr);
    }
}

// --- the file system's session -----------------------------------------------

bool TIdFTP::ListsWithFacts(const QStringList &features) const
{
    return HasFeature(features, u"MLSD"_s) && MListart;
}

std::unique_ptr<RemoteFileSystem> TIdFTP::NewSessionLikeThis() const
{
    auto copy = std::make_unique<TIdFTP>();
    copy->CopySettingsFrom(*this);
    return copy;
}

void TIdFTP::ReportTrafficTo(const TrafficReport &traffic, bool withCommands)
{
    if (traffic)
        OnStatus = [traffic](TIdTCPConnection *, TIdStatus, const QString &text) { traffic(text); };
    if (UseSSL) {
        auto tls = std::make_unique<TIdConnectionInterceptOpenSSL>();
        tls->ConfigureFrom(*this);
        if (traffic)
            tls->OnStatusInfo = traffic;
        m_reportingLayer = std::move(tls);
    } else if (withCommands) {
        auto logger = std::make_unique<TIdLogDebug>();
        logger->Active = true;
        logger->Target = ltNone;
        logger->OnLogItem = [traffic](QString &line) { traffic(line); };
        m_reportingLayer = std::move(logger);
    }
    if (m_reportingLayer) {
        SetIntercept(m_reportingLayer.get());
        SetInterceptEnabled(true);
    }
}

void TIdFTP::ReportProgressTo(const ProgressReport &progress)
{
    if (!progress) {
        OnWorkBegin = nullptr;
        OnWork = nullptr;
        return;
    }
    OnWorkBegin = [progress](TIdTCPConnection *, TWorkMode, qint64) { progress(0); };
    OnWork = [progress](TIdTCPConnection *, TWorkMode, qint64 total) { progress(total); };
}

void TIdFTP::CopySettingsFrom(const TIdFTP &other)
{
    Host = other.Host;
    Port = other.Port;
    ResolveTimeout = other.ResolveTimeout;
    // A server that goes silent ends this session's wait as it ends the other's.
    ReadTimeout = other.ReadTimeout;
    BoundIP = other.BoundIP;
    UseNagle = other.UseNagle;
    SocksInfo = other.SocksInfo;
    RecvBufferSize = other.RecvBufferSize;
    SendBufferSize = other.SendBufferSize;
    // Names go back as the bytes they came as.
    Encoding = other.Encoding;
    User = other.User;
    Password = other.Password;
    Passive = other.Passive;
    Gateway_Use = other.Gateway_Use;
    Gateway_Host = other.Gateway_Host;
    Gateway_Port = other.Gateway_Port;
    Gateway_Authenticate = other.Gateway_Authenticate;
    Gateway_User = other.Gateway_User;
    Gateway_Password = other.Gateway_Password;
    Gateway_Art = other.Gateway_Art;
    TrustPassiveAddress = other.TrustPassiveAddress;
    MListart = other.MListart;
    UseSSL = other.UseSSL;
    SSLExplicit = other.SSLExplicit;
    RootCertificateFile = other.RootCertificateFile;
    KeyFile = other.KeyFile;
    CertificateFile = other.CertificateFile;
    SSLPassword = other.SSLPassword;
    KnownCertificatesFile = other.KnownCertificatesFile;
    SSLMethod = other.SSLMethod;
    SSLDepth = other.SSLDepth;
    SSLPeer = other.SSLPeer;
    SSLPeerCert = other.SSLPeerCert;
    SSLClientOnce = other.SSLClientOnce;
    TimeCorrection = other.TimeCorrection;
    MaxListingSize = other.MaxListingSize;
}

// --- login -----------------------------------------------------------------

void TIdFTP::ConnectAndLogin()
{
    // The target as the profile gave it; with a proxy, Host and Port become
    // the proxy's and stay so after the login.
    const QString targetHost = Host;
    const auto targetPort = quint16(Port);
    m_loggedIn = false;
    try {
        if (Gateway_Use) {
            Host = Gateway_Host;
            Port = Gateway_Port;
        }
        if (SocksInfo.Authentication == saUsernamePassword &&
            (SocksInfo.UserID.isEmpty() || SocksInfo.Password.isEmpty()) && !isSearch &&
            !Prompt(SocksInfo.Host, SocksInfo.UserID, SocksInfo.Password, false))
            return;
        TIdConnectionInterceptOpenSSL *tls = TlsLayer();
        if (UseSSL && !tls)
            throw EIdOSSLError(u"Die Verbindung verlangt TLS, doch es ist keine TLS-Schicht eingerichtet; "
                               u"es wurde nichts gesendet."_s);
        if (tls)
            tls->ExplicitStart = SSLExplicit;
        Encoding = NameEncoding::Utf8;
        m_protectData = false;
        m_extendedPassiveRefused = false;
        m_retrieveFollows = false;
        m_passiveSentAhead = false;
        m_passiveReplyNs = -1;
        m_repliesOwed = false;
        m_systemType.clear();
        if (!OpenConnection())
            return;
        if (ReadReply({220}) != 220 || !IsAlive())
            return;
        if (tls && SSLExplicit)
            StartExplicitTls(*tls);
        if (Gateway_Use && Gateway_Authenticate) {
            const auto proxyLogin = [this] {
                return UserPassDialogue(u"USER "_s + Gateway_User, Gateway_Password, {230, 330, 331, 530});
            };
            if (!LogIn(Gateway_Host, Gateway_User, Gateway_Password, proxyLogin))
                return;
        }
        const auto targetLogin = [&] {
            return Gateway_Use ? ProxyDialogue(targetHost, targetPort)
                               : UserPassDialogue(u"USER "_s + User, Password, {230, 331, 530});
        };
        if (!LogIn(targetHost, User, Password, targetLogin))
            return;
        CompleteLogin();
    } catch (...) {
        CloseConnection();
        m_loggedIn = false;
        throw;
    }
}

bool TIdFTP::Prompt(const QString &hostName, QString &user, QString &password, bool connected)
{
    SessionHost *host = sessionHost();
    QString editedUser = user;
    QString editedPassword = password;
    if (isSearch || !host ||
        !host->AskCredentials(u"UserID/Pass für "_s + hostName, editedUser, editedPassword))
        return false;
    if (connected && !IsAlive())
        return false;
    user = editedUser;
    password = editedPassword;
    return true;
}

// Runs a login dialogue, asking the user for new values after every refusal
// until the dialogue succeeds or the user gives up.
bool TIdFTP::LogIn(const QString &hostName, QString &user, QString &password,
                   const std::function<bool()> &dialogue)
{
    if (!isSearch && (user.isEmpty() || password.isEmpty()) && !Prompt(hostName, user, password, true)) {
        EndRefusedLogin();
        return false;
    }
    while (!dialogue()) {
        if (!Prompt(hostName, user, password, true)) {
            EndRefusedLogin();
            return false;
        }
    }
    return true;
}

// USER, then PASS when asked for; a USER answered 230 needs no PASS.
bool TIdFTP::UserPassDialogue(const QString &userCommand, const QString &password,
                              const QList<int> &userCodes)
{
    const int code = SendCheckedList(userCommand, userCodes);
    if (code == 230)
        return true;
    if (code != 331)
        return false;
    SendCheckedList(u"PASS "_s + password, {230, 530});
    return LastReplyAccepted();
}

bool TIdFTP::ProxyDialogue(const QString &targetHost, quint16 targetPort)
{
    static const QString openCommands[] = {u"OPEN "_s, u"SITE "_s, u"SITE OPEN "_s, u"PROXY OPEN "_s};
    const int style = (Gateway_Art >= 1 && Gateway_Art <= 4) ? Gateway_Art : 0;
    if (style == 0)
        return UserPassDialogue(u"USER "_s + User + u'@' + targetHost, Password, {230, 331, 530});
    const QString open =
        openCommands[style - 1] + BracketedHost(targetHost) + u':' + QString::number(targetPort);
    if (SendCheckedList(open, {220, 230, 331}) == 220)
        return UserPassDialogue(u"USER "_s + User, Password, {230, 331, 530});
    return LastReplyAccepted();
}

// A login step counts as done when the server answered it positively; an
// error reply (4xx, 5xx) or a lost connection is a refusal.
bool TIdFTP::LastReplyAccepted() const
{
    return IsConnected() && ReplyCode() >= 100 && ReplyCode() < 400;
}

// Only the greeting travels in clear. A server that refuses AUTH TLS ends
// the login: the user asked for TLS, so nothing else is sent in clear.
void TIdFTP::StartExplicitTls(TIdConnectionInterceptOpenSSL &tls)
{
    if (SendChecked(u"AUTH TLS"_s, 234) != 234) {
        if (!IsConnected())
            throw EIdConnClosedGracefully();
        throw EIdOSSLError(u"Der Server lehnt TLS ab (AUTH TLS: %1). Die Anmeldung wurde abgebrochen; "
                           u"Benutzername und Kennwort wurden nicht gesendet."_s.arg(LastReplyLine()));
    }
    // What came after the reply in clear would later pass for protected text.
    if (ReadBufferSize() > 0)
        throw EIdOSSLError(u"Der Server hat nach AUTH TLS unverschlüsselt weitergesendet; "
                           u"die Verbindung wurde getrennt."_s);
    tls.StartTls(Binding());
}

void TIdFTP::CompleteLogin()
{
    if (TIdConnectionInterceptOpenSSL *tls = TlsLayer()) {
        SendChecked(u"PBSZ 0"_s, 200);
        m_protectData = SendChecked(u"PROT P"_s, 200) == 200;
        if (!m_protectData)
            tls->ReportStatus(u"Der Server lehnt geschützte Datenverbindungen ab (PROT P): "
                              u"Übertragungen und Listen laufen unverschlüsselt."_s);
    }
    SendTransferType();
    const int code = SendCheckedList(u"SYST"_s, {200, 215, 500});
    m_systemType = code == 500 ? u"Unbekannt"_s : LastReplyLine().mid(3);
    m_loggedIn = IsConnected();
}

void TIdFTP::EndRefusedLogin()
{
    CloseConnection();
    m_loggedIn = false;
}

// --- session ---------------------------------------------------------------

bool TIdFTP::IsAlive()
{
    const bool wasConnected = IsConnected();
    try {
        PollClosed(true);
        return true;
    } catch (const EIdException &) {
        const bool stillAllocated = IsConnected();
        try {
            CloseDataConnection();
            CloseConnection();
        } catch (const EIdException &) {
        }
        m_loggedIn = false;
        if (wasConnected && sessionHost())
            sessionHost()->ConnectionLost();
        return stillAllocated;
    }
}

int TIdFTP::SendChecked(const QString &command, int allowedCode)
{
    return IsAlive() ? SendCommand(command, allowedCode) : 0;
}

int TIdFTP::SendCheckedList(const QString &command, const QList<int> &allowedCodes)
{
    return IsAlive() ? SendCommand(command, allowedCodes) : 0;
}

void TIdFTP::SetTransferType(TIdFTPTransferType type)
{
    // Inside a transfer the control connection belongs to it.
    if (type == m_transferType || m_transfer)
        return;
    m_transferType = type;
    if (IsConnected())
        SendTransferType();
}

void TIdFTP::SendTransferType()
{
    SendChecked(m_transferType == ftBinary ? u"type I"_s : u"type A"_s, 200);
}

void TIdFTP::Quit()
{
    if (IsAlive() && IsConnected())
        WriteLine(u"Quit"_s);
    CloseConnection();
}

TIdConnectionInterceptOpenSSL *TIdFTP::TlsLayer() const
{
    return InterceptEnabled() ? qobject_cast<TIdConnectionInterceptOpenSSL *>(Intercept()) : nullptr;
}
