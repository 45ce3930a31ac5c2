#include "tftpqvx.h"

#include "activityindicator.h"
#include "connectiontreestore.h"
#include "idexceptions.h"
#include "keepalive.h"
#include "layoutrestore.h"
#include "localbrowser.h"
#include "locallistview.h"
#include "localpane.h"
#include "maintoolbar.h"
#include "passwordstore.h"
#include "pathrow.h"
#include "remotebrowser.h"
#include "remotelistview.h"
#include "remotepane.h"
#include "sessioncontrol.h"
#include "sessionlogview.h"
#include "statuspanels.h"
#include "tgetpwddlg.h"
#include "tinifile.h"
#include "tpagesdlg.h"
#include "tsetup.h"
#include "tverblist.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr QSize kDesignedSize(682, 438);

// Puts the bar between the splitter's two widgets at the given position.
void PlaceBar(QSplitter *splitter, int position)
{
    const QList<int> sizes = splitter->sizes();
    int total = 0;
    for (int size : sizes)
        total += size;
    splitter->setSizes({position, total - position});
}

} // namespace

QString TFTPqvx::ProgramTitle()
{
    return u"FTP Glimra"_s;
}

TFTPqvx::TFTPqvx(const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent)
    , m_arguments(arguments)
{
    setObjectName(u"FTPqvx"_s);
    setWindowTitle(ProgramTitle());
    BuildLayout();
    FillParts();
    m_browser = new RemoteBrowser(m_parts);
    m_parts.browser = m_browser;
    new LocalBrowser(m_parts, *m_browser);
    m_session = new SessionControl(m_parts);
    m_parts.control = m_session;
    resize(kDesignedSize);
    CentreOnScreen();
    m_normalRect = geometry();
    m_remotePane->DisableCommands();
    m_localPane->RefreshRemoteItem->setEnabled(false);
    ReadSettings();
    m_remotePane->List->SetSortSymbols(Settings.ftplist_s, Settings.ftplist_r);
    m_keepAlive = new KeepAlive(m_main, this);
    m_keepAlive->SetInterval(Settings.KeepAlive);
    m_parts.keepAlive = m_keepAlive;
    ConnectCommands();
}

void TFTPqvx::FillParts()
{
    m_parts.window = this;
    m_parts.host = this;
    m_parts.session = &m_main;
    m_parts.searchSession = &IdFTPSearch;
    m_parts.settings = &Settings;
    m_parts.folders = &m_folders;
    m_parts.startedWithArguments = StartedWithArguments();
    m_parts.toolBar = m_toolBar;
    m_parts.paths = m_pathRow;
    m_parts.local = m_localPane;
    m_parts.remote = m_remotePane;
    m_parts.log = m_log;
    m_parts.progress = m_progress;
    m_parts.status = m_status;
    m_parts.credentials = [this] { return CredentialsDialog(); };
    m_parts.firstActivationPending = [this] { return m_firstActivationPending; };
    m_parts.connectionManager = [this] { return m_verblist; };
    // Commands read the remote folder from the path field.
    connect(&m_main, &MainSession::commandStarting, m_pathRow, &PathRow::DiscardRemoteTyping);
    connect(&m_main, &MainSession::errorReported, this, &TFTPqvx::ShowError);
    connect(&m_main, &MainSession::started, this,
            [this] { setWindowTitle(ProgramTitle() + u" - "_s + m_main.ServerDisplayName()); });
    connect(&m_main, &MainSession::ended, this, [this] { setWindowTitle(ProgramTitle()); });
}

TFTPqvx::~TFTPqvx()
{
    m_session->DetachFromSession();
}

