#include "filedownload.h"

#include "idexceptions.h"
#include "remotefilesystem.h"
#include "resumepoint.h"

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void RaiseCannotCreate(const QString &path, const QString &reason)
{
    throw EIdLocalFileError(u"Die Datei %1 kann nicht angelegt werden: %2"_s.arg(path, reason));
}

// The size the file had when it was sent: what the 150 reply names, else
// what the caller knew. Unknown (-1) when neither says.
qint64 ExpectedSize(const RemoteFileSystem &session, qint64 knownSize)
{
    if (session.AnnouncedSize() >= 0)
        return session.AnnouncedSize();
    return knownSize > 0 ? knownSize : -1;
}

DownloadOutcome Complete(PartFile &part, const FileDownload &file, qint64 expected, const StopQuery &stopped)
{
    const bool stopping = stopped();
    const qint64 received = part.Device().size();
    if (expected >= 0 && received != expected) {
        // After the user's stop a short file is what the stop did.
        if (stopping)
            return DownloadOutcome::Stopped;
        throw EIdIncompleteFile(file.target, received, expected);
    }
    if (!part.Commit(stopping ? QDateTime() : file.remoteTime))
        RaiseCannotCreate(file.target, part.ErrorString());
    return DownloadOutcome::Completed;
}

DownloadOutcome NotReceived(const StopQuery &stopped)
{
    return stopped() ? DownloadOutcome::Stopped : DownloadOutcome::Refused;
}

} // namespace

DownloadOutcome ReceiveFile(RemoteFileSystem &session, const FileDownload &file, const StopQuery &stopped)
{
    PartFile part(file.target, file.leftover, file.reservedNames);
    if (!part.Open())
        RaiseCannotCreate(file.target, part.ErrorString());
    // Sizes count bytes only in binary type.
    session.SetTransferType(ftBinary);
    session.SizeForNextRetrieve(file.knownSize);
    if (!session.Retrieve(file.remotePath, part.Device()))
        return NotReceived(stopped);
    return Complete(part, file, ExpectedSize(session, file.knownSize), stopped);
}

DownloadOutcome ContinueFile(RemoteFileSystem &session, const FileDownload &file, const StopQuery &stopped,
                             const TransferNotice &notice)
{
    // Nothing to continue: the whole file.
    if (PartFile::PartialData(file.target, file.reservedNames).size() <= 0) {
        FileDownload whole = file;
        whole.leftover = PartFile::Leftover::Keep;
        return ReceiveFile(session, whole, stopped);
    }
    PartFile part(file.target, PartFile::Leftover::Keep, file.reservedNames);
    if (!part.OpenToContinue())
        RaiseCannotCreate(file.target, part.ErrorString());
    session.SetTransferType(ftBinary);
    const qint64 size = session.FileSize(file.remotePath);
    const ResumePoint start = ResumePoint::For(part.Device().size(), size);
    if (!start.reason.isEmpty())
        notice(start.StartOverRemark(file.remotePath));
    if (!session.RetrieveFrom(file.remotePath, part.Device(), start.offset))
        return NotReceived(stopped);
    const qint64 expected = ExpectedSize(session, size);
    const bool continued = start.offset > 0 && !session.RestartRefused();
    if (continued && expected >= 0 && part.Device().size() != expected && !stopped()) {
        // What arrived does not join the partial data: the server went on
        // from another byte than asked, or the file changed meanwhile.
        notice(u"%1 wird ganz übertragen: der Server hat nicht ab Byte %2 gesendet."_s.arg(
            file.remotePath, QString::number(start.offset)));
        if (!session.RetrieveFrom(file.remotePath, part.Device(), 0))
            return NotReceived(stopped);
        return Complete(part, file, ExpectedSize(session, size), stopped);
    }
    return Complete(part, file, expected, stopped);
}
