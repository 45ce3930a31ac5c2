#pragma once

#include "transferengine.h"

#include <QStringList>

class QDateTime;
class QFileInfo;

// Copies local files and folder trees into the session's current remote
// folder, creating the remote folders on the way. What exists on the server
// is judged from the remote pane's rows, which it lists after entering
// each folder.
class UploadEngine : public TransferEngine {
public:
    UploadEngine(WindowParts &parts, Tfrageueberschreiben &prompt);

    // The upload button (with the local pane's selected entries), entries
    // dropped onto the remote list, and files pasted from the desktop.
    void UploadPaths(const QStringList &paths);
    void UploadFolder(const QString &localFolder);
    void UploadFile(const QString &localFile);
    // Stores a local file at remotePath, as an operation of its own, without
    // the overwrite rules: saving an opened file back. True when the server
    // took it; the pane is then listed again with the file selected.
    bool StoreCopy(const QString &localFile, const QString &remotePath);

private:
    void UploadPath(const QString &path);
    void UploadFolderContent(const QString &localFolder);
    void FinishUpload();
    bool ContinueUpload(const QFileInfo &file, const QString &remotePath);
    void KeepLocalTime(const QString &remotePath, const QDateTime &localTime);
    // Uploaded files get the local time: the user wants it and the server
    // offers MFMT.
    bool KeepsLocalTime() const;

    // Local folders being uploaded, by their canonical path: a link back to
    // one of them is not followed again.
    QStringList m_walk;
};
