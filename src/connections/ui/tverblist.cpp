#include "tverblist.h"

#include "connectiontreestore.h"
#include "connectiontreeview.h"
#include "rememberedtreeposition.h"
#include "tpagesdlg.h"
#include "windowplacement.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr QSize kClientSize(588, 271);
constexpr int kButtonPanelHeight = 41;
constexpr int kMinimumButtonWidth = 89;
constexpr int kButtonGap = 20;

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

class ModalScope {
public:
    explicit ModalScope(int &depth)
        : m_depth(depth)
    {
        ++m_depth;
    }
    ~ModalScope() { --m_depth; }
    ModalScope(const ModalScope &) = delete;
    ModalScope &operator=(const ModalScope &) = delete;

private:
    int &m_depth;
};

QString GroupPathInside(const ConnectionTreeNode &group)
{
    return group.GroupPath() + group.Text() + u'/';
}

// The group path of what a node holds or stands in: a group's inside, a
// connection's own group.
QString GroupPathAt(const ConnectionTreeNode *node)
{
    if (!node)
        return QString();
    return node->IsGroup() ? GroupPathInside(*node) : node->GroupPath();
}

} // namespace

TVerblist::TVerblist(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"TVerblist"_s);
    setWindowTitle(u"FTP Verbindungen"_s);
    setModal(true);

    TreeView1 = new ConnectionTreeView;
    TreeView1->setObjectName(u"TreeView1"_s);

    m_buttonPanel = new QWidget;
    m_buttonPanel->setFixedHeight(kButtonPanelHeight);
    BitBtn1 = new QPushButton(u" O K"_s, m_buttonPanel);
    BitBtn1->setObjectName(u"BitBtn1"_s);
    BitBtn1->setDefault(true);
    BitBtn1->setEnabled(false);
    BitBtn2 = new QPushButton(u"Abbrechen"_s, m_buttonPanel);
    BitBtn2->setObjectName(u"BitBtn2"_s);
    const int buttonWidth = std::max(
        {kMinimumButtonWidth, BitBtn1->sizeHint().width(), QPushButton(u"Schliessen"_s).sizeHint().width()});
    for (QPushButton *button : {BitBtn1, BitBtn2})
        button->setFixedSize(buttonWidth, button->sizeHint().height());

    BuildMenus();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu1);
    layout->addWidget(TreeView1, 1);
    layout->addWidget(m_buttonPanel);
    resize(kClientSize.width(), kClientSize.height() + MainMenu1->sizeHint().height());

    connect(BitBtn1, &QPushButton::clicked, this, &TVerblist::ConnectToCurrent);
    connect(BitBtn2, &QPushButton::clicked, this, &TVerblist::reject);
    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, &TVerblist::SelectionChanged);
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, &TVerblist::DoubleClicked);
    connect(TreeView1, &QWidget::customContextMenuRequested, this, &TVerblist::ShowContextMenu);
    connect(TreeView1, &ConnectionTreeView::LabelEditingStarted, BitBtn1,
            [this] { BitBtn1->setEnabled(false); });
    connect(TreeView1, &ConnectionTreeView::LabelEditingEnded, this, &TVerblist::UpdateCommandStates);
    connect(TreeView1, &ConnectionTreeView::LabelEdited, this, &TVerblist::LabelEdited);
    connect(TreeView1, &ConnectionTreeView::NodeDropped, this, &TVerblist::MoveNode);
}

QAction *TVerblist::AddAction(QWidget *menu, const QString &name, const QString &text, const QString &icon)
{
    auto *action = new QAction(QIcon::fromTheme(icon), text, this);
    action->setObjectName(name);
    menu->addAction(action);
    return action;
}

