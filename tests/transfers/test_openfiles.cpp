// Opening remote files from the main window against pyftpdlib and vsftpd:
// what a double-click does with each kind of row, the question after an
// edit of the copy and the save-back, the wait window while a download
// runs, and a save-back the server refuses. The desktop's opener is
// replaced by a recorder, so no program starts.
#include "openinghelpers.h"
#include "transferwindow.h"

#include "openedfiles.h"
#include "sessioncontrol.h"
#include "sessionlogview.h"
#include "twaitdlg1.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QMessageBox>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// Saves as editors that write a new file and rename it over the old one.
bool EditCopyByRename(const QString &path, const QByteArray &content, int secondsLater)
{
    const QString fresh = path + u".neu"_s;
    return EditCopy(fresh, content, secondsLater) &&
           ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) == 0;
}

QStringList Verbs(const QStringList &commands)
{
    QStringList verbs;
    for (const QString &command : commands)
        verbs.append(command.section(u' ', 0, 0).toUpper());
    return verbs;
}

} // namespace

class OpenFilesTest : public QObject {
    Q_OBJECT

private:
    TransferWindow m_window;
    UrlRecorder m_opened;

    OpenedFiles &Opened() const { return m_window.Work().Opened(); }
    QString WorkCopy(const QString &name) const { return m_window.Window()->Folders().WorkFolder() + name; }

    void DoubleClick(const QString &caption)
    {
        const int row = RowNamed(m_window.List(), caption);
        QVERIFY2(row >= 0, qPrintable(Captions(m_window.List()).join(u", "_s)));
        DoubleClickRow(m_window.List(), row);
    }

    // The question after a change, once it is shown; null when none came.
    QMessageBox *AwaitQuestion(int timeoutMs = 3000) { return AwaitSaveQuestion(Opened(), timeoutMs); }

    // Closes the main window as the user does; returns the texts of the
    // messages the program end showed.
    QStringList CloseTheProgram()
    {
        QStringList shown;
        PromptAnswer<QMessageBox> told([&shown](QMessageBox &box, int) {
            shown.append(box.text());
            box.accept();
        });
        m_window.Window()->close();
        return shown;
    }

    void Answer(QMessageBox::StandardButton button, const QString &copy)
    {
        QMessageBox *question = AwaitQuestion();
        QVERIFY2(question, "no question after the change");
        QCOMPARE(question->windowTitle(), u"Geänderte Datei speichern"_s);
        QCOMPARE(question->text(), u"Die Datei \"%1\" ist geändert worden. Speichern?"_s.arg(copy));
        QCOMPARE(question->icon(), QMessageBox::Question);
        question->button(button)->click();
    }

private slots:
    void initTestCase()
    {
        RemoteSessionFixture::InstallProgramServices();
        for (const QString &scheme : {u"file"_s, u"http"_s, u"ftp"_s})
            QDesktopServices::setUrlHandler(scheme, &m_opened, "open");
    }
    void cleanupTestCase()
    {
        for (const QString &scheme : {u"file"_s, u"http"_s, u"ftp"_s})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    void init() { m_opened.urls.clear(); }
    void cleanup() { m_window.Close(); }

    void doubleClickOpensFilesAndEntersFolders_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("startFolder");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shownAfter");
        QTest::addColumn<QString>("openedUrl"); // a file name in work, or an address
        QTest::addColumn<QString>("remotePath");
        for (Kind kind : {Kind::Pyftpdlib, Kind::Vsftpd}) {
            const QString server = kind == Kind::Pyftpdlib ? u"pyftpdlib: "_s : u"vsftpd: "_s;
            const auto row = [&](const char *name) -> QTestData & {
                return QTest::newRow(qPrintable(server + QLatin1String(name))) << kind;
            };
            row("file") << u"/"_s << u"notiz.txt"_s << u"/"_s << u"notiz.txt"_s << u"/notiz.txt"_s;
            row("file in a folder") << u"ordner"_s << u"inhalt.txt"_s << u"/ordner"_s << u"inhalt.txt"_s
                                    << u"/ordner/inhalt.txt"_s;
            row("..") << u"ordner"_s << u".."_s << u"/"_s << QString() << QString();
            row("folder") << u"/"_s << u"ordner"_s << u"/ordner"_s << QString() << QString();
            row("link to a folder elsewhere")
                << u"/"_s << u"weiter -> dort/tief"_s << u"/dort/tief"_s << QString() << QString();
            row("link to a file") << u"/"_s << u"verweis -> ordner/inhalt.txt"_s << u"/"_s << u"inhalt.txt"_s
                                  << u"/ordner/inhalt.txt"_s;
            row("link to a web address") << u"/"_s << u"web -> http://example.org/seite"_s << u"/"_s
                                         << u"http://example.org/seite"_s << QString();
        }
    }

