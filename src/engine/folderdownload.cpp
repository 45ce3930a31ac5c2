#include "folderdownload.h"

#include "endsteps.h"
#include "idexceptions.h"
#include "listingparser.h"
#include "remotefilesystem.h"
#include "remotelisting.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

const QString kLinkArrow = u" -> "_s;

} // namespace

WalkEntry WalkEntry::FromListing(const RemoteEntry &listed)
{
    WalkEntry entry;
    entry.kind = listed.kind == RemoteEntry::Folder ? Kind::Folder
                 : listed.kind == RemoteEntry::Link ? Kind::Link
                                                    : Kind::File;
    entry.name = listed.name;
    entry.size = listed.size;
    entry.time = listed.timestamp;
    const qsizetype arrow = listed.name.indexOf(kLinkArrow);
    if (entry.kind == Kind::Link && arrow > 0) {
        entry.name = listed.name.left(arrow);
        entry.linkTarget = listed.name.mid(arrow + kLinkArrow.size()).trimmed();
    }
    return entry;
}

FolderDownload::FolderDownload(RemoteFileSystem &session, const QStringList &features, DownloadHost &host)
    : m_session(session)
    , m_host(host)
    , m_walk(session, features, FolderWalk::Revisits::Allowed)
    , m_pool(host)
{
}

FolderDownload::~FolderDownload() = default;

void FolderDownload::DownloadFolder(const QString &folder, const QString &name, const QString &localParent)
{
    if (m_pool.Stopping())
        return;
    if (!IsSafeLocalName(name)) {
        m_host.Log(u"Ordner übersprungen, sein Name taugt nicht als lokaler Name: "_s + name);
        return;
    }
    const QString path = JoinRemote(folder, name);
    switch (m_walk.Enter(path)) {
    case FolderWalk::Step::Refused:
        m_host.Refused(u"Ordner nicht gefunden: %1: %2"_s.arg(path, m_session.LastReplyLine()));
        break;
    case FolderWalk::Step::Skipped:
        m_host.Log(u"Ordner übersprungen, er führt aus dem Ordner hinaus, der geladen wird: "_s + path);
        break;
    case FolderWalk::Step::Entered:
        WalkEntered(folder, name, localParent);
        break;
    }
}

void FolderDownload::DownloadLink(const QString &folder, const WalkEntry &link, const QString &localFolder)
{
    if (m_pool.Stopping() || !IsSafeLocalName(link.name))
        return;
    const QString path = JoinRemote(folder, link.name);
    switch (m_walk.EnterLink(path, link.linkTarget)) {
    case FolderWalk::Step::Refused: {
        // No folder: the file it points to. The listed size and time are
        // the link's own, not its target's.
        WalkEntry file = link;
        file.size = -1;
        file.time = QDateTime();
        DownloadFile(folder, file, localFolder);
        break;
    }
    case FolderWalk::Step::Skipped:
        m_host.Log(u"Ordner übersprungen, er führt aus dem Ordner hinaus, der geladen wird: "_s + path);
        break;
    case FolderWalk::Step::Entered:
        WalkEntered(folder, link.name, localFolder);
        break;
    }
}

void FolderDownload::WalkEntered(const QString &folder, const QString &name, const QString &localParent)
{
    QString path = m_walk.CurrentPath();
    if (path.isEmpty())
        path = JoinRemote(folder, name);
    const auto walk = [&] { ListAndDownload(path, JoinLocal(localParent, name)); };
    const auto leave = [&] {
        // After a stop the session stays where the walk stopped.
        if (!m_host.MayContinue()) {
            m_walk.StopHere();
            return;
        }
        m_walk.ReturnToParent();
        m_host.ReturnedToParent();
    };
    RunWithEndSteps(walk, leave);
}

QString FolderDownload::BeginHere()
{
    m_walk.Begin();
    return m_walk.CurrentPath();
}

void FolderDownload::DownloadHere(const QString &path, const QString &localFolder)
{
    if (!m_pool.Stopping())
        ListAndDownload(path, localFolder);
}

void FolderDownload::ListAndDownload(const QString &path, const QString &localFolder)
{
    const QList<WalkEntry> entries = m_host.ListEnteredFolder(path);
    if (!QDir().mkpath(localFolder)) {
        m_host.Refused(u"Der Ordner %1 kann nicht angelegt werden."_s.arg(localFolder));
        return;
    }
    DownloadEntries(path, entries, localFolder);
}