void TVerblist::BuildMenus()
{
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(u"MainMenu1"_s);
    NeueVerbindung1 = AddAction(MainMenu1, u"NeueVerbindung1"_s, u"Neue Verbindung"_s, u"document-new"_s);
    NeueGruppe1 = AddAction(MainMenu1, u"NeueGruppe1"_s, u"Neue Gruppe"_s, u"folder-new"_s);
    Bearbeiten1 = AddAction(MainMenu1, u"Bearbeiten1"_s, u"Eigenschaften"_s, u"document-properties"_s);
    Entfernen1 = AddAction(MainMenu1, u"Entfernen1"_s, u"Entfernen"_s, u"edit-delete"_s);
    Abbrechen1 = AddAction(MainMenu1, u"Abbrechen1"_s, u"Abbrechen"_s, u"window-close"_s);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(u"PopupMenu1"_s);
    Bearbeiten2 = AddAction(PopupMenu1, u"Bearbeiten2"_s, u"Eigenschaften"_s, u"document-properties"_s);
    NeueVerbindung2 = AddAction(PopupMenu1, u"NeueVerbindung2"_s, u"Neue Verbindung"_s, u"document-new"_s);
    NeueVerbindungsgruppe1 =
        AddAction(PopupMenu1, u"NeueVerbindungsgruppe1"_s, u"Neue Verbindungsgruppe"_s, u"folder-new"_s);
    Umbenennen1 = AddAction(PopupMenu1, u"Umbenennen1"_s, u"Umbenennen..."_s, u"edit-rename"_s);
    Entfernen2 = AddAction(PopupMenu1, u"Entfernen2"_s, u"Verbindung/Gruppe entfernen"_s, u"edit-delete"_s);
    PopupMenu1->addSeparator();
    Ausschneiden1 = AddAction(PopupMenu1, u"Ausschneiden1"_s, u"Ausschneiden"_s, u"edit-cut"_s);
    Einfgen1 = AddAction(PopupMenu1, u"Einfgen1"_s, u"Einfügen"_s, u"edit-paste"_s);
    PopupMenu1->addSeparator();
    VerknpfungaufdemDesktoperstellen1 =
        AddAction(PopupMenu1, u"VerknpfungaufdemDesktoperstellen1"_s,
                  u"Verknüpfung auf dem Desktop erstellen"_s, u"user-desktop"_s);

    // The main menu acts on the selection, the context menu on the node it
    // was opened for; both are the current node by then.
    connect(NeueVerbindung1, &QAction::triggered, this, [this] {
        m_current = SelectedNode();
        NewConnection();
    });
    connect(NeueVerbindung2, &QAction::triggered, this, &TVerblist::NewConnection);
    connect(NeueGruppe1, &QAction::triggered, this, &TVerblist::NewGroup);
    connect(NeueVerbindungsgruppe1, &QAction::triggered, this, &TVerblist::NewGroup);
    connect(Bearbeiten1, &QAction::triggered, this, &TVerblist::EditProperties);
    connect(Bearbeiten2, &QAction::triggered, this, &TVerblist::EditProperties);
    const auto removeSelected = [this] {
        m_current = SelectedNode();
        RemoveCurrent();
    };
    connect(Entfernen1, &QAction::triggered, this, removeSelected);
    connect(Entfernen2, &QAction::triggered, this, &TVerblist::RemoveCurrent);
    connect(Abbrechen1, &QAction::triggered, BitBtn2, &QPushButton::click);
    connect(Umbenennen1, &QAction::triggered, this, &TVerblist::Rename);
    connect(Ausschneiden1, &QAction::triggered, this, &TVerblist::Cut);
    connect(Einfgen1, &QAction::triggered, this, &TVerblist::Paste);
    connect(VerknpfungaufdemDesktoperstellen1, &QAction::triggered, this, &TVerblist::CreateShortcut);

    auto *deleteKey = new QAction(TreeView1);
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    TreeView1->addAction(deleteKey);
    connect(deleteKey, &QAction::triggered, this, removeSelected);
}

void TVerblist::SetTreeFolder(const QString &folder)
{
    m_treeFolder = folder;
}

void TVerblist::SetPropertiesDialog(TPagesDlg *dialog)
{
    m_propertiesDialog = dialog;
}

void TVerblist::SetShortcutFolders(const QString &linksFolder, const QString &desktopFolder)
{
    m_linksFolder = linksFolder;
    m_desktopFolder = desktopFolder;
}

ConnectionTreeStore TVerblist::Store() const
{
    return ConnectionTreeStore(m_treeFolder);
}

// --- opening, activation, closing ----------------------------------------------

void TVerblist::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        m_appliedValues.reset();
        ArrangeForMode();
        ReloadTree();
        m_reloadedOnShow = true;
        CenterOnScreen(*this);
    }
    QDialog::showEvent(event);
}

void TVerblist::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow() || !isVisible())
        return;
    // The first activation belongs to the opening, which has loaded already.
    if (std::exchange(m_reloadedOnShow, false))
        return;
    if (m_modalDepth > 0 || TreeView1->IsInteracting())
        return;
    ArrangeForMode();
    const ConnectionTreeNode *selected = SelectedNode();
    ReloadTree(selected ? std::optional(KeyOf(*selected)) : std::nullopt);
}

void TVerblist::done(int result)
{
    if (const ConnectionTreeNode *selected = SelectedNode(); selected && !m_tree.IsEmpty())
        RememberTreePosition(m_tree.AbsoluteIndex(*selected));
    m_reloadedOnShow = false;
    QDialog::done(result);
}

