#pragma once

#include "folderdownload.h"
#include "remotebrowser.h"
#include "remoterow.h"
#include "transferengine.h"

#include <memory>
#include <QList>
#include <QSet>
#include <QString>

struct CopiedRemoteEntry;

// Copies remote files and folder trees from the session's current folder
// into a local folder, through the program's one folder download
// (FolderDownload). Folders are walked through the remote pane: the walk
// enters each one, lets the pane list it and works from its rows; the
// overwrite question decides on existing files.
class DownloadEngine : public TransferEngine, private DownloadHost {
public:
    DownloadEngine(WindowParts &parts, Tfrageueberschreiben &prompt);

    // The download button and "Downloaden": the selected files and folders
    // into the local pane's folder.
    void DownloadSelection();
    // The folder of that name in the current remote folder into
    // localParent/name, recursively.
    void DownloadFolder(const QString &name, const QString &localParent);
    // The file of that name in the current remote folder into localFolder.
    void DownloadFile(const QString &name, const QString &localFolder);
    // "Aus dem FTP Server einfügen": the copied files and folders, each from
    // the folder it was copied in, into the local pane's folder.
    void DownloadCopied(const QList<CopiedRemoteEntry> &entries);
    // Fetches the file at remotePath into target, as an operation of its
    // own, for opening it. True when target holds the whole file.
    bool FetchCopy(const QString &remotePath, const QString &target);

private:
    // The walk of one operation, with a pool when it moves many files.
    void RunDownload(bool manyFiles, const std::function<void()> &walk);
    void DownloadEntries(const QList<RemoteRow> &entries, const QString &localFolder);
    void FinishSelection(const QString &rowToSelect);
    // Makes the folder holding remotePath the pane's folder; false when the
    // server refused to go there.
    bool ShowFolderOf(const QString &remotePath);
    // The names the pane shows, which no part file may take.
    QSet<QString> PaneNames() const;

    // DownloadHost: the walk as the window shows it.
    QList<WalkEntry> ListEnteredFolder(const QString &path) override;
    void ReturnedToParent() override;
    TransferChoice Decide(const DownloadCandidate &file) override;
    bool MayContinue() override;
    bool AbortWanted() override;
    void Refused(const QString &message) override;
    void FileStarting(const QString &name, qint64 size) override;
    void Log(const QString &line) override { TransferEngine::Log(line); }
    void BetweenSteps() override { LetEventsRun(); }
    void WhileWaiting(const TransferPool &pool) override;

    FolderDownload &Walk();

    std::unique_ptr<FolderDownload> m_download;
    // The folders above the one the walk stands in, as the pane showed
    // them: on its way back the pane shows them again without listing.
    QList<RemoteBrowser::ShownFolder> m_above;
};

// A pane row as the walk sees it.
WalkEntry WalkEntryOf(const RemoteRow &row);
