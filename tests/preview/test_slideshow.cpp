// The slideshow against pyftpdlib and vsftpd: "Diavorschau" fetches the
// folder's pictures, DiaShow loads after every listing but never inside a
// download's walk, and a load stops when asked without disturbing the
// session.
#include "../transfers/transferwindow.h"
#include "testpictures.h"

#include "folderemptying.h"
#include "maintoolbar.h"
#include "operationflags.h"
#include "sessionlogview.h"
#include "slideshow.h"
#include "timagelibthumbnails.h"
#include "tthumbfromfileform.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kGiB = 1024LL * 1024 * 1024;

// The names the server was asked to send, in order.
QStringList Retrieved(const RealFtpServer &server)
{
    QStringList names;
    for (const QString &command : server.commands()) {
        if (!command.startsWith(u"RETR "_s, Qt::CaseInsensitive))
            continue;
        const QString path = command.mid(5);
        names.append(path.mid(path.lastIndexOf(u'/') + 1));
    }
    return names;
}

QStringList SortedCaseless(QStringList names)
{
    names.sort(Qt::CaseInsensitive);
    return names;
}

QStringList ShownNames(const TImageLibThumbnails &grid)
{
    QStringList names;
    for (int index = 0; index < grid.Count(); ++index)
        names.append(QFileInfo(grid.FilePath(index)).fileName());
    return names;
}

bool AddSparseFile(RealFtpServer &server, const QString &name, qint64 size)
{
    return server.addFile(name, {}) && QFile::resize(server.rootDir() + u'/' + name, size);
}

} // namespace

class SlideshowTest : public QObject {
    Q_OBJECT

private:
    TransferWindow m_window;

    TFTPqvx &Window() { return *m_window.Window(); }
    Slideshow &Show() { return InstallSlideshow(Window().Parts()); }

    bool Open(RealFtpServer &server, bool diaShow = false)
    {
        if (!m_window.Open(server))
            return false;
        Show();
        Window().Settings.DiaShow = diaShow;
        return true;
    }

    // Waits until a load has opened the thumbnail window, finished, and the
    // grid has every picture it will get.
    TThumbFromFileForm *FinishedThumbnails()
    {
        const auto finished = [this] {
            const TThumbFromFileForm *thumbnails = Show().ThumbnailWindow();
            return thumbnails && !Show().LoadRunning() && !thumbnails->Loading();
        };
        return QTest::qWaitFor(finished, 5000) ? Show().ThumbnailWindow() : nullptr;
    }

    void CheckNothingRuns()
    {
        const OperationFlags &flags = Window().Main().Flags;
        QVERIFY(!flags.OperationBusy && !flags.TransferActive && !flags.ListingBusy);
        QVERIFY(!Window().Browser()->ThumbnailsLoading());
        QVERIFY(!Show().LoadRunning());
    }

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void cleanup() { m_window.Close(); }

