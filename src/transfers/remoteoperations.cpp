#include "remoteoperations.h"

#include "endsteps.h"
#include "pathrow.h"
#include "remotelisting.h"
#include "remotelistmodel.h"
#include "remotelistview.h"
#include "remotepane.h"
#include "tfragedelete.h"
#include "tftpqvx.h"
#include "ttreedlg1.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QScopeGuard>
#include <QToolButton>

#include <algorithm>

using namespace Qt::StringLiterals;

RemoteOperations::RemoteOperations(TFTPqvx &window)
    : QObject(&window)
    , m_window(window)
    , m_deletePrompt(new Tfragedelete(&window))
    , m_deletion(window, [prompt = m_deletePrompt](const QString &path, const QString &kind) {
        return prompt->Ask(path, kind);
    })
{
    setObjectName(u"RemoteOperations"_s);
    ConnectCommands();
}

RemoteOperations *InstallRemoteOperations(TFTPqvx &window)
{
    return new RemoteOperations(window);
}

void RemoteOperations::ConnectCommands()
{
    RemotePane *pane = m_window.Remote();
    const auto run = [this](auto operation) {
        return [this, operation] { m_window.RunSessionCommand(operation); };
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
    m_window.Browser()->SetRenameHandler([this](const QString &oldCaption, const QString &typedName) {
        return RenameEntry(oldCaption, typedName);
    });
}

bool RemoteOperations::Idle() const
{
    return m_window.SessionIdle();
}

void RemoteOperations::RunAsOperation(const std::function<void()> &talk)
{
    OperationFlags &flags = m_window.Flags;
    flags.OperationBusy = true;
    m_window.Browser()->UpdateCommandStates();
    const auto idleAgain = qScopeGuard([&] {
        flags.OperationBusy = false;
        m_window.Browser()->UpdateCommandStates();
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
    RemoteListView *list = m_window.Browser()->List();
    QStringList names;
    for (int row = 0; row < list->RowCount(); ++row)
        names.append(list->Row(row).name);
    const QString name = NewFolderName(names);
    TIdFTP &session = m_window.IdFTP1;
    bool made = false;
    RunAsOperation([&] { made = session.MakeDir(WithTrailingSlash(session.CurrentDir()) + name); });
    if (!made)
        return;
    m_window.Browser()->RefreshRemoteList(name);
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
    const RemoteListModel *rows = m_window.Browser()->List()->Rows();
    const int row = rows->FindCaption(oldCaption);
    if (!Idle() || row < 0 || rows->Row(row).IsParent())
        return Outcome::Restore;
    const bool isLink = rows->Row(row).Kind() == RemoteRow::kLink;
    const QString oldName = ServerName(oldCaption, isLink);
    const QString newName = ServerName(typedName, isLink);
    TIdFTP &session = m_window.IdFTP1;
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
    const QList<QAbstractItemView *> views = m_window.Browser()->List()->Views();
    for (qsizetype n = 0; n < views.size(); ++n) {
        before.append(views[n]->dragEnabled());
        views[n]->setDragEnabled(n < enabled.size() && enabled[n]);
    }
    return before;
}

void RemoteOperations::MoveSelection()
{
    OperationFlags &flags = m_window.Flags;
    TTreeDlg1 *folderTree = m_window.Browser()->FolderTree();
    if (!Idle() || !folderTree)
        return;
    RemoteListView *list = m_window.Browser()->List();
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
        const QString sourceFolder = WithTrailingSlash(m_window.Paths()->Edit1->text().trimmed());
        const QString targetFolder = WithTrailingSlash(*target);
        m_window.RunCommand([&] {
            for (qsizetype n = 0; n < names.size(); ++n) {
                if (m_window.IdFTP1.Rename(sourceFolder + names[n], targetFolder + names[n]))
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
