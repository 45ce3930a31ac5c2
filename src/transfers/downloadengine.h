#pragma once

#include "folderwalk.h"
#include "remoterow.h"
#include "transferengine.h"

#include <QDateTime>
#include <QList>

class PartFile;

// Copies remote files and folder trees from the session's current folder
// into a local folder. Folders are walked through the remote pane: the
// engine enters each one, lets the pane list it and works from its rows.
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

private:
    void DownloadEntries(const QList<RemoteRow> &entries, const QString &localFolder);
    void DownloadLink(const RemoteRow &link, const QString &localFolder);
    // The pane's folder joined with the name.
    QString RemotePath(const QString &name) const;
    // Downloads the folder that entering it (step) led into; afterwards
    // returns to the folder above unless the user cancelled.
    void WalkFolder(FolderWalk::Step step, const QString &name, const QString &localParent);
    void FetchFile(const QString &name, const QString &localFolder, const QDateTime &remoteTime);
    void WriteTarget(const QString &name, const QString &target, qint64 size, const QDateTime &remoteTime);
    void ContinueTarget(const QString &name, const QString &target, const QDateTime &remoteTime);
    void CompleteTarget(PartFile &part, const QString &target, qint64 size, const QDateTime &remoteTime);
    void FinishSelection(const QString &rowToSelect);

    // The folders of the running download, from where it started down to
    // the current one: links never lead it back.
    FolderWalk m_walk;
};
