#include "tpagesdlg.h"

#include "connectiontreestore.h"
#include "formfields.h"
#include "passwordscramble.h"
#include "windowplacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>

using namespace Qt::StringLiterals;
using namespace FormFields;

namespace {

constexpr QStringView kStartUpSection = u"StartUp";
constexpr QStringView kSslPort = u"990";
constexpr QStringView kFtpPort = u"21";
constexpr QStringView kSftpPort = u"22";
const QString kCertificateFilters[] = {
    u"Zertifikate (*.pem *.cer *.crl *.crt *.der *.p12 *.p7b *.p7c *.p7r *.pfx *.pko *.spc *.sst *.stl)"_s,
    u"Alle Dateien (*)"_s,
};

QSpinBox *SpinBox(const QString &name, int minimum, int maximum)
{
    QSpinBox *spin = Named(new QSpinBox, name);
    spin->setRange(minimum, maximum);
    return spin;
}

// A field with a "..." button beside it.
QWidget *WithChooser(QLineEdit *field, QToolButton *button)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    button->setText(u"..."_s);
    layout->addWidget(button);
    return row;
}

QWidget *Row(std::initializer_list<QWidget *> widgets)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *widget : widgets)
        layout->addWidget(widget);
    layout->addStretch(1);
    return row;
}

} // namespace

TPagesDlg::TPagesDlg(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"TPagesDlg"_s);
    setWindowTitle(u"Eigenschaften der Verbindung"_s);
    setModal(true);

    Pages = Named(new QTabWidget, u"Pages"_s);
    Pages->addTab(BuildServerPage(), u"FTP Server"_s);
    SslPage = BuildSslPage();
    Pages->addTab(SslPage, u"SSL"_s);
    ProxyPage = BuildProxyPage();
    Pages->addTab(ProxyPage, u"Proxy / FireWall"_s);
    Pages->addTab(BuildSocksPage(), u"Socket "_s);
    Pages->addTab(BuildCommentPage(), u"Kommentar"_s);

    OKBtn = Named(new QPushButton(u"OK"_s), u"OKBtn"_s);
    OKBtn->setDefault(true);
    OKBtn->setEnabled(false);
    CancelBtn = Named(new QPushButton(u"Abbrechen"_s), u"CancelBtn"_s);
    connect(OKBtn, &QPushButton::clicked, this, &TPagesDlg::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TPagesDlg::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Pages);
    layout->addLayout(buttons);

    ConnectHandlers();
    resize(640, sizeHint().height());
}

