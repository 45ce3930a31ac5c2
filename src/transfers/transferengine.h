#pragma once

#include "idglobal.h"
#include "overwritedecision.h"
#include "transferpool.h"

#include <QString>

#include <functional>
#include <memory>

class QDateTime;
class RemoteBrowser;
class Tfrageueberschreiben;
class TFTPqvx;
class TIdFTP;
struct OperationFlags;
struct RemoteRow;

// What the download and the upload engine share: the main window's session,
// flags and panes, the overwrite question and the way a single transfer is
// run so that a cancelled one leaves the session usable.
class TransferEngine {
public:
    TransferEngine(const TransferEngine &) = delete;
    TransferEngine &operator=(const TransferEngine &) = delete;

protected:
    TransferEngine(TFTPqvx &window, Tfrageueberschreiben &prompt);
    ~TransferEngine() = default;

    TIdFTP &Session() const;
    OperationFlags &Flags() const;
    RemoteBrowser &Browser() const;

    // The main session is free for a command (TFTPqvx::SessionIdle).
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
    // Where a continued transfer of the named file starts: after the partial
    // data, unless the source is unknown or smaller than it (it changed);
    // then at 0, and the log says why.
    qint64 ContinueFrom(const QString &name, qint64 partialSize, qint64 sourceSize);
    // Writes a line into the session log.
    void Log(const QString &line);
    // Runs an operation's steps, then its end steps, also after an error;
    // an error is shown last, so the end steps' texts do not hide it.
    void RunOperation(const std::function<void()> &steps, const std::function<void()> &endSteps);

    // Runs the walk of a transfer of many files. With Parallel_Transfers
    // above 1 the files the walk queues go to a pool of extra connections,
    // and the walk's end waits for them; progress counts the pool's bytes
    // in the given mode. The first error of the pool ends the operation.
    void RunWithPool(bool manyFiles, TWorkMode mode, const std::function<void()> &walk);
    // Hands a file to the running pool; false when there is none and the
    // caller moves the file itself.
    bool Queue(PooledTransfer transfer);

    TFTPqvx &m_window;

private:
    void FinishPool(TWorkMode mode);

    Tfrageueberschreiben &m_prompt;
    std::unique_ptr<TransferPool> m_pool;
};

// A local path with "/" appended unless it is empty or ends with one.
QString WithTrailingSeparator(const QString &localPath);
// The remote folder holding a path: "/a/b" gives "/a", "/a" gives "/".
QString ParentPath(const QString &remotePath);
// A name from a server that may safely become a local file name: no path
// separators ("/" or "\"), and not "." or "..".
bool IsSafeLocalName(const QString &name);
