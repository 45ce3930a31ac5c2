#include "downloadengine.h"

#include "datetext.h"
#include "endsteps.h"
#include "idexceptions.h"
#include "locallistview.h"
#include "localpane.h"
#include "operationflags.h"
#include "remotebrowser.h"
#include "remotelisting.h"
#include "remotelistmodel.h"
#include "remotelistview.h"
#include "remoteoperationrules.h"
#include "remoterow.h"
#include "statuspanels.h"
#include "tftpqvx.h"
#include "tidftp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void RaiseCannotCreate(const QString &path, const QString &reason)
{
    throw EIdException(u"Die Datei %1 kann nicht angelegt werden: %2"_s.arg(path, reason));
}

} // namespace

DownloadEngine::DownloadEngine(TFTPqvx &window, Tfrageueberschreiben &prompt)
    : TransferEngine(window, prompt)
    , m_walk(window.IdFTP1, window.Features, FolderWalk::Revisits::Allowed)
{
}

void DownloadEngine::DownloadSelection()
{
    if (!ReadyToStart())
        return;
    ForgetToAllAnswers();
    const std::vector<RemotePaneEntry> pane = Browser().Entries();
    QString rowToSelect;
    QList<RemoteRow> work;
    int selected = 0;
    for (std::size_t index = 0; index < pane.size(); ++index) {
        const RemoteRow &row = pane[index].row;
        if (!pane[index].selected)
            continue;
        ++selected;
        rowToSelect = row.IsFolder() ? row.name : QString();
        if (index > 0 && !row.IsParent() &&
            (row.Kind() == RemoteRow::kFolder || row.Kind() == RemoteRow::kFile))
            work.append(row);
    }
    if (selected != 1)
        rowToSelect.clear();
    const QString localFolder = m_window.Local()->List->Folder();

    const bool manyFiles = work.size() > 1 || std::any_of(work.begin(), work.end(), [](const RemoteRow &row) {
                               return row.Kind() != RemoteRow::kFile;
                           });
    BeginOperation();
    RunOperation([&] { RunWithPool(manyFiles, wmRead, [&] { DownloadEntries(work, localFolder); }); },
                 [&] { FinishSelection(rowToSelect); });
}

void DownloadEngine::DownloadCopied(const QList<CopiedRemoteEntry> &entries)
{
    if (entries.isEmpty() || !ReadyToStart())
        return;
    ForgetToAllAnswers();
    // The list may change while the download lets events run.
    const QList<CopiedRemoteEntry> work = entries;
    const QString localFolder = m_window.Local()->List->Folder();
    const QString startFolder = RemoteFolder();
    bool moved = false;
    const auto downloadAll = [&] {
        for (const CopiedRemoteEntry &entry : work) {
            if (Flags().CancelRequested)
                return;
            if (FolderPath(RemoteFolder()) != FolderPath(ParentPath(entry.path))) {
                moved = true;
                if (!ShowFolderOf(entry.path)) {
                    Flags().CancelRequested = true;
                    return;
                }
            }
            const QString name = entry.path.mid(entry.path.lastIndexOf(u'/') + 1);
            if (entry.kind == RemoteRow::kFolder)
                DownloadFolder(name, localFolder);
            else
                DownloadFile(name, localFolder);
            LetEventsRun();
        }
    };
    // The pane returns to the folder the user was in.
    const auto returnToStart = [&] {
        if (moved && Session().IsConnected())
            Session().ChangeDir(startFolder);
    };
    BeginOperation();
    RunOperation([&] { RunWithPool(true, wmRead, downloadAll); },
                 [&] { RunWithEndSteps(returnToStart, [this] { FinishSelection(QString()); }); });
}

bool DownloadEngine::ShowFolderOf(const QString &remotePath)
{
    m_walk.End();
    if (!Session().ChangeDir(ParentPath(remotePath)))
        return false;
    Browser().RefreshRemoteList();
    return true;
}

bool DownloadEngine::FetchCopy(const QString &remotePath, const QString &target)
{
    if (!ReadyToStart())
        return false;
    bool written = false;
    const auto fetch = [&] {
        const qint64 size = Session().FileSize(remotePath);
        Flags().ExpectedSize = std::max<qint64>(size, 0);
        ShowFileName(QFileInfo(target).fileName());
        // The copy gets the time of its arrival: the watch compares later times with it.
        written = WriteTarget(remotePath, target, size, QDateTime(), PartFile::Leftover::Remove);
    };
    const auto finish = [this] {
        Flags().TransferActive = false;
        Flags().OperationBusy = false;
        Browser().UpdateCommandStates();
    };
    BeginOperation();
    RunOperation(fetch, finish);
    return written && !Flags().CancelRequested;
}

