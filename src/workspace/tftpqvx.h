#pragma once

#include "applicationsettings.h"
#include "datafolders.h"
#include "operationflags.h"
#include "sessionhost.h"
#include "tidftp.h"

#include <QMainWindow>

#include <functional>

class KeepAlive;
class LocalPane;
class MainToolBar;
class PathRow;
class QProgressBar;
class QSplitter;
class RemoteBrowser;
class RemotePane;
class SessionControl;
class SessionLogView;
class StatusPanels;
class TGetpwdDlg;
class TPagesDlg;
class Tsetup;
class TVerblist;

// A remote entry remembered by "Kopieren": its kind letter ('d' folder,
// '-' file) and its full path on the server.
struct CopiedRemoteEntry {
    QChar kind;
    QString path;
};

// The main window: tool bar, path row, the local and the remote pane side
// by side, the session log under them, the progress bar and the status bar.
// Creating it makes the data folders and reads the settings; its first
// showing restores the saved layout; closing it writes the settings back.
class TFTPqvx : public QMainWindow, public SessionHost {
    Q_OBJECT

public:
    // The caption while disconnected; connected, " - " and the server follow.
    static QString ProgramTitle();

    // arguments: the command line without the program name.
    explicit TFTPqvx(const QStringList &arguments = {}, QWidget *parent = nullptr);
    ~TFTPqvx() override;

    // Creates the windows the main window works with, in start order.
    void CreateDialogs();

    // What the main session asks of its window; SessionControl answers.
    void SetActivity(int code) override;
    bool AskCredentials(const QString &caption, QString &user, QString &password) override;
    void ConnectionLost() override;
    void SetTransferActive(bool active) override;
    QString SslKeyPassword(bool askUser, const QString &storedPassword) override;
    bool AcceptServerCertificate(const ServerCertificateInfo &certificate) override;

    bool StartedWithArguments() const { return !m_arguments.isEmpty(); }
    const QStringList &Arguments() const { return m_arguments; }
    // True until the first showing has restored the layout.
    bool FirstActivationPending() const { return m_firstActivationPending; }
    const DataFolders &Folders() const { return m_folders; }

    // Shows both panes in the views of the settings, with the menu check marks.
    void ApplyViewSettings();

    OperationFlags Flags;
    ApplicationSettings Settings;
    TIdFTP IdFTP1;                     // the main session
    TIdFTP IdFTPSearch;                // the search's session, beside the main one
    QStringList Features;              // what the server's HELP offered
    QList<CopiedRemoteEntry> CopyList; // remote entries copied for pasting
    // The opened copies in the work folder whose change is not on the server
    // yet: the program end keeps them and tells the user where they are.
    std::function<QStringList()> UnsavedCopies;

    // The column widths of the search results window, once it exists; they
    // are written with the settings when the program ends.
    std::function<QList<int>()> SearchColumnWidths;

    SessionControl *Session() const { return m_session; }
    RemoteBrowser *Browser() const { return m_browser; }

    // Runs a user command. An engine or file error that the command does not
    // handle itself ends up in status panel 2 and the session log; no box.
    void RunCommand(const std::function<void()> &command);
    // A command of RunCommand is under way, perhaps waiting for the server
    // with the event loop running; several single commands (MKD, rename)
    // set no operation flag, so only this tells that they are talking.
    bool CommandRunning() const { return m_commandDepth > 0; }
    // The one place that decides whether a command may talk to the main
    // session now: connected, and no operation, transfer, listing or gallery
    // load under way. The engine's waits let events run, so a command let in
    // during any of those would cut into that conversation.
    bool SessionIdle() const;
    // An operation, transfer, listing or gallery load runs on the main
    // session; windows that wait modally are not opened meanwhile, since
    // they would hold that operation until they close.
    bool SessionBusy() const;
    // Runs a command that talks to the main session, through RunCommand,
    // when the session is idle; otherwise beeps. True when it ran.
    bool RunSessionCommand(const std::function<void()> &command);
    void ShowError(const QString &message);

    MainToolBar *ToolBar() const { return m_toolBar; }
    PathRow *Paths() const { return m_pathRow; }
    LocalPane *Local() const { return m_localPane; }
    RemotePane *Remote() const { return m_remotePane; }
    SessionLogView *Log() const { return m_log; }
    QProgressBar *Progress() const { return m_progress; }
    StatusPanels *Status() const { return m_status; }
    // The split area: the panes above, the log below.
    QSplitter *SplitArea() const { return m_splitArea; }
    QSplitter *PaneSplitter() const { return m_paneSplitter; }
    Tsetup *Setup() const { return m_setup; }
    KeepAlive *KeepAliveTimer() const { return m_keepAlive; }
    TPagesDlg *PropertiesDialog() const { return m_pagesDlg; }
    TVerblist *ConnectionManager() const { return m_verblist; }
    // Made on first use when CreateDialogs has not run.
    TGetpwdDlg *CredentialsDialog();

signals:
    // The window closes: sessions beside the main one stop their transfers
    // and quit now, before the main session is disconnected.
    void closingSessions();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildLayout();
    void ConnectCommands();
    void ReadSettings();
    void CentreOnScreen();
    void RunFirstActivation();
    void RestoreColumnWidths();
    void RestoreWindowRect();
    void RestoreSplitPositions();
    void HandleCommandLine();
    void DisconnectSessionsForClose();
    void RunCloseSequence();
    void TellUnsavedCopiesKept(const QStringList &copies);
    void SaveSettings();
    ClosingLayout CurrentLayout() const;
    QRect NormalWindowRect() const;
    bool InNormalState() const;
    void RememberNormalRect();
    QMargins ExpectedFrame() const;
    void OpenSettingsDialog();
    void MoveStoredPasswords();
    void ShowAbout();

    const QStringList m_arguments;
    DataFolders m_folders;
    bool m_firstActivationPending = true;
    bool m_closeSequenceDone = false;
    int m_commandDepth = 0;
    QRect m_normalRect; // the inner rectangle of the window when last neither maximized nor full screen

    MainToolBar *m_toolBar = nullptr;
    PathRow *m_pathRow = nullptr;
    QSplitter *m_splitArea = nullptr;
    QSplitter *m_paneSplitter = nullptr;
    LocalPane *m_localPane = nullptr;
    RemotePane *m_remotePane = nullptr;
    SessionLogView *m_log = nullptr;
    QProgressBar *m_progress = nullptr;
    StatusPanels *m_status = nullptr;
    Tsetup *m_setup = nullptr;
    TPagesDlg *m_pagesDlg = nullptr;
    TVerblist *m_verblist = nullptr;
    TGetpwdDlg *m_getpwdDlg = nullptr;
    SessionControl *m_session = nullptr;
    RemoteBrowser *m_browser = nullptr;
    KeepAlive *m_keepAlive = nullptr;
};
