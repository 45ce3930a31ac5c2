// Downloads from the main window against pyftpdlib and vsftpd: whole trees
// with their time stamps, the overwrite rules, the abort button and files
// beyond 2 GiB.
#include "transferwindow.h"

#include "keepalive.h"
#include "operationflags.h"

#include <QElapsedTimer>
#include <QProgressBar>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kGiB = 1024LL * 1024 * 1024;

// The instant a listing shows for a file modified at utc (no time correction).
QDateTime Listed(const QDateTime &utc)
{
    return ParseDateText(ListedDateText(utc));
}

QDateTime Modified(const QString &path)
{
    return QFileInfo(path).lastModified();
}

bool AddSparseFile(RealFtpServer &server, const QString &name, qint64 size)
{
    return server.addFile(name, {}) && QFile::resize(server.rootDir() + u'/' + name, size);
}

} // namespace

class DownloadTest : public QObject {
    Q_OBJECT

private:
    TransferWindow m_window;

    QString Root(const RealFtpServer &server, const QString &relative) const
    {
        return server.rootDir() + u'/' + relative;
    }

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void cleanup() { m_window.Close(); }

    void downloadsATreeWithTimeStamps_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("pyftpdlib") << Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << Kind::Vsftpd;
    }

    void downloadsATreeWithTimeStamps()
    {
        QFETCH(Kind, kind);
        const QMap<QString, QByteArray> files{
            {u"baum/a.txt"_s, RandomBytes(100, 1)},
            {u"baum/leer.txt"_s, QByteArray()},
            {u"baum/mit Leerzeichen/Größe.txt"_s, RandomBytes(5000, 2)},
            {u"baum/mit Leerzeichen/tief/unten.bin"_s, RandomBytes(300000, 3)},
            {u"baum/leerer Ordner/"_s, QByteArray()},
        };
        RealFtpServer server({.kind = kind, .files = files});
        QVERIFY(MakeSymlink(u"a.txt"_s, Root(server, u"baum/verweis.txt"_s)));
        QVERIFY(MakeSymlink(u"mit Leerzeichen/tief"_s, Root(server, u"baum/ordnerverweis"_s)));
        QVERIFY(MakeSymlink(u".."_s, Root(server, u"baum/zurück"_s)));
        QMap<QString, QDateTime> times;
        int minute = 0;
        for (auto file = files.begin(); file != files.end(); ++file) {
            if (file.key().endsWith(u'/'))
                continue;
            times[file.key()] = RecentMinute(3, minute += 7);
            QVERIFY(SetModified(Root(server, file.key()), times[file.key()]));
        }
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server));

        m_window.Download({u"baum"_s});
        QMap<QString, QByteArray> expected = files;
        expected.insert(u"baum/"_s, {});
        expected.insert(u"baum/mit Leerzeichen/"_s, {});
        expected.insert(u"baum/mit Leerzeichen/tief/"_s, {});
        expected.insert(u"baum/verweis.txt"_s, files[u"baum/a.txt"_s]);
        expected.insert(u"baum/ordnerverweis/"_s, {});
        expected.insert(u"baum/ordnerverweis/unten.bin"_s, files[u"baum/mit Leerzeichen/tief/unten.bin"_s]);
        QCOMPARE(TreeOf(m_window.LocalRoot()).keys(), expected.keys());
        QCOMPARE(TreeOf(m_window.LocalRoot()), expected);
        for (auto time = times.begin(); time != times.end(); ++time)
            QCOMPARE(Modified(m_window.Local(time.key())), Listed(time.value()));
        QCOMPARE(m_window.ShownFolder(), u"/"_s);
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        QVERIFY(!m_window.Window()->Main().Flags.OperationBusy);

        // Again into the existing tree: local files stay, changed ones are
        // replaced without a question.
        QVERIFY(WriteFileContent(m_window.Local(u"baum/nur lokal.txt"_s), "mine"));
        QVERIFY(WriteFileContent(Root(server, u"baum/a.txt"_s), "changed on the server"));
        QVERIFY(SetModified(Root(server, u"baum/a.txt"_s), RecentMinute(1)));
        m_window.Window()->Settings.No_Prompt_Overwrite = true;
        m_window.Download({u"baum"_s});
        QCOMPARE(FileContent(m_window.Local(u"baum/a.txt"_s)), QByteArray("changed on the server"));
        QCOMPARE(Modified(m_window.Local(u"baum/a.txt"_s)), Listed(RecentMinute(1)));
        QCOMPARE(FileContent(m_window.Local(u"baum/nur lokal.txt"_s)), QByteArray("mine"));
    }

    // Links to folders are walked under their own names, unless they lead
    // back to a folder of the walk or above it; folders that merely look
    // alike are walked. pyftpdlib's MLSD lists links as plain folders.
    void linksNeverLeadOutOfTheWalk_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("mlsd");
        QTest::newRow("pyftpdlib MLSD") << Kind::Pyftpdlib << true;
        QTest::newRow("pyftpdlib LIST") << Kind::Pyftpdlib << false;
        QTest::newRow("vsftpd") << Kind::Vsftpd << false;
    }

    void linksNeverLeadOutOfTheWalk()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, mlsd);
        RealFtpServer server({.kind = kind,
                              .hideMlsd = kind == Kind::Pyftpdlib && !mlsd,
                              .files = {{u"draussen.txt"_s, "d"},
                                        {u"oben/nachbar/n.txt"_s, "n"},
                                        {u"oben/baum/a.txt"_s, "a"},
                                        {u"oben/baum/gleich/x.txt"_s, "x"},
                                        {u"oben/baum/gleich/gleich/x.txt"_s, "x"},
                                        {u"oben/baum/gleich/gleich/gleich/"_s, {}},
                                        {u"oben/baum/schleife/s.txt"_s, "s"}}});
        QVERIFY(MakeSymlink(u"../.."_s, Root(server, u"oben/baum/hoch"_s)));
        QVERIFY(MakeSymlink(u".."_s, Root(server, u"oben/baum/zurück"_s)));
        QVERIFY(MakeSymlink(u"../nachbar"_s, Root(server, u"oben/baum/nachbarverweis"_s)));
        QVERIFY(MakeSymlink(u"../schleife"_s, Root(server, u"oben/baum/schleife/rund"_s)));
        // Two folders that list exactly alike.
        const QDateTime time = RecentMinute(4);
        for (const QString &path : {u"oben/baum/gleich/x.txt"_s, u"oben/baum/gleich/gleich/x.txt"_s,
                                    u"oben/baum/gleich/gleich/gleich"_s, u"oben/baum/gleich/gleich"_s})
            QVERIFY(SetModified(Root(server, path), time));
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server, mlsd));
        m_window.Window()->Browser()->ChangeRemoteFolder(u"oben"_s);

        m_window.Download({u"baum"_s});
        const QStringList expected{
            u"baum/"_s,
            u"baum/a.txt"_s,
            u"baum/gleich/"_s,
            u"baum/gleich/gleich/"_s,
            u"baum/gleich/gleich/gleich/"_s,
            u"baum/gleich/gleich/x.txt"_s,
            u"baum/gleich/x.txt"_s,
            u"baum/nachbarverweis/"_s,
            u"baum/nachbarverweis/n.txt"_s,
            u"baum/schleife/"_s,
            u"baum/schleife/s.txt"_s,
        };
        QCOMPARE(TreeOf(m_window.LocalRoot()).keys().join(u" "_s), expected.join(u" "_s));
        QCOMPARE(m_window.ShownFolder(), u"/oben"_s);
        QCOMPARE(m_window.Window()->Main().Connection.CurrentDir(), u"/oben"_s);
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
    }

    // Two folders each with a file that exists locally and one that does not.
    void overwriteQuestions_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("fromServer"); // files that end up with the server's bytes
        QTest::addColumn<QStringList>("missing");    // files never fetched
        QTest::addColumn<int>("questions");
        QTest::addColumn<QString>("endFolder");
        QTest::addColumn<QString>("status");

        const QString all = u"eins/a.txt,eins/neu1.txt,zwei/b.txt,zwei/neu2.txt"_s;
        QTest::newRow("Ja zu allen reaches the next folder")
            << QStringList{u"Button2"_s} << all.split(u',') << QStringList() << 1 << u"/"_s << u"Fertig"_s;
        QTest::newRow("Nein zu allen keeps all, fetches the new")
            << QStringList{u"Button4"_s} << QStringList{u"eins/neu1.txt"_s, u"zwei/neu2.txt"_s}
            << QStringList() << 1 << u"/"_s << u"Fertig"_s;
        QTest::newRow("Ja then Nein") << QStringList{u"Button1"_s, u"Button3"_s}
                                      << QStringList{u"eins/a.txt"_s, u"eins/neu1.txt"_s, u"zwei/neu2.txt"_s}
                                      << QStringList() << 2 << u"/"_s << u"Fertig"_s;
        QTest::newRow("Abbrechen stops where it is") << QStringList{u"Button5"_s} << QStringList()
                                                     << QStringList{u"eins/neu1.txt"_s, u"zwei/neu2.txt"_s}
                                                     << 1 << u"/reihe/eins"_s << u"Abgebrochen"_s;
        QTest::newRow("closing the window stops")
            << QStringList{u"frame"_s} << QStringList() << QStringList{u"eins/neu1.txt"_s, u"zwei/neu2.txt"_s}
            << 1 << u"/reihe/eins"_s << u"Abgebrochen"_s;
    }

    void overwriteQuestions()
    {
        QFETCH(QStringList, answers);
        QFETCH(QStringList, fromServer);
        QFETCH(QStringList, missing);
        QFETCH(int, questions);
        QFETCH(QString, endFolder);
        QFETCH(QString, status);

        const QStringList names{u"eins/a.txt"_s, u"eins/neu1.txt"_s, u"zwei/b.txt"_s, u"zwei/neu2.txt"_s};
        RealFtpServer server({});
        for (const QString &name : names)
            QVERIFY(server.addFile(u"reihe/"_s + name, "server " + name.toUtf8()));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        for (const QString &name : {u"eins/a.txt"_s, u"zwei/b.txt"_s}) {
            QVERIFY(QDir().mkpath(QFileInfo(m_window.Local(u"reihe/"_s + name)).path()));
            QVERIFY(WriteFileContent(m_window.Local(u"reihe/"_s + name), "local " + name.toUtf8()));
        }

        {
            const OverwriteAnswers prompts(answers);
            m_window.Download({u"reihe"_s});
            QCOMPARE(prompts.Questions().size(), questions);
            QCOMPARE(prompts.Questions().first(), m_window.Local(u"reihe/eins/a.txt"_s));
        }
        for (const QString &name : names) {
            const QString local = m_window.Local(u"reihe/"_s + name);
            if (missing.contains(name))
                QVERIFY2(!QFile::exists(local), qPrintable(name));
            else if (fromServer.contains(name))
                QCOMPARE(FileContent(local), "server " + name.toUtf8());
            else
                QCOMPARE(FileContent(local), "local " + name.toUtf8());
        }
        QCOMPARE(m_window.ShownFolder(), endFolder);
        QCOMPARE(m_window.Window()->Main().Connection.CurrentDir(), endFolder);
        QCOMPARE(m_window.Panel(2), status);
        // The next download asks again, from the first existing file on.
        m_window.Window()->Browser()->ChangeRemoteFolder(u"/"_s);
        const OverwriteAnswers again({u"Button3"_s});
        m_window.Download({u"reihe"_s});
        QCOMPARE(again.Questions().size(), 2);
    }

    void onlyNewerFiles_data()
    {
        QTest::addColumn<qint64>("localOffsetMs"); // local time minus the listed remote time
        QTest::addColumn<bool>("replaced");
        QTest::newRow("same time") << 0LL << false;
        QTest::newRow("1 ms older counts as the same") << -1LL << false;
        QTest::newRow("local is newer") << 60000LL << false;
        QTest::newRow("remote is a minute newer") << -60000LL << true;
    }

    void onlyNewerFiles()
    {
        QFETCH(qint64, localOffsetMs);
        QFETCH(bool, replaced);
        RealFtpServer server({.files = {{u"datei.txt"_s, "from the server"}}});
        QVERIFY(SetModified(Root(server, u"datei.txt"_s), RecentMinute(2)));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        const QString local = m_window.Local(u"datei.txt"_s);
        QVERIFY(WriteFileContent(local, "local"));
        QFile file(local);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(Listed(RecentMinute(2)).addMSecs(localOffsetMs),
                                 QFileDevice::FileModificationTime));
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner)); // read-only files are replaced too
        m_window.Window()->Settings.New_Only = true;

        const OverwriteAnswers prompts({u"Button1"_s});
        m_window.Download({u"datei.txt"_s});
        QCOMPARE(FileContent(local), replaced ? QByteArray("from the server") : QByteArray("local"));
        QCOMPARE(prompts.Questions().size(), replaced ? 1 : 0);
    }

    // A refused SIZE never turns into an empty file; a file listed with the
    // size 0 is fetched all the same (it may have grown since), and is empty
    // because the server sent nothing.
    void sizeDecidesOnlyWhenKnown()
    {
        RealFtpServer server({.files = {{u"leer.txt"_s, {}}, {u"voll.txt"_s, "content"}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        server.clearTranscript();
        m_window.Download({u"leer.txt"_s});
        QVERIFY(QFileInfo(m_window.Local(u"leer.txt"_s)).exists());
        QCOMPARE(QFileInfo(m_window.Local(u"leer.txt"_s)).size(), 0);
        QVERIFY(server.commands().join(u'\n').contains(u"RETR leer.txt"_s, Qt::CaseInsensitive));

        // pyftpdlib refuses SIZE in ASCII mode: the session asks in binary.
        m_window.Download({u"voll.txt"_s});
        QCOMPARE(FileContent(m_window.Local(u"voll.txt"_s)), QByteArray("content"));
    }

    // A file that changed between the listing and its transfer: what
    // arrives must match the size the server gave, or the local file stays
    // as it was and the message says how much came.
    void aFileThatChangedSinceTheListing_data()
    {
        QTest::addColumn<QByteArray>("now");
        QTest::addColumn<QString>("message");
        QTest::newRow("grew") << QByteArray(100, 'x')
                              << u"kam länger an als angekündigt (100 statt 50 Bytes)"_s;
        QTest::newRow("shrank") << QByteArray(20, 'x') << u"kam unvollständig an (20 von 50 Bytes)"_s;
    }

    void aFileThatChangedSinceTheListing()
    {
        QFETCH(QByteArray, now);
        QFETCH(QString, message);
        RealFtpServer server({.files = {{u"datei.bin"_s, QByteArray(50, 'a')}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        QVERIFY(WriteFileContent(m_window.Local(u"datei.bin"_s), "alt"));
        QVERIFY(WriteFileContent(server.rootDir() + u"/datei.bin"_s, now));
        m_window.Window()->Settings.No_Prompt_Overwrite = true;
        m_window.Download({u"datei.bin"_s});
        QVERIFY2(m_window.Panel(2).contains(message), qPrintable(m_window.Panel(2)));
        QCOMPARE(FileContent(m_window.Local(u"datei.bin"_s)), QByteArray("alt"));
        QCOMPARE(QDir(m_window.LocalRoot()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // A size the listing gave is used as it stands: no SIZE for those files,
    // and the transfers still run in binary type after the listing's ASCII.
    // A link's listed size is its own, so its target's size is asked for.
    void sizeComesFromTheListing_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("mlsd");
        QTest::addColumn<bool>("linkSizeAsked");
        // pyftpdlib's MLSD lists a link as the file it points to.
        QTest::newRow("pyftpdlib MLSD") << Kind::Pyftpdlib << true << false;
        QTest::newRow("pyftpdlib LIST") << Kind::Pyftpdlib << false << true;
        QTest::newRow("vsftpd") << Kind::Vsftpd << false << true;
    }

    void sizeComesFromTheListing()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, mlsd);
        QFETCH(bool, linkSizeAsked);
        const QMap<QString, QByteArray> files{{u"baum/a.bin"_s, RandomBytes(7000, 4)},
                                              {u"baum/unter/b.bin"_s, RandomBytes(3000, 5)}};
        RealFtpServer server({.kind = kind, .hideMlsd = kind == Kind::Pyftpdlib && !mlsd, .files = files});
        QVERIFY(MakeSymlink(u"a.bin"_s, Root(server, u"baum/verweis.bin"_s)));
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server, mlsd));
        server.clearTranscript();

        m_window.Download({u"baum"_s});
        QCOMPARE(FileContent(m_window.Local(u"baum/a.bin"_s)), files[u"baum/a.bin"_s]);
        QCOMPARE(FileContent(m_window.Local(u"baum/unter/b.bin"_s)), files[u"baum/unter/b.bin"_s]);
        QCOMPARE(FileContent(m_window.Local(u"baum/verweis.bin"_s)), files[u"baum/a.bin"_s]);
        const QStringList sizes = server.commands().filter(
            QRegularExpression(u"^SIZE "_s, QRegularExpression::CaseInsensitiveOption));
        // The pane itself asks SIZE of a link's target to tell a file from a folder.
        QCOMPARE(sizes.filter(u"b.bin"_s), QStringList());
        QCOMPARE(sizes.contains(u"SIZE verweis.bin"_s), linkSizeAsked);
    }

    // The local file is replaced only by a complete download, in one step:
    // a refused one leaves what was there (and creates nothing), and a
    // replaced file keeps its permissions. Partial data an earlier download
    // left under the part name is started over, and gone once the file is
    // complete.
    void replacingALocalFile_data()
    {
        QTest::addColumn<bool>("onServer");
        QTest::addColumn<QByteArray>("before"); // null: no local file
        QTest::addColumn<int>("modeBefore");
        QTest::addColumn<bool>("earlierPart");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("modeAfter");
        QTest::addColumn<QString>("status");
        const QByteArray none;
        const QByteArray fetched("vom Server");
        QTest::newRow("refused, the old file stays")
            << false << QByteArray("alter Inhalt") << 0640 << false << QByteArray("alter Inhalt") << 0640
            << u"Abgebrochen"_s;
        QTest::newRow("refused, no file appears")
            << false << none << 0 << false << none << 0 << u"Abgebrochen"_s;
        QTest::newRow("replaced, permissions kept")
            << true << QByteArray("alt") << 0640 << false << fetched << 0640 << u"Fertig"_s;
        QTest::newRow("read-only, replaced and writable")
            << true << QByteArray("alt") << 0440 << false << fetched << 0640 << u"Fertig"_s;
        QTest::newRow("earlier partial data is started over")
            << true << QByteArray("alt") << 0600 << true << fetched << 0600 << u"Fertig"_s;
    }

    void replacingALocalFile()
    {
        QFETCH(bool, onServer);
        QFETCH(QByteArray, before);
        QFETCH(int, modeBefore);
        QFETCH(bool, earlierPart);
        QFETCH(QByteArray, after);
        QFETCH(int, modeAfter);
        RealFtpServer server({.files = {{u"datei.txt"_s, "vom Server"}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        const QString local = m_window.Local(u"datei.txt"_s);
        QStringList expectedFiles;
        if (!before.isNull()) {
            QVERIFY(WriteFileContent(local, before));
            QVERIFY(::chmod(QFile::encodeName(local).constData(), mode_t(modeBefore)) == 0);
        }
        if (!after.isNull())
            expectedFiles.append(u"datei.txt"_s);
        if (earlierPart)
            LeavePartialData(local, "vom");
        // Listed, then gone: SIZE and RETR are refused.
        if (!onServer)
            QVERIFY(QFile::remove(Root(server, u"datei.txt"_s)));
        m_window.Window()->Settings.No_Prompt_Overwrite = true;

        m_window.Download({u"datei.txt"_s});
        QTEST(m_window.Panel(2), "status");
        QCOMPARE(QDir(m_window.LocalRoot()).entryList(QDir::Files | QDir::Hidden), expectedFiles);
        if (!after.isNull()) {
            QCOMPARE(FileContent(local), after);
            struct stat status = {};
            QVERIFY(::stat(QFile::encodeName(local).constData(), &status) == 0);
            QCOMPARE(int(status.st_mode & 07777), modeAfter);
        }
    }

    // The abort button cuts the running transfer, whose partial data stays
    // beside the file for "Fortsetzen"; the menu item lets the running file
    // finish and stops before the next step. Either way the file keeps the
    // time the file system gave it.
    void cancelDuringABigDownload_data()
    {
        QTest::addColumn<bool>("button");
        QTest::newRow("abort button") << true;
        QTest::newRow("menu item") << false;
    }

    void cancelDuringABigDownload()
    {
        QFETCH(bool, button);
        RealFtpServer server({.kind = Kind::Vsftpd, .files = {{u"klein.txt"_s, "small"}}});
        QVERIFY(AddSparseFile(server, u"gross.bin"_s, kGiB));
        QVERIFY(AddSparseFile(server, u"zweite.bin"_s, 1024));
        QVERIFY(SetModified(Root(server, u"gross.bin"_s), RecentMinute(5)));
        START_OR_SKIP(server, Kind::Vsftpd);
        QVERIFY(m_window.Open(server, false));
        const QString local = m_window.Local(u"gross.bin"_s);
        // An older copy is there already, and is to be replaced.
        QVERIFY(WriteFileContent(local, "alter Inhalt"));
        QVERIFY(SetModified(local, RecentMinute(9)));
        m_window.Window()->Settings.No_Prompt_Overwrite = true;
        // One file after the other: the second must not have started.
        m_window.Window()->Settings.Parallel_Transfers = 1;

        TFTPqvx &window = *m_window.Window();
        QTimer pressCancel;
        pressCancel.setInterval(1);
        bool pressed = false;
        connect(&pressCancel, &QTimer::timeout, [&] {
            if (!pressed && window.Main().Flags.TransferActive &&
                LargestFileIn(m_window.LocalRoot()) > 4 * 1024 * 1024) {
                QVERIFY(window.Remote()->SpeedButton10->isEnabled());
                pressed = true;
                if (button)
                    window.Remote()->SpeedButton10->click();
                else
                    window.Remote()->Datentransferabbrechen1->trigger();
            }
        });
        pressCancel.start();
        m_window.Download({u"gross.bin"_s, u"zweite.bin"_s});
        pressCancel.stop();

        QVERIFY(pressed);
        QCOMPARE(m_window.Panel(2), u"Abgebrochen"_s);
        // The cut transfer leaves the old copy as it was; the completed one
        // replaces it but keeps the time the file system gave it.
        if (button) {
            QCOMPARE(FileContent(local), QByteArray("alter Inhalt"));
            QCOMPARE(Modified(local), RecentMinute(9));
        } else {
            QCOMPARE(QFileInfo(local).size(), kGiB);
            QVERIFY(Modified(local) != Listed(RecentMinute(5)));
        }
        QStringList expectedFiles{u"gross.bin"_s};
        if (button)
            expectedFiles.append(u"gross.bin.glimra-part"_s);
        QCOMPARE(QDir(m_window.LocalRoot()).entryList(QDir::Files | QDir::Hidden), expectedFiles);
        QVERIFY(!window.Main().Flags.TransferActive && !window.Main().Flags.OperationBusy);
        // The session goes on: a listing and another download work.
        QVERIFY(window.Main().Connection.IsConnected());
        window.Browser()->RefreshRemoteList();
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        QVERIFY(RowNamed(m_window.List(), u"gross.bin"_s) > 0);
        m_window.Download({u"klein.txt"_s});
        QCOMPARE(FileContent(m_window.Local(u"klein.txt"_s)), QByteArray("small"));
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
    }

    // A download that runs for seconds leaves the control connection quiet
    // for longer than the keep-alive waits; it still speaks only once the
    // download is over.
    void keepAliveWaitsForTheDownload()
    {
        const QByteArray content = RandomBytes(600 * 1024, 5);
        RealFtpServer server({.rateLimit = 200 * 1024, .files = {{u"langsam.bin"_s, content}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        m_window.Window()->KeepAliveTimer()->SetInterval(1);
        server.clearTranscript();

        QElapsedTimer took;
        took.start();
        m_window.Download({u"langsam.bin"_s});
        QVERIFY(took.elapsed() > 2000);
        QCOMPARE(FileContent(m_window.Local(u"langsam.bin"_s)), content);
        QVERIFY2(!server.commands().contains(u"NOOP"_s), qPrintable(server.commands().join(u" | "_s)));
        QTRY_VERIFY_WITH_TIMEOUT(server.commands().contains(u"NOOP"_s), 5000);
        VERIFY_IN_STEP_ON_REAL_SERVER(m_window.Window()->Main().Connection);
    }

    void fileBeyondTwoGiB()
    {
        const qint64 size = 5 * kGiB / 2;
        RealFtpServer server({.kind = Kind::Vsftpd});
        QVERIFY(AddSparseFile(server, u"riesig.bin"_s, size));
        START_OR_SKIP(server, Kind::Vsftpd);
        QVERIFY(m_window.Open(server, false));
        QCOMPARE(m_window.List()->Row(RowNamed(m_window.List(), u"riesig.bin"_s)).sizeText.trimmed(),
                 QString::number(size));

        TFTPqvx &window = *m_window.Window();
        qint64 expectedSize = 0;
        qint64 barMaximum = 0;
        double barFilled = 0;
        QTimer watch;
        watch.setInterval(1);
        connect(&watch, &QTimer::timeout, [&] {
            if (!window.Main().Flags.TransferActive)
                return;
            expectedSize = std::max(expectedSize, window.Main().Flags.ExpectedSize);
            barMaximum = std::max(barMaximum, window.Session()->Progress().Maximum());
            const QProgressBar *bar = window.Progress();
            barFilled = std::max(barFilled, double(bar->value()) / bar->maximum());
        });
        watch.start();
        m_window.Download({u"riesig.bin"_s});
        watch.stop();
        const QString local = m_window.Local(u"riesig.bin"_s);
        const qint64 arrived = QFileInfo(local).size();
        QFile::remove(local);

        QCOMPARE(arrived, size);
        QCOMPARE(expectedSize, size);
        QCOMPARE(barMaximum, size);
        QVERIFY2(barFilled * double(size) > double(1LL << 31), qPrintable(QString::number(barFilled)));
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
    }
};

QTEST_MAIN(DownloadTest)
#include "test_download.moc"
