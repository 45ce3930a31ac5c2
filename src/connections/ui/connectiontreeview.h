#pragma once

#include <QTreeWidget>

#include <functional>

class ConnectionTree;
class ConnectionTreeNode;

// Shows a connection tree: groups with a folder picture, connections with a
// server picture, in the tree's own order. Labels are edited in place, but
// the view never changes a text itself: it reports the entered text and the
// owner decides. Nodes are dragged onto other nodes of the same view only.
class ConnectionTreeView : public QTreeWidget {
    Q_OBJECT

public:
    explicit ConnectionTreeView(QWidget *parent = nullptr);

    // Rebuilds every item; groups that were open and still exist stay open.
    // The tree must outlive the items.
    void ShowTree(const ConnectionTree &tree);

    ConnectionTreeNode *NodeOf(const QTreeWidgetItem *item) const;
    QTreeWidgetItem *ItemOf(const ConnectionTreeNode *node) const;
    ConnectionTreeNode *SelectedNode() const;
    // Opens the groups above the node, scrolls to it, selects it.
    void SelectNode(const ConnectionTreeNode *node);
    // A node that was added to the tree, or whose text changed: shown at its
    // sorted place.
    void AddNode(ConnectionTreeNode &node);
    void UpdateNode(const ConnectionTreeNode &node);
    // Makes the node visible and opens its label for editing.
    void EditNode(const ConnectionTreeNode &node);
    // Shows the node dimmed as cut; null removes the mark.
    void SetCutNode(const ConnectionTreeNode *node);
    // True while a label is edited or a node dragged.
    bool IsInteracting() const { return state() != QAbstractItemView::NoState; }

signals:
    void LabelEditingStarted();
    void LabelEditingEnded();
    // Sent after the editor has closed; the label still shows the old text.
    void LabelEdited(ConnectionTreeNode *node, const QString &text);
    void NodeDropped(ConnectionTreeNode *moved, ConnectionTreeNode *target);

protected:
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QList<QTreeWidgetItem *> &items) const override;
    Qt::DropActions supportedDropActions() const override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    QTreeWidgetItem *MakeItem(ConnectionTreeNode &node) const;
    void AddChildren(QTreeWidgetItem *parentItem, const ConnectionTreeNode *parent);
    void InsertAtSortedPlace(const ConnectionTreeNode &node, QTreeWidgetItem *item);
    // "Group/Sub/Name", from the item texts; a trailing "/" marks a group.
    // Only for finding open groups again after a rebuild.
    static QString ItemPath(const QTreeWidgetItem *item);
    QTreeWidgetItem *ItemAtPath(const QString &path) const;
    QStringList OpenGroupPaths() const;
    // The item a drag carried from this view, or null for foreign data.
    QTreeWidgetItem *DraggedItem(const QMimeData *data) const;
    void SetDropTarget(QTreeWidgetItem *item);
    void ReportLabelEdit(const QPersistentModelIndex &index, const QString &text);
    void ForEachItem(const std::function<void(QTreeWidgetItem *)> &visit) const;

    const ConnectionTree *m_tree = nullptr;
    QTreeWidgetItem *m_dropTarget = nullptr;
};