void DownloadEngine::FinishSelection(const QString &rowToSelect)
{
    OperationFlags &flags = Flags();
    flags.TransferActive = false;
    flags.OperationBusy = false;
    m_walk.End();
    RunWithEndSteps([&] { Browser().RefreshRemoteList(rowToSelect); },
                    [&] {
                        // Shown after the listing, whose "Fertig" would hide it.
                        if (flags.CancelRequested)
                            m_window.Status()->SetPanelText(2, u"Abgebrochen"_s);
                        QApplication::beep();
                        Browser().UpdateCommandStates();
                        m_window.Local()->List->Reload();
                    });
}

void DownloadEngine::DownloadEntries(const QList<RemoteRow> &entries, const QString &localFolder)
{
    for (const RemoteRow &entry : entries) {
        if (Flags().CancelRequested)
            return;
        if (entry.Kind() == RemoteRow::kFolder)
            DownloadFolder(entry.name, localFolder);
        else if (entry.Kind() == RemoteRow::kLink)
            DownloadLink(entry, localFolder);
        else
            FetchFile(entry.name, localFolder, entry.timestamp, entry.ListedSize());
        LetEventsRun();
    }
}

void DownloadEngine::DownloadFolder(const QString &name, const QString &localParent)
{
    if (!ReadyForStep())
        return;
    if (!IsSafeLocalName(name)) {
        Log(u"Ordner übersprungen, sein Name taugt nicht als lokaler Name: "_s + name);
        return;
    }
    const FolderWalk::Step step = m_walk.Enter(RemotePath(name));
    if (step == FolderWalk::Step::Refused)
        Flags().CancelRequested = true;
    else
        WalkFolder(step, name, localParent);
}

// A link to a folder is walked like a folder, any other link is fetched as
// the file it points to; both are saved under the link's own name.
void DownloadEngine::DownloadLink(const RemoteRow &link, const QString &localFolder)
{
    if (!ReadyForStep())
        return;
    const QString name = ServerName(link);
    if (!IsSafeLocalName(name))
        return;
    const FolderWalk::Step step = m_walk.EnterLink(RemotePath(name), link.LinkTarget());
    // The listed size is the link's own, not its target's.
    if (step == FolderWalk::Step::Refused)
        FetchFile(name, localFolder, QDateTime(), -1);
    else
        WalkFolder(step, name, localFolder);
}

QString DownloadEngine::RemotePath(const QString &name) const
{
    return WithTrailingSlash(RemoteFolder()) + name;
}

void DownloadEngine::WalkFolder(FolderWalk::Step step, const QString &name, const QString &localParent)
{
    if (step == FolderWalk::Step::Skipped) {
        Log(u"Ordner übersprungen, er führt aus dem Ordner hinaus, der geladen wird: "_s + RemotePath(name));
        return;
    }
    RemoteBrowser::ShownFolder above = Browser().Shown();
    // The walk asked PWD on the way in.
    Browser().ListEnteredFolder(m_walk.CurrentPath());
    const auto walk = [&] {
        const QString localFolder = WithTrailingSeparator(localParent) + name;
        if (!QDir().mkpath(localFolder)) {
            Flags().CancelRequested = true;
            return;
        }
        // The pane lists again in every folder below; the rows of this one
        // are taken now.
        const RemoteListModel &rows = *Browser().List()->Rows();
        QList<RemoteRow> entries;
        entries.reserve(rows.Count());
        for (int index = 0; index < rows.Count(); ++index) {
            if (!rows.Row(index).IsParent())
                entries.append(rows.Row(index));
        }
        DownloadEntries(entries, localFolder);
    };
    const auto leave = [&] {
        // After a cancel the session stays where the walk stopped.
        if (Flags().CancelRequested) {
            m_walk.StopHere();
            return;
        }
        m_walk.ReturnToParent();
        // A download leaves the folder above as it was listed.
        Browser().ShowAgain(std::move(above));
    };
    RunWithEndSteps(walk, leave);
}

void DownloadEngine::DownloadFile(const QString &name, const QString &localFolder)
{
    QDateTime remoteTime;
    RemoteRow listed;
    FindRemoteRow(name, &remoteTime, &listed.sizeText);
    FetchFile(name, localFolder, remoteTime, listed.ListedSize());
}

