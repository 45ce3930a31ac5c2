// TLS from the first byte and after AUTH TLS against pyftpdlib, vsftpd and
// ProFTPD with a self-signed certificate: the certificate question, trusted roots,
// host names, protected data connections that resume the control
// connection's session, one whose handshake fails, and servers that refuse
// AUTH TLS.
#include "enginetesthelpers.h"
#include "idexceptions.h"
#include "realftpserver.h"
#include "scriptedhost.h"
#include "scriptedserver.h"
#include "tidconnectioninterceptopenssl.h"
#include "tidftp.h"

#include "freeport.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(RealFtpServer::Kind)

namespace {

// A session with the TLS layer between it and the socket, as the main
// window sets it up.
struct SecureSession {
    TIdFTP ftp;
    TIdConnectionInterceptOpenSSL tls;
    ScriptedHost host;
    QStringList log;

    SecureSession(const QString &hostName, int port)
    {
        ftp.Host = hostName;
        ftp.Port = port;
        ftp.UseSSL = true;
        ftp.Passive = true;
        ftp.setSessionHost(&host);
        tls.OnStatusInfo = [this](const QString &text) { log.append(text); };
    }

    void connect(const RealFtpServer &server)
    {
        ftp.User = server.user();
        ftp.Password = server.password();
        tls.ConfigureFrom(ftp);
        ftp.SetIntercept(&tls);
        ftp.SetInterceptEnabled(true);
        ftp.ConnectAndLogin();
    }
};

// Stands on the data address the server names (127.0.0.2 and the server's
// own data port) in place of the server: it connects to the real data port,
// so that the server starts the transfer, and answers the client's TLS
// handshake with bytes that are no TLS.
class GarbageOnTheDataConnection {
public:
    ~GarbageOnTheDataConnection()
    {
        if (m_thread.joinable())
            m_thread.join();
        if (m_listening >= 0)
            ::close(m_listening);
    }

    bool start(int port)
    {
        m_listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = Address("127.0.0.2", port);
        if (m_listening < 0 ||
            ::bind(m_listening, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(m_listening, 1) != 0)
            return false;
        m_thread = std::thread([this, port] { serve(port); });
        return true;
    }

private:
    static sockaddr_in Address(const char *ip, int port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port));
        ::inet_pton(AF_INET, ip, &address.sin_addr);
        return address;
    }

    void serve(int port)
    {
        pollfd waiting{m_listening, POLLIN, 0};
        if (::poll(&waiting, 1, 5000) <= 0)
            return;
        const int client = ::accept(m_listening, nullptr, nullptr);
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in serverAddress = Address("127.0.0.1", port);
        if (client >= 0 && server >= 0 &&
            ::connect(server, reinterpret_cast<const sockaddr *>(&serverAddress), sizeof serverAddress) ==
                0) {
            const QByteArray garbage = QByteArray("this is no TLS\r\n").repeated(64);
            ::send(client, garbage.constData(), size_t(garbage.size()), MSG_NOSIGNAL);
            // Until the client gives up on the handshake and closes.
            pollfd closing{client, POLLIN, 0};
            char discarded[4096];
            while (::poll(&closing, 1, 5000) > 0 && ::recv(client, discarded, sizeof discarded, 0) > 0) {
            }
        }
        if (server >= 0)
            ::close(server);
        if (client >= 0)
            ::close(client);
    }

    int m_listening = -1;
    std::thread m_thread;
};

} // namespace

class TlsTest : public QObject {
    Q_OBJECT

private slots:
    void refusedCertificateEndsTheConnect()
    {
        RealFtpServer server(ImplicitTls(RealFtpServer::Kind::Pyftpdlib));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        SecureSession session(server.host(), server.port());
        session.host.acceptCertificate = false;
        try {
            session.connect(server);
            QFAIL("an untrusted certificate was taken without asking");
        } catch (const EIdOSSLError &error) {
            QCOMPARE(error.Message(), u"Abbruch durch Anwender"_s);
        }
        QVERIFY(!session.ftp.IsConnected());
        QVERIFY(!session.ftp.LoggedIn());
        QCOMPARE(session.host.certificateQuestions.size(), 1);
        const ServerCertificateInfo &question = session.host.certificateQuestions.first();
        QCOMPARE(question.subject, u"/CN=localhost"_s);
        QCOMPARE(question.issuer, u"/CN=localhost"_s);
        QCOMPARE(question.verifyError, u"Das Zertifikat ist selbst signiert."_s);
        QVERIFY(session.log.contains(u"/CN=localhost"_s));
        QVERIFY(server.commands().isEmpty());
    }

