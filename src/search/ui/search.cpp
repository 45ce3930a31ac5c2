#include "search.h"

#include "applicationsettings.h"
#include "datafolders.h"
#include "hitsaving.h"
#include "idexceptions.h"
#include "mainsession.h"
#include "maintoolbar.h"
#include "passwordmask.h"
#include "searchcriteria.h"
#include "searchrun.h"
#include "sessioncontrol.h"
#include "symbols.h"
#include "tasrewrdlg.h"
#include "tidantifreeze.h"
#include "transfers.h"
#include "tssavedlg.h"
#include "tsuchergdlg.h"
#include "tsuchwahldlg.h"
#include "windowparts.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QScopeGuard>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// The search button's picture, leaning one way, upright and the other way.
QList<QIcon> AnimationFrames()
{
    QList<QIcon> frames;
    const QPixmap upright = Symbols::Search();
    for (qreal angle : {0.0, 25.0, -25.0}) {
        QPixmap frame(upright.size());
        frame.fill(Qt::transparent);
        QPainter painter(&frame);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(frame.width() / 2.0, frame.height() / 2.0);
        painter.rotate(angle);
        painter.drawPixmap(-frame.width() / 2, -frame.height() / 2, upright);
        painter.end();
        frames.append(QIcon(frame));
    }
    return frames;
}

TasrewrDlg &RenamePrompt(WindowParts &parts)
{
    if (Transfers *transfers = Transfers::Of(*parts.window))
        return *transfers->RenamePrompt();
    return *new TasrewrDlg(parts.window);
}

} // namespace

Search::Search(WindowParts &parts)
    : QObject(parts.window)
    , m_parts(parts)
    , m_main(*parts.session)
    , m_session(*parts.searchSession)
    , m_options(new TSuchwahlDlg(parts.window))
    , m_results(new TSuchergDlg(*parts.settings, parts.window))
    , m_saveWindow(new TssaveDlg(parts.window))
    , m_frames(AnimationFrames())
{
    setObjectName(u"Search"_s);
    m_saveWindow->Session().KnownHostsFile = parts.folders->KnownHostsFile();
    m_session.KnownHostsFile = parts.folders->KnownHostsFile();
    m_options->SetTreeFolder(parts.folders->TreeFolder());
    m_saving = new HitSaving(parts, *m_results, *m_saveWindow, RenamePrompt(parts));
    m_animation.setInterval(100);
    connect(&m_animation, &QTimer::timeout, this, &Search::Animate);
    ShowFrame(0);
    parts.searchColumnWidths = [this] { return m_results ? m_results->ColumnWidths() : QList<int>(); };
    ConnectCommands();
    WireSession();
}

Search::~Search() = default;

TSuchwahlDlg *Search::Options() const
{
    return m_options;
}

TSuchergDlg *Search::Results() const
{
    return m_results;
}

TssaveDlg *Search::SaveWindow() const
{
    return m_saveWindow;
}

Search *Search::Of(const QObject &window)
{
    return window.findChild<Search *>(u"Search"_s, Qt::FindDirectChildrenOnly);
}

void Search::ConnectCommands()
{
    const MainToolBar *bar = m_parts.toolBar;
    connect(bar->NeueSuche1, &QAction::triggered, this, &Search::NewSearch);
    connect(bar->Suchergebnisse1, &QAction::triggered, this, &Search::ShowResults);
    connect(bar->Sucheabbrechen1, &QAction::triggered, this, &Search::CancelSearch);
    connect(m_results, &TSuchergDlg::cancelRequested, this, &Search::CancelSearch);
    connect(m_results, &TSuchergDlg::saveFilesRequested, m_saving, &HitSaving::SaveSelection);
    connect(m_results, &TSuchergDlg::errorOccurred, &m_main, &MainSession::ReportError);
    m_results->SavingAllowed = [this] {
        return !m_running && !m_session.Session().IsConnected() && !m_saving->Running();
    };
    connect(&m_main, &MainSession::closing, this, &Search::CloseSessions);
    connect(m_parts.control, &SessionControl::resultsFileRequested, this, &Search::LoadResultsFileAtStart);
}

void Search::WireSession()
{
    TIdFTP &ftp = *m_parts.searchSession;
    m_session.OnLog = [this](const QString &line) {
        const TIdFTP &session = *m_parts.searchSession;
        m_results->AddLogLine(
            MaskPasswords(line, {session.Password, session.Gateway_Password, session.SocksInfo.Password}));
    };
    m_session.OnConnectionChanged = [this] {
        m_parts.control->UpdateSessionSymbols();
        m_results->UpdateSaveCommand();
    };
    ftp.OnConnected = [this](TIdTCPConnection *) { m_session.OnConnectionChanged(); };
    ftp.OnDisconnected = ftp.OnConnected;
    ftp.OnWorkBegin = [this](TIdTCPConnection *, TWorkMode, qint64 countMax) { TransferBegins(countMax); };
    ftp.OnWork = [this](TIdTCPConnection *, TWorkMode, qint64 count) { TransferMoved(count); };
    ftp.OnWorkEnd = [this](TIdTCPConnection *, TWorkMode) { TransferEnds(); };
    SftpFileSystem &sftp = m_session.Sftp();
    sftp.OnTransferBegin = [this](TWorkMode) { TransferBegins(-1); };
    sftp.OnTransferMoved = [this](TWorkMode, qint64 moved) { TransferMoved(moved); };
    sftp.OnTransferEnd = [this](TWorkMode) { TransferEnds(); };
    m_parts.searchRemote = [this]() -> const RemoteFileSystem & { return m_session.Session(); };
}

