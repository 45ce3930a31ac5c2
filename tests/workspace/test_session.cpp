#include "../connections/modalanswer.h"
#include "activityindicator.h"
#include "connectiontreestore.h"
#include "enginetesthelpers.h"
#include "freeport.h"
#include "maintoolbar.h"
#include "remotebrowser.h"
#include "selfsignedcertificate.h"
#include "sessioncontrol.h"
#include "sessionlogview.h"
#include "sessionwindow.h"
#include "socketapi.h"
#include "statuspanels.h"
#include "tcertfkdlg1.h"
#include "tftpqvx.h"
#include "tgetpwddlg.h"
#include "tinifile.h"
#include "tverblist.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct Connection {
    QString name = u"Testserver"_s;
    QString host = u"127.0.0.1"_s;
    int port = 0;
    QString user;
    QString password;
    bool ssl = false;
    bool explicitTls = false;
    bool log = true;
    QString remoteFolder;
    int timeout = 5000;
};

Connection ConnectionTo(const RealFtpServer &server)
{
    Connection connection;
    connection.host = server.host();
    connection.port = server.port();
    connection.user = server.user();
    connection.password = server.password();
    return connection;
}

ConnectionProfile ProfileOf(const Connection &connection)
{
    ConnectionProfile profile;
    profile.FTP_Server = connection.host;
    profile.FTP_Port = QString::number(connection.port);
    profile.FTP_User = connection.user;
    profile.FTP_Pass = connection.password;
    profile.FTP_Passive = true;
    profile.ssl = connection.ssl;
    profile.SSL_Explicit = connection.explicitTls;
    profile.Log = connection.log;
    profile.FTPOrdner = connection.remoteFolder;
    profile.Timeout = connection.timeout;
    return profile;
}

bool AnyLineContains(const QStringList &lines, const QString &text)
{
    return std::any_of(lines.cbegin(), lines.cend(),
                       [&](const QString &line) { return line.contains(text); });
}

} // namespace

class SessionTest : public QObject {
    Q_OBJECT

private:
    SessionWindow m_fixture;
    TFTPqvx *m_window = nullptr;

    QString Root() const { return m_fixture.DataRoot(); }
    QString TreeFolder() const { return Root() + u"Inhaltsverzeichnis/"_s; }

    TFTPqvx *Start(const QStringList &arguments = {})
    {
        m_window = m_fixture.Open(arguments);
        return m_window;
    }

    template <typename T> T *Find(const QString &name) const { return m_window->findChild<T *>(name); }
    QString Panel(int panel) const { return m_window->Status()->PanelText(panel); }
    QStringList LogLines() const { return m_window->Log()->Lines(); }
    QStringList Rows(bool selectedOnly = false) const
    {
        QStringList names;
        for (const RemotePaneEntry &entry : m_window->Browser()->Entries()) {
            if (entry.selected || !selectedOnly)
                names.append(entry.row.name);
        }
        return names;
    }
    QToolButton *ConnectButton() const { return Find<QToolButton>(u"SpeedButton1"_s); }
    QToolButton *DisconnectButton() const { return Find<QToolButton>(u"SpeedButton2"_s); }

    void Save(const Connection &connection)
    {
        QVERIFY(ConnectionTreeStore(TreeFolder())
                    .SaveConnection(QString(), QString(), connection.name, ProfileOf(connection)));
    }

    // Presses "Verbinden" and picks the connection in the manager; returns
    // once the connect has run its course.
    void ConnectThroughManager(const QString &name)
    {
        ModalAnswer<TVerblist> pick([&](TVerblist &manager) {
            auto *tree = manager.findChild<QTreeWidget *>(u"TreeView1"_s);
            const QList<QTreeWidgetItem *> items =
                tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
            if (!items.isEmpty())
                tree->setCurrentItem(items.first());
            manager.findChild<QPushButton *>(u"BitBtn1"_s)->click();
        });
        ConnectButton()->click();
        QCOMPARE(pick.Answered(), 1);
    }

