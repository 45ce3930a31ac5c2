// The image library and the rules around the thumbnail window that need no
// window: decoding every gallery type, the decoder's information text, the
// memory budget, the names the save prompt suggests and accepts, the grid
// colour and the window bounds.
#include "testpictures.h"

#include "applicationsettings.h"
#include "decodequeue.h"
#include "gridcolor.h"
#include "imagelibrary.h"
#include "imagesaving.h"
#include "thumbnailbounds.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class ImageLibraryTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        if (!WriteFileContent(path, bytes))
            return {};
        return path;
    }

private slots:
    void decodesTheGalleryTypes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("original"); // invalid: left out

        const QImage landscape = SamplePicture({400, 300});
        const QImage portrait = SamplePicture({48, 64});
        QTest::newRow("JPEG, decoded at reduced size")
            << u"a.jpg"_s << QtPictureBytes(landscape, "jpg") << QSize(400, 300);
        QTest::newRow("upper-case .JPEG") << u"B.JPEG"_s << QtPictureBytes(portrait, "jpg") << QSize(48, 64);
        QTest::newRow("PNG") << u"c.png"_s << QtPictureBytes(landscape, "png") << QSize(400, 300);
        QTest::newRow("GIF") << u"d.gif"_s << MagickPictureBytes(portrait, "GIF") << QSize(48, 64);
        QTest::newRow("BMP") << u"e.bmp"_s << QtPictureBytes(landscape, "bmp") << QSize(400, 300);
        QTest::newRow("TIFF of three pages")
            << u"f.tif"_s << MagickPictureBytes(portrait, "TIFF", 3) << QSize(48, 64);
        QTest::newRow("TGA") << u"g.tga"_s << MagickPictureBytes(landscape, "TGA") << QSize(400, 300);
        QTest::newRow("PCX, through GraphicsMagick")
            << u"h.pcx"_s << MagickPictureBytes(portrait, "PCX") << QSize(48, 64);
        QTest::newRow("Photo CD at its base resolution")
            << u"k.pcd"_s << MagickPictureBytes(SamplePicture({768, 512}), "PCD") << QSize(768, 512);
        QTest::newRow("a JPEG named .png") << u"i.png"_s << QtPictureBytes(portrait, "jpg") << QSize(48, 64);
        QTest::newRow("empty file") << u"leer.jpg"_s << QByteArray() << QSize();
        QTest::newRow("broken PNG") << u"kaputt.png"_s << QByteArray("\x89PNG\r\n\x1a\nnot a picture")
                                    << QSize();
        QTest::newRow("PNG claiming 40000 x 40000") << u"riesig.png"_s << OversizedPngBytes() << QSize();
        QTest::newRow("PCX holding a PNG")
            << u"falsch.pcx"_s << QtPictureBytes(portrait, "png") << QSize(48, 64);
        QTest::newRow("PCX holding text")
            << u"text.pcx"_s << QByteArray("%!PS-Adobe-3.0 EPSF-3.0\n") << QSize();
        QTest::newRow("not a gallery type") << u"text.txt"_s << QByteArray("Hallo") << QSize();
    }

    void decodesTheGalleryTypes()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, original);
        const QString path = Write(name, bytes);
        QVERIFY(!path.isEmpty());
        const QSize box(120, 120);
        QElapsedTimer clock;
        clock.start();
        const std::optional<DecodedImage> decoded = ImageLibrary::Decode(path, box);
        QVERIFY2(clock.elapsed() < 2000, "a picture that is left out is left out quickly");
        QCOMPARE(decoded.has_value(), original.isValid());
        if (!decoded)
            return;
        QCOMPARE(decoded->originalSize, original);
        const QSize expected = original.scaled(box, Qt::KeepAspectRatio).boundedTo(original);
        QCOMPARE(decoded->image.size(), expected);
        // The middle of the sample is neither black nor white: real pixels arrived.
        const QColor middle = decoded->image.pixelColor(expected.width() / 2, expected.height() / 2);
        QVERIFY(middle.red() > 40 && middle.green() > 40);
    }

    // Exactly as the save prompt shows it under each picture.
    void informationText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected"); // %1: the file size

        QImage palette(64, 48, QImage::Format_Indexed8);
        palette.setColorCount(16);
        for (int index = 0; index < 16; ++index)
            palette.setColor(index, qRgb(index * 16, 255 - index * 16, 128));
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x)
                palette.setPixel(x, y, uint((x / 4) % 16));
        }
        QTest::newRow("true-colour PNG")
            << u"farbe.png"_s << QtPictureBytes(SamplePicture({64, 48}), "png")
            << u"64 x 48  24 Bit per Pixel  1 Ebene(n)  Komprimierung: Zip  Größe: %1 Byte"_s;
        QTest::newRow("palette PNG")
            << u"palette.png"_s << QtPictureBytes(palette, "png")
            << u"64 x 48  16 Farbe(n)  4 Bit per Pixel  1 Ebene(n)  Komprimierung: Zip  Größe: %1 Byte"_s;
        QTest::newRow("JPEG")
            << u"foto.jpg"_s << QtPictureBytes(SamplePicture({300, 200}), "jpg")
            << u"300 x 200  24 Bit per Pixel  1 Ebene(n)  Komprimierung: JPEG  Größe: %1 Byte"_s;
    }

    void informationText()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        const QString path = Write(name, bytes);
        const std::optional<ImageInformation> information = ImageLibrary::ReadInformation(path);
        QVERIFY(information);
        QCOMPARE(ImageInformationText(*information), expected.arg(bytes.size()));
    }

    void noInformationWithoutAPicture()
    {
        QVERIFY(!ImageLibrary::ReadInformation(Write(u"leer.png"_s, {})));
        QVERIFY(!ImageLibrary::ReadInformation(Write(u"riesig2.png"_s, OversizedPngBytes())));
    }

    void galleryPicturesOfAFolder()
    {
        QTemporaryDir folder;
        const PictureFolder pictures = SamplePictureFolder();
        QVERIFY(WriteFiles(folder.path(), pictures.files));
        QStringList names;
        for (const QString &path : ImageLibrary::GalleryImagesIn(folder.path()))
            names.append(QFileInfo(path).fileName());
        // The empty file is a gallery file; the grid leaves it out later.
        QStringList expected = pictures.fetched + QStringList{u"leer.jpg"_s};
        expected.sort(Qt::CaseInsensitive);
        QCOMPARE(names, expected);
    }

    void cancelledDecodesNeverArrive()
    {
        const QString path = Write(u"viele.jpg"_s, QtPictureBytes(SamplePicture({800, 600}), "jpg"));
        DecodeQueue queue;
        QSignalSpy decoded(&queue, &DecodeQueue::decoded);
        for (int request = 0; request < 40; ++request)
            queue.Request(path, {100, 100});
        QTRY_VERIFY(decoded.count() >= 1);
        queue.CancelAll();
        const qsizetype arrived = decoded.count();
        QCOMPARE(queue.Pending(), 0);
        QTest::qWait(300);
        QCOMPARE(decoded.count(), arrived);
        // The queue goes on working for new requests.
        const quint64 next = queue.Request(path, {100, 100}, true);
        QTRY_COMPARE(decoded.count(), arrived + 1);
        QCOMPARE(decoded.last().at(0).toULongLong(), next);
    }

    void suggestedName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("existing"); // names in the folder; "x/" a folder
        QTest::addColumn<QString>("suggested");

        QTest::newRow("first free number") << u"a.jpg"_s << QStringList{u"a.jpg"_s} << u"a_1.jpg"_s;
        QTest::newRow("a_1 taken") << u"a.jpg"_s << QStringList{u"a.jpg"_s, u"a_1.jpg"_s} << u"a_2.jpg"_s;
        QTest::newRow("a folder takes the name too")
            << u"a.jpg"_s << QStringList{u"a.jpg"_s, u"a_1.jpg/"_s} << u"a_2.jpg"_s;
        QTest::newRow("last dot decides") << u"urlaub.2023.png"_s << QStringList{} << u"urlaub.2023_1.png"_s;
        QTest::newRow("no extension") << u"bild"_s << QStringList{} << u"bild_1"_s;
        QTest::newRow("only an extension") << u".jpg"_s << QStringList{} << u".jpg_1"_s;
    }

    void suggestedName()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, existing);
        QFETCH(QString, suggested);
        QTemporaryDir folder;
        for (const QString &entry : existing) {
            if (entry.endsWith(u'/'))
                QVERIFY(QDir(folder.path()).mkpath(entry));
            else
                QVERIFY(WriteFileContent(folder.filePath(entry), "x"));
        }
        QCOMPARE(SuggestedImageName(name, folder.path() + u'/'), suggested);
    }

    void acceptableName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("acceptable");

        QTest::newRow("free name") << u"neu.jpg"_s << true;
        QTest::newRow("vertical bar") << u"a|b.jpg"_s << true;
        QTest::newRow("existing file") << u"da.jpg"_s << false;
        QTest::newRow("existing folder") << u"ordner"_s << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("dot") << u"."_s << false;
        QTest::newRow("equals sign") << u"a=b.jpg"_s << false;
        for (const QString &character : {u"/"_s, u"\\"_s, u":"_s, u"*"_s, u"?"_s, u"\""_s, u"<"_s, u">"_s})
            QTest::newRow(qPrintable(u"with "_s + character)) << u"a"_s + character + u"b.jpg"_s << false;
    }

    void acceptableName()
    {
        QFETCH(QString, name);
        QFETCH(bool, acceptable);
        QTemporaryDir folder;
        QVERIFY(WriteFileContent(folder.filePath(u"da.jpg"_s), "x"));
        QVERIFY(QDir(folder.path()).mkdir(u"ordner"_s));
        QCOMPARE(IsAcceptableImageName(name, folder.path() + u'/'), acceptable);
    }

    void saveKeepsAnExistingFileWhenTheCopyFails()
    {
        QTemporaryDir folder;
        const QString target = folder.filePath(u"da.jpg"_s);
        QVERIFY(WriteFileContent(target, "old"));
        QVERIFY(!CopyImageFile(folder.filePath(u"fehlt.jpg"_s), target));
        QCOMPARE(FileContent(target), QByteArray("old"));
        const QString source = Write(u"quelle.jpg"_s, "new");
        QVERIFY(CopyImageFile(source, target));
        QCOMPARE(FileContent(target), QByteArray("new"));
    }

    void gridColor_data()
    {
        QTest::addColumn<int>("setting");
        QTest::addColumn<QColor>("color");

        QPalette palette;
        palette.setColor(QPalette::Base, QColor(1, 2, 3));
        palette.setColor(QPalette::Button, QColor(4, 5, 6));
        QTest::newRow("white") << 16777215 << QColor(Qt::white);
        QTest::newRow("red is the low byte") << 0x0000FF << QColor(255, 0, 0);
        QTest::newRow("blue is the high byte") << 0xFF0000 << QColor(0, 0, 255);
        QTest::newRow("mixed") << 0x123456 << QColor(0x56, 0x34, 0x12);
        QTest::newRow("system window colour") << int(0xFF000005u) << QColor(1, 2, 3);
        QTest::newRow("old system button face") << int(0x8000000Fu) << QColor(4, 5, 6);
    }

    void gridColor()
    {
        QFETCH(int, setting);
        QFETCH(QColor, color);
        QPalette palette;
        palette.setColor(QPalette::Base, QColor(1, 2, 3));
        palette.setColor(QPalette::Button, QColor(4, 5, 6));
        QCOMPARE(GridColorFromSetting(setting, palette), color);
        if (setting >= 0)
            QCOMPARE(SettingFromColor(color), setting);
    }

    void restoredBounds_data()
    {
        QTest::addColumn<QRect>("stored"); // left, top, right, bottom as a rectangle's corners
        QTest::addColumn<bool>("restored");

        QTest::newRow("inside") << QRect(QPoint(100, 50), QPoint(700, 500)) << true;
        QTest::newRow("4 pixels past the edges") << QRect(QPoint(-4, -4), QPoint(1284, 804)) << true;
        QTest::newRow("5 pixels past the left") << QRect(QPoint(-5, 0), QPoint(600, 400)) << false;
        QTest::newRow("past the bottom") << QRect(QPoint(0, 0), QPoint(600, 805)) << false;
        QTest::newRow("never stored") << QRect(QPoint(0, 0), QPoint(0, 0)) << false;
        QTest::newRow("reversed") << QRect(QPoint(600, 0), QPoint(100, 400)) << false;
    }

    void restoredBounds()
    {
        QFETCH(QRect, stored);
        QFETCH(bool, restored);
        ApplicationSettings settings;
        settings.VLeft = stored.topLeft().x();
        settings.VTop = stored.topLeft().y();
        // QRect's right() is one short of left + width; the stored corners are meant as given.
        settings.VRight = stored.bottomRight().x();
        settings.VBottom = stored.bottomRight().y();
        const std::optional<QRect> bounds = RestoredThumbnailBounds(settings, QSize(1280, 800));
        QCOMPARE(bounds.has_value(), restored);
        if (bounds)
            QCOMPARE(*bounds, QRect(settings.VLeft, settings.VTop, settings.VRight - settings.VLeft,
                                    settings.VBottom - settings.VTop));
    }

    void storedBounds_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<bool>("stored");

        QTest::newRow("on the screen") << QRect(100, 80, 597, 452) << true;
        QTest::newRow("4 pixels off the left") << QRect(-4, -4, 597, 452) << true;
        QTest::newRow("mostly off to the left") << QRect(-400, 80, 597, 452) << false;
        QTest::newRow("off the top") << QRect(100, -5, 597, 452) << false;
        QTest::newRow("as wide as the screen") << QRect(0, 0, 1276, 400) << false;
    }

    void storedBounds()
    {
        QFETCH(QRect, window);
        QFETCH(bool, stored);
        ApplicationSettings settings;
        settings.VLeft = 1;
        settings.VTop = 2;
        settings.VRight = 3;
        settings.VBottom = 4;
        StoreThumbnailBounds(settings, window, QSize(1280, 800));
        const QRect result(QPoint(settings.VLeft, settings.VTop), QPoint(settings.VRight, settings.VBottom));
        const QRect expected =
            stored ? QRect(window.topLeft(), window.topLeft() + QPoint(window.width(), window.height()))
                   : QRect(QPoint(1, 2), QPoint(3, 4));
        QCOMPARE(result, expected);
    }
};

QTEST_MAIN(ImageLibraryTest)
#include "test_imagelibrary.moc"
