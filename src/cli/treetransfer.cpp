#include "treetransfer.h"

#include "clifailure.h"
#include "clisession.h"
#include "commandline.h"
#include "folderdownload.h"
#include "folderupload.h"
#include "listingparser.h"
#include "remotefilesystem.h"
#include "transferpool.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// A pool of --parallel connections whose traffic goes where the session's
// own goes; none with --parallel 1.
std::unique_ptr<TransferPool> CreatePool(CliSession &session, int connections)
{
    if (connections <= 1)
        return nullptr;
    auto pool = std::make_unique<TransferPool>(session.Connected(), connections, session.AnnouncesUtf8(),
                                               session.LogsTraffic());
    pool->SetObserver([&session](const TransferPool::Event &event) {
        if (event.kind == TransferPool::Event::Kind::Traffic)
            session.LogConnectionLine(event.text, event.connection);
    });
    return pool;
}

void LogRemark(const QString &line)
{
    std::fprintf(stderr, "glimra-cli: %s\n", line.toUtf8().constData());
}

// The entries of the folder the session has just entered, as glimra-cli
// lists them; a refused listing goes to the host.
QList<WalkEntry> ListFolder(CliSession &session, const QString &path, WalkHost &host)
{
    RemoteFileSystem &ftp = session.Connected();
    const bool mlsd = session.ListsWithMlsd();
    QStringList lines;
    if (mlsd)
        ftp.ListFacts(lines);
    else
        ftp.List(lines);
    QList<WalkEntry> entries;
    if (!ftp.LastRequestSucceeded()) {
        host.Refused(u"Der Server verweigert die Liste: %1: %2"_s.arg(path, ftp.LastReplyLine()));
        return entries;
    }
    for (const QString &line : lines) {
        const RemoteEntry entry = ParseListingLine(line, ftp.ListingTimeCorrection(), mlsd);
        if (entry.accepted && entry.name != u"."_s && entry.name != u".."_s)
            entries.append(WalkEntry::FromListing(entry));
    }
    return entries;
}

// What glimra-cli's walks share: the first refusal stops the walk (the files
// already under way still complete) and ends the command; remarks go to stderr.
template <class Host> class CliWalkHost : public Host {
public:
    explicit CliWalkHost(CliSession &session)
        : m_session(session)
    {
    }

    QString Refusal() const { return m_refusal; }

    bool MayContinue() override { return m_refusal.isEmpty() && m_session.Connected().IsConnected(); }

    void Refused(const QString &message) override
    {
        if (m_refusal.isEmpty())
            m_refusal = message;
    }

    void Log(const QString &line) override { LogRemark(line); }

protected:
    CliSession &m_session;

private:
    QString m_refusal;
};

// The folder download as glimra-cli runs it: its own listings, every file
// replaced (or continued with --continue), remarks on stderr. The first
// refusal stops the walk; the files already under way still complete.
class CliDownloadHost : public CliWalkHost<DownloadHost> {
public:
    CliDownloadHost(CliSession &session, bool continueFiles)
        : CliWalkHost(session)
        , m_continueFiles(continueFiles)
    {
    }

    QList<WalkEntry> ListEnteredFolder(const QString &path) override
    {
        return ListFolder(m_session, path, *this);
    }

    TransferChoice Decide(const DownloadCandidate &file) override
    {
        return m_continueFiles && file.resumable ? TransferChoice::Continue : TransferChoice::Replace;
    }

private:
    bool m_continueFiles;
};