    // As openssl shows it: "AB:CD:...".
    static QString Sha256Fingerprint(const QString &certificateFile)
    {
        QProcess openssl;
        openssl.start(u"openssl"_s,
                      {u"x509"_s, u"-noout"_s, u"-fingerprint"_s, u"-sha256"_s, u"-in"_s, certificateFile});
        openssl.waitForFinished();
        const QString output = QString::fromLatin1(openssl.readAllStandardOutput()).trimmed();
        return output.mid(output.indexOf(u'=') + 1);
    }

    void VerifyDisconnectedWindow()
    {
        QVERIFY(!m_window->Main().Connection.IsConnected());
        QVERIFY(ConnectButton()->isEnabled());
        QVERIFY(!DisconnectButton()->isEnabled());
        QCOMPARE(m_window->windowTitle(), u"FTP Glimra"_s);
        QCOMPARE(m_window->ToolBar()->Indicator->toolTip(), u"Disconnected"_s);
        QCOMPARE(m_window->ToolBar()->Indicator->Activity(), 0);
    }

private slots:
    void initTestCase() { SessionWindow::InstallProgramServices(); }
    void init() { QVERIFY(m_fixture.PrepareHome()); }
    void cleanup()
    {
        m_fixture.Close();
        m_window = nullptr;
    }

