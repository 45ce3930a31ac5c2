#pragma once

#include "folderwalk.h"

#include <QString>
#include <QStringList>

#include <functional>

class QTreeWidgetItem;
class RemoteFileSystem;

// Walks the server's folders for the folder tree: enters each folder,
// lists it and adds its subfolders, depth first. One CWD, a PWD (and an
// MLST where the server has it), one listing and one CDUP per folder. The
// walk stops descending once cancelRequested is set or the session is
// gone. A link to a folder that a server lists as a folder shows in the
// tree, but is not walked when it leads back up.
class FolderTreeWalk {
public:
    // Adds a child node under parent (nullptr: the top level) and returns it.
    using AddFolder = std::function<QTreeWidgetItem *(QTreeWidgetItem *parent, const QString &name)>;

    // knownEmptyFolder: a folder with "/" known to have no entries (the
    // remote pane shows it with nothing but ".."), which is not listed
    // again; empty when there is none.
    FolderTreeWalk(RemoteFileSystem &session, const QStringList &features, const bool &cancelRequested,
                   const QString &knownEmptyFolder, AddFolder addFolder);

    // Adds the subfolders of path under node. False when the walk was
    // cancelled or the session lost before this folder was entered.
    bool Scan(QTreeWidgetItem *node, const QString &path);

private:
    void ScanEntered(QTreeWidgetItem *node, const QString &path);
    bool IsKnownEmpty(const QString &path) const;
    QStringList SubfolderNames();

    RemoteFileSystem &m_session;
    const QStringList &m_features;
    const bool &m_cancelRequested;
    const QString m_knownEmptyFolder;
    const AddFolder m_addFolder;
    FolderWalk m_walk;
};