// The windows in the program's start order; later ones join at their place.
void TFTPqvx::CreateDialogs()
{
    if (m_setup)
        return;
    m_pagesDlg = new TPagesDlg(this);
    m_pagesDlg->SetTreeFolder(m_folders.TreeFolder());
    m_verblist = new TVerblist(this);
    m_verblist->SetTreeFolder(m_folders.TreeFolder());
    m_verblist->SetPropertiesDialog(m_pagesDlg);
    m_verblist->SetSession(&m_main.Connection);
    m_verblist->SetShortcutFolders(m_folders.LinksFolder(),
                                   QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    m_setup = new Tsetup(this);
    // The transfer prompts and the wait dialog come here.
    CredentialsDialog();
    // The list update, the slideshow properties and the upload prompts
    // come here; the search installs its windows itself.
    m_browser->CreateFolderTreeDialog();
}

TGetpwdDlg *TFTPqvx::CredentialsDialog()
{
    if (!m_getpwdDlg)
        m_getpwdDlg = new TGetpwdDlg(this);
    return m_getpwdDlg;
}

void TFTPqvx::BuildLayout()
{
    m_toolBar = new MainToolBar(this);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    auto *central = new QWidget(this);
    central->setObjectName(u"CentralArea"_s);
    m_pathRow = new PathRow(central);
    m_localPane = new LocalPane;
    m_remotePane = new RemotePane;
    m_paneSplitter = new QSplitter(Qt::Horizontal);
    m_paneSplitter->setObjectName(u"PaneSplitter"_s);
    m_paneSplitter->setChildrenCollapsible(false);
    m_paneSplitter->addWidget(m_localPane);
    m_paneSplitter->addWidget(m_remotePane);
    m_paneSplitter->setStretchFactor(0, 1);
    m_paneSplitter->setStretchFactor(1, 1);
    m_log = new SessionLogView;
    m_splitArea = new QSplitter(Qt::Vertical, central);
    m_splitArea->setObjectName(u"SplitArea"_s);
    m_splitArea->setChildrenCollapsible(false);
    m_splitArea->addWidget(m_paneSplitter);
    m_splitArea->addWidget(m_log);
    m_splitArea->setStretchFactor(0, 3);
    m_splitArea->setStretchFactor(1, 1);
    m_progress = new QProgressBar(central);
    m_progress->setObjectName(u"ProgressBar"_s);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(12);

    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->setSpacing(2);
    layout->addWidget(m_pathRow);
    layout->addWidget(m_splitArea, 1);
    layout->addWidget(m_progress);
    setCentralWidget(central);

    m_status = new StatusPanels(this);
    setStatusBar(m_status);
    m_pathRow->FollowPanes(m_localPane, m_remotePane);
    m_localPane->AttachPathBox(m_pathRow->LMDShellComboBox1);
    m_localPane->List->SetFolder(QDir::homePath());
}

void TFTPqvx::ConnectCommands()
{
    connect(m_toolBar->SpeedButton17, &QToolButton::clicked, this, &TFTPqvx::OpenSettingsDialog);
    connect(m_toolBar->SpeedButton12, &QToolButton::clicked, this, &QWidget::close);
    connect(m_toolBar->AboutButton, &QToolButton::clicked, this, &TFTPqvx::ShowAbout);
    connect(m_localPane, &LocalPane::viewStyleChosen, this,
            [this](int view) { Settings.Ansicht_Lokal = view; });
    connect(m_localPane, &LocalPane::autoArrangeChosen, this,
            [this](bool on) { Settings.Autoan_Lokal = on; });
    connect(m_remotePane, &RemotePane::viewStyleChosen, this,
            [this](int view) { Settings.Ansicht_FTP = view; });
    connect(m_remotePane, &RemotePane::autoArrangeChosen, this,
            [this](bool on) { Settings.Autoan_FTP = on; });
}

void TFTPqvx::ReadSettings()
{
    const TIniFile ini(m_folders.SettingsFile());
    Settings.Read(ini);
    PasswordStore::SetKeyringUse(Settings.Passwords_Keyring);
}

void TFTPqvx::CentreOnScreen()
{
    if (const QScreen *shown = screen()) {
        const QRect available = shown->availableGeometry();
        move(available.x() + (available.width() - width()) / 2,
             available.y() + (available.height() - height()) / 2);
    }
}

void TFTPqvx::ShowError(const QString &message)
{
    m_status->SetPanelText(2, message);
    m_session->AddLogLine(message);
    m_status->repaint();
}

void TFTPqvx::SetActivity(int code)
{
    m_toolBar->Indicator->SetActivity(code);
    if (m_keepAlive)
        m_keepAlive->NoteTraffic();
}

bool TFTPqvx::AskCredentials(const QString &caption, QString &user, QString &password)
{
    return m_session->AskCredentials(caption, user, password);
}

void TFTPqvx::ConnectionLost()
{
    m_session->ConnectionLost();
}

void TFTPqvx::SetTransferActive(bool active)
{
    m_main.Flags.TransferActive = active;
}

QString TFTPqvx::SslKeyPassword(bool askUser, const QString &storedPassword)
{
    return m_session->SslKeyPassword(askUser, storedPassword);
}

bool TFTPqvx::AcceptServerCertificate(const ServerCertificateInfo &certificate)
{
    return m_session->AcceptServerCertificate(certificate);
}

HostKeyAnswer TFTPqvx::AskHostKey(const HostKeyInfo &key)
{
    return m_session->AskHostKey(key);
}

QString TFTPqvx::IdentityPassphrase(const QString &keyFile, bool askUser, const QString &storedPassphrase)
{
    return m_session->IdentityPassphrase(keyFile, askUser, storedPassphrase);
}

void TFTPqvx::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_firstActivationPending)
        RunFirstActivation();
}

