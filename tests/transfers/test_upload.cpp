// Uploads from the main window against pyftpdlib and vsftpd: whole trees
// with hidden files into new and existing remote folders, and a cancel deep
// inside a tree.
#include "transferwindow.h"

#include "localbrowser.h"
#include "operationflags.h"

#include <QItemSelectionModel>

using namespace Qt::StringLiterals;

class UploadTest : public QObject {
    Q_OBJECT

private:
    TransferWindow m_window;

    void UploadSelected(const QStringList &names) { m_window.Upload(names); }

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void cleanup() { m_window.Close(); }

    void uploadsATreeWithHiddenFiles_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("pyftpdlib") << Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << Kind::Vsftpd;
    }

    void uploadsATreeWithHiddenFiles()
    {
        QFETCH(Kind, kind);
        // The folder exists on the server already and is used as it is. A
        // UTF-8 name in the first listing tells that names travel as UTF-8
        // (vsftpd does not announce it).
        RealFtpServer server(
            {.kind = kind, .files = {{u"quelle/vorher.txt"_s, "was there"}, {u"Übersicht.txt"_s, "x"}}});
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server));
        const QMap<QString, QByteArray> local{
            {u".versteckt"_s, "hidden"},
            {u".verborgener Ordner/inhalt.txt"_s, RandomBytes(999, 4)},
            {u"Größe mit Leerzeichen.txt"_s, RandomBytes(4096, 5)},
            {u"leer.txt"_s, QByteArray()},
            {u"unter/tief/daten.bin"_s, RandomBytes(300000, 6)},
        };
        for (auto file = local.begin(); file != local.end(); ++file) {
            const QString path = m_window.Local(u"quelle/"_s + file.key());
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QVERIFY(WriteFileContent(path, file.value()));
        }
        QVERIFY(QDir().mkpath(m_window.Local(u"quelle/leerer Ordner"_s)));

        UploadSelected({u"quelle"_s});
        QMap<QString, QByteArray> expected = TreeOf(m_window.Local(u"quelle"_s));
        expected.insert(u"vorher.txt"_s, "was there");
        QCOMPARE(TreeOf(server.rootDir() + u"/quelle"_s).keys(), expected.keys());
        QCOMPARE(TreeOf(server.rootDir() + u"/quelle"_s), expected);
        QCOMPARE(m_window.ShownFolder(), u"/"_s);
        QCOMPARE(m_window.Window()->Main().Connection.CurrentDir(), u"/"_s);
        QVERIFY(!m_window.Window()->Main().Flags.OperationBusy);
        QVERIFY(m_window.Window()->Local()->SpeedButton18->isEnabled());
    }

    // Cancelling deep inside the tree: the session climbs back to the folder
    // the upload started in, and nothing after the cancel is sent.
    void cancelInsideANestedFolder()
    {
        RealFtpServer server(
            {.files = {{u"start/quelle/a/b/x.txt"_s, "old x"}, {u"start/quelle/a/b/y.txt"_s, "old y"}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        m_window.Window()->Browser()->ChangeRemoteFolder(u"start"_s);
        for (const QString &name : {u"x.txt"_s, u"y.txt"_s}) {
            QVERIFY(QDir().mkpath(m_window.Local(u"quelle/a/b"_s)));
            QVERIFY(WriteFileContent(m_window.Local(u"quelle/a/b/"_s + name), "new"));
        }

        const OverwriteAnswers prompts({u"Button5"_s});
        emit m_window.Window()->Browser()->uploadRequested({m_window.Local(u"quelle"_s)});
        QCOMPARE(prompts.Questions().size(), 1);
        QCOMPARE(FileContent(server.rootDir() + u"/start/quelle/a/b/x.txt"_s), QByteArray("old x"));
        QCOMPARE(FileContent(server.rootDir() + u"/start/quelle/a/b/y.txt"_s), QByteArray("old y"));
        QCOMPARE(m_window.Window()->Main().Connection.CurrentDir(), u"/start"_s);
        QCOMPARE(m_window.ShownFolder(), u"/start"_s);
        QVERIFY(m_window.Window()->Main().Flags.CancelRequested);
        QVERIFY(!m_window.Window()->Main().Flags.OperationBusy);
    }

    // A link row is the entry of its own name: a file upload onto it asks
    // first, and a folder upload onto a link to a folder goes into that
    // folder and comes back to where it started.
    void uploadOntoLinks_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("mlsd");
        QTest::newRow("pyftpdlib MLSD") << Kind::Pyftpdlib << true;
        QTest::newRow("pyftpdlib LIST") << Kind::Pyftpdlib << false;
        QTest::newRow("vsftpd") << Kind::Vsftpd << false;
    }

    void uploadOntoLinks()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, mlsd);
        RealFtpServer server({.kind = kind,
                              .hideMlsd = kind == Kind::Pyftpdlib && !mlsd,
                              .files = {{u"ziel.txt"_s, "target"}, {u"unter/echt/"_s, {}}}});
        QVERIFY(MakeSymlink(u"ziel.txt"_s, server.rootDir() + u"/a.txt"_s));
        QVERIFY(MakeSymlink(u"unter/echt"_s, server.rootDir() + u"/quelle"_s));
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server, mlsd));
        QVERIFY(WriteFileContent(m_window.Local(u"a.txt"_s), "new"));
        QVERIFY(QDir().mkpath(m_window.Local(u"quelle"_s)));
        QVERIFY(WriteFileContent(m_window.Local(u"quelle/inhalt.txt"_s), "inside"));
        QVERIFY(WriteFileContent(m_window.Local(u"z.txt"_s), "last"));

        const OverwriteAnswers prompts({u"Button3"_s});
        emit m_window.Window()->Browser()->uploadRequested(
            {m_window.Local(u"a.txt"_s), m_window.Local(u"quelle"_s), m_window.Local(u"z.txt"_s)});
        QCOMPARE(prompts.Questions(), QStringList{u"a.txt"_s});
        QCOMPARE(FileContent(server.rootDir() + u"/ziel.txt"_s), QByteArray("target"));
        QCOMPARE(FileContent(server.rootDir() + u"/unter/echt/inhalt.txt"_s), QByteArray("inside"));
        QCOMPARE(FileContent(server.rootDir() + u"/z.txt"_s), QByteArray("last"));
        QVERIFY(!m_window.Window()->Main().Flags.CancelRequested);
        QCOMPARE(m_window.Window()->Main().Connection.CurrentDir(), u"/"_s);
        QCOMPARE(m_window.ShownFolder(), u"/"_s);
    }

    // "Nein zu allen" keeps every existing remote file and still sends the
    // missing ones; with only newer files, an unchanged file stays.
    void keepsExistingRemoteFiles_data()
    {
        QTest::addColumn<bool>("newOnly");
        QTest::addColumn<int>("questions");
        QTest::newRow("Nein zu allen") << false << 1;
        QTest::newRow("only newer files") << true << 0;
    }

    void keepsExistingRemoteFiles()
    {
        QFETCH(bool, newOnly);
        QFETCH(int, questions);
        RealFtpServer server({.files = {{u"a.txt"_s, "old a"}, {u"b.txt"_s, "old b"}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        QStringList paths;
        for (const QString &name : {u"a.txt"_s, u"b.txt"_s, u"c.txt"_s}) {
            paths.append(m_window.Local(name));
            QVERIFY(WriteFileContent(paths.last(), "new"));
            // Older than the server's copies, which were written just now.
            QVERIFY(SetModified(paths.last(), RecentMinute(10)));
        }
        m_window.Window()->Settings.New_Only = newOnly;

        const OverwriteAnswers prompts({u"Button4"_s});
        emit m_window.Window()->Browser()->uploadRequested(paths);
        QCOMPARE(prompts.Questions().size(), questions);
        QCOMPARE(FileContent(server.rootDir() + u"/a.txt"_s), QByteArray("old a"));
        QCOMPARE(FileContent(server.rootDir() + u"/b.txt"_s), QByteArray("old b"));
        QCOMPARE(FileContent(server.rootDir() + u"/c.txt"_s), QByteArray("new"));
        QVERIFY(RowNamed(m_window.List(), u"c.txt"_s) > 0);
    }
};

QTEST_MAIN(UploadTest)
#include "test_upload.moc"