    void acceptedCertificateLogsIn()
    {
        RealFtpServer server(ImplicitTls(RealFtpServer::Kind::Pyftpdlib));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        SecureSession session(server.host(), server.port());
        session.host.acceptCertificate = true;
        session.connect(server);
        QVERIFY(session.ftp.LoggedIn());
        QCOMPARE(session.host.certificateQuestions.size(), 1);
        QVERIFY(session.log.contains(u"SSL Connected"_s));
        session.ftp.Quit();
    }

    void trustedRootAsksNothing()
    {
        RealFtpServer server(ImplicitTls(RealFtpServer::Kind::Pyftpdlib));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        SecureSession session(server.host(), server.port());
        session.ftp.RootCertificateFile = server.certificateFile();
        session.connect(server);
        QVERIFY(session.ftp.LoggedIn());
        QVERIFY(session.host.certificateQuestions.isEmpty());
        QVERIFY(session.ftp.ProtectsData());
        session.ftp.Quit();
        QCOMPARE(server.commands().mid(2, 2), (QStringList{u"PBSZ 0"_s, u"PROT P"_s}));
    }

    void hostNameIsChecked()
    {
        RealFtpServer server(ImplicitTls(RealFtpServer::Kind::Pyftpdlib));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        SecureSession session(server.host(), server.port());
        session.ftp.RootCertificateFile = server.certificateFile();
        session.ftp.User = server.user();
        session.ftp.Password = server.password();
        session.tls.ConfigureFrom(session.ftp);
        session.tls.ExpectedHostName = u"ftp.example.org"_s;
        session.ftp.SetIntercept(&session.tls);
        session.ftp.SetInterceptEnabled(true);
        QVERIFY_THROWS_EXCEPTION(EIdOSSLError, session.ftp.ConnectAndLogin());
        QCOMPARE(session.host.certificateQuestions.size(), 1);
        QCOMPARE(session.host.certificateQuestions.first().verifyError,
                 u"Das Zertifikat gilt nicht für den Server ftp.example.org."_s);
    }

    void oldProtocolsAreNotOffered()
    {
        RealFtpServer server(ImplicitTls(RealFtpServer::Kind::Pyftpdlib));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        SecureSession session(server.host(), server.port());
        session.ftp.SSLMethod = 0; // "SSL version 2 only"
        session.ftp.RootCertificateFile = server.certificateFile();
        session.connect(server);
        QVERIFY(session.ftp.LoggedIn());
        QVERIFY(!session.log.filter(u"TLS 1.2 oder neuer"_s).isEmpty());
        session.ftp.Quit();
    }

    void clientKeyPassword_data()
    {
        QTest::addColumn<bool>("ask");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("loads");
        QTest::newRow("stored password") << false << u"geheim"_s << true;
        QTest::newRow("wrong stored password") << false << u"falsch"_s << false;
        QTest::newRow("asked for") << true << u"geheim"_s << true;
    }

    void clientKeyPassword()
    {
        QFETCH(bool, ask);
        QFETCH(QString, password);
        QFETCH(bool, loads);
        QTemporaryDir dir;
        const QString certificate = dir.filePath(u"client.pem"_s);
        const QString key = dir.filePath(u"client.key"_s);
        QProcess openssl;
        openssl.start(u"openssl"_s, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-days"_s, u"2"_s,
                                     u"-subj"_s, u"/CN=client"_s, u"-passout"_s, u"pass:geheim"_s,
                                     u"-keyout"_s, key, u"-out"_s, certificate});
        QVERIFY(openssl.waitForFinished(30000) && openssl.exitCode() == 0);

