#pragma once

#include "remotebrowser.h"
#include "remotedeletion.h"

#include <functional>

#include <QObject>

class MainSession;
struct WindowParts;
class Tfragedelete;

// The operations on server entries that move no file content: delete, new
// folder, rename in place and move into another folder. They run on the
// main session and keep to its operation flags.
class RemoteOperations : public QObject {
    Q_OBJECT

public:
    // Creates the delete prompt and wires the remote pane's buttons, menu
    // items and in-place rename to the operations.
    explicit RemoteOperations(WindowParts &parts);

    void DeleteSelection();
    void CreateRemoteFolder();
    // The end of an in-place edit of a caption: renames the entry on the
    // server, or moves it when the new name holds a "/".
    RemoteBrowser::RenameOutcome RenameEntry(const QString &oldCaption, const QString &typedName);
    // Moves the selected entries into a folder chosen in the folder tree.
    void MoveSelection();

    Tfragedelete *DeletePrompt() const { return m_deletePrompt; }

private:
    void ConnectCommands();
    // The main session is free for a command (MainSession::SessionIdle).
    bool Idle() const;
    // Talks to the server as an operation of its own, so that no other
    // command is let in while it waits.
    void RunAsOperation(const std::function<void()> &talk);
    // Switches dragging of rows per view (off where no value is given) and
    // returns the states it had.
    QList<bool> SetRowDragging(const QList<bool> &enabled);

    WindowParts &m_parts;
    MainSession &m_session;
    Tfragedelete *m_deletePrompt;
    RemoteDeletion m_deletion;
};

// Puts the remote file operations on the main window; the window owns them.
RemoteOperations *InstallRemoteOperations(WindowParts &parts);
