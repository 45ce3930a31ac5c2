// Directory and file commands, listings, the HELP probe and how names are
// spelled on the wire, against scripted servers.
#include "enginetesthelpers.h"
#include "idexceptions.h"
#include "scriptedhost.h"
#include "scriptedserver.h"
#include "tidftp.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Serves one listing over a passive data connection.
void ServeListing(ScriptedServer &server, const QByteArray &preliminary, const QByteArray &listing)
{
    server.passive()
        .command()
        .acceptData()
        .reply(preliminary)
        .sendData(listing)
        .closeData()
        .reply("226 Transfer complete");
}

} // namespace

class CommandsTest : public QObject {
    Q_OBJECT

private slots:
    void probeFeatures_data()
    {
        QTest::addColumn<QByteArray>("help");
        QTest::addColumn<QList<QByteArray>>("followUp");
        QTest::addColumn<QStringList>("features");
        QTest::addColumn<bool>("passive");
        QTest::addColumn<QStringList>("transcript");

        const QByteArray noFeat = "500 'FEAT': command not understood.";
        QTest::newRow("command list")
            << QByteArray("214-The following commands are recognized.\r\n   USER    PASS    PASV    MLSD*\r\n"
                          "214 Direct comments to the administrator.\r\n")
            << QList<QByteArray>{noFeat} << QStringList{u"USER"_s, u"PASS"_s, u"PASV"_s, u"MLSD*"_s} << true
            << QStringList{u"type A"_s, u"HELP"_s, u"FEAT"_s};
        QTest::newRow("one-line refusals switch to active")
            << QByteArray("502 Command not implemented.\r\n") << QList<QByteArray>{noFeat} << QStringList()
            << false << QStringList{u"type A"_s, u"HELP"_s, u"FEAT"_s};
        QTest::newRow("code on the continuation lines")
            << QByteArray("214-Commands:\r\n214-SIZE MDTM\r\n214-PASV\r\n214 End\r\n")
            << QList<QByteArray>{noFeat} << QStringList{u"SIZE"_s, u"MDTM"_s, u"PASV"_s} << true
            << QStringList{u"type A"_s, u"HELP"_s, u"FEAT"_s};
        QTest::newRow("tabs separate words too")
            << QByteArray("214-Commands:\r\n\tABOR\tPASV\r\n214 End\r\n") << QList<QByteArray>{noFeat}
            << QStringList{u"ABOR"_s, u"PASV"_s} << true << QStringList{u"type A"_s, u"HELP"_s, u"FEAT"_s};
        QTest::newRow("no-break spaces separate words and make none")
            << QByteArray("214-Commands:\r\n SIZE\xc2\xa0\xc2\xa0PASV \xc2\xa0\r\n214 End\r\n")
            << QList<QByteArray>{noFeat} << QStringList{u"SIZE"_s, u"PASV"_s} << true
            << QStringList{u"type A"_s, u"HELP"_s, u"FEAT"_s};
        // pure-ftpd: HELP lists only SITE commands; MLSD, UTF8 and EPSV are in FEAT.
        QTest::newRow("FEAT names what HELP does not")
            << QByteArray("214-The following SITE commands are recognized\r\n ALIAS\r\n CHMOD\r\n"
                          "214 Pure-FTPd - http://pureftpd.org/\r\n")
            << QList<
                   QByteArray>{"211-Extensions supported:\r\n UTF8\r\n MLST type*;size*;modify*;\r\n MLSD\r\n"
                               " REST STREAM\r\n EPSV\r\n211 End.",
                               "200 OK, UTF-8 enabled"}
            << QStringList{u"ALIAS"_s, u"CHMOD"_s,       u"UTF8"_s, u"MLST type*;size*;modify*;"_s,
                           u"MLSD"_s,  u"REST STREAM"_s, u"EPSV"_s}
            << true << QStringList{u"type A"_s, u"HELP"_s, u"FEAT"_s, u"OPTS UTF8 ON"_s};
        QTest::newRow("MLST in FEAT stands for MLSD")
            << QByteArray("214-Commands:\r\n FEAT PASV\r\n214 End\r\n")
            << QList<QByteArray>{"211-Features:\r\n MLST type*;size*;modify*;\r\n211 End"}
            << QStringList{u"FEAT"_s, u"PASV"_s, u"MLST type*;size*;modify*;"_s, u"MLSD"_s} << true
            << QStringList{u"type A"_s, u"HELP"_s, u"FEAT"_s};
        // ProFTPD with its TLS module: short lines in both replies.
        QTest::newRow("short lines inside HELP and FEAT")
            << QByteArray("214-The following commands are recognized:\r\n CWD PASV\r\n CCC*\r\n ab\r\n"
                          "214 Direct comments to root\r\n")
            << QList<QByteArray>{"211-Features:\r\n AUTH TLS\r\n CCC\r\n CLNT\r\n UTF8\r\n211 End",
                                 "200 UTF8 set to on"}
            << QStringList{u"CWD"_s,      u"PASV"_s, u"CCC*"_s, u"ab"_s,
                           u"AUTH TLS"_s, u"CCC"_s,  u"CLNT"_s, u"UTF8"_s}
            << true << QStringList{u"type A"_s, u"HELP"_s, u"FEAT"_s, u"OPTS UTF8 ON"_s};
        QTest::newRow("FEAT without UTF8") << QByteArray("214-Commands:\r\n FEAT PASV\r\n214 End\r\n")
                                           << QList<QByteArray>{"211-Features:\r\n MDTM\r\n211 End"}
                                           << QStringList{u"FEAT"_s, u"PASV"_s, u"MDTM"_s} << true
                                           << QStringList{u"type A"_s, u"HELP"_s, u"FEAT"_s};
    }

