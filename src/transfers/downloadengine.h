#pragma once

#include "transferengine.h"

#include <QDateTime>
#include <QStringList>

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
    struct Entry {
        QChar kind;
        QString caption;
        QDateTime timestamp;
    };

    void DownloadEntries(const QList<Entry> &entries, const QString &localFolder);
    void DownloadLink(const Entry &link, const QString &localFolder);
    // CWD into name below the pane's folder; false when the server refused.
    bool EnterFolder(const QString &name);
    // Downloads the folder just entered; afterwards returns to the folder
    // above unless the user cancelled (CDUP, or for a link the path it was
    // entered from).
    void WalkEnteredFolder(const QString &name, const QString &localParent, const QString &returnPath);
    QString PaneContent() const;
    void FetchFile(const QString &name, const QString &localFolder, const QDateTime &remoteTime);
    void WriteTarget(const QString &name, const QString &target, qint64 size, const QDateTime &remoteTime);
    void FinishSelection(const QString &rowToSelect);

    // The content of the folders of the walk, from the start down to the
    // current one.
    QStringList m_walk;
};
