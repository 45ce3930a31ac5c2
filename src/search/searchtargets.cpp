#include "searchtargets.h"

#include "connectiontree.h"
#include "connectiontreestore.h"

namespace SearchTargets {

namespace {

int ChildCount(const ConnectionTree &tree, const ConnectionTreeNode *parent)
{
    return parent ? parent->ChildCount() : tree.TopLevelCount();
}

const ConnectionTreeNode *Child(const ConnectionTree &tree, const ConnectionTreeNode *parent, int index)
{
    return parent ? parent->Child(index) : tree.TopLevel(index);
}

// The whole rest as one name first, then its first piece as a group.
const ConnectionTreeNode *FindBelow(const ConnectionTree &tree, const ConnectionTreeNode *parent,
                                    const QString &rest)
{
    const int count = ChildCount(tree, parent);
    for (int i = 0; i < count; ++i) {
        if (Child(tree, parent, i)->Text() == rest)
            return Child(tree, parent, i);
    }
    const QString group = rest.section(u'/', 0, 0);
    const QString remainder = rest.section(u'/', 1);
    for (int i = 0; i < count && !remainder.isEmpty(); ++i) {
        const ConnectionTreeNode *node = Child(tree, parent, i);
        if (node->IsGroup() && node->Text() == group) {
            if (const ConnectionTreeNode *found = FindBelow(tree, node, remainder))
                return found;
        }
    }
    return nullptr;
}

} // namespace

const ConnectionTreeNode *NodeAtPath(const ConnectionTree &tree, const QString &path)
{
    return FindBelow(tree, nullptr, path);
}

QList<SearchTarget> Below(const ConnectionTreeStore &store, const ConnectionTreeNode &node)
{
    if (node.IsConnection())
        return {Of(store, node)};
    QList<SearchTarget> targets;
    for (int i = 0; i < node.ChildCount(); ++i)
        targets += Below(store, *node.Child(i));
    return targets;
}

SearchTarget Of(const ConnectionTreeStore &store, const ConnectionTreeNode &connection)
{
    return {store.ConnectionFileOf(connection), connection.Text()};
}

} // namespace SearchTargets