        RealFtpServer server(ImplicitTls(RealFtpServer::Kind::Pyftpdlib));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        SecureSession session(server.host(), server.port());
        session.ftp.RootCertificateFile = server.certificateFile();
        session.ftp.CertificateFile = certificate;
        session.ftp.KeyFile = key;
        session.ftp.SSLPasswordask = ask;
        session.ftp.SSLPassword = ask ? u"not this one"_s : password;
        session.host.keyPasswordAnswer = password;
        if (loads) {
            session.connect(server);
            QVERIFY(session.ftp.LoggedIn());
            session.ftp.Quit();
        } else {
            try {
                session.connect(server);
                QFAIL("a key was loaded with the wrong password");
            } catch (const EIdOSSLError &error) {
                QVERIFY2(error.Message().contains(u"Client-Zertifikat"_s), qPrintable(error.Message()));
            }
            QVERIFY(!session.ftp.IsConnected());
        }
        QCOMPARE(session.host.keyPasswordRequests, QList<bool>{ask});
    }

    void plainServerFailsTheHandshake()
    {
        ScriptedServer server;
        server.reply("220 plain text only").setDrainTimeout(300);
        QVERIFY(server.start());
        SecureSession session(u"127.0.0.1"_s, server.port());
        session.tls.ConfigureFrom(session.ftp);
        session.ftp.SetIntercept(&session.tls);
        session.ftp.SetInterceptEnabled(true);
        try {
            session.ftp.ConnectAndLogin();
            QFAIL("a plain server passed the handshake");
        } catch (const EIdOSSLError &error) {
            QCOMPARE(error.Message(), u"Verbindung abgelehnt"_s);
        }
        QVERIFY(!session.ftp.IsConnected());
    }

    // Listings, downloads and uploads over TLS data connections; vsftpd
    // insists that each resumes the control connection's session.
    void protectedTransfers_data() { AddServerAndModeRows(); }

    void protectedTransfers()
    {
        QFETCH(RealFtpServer::Kind, kind);
        QFETCH(bool, passive);
        RealFtpServer server(ImplicitTls(kind));
        START_OR_SKIP(server, kind);
        const QByteArray payload = RandomBytes(2 * 1024 * 1024 + 5);
        QVERIFY(server.addFile(u"daten.bin"_s, payload));

        SecureSession session(server.host(), server.port());
        session.ftp.RootCertificateFile = server.certificateFile();
        session.ftp.Passive = passive;
        session.connect(server);
        QVERIFY2(session.ftp.LoggedIn(), qPrintable(server.serverLog()));
        QVERIFY(session.ftp.ProtectsData());
        TIdFTP &ftp = session.ftp;

        QStringList lines;
        ftp.List(lines);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().endsWith(u" daten.bin"_s), qPrintable(lines.join(u'\n')));
        ftp.SetTransferType(ftBinary);
        QTemporaryDir local;
        QVERIFY2(ftp.RetrieveToFile(u"daten.bin"_s, local.filePath(u"daten.bin"_s)),
                 qPrintable(server.serverLog()));
        QCOMPARE(FileContent(local.filePath(u"daten.bin"_s)), payload);
        QVERIFY2(ftp.StoreFile(local.filePath(u"daten.bin"_s), u"hoch.bin"_s),
                 qPrintable(server.serverLog()));
        QCOMPARE(FileContent(server.rootDir() + u"/hoch.bin"_s), payload);
        QBuffer small;
        small.setData("klein");
        small.open(QIODevice::ReadOnly);
        QVERIFY(ftp.Store(small, u"klein.txt"_s));
        QCOMPARE(FileContent(server.rootDir() + u"/klein.txt"_s), QByteArray("klein"));
        QCOMPARE(ftp.FileSize(u"hoch.bin"_s), qint64(payload.size()));
        ftp.Quit();
        QVERIFY(session.host.certificateQuestions.isEmpty());
    }

    // The data connection's handshake fails: the error reaches the caller,
    // and the server's replies about the transfer are read before it does.
    void failedHandshakeOnTheDataConnection()
    {
        RealFtpServer::Options options = ImplicitTls(RealFtpServer::Kind::Pyftpdlib);
        options.masqueradeAddress = u"127.0.0.2"_s;
        options.refuseEpsv = true; // the address is named in PASV replies only
        options.passivePortMin = options.passivePortMax = FreeLocalPort();
        RealFtpServer server(options);
        QVERIFY(server.addFile(u"daten.bin"_s, "geheim"));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        GarbageOnTheDataConnection garbage;
        QVERIFY(garbage.start(options.passivePortMin));

        SecureSession session(server.host(), server.port());
        session.ftp.RootCertificateFile = server.certificateFile();
        // The garbage listens at the address the server names.
        session.ftp.TrustPassiveAddress = true;
        session.connect(server);
        QVERIFY2(session.ftp.LoggedIn(), qPrintable(server.serverLog()));
        QVERIFY(session.ftp.ProtectsData());
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        try {
            session.ftp.Retrieve(u"daten.bin"_s, target);
            QFAIL("the handshake on the data connection passed");
        } catch (const EIdOSSLError &error) {
            QCOMPARE(error.Message(), u"Verbindung abgelehnt"_s);
        }
        QVERIFY(target.data().isEmpty());
        VERIFY_IN_STEP_ON_REAL_SERVER(session.ftp);
        QCOMPARE(session.ftp.FileSize(u"daten.bin"_s), qint64(6));
        session.ftp.Quit();
    }

    // AUTH TLS on the plain port: only the greeting and AUTH TLS travel in
    // clear; listing, download and upload run over protected data
    // connections that vsftpd insists resume the control connection's session.
    void explicitTlsTransfers_data() { AddServerAndModeRows(); }

    void explicitTlsTransfers()
    {
        QFETCH(RealFtpServer::Kind, kind);
        QFETCH(bool, passive);
        RealFtpServer::Options options;
        options.kind = kind;
        options.explicitTls = true;
        RealFtpServer server(options);
        START_OR_SKIP(server, kind);
        const QByteArray payload = RandomBytes(1024 * 1024 + 9);
        QVERIFY(server.addFile(u"daten.bin"_s, payload));

        SecureSession session(server.host(), server.port());
        session.ftp.SSLExplicit = true;
        session.ftp.RootCertificateFile = server.certificateFile();
        session.ftp.Passive = passive;
        session.connect(server);
        TIdFTP &ftp = session.ftp;
        QVERIFY2(ftp.LoggedIn(), qPrintable(server.serverLog()));
        QVERIFY(ftp.ProtectsData());
        QVERIFY(session.log.contains(u"SSL Connected"_s));

        VerifyListDownloadUpload(ftp, server, payload);
        if (QTest::currentTestFailed())
            return;
        VERIFY_IN_STEP_ON_REAL_SERVER(ftp);
        ftp.Quit();
        QVERIFY(session.host.certificateQuestions.isEmpty());
        const QStringList commands = server.commands();
        QCOMPARE(commands.value(0).toUpper(), u"AUTH TLS"_s);
        QVERIFY(commands.value(1).startsWith(u"USER "_s, Qt::CaseInsensitive));
        QVERIFY(commands.contains(u"PBSZ 0"_s, Qt::CaseInsensitive));
        QVERIFY(commands.contains(u"PROT P"_s, Qt::CaseInsensitive));
    }

    // A server without TLS answers AUTH TLS with an error: the login ends
    // with a message, and no user name or password goes out in clear.
    void serverRefusingAuthTls_data()
    {
        QTest::addColumn<RealFtpServer::Kind>("kind");
        QTest::newRow("pyftpdlib") << RealFtpServer::Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << RealFtpServer::Kind::Vsftpd;
    }

    void serverRefusingAuthTls()
    {
        QFETCH(RealFtpServer::Kind, kind);
        RealFtpServer server({kind});
        START_OR_SKIP(server, kind);
        SecureSession session(server.host(), server.port());
        session.ftp.SSLExplicit = true;
        try {
            session.connect(server);
            QFAIL("a server without TLS was logged in to");
        } catch (const EIdOSSLError &error) {
            QVERIFY2(error.Message().startsWith(u"Der Server lehnt TLS ab (AUTH TLS: 5"_s),
                     qPrintable(error.Message()));
        }
        QVERIFY(!session.ftp.IsConnected());
        QVERIFY(!session.ftp.LoggedIn());
        QVERIFY(session.host.certificateQuestions.isEmpty());
        QCOMPARE(server.commands(), QStringList{u"AUTH TLS"_s});
    }

    // The name the certificate is checked against is the one connected
    // to; when it does not match, the user decides.
    void explicitTlsWithTheWrongHostName_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("accepted") << true;
        QTest::newRow("refused") << false;
    }

    void explicitTlsWithTheWrongHostName()
    {
        QFETCH(bool, accept);
        RealFtpServer::Options options;
        options.explicitTls = true;
        RealFtpServer server(options);
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        SecureSession session(server.host(), server.port());
        session.ftp.SSLExplicit = true;
        session.ftp.RootCertificateFile = server.certificateFile();
        session.ftp.User = server.user();
        session.ftp.Password = server.password();
        session.tls.ConfigureFrom(session.ftp);
        session.tls.ExpectedHostName = u"ftp.example.org"_s;
        session.ftp.SetIntercept(&session.tls);
        session.ftp.SetInterceptEnabled(true);
        session.host.acceptCertificate = accept;
        if (accept)
            session.ftp.ConnectAndLogin();
        else
            QVERIFY_THROWS_EXCEPTION(EIdOSSLError, session.ftp.ConnectAndLogin());
        QCOMPARE(session.host.certificateQuestions.size(), 1);
        QCOMPARE(session.host.certificateQuestions.first().verifyError,
                 u"Das Zertifikat gilt nicht für den Server ftp.example.org."_s);
        QCOMPARE(session.ftp.LoggedIn(), accept);
        if (accept)
            session.ftp.Quit();
        QCOMPARE(server.commands().size() > 1, accept);
    }

    // ProFTPD with its TLS module loaded, as distributions run it, announces
    // short lines (" CCC") in FEAT in every mode. Plain, after AUTH TLS and
    // TLS from the first byte: the probe, MLSD, listing, download and
    // upload, and the session still in step with the server afterwards.
    void proFtpd_data()
    {
        QTest::addColumn<bool>("explicitTls");
        QTest::addColumn<bool>("implicitTls");
        QTest::addColumn<bool>("passive");
        QTest::newRow("plain") << false << false << true;
        QTest::newRow("AUTH TLS") << true << false << true;
        QTest::newRow("AUTH TLS, active") << true << false << false;
        QTest::newRow("implicit TLS") << false << true << true;
    }

    void proFtpd()
    {
        QFETCH(bool, explicitTls);
        QFETCH(bool, implicitTls);
        QFETCH(bool, passive);
        const bool tls = explicitTls || implicitTls;
        RealFtpServer::Options options;
        options.kind = RealFtpServer::Kind::ProFtpd;
        options.explicitTls = explicitTls;
        options.implicitTls = implicitTls;
        RealFtpServer server(options);
        START_OR_SKIP(server, options.kind);
        const QByteArray payload = RandomBytes(512 * 1024 + 3);
        QVERIFY(server.addFile(u"daten.bin"_s, payload));

        SecureSession session(server.host(), server.port());
        TIdFTP &ftp = session.ftp;
        ftp.Passive = passive;
        if (tls) {
            ftp.SSLExplicit = explicitTls;
            ftp.RootCertificateFile = server.certificateFile();
            session.connect(server);
        } else {
            ftp.UseSSL = false;
            ftp.User = server.user();
            ftp.Password = server.password();
            ftp.ConnectAndLogin();
        }
        QVERIFY2(ftp.LoggedIn(), qPrintable(server.serverLog()));
        QCOMPARE(ftp.ProtectsData(), tls);
        QStringList features;
        ftp.ProbeFeatures(features);
        QVERIFY2(features.contains(u"CCC"_s) && TIdFTP::HasFeature(features, u"MLSD"_s),
                 qPrintable(features.join(u'|')));
        QCOMPARE(ftp.Passive, passive);
        QStringList facts;
        ftp.ListFacts(facts);
        QVERIFY2(facts.filter(u"type=file;"_s).size() == 1 && facts.filter(u" daten.bin"_s).size() == 1,
                 qPrintable(facts.join(u'\n')));

        VerifyListDownloadUpload(ftp, server, payload);
        if (QTest::currentTestFailed())
            return;
        VERIFY_IN_STEP_ON_REAL_SERVER(ftp);
        ftp.Quit();
        QVERIFY(session.host.certificateQuestions.isEmpty());
        if (explicitTls)
            QCOMPARE(server.commands().value(0), u"AUTH TLS"_s);
    }

    // What the server sends after its yes to AUTH TLS, before the
    // handshake, is not taken for protected text: the connection ends.
    // Nor does a session that should use TLS without a TLS layer send anything.
    void nothingInClearAfterAuthTls_data()
    {
        QTest::addColumn<bool>("withLayer");
        QTest::addColumn<QString>("message");
        QTest::newRow("bytes after 234") << true << u"Der Server hat nach AUTH TLS unverschlüsselt"_s;
        QTest::newRow("no TLS layer") << false << u"Die Verbindung verlangt TLS"_s;
    }

    void nothingInClearAfterAuthTls()
    {
        QFETCH(bool, withLayer);
        QFETCH(QString, message);
        ScriptedServer server;
        server.reply("220 ready").command().send("234 Go ahead\r\n230 Logged in, honestly\r\n");
        server.setDrainTimeout(300);
        // Without a layer no connection is even opened.
        QVERIFY(!withLayer || server.start());
        SecureSession session(u"127.0.0.1"_s, withLayer ? server.port() : 1);
        session.ftp.SSLExplicit = true;
        session.ftp.User = u"u"_s;
        session.ftp.Password = u"p"_s;
        int connections = 0;
        session.ftp.OnConnected = [&](TIdTCPConnection *) { ++connections; };
        if (withLayer) {
            session.tls.ConfigureFrom(session.ftp);
            session.ftp.SetIntercept(&session.tls);
            session.ftp.SetInterceptEnabled(true);
        }
        try {
            session.ftp.ConnectAndLogin();
            QFAIL("the login went on");
        } catch (const EIdOSSLError &error) {
            QVERIFY2(error.Message().startsWith(message), qPrintable(error.Message()));
        }
        QVERIFY(!session.ftp.IsConnected());
        QCOMPARE(connections, withLayer ? 1 : 0);
        if (withLayer)
            QCOMPARE(server.transcript(), QStringList{u"AUTH TLS"_s});
    }
};

QTEST_GUILESS_MAIN(TlsTest)
#include "test_tls.moc"
