#include "localbrowser.h"

#include "locallistview.h"
#include "localpane.h"
#include "mainsession.h"
#include "remotebrowser.h"
#include "remotelistmodel.h"
#include "windowparts.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QString WithSlash(const QString &folder)
{
    return folder.isEmpty() || folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

LocalBrowser::LocalBrowser(const WindowParts &parts, RemoteBrowser &remote)
    : QObject(&remote)
    , m_parts(parts)
    , m_remote(remote)
{
    LocalPane *pane = parts.local;
    LocalListView *list = pane->List;
    ResetDropTarget();
    connect(list, &LocalListView::folderChanged, this, [this] {
        ResetDropTarget();
        UpdateUploadButton();
    });
    connect(list, &MultiViewList::selectionChanged, this, [this] {
        ResetDropTarget();
        UpdateUploadButton();
    });
    connect(list, &MultiViewList::dragFinished, this, [] { QApplication::beep(); });
    for (QAbstractItemView *view : list->Views()) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
    }
    connect(pane->SpeedButton18, &QToolButton::clicked, this,
            [this, list] { emit m_remote.uploadRequested(list->SelectedPaths()); });
    connect(pane->RefreshRemoteItem, &QAction::triggered, &m_remote, &RemoteBrowser::RefreshCommand);
    connect(pane->ContextMenu, &QMenu::aboutToShow, this,
            [this, pane] { pane->Einfgen1->setEnabled(!m_parts.session->CopyList.isEmpty()); });
    connect(&m_remote, &RemoteBrowser::commandStatesApplied, this, [this, pane](bool refreshEnabled) {
        pane->RefreshRemoteItem->setEnabled(refreshEnabled);
        UpdateUploadButton();
    });
}

void LocalBrowser::ResetDropTarget()
{
    m_dropTarget = WithSlash(m_parts.local->List->Folder());
}

void LocalBrowser::UpdateUploadButton()
{
    const LocalListView *list = m_parts.local->List;
    const bool enabled =
        list->SelectionModel()->hasSelection() && QFileInfo(m_dropTarget).isDir() && m_remote.Ready();
    m_parts.local->SpeedButton18->setEnabled(enabled);
}

bool LocalBrowser::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        // Selecting everything is for uploading it, which needs the session.
        if (static_cast<QKeyEvent *>(event)->matches(QKeySequence::SelectAll) && !m_remote.Ready())
            return true;
        return QObject::eventFilter(watched, event);
    case QEvent::DragEnter:
        m_dropTarget.clear();
        return HandleDrag(watched, static_cast<QDropEvent *>(event));
    case QEvent::DragMove:
    case QEvent::Drop:
        return HandleDrag(watched, static_cast<QDropEvent *>(event));
    case QEvent::DragLeave:
        ResetDropTarget();
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

bool LocalBrowser::AcceptsDrag(const QDropEvent *event) const
{
    // Only rows of the remote list come in here; local entries dragged
    // within this list or from elsewhere are refused.
    const QMimeData *data = event->mimeData();
    return data && data->hasFormat(RemoteListModel::kMimeType) && m_remote.Ready() &&
           QFileInfo(m_parts.local->List->Folder()).isDir();
}

QString LocalBrowser::FolderUnder(QObject *viewport, const QDropEvent *event) const
{
    const LocalListView *list = m_parts.local->List;
    for (const QAbstractItemView *view : list->Views()) {
        if (view->viewport() != viewport)
            continue;
        const QString path = list->PathAt(view, event->position().toPoint());
        if (!path.isEmpty() && QFileInfo(path).isDir())
            return WithSlash(path);
    }
    return WithSlash(list->Folder());
}

bool LocalBrowser::HandleDrag(QObject *viewport, QDropEvent *event)
{
    if (!AcceptsDrag(event)) {
        event->ignore();
        return true;
    }
    m_dropTarget = FolderUnder(viewport, event);
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (event->type() == QEvent::Drop)
        DropRemoteEntries(m_dropTarget);
    return true;
}

void LocalBrowser::DropRemoteEntries(const QString &targetFolder)
{
    LocalListView *list = m_parts.local->List;
    list->SetFolder(QFileInfo(targetFolder).isDir() ? targetFolder : list->Folder());
    QCoreApplication::processEvents();
    // The download waits for the server; the drag that brought the rows
    // ends first.
    QMetaObject::invokeMethod(
        &m_remote, [remote = &m_remote] { emit remote->downloadSelectionRequested(); }, Qt::QueuedConnection);
}
