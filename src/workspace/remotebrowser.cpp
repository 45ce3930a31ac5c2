#include "remotebrowser.h"

#include "applicationsettings.h"
#include "datafolders.h"
#include "idexceptions.h"
#include "listingparser.h"
#include "mainsession.h"
#include "maintoolbar.h"
#include "pathrow.h"
#include "rawlisting.h"
#include "remotecommandstates.h"
#include "remotelisting.h"
#include "remotelistmodel.h"
#include "remotelistview.h"
#include "remotepane.h"
#include "sessionhost.h"
#include "sessiontalk.h"
#include "statuspanels.h"
#include "ttreedlg1.h"
#include "windowparts.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QString kSevenBlanks = u"       "_s;
const QString kNotConnectedHint = u"Nicht verbunden – „Verbinden“ wählt einen Server"_s;

RemoteRow ParentRow()
{
    RemoteRow row;
    row.name = u".."_s;
    row.sizeText = row.dateText = row.info = kSevenBlanks;
    row.symbol = kUpSymbol;
    return row;
}

// The web or FTP address a link points to, or an empty text.
QString AddressIn(const QString &target)
{
    for (const QString &scheme : {u"http://"_s, u"ftp://"_s}) {
        const qsizetype at = target.indexOf(scheme);
        if (at >= 0)
            return target.mid(at);
    }
    return {};
}

// The name a symbol is looked up by: the caption, or for "name -> target"
// the target's last path part.
QString TypeName(const RemoteRow &row)
{
    if (!row.name.contains(u"->"_s))
        return row.name;
    const QString target = row.LinkTarget();
    return target.mid(target.lastIndexOf(u'/') + 1);
}

} // namespace