QWidget *TPagesDlg::BuildServerPage()
{
    vbname = LineEdit(u"vbname"_s);
    ProtocolBox = ComboBox(u"ProtocolBox"_s, {u"FTP"_s, u"SFTP"_s});
    HostTxt = LineEdit(u"HostTxt"_s);
    PortTxt = LineEdit(u"PortTxt"_s);
    CheckBox4 = CheckBox(u"CheckBox4"_s, u"anonymous"_s);
    UserTxt = LineEdit(u"UserTxt"_s);
    PassTxt = PasswordEdit(u"PassTxt"_s);
    openfolder = LineEdit(u"openfolder"_s);
    CheckBox3 = CheckBox(u"CheckBox3"_s, u"Passive Transfer"_s);
    SpinEdit1 = SpinBox(u"SpinEdit1"_s, 1, 60000);

    auto *connection = new QFormLayout;
    connection->addRow(u"Name"_s, vbname);
    connection->addRow(u"Protokoll"_s, ProtocolBox);
    connection->addRow(u"Host"_s, HostTxt);
    connection->addRow(u"Port"_s, PortTxt);
    connection->addRow(QString(), CheckBox4);
    connection->addRow(u"User ID"_s, UserTxt);
    connection->addRow(u"Password"_s, PassTxt);
    connection->addRow(u"Ordner"_s, openfolder);
    connection->addRow(QString(), CheckBox3);
    connection->addRow(u"Timeout"_s, SpinEdit1);
    connection->addRow(BuildSshKeyGroup());

    CheckBox7 = CheckBox(u"CheckBox7"_s, u"MLSD verwenden, falls unterstützt"_s);
    CheckBox8 = CheckBox(u"CheckBox8"_s, u"Datum / Uhrzeit nicht korrigieren"_s);
    CheckBox9 = CheckBox(u"CheckBox9"_s, u"Zeitdifferenz eingeben"_s);
    Label19 = Named(new QLabel, u"Label19"_s);
    Label19->setMinimumWidth(Label19->fontMetrics().horizontalAdvance(u'+') * 2);
    DateTimePicker1 = Named(new QTimeEdit, u"DateTimePicker1"_s);
    DateTimePicker1->setDisplayFormat(u"HH:mm:ss"_s);
    // Stepping below 00:00 goes on at 23:59 and flips the sign.
    DateTimePicker1->setWrapping(true);
    Edit10 = LineEdit(u"Edit10"_s);
    auto *chooseLocalFolder = Named(new QToolButton, u"LocalFolderButton"_s);
    connect(chooseLocalFolder, &QToolButton::clicked, this, &TPagesDlg::ChooseLocalFolder);
    CheckBox5 = CheckBox(u"CheckBox5"_s, u"Log aufzeichen"_s);
    SpinEdit2 = SpinBox(u"SpinEdit2"_s, 1, 100000);

    auto *options = new QFormLayout;
    options->addRow(CheckBox7);
    options->addRow(CheckBox8);
    options->addRow(CheckBox9);
    options->addRow(Row({Label19, DateTimePicker1}));
    options->addRow(u"Lokaler Startordner"_s, WithChooser(Edit10, chooseLocalFolder));
    options->addRow(CheckBox5);
    options->addRow(u"Max. Einträge"_s, SpinEdit2);

    auto *page = new QWidget;
    auto *layout = new QHBoxLayout(page);
    layout->addLayout(connection, 1);
    layout->addSpacing(12);
    layout->addLayout(options, 1);
    return page;
}

// SFTP logs in with a key besides the password; its passphrase is stored or
// asked for, like the password of the SSL key.
QGroupBox *TPagesDlg::BuildSshKeyGroup()
{
    SshKeyFileEdit = LineEdit(u"SshKeyFileEdit"_s);
    auto *chooseKeyFile = Named(new QToolButton, u"SshKeyFileButton"_s);
    connect(chooseKeyFile, &QToolButton::clicked, this, &TPagesDlg::ChooseSshKeyFile);
    SshKeyPassEdit = PasswordEdit(u"SshKeyPassEdit"_s);
    SshKeyPassaskBox = CheckBox(u"SshKeyPassaskBox"_s, u"Kennwort abfragen"_s);

    SshKeyGroup = Named(new QGroupBox(u"SSH-Schlüssel"_s), u"SshKeyGroup"_s);
    auto *layout = new QFormLayout(SshKeyGroup);
    layout->addRow(u"Privater Schlüssel"_s, WithChooser(SshKeyFileEdit, chooseKeyFile));
    layout->addRow(u"Kennwort"_s, SshKeyPassEdit);
    layout->addRow(SshKeyPassaskBox);
    return SshKeyGroup;
}

