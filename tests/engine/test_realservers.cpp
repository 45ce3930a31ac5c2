// Round trips against real servers on 127.0.0.1 and ::1: pyftpdlib and
// vsftpd, in passive and active mode, plain text. Files are checked byte for byte on
// the server's disk and on ours. Aborts, data connections that fail and
// listings beyond the limit leave the session in step with the server.
// Links listed by pure-ftpd and ProFTPD read alike under MLSD and LIST.
#include "enginetesthelpers.h"
#include "idexceptions.h"
#include "listingparser.h"
#include "realftpserver.h"
#include "remotelisting.h"
#include "scriptedhost.h"
#include "tidftp.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(RealFtpServer::Kind)

namespace {

// The commands a server saw, with the command word in capitals: vsftpd
// logs it that way, pyftpdlib as it came.
QStringList Commands(const RealFtpServer &server)
{
    QStringList commands = server.commands();
    for (QString &command : commands) {
        const qsizetype blank = command.indexOf(u' ');
        command = command.left(blank).toUpper() + (blank < 0 ? QString() : command.mid(blank));
    }
    return commands;
}

enum class Operation { Download, Upload, Listing };

constexpr int kFilesInFolder = 100;

bool AddFolderOfFiles(RealFtpServer &server, const QString &folder, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!server.addFile(u"%1/datei-%2.txt"_s.arg(folder).arg(i, 4, 10, QChar(u'0')), "x"))
            return false;
    }
    return true;
}

// Runs the operation in the current folder; false when it did not complete.
bool Run(TIdFTP &ftp, Operation operation, QIODevice &local)
{
    switch (operation) {
    case Operation::Download:
        return ftp.Retrieve(u"gross.bin"_s, local);
    case Operation::Upload:
        return ftp.Store(local, u"hoch.bin"_s);
    case Operation::Listing: {
        QStringList lines{u"old"_s};
        ftp.List(lines);
        return !lines.isEmpty();
    }
    }
    return false;
}

void AddOperationRows(const QList<Operation> &operations, bool withActive)
{
    QTest::addColumn<RealFtpServer::Kind>("kind");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<bool>("passive");
    const QList<std::pair<const char *, RealFtpServer::Kind>> kinds{
        {"pyftpdlib", RealFtpServer::Kind::Pyftpdlib}, {"vsftpd", RealFtpServer::Kind::Vsftpd}};
    const char *names[] = {"download", "upload", "listing"};
    for (const auto &[kindName, kind] : kinds) {
        for (const Operation operation : operations) {
            const char *name = names[int(operation)];
            QTest::addRow("%s %s", kindName, name) << kind << operation << true;
            if (withActive)
                QTest::addRow("%s %s, active", kindName, name) << kind << operation << false;
        }
    }
}

void LogIn(TIdFTP &ftp, const RealFtpServer &server, bool passive)
{
    ftp.Host = server.host();
    ftp.Port = server.port();
    ftp.User = server.user();
    ftp.Password = server.password();
    ftp.Passive = passive;
    ftp.UseNagle = false;
    ftp.ConnectAndLogin();
}

} // namespace

Q_DECLARE_METATYPE(Operation)

