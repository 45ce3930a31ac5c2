// Downloads and uploads over passive and active data connections, every
// reply path, every way a transfer can fail, abort and a server that
// vanishes, against scripted servers. After each the session must be in
// step: the next command gets its own reply.
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

void AddModeRows()
{
    QTest::addColumn<bool>("passive");
    QTest::newRow("passive") << true;
    QTest::newRow("active") << false;
}

// Abort from the progress handler lands between two chunks, abort from the
// pump inside a wait for data.
void AddAbortRows()
{
    QTest::addColumn<bool>("fromPump");
    QTest::newRow("between chunks") << false;
    QTest::newRow("inside a wait") << true;
}

// A download the client aborts after 64 KiB: the server's answers after the
// ABOR are the leftovers, then NOOP and the in-step check.
void ServeAbortedDownload(ScriptedServer &server, const QList<QByteArray> &leftovers)
{
    ServeDownload(server, true, "150 Opening");
    server.sendData(RandomBytes(64 * 1024)).command();
    for (const QByteArray &line : leftovers)
        server.reply(line);
    server.answer("200 NOOP ok").echo();
}

// A local file that fails every read and write, as a dying disk does.
class BrokenFile : public QIODevice {
public:
    static constexpr QStringView kError = u"Eingabe-/Ausgabefehler";

    BrokenFile() { open(QIODevice::ReadWrite); }
    qint64 size() const override { return 1024 * 1024; }

protected:
    qint64 readData(char *, qint64) override { return Fail(); }
    qint64 writeData(const char *, qint64) override { return Fail(); }

private:
    qint64 Fail()
    {
        setErrorString(kError.toString());
        return -1;
    }
};

// How a transfer goes wrong once its command has gone to the server.
enum class Failure {
    ConnectRefused,         // the passive data connection cannot be opened
    PreliminaryThenRefused, // as above, but the server said 150 first
    ServerNeverConnects,    // active: 150, then 425 instead of a connection
    DataReset,              // the data connection is reset mid-way
    LocalFileFails,         // the download cannot be stored, the upload not read
};

enum class Operation { Download, Upload, Listing };

