#pragma once

// Pictures the preview tests serve and decode, made on the spot: Qt writes
// what it can, GraphicsMagick the rest (GIF, PCX, TGA, several TIFF
// pages). Header only.

#include "enginetesthelpers.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QMap>
#include <QPainter>

#include <Magick++.h>

#include <list>

// A colourful picture with many colours, so that no writer turns it into
// a palette picture.
inline QImage SamplePicture(const QSize &size, int seed = 0)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(
                x, y, qRgb((x * 255) / size.width(), (y * 255) / size.height(), (x * y + seed * 40) % 256));
    }
    return image;
}

inline QByteArray QtPictureBytes(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes;
}

// GraphicsMagick's coder for the format; pages > 1 makes a TIFF of pages.
inline QByteArray MagickPictureBytes(const QImage &image, const char *coder, int pages = 1)
{
    static const bool initialized = [] {
        Magick::InitializeMagick(nullptr);
        return true;
    }();
    Q_UNUSED(initialized);
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    std::list<Magick::Image> frames;
    for (int page = 0; page < pages; ++page) {
        Magick::Image frame(rgba.width(), rgba.height(), "RGBA", Magick::CharPixel, rgba.constBits());
        frame.magick(coder);
        frames.push_back(frame);
    }
    Magick::Blob blob;
    Magick::writeImages(frames.begin(), frames.end(), &blob, true);
    return QByteArray(static_cast<const char *>(blob.data()), qsizetype(blob.length()));
}

inline quint32 Crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A valid PNG whose header claims 40000 x 40000 pixels: 6 GB once decoded.
inline QByteArray OversizedPngBytes()
{
    QByteArray png = QtPictureBytes(SamplePicture({8, 8}), "png");
    // IHDR's width and height follow the signature, the length and "IHDR";
    // its CRC follows its 13 bytes.
    const auto put = [&png](int offset, quint32 value) {
        for (int byte = 0; byte < 4; ++byte)
            png[offset + byte] = char((value >> (24 - 8 * byte)) & 0xFF);
    };
    put(16, 40000);
    put(20, 40000);
    put(29, Crc32(png.mid(12, 17)));
    return png;
}

// The served folder of the slideshow tests: every gallery type in upper
// and lower case, an empty and a broken picture, a picture type the
// gallery does not take, a sub folder and a text.
struct PictureFolder {
    QMap<QString, QByteArray> files;
    QStringList fetched;   // what the gallery fetches, in name order
    QStringList decodable; // what the grid shows, in name order
};

inline PictureFolder SamplePictureFolder()
{
    const QImage picture = SamplePicture({64, 48});
    PictureFolder folder;
    const auto add = [&folder](const QString &name, const QByteArray &bytes, bool decodable) {
        folder.files.insert(name, bytes);
        folder.fetched.append(name);
        if (decodable)
            folder.decodable.append(name);
    };
    add(QStringLiteral("bild.jpg"), QtPictureBytes(picture, "jpg"), true);
    add(QStringLiteral("FOTO.JPG"), QtPictureBytes(SamplePicture({48, 64}, 1), "jpg"), true);
    add(QStringLiteral("gross.jpeg"), QtPictureBytes(SamplePicture({400, 300}, 2), "jpg"), true);
    add(QStringLiteral("grafik.png"), QtPictureBytes(picture, "png"), true);
    add(QStringLiteral("kaputt.png"), QByteArray("\x89PNG\r\n\x1a\nnot really", 18), false);
    add(QStringLiteral("animation.gif"), MagickPictureBytes(picture, "GIF"), true);
    add(QStringLiteral("Bitmap.BMP"), QtPictureBytes(picture, "bmp"), true);
    add(QStringLiteral("seiten.tif"), MagickPictureBytes(picture, "TIFF", 3), true);
    add(QStringLiteral("Scan.TIFF"), QtPictureBytes(picture, "tiff"), true);
    add(QStringLiteral("targa.tga"), MagickPictureBytes(picture, "TGA"), true);
    add(QStringLiteral("paint.pcx"), MagickPictureBytes(picture, "PCX"), true);
    folder.fetched.sort(Qt::CaseInsensitive);
    folder.decodable.sort(Qt::CaseInsensitive);
    // Never fetched: empty, not a gallery type, a folder, text.
    folder.files.insert(QStringLiteral("leer.jpg"), QByteArray());
    folder.files.insert(QStringLiteral("bild.jpe"), QtPictureBytes(picture, "jpg"));
    folder.files.insert(QStringLiteral("unterordner.jpg/innen.jpg"), QtPictureBytes(picture, "jpg"));
    folder.files.insert(QStringLiteral("liesmich.txt"), QByteArray("Bilder"));
    return folder;
}

inline bool WriteFiles(const QString &root, const QMap<QString, QByteArray> &files)
{
    for (auto file = files.begin(); file != files.end(); ++file) {
        const QString path = root + u'/' + file.key();
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !WriteFileContent(path, file.value()))
            return false;
    }
    return true;
}

// The files directly inside the folder with their bytes, by name.
inline QMap<QString, QByteArray> FilesIn(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo &file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        files.insert(file.fileName(), FileContent(file.filePath()));
    return files;
}
