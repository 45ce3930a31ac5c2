#include "connectionprofile.h"
#include "modalanswer.h"
#include "passwordscramble.h"
#include "tinifile.h"
#include "tpagesdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include <ctime>

using namespace Qt::StringLiterals;

namespace {

QByteArray Lines(const QList<QByteArray> &lines)
{
    QByteArray text;
    for (const QByteArray &line : lines)
        text += line + "\r\n";
    return text;
}

// A profile with every key set, as the dialog writes it back unchanged.
const QList<QByteArray> kFullProfile = {
    "[Web]",
    "Comment1=zweite Zeile",
    "Comment0=erste Zeile",
    "SSLClientOnce=-1",
    "SSLPeerCert=0",
    "SSLPeer=-1",
    "SSLDepth=3",
    "SSLMethod=3",
    "SSLPasswordask=-1",
    "SSLPassword=eftRliY=",
    "CertificateFile=/etc/ssl/client.pem",
    "KeyFile=/etc/ssl/client.key",
    "RootCertificateFile=/etc/ssl/root.pem",
    "SSL_Explicit=-1",
    "ssl=-1",
    "TimeDifvz=+",
    "TimeDif=01.03.2024 02:15:00",
    "DateTimeManuel=-1",
    "DateTimeNo=0",
    "MLSD=-1",
    "Maxentry=250",
    "Log=-1",
    "LocalFolder=/home/ich",
    "FTPOrdner=/pub",
    "Timeout=9000",
    "Socket_Pass=eftRliY=",
    "Socket_User=sockuser",
    "Socket_Port=1081",
    "Socket_Host=socks.lan",
    "Socket_Use=-1",
    "FW_Art=4",
    "FW_Pass=eftRliY=",
    "FW_User=fw",
    "FW_Use=-1",
    "Proxy_Port=8021",
    "Proxy_Server=proxy.lan",
    "Proxy_Use=-1",
    "FTP_Passive=-1",
    "FTP_Pass=eutq31bc",
    "FTP_User=alt",
    "FTP_Port=2121",
    "FTP_Server=ftp.example.org",
    "anonymous=0",
    "Extra=bleibt",
};

const QList<QByteArray> kMailSection = {"", "[Mail]", "FTP_Server=mail.example.org"};

} // namespace

class PagesDlgTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->filePath(u"Inhaltsverzeichnis"_s);
        QVERIFY(QDir().mkpath(m_root + u"/G"_s));
        m_dialog = std::make_unique<TPagesDlg>();
    }

    void cleanup()
    {
        m_dialog.reset();
        qunsetenv("TZ");
        tzset();
    }

    void everyControlIsThere_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"vbname",
                                 "HostTxt",
                                 "PortTxt",
                                 "CheckBox4",
                                 "UserTxt",
                                 "PassTxt",
                                 "openfolder",
                                 "CheckBox3",
                                 "SpinEdit1",
                                 "CheckBox7",
                                 "CheckBox8",
                                 "CheckBox9",
                                 "Label19",
                                 "DateTimePicker1",
                                 "Edit10",
                                 "CheckBox5",
                                 "SpinEdit2",
                                 "SshKeyFileEdit",
                                 "SshKeyFileButton",
                                 "SshKeyPassEdit",
                                 "SshKeyPassaskBox",
                                 "CheckBox14",
                                 "ExplicitSslCheckBox",
                                 "txtRootCertificateFile",
                                 "txtKeyFile",
                                 "txtCertificateFile",
                                 "Edit9",
                                 "CheckBox10",
                                 "ComboBox3",
                                 "CheckBox11",
                                 "CheckBox12",
                                 "CheckBox13",
                                 "SpinEdit3",
                                 "CheckBox1",
                                 "Edit6",
                                 "Edit7",
                                 "CheckBox2",
                                 "Edit1",
                                 "Edit2",
                                 "ComboBox1",
                                 "CheckBox6",
                                 "Edit8",
                                 "Edit3",
                                 "Edit4",
                                 "Edit5",
                                 "Memo1",
                                 "OKBtn",
                                 "CancelBtn"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void everyControlIsThere()
    {
        QFETCH(QString, name);
        QVERIFY(m_dialog->findChild<QWidget *>(name));
        QCOMPARE(m_dialog->windowTitle(), u"Eigenschaften der Verbindung"_s);
    }

    void newConnectionIsSavedInKeyOrder()
    {
        Open(QString(), QString());
        QVERIFY(!Button("OKBtn")->isEnabled());
        QTest::keyClicks(Edit("HostTxt"), u"ftp.example.org"_s);
        QCOMPARE(Edit("vbname")->text(), u"ftp.example.org"_s);
        QVERIFY(Button("OKBtn")->isEnabled());

        Edit("UserTxt")->setText(u"ich"_s);
        Edit("PassTxt")->setText(u"geheim"_s);
        Check("CheckBox3")->click();
        Spin("SpinEdit1")->setValue(7000);
        Edit("openfolder")->setText(u"/pub"_s);
        Edit("Edit10")->setText(u"/home/ich"_s);
        Check("CheckBox5")->click();
        QVERIFY(!Spin("SpinEdit2")->isEnabled());
        Check("CheckBox7")->click();
        Check("CheckBox1")->click();
        Edit("Edit6")->setText(u"proxy.lan"_s);
        Edit("Edit7")->setText(u"8021"_s);
        Check("CheckBox2")->click();
        Edit("Edit1")->setText(u"fw"_s);
        Edit("Edit2")->setText(u"fw-pw"_s);
        Combo("ComboBox1")->setCurrentIndex(2);
        Edit("Edit8")->setText(u"socks.lan"_s);
        Memo()->setPlainText(u"Zeile 1\nZeile 2"_s);
        Button("OKBtn")->click();

        QVERIFY(m_dialog->isHidden());
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QCOMPARE(m_dialog->ConnectionName(), u"ftp.example.org"_s);
        const QByteArray today = QLocale().toString(QDate::currentDate(), u"dd.MM.yyyy"_s).toLatin1();
        // New keys go directly under the header, so the last written is first.
        QCOMPARE(Read(u"inhalt.ini"_s), Lines({"",
                                               "[ftp.example.org]",
                                               "Comment1=Zeile 2",
                                               "Comment0=Zeile 1",
                                               "SSLClientOnce=0",
                                               "SSLPeerCert=0",
                                               "SSLPeer=0",
                                               "SSLDepth=0",
                                               "SSLMethod=1",
                                               "SSLPasswordask=0",
                                               "SSL_Explicit=0",
                                               "ssl=0",
                                               "TimeDifvz=-",
                                               "TimeDif=" + today,
                                               "DateTimeManuel=0",
                                               "DateTimeNo=0",
                                               "MLSD=-1",
                                               "Maxentry=1000",
                                               "Log=0",
                                               "LocalFolder=/home/ich",
                                               "FTPOrdner=/pub",
                                               "Timeout=7000",
                                               "Socket_Port=1080",
                                               "Socket_Host=socks.lan",
                                               "Socket_Use=0",
                                               "FW_Art=2",
                                               "FW_Pass=eftRliY=",
                                               "FW_User=fw",
                                               "FW_Use=-1",
                                               "Proxy_Port=8021",
                                               "Proxy_Server=proxy.lan",
                                               "Proxy_Use=-1",
                                               "FTP_Passive=-1",
                                               "FTP_Pass=eutq31bc",
                                               "FTP_User=ich",
                                               "FTP_Port=21",
                                               "FTP_Server=ftp.example.org",
                                               "anonymous=0"}));
    }

    void nameCheck_data()
    {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("okEnabled");
        QTest::newRow("empty") << u"Web"_s << QString() << false;
        QTest::newRow("blanks only") << QString() << u"   "_s << false;
        QTest::newRow("startup") << u"Web"_s << u"startup"_s << false;
        QTest::newRow("STARTUP, new connection") << QString() << u"STARTUP"_s << false;
        QTest::newRow("another connection's name") << u"Web"_s << u"mail"_s << false;
        QTest::newRow("taken name for a new connection") << QString() << u"web"_s << false;
        QTest::newRow("own name in other case") << u"Web"_s << u"WEB"_s << true;
        QTest::newRow("free name") << u"Web"_s << u"Neu"_s << true;
    }

    void nameCheck()
    {
        QFETCH(QString, opened);
        QFETCH(QString, typed);
        QFETCH(bool, okEnabled);
        Write(u"G/inhalt.ini"_s, Lines({"[Web]", "FTP_Server=w", "", "[Mail]", "FTP_Server=m"}));
        Open(opened, u"G/"_s);
        QCOMPARE(Button("OKBtn")->isEnabled(), !opened.isEmpty());
        Edit("vbname")->setText(typed);
        QCOMPARE(Button("OKBtn")->isEnabled(), okEnabled);
    }

    void hostIsMirroredIntoNewNamesOnly_data()
    {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("nameAfter");
        QTest::newRow("new connection") << QString() << u"neu.example.org"_s;
        QTest::newRow("existing connection") << u"Web"_s << u"Web"_s;
    }

    void hostIsMirroredIntoNewNamesOnly()
    {
        QFETCH(QString, opened);
        QFETCH(QString, nameAfter);
        Write(u"inhalt.ini"_s, Lines(kFullProfile));
        Open(opened, QString());
        Edit("HostTxt")->clear();
        QTest::keyClicks(Edit("HostTxt"), u"neu.example.org"_s);
        QCOMPARE(Edit("vbname")->text(), nameAfter);
    }

    void editingKeepsEveryOtherKey()
    {
        const QByteArray original = Lines(kFullProfile) + Lines(kMailSection);
        Write(u"G/inhalt.ini"_s, original);
        Open(u"Web"_s, u"G/"_s);

        QCOMPARE(Edit("PortTxt")->text(), u"2121"_s);
        QVERIFY(Check("CheckBox14")->isChecked());
        QVERIFY(Check("ExplicitSslCheckBox")->isChecked() && Check("ExplicitSslCheckBox")->isEnabled());
        QCOMPARE(Spin("SpinEdit3")->value(), 3);
        QCOMPARE(Combo("ComboBox3")->currentText(), u"X509.TLSv1"_s);
        QCOMPARE(Combo("ComboBox1")->currentText(), u"PROXY OPEN remote_host:port"_s);
        QCOMPARE(Edit("PassTxt")->text(), u"geheim"_s);
        QCOMPARE(Edit("Edit5")->text(), u"fw-pw"_s);
        QCOMPARE(Label("Label19")->text(), u"+"_s);
        QCOMPARE(Picker()->time(), QTime(2, 15));
        QCOMPARE(Memo()->toPlainText(), u"erste Zeile\nzweite Zeile"_s);
        QVERIFY(Edit("PassTxt")->echoMode() == QLineEdit::Password);

        Edit("UserTxt")->setText(u"neu"_s);
        Button("OKBtn")->click();
        QCOMPARE(m_dialog->ConnectionName(), u"Web"_s);
        QCOMPARE(Read(u"G/inhalt.ini"_s), QByteArray(original).replace("FTP_User=alt", "FTP_User=neu"));

        // The next new connection starts from the defaults again.
        Open(QString(), u"G/"_s);
        QVERIFY(!Check("CheckBox14")->isChecked());
        QVERIFY(!Check("ExplicitSslCheckBox")->isChecked() && !Check("ExplicitSslCheckBox")->isEnabled());
        QVERIFY(Edit("txtKeyFile")->text().isEmpty());
        QVERIFY(Edit("Edit9")->text().isEmpty());
        QCOMPARE(Combo("ComboBox3")->currentText(), u"X509.SSLv23"_s);
        QCOMPARE(Spin("SpinEdit3")->value(), 0);
        QCOMPARE(Edit("PortTxt")->text(), u"21"_s);
        QCOMPARE(Edit("Edit3")->text(), u"1080"_s);
        QVERIFY(Edit("Edit7")->text().isEmpty());
        QCOMPARE(Label("Label19")->text(), u"-"_s);
        QVERIFY(Memo()->toPlainText().isEmpty());
    }

    void renameLeavesOneSection_data()
    {
        QTest::addColumn<QString>("newName");
        QTest::newRow("other name") << u"Neu"_s;
        QTest::newRow("other letter case") << u"web"_s;
    }

    void renameLeavesOneSection()
    {
        QFETCH(QString, newName);
        Write(u"G/inhalt.ini"_s, Lines(kFullProfile) + Lines(kMailSection));
        Open(u"Web"_s, u"G/"_s);
        Edit("vbname")->setText(newName);
        Button("OKBtn")->click();
        QCOMPARE(m_dialog->ConnectionName(), newName);
        const TIniFile ini(m_root + u"/G/inhalt.ini"_s);
        QCOMPARE(ini.ReadSections(), (QStringList{u"Mail"_s, newName}));
        QCOMPARE(ini.ReadString(newName, u"FTP_Port"_s, QString()), u"2121"_s);
    }

    void commentLinesAreNumbered_data()
    {
        QTest::addColumn<QString>("comment");
        QTest::addColumn<int>("storedLines");
        QTest::newRow("three lines and an empty one") << u"eins\nzwei\ndrei\n"_s << 3;
        QString longComment;
        for (int line = 0; line < 105; ++line)
            longComment += u"Zeile %1\n"_s.arg(line);
        QTest::newRow("more lines than can be stored") << longComment << kMaxCommentLines;
    }

    void commentLinesAreNumbered()
    {
        QFETCH(QString, comment);
        QFETCH(int, storedLines);
        Write(u"inhalt.ini"_s, Lines({"[Web]", "FTP_Server=w", "Comment0=a", "Comment4=e", "Comment5=f"}));
        Open(u"Web"_s, QString());
        Memo()->setPlainText(comment);
        Button("OKBtn")->click();
        const TIniFile ini(m_root + u"/inhalt.ini"_s);
        const QStringList lines = comment.split(u'\n');
        for (int line = 0; line < 110; ++line) {
            const QString stored = ini.ReadString(u"Web"_s, u"Comment%1"_s.arg(line), QString());
            QCOMPARE(stored, line < storedLines ? lines.at(line) : QString());
        }
    }

    void anonymousFillsTheLogin()
    {
        Open(QString(), QString());
        Edit("UserTxt")->setText(u"ich"_s);
        Edit("PassTxt")->setText(u"geheim"_s);
        Check("CheckBox4")->click();
        QCOMPARE(Edit("UserTxt")->text(), u"anonymous"_s);
        QCOMPARE(Edit("PassTxt")->text(), kAnonymousPassword.toString());
        Check("CheckBox4")->click();
        QCOMPARE(Edit("UserTxt")->text(), u"anonymous"_s);
        QVERIFY(Edit("PassTxt")->text().isEmpty());
    }

    // Implicit TLS has port 990; explicit TLS, like plain FTP, port 21.
    void sslClicksSwitchThePort()
    {
        Open(QString(), QString());
        const auto click = [this](const char *box) {
            Check(box)->click();
            return Edit("PortTxt")->text();
        };
        QCOMPARE(click("CheckBox14"), u"990"_s);
        QVERIFY(Check("ExplicitSslCheckBox")->isEnabled());
        QCOMPARE(click("ExplicitSslCheckBox"), u"21"_s);
        QCOMPARE(click("CheckBox14"), u"21"_s);
        QVERIFY(!Check("ExplicitSslCheckBox")->isEnabled());
        QCOMPARE(click("CheckBox14"), u"21"_s);
        QCOMPARE(click("ExplicitSslCheckBox"), u"990"_s);
        QCOMPARE(click("CheckBox14"), u"21"_s);
    }

    // SFTP suggests its own port in place of FTP's, and FTP's again when
    // switched back; a port chosen on purpose stays.
    void protocolChoiceSuggestsThePort_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("sftpPort");
        QTest::newRow("FTP's port") << u"21"_s << u"22"_s;
        QTest::newRow("a port of its own") << u"2222"_s << u"2222"_s;
        QTest::newRow("implicit TLS") << u"990"_s << u"990"_s;
    }

    void protocolChoiceSuggestsThePort()
    {
        QFETCH(QString, port);
        QFETCH(QString, sftpPort);
        Open(QString(), QString());
        VerifyProtocolControls(false);
        Edit("PortTxt")->setText(port);
        ChooseProtocol(u"SFTP"_s);
        QCOMPARE(Edit("PortTxt")->text(), sftpPort);
        VerifyProtocolControls(true);
        ChooseProtocol(u"FTP"_s);
        QCOMPARE(Edit("PortTxt")->text(), port);
        VerifyProtocolControls(false);
    }

    // An old profile reads as FTP; chosen SFTP and its key are stored and
    // shown again; back to FTP the section is exactly what it was.
    void sftpSettingsAreKept()
    {
        const QByteArray original = Lines(kFullProfile) + Lines(kMailSection);
        Write(u"G/inhalt.ini"_s, original);
        Open(u"Web"_s, u"G/"_s);
        QCOMPARE(Combo("ProtocolBox")->currentText(), u"FTP"_s);
        VerifyProtocolControls(false);

        ChooseProtocol(u"SFTP"_s);
        QCOMPARE(Edit("PortTxt")->text(), u"2121"_s);
        Edit("SshKeyFileEdit")->setText(u"/home/ich/.ssh/id_ed25519"_s);
        Edit("SshKeyPassEdit")->setText(u"Schlüssel"_s);
        QVERIFY(Edit("SshKeyPassEdit")->echoMode() == QLineEdit::Password);
        Check("SshKeyPassaskBox")->click();
        Button("OKBtn")->click();
        QVERIFY(m_dialog->isHidden());
        {
            const TIniFile ini(m_root + u"/G/inhalt.ini"_s);
            QCOMPARE(ini.ReadString(u"Web"_s, u"Protokoll"_s, QString()), u"SFTP"_s);
            QCOMPARE(ini.ReadString(u"Web"_s, u"SSH_KeyFile"_s, QString()), u"/home/ich/.ssh/id_ed25519"_s);
            const QString scrambled = ini.ReadString(u"Web"_s, u"SSH_KeyPass"_s, QString());
            QVERIFY(scrambled != u"Schlüssel"_s);
            QCOMPARE(UnscramblePassword(scrambled), u"Schlüssel"_s);
            QCOMPARE(ini.ReadString(u"Web"_s, u"SSH_KeyPassask"_s, QString()), u"-1"_s);
            QVERIFY(!ini.ValueExists(u"Mail"_s, u"Protokoll"_s));
        }

        Open(u"Web"_s, u"G/"_s);
        QCOMPARE(Combo("ProtocolBox")->currentText(), u"SFTP"_s);
        VerifyProtocolControls(true);
        QCOMPARE(Edit("PortTxt")->text(), u"2121"_s);
        QCOMPARE(Edit("SshKeyFileEdit")->text(), u"/home/ich/.ssh/id_ed25519"_s);
        QCOMPARE(Edit("SshKeyPassEdit")->text(), u"Schlüssel"_s);
        QVERIFY(Check("SshKeyPassaskBox")->isChecked());
        // The FTP settings stayed behind the hidden controls.
        QVERIFY(Check("CheckBox14")->isChecked() && Check("CheckBox3")->isChecked());

        ChooseProtocol(u"FTP"_s);
        Button("OKBtn")->click();
        QCOMPARE(Read(u"G/inhalt.ini"_s), original);
    }

    void timeDifferenceSignFlipsThroughZero()
    {
        Open(QString(), QString());
        Edit("vbname")->setText(u"Web"_s);
        QTimeEdit *picker = Picker();
        picker->setCurrentSection(QDateTimeEdit::HourSection);
        QCOMPARE(Label("Label19")->text(), u"-"_s);
        picker->stepBy(1);
        QCOMPARE(picker->time(), QTime(1, 0));
        QCOMPARE(Label("Label19")->text(), u"+"_s);
        picker->stepBy(-1);
        QCOMPARE(Label("Label19")->text(), u"+"_s);
        picker->stepBy(-1);
        QCOMPARE(picker->time(), QTime(23, 0));
        QCOMPARE(Label("Label19")->text(), u"-"_s);
        picker->stepBy(1);
        QCOMPARE(Label("Label19")->text(), u"-"_s);
        picker->stepBy(1);
        QCOMPARE(Label("Label19")->text(), u"+"_s);
        Button("OKBtn")->click();
        const TIniFile ini(m_root + u"/inhalt.ini"_s);
        QCOMPARE(ini.ReadString(u"Web"_s, u"TimeDifvz"_s, QString()), u"+"_s);
        QCOMPARE(ini.ReadDateTime(u"Web"_s, u"TimeDif"_s, QDateTime()),
                 QDateTime(QDate::currentDate(), QTime(1, 0)));
    }

    // On the day the clock springs from 02:00 to 03:00 a difference of 02:30
    // is no local time, but it is a valid difference.
    void timeDifferenceOnTheSpringDaylightSavingDay()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        Write(u"inhalt.ini"_s, Lines({"[Web]", "FTP_Server=w", "TimeDif=31.03.2024 02:30:00"}));
        Open(u"Web"_s, QString());
        QCOMPARE(Picker()->time(), QTime(2, 30));
        Picker()->setTime(QTime(2, 45));
        Button("OKBtn")->click();
        const TIniFile ini(m_root + u"/inhalt.ini"_s);
        QCOMPARE(ini.ReadString(u"Web"_s, u"TimeDif"_s, QString()), u"31.03.2024 02:45:00"_s);
    }

    void overlongPasswordsAreRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("stored");
        QTest::newRow("384 bytes") << u"PassTxt"_s << QString(384, u'x') << u"FTP_Pass"_s << true;
        QTest::newRow("385 bytes") << u"PassTxt"_s << QString(385, u'x') << u"FTP_Pass"_s << false;
        // Beyond Windows-1252 a password is stored as a 3-byte mark and UTF-8.
        QTest::newRow("190 two-byte characters and a letter")
            << u"Edit2"_s << QString(190, u'Ж') + u'x' << u"FW_Pass"_s << true;
        QTest::newRow("191 two-byte characters") << u"Edit2"_s << QString(191, u'Ж') << u"FW_Pass"_s << false;
        QTest::newRow("SOCKS") << u"Edit5"_s << QString(400, u'x') << u"Socket_Pass"_s << false;
        QTest::newRow("key password") << u"Edit9"_s << QString(512, u'x') << u"SSLPassword"_s << false;
    }

    void overlongPasswordsAreRefused()
    {
        QFETCH(QString, field);
        QFETCH(QString, password);
        QFETCH(QString, key);
        QFETCH(bool, stored);
        Open(QString(), QString());
        Edit("vbname")->setText(u"Web"_s);
        Edit(field.toLatin1().constData())->setText(password + u"zuviel"_s.repeated(100));
        QCOMPARE(Edit(field.toLatin1().constData())->text().size(), kMaxScrambledLength);
        Edit(field.toLatin1().constData())->setText(password);

        const QString warning = PressOk();
        if (!stored) {
            QVERIFY(warning.contains(u"384"_s));
            VerifyRefusedAt(field);
            return;
        }
        QVERIFY(warning.isEmpty() && m_dialog->isHidden());
        const TIniFile ini(m_root + u"/inhalt.ini"_s);
        QCOMPARE(UnscramblePassword(ini.ReadString(u"Web"_s, key, QString())), password);
    }

    // A socket port has 16 bits: 70000 would reach port 4464.
    void portsBeyondTheRangeAreRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("stored");
        QTest::newRow("FTP port 70000") << u"PortTxt"_s << u"70000"_s << u"FTP_Port"_s << false;
        QTest::newRow("FTP port 65535") << u"PortTxt"_s << u"65535"_s << u"FTP_Port"_s << true;
        QTest::newRow("FTP port no number") << u"PortTxt"_s << u"ftp"_s << u"FTP_Port"_s << true;
        QTest::newRow("proxy port 65536") << u"Edit7"_s << u"65536"_s << u"Proxy_Port"_s << false;
        QTest::newRow("SOCKS port 99999") << u"Edit3"_s << u" 99999"_s << u"Socket_Port"_s << false;
    }

    void portsBeyondTheRangeAreRefused()
    {
        QFETCH(QString, field);
        QFETCH(QString, port);
        QFETCH(QString, key);
        QFETCH(bool, stored);
        Open(QString(), QString());
        Edit("vbname")->setText(u"Web"_s);
        Edit(field.toLatin1().constData())->setText(port);

        const QString warning = PressOk();
        if (!stored) {
            QVERIFY(warning.contains(u"65535"_s));
            VerifyRefusedAt(field);
            return;
        }
        QVERIFY(warning.isEmpty() && m_dialog->isHidden());
        QCOMPARE(TIniFile(m_root + u"/inhalt.ini"_s).ReadString(u"Web"_s, key, QString()), port);
    }

    void choosersFillTheirFields_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("title");
        QTest::newRow("root certificate")
            << u"RootCertificateButton"_s << u"txtRootCertificateFile"_s << u"Öffentliches Zertifikat"_s;
        QTest::newRow("key") << u"KeyFileButton"_s << u"txtKeyFile"_s << u"Privater Schlüssel"_s;
        QTest::newRow("certificate") << u"CertificateButton"_s << u"txtCertificateFile"_s
                                     << u"Privates Zertifikat"_s;
        QTest::newRow("local folder") << u"LocalFolderButton"_s << u"Edit10"_s << QString();
    }

    void choosersFillTheirFields()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(QString, title);
        const bool folder = title.isEmpty();
        const QString chosen = m_dir->filePath(folder ? u"Start"_s : u"client.pem"_s);
        if (folder)
            QVERIFY(QDir().mkpath(chosen));
        else
            Write(u"../client.pem"_s, "-----BEGIN CERTIFICATE-----\r\n");
        Open(QString(), QString());

        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        QString shownTitle;
        QStringList filters;
        ModalAnswer<QFileDialog> answer([&](QFileDialog &dialog) {
            mode = dialog.fileMode();
            shownTitle = dialog.windowTitle();
            filters = dialog.nameFilters();
            dialog.selectFile(chosen);
            static_cast<QDialog &>(dialog).accept();
        });
        m_dialog->findChild<QAbstractButton *>(button)->click();
        QCOMPARE(answer.Answered(), 1);
        QCOMPARE(Edit(field.toLatin1().constData())->text(), chosen);
        if (folder) {
            QCOMPARE(mode, QFileDialog::Directory);
            return;
        }
        QCOMPARE(shownTitle, title);
        QCOMPARE(mode, QFileDialog::ExistingFile);
        QCOMPARE(filters, (QStringList{u"Zertifikate (*.pem *.cer *.crl *.crt *.der *.p12 *.p7b *.p7c *.p7r "
                                       u"*.pfx *.pko *.spc *.sst *.stl)"_s,
                                       u"Alle Dateien (*)"_s}));
    }

