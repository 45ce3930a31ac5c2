#pragma once

#include "remotefilesystem.h"
#include "sftpchannelrequests.h"
#include "sftpworker.h"
#include "sshconnection.h"

#include <QDateTime>
#include <QDir>

#include <atomic>
#include <functional>
#include <vector>

class SessionHost;
struct ssh_session_struct;
struct sftp_session_struct;
struct sftp_file_struct;

// One folder entry as the server describes it.
struct SftpEntry {
    QString name;
    QString linkTarget;
    char kind = '-'; // '-', 'd', 'l', or another letter of ls -l
    qint64 size = 0;
    quint32 mode = 0;    // permission bits
    qint64 modified = 0; // seconds since 1970, UTC
    QString owner;
    QString group;
};

// A server's file system over SFTP (SSH File Transfer Protocol, version 3,
// through libssh). Every library call of the session runs on the session's
// worker thread while the caller waits in the pump; see SftpWorker.
//
// SFTP knows no current folder: the session keeps one of its own, starting
// in the folder the server starts the user in, and resolves relative paths
// against it. Refused requests return false (or -1, or an empty listing)
// with LastReplyLine() saying why in German; a connection that is gone
// throws EIdConnClosedGracefully, like the FTP session's.
class SftpFileSystem : public RemoteFileSystem {
public:
    // Bytes per read request and how many of them are under way at once.
    // OpenSSH's server answers up to 255 KiB a read; a server that sends
    // less is asked for what it sent from then on.
    static constexpr int kReadChunk = 255 * 1024;
    static constexpr int kReadsInFlight = 16;
    // Bytes per write request. OpenSSH's server takes up to 255 KiB a write
    // and names its limits in the extension limits@openssh.com; a server
    // without it is sent 128 KiB. Writes of kWriteBytesInFlight bytes in all
    // are under way at once.
    static constexpr int kWriteChunk = 128 * 1024;
    static constexpr int kLargeWriteChunk = 255 * 1024;
    static constexpr int kWriteBytesInFlight = 4 * 1024 * 1024;

    SftpFileSystem();
    ~SftpFileSystem() override;

    // --- settings (filled from a connection profile) --------------------
    QString Host;
    int Port = 22;
    QString User;
    QString Password;
    // A private key file in OpenSSH's format; empty for none.
    QString IdentityFile;
    QString IdentityPassphrase;
    bool AskIdentityPassphrase = false;
    // Keys of the SSH agent named by SSH_AUTH_SOCK are tried first.
    bool UseAgent = true;
    // The program's own known-hosts file; empty for none.
    QString KnownHostsFile;
    QString UserKnownHostsFile = QDir::homePath() + QStringLiteral("/.ssh/known_hosts");
    // Milliseconds the server may stay silent; 0 or less: the library's default.
    int ReadTimeout = 0;
    // An unknown host key is accepted and stored without asking.
    bool AcceptNewHostKey = false;
    // Every line of the session log, for the window.
    std::function<void(const QString &line)> OnLogLine;
    // The window's progress display: a transfer begins, moves its bytes and
    // ends, as the FTP session's work events tell it.
    std::function<void(TWorkMode mode)> OnTransferBegin;
    std::function<void(TWorkMode mode, qint64 moved)> OnTransferMoved;
    std::function<void(TWorkMode mode)> OnTransferEnd;

    SessionHost *sessionHost() const { return m_host; }
    void setSessionHost(SessionHost *host) { m_host = host; }

    // --- RemoteFileSystem -------------------------------------------------
    Protocol Kind() const override { return Protocol::Sftp; }
    bool Encrypted() const override { return true; }
    void ConnectAndLogin() override;
    bool LoggedIn() const override { return m_sftp != nullptr; }
    bool IsConnected() const override { return m_connection != nullptr; }
    bool IsAlive() override;
    void Quit() override;
    void Abort() override;
    QString LastReplyLine() const override { return m_lastReply; }
    std::unique_ptr<RemoteFileSystem> NewSessionLikeThis() const override;
    void ReportTrafficTo(const TrafficReport &traffic, bool withCommands) override;
    void ReportProgressTo(const ProgressReport &progress) override { m_progress = progress; }
    // Replies carry a code as FTP's do ("200 ...", "550 ...").
    bool LastRequestSucceeded() const override { return m_lastReply.startsWith(u'2'); }
    void KeepAlive() override { IsAlive(); }
    RemoteServer Server() const override { return {Host, Port, User}; }
    // Listed times are UTC and shown as the server's time, as FTP times are.
    const ::TimeCorrection &ListingTimeCorrection() const override { return m_timeCorrection; }

    NameEncoding NamesEncoding() const override { return NameEncoding::Utf8; }
    void SetNamesEncoding(NameEncoding) override {}

    QString CurrentFolderPath() override { return m_folder; }
    QString CurrentDir() override { return m_folder; }
    bool ChangeDir(const QString &path) override;
    bool ChangeDirUp() override;
    void List(QStringList &target, const QString &specifier = QString(), bool details = true) override;
    void ListFacts(QStringList &target, const QString &specifier = QString()) override;
    bool ListsWithFacts(const QStringList &) const override { return true; }
    bool MakeDir(const QString &path) override;
    bool RemoveDir(const QString &path) override;
    bool RemoveFile(const QString &path) override;
    bool Rename(const QString &oldName, const QString &newName) override;
    qint64 FileSize(const QString &path) override;
    bool SetModifiedTime(const QString &path, const QDateTime &modified) override;

