#pragma once

#include "filedownload.h"
#include "folderwalk.h"
#include "transferpool.h"
#include "walkpool.h"

#include <QDateTime>
#include <QFileInfo>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

struct RemoteEntry;
class RemoteFileSystem;

// An entry of a remote folder as a download sees it.
struct WalkEntry {
    enum class Kind { File, Folder, Link };
    Kind kind = Kind::File;
    // As the server names it (for a link without " -> target").
    QString name;
    // The size the listing gave; -1 when it gave none.
    qint64 size = -1;
    QDateTime time;
    // A link's target as the listing shows it; empty when it shows none.
    QString linkTarget;

    // From a parsed listing line; a kind the parser does not know is a file.
    static WalkEntry FromListing(const RemoteEntry &entry);
};

// A file the walk reached, with what is known of its target.
struct DownloadCandidate {
    WalkEntry entry;
    QString remotePath; // from the server's root
    QString target;     // the local path
    qint64 size = -1;   // listed, else by SIZE; -1 unknown
    QFileInfo existing; // the target as it is
    QFileInfo partial;  // what "Fortsetzen" would continue
    bool resumable = false;
};

// What a folder download needs of whoever runs it: the window (its pane
// lists each folder entered, its prompt decides) or glimra-cli (its own
// listing, its options decide).
class DownloadHost : public WalkHost {
public:
    // The entries of the folder the session has just entered; path is its
    // name as the server gave it.
    virtual QList<WalkEntry> ListEnteredFolder(const QString &path) = 0;
    // The session is back in the folder above the one walked.
    virtual void ReturnedToParent() {}
    // What becomes of a file whose target or partial data exists. A cancel
    // is answered with Skip and makes MayContinue() false.
    virtual TransferChoice Decide(const DownloadCandidate &file) = 0;
};

// The one folder download of the program, for the window and glimra-cli:
// the walk (through FolderWalk, so it never loops and never leaves the
// folder it was asked for), the overwrite decision through the host, the
// files over a pool of extra connections or over the session itself, and
// every file finished through ReceiveFile. With several connections it
// decides what one would: a cancel in the decision lets every file decided
// before it complete; a refusal or failure takes no further file and lets
// the running ones complete.
class FolderDownload {
public:
    FolderDownload(RemoteFileSystem &session, const QStringList &features, DownloadHost &host);
    RemoteFileSystem &Session() const { return m_session; }
    ~FolderDownload();
    FolderDownload(const FolderDownload &) = delete;
    FolderDownload &operator=(const FolderDownload &) = delete;

    // Starts an operation: the pool its files are queued to; without one
    // (nullptr) they move over the session.
    void UsePool(std::unique_ptr<TransferPool> pool) { m_pool.Use(std::move(pool)); }
    // Cuts what the pool still moves (an error ended the operation).
    void DropPool() { m_pool.Drop(); }
    // Starts a walk at the session's current folder; its name as the server
    // gives it (PWD), empty when the server names none.
    QString BeginHere();
    // The folder BeginHere() started at, named path, into localFolder.
    void DownloadHere(const QString &path, const QString &localFolder);
    // The folder of that name in folder (the session's current folder, as
    // the server names it) into localParent/name, recursively.
    void DownloadFolder(const QString &folder, const QString &name, const QString &localParent);
    // A link in folder: a link to a folder is walked like a folder, any
    // other is fetched as the file it points to, under the link's name.
    void DownloadLink(const QString &folder, const WalkEntry &link, const QString &localFolder);
    // A file of folder into localFolder, under the host's decision.
    // siblings: the names of folder (one set for all its files: a copy per
    // file would cost time and memory by the square of the folder's size).
    // following: the entry of folder the caller takes next, which the
    // session may ask for while this one moves.
    void DownloadFile(const QString &folder, const WalkEntry &file, const QString &localFolder,
                      const QSet<QString> &siblings = {}, const WalkEntry *following = nullptr);
    // Waits for the pool's files. Raises the pool's first error; a refusal
    // goes to the host.
    void Finish();
    // Forgets the walk's folders (the session was moved elsewhere).
    void EndWalk() { m_walk.End(); }

    // The folder the walk stands in, as the server named it.
    QString CurrentFolder() const { return m_walk.CurrentPath(); }
    bool HasPool() const { return m_pool.Active(); }

private:
    void WalkEntered(const QString &folder, const QString &name, const QString &localParent);
    void ListAndDownload(const QString &path, const QString &localFolder);
    void DownloadEntries(const QString &folder, const QList<WalkEntry> &entries, const QString &localFolder);
    DownloadCandidate Candidate(const QString &folder, const WalkEntry &file, const QString &localFolder,
                                const QSet<QString> &siblings);
    void Transfer(const DownloadCandidate &file, TransferChoice choice, const QSet<QString> &siblings,
                  const WalkEntry *following);

    RemoteFileSystem &m_session;
    DownloadHost &m_host;
    FolderWalk m_walk;
    WalkPool m_pool;
};

// A name from a server that may safely become a local file name: no path
// separators ("/" or "\"), and not "." or "..".
bool IsSafeLocalName(const QString &name);
// A remote path of a name in folder.
QString JoinRemote(const QString &folder, const QString &name);
// A local path of a name in folder.
QString JoinLocal(const QString &folder, const QString &name);
