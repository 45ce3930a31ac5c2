#include "connectiontreeview.h"

#include "connectiontree.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

using namespace Qt::StringLiterals;

namespace {

const QString kNodeFormat = u"application/x-glimra-connection-node"_s;
constexpr int kNodeRole = Qt::UserRole;
constexpr int kIsGroupRole = Qt::UserRole + 1;

// Hands the entered text to the view instead of writing it into the item.
class LabelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    std::function<void()> onEditingStarted;
    std::function<void(const QPersistentModelIndex &, const QString &)> onCommitted;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        onEditingStarted();
        return QStyledItemDelegate::createEditor(parent, option, index);
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        if (const auto *edit = qobject_cast<QLineEdit *>(editor))
            onCommitted(index, edit->text());
    }
};

// A drag carries the dragged item itself, so the drop finds that very node;
// texts would not do, since a connection may be named "A/Web" like the
// connection Web in group A. Drags never leave the program.
class NodeMimeData : public QMimeData {
    Q_OBJECT

public:
    explicit NodeMimeData(const QModelIndex &index)
        : m_index(index)
    {
        setData(kNodeFormat, QByteArray());
    }

    const QPersistentModelIndex &Index() const { return m_index; }

private:
    QPersistentModelIndex m_index;
};

// Where a node stands among its siblings in the tree.
int SiblingIndex(const ConnectionTree &tree, const ConnectionTreeNode &node)
{
    const ConnectionTreeNode *parent = node.Parent();
    const int count = parent ? parent->ChildCount() : tree.TopLevelCount();
    for (int i = 0; i < count; ++i) {
        if ((parent ? parent->Child(i) : tree.TopLevel(i)) == &node)
            return i;
    }
    return count;
}

} // namespace

ConnectionTreeView::ConnectionTreeView(QWidget *parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    // Items are always dropped onto a node; the node gets a frame instead.
    setDropIndicatorShown(false);

    auto *delegate = new LabelDelegate(this);
    delegate->onEditingStarted = [this] { emit LabelEditingStarted(); };
    delegate->onCommitted = [this](const QPersistentModelIndex &index, const QString &text) {
        ReportLabelEdit(index, text);
    };
    setItemDelegate(delegate);
}

// --- items -------------------------------------------------------------------

void ConnectionTreeView::ShowTree(const ConnectionTree &tree)
{
    const QStringList openGroups = OpenGroupPaths();
    // The old items may point at nodes that are gone: nobody may ask now.
    const QSignalBlocker blocker(this);
    m_dropTarget = nullptr;
    clear();
    m_tree = &tree;
    for (int i = 0; i < tree.TopLevelCount(); ++i) {
        QTreeWidgetItem *item = MakeItem(*tree.TopLevel(i));
        addTopLevelItem(item);
        AddChildren(item, tree.TopLevel(i));
    }
    for (const QString &path : openGroups) {
        if (QTreeWidgetItem *item = ItemAtPath(path))
            item->setExpanded(true);
    }
}

QTreeWidgetItem *ConnectionTreeView::MakeItem(ConnectionTreeNode &node) const
{
    auto *item = new QTreeWidgetItem(QStringList{node.Text()});
    const bool group = node.IsGroup();
    item->setIcon(
        0, group ? QIcon::fromTheme(u"folder"_s, style()->standardIcon(QStyle::SP_DirIcon))
                 : QIcon::fromTheme(u"network-server"_s, style()->standardIcon(QStyle::SP_DriveNetIcon)));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
                   Qt::ItemIsDropEnabled);
    item->setData(0, kNodeRole, QVariant::fromValue(static_cast<void *>(&node)));
    item->setData(0, kIsGroupRole, group);
    return item;
}

void ConnectionTreeView::AddChildren(QTreeWidgetItem *parentItem, const ConnectionTreeNode *parent)
{
    for (int i = 0; i < parent->ChildCount(); ++i) {
        QTreeWidgetItem *item = MakeItem(*parent->Child(i));
        parentItem->addChild(item);
        AddChildren(item, parent->Child(i));
    }
}

