#pragma once

#include "imagelibrary.h"

#include <QByteArray>

// The GraphicsMagick half of the image library: the types Qt cannot read,
// and the information text of every type. coder names the GraphicsMagick
// coder ("PCX", "JPEG", ...); the file is never handed to another one.
namespace MagickDecoder {

std::optional<QImage> Decode(const QString &path, const QByteArray &coder);
std::optional<ImageInformation> ReadInformation(const QString &path, const QByteArray &coder);

} // namespace MagickDecoder