void Search::TransferBegins(qint64 countMax)
{
    m_transferActive = true;
    m_results->Progress().SetPosition(0);
    m_barMaximum = countMax > 0 ? countMax : (m_expectedSize > 0 ? m_expectedSize : 1);
    m_results->Progress().SetMaximum(m_barMaximum);
}

void Search::TransferMoved(qint64 count)
{
    if (count > 0)
        m_results->Progress().SetPosition(std::min(count, m_barMaximum));
    TIdAntiFreeze::DoProcessThrottled();
}

void Search::TransferEnds()
{
    m_expectedSize = 0;
    m_transferActive = false;
    m_results->Progress().SetPosition(0);
}

// --- commands ---------------------------------------------------------------------

void Search::NewSearch()
{
    // Either would wait inside the other's pumped waits, for as long as the
    // other takes: one search, or one save, at a time.
    if (m_running || m_saving->Running() || m_options->isVisible()) {
        QApplication::beep();
        return;
    }
    m_cancelRequested = false;
    m_closing = false;
    m_transferActive = false;
    if (m_options->exec() != QDialog::Accepted)
        return;
    // The options dialog refuses malformed patterns, so this holds.
    const std::optional<SearchMatcher> matcher = SearchMatcher::Prepare(m_options->Criteria());
    if (matcher)
        Run(*matcher, m_options->SelectedConnections());
}

void Search::ShowResults()
{
    m_results->show();
    m_results->raise();
    m_results->activateWindow();
}

void Search::CancelSearch()
{
    m_cancelRequested = true;
}

void Search::Run(const SearchMatcher &matcher, const QList<SearchTarget> &targets)
{
    m_running = true;
    ShowSearching(true);
    ShowResults();
    m_session.SetLogging(true);
    bool finished = false;
    int skippedFolders = 0;
    {
        const auto restore = qScopeGuard([this] {
            m_session.SetLogging(false);
            m_running = false;
            ShowSearching(false);
        });
        m_main.RunCommand([&] {
            SearchRun run(m_session, matcher, m_cancelRequested, DisplayHooks());
            run.Run(targets);
            skippedFolders = run.SkippedFolders();
            finished = true;
        });
    }
    if (!finished || m_closing)
        return;
    QApplication::beep();
    QMessageBox done(QMessageBox::Information, QString(), u"Der Suchvorgang abgeschlossen"_s, QMessageBox::Ok,
                     m_parts.window);
    done.setInformativeText(SkippedFoldersText(skippedFolders));
    done.exec();
    ShowResults();
}

SearchRun::Hooks Search::DisplayHooks()
{
    SearchRun::Hooks hooks;
    hooks.connectionStarting = [this] { m_results->SetStatusText(0, QString()); };
    hooks.serverReached = [this](const QString &server) { m_results->SetStatusText(0, server); };
    hooks.crawl.folderEntered = [this](const QString &folder) {
        m_results->SetStatusText(1, folder);
        m_results->SetStatusText(2, QString());
    };
    hooks.crawl.fileTested = [this](const QString &folder, const QString &name) {
        m_results->SetStatusText(1, folder);
        m_results->SetStatusText(2, name);
    };
    hooks.crawl.hitFound = [this](const SearchHit &hit) { m_results->AddHit(hit); };
    hooks.crawl.contentDownloadStarting = [this](qint64 size) { m_expectedSize = std::max<qint64>(size, 0); };
    hooks.crawl.log = [this](const QString &line) { m_results->AddLogLine(line); };
    return hooks;
}

void Search::ShowSearching(bool searching)
{
    const MainToolBar *bar = m_parts.toolBar;
    bar->NeueSuche1->setEnabled(!searching);
    bar->Sucheabbrechen1->setEnabled(searching);
    if (searching) {
        m_animation.start();
    } else {
        m_animation.stop();
        ShowFrame(0);
        m_results->Progress().SetPosition(0);
    }
    m_results->SetSearching(searching);
    m_results->UpdateSaveCommand();
}

void Search::Animate()
{
    if (m_parts.firstActivationPending() || !m_session.Session().IsConnected())
        return;
    ShowFrame((m_frame + 1) % int(m_frames.size()));
}

void Search::ShowFrame(int frame)
{
    m_frame = frame;
    m_parts.toolBar->LMDOfficeButton3->setIcon(m_frames.value(frame));
}

// The program ends: a running transfer of either session is aborted, both
// sessions quit, and a running search stops at its next step without the
// closing message.
void Search::CloseSessions()
{
    m_cancelRequested = true;
    m_closing = true;
    try {
        if (m_session.Session().IsConnected() && m_transferActive)
            m_session.Session().Abort();
    } catch (const EIdException &) {
        // The goodbye below closes the connection anyway.
    }
    m_session.Close();
    m_saving->CloseSession();
}

void Search::LoadResultsFileAtStart(const QString &fileName)
{
    m_results->LoadResultsFile(fileName);
    ShowResults();
}

Search &InstallSearch(WindowParts &parts)
{
    if (Search *installed = Search::Of(*parts.window))
        return *installed;
    return *new Search(parts);
}