void TVerblist::ArrangeForMode()
{
    const bool manage = m_mode == Mode::Manage;
    BitBtn1->setVisible(!manage);
    BitBtn1->setEnabled(false);
    const QString closeText = manage ? u"Schliessen"_s : u"Abbrechen"_s;
    BitBtn2->setText(closeText);
    Abbrechen1->setText(closeText);
    PlaceButtons();
}

void TVerblist::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    PlaceButtons();
}

void TVerblist::PlaceButtons()
{
    const int top = (kButtonPanelHeight - BitBtn2->height()) / 2;
    const int centred = (width() - BitBtn2->width()) / 2;
    if (m_mode == Mode::Manage) {
        BitBtn2->move(centred, top);
        return;
    }
    BitBtn2->move(centred + BitBtn2->width() / 2 + kButtonGap, top);
    BitBtn1->move((width() - BitBtn1->width()) / 2 - BitBtn1->width() / 2 - kButtonGap, top);
}

// --- the tree ------------------------------------------------------------------

void TVerblist::ReloadTree(const std::optional<NodeKey> &select)
{
    const BusyCursor busy;
    ClearCutMark();
    m_current = nullptr;
    if (HasTree())
        Store().LoadConnectionTree(m_tree);
    else
        m_tree.Clear();
    TreeView1->ShowTree(m_tree);
    ConnectionTreeNode *node = select ? FindNode(*select) : nullptr;
    if (!node)
        node = m_tree.NodeAt(RememberedTreePosition());
    TreeView1->SelectNode(node);
    SelectionChanged();
}

TVerblist::NodeKey TVerblist::KeyOf(const ConnectionTreeNode &node)
{
    return {node.GroupPath(), node.Text(), node.IsGroup()};
}

ConnectionTreeNode *TVerblist::FindNode(const NodeKey &key) const
{
    for (int i = 0; i < m_tree.NodeCount(); ++i) {
        ConnectionTreeNode *node = m_tree.NodeAt(i);
        if (node->IsGroup() == key.group && node->Text() == key.name && node->GroupPath() == key.groupPath)
            return node;
    }
    return nullptr;
}

ConnectionTreeNode *TVerblist::SelectedNode() const
{
    return TreeView1->SelectedNode();
}

void TVerblist::SelectionChanged()
{
    m_current = SelectedNode();
    UpdateCommandStates();
}

void TVerblist::UpdateCommandStates()
{
    const ConnectionTreeNode *selected = SelectedNode();
    const bool connection = selected && selected->IsConnection();
    BitBtn1->setEnabled(m_mode == Mode::Connect && connection);
    for (QAction *action : {Bearbeiten1, Bearbeiten2})
        action->setEnabled(connection);
    VerknpfungaufdemDesktoperstellen1->setEnabled(connection && !m_linksFolder.isEmpty());
    for (QAction *action : {Entfernen1, Entfernen2, Umbenennen1})
        action->setEnabled(selected != nullptr);
    Ausschneiden1->setEnabled(m_current != nullptr);
    Einfgen1->setEnabled(m_cutNode && m_cutIndex != -1);
    for (QAction *action : {NeueVerbindung1, NeueVerbindung2, NeueGruppe1, NeueVerbindungsgruppe1})
        action->setEnabled(HasTree());
}

void TVerblist::ShowContextMenu(const QPoint &position)
{
    if (ConnectionTreeNode *clicked = TreeView1->NodeOf(TreeView1->itemAt(position)))
        TreeView1->SelectNode(clicked);
    m_current = SelectedNode();
    TreeView1->setFocus();
    UpdateCommandStates();
    PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(position));
}

void TVerblist::ClearCutMark()
{
    m_cutNode = nullptr;
    m_cutIndex = -1;
    TreeView1->SetCutNode(nullptr);
}

// --- commands ------------------------------------------------------------------

void TVerblist::NewConnection()
{
    if (!HasTree())
        return;
    const QString groupPath = GroupPathAt(SelectedNode());
    if (const std::optional<QString> name = OpenProperties(QString(), groupPath))
        ReloadTree(NodeKey{groupPath, *name, false});
}

void TVerblist::EditProperties()
{
    if (!m_current || !m_current->IsConnection())
        return;
    const NodeKey key = KeyOf(*m_current);
    const std::optional<QString> name = OpenProperties(key.name, key.groupPath);
    if (name && *name != key.name)
        ReloadTree(NodeKey{key.groupPath, *name, false});
}

