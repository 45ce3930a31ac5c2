#include "foldertreewalk.h"

#include "listingparser.h"
#include "remotelisting.h"
#include "tidftp.h"

FolderTreeWalk::FolderTreeWalk(RemoteFileSystem &session, const QStringList &features,
                               const bool &cancelRequested, const QString &knownEmptyFolder,
                               AddFolder addFolder)
    : m_session(session)
    , m_features(features)
    , m_cancelRequested(cancelRequested)
    , m_knownEmptyFolder(knownEmptyFolder)
    , m_addFolder(std::move(addFolder))
    , m_walk(session, features, FolderWalk::Revisits::Allowed)
{
}

bool FolderTreeWalk::Scan(QTreeWidgetItem *node, const QString &path)
{
    if (IsKnownEmpty(path))
        return true;
    if (m_cancelRequested || !m_session.IsConnected())
        return false;
    // A folder that cannot be entered is shown without children.
    if (!m_session.ChangeDir(path))
        return true;
    m_walk.Begin();
    ScanEntered(node, path);
    if (m_session.IsConnected())
        m_session.ChangeDirUp();
    m_walk.End();
    return true;
}

void FolderTreeWalk::ScanEntered(QTreeWidgetItem *node, const QString &path)
{
    const QString parentPath = WithTrailingSlash(path.trimmed());
    for (const QString &name : SubfolderNames()) {
        QTreeWidgetItem *child = m_addFolder(node, name);
        const QString childPath = parentPath + name.trimmed();
        if (m_cancelRequested || !m_session.IsConnected() || IsKnownEmpty(childPath))
            continue;
        if (m_walk.Enter(childPath) != FolderWalk::Step::Entered)
            continue;
        ScanEntered(child, childPath);
        if (m_session.IsConnected())
            m_walk.ReturnToParent();
        else
            m_walk.StopHere();
    }
}

bool FolderTreeWalk::IsKnownEmpty(const QString &path) const
{
    return !m_knownEmptyFolder.isEmpty() && WithTrailingSlash(path) == m_knownEmptyFolder;
}

QStringList FolderTreeWalk::SubfolderNames()
{
    const RemoteListing listing = ListRemoteFolder(m_session, m_features);
    QStringList names;
    for (const QString &line : listing.lines) {
        const RemoteEntry entry = ParseListingLine(line, m_session.ListingTimeCorrection(), listing.mlsd);
        if (entry.kind == RemoteEntry::Folder && NamesFolderEntry(entry))
            names.append(entry.name);
    }
    return names;
}
