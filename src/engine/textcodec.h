#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Conversions between 8-bit texts and QString.
//
// Windows-1252 is decoded losslessly: the five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 control characters of
// the same value, so every byte sequence survives a decode/encode round trip.
// That matters for file names, which must go back to a server as the very
// bytes they came as.
namespace TextCodec {

QString DecodeWindows1252(QByteArrayView bytes);

// Characters without a Windows-1252 byte become '?' and clear *ok.
QByteArray EncodeWindows1252(QStringView text, bool *ok = nullptr);
bool FitsWindows1252(QStringView text);

bool IsValidUtf8(QByteArrayView bytes);
bool IsAscii(QByteArrayView bytes);

// UTF-8 that keeps every byte: a byte that is no part of valid UTF-8 becomes
// the lone surrogate U+DC80 to U+DCFF, and encoding turns that back into the
// byte. So a name goes back to a server as the bytes it came as, whatever
// they were.
QString DecodeUtf8KeepingBytes(QByteArrayView bytes);
QByteArray EncodeUtf8KeepingBytes(QStringView text);

// Files: UTF-8 when the bytes are valid UTF-8, else Windows-1252.
QString DecodeAuto(QByteArrayView bytes);
// Files: Windows-1252 when every character fits, else UTF-8; and UTF-8 too
// when the Windows-1252 bytes would read back as UTF-8, so DecodeAuto always
// gives back the text that was encoded.
QByteArray EncodeAuto(QStringView text);

} // namespace TextCodec
