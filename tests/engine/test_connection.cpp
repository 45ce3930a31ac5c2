// The command connection: reply reading, line reading, commands, work
// events, the pump during waits and the log interceptor, against scripted
// servers on 127.0.0.1.
#include "enginetesthelpers.h"
#include "freeport.h"
#include "idexceptions.h"
#include "scriptedhost.h"
#include "scriptedserver.h"
#include "socketapi.h"
#include "tidantifreeze.h"
#include "tidlogdebug.h"
#include "tidtcpclient.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Listens with a full queue: a connection attempt gets no answer at all,
// as from a host that drops packets.
class SilentListener {
public:
    ~SilentListener()
    {
        for (const int fd : {m_queued, m_listening})
            if (fd >= 0)
                ::close(fd);
    }

    bool start(const char *ip, int port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port));
        ::inet_pton(AF_INET, ip, &address.sin_addr);
        const auto *raw = reinterpret_cast<const sockaddr *>(&address);
        m_listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        m_queued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        return m_listening >= 0 && m_queued >= 0 && ::bind(m_listening, raw, sizeof address) == 0 &&
               ::listen(m_listening, 0) == 0 && ::connect(m_queued, raw, sizeof address) == 0;
    }

private:
    int m_listening = -1;
    int m_queued = -1;
};

// Connects a client to the started server.
bool Open(TIdTCPClient &client, ScriptedServer &server)
{
    if (!server.start())
        return false;
    client.Host = u"127.0.0.1"_s;
    client.Port = server.port();
    return client.OpenConnection();
}

} // namespace

class ConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        TIdAntiFreeze::Uninstall();
        SocketApi::SetResolver({});
    }

    void readReply_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("leftover"); // what the reply left unread

        QTest::newRow("single line") << QByteArray("200 Command okay.\r\n")
                                     << QStringList{u"200 Command okay."_s} << 200 << QString();
        QTest::newRow("indented continuation is trimmed")
            << QByteArray("220-Welcome\r\n  220-more\r\n220 ready\r\n")
            << QStringList{u"220-Welcome"_s, u"220-more"_s, u"220 ready"_s} << 220 << QString();
        QTest::newRow("lines without the code inside")
            << QByteArray("211-Features:\r\n MDTM\r\n SIZE\r\n211 End\r\n")
            << QStringList{u"211-Features:"_s, u"MDTM"_s, u"SIZE"_s, u"211 End"_s} << 211 << QString();
        // Only a line that begins with the code and a blank as received
        // ends the reply; padded and short lines belong to it.
        QTest::newRow("indented line with the code and a blank goes on")
            << QByteArray("250-first\r\n   250 done\r\n250 end\r\n")
            << QStringList{u"250-first"_s, u"250 done"_s, u"250 end"_s} << 250 << QString();
        QTest::newRow("short lines go on")
            << QByteArray("214-help\r\nab\r\n *\r\n214 end\r\n")
            << QStringList{u"214-help"_s, u"ab"_s, u"*"_s, u"214 end"_s} << 214 << QString();
        QTest::newRow("ProFTPD's FEAT")
            << QByteArray("211-Features:\r\n AUTH TLS\r\n CCC\r\n CLNT\r\n211 End\r\n226 next\r\n")
            << QStringList{u"211-Features:"_s, u"AUTH TLS"_s, u"CCC"_s, u"CLNT"_s, u"211 End"_s} << 211
            << u"226 next"_s;
        QTest::newRow("blank lines inside are skipped")
            << QByteArray("220-a\r\n\r\n   \r\n220 b\r\n") << QStringList{u"220-a"_s, u"220 b"_s} << 220
            << QString();
        QTest::newRow("other code with a blank does not end it")
            << QByteArray("230-hello\r\n200 not yet\r\n230 in\r\n")
            << QStringList{u"230-hello"_s, u"200 not yet"_s, u"230 in"_s} << 230 << QString();
        QTest::newRow("empty lines are skipped") << QByteArray("\r\n\r\n  \r\n331 Password\r\n")
                                                 << QStringList{u"331 Password"_s} << 331 << QString();
        QTest::newRow("bare LF line ends")
            << QByteArray("257 \"/\"\n") << QStringList{u"257 \"/\""_s} << 257 << QString();
        QTest::newRow("+OK") << QByteArray("+OK ready\r\n") << QStringList{u"+OK ready"_s} << 1 << QString();
        QTest::newRow("-ERR") << QByteArray("-err no\r\n") << QStringList{u"-err no"_s} << 0 << QString();
        QTest::newRow("no code") << QByteArray("hello there\r\n") << QStringList{u"hello there"_s} << 0
                                 << QString();
        QTest::newRow("code with letters")
            << QByteArray("2x0 odd\r\n") << QStringList{u"2x0 odd"_s} << 0 << QString();
    }

    void readReply()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QFETCH(int, code);
        QFETCH(QString, leftover);

        ScriptedServer server;
        server.send(bytes).echo();
        TIdTCPClient client;
        QVERIFY(Open(client, server));
        QCOMPARE(client.ReadReply(), code);
        QCOMPARE(client.ReplyLines(), lines);
        QCOMPARE(client.ReplyCode(), code);
        if (!leftover.isEmpty()) {
            client.ReadReply();
            QCOMPARE(client.LastReplyLine(), leftover);
        }
        VERIFY_IN_STEP(client);
        client.CloseConnection();
        QVERIFY2(server.failure().isEmpty(), qPrintable(server.failure()));
    }

    void sendCommandMatchesAllowedCodes_data()
    {
        QTest::addColumn<QList<int>>("allowed");
        QTest::addColumn<int>("result");
        QTest::newRow("not allowed gives 0") << QList<int>{200} << 0;
        QTest::newRow("any code") << QList<int>{} << 500;
        QTest::newRow("among the allowed") << QList<int>{200, 500} << 500;
    }

    void sendCommandMatchesAllowedCodes()
    {
        QFETCH(QList<int>, allowed);
        QFETCH(int, result);
        ScriptedServer server;
        server.answer("500 Unknown command.").echo();
        TIdTCPClient client;
        QVERIFY(Open(client, server));
        QCOMPARE(client.SendCommand(u"XYZ"_s, allowed), result);
        QCOMPARE(client.ReplyCode(), 500);
        VERIFY_IN_STEP(client);
        client.CloseConnection();
        QCOMPARE(server.transcript(), (QStringList{u"XYZ"_s, kInStepMarker}));
    }

    void sendCommandWithMinusOneAcceptsAnyCode()
    {
        ScriptedServer server;
        server.answer("550 No.").answer("200 Yes.").echo();
        TIdTCPClient client;
        QVERIFY(Open(client, server));
        QCOMPARE(client.SendCommand(u"DELE x"_s, -1), 550);
        QCOMPARE(client.SendCommand(u"NOOP"_s, 250), 0);
        VERIFY_IN_STEP(client);
        client.CloseConnection();
        QCOMPARE(server.transcript(), (QStringList{u"DELE x"_s, u"NOOP"_s, kInStepMarker}));
    }

    void peerClosingMidLineRaisesClosed()
    {
        ScriptedServer server;
        server.reply("200 complete").send("220 cut off without a line end").closeControl();
        TIdTCPClient client;
        QVERIFY(Open(client, server));
        QCOMPARE(client.ReadReply(), 200);
        QVERIFY_THROWS_EXCEPTION(EIdConnClosedGracefully, client.ReadReply());
        QVERIFY(!client.IsConnected());
    }

    void bufferedRepliesStayReadableAfterThePeerClosed()
    {
        ScriptedServer server;
        server.send("150 one\r\n226 two\r\n").closeControl();
        TIdTCPClient client;
        QVERIFY(Open(client, server));
        QCOMPARE(server.failure(), QString()); // the server is done and gone
        QCOMPARE(client.ReadReply(), 150);
        QCOMPARE(client.ReadReply(), 226);
        QVERIFY_THROWS_EXCEPTION(EIdConnClosedGracefully, client.ReadReply());
    }

    void readLineTerminators()
    {
        ScriptedServer server;
        server.send("first\r\nsecond\r\nthird\r\n");
        TIdTCPClient client;
        QVERIFY(Open(client, server));
        QCOMPARE(client.ReadLine(), u"first"_s);
        QCOMPARE(client.ReadLine("\r\n"), u"second"_s);
        QCOMPARE(client.ReadLine("\n"), u"third\r"_s);
        client.CloseConnection();
    }

    void readLineGivesUpAfterItsTimeout()
    {
        ScriptedServer server;
        server.send("partial").pause(500);
        TIdTCPClient client;
        QVERIFY(Open(client, server));
        QCOMPARE(client.ReadLine(QByteArray(), 100), QString());
        QVERIFY(client.ReadLnTimedOut());
        QCOMPARE(client.ReadBufferSize(), qint64(7));
        client.CloseConnection();
    }

    void takeFromReadBufferChecksTheCount()
    {
        ScriptedServer server;
        server.send("abcdef\n");
        TIdTCPClient client;
        QVERIFY(Open(client, server));
        client.ReadLine(); // fills the buffer, consumes everything
        QVERIFY_THROWS_EXCEPTION(EIdNotEnoughDataInBuffer, client.TakeFromReadBuffer(1));
        client.CloseConnection();
    }

    void lengthPrefixedIntegersAndStreams()
    {
        ScriptedServer server;
        server.send(QByteArray("\x00\x00\x00\x05hello\x12\x34\x56\x78", 13));
        TIdTCPClient client;
        QVERIFY(Open(client, server));
        QBuffer target;
        target.open(QIODevice::ReadWrite);
        client.ReadIntoStream(target);
        QCOMPARE(target.data(), QByteArray("hello"));
        QCOMPARE(client.ReadInt32(), qint32(0x12345678));
        client.CloseConnection();
    }

    void streamReadsReportRunningTotals()
    {
        ScriptedServer server;
        server.send(QByteArray(10000, 'x')).closeControl();
        TIdTCPClient client;
        client.RecvBufferSize = 4096;
        QList<qint64> totals;
        int begins = 0;
        int ends = 0;
        client.OnWorkBegin = [&](TIdTCPConnection *, TWorkMode mode, qint64 max) {
            QCOMPARE(mode, wmRead);
            QCOMPARE(max, qint64(0));
            ++begins;
        };
        client.OnWork = [&](TIdTCPConnection *, TWorkMode, qint64 count) { totals.append(count); };
        client.OnWorkEnd = [&](TIdTCPConnection *, TWorkMode) { ++ends; };
        QVERIFY(Open(client, server));
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        client.StartWork(wmRead, 0); // nested: only the outer phase fires
        client.ReadIntoStream(target, -1, true);
        QCOMPARE(ends, 0);
        client.FinishWork(wmRead);
        QCOMPARE(begins, 1);
        QCOMPARE(ends, 1);
        QCOMPARE(target.data().size(), 10000);
        QVERIFY(!totals.isEmpty());
        QVERIFY(std::is_sorted(totals.begin(), totals.end()));
        QCOMPARE(totals.constLast(), qint64(10000));
        QVERIFY(!client.IsConnected());
    }

    void writingAnEmptyStreamSendsNothingButReportsAPhase()
    {
        ScriptedServer server;
        TIdTCPClient client;
        QList<qint64> maxima;
        int works = 0;
        int ends = 0;
        client.OnWorkBegin = [&](TIdTCPConnection *, TWorkMode mode, qint64 max) {
            QCOMPARE(mode, wmWrite);
            maxima.append(max);
        };
        client.OnWork = [&](TIdTCPConnection *, TWorkMode, qint64) { ++works; };
        client.OnWorkEnd = [&](TIdTCPConnection *, TWorkMode) { ++ends; };
        server.setDrainTimeout(300);
        QVERIFY(Open(client, server));
        QBuffer empty;
        empty.open(QIODevice::ReadOnly);
        client.WriteFromStream(empty);
        QCOMPARE(maxima, QList<qint64>{0});
        QCOMPARE(works, 0);
        QCOMPARE(ends, 1);
        client.CloseConnection();
        QCOMPARE(server.transcript(), QStringList());
    }

    void failedConnectReportsAndStaysClosed()
    {
        TIdTCPClient client;
        client.Host = u"127.0.0.1"_s;
        client.Port = FreeLocalPort();
        QStringList statuses;
        int disconnects = 0;
        client.OnStatus = [&](TIdTCPConnection *, TIdStatus, const QString &text) { statuses.append(text); };
        client.OnDisconnected = [&](TIdTCPConnection *) { ++disconnects; };
        QVERIFY(!client.OpenConnection());
        QVERIFY(!client.IsConnected());
        QCOMPARE(statuses, (QStringList{u"Verbinden mit 127.0.0.1."_s,
                                        u"Verbindung zu 127.0.0.1 wird getrennt."_s, u"Nicht verbunden."_s}));
        QCOMPARE(disconnects, 1);
    }

    void hostNameLookupKeepsTheWindowRunning_data()
    {
        QTest::addColumn<int>("lookupMs");
        QTest::addColumn<int>("resolveTimeout");
        QTest::addColumn<bool>("connects");
        QTest::newRow("slow, but in time") << 400 << 5000 << true;
        QTest::newRow("slower than the time-out") << 3000 << 300 << false;
    }

    // A slow name server must not freeze the window: while the name is
    // looked up the pump keeps running, and a lookup that takes longer than
    // the time-out fails the connect like a name that does not resolve.
    void hostNameLookupKeepsTheWindowRunning()
    {
        QFETCH(int, lookupMs);
        QFETCH(int, resolveTimeout);
        QFETCH(bool, connects);
        SocketApi::SetResolver([lookupMs](const QString &host) {
            std::this_thread::sleep_for(std::chrono::milliseconds(lookupMs));
            return host == "langsam.example"_L1 ? QStringList{u"127.0.0.1"_s} : QStringList();
        });
        ScriptedServer server;
        server.echo();
        if (connects)
            QVERIFY(server.start());
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start();
        TIdAntiFreeze::Install([] { QCoreApplication::processEvents(); });

        TIdTCPClient client;
        client.Host = u"langsam.example"_s;
        client.Port = connects ? server.port() : FreeLocalPort();
        client.ResolveTimeout = resolveTimeout;
        QStringList statuses;
        client.OnStatus = [&](TIdTCPConnection *, TIdStatus, const QString &text) { statuses.append(text); };
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(client.OpenConnection(), connects);
        const qint64 elapsed = clock.elapsed();
        // The pump runs every 50 ms wait slice; allow for a busy machine.
        QVERIFY2(ticks >= elapsed / 100, qPrintable(u"%1 timer ticks in %2 ms"_s.arg(ticks).arg(elapsed)));
        QCOMPARE(statuses.value(0), u"Host-Name langsam.example wird aufgelöst."_s);
        if (connects) {
            VERIFY_IN_STEP(client);
            client.CloseConnection();
        } else {
            QVERIFY2(elapsed < 1500, qPrintable(u"gave up after %1 ms"_s.arg(elapsed)));
            QVERIFY(!client.IsConnected());
        }
    }

    void addressesOfANameAreTriedInTurn_data()
    {
        QTest::addColumn<bool>("firstIsSilent");
        QTest::newRow("the first refuses") << false;
        QTest::newRow("the first does not answer") << true;
    }

    // A name with several addresses (an IPv6 and an IPv4 one, say): one that
    // refuses, or does not answer within the time-out, gives way to the next.
    void addressesOfANameAreTriedInTurn()
    {
        QFETCH(bool, firstIsSilent);
        ScriptedServer server;
        server.echo();
        QVERIFY(server.start());
        // A listening socket whose one-place queue is full drops every
        // further connection attempt unanswered.
        SilentListener silent;
        if (firstIsSilent)
            QVERIFY(silent.start("127.0.0.2", server.port()));
        const QString first = firstIsSilent ? u"127.0.0.2"_s : u"::1"_s;
        SocketApi::SetResolver([first](const QString &) { return QStringList{first, u"127.0.0.1"_s}; });

        TIdTCPClient client;
        client.Host = u"zwei.example"_s;
        client.Port = server.port();
        client.ResolveTimeout = 300;
        QStringList statuses;
        client.OnStatus = [&](TIdTCPConnection *, TIdStatus, const QString &text) { statuses.append(text); };
        QElapsedTimer clock;
        clock.start();
        QVERIFY(client.OpenConnection());
        QVERIFY2(clock.elapsed() < 3000, qPrintable(u"%1 ms"_s.arg(clock.elapsed())));
        QCOMPARE(client.Binding().PeerIP, u"127.0.0.1"_s);
        QCOMPARE(statuses.filter(u"Verbinden mit"_s),
                 (QStringList{u"Verbinden mit %1."_s.arg(first), u"Verbinden mit 127.0.0.1."_s}));
        VERIFY_IN_STEP(client);
        client.CloseConnection();
    }

    void statusesAndActivityOfAConnection()
    {
        ScriptedServer server;
        server.answer("200 fine");
        TIdTCPClient client;
        ScriptedHost host;
        client.setSessionHost(&host);
        QStringList statuses;
        client.OnStatus = [&](TIdTCPConnection *, TIdStatus, const QString &text) { statuses.append(text); };
        QVERIFY(Open(client, server));
        QCOMPARE(client.SendCommand(u"NOOP"_s, 200), 200);
        client.CloseConnection();
        QCOMPARE(statuses, (QStringList{u"Verbinden mit 127.0.0.1."_s, u"Verbunden."_s,
                                        u"Verbindung zu 127.0.0.1 wird getrennt."_s, u"Nicht verbunden."_s}));
        // idle after connecting, sending, back to idle, receiving, idle, off
        QCOMPARE(host.activity, (QList<int>{1, 3, 1, 2, 1, 0}));
    }

    void logInterceptorShowsTrafficWithLineEndsMarked()
    {
        ScriptedServer server;
        server.answer("200 NOOP ok");
        TIdTCPClient client;
        TIdLogDebug log;
        log.Active = true;
        log.Target = ltNone;
        QStringList lines;
        log.OnLogItem = [&](QString &line) { lines.append(line); };
        client.SetIntercept(&log);
        client.SetInterceptEnabled(true);
        QVERIFY(Open(client, server));
        client.SendCommand(u"NOOP"_s, 200);
        client.CloseConnection();
        QCOMPARE(lines, (QStringList{u"Verbunden."_s, u"Gesendet: NOOP<EOL>"_s, u"Erh.: 200 NOOP ok<EOL>"_s,
                                     u"Verbindung aufgehoben."_s}));
    }

    void enablingAMissingInterceptorFails()
    {
        TIdTCPClient client;
        QVERIFY_THROWS_EXCEPTION(EIdInterceptPropIsNil, client.SetInterceptEnabled(true));
        auto *log = new TIdLogDebug;
        client.SetIntercept(log);
        client.SetInterceptEnabled(true);
        delete log;
        QVERIFY(!client.Intercept());
        QVERIFY(!client.InterceptEnabled());
    }

    // While the server says nothing the window must stay usable: the pump
    // runs at least every wait slice, and what it runs may end the wait.
    void pumpKeepsRunningWhileTheServerIsSilent()
    {
        ScriptedServer server;
        server.pause(900);
        TIdTCPClient client;
        QVERIFY(Open(client, server));
        TIdAntiFreeze::SetIdleTimeOut(5000);
        QElapsedTimer clock;
        clock.start();
        QList<qint64> calls;
        TIdAntiFreeze::Install([&] {
            calls.append(clock.elapsed());
            if (clock.elapsed() >= 600)
                client.CloseConnection(); // the user pressed "Trennen"
        });
        QVERIFY_THROWS_EXCEPTION(EIdConnClosedGracefully, client.ReadReply());
        QVERIFY(calls.size() >= 10);
        qint64 longestGap = calls.first();
        for (qsizetype i = 1; i < calls.size(); ++i)
            longestGap = std::max(longestGap, calls[i] - calls[i - 1]);
        // Slices are 50 ms; allow for a busy machine running tests side by
        // side, but not for the pump's 250 ms default or the profile's 5 s.
        QVERIFY2(longestGap <= 120, qPrintable(u"longest gap %1 ms"_s.arg(longestGap)));
    }
};

QTEST_GUILESS_MAIN(ConnectionTest)
#include "test_connection.moc"
