#include "textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace {

// QString::fromUtf8 drops a U+FEFF at the start as a byte-order mark; a
// name may begin with it.
QString DecodeUtf8WithInitialFeff(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

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

// Where a byte that is no part of valid UTF-8 is kept.
constexpr char16_t kKeptByteBase = 0xDC00;

bool IsKeptByte(QChar ch)
{
    return ch.unicode() >= kKeptByteBase + 0x80 && ch.unicode() <= kKeptByteBase + 0xFF;
}

bool InRange(QByteArrayView bytes, qsizetype at, unsigned char low, unsigned char high)
{
    if (at >= bytes.size())
        return false;
    const auto byte = static_cast<unsigned char>(bytes[at]);
    return byte >= low && byte <= high;
}

// The length of the valid UTF-8 sequence that starts at the position, 0 when
// none does: no overlong forms, no surrogates, nothing beyond U+10FFFF.
qsizetype Utf8SequenceLength(QByteArrayView bytes, qsizetype at)
{
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return InRange(bytes, at + 1, 0x80, 0xBF) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        return InRange(bytes, at + 1, low, high) && InRange(bytes, at + 2, 0x80, 0xBF) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        return InRange(bytes, at + 1, low, high) && InRange(bytes, at + 2, 0x80, 0xBF) &&
                       InRange(bytes, at + 3, 0x80, 0xBF)
                   ? 4
                   : 0;
    }
    return 0;
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

QString DecodeUtf8KeepingBytes(QByteArrayView bytes)
{
    if (IsValidUtf8(bytes))
        return DecodeUtf8WithInitialFeff(bytes);
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype length = Utf8SequenceLength(bytes, at);
        if (length == 0) {
            text.append(QChar(char16_t(kKeptByteBase + static_cast<unsigned char>(bytes[at]))));
            ++at;
        } else {
            text.append(DecodeUtf8WithInitialFeff(bytes.sliced(at, length)));
            at += length;
        }
    }
    return text;
}

QByteArray EncodeUtf8KeepingBytes(QStringView text)
{
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        // A low surrogate after a high one is half of a character, not a kept byte.
        if (!IsKeptByte(text[at]) || (at > 0 && text[at - 1].isHighSurrogate()))
            continue;
        bytes += text.sliced(start, at - start).toUtf8();
        bytes += static_cast<char>(text[at].unicode() - kKeptByteBase);
        start = at + 1;
    }
    if (start == 0)
        return text.toUtf8();
    return bytes + text.sliced(start).toUtf8();
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
