// glimra-cli with sftp:// URLs against OpenSSH's sshd on 127.0.0.1: every
// command, folder trees over one and four connections, a continued download,
// and what happens to unknown and changed host keys.
#include "../search/searchfixture.h"
#include "clirunner.h"
#include "enginetesthelpers.h"
#include "sftpprofile.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

namespace {

bool Write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    return WriteFileContent(path, bytes);
}

} // namespace

class SftpCliTest : public QObject {
    Q_OBJECT

    SshServer m_server;
    QTemporaryDir m_local;
    QString m_knownHosts;

    QString Url(const QString &path = u"/~/"_s, bool withPassword = true) const
    {
        const QString password =
            withPassword ? u":"_s + QString::fromLatin1(QUrl::toPercentEncoding(m_server.password()))
                         : QString();
        return u"sftp://%1%2@127.0.0.1:%3%4"_s.arg(m_server.user(), password).arg(m_server.port()).arg(path);
    }

    // The options every run needs: the known hosts of the test, no agent.
    QStringList Run(const QStringList &command) const
    {
        return QStringList{u"--known-hosts"_s, m_knownHosts, Url()} + command;
    }

    QString Remote(const QString &relative) const { return m_server.rootDir() + u'/' + relative; }

private slots:
    void initTestCase()
    {
        SSH_START_OR_SKIP(m_server);
        m_knownHosts = m_local.filePath(u"known_hosts"_s);
        QVERIFY(Write(m_knownHosts, m_server.knownHostsLine()));
        // The agent of whoever runs the tests must not log the user in.
        qunsetenv("SSH_AUTH_SOCK");
        // Runs without --known-hosts read the test's own ~/.ssh/known_hosts.
        qputenv("HOME", QFile::encodeName(m_local.path()));
        QVERIFY(Write(m_local.filePath(u".ssh/known_hosts"_s), m_server.knownHostsLine()));
    }

    // One search over a group that holds an FTP and an SFTP connection finds
    // the files of both.
    void searchesFtpAndSftpAlike()
    {
        RealFtpServer ftp(RealFtpServer::Options{.files = {{u"musik/ftp.mp3"_s, "ftp"}}});
        START_OR_SKIP(ftp, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_server.addFile(u"musik/sftp.mp3"_s, "sftp"));
        ConnectionTreeFixture tree;
        QVERIFY(tree.Prepare());
        QVERIFY(tree.Save(u"Gemischt"_s, u"FTP"_s, ProfileFor(ftp)));
        QVERIFY(tree.Save(u"Gemischt"_s, u"SFTP"_s, SftpProfileFor(m_server)));

        const CliResult result =
            RunCli({u"search"_s, u"--tree"_s, tree.TreeFolder(), u"--patterns"_s, u"*.mp3"_s, u"Gemischt"_s});
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QStringList places;
        for (const QString &line : QString::fromUtf8(result.out).split(u'\n', Qt::SkipEmptyParts))
            places.append(line.section(u'\t', 1, 2));
        places.sort();
        const QString sftpFolder = QDir(m_server.rootDir()).canonicalPath() + u"/musik"_s;
        QCOMPARE(places, (QStringList{u"/musik\tftp.mp3"_s, sftpFolder + u"\tsftp.mp3"_s}));
    }

    // One session after another, as a user works: each command checked on
    // the server's disk.
    void everyCommand()
    {
        CliResult result;
        RUN_OK(result, Run({u"mkdir"_s, u"Übung"_s}));
        QVERIFY(QFileInfo(Remote(u"Übung"_s)).isDir());

        const QByteArray content = RandomBytes(300000, 1);
        const QString local = m_local.filePath(u"größe.bin"_s);
        QVERIFY(Write(local, content));
        RUN_OK(result, Run({u"put"_s, local, u"Übung/größe.bin"_s}));
        QCOMPARE(FileContent(Remote(u"Übung/größe.bin"_s)), content);

        RUN_OK(result, Run({u"ls"_s, u"Übung"_s}));
        QVERIFY2(QString::fromUtf8(result.out).contains(u"größe.bin"_s), result.out.constData());
        QVERIFY2(QString::fromUtf8(result.out).contains(u"300000"_s) ||
                     QString::fromUtf8(result.out).contains(u"300.000"_s),
                 result.out.constData());

        const QString fetched = m_local.filePath(u"zurück.bin"_s);
        RUN_OK(result, Run({u"get"_s, u"Übung/größe.bin"_s, fetched}));
        QCOMPARE(FileContent(fetched), content);

        RUN_OK(result, Run({u"mv"_s, u"Übung/größe.bin"_s, u"Übung/neu.bin"_s}));
        QVERIFY(QFileInfo::exists(Remote(u"Übung/neu.bin"_s)));
        RUN_OK(result, Run({u"rm"_s, u"Übung/neu.bin"_s}));
        QVERIFY(!QFileInfo::exists(Remote(u"Übung/neu.bin"_s)));
        RUN_OK(result, Run({u"rmdir"_s, u"Übung"_s}));
        QVERIFY(!QFileInfo::exists(Remote(u"Übung"_s)));

        result = RunCli(Run({u"get"_s, u"fehlt.txt"_s, m_local.filePath(u"fehlt.txt"_s)}));
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(!QFileInfo::exists(m_local.filePath(u"fehlt.txt"_s)), qPrintable(result.err));
    }