void TFTPqvx::RunFirstActivation()
{
    SetActivity(0);
    m_localPane->SetAutoArrange(Settings.Autoan_Lokal);
    m_remotePane->SetAutoArrange(Settings.Autoan_FTP);
    if (Settings.Last_Folder && QFileInfo(Settings.Folder).isDir())
        m_localPane->List->SetFolder(Settings.Folder);
    RestoreColumnWidths();
    RestoreWindowRect();
    RestoreSplitPositions();
    ApplyViewSettings();
    m_pathRow->Align();
    m_firstActivationPending = false;
    // The command line may connect; that waits for the server, so it runs
    // once the window is on the screen.
    QMetaObject::invokeMethod(this, &TFTPqvx::HandleCommandLine, Qt::QueuedConnection);
}

void TFTPqvx::RestoreColumnWidths()
{
    const auto restore = [](MultiViewList *list, const auto &widths) {
        list->StartFromColumnWidths(QList<int>(widths.begin(), widths.end()));
    };
    if (Settings.Ansicht_Lokal_Save)
        restore(m_localPane->List, Settings.Left_Col);
    if (Settings.Ansicht_FTP_Save)
        restore(m_remotePane->List, Settings.Right_Col);
}

void TFTPqvx::RestoreWindowRect()
{
    const QScreen *own = screen();
    if (!own)
        return;
    QList<QRect> screens{own->availableGeometry()};
    for (const QScreen *other : QGuiApplication::screens()) {
        if (other != own)
            screens.append(other->availableGeometry());
    }
    if (const std::optional<QRect> saved = RestoredWindowRect(Settings, screens, size(), ExpectedFrame()))
        setGeometry(*saved);
    m_normalRect = geometry();
    // The rectangle above is the one the window returns to from maximized.
    if (Settings.Size_Save && Settings.Maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

// The frame around the window. A window manager frames a window only once it
// is on the screen; until then a title bar of the usual height is assumed,
// so that a saved place never hides the title bar above the screen's edge.
QMargins TFTPqvx::ExpectedFrame() const
{
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    if (frame != inner)
        return QMargins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                        frame.bottom() - inner.bottom());
    return QMargins(0, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this), 0, 0);
}

void TFTPqvx::RestoreSplitPositions()
{
    if (!Settings.Ansicht_Lokal_Save && !Settings.Ansicht_FTP_Save)
        return;
    if (const std::optional<int> x = RestoredBarPosition(m_splitArea->width(), Settings.Split1))
        PlaceBar(m_paneSplitter, *x);
    if (const std::optional<int> y = RestoredBarPosition(m_splitArea->height(), Settings.Split2))
        PlaceBar(m_splitArea, *y);
}

void TFTPqvx::ApplyViewSettings()
{
    m_localPane->SetViewStyle(Settings.Ansicht_Lokal);
    m_remotePane->SetViewStyle(Settings.Ansicht_FTP);
    m_localPane->SetAutoArrange(Settings.Autoan_Lokal);
    m_remotePane->SetAutoArrange(Settings.Autoan_FTP);
}

void TFTPqvx::HandleCommandLine()
{
    m_session->HandleCommandLine(m_arguments);
}

void TFTPqvx::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_status->SetWindowWidth(width());
    RememberNormalRect();
}

// The inner rectangle the window has when it is neither maximized nor full
// screen, without the frame: what setGeometry() takes, so that a start puts
// the window back exactly where it was, whatever its frame (which may differ
// between the normal and the maximized window). Stored instead of the
// maximized one, it never outgrows the screen.
QRect TFTPqvx::NormalWindowRect() const
{
    return InNormalState() ? geometry() : m_normalRect;
}

bool TFTPqvx::InNormalState() const
{
    return !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized));
}

// The window manager maximizes without telling the window its normal
// rectangle, so the window keeps it itself.
void TFTPqvx::RememberNormalRect()
{
    if (isVisible() && InNormalState())
        m_normalRect = geometry();
}

void TFTPqvx::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    RememberNormalRect();
}

