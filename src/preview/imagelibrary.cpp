#include "imagelibrary.h"

#include "magickdecoder.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <mutex>

using namespace Qt::StringLiterals;

namespace {

struct ImageType {
    QString extension;
    QByteArray qtFormat; // empty: Qt has no reader for it
    QByteArray magickCoder;
    bool gallery;
};

// EPS is not here: GraphicsMagick reads it by running Ghostscript on the
// file, and a server's file is no program to run. No library here reads DXF.
const QList<ImageType> &ImageTypes()
{
    static const QList<ImageType> types{
        {u".JPG"_s, "jpeg", "JPEG", true},  {u".JPEG"_s, "jpeg", "JPEG", true},
        {u".PCD"_s, {}, "PCD", true},       {u".PNG"_s, "png", "PNG", true},
        {u".GIF"_s, "gif", "GIF", true},    {u".TIF"_s, "tiff", "TIFF", true},
        {u".TIFF"_s, "tiff", "TIFF", true}, {u".PCX"_s, {}, "PCX", true},
        {u".TGA"_s, "tga", "TGA", true},    {u".BMP"_s, "bmp", "BMP", true},
        {u".ICO"_s, "ico", "ICO", false},   {u".WMF"_s, {}, "WMF", false},
    };
    return types;
}

QString UpperExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot < 0 ? QString() : fileName.mid(dot).toUpper();
}

const ImageType *TypeOf(const QString &path)
{
    const QString extension = UpperExtension(QFileInfo(path).fileName());
    for (const ImageType &type : ImageTypes()) {
        if (type.extension == extension)
            return &type;
    }
    return nullptr;
}

// The coder for what the file holds when its first bytes say so (TGA and
// ICO have no such signature), else the one its extension names.
QByteArray MagickCoderFor(const QString &path, const ImageType &named)
{
    static const QList<QByteArray> withSignature{"jpeg", "png", "gif", "tiff", "bmp"};
    const QByteArray held = QImageReader::imageFormat(path);
    if (!withSignature.contains(held))
        return named.magickCoder;
    for (const ImageType &type : ImageTypes()) {
        if (type.qtFormat == held)
            return type.magickCoder;
    }
    return named.magickCoder;
}

bool FitsMemoryBudget(const QSize &size)
{
    return qint64(size.width()) * qint64(size.height()) * 4 <= ImageLibrary::kMemoryBudget;
}

QImage ScaledToFit(const QImage &image, const QSize &box)
{
    if (image.width() <= box.width() && image.height() <= box.height())
        return image;
    return image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

std::optional<DecodedImage> DecodeWithQt(const QString &path, const QByteArray &format, const QSize &box)
{
    static std::once_flag limitSet;
    std::call_once(limitSet,
                   [] { QImageReader::setAllocationLimit(int(ImageLibrary::kMemoryBudget >> 20)); });
    QImageReader reader(path, format);
    // Servers hold PNGs named .jpg and the like: the bytes decide.
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isValid()) {
        if (!FitsMemoryBudget(size))
            return std::nullopt;
        if (reader.transformation().testFlag(QImageIOHandler::TransformationRotate90))
            size.transpose();
        // The JPEG reader decodes at an eighth, a quarter or a half of the
        // size when that is enough, which is most of the speed of a gallery.
        const bool larger = size.width() > box.width() || size.height() > box.height();
        if (larger && reader.supportsOption(QImageIOHandler::ScaledSize))
            reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    QImage image;
    if (!reader.read(&image))
        return std::nullopt;
    return DecodedImage{ScaledToFit(image, box), size.isValid() ? size : image.size()};
}

} // namespace

namespace ImageLibrary {

const QStringList &GalleryExtensions()
{
    static const QStringList extensions = [] {
        QStringList gallery;
        for (const ImageType &type : ImageTypes()) {
            if (type.gallery)
                gallery.append(type.extension);
        }
        return gallery;
    }();
    return extensions;
}

bool IsGalleryImage(const QString &fileName)
{
    return GalleryExtensions().contains(UpperExtension(fileName));
}

QStringList GalleryImagesIn(const QString &folder)
{
    QStringList paths;
    const QFileInfoList files =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &file : files) {
        if (IsGalleryImage(file.fileName()))
            paths.append(file.absoluteFilePath());
    }
    return paths;
}

std::optional<DecodedImage> Decode(const QString &path, const QSize &box)
{
    const ImageType *type = TypeOf(path);
    if (!type || box.isEmpty())
        return std::nullopt;
    if (!type->qtFormat.isEmpty()) {
        if (std::optional<DecodedImage> decoded = DecodeWithQt(path, type->qtFormat, box))
            return decoded;
    }
    // Also the second chance for what Qt's readers leave out (compressed
    // TGA, unusual BMP headers).
    const std::optional<QImage> image = MagickDecoder::Decode(path, MagickCoderFor(path, *type));
    if (!image)
        return std::nullopt;
    return DecodedImage{ScaledToFit(*image, box), image->size()};
}

std::optional<ImageInformation> ReadInformation(const QString &path)
{
    const ImageType *type = TypeOf(path);
    if (!type)
        return std::nullopt;
    return MagickDecoder::ReadInformation(path, MagickCoderFor(path, *type));
}

} // namespace ImageLibrary
