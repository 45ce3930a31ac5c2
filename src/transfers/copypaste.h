#pragma once

#include <QList>
#include <QString>

#include <vector>

struct CopiedRemoteEntry;
struct RemotePaneEntry;

// "Kopieren": the selected files and folders of the remote pane, in pane
// order, each by its full path in folder. ".." and links are left out.
QList<CopiedRemoteEntry> CopiedEntries(const std::vector<RemotePaneEntry> &pane, const QString &folder);
