#include "sftpfilesystem.h"

#include "idexceptions.h"
#include "sessionhost.h"
#include "sshhostkeys.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileDevice>
#include <QIODevice>
#include <QRegularExpression>

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>

using namespace Qt::StringLiterals;

// What a request on the worker came to.
struct SftpFileSystem::Outcome {
    bool ok = false;
    int status = SSH_FX_OK;
    QString sshError;
};

namespace {

// How long the caller's thread reads or writes local data between two pumps.
constexpr int kSliceWorkMs = 5;
// The least a read request asks for after a server sent less than asked.
constexpr int kSmallestReadChunk = 16 * 1024;

QByteArray Encoded(const QString &path)
{
    return path.toUtf8();
}

QString Decoded(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// The German reply to a refused request, with an FTP-like code so the log
// marks it as a failure.
QString RefusalText(int status, const QString &path)
{
    switch (status) {
    case SSH_FX_NO_SUCH_FILE:
    case SSH_FX_NO_SUCH_PATH:
        return u"550 Datei oder Ordner nicht gefunden: %1"_s.arg(path);
    case SSH_FX_PERMISSION_DENIED:
    case SSH_FX_WRITE_PROTECT:
        return u"550 Zugriff verweigert: %1"_s.arg(path);
    case SSH_FX_FILE_ALREADY_EXISTS:
        return u"553 Der Name ist schon vergeben: %1"_s.arg(path);
    case SSH_FX_OP_UNSUPPORTED:
        return u"502 Der Server unterstützt diese Anfrage nicht: %1"_s.arg(path);
    case SSH_FX_EOF:
        return u"550 Die Datei endet vorzeitig: %1"_s.arg(path);
    default:
        return u"550 Der Server hat die Anfrage abgelehnt: %1"_s.arg(path);
    }
}

// The library's reasons in German where a user meets them often.
QString ConnectFailureText(const QString &reason)
{
    const std::pair<const char *, QString> known[] = {
        {"refused", u"Die Verbindung wurde vom Zielcomputer abgelehnt."_s},
        {"resolve", u"Der Host-Name konnte nicht aufgelöst werden."_s},
        {"imeout", u"Zeitüberschreitung bei der Verbindung."_s},
        {"unreachable", u"Der Host ist nicht erreichbar."_s},
        {"kex", u"Client und Server haben kein gemeinsames Verschlüsselungsverfahren."_s},
    };
    for (const auto &[word, text] : known) {
        if (reason.contains(QLatin1StringView(word), Qt::CaseInsensitive))
            return u"%1 (%2)"_s.arg(text, reason);
    }
    return reason;
}

QString ProtocolPath(const QString &folder, const QString &name)
{
    if (name.startsWith(u'/'))
        return name;
    if (name.isEmpty() || name == u"."_s)
        return folder;
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

char KindLetter(quint32 permissions)
{
    switch (permissions & S_IFMT) {
    case S_IFDIR:
        return 'd';
    case S_IFLNK:
        return 'l';
    case S_IFCHR:
        return 'c';
    case S_IFBLK:
        return 'b';
    case S_IFIFO:
        return 'p';
    case S_IFSOCK:
        return 's';
    default:
        return '-';
    }
}

SftpEntry EntryOf(sftp_attributes attributes)
{
    SftpEntry entry;
    entry.name = Decoded(attributes->name);
    entry.kind = KindLetter(attributes->permissions);
    entry.size = qint64(attributes->size);
    entry.mode = attributes->permissions & 07777;
    entry.modified = attributes->mtime;
    entry.owner = attributes->owner ? Decoded(attributes->owner) : QString::number(attributes->uid);
    entry.group = attributes->group ? Decoded(attributes->group) : QString::number(attributes->gid);
    return entry;
}

using AttributesPointer = std::unique_ptr<sftp_attributes_struct, decltype(&sftp_attributes_free)>;

AttributesPointer Owned(sftp_attributes attributes)
{
    return AttributesPointer(attributes, sftp_attributes_free);
}

QString PermissionLetters(quint32 mode)
{
    static const char letters[] = "rwxrwxrwx";
    QString text(9, u'-');
    for (int bit = 0; bit < 9; ++bit) {
        if (mode & (0400u >> bit))
            text[bit] = QLatin1Char(letters[bit]);
    }
    const auto special = [&text](int place, bool set, char withExecute, char without) {
        if (set)
            text[place] = QLatin1Char(text[place] == u'-' ? without : withExecute);
    };
    special(2, mode & S_ISUID, 's', 'S');
    special(5, mode & S_ISGID, 's', 'S');
    special(8, mode & S_ISVTX, 't', 'T');
    return text;
}

} // namespace

// Data of a running transfer between the worker, which talks to the server,
// and the caller, which owns the local file: chunks in order, bounded so a
// slow local disk holds the server back instead of filling memory.
class SftpFileSystem::ChunkQueue {
public:
    static constexpr size_t kMaxChunks = 32;

    // Waits while full; false when stop was set meanwhile.
    bool Push(QByteArray chunk, const std::atomic<bool> &stop)
    {
        std::unique_lock lock(m_mutex);
        while (m_chunks.size() >= kMaxChunks && !stop)
            m_changed.wait_for(lock, std::chrono::milliseconds(20));
        if (stop)
            return false;
        m_chunks.push_back(std::move(chunk));
        m_changed.notify_all();
        return true;
    }
    // The next chunk, waiting for one; false when the queue is closed and
    // empty, or stop was set.
    bool Pop(QByteArray &chunk, const std::atomic<bool> &stop)
    {
        std::unique_lock lock(m_mutex);
        while (m_chunks.empty() && !m_closed && !stop)
            m_changed.wait_for(lock, std::chrono::milliseconds(20));
        if (stop || m_chunks.empty())
            return false;
        chunk = std::move(m_chunks.front());
        m_chunks.pop_front();
        m_changed.notify_all();
        return true;
    }
    // The next chunk if one is there.
    bool TryPop(QByteArray &chunk)
    {
        std::lock_guard lock(m_mutex);
        if (m_chunks.empty())
            return false;
        chunk = std::move(m_chunks.front());
        m_chunks.pop_front();
        m_changed.notify_all();
        return true;
    }
    // A buffer of size bytes, one given back if there is one: a fresh
    // buffer this large for every chunk costs the allocator more than the
    // data costs to move.
    QByteArray Buffer(qsizetype size)
    {
        std::unique_lock lock(m_mutex);
        if (m_spare.empty()) {
            lock.unlock();
            return QByteArray(size, Qt::Uninitialized);
        }
        QByteArray buffer = std::move(m_spare.back());
        m_spare.pop_back();
        lock.unlock();
        buffer.resize(size);
        return buffer;
    }
    void GiveBack(QByteArray buffer)
    {
        std::lock_guard lock(m_mutex);
        if (m_spare.size() < kMaxChunks)
            m_spare.push_back(std::move(buffer));
    }
    bool Full()
    {
        std::lock_guard lock(m_mutex);
        return m_chunks.size() >= kMaxChunks;
    }
    size_t Size()
    {
        std::lock_guard lock(m_mutex);
        return m_chunks.size();
    }
    void Close()
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_chunks;
    std::vector<QByteArray> m_spare;
    bool m_closed = false;
};

SftpFileSystem::SftpFileSystem() = default;

SftpFileSystem::~SftpFileSystem()
{
    if (m_connection)
        m_worker.RunQuietly([this] { LeaveConnection(); });
}

// --- the session log -------------------------------------------------------

void SftpFileSystem::Log(const QString &line)
{
    if (OnLogLine)
        OnLogLine(line);
}

void SftpFileSystem::LogCommand(const QString &line)
{
    Log(line);
    if (m_traffic && m_trafficWithCommands)
        m_traffic(line);
}

void SftpFileSystem::Status(const QString &text)
{
    Log(text);
    if (m_traffic)
        m_traffic(text);
}

void SftpFileSystem::SetActivity(int code)
{
    if (m_host)
        m_host->SetActivity(code);
}

void SftpFileSystem::ReportTrafficTo(const TrafficReport &traffic, bool withCommands)
{
    m_traffic = traffic;
    m_trafficWithCommands = withCommands;
}

void SftpFileSystem::Reply(const QString &reply)
{
    m_lastReply = reply;
    LogCommand(u"Erh.: "_s + reply);
}

bool SftpFileSystem::Refused(const Outcome &outcome, const QString &path)
{
    m_lastReply = RefusalText(outcome.status, path);
    LogCommand(u"Erh.: "_s + m_lastReply);
    return false;
}

// --- requests --------------------------------------------------------------

void SftpFileSystem::RequireSession()
{
    if (!m_sftp)
        throw EIdConnClosedGracefully();
    // A call that arrives through the pump while another one waits: the
    // session answers one request at a time.
    if (m_worker.Busy())
        throw EIdException(u"Die SFTP-Verbindung ist noch mit einer anderen Anfrage beschäftigt."_s);
}

SftpFileSystem::Outcome SftpFileSystem::Request(const QString &request, const std::function<bool()> &call,
                                                const Job &eachSlice, bool ownRequestsOnly)
{
    RequireSession();
    if (!request.isEmpty())
        LogCommand(u"Gesendet: "_s + request);
    Outcome outcome;
    bool lost = false;
    quint32 lateRefusal = SSH_FX_OK;
    RunOnWorker(
        [&] {
            // The library keeps the last status the server sent; a failure
            // without a status of its own did not come from the server.
            m_sftp->errnum = SSH_FX_OK;
            if (!ownRequestsOnly && !CollectLateAnswers(lateRefusal)) {
                outcome.sshError = u"Der Server hat außer der Reihe geantwortet."_s;
                lost = true;
                return;
            }
            outcome.ok = call();
            if (outcome.ok)
                return;
            outcome.status = sftp_get_error(m_sftp);
            outcome.sshError = Decoded(ssh_get_error(Ssh()));
            // A request that failed on the way (the connection broke, the
            // server kept silent past the timeout) leaves the session out of
            // step with the server: it is given up like a lost connection.
            lost = outcome.status == SSH_FX_OK || !ssh_is_connected(Ssh()) ||
                   !ssh_channel_is_open(m_sftp->channel) || outcome.status == SSH_FX_CONNECTION_LOST ||
                   outcome.status == SSH_FX_NO_CONNECTION;
        },
        eachSlice);
    if (lateRefusal != SSH_FX_OK)
        Log(u"Erh.: 550 Der Server konnte eine gelesene Datei nicht schließen (Fehler %1)."_s.arg(
            lateRefusal));
    if (lost)
        ConnectionLost(outcome.sshError);
    return outcome;
}

// The answers to closes sent without waiting and to an open sent ahead: the
// library would take them for its own. refusal: the first close the server
// refused.
bool SftpFileSystem::CollectLateAnswers(quint32 &refusal)
{
    const bool inStep = m_ownRequests.CollectAll(m_sftp);
    refusal = m_ownRequests.Refusal();
    m_ownRequests.Reset();
    return inStep;
}

// A Quit() that arrived through the pump while the worker was busy ends
// the session once the worker is through.
void SftpFileSystem::RunOnWorker(const Job &job, const Job &eachSlice)
{
    m_worker.Run(
        [this, &job] {
            std::optional<SshConnection::Hold> hold;
            if (m_connection)
                hold.emplace(*m_connection);
            job();
        },
        eachSlice);
    if (!m_quitPending)
        return;
    m_quitPending = false;
    Disconnect();
    Status(u"Nicht verbunden."_s);
    throw EIdConnClosedGracefully();
}

void SftpFileSystem::ConnectionLost(const QString &why)
{
    const QString lost = u"Die Verbindung zum Server ist unterbrochen: %1"_s.arg(why);
    m_lastReply = u"421 "_s + lost;
    LogCommand(u"Erh.: "_s + m_lastReply);
    Disconnect();
    Status(u"Nicht verbunden."_s);
    throw EIdConnClosedGracefully(lost);
}

void SftpFileSystem::Disconnect()
{
    if (!m_connection)
        return;
    m_worker.Run([this] { LeaveConnection(); });
    m_sftp = nullptr;
    m_ownRequests = {};
    m_pathOpenedAhead.clear();
    m_openAheadId = 0;
    SetActivity(0);
}

// Closes this session's channel; the last session on the connection ends it.
void SftpFileSystem::LeaveConnection()
{
    {
        SshConnection::Hold hold(*m_connection);
        if (m_sftp)
            sftp_free(m_sftp);
    }
    m_connection.reset();
}

QString SftpFileSystem::ResolvePath(const QString &path) const
{
    return ProtocolPath(m_folder, path);
}

// --- connecting ------------------------------------------------------------

void SftpFileSystem::ConnectAndLogin()
{
    if (m_connection)
        Disconnect();
    if (const auto shared = std::exchange(m_connectionToShare, nullptr); shared && JoinConnection(shared))
        return;
    try {
        for (;;) {
            OpenConnection();
            CheckHostKey();
            const Login login = Authenticate();
            if (login == Login::Done)
                break;
            Disconnect();
            if (login == Login::Refused)
                throw EIdLoginRefused(u"Anmeldung abgelehnt: Der Server %1 hat die Anmeldung als %2 nicht "
                                      u"angenommen."_s.arg(Host, User));
        }
        StartSftp();
    } catch (...) {
        Disconnect();
        throw;
    }
}

// A session like another one opens a channel of its own on that one's
// connection, while it lasts and as long as the server grants more channels;
// otherwise it logs in anew.
bool SftpFileSystem::JoinConnection(const std::shared_ptr<SshConnection> &connection)
{
    Status(u"Weiterer SFTP-Kanal über die SSH-Verbindung zu %1:%2."_s.arg(Host, QString::number(Port)));
    m_connection = connection;
    try {
        StartSftp();
        SetActivity(1);
        return true;
    } catch (const EIdException &) {
        Disconnect();
        return false;
    }
}

void SftpFileSystem::OpenConnection()
{
    Status(u"Verbinden mit %1:%2."_s.arg(Host, QString::number(Port)));
    QString failure;
    RunOnWorker([this, &failure] {
        m_connection = std::make_shared<SshConnection>();
        ssh_session ssh = m_connection->Session();
        const QByteArray host = Host.toUtf8();
        const QByteArray user = User.toUtf8();
        const unsigned int port = unsigned(Port);
        int no = 0;
        ssh_options_set(ssh, SSH_OPTIONS_HOST, host.constData());
        ssh_options_set(ssh, SSH_OPTIONS_PORT, &port);
        ssh_options_set(ssh, SSH_OPTIONS_USER, user.constData());
        // The profile says everything; a ~/.ssh/config written for ssh does not.
        ssh_options_set(ssh, SSH_OPTIONS_PROCESS_CONFIG, &no);
        // Read requests are small: held back for the server's delayed
        // acknowledgement, each would wait some 40 ms.
        int yes = 1;
        ssh_options_set(ssh, SSH_OPTIONS_NODELAY, &yes);
        if (ReadTimeout > 0) {
            const long microseconds = long(ReadTimeout) * 1000;
            ssh_options_set(ssh, SSH_OPTIONS_TIMEOUT_USEC, &microseconds);
        }
        SshHostKeys::UseFiles(ssh, UserKnownHostsFile, KnownHostsFile);
        if (ssh_connect(ssh) != SSH_OK)
            failure = Decoded(ssh_get_error(ssh));
    });
    if (!failure.isEmpty()) {
        Disconnect();
        throw EIdException(u"Die Verbindung zu %1:%2 ist nicht zustande gekommen: %3"_s.arg(
            Host, QString::number(Port), ConnectFailureText(failure)));
    }
    SetActivity(1);
    Status(u"Verbunden."_s);
}

void SftpFileSystem::CheckHostKey()
{
    SshHostKeys::Result result;
    RunOnWorker([this, &result] { result = SshHostKeys::Check(Ssh(), Host, Port); });
    if (result.verdict == SshHostKeys::Verdict::Known)
        return;
    if (result.verdict == SshHostKeys::Verdict::Changed)
        throw EIdException(SshHostKeys::ChangedWarning(result.key));
    if (!m_onceTrustedKey.isEmpty() && m_onceTrustedKey == result.key.fingerprint)
        return;
    Status(u"Unbekannter Host-Schlüssel: %1 %2"_s.arg(result.key.keyType, result.key.fingerprint));
    HostKeyAnswer answer = HostKeyAnswer::Refuse;
    if (AcceptNewHostKey)
        answer = HostKeyAnswer::Accept;
    else if (m_host)
        answer = m_host->AskHostKey(result.key);
    if (!Ssh())
        throw EIdConnClosedGracefully(); // the session ended while the question was open
    if (answer == HostKeyAnswer::Refuse)
        throw EIdException(SshHostKeys::UnknownRefusal(result.key));
    m_onceTrustedKey = result.key.fingerprint;
    if (answer == HostKeyAnswer::Once || KnownHostsFile.isEmpty())
        return;
    QByteArray entry;
    RunOnWorker([this, &entry] { entry = SshHostKeys::EntryOf(Ssh()); });
    QString error;
    if (SshHostKeys::Remember(KnownHostsFile, entry, &error))
        Status(u"Der Host-Schlüssel wurde in %1 gespeichert."_s.arg(KnownHostsFile));
    else
        Status(error);
}

SftpFileSystem::Login SftpFileSystem::Authenticate()
{
    int result = SSH_AUTH_ERROR;
    RunOnWorker([this, &result] {
        result = ssh_userauth_none(Ssh(), nullptr);
        m_authMethods = ssh_userauth_list(Ssh(), nullptr);
    });
    if (result == SSH_AUTH_SUCCESS)
        return Login::Done;
    if (TryAgent() || TryIdentityFile())
        return Login::Done;
    return TryPassword();
}

bool SftpFileSystem::TryAgent()
{
    if (!UseAgent || qEnvironmentVariableIsEmpty("SSH_AUTH_SOCK") ||
        !(m_authMethods & SSH_AUTH_METHOD_PUBLICKEY))
        return false;
    LogCommand(u"Gesendet: Anmeldung mit den Schlüsseln des SSH-Agenten"_s);
    int result = SSH_AUTH_ERROR;
    RunOnWorker([this, &result] { result = ssh_userauth_agent(Ssh(), nullptr); });
    if (result == SSH_AUTH_SUCCESS) {
        Reply(u"230 Angemeldet mit einem Schlüssel des SSH-Agenten."_s);
        return true;
    }
    Reply(u"530 Der Server nimmt keinen Schlüssel des SSH-Agenten an."_s);
    return false;
}

bool SftpFileSystem::TryIdentityFile()
{
    if (IdentityFile.isEmpty() || !(m_authMethods & SSH_AUTH_METHOD_PUBLICKEY))
        return false;
    LogCommand(u"Gesendet: Anmeldung mit dem Schlüssel %1"_s.arg(IdentityFile));
    const auto tryKey = [this](const QString &passphrase) {
        int result = SSH_AUTH_ERROR;
        bool readable = false;
        RunOnWorker([&] {
            ssh_key key = nullptr;
            const QByteArray secret = passphrase.toUtf8();
            readable = ssh_pki_import_privkey_file(QFile::encodeName(IdentityFile).constData(),
                                                   secret.isEmpty() ? nullptr : secret.constData(), nullptr,
                                                   nullptr, &key) == SSH_OK;
            if (readable)
                result = ssh_userauth_publickey(Ssh(), nullptr, key);
            ssh_key_free(key);
        });
        return std::pair{readable, result == SSH_AUTH_SUCCESS};
    };
    auto [readable, accepted] = tryKey(IdentityPassphrase);
    if (!readable && AskIdentityPassphrase && m_host) {
        const QString asked = m_host->IdentityPassphrase(IdentityFile, true, IdentityPassphrase);
        if (!asked.isEmpty()) {
            std::tie(readable, accepted) = tryKey(asked);
            if (readable)
                IdentityPassphrase = asked;
        }
    }
    if (!readable) {
        Reply(u"530 Der Schlüssel %1 ist nicht lesbar (falsche Passphrase?)."_s.arg(IdentityFile));
        return false;
    }
    Reply(accepted ? u"230 Angemeldet mit dem Schlüssel %1."_s.arg(IdentityFile)
                   : u"530 Der Server nimmt den Schlüssel %1 nicht an."_s.arg(IdentityFile));
    return accepted;
}

bool SftpFileSystem::AskPassword()
{
    QString user = User;
    QString password = Password;
    if (!m_host || !m_host->AskCredentials(u"UserID/Pass für "_s + Host, user, password) || !Ssh())
        return false;
    const bool userChanged = user != User;
    User = user;
    Password = password;
    return !userChanged;
}

// The password, and keyboard-interactive answered with it; after a refusal
// the user is asked again until the server accepts or the user gives up.
// The server takes no other user name within one connection: a changed one
// needs a new connection.
SftpFileSystem::Login SftpFileSystem::TryPassword()
{
    const int methods = SSH_AUTH_METHOD_PASSWORD | SSH_AUTH_METHOD_INTERACTIVE;
    if (!(m_authMethods & methods))
        return Login::Refused;
    if (Password.isEmpty()) {
        const QString user = User;
        if (!AskPassword())
            return user != User ? Login::UserChanged : Login::Refused;
    }
    for (;;) {
        LogCommand(u"Gesendet: Anmeldung mit Passwort als %1"_s.arg(User));
        int result = SSH_AUTH_DENIED;
        RunOnWorker([this, &result] {
            const QByteArray password = Password.toUtf8();
            if (m_authMethods & SSH_AUTH_METHOD_PASSWORD)
                result = ssh_userauth_password(Ssh(), nullptr, password.constData());
            if (result == SSH_AUTH_SUCCESS || !(m_authMethods & SSH_AUTH_METHOD_INTERACTIVE))
                return;
            result = ssh_userauth_kbdint(Ssh(), nullptr, nullptr);
            while (result == SSH_AUTH_INFO) {
                for (int prompt = 0; prompt < ssh_userauth_kbdint_getnprompts(Ssh()); ++prompt)
                    ssh_userauth_kbdint_setanswer(Ssh(), unsigned(prompt), password.constData());
                result = ssh_userauth_kbdint(Ssh(), nullptr, nullptr);
            }
        });
        if (result == SSH_AUTH_SUCCESS) {
            Reply(u"230 Angemeldet."_s);
            return Login::Done;
        }
        Reply(u"530 Anmeldung abgelehnt: Benutzer oder Passwort falsch."_s);
        if (result == SSH_AUTH_ERROR)
            return Login::Refused;
        const QString user = User;
        if (!AskPassword())
            return user != User ? Login::UserChanged : Login::Refused;
    }
}

void SftpFileSystem::StartSftp()
{
    LogCommand(u"Gesendet: SFTP starten"_s);
    QString failure;
    QString start;
    RunOnWorker([this, &failure, &start] {
        m_ownRequests.UseConnection(m_connection.get());
        m_sftp = sftp_new(Ssh());
        if (!m_sftp || sftp_init(m_sftp) != SSH_OK) {
            failure = Decoded(ssh_get_error(Ssh()));
            if (m_sftp)
                sftp_free(m_sftp);
            m_sftp = nullptr;
            return;
        }
        m_writeChunk =
            sftp_extension_supported(m_sftp, "limits@openssh.com", "1") ? kLargeWriteChunk : kWriteChunk;
        char *folder = sftp_canonicalize_path(m_sftp, ".");
        start = Decoded(folder);
        ssh_string_free_char(folder);
    });
    if (!m_sftp)
        throw EIdException(u"Der Server %1 bietet kein SFTP an: %2"_s.arg(Host, failure));
    m_folder = start.isEmpty() ? u"/"_s : start;
    Reply(u"257 \"%1\""_s.arg(m_folder));
}

void SftpFileSystem::Quit()
{
    if (!Ssh())
        return;
    if (m_worker.Busy()) {
        m_quitPending = true;
        m_abortRequested = true;
        return;
    }
    Status(u"Verbindung zu %1 wird getrennt."_s.arg(Host));
    Disconnect();
    Status(u"Nicht verbunden."_s);
}

bool SftpFileSystem::IsAlive()
{
    if (!m_sftp)
        return false;
    if (m_worker.Busy())
        return true;
    try {
        const QByteArray folder = Encoded(m_folder);
        // Any answer, also a refusal, shows the connection alive.
        Request(QString(), [&] {
            return Owned(sftp_stat(m_sftp, folder.constData())) != nullptr ||
                   sftp_get_error(m_sftp) != SSH_FX_OK;
        });
        return true;
    } catch (const EIdConnClosedGracefully &) {
        return false;
    }
}

std::unique_ptr<RemoteFileSystem> SftpFileSystem::NewSessionLikeThis() const
{
    auto session = std::make_unique<SftpFileSystem>();
    session->Host = Host;
    session->Port = Port;
    session->User = User;
    session->Password = Password;
    session->IdentityFile = IdentityFile;
    session->IdentityPassphrase = IdentityPassphrase;
    session->AskIdentityPassphrase = AskIdentityPassphrase;
    session->UseAgent = UseAgent;
    session->KnownHostsFile = KnownHostsFile;
    session->UserKnownHostsFile = UserKnownHostsFile;
    session->ReadTimeout = ReadTimeout;
    session->AcceptNewHostKey = AcceptNewHostKey;
    session->m_onceTrustedKey = m_onceTrustedKey;
    if (m_sftp)
        session->m_connectionToShare = m_connection;
    session->m_host = m_host;
    return session;
}

void SftpFileSystem::Abort()
{
    if (m_transferRunning)
        m_abortRequested = true;
}

// --- folders -----------------------------------------------------------------

bool SftpFileSystem::ChangeDir(const QString &path)
{
    if (path.isEmpty())
        return true;
    const QString target = ResolvePath(path);
    const QByteArray encoded = Encoded(target);
    QString canonical;
    bool folder = false;
    const Outcome outcome = Request(u"REALPATH "_s + target, [&] {
        char *resolved = sftp_canonicalize_path(m_sftp, encoded.constData());
        if (!resolved)
            return false;
        const QByteArray resolvedPath(resolved);
        ssh_string_free_char(resolved);
        canonical = QString::fromUtf8(resolvedPath);
        const AttributesPointer attributes = Owned(sftp_stat(m_sftp, resolvedPath.constData()));
        if (!attributes)
            return false;
        folder = KindLetter(attributes->permissions) == 'd';
        return true;
    });
    if (!outcome.ok)
        return Refused(outcome, target);
    if (!folder) {
        m_lastReply = u"550 Das ist kein Ordner: %1"_s.arg(target);
        LogCommand(u"Erh.: "_s + m_lastReply);
        return false;
    }
    m_folder = canonical;
    Reply(u"250 \"%1\" ist der aktuelle Ordner."_s.arg(m_folder));
    return true;
}

bool SftpFileSystem::ChangeDirUp()
{
    return ChangeDir(u".."_s);
}

// The entries of the folder the specifier names (the current one when
// empty), or the one entry of a file it names, or the entries of the
// current folder that match a pattern with * and ?.
bool SftpFileSystem::ReadFolder(const QString &specifier, std::vector<SftpEntry> &entries)
{
    QString path = ResolvePath(specifier);
    QString pattern;
    if (specifier.contains(u'*') || specifier.contains(u'?')) {
        const qsizetype slash = path.lastIndexOf(u'/');
        pattern = path.mid(slash + 1);
        path = slash > 0 ? path.left(slash) : u"/"_s;
    }
    const QByteArray encoded = Encoded(path);
    const Outcome outcome = Request(u"OPENDIR "_s + path, [&] {
        sftp_dir folder = sftp_opendir(m_sftp, encoded.constData());
        if (!folder) {
            // A file lists as itself.
            const AttributesPointer single = Owned(sftp_lstat(m_sftp, encoded.constData()));
            if (!single || KindLetter(single->permissions) == 'd')
                return false;
            SftpEntry entry = EntryOf(single.get());
            entry.name = path.mid(path.lastIndexOf(u'/') + 1);
            entries.push_back(entry);
            return true;
        }
        while (sftp_attributes read = sftp_readdir(m_sftp, folder)) {
            const AttributesPointer attributes = Owned(read);
            SftpEntry entry = EntryOf(attributes.get());
            if (entry.name != u"."_s && entry.name != u".."_s)
                entries.push_back(entry);
        }
        const bool complete = sftp_dir_eof(folder);
        sftp_closedir(folder);
        for (SftpEntry &entry : entries) {
            if (entry.kind != 'l')
                continue;
            char *target = sftp_readlink(m_sftp, Encoded(ProtocolPath(path, entry.name)).constData());
            entry.linkTarget = Decoded(target);
            ssh_string_free_char(target);
        }
        return complete;
    });
    if (!outcome.ok)
        return Refused(outcome, path);
    if (!pattern.isEmpty()) {
        const QRegularExpression match(QRegularExpression::wildcardToRegularExpression(pattern));
        std::erase_if(entries,
                      [&match](const SftpEntry &entry) { return !match.match(entry.name).hasMatch(); });
    }
    Reply(u"226 %1 Einträge"_s.arg(entries.size()));
    return true;
}

QString SftpFileSystem::FactsLine(const SftpEntry &entry)
{
    QString type;
    switch (entry.kind) {
    case '-':
        type = u"file"_s;
        break;
    case 'd':
        type = u"dir"_s;
        break;
    case 'l':
        // The facts end at a blank and split at ";" and ",": a target with
        // one of them is left out.
        type = entry.linkTarget.isEmpty() || entry.linkTarget.contains(QRegularExpression(u"[ ;,]"_s))
                   ? u"OS.unix=symlink"_s
                   : u"OS.unix=slink:"_s + entry.linkTarget;
        break;
    default:
        type = u"OS.unix=special"_s;
        break;
    }
    const QDateTime modified = QDateTime::fromSecsSinceEpoch(entry.modified, Qt::UTC);
    QString line = u"type="_s + type + u';';
    if (entry.kind != 'd')
        line += u"size=%1;"_s.arg(entry.size);
    line += u"modify="_s + modified.toString(u"yyyyMMddHHmmss"_s) + u';';
    line += u"UNIX.mode=0"_s + QString::number(entry.mode, 8) + u';';
    return line + u' ' + entry.name;
}

QString SftpFileSystem::UnixLine(const SftpEntry &entry, const QDateTime &now)
{
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDateTime modified = QDateTime::fromSecsSinceEpoch(entry.modified, Qt::UTC);
    const QDate day = modified.date();
    // As ls does: the time of day for the last half year, else the year.
    const qint64 age = modified.secsTo(now);
    const bool recent = age > -3600 && age < 182LL * 24 * 3600;
    const QString when =
        u"%1 %2 %3"_s.arg(QLatin1StringView(months[day.month() - 1]))
            .arg(day.day(), 2)
            .arg(recent ? modified.toString(u"HH:mm"_s) : u" "_s + QString::number(day.year()));
    QString name = entry.name;
    if (entry.kind == 'l' && !entry.linkTarget.isEmpty())
        name += u" -> "_s + entry.linkTarget;
    // One call fills every field, so that a "%" in a name stays as it is.
    return u"%1%2    1 %3 %4 %5 %6 %7"_s.arg(QString(QLatin1Char(entry.kind)), PermissionLetters(entry.mode),
                                             entry.owner.leftJustified(8), entry.group.leftJustified(8),
                                             QString::number(entry.size).rightJustified(10), when, name);
}

void SftpFileSystem::List(QStringList &target, const QString &specifier, bool details)
{
    target.clear();
    std::vector<SftpEntry> entries;
    if (!ReadFolder(specifier, entries))
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const SftpEntry &entry : entries)
        target.append(details ? UnixLine(entry, now) : entry.name);
}

void SftpFileSystem::ListFacts(QStringList &target, const QString &specifier)
{
    target.clear();
    std::vector<SftpEntry> entries;
    if (!ReadFolder(specifier, entries))
        return;
    for (const SftpEntry &entry : entries)
        target.append(FactsLine(entry));
}

bool SftpFileSystem::MakeDir(const QString &path)
{
    const QString target = ResolvePath(path);
    const QByteArray encoded = Encoded(target);
    const Outcome outcome = Request(u"MKDIR "_s + target,
                                    [&] { return sftp_mkdir(m_sftp, encoded.constData(), 0755) == SSH_OK; });
    if (!outcome.ok)
        return Refused(outcome, target);
    Reply(u"257 \"%1\" angelegt."_s.arg(target));
    return true;
}

bool SftpFileSystem::RemoveDir(const QString &path)
{
    const QString target = ResolvePath(path);
    const QByteArray encoded = Encoded(target);
    const Outcome outcome =
        Request(u"RMDIR "_s + target, [&] { return sftp_rmdir(m_sftp, encoded.constData()) == SSH_OK; });
    if (!outcome.ok)
        return Refused(outcome, target);
    Reply(u"250 Ordner gelöscht."_s);
    return true;
}

bool SftpFileSystem::RemoveFile(const QString &path)
{
    const QString target = ResolvePath(path);
    const QByteArray encoded = Encoded(target);
    const Outcome outcome =
        Request(u"REMOVE "_s + target, [&] { return sftp_unlink(m_sftp, encoded.constData()) == SSH_OK; });
    if (!outcome.ok)
        return Refused(outcome, target);
    Reply(u"250 Datei gelöscht."_s);
    return true;
}

bool SftpFileSystem::Rename(const QString &oldName, const QString &newName)
{
    const QString from = ResolvePath(oldName);
    const QString to = ResolvePath(newName);
    const QByteArray encodedFrom = Encoded(from);
    const QByteArray encodedTo = Encoded(to);
    const Outcome outcome = Request(u"RENAME %1 %2"_s.arg(from, to), [&] {
        return sftp_rename(m_sftp, encodedFrom.constData(), encodedTo.constData()) == SSH_OK;
    });
    if (!outcome.ok)
        return Refused(outcome, from);
    Reply(u"250 Umbenannt."_s);
    return true;
}

qint64 SftpFileSystem::FileSize(const QString &path)
{
    const QString target = ResolvePath(path);
    const QByteArray encoded = Encoded(target);
    qint64 size = -1;
    char kind = '-';
    const Outcome outcome = Request(u"STAT "_s + target, [&] {
        const AttributesPointer attributes = Owned(sftp_stat(m_sftp, encoded.constData()));
        if (!attributes)
            return false;
        kind = KindLetter(attributes->permissions);
        if (attributes->flags & SSH_FILEXFER_ATTR_SIZE)
            size = qint64(attributes->size);
        return true;
    });
    if (!outcome.ok) {
        Refused(outcome, target);
        return -1;
    }
    if (kind != '-' || size < 0) {
        m_lastReply = u"550 Keine Datei: %1"_s.arg(target);
        LogCommand(u"Erh.: "_s + m_lastReply);
        return -1;
    }
    Reply(u"213 %1"_s.arg(size));
    return size;
}

bool SftpFileSystem::SetModifiedTime(const QString &path, const QDateTime &modified)
{
    const QString target = ResolvePath(path);
    const QByteArray encoded = Encoded(target);
    const qint64 seconds = modified.toSecsSinceEpoch();
    const Outcome outcome =
        Request(u"SETSTAT %1 mtime=%2"_s.arg(target, modified.toUTC().toString(u"yyyyMMddHHmmss"_s)), [&] {
            // The access time stays as it is; the request sets both.
            const AttributesPointer current = Owned(sftp_stat(m_sftp, encoded.constData()));
            if (!current)
                return false;
            timeval times[2] = {};
            times[0].tv_sec = time_t(current->atime);
            times[1].tv_sec = time_t(seconds);
            return sftp_utimes(m_sftp, encoded.constData(), times) == SSH_OK;
        });
    if (!outcome.ok)
        return Refused(outcome, target);
    Reply(u"213 Zeit gesetzt."_s);
    return true;
}

// --- transfers -----------------------------------------------------------------

bool SftpFileSystem::Retrieve(const QString &name, QIODevice &target)
{
    return Receive(name, target, nullptr, 0);
}

bool SftpFileSystem::RetrieveFrom(const QString &name, QFileDevice &target, qint64 offset)
{
    return Receive(name, target, &target, offset);
}

// With file: the data goes into it from offset on, and what it held beyond
// is cut off only once the server has opened the file, so a refusal leaves
// it as it was. An offset beyond the remote file's end fetches the whole file.
bool SftpFileSystem::Receive(const QString &name, QIODevice &target, QFileDevice *file, qint64 offset)
{
    // A size from the listing saves asking the server for it.
    const qint64 listedSize = std::exchange(m_sizeForNextRetrieve, -1);
    const QByteArray nextPath = std::exchange(m_nextRetrievePath, {});
    const bool sizeListed = !file && listedSize >= 0;
    const bool oneRead = !file && FitsOneRead(listedSize);
    const QString path = ResolvePath(name);
    const QByteArray encoded = Encoded(path);
    RequireSession();
    m_announcedSize = -1;
    m_restartRefused = false;
    ChunkQueue chunks;
    std::atomic<bool> opened = false;
    std::atomic<qint64> announced = -1;
    std::atomic<qint64> start = offset;
    bool prepared = false;
    QString localError;
    qint64 moved = 0;
    const auto running = BeginTransfer(2);

    // Between two pumps the caller writes for a moment only; the rest
    // waits in the queue, and everything once the worker is through.
    const auto writeArrived = [&](bool everything) {
        if (!opened)
            return;
        if (!prepared) {
            prepared = true;
            if (file && (!file->resize(start) || !file->seek(start)))
                localError = u"Die Datei %1 kann nicht beschrieben werden: %2"_s.arg(file->fileName(),
                                                                                     file->errorString());
        }
        QElapsedTimer writing;
        writing.start();
        QByteArray chunk;
        while ((everything || writing.elapsed() < kSliceWorkMs) && chunks.TryPop(chunk)) {
            if (localError.isEmpty() && target.write(chunk) != chunk.size())
                localError = u"Die Datei kann nicht geschrieben werden: %1"_s.arg(target.errorString());
            moved += chunk.size();
            chunks.GiveBack(std::move(chunk));
        }
        if (!localError.isEmpty())
            m_abortRequested = true;
        Moved(moved);
    };

    const auto readWithLibrary = [&](qint64 &end) {
        // The library must not meet the answer to a close of ours.
        if (DropOpenSentAhead() && !m_ownRequests.CollectAll(m_sftp))
            return false;
        sftp_file remote = sftp_open(m_sftp, encoded.constData(), O_RDONLY, 0);
        if (!remote)
            return false;
        qint64 size = listedSize;
        if (!sizeListed) {
            const AttributesPointer attributes = Owned(sftp_fstat(remote));
            size = attributes && (attributes->flags & SSH_FILEXFER_ATTR_SIZE) ? qint64(attributes->size) : -1;
            announced = size;
        }
        if (size >= 0 && start > size)
            start = 0;
        opened = true;
        m_worker.WakeCaller();
        const bool complete = ReadPipelined(LibraryReads(remote), start, size, sizeListed, chunks, end);
        CloseLater(remote);
        return complete;
    };
    const auto readFile = [&] {
        qint64 end = -1;
        const bool complete = oneRead ? ReadListedFile(encoded, listedSize, nextPath, chunks, opened, end)
                                      : readWithLibrary(end);
        if (sizeListed && complete && !m_abortRequested && end >= 0)
            announced = end;
        return complete;
    };

    LogCommand(u"Gesendet: OPEN %1 (lesen%2)"_s.arg(path, offset > 0 ? u" ab %1"_s.arg(offset) : QString()));
    Outcome outcome;
    {
        // What arrived is kept also when the connection breaks: a part file
        // continues from there.
        const auto writeRest = qScopeGuard([&writeArrived] { writeArrived(true); });
        outcome = Request(
            QString(), readFile, [&writeArrived] { writeArrived(false); }, oneRead);
    }
    m_announcedSize = announced;
    m_restartRefused = start != offset;
    if (m_restartRefused)
        Status(
            u"Die Datei auf dem Server ist kürzer als der lokale Teil: die ganze Datei wird übertragen."_s);
    return EndTransfer(outcome, path, localError, moved);
}

// A file whose listed size fits one read: opened, read and closed by the
// session's own requests, so that the open of the file announced to come
// next (nextPath) goes out together with this file's reads. Its answer waits
// for that file's turn, which then begins without a round trip.
bool SftpFileSystem::ReadListedFile(const QByteArray &path, qint64 size, const QByteArray &nextPath,
                                    ChunkQueue &chunks, std::atomic<bool> &opened, qint64 &end)
{
    quint32 openId = TakeOpenSentAhead(path);
    if (openId == 0)
        openId = m_ownRequests.SendOpenForReading(m_sftp, path);
    SftpChannelRequests::Answer answer;
    if (openId == 0 || !m_ownRequests.Await(m_sftp, openId, answer))
        return false;
    if (answer.type != SSH_FXP_HANDLE) {
        m_sftp->errnum = answer.type == SSH_FXP_STATUS ? int(answer.status) : SSH_FX_BAD_MESSAGE;
        return false;
    }
    const QByteArray handle = answer.payload;
    opened = true;
    if (!nextPath.isEmpty() && nextPath != path) {
        m_openAheadId = m_ownRequests.SendOpenForReading(m_sftp, nextPath);
        m_pathOpenedAhead = nextPath;
    }
    const bool complete = ReadPipelined(OwnReads(handle), 0, size, true, chunks, end);
    m_ownRequests.SendClose(m_sftp, handle);
    // The close rides with the next file's requests when one comes.
    if (m_openAheadId == 0)
        m_ownRequests.Flush(m_sftp);
    return complete;
}

// The id of the open sent ahead for path, whose answer is the caller's now;
// 0 when none was. An open sent ahead for another file is closed.
quint32 SftpFileSystem::TakeOpenSentAhead(const QByteArray &path)
{
    if (m_openAheadId != 0 && path == m_pathOpenedAhead)
        return std::exchange(m_openAheadId, 0);
    DropOpenSentAhead();
    return 0;
}

// Closes the file opened ahead, without waiting; true when a close went out.
bool SftpFileSystem::DropOpenSentAhead()
{
    const quint32 id = std::exchange(m_openAheadId, 0);
    SftpChannelRequests::Answer answer;
    if (id == 0 || !m_ownRequests.Await(m_sftp, id, answer) || answer.type != SSH_FXP_HANDLE)
        return false;
    return m_ownRequests.SendClose(m_sftp, answer.payload);
}

void SftpFileSystem::AnnounceNextRetrieve(const QString &name, qint64 size)
{
    m_nextRetrievePath = FitsOneRead(size) ? Encoded(ResolvePath(name)) : QByteArray();
}

SftpFileSystem::ReadRequests SftpFileSystem::LibraryReads(sftp_file_struct *file)
{
    return {[file](qint64 at, int length) {
                sftp_seek64(file, quint64(at));
                return sftp_async_read_begin(file, uint32_t(length));
            },
            [file](int id, char *into, int length) {
                file->eof = 0;
                return sftp_async_read(file, into, uint32_t(length), uint32_t(id));
            }};
}

SftpFileSystem::ReadRequests SftpFileSystem::OwnReads(const QByteArray &handle)
{
    return {[this, handle](qint64 at, int length) {
                const quint32 id = m_ownRequests.SendRead(m_sftp, handle, quint64(at), quint32(length));
                return id == 0 || id > quint32(std::numeric_limits<int>::max()) ? -1 : int(id);
            },
            [this](int id, char *into, int length) {
                SftpChannelRequests::Answer answer;
                if (!m_ownRequests.Await(m_sftp, quint32(id), answer))
                    return -1;
                if (answer.type == SSH_FXP_DATA && answer.payload.size() <= length) {
                    std::memcpy(into, answer.payload.constData(), size_t(answer.payload.size()));
                    return int(answer.payload.size());
                }
                if (answer.type == SSH_FXP_STATUS && answer.status == SSH_FX_EOF)
                    return 0;
                m_sftp->errnum = answer.type == SSH_FXP_STATUS ? int(answer.status) : SSH_FX_BAD_MESSAGE;
                return -1;
            }};
}

// Keeps several read requests under way, each at an offset of its own, and
// queues the data in file order. A short answer before the end (a server
// may send less than asked) restarts the requests right behind it, asking
// no more than that server sent. A size from a listing may be out of date:
// a last request behind it confirms the end, and data found there is read
// on to the end. end: where the server reported the file's end.
bool SftpFileSystem::ReadPipelined(const ReadRequests &reads, qint64 offset, qint64 size, bool sizeListed,
                                   ChunkQueue &chunks, qint64 &end)
{
    struct Pending {
        int id;
        qint64 at;
        int length;
    };
    std::deque<Pending> pending;
    qint64 next = offset;
    int chunkSize = kReadChunk;
    bool failed = false;
    // Bytes the next request asks for; 0: none is needed.
    const auto wanted = [&]() -> int {
        if (size < 0)
            return chunkSize;
        if (next < size)
            return int(std::min<qint64>(chunkSize, size - next));
        return sizeListed && next == size ? chunkSize : 0;
    };
    const auto request = [&] {
        while (!failed && !m_abortRequested && pending.size() < size_t(kReadsInFlight) && wanted() > 0) {
            const int length = wanted();
            const int id = reads.begin(next, length);
            if (id < 0) {
                failed = true;
                return;
            }
            pending.push_back({id, next, length});
            next += length;
        }
    };
    // Answers to requests no longer wanted are read all the same: the
    // library keeps each one until it is asked for.
    const auto drain = [&] {
        QByteArray unwanted(chunkSize, Qt::Uninitialized);
        while (!pending.empty()) {
            reads.finish(pending.front().id, unwanted.data(), pending.front().length);
            pending.pop_front();
        }
    };
    request();
    while (!pending.empty()) {
        const Pending current = pending.front();
        pending.pop_front();
        QByteArray chunk = chunks.Buffer(current.length);
        const int count = reads.finish(current.id, chunk.data(), current.length);
        if (count < 0)
            failed = true;
        if (count == 0)
            end = current.at;
        if (count <= 0 || m_abortRequested) {
            drain();
            break;
        }
        if (sizeListed && current.at + count > size)
            size = -1; // grown since the listing
        chunk.truncate(count);
        if (!chunks.Push(std::move(chunk), m_abortRequested))
            continue;
        const bool moreToCome = size < 0 || current.at + count < size;
        // The caller writes while the rest arrives; the end of the job wakes
        // it for the last of the file.
        if (moreToCome)
            m_worker.WakeCaller();
        if (count < current.length && moreToCome) {
            drain();
            next = current.at + count;
            chunkSize = std::min(chunkSize, std::max(count, kSmallestReadChunk));
        }
        request();
    }
    return !failed;
}

// Sends the close of a file that was read without waiting for the answer,
// which the next request collects; the library's file is freed here.
void SftpFileSystem::CloseLater(sftp_file_struct *file)
{
    m_ownRequests.SendClose(m_sftp, *file);
    m_ownRequests.Flush(m_sftp);
    ssh_string_free(file->handle);
    std::free(file->name);
    std::free(file);
}

bool SftpFileSystem::Store(QIODevice &source, const QString &name, bool append)
{
    m_restartRefused = false;
    if (!append)
        return Send(source, name, 0, true);
    // Appending writes behind what the remote file holds.
    const qint64 remoteSize = RemoteSizeOrZero(name);
    return Send(source, name, remoteSize, false);
}

bool SftpFileSystem::StoreFile(const QString &localPath, const QString &name, bool append)
{
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        throw EIdException(
            u"Die Datei %1 kann nicht gelesen werden: %2"_s.arg(localPath, file.errorString()));
    return Store(file, name, append);
}

// The remote file must hold offset bytes: a shorter one gets the whole file,
// a longer one is cut to offset first, so that nothing stale stays behind
// what is sent.
bool SftpFileSystem::StoreFrom(QIODevice &source, const QString &name, qint64 offset)
{
    m_restartRefused = false;
    if (offset > 0 && RemoteSizeOrZero(name) < offset) {
        m_restartRefused = true;
        Status(u"Die Datei auf dem Server ist kürzer als angegeben: die ganze Datei wird übertragen."_s);
        offset = 0;
    }
    if (!source.seek(offset))
        throw EIdException(u"Die Daten konnten nicht gelesen werden: %1"_s.arg(source.errorString()));
    return Send(source, name, offset, offset == 0);
}

qint64 SftpFileSystem::RemoteSizeOrZero(const QString &name)
{
    const QString path = ResolvePath(name);
    const QByteArray encoded = Encoded(path);
    qint64 size = 0;
    Request(u"STAT "_s + path, [&] {
        const AttributesPointer attributes = Owned(sftp_stat(m_sftp, encoded.constData()));
        if (attributes && (attributes->flags & SSH_FILEXFER_ATTR_SIZE))
            size = qint64(attributes->size);
        return true;
    });
    Reply(u"213 %1"_s.arg(size));
    return size;
}

// The bytes of source from its position on, into the remote file from
// remoteStart on; truncate starts the remote file empty, else it is cut
// to remoteStart.
bool SftpFileSystem::Send(QIODevice &source, const QString &name, qint64 remoteStart, bool truncate)
{
    const QString path = ResolvePath(name);
    const QByteArray encoded = Encoded(path);
    RequireSession();
    ChunkQueue chunks;
    std::atomic<qint64> written = 0;
    bool sourceEnded = false;
    QString localError;
    const auto running = BeginTransfer(3);

    // Reading stops for the pump now and then: a source on a slow disk must not hold the window.
    const auto readSource = [&] {
        QElapsedTimer reading;
        reading.start();
        while (!sourceEnded && localError.isEmpty() && !m_abortRequested && !chunks.Full() &&
               reading.elapsed() < kSliceWorkMs) {
            QByteArray buffer = chunks.Buffer(m_writeChunk);
            const qint64 count = source.read(buffer.data(), m_writeChunk);
            if (count < 0) {
                localError = u"Die Daten konnten nicht gelesen werden: %1"_s.arg(source.errorString());
                m_abortRequested = true;
            } else if (count == 0) {
                sourceEnded = true;
                chunks.Close();
            } else {
                buffer.truncate(count);
                chunks.Push(std::move(buffer), m_abortRequested);
            }
        }
        Moved(written);
    };

    const auto writeFile = [&] {
        const int flags = O_WRONLY | O_CREAT | (truncate ? O_TRUNC : 0);
        sftp_file remote = sftp_open(m_sftp, encoded.constData(), flags, 0644);
        if (!remote)
            return false;
        if (!truncate) {
            sftp_attributes_struct cut = {};
            cut.flags = SSH_FILEXFER_ATTR_SIZE;
            cut.size = quint64(remoteStart);
            if (sftp_setstat(m_sftp, encoded.constData(), &cut) != SSH_OK) {
                const int refusal = sftp_get_error(m_sftp);
                sftp_close(remote);
                m_sftp->errnum = refusal;
                return false;
            }
        }
        // A channel out of step is given up with the connection.
        if (!WritePipelined(remote, remoteStart, chunks, written))
            return false;
        // Closing is where a server reports a write it could not complete.
        const bool closed = sftp_close(remote) == SSH_OK;
        if (m_ownRequests.Refusal() != SSH_FX_OK) {
            m_sftp->errnum = int(m_ownRequests.Refusal());
            return false;
        }
        return closed;
    };

    LogCommand(u"Gesendet: OPEN %1 (schreiben%2)"_s.arg(path, remoteStart > 0 ? u" ab %1"_s.arg(remoteStart)
                                                                              : QString()));
    readSource();
    const Outcome outcome = Request(QString(), writeFile, readSource);
    return EndTransfer(outcome, path, localError, written);
}

// Keeps up to kWriteBytesInFlight bytes of write requests under way with the data of the
// queue in order, from offset on; written counts what the server confirmed.
// After a refusal nothing more is sent. false: the channel broke or went
// out of step.
bool SftpFileSystem::WritePipelined(sftp_file_struct *file, qint64 offset, ChunkQueue &chunks,
                                    std::atomic<qint64> &written)
{
    m_ownRequests.Reset();
    bool inStep = true;
    QByteArray chunk;
    while (inStep && m_ownRequests.Refusal() == SSH_FX_OK && chunks.Pop(chunk, m_abortRequested)) {
        if (chunks.Size() <= ChunkQueue::kMaxChunks / 2)
            m_worker.WakeCaller();
        inStep =
            m_ownRequests.SendWrite(m_sftp, *file, quint64(offset), chunk.constData(), quint32(chunk.size()));
        offset += chunk.size();
        chunks.GiveBack(std::move(chunk));
        while (inStep && m_ownRequests.Pending() >= size_t(kWriteBytesInFlight / m_writeChunk))
            inStep = m_ownRequests.CollectOne(m_sftp);
        written = m_ownRequests.Acknowledged();
    }
    inStep = inStep && m_ownRequests.CollectAll(m_sftp);
    written = m_ownRequests.Acknowledged();
    return inStep;
}

// Marks a transfer as running for Abort() and the activity lamp until the
// returned guard ends.
std::shared_ptr<void> SftpFileSystem::BeginTransfer(int activity)
{
    m_abortRequested = false;
    m_transferRunning = true;
    m_transferMode = activity == 2 ? wmRead : wmWrite;
    SetActivity(activity);
    if (OnTransferBegin)
        OnTransferBegin(m_transferMode);
    if (m_progress)
        m_progress(0);
    return std::shared_ptr<void>(nullptr, [this](void *) {
        m_transferRunning = false;
        if (OnTransferEnd)
            OnTransferEnd(m_transferMode);
        SetActivity(Ssh() ? 1 : 0);
    });
}

void SftpFileSystem::Moved(qint64 moved)
{
    if (m_progress)
        m_progress(moved);
    if (OnTransferMoved)
        OnTransferMoved(m_transferMode, moved);
}

bool SftpFileSystem::EndTransfer(const Outcome &outcome, const QString &path, const QString &localError,
                                 qint64 moved)
{
    if (!localError.isEmpty()) {
        Reply(u"426 Übertragung abgebrochen: %1"_s.arg(localError));
        throw EIdLocalFileError(localError);
    }
    if (m_abortRequested) {
        Reply(u"426 Übertragung abgebrochen nach %1 Bytes."_s.arg(moved));
        return false;
    }
    if (!outcome.ok)
        return Refused(outcome, path);
    Reply(u"226 Übertragung beendet: %1 Bytes."_s.arg(moved));
    return true;
}