    void SetTransferType(TIdFTPTransferType) override {}
    bool Retrieve(const QString &name, QIODevice &target) override;
    bool RetrieveFrom(const QString &name, QFileDevice &target, qint64 offset) override;
    bool Store(QIODevice &source, const QString &name, bool append = false) override;
    bool StoreFile(const QString &localPath, const QString &name, bool append = false) override;
    bool StoreFrom(QIODevice &source, const QString &name, qint64 offset) override;
    void SizeForNextRetrieve(qint64 size) override { m_sizeForNextRetrieve = size; }
    qint64 LargestFileAskedForAhead() const override { return kReadChunk; }
    void AnnounceNextRetrieve(const QString &name, qint64 size) override;
    qint64 AnnouncedSize() const override { return m_announcedSize; }
    bool RestartRefused() const override { return m_restartRefused; }

    // The absolute path a name given to this session stands for.
    QString ResolvePath(const QString &path) const;
    // Listing lines of the entries of one folder, for tests of the format.
    static QString FactsLine(const SftpEntry &entry);
    static QString UnixLine(const SftpEntry &entry, const QDateTime &now);

private:
    struct Outcome;
    class ChunkQueue;
    // How ReadPipelined asks for data: begin sends a read and gives its id
    // (below 0: it could not be sent); finish waits for its answer and gives
    // the bytes it brought (0: the file ends there, below 0: it failed).
    struct ReadRequests {
        std::function<int(qint64 at, int length)> begin;
        std::function<int(int id, char *into, int length)> finish;
    };

    using Job = SftpWorker::Job;
    enum class Login { Done, Refused, UserChanged };

    // Runs a request on the worker; throws when the connection is gone.
    // ownRequestsOnly: call makes no library call, so answers still owed to
    // the session's own requests need not be read first.
    Outcome Request(const QString &request, const std::function<bool()> &call, const Job &eachSlice = {},
                    bool ownRequestsOnly = false);
    bool Refused(const Outcome &outcome, const QString &path);
    // The server's answer, for LastReplyLine() and the log.
    void Reply(const QString &reply);
    void RequireSession();
    void RunOnWorker(const Job &job, const Job &eachSlice = {});
    [[noreturn]] void ConnectionLost(const QString &why);
    void Disconnect();
    void LeaveConnection();
    ssh_session_struct *Ssh() const { return m_connection ? m_connection->Session() : nullptr; }
    bool JoinConnection(const std::shared_ptr<SshConnection> &connection);

    void OpenConnection();
    void CheckHostKey();
    Login Authenticate();
    bool TryAgent();
    bool TryIdentityFile();
    Login TryPassword();
    bool AskPassword();
    void StartSftp();

    bool ReadFolder(const QString &specifier, std::vector<SftpEntry> &entries);
    bool Receive(const QString &name, QIODevice &target, QFileDevice *file, qint64 offset);
    // A file of this listed size is read with one request (see ReadListedFile).
    static bool FitsOneRead(qint64 size) { return size >= 0 && size <= kReadChunk; }
    bool ReadPipelined(const ReadRequests &reads, qint64 offset, qint64 size, bool sizeListed,
                       ChunkQueue &chunks, qint64 &end);
    static ReadRequests LibraryReads(sftp_file_struct *file);
    ReadRequests OwnReads(const QByteArray &handle);
    bool ReadListedFile(const QByteArray &path, qint64 size, const QByteArray &nextPath, ChunkQueue &chunks,
                        std::atomic<bool> &opened, qint64 &end);
    quint32 TakeOpenSentAhead(const QByteArray &path);
    bool DropOpenSentAhead();
    bool WritePipelined(sftp_file_struct *file, qint64 offset, ChunkQueue &chunks,
                        std::atomic<qint64> &written);
    void CloseLater(sftp_file_struct *file);
    bool CollectLateAnswers(quint32 &refusal);
    bool Send(QIODevice &source, const QString &name, qint64 remoteStart, bool truncate);
    qint64 RemoteSizeOrZero(const QString &name);
    std::shared_ptr<void> BeginTransfer(int activity);
    bool EndTransfer(const Outcome &outcome, const QString &path, const QString &localError, qint64 moved);

    void Log(const QString &line);
    void LogCommand(const QString &line);
    void Status(const QString &text);
    void SetActivity(int code);
    void Moved(qint64 moved);

    SftpWorker m_worker;
    SessionHost *m_host = nullptr;
    // Shared with the sessions made like this one (NewSessionLikeThis).
    std::shared_ptr<SshConnection> m_connection;
    std::shared_ptr<SshConnection> m_connectionToShare;
    sftp_session_struct *m_sftp = nullptr;
    QString m_folder;
    QString m_lastReply;
    // A host key the user trusted for this session only; sessions like this
    // one trust it too.
    QString m_onceTrustedKey;
    int m_authMethods = 0;
    int m_writeChunk = kWriteChunk;
    qint64 m_announcedSize = -1;
    qint64 m_sizeForNextRetrieve = -1;
    // The file announced to follow the next Retrieve, whose open that
    // Retrieve sends along; and the open sent so, until the file is asked for.
    QByteArray m_nextRetrievePath;
    QByteArray m_pathOpenedAhead;
    quint32 m_openAheadId = 0;
    // Writes under way, opens sent ahead, and closes whose answers are read
    // before the next library call.
    SftpChannelRequests m_ownRequests;
    bool m_restartRefused = false;
    std::atomic<bool> m_abortRequested = false;
    bool m_transferRunning = false;
    TWorkMode m_transferMode = wmRead;
    bool m_quitPending = false;
    TrafficReport m_traffic;
    bool m_trafficWithCommands = false;
    ProgressReport m_progress;
    ::TimeCorrection m_timeCorrection;
};