ConnectionTreeNode *ConnectionTreeView::NodeOf(const QTreeWidgetItem *item) const
{
    return item ? static_cast<ConnectionTreeNode *>(item->data(0, kNodeRole).value<void *>()) : nullptr;
}

QTreeWidgetItem *ConnectionTreeView::ItemOf(const ConnectionTreeNode *node) const
{
    QTreeWidgetItem *found = nullptr;
    ForEachItem([&](QTreeWidgetItem *item) {
        if (!found && node && NodeOf(item) == node)
            found = item;
    });
    return found;
}

ConnectionTreeNode *ConnectionTreeView::SelectedNode() const
{
    return NodeOf(selectedItems().value(0));
}

void ConnectionTreeView::SelectNode(const ConnectionTreeNode *node)
{
    QTreeWidgetItem *item = ItemOf(node);
    if (!item)
        return;
    for (QTreeWidgetItem *parent = item->parent(); parent; parent = parent->parent())
        parent->setExpanded(true);
    setCurrentItem(item);
    scrollToItem(item);
}

void ConnectionTreeView::AddNode(ConnectionTreeNode &node)
{
    InsertAtSortedPlace(node, MakeItem(node));
}

void ConnectionTreeView::UpdateNode(const ConnectionTreeNode &node)
{
    QTreeWidgetItem *item = ItemOf(&node);
    if (!item)
        return;
    const bool wasCurrent = currentItem() == item;
    const bool wasOpen = item->isExpanded();
    QTreeWidgetItem *parentItem = item->parent() ? item->parent() : invisibleRootItem();
    parentItem->takeChild(parentItem->indexOfChild(item));
    item->setText(0, node.Text());
    InsertAtSortedPlace(node, item);
    item->setExpanded(wasOpen);
    if (wasCurrent)
        SelectNode(&node);
}

void ConnectionTreeView::InsertAtSortedPlace(const ConnectionTreeNode &node, QTreeWidgetItem *item)
{
    QTreeWidgetItem *parentItem = node.Parent() ? ItemOf(node.Parent()) : invisibleRootItem();
    if (!m_tree || !parentItem) {
        delete item;
        return;
    }
    parentItem->insertChild(SiblingIndex(*m_tree, node), item);
}

void ConnectionTreeView::EditNode(const ConnectionTreeNode &node)
{
    SelectNode(&node);
    if (QTreeWidgetItem *item = ItemOf(&node))
        editItem(item);
}

void ConnectionTreeView::SetCutNode(const ConnectionTreeNode *node)
{
    const QBrush dimmed = palette().brush(QPalette::Disabled, QPalette::Text);
    ForEachItem([&](QTreeWidgetItem *item) {
        item->setForeground(0, node && NodeOf(item) == node ? dimmed : QBrush());
    });
}

void ConnectionTreeView::ForEachItem(const std::function<void(QTreeWidgetItem *)> &visit) const
{
    const auto walk = [&visit](QTreeWidgetItem *parent, const auto &self) -> void {
        for (int i = 0; i < parent->childCount(); ++i) {
            visit(parent->child(i));
            self(parent->child(i), self);
        }
    };
    walk(invisibleRootItem(), walk);
}

QString ConnectionTreeView::ItemPath(const QTreeWidgetItem *item)
{
    QString path = item->text(0);
    if (item->data(0, kIsGroupRole).toBool())
        path += u'/';
    for (const QTreeWidgetItem *parent = item->parent(); parent; parent = parent->parent())
        path.prepend(parent->text(0) + u'/');
    return path;
}

QTreeWidgetItem *ConnectionTreeView::ItemAtPath(const QString &path) const
{
    QTreeWidgetItem *found = nullptr;
    ForEachItem([&](QTreeWidgetItem *item) {
        if (!found && ItemPath(item) == path)
            found = item;
    });
    return found;
}

QStringList ConnectionTreeView::OpenGroupPaths() const
{
    QStringList paths;
    ForEachItem([&](QTreeWidgetItem *item) {
        if (item->isExpanded())
            paths.append(ItemPath(item));
    });
    return paths;
}

