// Downloads and uploads over passive and active data connections, every
// reply path, abort and a server that vanishes, against scripted servers.
#include "enginetesthelpers.h"
#include "idexceptions.h"
#include "scriptedhost.h"
#include "scriptedserver.h"
#include "tidantifreeze.h"
#include "tidftp.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The steps of a server that hands out data after the transfer command.
void ServeDownload(ScriptedServer &server, bool passive, const QByteArray &preliminary)
{
    if (passive)
        server.passive().command().acceptData().reply(preliminary);
    else
        server.answer("200 PORT command successful").command().connectData().reply(preliminary);
}

} // namespace

class TransfersTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { TIdAntiFreeze::Uninstall(); }

    void download_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<QByteArray>("preliminary");
        QTest::addColumn<QList<QByteArray>>("finals");
        QTest::addColumn<bool>("result");

        for (const bool passive : {true, false}) {
            const char *mode = passive ? "passive" : "active";
            QTest::addRow("%s 150 226", mode) << passive << QByteArray("150 Opening BINARY mode")
                                              << QList<QByteArray>{"226 Transfer complete"} << true;
            QTest::addRow("%s 125 250", mode) << passive << QByteArray("125 Data connection already open")
                                              << QList<QByteArray>{"250 Done"} << true;
            QTest::addRow("%s 426 then 226", mode)
                << passive << QByteArray("150 Opening") << QList<QByteArray>{"426 Aborted", "226 Abort ok"}
                << true;
            QTest::addRow("%s 426 then 550", mode) << passive << QByteArray("150 Opening")
                                                   << QList<QByteArray>{"426 Aborted", "550 Gone"} << false;
            QTest::addRow("%s final error", mode)
                << passive << QByteArray("150 Opening") << QList<QByteArray>{"451 Local error in processing"}
                << false;
        }
    }

    void download()
    {
        QFETCH(bool, passive);
        QFETCH(QByteArray, preliminary);
        QFETCH(QList<QByteArray>, finals);
        QFETCH(bool, result);

        const QByteArray payload = RandomBytes(300 * 1024 + 17);
        ScriptedServer server;
        ServeDownload(server, passive, preliminary);
        server.sendData(payload).closeData();
        for (const QByteArray &line : finals)
            server.reply(line);
        server.answer("257 \"/\" is the current directory");

        TIdFTP ftp;
        QList<qint64> maxima;
        qint64 lastCount = 0;
        ftp.OnWorkBegin = [&](TIdTCPConnection *, TWorkMode mode, qint64 max) {
            QCOMPARE(mode, wmRead);
            maxima.append(max);
        };
        ftp.OnWork = [&](TIdTCPConnection *sender, TWorkMode, qint64 count) {
            QVERIFY(sender != &ftp); // the data connection reports
            lastCount = count;
        };
        QVERIFY(ConnectWithoutLogin(ftp, server, passive));
        QTemporaryDir dir;
        const QString path = dir.filePath(u"target.bin"_s);
        QCOMPARE(ftp.RetrieveToFile(u"data.bin"_s, path), result);
        QCOMPARE(FileContent(path), payload);
        QCOMPARE(maxima, QList<qint64>{0});
        QCOMPARE(lastCount, qint64(payload.size()));
        QVERIFY(!ftp.HasDataConnection());
        // Every reply was read: the next command gets its own answer.
        QCOMPARE(ftp.CurrentDir(), u"/"_s);
        ftp.CloseConnection();

        QStringList expected{passive ? u"PASV"_s : u"PORT 127,0,0,1,"_s, u"retr data.bin"_s, u"PWD"_s};
        QStringList transcript = server.transcript();
        if (!passive)
            transcript[0] = transcript[0].left(expected[0].size());
        QCOMPARE(transcript, expected);
        QVERIFY2(server.failure().isEmpty(), qPrintable(server.failure()));
    }

    void refusedDownloadLeavesAnEmptyFile_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::newRow("passive") << true;
        QTest::newRow("active") << false;
    }

    void refusedDownloadLeavesAnEmptyFile()
    {
        QFETCH(bool, passive);
        ScriptedServer server;
        if (passive)
            server.passive().answer("550 No such file");
        else
            server.answer("200 PORT ok").answer("550 No such file");
        server.answer("250 CWD ok");
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, passive));
        QTemporaryDir dir;
        const QString path = dir.filePath(u"missing.txt"_s);
        QVERIFY(!ftp.RetrieveToFile(u"missing.txt"_s, path));
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);
        // No further reply was awaited for the refused command.
        QVERIFY(ftp.ChangeDir(u"/pub"_s));
        ftp.CloseConnection();
        QCOMPARE(server.transcript().last(), u"CWD /pub"_s);
    }

    void existingTargetIsKeptWhenOverwritingIsNotAllowed()
    {
        ScriptedServer server;
        TIdFTP ftp;
        server.setDrainTimeout(200);
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        QTemporaryDir dir;
        const QString path = dir.filePath(u"keep.txt"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
        file.close();
        QVERIFY_THROWS_EXCEPTION(EIdFTPFileAlreadyExists, ftp.RetrieveToFile(u"keep.txt"_s, path, false));
        QCOMPARE(FileContent(path), QByteArray("old"));
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), QStringList());
    }

    void upload_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<QByteArray>("preliminary");
        QTest::addColumn<QByteArray>("final");
        QTest::addColumn<bool>("result");
        for (const bool passive : {true, false}) {
            const char *mode = passive ? "passive" : "active";
            QTest::addRow("%s 150 226", mode)
                << passive << QByteArray("150 Ok to send data") << QByteArray("226 Done") << true;
            QTest::addRow("%s 125 226", mode)
                << passive << QByteArray("125 Already open") << QByteArray("226 Done") << true;
            QTest::addRow("%s final 552", mode)
                << passive << QByteArray("150 Ok") << QByteArray("552 Quota exceeded") << false;
        }
    }

    void upload()
    {
        QFETCH(bool, passive);
        QFETCH(QByteArray, preliminary);
        QFETCH(QByteArray, final);
        QFETCH(bool, result);

        const QByteArray payload = RandomBytes(200 * 1024 + 3);
        ScriptedServer server;
        if (passive)
            server.passive().command().acceptData().reply(preliminary);
        else
            server.answer("200 PORT ok").command().connectData().reply(preliminary);
        server.receiveData().reply(final);

        TIdFTP ftp;
        ScriptedHost host;
        ftp.setSessionHost(&host);
        QList<qint64> maxima;
        qint64 lastCount = 0;
        ftp.OnWorkBegin = [&](TIdTCPConnection *, TWorkMode mode, qint64 max) {
            QCOMPARE(mode, wmWrite);
            maxima.append(max);
        };
        ftp.OnWork = [&](TIdTCPConnection *, TWorkMode, qint64 count) { lastCount = count; };
        QVERIFY(ConnectWithoutLogin(ftp, server, passive));
        QTemporaryDir dir;
        const QString path = dir.filePath(u"source.bin"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(payload);
        file.close();
        QCOMPARE(ftp.StoreFile(path, u"Ziel.bin"_s), result);
        ftp.CloseConnection();

        QCOMPARE(server.receivedData(), payload);
        QCOMPARE(maxima, QList<qint64>{payload.size()});
        QCOMPARE(lastCount, qint64(payload.size()));
        QCOMPARE(server.transcript().last(), u"STOR Ziel.bin"_s);
        QCOMPARE(host.transferActive, passive ? QList<bool>{} : QList<bool>{false});
        QVERIFY2(server.failure().isEmpty(), qPrintable(server.failure()));
    }

    void storeCommands_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("append");
        QTest::addColumn<QString>("command");
        QTest::newRow("store") << u"a.txt"_s << false << u"STOR a.txt"_s;
        QTest::newRow("append") << u"a.txt"_s << true << u"APPE a.txt"_s;
        QTest::newRow("unique") << QString() << false << u"STOU "_s;
    }

    void storeCommands()
    {
        QFETCH(QString, name);
        QFETCH(bool, append);
        QFETCH(QString, command);
        ScriptedServer server;
        server.passive().answer("553 Not allowed");
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        QBuffer source;
        source.setData("content");
        source.open(QIODevice::ReadOnly);
        QVERIFY(!ftp.Store(source, name, append));
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), (QStringList{u"PASV"_s, command}));
    }

    // Abort from the progress handler lands between two chunks: the
    // download ends normally and reads the server's two replies.
    // Abort from the pump lands inside a wait: the wait ends with the
    // connection-closed error and the replies stay unread until the skip
    // after the abort reads them. Either way the next command gets its own.
    void abortDuringDownload_data()
    {
        QTest::addColumn<bool>("fromPump");
        QTest::newRow("between chunks") << false;
        QTest::newRow("inside a wait") << true;
    }

    void abortDuringDownload()
    {
        QFETCH(bool, fromPump);
        ScriptedServer server;
        ServeDownload(server, true, "150 Opening");
        server.sendData(RandomBytes(64 * 1024))
            .command()
            .reply("426 Connection closed; transfer aborted.")
            .reply("226 ABOR command successful.")
            .answer("200 NOOP ok")
            .answer("257 \"/pub\" is the current directory");
        TIdFTP ftp;
        bool aborted = false;
        const auto abort = [&] {
            if (!aborted) {
                aborted = true;
                ftp.Abort();
            }
        };
        if (fromPump) {
            ftp.OnWork = [&](TIdTCPConnection *, TWorkMode, qint64 count) {
                if (count == 64 * 1024)
                    TIdAntiFreeze::Install(abort); // the user presses cancel while the server pauses
            };
        } else {
            ftp.OnWork = [&](TIdTCPConnection *, TWorkMode, qint64) { abort(); };
        }
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        if (fromPump) {
            QVERIFY_THROWS_EXCEPTION(EIdConnClosedGracefully, ftp.Retrieve(u"big.iso"_s, target));
            QVERIFY(ftp.IsConnected());
            QVERIFY(!ftp.HasDataConnection());
        } else {
            QVERIFY(ftp.Retrieve(u"big.iso"_s, target));
            QVERIFY(target.data().size() <= 64 * 1024);
        }
        ftp.SkipRepliesAfterAbort();
        QCOMPARE(ftp.CurrentDir(), u"/pub"_s);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(),
                 (QStringList{u"PASV"_s, u"retr big.iso"_s, u"ABOR"_s, u"NOOP"_s, u"PWD"_s}));
    }

    void abortDuringUpload_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::newRow("passive") << true;
        QTest::newRow("active") << false;
    }

    void abortDuringUpload()
    {
        QFETCH(bool, passive);
        const QByteArray payload = RandomBytes(1024 * 1024);
        ScriptedServer server;
        if (passive)
            server.passive().command().acceptData().reply("150 Ok to send data");
        else
            server.answer("200 PORT ok").command().connectData().reply("150 Ok to send data");
        server.command().reply("426 Transfer aborted").reply("226 Abort successful").receiveData();
        TIdFTP ftp;
        ftp.OnWork = [&](TIdTCPConnection *, TWorkMode, qint64 count) {
            if (count >= 64 * 1024 && ftp.HasDataConnection())
                ftp.Abort();
        };
        QVERIFY(ConnectWithoutLogin(ftp, server, passive));
        QBuffer source;
        source.setData(payload);
        source.open(QIODevice::ReadOnly);
        QVERIFY(ftp.Store(source, u"big.bin"_s));
        QVERIFY(ftp.IsConnected());
        ftp.CloseConnection();
        const QStringList transcript = server.transcript();
        QCOMPARE(transcript.mid(1), (QStringList{u"STOR big.bin"_s, u"ABOR"_s}));
        const QByteArray received = server.receivedData();
        QVERIFY(received.size() < payload.size());
        QVERIFY(payload.startsWith(received));
    }

    void serverVanishingMidTransferClosesTheSession()
    {
        ScriptedServer server;
        ServeDownload(server, true, "150 Opening");
        server.sendData(RandomBytes(10000)).closeData().closeControl();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(EIdConnClosedGracefully,
                                 ftp.RetrieveToFile(u"file"_s, dir.filePath(u"file"_s)));
        QVERIFY(!ftp.IsConnected());
        QVERIFY(!ftp.HasDataConnection());
    }

    void passiveReplyWithoutParentheses()
    {
        const QByteArray payload = RandomBytes(5000);
        ScriptedServer server;
        server.passive("227 Entering Passive Mode %1")
            .command()
            .acceptData()
            .reply("150 Here")
            .sendData(payload)
            .closeData()
            .reply("226 Ok");
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        QVERIFY(ftp.Retrieve(u"x"_s, target));
        QCOMPARE(target.data(), payload);
        ftp.CloseConnection();
    }

    void passiveAddresses_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::newRow("without parentheses")
            << QByteArray("227 Entering Passive Mode 10,0,0,5,19,137") << u"10.0.0.5"_s << 5001;
        QTest::newRow("with parentheses")
            << QByteArray("227 Entering Passive Mode (192,168,7,1,4,1).") << u"192.168.7.1"_s << 1025;
        QTest::newRow("blanks in the fields")
            << QByteArray("227 =(10, 1, 2, 3, 0, 21)") << u"10.1.2.3"_s << 21;
        QTest::newRow("any address means the server's")
            << QByteArray("227 (0,0,0,0,200,10)") << u"127.0.0.1"_s << 51210;
    }

    void passiveAddresses()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, address);
        QFETCH(int, port);
        ScriptedServer server;
        server.answer(reply);
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        const TIdFTP::PassiveTarget target = ftp.EnterPassive();
        QCOMPARE(target.address, address);
        QCOMPARE(target.port, port);
        ftp.CloseConnection();
    }

    void portAnnouncement()
    {
        ScriptedServer server;
        server.answer("200 PORT ok");
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, false));
        TIdSocketHandle listening;
        listening.IP = u"192.168.1.2"_s;
        listening.Port = 5001;
        ftp.AnnouncePort(listening);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), QStringList{u"PORT 192,168,1,2,19,137"_s});
    }

    void transferTypeIsSentOnlyOnChange()
    {
        ScriptedServer server;
        server.answer("200 Type A").answer("200 Type I");
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        ftp.SetTransferType(ftBinary);
        ftp.SetTransferType(ftASCII);
        ftp.SetTransferType(ftASCII);
        ftp.SetTransferType(ftBinary);
        ftp.CloseConnection();
        ftp.SetTransferType(ftASCII); // not connected: only remembered
        QCOMPARE(ftp.TransferType(), ftASCII);
        QCOMPARE(server.transcript(), (QStringList{u"type A"_s, u"type I"_s}));
    }

    void activeModeGivesUpWhenTheServerAnswersInstead()
    {
        ScriptedServer server;
        server.answer("200 PORT ok").answer("150 Opening").reply("425 Can't open data connection.");
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, false));
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        QVERIFY(!ftp.Retrieve(u"x"_s, target));
        QVERIFY(!ftp.HasDataConnection());
        ftp.CloseConnection();
    }

    void quitAndAbortOnADeadSessionSendNothing()
    {
        ScriptedServer server;
        server.closeControl();
        TIdFTP ftp;
        ScriptedHost host;
        ftp.setSessionHost(&host);
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        QVERIFY(server.failure().isEmpty()); // the server has closed
        ftp.Abort();
        ftp.Quit();
        QVERIFY(!ftp.IsConnected());
        QCOMPARE(host.connectionLost, 1);
        QCOMPARE(server.transcript(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TransfersTest)
#include "test_transfers.moc"