std::optional<QString> TVerblist::OpenProperties(const QString &name, const QString &groupPath)
{
    const ModalScope modal(m_modalDepth);
    if (!m_propertiesDialog)
        m_propertiesDialog = new TPagesDlg(this);
    m_propertiesDialog->SetTreeFolder(m_treeFolder);
    m_propertiesDialog->SetConnection(name, groupPath);
    if (m_propertiesDialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return m_propertiesDialog->ConnectionName();
}

void TVerblist::NewGroup()
{
    if (!HasTree())
        return;
    if (ConnectionTreeNode *group = Store().CreateGroup(m_tree, m_current)) {
        TreeView1->AddNode(*group);
        TreeView1->EditNode(*group);
    }
}

void TVerblist::Rename()
{
    if (m_current)
        TreeView1->EditNode(*m_current);
}

void TVerblist::LabelEdited(ConnectionTreeNode *node, const QString &text)
{
    if (!text.trimmed().isEmpty()) {
        ClearCutMark();
        if (node->IsGroup()) {
            const ConnectionTreeStore::RenameOutcome outcome = Store().RenameGroup(m_tree, *node, text);
            if (outcome.renamed)
                TreeView1->UpdateNode(*node);
            if (!outcome.warning.isEmpty()) {
                const ModalScope modal(m_modalDepth);
                QMessageBox::warning(this, QString(), outcome.warning);
            }
        } else if (Store().RenameConnection(m_tree, *node, text)) {
            TreeView1->UpdateNode(*node);
        }
    }
    UpdateCommandStates();
}

bool TVerblist::Ask(const QString &caption, const QString &question)
{
    const ModalScope modal(m_modalDepth);
    QMessageBox box(QMessageBox::Question, caption, question, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void TVerblist::RemoveCurrent()
{
    if (!m_current)
        return;
    const NodeKey key = KeyOf(*m_current);
    const QString quoted = u'"' + key.name + u'"';
    if (key.group) {
        if (!Ask(u"Eine Gruppe entfernen"_s, u"Gruppe "_s + quoted + u" entfernen?"_s))
            return;
    } else if (!Store().ConnectionExists(key.groupPath, key.name) ||
               !Ask(u"Eine Verbindung entfernen"_s, u"Verbindung "_s + quoted + u" entfernen?"_s)) {
        return;
    }
    const ConnectionTreeNode *node = FindNode(key);
    if (!node)
        return;
    if (key.group)
        Store().DeleteGroup(*node);
    else
        Store().DeleteConnection(*node);
    ReloadTree();
}

void TVerblist::Cut()
{
    if (!m_current)
        return;
    m_cutNode = m_current;
    m_cutIndex = m_tree.AbsoluteIndex(*m_current);
    TreeView1->SetCutNode(m_cutNode);
    UpdateCommandStates();
}

void TVerblist::Paste()
{
    ConnectionTreeNode *moved = m_cutNode;
    ClearCutMark();
    MoveNode(moved, m_current);
    UpdateCommandStates();
}

void TVerblist::MoveNode(ConnectionTreeNode *moved, ConnectionTreeNode *target)
{
    if (!moved || !target)
        return;
    const QString destination = GroupPathAt(target->IsGroup() ? target : target->Parent());
    const bool group = moved->IsGroup();
    QString landedName;
    if (Store().MoveTreeItem(moved, target, &landedName))
        ReloadTree(NodeKey{destination, landedName, group});
}

void TVerblist::CreateShortcut()
{
    if (!m_current || !m_current->IsConnection() || m_linksFolder.isEmpty())
        return;
    RememberTreePosition(m_tree.AbsoluteIndex(*m_current));
    Store().CreateConnectionShortcut(*m_current, m_linksFolder, m_desktopFolder,
                                     QCoreApplication::applicationFilePath());
}

void TVerblist::ConnectToCurrent()
{
    if (m_mode != Mode::Connect || !m_session || !m_current || !m_current->IsConnection())
        return;
    RememberTreePosition(m_tree.AbsoluteIndex(*m_current));
    m_appliedValues = Store().ApplyConnection(*m_current, *m_session);
    if (!m_appliedValues) {
        // The connection was deleted behind the window's back: show what is
        // left instead of connecting with whatever the session held before.
        ReloadTree();
        return;
    }
    accept();
}

void TVerblist::DoubleClicked(QTreeWidgetItem *item)
{
    const ConnectionTreeNode *node = TreeView1->NodeOf(item);
    if (!node || node != SelectedNode() || !node->IsConnection())
        return;
    if (m_mode == Mode::Manage)
        EditProperties();
    else
        ConnectToCurrent();
}
