#include "commands.h"

#include "clifailure.h"
#include "clisession.h"
#include "commandline.h"
#include "filedownload.h"
#include "idexceptions.h"
#include "listingparser.h"
#include "partfile.h"
#include "remotefilesystem.h"
#include "resumepoint.h"
#include "transferprogress.h"
#include "treetransfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <cstdio>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void PrintLine(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

// A remark on how a transfer went, on stderr beside the errors.
void Notice(const QString &text)
{
    std::fprintf(stderr, "glimra-cli: %s\n", text.toUtf8().constData());
}

// Where a continued transfer of the named file starts; a reason to start
// over is told.
qint64 ContinueFrom(const QString &name, qint64 partialSize, qint64 sourceSize)
{
    const ResumePoint start = ResumePoint::For(partialSize, sourceSize);
    if (!start.reason.isEmpty())
        Notice(start.StartOverRemark(name));
    return start.offset;
}

void NoticeRefusedRestart(const RemoteFileSystem &ftp, const QString &fallback)
{
    if (ftp.RestartRefused())
        Notice(u"Der Server lehnt REST ab: "_s + fallback);
}

QString RemoteFileName(const QString &remotePath)
{
    const QString name = remotePath.section(u'/', -1);
    if (name.isEmpty())
        throw CliFailure{kExitUsage, u"Kein Dateiname in %1"_s.arg(remotePath)};
    return name;
}

// Folder entries as the program shows them; "." and ".." name no entry.
void PrintEntries(const QStringList &lines, const TimeCorrection &correction, bool mlsd)
{
    for (const QString &line : lines) {
        const RemoteEntry entry = ParseListingLine(line, correction, mlsd);
        if (!entry.accepted || entry.name == u"."_s || entry.name == u".."_s)
            continue;
        PrintLine(
            QStringList{entry.attributes.left(1), entry.sizeText, entry.dateText, entry.name}.join(u'\t'));
    }
}

void ListFolder(CliSession &session, const CommandLine &line)
{
    RemoteFileSystem &ftp = session.Connected();
    const QString folder = line.arguments.value(0);
    if (!ftp.ChangeDir(folder))
        session.Refused(u"Ordner nicht gefunden: %1"_s.arg(folder));
    const bool mlsd = session.ListsWithMlsd();
    QStringList lines;
    ftp.SetTransferType(ftASCII);
    if (mlsd)
        ftp.ListFacts(lines);
    else
        ftp.List(lines);
    if (!ftp.LastRequestSucceeded())
        session.Refused(u"Der Server verweigert die Liste."_s);
    if (line.raw) {
        for (const QString &text : lines)
            PrintLine(text);
    } else {
        PrintEntries(lines, ftp.ListingTimeCorrection(), mlsd);
    }
}

void Retrieve(CliSession &session, const QString &remote, QIODevice &target)
{
    RemoteFileSystem &ftp = session.Connected();
    ftp.SetTransferType(ftBinary);
    const qint64 size = TransferProgress::IsShown() ? ftp.FileSize(remote) : -1;
    TransferProgress progress(ftp, size);
    if (!ftp.Retrieve(remote, target))
        session.Refused(u"Datei nicht gefunden oder nicht lesbar: %1"_s.arg(remote));
}

[[noreturn]] void RaiseCannotCreate(ExitCode exitCode, const QString &path, const QString &reason)
{
    throw CliFailure{exitCode, u"Die Datei %1 kann nicht angelegt werden: %2"_s.arg(path, reason)};
}

// "-" writes to standard output. A file is received beside the target and
// replaces it only when it arrived whole; what an interrupted one received
// stays there for --continue.
void GetFile(CliSession &session, const CommandLine &line)
{
    if (line.recursive)
        return GetTree(session, line);
    const QString remote = line.arguments[0];
    QString local = line.arguments.value(1);
    if (local == u"-"_s) {
        QFile standardOutput;
        standardOutput.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
        Retrieve(session, remote, standardOutput);
        return;
    }
    if (local.isEmpty())
        local = RemoteFileName(remote);
    else if (QFileInfo(local).isDir())
        local = QDir(local).filePath(RemoteFileName(remote));
    // A file the user keeps read-only is not replaced.
    if (QFileInfo::exists(local) && !QFileInfo(local).isWritable())
        RaiseCannotCreate(kExitUsage, local, u"Die Datei ist schreibgeschützt."_s);

    RemoteFileSystem &ftp = session.Connected();
    ftp.SetTransferType(ftBinary);
    FileDownload file;
    file.remotePath = remote;
    file.target = local;
    // The size tells whether the file arrived whole.
    file.knownSize = ftp.FileSize(remote);
    auto tellWhatStays = qScopeGuard([&] {
        const QFileInfo kept = PartFile::PartialData(local);
        if (kept.exists() && kept.filePath() != QFileInfo(local).filePath())
            Notice(u"Die empfangenen %1 Byte bleiben in %2; get --continue setzt dort fort."_s.arg(
                QString::number(kept.size()), kept.filePath()));
    });
    const StopQuery never = [] { return false; };
    DownloadOutcome outcome;
    try {
        if (line.continueTransfer) {
            const qint64 partial = PartFile::PartialData(local).size();
            TransferProgress progress(ftp, file.knownSize < 0 ? -1 : file.knownSize - partial);
            outcome = ContinueFile(ftp, file, never, Notice);
            NoticeRefusedRestart(ftp, u"die ganze Datei wurde übertragen."_s);
        } else {
            TransferProgress progress(ftp, file.knownSize);
            outcome = ReceiveFile(ftp, file, never);
        }
    } catch (const EIdLocalFileError &error) {
        throw CliFailure{kExitUsage, error.Message()};
    }
    if (outcome != DownloadOutcome::Completed)
        session.Refused(u"Datei nicht gefunden oder nicht lesbar: %1"_s.arg(remote));
    tellWhatStays.dismiss();
}

