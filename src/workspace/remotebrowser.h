#pragma once

#include "remoterow.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class MainSession;
class QKeyEvent;
class QMimeData;
class RemoteListView;
class TTreeDlg1;
struct RemoteEntry;
struct WindowParts;

// The local files among the addresses of dropped or copied data, by their
// paths; other addresses are left out.
QStringList LocalFilesIn(const QMimeData *data);

// The remote pane's behaviour: listing the session's current folder into
// ListView1, moving between folders, sorting, the keys and drops of the
// list, and which remote commands are enabled. The transfer and file
// commands themselves are reached through the signals below.
class RemoteBrowser : public QObject {
    Q_OBJECT

public:
    // What a finished in-place edit of a caption did on the server.
    enum class RenameOutcome {
        Keep,    // renamed: the row shows the new caption
        Restore, // not renamed: the row keeps its old caption
        Remove,  // moved to another folder: the row goes
    };
    using RenameHandler = std::function<RenameOutcome(const QString &oldCaption, const QString &newCaption)>;

    explicit RemoteBrowser(const WindowParts &parts);
    ~RemoteBrowser() override;

    void RefreshRemoteList(const QString &nameToSelect = QString());
    // Lists the folder the session has just entered, whose path the caller
    // has from the server's PWD already.
    void ListEnteredFolder(const QString &path);

    // The folder the remote pane shows, with its rows.
    struct ShownFolder {
        QString path;
        std::vector<RemoteRow> rows;
    };
    // A walk keeps what the pane shows before it lists a folder below, and
    // shows it again on its way back up instead of listing once more.
    ShownFolder Shown() const;
    void ShowAgain(ShownFolder shown);
    // True when the server changed into the target; the list is read anew
    // either way.
    bool ChangeRemoteFolder(const QString &target);
    // A path typed into the remote path field: a folder of the current one,
    // a path from the root, or ".."; an unknown one keeps the current folder
    // and says so in the status bar.
    void ChangeToTypedFolder(const QString &typed);
    void UpdateCommandStates();
    // The disconnected state: path field, list and added file-type symbols emptied.
    void ClearRemoteList();

    // The double-click: folders and ".." are entered, a link whose target
    // is a folder too; files and links to files go to openFileRequested.
    void OpenRemoteEntry();
    // "FTP Fenster aktualisieren", "Aktualisieren" and F5.
    void RefreshCommand();
    // "Unformatierte Inhalte ansehen": the listing as the server sent it,
    // written to the tmp folder and opened.
    void ShowRawListing();
    // Starts the in-place edit of the selected entry's caption.
    void StartRename();
    void SetRenameHandler(RenameHandler handler) { m_renameHandler = std::move(handler); }

    // The main session is free for a command (MainSession::SessionIdle).
    bool Ready() const;
    // The thumbnail window sets this while it loads images.
    void SetThumbnailsLoading(bool loading);
    bool ThumbnailsLoading() const;

    RemoteListView *List() const;
    // The pane's rows with their selection, in display order.
    std::vector<RemotePaneEntry> Entries() const;

    // The folder tree window: created with the other windows at start.
    void CreateFolderTreeDialog();
    TTreeDlg1 *FolderTree() const;
    // "Baum Struktur anzeigen": shows the tree without blocking the window.
    void ShowFolderTree();
    // Closes the folder tree window when it is shown (the program ends).
    void CloseFolderTree();

signals:
    // The entry points of the transfer work: download the remote selection
    // into the local pane's folder; upload these local files and folders
    // into the current remote folder; fetch a remote file and open it.
    void downloadSelectionRequested();
    void uploadRequested(const QStringList &localPaths);
    void openFileRequested(const QString &remotePath, const QString &localName);
    // A listing has finished while the DiaShow setting is on.
    void galleryLoadRequested();
    // The command states were computed anew; refreshEnabled: the remote
    // folder may be read again now.
    void commandStatesApplied(bool refreshEnabled);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ConnectCommands();
    void ReadListing(std::vector<RemoteRow> &rows);
    RemoteRow RowOf(const RemoteEntry &entry);
    int SymbolOf(const RemoteRow &row);
    void FinishListing(std::vector<RemoteRow> rows, const QString &nameToSelect, quint64 generation);
    // The path field shows knownPath, or what PWD answers when it is empty.
    void ListCurrentFolder(const QString &nameToSelect, const QString &knownPath);
    void ShowParentOnly();
    // The session's folder, in the path field too.
    void ShowRemoteFolder(const QString &path);
    void OpenLink(const RemoteRow &row);
    // Asks to open the file at path (absolute, or relative to the session's folder).
    void OpenFile(const QString &path, const QString &localName);
    void SortByColumn(int column);
    void ApplyRename(const QPersistentModelIndex &index, const QString &oldCaption,
                     const QString &newCaption);
    void AbortTransfer();
    void ApplyCommandStates(bool askClipboard);
    void PrepareContextMenu();
    bool HandleKey(QKeyEvent *key);
    bool HandleDrag(QEvent *event);
    bool AcceptsDrop(const QMimeData *data) const;
    void RunSessionCommand(const std::function<void()> &command);

    const WindowParts &m_parts;
    MainSession &m_session;
    QPointer<TTreeDlg1> m_folderTree;
    RenameHandler m_renameHandler;
    // Counts the times the list was emptied for a lost session: a listing
    // that was still running then must not fill it again.
    quint64 m_generation = 0;
};
