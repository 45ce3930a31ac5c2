#include "tupdatedlg.h"

#include "connectiontreestore.h"
#include "formfields.h"
#include "passwordmask.h"
#include "teeinfdlg.h"
#include "tidantifreeze.h"
#include "tidlogdebug.h"
#include "tinifile.h"
#include "updatesettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace FormFields;

namespace {

const QString kNoConnection = u"Keine Verbindung zum Internet vorhanden"_s;

// Shown as "•" characters, as every password field of the program.
QLineEdit *BulletPasswordEdit(const QString &name)
{
    QLineEdit *edit = PasswordEdit(name);
    ShowAsBullets(edit);
    return edit;
}

QGroupBox *GroupBox(const QString &name, const QString &caption, QLayout *content)
{
    auto *group = Named(new QGroupBox(caption), name);
    group->setLayout(content);
    return group;
}

} // namespace

QString TUpdateDlg::Caption()
{
    return u"Update der FTP Verbindungsliste"_s;
}

TUpdateDlg::TUpdateDlg(const UpdateEnvironment &environment, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_environment(environment)
{
    setObjectName(u"TUpdateDlg"_s);
    setWindowTitle(Caption());

    auto *fields = new QHBoxLayout;
    fields->addWidget(BuildInternetGroup(), 1);
    fields->addWidget(BuildLocalGroup(), 2);

    ProgressBar1 = Named(new QProgressBar, u"ProgressBar1"_s);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ListBox1 = Named(new QListWidget, u"ListBox1"_s);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListBox1->setMinimumHeight(120);
    StatusBar1 = Named(new QStatusBar, u"StatusBar1"_s);
    StatusBar1->setSizeGripEnabled(false);
    for (int panel = 0; panel < 2; ++panel) {
        m_panels[panel] = Named(new QLabel, u"StatusPanel%1"_s.arg(panel));
        StatusBar1->addWidget(m_panels[panel], panel == 0 ? 1 : 2);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(BuildButtons());
    layout->addWidget(ProgressBar1);
    layout->addWidget(ListBox1, 1);
    layout->addWidget(StatusBar1);

    WireDownload();
    ShowStoredProxy();
    resize(760, 560);
}

TUpdateDlg::~TUpdateDlg() = default;

QGroupBox *TUpdateDlg::BuildInternetGroup()
{
    EdtProxy = LineEdit(u"EdtProxy"_s);
    EdtProxyport = LineEdit(u"EdtProxyport"_s);
    CheckBox1 = CheckBox(u"CheckBox1"_s, u"Proxy Authentifikation erforderlich"_s);
    EdtUser = LineEdit(u"EdtUser"_s);
    EdtPass = BulletPasswordEdit(u"EdtPass"_s);
    auto *form = new QFormLayout;
    form->addRow(u"Proxy Server"_s, EdtProxy);
    form->addRow(u"Proxy Port"_s, EdtProxyport);
    form->addRow(CheckBox1);
    form->addRow(u"UserID"_s, EdtUser);
    form->addRow(u"Password"_s, EdtPass);
    QGroupBox *group = GroupBox(u"InternetGroup"_s, u" HTTP  Internetzugang "_s, form);
    m_fieldGroups.append(group);
    return group;
}

QGroupBox *TUpdateDlg::BuildLocalGroup()
{
    auto *columns = new QHBoxLayout;
    columns->addWidget(BuildFirewallGroup(), 3);
    columns->addWidget(BuildSocksGroup(), 2);
    QGroupBox *group = GroupBox(u"LocalGroup"_s, u" Lokale FTP Einstellungen "_s, columns);
    m_fieldGroups.append(group);
    return group;
}

QGroupBox *TUpdateDlg::BuildFirewallGroup()
{
    CheckBox2 = CheckBox(u"CheckBox2"_s, u"Proxy/FireWall verwenden"_s);
    Edit6 = LineEdit(u"Edit6"_s);
    Edit7 = LineEdit(u"Edit7"_s);
    Edit1 = LineEdit(u"Edit1"_s);
    Edit2 = BulletPasswordEdit(u"Edit2"_s);
    ComboBox1 = ComboBox(u"ComboBox1"_s, LoginStyleNames());
    ComboBox1->setCurrentIndex(0);
    CheckBox3 = CheckBox(u"CheckBox3"_s, u"Authentifikation erforderlich"_s);
    auto *form = new QFormLayout;
    form->addRow(CheckBox2);
    form->addRow(u"Proxy Server"_s, Edit6);
    form->addRow(u"Proxy Port"_s, Edit7);
    form->addRow(u"User ID"_s, Edit1);
    form->addRow(u"Password"_s, Edit2);
    form->addRow(u"Art"_s, ComboBox1);
    form->addRow(CheckBox3);
    return GroupBox(u"FirewallGroup"_s, u" Proxy Server / FireWall "_s, form);
}

QGroupBox *TUpdateDlg::BuildSocksGroup()
{
    CheckBox6 = CheckBox(u"CheckBox6"_s, u"Authentifikation erforderlich"_s);
    Edit8 = LineEdit(u"Edit8"_s);
    Edit3 = LineEdit(u"Edit3"_s, u"1080"_s);
    Edit4 = LineEdit(u"Edit4"_s);
    Edit5 = BulletPasswordEdit(u"Edit5"_s);
    auto *form = new QFormLayout;
    form->addRow(CheckBox6);
    form->addRow(u"Host"_s, Edit8);
    form->addRow(u"Port"_s, Edit3);
    form->addRow(u"UserID"_s, Edit4);
    form->addRow(u"Passwort"_s, Edit5);
    return GroupBox(u"SocksGroup"_s, u" Socket "_s, form);
}

QWidget *TUpdateDlg::BuildButtons()
{
    OKBtn = Named(new QPushButton(u"Update starten"_s), u"OKBtn"_s);
    OKBtn->setDefault(true);
    Button1 = Named(new QPushButton(u"Abbrechen"_s), u"Button1"_s);
    Button1->setEnabled(false);
    Button1->setAutoDefault(false);
    CancelBtn = Named(new QPushButton(u"Schliessen"_s), u"CancelBtn"_s);
    CancelBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, &TUpdateDlg::RunListUpdate);
    connect(Button1, &QPushButton::clicked, this, &TUpdateDlg::StopListUpdate);
    connect(CancelBtn, &QPushButton::clicked, this, &TUpdateDlg::reject);

    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    layout->addWidget(OKBtn);
    layout->addWidget(Button1);
    layout->addWidget(CancelBtn);
    return row;
}

void TUpdateDlg::WireDownload()
{
    m_download.Log().LogTime = true;
    m_download.Log().OnLogItem = [this](QString &line) {
        line = MaskCredentials(line, m_logUser, m_logPassword);
        AddLogLine(line);
    };
    m_download.OnStatus = [this](const QString &text) { ShowPanel(1, text); };
    m_download.OnWorkBegin = [this](qint64 expectedSize) {
        ProgressBar1->setRange(0, expectedSize > 0 ? int(expectedSize) : 1);
        ProgressBar1->setValue(0);
    };
    m_download.OnWork = [this](qint64 count) {
        if (count <= ProgressBar1->maximum())
            ProgressBar1->setValue(int(count));
    };
    m_download.OnWorkEnd = [this] { ProgressBar1->setValue(0); };
    m_download.OnActivity = [this](int code) { m_environment.setActivity(code); };
}

void TUpdateDlg::ShowStoredProxy()
{
    const UpdateProxySettings proxy = UpdateProxySettings::Read(TIniFile(m_environment.settingsFile));
    EdtProxy->setText(proxy.server);
    EdtProxyport->setText(proxy.port);
    CheckBox1->setChecked(proxy.authenticate);
    EdtPass->setText(proxy.password);
    EdtUser->setText(proxy.user);
}

QString TUpdateDlg::PanelText(int panel) const
{
    return panel >= 0 && panel < 2 ? m_panels[panel]->text() : QString();
}

void TUpdateDlg::ShowPanel(int panel, const QString &text)
{
    m_panels[panel]->setText(text);
}

// --- the run -------------------------------------------------------------------

void TUpdateDlg::RunListUpdate()
{
    if (m_running)
        return;
    BeginRun();
    const UpdateProxySettings proxy = ProxyFromFields();
    StoreProxySettings(proxy);
    const ListDownload::Result download = DownloadList(proxy.ToHttpProxy());
    const bool failed = download.outcome == ListDownload::Outcome::Failed;
    const bool nothingArrived = !failed && QFileInfo(ListFile()).size() == 0;
    if (failed) {
        AddLogLine(download.error);
        m_environment.showError(download.error);
    } else if (!nothingArrived && !m_stopRequested) {
        MergeList();
    }
    EndRun(nothingArrived);
}

void TUpdateDlg::StopListUpdate()
{
    if (!m_running)
        return;
    m_stopRequested = true;
    m_download.Cancel();
}

void TUpdateDlg::reject()
{
    if (m_running)
        StopListUpdate();
    else
        QDialog::reject();
}

void TUpdateDlg::BeginRun()
{
    m_running = true;
    m_stopRequested = false;
    m_newEntries = 0;
    OKBtn->setEnabled(false);
    CancelBtn->setEnabled(false);
    Button1->setEnabled(true);
    for (QGroupBox *group : std::as_const(m_fieldGroups))
        group->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

UpdateProxySettings TUpdateDlg::ProxyFromFields() const
{
    UpdateProxySettings proxy;
    proxy.server = EdtProxy->text();
    proxy.port = EdtProxyport->text();
    proxy.authenticate = CheckBox1->isChecked();
    proxy.user = EdtUser->text();
    proxy.password = EdtPass->text();
    return proxy;
}

AddedConnectionSettings TUpdateDlg::LocalSettingsFromFields() const
{
    AddedConnectionSettings settings;
    settings.proxyUse = CheckBox2->isChecked();
    settings.proxyServer = Edit6->text();
    settings.proxyPort = Edit7->text();
    settings.proxyAuthenticate = CheckBox3->isChecked();
    settings.proxyUser = Edit1->text();
    settings.proxyPassword = Edit2->text();
    settings.loginStyle = ComboBox1->currentIndex();
    settings.socksUse = CheckBox6->isChecked();
    settings.socksHost = Edit8->text();
    settings.socksPort = Edit3->text();
    settings.socksUser = Edit4->text();
    settings.socksPassword = Edit5->text();
    return settings;
}

void TUpdateDlg::StoreProxySettings(const UpdateProxySettings &proxy) const
{
    TIniFile settings(m_environment.settingsFile);
    proxy.Write(settings);
}

QString TUpdateDlg::ListFile() const
{
    return m_environment.tmpFolder + ListFileName();
}

ListDownload::Result TUpdateDlg::DownloadList(const HttpProxy &proxy)
{
    const QString address = UpdateListAddress(TIniFile(m_environment.settingsFile));
    const std::optional<QUrl> url = UpdateListUrl(address);
    if (!url)
        return {ListDownload::Outcome::Failed, u"Ungültige Adresse der Verbindungsliste: "_s + address};
    QFile target(ListFile());
    if (!CreateEmpty(target))
        return {ListDownload::Outcome::Failed,
                u"Die Datei %1 kann nicht angelegt werden: %2"_s.arg(ListFile(), target.errorString())};

    m_logUser = EdtUser->text().trimmed();
    m_logPassword = EdtPass->text();
    m_download.Log().Active = true;
    const ListDownload::Result result = m_download.Get(*url, proxy, target);
    target.close();
    if (result.outcome == ListDownload::Outcome::Failed)
        target.remove();
    m_environment.setActivity(m_environment.mainSessionConnected() ? 1 : 0);
    m_download.Log().Active = false;
    ProgressBar1->setValue(0);
    return result;
}

// Whatever an earlier run left goes, even when it was made read-only.
bool TUpdateDlg::CreateEmpty(QFile &file)
{
    if (file.exists()) {
        file.setPermissions(file.permissions() | QFile::WriteOwner);
        file.remove();
    }
    return file.open(QIODevice::WriteOnly);
}

void TUpdateDlg::MergeList()
{
    TIniFile list(ListFile());
    if (!IsConnectionList(list))
        return;
    const int entries = int(list.ReadSections().size()) - 1;
    ProgressBar1->setRange(0, qMax(entries, 1));
    ProgressBar1->setValue(0);
    setWindowTitle(windowTitle() + u" - %1 Einträge vorhanden"_s.arg(entries));
    const ConnectionTreeStore tree(m_environment.treeFolder);
    const AddedConnectionSettings settings = LocalSettingsFromFields();
    ConnectionListMerge merge(tree, settings, *this);
    m_newEntries = merge.Run(list);
}

void TUpdateDlg::EndRun(bool nothingArrived)
{
    CancelBtn->setEnabled(true);
    Button1->setEnabled(false);
    QApplication::restoreOverrideCursor();
    // A download the user stopped is no missing connection.
    if (nothingArrived && !m_stopRequested) {
        QMessageBox::warning(this, QString(), kNoConnection);
        m_newEntries = -1;
    }
    m_running = false;
    done(m_stopRequested ? QDialog::Rejected : QDialog::Accepted);
}

// --- the log -------------------------------------------------------------------

void TUpdateDlg::AddLogLine(const QString &line)
{
    if (line.size() < kMaxShownLineLength) {
        while (ListBox1->count() > kMaxLogLines)
            delete ListBox1->takeItem(0);
        ListBox1->addItem(line);
        ListBox1->setCurrentRow(ListBox1->count() - 1);
    }
    TIdAntiFreeze::DoProcessThrottled();
}

// --- what the merge asks -------------------------------------------------------

EntryAnswer TUpdateDlg::AskToAdd(const ListedConnection &entry)
{
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const QPointer<TeeinfDlg> prompt = new TeeinfDlg(this);
    const EntryAnswer answer = prompt->Ask(entry);
    delete prompt;
    QApplication::restoreOverrideCursor();
    return answer;
}

void TUpdateDlg::LogLine(const QString &line)
{
    AddLogLine(line);
}

void TUpdateDlg::SectionHandled(int position, int total, int added)
{
    if (ProgressBar1->value() < ProgressBar1->maximum())
        ProgressBar1->setValue(ProgressBar1->value() + 1);
    ShowPanel(0, u"%1 von %2"_s.arg(position).arg(total));
    ShowPanel(1, u"%1 neue Einträge"_s.arg(added));
}

void TUpdateDlg::ProcessPendingEvents()
{
    QCoreApplication::processEvents();
}
