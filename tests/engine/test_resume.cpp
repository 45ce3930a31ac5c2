// Continued transfers: REST goes right before RETR or STOR, a refused REST
// falls back (downloads to the whole file, uploads to APPE and then to the
// whole file), a stop during REST leaves no marker on the server. Also MFMT,
// which gives an uploaded file its local time. The main window's and
// glimra-cli's tests continue cut transfers on a real server.
#include "enginetesthelpers.h"
#include "scriptedhost.h"
#include "scriptedserver.h"
#include "tidantifreeze.h"
#include "tidftp.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kOffset = 1000;

enum class Direction { Download, Upload };

// How the server answers REST, and for uploads then APPE.
enum class Answers { RestAccepted, RestRefused, RestAndAppeRefused };

// PASV or PORT. A passive port is opened for real when a transfer command
// follows (the client connects before it reads the answer), else it is
// only named.
void OfferData(ScriptedServer &server, bool passive, bool commandFollows)
{
    if (!passive)
        server.answer("200 PORT ok");
    else if (commandFollows)
        server.passive();
    else
        server.answer("229 Entering Extended Passive Mode (|||1|)");
}

// The transfer command, its data and the final reply.
void ServeTransfer(ScriptedServer &server, bool passive, Direction direction, const QByteArray &data)
{
    server.command();
    if (passive)
        server.acceptData();
    else
        server.connectData();
    server.reply("150 Opening BINARY mode");
    if (direction == Direction::Download)
        server.sendData(data).closeData();
    else
        server.receiveData();
    server.reply("226 Transfer complete.");
}

QString DataCommand(bool passive)
{
    return passive ? u"EPSV"_s : u"PORT"_s;
}

} // namespace

Q_DECLARE_METATYPE(Direction)
Q_DECLARE_METATYPE(Answers)

class ResumeTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { TIdAntiFreeze::Uninstall(); }

    void restartAndItsFallbacks_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<bool>("passive");
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<QStringList>("commands"); // after PASV or PORT, which the test puts first
        QTest::addColumn<bool>("whole");           // the whole file travelled
        QTest::addColumn<int>("told");             // status lines about fallbacks
        for (const bool passive : {true, false}) {
            const char *mode = passive ? "passive" : "active";
            const QString data = DataCommand(passive);
            QTest::addRow("%s download", mode) << Direction::Download << passive << Answers::RestAccepted
                                               << QStringList{u"REST 1000"_s, u"retr f.bin"_s} << false << 0;
            QTest::addRow("%s download, REST refused", mode)
                << Direction::Download << passive << Answers::RestRefused
                << QStringList{u"REST 1000"_s, data, u"retr f.bin"_s} << true << 1;
            QTest::addRow("%s upload", mode) << Direction::Upload << passive << Answers::RestAccepted
                                             << QStringList{u"REST 1000"_s, u"STOR f.bin"_s} << false << 0;
            QTest::addRow("%s upload, REST refused", mode)
                << Direction::Upload << passive << Answers::RestRefused
                << QStringList{u"REST 1000"_s, data, u"APPE f.bin"_s} << false << 1;
            QTest::addRow("%s upload, REST and APPE refused", mode)
                << Direction::Upload << passive << Answers::RestAndAppeRefused
                << QStringList{u"REST 1000"_s, data, u"APPE f.bin"_s, data, u"STOR f.bin"_s} << true << 2;
        }
    }

    void restartAndItsFallbacks()
    {
        QFETCH(Direction, direction);
        QFETCH(bool, passive);
        QFETCH(Answers, answers);
        QFETCH(QStringList, commands);
        QFETCH(bool, whole);
        QFETCH(int, told);

        const QByteArray file = RandomBytes(64 * 1024 + 7);
        const QByteArray sent = whole ? file : file.mid(kOffset);
        ScriptedServer server;
        OfferData(server, passive, answers == Answers::RestAccepted);
        if (answers == Answers::RestAccepted) {
            server.answer("350 Restarting at 1000.");
        } else {
            server.answer("500 Command \"REST\" not understood.");
            if (answers == Answers::RestAndAppeRefused) {
                OfferData(server, passive, true);
                server.answer("502 APPE not implemented.");
            }
            OfferData(server, passive, true);
        }
        ServeTransfer(server, passive, direction, sent);
        server.echo();

        TIdFTP ftp;
        QStringList status;
        ftp.OnStatus = [&](TIdTCPConnection *, TIdStatus kind, const QString &text) {
            if (kind == hsStatusText)
                status.append(text);
        };
        QVERIFY(ConnectWithoutLogin(ftp, server, passive));
        QTemporaryDir dir;
        QFile local(dir.filePath(u"f.bin"_s));
        bool done = false;
        if (direction == Direction::Download) {
            QVERIFY(local.open(QIODevice::ReadWrite));
            local.write(file.left(kOffset));
            done = ftp.RetrieveFrom(u"f.bin"_s, local, kOffset);
            local.close();
            QCOMPARE(FileContent(local.fileName()), file);
        } else {
            QVERIFY(WriteFileContent(local.fileName(), file));
            QVERIFY(local.open(QIODevice::ReadOnly));
            done = ftp.StoreFrom(local, u"f.bin"_s, kOffset);
        }
        QVERIFY(done);
        QCOMPARE(ftp.RestartRefused(), answers != Answers::RestAccepted);
        QCOMPARE(status.size(), told);
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        if (direction == Direction::Upload)
            QCOMPARE(server.receivedData(), sent);
        QStringList transcript = server.transcript();
        for (QString &line : transcript) {
            if (line.startsWith(u"PORT "_s))
                line = u"PORT"_s;
        }
        QCOMPARE(transcript, QStringList{DataCommand(passive)} + commands + QStringList{kInStepMarker});
        QVERIFY2(server.failure().isEmpty(), qPrintable(server.failure()));
    }

    // A continued download the server refuses keeps what the file held.
    void refusedContinuationKeepsThePartialData()
    {
        ScriptedServer server;
        server.passive().answer("350 Restarting at 3.").answer("550 No such file.").echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        QTemporaryDir dir;
        QFile local(dir.filePath(u"f.bin"_s));
        QVERIFY(local.open(QIODevice::ReadWrite));
        local.write("abc");
        QVERIFY(!ftp.RetrieveFrom(u"f.bin"_s, local, 3));
        local.close();
        QCOMPARE(FileContent(local.fileName()), QByteArray("abc"));
        QVERIFY(!ftp.RestartRefused());
        VERIFY_IN_STEP(ftp);
    }

    // The user stops the transfer while REST waits for its answer: the
    // transfer command never goes out, and REST 0 takes back the marker the
    // server would otherwise apply to the next transfer.
    void stopDuringRestClearsTheMarker()
    {
        ScriptedServer server;
        server.answer("229 Entering Extended Passive Mode (|||1|)")
            .command()
            .pause(300)
            .reply("350 Restarting at 1000.")
            .answer("350 Restarting at 0.")
            .echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        int aborts = 0;
        TIdAntiFreeze::Install([&] {
            if (aborts++ == 0)
                ftp.Abort();
        });
        QTemporaryDir dir;
        QFile local(dir.filePath(u"f.bin"_s));
        QVERIFY(local.open(QIODevice::ReadWrite));
        QVERIFY(!ftp.RetrieveFrom(u"f.bin"_s, local, kOffset));
        TIdAntiFreeze::Uninstall();
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), (QStringList{u"EPSV"_s, u"REST 1000"_s, u"REST 0"_s, kInStepMarker}));
    }

    void modifiedTimeGoesOutInUtc()
    {
        ScriptedServer server;
        server.answer("213 Modify=20190504102030; /a b.txt").echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        const QDateTime berlin(QDate(2019, 5, 4), QTime(12, 20, 30, 999), QTimeZone("Europe/Berlin"));
        QVERIFY(ftp.SetModifiedTime(u"/a b.txt"_s, berlin));
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), (QStringList{u"MFMT 20190504102030 /a b.txt"_s, kInStepMarker}));
    }
};

QTEST_MAIN(ResumeTest)
#include "test_resume.moc"
