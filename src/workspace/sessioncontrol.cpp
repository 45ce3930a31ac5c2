#include "sessioncontrol.h"

#include "activityindicator.h"
#include "applicationsettings.h"
#include "commandlinestart.h"
#include "connectiontreestore.h"
#include "datafolders.h"
#include "idexceptions.h"
#include "locallistview.h"
#include "localpane.h"
#include "mainsession.h"
#include "maintoolbar.h"
#include "passwordmask.h"
#include "receivedreplies.h"
#include "remotebrowser.h"
#include "remotepane.h"
#include "savefile.h"
#include "sessionhost.h"
#include "sessionlogview.h"
#include "statuspanels.h"
#include "tcertfkdlg1.h"
#include "tgetpwddlg.h"
#include "tidantifreeze.h"
#include "tidconnectioninterceptopenssl.h"
#include "tidlogdebug.h"
#include "transferprogress.h"
#include "ttreedlg1.h"
#include "tverblist.h"
#include "windowparts.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>

#include <algorithm>
#include <exception>

using namespace Qt::StringLiterals;

namespace {

const QString kLogOffCaption = u"Log deaktivieren"_s;
const QString kLogOnCaption = u"Log aktivieren"_s;
const QString kTextFilesFilter = u"Textdateien (*.txt)"_s;
const QString kLogFilesFilter = u"Log-Dateien (*.log)"_s;
// A server that stays silent for the profile's Timeout while a reply is
// due has stopped answering; but no reply is expected within less than a
// second, whatever short wait slices a profile asks for.
constexpr int kShortestReplyWait = 1000;

} // namespace

SessionControl::SessionControl(const WindowParts &parts)
    : QObject(parts.window)
    , m_parts(parts)
    , m_session(*parts.session)
    , m_logInterceptor(std::make_unique<TIdLogDebug>())
    , m_progress(std::make_unique<TransferProgress>(parts))
{
    WireSession();
    WireCommands();
}

SessionControl::~SessionControl() = default;

const QString &SessionControl::ServerDisplayName() const
{
    return m_session.ServerDisplayName();
}

void SessionControl::WireSession()
{
    TIdFTP &ftp = m_session.Connection;
    ftp.setSessionHost(m_parts.host);
    ftp.UseNagle = false;
    ftp.SocksInfo.Port = 1080;
    ftp.OnConnected = [this](TIdTCPConnection *) { HandleConnected(); };
    ftp.OnDisconnected = [this](TIdTCPConnection *) { HandleDisconnected(); };
    ftp.OnStatus = [this](TIdTCPConnection *, TIdStatus, const QString &text) { AddLogLine(text); };
    ftp.OnWorkBegin = [this](TIdTCPConnection *, TWorkMode mode, qint64 countMax) {
        m_progress->WorkBegin(mode, countMax);
    };
    ftp.OnWork = [this](TIdTCPConnection *, TWorkMode mode, qint64 count) { m_progress->Work(mode, count); };
    ftp.OnWorkEnd = [this](TIdTCPConnection *, TWorkMode mode) { m_progress->WorkEnd(mode); };
    m_logInterceptor->OnLogItem = [this](QString &line) { LogTraffic(line); };
    ftp.SetIntercept(m_logInterceptor.get());

    SftpFileSystem &sftp = m_session.Sftp;
    sftp.setSessionHost(m_parts.host);
    sftp.OnLogLine = [this](const QString &line) {
        if (m_logOn)
            LogAndPump(line);
    };
    sftp.OnTransferBegin = [this](TWorkMode mode) { m_progress->WorkBegin(mode, -1); };
    sftp.OnTransferMoved = [this](TWorkMode mode, qint64 moved) { m_progress->Work(mode, moved); };
    sftp.OnTransferEnd = [this](TWorkMode mode) { m_progress->WorkEnd(mode); };
}

void SessionControl::DetachFromSession()
{
    TIdFTP &ftp = m_session.Connection;
    ftp.setSessionHost(nullptr);
    ftp.OnConnected = nullptr;
    ftp.OnDisconnected = nullptr;
    ftp.OnStatus = nullptr;
    ftp.OnWorkBegin = nullptr;
    ftp.OnWork = nullptr;
    ftp.OnWorkEnd = nullptr;
    ftp.SetInterceptEnabled(false);
    ftp.SetIntercept(nullptr);
    SftpFileSystem &sftp = m_session.Sftp;
    sftp.setSessionHost(nullptr);
    sftp.OnLogLine = nullptr;
    sftp.OnTransferBegin = nullptr;
    sftp.OnTransferMoved = nullptr;
    sftp.OnTransferEnd = nullptr;
}

