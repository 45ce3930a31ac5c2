#pragma once

#include "operationflags.h"
#include "sftpfilesystem.h"
#include "tidftp.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// A remote entry remembered by "Kopieren": its kind letter ('d' folder,
// '-' file) and its full path on the server.
struct CopiedRemoteEntry {
    QChar kind;
    QString path;
};

// The main session: the connection whose folder the remote pane shows, what
// runs on it now, and the one gate that every command talking to it passes.
// The window, the panes, the folder tree, the keep-alive and the features
// share it; it knows none of them.
class MainSession : public QObject {
    Q_OBJECT

public:
    explicit MainSession(QObject *parent = nullptr);

    // The FTP session, which the profile configures, and the SFTP session an
    // SFTP profile takes over from it.
    TIdFTP Connection;
    SftpFileSystem Sftp;
    OperationFlags Flags;
    QStringList Features;              // what the server's HELP offered
    QList<CopiedRemoteEntry> CopyList; // remote entries copied for pasting

    // The host as the applied profile named it, for captions and panels.
    // The session the server's files are reached through: the FTP one
    // unless the applied profile speaks SFTP.
    RemoteFileSystem &Remote() { return *m_remote; }
    const RemoteFileSystem &Remote() const { return *m_remote; }
    void UseProtocol(RemoteFileSystem::Protocol protocol)
    {
        m_remote = protocol == RemoteFileSystem::Protocol::Sftp ? static_cast<RemoteFileSystem *>(&Sftp)
                                                                : &Connection;
    }

    const QString &ServerDisplayName() const { return m_serverDisplayName; }
    void SetServerDisplayName(const QString &name) { m_serverDisplayName = name; }
    // The remote folder the pane shows, as the server named it at the last
    // listing; empty while disconnected. The remote pane keeps it.
    const QString &RemoteFolder() const { return m_remoteFolder; }
    void SetRemoteFolder(const QString &folder) { m_remoteFolder = folder; }
    // Where the folder tree starts: the server's root over FTP; over SFTP,
    // whose root is the whole machine's, the folder the login put the user in.
    const QString &TreeRoot() const { return m_treeRoot; }
    void SetTreeRoot(const QString &folder) { m_treeRoot = folder; }

    // Runs a user command. An engine or file error that the command does not
    // handle itself is reported through errorReported; no box.
    void RunCommand(const std::function<void()> &command);
    // A command of RunCommand is under way, perhaps waiting for the server
    // with the event loop running; several single commands (MKD, rename)
    // set no operation flag, so only this tells that they are talking.
    bool CommandRunning() const { return m_commandDepth > 0; }
    // The one place that decides whether a command may talk to the session
    // now: connected, and no operation, transfer, listing or thumbnail load
    // under way. The engine's waits let events run, so a command let in
    // during any of those would cut into that conversation.
    bool SessionIdle() const;
    // An operation, transfer, listing or thumbnail load runs on the session;
    // windows that wait modally are not opened meanwhile, since they would
    // hold that operation until they close.
    bool SessionBusy() const;
    // Runs a command that talks to the session, through RunCommand, when the
    // session is idle; otherwise beeps. True when it ran.
    bool RunSessionCommand(const std::function<void()> &command);
    // Shows a failure as an unhandled command error is shown.
    void ReportError(const QString &message) { emit errorReported(message); }

    // The thumbnail window holds the session while it loads images.
    void SetThumbnailsLoading(bool loading);
    bool ThumbnailsLoading() const { return m_thumbnailsLoading; }

    // Whoever changed the flags says so; the command states follow.
    void NotifyStateChanged() { emit stateChanged(); }
    void NotifyStarted() { emit started(); }
    void NotifyEnded() { emit ended(); }
    void NotifyClosing() { emit closing(); }

signals:
    // A command passed the gate and is about to run.
    void commandStarting();
    void errorReported(const QString &message);
    void stateChanged();
    // The session logged in to a server, or ended.
    void started();
    void ended();
    // The program ends: sessions beside this one stop their transfers and
    // quit now, before this one is disconnected.
    void closing();

private:
    RemoteFileSystem *m_remote = &Connection;
    QString m_serverDisplayName;
    QString m_remoteFolder;
    QString m_treeRoot = QStringLiteral("/");
    int m_commandDepth = 0;
    bool m_thumbnailsLoading = false;
};
