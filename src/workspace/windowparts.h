#pragma once

#include <QList>
#include <QMainWindow>
#include <QStringList>

#include <functional>

class ApplicationSettings;
class DataFolders;
class KeepAlive;
class LocalPane;
class MainSession;
class MainToolBar;
class PathRow;
class QProgressBar;
class RemoteBrowser;
class RemoteFileSystem;
class RemotePane;
class SessionControl;
class SessionHost;
class SessionLogView;
class StatusPanels;
class TGetpwdDlg;
class TIdFTP;
class TVerblist;

// The parts of the main window for what works beside it: the panes'
// behaviour, the session's control, the keep-alive and the features. The
// window fills this in as it builds the parts, which live as long as it
// does; a part the window has not built yet is null.
struct WindowParts {
    QMainWindow *window = nullptr; // the parent of dialogs
    SessionHost *host = nullptr;   // answers the main session's questions
    MainSession *session = nullptr;
    TIdFTP *searchSession = nullptr; // the search's session, beside the main one
    // The search's session in use: the one above, or its SFTP session.
    std::function<const RemoteFileSystem &()> searchRemote;
    ApplicationSettings *settings = nullptr;
    const DataFolders *folders = nullptr;
    bool startedWithArguments = false; // the program was started for a file or server

    MainToolBar *toolBar = nullptr;
    PathRow *paths = nullptr;
    LocalPane *local = nullptr;
    RemotePane *remote = nullptr;
    SessionLogView *log = nullptr;
    QProgressBar *progress = nullptr;
    StatusPanels *status = nullptr;

    SessionControl *control = nullptr;
    RemoteBrowser *browser = nullptr;
    KeepAlive *keepAlive = nullptr;
    // Windows made with the window's dialogs, or on first use.
    std::function<TVerblist *()> connectionManager;
    std::function<TGetpwdDlg *()> credentials;

    // True until the window's first showing has restored the layout.
    std::function<bool()> firstActivationPending;
    // Set by the features, read when the program ends: the opened copies
    // whose change is not on the server yet (kept, and the user is told),
    // and the column widths of the search results window.
    std::function<QStringList()> unsavedCopies;
    std::function<QList<int>()> searchColumnWidths;
};
