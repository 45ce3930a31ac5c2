// ParseListingLine over any line, as MLSD or LIST line, under every way of
// correcting time stamps.
#include "fuzzsupport.h"
#include "listingparser.h"
#include "textcodec.h"

namespace {

TimeCorrection CorrectionFrom(uint8_t switches, uint8_t hours, uint8_t minutes)
{
    TimeCorrection correction;
    switch ((switches >> 1) % 4) {
    case 0:
        correction.DateTimeNo = true;
        break;
    case 1:
    case 2:
        correction.DateTimeManuel = true;
        correction.TimeDif = QTime(hours % 24, minutes % 60);
        correction.TimeDifvz = (switches >> 1) % 4 == 1 ? -1 : 1;
        break;
    default:
        break; // the system time zone
    }
    correction.WSTime_Use = switches & 0x08;
    return correction;
}

void CheckEntry(const RemoteEntry &entry)
{
    if (!entry.accepted)
        return;
    FUZZ_CHECK(!entry.name.isEmpty());
    FUZZ_CHECK(entry.kind == RemoteEntry::File || entry.kind == RemoteEntry::Folder ||
               entry.kind == RemoteEntry::Link);
    FUZZ_CHECK(!entry.dateText.isEmpty() && entry.timestamp.isValid());
    FUZZ_CHECK(entry.size >= -1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input input(data, size);
    const uint8_t switches = input.Byte();
    const uint8_t hours = input.Byte();
    const uint8_t minutes = input.Byte();
    const bool isMlsd = switches & 0x01;
    const TimeCorrection correction = CorrectionFrom(switches, hours, minutes);
    const QByteArray bytes = input.Rest();
    // As the session decodes a listing: bytes that are no UTF-8 reach the
    // parser as the lone surrogates that keep them.
    const QString text =
        (switches & 0x10) ? TextCodec::DecodeWindows1252(bytes) : TextCodec::DecodeUtf8KeepingBytes(bytes);
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        CheckEntry(ParseListingLine(line, correction, isMlsd));
    }
    return 0;
}