void SessionControl::WireCommands()
{
    const MainToolBar *bar = m_parts.toolBar;
    connect(bar->SpeedButton1, &QToolButton::clicked, this, &SessionControl::Connect);
    connect(bar->SpeedButton2, &QToolButton::clicked, this, &SessionControl::Disconnect);
    connect(bar->SpeedButton11, &QToolButton::clicked, this, &SessionControl::EditConnections);
    connect(bar->SaveLogButton, &QToolButton::clicked, this, &SessionControl::SaveLog);
    const SessionLogView *log = m_parts.log;
    connect(log->SaveLogItem, &QAction::triggered, this, &SessionControl::SaveLog);
    connect(log->ToggleLogItem, &QAction::triggered, this, &SessionControl::ToggleLogging);
}

// --- connecting ---------------------------------------------------------------

void SessionControl::Connect()
{
    m_session.RunCommand([this] { ConnectThroughManager(); });
}

void SessionControl::ConnectThroughManager()
{
    TVerblist *manager = m_parts.connectionManager();
    if (!manager || !m_parts.toolBar->SpeedButton1->isEnabled())
        return;
    ForgetServerLists();
    manager->SetMode(TVerblist::Mode::Connect);
    if (manager->exec() != QDialog::Accepted)
        return;
    if (manager->AppliedValues())
        ApplyMainWindowValues(*manager->AppliedValues());
    if (!IsFitToConnect(m_session.Connection)) {
        WarnUnfitProfile();
        return;
    }
    OpenSession({m_remoteStartFolder, QString()});
}

void SessionControl::HandleCommandLine(const QStringList &arguments)
{
    const CommandLineStart start = CommandLineStart::FromArguments(arguments);
    switch (start.kind) {
    case CommandLineStart::Kind::Nothing:
        break;
    case CommandLineStart::Kind::ResultsFile:
        emit resultsFileRequested(start.file);
        break;
    case CommandLineStart::Kind::ConnectionFile:
        m_session.RunCommand([&] { StartFromConnectionFile(start.file); });
        break;
    case CommandLineStart::Kind::Server:
        m_session.RunCommand([&] { StartFromSavedServer(start); });
        break;
    }
}

// A connection file never asks for SSL and is not checked before connecting.
void SessionControl::StartFromConnectionFile(const QString &fileName)
{
    const std::optional<MainWindowValues> values = ApplyConnectionFile(fileName, m_session.Connection);
    if (!values)
        return;
    ForgetServerLists();
    ApplyMainWindowValues(*values);
    OpenSession({m_remoteStartFolder, QString()});
}

// With its SSL settings: a server saved for TLS never gets the password in
// clear (a search hit's double-click starts the program this way).
void SessionControl::StartFromSavedServer(const CommandLineStart &start)
{
    const std::optional<MainWindowValues> values =
        ConnectionTreeStore(m_parts.folders->TreeFolder())
            .FindConnectionByServer(start.host, m_session.Connection, ProfileReading::ConnectionManager);
    if (!values)
        return;
    ForgetServerLists();
    ApplyMainWindowValues(*values);
    if (!IsFitToConnect(m_session.Connection)) {
        WarnUnfitProfile();
        return;
    }
    OpenSession({start.remoteFolder, start.nameToSelect});
}

void SessionControl::ForgetServerLists()
{
    m_session.CopyList.clear();
    m_session.Features.clear();
}

void SessionControl::ApplyMainWindowValues(const MainWindowValues &values)
{
    m_logOn = values.Log;
    m_logLimit = values.Maxentry;
    m_remoteStartFolder = values.FTPOrdner;
    m_localStartFolder = values.LocalFolder;
    TIdAntiFreeze::SetIdleTimeOut(values.Timeout);
    m_session.Connection.ResolveTimeout = values.Timeout;
    m_session.Connection.ReadTimeout = std::max(values.Timeout, kShortestReplyWait);
    m_protocol = values.Protokoll;
    m_sshKey = values.SshKey;
}

void SessionControl::WarnUnfitProfile()
{
    QMessageBox::warning(m_parts.window, QString(), kUnfitProfileWarning.toString());
}

