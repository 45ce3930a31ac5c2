#include "passwordscramble.h"

#include "textcodec.h"

#include <QByteArray>
#include <QStringDecoder>

#include <numeric>

namespace {

constexpr QByteArrayView kKey = "Wandeler5K";

// Running state of the cipher: each output byte depends on the key position,
// the previous plain byte and the previous cipher byte.
class ScrambleState {
public:
    ScrambleState()
        : m_base(static_cast<quint8>(std::accumulate(kKey.begin(), kKey.end(), int(kKey.size()),
                                                     [](int sum, char c) { return sum + quint8(c); })))
        , m_s(m_base)
    {
    }

    quint8 Scramble(quint8 plain)
    {
        const quint8 cipher = quint8(plain + NextKeyByte() + m_s + m_prev);
        Advance(plain, cipher);
        return cipher;
    }

    quint8 Unscramble(quint8 cipher)
    {
        const quint8 plain = quint8(cipher - NextKeyByte() - m_s - m_prev);
        Advance(plain, cipher);
        return plain;
    }

private:
    quint8 NextKeyByte()
    {
        const quint8 keyByte = quint8(kKey[m_keyIndex]);
        m_keyIndex = (m_keyIndex + 1) % kKey.size();
        return keyByte;
    }

    void Advance(quint8 plain, quint8 cipher)
    {
        m_s = quint8(cipher - m_base);
        m_prev = plain;
    }

    quint8 m_base;
    quint8 m_s;
    quint8 m_prev = 0;
    qsizetype m_keyIndex = 0;
};

// A password that does not fit Windows-1252 is scrambled as its UTF-8 bytes
// behind this mark, which tells the two forms apart when reading. A
// Windows-1252 text beginning with "ï»¿" would look marked, so it takes the
// marked form as well.
constexpr QByteArrayView kUtf8Mark = "\xEF\xBB\xBF";

QByteArray PasswordBytes(const QString &password)
{
    bool fits = false;
    QByteArray bytes = TextCodec::EncodeWindows1252(password, &fits);
    if (fits && !bytes.startsWith(kUtf8Mark))
        return bytes;
    return kUtf8Mark.toByteArray() + password.toUtf8();
}

QString PasswordFromBytes(const QByteArray &bytes)
{
    if (bytes.startsWith(kUtf8Mark)) {
        // A password may itself begin with U+FEFF: keep it.
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString password = decoder.decode(QByteArrayView(bytes).sliced(kUtf8Mark.size()));
        if (!decoder.hasError())
            return password;
    }
    return TextCodec::DecodeWindows1252(bytes);
}

bool IsBase64Character(QChar ch)
{
    return (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z') || (ch >= u'0' && ch <= u'9') ||
           ch == u'+' || ch == u'/' || ch == u'=';
}

} // namespace

bool PasswordFitsStorage(const QString &password)
{
    return PasswordBytes(password).size() <= kMaxPasswordBytes;
}

std::optional<QString> ScramblePassword(const QString &password)
{
    const QByteArray plain = PasswordBytes(password);
    if (plain.size() > kMaxPasswordBytes)
        return std::nullopt;
    ScrambleState state;
    QByteArray cipher(plain.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < plain.size(); ++i)
        cipher[i] = char(state.Scramble(quint8(plain[i])));
    return QString::fromLatin1(cipher.toBase64());
}

std::optional<QString> UnscramblePassword(const QString &stored)
{
    if (stored.size() > kMaxScrambledLength)
        return std::nullopt;
    qsizetype end = 0;
    while (end < stored.size() && IsBase64Character(stored[end]))
        ++end;
    const QByteArray cipher = QByteArray::fromBase64(stored.left(end).remove(u'=').toLatin1());
    ScrambleState state;
    QByteArray plain(cipher.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < cipher.size(); ++i)
        plain[i] = char(state.Unscramble(quint8(cipher[i])));
    return PasswordFromBytes(plain);
}
