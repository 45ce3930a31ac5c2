#include "treetransfer.h"

#include "clifailure.h"
#include "clisession.h"
#include "commandline.h"
#include "folderdownload.h"
#include "listingparser.h"
#include "transferpool.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A pool of --parallel connections whose traffic goes where the session's
// own goes; none with --parallel 1.
std::unique_ptr<TransferPool> CreatePool(CliSession &session, int connections)
{
    if (connections <= 1)
        return nullptr;
    auto pool = std::make_unique<TransferPool>(session.Connected(), connections,
                                               TIdFTP::HasFeature(session.Features(), u"UTF8"_s),
                                               session.LogsTraffic());
    pool->SetObserver([&session](const TransferPool::Event &event) {
        if (event.kind == TransferPool::Event::Kind::Traffic)
            session.LogConnectionLine(event.text, event.connection);
    });
    return pool;
}

// The folder download as glimra-cli runs it: its own listings, every file
// replaced (or continued with --continue), remarks on stderr. The first
// refusal stops the walk; the files already under way still complete.
class CliDownloadHost : public DownloadHost {
public:
    CliDownloadHost(CliSession &session, bool continueFiles)
        : m_session(session)
        , m_continueFiles(continueFiles)
    {
    }

    QString Refusal() const { return m_refusal; }

    QList<WalkEntry> ListEnteredFolder(const QString &path) override
    {
        TIdFTP &ftp = m_session.Connected();
        const bool mlsd = m_session.ListsWithMlsd();
        QStringList lines;
        if (mlsd)
            ftp.ListFacts(lines);
        else
            ftp.List(lines);
        QList<WalkEntry> entries;
        if (ftp.ReplyCode() / 100 != 2) {
            Refused(u"Der Server verweigert die Liste: %1: %2"_s.arg(path, ftp.LastReplyLine()));
            return entries;
        }
        for (const QString &line : lines) {
            const RemoteEntry entry = ParseListingLine(line, ftp.TimeCorrection, mlsd);
            if (entry.accepted && entry.name != u"."_s && entry.name != u".."_s)
                entries.append(WalkEntry::FromListing(entry));
        }
        return entries;
    }

    TransferChoice Decide(const DownloadCandidate &file) override
    {
        return m_continueFiles && file.resumable ? TransferChoice::Continue : TransferChoice::Replace;
    }

    bool MayContinue() override { return m_refusal.isEmpty() && m_session.Connected().IsConnected(); }

    void Refused(const QString &message) override
    {
        if (m_refusal.isEmpty())
            m_refusal = message;
    }

    void Log(const QString &line) override
    {
        std::fprintf(stderr, "glimra-cli: %s\n", line.toUtf8().constData());
    }

private:
    CliSession &m_session;
    bool m_continueFiles;
    QString m_refusal;
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

// Moves the files the upload walk hands it: over the pool when there is
// one, else at once over the session.
class UploadTransfer {
public:
    UploadTransfer(CliSession &session, int connections)
        : m_session(session)
        , m_ftp(session.Connected())
        , m_pool(CreatePool(session, connections))
    {
    }

    TIdFTP &Ftp() const { return m_ftp; }
    bool Stopped() const { return m_pool && m_pool->Stopped(); }

    void Move(PooledTransfer transfer)
    {
        if (m_pool) {
            m_pool->Add(std::move(transfer), m_ftp.Encoding);
            return;
        }
        if (TransferPool::Move(m_ftp, transfer, [] { return false; }) != DownloadOutcome::Completed)
            m_session.Refused(u"Hochladen abgelehnt: %1"_s.arg(transfer.remotePath));
    }

    void Finish()
    {
        if (!m_pool)
            return;
        m_pool->Finish(
            m_ftp, [] { return TransferPool::Stop::None; }, [] {});
        if (const QString error = m_pool->FirstError(); !error.isEmpty())
            throw CliFailure{kExitNetwork, error};
        if (const QString refusal = m_pool->RefusalMessage(); !refusal.isEmpty())
            throw CliFailure{kExitRefused, u"Hochladen abgelehnt: "_s + refusal};
    }

private:
    CliSession &m_session;
    TIdFTP &m_ftp;
    std::unique_ptr<TransferPool> m_pool;
};

void Upload(CliSession &session, UploadTransfer &transfer, const QString &localFolder,
            const QString &remoteFolder)
{
    TIdFTP &ftp = transfer.Ftp();
    // An existing folder is used as it is.
    if (!ftp.ChangeDir(remoteFolder) && !ftp.MakeDir(remoteFolder))
        session.Refused(u"Der Ordner kann nicht angelegt werden: %1"_s.arg(remoteFolder));
    QDirIterator entries(localFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext() && !transfer.Stopped()) {
        const QFileInfo entry = entries.nextFileInfo();
        const QString remotePath = Joined(remoteFolder, entry.fileName());
        if (entry.isSymLink())
            continue;
        if (entry.isDir())
            Upload(session, transfer, entry.filePath(), remotePath);
        else if (entry.isFile())
            transfer.Move(
                {PooledTransfer::Direction::Upload, remotePath, entry.filePath(), entry.size(), {}, {}});
    }
}

} // namespace

void GetTree(CliSession &session, const CommandLine &line)
{
    TIdFTP &ftp = session.Connected();
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
    if (!host.Refusal().isEmpty()) {
        if (!ftp.IsConnected())
            throw CliFailure{kExitNetwork, host.Refusal() + u" Die Verbindung zum Server ist abgebrochen."_s};
        throw CliFailure{kExitRefused, host.Refusal()};
    }
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
    UploadTransfer transfer(session, line.parallel);
    Upload(session, transfer, local, remoteRoot);
    transfer.Finish();
}