class RealServersTest : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data() { AddServerAndModeRows(); }

    void roundTrip()
    {
        QFETCH(RealFtpServer::Kind, kind);
        QFETCH(bool, passive);
        const bool isPyftpdlib = kind == RealFtpServer::Kind::Pyftpdlib;
        RealFtpServer server({kind});
        START_OR_SKIP(server, kind);
        QVERIFY(server.addFile(u"pub/readme.txt"_s, "Hallo\r\n"));

        TIdFTP ftp;
        ScriptedHost host;
        ftp.setSessionHost(&host);
        LogIn(ftp, server, passive);
        QVERIFY2(ftp.LoggedIn(), qPrintable(server.serverLog()));
        QVERIFY(ftp.SystemType().startsWith(u" UNIX"_s));

        QStringList features;
        ftp.ProbeFeatures(features);
        QVERIFY(TIdFTP::HasFeature(features, u"PASV"_s));
        QCOMPARE(TIdFTP::HasFeature(features, u"MLSD"_s), isPyftpdlib);
        QCOMPARE(ftp.Passive, passive);

        QCOMPARE(ftp.CurrentDir(), u"/"_s);
        QVERIFY(ftp.MakeDir(u"neu"_s));
        QVERIFY(QFileInfo(server.rootDir() + u"/neu"_s).isDir());
        QVERIFY(ftp.ChangeDir(u"neu"_s));
        QCOMPARE(ftp.CurrentDir(), u"/neu"_s);
        QVERIFY(!ftp.ChangeDir(u"fehlt"_s));
        QVERIFY(ftp.ChangeDirUp());
        QCOMPARE(ftp.CurrentDir(), u"/"_s);

        QTemporaryDir local;
        const QByteArray payload = RandomBytes(3 * 1024 * 1024 + 11);
        QVERIFY(WriteFileContent(local.filePath(u"up.bin"_s), payload));
        ftp.SetTransferType(ftBinary);
        QVERIFY(ftp.StoreFile(local.filePath(u"up.bin"_s), u"neu/up.bin"_s));
        QCOMPARE(FileContent(server.rootDir() + u"/neu/up.bin"_s), payload);
        QCOMPARE(ftp.FileSize(u"neu/up.bin"_s), qint64(payload.size()));
        QVERIFY(ftp.RetrieveToFile(u"neu/up.bin"_s, local.filePath(u"down.bin"_s)));
        QCOMPARE(FileContent(local.filePath(u"down.bin"_s)), payload);
        QCOMPARE(ftp.FileSize(u"neu/fehlt.bin"_s), qint64(-1));

        QVERIFY(ftp.Rename(u"neu/up.bin"_s, u"neu/umbenannt.bin"_s));
        QVERIFY(QFile::exists(server.rootDir() + u"/neu/umbenannt.bin"_s));
        QVERIFY(!ftp.Rename(u"neu/fehlt.bin"_s, u"neu/x.bin"_s));

        QVERIFY(ftp.ChangeDir(u"neu"_s));
        QStringList lines;
        ftp.List(lines);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(u'-') && lines.first().endsWith(u" umbenannt.bin"_s),
                 qPrintable(lines.join(u'\n')));
        QVERIFY(lines.first().contains(QString::number(payload.size())));
        if (isPyftpdlib) {
            ftp.ListFacts(lines);
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines.first().contains(u"type=file;"_s) && lines.first().endsWith(u"; umbenannt.bin"_s),
                     qPrintable(lines.first()));
        }
        QVERIFY(ftp.ChangeDirUp());

        QVERIFY(!ftp.RemoveDir(u"neu"_s)); // not empty
        QVERIFY(ftp.RemoveFile(u"neu/umbenannt.bin"_s));
        QVERIFY(ftp.RemoveDir(u"neu"_s));
        QVERIFY(!QFileInfo::exists(server.rootDir() + u"/neu"_s));
        QVERIFY(ftp.RetrieveToFile(u"pub/readme.txt"_s, local.filePath(u"readme.txt"_s)));
        QCOMPARE(FileContent(local.filePath(u"readme.txt"_s)), QByteArray("Hallo\r\n"));

        ftp.Quit();
        QVERIFY(!ftp.IsConnected());
        QCOMPARE(host.connectionLost, 0);

        const QStringList commands = Commands(server);
        const QString dataCommand = passive ? u"EPSV"_s : u"PORT"_s;
        QCOMPARE(commands.mid(0, 4),
                 (QStringList{u"USER "_s + server.user(), commands.value(1), u"TYPE I"_s, u"SYST"_s}));
        QVERIFY(commands.value(1).startsWith(u"PASS"_s));
        QVERIFY(commands.contains(u"RETR neu/up.bin"_s));
        QVERIFY(commands.contains(u"STOR neu/up.bin"_s));
        QVERIFY(std::all_of(commands.begin(), commands.end(), [&](const QString &c) {
            return !c.startsWith(passive ? u"PORT"_s : u"EPSV"_s) && !c.startsWith(u"PASV"_s);
        }));
        QVERIFY(commands.contains(u"LIST"_s));
        QVERIFY(commands.filter(dataCommand).size() >= 4);
    }

    // "Größe.txt" down, up, renamed and deleted: on a UTF-8 server and on
    // one that spells names in Windows-1252.
    void namesWithUmlauts_data()
    {
        QTest::addColumn<RealFtpServer::Kind>("kind");
        QTest::addColumn<bool>("latin1");
        QTest::newRow("utf-8 server") << RealFtpServer::Kind::Pyftpdlib << false;
        QTest::newRow("windows-1252 server") << RealFtpServer::Kind::Pyftpdlib << true;
        // Both store the bytes they are sent and announce no UTF8.
        QTest::newRow("vsftpd") << RealFtpServer::Kind::Vsftpd << false;
        QTest::newRow("pure-ftpd") << RealFtpServer::Kind::PureFtpd << false;
    }

    void namesWithUmlauts()
    {
        QFETCH(RealFtpServer::Kind, kind);
        QFETCH(bool, latin1);
        RealFtpServer::Options options;
        options.kind = kind;
        options.latin1Names = latin1;
        RealFtpServer server(options);
        START_OR_SKIP(server, kind);
        QVERIFY(server.addFile(u"Größe.txt"_s, "Inhalt"));

        TIdFTP ftp;
        LogIn(ftp, server, true);
        QVERIFY(ftp.LoggedIn());
        QStringList features;
        ftp.ProbeFeatures(features);
        QStringList lines;
        ftp.List(lines);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().endsWith(u" Größe.txt"_s), qPrintable(lines.first()));

        QTemporaryDir local;
        QVERIFY(ftp.RetrieveToFile(u"Größe.txt"_s, local.filePath(u"a"_s)));
        QCOMPARE(FileContent(local.filePath(u"a"_s)), QByteArray("Inhalt"));
        QVERIFY(ftp.StoreFile(local.filePath(u"a"_s), u"Übergröße €.txt"_s));
        QCOMPARE(FileContent(server.rootDir() + u"/Übergröße €.txt"_s), QByteArray("Inhalt"));
        QVERIFY(ftp.Rename(u"Größe.txt"_s, u"Maße.txt"_s));
        QVERIFY(QFile::exists(server.rootDir() + u"/Maße.txt"_s));
        QVERIFY(ftp.RemoveFile(u"Maße.txt"_s));
        QVERIFY(ftp.RemoveFile(u"Übergröße €.txt"_s));
        QCOMPARE(QDir(server.rootDir()).entryList(QDir::Files), QStringList());
        ftp.Quit();
    }

    // Links read the same from MLSD as from LIST: ProFTPD's facts name them
    // "OS.unix=symlink", pure-ftpd's "OS.unix=slink:" (with the target when
    // it gives one).
    void linksUnderMlsdAsUnderList_data()
    {
        QTest::addColumn<RealFtpServer::Kind>("kind");
        QTest::newRow("pure-ftpd") << RealFtpServer::Kind::PureFtpd;
        QTest::newRow("ProFTPD") << RealFtpServer::Kind::ProFtpd;
    }

    void linksUnderMlsdAsUnderList()
    {
        QFETCH(RealFtpServer::Kind, kind);
        RealFtpServer server({kind});
        QVERIFY(server.addFile(u"ordner/a.txt"_s, "a"));
        QVERIFY(server.addFile(u"datei.txt"_s, "0123456789"));
        const QByteArray root = QFile::encodeName(server.rootDir());
        QCOMPARE(::symlink("ordner", (root + "/zum-ordner").constData()), 0);
        QCOMPARE(::symlink("datei.txt", (root + "/zur-datei").constData()), 0);
        START_OR_SKIP(server, kind);

        TIdFTP ftp;
        LogIn(ftp, server, true);
        QVERIFY(ftp.LoggedIn());
        QStringList features;
        ftp.ProbeFeatures(features);
        QVERIFY(TIdFTP::HasFeature(features, u"MLSD"_s));
        const auto kinds = [](const QStringList &lines, bool mlsd) {
            QMap<QString, int> kinds;
            for (const QString &line : lines) {
                const RemoteEntry entry = ParseListingLine(line, TimeCorrection(), mlsd);
                if (entry.accepted && NamesFolderEntry(entry))
                    kinds.insert(entry.name.section(u" -> "_s, 0, 0), entry.kind);
            }
            return kinds;
        };
        const QMap<QString, int> expected{{u"datei.txt"_s, RemoteEntry::File},
                                          {u"ordner"_s, RemoteEntry::Folder},
                                          {u"zum-ordner"_s, RemoteEntry::Link},
                                          {u"zur-datei"_s, RemoteEntry::Link}};
        QStringList lines;
        ftp.ListFacts(lines);
        QCOMPARE(kinds(lines, true), expected);
        ftp.List(lines);
        QCOMPARE(kinds(lines, false), expected);
        ftp.Quit();
    }

    // After a file announced to be followed by another, EPSV goes out as
    // soon as its 226 is in. Whatever the caller sends next, the session
    // stays in step: the announced download takes that data port, anything
    // else has the reply read off first. Not to a server 20 ms away: EPSV
    // and RETR go out together there.
    void epsvForTheNextFileGoesOutEarly_data()
    {
        QTest::addColumn<RealFtpServer::Kind>("kind");
        QTest::addColumn<QString>("next");
        QTest::addColumn<int>("delayMs");
        QTest::newRow("pyftpdlib 20 ms away, announced file")
            << RealFtpServer::Kind::Pyftpdlib << u"announced file"_s << 20;
        for (const auto &[kindName, kind] : {std::pair{"pyftpdlib", RealFtpServer::Kind::Pyftpdlib},
                                             std::pair{"vsftpd", RealFtpServer::Kind::Vsftpd},
                                             std::pair{"pure-ftpd", RealFtpServer::Kind::PureFtpd},
                                             std::pair{"ProFTPD", RealFtpServer::Kind::ProFtpd}}) {
            for (const char *next :
                 {"announced file", "missing file", "size", "listing", "upload", "continued"})
                QTest::addRow("%s, %s", kindName, next) << kind << QString::fromLatin1(next) << 0;
        }
    }

    void epsvForTheNextFileGoesOutEarly()
    {
        QFETCH(RealFtpServer::Kind, kind);
        QFETCH(QString, next);
        QFETCH(int, delayMs);
        RealFtpServer::Options options{kind};
        options.commandDelayMs = delayMs;
        RealFtpServer server(options);
        START_OR_SKIP(server, kind);
        const QByteArray first = RandomBytes(70 * 1024 + 3);
        const QByteArray second = RandomBytes(20 * 1024 + 1);
        QVERIFY(server.addFile(u"a.bin"_s, first));
        QVERIFY(server.addFile(u"b.bin"_s, second));

        TIdFTP ftp;
        // However slowly a busy machine answers.
        if (delayMs == 0)
            ftp.PassiveAheadWithinNs = std::numeric_limits<qint64>::max();
        LogIn(ftp, server, true);
        QVERIFY(ftp.LoggedIn());
        ftp.SetTransferType(ftBinary);
        QBuffer received;
        received.open(QIODevice::ReadWrite);
        ftp.AnnounceNextRetrieve(u"b.bin"_s, second.size());
        QVERIFY(ftp.Retrieve(u"a.bin"_s, received));
        QCOMPARE(received.data(), first);
        // The next file's EPSV is out before that file is asked for
        // (pure-ftpd keeps no transcript).
        const bool transcribed = kind != RealFtpServer::Kind::PureFtpd;
        if (transcribed && delayMs == 0)
            QTRY_COMPARE(Commands(server).filter(u"EPSV"_s).size(), 2);
        if (delayMs > 0) {
            QTest::qWait(5 * delayMs);
            QCOMPARE(Commands(server).filter(u"EPSV"_s).size(), 1);
        }

        QTemporaryDir local;
        QFile partial(local.filePath(u"b.bin"_s));
        QVERIFY(partial.open(QIODevice::ReadWrite));
        QBuffer other;
        other.open(QIODevice::ReadWrite);
        QStringList lines;
        if (next == u"announced file") {
            QVERIFY(ftp.Retrieve(u"b.bin"_s, other));
            QCOMPARE(other.data(), second);
        } else if (next == u"missing file") {
            QVERIFY(!ftp.Retrieve(u"fehlt.bin"_s, other));
            QVERIFY2(ftp.LastReplyLine().startsWith(u"550"_s), qPrintable(ftp.LastReplyLine()));
        } else if (next == u"size") {
            QCOMPARE(ftp.FileSize(u"b.bin"_s), qint64(second.size()));
        } else if (next == u"listing") {
            ftp.List(lines);
            QCOMPARE(lines.size(), 2);
        } else if (next == u"upload") {
            QBuffer source;
            source.setData(second);
            source.open(QIODevice::ReadOnly);
            QVERIFY(ftp.Store(source, u"c.bin"_s));
            QCOMPARE(FileContent(server.rootDir() + u"/c.bin"_s), second);
        } else {
            QCOMPARE(partial.write(second.first(1000)), 1000);
            QVERIFY(ftp.RetrieveFrom(u"b.bin"_s, partial, 1000));
            partial.close();
            QCOMPARE(FileContent(partial.fileName()), second);
        }
        // In step: each command gets its own reply.
        QCOMPARE(ftp.FileSize(u"a.bin"_s), qint64(first.size()));
        QVERIFY(ftp.Retrieve(u"b.bin"_s, other));
        ftp.Quit();
        if (!transcribed)
            return;
        const QStringList commands = Commands(server);
        QCOMPARE(commands.filter(u"PASV"_s), QStringList());
        // The announced file took the data port asked for ahead.
        if (next == u"announced file")
            QCOMPARE(commands.filter(u"EPSV"_s).size(), 3);
    }

    void sizeOfAFileBeyond4GiB()
    {
        RealFtpServer server({RealFtpServer::Kind::Vsftpd});
        START_OR_SKIP(server, RealFtpServer::Kind::Vsftpd);
        QVERIFY(server.addFile(u"gross.img"_s, QByteArray()));
        QFile sparse(server.rootDir() + u"/gross.img"_s);
        QVERIFY(sparse.resize(qint64(5) * 1024 * 1024 * 1024));
        TIdFTP ftp;
        LogIn(ftp, server, true);
        QVERIFY(ftp.LoggedIn());
        ftp.SetTransferType(ftASCII);
        QCOMPARE(ftp.FileSize(u"gross.img"_s), qint64(5368709120));
        ftp.Quit();
    }

    void abortLeavesTheSessionInStep_data()
    {
        AddOperationRows({Operation::Download, Operation::Upload, Operation::Listing}, true);
    }

    // The user cancels as the first bytes move. Whether the server had sent
    // everything by then or not, the transfer ends as not done, without an
    // error, and the next command gets its own reply.
    void abortLeavesTheSessionInStep()
    {
        QFETCH(RealFtpServer::Kind, kind);
        QFETCH(Operation, operation);
        QFETCH(bool, passive);
        RealFtpServer server({kind});
        QVERIFY(server.addFile(u"ordner/gross.bin"_s, QByteArray(8 * 1024 * 1024, 'd')));
        QVERIFY(AddFolderOfFiles(server, u"ordner"_s, kFilesInFolder));
        START_OR_SKIP(server, kind);
        TIdFTP ftp;
        LogIn(ftp, server, passive);
        QVERIFY2(ftp.LoggedIn(), qPrintable(server.serverLog()));
        QVERIFY(ftp.ChangeDir(u"ordner"_s));
        ftp.SetTransferType(ftBinary);

        bool aborted = false;
        ftp.OnWork = [&](TIdTCPConnection *, TWorkMode, qint64) {
            if (!aborted) {
                aborted = true;
                ftp.Abort();
            }
        };
        QBuffer local;
        local.setData(QByteArray(8 * 1024 * 1024, 'u'));
        local.open(QIODevice::ReadWrite);
        QVERIFY(!Run(ftp, operation, local));
        QVERIFY(aborted);
        VERIFY_IN_STEP_ON_REAL_SERVER(ftp);

        ftp.OnWork = nullptr;
        QStringList lines;
        ftp.List(lines);
        QCOMPARE(lines.filter(u"datei-"_s).size(), kFilesInFolder);
        ftp.Quit();
    }

    void failedDataConnectionLeavesTheSessionInStep_data()
    {
        AddOperationRows({Operation::Download, Operation::Upload, Operation::Listing}, false);
    }

    // The server names a data address nobody listens on. pyftpdlib would
    // wait half a minute for the connection, vsftpd answers 425 after its
    // time-out: the transfer fails without that wait or a reply left unread.
    void failedDataConnectionLeavesTheSessionInStep()
    {
        QFETCH(RealFtpServer::Kind, kind);
        QFETCH(Operation, operation);
        RealFtpServer::Options options;
        options.kind = kind;
        options.masqueradeAddress = u"127.0.0.2"_s;
        options.refuseEpsv = true; // the address is named in PASV replies only
        options.dataConnectionTimeout = 1;
        RealFtpServer server(options);
        QVERIFY(server.addFile(u"ordner/gross.bin"_s, "klein"));
        START_OR_SKIP(server, kind);
        TIdFTP ftp;
        ScriptedHost host;
        ftp.setSessionHost(&host);
        // The unreachable address is only taken when the session trusts it.
        ftp.TrustPassiveAddress = true;
        LogIn(ftp, server, true);
        QVERIFY2(ftp.LoggedIn(), qPrintable(server.serverLog()));
        QVERIFY(ftp.ChangeDir(u"ordner"_s));

        QBuffer local;
        local.setData("hoch");
        local.open(QIODevice::ReadWrite);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!Run(ftp, operation, local));
        QVERIFY2(clock.elapsed() < 10000, qPrintable(u"%1 ms"_s.arg(clock.elapsed())));
        VERIFY_IN_STEP_ON_REAL_SERVER(ftp);
        QCOMPARE(ftp.FileSize(u"gross.bin"_s), qint64(5));
        QCOMPARE(host.connectionLost, 0);
        ftp.Quit();
    }

    void listingBeyondTheLimit_data()
    {
        QTest::addColumn<RealFtpServer::Kind>("kind");
        QTest::newRow("pyftpdlib") << RealFtpServer::Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << RealFtpServer::Kind::Vsftpd;
    }

    void listingBeyondTheLimit()
    {
        QFETCH(RealFtpServer::Kind, kind);
        RealFtpServer server({kind});
        constexpr int files = 600;
        QVERIFY(AddFolderOfFiles(server, u"viele"_s, files));
        START_OR_SKIP(server, kind);
        TIdFTP ftp;
        LogIn(ftp, server, true);
        QVERIFY2(ftp.LoggedIn(), qPrintable(server.serverLog()));
        QVERIFY(ftp.ChangeDir(u"viele"_s));
        ftp.MaxListingSize = 8 * 1024;
        QStringList lines{u"old"_s};
        QVERIFY_THROWS_EXCEPTION(EIdListingTooLarge, ftp.List(lines));
        QCOMPARE(lines, QStringList{u"old"_s});
        VERIFY_IN_STEP_ON_REAL_SERVER(ftp);

        ftp.MaxListingSize = TIdFTP::kDefaultMaxListingSize;
        ftp.List(lines);
        QCOMPARE(lines.size(), files);
        ftp.Quit();
    }

    // Over IPv6 passive connections need EPSV and active ones EPRT; the
    // data connections go to and come from ::1.
    void overIPv6_data() { AddServerAndModeRows(); }

    void overIPv6()
    {
        QFETCH(RealFtpServer::Kind, kind);
        QFETCH(bool, passive);
        RealFtpServer::Options options;
        options.kind = kind;
        options.ipv6 = true;
        RealFtpServer server(options);
        QString noIPv6;
        if (!RealFtpServer::hasIPv6Loopback(&noIPv6))
            QSKIP(qPrintable(noIPv6));
        START_OR_SKIP(server, kind);
        const QByteArray payload = RandomBytes(300 * 1024 + 3);
        QVERIFY(server.addFile(u"daten.bin"_s, payload));

        TIdFTP ftp;
        LogIn(ftp, server, passive);
        QVERIFY2(ftp.LoggedIn(), qPrintable(server.serverLog()));
        QCOMPARE(ftp.Binding().PeerIP, u"::1"_s);
        VerifyListDownloadUpload(ftp, server, payload);
        if (QTest::currentTestFailed())
            return;
        VERIFY_IN_STEP_ON_REAL_SERVER(ftp);
        ftp.Quit();

        const QStringList commands = Commands(server);
        const QString dataCommand = passive ? u"EPSV"_s : u"EPRT |2|::1|"_s;
        QCOMPARE(commands.filter(dataCommand).size(), 3);
        QVERIFY(commands.filter(u"PASV"_s).isEmpty() && commands.filter(u"PORT"_s).isEmpty());
    }

    // A server that refuses EPSV is asked with PASV from then on.
    void refusedEpsvFallsBackToPasv_data()
    {
        QTest::addColumn<RealFtpServer::Kind>("kind");
        QTest::newRow("pyftpdlib") << RealFtpServer::Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << RealFtpServer::Kind::Vsftpd;
    }

    void refusedEpsvFallsBackToPasv()
    {
        QFETCH(RealFtpServer::Kind, kind);
        RealFtpServer::Options options;
        options.kind = kind;
        options.refuseEpsv = true;
        RealFtpServer server(options);
        START_OR_SKIP(server, kind);
        QVERIFY(server.addFile(u"a.txt"_s, "eins"));
        TIdFTP ftp;
        LogIn(ftp, server, true);
        QVERIFY2(ftp.LoggedIn(), qPrintable(server.serverLog()));
        for (int round = 0; round < 2; ++round) {
            QBuffer target;
            target.open(QIODevice::WriteOnly);
            QVERIFY(ftp.Retrieve(u"a.txt"_s, target));
            QCOMPARE(target.data(), QByteArray("eins"));
        }
        VERIFY_IN_STEP_ON_REAL_SERVER(ftp);
        ftp.Quit();
        const QStringList commands = Commands(server);
        QCOMPARE(commands.filter(u"EPSV"_s).size(), 1);
        QCOMPARE(commands.filter(u"PASV"_s).size(), 2);
    }

    void aServerThatGoesAwayIsNoticedBeforeTheNextCommand()
    {
        RealFtpServer server({});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        TIdFTP ftp;
        ScriptedHost host;
        ftp.setSessionHost(&host);
        LogIn(ftp, server, true);
        QVERIFY(ftp.LoggedIn());
        server.stop();
        QTRY_VERIFY(!ftp.IsAlive());
        QVERIFY(!ftp.LoggedIn());
        QVERIFY(!ftp.MakeDir(u"x"_s));
        QCOMPARE(host.connectionLost, 1);
    }
};

QTEST_GUILESS_MAIN(RealServersTest)
#include "test_realservers.moc"