// With --continue, the server's copy is asked for its size: that much of
// the file is there already.
void PutFile(CliSession &session, const CommandLine &line)
{
    if (line.recursive)
        return PutTree(session, line);
    const QString local = line.arguments[0];
    QString remote = line.arguments.value(1);
    if (remote.isEmpty() || remote.endsWith(u'/'))
        remote += QFileInfo(local).fileName();
    QFile source(local);
    if (!QFileInfo(local).isFile())
        throw CliFailure{kExitUsage, u"Datei nicht gefunden: %1"_s.arg(local)};
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw CliFailure{kExitUsage,
                         u"Die Datei %1 kann nicht gelesen werden: %2"_s.arg(local, source.errorString())};

    RemoteFileSystem &ftp = session.Connected();
    ftp.SetTransferType(ftBinary);
    const qint64 stored = line.continueTransfer ? ftp.FileSize(remote) : -1;
    const qint64 offset = stored > 0 ? ContinueFrom(local, stored, source.size()) : 0;
    TransferProgress progress(ftp, source.size() - offset);
    if (!ftp.StoreFrom(source, remote, offset))
        session.Refused(u"Hochladen abgelehnt: %1"_s.arg(remote));
    NoticeRefusedRestart(ftp, u"der Rest wurde mit APPE angehängt oder die ganze Datei übertragen."_s);
}

void MakeFolder(CliSession &session, const CommandLine &line)
{
    if (!session.Connected().MakeDir(line.arguments[0]))
        session.Refused(u"Der Ordner kann nicht angelegt werden: %1"_s.arg(line.arguments[0]));
}

void RemoveFolder(CliSession &session, const CommandLine &line)
{
    if (!session.Connected().RemoveDir(line.arguments[0]))
        session.Refused(u"Der Ordner kann nicht gelöscht werden: %1"_s.arg(line.arguments[0]));
}

void RemoveFile(CliSession &session, const CommandLine &line)
{
    if (!session.Connected().RemoveFile(line.arguments[0]))
        session.Refused(u"Die Datei kann nicht gelöscht werden: %1"_s.arg(line.arguments[0]));
}

void Rename(CliSession &session, const CommandLine &line)
{
    if (!session.Connected().Rename(line.arguments[0], line.arguments[1]))
        session.Refused(u"Umbenennen abgelehnt: %1 -> %2"_s.arg(line.arguments[0], line.arguments[1]));
}

void PrintCurrentFolder(CliSession &session, const CommandLine &)
{
    const QString folder = session.Connected().CurrentFolderPath();
    if (folder.isEmpty())
        session.Refused(u"Der Server nennt keinen aktuellen Ordner."_s);
    PrintLine(folder);
}

constexpr CliCommand kCommands[] = {
    {u"ls", u"ls [ORDNER]", u"Einträge: Art, Größe, Datum, Name (durch Tabulatoren getrennt)", 0, 1,
     ListFolder},
    {u"get", u"get [-r] ENTFERNT [LOKAL]", u"Datei (-r: Ordner) herunterladen (LOKAL \"-\": Standardausgabe)",
     1, 2, GetFile},
    {u"put", u"put [-r] LOKAL [ENTFERNT]", u"Datei (-r: Ordner) hochladen", 1, 2, PutFile},
    {u"mkdir", u"mkdir ORDNER", u"Ordner anlegen", 1, 1, MakeFolder},
    {u"rmdir", u"rmdir ORDNER", u"leeren Ordner löschen", 1, 1, RemoveFolder},
    {u"rm", u"rm DATEI", u"Datei löschen", 1, 1, RemoveFile},
    {u"mv", u"mv ALT NEU", u"umbenennen oder verschieben", 2, 2, Rename},
    {u"pwd", u"pwd", u"aktuellen Ordner ausgeben", 0, 0, PrintCurrentFolder},
};

} // namespace

std::span<const CliCommand> Commands()
{
    return kCommands;
}

const CliCommand *FindCommand(QStringView name)
{
    for (const CliCommand &command : kCommands) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}