void SessionControl::OpenSession(const SessionStart &start)
{
    TIdFTP &ftp = m_session.Connection;
    const bool sftp = m_protocol == FileProtocol::Sftp;
    m_session.UseProtocol(sftp ? RemoteFileSystem::Protocol::Sftp : RemoteFileSystem::Protocol::Ftp);
    if (sftp) {
        ApplySshSettings(ftp, m_sshKey, m_session.Sftp);
        m_session.Sftp.KnownHostsFile = m_parts.folders->KnownHostsFile();
    } else
        AttachInterceptor();
    RemoteFileSystem &remote = m_session.Remote();
    m_parts.toolBar->SpeedButton1->setEnabled(false);
    m_session.SetServerDisplayName(ftp.Host);
    SetLogging(m_logOn);
    ftp.TimeCorrection.WSTime_Use = m_parts.settings->WSTime_Use;
    const auto restoreButtons = qScopeGuard([this] {
        if (!m_session.Remote().IsConnected())
            ShowConnectButtons(false);
    });

    ConnectAndLogin();
    if (!remote.IsConnected())
        return;
    m_session.SetTreeRoot(sftp ? remote.CurrentDir() : u"/"_s);
    if (sftp)
        HandleConnected();
    ShowConnectedState();
    EnterLocalStartFolder();
    if (sftp)
        m_session.Features.clear();
    else
        ftp.ProbeFeatures(m_session.Features);
    if (!start.remoteFolder.isEmpty())
        remote.ChangeDir(start.remoteFolder);
    m_parts.browser->RefreshRemoteList(start.nameToSelect);
    QApplication::beep();
}

// A server that cannot be reached ends the connect without an error and
// without a box; status panel 2 and the log still say which one and why, so
// that a mistyped host is told apart from a server that is down. Errors of
// the connect name the server too.
void SessionControl::ConnectAndLogin()
{
    TIdFTP &ftp = m_session.Connection;
    ftp.ConnectError.clear();
    m_certificateRefused = false;
    try {
        m_session.Remote().ConnectAndLogin();
    } catch (const EIdSilentException &) {
        throw;
    } catch (const EIdOSSLError &error) {
        // The user's own no to the certificate needs no explaining.
        if (m_certificateRefused)
            throw;
        throw EIdOSSLError(
            NotConnectedText(u"Die TLS-Verbindung kam nicht zustande (%1)."_s.arg(error.Message())));
    } catch (const EIdException &error) {
        throw EIdException(NotConnectedText(error.Message()));
    }
    if (!ftp.IsConnected() && !ftp.ConnectError.isEmpty())
        m_session.ReportError(NotConnectedText(ftp.ConnectError));
}

// Host and Port are those that were tried: with a proxy, the proxy's.
QString SessionControl::NotConnectedText(const QString &reason) const
{
    const TIdFTP &ftp = m_session.Connection;
    return u"Keine Verbindung zu %1 (Port %2): %3"_s.arg(ftp.Host).arg(ftp.Port).arg(reason.simplified());
}

// With SSL the TLS layer sits between session and socket, and no traffic
// lines are logged; otherwise the log interceptor watches the traffic.
void SessionControl::AttachInterceptor()
{
    TIdFTP &ftp = m_session.Connection;
    ftp.SetInterceptEnabled(false);
    // The pool's connections take the file over with the other settings.
    ftp.KnownCertificatesFile = m_parts.folders->KnownCertificatesFile();
    if (ftp.UseSSL) {
        auto layer = std::make_unique<TIdConnectionInterceptOpenSSL>();
        layer->ConfigureFrom(ftp);
        layer->OnStatusInfo = [this](const QString &text) { LogAndPump(text); };
        ftp.SetIntercept(layer.get());
        m_sslLayer = std::move(layer);
    } else {
        ftp.SetIntercept(m_logInterceptor.get());
    }
    ftp.SetInterceptEnabled(true);
}

void SessionControl::ShowConnectedState()
{
    m_session.NotifyStarted();
    StatusPanels *status = m_parts.status;
    status->SetPanelText(1, m_session.ServerDisplayName());
    status->SetPanelText(2, u"Connected"_s);
    status->SetPanelText(3, m_protocol == FileProtocol::Sftp ? u"SFTP"_s : m_session.Connection.SystemType());
    m_parts.toolBar->Indicator->setToolTip(m_session.ServerDisplayName());
    UpdateSessionSymbols();
}

void SessionControl::EnterLocalStartFolder()
{
    if (!m_localStartFolder.isEmpty() && QFileInfo(m_localStartFolder).isDir())
        m_parts.local->List->SetFolder(m_localStartFolder);
}

void SessionControl::ShowConnectButtons(bool connected)
{
    m_parts.toolBar->SpeedButton1->setEnabled(!connected);
    m_parts.toolBar->SpeedButton2->setEnabled(connected);
}

// --- disconnecting --------------------------------------------------------------

void SessionControl::Disconnect()
{
    m_session.RunCommand([this] { DisconnectSession(); });
}

