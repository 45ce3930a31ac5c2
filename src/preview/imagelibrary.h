#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// What a decoder reports about an image file.
struct ImageInformation {
    int width = 0;
    int height = 0;
    int colors = 0; // palette entries; 0 when the picture has no palette
    int bitsPerPixel = 0;
    int planes = 1;
    QString compression;
    qint64 fileSize = 0;
};

// A picture scaled down to fit a box, and the size it has in its file.
struct DecodedImage {
    QImage image;
    QSize originalSize;
};

// Decoding, scaling and describing image files. Qt's image readers do the
// work; the types they cannot read go to GraphicsMagick, always with the
// coder named by the extension, so that a file never reaches a coder that
// would run a program (PostScript) or read what its name does not say.
// Every function may run on any thread.
namespace ImageLibrary {

// A picture that would need more memory than this is left out like an
// unreadable one.
constexpr qint64 kMemoryBudget = 512LL * 1024 * 1024;

// The extensions of the pictures the gallery fetches and shows, upper
// case with their dot.
const QStringList &GalleryExtensions();
bool IsGalleryImage(const QString &fileName);
// The gallery's pictures directly inside the folder, as full paths in
// name order.
QStringList GalleryImagesIn(const QString &folder);

// The file's first picture, scaled down (never up) to fit the box with its
// aspect ratio kept; nothing when no decoder can read it or it is too big.
std::optional<DecodedImage> Decode(const QString &path, const QSize &box);

// What the decoder reports about the file's first picture.
std::optional<ImageInformation> ReadInformation(const QString &path);

} // namespace ImageLibrary