QString Joined(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// The local folder a download gets without a name given: the last part of
// the server's name for the folder. A name that would lead elsewhere ("..",
// a separator, nothing) is refused.
QString LocalNameFor(const QString &remoteRoot)
{
    const QString name = remoteRoot.section(u'/', -1, -1, QString::SectionSkipEmpty);
    if (!IsSafeLocalName(name))
        throw CliFailure{kExitUsage,
                         u"Aus dem Ordnernamen des Servers „%1“ ergibt sich kein lokaler Ordner; bitte LOKAL "
                         u"angeben."_s.arg(remoteRoot)};
    return name;
}

// The folder upload as glimra-cli runs it: its own listing of each folder
// it enters, every file replaced.
class CliUploadHost : public CliWalkHost<UploadHost> {
public:
    using CliWalkHost::CliWalkHost;

    QString EnteredFolder(const QString &path) override
    {
        QHash<QString, ListedName> &listed = m_listings.emplace_back();
        for (const WalkEntry &entry : ListFolder(m_session, path, *this))
            listed.insert(entry.name,
                          ListedName{entry.time, entry.size >= 0 ? QString::number(entry.size) : QString()});
        const QString named = m_session.Connected().CurrentFolderPath();
        return named.isEmpty() ? path : named;
    }

    // The folder above is as it was listed: the walk only added below.
    void ReturnedToParent() override
    {
        if (!m_listings.empty())
            m_listings.pop_back();
    }

    std::optional<ListedName> Listed(const QString &name) override
    {
        if (m_listings.empty())
            return std::nullopt;
        const auto found = m_listings.back().constFind(name);
        if (found == m_listings.back().cend())
            return std::nullopt;
        return *found;
    }

    TransferChoice Decide(const UploadCandidate &) override { return TransferChoice::Replace; }
    bool KeepsLocalTime() override { return false; }

private:
    // What each folder from the start down to the one the session stands in
    // lists, by name.
    std::vector<QHash<QString, ListedName>> m_listings;
};

// A walk that a refusal stopped ends the command with it.
void EndWithRefusal(const RemoteFileSystem &ftp, const QString &refusal)
{
    if (refusal.isEmpty())
        return;
    if (!ftp.IsConnected())
        throw CliFailure{kExitNetwork, refusal + u" Die Verbindung zum Server ist abgebrochen."_s};
    throw CliFailure{kExitRefused, refusal};
}

} // namespace

void GetTree(CliSession &session, const CommandLine &line)
{
    RemoteFileSystem &ftp = session.Connected();
    const QString remote = line.arguments[0];
    if (!ftp.ChangeDir(remote))
        session.Refused(u"Ordner nicht gefunden: %1"_s.arg(remote));
    CliDownloadHost host(session, line.continueTransfer);
    FolderDownload download(ftp, session.Features(), host);
    const QString remoteRoot = download.BeginHere();
    QString local = line.arguments.value(1);
    if (local.isEmpty())
        local = LocalNameFor(remoteRoot.isEmpty() ? remote : remoteRoot);
    download.UsePool(CreatePool(session, line.parallel));
    download.DownloadHere(remoteRoot, local);
    download.Finish();
    EndWithRefusal(ftp, host.Refusal());
}

void PutTree(CliSession &session, const CommandLine &line)
{
    const QString local = line.arguments[0];
    if (!QFileInfo(local).isDir())
        throw CliFailure{kExitUsage, u"Ordner nicht gefunden: %1"_s.arg(local)};
    QString remote = line.arguments.value(1);
    if (remote.isEmpty() || remote.endsWith(u'/'))
        remote += QFileInfo(QDir(local).absolutePath()).fileName();
    // Relative names are taken from the folder the login ends in.
    QString remoteRoot = remote;
    if (!remote.startsWith(u'/')) {
        const QString start = session.Connected().CurrentFolderPath();
        if (start.isEmpty())
            session.Refused(u"Der Server nennt keinen aktuellen Ordner."_s);
        remoteRoot = Joined(start, remote);
    }
    const qsizetype slash = remoteRoot.lastIndexOf(u'/');
    const QString parent = slash == 0 ? u"/"_s : remoteRoot.left(slash);
    const QString name = remoteRoot.mid(slash + 1);
    RemoteFileSystem &ftp = session.Connected();
    if (!ftp.ChangeDir(parent))
        session.Refused(u"Ordner nicht gefunden: %1"_s.arg(parent));
    CliUploadHost host(session);
    const QString folder = host.EnteredFolder(parent);
    FolderUpload upload(ftp, host);
    upload.UsePool(CreatePool(session, line.parallel));
    upload.UploadFolder(folder, local, name);
    upload.Finish();
    EndWithRefusal(ftp, host.Refusal());
}