QStringList LocalFilesIn(const QMimeData *data)
{
    QStringList paths;
    if (!data)
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

RemoteBrowser::RemoteBrowser(const WindowParts &parts)
    : QObject(parts.window)
    , m_parts(parts)
    , m_session(*parts.session)
{
    ConnectCommands();
    connect(&m_session, &MainSession::stateChanged, this, &RemoteBrowser::UpdateCommandStates);
    List()->SetPlaceholderText(kNotConnectedHint);
}

RemoteBrowser::~RemoteBrowser() = default;

RemoteListView *RemoteBrowser::List() const
{
    return m_parts.remote->List;
}

std::vector<RemotePaneEntry> RemoteBrowser::Entries() const
{
    return List()->Entries();
}

bool RemoteBrowser::Ready() const
{
    return m_session.SessionIdle();
}

void RemoteBrowser::SetThumbnailsLoading(bool loading)
{
    m_session.SetThumbnailsLoading(loading);
}

void RemoteBrowser::ShowRemoteFolder(const QString &path)
{
    m_session.SetRemoteFolder(path);
    m_parts.paths->SetRemoteFolder(path);
}

bool RemoteBrowser::ThumbnailsLoading() const
{
    return m_session.ThumbnailsLoading();
}

void RemoteBrowser::RunSessionCommand(const std::function<void()> &command)
{
    m_session.RunSessionCommand(command);
}

// --- listing -------------------------------------------------------------

void RemoteBrowser::RefreshRemoteList(const QString &nameToSelect)
{
    ListCurrentFolder(nameToSelect, QString());
}

void RemoteBrowser::ListEnteredFolder(const QString &path)
{
    ListCurrentFolder(QString(), path);
}

void RemoteBrowser::ListCurrentFolder(const QString &nameToSelect, const QString &knownPath)
{
    RemoteFileSystem &session = m_session.Remote();
    OperationFlags &flags = m_session.Flags;
    // A second listing inside the waits of a running one would interleave
    // two conversations on the one control connection.
    if (!session.IsConnected() || flags.TransferActive || flags.ListingBusy || m_session.ThumbnailsLoading())
        return;
    m_parts.status->SetPanelText(2, u"Lese Inhalte..."_s);
    List()->SetPlaceholderText(QString());
    ShowParentOnly();
    flags.ListingBusy = true;
    const quint64 generation = m_generation;
    std::vector<RemoteRow> rows{ParentRow()};
    try {
        session.SetTransferType(ftASCII);
        ShowRemoteFolder(knownPath.isEmpty() ? session.CurrentDir() : knownPath);
        ReadListing(rows);
    } catch (...) {
        FinishListing(std::move(rows), nameToSelect, generation);
        throw;
    }
    FinishListing(std::move(rows), nameToSelect, generation);
}

RemoteBrowser::ShownFolder RemoteBrowser::Shown() const
{
    const RemoteListModel &model = *List()->Rows();
    ShownFolder shown{m_session.RemoteFolder(), {}};
    shown.rows.reserve(std::size_t(model.Count()));
    for (int index = 0; index < model.Count(); ++index)
        shown.rows.push_back(model.Row(index));
    return shown;
}

void RemoteBrowser::ShowAgain(ShownFolder shown)
{
    if (!m_session.Remote().IsConnected())
        return;
    ShowRemoteFolder(shown.path);
    List()->Rows()->SetRows(std::move(shown.rows), m_parts.settings->ftplist_s, m_parts.settings->ftplist_r);
    List()->ClearSelection();
}

void RemoteBrowser::ShowParentOnly()
{
    RemoteListModel *model = List()->Rows();
    model->SetRows({ParentRow()}, 0, -1);
    model->Symbols().DropAdded();
}

void RemoteBrowser::ReadListing(std::vector<RemoteRow> &rows)
{
    RemoteFileSystem &session = m_session.Remote();
    const RemoteListing listing = ListRemoteFolder(session, m_session.Features);
    rows.reserve(std::size_t(listing.lines.size()) + 1);
    for (const QString &line : listing.lines) {
        if (IsTotalLine(line)) {
            m_parts.status->SetPanelText(1, line);
            continue;
        }
        // The parser lets the window run now and then (throttled).
        const RemoteEntry entry = ParseListingLine(line, session.ListingTimeCorrection(), listing.mlsd);
        if (NamesFolderEntry(entry))
            rows.push_back(RowOf(entry));
    }
}

RemoteRow RemoteBrowser::RowOf(const RemoteEntry &entry)
{
    RemoteRow row;
    row.name = entry.name;
    row.sizeText = entry.sizeText;
    row.dateText = entry.dateText;
    row.timestamp = entry.timestamp;
    const QChar kind = KindLetter(entry.kind);
    row.info = entry.attributes.startsWith(kind) ? entry.attributes : kind + entry.attributes;
    row.symbol = row.IsFolder() ? kFolderSymbol : SymbolOf(row);
    return row;
}

int RemoteBrowser::SymbolOf(const RemoteRow &row)
{
    const QString target = row.name.contains(u"->"_s) ? row.LinkTarget() : row.name;
    const bool link = row.Kind() == RemoteRow::kLink;
    // A link's target may be a folder: only a size tells a file.
    if ((link || target.contains(u'/')) && m_session.Remote().FileSize(target) < 0)
        return kFolderLinkSymbol;
    const bool address = !AddressIn(target).isEmpty();
    return List()->Rows()->Symbols().SymbolFor(TypeName(row), row.IsLink(), address);
}

void RemoteBrowser::FinishListing(std::vector<RemoteRow> rows, const QString &nameToSelect,
                                  quint64 generation)
{
    OperationFlags &flags = m_session.Flags;
    RemoteListView *list = List();
    // Emptied meanwhile because the session ended: the rows are out of date.
    const bool current = generation == m_generation;
    if (current) {
        list->Rows()->SetRows(std::move(rows), m_parts.settings->ftplist_s, m_parts.settings->ftplist_r);
        const int selected = nameToSelect.isEmpty() ? -1 : list->Rows()->FindCaption(nameToSelect);
        if (selected >= 0)
            list->SelectRow(selected);
        else
            list->ClearSelection();
    }
    // The listing is over before anything that may start the next command.
    flags.ListingBusy = false;
    m_parts.host->SetActivity(m_session.Remote().IsConnected() ? 1 : 0);
    if (m_parts.settings->DiaShow)
        emit galleryLoadRequested();
    UpdateCommandStates();
    if (current)
        m_parts.status->SetPanelText(2, u"Fertig"_s);
}

void RemoteBrowser::ClearRemoteList()
{
    ++m_generation;
    ShowRemoteFolder(QString());
    List()->Rows()->SetRows({}, 0, -1);
    List()->SetPlaceholderText(kNotConnectedHint);
    List()->Rows()->Symbols().DropAdded();
    // The folder tree belongs to the session as much as the list does.
    if (m_folderTree)
        m_folderTree->SessionEnded();
}

void RemoteBrowser::SortByColumn(int column)
{
    ApplicationSettings &settings = *m_parts.settings;
    if (settings.ftplist_s == column)
        settings.ftplist_r = -settings.ftplist_r;
    else
        settings.ftplist_s = column;
    List()->SetSortSymbols(settings.ftplist_s, settings.ftplist_r);
    List()->Rows()->Sort(settings.ftplist_s, settings.ftplist_r);
}

// --- moving between folders ---------------------------------------------

bool RemoteBrowser::ChangeRemoteFolder(const QString &target)
{
    RemoteFileSystem &session = m_session.Remote();
    if (!session.IsConnected() || m_session.Flags.TransferActive || m_session.Flags.ListingBusy)
        return false;
    const bool up = target.isEmpty() || target == u".."_s;
    QString folderLeft;
    bool changed = false;
    {
        const SessionTalk talk(m_session);
        const QString current = session.CurrentDir();
        folderLeft = current.mid(current.lastIndexOf(u'/') + 1);
        if (up)
            changed = session.ChangeDirUp();
        else if (target.startsWith(u'.') || target.startsWith(u'/'))
            changed = session.ChangeDir(target);
        else
            changed = session.ChangeDir(WithTrailingSlash(current) + target);
    }
    // Only the way up has a row for the folder just left.
    RefreshRemoteList(up ? folderLeft : QString());
    QCoreApplication::processEvents();
    if (up) {
        const int row = List()->Rows()->FindCaption(folderLeft);
        if (row >= 0)
            List()->SelectRow(row);
    }
    return changed;
}

void RemoteBrowser::ChangeToTypedFolder(const QString &typed)
{
    const QString path = typed.trimmed();
    if (path.isEmpty())
        return;
    // The listing of the folder kept has said "Fertig"; say why it was kept.
    if (!ChangeRemoteFolder(path))
        m_parts.status->SetPanelText(2, u"Der Ordner „%1“ wurde nicht gefunden."_s.arg(path));
}

void RemoteBrowser::OpenRemoteEntry()
{
    if (!Ready())
        return;
    const QList<int> selected = List()->SelectedRows();
    if (selected.size() != 1)
        return;
    const RemoteRow row = List()->Row(selected.first());
    if (row.IsParent() || row.IsFolder())
        ChangeRemoteFolder(row.name);
    else if (row.IsLink())
        OpenLink(row);
    else if (row.Kind() == RemoteRow::kFile)
        OpenFile(row.name, row.name);
    QApplication::beep();
}

void RemoteBrowser::OpenLink(const RemoteRow &row)
{
    const QString target = row.LinkTarget();
    if (target.isEmpty())
        return;
    const QUrl address(AddressIn(target));
    if (address.isValid() && !address.isEmpty()) {
        QDesktopServices::openUrl(address);
        return;
    }
    RemoteFileSystem &session = m_session.Remote();
    const bool asItStands = target.startsWith(u'.') || target.contains(u'/');
    QString path = target;
    bool isFile = false;
    {
        const SessionTalk talk(m_session);
        session.SetTransferType(ftASCII);
        if (!asItStands)
            path = WithTrailingSlash(session.CurrentDir()) + target;
        // The size of a folder is refused.
        isFile = session.FileSize(path) >= 0;
    }
    if (isFile)
        OpenFile(path, target.mid(target.lastIndexOf(u'/') + 1));
    else
        ChangeRemoteFolder(target);
}

void RemoteBrowser::OpenFile(const QString &path, const QString &localName)
{
    // An opened copy may be saved back long after: its path must not depend
    // on the folder that is current then.
    QString remotePath = path;
    if (!remotePath.startsWith(u'/')) {
        const SessionTalk talk(m_session);
        remotePath = WithTrailingSlash(m_session.Remote().CurrentDir()) + path;
    }
    emit openFileRequested(remotePath, localName);
}

void RemoteBrowser::RefreshCommand()
{
    const QList<int> selected = List()->SelectedRows();
    const bool oneFolder = selected.size() == 1 && List()->Row(selected.first()).IsFolder();
    const QString name = oneFolder ? List()->Row(selected.first()).name : QString();
    RunSessionCommand([this, name] { RefreshRemoteList(name); });
}

void RemoteBrowser::ShowRawListing()
{
    OperationFlags &flags = m_session.Flags;
    if (!Ready())
        return;
    flags.ListingBusy = true;
    RemoteListing listing;
    try {
        listing = ListRemoteFolder(m_session.Remote(), m_session.Features);
    } catch (...) {
        flags.ListingBusy = false;
        throw;
    }
    flags.ListingBusy = false;
    const QString path =
        RawListingPath(m_parts.folders->NewTemporaryFileName(), m_session.ServerDisplayName());
    if (WriteRawListing(path, listing.lines))
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

// --- renaming --------------------------------------------------------------

void RemoteBrowser::StartRename()
{
    if (!Ready())
        return;
    RemoteListView *list = List();
    const QList<int> selected = list->SelectedRows();
    const int current = list->SelectionModel()->currentIndex().row();
    if (selected.contains(current) && !list->Row(current).IsParent()) {
        list->EditCaption(current);
        return;
    }
    for (int row : selected) {
        if (!list->Row(row).IsParent()) {
            list->EditCaption(row);
            return;
        }
    }
}

void RemoteBrowser::ApplyRename(const QPersistentModelIndex &index, const QString &oldCaption,
                                const QString &newCaption)
{
    RenameOutcome outcome = RenameOutcome::Restore;
    if (m_renameHandler)
        RunSessionCommand([&] { outcome = m_renameHandler(oldCaption, newCaption); });
    // The handler talks to the server; the list may have been read anew meanwhile.
    if (!index.isValid() || List()->Row(index.row()).name != oldCaption)
        return;
    if (outcome == RenameOutcome::Keep) {
        List()->Rows()->SetCaption(index.row(), newCaption);
    } else if (outcome == RenameOutcome::Remove) {
        List()->ClearSelection();
        List()->Rows()->RemoveRow(index.row());
    }
    UpdateCommandStates();
}

// --- commands and their states -------------------------------------------

void RemoteBrowser::ConnectCommands()
{
    RemotePane *pane = m_parts.remote;
    RemoteListView *list = pane->List;
    connect(list, &MultiViewList::itemDoubleClicked, this,
            [this] { RunSessionCommand([this] { OpenRemoteEntry(); }); });
    connect(list, &MultiViewList::selectionChanged, this, &RemoteBrowser::UpdateCommandStates);
    connect(list, &RemoteListView::headerClicked, this, &RemoteBrowser::SortByColumn);
    connect(list->Rows(), &RemoteListModel::renameRequested, this, &RemoteBrowser::ApplyRename,
            Qt::QueuedConnection);
    for (QAbstractItemView *view : list->Views()) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
    }
    const auto onClick = [this](QToolButton *button, QAction *item, auto slot) {
        connect(button, &QToolButton::clicked, this, slot);
        if (item)
            connect(item, &QAction::triggered, this, slot);
    };
    onClick(pane->RefreshButton, pane->RefreshItem, [this] { RefreshCommand(); });
    onClick(pane->SpeedButton9, pane->AnsehenAusfhren1,
            [this] { RunSessionCommand([this] { OpenRemoteEntry(); }); });
    onClick(pane->SpeedButton3, pane->download1, [this] { emit downloadSelectionRequested(); });
    onClick(pane->SpeedButton6, pane->Umbenenneb1, [this] { StartRename(); });
    onClick(pane->FolderTreeButton, pane->FolderTreeItem, [this] { ShowFolderTree(); });
    // Stopping is the one command meant for a running operation.
    onClick(pane->SpeedButton10, nullptr, [this] { m_session.RunCommand([this] { AbortTransfer(); }); });
    connect(pane->Datentransferabbrechen1, &QAction::triggered, this,
            [this] { m_session.Flags.CancelRequested = true; });
    connect(pane->RawListingItem, &QAction::triggered, this,
            [this] { RunSessionCommand([this] { ShowRawListing(); }); });
    connect(pane->ContextMenu, &QMenu::aboutToShow, this, &RemoteBrowser::PrepareContextMenu);
    connect(m_parts.paths, &PathRow::remotePathEntered, this,
            [this](const QString &path) { RunSessionCommand([this, path] { ChangeToTypedFolder(path); }); });
}

void RemoteBrowser::AbortTransfer()
{
    OperationFlags &flags = m_session.Flags;
    flags.CancelRequested = true;
    flags.AbortRequested = true;
    if (m_session.Remote().IsConnected() && (flags.OperationBusy || flags.TransferActive))
        m_session.Remote().Abort();
}

void RemoteBrowser::UpdateCommandStates()
{
    ApplyCommandStates(false);
}

void RemoteBrowser::ApplyCommandStates(bool askClipboard)
{
    if (m_parts.firstActivationPending())
        return;
    RemoteListView *list = List();
    const QList<int> selected = list->SelectedRows();
    RemoteCommandInputs in;
    in.connected = m_session.Remote().IsConnected();
    in.transferActive = m_session.Flags.TransferActive;
    in.operationBusy = m_session.Flags.OperationBusy;
    in.thumbnailsLoading = m_session.ThumbnailsLoading();
    in.selectedCount = int(selected.size());
    in.parentSelected = !selected.isEmpty() && list->Row(selected.first()).IsParent();
    in.onlySelectedIsFolder = selected.size() == 1 && list->Row(selected.first()).IsFolder();
    in.allDelete = m_parts.settings->All_Delete;
    // Only the context menu offers "Einfügen"; the clipboard is asked when it opens.
    if (askClipboard) {
        const QMimeData *clipboard = QGuiApplication::clipboard()->mimeData();
        in.clipboardHasFiles = clipboard && !LocalFilesIn(clipboard).isEmpty();
    }
    const RemoteCommandStates states = ComputeRemoteCommandStates(in);

    RemotePane *pane = m_parts.remote;
    const auto enable = [](bool on, std::initializer_list<QObject *> controls) {
        for (QObject *control : controls) {
            if (auto *widget = qobject_cast<QWidget *>(control))
                widget->setEnabled(on);
            else if (auto *action = qobject_cast<QAction *>(control))
                action->setEnabled(on);
        }
    };
    enable(states.download, {pane->SpeedButton3, pane->download1});
    enable(states.newFolder, {pane->SpeedButton5, pane->NeuerOrdner1});
    enable(states.rename, {pane->SpeedButton6, pane->Umbenenneb1});
    enable(states.remove, {pane->SpeedButton7, pane->entfernen1});
    enable(states.move, {pane->Bewegen1});
    enable(states.refresh, {pane->RefreshButton, pane->RefreshItem, pane->FolderTreeButton,
                            pane->FolderTreeItem, pane->RawListingItem});
    enable(states.open, {pane->SpeedButton9, pane->AnsehenAusfhren1});
    enable(states.abort, {pane->SpeedButton10, pane->Datentransferabbrechen1});
    enable(states.editEntries, {m_parts.toolBar->SpeedButton11, m_parts.toolBar->SaveLogButton});
    enable(states.settings, {m_parts.toolBar->SpeedButton17});
    enable(states.copy, {pane->Kopieren1});
    enable(states.paste, {pane->Einfgeh1});
    list->SetDropsAccepted(states.drops);
    m_parts.paths->SetRemotePathEditable(states.refresh);
    list->Rows()->SetEditingAllowed(states.editCaption);
    emit commandStatesApplied(states.refresh);
}

void RemoteBrowser::PrepareContextMenu()
{
    ApplyCommandStates(true);
}

// --- keys and drops ----------------------------------------------------------

bool RemoteBrowser::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        return HandleKey(static_cast<QKeyEvent *>(event)) || QObject::eventFilter(watched, event);
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return HandleDrag(event);
    default:
        return QObject::eventFilter(watched, event);
    }
}

