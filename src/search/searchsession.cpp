#include "searchsession.h"

#include "connectionprofile.h"
#include "connectiontreestore.h"
#include "idexceptions.h"
#include "tidconnectioninterceptopenssl.h"
#include "tidftp.h"
#include "tidlogdebug.h"
#include "tinifile.h"

using namespace Qt::StringLiterals;

SearchSession::SearchSession(TIdFTP &session)
    : m_session(session)
    , m_remote(&session)
    , m_logInterceptor(std::make_unique<TIdLogDebug>())
{
    m_sftp.setSessionHost(&m_host);
    m_sftp.OnLogLine = [this](const QString &line) { Log(line); };
    m_session.setSessionHost(&m_host);
    m_session.UseNagle = false;
    m_logInterceptor->Target = ltNone;
    m_logInterceptor->OnLogItem = [this](QString &line) { Log(line); };
    m_session.OnStatus = [this](TIdTCPConnection *, TIdStatus, const QString &text) { Log(text); };
}

// The session may be gone already (the main window's members go before its
// children), so it is not touched here; it forgets the interceptors by itself.
SearchSession::~SearchSession() = default;

void SearchSession::SetLogging(bool on)
{
    m_logging = on;
    m_logInterceptor->Active = on;
}

bool SearchSession::ApplyConnection(const QString &connectionFile, const QString &section)
{
    // A missing section must not leave the previous server's values behind.
    m_session.Host.clear();
    m_session.Port = 0;
    m_session.User.clear();
    m_session.Password.clear();
    return UseAppliedProfile(
        ApplyProfile(TIniFile(connectionFile), section, m_session, ProfileReading::Search));
}

bool SearchSession::ApplyConnectionOf(const QString &host, const QString &treeFolder)
{
    return UseAppliedProfile(
        ConnectionTreeStore(treeFolder).FindConnectionByServer(host, m_session, ProfileReading::Search));
}

// Every profile sets the FTP session; an SFTP profile's server and login go
// on to the SFTP session.
bool SearchSession::UseAppliedProfile(const std::optional<MainWindowValues> &values)
{
    if (!values)
        return false;
    const bool sftp = values->Protokoll == FileProtocol::Sftp;
    RemoteFileSystem *chosen = sftp ? static_cast<RemoteFileSystem *>(&m_sftp) : &m_session;
    // The session of the other protocol says goodbye before this one is used.
    if (chosen != m_remote)
        Close();
    m_remote = chosen;
    if (sftp) {
        ApplySshSettings(m_session, values->SshKey, m_sftp);
        m_sftp.KnownHostsFile = KnownHostsFile;
    }
    return true;
}

bool SearchSession::ConnectAndLogin()
{
    if (m_remote == &m_session)
        AttachInterceptor();
    try {
        m_remote->ConnectAndLogin();
    } catch (const EIdException &error) {
        Log(error.Message());
        TellConnectionChanged();
        return false;
    }
    TellConnectionChanged();
    return m_remote->IsConnected() && m_remote->LoggedIn();
}

void SearchSession::Close()
{
    try {
        if (m_remote->IsConnected())
            m_remote->Quit();
    } catch (const EIdException &error) {
        Log(error.Message());
    }
    TellConnectionChanged();
}

void SearchSession::TellConnectionChanged() const
{
    if (OnConnectionChanged)
        OnConnectionChanged();
}

// With SSL the TLS layer sits between session and socket and reports its
// own texts; otherwise the log interceptor watches the traffic.
void SearchSession::AttachInterceptor()
{
    m_session.SetInterceptEnabled(false);
    if (m_session.UseSSL) {
        m_tls = std::make_unique<TIdConnectionInterceptOpenSSL>();
        m_tls->ConfigureFrom(m_session);
        m_tls->OnStatusInfo = [this](const QString &text) { Log(text); };
        m_session.SetIntercept(m_tls.get());
    } else {
        m_session.SetIntercept(m_logInterceptor.get());
    }
    m_session.SetInterceptEnabled(true);
}

void SearchSession::Log(const QString &line) const
{
    if (m_logging && OnLog)
        OnLog(line);
}
