#include "copypaste.h"

#include "mainsession.h"
#include "remotelisting.h"
#include "remoterow.h"

QList<CopiedRemoteEntry> CopiedEntries(const std::vector<RemotePaneEntry> &pane, const QString &folder)
{
    QList<CopiedRemoteEntry> copied;
    for (const RemotePaneEntry &entry : pane) {
        const RemoteRow &row = entry.row;
        if (!entry.selected || row.IsParent() || row.IsLink())
            continue;
        if (row.Kind() == RemoteRow::kFolder || row.Kind() == RemoteRow::kFile)
            copied.append({row.Kind(), WithTrailingSlash(folder) + row.name});
    }
    return copied;
}