QWidget *TPagesDlg::BuildSslPage()
{
    CheckBox14 = CheckBox(u"CheckBox14"_s, u"Verbindung über SSL"_s);
    ExplicitSslCheckBox = CheckBox(u"ExplicitSslCheckBox"_s, u"Explizites SSL (AUTH TLS)"_s);
    txtRootCertificateFile = LineEdit(u"txtRootCertificateFile"_s);
    txtKeyFile = LineEdit(u"txtKeyFile"_s);
    txtCertificateFile = LineEdit(u"txtCertificateFile"_s);
    Edit9 = PasswordEdit(u"Edit9"_s);
    CheckBox10 = CheckBox(u"CheckBox10"_s, u"Kennwort abfragen"_s);
    ComboBox3 =
        ComboBox(u"ComboBox3"_s, {u"X509.SSLv2"_s, u"X509.SSLv23"_s, u"X509.SSLv3"_s, u"X509.TLSv1"_s});
    CheckBox11 = CheckBox(u"CheckBox11"_s, u"Peer"_s);
    CheckBox12 = CheckBox(u"CheckBox12"_s, u"PeerCert"_s);
    CheckBox13 = CheckBox(u"CheckBox13"_s, u"ClientOnce"_s);
    SpinEdit3 = SpinBox(u"SpinEdit3"_s, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());

    const auto chooser = [this](QLineEdit *field, const QString &buttonName, const QString &title) {
        auto *button = Named(new QToolButton, buttonName);
        connect(button, &QToolButton::clicked, this,
                [this, field, title] { ChooseCertificateFile(field, title); });
        return WithChooser(field, button);
    };

    auto *verifyMode = new QGroupBox(u"Verify Mode"_s);
    auto *verifyLayout = new QVBoxLayout(verifyMode);
    verifyLayout->addWidget(CheckBox11);
    verifyLayout->addWidget(CheckBox12);
    verifyLayout->addWidget(CheckBox13);

    auto *page = new QWidget;
    auto *layout = new QFormLayout(page);
    layout->addRow(CheckBox14);
    layout->addRow(ExplicitSslCheckBox);
    layout->addRow(u"Stamm Zertifikat"_s,
                   chooser(txtRootCertificateFile, u"RootCertificateButton"_s, u"Öffentliches Zertifikat"_s));
    layout->addRow(u"Privater Schlüssel"_s, chooser(txtKeyFile, u"KeyFileButton"_s, u"Privater Schlüssel"_s));
    layout->addRow(u"Privates Zertifikat"_s,
                   chooser(txtCertificateFile, u"CertificateButton"_s, u"Privates Zertifikat"_s));
    layout->addRow(u"Kennwort"_s, Edit9);
    layout->addRow(CheckBox10);
    layout->addRow(u"Method"_s, ComboBox3);
    layout->addRow(verifyMode);
    layout->addRow(u"Depth"_s, SpinEdit3);
    return page;
}

QWidget *TPagesDlg::BuildProxyPage()
{
    CheckBox1 = CheckBox(u"CheckBox1"_s, u"Proxy/FireWall verwenden"_s);
    Edit6 = LineEdit(u"Edit6"_s);
    Edit7 = LineEdit(u"Edit7"_s);
    CheckBox2 = CheckBox(u"CheckBox2"_s, u"Authentifikation erforderlich"_s);
    Edit1 = LineEdit(u"Edit1"_s);
    Edit2 = PasswordEdit(u"Edit2"_s);
    ComboBox1 = ComboBox(u"ComboBox1"_s, LoginStyleNames());

    auto *page = new QWidget;
    auto *layout = new QFormLayout(page);
    layout->addRow(CheckBox1);
    layout->addRow(u"Proxy Server"_s, Edit6);
    layout->addRow(u"Proxy Port"_s, Edit7);
    layout->addRow(CheckBox2);
    layout->addRow(u"User ID"_s, Edit1);
    layout->addRow(u"Password"_s, Edit2);
    layout->addRow(u"Art"_s, ComboBox1);
    return page;
}

QWidget *TPagesDlg::BuildSocksPage()
{
    CheckBox6 = CheckBox(u"CheckBox6"_s, u"Authentifikation erforderlich"_s);
    Edit8 = LineEdit(u"Edit8"_s);
    Edit3 = LineEdit(u"Edit3"_s);
    Edit4 = LineEdit(u"Edit4"_s);
    Edit5 = PasswordEdit(u"Edit5"_s);

    auto *page = new QWidget;
    auto *layout = new QFormLayout(page);
    layout->addRow(CheckBox6);
    layout->addRow(u"Host"_s, Edit8);
    layout->addRow(u"Port"_s, Edit3);
    layout->addRow(u"UserID"_s, Edit4);
    layout->addRow(u"Passwort"_s, Edit5);
    return page;
}

