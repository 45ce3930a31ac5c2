#pragma once

#include "folderupload.h"
#include "transferengine.h"

#include <memory>
#include <QStringList>

// Copies local files and folder trees into the session's current remote
// folder through the program's one folder upload (FolderUpload), creating
// the remote folders on the way. What exists on the server is judged from
// the remote pane's rows, which it lists after entering each folder; the
// overwrite question decides on existing files.
class UploadEngine : public TransferEngine, private UploadHost {
public:
    UploadEngine(WindowParts &parts, Tfrageueberschreiben &prompt);

    // The upload button (with the local pane's selected entries), entries
    // dropped onto the remote list, and files pasted from the desktop.
    void UploadPaths(const QStringList &paths);
    // Stores a local file at remotePath, as an operation of its own, without
    // the overwrite rules: saving an opened file back. True when the server
    // took it; the pane is then listed again with the file selected.
    bool StoreCopy(const QString &localFile, const QString &remotePath);

private:
    void FinishUpload();

    // UploadHost: the walk as the window shows it.
    QString EnteredFolder(const QString &path) override;
    void ReturnedToParent() override;
    std::optional<ListedName> Listed(const QString &name) override;
    TransferChoice Decide(const UploadCandidate &file) override;
    // Uploaded files get the local time: the user wants it and the server
    // offers MFMT.
    bool KeepsLocalTime() override;
    bool MayContinue() override;
    bool AbortWanted() override;
    void Refused(const QString &message) override;
    void FileStarting(const QString &name, qint64 size) override;
    void Log(const QString &line) override { TransferEngine::Log(line); }
    void BetweenSteps() override { LetEventsRun(); }
    void WhileWaiting(const TransferPool &pool) override;

    FolderUpload &Walk();

    std::unique_ptr<FolderUpload> m_upload;
};