private:
    void Open(const QString &name, const QString &groupPath)
    {
        m_dialog->hide();
        m_dialog->SetTreeFolder(m_root);
        m_dialog->SetConnection(name, groupPath);
        m_dialog->show();
    }

    void Write(const QString &relativePath, const QByteArray &bytes)
    {
        QFile file(m_root + u'/' + relativePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // Presses OK and answers a warning: its text, or empty when none came.
    QString PressOk()
    {
        QString warning;
        ModalAnswer<QMessageBox> answer([&](QMessageBox &box) {
            warning = box.text();
            box.button(QMessageBox::Ok)->click();
        });
        Button("OKBtn")->click();
        return warning;
    }

    // A refused OK stores nothing and shows the field that must change.
    void VerifyRefusedAt(const QString &field)
    {
        QVERIFY(m_dialog->isVisible());
        QVERIFY(!TIniFile(m_root + u"/inhalt.ini"_s).SectionExists(u"Web"_s));
        const auto *pages = m_dialog->findChild<QTabWidget *>();
        QVERIFY(pages->currentWidget()->isAncestorOf(Edit(field.toLatin1().constData())));
    }

    // As a user picks it: activating an entry of the list.
    void ChooseProtocol(const QString &protocol)
    {
        QComboBox *box = Combo("ProtocolBox");
        const int index = box->findText(protocol);
        QVERIFY(index >= 0);
        QTest::keyClick(box, index > box->currentIndex() ? Qt::Key_Down : Qt::Key_Up);
        QCOMPARE(box->currentText(), protocol);
    }

    // Passive mode, MLSD, the proxy page and TLS are FTP's; the key is SFTP's.
    void VerifyProtocolControls(bool sftp) const
    {
        const auto *pages = m_dialog->findChild<QTabWidget *>();
        const auto tabShown = [pages](const QString &caption) {
            for (int index = 0; index < pages->count(); ++index) {
                if (pages->tabText(index) == caption)
                    return pages->isTabVisible(index);
            }
            qFatal("no page %s", qPrintable(caption));
            return false;
        };
        QCOMPARE(tabShown(u"SSL"_s), !sftp);
        QCOMPARE(tabShown(u"Proxy / FireWall"_s), !sftp);
        QVERIFY(tabShown(u"Socket "_s) && tabShown(u"Kommentar"_s));
        QCOMPARE(Check("CheckBox3")->isVisibleTo(m_dialog.get()), !sftp);
        QCOMPARE(Check("CheckBox7")->isVisibleTo(m_dialog.get()), !sftp);
        QCOMPARE(Control<QWidget>("SshKeyGroup")->isVisibleTo(m_dialog.get()), sftp);
        QVERIFY(Edit("HostTxt")->isVisibleTo(m_dialog.get()) && Edit("PassTxt")->isVisibleTo(m_dialog.get()));
    }

    QByteArray Read(const QString &relativePath) const
    {
        QFile file(m_root + u'/' + relativePath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    template <class Widget> Widget *Control(const char *name) const
    {
        auto *widget = m_dialog->findChild<Widget *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    QLineEdit *Edit(const char *name) const { return Control<QLineEdit>(name); }
    QCheckBox *Check(const char *name) const { return Control<QCheckBox>(name); }
    QSpinBox *Spin(const char *name) const { return Control<QSpinBox>(name); }
    QComboBox *Combo(const char *name) const { return Control<QComboBox>(name); }
    QLabel *Label(const char *name) const { return Control<QLabel>(name); }
    QPushButton *Button(const char *name) const { return Control<QPushButton>(name); }
    QPlainTextEdit *Memo() const { return Control<QPlainTextEdit>("Memo1"); }
    QTimeEdit *Picker() const { return Control<QTimeEdit>("DateTimePicker1"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    std::unique_ptr<TPagesDlg> m_dialog;
};

QTEST_MAIN(PagesDlgTest)
#include "test_pagesdlg.moc"