    void probeFeatures()
    {
        QFETCH(QByteArray, help);
        QFETCH(QList<QByteArray>, followUp);
        QFETCH(QStringList, features);
        QFETCH(bool, passive);
        QFETCH(QStringList, transcript);

        ScriptedServer server;
        server.answer("200 Type set to A").command().send(help);
        for (const QByteArray &reply : followUp)
            server.answer(reply);
        server.echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QStringList list{u"stale"_s};
        ftp.ProbeFeatures(list);
        QCOMPARE(list, features);
        QCOMPARE(ftp.Passive, passive);
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), transcript + QStringList{kInStepMarker});
    }

    void hasFeature_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("found");
        QTest::newRow("exact") << u"PASV"_s << true;
        QTest::newRow("other case with a star") << u"MLSD"_s << true;
        QTest::newRow("prefix of an entry") << u"SIZ"_s << true;
        QTest::newRow("entry shorter than the word") << u"PASVX"_s << false;
        QTest::newRow("absent") << u"EPSV"_s << false;
    }

    void hasFeature()
    {
        QFETCH(QString, word);
        QFETCH(bool, found);
        QCOMPARE(TIdFTP::HasFeature({u"PAS"_s, u"PASV"_s, u"mlsd*"_s, u"SIZE"_s}, word), found);
    }

    void currentDir_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("path");
        QTest::newRow("quoted") << QByteArray("257 \"/pub/docs\" is current directory") << u"/pub/docs"_s;
        QTest::newRow("no quotes") << QByteArray("257 /pub/docs") << QString();
        QTest::newRow("one quote") << QByteArray("257 \"/pub") << QString();
        QTest::newRow("doubled quotes stay") << QByteArray("257 \"/a\"\"b\" here") << u"/a"_s;
        QTest::newRow("blanks inside") << QByteArray("257 \"/Meine Dateien\"") << u"/Meine Dateien"_s;
    }

    void currentDir()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, path);
        ScriptedServer server;
        server.answer(reply).echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QCOMPARE(ftp.CurrentDir(), path);
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), (QStringList{u"PWD"_s, kInStepMarker}));
    }

    void singleReplyCommands_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("command");
        QTest::newRow("cwd") << u"cwd"_s << QByteArray("250 Okay") << true << u"CWD /pub/a b"_s;
        QTest::newRow("cwd refused") << u"cwd"_s << QByteArray("550 No such directory") << false
                                     << u"CWD /pub/a b"_s;
        QTest::newRow("cdup") << u"cdup"_s << QByteArray("250 Okay") << true << u"CDUP"_s;
        QTest::newRow("cdup 200 is not 250") << u"cdup"_s << QByteArray("200 Okay") << false << u"CDUP"_s;
        QTest::newRow("mkd") << u"mkd"_s << QByteArray("257 \"/neu\" created") << true << u"MKD /neu"_s;
        QTest::newRow("mkd refused") << u"mkd"_s << QByteArray("550 Exists") << false << u"MKD /neu"_s;
        QTest::newRow("rmd") << u"rmd"_s << QByteArray("250 Removed") << true << u"RMD /alt"_s;
        QTest::newRow("dele") << u"dele"_s << QByteArray("250 Deleted") << true << u"DELE /alt/x.txt"_s;
        QTest::newRow("dele refused") << u"dele"_s << QByteArray("450 Busy") << false << u"DELE /alt/x.txt"_s;
    }

    void singleReplyCommands()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, reply);
        QFETCH(bool, result);
        QFETCH(QString, command);
        ScriptedServer server;
        server.answer(reply).echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        bool actual = false;
        if (operation == "cwd"_L1)
            actual = ftp.ChangeDir(u"/pub/a b"_s);
        else if (operation == "cdup"_L1)
            actual = ftp.ChangeDirUp();
        else if (operation == "mkd"_L1)
            actual = ftp.MakeDir(u"/neu"_s);
        else if (operation == "rmd"_L1)
            actual = ftp.RemoveDir(u"/alt"_s);
        else if (operation == "dele"_L1)
            actual = ftp.RemoveFile(u"/alt/x.txt"_s);
        QCOMPARE(actual, result);
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), (QStringList{command, kInStepMarker}));
    }

    void changeDirWithAnEmptyPathSendsNothing()
    {
        ScriptedServer server;
        server.echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QVERIFY(ftp.ChangeDir(QString()));
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), QStringList{kInStepMarker});
    }

    void rename_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("transcript");
        QTest::newRow("done") << QList<QByteArray>{"350 Ready", "250 Renamed"} << true
                              << QStringList{u"RNFR alt.txt"_s, u"RNTO neu.txt"_s};
        QTest::newRow("RNFR refused sends no RNTO")
            << QList<QByteArray>{"550 No such file"} << false << QStringList{u"RNFR alt.txt"_s};
        QTest::newRow("RNTO refused") << QList<QByteArray>{"350 Ready", "553 Not allowed"} << false
                                      << QStringList{u"RNFR alt.txt"_s, u"RNTO neu.txt"_s};
    }

    void rename()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(bool, result);
        QFETCH(QStringList, transcript);
        ScriptedServer server;
        for (const QByteArray &reply : replies)
            server.answer(reply);
        server.echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QCOMPARE(ftp.Rename(u"alt.txt"_s, u"neu.txt"_s), result);
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), transcript + QStringList{kInStepMarker});
    }

    void fileSize_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<qint64>("size");
        QTest::newRow("small") << QByteArray("213 1048576") << qint64(1048576);
        QTest::newRow("above 2 GiB") << QByteArray("213 3000000000") << qint64(3000000000);
        QTest::newRow("5 GiB") << QByteArray("213 5368709120") << qint64(5368709120);
        QTest::newRow("refused") << QByteArray("550 No such file") << qint64(-1);
        QTest::newRow("not a number") << QByteArray("213 large") << qint64(-1);
        QTest::newRow("multi-line") << QByteArray("213-Size follows\r\n213 77") << qint64(-1);
    }

    // SIZE is always asked in binary type: several servers refuse it in ASCII.
    void fileSize()
    {
        QFETCH(QByteArray, reply);
        QFETCH(qint64, size);
        ScriptedServer server;
        server.answer("200 Type set to A").answer("200 Type set to I").answer(reply).echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        ftp.SetTransferType(ftASCII);
        QCOMPARE(ftp.FileSize(u"big.iso"_s), size);
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(),
                 (QStringList{u"type A"_s, u"type I"_s, u"SIZE big.iso"_s, kInStepMarker}));
    }

    void listings_data()
    {
        QTest::addColumn<bool>("facts");
        QTest::addColumn<QByteArray>("preliminary");
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("transcript");

        QTest::newRow("LIST")
            << false << QByteArray("150 Here comes the listing")
            << QByteArray("-rw-r--r-- 1 ftp ftp 5 Jan 01 2020 a.txt\r\ndrwxr-xr-x 2 ftp ftp 0 Jan 01 "
                          "2020 sub\r\n")
            << QStringList{u"-rw-r--r-- 1 ftp ftp 5 Jan 01 2020 a.txt"_s,
                           u"drwxr-xr-x 2 ftp ftp 0 Jan 01 2020 sub"_s}
            << QStringList{u"type A"_s, u"EPSV"_s, u"list"_s};
        QTest::newRow("mixed line ends")
            << false << QByteArray("125 Open") << QByteArray("one\ntwo\rthree\r\n\r\nfive")
            << QStringList{u"one"_s, u"two"_s, u"three"_s, QString(), u"five"_s}
            << QStringList{u"type A"_s, u"EPSV"_s, u"list"_s};
        QTest::newRow("MLSD") << true << QByteArray("150 MLSD")
                              << QByteArray("type=file;size=5; a.txt\r\ntype=dir; sub\r\n")
                              << QStringList{u"type=file;size=5; a.txt"_s, u"type=dir; sub"_s}
                              << QStringList{u"EPSV"_s, u"MLSD"_s};
        QTest::newRow("MLSD preliminary 250")
            << true << QByteArray("250 Listing follows") << QByteArray("type=file; a\r\n")
            << QStringList{u"type=file; a"_s} << QStringList{u"EPSV"_s, u"MLSD"_s};
    }

    void listings()
    {
        QFETCH(bool, facts);
        QFETCH(QByteArray, preliminary);
        QFETCH(QByteArray, listing);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, transcript);
        ScriptedServer server;
        if (!facts)
            server.answer("200 Type set to A");
        ServeListing(server, preliminary, listing);
        server.echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QStringList target{u"old"_s};
        if (facts)
            ftp.ListFacts(target);
        else
            ftp.List(target);
        QCOMPARE(target, lines);
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), transcript + QStringList{kInStepMarker});
    }

    void refusedListingLeavesNoLines()
    {
        ScriptedServer server;
        server.answer("200 Type set to A").passive().answer("550 Permission denied").echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QStringList target{u"old"_s};
        ftp.List(target);
        QCOMPARE(target, QStringList());
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
    }

    void tooLargeListingIsRefused_data()
    {
        QTest::addColumn<bool>("facts");
        QTest::newRow("LIST") << false;
        QTest::newRow("MLSD") << true;
    }

    // A server that never ends its listing: the listing stops at the limit
    // with a clear error, and the session goes on.
    void tooLargeListingIsRefused()
    {
        QFETCH(bool, facts);
        ScriptedServer server;
        if (!facts)
            server.answer("200 Type set to A");
        server.passive()
            .command()
            .acceptData()
            .reply("150 Here comes the directory listing.")
            .sendDataUntilClosed("-rw-r--r-- 1 ftp ftp 5 Jan 01 2020 again and again.txt\r\n",
                                 64 * 1024 * 1024)
            .command()
            .reply("426 Failure writing network stream.")
            .reply("226 ABOR successful.")
            .answer("200 NOOP ok")
            .echo();
        TIdFTP ftp;
        ftp.MaxListingSize = 64 * 1024;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QStringList target{u"old"_s};
        try {
            if (facts)
                ftp.ListFacts(target);
            else
                ftp.List(target);
            QFAIL("a listing without end was taken");
        } catch (const EIdListingTooLarge &error) {
            QCOMPARE(
                error.Message(),
                u"Der Inhalt des Ordners ist zu groß (mehr als 64 KiB) und wurde nicht vollständig gelesen."_s);
        }
        QCOMPARE(target, QStringList{u"old"_s});
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        const QString command = facts ? u"MLSD"_s : u"list"_s;
        QCOMPARE(server.transcript().mid(facts ? 0 : 1),
                 (QStringList{u"EPSV"_s, command, u"ABOR"_s, u"NOOP"_s, kInStepMarker}));
    }

    void listingOnALostSessionKeepsTheLines()
    {
        ScriptedServer server;
        server.closeControl();
        TIdFTP ftp;
        ScriptedHost host;
        ftp.setSessionHost(&host);
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QVERIFY(server.failure().isEmpty()); // closed by now
        QStringList target{u"old"_s};
        ftp.List(target);
        QCOMPARE(target, QStringList{u"old"_s});
        QVERIFY(!ftp.ChangeDir(u"x"_s));
        QCOMPARE(host.connectionLost, 1);
    }

    // A name goes back to the server as the bytes it came as, whether the
    // server spells names in UTF-8 or in an 8-bit code page.
    void namesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<NameEncoding>("encoding");
        QTest::newRow("utf-8") << QByteArray("Gr\xc3\xb6\xc3\x9f"
                                             "e.txt")
                               << u"Größe.txt"_s << NameEncoding::Utf8;
        QTest::newRow("windows-1252") << QByteArray("Gr\xf6\xdf"
                                                    "e \x80.txt")
                                      << u"Größe €.txt"_s << NameEncoding::Windows1252;
    }

    void namesKeepTheirBytes()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, text);
        QFETCH(NameEncoding, encoding);
        ScriptedServer server;
        server.answer("200 Type set to A");
        ServeListing(server, "150 Listing", "-rw-r--r-- 1 ftp ftp 5 Jan 01 2020 " + name + "\r\n");
        server.answer("250 Deleted").echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        QStringList lines;
        ftp.List(lines);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().endsWith(text));
        QCOMPARE(ftp.Encoding, encoding);
        QVERIFY(ftp.RemoveFile(text));
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.rawTranscript().mid(3), (QList<QByteArray>{"DELE " + name, kInStepMarker.toUtf8()}));
    }

    // A session talks UTF-8 until a listing says otherwise; a folder whose
    // name is no UTF-8 still goes back as the bytes the server named.
    void aFolderThatIsNoUtf8GoesBackAsItsBytes()
    {
        ScriptedServer server;
        server
            .answer("257 \"/Daten/\xdc"
                    "bersicht\" is the current directory")
            .answer("250 Ok")
            .echo();
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));
        const QString folder = ftp.CurrentDir();
        QVERIFY(folder.startsWith(u"/Daten/"_s) && folder.endsWith(u"bersicht"_s));
        QVERIFY(ftp.ChangeDir(folder));
        QCOMPARE(ftp.Encoding, NameEncoding::Utf8);
        VERIFY_IN_STEP(ftp);
        ftp.CloseConnection();
        QCOMPARE(server.rawTranscript().value(1), QByteArray("CWD /Daten/\xdc"
                                                             "bersicht"));
    }
};

QTEST_GUILESS_MAIN(CommandsTest)
#include "test_commands.moc"
