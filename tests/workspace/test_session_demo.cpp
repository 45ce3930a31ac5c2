#include "connectionprofile.h"
#include "enginetesthelpers.h"
#include "freeport.h"
#include "tinifile.h"

#include <QImage>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kScript = QStringLiteral(GLIMRA_SUPPORT_DIR "/../../scripts/demo-server.py");

bool Accepts(int port)
{
    QTcpSocket probe;
    probe.connectToHost(u"127.0.0.1"_s, quint16(port));
    return probe.waitForConnected(1000);
}

// A process that stands in for Glimra: the demo server lives while it does.
class StandIn {
public:
    StandIn()
    {
        m_process.start(u"/bin/sleep"_s, {u"60"_s});
        m_process.waitForStarted();
    }
    ~StandIn() { End(); }
    qint64 Pid() const { return m_process.processId(); }
    void End()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
};

} // namespace

// ./run.sh starts the demo server beside Glimra; it must serve the sample
// tree through the "Demo" connection it adds, be shared by a second start,
// and end with the last Glimra that uses it.
class DemoServerTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_home;
    int m_port = 0;

    QString TreeFile() const
    {
        return m_home.filePath(u"Documents/QvxORNAFTPGlimra/Inhaltsverzeichnis/inhalt.ini"_s);
    }

    QString StartDemo(qint64 watchedPid)
    {
        QProcess script;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, m_home.path());
        environment.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u".config"_s));
        environment.insert(u"XDG_CACHE_HOME"_s, m_home.filePath(u".cache"_s));
        script.setProcessEnvironment(environment);
        script.start(u"/usr/bin/python3"_s, {kScript, u"start"_s, u"--watch"_s, QString::number(watchedPid),
                                             u"--port"_s, QString::number(m_port)});
        if (!script.waitForFinished(30000) || script.exitCode() != 0)
            return u"failed: "_s + QString::fromUtf8(script.readAllStandardError());
        return QString::fromUtf8(script.readAllStandardOutput());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        if (!RealFtpServer::isAvailable(RealFtpServer::Kind::Pyftpdlib))
            QSKIP("pyftpdlib is missing");
        m_port = FreeLocalPort();
    }

    void theDemoServerServesUntilItsProgramsEnd()
    {
        StandIn first;
        const QString started = StartDemo(first.Pid());
        QVERIFY2(started.startsWith(u"Demo-Server: ftp://127.0.0.1:"_s), qPrintable(started));

        TIdFTP ftp;
        const TIniFile tree(TreeFile());
        QVERIFY(ApplyProfile(tree, u"Demo"_s, ftp, ProfileReading::ConnectionManager));
        QCOMPARE(ftp.Host, u"127.0.0.1"_s);
        QCOMPARE(ftp.Port, m_port);
        QVERIFY(ftp.Passive);
        ftp.ConnectAndLogin();
        QVERIFY(ftp.LoggedIn());
        // A new user's first connect: no refused reply, and the Info column
        // gets the permissions.
        QCOMPARE(ftp.SendChecked(u"OPTS UTF8 ON"_s, 200), 200);
        QStringList facts;
        ftp.ListFacts(facts);
        QVERIFY(!facts.isEmpty());
        QCOMPARE(facts.filter(u";unix.mode=0o"_s).size(), facts.size());
        QStringList names;
        ftp.List(names, QString(), false);
        for (const QString &name :
             {u"Willkommen.txt"_s, u"Bilder"_s, u"Texte"_s, u"Archiv"_s, u"Hochladen"_s})
            QVERIFY2(names.contains(name), qPrintable(names.join(u", "_s)));
        const QString picture = m_home.filePath(u"bild.png"_s);
        ftp.SetTransferType(ftBinary);
        QVERIFY(ftp.RetrieveToFile(u"Bilder/Farbverlauf.png"_s, picture));
        QCOMPARE(QImage(picture).size(), QSize(320, 240));
        QVERIFY(ftp.StoreFile(picture, u"Hochladen/zurueck.png"_s));
        ftp.Quit();

        StandIn second;
        QVERIFY(StartDemo(second.Pid()).contains(u"läuft bereits"_s));
        QCOMPARE(TIniFile(TreeFile()).ReadSections(), QStringList{u"Demo"_s});

        first.End();
        QTest::qWait(2500);
        QVERIFY(Accepts(m_port));
        second.End();
        QTRY_VERIFY_WITH_TIMEOUT(!Accepts(m_port), 10000);
    }
};

QTEST_MAIN(DemoServerTest)
#include "test_session_demo.moc"