    void diavorschauFetchesThePictures_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("pyftpdlib") << Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << Kind::Vsftpd;
    }

    void diavorschauFetchesThePictures()
    {
        QFETCH(Kind, kind);
        const PictureFolder pictures = SamplePictureFolder();
        RealFtpServer server({.kind = kind, .files = pictures.files});
        START_OR_SKIP(server, kind);
        QVERIFY(Open(server));
        // Left from an earlier load: the new one starts afresh.
        QVERIFY(WriteFileContent(Window().Folders().ImagesFolder() + u"alt.jpg"_s,
                                 QtPictureBytes(SamplePicture({20, 20}), "jpg")));
        server.clearTranscript();

        Window().ToolBar()->SpeedButton20->click();
        TThumbFromFileForm *thumbnails = FinishedThumbnails();
        QVERIFY(thumbnails);
        QCOMPARE(SortedCaseless(Retrieved(server)), pictures.fetched);
        QCOMPARE(SortedCaseless(FilesIn(Window().Folders().ImagesFolder()).keys()), pictures.fetched);
        QCOMPARE(SortedCaseless(ShownNames(*thumbnails->ImageLibThumbnails1)), pictures.decodable);
        QCOMPARE(thumbnails->PanelText(0), u"%1 Bilder"_s.arg(pictures.decodable.size()));
        QCOMPARE(thumbnails->PanelText(1), u"Fertig"_s);
        QCOMPARE(thumbnails->windowTitle(), u"Diashow - /"_s);
        QCOMPARE(m_window.Panel(1), QString());
        CheckNothingRuns();
        QVERIFY(!Window().Main().Flags.CancelRequested);

        // The session goes on as before.
        Window().Browser()->RefreshRemoteList();
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        m_window.Download({u"bild.jpg"_s});
        QCOMPARE(FileContent(m_window.Local(u"bild.jpg"_s)), pictures.files[u"bild.jpg"_s]);
    }

    // One picture: "1 Bild"; in a folder without pictures no window opens
    // by itself, and the one opened by hand shows "0 Bilder".
    void countTexts()
    {
        RealFtpServer server({.files = {{u"eins/a.png"_s, QtPictureBytes(SamplePicture({30, 30}), "png")},
                                        {u"leer/text.txt"_s, "x"}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(Open(server, true));
        QVERIFY(!Show().ThumbnailWindow());
        Window().Browser()->ChangeRemoteFolder(u"eins"_s);
        TThumbFromFileForm *thumbnails = FinishedThumbnails();
        QVERIFY(thumbnails);
        QCOMPARE(thumbnails->PanelText(0), u"1 Bild"_s);
        QCOMPARE(thumbnails->windowTitle(), u"Diashow - /eins"_s);
        Window().Browser()->ChangeRemoteFolder(u"/leer"_s);
        QTRY_COMPARE(thumbnails->windowTitle(), u"Diashow - /leer"_s);
        QCOMPARE(thumbnails->PanelText(0), u"0 Bilder"_s);
        QCOMPARE(thumbnails->PanelText(1), u"Fertig"_s);
    }

    // With DiaShow on, connecting and each refresh load the folder shown.
    void diaShowLoadsAfterEveryListing()
    {
        RealFtpServer server({.files = {{u"a.jpg"_s, QtPictureBytes(SamplePicture({40, 30}), "jpg")}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server, false));
        Show();
        Window().Settings.DiaShow = true;
        Window().Browser()->RefreshRemoteList();
        TThumbFromFileForm *thumbnails = FinishedThumbnails();
        QVERIFY(thumbnails);
        QCOMPARE(ShownNames(*thumbnails->ImageLibThumbnails1), QStringList{u"a.jpg"_s});

        QVERIFY(server.addFile(u"b.png"_s, QtPictureBytes(SamplePicture({40, 30}), "png")));
        server.clearTranscript();
        Window().Remote()->RefreshButton->click();
        QTRY_COMPARE(ShownNames(*thumbnails->ImageLibThumbnails1), (QStringList{u"a.jpg"_s, u"b.png"_s}));
        QCOMPARE(SortedCaseless(Retrieved(server)), (QStringList{u"a.jpg"_s, u"b.png"_s}));
        CheckNothingRuns();
    }

    // Inside a recursive download the walk's listings load nothing, and the
    // abort button still stops the download.
    void diaShowLeavesADownloadAlone()
    {
        const QByteArray picture = QtPictureBytes(SamplePicture({40, 30}), "jpg");
        RealFtpServer server(
            {.kind = Kind::Vsftpd, .files = {{u"baum/a.jpg"_s, picture}, {u"baum/unten/b.jpg"_s, picture}}});
        QVERIFY(AddSparseFile(server, u"baum/unten/gross.bin"_s, kGiB));
        QVERIFY(server.addFile(u"baum/unten/z.jpg"_s, picture));
        START_OR_SKIP(server, Kind::Vsftpd);
        QVERIFY(Open(server, true));
        server.clearTranscript();

        TFTPqvx &window = Window();
        // One file after the other, so that z.jpg comes after the abort.
        window.Settings.Parallel_Transfers = 1;
        bool pressed = false;
        QTimer pressAbort;
        pressAbort.setInterval(1);
        connect(&pressAbort, &QTimer::timeout, [&] {
            if (!pressed && window.Main().Flags.TransferActive &&
                LargestFileIn(m_window.Local(u"baum/unten"_s)) > 4 * 1024 * 1024) {
                pressed = true;
                window.Remote()->SpeedButton10->click();
            }
        });
        pressAbort.start();
        m_window.Download({u"baum"_s});
        pressAbort.stop();

        QVERIFY(pressed);
        QCOMPARE(m_window.Panel(2), u"Abgebrochen"_s);
        QVERIFY(!QFile::exists(m_window.Local(u"baum/unten/z.jpg"_s)));
        // The download went into "unten" first and fetched b.jpg and part of
        // gross.bin; the walk's listings fetched no picture of their own.
        QCOMPARE(Retrieved(server), (QStringList{u"b.jpg"_s, u"gross.bin"_s}));
        QVERIFY(window.Main().Connection.IsConnected());
        CheckNothingRuns();
    }

    // "Abbrechen" in the thumbnail window cuts the picture being fetched and
    // fetches no other; the session is usable at once, and no stop request
    // of the main window is made or dropped.
    void abbrechenStopsALoad()
    {
        RealFtpServer server({.kind = Kind::Vsftpd,
                              .files = {{u"a.jpg"_s, QtPictureBytes(SamplePicture({40, 30}), "jpg")},
                                        {u"z.jpg"_s, QtPictureBytes(SamplePicture({40, 30}), "jpg")}}});
        QVERIFY(AddSparseFile(server, u"m-riesig.jpg"_s, kGiB));
        START_OR_SKIP(server, Kind::Vsftpd);
        QVERIFY(Open(server));
        server.clearTranscript();
        TFTPqvx &window = Window();
        const QString big = window.Folders().ImagesFolder() + u"m-riesig.jpg"_s;

        bool pressed = false;
        bool refused = false;
        QTimer press;
        press.setInterval(1);
        connect(&press, &QTimer::timeout, [&] {
            TThumbFromFileForm *thumbnails = Show().ThumbnailWindow();
            if (pressed || !thumbnails || LargestFileIn(window.Folders().ImagesFolder()) < 4 * 1024 * 1024)
                return;
            pressed = true;
            // Commands for the session are refused while the load runs.
            window.ToolBar()->SpeedButton20->click();
            window.Browser()->RefreshRemoteList();
            refused = Retrieved(server).size() == 2 && !window.Main().Flags.ListingBusy;
            thumbnails->SpeedButton1->click();
        });
        press.start();
        window.ToolBar()->SpeedButton20->click();
        press.stop();

        QVERIFY(pressed);
        QVERIFY(refused);
        QCOMPARE(Retrieved(server), (QStringList{u"a.jpg"_s, u"m-riesig.jpg"_s}));
        QVERIFY(!QFile::exists(big));
        QVERIFY(!window.Main().Flags.CancelRequested);
        CheckNothingRuns();
        TThumbFromFileForm *thumbnails = FinishedThumbnails();
        QVERIFY(thumbnails);
        QCOMPARE(ShownNames(*thumbnails->ImageLibThumbnails1), QStringList{u"a.jpg"_s});
        QCOMPARE(thumbnails->PanelText(1), u"Fertig"_s);
        window.Browser()->RefreshRemoteList();
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        QVERIFY(RowNamed(m_window.List(), u"z.jpg"_s) > 0);
    }

    // "Abbrechen" ends the fetching only: every picture fetched before it
    // is still decoded and shown.
    void abbrechenShowsThePicturesFetchedBeforeIt()
    {
        QMap<QString, QByteArray> files;
        const QByteArray photo = QtPictureBytes(SamplePicture({1200, 900}), "png");
        for (int number = 0; number < 30; ++number)
            files.insert(u"a%1.png"_s.arg(number, 2, 10, QChar(u'0')), photo);
        RealFtpServer server({.files = files});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(Open(server));
        const QString images = Window().Folders().ImagesFolder();

        int decodingAtPress = 0;
        QTimer press;
        press.setInterval(1);
        connect(&press, &QTimer::timeout, [&] {
            TThumbFromFileForm *thumbnails = Show().ThumbnailWindow();
            if (decodingAtPress > 0 || !thumbnails)
                return;
            const TImageLibThumbnails *grid = thumbnails->ImageLibThumbnails1;
            if (grid->Pending() == 0 || grid->Count() + grid->Pending() < 3)
                return;
            decodingAtPress = grid->Pending();
            thumbnails->SpeedButton1->click();
        });
        press.start();
        Window().ToolBar()->SpeedButton20->click();
        press.stop();

        QVERIFY(decodingAtPress > 0);
        TThumbFromFileForm *thumbnails = FinishedThumbnails();
        QVERIFY(thumbnails);
        const QStringList fetched = FilesIn(images).keys();
        QVERIFY2(fetched.size() < 30, qPrintable(QString::number(fetched.size())));
        QCOMPARE(SortedCaseless(ShownNames(*thumbnails->ImageLibThumbnails1)), SortedCaseless(fetched));
        QCOMPARE(thumbnails->PanelText(0), TThumbFromFileForm::CountText(int(fetched.size())));
        QCOMPARE(thumbnails->PanelText(1), u"Fertig"_s);
        CheckNothingRuns();
    }

    // What the previous load left in the images folder goes without holding
    // the window: no turn of its event loop waits longer than 50 ms, and the
    // folder holds only the new pictures and the user's own sub folder.
    void emptyingTheImagesFolderDoesNotHoldTheWindow()
    {
        const QByteArray picture = QtPictureBytes(SamplePicture({40, 30}), "jpg");
        RealFtpServer server({.files = {{u"a.jpg"_s, picture}, {u"b.jpg"_s, picture}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(Open(server));
        Window().ToolBar()->SpeedButton20->click();
        QVERIFY(FinishedThumbnails());

        const QString images = Window().Folders().ImagesFolder();
        for (int number = 0; number < 8000; ++number)
            QVERIFY(WriteFileContent(images + u"alt%1.jpg"_s.arg(number), QByteArray()));
        QVERIFY(QDir().mkpath(images + u"eigene"_s));
        QVERIFY(WriteFileContent(images + u"eigene/behalten.jpg"_s, picture));

        QElapsedTimer clock;
        qint64 lastTurn = 0;
        qint64 longestGap = 0;
        QTimer turns;
        turns.setInterval(1);
        connect(&turns, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - lastTurn);
            lastTurn = clock.elapsed();
        });
        turns.start();
        clock.start();
        Window().ToolBar()->SpeedButton20->click();
        QVERIFY(FinishedThumbnails());
        turns.stop();
        QVERIFY2(longestGap <= 50, qPrintable(u"%1 ms"_s.arg(longestGap)));

        FolderEmptying::WaitForDeletions();
        QCOMPARE(FilesIn(images).keys(), (QStringList{u"a.jpg"_s, u"b.jpg"_s}));
        QVERIFY(QFileInfo::exists(images + u"eigene/behalten.jpg"_s));
        QCOMPARE(QDir(Window().Folders().TmpFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // A name that would leave the images folder is skipped with a log line.
    void unsafeNamesAreSkipped()
    {
        const QByteArray picture = QtPictureBytes(SamplePicture({40, 30}), "jpg");
        RealFtpServer server({.files = {{u"a\\b.jpg"_s, picture}, {u"c.jpg"_s, picture}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(Open(server));
        server.clearTranscript();
        Window().ToolBar()->SpeedButton20->click();
        QCOMPARE(Retrieved(server), QStringList{u"c.jpg"_s});
        QCOMPARE(FilesIn(Window().Folders().ImagesFolder()).keys(), QStringList{u"c.jpg"_s});
        QVERIFY(Window().Log()->Lines().contains(
            u"Bild übersprungen, sein Name taugt nicht als lokaler Name: a\\b.jpg"_s));
    }
};

QTEST_MAIN(SlideshowTest)
#include "test_slideshow.moc"
