// Logging in: directly and through the five proxy styles, with prompts for
// refused or missing credentials, checked against the exact transcript.
#include "enginetesthelpers.h"
#include "idexceptions.h"
#include "scriptedhost.h"
#include "scriptedserver.h"
#include "tidftp.h"

#include <QTest>

using namespace Qt::StringLiterals;

using Answers = QList<ScriptedHost::Credentials>;

namespace {

const QString kTarget = u"ftp.example.org"_s;

struct LoginRun {
    QStringList transcript;
    QStringList captions;
    bool loggedIn = false;
    bool connected = false;
    QString systemType;
    QString outOfStep; // empty when the login left no reply unread
};

// Greets, then answers each command with the next reply, then logs the
// client in with the given settings.
LoginRun RunLogin(TIdFTP &ftp, ScriptedHost &host, const QList<QByteArray> &replies,
                  const QByteArray &greeting = "220 Service ready")
{
    ScriptedServer server;
    server.reply(greeting);
    for (const QByteArray &reply : replies)
        server.answer(reply);
    server.echo();
    if (!server.start())
        return {};
    if (ftp.Gateway_Use) {
        ftp.Gateway_Host = u"127.0.0.1"_s;
        ftp.Gateway_Port = quint16(server.port());
    } else {
        ftp.Host = u"127.0.0.1"_s;
        ftp.Port = server.port();
    }
    ftp.setSessionHost(&host);
    ftp.ConnectAndLogin();
    LoginRun run;
    run.loggedIn = ftp.LoggedIn();
    run.connected = ftp.IsConnected();
    run.systemType = ftp.SystemType();
    if (run.connected)
        run.outOfStep = InStepProblem(ftp, kInStepMarker, u"200 "_s + kInStepMarker);
    ftp.CloseConnection();
    run.transcript = server.transcript();
    if (run.connected)
        run.transcript.removeAll(kInStepMarker);
    run.captions = host.credentialCaptions;
    return run;
}

} // namespace

class LoginTest : public QObject {
    Q_OBJECT

private slots:
    void directLogin_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("isSearch");
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<QStringList>("transcript");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<int>("prompts");