QWidget *TPagesDlg::BuildCommentPage()
{
    Memo1 = Named(new QPlainTextEdit, u"Memo1"_s);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(Memo1);
    return page;
}

void TPagesDlg::ConnectHandlers()
{
    connect(vbname, &QLineEdit::textChanged, this, &TPagesDlg::CheckName);
    connect(HostTxt, &QLineEdit::textChanged, this, &TPagesDlg::MirrorHost);
    connect(CheckBox4, &QCheckBox::clicked, this, &TPagesDlg::AnonymousClicked);
    connect(CheckBox5, &QCheckBox::clicked, SpinEdit2, &QSpinBox::setEnabled);
    connect(CheckBox14, &QCheckBox::clicked, this, &TPagesDlg::SslClicked);
    connect(CheckBox14, &QCheckBox::toggled, ExplicitSslCheckBox, &QCheckBox::setEnabled);
    connect(ExplicitSslCheckBox, &QCheckBox::clicked, this, &TPagesDlg::ExplicitSslClicked);
    connect(ProtocolBox, &QComboBox::activated, this, &TPagesDlg::ProtocolChosen);
    connect(DateTimePicker1, &QTimeEdit::timeChanged, this, &TPagesDlg::TimeDifferenceChanged);
    connect(Memo1, &QPlainTextEdit::textChanged, this, &TPagesDlg::CommentChanged);
}

void TPagesDlg::SetTreeFolder(const QString &folder)
{
    m_treeFolder = folder;
}

void TPagesDlg::SetConnection(const QString &name, const QString &groupPath)
{
    m_openedName = name;
    m_groupPath = groupPath;
}

void TPagesDlg::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        FillControls();
        CenterOnScreen(*this);
    }
    QDialog::showEvent(event);
}

// --- filling -----------------------------------------------------------------

void TPagesDlg::FillControls()
{
    m_loading = true;
    m_savedName.clear();
    Memo1->clear();
    vbname->setText(m_openedName);
    Pages->setCurrentIndex(0);
    ConnectionProfile profile;
    if (!m_openedName.isEmpty() && HasTree())
        profile =
            ConnectionTreeStore(m_treeFolder).ReadConnection(m_groupPath, m_openedName).value_or(profile);
    ShowProfile(profile);
    OKBtn->setEnabled(!vbname->text().isEmpty() && HasTree());
    vbname->setFocus();
    m_loading = false;
}