// The window returns to its disconnected state even when the goodbye fails;
// the failure is shown afterwards.
void SessionControl::DisconnectSession()
{
    RemoteFileSystem &remote = m_session.Remote();
    std::exception_ptr failure;
    try {
        if (remote.IsConnected() && remote.LoggedIn()) {
            if (m_session.Flags.TransferActive) {
                m_session.Flags.CancelRequested = true;
                m_session.Flags.AbortRequested = true;
                remote.Abort();
            }
            remote.Quit();
        } else if (TIdFTP *ftp = remote.Ftp(); ftp && ftp->IsConnected()) {
            ftp->CloseConnection();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    ReturnToDisconnectedState();
    if (!m_parts.startedWithArguments)
        DataFolders::DeleteFilesIn(m_parts.folders->TmpFolder());
    if (failure)
        std::rethrow_exception(failure);
}

void SessionControl::ConnectionLost()
{
    ReturnToDisconnectedState();
}

void SessionControl::ReturnToDisconnectedState()
{
    HandleDisconnected();
    m_session.Flags.TransferActive = false;
    m_session.Flags.OperationBusy = false;
    m_session.Flags.ListingBusy = false;
    m_session.CopyList.clear();
    m_parts.host->SetActivity(0);
    // With the flags cleared, uploads and drops onto the remote list switch off at once.
    m_parts.browser->UpdateCommandStates();
}

// --- the session's events ---------------------------------------------------------

void SessionControl::HandleConnected()
{
    m_parts.status->SetPanelText(2, u"Connected"_s);
    ShowConnectButtons(true);
    m_session.Flags.OperationBusy = false;
    m_parts.host->SetActivity(1);
    UpdateSessionSymbols();
    if (TTreeDlg1 *folderTree = m_parts.browser->FolderTree())
        folderTree->SessionStarted();
    emit sessionConnected();
}

void SessionControl::HandleDisconnected()
{
    m_session.CopyList.clear();
    StatusPanels *status = m_parts.status;
    status->SetPanelText(1, QString());
    status->SetPanelText(2, u"Disconnected"_s);
    status->SetPanelText(3, QString());
    m_session.NotifyEnded();
    ShowConnectButtons(false);
    // Also empties and closes the folder tree window.
    m_parts.browser->ClearRemoteList();
    RemotePane *remote = m_parts.remote;
    remote->SpeedButton5->setEnabled(false);
    remote->RefreshButton->setEnabled(false);
    remote->FolderTreeButton->setEnabled(false);
    remote->RawListingItem->setEnabled(false);
    m_parts.toolBar->Indicator->setToolTip(u"Disconnected"_s);
    m_parts.host->SetActivity(0);
    m_session.Connection.SetLoggedIn(false);
    UpdateSessionSymbols();
}

void SessionControl::UpdateSessionSymbols()
{
    const RemoteFileSystem &remote = m_session.Remote();
    const RemoteFileSystem &search = m_parts.searchRemote ? m_parts.searchRemote() : *m_parts.searchSession;
    const bool connected = remote.IsConnected();
    const bool searching = search.IsConnected();
    m_parts.status->SetSessionSymbols(connected, connected && remote.Encrypted(), searching,
                                      searching && search.Encrypted());
}

// --- the questions the session asks ------------------------------------------------

bool SessionControl::AskCredentials(const QString &caption, QString &user, QString &password)
{
    return m_parts.credentials()->Ask(caption, user, password);
}

QString SessionControl::SslKeyPassword(bool askUser, const QString &storedPassword)
{
    QString password = storedPassword;
    if (askUser) {
        QInputDialog box(m_parts.window);
        box.setObjectName(u"SslPasswordBox"_s);
        box.setWindowTitle(u"Kennwort für SSL"_s);
        box.setLabelText(u"Kennwort des privaten Schlüssels:"_s);
        box.setTextEchoMode(QLineEdit::Password);
        if (auto *field = box.findChild<QLineEdit *>())
            ShowAsBullets(field);
        password = box.exec() == QDialog::Accepted ? box.textValue() : QString();
    }
    AddLogLine(u"SSL Password: [HIDDEN]"_s);
    return password;
}

bool SessionControl::AcceptServerCertificate(const ServerCertificateInfo &certificate)
{
    if (!m_certificateDialog)
        m_certificateDialog = new TCertfkDlg1(m_parts.window);
    const bool accepted = m_certificateDialog->Ask(certificate);
    m_certificateRefused = !accepted;
    return accepted;
}

HostKeyAnswer SessionControl::AskHostKey(const HostKeyInfo &key)
{
    QMessageBox box(
        QMessageBox::Warning, u"Unbekannter Server"_s,
        u"Der Server %1 (Port %2) ist noch nicht bekannt.\n\nSchlüsseltyp: %3\nFingerabdruck: %4\n\n"
        u"Vergleichen Sie den Fingerabdruck mit dem, den Ihnen der Betreiber des Servers nennt. "
        u"Soll die Verbindung aufgebaut werden?"_s.arg(key.host)
            .arg(key.port)
            .arg(key.keyType, key.fingerprint),
        QMessageBox::NoButton, m_parts.window);
    box.setObjectName(u"HostKeyBox"_s);
    QPushButton *accept = box.addButton(u"Akzeptieren"_s, QMessageBox::AcceptRole);
    QPushButton *once = box.addButton(u"Einmal"_s, QMessageBox::YesRole);
    box.addButton(u"Abbrechen"_s, QMessageBox::RejectRole);
    accept->setObjectName(u"AcceptHostKeyButton"_s);
    once->setObjectName(u"OnceHostKeyButton"_s);
    box.exec();
    if (box.clickedButton() == accept)
        return HostKeyAnswer::Accept;
    return box.clickedButton() == once ? HostKeyAnswer::Once : HostKeyAnswer::Refuse;
}

QString SessionControl::IdentityPassphrase(const QString &keyFile, bool askUser,
                                           const QString &storedPassphrase)
{
    if (!askUser)
        return storedPassphrase;
    QInputDialog box(m_parts.window);
    box.setObjectName(u"SshPassphraseBox"_s);
    box.setWindowTitle(u"Kennwort für SSH"_s);
    box.setLabelText(u"Kennwort des privaten Schlüssels %1:"_s.arg(keyFile));
    box.setTextEchoMode(QLineEdit::Password);
    if (auto *field = box.findChild<QLineEdit *>())
        ShowAsBullets(field);
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

// --- the log ------------------------------------------------------------------------

void SessionControl::AddLogLine(const QString &line)
{
    m_parts.log->AddLine(line, m_logLimit);
}

void SessionControl::LogAndPump(const QString &line)
{
    AddLogLine(line);
    TIdAntiFreeze::DoProcessThrottled();
}

void SessionControl::LogTraffic(QString &line)
{
    const TIdFTP &ftp = m_session.Connection;
    line = MaskPasswords(line, {ftp.Password, ftp.Gateway_Password, ftp.SocksInfo.Password});
    for (const QString &reply : SplitReceivedReplies(line))
        AddLogLine(reply);
    TIdAntiFreeze::DoProcessThrottled();
}

void SessionControl::AddConnectionLogLine(const QString &line, int connection)
{
    if (!m_logOn)
        return;
    const TIdFTP &ftp = m_session.Connection;
    const QString masked = MaskPasswords(line, {ftp.Password, ftp.Gateway_Password, ftp.SocksInfo.Password});
    const QString mark = u"  [Verbindung %1]"_s.arg(connection);
    for (const QString &reply : SplitReceivedReplies(masked))
        AddLogLine(reply + mark);
}

bool SessionControl::LogsTraffic() const
{
    return m_logOn && !m_session.Connection.UseSSL;
}

void SessionControl::SetLogging(bool on)
{
    m_logOn = on;
    m_logInterceptor->Active = on;
    m_parts.log->ToggleLogItem->setText(on ? kLogOffCaption : kLogOnCaption);
}

void SessionControl::ToggleLogging()
{
    SetLogging(!m_logOn);
}

void SessionControl::EditConnections()
{
    TVerblist *manager = m_parts.connectionManager();
    if (!manager || m_session.Flags.TransferActive || m_session.Flags.OperationBusy)
        return;
    manager->SetMode(TVerblist::Mode::Manage);
    manager->exec();
}

void SessionControl::SaveLog()
{
    QFileDialog dialog(m_parts.window, u"Log Datei speichern"_s, m_parts.folders->RootFolder());
    dialog.setObjectName(u"SaveLogDialog"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({kTextFilesFilter, kLogFilesFilter});
    dialog.selectNameFilter(kTextFilesFilter);
    dialog.setDefaultSuffix(u"txt"_s);
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &filter) {
        dialog.setDefaultSuffix(filter == kLogFilesFilter ? u"log"_s : u"txt"_s);
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString fileName = dialog.selectedFiles().constFirst();
    if (!WriteLog(fileName))
        m_session.ReportError(u"Die Logdatei %1 konnte nicht geschrieben werden."_s.arg(fileName));
}

bool SessionControl::WriteLog(const QString &fileName) const
{
    QByteArray bytes;
    for (const QString &line : m_parts.log->Lines())
        bytes += line.toUtf8() + "\r\n";
    return SaveFileAtomically(fileName, bytes);
}
