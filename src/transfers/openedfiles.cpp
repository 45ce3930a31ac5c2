#include "openedfiles.h"

#include "datafolders.h"
#include "downloadengine.h"
#include "mainsession.h"
#include "remotelisting.h"
#include "sessioncontrol.h"
#include "statuspanels.h"
#include "twaitdlg1.h"
#include "uploadengine.h"
#include "windowparts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// How often the copies' modification times are read.
constexpr int kWatchMs = 500;

// Beside the work folder, whose files the program end deletes.
constexpr QStringView kKeptCopiesRecord = u"kept_copies";

} // namespace

OpenedFiles::OpenedFiles(WindowParts &parts, DownloadEngine &downloads, UploadEngine &uploads)
    : m_parts(parts)
    , m_session(*parts.session)
    , m_downloads(downloads)
    , m_uploads(uploads)
{
    setObjectName(u"OpenedFiles"_s);
    m_watch.setInterval(kWatchMs);
    connect(&m_watch, &QTimer::timeout, this, &OpenedFiles::LookAtCopies);
    connect(parts.control, &SessionControl::sessionConnected, this, [this] { m_copies.ServerConnected(); });
    // The window may ask after this object is gone, while it is being destroyed.
    parts.unsavedCopies = [self = QPointer<OpenedFiles>(this)] {
        return self ? self->KeepUnsavedCopies() : QStringList();
    };
    WatchKeptCopies();
}

QString OpenedFiles::KeptCopiesRecord() const
{
    return m_parts.folders->RootFolder() + kKeptCopiesRecord.toString();
}

// Copies kept by earlier runs are watched as if opened in this one, so their
// change is offered again and the program end keeps them again.
void OpenedFiles::WatchKeptCopies()
{
    const QString workFolder = QDir(m_parts.folders->WorkFolder()).absolutePath();
    for (const OpenedCopies::Copy &kept : KeptCopies::Read(KeptCopiesRecord())) {
        const QFileInfo file(kept.localPath);
        if (file.absolutePath() == workFolder && file.isFile())
            m_copies.WatchKept(kept);
    }
    if (!m_copies.IsEmpty())
        m_watch.start();
}

// The program ends: the copies whose change is not on the server stay in the
// work folder, and the record lets the next run watch them again.
QStringList OpenedFiles::KeepUnsavedCopies() const
{
    const QList<OpenedCopies::Copy> unsaved = m_copies.CopiesWithUnsavedChange();
    if (!KeptCopies::Write(KeptCopiesRecord(), unsaved))
        m_session.ReportError(
            u"Die Liste der behaltenen Dateien konnte nicht in \"%1\" gespeichert werden."_s.arg(
                KeptCopiesRecord()));
    QStringList paths;
    for (const OpenedCopies::Copy &copy : unsaved)
        paths.append(copy.localPath);
    return paths;
}

OpenedFiles::~OpenedFiles() = default;

void OpenedFiles::Open(const QString &remotePath, const QString &localName)
{
    if (!IsSafeLocalName(localName)) {
        ShowNote(u"Nicht geöffnet, der Name taugt nicht als lokaler Name: "_s + localName);
        return;
    }
    const QString localPath = m_parts.folders->WorkFolder() + localName;
    if (m_copies.HasUnsavedChange(localPath)) {
        // Fetching the file again would overwrite the edit.
        ShowNote(u"Nicht neu geladen: \"%1\" enthält eine Änderung, die noch nicht auf dem Server "
                 u"gespeichert ist."_s.arg(localPath));
        m_copies.OfferAgain(localPath);
        OfferNext();
        return;
    }
    // The copy is replaced: until it is complete, its changing time is no edit.
    m_copies.Forget(localPath);
    if (m_downloads.FetchCopy(remotePath, localPath))
        Launch(localPath, remotePath);
}

void OpenedFiles::Launch(const QString &localPath, const QString &remotePath)
{
    const std::optional<ServerIdentity> server = ConnectedServer();
    if (!server)
        return;
    // Watched from before the program starts, which may save at once.
    m_copies.Watch(localPath, remotePath, *server);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(localPath))) {
        m_copies.Forget(localPath);
        ShowNote(u"Die Datei \"%1\" kann nicht geöffnet werden."_s.arg(localPath));
        return;
    }
    m_watch.start();
}

