#pragma once

#include <QCollator>
#include <QString>

#include <memory>
#include <vector>

// One node of the connection tree: a group (a folder on disk) or a
// connection (a section of its group's inhalt.ini).
class ConnectionTreeNode {
public:
    enum class Kind { Group, Connection };

    ConnectionTreeNode(Kind kind, const QString &text, ConnectionTreeNode *parent);

    const QString &Text() const { return m_text; }
    // A node is a connection only when it was made as one and holds nothing.
    bool IsConnection() const { return m_kind == Kind::Connection && m_children.empty(); }
    bool IsGroup() const { return !IsConnection(); }
    // State image: 3 for a group, 1 for a connection; image 0 is the folder.
    int StateMark() const { return IsConnection() ? 1 : 3; }
    int ImageIndex() const { return IsConnection() ? -1 : 0; }

    // Null for a node at the top level.
    ConnectionTreeNode *Parent() const { return m_parent; }
    int ChildCount() const { return int(m_children.size()); }
    ConnectionTreeNode *Child(int index) const { return m_children.at(index).get(); }

    // The names of the enclosing groups, outermost first, each followed by
    // "/"; empty at the top level.
    QString GroupPath() const;
    // True when this node lies anywhere below the given node.
    bool IsInside(const ConnectionTreeNode &ancestor) const;

private:
    friend class ConnectionTree;

    Kind m_kind;
    QString m_text;
    ConnectionTreeNode *m_parent;
    std::vector<std::unique_ptr<ConnectionTreeNode>> m_children;
};

// The in-memory view of the saved connections. Siblings, groups and
// connections mixed, stay sorted by text, ignoring case, in the locale's order.
class ConnectionTree {
public:
    ConnectionTree();

    void Clear();
    bool IsEmpty() const { return m_topLevel.empty(); }
    int TopLevelCount() const { return int(m_topLevel.size()); }
    ConnectionTreeNode *TopLevel(int index) const { return m_topLevel.at(index).get(); }

    // Adds a node under the parent (null: at the top level), in sorted place.
    ConnectionTreeNode *AddNode(ConnectionTreeNode *parent, ConnectionTreeNode::Kind kind,
                                const QString &text);
    // Changes a node's text and moves it to its sorted place.
    void SetText(ConnectionTreeNode &node, const QString &text);
    void RemoveNode(const ConnectionTreeNode &node);

    // Absolute positions count every node in top-to-bottom order of the
    // fully expanded tree.
    int NodeCount() const;
    ConnectionTreeNode *NodeAt(int absoluteIndex) const;
    int AbsoluteIndex(const ConnectionTreeNode &node) const;

private:
    using NodeList = std::vector<std::unique_ptr<ConnectionTreeNode>>;

    NodeList &SiblingsOf(ConnectionTreeNode *parent);
    ConnectionTreeNode *InsertSorted(NodeList &siblings, std::unique_ptr<ConnectionTreeNode> node);
    std::unique_ptr<ConnectionTreeNode> Detach(const ConnectionTreeNode &node);
    std::vector<ConnectionTreeNode *> InOrder() const;

    QCollator m_collator;
    NodeList m_topLevel;
};
