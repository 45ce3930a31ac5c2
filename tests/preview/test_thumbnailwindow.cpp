// The thumbnail window without a server: what it shows of the images
// folder, marking, "Speichern unter..." with the overwrite prompt, the
// properties dialog and the stored bounds.
#include "../connections/modalanswer.h"
#include "../transfers/promptanswer.h"
#include "../workspace/sessionwindow.h"
#include "testpictures.h"

#include "maintoolbar.h"
#include "slideshow.h"
#include "timagelibthumbnails.h"
#include "tpmultiimage.h"
#include "tprewdlg.h"
#include "tthumbfromfileform.h"
#include "tueberschrdlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

using Files = QMap<QString, QByteArray>;

namespace {

QStringList Names(const QStringList &paths)
{
    QStringList names;
    for (const QString &path : paths)
        names.append(QFileInfo(path).fileName());
    return names;
}

QStringList ShownNames(const TImageLibThumbnails &grid)
{
    QStringList names;
    for (int index = 0; index < grid.Count(); ++index)
        names.append(QFileInfo(grid.FilePath(index)).fileName());
    return names;
}

void Click(TImageLibThumbnails &grid, int index, Qt::KeyboardModifiers modifiers = {},
           Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(grid.viewport(), button, modifiers, grid.CellRect(index).center());
}

// Receives what the window opens with the desktop's program.
class OpenedFiles : public QObject {
    Q_OBJECT

public:
    QStringList paths;

public slots:
    void open(const QUrl &url) { paths.append(url.toLocalFile()); }
};

} // namespace

class ThumbnailWindowTest : public QObject {
    Q_OBJECT

private:
    SessionWindow m_session;

    TFTPqvx &Window() { return *m_session.Window(); }
    QString ImagesFolder() { return Window().Folders().ImagesFolder(); }

    // Opens the main window and puts the pictures into its images folder.
    void PutPictures(const Files &files)
    {
        QVERIFY(m_session.PrepareHome());
        QVERIFY(m_session.Open());
        InstallSlideshow(Window().Parts());
        QVERIFY(WriteFiles(ImagesFolder(), files));
    }

    // "Diavorschau" without a connection, until every picture is decoded.
    TThumbFromFileForm &ShowGallery()
    {
        Window().ToolBar()->SpeedButton20->click();
        TThumbFromFileForm *thumbnails = Slideshow::Of(Window())->ThumbnailWindow();
        [&] {
            QVERIFY(thumbnails);
            QVERIFY(QTest::qWaitForWindowExposed(thumbnails));
            QTRY_VERIFY(!thumbnails->Loading());
        }();
        return *thumbnails;
    }

    static Files ThreePictures()
    {
        return {{u"a.jpg"_s, QtPictureBytes(SamplePicture({64, 48}, 1), "jpg")},
                {u"b.jpg"_s, QtPictureBytes(SamplePicture({64, 48}, 2), "jpg")},
                {u"c.png"_s, QtPictureBytes(SamplePicture({64, 48}, 3), "png")}};
    }

private slots:
    void initTestCase() { SessionWindow::InstallProgramServices(); }
    void cleanup() { m_session.Close(); }

    void showsTheImagesFolderWithoutAConnection_data()
    {
        QTest::addColumn<int>("pictures");
        QTest::addColumn<QString>("countText");
        QTest::newRow("none") << 0 << u"0 Bilder"_s;
        QTest::newRow("one") << 1 << u"1 Bild"_s;
        QTest::newRow("all types") << -1 << QString();
    }

    void showsTheImagesFolderWithoutAConnection()
    {
        QFETCH(int, pictures);
        QFETCH(QString, countText);
        PictureFolder folder = SamplePictureFolder();
        Files files;
        QStringList expected = folder.decodable;
        if (pictures >= 0) {
            expected = folder.decodable.mid(0, pictures);
            for (const QString &name : expected)
                files.insert(name, folder.files[name]);
        } else {
            files = folder.files;
            countText = u"%1 Bilder"_s.arg(expected.size());
        }
        PutPictures(files);
        TThumbFromFileForm &thumbnails = ShowGallery();
        QCOMPARE(thumbnails.windowTitle(), u"Diashow"_s);
        QCOMPARE(ShownNames(*thumbnails.ImageLibThumbnails1), expected);
        QCOMPARE(thumbnails.PanelText(0), countText);
        QCOMPARE(thumbnails.size(), TThumbFromFileForm::kDefaultSize);
    }

