#include "downloadengine.h"

#include "datetext.h"
#include "endsteps.h"
#include "idexceptions.h"
#include "locallistview.h"
#include "localpane.h"
#include "mainsession.h"
#include "operationflags.h"
#include "remotelisting.h"
#include "remotelistmodel.h"
#include "remotelistview.h"
#include "remoteoperationrules.h"
#include "statuspanels.h"
#include "tidftp.h"
#include "windowparts.h"

#include <QApplication>
#include <QFileInfo>
#include <QScopeGuard>

#include <optional>

using namespace Qt::StringLiterals;

DownloadEngine::DownloadEngine(WindowParts &parts, Tfrageueberschreiben &prompt)
    : TransferEngine(parts, prompt)
{
}

WalkEntry WalkEntryOf(const RemoteRow &row)
{
    WalkEntry entry;
    entry.kind = row.Kind() == RemoteRow::kFolder ? WalkEntry::Kind::Folder
                 : row.Kind() == RemoteRow::kLink ? WalkEntry::Kind::Link
                                                  : WalkEntry::Kind::File;
    entry.name = ServerName(row);
    entry.size = row.ListedSize();
    entry.time = row.timestamp;
    if (entry.kind == WalkEntry::Kind::Link)
        entry.linkTarget = row.LinkTarget();
    return entry;
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
    const QString localFolder = m_parts.local->List->Folder();

    const bool manyFiles = work.size() > 1 || std::any_of(work.begin(), work.end(), [](const RemoteRow &row) {
                               return row.Kind() != RemoteRow::kFile;
                           });
    BeginOperation();
    RunOperation([&] { RunDownload(manyFiles, [&] { DownloadEntries(work, localFolder); }); },
                 [&] { FinishSelection(rowToSelect); });
}

void DownloadEngine::DownloadCopied(const QList<CopiedRemoteEntry> &entries)
{
    if (entries.isEmpty() || !ReadyToStart())
        return;
    ForgetToAllAnswers();
    // The list may change while the download lets events run.
    const QList<CopiedRemoteEntry> work = entries;
    const QString localFolder = m_parts.local->List->Folder();
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
    RunOperation([&] { RunDownload(true, downloadAll); },
                 [&] { RunWithEndSteps(returnToStart, [this] { FinishSelection(QString()); }); });
}

