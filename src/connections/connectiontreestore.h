#pragma once

#include "connectionprofile.h"
#include "connectiontree.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class TIdFTP;

// The saved connections on disk: every folder below the root is a group, and
// the sections of a folder's inhalt.ini are its connections. Group paths are
// relative to the root: the enclosing group names, each followed by "/".
class ConnectionTreeStore {
public:
    explicit ConnectionTreeStore(const QString &rootFolder);

    const QString &RootFolder() const { return m_root; }

    // Clears the tree and fills it from disk.
    void LoadConnectionTree(ConnectionTree &tree) const;

    // Creates "Neue Gruppe" (numbered when taken) in the current node's group,
    // or at the top level. Null when the folder could not be made.
    ConnectionTreeNode *CreateGroup(ConnectionTree &tree, ConnectionTreeNode *current) const;

    struct RenameOutcome {
        bool renamed = false;
        QString warning; // for the user; empty when nothing is to be shown
    };
    RenameOutcome RenameGroup(ConnectionTree &tree, ConnectionTreeNode &group, const QString &entered) const;
    // Refused silently when the name is blank or taken (in any letter case).
    bool RenameConnection(ConnectionTree &tree, ConnectionTreeNode &connection, const QString &entered) const;

    void DeleteGroup(const ConnectionTreeNode &group) const;
    void DeleteConnection(const ConnectionTreeNode &connection) const;

    // Moves a group or connection into the target group, or into the group of
    // the target connection. True when something moved; the tree is then to
    // be loaded again. landedName receives the item's name in its new place:
    // a connection is numbered when its name is taken there.
    bool MoveTreeItem(const ConnectionTreeNode *moved, const ConnectionTreeNode *target,
                      QString *landedName = nullptr) const;
    // Moves a folder's content into destination (made when missing), then
    // removes the source. True when the source is gone.
    static bool MoveFolderTree(const QString &source, const QString &destination);

    // Copies every inhalt.ini to "Kopie von inhalt.ini" beside it.
    void BackupConnectionFiles() const;

    struct ShortcutFiles {
        QString connectionFile; // <links>/<name>.glimra
        QString launcher;       // <desktop>/<name>.desktop; empty when none was written
    };
    // Writes the connection's section as a connection file into the links
    // folder and a launcher that opens it with the program onto the desktop.
    std::optional<ShortcutFiles> CreateConnectionShortcut(const ConnectionTreeNode &connection,
                                                          const QString &linksFolder,
                                                          const QString &desktopFolder,
                                                          const QString &programPath) const;

    // Applies a connection as the connection manager does (SSL included).
    // Nothing when its section has gone.
    std::optional<MainWindowValues> ApplyConnection(const ConnectionTreeNode &connection,
                                                    TIdFTP &session) const;

    // Walks the tree depth first for the first connection whose FTP_Server
    // equals host ignoring case, or names the same address (IsSameHost), and
    // applies it (by default without SSL). The session stays as it was when
    // none is found.
    std::optional<MainWindowValues>
    FindConnectionByServer(const QString &host, TIdFTP &session,
                           ProfileReading reading = ProfileReading::FoundByServer) const;

    // --- single connections by group path -----------------------------------
    QString GroupFolder(const QString &groupPath) const;
    QString ConnectionFileOf(const QString &groupPath) const;
    bool ConnectionExists(const QString &groupPath, const QString &name) const;
    std::optional<ConnectionProfile> ReadConnection(const QString &groupPath, const QString &name) const;
    // Writes the profile under name, replacing the section originalName
    // (empty for a new connection). Refused when name is empty or belongs to
    // another connection, when a password is too long, a port beyond 65535
    // or the file cannot be written; else the name written.
    std::optional<QString> SaveConnection(const QString &groupPath, const QString &originalName,
                                          const QString &name, const ConnectionProfile &profile) const;
    // For connections from the published list: the group path may use "\"
    // between names; missing folders are made. Never replaces an existing
    // connection. True when the section was added.
    bool AddConnection(const QString &groupPath, const QString &name, const ConnectionProfile &profile) const;

    // Stores every connection's passwords again where the setting of
    // PasswordStore says now: into the keyring, or back into the files,
    // scrambled. Names the connections whose passwords stayed where they were.
    QStringList RelocatePasswords() const;

    // Paths of a node: a group's own folder, a node's inhalt.ini (for a
    // group the one of the group it lies in).
    QString FolderOf(const ConnectionTreeNode &group) const;
    QString ConnectionFileOf(const ConnectionTreeNode &node) const;

private:
    // "Linux/" for <root>/Linux/inhalt.ini.
    QString GroupPathOfFile(const QString &connectionFile) const;
    void LoadFolder(ConnectionTree &tree, ConnectionTreeNode *parent, const QString &folder) const;
    bool MoveSection(const ConnectionTreeNode &connection, const QString &destinationFile,
                     QString &newName) const;
    bool MoveGroupInto(const ConnectionTreeNode &group, const QString &folder) const;
    // Visits every inhalt.ini depth first, each sub folder finished before
    // the next entry; stops when the visitor returns true.
    static bool VisitConnectionFiles(const QString &folder,
                                     const std::function<bool(const QString &)> &visit);

    QString m_root;
};
