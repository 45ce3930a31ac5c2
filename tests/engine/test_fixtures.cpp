// Checks the real FTP servers the protocol tests run against, with Python's
// ftplib as an independent client: a fixture that quietly serves the wrong
// thing would make every test built on it meaningless.

#include "freeport.h"
#include "realftpserver.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using Kind = RealFtpServer::Kind;
Q_DECLARE_METATYPE(RealFtpServer::Kind)
Q_DECLARE_METATYPE(RealFtpServer::Options)

namespace {

struct ProbeResult {
    int exitCode = -1;
    QStringList lines;

    QStringList linesStartingWith(const QString &prefix) const
    {
        QStringList found;
        for (const QString &line : lines)
            if (line.startsWith(prefix))
                found << line.mid(prefix.size());
        return found;
    }
};

struct ProbeOptions {
    bool active = false;
    bool sessionReuse = true;
    bool handshakeFirst = false;
    QString encoding = u"utf-8"_s;
};

ProbeResult runProbe(const RealFtpServer &server, const QStringList &actions,
                     const ProbeOptions &options = {})
{
    QStringList arguments{QStringLiteral(GLIMRA_SUPPORT_DIR "/ftp_probe.py"),
                          u"--port"_s,
                          QString::number(server.port()),
                          u"--user"_s,
                          server.user(),
                          u"--password"_s,
                          server.password(),
                          u"--encoding"_s,
                          options.encoding};
    if (!server.certificateFile().isEmpty())
        arguments << u"--implicit-tls"_s << u"--ca-file"_s << server.certificateFile();
    if (options.active)
        arguments << u"--active"_s;
    if (!options.sessionReuse)
        arguments << u"--no-session-reuse"_s;
    if (options.handshakeFirst)
        arguments << u"--handshake-first"_s;
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(u"/usr/bin/python3"_s, arguments + actions);
    ProbeResult result;
    if (!probe.waitForFinished(20000))
        return result;
    result.exitCode = probe.exitCode();
    result.lines = QString::fromUtf8(probe.readAll()).split(u'\n', Qt::SkipEmptyParts);
    return result;
}

QByteArray everyByteValue(int repetitions)
{
    QByteArray bytes;
    for (int i = 0; i < repetitions; ++i)
        for (int value = 0; value < 256; ++value)
            bytes.append(char(value));
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

void skipUnlessAvailable(Kind kind)
{
    QString why;
    if (!RealFtpServer::isAvailable(kind, &why))
        QSKIP(qPrintable(why));
}

void addKindRows()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("pyftpdlib") << Kind::Pyftpdlib;
    QTest::newRow("vsftpd") << Kind::Vsftpd;
}

} // namespace

#define START_SERVER(server)                                                                                 \
    do {                                                                                                     \
        QString startError;                                                                                  \
        QVERIFY2((server).start(&startError), qPrintable(startError));                                       \
    } while (false)

