#include "connectiontree.h"

#include <algorithm>

ConnectionTreeNode::ConnectionTreeNode(Kind kind, const QString &text, ConnectionTreeNode *parent)
    : m_kind(kind)
    , m_text(text)
    , m_parent(parent)
{
}

QString ConnectionTreeNode::GroupPath() const
{
    QString path;
    for (const ConnectionTreeNode *group = m_parent; group; group = group->m_parent)
        path.prepend(group->m_text + u'/');
    return path;
}

bool ConnectionTreeNode::IsInside(const ConnectionTreeNode &ancestor) const
{
    for (const ConnectionTreeNode *node = m_parent; node; node = node->m_parent) {
        if (node == &ancestor)
            return true;
    }
    return false;
}

ConnectionTree::ConnectionTree()
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

void ConnectionTree::Clear()
{
    m_topLevel.clear();
}

ConnectionTreeNode *ConnectionTree::AddNode(ConnectionTreeNode *parent, ConnectionTreeNode::Kind kind,
                                            const QString &text)
{
    return InsertSorted(SiblingsOf(parent), std::make_unique<ConnectionTreeNode>(kind, text, parent));
}

void ConnectionTree::SetText(ConnectionTreeNode &node, const QString &text)
{
    std::unique_ptr<ConnectionTreeNode> detached = Detach(node);
    if (!detached)
        return;
    detached->m_text = text;
    NodeList &siblings = SiblingsOf(detached->m_parent);
    InsertSorted(siblings, std::move(detached));
}

void ConnectionTree::RemoveNode(const ConnectionTreeNode &node)
{
    Detach(node);
}

int ConnectionTree::NodeCount() const
{
    return int(InOrder().size());
}

ConnectionTreeNode *ConnectionTree::NodeAt(int absoluteIndex) const
{
    const std::vector<ConnectionTreeNode *> nodes = InOrder();
    return absoluteIndex >= 0 && absoluteIndex < int(nodes.size()) ? nodes[absoluteIndex] : nullptr;
}

int ConnectionTree::AbsoluteIndex(const ConnectionTreeNode &node) const
{
    const std::vector<ConnectionTreeNode *> nodes = InOrder();
    const auto found = std::find(nodes.begin(), nodes.end(), &node);
    return found == nodes.end() ? -1 : int(found - nodes.begin());
}

ConnectionTree::NodeList &ConnectionTree::SiblingsOf(ConnectionTreeNode *parent)
{
    return parent ? parent->m_children : m_topLevel;
}

ConnectionTreeNode *ConnectionTree::InsertSorted(NodeList &siblings, std::unique_ptr<ConnectionTreeNode> node)
{
    // After nodes of equal text, so that nodes read in file order keep it.
    const auto place =
        std::upper_bound(siblings.begin(), siblings.end(), node, [this](const auto &a, const auto &b) {
            return m_collator.compare(a->m_text, b->m_text) < 0;
        });
    return siblings.insert(place, std::move(node))->get();
}

std::unique_ptr<ConnectionTreeNode> ConnectionTree::Detach(const ConnectionTreeNode &node)
{
    NodeList &siblings = SiblingsOf(node.m_parent);
    const auto found = std::find_if(siblings.begin(), siblings.end(),
                                    [&node](const auto &sibling) { return sibling.get() == &node; });
    if (found == siblings.end())
        return nullptr;
    std::unique_ptr<ConnectionTreeNode> detached = std::move(*found);
    siblings.erase(found);
    return detached;
}

std::vector<ConnectionTreeNode *> ConnectionTree::InOrder() const
{
    std::vector<ConnectionTreeNode *> nodes;
    const auto visit = [&nodes](const NodeList &list, const auto &self) -> void {
        for (const auto &node : list) {
            nodes.push_back(node.get());
            self(node->m_children, self);
        }
    };
    visit(m_topLevel, visit);
    return nodes;
}
