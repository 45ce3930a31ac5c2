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
#include "remoterow.h"
#include "statuspanels.h"
#include "tftpqvx.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// The name of a link row: the caption up to " -> ".
QString LinkName(const QString &caption)
{
    const qsizetype arrow = caption.indexOf(u" -> "_s);
    return arrow < 0 ? caption : caption.left(arrow);
}

// Replacing a read-only file needs the owner's write permission.
void MakeWritable(const QString &path)
{
    const QFileInfo file(path);
    if (file.exists() && !file.permissions().testFlag(QFileDevice::WriteOwner))
        QFile::setPermissions(path, file.permissions() | QFileDevice::WriteOwner);
}

[[noreturn]] void RaiseCannotCreate(const QString &path, const QString &reason)
{
    throw EIdException(u"Die Datei %1 kann nicht angelegt werden: %2"_s.arg(path, reason));
}

} // namespace

DownloadEngine::DownloadEngine(TFTPqvx &window, Tfrageueberschreiben &prompt)
    : TransferEngine(window, prompt)
{
}

void DownloadEngine::DownloadSelection()
{
    if (!ReadyToStart())
        return;
    ForgetToAllAnswers();
    const std::vector<RemotePaneEntry> pane = Browser().Entries();
    QString rowToSelect;
    QList<Entry> work;
    int selected = 0;
    for (std::size_t index = 0; index < pane.size(); ++index) {
        const RemoteRow &row = pane[index].row;
        if (!pane[index].selected)
            continue;
        ++selected;
        rowToSelect = row.IsFolder() ? row.name : QString();
        if (index > 0 && !row.IsParent() &&
            (row.Kind() == RemoteRow::kFolder || row.Kind() == RemoteRow::kFile))
            work.append({row.Kind(), row.name, row.timestamp});
    }
    if (selected != 1)
        rowToSelect.clear();
    const QString localFolder = m_window.Local()->List->Folder();

    BeginOperation();
    m_walk = {PaneContent()};
    RunOperation([&] { DownloadEntries(work, localFolder); }, [&] { FinishSelection(rowToSelect); });
}

void DownloadEngine::FinishSelection(const QString &rowToSelect)
{
    OperationFlags &flags = Flags();
    flags.TransferActive = false;
    flags.OperationBusy = false;
    m_walk.clear();
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

void DownloadEngine::DownloadEntries(const QList<Entry> &entries, const QString &localFolder)
{
    for (const Entry &entry : entries) {
        if (Flags().CancelRequested)
            return;
        if (entry.kind == RemoteRow::kFolder)
            DownloadFolder(entry.caption, localFolder);
        else if (entry.kind == RemoteRow::kLink)
            DownloadLink(entry, localFolder);
        else
            FetchFile(entry.caption, localFolder, entry.timestamp);
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
    if (!EnterFolder(name)) {
        Flags().CancelRequested = true;
        return;
    }
    WalkEnteredFolder(name, localParent, QString());
}

// A link to a folder is walked like a folder, any other link is fetched as
// the file it points to; both are saved under the link's own name.
void DownloadEngine::DownloadLink(const Entry &link, const QString &localFolder)
{
    if (!ReadyForStep())
        return;
    const QString name = LinkName(link.caption);
    if (!IsSafeLocalName(name))
        return;
    const QString cameFrom = RemoteFolder();
    if (EnterFolder(name))
        WalkEnteredFolder(name, localFolder, cameFrom);
    else
        FetchFile(name, localFolder, QDateTime());
}

// Everything the pane shows of the folder's entries. A folder whose content
// looks exactly like that of a folder above it on the walk is that folder
// again, reached through a link (servers that list with MLSD show links to
// folders as plain folders): walking into it would never end.
QString DownloadEngine::PaneContent() const
{
    const RemoteListModel &rows = *Browser().List()->Rows();
    QString content;
    for (int index = 0; index < rows.Count(); ++index) {
        const RemoteRow &row = rows.Row(index);
        if (!row.IsParent())
            content += row.info + u'\t' + row.name + u'\t' + row.sizeText + u'\t' + row.dateText + u'\n';
    }
    return content;
}

bool DownloadEngine::EnterFolder(const QString &name)
{
    return Session().ChangeDir(WithTrailingSlash(RemoteFolder()) + name);
}

void DownloadEngine::WalkEnteredFolder(const QString &name, const QString &localParent,
                                       const QString &returnPath)
{
    Browser().RefreshRemoteList();
    const QString content = PaneContent();
    const bool seenBefore = m_walk.contains(content);
    m_walk.append(content);
    const auto walk = [&] {
        if (seenBefore) {
            Log(u"Ordner übersprungen, er führt zurück in einen Ordner, der schon geladen wird: "_s + name);
            return;
        }
        const QString localFolder = WithTrailingSeparator(localParent) + name;
        if (!QDir().mkpath(localFolder)) {
            Flags().CancelRequested = true;
            return;
        }
        const RemoteListModel &rows = *Browser().List()->Rows();
        QList<Entry> entries;
        entries.reserve(rows.Count());
        for (int index = 0; index < rows.Count(); ++index) {
            const RemoteRow &row = rows.Row(index);
            if (!row.IsParent())
                entries.append({row.Kind(), row.name, row.timestamp});
        }
        DownloadEntries(entries, localFolder);
    };
    const auto leave = [&] {
        m_walk.removeLast();
        // After a cancel the session stays where the walk stopped.
        if (Flags().CancelRequested)
            return;
        // CDUP from a folder entered through a link may lead to the parent
        // of the link's target instead.
        if (!returnPath.isEmpty())
            Session().ChangeDir(returnPath);
        else
            Session().ChangeDirUp();
        Browser().RefreshRemoteList();
    };
    RunWithEndSteps(walk, leave);
}

void DownloadEngine::DownloadFile(const QString &name, const QString &localFolder)
{
    QDateTime remoteTime;
    FindRemoteRow(name, &remoteTime);
    FetchFile(name, localFolder, remoteTime);
}

void DownloadEngine::FetchFile(const QString &name, const QString &localFolder, const QDateTime &remoteTime)
{
    if (!ReadyForStep())
        return;
    if (!IsSafeLocalName(name)) {
        Log(u"Datei übersprungen, ihr Name taugt nicht als lokaler Name: "_s + name);
        return;
    }
    const qint64 size = Session().FileSize(name);
    Flags().ExpectedSize = std::max<qint64>(size, 0);
    ShowFileName(name);
    const QString target = WithTrailingSeparator(localFolder) + name;
    const QFileInfo existing(target);
    const auto question = [&] {
        return OverwriteQuestion{target,
                                 FormatDateText(existing.lastModified()),
                                 SizeText(existing.size()),
                                 name,
                                 FormatDateText(remoteTime),
                                 SizeText(Flags().ExpectedSize)};
    };
    if (ShouldTransfer({existing.exists(), remoteTime, existing.lastModified()}, question))
        WriteTarget(name, target, size, remoteTime);
    Browser().UpdateCommandStates();
}

// Only a size of exactly 0 makes an empty file without a data connection:
// a refused SIZE must not decide what the user gets.
void DownloadEngine::WriteTarget(const QString &name, const QString &target, qint64 size,
                                 const QDateTime &remoteTime)
{
    MakeWritable(target);
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        RaiseCannotCreate(target, file.errorString());
    if (size != 0 && !RunTransfer([&] { return Session().Retrieve(name, file); }))
        Flags().CancelRequested = true;
    // A file cut short keeps the time the file system gave it.
    if (!Flags().CancelRequested && remoteTime.isValid())
        file.setFileTime(remoteTime, QFileDevice::FileModificationTime);
}