class FixturesTest : public QObject {
    Q_OBJECT

private slots:
    void filesTravelBothWays_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("handshakeFirst");
        for (const auto &[kind, name] :
             {std::pair{Kind::Pyftpdlib, "pyftpdlib"}, std::pair{Kind::Vsftpd, "vsftpd"}}) {
            QTest::addRow("%s passive", name) << kind << false << false << false;
            QTest::addRow("%s active", name) << kind << false << true << false;
            QTest::addRow("%s tls passive", name) << kind << true << false << false;
            QTest::addRow("%s tls active", name) << kind << true << true << false;
        }
        // vsftpd accepts a data connection only once the command came, so a
        // client that waits for the handshake before sending it would hang there.
        QTest::newRow("pyftpdlib tls passive, handshake before command")
            << Kind::Pyftpdlib << true << false << true;
    }

    void filesTravelBothWays()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, tls);
        QFETCH(bool, active);
        QFETCH(bool, handshakeFirst);
        skipUnlessAvailable(kind);
        const QByteArray served = everyByteValue(40) + "\r\nend\n";
        RealFtpServer server({.kind = kind, .implicitTls = tls, .files = {{u"sub/hello.bin"_s, served}}});
        START_SERVER(server);

        QTemporaryDir local;
        const QByteArray upload = everyByteValue(1200);
        QVERIFY(writeFile(local.filePath(u"upload.bin"_s), upload));
        const ProbeResult result =
            runProbe(server,
                     {u"list"_s, u"download:sub/hello.bin:%1"_s.arg(local.filePath(u"fetched.bin"_s)),
                      u"upload:%1:sub/hello.bin"_s.arg(local.filePath(u"upload.bin"_s)), u"cmd:MKD neu"_s,
                      u"cmd:RNFR sub/hello.bin"_s, u"cmd:RNTO neu/moved.bin"_s, u"cmd:RMD sub"_s},
                     {.active = active, .handshakeFirst = handshakeFirst});
        QVERIFY2(result.exitCode == 0, qPrintable(result.lines.join(u'\n')));

        QVERIFY(result.linesStartingWith(u"LIST "_s).join(u'\n').contains(u" sub"_s));
        QCOMPARE(readFile(local.filePath(u"fetched.bin"_s)), served);
        QCOMPARE(readFile(server.rootDir() + u"/neu/moved.bin"_s), upload); // overwritten, then moved
        QVERIFY(!QFile::exists(server.rootDir() + u"/sub"_s));

        const QStringList commands = server.commands();
        QVERIFY(commands.contains(u"RETR sub/hello.bin"_s));
        QVERIFY(commands.contains(u"STOR sub/hello.bin"_s));
        QCOMPARE(commands.contains(u"PROT P"_s), tls);
        const QString dataCommand = active ? u"PORT 127,0,0,1,"_s : u"PASV"_s;
        QCOMPARE(commands.filter(dataCommand).size(), 3);
    }

    void tlsServersRefuseUnprotectedData_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<bool>("sessionReuse");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("pyftpdlib, clear data")
            << Kind::Pyftpdlib << QStringList{u"cmd:PROT C"_s, u"list"_s} << true << u"ERROR 550"_s;
        QTest::newRow("vsftpd, clear data")
            << Kind::Vsftpd << QStringList{u"cmd:PROT C"_s, u"list"_s} << true << u"ERROR 522"_s;
        QTest::newRow("vsftpd, new TLS session")
            << Kind::Vsftpd << QStringList{u"list"_s} << false << u"ERROR 522"_s;
    }

    void tlsServersRefuseUnprotectedData()
    {
        QFETCH(Kind, kind);
        QFETCH(QStringList, actions);
        QFETCH(bool, sessionReuse);
        QFETCH(QString, refusal);
        skipUnlessAvailable(kind);
        RealFtpServer server({.kind = kind, .implicitTls = true});
        START_SERVER(server);

        const ProbeResult result = runProbe(server, actions, {.sessionReuse = sessionReuse});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.lines.last().startsWith(refusal), qPrintable(result.lines.join(u'\n')));
    }

    void announcedFeatures_data()
    {
        QTest::addColumn<RealFtpServer::Options>("options");
        QTest::addColumn<bool>("utf8");
        QTest::addColumn<bool>("mlst");
        QTest::newRow("pyftpdlib") << RealFtpServer::Options{} << true << true;
        QTest::newRow("pyftpdlib, Latin-1 names")
            << RealFtpServer::Options{.latin1Names = true} << false << true;
        QTest::newRow("pyftpdlib, no MLSD") << RealFtpServer::Options{.hideMlsd = true} << true << false;
        QTest::newRow("vsftpd") << RealFtpServer::Options{.kind = Kind::Vsftpd} << false << false;
    }

    void announcedFeatures()
    {
        QFETCH(RealFtpServer::Options, options);
        QFETCH(bool, utf8);
        QFETCH(bool, mlst);
        skipUnlessAvailable(options.kind);
        RealFtpServer server(options);
        START_SERVER(server);

        const ProbeResult result = runProbe(server, {u"feat"_s, u"mlsd"_s});
        const QStringList features = result.linesStartingWith(u"FEAT  "_s);
        QCOMPARE(features.contains(u"UTF8"_s), utf8);
        QCOMPARE(!features.filter(QRegularExpression(u"^MLST "_s)).isEmpty(), mlst);
        QCOMPARE(result.exitCode, mlst ? 0 : 1); // MLSD itself is refused where MLST is not announced
    }

    void latin1NamesTravelAsSingleBytes()
    {
        RealFtpServer server({.latin1Names = true, .files = {{u"Preis-€-Größe.txt"_s, "x"}}});
        START_SERVER(server);
        QTemporaryDir local;
        QVERIFY(writeFile(local.filePath(u"up"_s), "y"));

        // Decoding the wire as Windows-1252 gives the names back only when each
        // character took one byte.
        const ProbeResult result =
            runProbe(server, {u"nlst"_s, u"upload:%1:Übergröße.txt"_s.arg(local.filePath(u"up"_s))},
                     {.encoding = u"cp1252"_s});
        QVERIFY2(result.exitCode == 0, qPrintable(result.lines.join(u'\n')));
        QCOMPARE(result.linesStartingWith(u"NLST "_s), QStringList{u"Preis-€-Größe.txt"_s});
        QCOMPARE(readFile(server.rootDir() + u"/Übergröße.txt"_s), QByteArray("y"));
        QVERIFY(server.commands().contains(u"STOR Übergröße.txt"_s));
    }

    void passiveReplyNamesConfiguredAddressAndPort_data() { addKindRows(); }

    void passiveReplyNamesConfiguredAddressAndPort()
    {
        QFETCH(Kind, kind);
        skipUnlessAvailable(kind);
        const int dataPort = FreeLocalPort();
        RealFtpServer server({.kind = kind,
                              .masqueradeAddress = u"127.0.0.2"_s,
                              .passivePortMin = dataPort,
                              .passivePortMax = dataPort});
        START_SERVER(server);

        const ProbeResult result = runProbe(server, {u"cmd:PASV"_s});
        const QString expected = u"(127,0,0,2,%1,%2)"_s.arg(dataPort / 256).arg(dataPort % 256);
        QVERIFY2(result.linesStartingWith(u"REPLY 227 "_s).value(0).contains(expected),
                 qPrintable(result.lines.join(u'\n')));
    }

    void transcriptStartsAfterClear_data() { addKindRows(); }

    void transcriptStartsAfterClear()
    {
        QFETCH(Kind, kind);
        skipUnlessAvailable(kind);
        RealFtpServer server({.kind = kind});
        START_SERVER(server);

        QCOMPARE(runProbe(server, {u"cmd:NOOP"_s}).exitCode, 0);
        server.clearTranscript();
        QCOMPARE(runProbe(server, {u"cmd:SYST"_s}).exitCode, 0);
        const QString password = kind == Kind::Vsftpd ? u"<password>"_s : server.password();
        const QStringList expected{u"USER "_s + server.user(), u"PASS "_s + password, u"SYST"_s, u"QUIT"_s};
        QCOMPARE(server.commands(), expected);
    }

    void stopEndsOpenSessions_data() { addKindRows(); }

    void stopEndsOpenSessions()
    {
        QFETCH(Kind, kind);
        skipUnlessAvailable(kind);
        RealFtpServer server({.kind = kind});
        START_SERVER(server);
        const int port = server.port();

        QTcpSocket session;
        session.connectToHost(u"127.0.0.1"_s, quint16(port));
        QVERIFY(session.waitForReadyRead(5000));
        QVERIFY(session.readLine().startsWith("220"));

        server.stop();
        QVERIFY(!server.isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(session.state(), QAbstractSocket::UnconnectedState, 5000);
        QTcpSocket late;
        late.connectToHost(u"127.0.0.1"_s, quint16(port));
        QVERIFY(!late.waitForConnected(1000));
    }
};

QTEST_GUILESS_MAIN(FixturesTest)
#include "test_fixtures.moc"
