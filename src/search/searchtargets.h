#pragma once

#include "searchrun.h"

#include <QList>
#include <QString>

class ConnectionTree;
class ConnectionTreeNode;
class ConnectionTreeStore;

// Search targets from the connection tree.
namespace SearchTargets {

// The node at a path of node texts joined by "/" ("Arbeit/Webseite"); a
// connection's own name may contain "/" too. Null when there is none.
const ConnectionTreeNode *NodeAtPath(const ConnectionTree &tree, const QString &path);

// The connection itself, or every connection below a group, in tree order.
QList<SearchTarget> Below(const ConnectionTreeStore &store, const ConnectionTreeNode &node);

SearchTarget Of(const ConnectionTreeStore &store, const ConnectionTreeNode &connection);

} // namespace SearchTargets