    void doubleClickOpensFilesAndEntersFolders()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, startFolder);
        QFETCH(QString, caption);
        QFETCH(QString, shownAfter);
        QFETCH(QString, openedUrl);
        QFETCH(QString, remotePath);
        const QByteArray content = RandomBytes(70000, 7);
        RealFtpServer server(
            {.kind = kind,
             .hideMlsd = kind == Kind::Pyftpdlib,
             .files = {{u"notiz.txt"_s, "Notiz"}, {u"ordner/inhalt.txt"_s, content}, {u"dort/tief/"_s, {}}}});
        QVERIFY(MakeSymlink(u"dort/tief"_s, server.rootDir() + u"/weiter"_s));
        QVERIFY(MakeSymlink(u"ordner/inhalt.txt"_s, server.rootDir() + u"/verweis"_s));
        QVERIFY(MakeSymlink(u"http://example.org/seite"_s, server.rootDir() + u"/web"_s));
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server, false));
        if (startFolder != u"/"_s)
            m_window.Window()->Browser()->ChangeRemoteFolder(startFolder);
        server.clearTranscript();

        DoubleClick(caption);
        QCOMPARE(m_window.ShownFolder(), shownAfter);
        QVERIFY(!m_window.Window()->Main().Flags.OperationBusy);
        const QStringList verbs = Verbs(server.commands());
        if (openedUrl.isEmpty() || openedUrl.contains(u"://"_s)) {
            QVERIFY2(!verbs.contains(u"RETR"_s), qPrintable(verbs.join(u' ')));
            QCOMPARE(m_opened.urls.size(), openedUrl.isEmpty() ? 0 : 1);
            if (!openedUrl.isEmpty())
                QCOMPARE(m_opened.urls.first(), QUrl(openedUrl));
            QVERIFY(QDir(m_window.Window()->Folders().WorkFolder()).isEmpty());
            return;
        }
        const QString copy = WorkCopy(openedUrl);
        QCOMPARE(m_opened.urls, QList<QUrl>{QUrl::fromLocalFile(copy)});
        QCOMPARE(FileContent(copy), FileContent(server.rootDir() + remotePath));
        QVERIFY(Opened().Copies().Find(copy));
        QCOMPARE(Opened().Copies().Find(copy)->remotePath, remotePath);
        QVERIFY(!Opened().Copies().HasUnsavedChange(copy));
    }

    void editsAreOfferedAndSavedBack_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("pyftpdlib") << Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << Kind::Vsftpd;
    }

    void editsAreOfferedAndSavedBack()
    {
        QFETCH(Kind, kind);
        RealFtpServer server({.kind = kind, .files = {{u"texte/brief.txt"_s, "Entwurf"}}});
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server));
        m_window.Window()->Browser()->ChangeRemoteFolder(u"texte"_s);
        DoubleClick(u"brief.txt"_s);
        const QString copy = WorkCopy(u"brief.txt"_s);
        const QString onServer = server.rootDir() + u"/texte/brief.txt"_s;
        QCOMPARE(FileContent(copy), QByteArray("Entwurf"));
        // The copy as it came is no change.
        QVERIFY(!AwaitQuestion(700));

        QVERIFY(EditCopy(copy, "Erste Fassung", 10));
        Answer(QMessageBox::Yes, copy);
        QTRY_COMPARE(FileContent(onServer), QByteArray("Erste Fassung"));
        QTRY_VERIFY(!m_window.Window()->Main().Flags.OperationBusy);
        QVERIFY(server.commands().contains(u"STOR /texte/brief.txt"_s));
        QCOMPARE(SelectedCaptions(m_window.List()), QStringList{u"brief.txt"_s});

        // A second edit asks again; "Nein" leaves the server's file.
        QVERIFY(EditCopy(copy, "Zweite Fassung", 20));
        Answer(QMessageBox::No, copy);
        QVERIFY(!AwaitQuestion(700));
        QCOMPARE(FileContent(onServer), QByteArray("Erste Fassung"));

        // Saved by writing a new file and renaming it over the copy, after
        // the user went to another folder: saved where the copy came from.
        m_window.Window()->Browser()->ChangeRemoteFolder(u".."_s);
        QVERIFY(EditCopyByRename(copy, "Dritte Fassung", 30));
        Answer(QMessageBox::Yes, copy);
        QTRY_COMPARE(FileContent(onServer), QByteArray("Dritte Fassung"));
        QVERIFY(!QFileInfo::exists(server.rootDir() + u"/brief.txt"_s));
        QTRY_VERIFY(!m_window.Window()->Main().Flags.OperationBusy);
        QCOMPARE(m_window.ShownFolder(), u"/"_s);
        QVERIFY(!Opened().Copies().HasUnsavedChange(copy));
    }

    // A change while a recursive download runs: the question comes at once,
    // "Ja" opens the wait window, and the upload follows the download.
    void aChangeDuringADownloadWaitsForIt()
    {
        QMap<QString, QByteArray> files{{u"offen.txt"_s, "vorher"}};
        constexpr int kFolders = 20;
        for (int n = 0; n < kFolders; ++n)
            files.insert(u"baum/teil%1/datei.bin"_s.arg(n), RandomBytes(20000, quint32(n)));
        RealFtpServer server({.commandDelayMs = 15, .files = files});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        DoubleClick(u"offen.txt"_s);
        const QString copy = WorkCopy(u"offen.txt"_s);
        QVERIFY(QFileInfo::exists(copy));
        TFTPqvx *window = m_window.Window();

        // Watches the download from inside its waits.
        bool askedWhileBusy = false;
        bool waitWindowShown = false;
        QElapsedTimer clock;
        qint64 downloadEnded = -1;
        qint64 savingStarted = -1;
        QTimer watcher;
        watcher.setInterval(5);
        connect(&watcher, &QTimer::timeout, this, [&] {
            const bool busy = !window->Main().SessionIdle();
            if (QMessageBox *question = Opened().Question(); question && question->isVisible()) {
                askedWhileBusy = busy;
                question->button(QMessageBox::Yes)->click();
            }
            auto *wait = window->findChild<TWaitDlg1 *>();
            if (wait && wait->isVisible()) {
                waitWindowShown = true;
                if (savingStarted < 0 && wait->windowTitle() == u"Speichern offen.txt"_s)
                    savingStarted = clock.elapsed();
            }
            if (waitWindowShown && downloadEnded < 0 && !busy)
                downloadEnded = clock.elapsed();
        });
        QTimer::singleShot(200, this, [&] { QVERIFY(EditCopy(copy, "nachher", 10)); });
        clock.start();
        watcher.start();
        m_window.Download({u"baum"_s});
        QVERIFY2(clock.elapsed() > 1500, "the download ran too briefly to be waited for");
        QTRY_COMPARE(FileContent(server.rootDir() + u"/offen.txt"_s), QByteArray("nachher"));
        QTRY_VERIFY(!window->findChild<TWaitDlg1 *>());
        watcher.stop();

        QVERIFY(askedWhileBusy);
        QVERIFY(waitWindowShown);
        QVERIFY(downloadEnded >= 0 && savingStarted >= 0);
        // The window looks every second; a loaded machine may run its timer late.
        QVERIFY2(savingStarted - downloadEnded <= 1300,
                 qPrintable(u"%1 ms after the download"_s.arg(savingStarted - downloadEnded)));
        QCOMPARE(TreeOf(m_window.Local(u"baum"_s)).size(), 2 * kFolders);
        QVERIFY(!Opened().Copies().HasUnsavedChange(copy));
        qInfo("upload %lld ms after the download", savingStarted - downloadEnded);
    }

    // The wait window's "Abbrechen" keeps the change for later.
    void cancellingTheWaitKeepsTheChange()
    {
        RealFtpServer server({.files = {{u"a.txt"_s, "a"}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        DoubleClick(u"a.txt"_s);
        const QString copy = WorkCopy(u"a.txt"_s);
        TFTPqvx *window = m_window.Window();
        // The session stays busy as long as the test says.
        window->Main().Flags.OperationBusy = true;
        QVERIFY(EditCopy(copy, "geändert", 10));
        Answer(QMessageBox::Yes, copy);
        QTRY_VERIFY(window->findChild<TWaitDlg1 *>() && window->findChild<TWaitDlg1 *>()->isVisible());
        TWaitDlg1 *wait = window->findChild<TWaitDlg1 *>();
        QCOMPARE(wait->windowTitle(), u"Warte auf das Ende der Datenübertragung..."_s);
        QVERIFY(wait->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        wait->CancelButton->click();
        QTRY_VERIFY(!window->findChild<TWaitDlg1 *>());
        window->Main().Flags.OperationBusy = false;
        QTest::qWait(1200);
        QCOMPARE(FileContent(server.rootDir() + u"/a.txt"_s), QByteArray("a"));
        QVERIFY(Opened().Copies().HasUnsavedChange(copy));
    }

    // A refused save says so and keeps the change: it is offered again at
    // the next connect, and the program end keeps the copy while it
    // deletes the unchanged ones.
    void aRefusedSaveKeepsTheChange_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("pyftpdlib, a folder in the file's place") << Kind::Pyftpdlib;
        QTest::newRow("vsftpd, a read-only folder") << Kind::Vsftpd;
    }

    void aRefusedSaveKeepsTheChange()
    {
        QFETCH(Kind, kind);
        RealFtpServer server({.kind = kind, .files = {{u"frei.txt"_s, "frei"}, {u"nur/lesen.txt"_s, "alt"}}});
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server));
        DoubleClick(u"frei.txt"_s);
        m_window.Window()->Browser()->ChangeRemoteFolder(u"nur"_s);
        DoubleClick(u"lesen.txt"_s);
        const QString unchanged = WorkCopy(u"frei.txt"_s);
        const QString changed = WorkCopy(u"lesen.txt"_s);
        QVERIFY(QFileInfo::exists(unchanged) && QFileInfo::exists(changed));

        const QString onServer = server.rootDir() + u"/nur/lesen.txt"_s;
        if (kind == Kind::Vsftpd) {
            QVERIFY(::chmod(QFile::encodeName(onServer).constData(), 0444) == 0);
            QVERIFY(::chmod(QFile::encodeName(server.rootDir() + u"/nur"_s).constData(), 0555) == 0);
        } else {
            QVERIFY(QFile::remove(onServer) && QDir().mkdir(onServer));
        }
        QVERIFY(EditCopy(changed, "neu", 10));
        Answer(QMessageBox::Yes, changed);
        const QString note =
            u"Die Datei \"%1\" ist nicht auf dem Server gespeichert worden (/nur/lesen.txt); "
            u"die Änderung bleibt erhalten."_s.arg(changed);
        QTRY_COMPARE(m_window.Panel(2), note);
        QVERIFY(m_window.Window()->Log()->Lines().contains(note));
        QVERIFY(Opened().Copies().HasUnsavedChange(changed));
        QVERIFY(!AwaitQuestion(700));

        // Connected again: offered again.
        m_window.Window()->Session()->Disconnect();
        QVERIFY(!m_window.Window()->Main().Connection.IsConnected());
        m_window.Reconnect(server);
        Answer(QMessageBox::Yes, changed);
        QTRY_COMPARE(m_window.Panel(2), note);

        // The program ends: the unsaved copy stays, and the user is told where.
        QStringList farewell = CloseTheProgram();
        QCOMPARE(farewell.size(), 1);
        QVERIFY2(farewell.first().contains(changed), qPrintable(farewell.first()));
        QCOMPARE(FileContent(changed), QByteArray("neu"));
        QVERIFY(!QFileInfo::exists(unchanged));

        // The next run did not open it: the change is offered once its
        // server is connected, and the end keeps it and says so again.
        QVERIFY(m_window.Reopen(server));
        Answer(QMessageBox::Yes, changed);
        QTRY_COMPARE(m_window.Panel(2), note);
        farewell = CloseTheProgram();
        QCOMPARE(farewell.size(), 1);
        QVERIFY2(farewell.first().contains(changed), qPrintable(farewell.first()));
        QCOMPARE(FileContent(changed), QByteArray("neu"));

        // Declining the change lets it go at the end that follows.
        QVERIFY(m_window.Reopen(server));
        Answer(QMessageBox::No, changed);
        QTRY_VERIFY(!Opened().Copies().HasUnsavedChange(changed));
        QCOMPARE(CloseTheProgram(), QStringList());
        QVERIFY(!QFileInfo::exists(changed));
    }
};

QTEST_MAIN(OpenFilesTest)
#include "moc_openinghelpers.cpp"
#include "test_openfiles.moc"