void TPagesDlg::ShowProfile(const ConnectionProfile &profile)
{
    ProtocolBox->setCurrentIndex(int(profile.Protokoll));
    ShowProtocolControls();
    CheckBox4->setChecked(profile.anonymous);
    HostTxt->setText(profile.FTP_Server);
    PortTxt->setText(profile.FTP_Port);
    UserTxt->setText(profile.FTP_User);
    PassTxt->setText(profile.FTP_Pass);
    CheckBox3->setChecked(profile.FTP_Passive);
    CheckBox1->setChecked(profile.Proxy_Use);
    Edit6->setText(profile.Proxy_Server);
    Edit7->setText(profile.Proxy_Port);
    CheckBox2->setChecked(profile.FW_Use);
    Edit1->setText(profile.FW_User);
    Edit2->setText(profile.FW_Pass);
    ComboBox1->setCurrentIndex(profile.FW_Art);
    CheckBox6->setChecked(profile.Socket_Use);
    Edit8->setText(profile.Socket_Host);
    Edit3->setText(profile.Socket_Port);
    Edit4->setText(profile.Socket_User);
    Edit5->setText(profile.Socket_Pass);
    SpinEdit1->setValue(profile.Timeout);
    openfolder->setText(profile.FTPOrdner);
    Edit10->setText(profile.LocalFolder);
    CheckBox5->setChecked(profile.Log);
    SpinEdit2->setValue(profile.Maxentry);
    SpinEdit2->setEnabled(profile.Log);
    CheckBox7->setChecked(profile.MLSD);
    CheckBox8->setChecked(profile.DateTimeNo);
    CheckBox9->setChecked(profile.DateTimeManuel);
    m_timeDifDate = profile.TimeDif.date();
    DateTimePicker1->setTime(profile.TimeDif.time());
    // Compare against what is shown, so that the first step away from 00:00
    // flips the sign like every later one.
    m_timeComparison = DateTimePicker1->time();
    Label19->setText(profile.TimeDifvz);

    CheckBox14->setChecked(profile.ssl);
    ExplicitSslCheckBox->setChecked(profile.SSL_Explicit);
    ExplicitSslCheckBox->setEnabled(profile.ssl);
    txtRootCertificateFile->setText(profile.RootCertificateFile);
    txtKeyFile->setText(profile.KeyFile);
    txtCertificateFile->setText(profile.CertificateFile);
    Edit9->setText(profile.SSLPassword);
    CheckBox10->setChecked(profile.SSLPasswordask);
    ComboBox3->setCurrentIndex(profile.SSLMethod);
    SpinEdit3->setValue(profile.SSLDepth);
    CheckBox11->setChecked(profile.SSLPeer);
    CheckBox12->setChecked(profile.SSLPeerCert);
    CheckBox13->setChecked(profile.SSLClientOnce);

    SshKeyFileEdit->setText(profile.SSH_KeyFile);
    SshKeyPassEdit->setText(profile.SSH_KeyPass);
    SshKeyPassaskBox->setChecked(profile.SSH_KeyPassask);

    Memo1->setPlainText(profile.Comments.join(u'\n'));
}

// --- reading the controls ----------------------------------------------------

ConnectionProfile TPagesDlg::ProfileFromControls() const
{
    ConnectionProfile profile;
    profile.Protokoll = FileProtocol(ProtocolBox->currentIndex());
    profile.anonymous = CheckBox4->isChecked();
    profile.FTP_Server = HostTxt->text();
    profile.FTP_Port = PortTxt->text();
    profile.FTP_User = UserTxt->text();
    profile.FTP_Pass = PassTxt->text();
    profile.FTP_Passive = CheckBox3->isChecked();
    profile.Proxy_Use = CheckBox1->isChecked();
    profile.Proxy_Server = Edit6->text();
    profile.Proxy_Port = Edit7->text();
    profile.FW_Use = CheckBox2->isChecked();
    profile.FW_User = Edit1->text();
    profile.FW_Pass = Edit2->text();
    profile.FW_Art = ComboBox1->currentIndex();
    profile.Socket_Use = CheckBox6->isChecked();
    profile.Socket_Host = Edit8->text();
    profile.Socket_Port = Edit3->text();
    profile.Socket_User = Edit4->text();
    profile.Socket_Pass = Edit5->text();
    profile.Timeout = SpinEdit1->value();
    profile.FTPOrdner = openfolder->text();
    profile.LocalFolder = Edit10->text();
    profile.Log = CheckBox5->isChecked();
    profile.Maxentry = SpinEdit2->value();
    profile.MLSD = CheckBox7->isChecked();
    profile.DateTimeNo = CheckBox8->isChecked();
    profile.DateTimeManuel = CheckBox9->isChecked();
    profile.TimeDif = ManualTimeDifference(m_timeDifDate, DateTimePicker1->time());
    profile.TimeDifvz = Label19->text();
    profile.ssl = CheckBox14->isChecked();
    profile.SSL_Explicit = ExplicitSslCheckBox->isChecked();
    profile.RootCertificateFile = txtRootCertificateFile->text();
    profile.KeyFile = txtKeyFile->text();
    profile.CertificateFile = txtCertificateFile->text();
    profile.SSLPassword = Edit9->text();
    profile.SSLPasswordask = CheckBox10->isChecked();
    profile.SSLMethod = ComboBox3->currentIndex();
    profile.SSLDepth = SpinEdit3->value();
    profile.SSLPeer = CheckBox11->isChecked();
    profile.SSLPeerCert = CheckBox12->isChecked();
    profile.SSLClientOnce = CheckBox13->isChecked();
    profile.SSH_KeyFile = SshKeyFileEdit->text();
    profile.SSH_KeyPass = SshKeyPassEdit->text();
    profile.SSH_KeyPassask = SshKeyPassaskBox->isChecked();
    // Empty lines stay in place: their keys are removed, the numbering holds.
    profile.Comments = CommentLines().mid(0, kMaxCommentLines);
    return profile;
}