    void folderTrees_data()
    {
        QTest::addColumn<int>("connections");
        QTest::newRow("one connection") << 1;
        QTest::newRow("four connections") << 4;
    }

    // A tree goes up and comes back whole, with one and with four connections.
    void folderTrees()
    {
        QFETCH(int, connections);
        const QString parallel = QString::number(connections);
        QTemporaryDir work;
        const QString source = work.filePath(u"quelle"_s);
        for (int i = 0; i < 12; ++i)
            QVERIFY(Write(source + u"/ordner %1/datei-ä%2.bin"_s.arg(i % 3).arg(i),
                          RandomBytes(5000 + i * 999, i)));
        QVERIFY(Write(source + u"/leer.txt"_s, QByteArray()));
        const QString remoteName = u"baum%1"_s.arg(connections);

        CliResult result;
        RUN_OK(result, Run({u"put"_s, u"-r"_s, u"--parallel"_s, parallel, source, remoteName}));
        QCOMPARE(TreeOf(Remote(remoteName)), TreeOf(source));

        // The connections share the one login, each on a channel of its own.
        const QString target = work.filePath(u"ziel"_s);
        m_server.clearLog();
        RUN_OK(result, Run({u"get"_s, u"-r"_s, u"--parallel"_s, parallel, remoteName, target}));
        QCOMPARE(TreeOf(target), TreeOf(source));
        QCOMPARE(m_server.log().count(u"Accepted "_s), 1);

        // A file the server refuses ends the download as it ends with one
        // connection: what arrived is whole, and no file taken but not yet
        // begun leaves a part file.
        const QString refused = u"ordner 1/datei-ä4.bin"_s;
        QVERIFY(QFile::setPermissions(Remote(remoteName + u'/' + refused), {}));
        const QString second = work.filePath(u"zweites"_s);
        result = RunCli(Run({u"get"_s, u"-r"_s, u"--parallel"_s, parallel, remoteName, second}));
        QVERIFY2(result.exitCode != 0 && result.err.contains(refused), qPrintable(result.err));
        const QMap<QString, QByteArray> arrived = TreeOf(second);
        const QMap<QString, QByteArray> expected = TreeOf(source);
        QVERIFY(!arrived.contains(refused));
        for (auto file = arrived.begin(); file != arrived.end(); ++file)
            QVERIFY2(expected.contains(file.key()) && file.value() == expected.value(file.key()),
                     qPrintable(file.key()));
    }

    // What a cut download left is continued to the byte.
    void continuesADownload()
    {
        const QByteArray content = RandomBytes(1000000, 9);
        QVERIFY(m_server.addFile(u"gross.bin"_s, content));
        const QString local = m_local.filePath(u"gross.bin"_s);
        QVERIFY(Write(local, content.left(400000)));
        CliResult result;
        RUN_OK(result, Run({u"--continue"_s, u"get"_s, u"gross.bin"_s, local}));
        QCOMPARE(QCryptographicHash::hash(FileContent(local), QCryptographicHash::Sha256),
                 QCryptographicHash::hash(content, QCryptographicHash::Sha256));
    }

    // A private key file logs in without a password.
    void keyFileLogin()
    {
        const CliResult result = RunCli({u"--known-hosts"_s, m_knownHosts, u"--identity"_s,
                                         m_server.agentKeyFile(), Url(u"/~/"_s, false), u"pwd"_s});
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QCOMPARE(QString::fromUtf8(result.out).trimmed(), QDir(m_server.rootDir()).canonicalPath());
    }

    // An unknown key ends the run with its fingerprint before any password
    // goes out, unless it is to be accepted; a changed key is never taken.
    void hostKeys()
    {
        QTemporaryDir keys;
        const QString knownHosts = keys.filePath(u"known_hosts"_s);
        const QStringList unknown{u"--known-hosts"_s, knownHosts, Url(), u"pwd"_s};

        m_server.clearLog();
        CliResult result = RunCli(unknown);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains(m_server.hostKeyFingerprint()), qPrintable(result.err));
        QVERIFY2(!m_server.log().contains(u"method password"_s), qPrintable(m_server.log()));

        RUN_OK(result, QStringList{u"--accept-new-host-key"_s} + unknown);
        QVERIFY(QString::fromUtf8(FileContent(knownHosts)).contains(m_server.hostKeyType()));
        RUN_OK(result, unknown);

        QString why;
        QVERIFY2(m_server.changeHostKey(&why), qPrintable(why));
        m_server.clearLog();
        result = RunCli(QStringList{u"--accept-new-host-key"_s} + unknown);
        QCOMPARE(result.exitCode, 3);
        QVERIFY2(!m_server.log().contains(u"method password"_s), qPrintable(m_server.log()));
        // The test's own known hosts follow the new key for what comes after.
        QVERIFY(Write(m_knownHosts, m_server.knownHostsLine()));
    }
};

QTEST_GUILESS_MAIN(SftpCliTest)
#include "test_sftpcli.moc"
