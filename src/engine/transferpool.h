#pragma once

#include "filedownload.h"
#include "idglobal.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

class RemoteFileSystem;

// One file for the pool to move.
struct PooledTransfer {
    enum class Direction { Download, Upload };
    Direction direction = Direction::Download;
    // As the server names it, from its root.
    QString remotePath;
    QString localPath;
    // A download's size as the listing or SIZE gave it, -1 when unknown.
    qint64 size = -1;
    // The copy's modification time once complete: a download's local file
    // gets it, an upload's file on the server through MFMT. None keeps the
    // time the copy was written.
    QDateTime remoteTime;
    // A download's: the names of the folder it is fetched from, which its
    // part file must not take.
    QSet<QString> reservedNames;
    // How the walking session encodes names when the file is queued: a
    // listing may decide it only deep inside the walk.
    NameEncoding encoding = NameEncoding::Utf8;
};

// Extra connections to the server of a logged-in session, with its profile
// and login, that move files while that session walks the folders. The
// connections log in when the first file is queued; each runs on a thread
// of its own with a session of its own, and the caller's thread only queues
// files, waits, and hears what they did (see Event).
//
// The pool decides what one connection would: a file refused by the server
// or a failure ends the taking of further files, and the files already
// running complete. A connection the server refuses (421, too many
// connections) leaves the pool smaller; with none left, Finish() moves what
// remains over the caller's session.
class TransferPool {
public:
    // What the user asked for while the pool waits.
    enum class Stop {
        None,              // every queued file is moved
        AfterRunningFiles, // queued files are dropped, running ones finish
        Now,               // running files are cut too
    };
    // What a connection did, heard on the caller's thread.
    struct Event {
        enum class Kind {
            Traffic,     // a line of the connection's session log
            FileStarted, // text: the local path of a file it began to move
        };
        Kind kind = Kind::Traffic;
        int connection = 0; // 2 for the first extra connection, the caller's session being 1
        QString text;
    };
    using Observer = std::function<void(const Event &)>;

    // announceUtf8: the server named UTF8 among its features, so each
    // connection sends OPTS UTF8 ON as the session did. logTraffic: the
    // connections report their commands and replies as Traffic events.
    TransferPool(const RemoteFileSystem &session, int connections, bool announceUtf8,
                 bool logTraffic = false);
    // Cancels what is still queued or running and waits for the threads.
    ~TransferPool();
    TransferPool(const TransferPool &) = delete;
    TransferPool &operator=(const TransferPool &) = delete;

    // Events are delivered inside Add(), Finish() and DeliverEvents().
    void SetObserver(Observer observer) { m_observer = std::move(observer); }
    // Names go out in the walking session's encoding as it stands now.
    void Add(PooledTransfer transfer, NameEncoding encoding);
    // Drops the queued files; the running ones finish.
    void StopTaking();
    // Drops the queued files and cuts the running ones.
    void Cancel();
    // Waits until every queued file is done, or the pool stopped. The UI
    // pump runs between slices, then stopWanted and whileWaiting (progress,
    // keep-alive), which may use the session.
    void Finish(RemoteFileSystem &session, const std::function<Stop()> &stopWanted,
                const std::function<void()> &whileWaiting);
    void DeliverEvents();

    // Cancelled, failed or refused: the walk feeding the pool may stop.
    bool Stopped() const;
    // The message of the first failure; empty when there was none.
    QString FirstError() const;
    // The server refused a transfer (not an error: the operation just ends).
    bool TransferRefused() const;
    // The first refusal: the file's remote path and the server's reply.
    QString RefusalMessage() const;
    // Bytes moved and bytes queued over the pool's lifetime.
    qint64 BytesDone() const;
    qint64 BytesQueued() const;
    // Connections working or still logging in.
    int Connections() const;

    // Moves one file over a session through the one way of finishing a file
    // (ReceiveFile for a download). Refused and Stopped leave the target as
    // it was.
    static DownloadOutcome Move(RemoteFileSystem &session, const PooledTransfer &transfer,
                                const StopQuery &stopped);

private:
    struct Shared;
    static void Work(const std::shared_ptr<Shared> &shared, std::unique_ptr<RemoteFileSystem> session,
                     int number);
    void StartConnections();
    bool RunOneOnSession(RemoteFileSystem &session);

    std::shared_ptr<Shared> m_shared;
    std::vector<std::unique_ptr<RemoteFileSystem>> m_unstarted;
    std::vector<std::thread> m_threads;
    Observer m_observer;
};