QStringList TPagesDlg::CommentLines() const
{
    return Memo1->toPlainText().split(u'\n');
}

QLineEdit *TPagesDlg::OverlongPasswordField() const
{
    const bool sftp = FileProtocol(ProtocolBox->currentIndex()) == FileProtocol::Sftp;
    for (QLineEdit *field : {PassTxt, Edit2, Edit5, Edit9, SshKeyPassEdit}) {
        // An FTP profile stores no key passphrase.
        if (field == SshKeyPassEdit && !sftp)
            continue;
        if (!PasswordFitsStorage(field->text()))
            return field;
    }
    return nullptr;
}

QLineEdit *TPagesDlg::PortFieldBeyondRange() const
{
    for (QLineEdit *field : {PortTxt, Edit7, Edit3}) {
        if (IsPortBeyondRange(field->text()))
            return field;
    }
    return nullptr;
}

void TPagesDlg::Refuse(QLineEdit *field, const QString &warning)
{
    QMessageBox::warning(this, QString(), warning);
    for (QWidget *page = field->parentWidget(); page; page = page->parentWidget()) {
        if (const int index = Pages->indexOf(page); index >= 0) {
            // A page SFTP hides is stored all the same: it must be shown to be corrected.
            Pages->setTabVisible(index, true);
            Pages->setCurrentIndex(index);
        }
    }
    field->setFocus();
}

// --- handlers ------------------------------------------------------------------

void TPagesDlg::CheckName()
{
    if (m_loading)
        return;
    const QString name = vbname->text();
    const auto sameName = [](const QString &a, QStringView b) {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    };
    const bool takenByAnother = HasTree() && !sameName(name, m_openedName) &&
                                ConnectionTreeStore(m_treeFolder).ConnectionExists(m_groupPath, name);
    // A name of blanks only cannot be renamed later either.
    OKBtn->setEnabled(HasTree() && !name.trimmed().isEmpty() && !sameName(name, kStartUpSection) &&
                      !takenByAnother);
}

void TPagesDlg::MirrorHost(const QString &host)
{
    if (!m_loading && m_openedName.isEmpty())
        vbname->setText(host);
}

void TPagesDlg::AnonymousClicked(bool checked)
{
    if (m_loading)
        return;
    if (checked) {
        UserTxt->setText(kAnonymousUser.toString());
        PassTxt->setText(kAnonymousPassword.toString());
    } else {
        PassTxt->clear();
    }
}

// Implicit TLS has a port of its own; explicit TLS starts on the plain one.
void TPagesDlg::SslClicked(bool checked)
{
    if (!m_loading)
        PortTxt->setText((checked && !ExplicitSslCheckBox->isChecked() ? kSslPort : kFtpPort).toString());
}

void TPagesDlg::ExplicitSslClicked()
{
    SslClicked(CheckBox14->isChecked());
}