        const QStringList done{u"type I"_s, u"SYST"_s};
        QTest::newRow("user and password")
            << u"anna"_s << u"geheim"_s << false
            << QList<QByteArray>{"331 Password required", "230 Logged in", "200 Type set",
                                 "215 UNIX Type: L8"}
            << Answers{} << (QStringList{u"USER anna"_s, u"PASS geheim"_s} + done) << true << 0;
        QTest::newRow("USER answered 230 needs no PASS")
            << u"anna"_s << u"geheim"_s << false
            << QList<QByteArray>{"230 Welcome", "200 Type set", "215 UNIX Type: L8"} << Answers{}
            << (QStringList{u"USER anna"_s} + done) << true << 0;
        QTest::newRow("refused, new values from the prompt")
            << u"anna"_s << u"falsch"_s << false
            << QList<QByteArray>{"331 Password required", "530 Login incorrect", "331 Password required",
                                 "230 Logged in",         "200 Type set",        "215 UNIX Type: L8"}
            << Answers{{true, u"berta"_s, u"richtig"_s}}
            << (QStringList{u"USER anna"_s, u"PASS falsch"_s, u"USER berta"_s, u"PASS richtig"_s} + done)
            << true << 1;
        QTest::newRow("refused, prompt cancelled")
            << u"anna"_s << u"falsch"_s << false
            << QList<QByteArray>{"331 Password required", "530 Login incorrect"} << Answers{{false, {}, {}}}
            << QStringList{u"USER anna"_s, u"PASS falsch"_s} << false << 1;
        QTest::newRow("refused search session never prompts")
            << u"anna"_s << u"falsch"_s << true
            << QList<QByteArray>{"331 Password required", "530 Login incorrect"}
            << Answers{{true, u"x"_s, u"y"_s}} << QStringList{u"USER anna"_s, u"PASS falsch"_s} << false << 0;
        QTest::newRow("missing password prompts first")
            << u"anna"_s << QString() << false
            << QList<QByteArray>{"331 Password required", "230 Logged in", "200 Type set",
                                 "215 UNIX Type: L8"}
            << Answers{{true, u"anna"_s, u"neu"_s}} << (QStringList{u"USER anna"_s, u"PASS neu"_s} + done)
            << true << 1;
        QTest::newRow("missing password, search session tries as is")
            << u"anna"_s << QString() << true
            << QList<QByteArray>{"331 Password required", "230 Logged in", "200 Type set",
                                 "215 UNIX Type: L8"}
            << Answers{} << (QStringList{u"USER anna"_s, u"PASS "_s} + done) << true << 0;
        QTest::newRow("USER refused outright")
            << u"anna"_s << u"geheim"_s << true << QList<QByteArray>{"421 Too many users"} << Answers{}
            << QStringList{u"USER anna"_s} << false << 0;
        QTest::newRow("PASS answered with an error is no login")
            << u"anna"_s << u"geheim"_s << true
            << QList<QByteArray>{"331 Password required", "501 Syntax error"} << Answers{}
            << QStringList{u"USER anna"_s, u"PASS geheim"_s} << false << 0;
        QTest::newRow("PASS answered 202 is a login")
            << u"anna"_s << u"geheim"_s << true
            << QList<QByteArray>{"331 Password required", "202 Superfluous", "200 Type set",
                                 "215 UNIX Type: L8"}
            << Answers{} << (QStringList{u"USER anna"_s, u"PASS geheim"_s} + done) << true << 0;
    }

    void directLogin()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, isSearch);
        QFETCH(QList<QByteArray>, replies);
        QFETCH(Answers, answers);
        QFETCH(QStringList, transcript);
        QFETCH(bool, loggedIn);
        QFETCH(int, prompts);

        TIdFTP ftp;
        ftp.User = user;
        ftp.Password = password;
        ftp.isSearch = isSearch;
        ScriptedHost host;
        host.credentialAnswers = answers;
        const LoginRun run = RunLogin(ftp, host, replies);
        QCOMPARE(run.transcript, transcript);
        QCOMPARE(run.loggedIn, loggedIn);
        QCOMPARE(run.connected, loggedIn);
        QCOMPARE(run.outOfStep, QString());
        QCOMPARE(run.captions.size(), prompts);
        for (const QString &caption : run.captions)
            QCOMPARE(caption, u"UserID/Pass für 127.0.0.1"_s);
        if (loggedIn)
            QCOMPARE(run.systemType, u" UNIX Type: L8"_s);
    }

    void systemType_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("systemType");
        QTest::newRow("unix") << QByteArray("215 UNIX Type: L8") << u" UNIX Type: L8"_s;
        QTest::newRow("refused") << QByteArray("500 SYST not understood") << u"Unbekannt"_s;
        QTest::newRow("other code taken as well") << QByteArray("202 Windows_NT") << u" Windows_NT"_s;
    }

    void systemType()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, systemType);
        TIdFTP ftp;
        ftp.User = u"u"_s;
        ftp.Password = u"p"_s;
        ScriptedHost host;
        const LoginRun run = RunLogin(ftp, host, {"230 Welcome", "200 Type set", reply});
        QVERIFY(run.loggedIn);
        QCOMPARE(run.systemType, systemType);
        QCOMPARE(run.outOfStep, QString());
    }

    void greetingOtherThan220LeavesTheSessionConnected()
    {
        ScriptedServer server;
        server.reply("421 Too many connections, try later");
        QVERIFY(server.start());
        TIdFTP ftp;
        ftp.Host = u"127.0.0.1"_s;
        ftp.Port = server.port();
        ftp.User = u"u"_s;
        ftp.Password = u"p"_s;
        ftp.ConnectAndLogin();
        QVERIFY(ftp.IsConnected());
        QVERIFY(!ftp.LoggedIn());
        ftp.CloseConnection();
        QCOMPARE(server.transcript(), QStringList());
    }

    void proxyStyles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<QStringList>("transcript");

        const QStringList done{u"type I"_s, u"SYST"_s};
        const QList<QByteArray> userPass{"331 Password required", "230 Logged in", "200 Type set",
                                         "215 UNIX"};
        QTest::newRow("0 USER user@host")
            << 0 << u"anna"_s << userPass
            << (QStringList{u"USER anna@ftp.example.org"_s, u"PASS pw"_s} + done);
        QTest::newRow("0 user with @ gets another")
            << 0 << u"a@b"_s << userPass << (QStringList{u"USER a@b@ftp.example.org"_s, u"PASS pw"_s} + done);
        QTest::newRow("out of range counts as 0")
            << 7 << u"anna"_s << userPass
            << (QStringList{u"USER anna@ftp.example.org"_s, u"PASS pw"_s} + done);
        const QList<QByteArray> openThenLogin = QList<QByteArray>{"220 Connected"} + userPass;
        QTest::newRow("1 OPEN")
            << 1 << u"anna"_s << openThenLogin
            << (QStringList{u"OPEN ftp.example.org:2121"_s, u"USER anna"_s, u"PASS pw"_s} + done);
        QTest::newRow("2 SITE")
            << 2 << u"anna"_s << openThenLogin
            << (QStringList{u"SITE ftp.example.org:2121"_s, u"USER anna"_s, u"PASS pw"_s} + done);
        QTest::newRow("3 SITE OPEN")
            << 3 << u"anna"_s << openThenLogin
            << (QStringList{u"SITE OPEN ftp.example.org:2121"_s, u"USER anna"_s, u"PASS pw"_s} + done);
        QTest::newRow("4 PROXY OPEN")
            << 4 << u"anna"_s << openThenLogin
            << (QStringList{u"PROXY OPEN ftp.example.org:2121"_s, u"USER anna"_s, u"PASS pw"_s} + done);
        QTest::newRow("1 OPEN answered 230 logs in at once")
            << 1 << u"anna"_s << QList<QByteArray>{"230 Logged in", "200 Type set", "215 UNIX"}
            << (QStringList{u"OPEN ftp.example.org:2121"_s} + done);
        QTest::newRow("1 OPEN with USER answered 230")
            << 1 << u"anna"_s
            << QList<QByteArray>{"220 Connected", "230 Logged in", "200 Type set", "215 UNIX"}
            << (QStringList{u"OPEN ftp.example.org:2121"_s, u"USER anna"_s} + done);
    }

    void proxyStyles()
    {
        QFETCH(int, style);
        QFETCH(QString, user);
        QFETCH(QList<QByteArray>, replies);
        QFETCH(QStringList, transcript);

        TIdFTP ftp;
        ftp.Host = kTarget;
        ftp.Port = 2121;
        ftp.User = user;
        ftp.Password = u"pw"_s;
        ftp.Gateway_Use = true;
        ftp.Gateway_Art = style;
        ScriptedHost host;
        const LoginRun run = RunLogin(ftp, host, replies);
        QCOMPARE(run.transcript, transcript);
        QVERIFY(run.loggedIn);
        QCOMPARE(run.outOfStep, QString());
        // The session keeps the proxy's address.
        QCOMPARE(ftp.Host, u"127.0.0.1"_s);
        QCOMPARE(ftp.Port, int(ftp.Gateway_Port));
    }

    void proxyAuthenticationComesFirst()
    {
        TIdFTP ftp;
        ftp.Host = kTarget;
        ftp.Port = 21;
        ftp.User = u"anna"_s;
        ftp.Password = u"pw"_s;
        ftp.Gateway_Use = true;
        ftp.Gateway_Art = 2;
        ftp.Gateway_Authenticate = true;
        ftp.Gateway_User = u"proxyuser"_s;
        ftp.Gateway_Password = u"proxypw"_s;
        ScriptedHost host;
        const LoginRun run = RunLogin(ftp, host,
                                      {"331 Proxy password", "230 Proxy ok", "220 Connected",
                                       "331 Password required", "230 Logged in", "200 Type set", "215 UNIX"});
        QCOMPARE(run.transcript,
                 (QStringList{u"USER proxyuser"_s, u"PASS proxypw"_s, u"SITE ftp.example.org:21"_s,
                              u"USER anna"_s, u"PASS pw"_s, u"type I"_s, u"SYST"_s}));
        QVERIFY(run.loggedIn);
    }

    void proxyRefusalPromptsForItsOwnLogin()
    {
        TIdFTP ftp;
        ftp.Host = kTarget;
        ftp.Gateway_Use = true;
        ftp.Gateway_Art = 0;
        ftp.Gateway_Authenticate = true;
        ftp.Gateway_User = u"proxyuser"_s;
        ftp.Gateway_Password = u"alt"_s;
        ftp.User = u"anna"_s;
        ftp.Password = u"pw"_s;
        ScriptedHost host;
        host.credentialAnswers = {{true, u"proxyuser"_s, u"neu"_s}};
        const LoginRun run =
            RunLogin(ftp, host,
                     {"331 Proxy password", "530 Denied", "331 Proxy password", "230 Proxy ok",
                      "331 Password required", "230 Logged in", "200 Type set", "215 UNIX"});
        QCOMPARE(run.transcript,
                 (QStringList{u"USER proxyuser"_s, u"PASS alt"_s, u"USER proxyuser"_s, u"PASS neu"_s,
                              u"USER anna@ftp.example.org"_s, u"PASS pw"_s, u"type I"_s, u"SYST"_s}));
        QCOMPARE(run.captions, QStringList{u"UserID/Pass für 127.0.0.1"_s});
        QCOMPARE(ftp.Gateway_Password, u"neu"_s);
    }

    // After a refusal the whole dialogue of the style runs again, its first
    // command included, and the prompt names the target host.
    void proxyStyleRepeatsAfterAPrompt()
    {
        TIdFTP ftp;
        ftp.Host = kTarget;
        ftp.Port = 21;
        ftp.User = u"anna"_s;
        ftp.Password = u"falsch"_s;
        ftp.Gateway_Use = true;
        ftp.Gateway_Art = 4;
        ScriptedHost host;
        host.credentialAnswers = {{true, u"anna"_s, u"richtig"_s}};
        const LoginRun run =
            RunLogin(ftp, host,
                     {"220 Connected", "331 Password required", "530 Login incorrect", "220 Connected",
                      "331 Password required", "230 Logged in", "200 Type set", "215 UNIX"});
        QCOMPARE(run.transcript, (QStringList{u"PROXY OPEN ftp.example.org:21"_s, u"USER anna"_s,
                                              u"PASS falsch"_s, u"PROXY OPEN ftp.example.org:21"_s,
                                              u"USER anna"_s, u"PASS richtig"_s, u"type I"_s, u"SYST"_s}));
        QCOMPARE(run.captions, QStringList{u"UserID/Pass für ftp.example.org"_s});
        QVERIFY(run.loggedIn);
        QCOMPARE(ftp.Password, u"richtig"_s);
    }

    void proxyOpenRefusedIsNoLogin()
    {
        TIdFTP ftp;
        ftp.Host = kTarget;
        ftp.User = u"anna"_s;
        ftp.Password = u"pw"_s;
        ftp.Gateway_Use = true;
        ftp.Gateway_Art = 1;
        ftp.isSearch = true;
        ScriptedHost host;
        const LoginRun run = RunLogin(ftp, host, {"500 OPEN not understood"});
        QCOMPARE(run.transcript, QStringList{u"OPEN ftp.example.org:21"_s});
        QVERIFY(!run.loggedIn);
        QVERIFY(!run.connected);
    }

    void missingSocksCredentialsPromptBeforeConnecting()
    {
        TIdFTP ftp;
        ftp.Host = u"127.0.0.1"_s;
        ftp.Port = 1; // never reached: the prompt is cancelled
        ftp.SocksInfo.Authentication = saUsernamePassword;
        ftp.SocksInfo.Host = u"socks.example.org"_s;
        ScriptedHost host;
        ftp.setSessionHost(&host);
        ftp.ConnectAndLogin();
        QCOMPARE(host.credentialCaptions, QStringList{u"UserID/Pass für socks.example.org"_s});
        QVERIFY(!ftp.IsConnected());
    }

    void aServerGoneDuringThePromptEndsTheLogin()
    {
        ScriptedServer server;
        server.reply("220 ready").answer("331 Password").answer("530 Login incorrect").closeControl();
        QVERIFY(server.start());
        TIdFTP ftp;
        ftp.Host = u"127.0.0.1"_s;
        ftp.Port = server.port();
        ftp.User = u"anna"_s;
        ftp.Password = u"pw"_s;
        ScriptedHost host;
        host.credentialAnswers = {{true, u"anna"_s, u"neu"_s}};
        host.onPrompt = [&] { QVERIFY(server.failure().isEmpty()); }; // waits until the server has closed
        ftp.setSessionHost(&host);
        ftp.ConnectAndLogin();
        QVERIFY(!ftp.IsConnected());
        QVERIFY(!ftp.LoggedIn());
        QCOMPARE(ftp.Password, u"pw"_s);
        QCOMPARE(server.transcript(), (QStringList{u"USER anna"_s, u"PASS pw"_s}));
    }
};

QTEST_GUILESS_MAIN(LoginTest)
#include "test_login.moc"