void TFTPqvx::OpenSettingsDialog()
{
    if (!m_setup || m_main.Flags.OperationBusy)
        return;
    if (!m_setup->Edit(Settings))
        return;
    if (Settings.Passwords_Keyring != PasswordStore::KeyringUse())
        MoveStoredPasswords();
    ApplyViewSettings();
    m_keepAlive->SetInterval(Settings.KeepAlive);
}

// Every saved password goes where the setting now says: into the keyring,
// or back into the connection files.
void TFTPqvx::MoveStoredPasswords()
{
    PasswordStore::SetKeyringUse(Settings.Passwords_Keyring);
    const QStringList unmoved = ConnectionTreeStore(m_folders.TreeFolder()).RelocatePasswords();
    if (!unmoved.isEmpty())
        QMessageBox::warning(this, QString(),
                             u"Die Kennwörter dieser Verbindungen bleiben, wo sie waren, weil der "
                             u"Schlüsselbund nicht erreichbar ist:\n\n%1"_s.arg(unmoved.join(u'\n')));
}

void TFTPqvx::ShowAbout()
{
    QMessageBox::about(
        this, u"Über FTP Glimra"_s,
        u"FTP Glimra %1\n\nEin FTP-Programm für Linux: lokale Dateien links, "
        u"der FTP Server rechts, das Protokoll darunter."_s.arg(QCoreApplication::applicationVersion()));
}

void TFTPqvx::closeEvent(QCloseEvent *event)
{
    DisconnectSessionsForClose();
    if (!m_closeSequenceDone) {
        m_closeSequenceDone = true;
        RunCloseSequence();
    }
    event->accept();
}

void TFTPqvx::DisconnectSessionsForClose()
{
    m_main.NotifyClosing();
    m_session->Disconnect();
}

void TFTPqvx::RunCloseSequence()
{
    m_main.Flags.CancelRequested = true;
    m_main.Flags.AbortRequested = true;
    // The folder tree window and the thumbnail window are closed here by the
    // parts that own them; the sessions were disconnected before.
    m_browser->CloseFolderTree();
    m_main.CopyList.clear();
    m_main.Features.clear();
    const QStringList unsaved = m_parts.unsavedCopies ? m_parts.unsavedCopies() : QStringList();
    if (!StartedWithArguments())
        DataFolders::DeleteFilesIn(m_folders.WorkFolder(), unsaved);
    if (!unsaved.isEmpty())
        TellUnsavedCopiesKept(unsaved);
    if (StartedWithArguments())
        return;
    SaveSettings();
    const QFileInfo settingsFile(m_folders.SettingsFile());
    const QString copy = settingsFile.absolutePath() + u"/Kopie von "_s + settingsFile.fileName();
    QFile::remove(copy);
    QFile::copy(settingsFile.absoluteFilePath(), copy);
    ConnectionTreeStore(m_folders.TreeFolder()).BackupConnectionFiles();
}

void TFTPqvx::TellUnsavedCopiesKept(const QStringList &copies)
{
    QMessageBox::warning(this, QString(),
                         u"Diese geänderten Dateien sind nicht auf dem Server gespeichert worden. "
                         u"Sie bleiben im Ordner \"%1\" erhalten:\n\n%2"_s.arg(
                             QDir::toNativeSeparators(m_folders.WorkFolder()), copies.join(u'\n')));
}

void TFTPqvx::SaveSettings()
{
    TIniFile ini(m_folders.SettingsFile());
    Settings.Write(ini, CurrentLayout());
    // The file is replaced in one step, so a failed write leaves it as it was.
    if (!ini.UpdateFile())
        QMessageBox::warning(
            this, QString(),
            u"Die Einstellungen konnten nicht in %1 gespeichert werden; "
            u"die Datei bleibt, wie sie war."_s.arg(QDir::toNativeSeparators(ini.FileName())));
}

ClosingLayout TFTPqvx::CurrentLayout() const
{
    ClosingLayout layout;
    layout.folder = QDir::toNativeSeparators(m_localPane->List->Folder());
    layout.windowRect = NormalWindowRect();
    layout.maximized = isMaximized();
    layout.splitArea = m_splitArea->size();
    layout.paneBarPosition = m_paneSplitter->sizes().value(0);
    layout.logBarPosition = m_splitArea->sizes().value(0);
    layout.localColumnWidths = m_localPane->List->ColumnWidths();
    layout.remoteColumnWidths = m_remotePane->List->ColumnWidths();
    if (m_parts.searchColumnWidths)
        layout.searchColumnWidths = m_parts.searchColumnWidths();
    return layout;
}