// Each protocol has its usual port: a port left at the one of the other
// protocol follows the choice, any other port was chosen on purpose.
void TPagesDlg::ProtocolChosen(int index)
{
    if (m_loading)
        return;
    const bool sftp = FileProtocol(index) == FileProtocol::Sftp;
    const QString port = PortTxt->text().trimmed();
    if (sftp && port == kFtpPort)
        PortTxt->setText(kSftpPort.toString());
    else if (!sftp && port == kSftpPort)
        PortTxt->setText(kFtpPort.toString());
    ShowProtocolControls();
}

// Passive mode, MLSD, the FTP proxy's login styles and TLS belong to FTP;
// the key file to SFTP.
void TPagesDlg::ShowProtocolControls()
{
    const bool sftp = FileProtocol(ProtocolBox->currentIndex()) == FileProtocol::Sftp;
    CheckBox3->setVisible(!sftp);
    CheckBox7->setVisible(!sftp);
    SshKeyGroup->setVisible(sftp);
    Pages->setTabVisible(Pages->indexOf(SslPage), !sftp);
    Pages->setTabVisible(Pages->indexOf(ProxyPage), !sftp);
}

void TPagesDlg::TimeDifferenceChanged(const QTime &time)
{
    if (m_loading)
        return;
    constexpr int kLastMillisecond = 24 * 60 * 60 * 1000 - 1;
    const int comparison = m_timeComparison.msecsSinceStartOfDay();
    if (comparison <= 1 || comparison >= kLastMillisecond)
        Label19->setText(Label19->text() == u"-"_s ? u"+"_s : u"-"_s);
    m_timeComparison = time;
}

void TPagesDlg::CommentChanged()
{
    if (!m_loading && CommentLines().size() > kMaxCommentLines)
        QApplication::beep();
}

void TPagesDlg::ChooseCertificateFile(QLineEdit *field, const QString &title)
{
    ChooseFile(field, title, {std::begin(kCertificateFilters), std::end(kCertificateFilters)}, QString());
}

// Keys have no common file name extension; they usually live in ~/.ssh,
// which the file dialog would not show, being hidden.
void TPagesDlg::ChooseSshKeyFile()
{
    ChooseFile(SshKeyFileEdit, u"Privater Schlüssel"_s, {u"Alle Dateien (*)"_s},
               QDir::home().filePath(u".ssh"_s));
}

void TPagesDlg::ChooseFile(QLineEdit *field, const QString &title, const QStringList &filters,
                           const QString &startFolder)
{
    QFileDialog dialog(this, title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (!field->text().isEmpty())
        dialog.setDirectory(QFileInfo(field->text()).absolutePath());
    else if (!startFolder.isEmpty() && QFileInfo(startFolder).isDir())
        dialog.setDirectory(startFolder);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        field->setText(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
}

void TPagesDlg::ChooseLocalFolder()
{
    QFileDialog dialog(this, u"Lokaler Startordner"_s, Edit10->text());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        Edit10->setText(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
}

// --- saving ------------------------------------------------------------------

void TPagesDlg::accept()
{
    if (!OKBtn->isEnabled())
        return;
    if (QLineEdit *field = OverlongPasswordField()) {
        // Cutting a password would store one that no longer works.
        Refuse(field, u"Das Kennwort ist zu lang. Gespeichert werden können höchstens %1 Bytes."_s.arg(
                          kMaxPasswordBytes));
        return;
    }
    if (QLineEdit *field = PortFieldBeyondRange()) {
        Refuse(field, u"Ein Port kann höchstens %1 sein."_s.arg(kHighestPort));
        return;
    }
    m_loading = true;
    const std::optional<QString> saved =
        ConnectionTreeStore(m_treeFolder)
            .SaveConnection(m_groupPath, m_openedName, vbname->text(), ProfileFromControls());
    m_loading = false;
    if (!saved) {
        QMessageBox::warning(this, QString(), u"Die Verbindung konnte nicht gespeichert werden."_s);
        return;
    }
    m_savedName = *saved;
    QDialog::accept();
}
