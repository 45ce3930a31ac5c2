#pragma once

#include "filedownload.h"
#include "walkpool.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class RemoteFileSystem;

// What the remote folder the session stands in lists under a name.
struct ListedName {
    QDateTime time;   // invalid when the listing gives none
    QString sizeText; // as the listing gives it
};

// A local file the upload walk reached, with what the remote folder lists
// under its name.
struct UploadCandidate {
    QFileInfo file;
    QString remotePath; // from the server's root
    std::optional<ListedName> listed;
    // Listed with a size between 1 and the file's: "Fortsetzen" sends the rest.
    bool resumable = false;
};

// What a folder upload needs of whoever runs it: the window (its pane lists
// each folder entered, its prompt decides) or glimra-cli (its own listing,
// its options decide).
class UploadHost : public WalkHost {
public:
    // The session has entered the remote folder path; the folder as the
    // server names it now (a link may have led elsewhere).
    virtual QString EnteredFolder(const QString &path) = 0;
    // The session is back in the folder above the one walked.
    virtual void ReturnedToParent() {}
    // What the session's current folder lists under name; nothing when it
    // lists no entry of that name.
    virtual std::optional<ListedName> Listed(const QString &name) = 0;
    // What becomes of a file. A cancel is answered with Skip and makes
    // MayContinue() false.
    virtual TransferChoice Decide(const UploadCandidate &file) = 0;
    // Uploaded files get the local file's modification time.
    virtual bool KeepsLocalTime() = 0;
};

// The one folder upload of the program, for the window and glimra-cli: the
// walk through the local folders (a folder reached again through a link is
// not entered twice), MKD for a folder the remote one does not list, the
// overwrite decision through the host, and the files over a pool of extra
// connections or over the session itself, with the pool's rules (WalkPool).
// It steps into each remote folder it fills and back out: CDUP, or CWD to
// the folder above when a link led elsewhere.
class FolderUpload {
public:
    FolderUpload(RemoteFileSystem &session, UploadHost &host);
    RemoteFileSystem &Session() const { return m_session; }
    FolderUpload(const FolderUpload &) = delete;
    FolderUpload &operator=(const FolderUpload &) = delete;

    // Starts an operation: the pool its files are queued to; without one
    // (nullptr) they move over the session.
    void UsePool(std::unique_ptr<TransferPool> pool) { m_pool.Use(std::move(pool)); }
    // Cuts what the pool still moves (an error ended the operation).
    void DropPool() { m_pool.Drop(); }

    // A local file or folder into folder, the session's current folder as
    // the server names it.
    void UploadPath(const QString &folder, const QString &localPath);
    // The local folder into folder under remoteName (empty: the local
    // folder's name), recursively.
    void UploadFolder(const QString &folder, const QString &localFolder,
                      const QString &remoteName = QString());
    void UploadFile(const QString &folder, const QFileInfo &file);
    // Waits for the pool's files. Raises the pool's first error; a refusal
    // goes to the host.
    void Finish() { m_pool.Finish(m_session); }

private:
    void UploadFolderContent(const QString &folder, const QString &localFolder);
    UploadCandidate Candidate(const QString &folder, const QFileInfo &file);
    void Store(const UploadCandidate &file, TransferChoice choice);

    RemoteFileSystem &m_session;
    UploadHost &m_host;
    WalkPool m_pool;
    // The local folders being walked, by their canonical paths.
    QStringList m_walk;
};