void FolderDownload::DownloadEntries(const QString &folder, const QList<WalkEntry> &entries,
                                     const QString &localFolder)
{
    QSet<QString> names;
    names.reserve(entries.size());
    for (const WalkEntry &entry : entries)
        names.insert(entry.name);
    for (qsizetype index = 0; index < entries.size(); ++index) {
        if (m_pool.Stopping())
            return;
        const WalkEntry &entry = entries.at(index);
        if (entry.kind == WalkEntry::Kind::Folder)
            DownloadFolder(folder, entry.name, localFolder);
        else if (entry.kind == WalkEntry::Kind::Link)
            DownloadLink(folder, entry, localFolder);
        else
            DownloadFile(folder, entry, localFolder, names,
                         index + 1 < entries.size() ? &entries.at(index + 1) : nullptr);
        m_host.BetweenSteps();
    }
}

DownloadCandidate FolderDownload::Candidate(const QString &folder, const WalkEntry &file,
                                            const QString &localFolder, const QSet<QString> &siblings)
{
    DownloadCandidate candidate;
    candidate.entry = file;
    candidate.remotePath = JoinRemote(folder, file.name);
    candidate.target = JoinLocal(localFolder, file.name);
    // A size the listing gave saves a SIZE round trip per file.
    candidate.size = file.size >= 0 ? file.size : m_session.FileSize(file.name);
    candidate.existing = QFileInfo(candidate.target);
    candidate.partial = PartFile::PartialData(candidate.target, siblings);
    candidate.resumable = candidate.partial.exists() && candidate.partial.size() > 0 &&
                          candidate.partial.size() < candidate.size;
    return candidate;
}

void FolderDownload::DownloadFile(const QString &folder, const WalkEntry &file, const QString &localFolder,
                                  const QSet<QString> &siblings, const WalkEntry *following)
{
    if (m_pool.Stopping())
        return;
    if (!IsSafeLocalName(file.name)) {
        m_host.Log(u"Datei übersprungen, ihr Name taugt nicht als lokaler Name: "_s + file.name);
        return;
    }
    const DownloadCandidate candidate = Candidate(folder, file, localFolder, siblings);
    const TransferChoice choice = m_host.Decide(candidate);
    if (!m_host.MayContinue()) {
        m_pool.NoteCancelledByDecision();
        return;
    }
    Transfer(candidate, choice, siblings, following);
}

void FolderDownload::Transfer(const DownloadCandidate &file, TransferChoice choice,
                              const QSet<QString> &siblings, const WalkEntry *following)
{
    if (choice == TransferChoice::Skip)
        return;
    if (choice == TransferChoice::Replace && m_pool.Add({PooledTransfer::Direction::Download, file.remotePath,
                                                         file.target, file.size, file.entry.time, siblings},
                                                        m_session.NamesEncoding()))
        return;
    FileDownload download;
    download.remotePath = file.entry.name;
    download.target = file.target;
    download.knownSize = file.size;
    download.remoteTime = file.entry.time;
    download.reservedNames = siblings;
    const StopQuery stopped = [this] { return !m_host.MayContinue(); };
    DownloadOutcome outcome;
    // Continuing stays on the walking session: the pool's connections only
    // ever start a file anew.
    if (choice == TransferChoice::Continue) {
        m_host.FileStarting(file.entry.name, file.size - std::max<qint64>(file.partial.size(), 0));
        outcome =
            ContinueFile(m_session, download, stopped, [this](const QString &line) { m_host.Log(line); });
    } else {
        m_host.FileStarting(file.entry.name, file.size);
        if (following && following->kind == WalkEntry::Kind::File && following->size >= 0)
            m_session.AnnounceNextRetrieve(following->name, following->size);
        outcome = ReceiveFile(m_session, download, stopped);
    }
    if (outcome == DownloadOutcome::Refused)
        m_host.Refused(u"%1: %2"_s.arg(file.remotePath, m_session.LastReplyLine()));
}

void FolderDownload::Finish()
{
    m_pool.Finish(m_session);
}

bool IsSafeLocalName(const QString &name)
{
    // A backslash counts as a separator too: names travel on into results
    // files and to systems where it is one.
    return !name.isEmpty() && name != u"."_s && name != u".."_s && !name.contains(u'/') &&
           !name.contains(u'\\') && !name.contains(QChar(u'\0'));
}

QString JoinRemote(const QString &folder, const QString &name)
{
    return WithTrailingSlash(folder) + name;
}

QString JoinLocal(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}