// The server's side of a transfer that fails: up to the failure, what the
// server says about it, its answer to ABOR, then NOOP and the in-step check.
void ServeFailingTransfer(ScriptedServer &server, bool passive, Operation operation, Failure failure)
{
    const QByteArray preliminary = "150 Opening data connection";
    if (failure == Failure::ConnectRefused || failure == Failure::PreliminaryThenRefused) {
        server.answer("229 Entering Extended Passive Mode (|||1|)").command(); // nobody listens on port 1
        if (failure == Failure::PreliminaryThenRefused)
            server.reply(preliminary);
        server.reply("425 Can't open data connection.").answer("225 No transfer to ABOR.");
    } else if (failure == Failure::ServerNeverConnects) {
        server.answer("200 PORT ok")
            .command()
            .reply(preliminary)
            .reply("425 Can't open data connection.")
            .answer("225 No transfer to ABOR.");
    } else {
        if (passive)
            server.passive().command().acceptData().reply(preliminary);
        else
            server.answer("200 PORT ok").command().connectData().reply(preliminary);
        if (operation != Operation::Upload)
            server.sendData(RandomBytes(64 * 1024));
        if (failure == Failure::DataReset) {
            // The pause lets the client's connect finish first; a reset seen
            // there would make a data connection that never came up.
            server.pause(200)
                .resetData()
                .reply("426 Connection closed; transfer aborted.")
                .answer("225 No transfer to ABOR.");
        } else if (operation == Operation::Upload) {
            // The data connection ends before any data: an empty file.
            server.receiveData().reply("226 Transfer complete.").answer("225 No transfer to ABOR.");
        } else {
            server.command().reply("426 Transfer aborted.").reply("226 ABOR successful.");
        }
    }
    server.answer("200 NOOP ok").echo();
}

} // namespace

Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(Failure)

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
            // A transfer the server broke off is not done, whether the
            // server follows its 426 with another reply or not.
            QTest::addRow("%s 426 then 226", mode)
                << passive << QByteArray("150 Opening") << QList<QByteArray>{"426 Aborted", "226 Abort ok"}
                << false;
            QTest::addRow("%s 426 alone", mode) << passive << QByteArray("150 Opening")
                                                << QList<QByteArray>{"426 Connection closed"} << false;
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
        const bool brokenOff = finals.first().startsWith("426");
        if (brokenOff)
            server.answer("200 NOOP ok");
        server.echo();

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
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();

        QStringList expected{passive ? u"EPSV"_s : u"PORT 127,0,0,1,"_s, u"retr data.bin"_s};
        if (brokenOff)
            expected.append(u"NOOP"_s);
        expected.append(kInStepMarker);
        QStringList transcript = server.transcript();
        if (!passive)
            transcript[0] = transcript[0].left(expected[0].size());
        QCOMPARE(transcript, expected);
        QVERIFY2(server.failure().isEmpty(), qPrintable(server.failure()));
    }

    void refusedDownloadLeavesAnEmptyFile_data() { AddModeRows(); }

    void refusedDownloadLeavesAnEmptyFile()
    {
        QFETCH(bool, passive);
        ScriptedServer server;
        if (passive)
            server.passive().answer("550 No such file");
        else
            server.answer("200 PORT ok").answer("550 No such file");
        server.echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, passive));
        QTemporaryDir dir;
        const QString path = dir.filePath(u"missing.txt"_s);
        QVERIFY(!ftp.RetrieveToFile(u"missing.txt"_s, path));
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);
        // No further reply was awaited for the refused command.
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript().mid(1), (QStringList{u"retr missing.txt"_s, kInStepMarker}));
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
        server.receiveData().reply(final).echo();

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
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();

        QCOMPARE(server.receivedData(), payload);
        QCOMPARE(maxima, QList<qint64>{payload.size()});
        QCOMPARE(lastCount, qint64(payload.size()));
        QCOMPARE(server.transcript().mid(1), (QStringList{u"STOR Ziel.bin"_s, kInStepMarker}));
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
        server.passive().answer("553 Not allowed").echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        QBuffer source;
        source.setData("content");
        source.open(QIODevice::ReadOnly);
        QVERIFY(!ftp.Store(source, name, append));
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), (QStringList{u"EPSV"_s, command, kInStepMarker}));
    }

    void failedTransfersLeaveTheSessionInStep_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<Failure>("failure");
        const auto row = [](const char *name, bool passive, Operation operation, Failure failure) {
            QTest::newRow(name) << passive << operation << failure;
        };
        row("passive download, connect refused", true, Operation::Download, Failure::ConnectRefused);
        row("passive upload, connect refused", true, Operation::Upload, Failure::ConnectRefused);
        row("passive listing, connect refused", true, Operation::Listing, Failure::ConnectRefused);
        row("passive download, 150 and connect refused", true, Operation::Download,
            Failure::PreliminaryThenRefused);
        row("passive upload, 150 and connect refused", true, Operation::Upload,
            Failure::PreliminaryThenRefused);
        row("active download, server never connects", false, Operation::Download,
            Failure::ServerNeverConnects);
        row("active upload, server never connects", false, Operation::Upload, Failure::ServerNeverConnects);
        row("passive download, reset mid-way", true, Operation::Download, Failure::DataReset);
        row("passive upload, reset mid-way", true, Operation::Upload, Failure::DataReset);
        row("passive listing, reset mid-way", true, Operation::Listing, Failure::DataReset);
        row("active download, reset mid-way", false, Operation::Download, Failure::DataReset);
        row("active upload, reset mid-way", false, Operation::Upload, Failure::DataReset);
        row("passive download, local file fails", true, Operation::Download, Failure::LocalFileFails);
        row("active download, local file fails", false, Operation::Download, Failure::LocalFileFails);
        row("passive upload, local file fails", true, Operation::Upload, Failure::LocalFileFails);
        row("active upload, local file fails", false, Operation::Upload, Failure::LocalFileFails);
    }

    // The server still owes replies for a transfer that failed after its
    // command went out; they are read before the transfer returns, so the
    // next command gets its own reply. A failure of the data connection or
    // of the local file is still raised; a data connection that never came
    // up is a failed transfer.
    void failedTransfersLeaveTheSessionInStep()
    {
        QFETCH(bool, passive);
        QFETCH(Operation, operation);
        QFETCH(Failure, failure);
        ScriptedServer server;
        ServeFailingTransfer(server, passive, operation, failure);
        TIdFTP ftp;
        ScriptedHost host;
        ftp.setSessionHost(&host);
        QVERIFY(ConnectWithoutLogin(ftp, server, passive));

        BrokenFile brokenFile;
        QBuffer memory;
        memory.setData(QByteArray(16 * 1024 * 1024, 'u'));
        memory.open(QIODevice::ReadWrite);
        QIODevice &local = failure == Failure::LocalFileFails ? static_cast<QIODevice &>(brokenFile) : memory;
        QString raised;
        bool result = false;
        QStringList lines{u"old"_s};
        try {
            if (operation == Operation::Download)
                result = ftp.Retrieve(u"x"_s, local);
            else if (operation == Operation::Upload)
                result = ftp.Store(local, u"x"_s);
            else
                ftp.ListFacts(lines);
        } catch (const EIdException &error) {
            raised = error.Message();
        }
        if (failure == Failure::LocalFileFails)
            QVERIFY2(raised.contains(BrokenFile::kError), qPrintable(raised));
        else if (failure == Failure::DataReset)
            QVERIFY2(raised.startsWith(u"Socket-Fehler"_s), qPrintable(raised));
        else
            QVERIFY2(raised.isEmpty(), qPrintable(raised));
        QVERIFY(!result);
        QVERIFY(!ftp.HasDataConnection());
        VERIFY_IN_STEP(ftp);
        QVERIFY(ftp.IsConnected());
        ftp.CloseConnection();

        const QString command = operation == Operation::Download ? u"retr x"_s
                                : operation == Operation::Upload ? u"STOR x"_s
                                                                 : u"MLSD"_s;
        QCOMPARE(server.transcript().mid(1), (QStringList{command, u"ABOR"_s, u"NOOP"_s, kInStepMarker}));
        QVERIFY2(server.failure().isEmpty(), qPrintable(server.failure()));
    }

    // Abort from the progress handler lands between two chunks, abort from
    // the pump inside a wait for data. Either way the transfer reads what
    // the server still says about it and about the ABOR, whatever order and
    // codes the server chooses, and ends as not done without an error.
    void abortDuringDownload_data()
    {
        QTest::addColumn<bool>("fromPump");
        QTest::addColumn<QList<QByteArray>>("leftovers");
        const QList<QByteArray> aborted{"426 Connection closed; transfer aborted.",
                                        "226 ABOR command successful."};
        const QList<QByteArray> finishedFirst{"226 Transfer complete.", "225 No transfer to ABOR."};
        const QList<QByteArray> aborUnknown{"426 Connection closed.", "502 ABOR not implemented."};
        QTest::newRow("between chunks, 426 226") << false << aborted;
        QTest::newRow("inside a wait, 426 226") << true << aborted;
        QTest::newRow("between chunks, 226 225") << false << finishedFirst;
        QTest::newRow("inside a wait, 226 225") << true << finishedFirst;
        QTest::newRow("between chunks, ABOR refused") << false << aborUnknown;
        QTest::newRow("inside a wait, ABOR refused") << true << aborUnknown;
    }

    void abortDuringDownload()
    {
        QFETCH(bool, fromPump);
        QFETCH(QList<QByteArray>, leftovers);
        ScriptedServer server;
        ServeAbortedDownload(server, leftovers);
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
        QVERIFY(!ftp.Retrieve(u"big.iso"_s, target));
        QVERIFY(aborted);
        QVERIFY(target.data().size() <= 64 * 1024);
        QVERIFY(!ftp.HasDataConnection());
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(),
                 (QStringList{u"EPSV"_s, u"retr big.iso"_s, u"ABOR"_s, u"NOOP"_s, kInStepMarker}));
    }

    // What the callers do after a cancel: a transfer that still raised the
    // error of the cut data connection, then the skip of leftover replies.
    // A refused ABOR (5xx) among the leftovers must not end the skip early.
    void skipAfterACancelReadsUpToItsOwnReply_data()
    {
        QTest::addColumn<QList<QByteArray>>("leftovers");
        QTest::newRow("426 226") << QList<QByteArray>{"426 Connection closed.", "226 ABOR successful."};
        QTest::newRow("ABOR refused") << QList<QByteArray>{"426 Connection closed.", "500 Unknown command."};
        QTest::newRow("file gone meanwhile")
            << QList<QByteArray>{"550 Failure reading file.", "225 No transfer."};
    }

    void skipAfterACancelReadsUpToItsOwnReply()
    {
        QFETCH(QList<QByteArray>, leftovers);
        ScriptedServer server;
        ServeAbortedDownload(server, leftovers);
        TIdFTP ftp;
        ftp.OnWork = [&](TIdTCPConnection *, TWorkMode, qint64 count) {
            if (count == 64 * 1024)
                TIdAntiFreeze::Install([&] {
                    if (ftp.HasDataConnection())
                        ftp.Abort();
                });
        };
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        try {
            ftp.Retrieve(u"big.iso"_s, target);
        } catch (const EIdConnClosedGracefully &) {
        }
        TIdAntiFreeze::Uninstall();
        ftp.SkipRepliesAfterAbort();
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
    }

    void abortDuringAListing_data() { AddAbortRows(); }

    // A listing the user cancels gives no lines and no error.
    void abortDuringAListing()
    {
        QFETCH(bool, fromPump);
        ScriptedServer server;
        server.answer("200 Type set to A");
        ServeDownload(server, true, "150 Here comes the directory listing.");
        server.sendData(QByteArray("-rw-r--r-- 1 ftp ftp 5 Jan 01 2020 a.txt\r\n").repeated(2000))
            .command()
            .reply("426 Failure writing network stream.")
            .reply("225 No transfer to ABOR.")
            .answer("200 NOOP ok")
            .echo();
        TIdFTP ftp;
        bool aborted = false;
        const auto abort = [&] {
            if (!aborted && ftp.HasDataConnection()) {
                aborted = true;
                ftp.Abort();
            }
        };
        if (fromPump)
            ftp.OnWork = [&](TIdTCPConnection *, TWorkMode, qint64) { TIdAntiFreeze::Install(abort); };
        else
            ftp.OnWork = [&](TIdTCPConnection *, TWorkMode, qint64) { abort(); };
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        QStringList lines{u"old"_s};
        ftp.List(lines);
        QVERIFY(aborted);
        QCOMPARE(lines, QStringList());
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(),
                 (QStringList{u"type A"_s, u"EPSV"_s, u"list"_s, u"ABOR"_s, u"NOOP"_s, kInStepMarker}));
    }

    // A cancel that lands while no transfer runs, or before the transfer
    // command went out, sends nothing the server would answer unasked.
    void abortOutsideATransferSendsNothing_data()
    {
        QTest::addColumn<bool>("duringPassive");
        QTest::newRow("while CWD waits") << false;
        QTest::newRow("while EPSV waits") << true;
    }

    void abortOutsideATransferSendsNothing()
    {
        QFETCH(bool, duringPassive);
        ScriptedServer server;
        server.command().pause(300);
        server.reply(duringPassive ? "229 Entering Extended Passive Mode (|||1|)" : "250 CWD ok").echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        int aborts = 0;
        TIdAntiFreeze::Install([&] {
            if (aborts++ == 0)
                ftp.Abort();
        });
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        if (duringPassive)
            QVERIFY(!ftp.Retrieve(u"x"_s, target));
        else
            QVERIFY(ftp.ChangeDir(u"/pub"_s));
        TIdAntiFreeze::Uninstall();
        QVERIFY(aborts > 0);
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(),
                 (QStringList{duringPassive ? u"EPSV"_s : u"CWD /pub"_s, kInStepMarker}));
    }

    // What the pump runs while a transfer waits must not put a command of
    // its own between the transfer's command and its replies.
    void aTypeChangeDuringATransferSendsNothing()
    {
        ScriptedServer server;
        server.command().pause(300).reply("229 Entering Extended Passive Mode (|||1|)");
        server.command().reply("425 Can't open data connection.").answer("225 No transfer to ABOR.");
        server.answer("200 NOOP ok").echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        TIdAntiFreeze::Install([&] { ftp.SetTransferType(ftASCII); });
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        QVERIFY(!ftp.Retrieve(u"x"_s, target));
        TIdAntiFreeze::Uninstall();
        QCOMPARE(ftp.TransferType(), ftBinary);
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(),
                 (QStringList{u"EPSV"_s, u"retr x"_s, u"ABOR"_s, u"NOOP"_s, kInStepMarker}));
    }

    void abortDuringUpload_data() { AddModeRows(); }

    void abortDuringUpload()
    {
        QFETCH(bool, passive);
        const QByteArray payload = RandomBytes(1024 * 1024);
        ScriptedServer server;
        if (passive)
            server.passive().command().acceptData().reply("150 Ok to send data");
        else
            server.answer("200 PORT ok").command().connectData().reply("150 Ok to send data");
        server.command()
            .reply("426 Transfer aborted")
            .reply("226 Abort successful")
            .receiveData()
            .answer("200 NOOP ok")
            .echo();
        TIdFTP ftp;
        ftp.OnWork = [&](TIdTCPConnection *, TWorkMode, qint64 count) {
            if (count >= 64 * 1024 && ftp.HasDataConnection())
                ftp.Abort();
        };
        QVERIFY(ConnectWithoutLogin(ftp, server, passive));
        QBuffer source;
        source.setData(payload);
        source.open(QIODevice::ReadOnly);
        QVERIFY(!ftp.Store(source, u"big.bin"_s));
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        const QStringList transcript = server.transcript();
        QCOMPARE(transcript.mid(1), (QStringList{u"STOR big.bin"_s, u"ABOR"_s, u"NOOP"_s, kInStepMarker}));
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

    // A server that does not know EPSV gets PASV, here one whose reply has
    // no parentheses, and gets it at once for the rest of the session.
    void refusedEpsvFallsBackToPasvForTheSession()
    {
        const QByteArray payload = RandomBytes(5000);
        ScriptedServer server;
        server.answer("500 'EPSV': command not understood.");
        for (int transfer = 0; transfer < 2; ++transfer) {
            server.passive("227 Entering Passive Mode %1")
                .command()
                .acceptData()
                .reply("150 Here")
                .sendData(payload)
                .closeData()
                .reply("226 Ok");
        }
        server.echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        for (int transfer = 0; transfer < 2; ++transfer) {
            QBuffer target;
            target.open(QIODevice::WriteOnly);
            QVERIFY(ftp.Retrieve(u"x"_s, target));
            QCOMPARE(target.data(), payload);
        }
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(),
                 (QStringList{u"EPSV"_s, u"PASV"_s, u"retr x"_s, u"PASV"_s, u"retr x"_s, kInStepMarker}));
    }

    void extendedPassivePorts_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("port");
        QTest::newRow("usual") << QByteArray("229 Entering Extended Passive Mode (|||6446|)") << 6446;
        QTest::newRow("other delimiter") << QByteArray("229 ok (!!!21!)") << 21;
        QTest::newRow("text after it") << QByteArray("229 EPSV ok (|||65535|) here") << 65535;
    }

    // The data connection goes to the server the control connection
    // reached, whatever the reply says.
    void extendedPassivePorts()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, port);
        ScriptedServer server;
        server.answer(reply);
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        const std::optional<TIdFTP::PassiveTarget> target = ftp.EnterExtendedPassive();
        QVERIFY(target);
        QCOMPARE(target->address, u"127.0.0.1"_s);
        QCOMPARE(target->port, port);
        ftp.CloseConnection();
    }

    void passiveAddresses_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("logged");
        const QString named = u"Der Server nennt für die Datenverbindung die Adresse %1; "
                              u"verbunden wird mit seiner eigenen Adresse 127.0.0.1."_s;
        QTest::newRow("without parentheses")
            << QByteArray("227 Entering Passive Mode 127,0,0,1,19,137") << 5001 << QString();
        QTest::newRow("with parentheses")
            << QByteArray("227 Entering Passive Mode (127,0,0,1,4,1).") << 1025 << QString();
        QTest::newRow("blanks in the fields") << QByteArray("227 =(127, 0, 0, 1, 0, 21)") << 21 << QString();
        QTest::newRow("any address means the server's")
            << QByteArray("227 (0,0,0,0,200,10)") << 51210 << QString();
        QTest::newRow("an inner address of the server's network")
            << QByteArray("227 Entering Passive Mode (10,0,0,5,19,137)") << 5001 << named.arg(u"10.0.0.5"_s);
        QTest::newRow("another host of the same network")
            << QByteArray("227 Entering Passive Mode (127,0,0,2,4,1)") << 1025 << named.arg(u"127.0.0.2"_s);
        QTest::newRow("a host on the internet") << QByteArray("227 Entering Passive Mode (198,51,100,7,4,1)")
                                                << 1025 << named.arg(u"198.51.100.7"_s);
    }

    // The data connection only ever goes to the server the session talks to.
    void passiveAddresses()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, port);
        QFETCH(QString, logged);
        ScriptedServer server;
        server.answer(reply);
        TIdFTP ftp;
        QStringList statusTexts;
        ftp.OnStatus = [&](TIdTCPConnection *, TIdStatus status, const QString &text) {
            if (status == hsStatusText)
                statusTexts.append(text);
        };
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        const TIdFTP::PassiveTarget target = ftp.EnterPassive();
        QCOMPARE(target.address, u"127.0.0.1"_s);
        QCOMPARE(target.port, port);
        QCOMPARE(statusTexts, logged.isEmpty() ? QStringList() : QStringList{logged});
        ftp.CloseConnection();
    }

    void portAnnouncement_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("command");
        QTest::newRow("IPv4") << u"192.168.1.2"_s << u"PORT 192,168,1,2,19,137"_s;
        QTest::newRow("IPv6") << u"2001:db8::7"_s << u"EPRT |2|2001:db8::7|5001|"_s;
        QTest::newRow("IPv6 with a zone") << u"fe80::1%lo"_s << u"EPRT |2|fe80::1|5001|"_s;
    }

    void portAnnouncement()
    {
        QFETCH(QString, address);
        QFETCH(QString, command);
        ScriptedServer server;
        server.answer("200 PORT ok");
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, false));
        TIdSocketHandle listening;
        listening.IP = address;
        listening.Port = 5001;
        ftp.AnnouncePort(listening);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), QStringList{command});
    }

    void transferTypeIsSentOnlyOnChange()
    {
        ScriptedServer server;
        server.answer("200 Type A").answer("200 Type I").echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server, true));
        ftp.SetTransferType(ftBinary);
        ftp.SetTransferType(ftASCII);
        ftp.SetTransferType(ftASCII);
        ftp.SetTransferType(ftBinary);
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        ftp.SetTransferType(ftASCII); // not connected: only remembered
        QCOMPARE(ftp.TransferType(), ftASCII);
        QCOMPARE(server.transcript(), (QStringList{u"type A"_s, u"type I"_s, kInStepMarker}));
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
