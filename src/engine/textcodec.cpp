#include "textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int Windows1252Byte(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return unit;
    for (int i = 0; i < int(kHighControlRange.size()); ++i) {
        if (kHighControlRange[i] == unit)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

namespace TextCodec {

QString DecodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = QChar(byte >= 0x80 && byte < 0xA0 ? kHighControlRange[byte - 0x80] : char16_t(byte));
    }
    return text;
}

QByteArray EncodeWindows1252(QStringView text, bool *ok)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    bool allFit = true;
    for (QChar ch : text) {
        const int byte = Windows1252Byte(ch.unicode());
        if (byte < 0)
            allFit = false;
        *out++ = static_cast<char>(byte < 0 ? '?' : byte);
    }
    if (ok)
        *ok = allFit;
    return bytes;
}

bool FitsWindows1252(QStringView text)
{
    for (QChar ch : text) {
        if (Windows1252Byte(ch.unicode()) < 0)
            return false;
    }
    return true;
}

bool IsAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool IsValidUtf8(QByteArrayView bytes)
{
    if (IsAscii(bytes))
        return true;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

QString DecodeAuto(QByteArrayView bytes)
{
    if (IsValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return DecodeWindows1252(bytes);
}

QByteArray EncodeAuto(QStringView text)
{
    bool fits = false;
    QByteArray bytes = EncodeWindows1252(text, &fits);
    // Windows-1252 bytes that happen to form UTF-8 ("Ã¼" is C3 BC) would
    // read back as another text ("ü"); UTF-8 reads back as written.
    if (fits && (IsAscii(bytes) || !IsValidUtf8(bytes)))
        return bytes;
    return text.toUtf8();
}

} // namespace TextCodec
