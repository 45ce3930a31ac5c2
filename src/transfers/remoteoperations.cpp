#include "remoteoperations.h"

#include "endsteps.h"
#include "mainsession.h"
#include "remotebrowser.h"
#include "remotelisting.h"
#include "remotelistmodel.h"
#include "remotelistview.h"
#include "remotepane.h"
#include "tfragedelete.h"
#include "ttreedlg1.h"
#include "windowparts.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QScopeGuard>
#include <QToolButton>

#include <algorithm>

using namespace Qt::StringLiterals;

RemoteOperations::RemoteOperations(WindowParts &parts)
    : QObject(parts.window)
    , m_parts(parts)
    , m_session(*parts.session)
    , m_deletePrompt(new Tfragedelete(parts.window))
    , m_deletion(parts, [prompt = m_deletePrompt](const QString &path, const QString &kind) {
        return prompt->Ask(path, kind);
    })
{
    setObjectName(u"RemoteOperations"_s);
    ConnectCommands();
}

RemoteOperations *InstallRemoteOperations(WindowParts &parts)
{
    return new RemoteOperations(parts);
}

void RemoteOperations::ConnectCommands()
{
    RemotePane *pane = m_parts.remote;
    const auto run = [this](auto operation) {
        return [this, operation] { m_session.RunSessionCommand(operation); };
    };
    const auto deleteSelection = [this] { DeleteSelection(); };
    const auto createFolder = [this] { CreateRemoteFolder(); };
    const auto moveSelection = [this] { MoveSelection(); };
    // The Del key of the remote list clicks the delete button.
    connect(pane->SpeedButton7, &QToolButton::clicked, this, run(deleteSelection));
    connect(pane->entfernen1, &QAction::triggered, this, run(deleteSelection));
    connect(pane->SpeedButton5, &QToolButton::clicked, this, run(createFolder));
    connect(pane->NeuerOrdner1, &QAction::triggered, this, run(createFolder));
    connect(pane->Bewegen1, &QAction::triggered, this, run(moveSelection));
    m_parts.browser->SetRenameHandler([this](const QString &oldCaption, const QString &typedName) {
        return RenameEntry(oldCaption, typedName);
    });
}

bool RemoteOperations::Idle() const
{
    return m_session.SessionIdle();
}

void RemoteOperations::RunAsOperation(const std::function<void()> &talk)
{
    OperationFlags &flags = m_session.Flags;
    flags.OperationBusy = true;
    m_parts.browser->UpdateCommandStates();
    const auto idleAgain = qScopeGuard([&] {
        flags.OperationBusy = false;
        m_parts.browser->UpdateCommandStates();
    });
    talk();
}

void RemoteOperations::DeleteSelection()
{
    m_deletion.DeleteSelection();
}

void RemoteOperations::CreateRemoteFolder()
{
    if (!Idle())
        return;
    RemoteListView *list = m_parts.browser->List();
    QStringList names;
    for (int row = 0; row < list->RowCount(); ++row)
        names.append(list->Row(row).name);
    const QString name = NewFolderName(names);
    RemoteFileSystem &session = m_session.Remote();
    bool made = false;
    RunAsOperation([&] { made = session.MakeDir(WithTrailingSlash(session.CurrentDir()) + name); });
    if (!made)
        return;
    m_parts.browser->RefreshRemoteList(name);
    const int row = list->Rows()->FindCaption(name);
    if (row < 0)
        return;
    // The user types the wanted name at once; the end of the edit renames.
    list->CurrentView()->setFocus();
    list->EditCaption(row);
}

RemoteBrowser::RenameOutcome RemoteOperations::RenameEntry(const QString &oldCaption,
                                                           const QString &typedName)
{
    using Outcome = RemoteBrowser::RenameOutcome;
    const RemoteListModel *rows = m_parts.browser->List()->Rows();
    const int row = rows->FindCaption(oldCaption);
    if (!Idle() || row < 0 || rows->Row(row).IsParent())
        return Outcome::Restore;
    const bool isLink = rows->Row(row).Kind() == RemoteRow::kLink;
    const QString oldName = ServerName(oldCaption, isLink);
    const QString newName = ServerName(typedName, isLink);
    RemoteFileSystem &session = m_session.Remote();
    // No row is dragged away while the server is asked.
    const QList<bool> dragging = SetRowDragging({});
    bool renamed = false;
    RunWithEndSteps(
        [&] {
            RunAsOperation([&] {
                renamed = session.Rename(WithTrailingSlash(session.CurrentDir()) + oldName, newName);
            });
        },
        [&] { SetRowDragging(dragging); });
    if (!renamed)
        return Outcome::Restore;
    return LeavesFolder(newName) ? Outcome::Remove : Outcome::Keep;
}

QList<bool> RemoteOperations::SetRowDragging(const QList<bool> &enabled)
{
    QList<bool> before;
    const QList<QAbstractItemView *> views = m_parts.browser->List()->Views();
    for (qsizetype n = 0; n < views.size(); ++n) {
        before.append(views[n]->dragEnabled());
        views[n]->setDragEnabled(n < enabled.size() && enabled[n]);
    }
    return before;
}

void RemoteOperations::MoveSelection()
{
    OperationFlags &flags = m_session.Flags;
    TTreeDlg1 *folderTree = m_parts.browser->FolderTree();
    if (!Idle() || !folderTree)
        return;
    RemoteListView *list = m_parts.browser->List();
    QStringList names;
    QList<QPersistentModelIndex> rows;
    for (int row : list->SelectedRows()) {
        const RemoteRow &entry = list->Row(row);
        if (entry.IsParent())
            continue;
        names.append(ServerName(entry));
        rows.append(QPersistentModelIndex(list->Rows()->index(row, 0)));
    }
    const std::optional<QString> target = folderTree->ChooseFolder(MovePrompt(names));
    flags.CancelRequested = false;
    if (!target)
        return;

    RunAsOperation([&] {
        // Persistent indexes follow their rows should the list be sorted meanwhile.
        QList<QPersistentModelIndex> moved;
        const QString sourceFolder = WithTrailingSlash(m_session.RemoteFolder());
        const QString targetFolder = WithTrailingSlash(*target);
        m_session.RunCommand([&] {
            for (qsizetype n = 0; n < names.size(); ++n) {
                if (m_session.Remote().Rename(sourceFolder + names[n], targetFolder + names[n]))
                    moved.append(rows[n]);
                else
                    flags.CancelRequested = true;
                QCoreApplication::processEvents();
                if (flags.CancelRequested)
                    break;
            }
        });
        list->SelectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
        QList<int> movedRows;
        for (const QPersistentModelIndex &index : moved) {
            if (index.isValid())
                movedRows.append(index.row());
        }
        std::sort(movedRows.begin(), movedRows.end(), std::greater<>());
        for (int row : movedRows)
            list->Rows()->RemoveRow(row);
    });
}
