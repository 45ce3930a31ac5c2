#include "folderupload.h"

#include "endsteps.h"
#include "folderdownload.h"
#include "folderwalk.h"
#include "idexceptions.h"
#include "remotefilesystem.h"
#include "resumepoint.h"

#include <QDirIterator>
#include <QFile>

using namespace Qt::StringLiterals;

FolderUpload::FolderUpload(RemoteFileSystem &session, UploadHost &host)
    : m_session(session)
    , m_host(host)
    , m_pool(host)
{
}

void FolderUpload::UploadPath(const QString &folder, const QString &localPath)
{
    const QFileInfo item(localPath);
    if (item.isFile())
        UploadFile(folder, item);
    else if (item.isDir())
        UploadFolder(folder, localPath);
}

void FolderUpload::UploadFolder(const QString &folder, const QString &localFolder, const QString &remoteName)
{
    if (m_pool.Stopping())
        return;
    QString path = localFolder;
    if (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    const QString name = remoteName.isEmpty() ? QFileInfo(path).fileName() : remoteName;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (name.isEmpty() || m_walk.contains(canonical))
        return;
    const QString remotePath = JoinRemote(folder, name);
    // An entry of that name, whatever its kind (a link too), counts as the folder.
    if (!m_host.Listed(name) && !m_session.MakeDir(remotePath)) {
        m_host.Refused(
            u"Der Ordner kann nicht angelegt werden: %1: %2"_s.arg(remotePath, m_session.LastReplyLine()));
        return;
    }
    if (!m_session.ChangeDir(remotePath)) {
        m_host.Refused(u"Ordner nicht gefunden: %1: %2"_s.arg(remotePath, m_session.LastReplyLine()));
        return;
    }
    m_walk.append(canonical);
    bool enteredByItsPath = true;
    const auto upload = [&] {
        const QString entered = m_host.EnteredFolder(remotePath);
        enteredByItsPath = FolderPath(entered) == FolderPath(remotePath);
        UploadFolderContent(entered, path);
    };
    const auto leave = [&] {
        // Also after a cancel: the upload ends where it began. CDUP from a
        // folder reached through a link would lead to the parent of its target.
        m_walk.removeLast();
        if (enteredByItsPath)
            m_session.ChangeDirUp();
        else
            m_session.ChangeDir(folder);
        m_host.ReturnedToParent();
    };
    RunWithEndSteps(upload, leave);
}

void FolderUpload::UploadFolderContent(const QString &folder, const QString &localFolder)
{
    QDirIterator entries(localFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext() && m_host.MayContinue()) {
        const QFileInfo entry = entries.nextFileInfo();
        if (entry.isDir())
            UploadFolder(folder, entry.filePath());
        else
            UploadFile(folder, entry);
        m_host.BetweenSteps();
    }
}

UploadCandidate FolderUpload::Candidate(const QString &folder, const QFileInfo &file)
{
    UploadCandidate candidate;
    candidate.file = file;
    candidate.remotePath = JoinRemote(folder, file.fileName());
    candidate.listed = m_host.Listed(file.fileName());
    if (candidate.listed) {
        bool sizeListed = false;
        const qint64 remoteBytes = candidate.listed->sizeText.toLongLong(&sizeListed);
        candidate.resumable = sizeListed && remoteBytes > 0 && remoteBytes < file.size();
    }
    return candidate;
}

void FolderUpload::UploadFile(const QString &folder, const QFileInfo &file)
{
    if (m_pool.Stopping())
        return;
    // Devices, pipes and sockets have no content to send; reading one could
    // wait for ever.
    if (!file.isFile())
        return;
    m_session.SetTransferType(ftBinary);
    m_host.FileStarting(file.fileName(), file.size());
    const UploadCandidate candidate = Candidate(folder, file);
    const TransferChoice choice = m_host.Decide(candidate);
    if (!m_host.MayContinue()) {
        m_pool.NoteCancelledByDecision();
        return;
    }
    Store(candidate, choice);
}

void FolderUpload::Store(const UploadCandidate &file, TransferChoice choice)
{
    if (choice == TransferChoice::Skip)
        return;
    const QDateTime localTime = file.file.lastModified();
    const QString localPath = file.file.absoluteFilePath();
    if (choice == TransferChoice::Replace && m_pool.Add({PooledTransfer::Direction::Upload,
                                                         file.remotePath,
                                                         localPath,
                                                         file.file.size(),
                                                         m_host.KeepsLocalTime() ? localTime : QDateTime(),
                                                         {}},
                                                        m_session.NamesEncoding()))
        return;
    bool stored = false;
    if (choice == TransferChoice::Continue) {
        // What the server holds now, not what the listing said: it may be older.
        const ResumePoint start = ResumePoint::For(m_session.FileSize(file.remotePath), file.file.size());
        if (!start.reason.isEmpty())
            m_host.Log(start.StartOverRemark(file.file.fileName()));
        QFile source(localPath);
        if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            throw EIdException(
                u"Die Datei %1 kann nicht gelesen werden: %2"_s.arg(localPath, source.errorString()));
        m_host.FileStarting(file.file.fileName(), file.file.size() - start.offset);
        stored = m_session.StoreFrom(source, file.remotePath, start.offset);
    } else {
        stored = m_session.StoreFile(localPath, file.remotePath);
    }
    if (!stored) {
        m_host.Refused(u"Hochladen abgelehnt: %1: %2"_s.arg(file.remotePath, m_session.LastReplyLine()));
        return;
    }
    if (m_host.KeepsLocalTime())
        m_session.SetModifiedTime(file.remotePath, localTime);
}
