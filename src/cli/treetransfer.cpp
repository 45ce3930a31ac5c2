#include "treetransfer.h"

#include "clifailure.h"
#include "clisession.h"
#include "commandline.h"
#include "listingparser.h"
#include "transferpool.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A name from a listing that may become a local file name.
bool IsSafeName(const QString &name)
{
    return !name.isEmpty() && name != u"."_s && name != u".."_s && !name.contains(u'/') &&
           !name.contains(u'\\') && !name.contains(QChar(u'\0'));
}

QString Joined(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// Moves the files the walk hands it: over the pool when there is one,
// else at once over the session.
class TreeTransfer {
public:
    TreeTransfer(CliSession &session, int connections)
        : m_session(session)
        , m_ftp(session.Connected())
    {
        if (connections > 1)
            m_pool = std::make_unique<TransferPool>(m_ftp, connections,
                                                    TIdFTP::HasFeature(session.Features(), u"UTF8"_s));
    }

    TIdFTP &Ftp() const { return m_ftp; }

    void Move(PooledTransfer transfer)
    {
        if (m_pool) {
            m_pool->Add(std::move(transfer), m_ftp.Encoding);
            if (m_pool->Stopped())
                Finish();
            return;
        }
        if (!TransferPool::Move(m_ftp, transfer, [] { return false; }))
            Refused(transfer);
    }

    void Finish()
    {
        if (!m_pool)
            return;
        m_pool->Finish(
            m_ftp, [] { return TransferPool::Stop::None; }, [] {});
        if (const QString error = m_pool->FirstError(); !error.isEmpty())
            throw CliFailure{kExitNetwork, error};
        if (m_pool->TransferRefused())
            m_session.Refused(u"Der Server hat eine Übertragung abgelehnt."_s);
    }

private:
    [[noreturn]] void Refused(const PooledTransfer &transfer) const
    {
        if (transfer.direction == PooledTransfer::Direction::Download)
            m_session.Refused(u"Datei nicht gefunden oder nicht lesbar: %1"_s.arg(transfer.remotePath));
        m_session.Refused(u"Hochladen abgelehnt: %1"_s.arg(transfer.remotePath));
    }

    CliSession &m_session;
    TIdFTP &m_ftp;
    std::unique_ptr<TransferPool> m_pool;
};

// The session's current folder as the server names it.
QString CurrentFolder(CliSession &session)
{
    const QString path = session.Connected().CurrentDir();
    if (path.isEmpty())
        session.Refused(u"Der Server nennt keinen aktuellen Ordner."_s);
    return path;
}

void ChangeToFolder(CliSession &session, const QString &folder)
{
    if (!session.Connected().ChangeDir(folder))
        session.Refused(u"Ordner nicht gefunden: %1"_s.arg(folder));
}

// The folder's path as the server names it after entering it.
QString EnterFolder(CliSession &session, const QString &folder)
{
    ChangeToFolder(session, folder);
    return CurrentFolder(session);
}

// The entries of the folder the session stands in.
QList<RemoteEntry> ListCurrentFolder(CliSession &session, const QString &remoteFolder)
{
    TIdFTP &ftp = session.Connected();
    const bool mlsd = session.ListsWithMlsd();
    QStringList lines;
    if (mlsd)
        ftp.ListFacts(lines);
    else
        ftp.List(lines);
    if (ftp.ReplyCode() / 100 != 2)
        session.Refused(u"Der Server verweigert die Liste: %1"_s.arg(remoteFolder));
    QList<RemoteEntry> entries;
    for (const QString &line : lines) {
        const RemoteEntry entry = ParseListingLine(line, ftp.TimeCorrection, mlsd);
        if (entry.accepted && IsSafeName(entry.name))
            entries.append(entry);
    }
    return entries;
}

[[noreturn]] void CannotCreateFolder(const QString &path)
{
    throw CliFailure{kExitUsage, u"Der Ordner %1 kann nicht angelegt werden."_s.arg(path)};
}

// The entries of remoteFolder, the folder the session stands in, and of
// the folders below. Links are left out: they may lead anywhere, also back
// up the tree.
void Download(CliSession &session, TreeTransfer &transfer, const QString &remoteFolder,
              const QString &localFolder)
{
    if (!QDir().mkpath(localFolder))
        CannotCreateFolder(localFolder);
    for (const RemoteEntry &entry : ListCurrentFolder(session, remoteFolder)) {
        const QString remotePath = Joined(remoteFolder, entry.name);
        const QString localPath = Joined(localFolder, entry.name);
        if (entry.kind == RemoteEntry::Folder) {
            ChangeToFolder(session, remotePath);
            Download(session, transfer, remotePath, localPath);
        } else if (entry.kind == RemoteEntry::File) {
            const qint64 size = entry.size >= 0 ? entry.size : transfer.Ftp().FileSize(remotePath);
            transfer.Move(
                {PooledTransfer::Direction::Download, remotePath, localPath, size, entry.timestamp});
        }
    }
}

void Upload(CliSession &session, TreeTransfer &transfer, const QString &localFolder,
            const QString &remoteFolder)
{
    TIdFTP &ftp = transfer.Ftp();
    // An existing folder is used as it is.
    if (!ftp.ChangeDir(remoteFolder) && !ftp.MakeDir(remoteFolder))
        session.Refused(u"Der Ordner kann nicht angelegt werden: %1"_s.arg(remoteFolder));
    QDirIterator entries(localFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        const QFileInfo entry = entries.nextFileInfo();
        const QString remotePath = Joined(remoteFolder, entry.fileName());
        if (entry.isSymLink())
            continue;
        if (entry.isDir())
            Upload(session, transfer, entry.filePath(), remotePath);
        else if (entry.isFile())
            transfer.Move(
                {PooledTransfer::Direction::Upload, remotePath, entry.filePath(), entry.size(), {}});
    }
}

} // namespace

void GetTree(CliSession &session, const CommandLine &line)
{
    const QString remote = line.arguments[0];
    const QString remoteRoot = EnterFolder(session, remote);
    QString local = line.arguments.value(1);
    if (local.isEmpty())
        local = QFileInfo(remoteRoot).fileName();
    TreeTransfer transfer(session, line.parallel);
    Download(session, transfer, remoteRoot, local);
    transfer.Finish();
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
    const QString remoteRoot = remote.startsWith(u'/') ? remote : Joined(CurrentFolder(session), remote);
    TreeTransfer transfer(session, line.parallel);
    Upload(session, transfer, local, remoteRoot);
    transfer.Finish();
}
