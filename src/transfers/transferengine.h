#pragma once

#include "folderdownload.h"
#include "idglobal.h"
#include "overwritedecision.h"
#include "transferpool.h"

#include <QString>

#include <functional>
#include <memory>

class QDateTime;
class RemoteBrowser;
class Tfrageueberschreiben;
class MainSession;
struct WindowParts;
class RemoteFileSystem;
struct OperationFlags;
struct RemoteRow;

// What the download and the upload engine share: the main session with its
// flags, the window's panes, the overwrite question and the way a single transfer is
// run so that a cancelled one leaves the session usable.
class TransferEngine {
public:
    TransferEngine(const TransferEngine &) = delete;
    TransferEngine &operator=(const TransferEngine &) = delete;

protected:
    // Status panel 2 while the files of a pool move.
    static const QString kFilesMoving;

    TransferEngine(WindowParts &parts, Tfrageueberschreiben &prompt);
    ~TransferEngine() = default;

    RemoteFileSystem &Session() const;
    OperationFlags &Flags() const;
    RemoteBrowser &Browser() const;

    // The folder walk kept in walk, made anew on the session the pane shows
    // when a connect changed it (FTP to SFTP and back); the walk is built
    // from that session and the rest.
    template <class FolderWalkOf, class... Rest>
    FolderWalkOf &WalkOnSession(std::unique_ptr<FolderWalkOf> &walk, Rest &...rest) const
    {
        RemoteFileSystem &session = Session();
        if (!walk || &walk->Session() != &session)
            walk = std::make_unique<FolderWalkOf>(session, rest...);
        return *walk;
    }

    // The main session is free for a command (MainSession::SessionIdle).
    bool ReadyToStart() const;
    // Connected, no transfer running and no cancel asked for.
    bool ReadyForStep() const;
    // Clears the to-all answers; the start of every download and upload.
    void ForgetToAllAnswers();
    void BeginOperation();

    // The remote pane's folder as the server named it at the last listing.
    QString RemoteFolder() const;
    // Whether a remote row names the entry: its caption, or for a link the
    // name before " -> ". The first such row's time stamp goes to timestamp
    // and its size text to sizeText.
    bool FindRemoteRow(const QString &name, QDateTime *timestamp = nullptr,
                       QString *sizeText = nullptr) const;

    // Status panel 0 names the file.
    void ShowFileName(const QString &name);
    // Lets the window handle what is pending, throttled.
    void LetEventsRun();

    // The question is only put together when the user is to be asked.
    TransferChoice Decide(const ExistingTarget &target, const std::function<OverwriteQuestion()> &question);
    // Writes a line into the session log.
    void Log(const QString &line);
    // Runs an operation's steps, then its end steps, also after an error;
    // an error is shown last, so the end steps' texts do not hide it.
    void RunOperation(const std::function<void()> &steps, const std::function<void()> &endSteps);

    // A pool of extra connections for a transfer of many files, when
    // Parallel_Transfers asks for more than one; none otherwise. Its
    // connections' traffic goes to the session log, the file each takes up
    // to status panel 0.
    std::unique_ptr<TransferPool> CreatePool(bool manyFiles);
    // Marks the start of an operation's transfers: the speed shown counts
    // from here, also the bytes the pool moves while the walk goes on.
    void MarkTransfersStarted();
    // While the walk waits for the pool: the pool's bytes as one transfer
    // of everything queued, and the keep-alive for the quiet session.
    void ShowPoolProgress(const TransferPool &pool, TWorkMode mode);
    void EndPoolProgress(TWorkMode mode);
    // The walk stops: the server refused (message names the path and the
    // reply), or a folder could not be made.
    void StopForRefusal(const QString &message);

    WindowParts &m_parts;
    MainSession &m_session;

private:
    void OnPoolEvent(const TransferPool::Event &event);

    Tfrageueberschreiben &m_prompt;
    bool m_poolProgressShown = false;
    qint64 m_transfersStartedAt = -1;
};

// A local path with "/" appended unless it is empty or ends with one.
QString WithTrailingSeparator(const QString &localPath);
// The remote folder holding a path: "/a/b" gives "/a", "/a" gives "/".
QString ParentPath(const QString &remotePath);
