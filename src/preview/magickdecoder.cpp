#include "magickdecoder.h"

#include <QFile>

#include <magick/api.h>

#include <cstring>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// Coders such as PostScript hand files to outside programs; a server's
// file never starts one.
MagickPassFail RefuseToRunPrograms(const ConfirmAccessMode mode, const char *, ExceptionInfo *)
{
    return mode == FileExecuteConfirmAccessMode ? MagickFail : MagickPass;
}

void InitializeOnce()
{
    static std::once_flag initialized;
    std::call_once(initialized, [] {
        InitializeMagick(nullptr);
        MagickSetConfirmAccessHandler(RefuseToRunPrograms);
        // The callers decode on a pool of their own; more threads per
        // picture would only compete with them.
        SetMagickResourceLimit(ThreadsResource, 1);
        SetMagickResourceLimit(PixelsResource, ImageLibrary::kMemoryBudget / qint64(sizeof(PixelPacket)));
    });
}

struct ImageListDeleter {
    void operator()(Image *image) const { DestroyImageList(image); }
};
using ImagePointer = std::unique_ptr<Image, ImageListDeleter>;

// What the file holds, and the exception record every call needs.
class Reading {
public:
    explicit Reading(const QByteArray &coder)
        : m_info(CloneImageInfo(nullptr))
    {
        GetExceptionInfo(&m_exception);
        // "PCX:" as the name makes the coder binding: GraphicsMagick would
        // otherwise pick one by the bytes, PostScript included.
        const QByteArray name = coder + ':';
        std::strncpy(m_info->filename, name.constData(), sizeof(m_info->filename) - 1);
        // Only the first page of a file of pages. The Photo CD coder takes
        // this choice as one of its resolutions instead (0 being the
        // smallest), and without one it reads the base resolution.
        if (coder != "PCD") {
            m_info->subimage = 0;
            m_info->subrange = 1;
        }
    }
    ~Reading()
    {
        DestroyExceptionInfo(&m_exception);
        DestroyImageInfo(m_info);
    }
    Reading(const Reading &) = delete;
    Reading &operator=(const Reading &) = delete;

    ImagePointer Ping(const QByteArray &bytes)
    {
        return ImagePointer(PingBlob(m_info, bytes.constData(), std::size_t(bytes.size()), &m_exception));
    }
    ImagePointer Read(const QByteArray &bytes)
    {
        return ImagePointer(BlobToImage(m_info, bytes.constData(), std::size_t(bytes.size()), &m_exception));
    }
    ExceptionInfo &Exception() { return m_exception; }

private:
    ImageInfo *m_info;
    ExceptionInfo m_exception;
};

// The file's bytes; a file name is never handed to GraphicsMagick, which
// would read "[...]" in it as a choice of pages.
std::optional<QByteArray> FileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

bool FitsMemoryBudget(const Image &image)
{
    const qint64 pixels = qint64(image.columns) * qint64(image.rows);
    return pixels > 0 && pixels <= ImageLibrary::kMemoryBudget / qint64(sizeof(PixelPacket));
}

// The first picture of the bytes, read with the named coder only.
ImagePointer ReadPicture(Reading &reading, const QByteArray &bytes)
{
    const ImagePointer header = reading.Ping(bytes);
    if (!header || !FitsMemoryBudget(*header))
        return nullptr;
    ImagePointer picture = reading.Read(bytes);
    if (!picture || picture->columns == 0 || picture->rows == 0)
        return nullptr;
    return picture;
}

int IndexBits(int colors)
{
    for (int bits : {1, 2, 4, 8}) {
        if (colors <= (1 << bits))
            return bits;
    }
    return 16;
}

int SamplesPerPixel(const Image &picture)
{
    int samples = picture.is_grayscale ? 1 : (picture.colorspace == CMYKColorspace ? 4 : 3);
    return picture.matte ? samples + 1 : samples;
}

QString CompressionName(CompressionType compression)
{
    switch (compression) {
    case NoCompression:
        return u"keine"_s;
    case UndefinedCompression:
        return u"unbekannt"_s;
    default:
        return QString::fromLatin1(CompressionTypeToString(compression));
    }
}

} // namespace

namespace MagickDecoder {

std::optional<QImage> Decode(const QString &path, const QByteArray &coder)
{
    const std::optional<QByteArray> bytes = FileBytes(path);
    if (!bytes)
        return std::nullopt;
    InitializeOnce();
    Reading reading(coder);
    const ImagePointer picture = ReadPicture(reading, *bytes);
    if (!picture)
        return std::nullopt;
    QImage image(int(picture->columns), int(picture->rows), QImage::Format_RGBA8888);
    if (image.isNull())
        return std::nullopt;
    const bool copied = DispatchImage(picture.get(), 0, 0, picture->columns, picture->rows, "RGBA", CharPixel,
                                      image.bits(), &reading.Exception()) == MagickPass;
    if (!copied)
        return std::nullopt;
    return image;
}

std::optional<ImageInformation> ReadInformation(const QString &path, const QByteArray &coder)
{
    const std::optional<QByteArray> bytes = FileBytes(path);
    if (!bytes)
        return std::nullopt;
    InitializeOnce();
    Reading reading(coder);
    const ImagePointer picture = ReadPicture(reading, *bytes);
    if (!picture)
        return std::nullopt;
    ImageInformation info;
    info.width = int(picture->columns);
    info.height = int(picture->rows);
    const bool palette = picture->storage_class == PseudoClass;
    info.colors = palette ? int(picture->colors) : 0;
    info.bitsPerPixel = palette ? IndexBits(info.colors) : int(picture->depth) * SamplesPerPixel(*picture);
    // Every decoder here hands out the samples of a pixel side by side.
    info.planes = 1;
    info.compression = CompressionName(picture->compression);
    info.fileSize = bytes->size();
    return info;
}

} // namespace MagickDecoder
