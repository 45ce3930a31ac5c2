// Servers that misbehave: replies without codes, garbage PASV fields, lines
// without an end, random bytes, resets. Each must end in a clear error or a
// refused command, never in a crash or a hang.
#include "enginetesthelpers.h"
#include "idexceptions.h"
#include "scriptedhost.h"
#include "scriptedserver.h"
#include "tidantifreeze.h"
#include "tidftp.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTest>

#include <cerrno>

using namespace Qt::StringLiterals;

class BadInputTest : public QObject {
    Q_OBJECT

private slots:
    void garbagePassiveReplies_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("reply");
        const auto pasv = [](const char *name, const char *reply) {
            QTest::newRow(name) << u"PASV"_s << QByteArray(reply);
        };
        pasv("letters", "227 Entering Passive Mode (a,b,c,d,e,f)");
        pasv("too few fields", "227 Entering Passive Mode (127,0,0,1)");
        pasv("field out of range", "227 Entering Passive Mode (127,0,0,1,999,1)");
        pasv("negative", "227 Entering Passive Mode (127,0,0,-1,4,1)");
        pasv("empty parentheses", "227 Entering Passive Mode ()");
        pasv("refused", "500 PASV not understood");
        pasv("bare code", "227");
        pasv("closing before opening", "227 )1,2,3,4,5,6(");
        const auto epsv = [](const char *name, const char *reply) {
            QTest::newRow(name) << u"EPSV"_s << QByteArray(reply);
        };
        epsv("EPSV without parentheses", "229 Entering Extended Passive Mode |||6446|");
        epsv("EPSV port of letters", "229 (|||abc|)");
        epsv("EPSV port zero", "229 (|||0|)");
        epsv("EPSV port too large", "229 (|||65536|)");
        epsv("EPSV too few delimiters", "229 (|6446|)");
        epsv("EPSV empty parentheses", "229 ()");
    }

    void garbagePassiveReplies()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, reply);
        const bool extended = command == u"EPSV"_s;
        ScriptedServer server;
        if (!extended)
            server.answer("500 EPSV not understood");
        server.answer(reply).echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        try {
            ftp.Retrieve(u"file"_s, target);
            QFAIL("a garbage passive reply was taken");
        } catch (const EIdException &error) {
            QVERIFY2(error.Message().startsWith(u"Ungültige Antwort auf "_s + command),
                     qPrintable(error.Message()));
        }
        // Nothing was sent for the transfer, so the session goes on.
        QVERIFY(!ftp.HasDataConnection());
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        const QStringList sent = extended ? QStringList{u"EPSV"_s} : QStringList{u"EPSV"_s, u"PASV"_s};
        QCOMPARE(server.transcript(), sent + QStringList{kInStepMarker});
    }

    void repliesWithoutCodesAreRefusals()
    {
        ScriptedServer server;
        server.reply("Welcome to my server").answer("okay then").answer("whatever").echo();
        QVERIFY(server.start());
        TIdFTP ftp;
        ftp.Host = u"127.0.0.1"_s;
        ftp.Port = server.port();
        ftp.User = u"u"_s;
        ftp.Password = u"p"_s;
        ftp.ConnectAndLogin();
        QVERIFY(!ftp.LoggedIn());
        QVERIFY(!ftp.ChangeDir(u"/x"_s));
        QCOMPARE(ftp.FileSize(u"x"_s), qint64(-1));
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
    }

    void endlessLineEndsTheConnection()
    {
        ScriptedServer server;
        server.send(QByteArray(10 * 1024 * 1024, 'x'));
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QElapsedTimer clock;
        clock.start();
        QVERIFY_THROWS_EXCEPTION(EIdReadLnMaxLineLengthExceeded, ftp.SendCommand(u"NOOP"_s, 200));
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(!ftp.IsConnected());
        QVERIFY(ftp.ReadBufferSize() == 0);
    }

    // Reply lines of a mebibyte: up to the limit a line is read whole and
    // the session goes on; one character more ends the connection with
    // the message.
    void replyLinesOfAMebibyte_data()
    {
        QTest::addColumn<qint64>("length");
        QTest::addColumn<bool>("taken");
        QTest::newRow("at the limit") << TIdTCPConnection::kMaxLineLength << true;
        QTest::newRow("one beyond") << TIdTCPConnection::kMaxLineLength + 1 << false;
    }

    void replyLinesOfAMebibyte()
    {
        QFETCH(qint64, length);
        QFETCH(bool, taken);
        ScriptedServer server;
        server.setDrainTimeout(500);
        const QByteArray line = "200 " + QByteArray(length - 4, 'x');
        server.command().send(line + "\r\n").echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        try {
            QCOMPARE(ftp.SendCommand(u"NOOP"_s, 200), 200);
            QVERIFY(taken);
            QCOMPARE(ftp.LastReplyLine().size(), length);
            VERIFY_IN_STEP(ftp);
        } catch (const EIdReadLnMaxLineLengthExceeded &error) {
            QVERIFY(!taken);
            QCOMPARE(error.Message(), u"Die Antwort des Servers überschreitet die zulässige Zeilenlänge."_s);
            QVERIFY(!ftp.IsConnected());
            QCOMPARE(ftp.ReadBufferSize(), 0);
        }
        ftp.CloseConnection();
    }

    // A PASV reply that names another host: the data connection goes to
    // the server's own address (nobody listens at the named one), the
    // transfer works, and the session log says what was named.
    void passiveReplyNamingAnotherHost()
    {
        ScriptedServer server;
        server.answer("500 EPSV not understood")
            .passive("227 Entering Passive Mode (127,0,0,2,%2).")
            .command()
            .acceptData()
            .reply("150 Opening data connection")
            .sendData("Inhalt")
            .closeData()
            .reply("226 Transfer complete")
            .echo();
        TIdFTP ftp;
        QStringList statusTexts;
        ftp.OnStatus = [&](TIdTCPConnection *, TIdStatus status, const QString &text) {
            if (status == hsStatusText)
                statusTexts.append(text);
        };
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        QVERIFY(ftp.Retrieve(u"datei.txt"_s, target));
        QCOMPARE(target.data(), QByteArray("Inhalt"));
        QCOMPARE(statusTexts, QStringList{u"Der Server nennt für die Datenverbindung die Adresse 127.0.0.2; "
                                          u"verbunden wird mit seiner eigenen Adresse 127.0.0.1."_s});
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(),
                 (QStringList{u"EPSV"_s, u"PASV"_s, u"retr datei.txt"_s, kInStepMarker}));
    }

    // A server that goes silent while a reply is due: the wait ends after
    // the session's time-out, runs the pump all the while, and closes the
    // session, which is out of step.
    void silenceWhileAReplyIsDue_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("nothing at all") << QByteArray();
        QTest::newRow("half a line") << QByteArray("250 Direc");
        QTest::newRow("the first line of several") << QByteArray("250-Directory changed\r\n");
    }

    void silenceWhileAReplyIsDue()
    {
        QFETCH(QByteArray, sent);
        ScriptedServer server;
        server.setDrainTimeout(100);
        server.command().send(sent).pause(1500);
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        ftp.ReadTimeout = 400;
        int pumped = 0;
        TIdAntiFreeze::Install([&] { ++pumped; });
        const auto uninstall = qScopeGuard([] { TIdAntiFreeze::Uninstall(); });
        QElapsedTimer clock;
        clock.start();
        try {
            ftp.ChangeDir(u"pub"_s);
            QFAIL("the silence passed for a reply");
        } catch (const EIdReadTimeout &error) {
            QCOMPARE(
                error.Message(),
                u"Zeitüberschreitung: Der Server hat 400 ms lang nicht geantwortet; die Verbindung wurde getrennt."_s);
        }
        QVERIFY2(clock.elapsed() >= 400 && clock.elapsed() < 1400,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(pumped >= 4, qPrintable(QString::number(pumped)));
        QVERIFY(!ftp.IsConnected());
        QCOMPARE(server.transcript(), QStringList{u"CWD pub"_s});
    }

    void endlessMultiLineReplyEndsTheConnection()
    {
        QByteArray flood = "220-Welcome\r\n";
        while (flood.size() < 2 * 1024 * 1024)
            flood += "this line goes on and on\r\n";
        ScriptedServer server;
        server.send(flood);
        QVERIFY(server.start());
        TIdFTP ftp;
        ftp.Host = u"127.0.0.1"_s;
        ftp.Port = server.port();
        ftp.User = u"u"_s;
        ftp.Password = u"p"_s;
        QVERIFY_THROWS_EXCEPTION(EIdReadLnMaxLineLengthExceeded, ftp.ConnectAndLogin());
        QVERIFY(!ftp.IsConnected());
    }

    void randomBytes_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("asGreeting");
        for (quint32 seed = 1; seed <= 6; ++seed) {
            QTest::addRow("greeting %u", seed) << seed << true;
            QTest::addRow("reply %u", seed) << seed << false;
        }
    }

    // Only asks for no crash and no hang; whatever the bytes mean, the
    // session ends closed or not logged in.
    void randomBytes()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, asGreeting);
        const QByteArray noise = RandomBytes(64 * 1024, seed);
        ScriptedServer server;
        server.setDrainTimeout(300);
        if (asGreeting)
            server.send(noise).closeControl();
        else
            server.reply("220 ready").answer("331 pw").answer("230 ok").command().send(noise).closeControl();
        QVERIFY(server.start());
        TIdFTP ftp;
        ftp.Host = u"127.0.0.1"_s;
        ftp.Port = server.port();
        ftp.User = u"u"_s;
        ftp.Password = u"p"_s;
        ftp.Passive = true;
        try {
            ftp.ConnectAndLogin();
            QStringList lines;
            ftp.List(lines);
            ftp.CurrentDir();
        } catch (const EIdException &) {
        }
        QVERIFY(!ftp.LoggedIn() || !ftp.IsConnected() || !asGreeting);
        ftp.CloseConnection();
    }

    void resetByThePeerIsASocketError()
    {
        ScriptedServer server;
        server.command().resetControl();
        TIdFTP ftp;
        ScriptedHost host;
        ftp.setSessionHost(&host);
        QVERIFY(ConnectWithoutLogin(ftp, server));
        try {
            ftp.SendCommand(u"NOOP"_s, 200);
            QFAIL("a reset went unnoticed");
        } catch (const EIdSocketError &error) {
            QCOMPARE(error.LastError(), ECONNRESET);
            QVERIFY2(error.Message().startsWith(u"Socket-Fehler # %1\r\n"_s.arg(ECONNRESET)),
                     qPrintable(error.Message()));
            QVERIFY(error.Message().size() > 20);
        } catch (const EIdConnClosedGracefully &) {
            // The reset can also be seen as an end of the stream.
        }
        // The next command notices the dead session without sending.
        QVERIFY(!ftp.ChangeDir(u"x"_s));
        QVERIFY(!ftp.IsConnected());
        QCOMPARE(server.transcript(), QStringList{u"NOOP"_s});
    }

    void resetDuringADownload()
    {
        ScriptedServer server;
        server.passive()
            .command()
            .acceptData()
            .reply("150 Here")
            .sendData(RandomBytes(5000, 7))
            .resetControl();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        QVERIFY_THROWS_EXCEPTION(EIdException, ftp.Retrieve(u"x"_s, target));
        QVERIFY(!ftp.HasDataConnection());
    }
};

QTEST_GUILESS_MAIN(BadInputTest)
#include "test_badinput.moc"
