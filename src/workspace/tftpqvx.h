#pragma once

#include "applicationsettings.h"
#include "datafolders.h"
#include "mainsession.h"
#include "sessionhost.h"
#include "tidftp.h"
#include "windowparts.h"

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

// The main window: tool bar, path row, the local and the remote pane side
// by side, the session log under them, the progress bar and the status bar.
// Creating it makes the data folders and reads the settings; its first
// showing restores the saved layout; closing it writes the settings back.
// It builds and lays out; the main session is an object of its own
// (Main()), and what works beside the window gets its parts (Parts()).
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
    HostKeyAnswer AskHostKey(const HostKeyInfo &key) override;
    QString IdentityPassphrase(const QString &keyFile, bool askUser,
                               const QString &storedPassphrase) override;

    bool StartedWithArguments() const { return !m_arguments.isEmpty(); }
    const QStringList &Arguments() const { return m_arguments; }
    // True until the first showing has restored the layout.
    bool FirstActivationPending() const { return m_firstActivationPending; }
    const DataFolders &Folders() const { return m_folders; }

    // Shows both panes in the views of the settings, with the menu check marks.
    void ApplyViewSettings();

    MainSession &Main() { return m_main; }
    const MainSession &Main() const { return m_main; }
    WindowParts &Parts() { return m_parts; }

    ApplicationSettings Settings;
    TIdFTP IdFTPSearch; // the search's session, beside the main one

    SessionControl *Session() const { return m_session; }
    RemoteBrowser *Browser() const { return m_browser; }

    // Status panel 2 and the session log; no box.
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

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildLayout();
    void FillParts();
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

    MainSession m_main;
    WindowParts m_parts;
    const QStringList m_arguments;
    DataFolders m_folders;
    bool m_firstActivationPending = true;
    bool m_closeSequenceDone = false;
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