    void marksAndOpening()
    {
        PutPictures(ThreePictures());
        TThumbFromFileForm &thumbnails = ShowGallery();
        TImageLibThumbnails &grid = *thumbnails.ImageLibThumbnails1;
        QCOMPARE(grid.Count(), 3);
        const auto marked = [&grid] { return Names(grid.MarkedFiles()); };

        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(marked(), (QStringList{u"a.jpg"_s, u"b.jpg"_s, u"c.png"_s}));
        Click(grid, 1);
        QCOMPARE(grid.Current(), 1);
        QCOMPARE(marked(), QStringList());
        QTest::keyClick(&grid, Qt::Key_Space);
        QCOMPARE(marked(), QStringList{u"b.jpg"_s});
        Click(grid, 2, Qt::ControlModifier);
        QCOMPARE(marked(), (QStringList{u"b.jpg"_s, u"c.png"_s}));
        Click(grid, 1, Qt::ControlModifier);
        QCOMPARE(marked(), QStringList{u"c.png"_s});
        QCOMPARE(grid.Current(), 1);
        QTest::keyClick(&grid, Qt::Key_Space);
        QCOMPARE(marked(), (QStringList{u"b.jpg"_s, u"c.png"_s}));
        Click(grid, 0, {}, Qt::MiddleButton);
        QCOMPARE(marked(), QStringList());

        OpenedFiles opened;
        QDesktopServices::setUrlHandler(u"file"_s, &opened, "open");
        QTest::keyClick(&grid, Qt::Key_Return);
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, grid.CellRect(2).center());
        QDesktopServices::unsetUrlHandler(u"file"_s);
        QCOMPARE(Names(opened.paths), (QStringList{u"a.jpg"_s, u"c.png"_s}));
    }

    // Three marked pictures, the second of which exists in the target
    // folder: the first and third are copied without a question, the
    // second is handled by the answer.
    void saveAs_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("alsoInTarget");
        QTest::addColumn<Files>("expected"); // target folder afterwards, by name

        const Files pictures = ThreePictures();
        const QByteArray old("old");
        QTest::newRow("Umbenennen with the suggested name") << u"Button2"_s << QStringList{}
                                                            << Files{{u"a.jpg"_s, pictures[u"a.jpg"_s]},
                                                                     {u"b.jpg"_s, old},
                                                                     {u"b_1.jpg"_s, pictures[u"b.jpg"_s]},
                                                                     {u"c.png"_s, pictures[u"c.png"_s]}};
        QTest::newRow("Umbenennen when b_1.jpg exists") << u"Button2"_s << QStringList{u"b_1.jpg"_s}
                                                        << Files{{u"a.jpg"_s, pictures[u"a.jpg"_s]},
                                                                 {u"b.jpg"_s, old},
                                                                 {u"b_1.jpg"_s, old},
                                                                 {u"b_2.jpg"_s, pictures[u"b.jpg"_s]},
                                                                 {u"c.png"_s, pictures[u"c.png"_s]}};
        QTest::newRow("Überschreiben") << u"OKBtn"_s << QStringList{}
                                       << Files{{u"a.jpg"_s, pictures[u"a.jpg"_s]},
                                                {u"b.jpg"_s, pictures[u"b.jpg"_s]},
                                                {u"c.png"_s, pictures[u"c.png"_s]}};
        QTest::newRow("Überspringen")
            << u"CancelBtn"_s << QStringList{}
            << Files{
                   {u"a.jpg"_s, pictures[u"a.jpg"_s]}, {u"b.jpg"_s, old}, {u"c.png"_s, pictures[u"c.png"_s]}};
        QTest::newRow("Abbrechen stops before c.png")
            << u"Button1"_s << QStringList{} << Files{{u"a.jpg"_s, pictures[u"a.jpg"_s]}, {u"b.jpg"_s, old}};
        QTest::newRow("window frame stops as well")
            << u"frame"_s << QStringList{} << Files{{u"a.jpg"_s, pictures[u"a.jpg"_s]}, {u"b.jpg"_s, old}};
    }

    void saveAs()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, alsoInTarget);
        QFETCH(Files, expected);
        PutPictures(ThreePictures());
        QTemporaryDir target;
        QVERIFY(WriteFileContent(target.filePath(u"b.jpg"_s), "old"));
        for (const QString &name : alsoInTarget)
            QVERIFY(WriteFileContent(target.filePath(name), "old"));
        TThumbFromFileForm &thumbnails = ShowGallery();
        TImageLibThumbnails &grid = *thumbnails.ImageLibThumbnails1;
        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier);

        QString title;
        ModalAnswer<QFileDialog> chooser([&](QFileDialog &dialog) {
            title = dialog.windowTitle();
            dialog.selectFile(target.path());
            static_cast<QDialog &>(dialog).accept();
        });
        QStringList questions;
        PromptAnswer<TueberschrDlg> answer([&](TueberschrDlg &prompt, int) {
            questions.append(prompt.Edit1->text());
            QCOMPARE(prompt.Edit2->text(), u"b.jpg"_s);
            QCOMPARE(prompt.Label2->text(),
                     u"Die Datei \"%1\" bereits vorhanden. Wie möchten Sie vorgehen?"_s.arg(
                         target.filePath(u"b.jpg"_s)));
            if (button == u"frame"_s)
                prompt.close();
            else
                prompt.findChild<QPushButton *>(button)->click();
        });
        thumbnails.PopupMenu1->aboutToShow();
        QVERIFY(thumbnails.Kopieren1->isEnabled());
        thumbnails.Kopieren1->trigger();

        QCOMPARE(title, u"Ordner zum Speichern auswählen"_s);
        QCOMPARE(questions, QStringList{target.filePath(u"b.jpg"_s)});
        QCOMPARE(FilesIn(target.path()), expected);
    }

    // Without marks the current thumbnail is saved; the chooser starts in
    // the folder chosen last.
    void saveAsTheCurrentPicture()
    {
        PutPictures(ThreePictures());
        QTemporaryDir target;
        TThumbFromFileForm &thumbnails = ShowGallery();
        TImageLibThumbnails &grid = *thumbnails.ImageLibThumbnails1;
        thumbnails.PopupMenu1->aboutToShow();
        QVERIFY(!thumbnails.Kopieren1->isEnabled());
        Click(grid, 2);
        QStringList startFolders;
        ModalAnswer<QFileDialog> chooser(
            [&](QFileDialog &dialog) {
                startFolders.append(dialog.directory().absolutePath());
                dialog.selectFile(target.path());
                static_cast<QDialog &>(dialog).accept();
            },
            2);
        thumbnails.PopupMenu1->aboutToShow();
        QVERIFY(thumbnails.Kopieren1->isEnabled());
        thumbnails.Kopieren1->trigger();
        QCOMPARE(FilesIn(target.path()).keys(), QStringList{u"c.png"_s});
        PromptAnswer<TueberschrDlg> skip([](TueberschrDlg &prompt, int) { prompt.CancelBtn->click(); });
        thumbnails.Kopieren1->trigger();
        QCOMPARE(skip.Answered(), 1);
        QCOMPARE(startFolders.value(1), QDir(target.path()).absolutePath());
    }

    void promptChecksTheNewName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("suggested") << u"b_1.jpg"_s << true;
        QTest::newRow("existing") << u"b.jpg"_s << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("equals sign") << u"b=1.jpg"_s << false;
        QTest::newRow("vertical bar") << u"b|1.jpg"_s << true;
    }

    void promptChecksTheNewName()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        QTemporaryDir folder;
        const QByteArray existing = QtPictureBytes(SamplePicture({64, 48}), "png");
        const QByteArray source = QtPictureBytes(SamplePicture({300, 200}), "jpg");
        QVERIFY(WriteFileContent(folder.filePath(u"b.jpg"_s), existing));
        QVERIFY(QDir(folder.path()).mkdir(u"quelle"_s));
        QVERIFY(WriteFileContent(folder.filePath(u"quelle/b.jpg"_s), source));

        TueberschrDlg prompt;
        bool checked = false;
        PromptAnswer<TueberschrDlg> answer([&](TueberschrDlg &shown, int) {
            QCOMPARE(shown.windowTitle(), u"Datei überschreiben"_s);
            QCOMPARE(shown.Edit3->text(), u"b_1.jpg"_s);
            QVERIFY(shown.Button2->isEnabled());
            QTest::keyClicks(shown.Edit3, u"x"_s);
            shown.Edit3->setText(name);
            QCOMPARE(shown.Button2->isEnabled(), enabled);
            // Both previews show their picture and what the decoder says.
            QTRY_VERIFY(shown.PMultiImage1->IsLoaded() && shown.PMultiImage2->IsLoaded());
            QVERIFY(shown.PMultiImage1->HasPicture() && shown.PMultiImage2->HasPicture());
            QCOMPARE(shown.Label3->text(),
                     u"64 x 48  24 Bit per Pixel  1 Ebene(n)  Komprimierung: Zip  Größe: %1 Byte"_s.arg(
                         existing.size()));
            QCOMPARE(shown.Label4->text(),
                     u"300 x 200  24 Bit per Pixel  1 Ebene(n)  Komprimierung: JPEG  Größe: %1 Byte"_s.arg(
                         source.size()));
            checked = true;
            QTest::keyClick(shown.Edit3, Qt::Key_Escape);
        });
        const TueberschrDlg::Answer given =
            prompt.Ask(folder.filePath(u"b.jpg"_s), folder.filePath(u"quelle/b.jpg"_s), u"b_1.jpg"_s);
        QVERIFY(checked);
        QCOMPARE(given, TueberschrDlg::Answer::Stop);
    }

    void promptAnswersEnterWithRename()
    {
        QTemporaryDir folder;
        QVERIFY(WriteFileContent(folder.filePath(u"b.jpg"_s), "x"));
        TueberschrDlg prompt;
        PromptAnswer<TueberschrDlg> answer(
            [](TueberschrDlg &shown, int) { QTest::keyClick(shown.Edit3, Qt::Key_Return); });
        QCOMPARE(prompt.Ask(folder.filePath(u"b.jpg"_s), folder.filePath(u"b.jpg"_s), u"b_1.jpg"_s),
                 TueberschrDlg::Answer::Rename);
        QCOMPARE(prompt.NewName(), u"b_1.jpg"_s);
    }

    void propertiesDialog_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("gridSize");
        QTest::newRow("80, OK") << 80 << true << 80;
        QTest::newRow("1, shown at 30") << 1 << true << 30;
        QTest::newRow("Abbrechen") << 200 << false << 120;
    }

    void propertiesDialog()
    {
        QFETCH(int, size);
        QFETCH(bool, ok);
        QFETCH(int, gridSize);
        PutPictures(ThreePictures());
        TThumbFromFileForm &thumbnails = ShowGallery();
        QCOMPARE(thumbnails.ImageLibThumbnails1->Color(), QColor(Qt::white));

        QString title;
        QString sizeCaption;
        ModalAnswer<TprewDlg> answer([&](TprewDlg &dialog) {
            title = dialog.windowTitle();
            QCOMPARE(dialog.LMDTrackBar1->value(), 120);
            QVERIFY(!dialog.CheckBox1->isChecked());
            dialog.LMDTrackBar1->setValue(size);
            sizeCaption = dialog.GroupBox1->title();
            QCOMPARE(dialog.Panel1->size(), QSize(size, size));
            const int red = dialog.ColorBox1->findText(u"Rot"_s);
            dialog.ColorBox1->setCurrentIndex(red);
            dialog.ColorBox1->activated(red);
            QCOMPARE(dialog.GroupBox1->palette().color(QPalette::Window), QColor(Qt::red));
            dialog.CheckBox1->setChecked(true);
            (ok ? dialog.BitBtn1 : dialog.BitBtn2)->click();
        });
        thumbnails.SpeedButton2->click();
        QCOMPARE(answer.Answered(), 1);
        QCOMPARE(title, u"DiaShow Eigenschaften"_s);
        QCOMPARE(sizeCaption, u" Miniatürgröße %1 x %1"_s.arg(size));
        const ApplicationSettings &settings = Window().Settings;
        QCOMPARE(settings.DiaXt, ok ? size : 120);
        QCOMPARE(settings.DiaY, ok ? size : 120);
        QCOMPARE(settings.DiaColor, ok ? 0x0000FF : 0xFFFFFF);
        QCOMPARE(settings.DiaShow, ok);
        QCOMPARE(thumbnails.ImageLibThumbnails1->ThumbnailWidth(), gridSize);
        QCOMPARE(thumbnails.ImageLibThumbnails1->ThumbnailHeight(), gridSize);
        QCOMPARE(thumbnails.ImageLibThumbnails1->Color(), ok ? QColor(Qt::red) : QColor(Qt::white));
        QTRY_COMPARE(thumbnails.ImageLibThumbnails1->Count(), 3);
        QCOMPARE(thumbnails.PanelText(0), u"3 Bilder"_s);
    }

    // Closing stores the bounds unless the window lies mostly off the
    // screen; the next window opens there.
    void boundsAreStoredAndRestored()
    {
        PutPictures(ThreePictures());
        ApplicationSettings &settings = Window().Settings;
        settings.VLeft = 30;
        settings.VTop = 40;
        settings.VRight = 530;
        settings.VBottom = 440;
        TThumbFromFileForm *thumbnails = &ShowGallery();
        QCOMPARE(QRect(thumbnails->pos(), thumbnails->size()), QRect(30, 40, 500, 400));

        thumbnails->move(-300, 50);
        thumbnails->close();
        QCOMPARE(QRect(QPoint(settings.VLeft, settings.VTop), QPoint(settings.VRight, settings.VBottom)),
                 QRect(QPoint(30, 40), QPoint(530, 440)));
        QVERIFY(!Slideshow::Of(Window())->ThumbnailWindow());

        thumbnails = &ShowGallery();
        thumbnails->resize(420, 300);
        thumbnails->move(60, 70);
        thumbnails->close();
        QCOMPARE(QRect(QPoint(settings.VLeft, settings.VTop), QPoint(settings.VRight, settings.VBottom)),
                 QRect(QPoint(60, 70), QPoint(480, 370)));
        thumbnails = &ShowGallery();
        QCOMPARE(QRect(thumbnails->pos(), thumbnails->size()), QRect(60, 70, 420, 300));

        // Closing the main window closes the thumbnail window first, with its bounds.
        thumbnails->move(80, 90);
        Window().close();
        QCOMPARE(settings.VLeft, 80);
        QCOMPARE(settings.VTop, 90);
    }

    // "Abbrechen" during a reload of many pictures stops it: the pictures
    // not decoded yet stay out, and the window is usable at once.
    void abortStopsAReload()
    {
        Files files;
        const QByteArray photo = QtPictureBytes(SamplePicture({1600, 1200}), "png");
        for (int number = 0; number < 60; ++number)
            files.insert(u"foto%1.png"_s.arg(number, 2, 10, QChar(u'0')), photo);
        PutPictures(files);
        Window().ToolBar()->SpeedButton20->click();
        TThumbFromFileForm *thumbnails = Slideshow::Of(Window())->ThumbnailWindow();
        QVERIFY(thumbnails && thumbnails->Loading());
        QTRY_VERIFY(thumbnails->ImageLibThumbnails1->Count() >= 1);
        thumbnails->SpeedButton1->click();
        QVERIFY(!thumbnails->Loading());
        const int shown = thumbnails->ImageLibThumbnails1->Count();
        QVERIFY2(shown < 60, qPrintable(QString::number(shown)));
        QTest::qWait(200);
        QCOMPARE(thumbnails->ImageLibThumbnails1->Count(), shown);
        QCOMPARE(thumbnails->PanelText(0), TThumbFromFileForm::CountText(shown));
    }
};

QTEST_MAIN(ThumbnailWindowTest)
#include "test_thumbnailwindow.moc"