// --- label editing -------------------------------------------------------------

void ConnectionTreeView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTreeWidget::closeEditor(editor, hint);
    emit LabelEditingEnded();
}

void ConnectionTreeView::ReportLabelEdit(const QPersistentModelIndex &index, const QString &text)
{
    // The owner may show a message box; the editor must be gone by then, or
    // the focus change would commit the same text again.
    QMetaObject::invokeMethod(
        this,
        [this, index, text] {
            if (ConnectionTreeNode *node = index.isValid() ? NodeOf(itemFromIndex(index)) : nullptr)
                emit LabelEdited(node, text);
        },
        Qt::QueuedConnection);
}

// --- drag and drop -------------------------------------------------------------

QStringList ConnectionTreeView::mimeTypes() const
{
    return {kNodeFormat};
}

QMimeData *ConnectionTreeView::mimeData(const QList<QTreeWidgetItem *> &items) const
{
    if (items.isEmpty())
        return nullptr;
    return new NodeMimeData(indexFromItem(items.constFirst()));
}

Qt::DropActions ConnectionTreeView::supportedDropActions() const
{
    return Qt::MoveAction;
}

QTreeWidgetItem *ConnectionTreeView::DraggedItem(const QMimeData *data) const
{
    const auto *nodeData = qobject_cast<const NodeMimeData *>(data);
    if (!nodeData || nodeData->Index().model() != model())
        return nullptr;
    return itemFromIndex(nodeData->Index());
}

void ConnectionTreeView::startDrag(Qt::DropActions)
{
    QTreeWidgetItem *item = currentItem();
    if (!item)
        return;
    // The drop reloads the tree; nothing may be removed here afterwards.
    auto *drag = new QDrag(this);
    drag->setMimeData(mimeData({item}));
    drag->setPixmap(item->icon(0).pixmap(iconSize().isValid() ? iconSize() : QSize(16, 16)));
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void ConnectionTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    QTreeWidget::dragEnterEvent(event);
    if (DraggedItem(event->mimeData())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ConnectionTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    QTreeWidget::dragMoveEvent(event);
    QTreeWidgetItem *target = itemAt(event->position().toPoint());
    if (target && DraggedItem(event->mimeData())) {
        SetDropTarget(target);
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        SetDropTarget(nullptr);
        event->ignore();
    }
}

void ConnectionTreeView::dragLeaveEvent(QDragLeaveEvent *event)
{
    SetDropTarget(nullptr);
    QTreeWidget::dragLeaveEvent(event);
}

void ConnectionTreeView::dropEvent(QDropEvent *event)
{
    SetDropTarget(nullptr);
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
    const QTreeWidgetItem *dragged = DraggedItem(event->mimeData());
    const QTreeWidgetItem *target = itemAt(event->position().toPoint());
    if (!dragged || !target) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    // The owner reloads the tree; the drag machinery still runs until the
    // drop has returned, so the move waits until then. Should the tree be
    // rebuilt before that, both indexes are gone and nothing moves.
    QMetaObject::invokeMethod(
        this,
        [this, draggedIndex = QPersistentModelIndex(indexFromItem(dragged)),
         targetIndex = QPersistentModelIndex(indexFromItem(target))] {
            ConnectionTreeNode *moved = NodeOf(itemFromIndex(draggedIndex));
            ConnectionTreeNode *onto = NodeOf(itemFromIndex(targetIndex));
            if (moved && onto)
                emit NodeDropped(moved, onto);
        },
        Qt::QueuedConnection);
}

void ConnectionTreeView::SetDropTarget(QTreeWidgetItem *item)
{
    if (m_dropTarget == item)
        return;
    m_dropTarget = item;
    viewport()->update();
}

void ConnectionTreeView::paintEvent(QPaintEvent *event)
{
    QTreeWidget::paintEvent(event);
    if (!m_dropTarget)
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Highlight));
    painter.drawRect(visualItemRect(m_dropTarget).adjusted(0, 0, -1, -1));
}

#include "connectiontreeview.moc"
