#include "ttreedlg1.h"

#include "foldertreewalk.h"
#include "mainsession.h"
#include "remotelisting.h"
#include "remotelistview.h"
#include "remotepane.h"
#include "windowparts.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QToolButton *TextButton(const QString &objectName, const QString &caption, QStyle::StandardPixmap icon,
                        QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(caption);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    return button;
}

// Closed folders, and an open one for the selected node.
QIcon FolderSymbol(const QStyle *style)
{
    QIcon symbol = style->standardIcon(QStyle::SP_DirClosedIcon);
    const QIcon open = style->standardIcon(QStyle::SP_DirOpenIcon);
    for (const QSize &size : open.availableSizes())
        symbol.addPixmap(open.pixmap(size), QIcon::Selected);
    return symbol;
}

} // namespace

TTreeDlg1::TTreeDlg1(const WindowParts &parts)
    : QDialog(parts.window, Qt::Tool)
    , m_parts(parts)
    , m_session(*parts.session)
{
    setObjectName(u"TreeDlg1"_s);
    setSizeGripEnabled(true);
    BuildLayout();
    resize(320, 420);
    connect(SpeedButton1, &QToolButton::clicked, this, &TTreeDlg1::Refresh);
    connect(SpeedButton2, &QToolButton::clicked, this, &TTreeDlg1::Choose);
    connect(SpeedButton12, &QToolButton::clicked, this, &TTreeDlg1::reject);
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, &TTreeDlg1::Choose);
    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, &TTreeDlg1::UpdateChooseButton);
}

void TTreeDlg1::BuildLayout()
{
    SpeedButton1 = TextButton(u"SpeedButton1"_s, u"Aktualisieren"_s, QStyle::SP_BrowserReload, this);
    SpeedButton2 = TextButton(u"SpeedButton2"_s, u"Auswählen"_s, QStyle::SP_DialogApplyButton, this);
    SpeedButton2->setEnabled(false);
    SpeedButton12 = TextButton(u"SpeedButton12"_s, u"Schliessen"_s, QStyle::SP_DialogCloseButton, this);
    Label1 = new QLabel(this);
    Label1->setObjectName(u"Label1"_s);
    Label1->setWordWrap(true);
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(u"TreeView1"_s);
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSortingEnabled(true);
    TreeView1->sortByColumn(0, Qt::AscendingOrder);

    auto *bar = new QHBoxLayout;
    bar->addWidget(SpeedButton1);
    bar->addWidget(SpeedButton2);
    bar->addWidget(SpeedButton12);
    bar->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(Label1);
    layout->addWidget(TreeView1, 1);
}

bool TTreeDlg1::SelectionMode() const
{
    return !Label1->text().isEmpty();
}

void TTreeDlg1::Browse()
{
    Label1->clear();
    UpdateChooseButton();
    show();
    raise();
    activateWindow();
}

std::optional<QString> TTreeDlg1::ChooseFolder(const QString &prompt)
{
    // Modality takes effect when a window is shown, not while it is.
    if (isVisible())
        hide();
    Label1->setText(prompt);
    UpdateChooseButton();
    m_chosenFolder.clear();
    m_choosing = true;
    const auto chosen = qScopeGuard([this] { m_choosing = false; });
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return m_chosenFolder;
}

void TTreeDlg1::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        if (const QScreen *shown = screen())
            move(shown->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
    setResult(QDialog::Rejected);
    if (!m_building)
        SpeedButton1->setEnabled(m_session.Remote().IsConnected());
    // The walk waits for the server: it starts once the window is up.
    if (TreeView1->topLevelItemCount() == 0)
        QMetaObject::invokeMethod(this, &TTreeDlg1::BuildWhenEmpty, Qt::QueuedConnection);
}

// Shown while the session is busy, the window stays empty until "Aktualisieren".
// A command under way may be waiting for the server without an operation
// flag; only the command that asks for a folder here is not.
void TTreeDlg1::BuildWhenEmpty()
{
    const bool sessionFree = m_session.SessionIdle() && (!m_session.CommandRunning() || m_choosing);
    if (TreeView1->topLevelItemCount() == 0 && isVisible() && sessionFree)
        m_session.RunCommand([this] { Build(); });
}