bool DownloadEngine::ShowFolderOf(const QString &remotePath)
{
    Walk().EndWalk();
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
        FileStarting(QFileInfo(target).fileName(), size);
        // The copy gets the time of its arrival: the watch compares later
        // times with it. Nothing of a cut copy stays behind.
        FileDownload copy;
        copy.remotePath = remotePath;
        copy.target = target;
        copy.knownSize = size;
        copy.leftover = PartFile::Leftover::Remove;
        const DownloadOutcome outcome =
            ReceiveFile(Session(), copy, [this] { return Flags().CancelRequested; });
        if (outcome == DownloadOutcome::Refused)
            Flags().CancelRequested = true;
        written = outcome == DownloadOutcome::Completed;
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

void DownloadEngine::RunDownload(bool manyFiles, const std::function<void()> &walk)
{
    m_above.clear();
    Walk().UsePool(CreatePool(manyFiles));
    // However the walk ends, the pool's connections stop with it.
    const auto endPool = qScopeGuard([this] {
        Walk().DropPool();
        EndPoolProgress(wmRead);
    });
    walk();
    Walk().Finish();
}

void DownloadEngine::FinishSelection(const QString &rowToSelect)
{
    OperationFlags &flags = Flags();
    flags.TransferActive = false;
    flags.OperationBusy = false;
    Walk().EndWalk();
    RunWithEndSteps([&] { Browser().RefreshRemoteList(rowToSelect); },
                    [&] {
                        // Shown after the listing, whose "Fertig" would hide it.
                        if (flags.CancelRequested)
                            m_parts.status->SetPanelText(2, u"Abgebrochen"_s);
                        QApplication::beep();
                        Browser().UpdateCommandStates();
                        m_parts.local->List->Reload();
                    });
}

void DownloadEngine::DownloadEntries(const QList<RemoteRow> &entries, const QString &localFolder)
{
    const QSet<QString> siblings = PaneNames();
    for (qsizetype index = 0; index < entries.size(); ++index) {
        if (Flags().CancelRequested)
            return;
        const WalkEntry entry = WalkEntryOf(entries.at(index));
        if (entry.kind == WalkEntry::Kind::Folder) {
            DownloadFolder(entry.name, localFolder);
        } else if (entry.kind == WalkEntry::Kind::Link) {
            Walk().DownloadLink(RemoteFolder(), entry, localFolder);
        } else if (ReadyForStep()) {
            const std::optional<WalkEntry> following =
                index + 1 < entries.size() ? std::optional(WalkEntryOf(entries.at(index + 1))) : std::nullopt;
            Walk().DownloadFile(RemoteFolder(), entry, localFolder, siblings,
                                following ? &*following : nullptr);
        }
        LetEventsRun();
    }
}

void DownloadEngine::DownloadFolder(const QString &name, const QString &localParent)
{
    if (ReadyForStep())
        Walk().DownloadFolder(RemoteFolder(), name, localParent);
}

void DownloadEngine::DownloadFile(const QString &name, const QString &localFolder)
{
    if (!ReadyForStep())
        return;
    WalkEntry entry;
    entry.name = name;
    RemoteRow listed;
    FindRemoteRow(name, &entry.time, &listed.sizeText);
    entry.size = listed.ListedSize();
    Walk().DownloadFile(RemoteFolder(), entry, localFolder, PaneNames());
}

QSet<QString> DownloadEngine::PaneNames() const
{
    const RemoteListModel &rows = *Browser().List()->Rows();
    QSet<QString> names;
    for (int index = 0; index < rows.Count(); ++index) {
        if (!rows.Row(index).IsParent())
            names.insert(ServerName(rows.Row(index)));
    }
    return names;
}

QList<WalkEntry> DownloadEngine::ListEnteredFolder(const QString &path)
{
    m_above.append(Browser().Shown());
    // The walk asked PWD on the way in.
    Browser().ListEnteredFolder(path);
    // The listing's "Fertig" is not the operation's: the pool's files move
    // until the operation's end.
    if (Walk().HasPool())
        m_parts.status->SetPanelText(2, kFilesMoving);
    const RemoteListModel &rows = *Browser().List()->Rows();
    QList<WalkEntry> entries;
    entries.reserve(rows.Count());
    for (int index = 0; index < rows.Count(); ++index) {
        if (!rows.Row(index).IsParent())
            entries.append(WalkEntryOf(rows.Row(index)));
    }
    return entries;
}

// A download leaves the folder above as it was listed.
void DownloadEngine::ReturnedToParent()
{
    if (!m_above.isEmpty())
        Browser().ShowAgain(m_above.takeLast());
}

TransferChoice DownloadEngine::Decide(const DownloadCandidate &file)
{
    // Where "Fortsetzen" is offered, the question shows what it continues.
    const QFileInfo &shown = file.resumable ? file.partial : file.existing;
    const auto question = [&] {
        return OverwriteQuestion{file.resumable ? file.partial.filePath() : file.target,
                                 FormatDateText(shown.lastModified()),
                                 SizeText(shown.size()),
                                 file.entry.name,
                                 FormatDateText(file.entry.time),
                                 SizeText(std::max<qint64>(file.size, 0)),
                                 file.resumable};
    };
    const TransferChoice choice = TransferEngine::Decide(
        {file.existing.exists(), file.entry.time, file.existing.lastModified(), file.resumable}, question);
    Browser().UpdateCommandStates();
    return choice;
}

bool DownloadEngine::MayContinue()
{
    return Session().IsConnected() && !Flags().CancelRequested;
}

bool DownloadEngine::AbortWanted()
{
    return Flags().AbortRequested;
}

void DownloadEngine::Refused(const QString &message)
{
    StopForRefusal(message);
}

void DownloadEngine::FileStarting(const QString &name, qint64 size)
{
    Flags().ExpectedSize = std::max<qint64>(size, 0);
    ShowFileName(name);
}

void DownloadEngine::WhileWaiting(const TransferPool &pool)
{
    ShowPoolProgress(pool, wmRead);
}

FolderDownload &DownloadEngine::Walk()
{
    DownloadHost &host = *this;
    return WalkOnSession(m_download, m_parts.session->Features, host);
}
