#include "remotedeletion.h"

#include "applicationsettings.h"
#include "endsteps.h"
#include "listingparser.h"
#include "mainsession.h"
#include "remotebrowser.h"
#include "remotelisting.h"
#include "remotelistview.h"
#include "sessioncontrol.h"
#include "windowparts.h"

#include <QApplication>

#include <algorithm>

using namespace Qt::StringLiterals;

RemoteDeletion::RemoteDeletion(WindowParts &parts, AskUser askUser)
    : m_parts(parts)
    , m_session(*parts.session)
    , m_askUser(std::move(askUser))
{
}

bool RemoteDeletion::MayStart() const
{
    if (!m_session.SessionIdle())
        return false;
    const qsizetype entries = TakeDeleteList().size();
    return m_parts.settings->All_Delete ? entries > 0 : entries == 1;
}

bool RemoteDeletion::MayGoOn() const
{
    const OperationFlags &flags = m_session.Flags;
    return m_session.Remote().IsConnected() && !flags.TransferActive && !flags.CancelRequested;
}

QList<RemoteDeletion::Target> RemoteDeletion::TakeDeleteList() const
{
    const RemoteListView *list = m_parts.browser->List();
    QList<Target> targets;
    for (int row : list->SelectedRows()) {
        const RemoteRow &entry = list->Row(row);
        if (!entry.IsParent())
            targets.append({entry.Kind(), ServerName(entry)});
    }
    return targets;
}

void RemoteDeletion::DeleteSelection()
{
    if (!MayStart())
        return;
    OperationFlags &flags = m_session.Flags;
    RemoteBrowser *browser = m_parts.browser;
    flags.YesToAll = false;
    flags.CancelRequested = false;
    m_refusal.clear();
    flags.OperationBusy = true;
    browser->UpdateCommandStates();
    m_walk.emplace(m_session.Remote(), m_session.Features, FolderWalk::Revisits::Never);
    const QList<Target> selected = TakeDeleteList();
    const auto deleteAll = [&] {
        const bool mlsd = m_session.Remote().ListsWithFacts(m_session.Features);
        for (const Target &target : WithLinksTold(selected, mlsd)) {
            if (target.kind == RemoteRow::kFolder)
                DeleteRemoteFolder(target.name);
            else
                DeleteRemoteFile(target.name);
            if (flags.CancelRequested)
                break;
        }
    };
    const auto endSteps = [&] {
        m_walk->End();
        flags.OperationBusy = false;
        flags.TransferActive = false;
        RunWithEndSteps([browser] { browser->RefreshRemoteList(); },
                        [&] {
                            if (!m_refusal.isEmpty())
                                m_session.ReportError(m_refusal);
                            QApplication::beep();
                            browser->UpdateCommandStates();
                        });
    };
    // The error goes to the status bar after the end steps, whose listing
    // would otherwise cover it with "Fertig".
    m_session.RunCommand([&] { RunWithEndSteps(deleteAll, endSteps); });
}

void RemoteDeletion::DeleteRemoteFile(const QString &name)
{
    if (!MayGoOn())
        return;
    const QString path = PathOf(name);
    const bool confirm = m_parts.settings->Delete_Confirm;
    if (!DecideDelete(confirm, m_session.Flags, [&] { return m_askUser(path, u"Datei"_s); }))
        return;
    // What is deleted stays deleted; the rest of the operation is dropped.
    if (!m_session.Remote().RemoveFile(path)) {
        m_session.Flags.CancelRequested = true;
        m_refusal = u"%1 wurde nicht gelöscht: %2"_s.arg(path, m_session.Remote().LastReplyLine());
    }
}

void RemoteDeletion::DeleteRemoteFolder(const QString &name)
{
    if (!MayGoOn())
        return;
    // A folder that cannot be entered is left as it is.
    const QString path = PathOf(name);
    const FolderWalk::Step step = m_walk->Enter(path);
    if (step == FolderWalk::Step::Skipped)
        Log(u"Ordner nicht gelöscht, er führt aus dem Ordner hinaus, der gelöscht wird: "_s + path);
    if (step != FolderWalk::Step::Entered)
        return;
    RunWithEndSteps([this] { EmptyCurrentFolder(); }, [this, &name] { LeaveFolder(name); });
}

void RemoteDeletion::EmptyCurrentFolder()
{
    RemoteFileSystem &session = m_session.Remote();
    m_parts.browser->RefreshRemoteList();
    const RemoteListing listing = ListRemoteFolder(session, m_session.Features);
    QList<Target> entries;
    for (const QString &line : listing.lines) {
        if (!MayNameEntry(line))
            continue;
        const RemoteEntry entry = ParseListingLine(line, session.ListingTimeCorrection(), listing.mlsd);
        if (NamesFolderEntry(entry))
            entries.append({KindLetter(entry.kind), entry.name});
    }
    for (const Target &entry : WithLinksTold(entries, listing.mlsd)) {
        if (m_session.Flags.CancelRequested)
            break;
        // Links stay, and with them the folder that holds them.
        if (entry.kind == RemoteRow::kFile)
            DeleteRemoteFile(entry.name);
        else if (entry.kind == RemoteRow::kFolder)
            DeleteRemoteFolder(entry.name);
    }
}

QList<RemoteDeletion::Target> RemoteDeletion::WithLinksTold(const QList<Target> &entries, bool listedWithMlsd)
{
    const auto isFolder = [](const Target &entry) { return entry.kind == RemoteRow::kFolder; };
    if (!listedWithMlsd || std::none_of(entries.begin(), entries.end(), isFolder))
        return entries;
    const QHash<QString, QChar> listForm = KindsInListForm();
    QList<Target> told;
    for (Target entry : entries) {
        if (isFolder(entry)) {
            const QChar shown = listForm.value(entry.name);
            if (shown == RemoteRow::kLink) {
                entry.kind = shown;
            } else if (shown != RemoteRow::kFolder) {
                Log(u"Ordner nicht gelöscht, er ist nicht sicher ein Ordner: "_s + PathOf(entry.name));
                continue;
            }
        }
        told.append(entry);
    }
    return told;
}

QHash<QString, QChar> RemoteDeletion::KindsInListForm()
{
    RemoteFileSystem &session = m_session.Remote();
    QStringList lines;
    session.SetTransferType(ftASCII);
    session.List(lines);
    QHash<QString, QChar> kinds;
    for (const QString &line : std::as_const(lines)) {
        if (!MayNameEntry(line))
            continue;
        const RemoteEntry entry = ParseListingLine(line, session.ListingTimeCorrection(), false);
        if (!NamesFolderEntry(entry))
            continue;
        const QChar kind = KindLetter(entry.kind);
        kinds.insert(ServerName(entry.name, kind == RemoteRow::kLink), kind);
    }
    return kinds;
}

void RemoteDeletion::LeaveFolder(const QString &name)
{
    m_walk->ReturnToParent();
    // A folder that still holds a kept file refuses RMD; it simply stays.
    if (!m_session.Flags.CancelRequested)
        m_session.Remote().RemoveDir(PathOf(name));
    m_parts.browser->RefreshRemoteList();
}

QString RemoteDeletion::PathOf(const QString &name)
{
    return WithTrailingSlash(m_session.Remote().CurrentFolderPath()) + name;
}

void RemoteDeletion::Log(const QString &line)
{
    m_parts.control->AddLogLine(line);
}