void DownloadEngine::FetchFile(const QString &name, const QString &localFolder, const QDateTime &remoteTime,
                               qint64 listedSize)
{
    if (!ReadyForStep())
        return;
    if (!IsSafeLocalName(name)) {
        Log(u"Datei übersprungen, ihr Name taugt nicht als lokaler Name: "_s + name);
        return;
    }
    // A size the listing gave saves a SIZE round trip per file.
    const qint64 size = listedSize >= 0 ? listedSize : Session().FileSize(name);
    Flags().ExpectedSize = std::max<qint64>(size, 0);
    ShowFileName(name);
    const QString target = WithTrailingSeparator(localFolder) + name;
    const QFileInfo existing(target);
    const QFileInfo partial = PartFile::PartialData(target);
    const bool resumable = partial.exists() && partial.size() > 0 && partial.size() < size;
    // Where "Fortsetzen" is offered, the question shows what it continues.
    const QFileInfo shown = resumable ? partial : existing;
    const auto question = [&] {
        return OverwriteQuestion{resumable ? partial.filePath() : target,
                                 FormatDateText(shown.lastModified()),
                                 SizeText(shown.size()),
                                 name,
                                 FormatDateText(remoteTime),
                                 SizeText(Flags().ExpectedSize),
                                 resumable};
    };
    switch (Decide({existing.exists(), remoteTime, existing.lastModified(), resumable}, question)) {
    case TransferChoice::Replace:
        if (!Queue({PooledTransfer::Direction::Download, RemotePath(name), target, size, remoteTime}))
            WriteTarget(name, target, size, remoteTime);
        break;
    // Continuing stays on the window's session: the pool's connections
    // only ever start a file anew.
    case TransferChoice::Continue:
        ContinueTarget(name, target, remoteTime);
        break;
    case TransferChoice::Skip:
        break;
    }
    Browser().UpdateCommandStates();
}

// Only a size of exactly 0 makes an empty file without a data connection:
// a refused SIZE must not decide what the user gets. The target is replaced
// only by a complete file; anything less leaves it as it was, and what
// arrived stays beside it for "Fortsetzen".
bool DownloadEngine::WriteTarget(const QString &name, const QString &target, qint64 size,
                                 const QDateTime &remoteTime, PartFile::Leftover leftover)
{
    PartFile part(target, leftover);
    if (!part.Open())
        RaiseCannotCreate(target, part.ErrorString());
    // Sent only when a listing switched to ASCII since.
    Session().SetTransferType(ftBinary);
    // An aborted or refused transfer answers false with the session in step.
    if (size != 0 && !Session().Retrieve(name, part.Device())) {
        Flags().CancelRequested = true;
        return false;
    }
    return CompleteTarget(part, target, size, remoteTime);
}

// Fetches what the partial data lacks. The server's file is asked for its
// size again: it may have changed while the question was open.
void DownloadEngine::ContinueTarget(const QString &name, const QString &target, const QDateTime &remoteTime)
{
    PartFile part(target, PartFile::Leftover::Keep);
    if (!part.OpenToContinue())
        RaiseCannotCreate(target, part.ErrorString());
    const qint64 size = Session().FileSize(name);
    const qint64 offset = ContinueFrom(name, part.Device().size(), size);
    Flags().ExpectedSize = std::max<qint64>(size - offset, 0);
    if (!Session().RetrieveFrom(name, part.Device(), offset)) {
        Flags().CancelRequested = true;
        return;
    }
    CompleteTarget(part, target, size, remoteTime);
}

bool DownloadEngine::CompleteTarget(PartFile &part, const QString &target, qint64 size,
                                    const QDateTime &remoteTime)
{
    // After the abort button the server may still confirm a transfer it
    // cut short; only the size tells.
    const bool stopped = Flags().CancelRequested;
    const qint64 received = part.Device().size();
    if (stopped && received != size)
        return false;
    // So may a server whose data connection broke off.
    if (size > 0 && received != size) {
        Flags().CancelRequested = true;
        throw EIdIncompleteFile(target, received, size);
    }
    // A file completed after the user asked to stop keeps the time the
    // file system gave it.
    if (!part.Commit(stopped ? QDateTime() : remoteTime))
        RaiseCannotCreate(target, part.ErrorString());
    return true;
}