bool RemoteBrowser::HandleKey(QKeyEvent *key)
{
    // The Enter that ends an in-place edit belongs to the edit.
    if (List()->EditingCaption())
        return false;
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    const bool enter =
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
    if (enter || (key->key() == Qt::Key_Backspace && modifiers == Qt::NoModifier)) {
        // The keys of the double-click and of "..": the same command, the same gate.
        if (enter)
            RunSessionCommand([this] { OpenRemoteEntry(); });
        else
            RunSessionCommand([this] { ChangeRemoteFolder(u".."_s); });
        return true;
    }
    const bool selectAll = key->matches(QKeySequence::SelectAll);
    const bool refresh = key->key() == Qt::Key_F5 && key->modifiers() == Qt::NoModifier;
    const bool remove = key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier;
    if (!selectAll && !refresh && !remove)
        return false;
    if (!Ready())
        return true;
    if (selectAll)
        List()->SelectAllButParent();
    else if (refresh)
        RefreshCommand();
    else if (m_parts.remote->SpeedButton7->isEnabled())
        m_parts.remote->SpeedButton7->click();
    return true;
}

bool RemoteBrowser::AcceptsDrop(const QMimeData *data) const
{
    return data && Ready() && !data->hasFormat(RemoteListModel::kMimeType) && !LocalFilesIn(data).isEmpty();
}

bool RemoteBrowser::HandleDrag(QEvent *event)
{
    auto *drop = static_cast<QDropEvent *>(event);
    if (!AcceptsDrop(drop->mimeData())) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop)
        emit uploadRequested(LocalFilesIn(drop->mimeData()));
    return true;
}

// --- folder tree -------------------------------------------------------------

void RemoteBrowser::CreateFolderTreeDialog()
{
    if (!m_folderTree)
        m_folderTree = new TTreeDlg1(m_parts);
}

TTreeDlg1 *RemoteBrowser::FolderTree() const
{
    return m_folderTree;
}

void RemoteBrowser::ShowFolderTree()
{
    if (!Ready() || !m_folderTree)
        return;
    m_folderTree->Browse();
}

void RemoteBrowser::CloseFolderTree()
{
    if (m_folderTree && m_folderTree->isVisible())
        m_folderTree->close();
}