void OpenedFiles::LookAtCopies()
{
    m_copies.Look();
    OfferNext();
}

void OpenedFiles::OfferNext()
{
    if (m_question)
        return;
    const std::optional<ServerIdentity> server = ConnectedServer();
    const OpenedCopies::Copy *copy = server ? m_copies.NextToOffer(*server) : nullptr;
    if (!copy)
        return;
    const QString localPath = copy->localPath;
    m_copies.Asked(localPath);
    // Shown without a loop of its own: a transfer under way goes on while
    // the question waits for its answer.
    m_question = new QMessageBox(QMessageBox::Question, u"Geänderte Datei speichern"_s,
                                 u"Die Datei \"%1\" ist geändert worden. Speichern?"_s.arg(localPath),
                                 QMessageBox::Yes | QMessageBox::No, m_parts.window);
    m_question->setObjectName(u"SaveBackQuestion"_s);
    m_question->setAttribute(Qt::WA_DeleteOnClose);
    // Queued: the save-back pumps events while it waits on the server, and
    // the box must not be deleted by them while its own click is running.
    connect(
        m_question, &QMessageBox::finished, this,
        [this, localPath](int answer) { Answer(localPath, answer != QMessageBox::No); },
        Qt::QueuedConnection);
    m_question->open();
}

void OpenedFiles::Answer(const QString &localPath, bool save)
{
    const OpenedCopies::Copy *copy = m_copies.Find(localPath);
    if (!copy)
        return;
    if (!save)
        m_copies.Declined(localPath);
    else if (!ConnectedTo(copy->server))
        m_copies.NotSaved(localPath); // offered again when its server is connected
    else if (m_session.SessionIdle())
        SaveBack(localPath);
    else
        OpenWaitWindow(localPath);
    // The next question waits until the pumped waits of this one are over.
    QMetaObject::invokeMethod(this, &OpenedFiles::OfferNext, Qt::QueuedConnection);
}

void OpenedFiles::OpenWaitWindow(const QString &localPath)
{
    m_copies.Saving(localPath);
    auto *wait = new TWaitDlg1(m_parts.window, localPath);
    connect(wait, &TWaitDlg1::tick, this, [this, wait] { WaitTick(wait); });
    // "Abbrechen", the window frame, or a server that is gone: the change stays.
    connect(wait, &QObject::destroyed, this, [this, localPath] {
        const OpenedCopies::Copy *copy = m_copies.Find(localPath);
        if (copy && copy->state == OpenedCopies::State::Saving)
            m_copies.NotSaved(localPath);
    });
    wait->show();
}

void OpenedFiles::WaitTick(TWaitDlg1 *wait)
{
    const OpenedCopies::Copy *copy = m_copies.Find(wait->LocalPath());
    if (!copy || !ConnectedTo(copy->server)) {
        wait->close();
        return;
    }
    if (!m_session.SessionIdle())
        return;
    const QPointer<TWaitDlg1> guard(wait);
    wait->ShowSaving();
    SaveBack(copy->localPath);
    if (guard)
        guard->close();
}

void OpenedFiles::SaveBack(const QString &localPath)
{
    const OpenedCopies::Copy *copy = m_copies.Find(localPath);
    if (!copy)
        return;
    const QString remotePath = copy->remotePath;
    m_copies.Saving(localPath);
    const QDateTime content = ModificationTime(localPath);
    if (m_uploads.StoreCopy(localPath, remotePath)) {
        m_copies.Saved(localPath, content);
        return;
    }
    m_copies.NotSaved(localPath);
    ShowNote(u"Die Datei \"%1\" ist nicht auf dem Server gespeichert worden (%2); die Änderung bleibt "
             u"erhalten."_s.arg(localPath, remotePath));
}

std::optional<ServerIdentity> OpenedFiles::ConnectedServer() const
{
    const RemoteFileSystem &session = m_session.Remote();
    if (!session.IsConnected())
        return std::nullopt;
    return session.Server();
}

bool OpenedFiles::ConnectedTo(const ServerIdentity &server) const
{
    return ConnectedServer() == server;
}

void OpenedFiles::ShowNote(const QString &text)
{
    m_session.ReportError(text);
}