void TTreeDlg1::Refresh()
{
    setResult(QDialog::Rejected);
    m_session.RunSessionCommand([this] { Build(); });
}

void TTreeDlg1::Build()
{
    if (m_building)
        return;
    m_building = true;
    setWindowTitle(m_session.ServerDisplayName());
    TreeView1->clear();
    SpeedButton1->setEnabled(false);
    m_parts.remote->FolderTreeButton->setEnabled(false);

    RemoteFileSystem &session = m_session.Remote();
    OperationFlags &flags = m_session.Flags;
    // A walk is an operation of its own: a stop asked for earlier is over.
    flags.CancelRequested = false;
    QString rememberedFolder;
    bool scanned = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    flags.OperationBusy = true;
    m_session.NotifyStateChanged();
    try {
        session.SetTransferType(ftASCII);
        rememberedFolder = session.CurrentDir();
        const RemoteListView *pane = m_parts.remote->List;
        const QString shownFolder = WithTrailingSlash(m_session.RemoteFolder());
        FolderTreeWalk walk(
            session, m_session.Features, flags.CancelRequested,
            pane->ShowsOnlyParent() ? shownFolder : QString(),
            [this](QTreeWidgetItem *parent, const QString &name) { return AddFolder(parent, name); });
        scanned = walk.Scan(nullptr, m_session.TreeRoot());
    } catch (...) {
        FinishBuild(rememberedFolder);
        throw;
    }
    if (!scanned)
        close();
    FinishBuild(rememberedFolder);
}

void TTreeDlg1::FinishBuild(const QString &rememberedFolder)
{
    // The way back still belongs to the walk: its wait lets other commands run.
    const auto finish = qScopeGuard([this] {
        m_session.Flags.OperationBusy = false;
        QApplication::restoreOverrideCursor();
        m_building = false;
        SpeedButton1->setEnabled(true);
        m_session.NotifyStateChanged();
        RemotePane *pane = m_parts.remote;
        pane->FolderTreeButton->setEnabled(pane->RefreshButton->isEnabled());
        if (m_emptyAfterBuild)
            EmptyTree();
    });
    if (m_session.Remote().IsConnected())
        m_session.Remote().ChangeDir(rememberedFolder);
}

QTreeWidgetItem *TTreeDlg1::AddFolder(QTreeWidgetItem *parent, const QString &name)
{
    auto *node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(TreeView1);
    node->setText(0, name);
    node->setIcon(0, FolderSymbol(style()));
    if (isVisible())
        TreeView1->scrollToItem(node);
    return node;
}

QString TTreeDlg1::PathOf(const QTreeWidgetItem *node)
{
    QString path;
    for (; node; node = node->parent())
        path.prepend(node->text(0) + u'/');
    return path.startsWith(u'/') ? path : u'/' + path;
}

void TTreeDlg1::Choose()
{
    const QList<QTreeWidgetItem *> selected = TreeView1->selectedItems();
    if (selected.isEmpty())
        return;
    // The tree shows the folders below its root.
    const QString root = m_session.TreeRoot();
    m_chosenFolder = root == u"/"_s ? PathOf(selected.first()) : root + PathOf(selected.first());
    done(QDialog::Accepted);
}

void TTreeDlg1::UpdateChooseButton()
{
    SpeedButton2->setEnabled(SelectionMode() && !TreeView1->selectedItems().isEmpty());
}

void TTreeDlg1::done(int result)
{
    // The stop request belongs to whatever runs on the session: only this
    // window's own walk is stopped by closing it.
    if (m_building) {
        m_session.Flags.CancelRequested = true;
        QCoreApplication::processEvents();
    }
    QDialog::done(result);
}

void TTreeDlg1::SessionStarted()
{
    SpeedButton1->setEnabled(true);
}

void TTreeDlg1::SessionEnded()
{
    // A walk still running holds nodes of the tree; it is emptied when it returns.
    if (m_building)
        m_emptyAfterBuild = true;
    else
        EmptyTree();
    if (isVisible())
        close();
}

void TTreeDlg1::EmptyTree()
{
    m_emptyAfterBuild = false;
    TreeView1->clear();
    SpeedButton1->setEnabled(false);
}
