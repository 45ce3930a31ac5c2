// Stored passwords: any stored text unscrambles without harm, and every
// password that fits the storage reads back exactly as it was written.
#include "fuzzsupport.h"
#include "passwordscramble.h"
#include "textcodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString stored = TextCodec::DecodeAuto(bytes);
    const std::optional<QString> unscrambled = UnscramblePassword(stored);
    FUZZ_CHECK(unscrambled.has_value() == (stored.size() <= kMaxScrambledLength));
    const QString password = QString::fromUtf8(bytes);
    const std::optional<QString> scrambled = ScramblePassword(password);
    FUZZ_CHECK(scrambled.has_value() == PasswordFitsStorage(password));
    if (scrambled) {
        FUZZ_CHECK(scrambled->size() <= kMaxScrambledLength);
        FUZZ_CHECK(UnscramblePassword(*scrambled) == password);
    }
    return 0;
}
