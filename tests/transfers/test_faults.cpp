// Servers that misbehave on purpose and a disk that fills up, seen from the
// main window: what the user reads, the state of the session afterwards and
// the bytes on disk.
#include "transferwindow.h"

#include "filesizelimit.h"

#include "maintoolbar.h"
#include "operationflags.h"
#include "sessioncontrol.h"

#include <QElapsedTimer>
#include <QMessageBox>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kOldLocalTime(QDate(2020, 5, 6), QTime(7, 8, 9));
const QDateTime kRemoteTime(QDate(2021, 3, 4), QTime(10, 11, 12), QTimeZone::utc());

// A file whose name is the given bytes, which need not be UTF-8.
bool AddRawNamedFile(const RealFtpServer &server, const QByteArray &name, const QByteArray &content)
{
    const QByteArray path = QFile::encodeName(server.rootDir()) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    ::close(fd);
    return written;
}

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT

private:
    TransferWindow m_window;

    // Nothing the failed download left looks like the file: the folder
    // holds exactly the files it held before, with their bytes and times.
    // What arrived may wait beside them in a part file, to be continued.
    void VerifyLocalFolderUntouched(const QMap<QString, QByteArray> &before)
    {
        QMap<QString, QByteArray> after = TreeOf(m_window.LocalRoot());
        after.removeIf([&before](const auto &entry) {
            return entry.key().endsWith(u".glimra-part"_s) && !before.contains(entry.key());
        });
        QCOMPARE(after, before);
        for (const QString &name : before.keys())
            QCOMPARE(QFileInfo(m_window.Local(name)).lastModified(), kOldLocalTime);
    }

    void VerifySessionGoesOn()
    {
        TFTPqvx &window = *m_window.Window();
        QVERIFY(!window.Main().Flags.TransferActive && !window.Main().Flags.OperationBusy &&
                !window.Main().Flags.ListingBusy);
        QVERIFY(window.Main().Connection.IsConnected());
        VERIFY_IN_STEP_ON_REAL_SERVER(window.Main().Connection);
    }

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void cleanup() { m_window.Close(); }

    // The server closes the data connection after 40 % of the file and
    // says so (426) or claims it was all (226): the download is reported as
    // not done, and an older copy stays as it was.
    void dataConnectionClosedAtFortyPercent_data()
    {
        QTest::addColumn<int>("finalReply");
        QTest::addColumn<bool>("olderCopy");
        QTest::addColumn<QString>("message");
        const QString incomplete =
            u"Die Datei %1 kam unvollständig an (4000 von 10000 Bytes) und wurde nicht gespeichert."_s;
        QTest::newRow("426, no copy") << 426 << false << u"Abgebrochen"_s;
        QTest::newRow("426, an older copy stays") << 426 << true << u"Abgebrochen"_s;
        QTest::newRow("226 as if complete, no copy") << 226 << false << incomplete;
        QTest::newRow("226 as if complete, an older copy stays") << 226 << true << incomplete;
    }

    void dataConnectionClosedAtFortyPercent()
    {
        QFETCH(int, finalReply);
        QFETCH(bool, olderCopy);
        QFETCH(QString, message);
        RealFtpServer server({.cutDownloadsReply = finalReply});
        QVERIFY(server.addFile(u"daten.bin"_s, RandomBytes(10000)));
        QVERIFY(SetModified(server.rootDir() + u"/daten.bin"_s, kRemoteTime));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        const QString local = m_window.Local(u"daten.bin"_s);
        if (olderCopy) {
            QVERIFY(WriteFileContent(local, "alter Inhalt"));
            QVERIFY(SetModified(local, kOldLocalTime));
            m_window.Window()->Settings.No_Prompt_Overwrite = true;
        }
        const QMap<QString, QByteArray> before = TreeOf(m_window.LocalRoot());

        m_window.Download({u"daten.bin"_s});

        QCOMPARE(m_window.Panel(2), message.contains(u"%1"_s) ? message.arg(local) : message);
        VerifyLocalFolderUntouched(before);
        VerifySessionGoesOn();
    }

    // Local faults: the disk fills up during the download (a size limit
    // on the files this process writes stands in for it).
    void diskFullDuringADownload_data()
    {
        QTest::addColumn<bool>("olderCopy");
        QTest::newRow("no copy") << false;
        QTest::newRow("an older copy stays") << true;
    }

    void diskFullDuringADownload()
    {
        QFETCH(bool, olderCopy);
        RealFtpServer server({});
        QVERIFY(server.addFile(u"gross.bin"_s, RandomBytes(512 * 1024)));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        const QString local = m_window.Local(u"gross.bin"_s);
        if (olderCopy) {
            QVERIFY(WriteFileContent(local, "alter Inhalt"));
            QVERIFY(SetModified(local, kOldLocalTime));
            m_window.Window()->Settings.No_Prompt_Overwrite = true;
        }
        const QMap<QString, QByteArray> before = TreeOf(m_window.LocalRoot());

        {
            FileSizeLimit full(64 * 1024);
            QVERIFY(full.Active());
            m_window.Download({u"gross.bin"_s});
        }

        QCOMPARE(
            m_window.Panel(2),
            u"Die Daten konnten nicht geschrieben werden: Die Datei überschreitet die zulässige Größe."_s);
        VerifyLocalFolderUntouched(before);
        VerifySessionGoesOn();
    }

    // Names that are no UTF-8, from a server that stores bytes (vsftpd) and
    // from one that says it speaks UTF-8 (pyftpdlib): each is shown, and
    // goes back to the server as the bytes it came as.
    void namesThatAreNoUtf8_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("vsftpd") << Kind::Vsftpd;
        QTest::newRow("pyftpdlib announcing UTF8") << Kind::Pyftpdlib;
    }

    void namesThatAreNoUtf8()
    {
        QFETCH(Kind, kind);
        RealFtpServer server({.kind = kind, .rawNames = true});
        // Windows-1252 umlauts, two bytes that code page leaves undefined,
        // and a name in UTF-8 beside them.
        QVERIFY(AddRawNamedFile(server,
                                "Gr\xf6\xdf"
                                "e \x81\x9d\xff.txt",
                                "eins"));
        QVERIFY(AddRawNamedFile(server,
                                "utf8 Gr\xc3\xb6\xc3\x9f"
                                "e.txt",
                                "zwei"));
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server, false));
        const QString odd = u"Größe \u0081\u009dÿ.txt"_s;
        const QString utf8Bytes = u"utf8 GrÃ¶ÃŸe.txt"_s;
        QVERIFY2(RowNamed(m_window.List(), odd) > 0, qPrintable(Captions(m_window.List()).join(u", "_s)));
        QVERIFY(RowNamed(m_window.List(), utf8Bytes) > 0);

        m_window.Download({odd, utf8Bytes});

        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        QCOMPARE(FileContent(m_window.Local(odd)), QByteArray("eins"));
        QCOMPARE(FileContent(m_window.Local(utf8Bytes)), QByteArray("zwei"));
        VerifySessionGoesOn();
    }

    // The server stops answering in the middle of a reply: the wait ends
    // after the session's time-out with the message, the window runs all
    // the while and is back to its disconnected state afterwards.
    void serverStopsAnsweringMidReply()
    {
        RemoteSessionFixture fixture;
        TFTPqvx *window = fixture.OpenWindow();
        QVERIFY(window);
        ScriptedServer server;
        server.setDrainTimeout(100);
        server.answer("200 Type set to A").command().send("257-\"/pub\" is the current\r\n").pause(3000);
        QVERIFY(ConnectWithoutLogin(window->Main().Connection, server));
        window->Main().Connection.ReadTimeout = 1000;
        int ticks = 0;
        QTimer clock;
        connect(&clock, &QTimer::timeout, [&] { ++ticks; });
        clock.start(50);
        QElapsedTimer waited;
        waited.start();

        QVERIFY(window->Main().RunSessionCommand([&] { window->Browser()->RefreshRemoteList(); }));

        QVERIFY2(waited.elapsed() >= 1000 && waited.elapsed() < 2500,
                 qPrintable(QString::number(waited.elapsed())));
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QCOMPARE(
            window->Status()->PanelText(2),
            u"Zeitüberschreitung: Der Server hat 1000 ms lang nicht geantwortet; die Verbindung wurde getrennt."_s);
        QVERIFY(!window->Main().Connection.IsConnected());
        QVERIFY(!window->Main().Flags.ListingBusy && !window->Main().Flags.OperationBusy);
        QVERIFY(window->ToolBar()->SpeedButton1->isEnabled());
        QCOMPARE(server.transcript(), (QStringList{u"type A"_s, u"PWD"_s}));
        fixture.Close();
    }

    // The settings file cannot be written when the window closes: the
    // previous file stays whole, and a message says so.
    void settingsThatCannotBeWritten()
    {
        RemoteSessionFixture fixture;
        TFTPqvx *window = fixture.OpenWindow();
        QVERIFY(window);
        const QString settingsFile = window->Folders().SettingsFile();
        const QByteArray previous = "[StartUp]\r\nNo_Prompt_Overwrite=-1\r\n" + QByteArray(200, ';') + "\r\n";
        QVERIFY(WriteFileContent(settingsFile, previous));
        QStringList warnings;
        PromptAnswer<QMessageBox> answer([&](QMessageBox &box, int) {
            warnings.append(box.text());
            box.accept();
        });

        {
            FileSizeLimit full(16);
            QVERIFY(full.Active());
            window->close();
        }

        QCOMPARE(FileContent(settingsFile), previous);
        QCOMPARE(warnings, QStringList{u"Die Einstellungen konnten nicht in %1 gespeichert werden; "
                                       u"die Datei bleibt, wie sie war."_s.arg(settingsFile)});
        fixture.Close();
    }
};

QTEST_MAIN(FaultsTest)
#include "test_faults.moc"
