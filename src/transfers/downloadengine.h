#pragma once

#include "folderwalk.h"
#include "partfile.h"
#include "remoterow.h"
#include "transferengine.h"

#include <QDateTime>
#include <QList>

class PartFile;

// Copies remote files and folder trees from the session's current folder
// into a local folder. Folders are walked through the remote pane: the
// engine enters each one, lets the pane list it and works from its rows.
struct CopiedRemoteEntry;

class DownloadEngine : public TransferEngine {
public:
    DownloadEngine(TFTPqvx &window, Tfrageueberschreiben &prompt);

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
    void DownloadEntries(const QList<RemoteRow> &entries, const QString &localFolder);
    void DownloadLink(const RemoteRow &link, const QString &localFolder);
    // The pane's folder joined with the name.
    QString RemotePath(const QString &name) const;
    // Downloads the folder that entering it (step) led into; afterwards
    // returns to the folder above unless the user cancelled.
    void WalkFolder(FolderWalk::Step step, const QString &name, const QString &localParent);
    // listedSize is -1 when the listing gave none; SIZE asks then.
    void FetchFile(const QString &name, const QString &localFolder, const QDateTime &remoteTime,
                   qint64 listedSize);
    // True when the file was written to target; what a cut transfer leaves
    // stays beside it for "Fortsetzen" when leftover says so.
    bool WriteTarget(const QString &name, const QString &target, qint64 size, const QDateTime &remoteTime,
                     PartFile::Leftover leftover = PartFile::Leftover::Keep);
    void ContinueTarget(const QString &name, const QString &target, const QDateTime &remoteTime);
    bool CompleteTarget(PartFile &part, const QString &target, qint64 size, const QDateTime &remoteTime);
    void FinishSelection(const QString &rowToSelect);
    // Makes the folder holding remotePath the pane's folder; false when the
    // server refused to go there.
    bool ShowFolderOf(const QString &remotePath);

    // The folders of the running download, from where it started down to
    // the current one: links never lead it back.
    FolderWalk m_walk;
};