    void connectingThroughTheManagerShowsTheServer_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("log");
        QTest::newRow("pyftpdlib") << int(RealFtpServer::Kind::Pyftpdlib) << true;
        QTest::newRow("pyftpdlib, log off") << int(RealFtpServer::Kind::Pyftpdlib) << false;
        QTest::newRow("vsftpd") << int(RealFtpServer::Kind::Vsftpd) << true;
    }

    void connectingThroughTheManagerShowsTheServer()
    {
        QFETCH(int, kind);
        QFETCH(bool, log);
        RealFtpServer::Options options;
        options.kind = RealFtpServer::Kind(kind);
        RealFtpServer server(options);
        QVERIFY(server.addFile(u"liesmich.txt"_s, "hallo"));
        START_OR_SKIP(server, options.kind);
        Connection connection = ConnectionTo(server);
        connection.log = log;
        QVERIFY(Start());
        Save(connection);

        ConnectThroughManager(connection.name);
        QVERIFY2(m_window->Main().Connection.LoggedIn(), qPrintable(LogLines().join(u'\n')));
        QCOMPARE(m_window->windowTitle(), u"FTP Glimra - 127.0.0.1"_s);
        QCOMPARE(m_window->Session()->ServerDisplayName(), u"127.0.0.1"_s);
        QCOMPARE(Panel(3), u" UNIX Type: L8"_s);
        QVERIFY(!ConnectButton()->isEnabled());
        QVERIFY(DisconnectButton()->isEnabled());
        QCOMPARE(m_window->ToolBar()->Indicator->toolTip(), u"127.0.0.1"_s);
        QCOMPARE(m_window->ToolBar()->Indicator->Activity(), 1);
        QVERIFY(!m_window->Main().Features.isEmpty());
        QVERIFY(AnyLineContains(LogLines(), u"Verbinden mit 127.0.0.1."_s));
        QCOMPARE(Rows(), (QStringList{u".."_s, u"liesmich.txt"_s}));
        QCOMPARE(Panel(1), u"Transfer complete."_s);
        QCOMPARE(Panel(2), u"Fertig"_s);

        // The password never reaches the log.
        QVERIFY(!AnyLineContains(LogLines(), connection.password));
        QCOMPARE(LogLines().contains(u"Gesendet: PASS (HIDDEN)<EOL>"_s), log);
        QCOMPARE(AnyLineContains(LogLines(), u"Erh.: 230"_s), log);
        // Every reply on a line of its own, also the 226 that comes in one
        // read with the listing's 150: only a multi-line reply ends inside
        // its line.
        QCOMPARE(LogLines().filter(QRegularExpression(u"^Erh\\.: 226 "_s)).isEmpty(), !log);
        const QRegularExpression endOfReply(u"<EOL>(\\d{3}) "_s);
        // A read may also bring the rest of a multi-line reply: that line
        // starts with the reply's text, not with a code.
        const QRegularExpression restOfReply(u"^Erh\\.: \\D"_s);
        for (const QString &line : LogLines()) {
            for (const QRegularExpressionMatch &match : endOfReply.globalMatch(line)) {
                QVERIFY2(line.startsWith(u"Erh.: "_s + match.captured(1) + u'-') ||
                             restOfReply.match(line).hasMatch(),
                         qPrintable(line));
            }
        }
        QCOMPARE(m_window->Log()->ToggleLogItem->text(), log ? u"Log deaktivieren"_s : u"Log aktivieren"_s);

        DisconnectButton()->click();
        VerifyDisconnectedWindow();
        QVERIFY(Rows().isEmpty());
        QCOMPARE(Panel(2), u"Disconnected"_s);
        QCOMPARE(Panel(1), QString());
        QCOMPARE(Panel(3), QString());
        QTRY_VERIFY(server.commands().contains(u"QUIT"_s, Qt::CaseInsensitive));
    }

    void aRefusedPasswordAsksAgain_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("cancelled") << false;
        QTest::newRow("corrected") << true;
    }

    void aRefusedPasswordAsksAgain()
    {
        QFETCH(bool, answer);
        RealFtpServer server({});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        Connection connection = ConnectionTo(server);
        connection.password = u"falsch"_s;
        QVERIFY(Start());
        Save(connection);

        QString caption;
        QString shownUser;
        ModalAnswer<TGetpwdDlg> prompt([&](TGetpwdDlg &dialog) {
            caption = dialog.windowTitle();
            shownUser = dialog.usertxt->text();
            if (!answer) {
                dialog.CancelBtn->click();
                return;
            }
            dialog.passwrd->setText(server.password());
            dialog.OKBtn->click();
        });
        ConnectThroughManager(connection.name);
        QCOMPARE(prompt.Answered(), 1);
        QCOMPARE(caption, u"UserID/Pass für 127.0.0.1"_s);
        QCOMPARE(shownUser, server.user());
        const QStringList refused = LogLines().filter(u"Erh.: 530"_s);
        QVERIFY(!refused.isEmpty());
        QCOMPARE(SessionLogView::TextColor(refused.first(), false), QColor(Qt::red));
        if (answer) {
            QVERIFY(m_window->Main().Connection.LoggedIn());
            QVERIFY(DisconnectButton()->isEnabled());
        } else {
            VerifyDisconnectedWindow();
        }
    }

    void aProfileWithoutHostIsRefusedWithAWarning()
    {
        Connection connection;
        connection.host.clear();
        connection.port = 21;
        QVERIFY(Start());
        Save(connection);
        QString warning;
        ModalAnswer<QMessageBox> ok([&](QMessageBox &box) {
            warning = box.text();
            box.accept();
        });
        ConnectThroughManager(connection.name);
        QCOMPARE(warning, u"Die Verbindungseigenschaften sind mangelhaft."_s);
        QVERIFY(ConnectButton()->isEnabled());
        QVERIFY(!m_window->Main().Connection.IsConnected());
    }

    // A server that cannot be reached ends the connect without a box, but
    // status panel 2 and the log say which server and why, in German.
    void aFailedConnectSaysWhy_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("reason");
        QTest::newRow("nothing listens on the port") << u"127.0.0.1"_s << false << u"abgelehnt"_s;
        QTest::newRow("host name not found")
            << u"ftp.vertippt.example"_s << false
            << u"Der Host-Name ftp.vertippt.example konnte nicht aufgelöst werden."_s;
        QTest::newRow("name lookup too slow")
            << u"langsam.example"_s << false << u"konnte nicht rechtzeitig aufgelöst werden"_s;
        QTest::newRow("TLS against a server without it")
            << u"127.0.0.1"_s << true << u"Die TLS-Verbindung kam nicht zustande"_s;
    }

    void aFailedConnectSaysWhy()
    {
        QFETCH(QString, host);
        QFETCH(bool, tls);
        QFETCH(QString, reason);
        // Names resolve here, without asking any name server.
        SocketApi::SetResolver([](const QString &name) {
            if (name == u"langsam.example"_s)
                QThread::msleep(3000);
            return QStringList();
        });
        const auto systemResolver = qScopeGuard([] { SocketApi::SetResolver({}); });
        RealFtpServer server({});
        if (tls)
            START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        Connection connection;
        connection.host = host;
        connection.port = tls ? server.port() : FreeLocalPort();
        connection.ssl = tls;
        connection.timeout = 1000;
        QVERIFY(Start());
        Save(connection);
        int boxes = 0;
        ModalAnswer<QMessageBox> noBox([&](QMessageBox &box) {
            ++boxes;
            box.accept();
        });
        ConnectThroughManager(connection.name);

        VerifyDisconnectedWindow();
        QCOMPARE(boxes, 0);
        const QString shown = Panel(2);
        QVERIFY2(shown.startsWith(u"Keine Verbindung zu %1 (Port %2): "_s.arg(host).arg(connection.port)),
                 qPrintable(shown));
        QVERIFY2(shown.contains(reason), qPrintable(shown));
        QVERIFY2(LogLines().contains(shown), qPrintable(LogLines().join(u'\n')));
        QVERIFY(!shown.contains(u'\n') && !shown.contains(u'\r'));
        // The status texts name the host, also when no address was found.
        QVERIFY2(!AnyLineContains(LogLines(), u"Verbindung zu  wird getrennt."_s),
                 qPrintable(LogLines().join(u'\n')));
        if (!tls && reason.contains(u"Host-Name"_s))
            QVERIFY(LogLines().contains(u"Verbindung zu %1 wird getrennt."_s.arg(host)));
    }

    void aServerThatDiesMidListingLeavesTheWindowUsable()
    {
        RealFtpServer server({});
        for (int file = 0; file < 3000; ++file)
            QVERIFY(server.addFile(u"gross/datei-mit-einem-langen-namen-%1.txt"_s.arg(file), "x"));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(Start());
        Save(ConnectionTo(server));
        ConnectThroughManager(u"Testserver"_s);
        QVERIFY(m_window->Main().Connection.LoggedIn());

        TIdFTP &ftp = m_window->Main().Connection;
        const TWorkEvent shown = ftp.OnWork;
        ftp.OnWork = [&](TIdTCPConnection *sender, TWorkMode mode, qint64 count) {
            if (server.isRunning())
                server.stop();
            shown(sender, mode, count);
        };
        m_window->Main().RunCommand([&] { m_window->Browser()->ChangeRemoteFolder(u"gross"_s); });
        ftp.OnWork = shown;

        VerifyDisconnectedWindow();
        QVERIFY(Rows().isEmpty());
        const QString message = Panel(2);
        QVERIFY(!message.isEmpty());
        QVERIFY2(message != u"Connected"_s && message != u"Disconnected"_s, qPrintable(message));
        QVERIFY(LogLines().contains(message));
        QVERIFY(!m_window->Main().Flags.TransferActive);

        // The window connects again.
        RealFtpServer second({});
        START_OR_SKIP(second, RealFtpServer::Kind::Pyftpdlib);
        Connection again = ConnectionTo(second);
        again.name = u"Zweiter"_s;
        Save(again);
        ConnectThroughManager(again.name);
        QVERIFY(m_window->Main().Connection.LoggedIn());
    }

    // The liveness check before the next command finds the server gone.
    void aServerGoneBetweenCommandsIsNoticedByTheNext()
    {
        RealFtpServer server({});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(Start());
        Save(ConnectionTo(server));
        ConnectThroughManager(u"Testserver"_s);
        QVERIFY(m_window->Main().Connection.LoggedIn());
        const QString temporary = m_window->Folders().TmpFolder() + u"liste.txt"_s;
        QVERIFY(WriteFileContent(temporary, "x"));

        server.stop();
        m_window->Main().RunCommand([&] { m_window->Main().Connection.ChangeDir(u"irgendwo"_s); });
        VerifyDisconnectedWindow();
        QCOMPARE(Panel(2), u"Disconnected"_s);
        // Only "Trennen" empties the tmp folder.
        QVERIFY(QFileInfo::exists(temporary));
        m_window->Session()->Disconnect();
        QVERIFY(!QFileInfo::exists(temporary));
    }

    void theKeyPasswordIsAskedForWhenTheProfileSaysSo_data()
    {
        QTest::addColumn<bool>("ask");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("expected");
        QTest::newRow("stored") << false << false << u"gespeichert"_s;
        QTest::newRow("asked") << true << true << u"getippt"_s;
        QTest::newRow("asked, cancelled") << true << false << QString();
    }

    void theKeyPasswordIsAskedForWhenTheProfileSaysSo()
    {
        QFETCH(bool, ask);
        QFETCH(bool, confirm);
        QFETCH(QString, expected);
        QVERIFY(Start());
        QString title;
        ModalAnswer<QInputDialog> box([&](QInputDialog &input) {
            title = input.windowTitle();
            QCOMPARE(input.textEchoMode(), QLineEdit::Password);
            input.setTextValue(u"getippt"_s);
            confirm ? input.accept() : input.reject();
        });
        QCOMPARE(m_window->SslKeyPassword(ask, u"gespeichert"_s), expected);
        QCOMPARE(box.Answered(), ask ? 1 : 0);
        if (ask)
            QCOMPARE(title, u"Kennwort für SSL"_s);
        QCOMPARE(LogLines(), QStringList{u"SSL Password: [HIDDEN]"_s});
    }

    void aRefusedCertificateEndsTheConnect_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("explicitTls");
        QTest::newRow("refused") << false << false;
        QTest::newRow("accepted") << true << false;
        QTest::newRow("refused, AUTH TLS") << false << true;
        QTest::newRow("accepted, AUTH TLS") << true << true;
    }

    void aRefusedCertificateEndsTheConnect()
    {
        QFETCH(bool, accept);
        QFETCH(bool, explicitTls);
        RealFtpServer::Options options;
        options.implicitTls = !explicitTls;
        options.explicitTls = explicitTls;
        RealFtpServer server(options);
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        Connection connection = ConnectionTo(server);
        connection.ssl = true;
        connection.explicitTls = explicitTls;
        QVERIFY(Start());
        Save(connection);

        QString fields;
        ModalAnswer<TCertfkDlg1> question([&](TCertfkDlg1 &dialog) {
            fields = dialog.Memo1->toPlainText();
            (accept ? dialog.OKBtn : dialog.CancelBtn)->click();
        });
        ConnectThroughManager(connection.name);
        QCOMPARE(question.Answered(), 1);
        QVERIFY2(fields.contains(u"--------------------------"_s), qPrintable(fields));
        // Issuer and subject are logged before the question.
        QVERIFY(AnyLineContains(LogLines(), u"CN="_s));
        if (accept) {
            QVERIFY(m_window->Main().Connection.LoggedIn());
            QVERIFY(LogLines().contains(u"SSL Connected"_s));
            // With SSL the traffic is not logged.
            QVERIFY(!AnyLineContains(LogLines(), u"Gesendet: "_s));
            QVERIFY(!AnyLineContains(LogLines(), u"Erh.: "_s));
        } else {
            VerifyDisconnectedWindow();
            QCOMPARE(Panel(2), u"Abbruch durch Anwender"_s);
            QCOMPARE(LogLines().constLast(), u"Abbruch durch Anwender"_s);
        }
        // The login follows AUTH TLS, and only an accepted certificate.
        const QStringList commands = server.commands();
        QCOMPARE(commands.value(0) == u"AUTH TLS"_s, explicitTls);
        QCOMPARE(!commands.filter(QRegularExpression(u"^USER "_s)).isEmpty(), accept);
    }

    // An accepted certificate is remembered for its server, so the next
    // connect goes on without a question; another certificate there is
    // asked about again, with the warning that it changed.
    void anAcceptedCertificateIsRemembered()
    {
        QTemporaryDir certificateFolder;
        QString error;
        const auto first = SelfSignedCertificate::make(certificateFolder.path(), &error);
        QVERIFY2(first, qPrintable(error));
        const QString firstFingerprint = Sha256Fingerprint(first->certificateFile);
        RealFtpServer::Options options;
        options.kind = RealFtpServer::Kind::Vsftpd;
        options.implicitTls = true;
        options.certificateFile = first->certificateFile;
        options.keyFile = first->keyFile;
        RealFtpServer server(options);
        START_OR_SKIP(server, RealFtpServer::Kind::Vsftpd);
        Connection connection = ConnectionTo(server);
        connection.ssl = true;
        QVERIFY(Start());
        Save(connection);
        const QString knownFile = Root() + u"known_certificates"_s;
        const QString serverName = u"127.0.0.1 %1 "_s.arg(server.port());

        const struct {
            const char *step;
            bool replaceCertificate;
            bool accept;
            bool asked;
            bool changed;
        } steps[] = {
            {"first connect", false, true, true, false},
            {"second connect", false, true, false, false},
            {"new certificate, refused", true, false, true, true},
            {"new certificate, accepted", false, true, true, true},
            {"new certificate remembered", false, true, false, false},
        };
        QString fingerprint = firstFingerprint;
        QString rememberedFingerprint;
        for (const auto &step : steps) {
            if (step.replaceCertificate) {
                QVERIFY2(SelfSignedCertificate::make(certificateFolder.path(), &error), qPrintable(error));
                QVERIFY2(server.restart(&error), qPrintable(error));
                fingerprint = Sha256Fingerprint(first->certificateFile);
                QVERIFY(fingerprint != firstFingerprint);
            }
            QString fields;
            bool warned = false;
            QString warning;
            ModalAnswer<TCertfkDlg1> question([&](TCertfkDlg1 &dialog) {
                fields = dialog.Memo1->toPlainText();
                warned = dialog.ChangedLabel->isVisible();
                warning = dialog.ChangedLabel->text();
                (step.accept ? dialog.OKBtn : dialog.CancelBtn)->click();
            });
            m_window->Log()->Clear();
            ConnectThroughManager(connection.name);
            QVERIFY2(question.Answered() == int(step.asked), step.step);
            QVERIFY2(m_window->Main().Connection.LoggedIn() == step.accept, step.step);
            if (step.asked) {
                // The fingerprint in two rows of 16 bytes, and the validity.
                QVERIFY2(
                    fields.contains(u"SHA256:\t"_s + fingerprint.left(47) + u"\n\t"_s + fingerprint.mid(48)),
                    qPrintable(fields));
                QVERIFY2(fields.contains(u"Gültig ab:\t"_s) && fields.contains(u"Gültig bis:\t"_s),
                         qPrintable(fields));
                QCOMPARE(warned, step.changed);
                QCOMPARE(fields.contains(u"Bisher:\t"_s + rememberedFingerprint.left(47)), step.changed);
                if (step.changed)
                    QVERIFY2(warning.contains(u"hat sich geändert"_s), qPrintable(warning));
            } else {
                QVERIFY2(AnyLineContains(LogLines(), u"Zertifikat früher akzeptiert"_s), step.step);
            }
            if (step.accept)
                rememberedFingerprint = fingerprint;
            QCOMPARE(FileContent(knownFile), (serverName + rememberedFingerprint + u'\n').toUtf8());
            m_window->Session()->Disconnect();
        }
    }

    void theLogIsSavedWithCrLf_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expectedFile");
        QTest::newRow("text file") << u"Textdateien (*.txt)"_s << u"sitzung.txt"_s;
        QTest::newRow("log file") << u"Log-Dateien (*.log)"_s << u"sitzung.log"_s;
    }

    void theLogIsSavedWithCrLf()
    {
        QFETCH(QString, filter);
        QFETCH(QString, expectedFile);
        QVERIFY(Start());
        m_window->Session()->AddLogLine(u"Verbinden mit 127.0.0.1."_s);
        m_window->Session()->AddLogLine(u"Erh.: 220 Grüß Gott<EOL>"_s);
        QString title;
        QString folder;
        ModalAnswer<QFileDialog> save([&](QFileDialog &dialog) {
            title = dialog.windowTitle();
            folder = dialog.directory().absolutePath();
            dialog.selectNameFilter(filter);
            emit dialog.filterSelected(filter);
            dialog.selectFile(u"sitzung"_s);
            static_cast<QDialog &>(dialog).accept();
        });
        Find<QToolButton>(u"SaveLogButton"_s)->click();
        QCOMPARE(save.Answered(), 1);
        QCOMPARE(title, u"Log Datei speichern"_s);
        QCOMPARE(folder + u'/', QDir(Root()).absolutePath() + u'/');
        QCOMPARE(FileContent(Root() + expectedFile),
                 QByteArray("Verbinden mit 127.0.0.1.\r\nErh.: 220 Grüß Gott<EOL>\r\n"));
    }

    void aConnectionFileConnectsAtStart()
    {
        RealFtpServer server({});
        QVERIFY(server.addFile(u"ablage/notiz.txt"_s, "x"));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        Connection connection = ConnectionTo(server);
        connection.ssl = true; // a connection file never uses SSL
        connection.remoteFolder = u"/ablage"_s;
        const QString file = m_fixture.Home(u"Server.glimra"_s);
        {
            TIniFile ini(file);
            ConnectionProfile profile = ProfileOf(connection);
            profile.Timeout = 4321; // the wait slice, and how long a name lookup may take
            QVERIFY(profile.Write(ini, u"Datei"_s));
        }
        QVERIFY(Start({file}));
        QTRY_VERIFY(m_window->Main().Connection.LoggedIn());
        QCOMPARE(m_window->Main().Connection.ResolveTimeout, 4321);
        QVERIFY(!m_window->Main().Connection.UseSSL);
        QCOMPARE(m_window->Main().Connection.CurrentDir(), u"/ablage"_s);
        QCOMPARE(m_window->windowTitle(), u"FTP Glimra - 127.0.0.1"_s);
    }

    void aConnectionFileWithoutSectionsDoesNothing()
    {
        const QString file = m_fixture.Home(u"leer.glimra"_s);
        QVERIFY(WriteFileContent(file, "; nichts\r\n"));
        QVERIFY(Start({file}));
        QTest::qWait(100);
        QVERIFY(!m_window->Main().Connection.IsConnected());
        QVERIFY(LogLines().isEmpty());
        QVERIFY(ConnectButton()->isEnabled());
    }

    void threeArgumentsConnectToASavedServer_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("connects");
        QTest::addColumn<QString>("savedServer"); // %PORT% is the server's port; empty: its address
        QTest::newRow("saved server") << u"127.0.0.1"_s << true << QString();
        QTest::newRow("unknown server") << u"ftp.example.com"_s << false << QString();
        QTest::newRow("IPv6, saved with brackets and port") << u"::1"_s << true << u"[::1]:%PORT%"_s;
        QTest::newRow("IPv6, asked for in brackets") << u"[0::1]"_s << true << u"::1"_s;
    }

    void threeArgumentsConnectToASavedServer()
    {
        QFETCH(QString, host);
        QFETCH(bool, connects);
        QFETCH(QString, savedServer);
        RealFtpServer::Options options;
        options.ipv6 = host.contains(u':');
        QString noIPv6;
        if (options.ipv6 && !RealFtpServer::hasIPv6Loopback(&noIPv6))
            QSKIP(qPrintable(noIPv6));
        RealFtpServer server(options);
        QVERIFY(server.addFile(u"bilder/urlaub.jpg"_s, "jpeg"));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        Connection connection = ConnectionTo(server);
        if (!savedServer.isEmpty()) {
            connection.host = QString(savedServer).replace(u"%PORT%"_s, QString::number(server.port()));
            if (savedServer.contains(u"%PORT%"_s))
                connection.port = 21; // the port in the server field wins
        }
        connection.remoteFolder = u"/anderswo"_s; // the argument wins
        // Before the start, so that the window finds it.
        QDir().mkpath(TreeFolder());
        QVERIFY(ConnectionTreeStore(TreeFolder())
                    .SaveConnection(QString(), QString(), connection.name, ProfileOf(connection)));

        QVERIFY(Start({u"urlaub.jpg"_s, host, u"/bilder"_s}));
        if (!connects) {
            QTest::qWait(100);
            QVERIFY(!m_window->Main().Connection.IsConnected());
            return;
        }
        QTRY_VERIFY(m_window->Main().Connection.LoggedIn());
        QTRY_COMPARE(Rows(true), QStringList{u"urlaub.jpg"_s});
        QCOMPARE(m_window->Main().Connection.CurrentDir(), u"/bilder"_s);
    }
};

QTEST_MAIN(SessionTest)
#include "test_session.moc"
