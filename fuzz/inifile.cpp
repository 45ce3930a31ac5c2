// TIniFile over any file, UTF-8 or Windows-1252: every read works, and a
// file written after a change reads back as exactly what was held.
#include "fuzzsupport.h"
#include "textcodec.h"
#include "tinifile.h"

namespace {

// What a reader of the file sees: each section with its non-empty lines.
QStringList Snapshot(const TIniFile &ini)
{
    QStringList seen;
    for (const QString &section : ini.ReadSections()) {
        seen << u'[' + section + u']';
        seen << ini.ReadSectionValues(section);
    }
    return seen;
}

void ReadEverything(const TIniFile &ini)
{
    const QStringList sections = ini.ReadSections();
    for (const QString &section : sections.mid(0, 8)) {
        FUZZ_CHECK(ini.SectionExists(section));
        for (const QString &key : ini.ReadSection(section).mid(0, 8)) {
            FUZZ_CHECK(!key.contains(u'='));
            if (!key.isEmpty())
                FUZZ_CHECK(ini.ValueExists(section, key));
            ini.ReadString(section, key, QString());
            ini.ReadInteger(section, key, 0);
            ini.ReadBool(section, key, false);
            ini.ReadFloat(section, key, 0.0);
            ini.ReadDateTime(section, key, QDateTime(), Qt::LocalTime);
            ini.ReadDateTime(section, key, QDateTime(), Qt::UTC);
        }
    }
}

// One change, picked by the input: a new value, a deleted key or section.
void Change(TIniFile &ini, uint8_t switches, const QString &value)
{
    const QStringList sections = ini.ReadSections();
    const QString section =
        sections.isEmpty() ? QStringLiteral("Neu") : sections.at(switches % sections.size());
    const QStringList keys = ini.ReadSection(section);
    const QString key = keys.isEmpty() ? QStringLiteral("Wert") : keys.at((switches >> 2) % keys.size());
    switch (switches >> 6) {
    case 0:
    case 1:
        ini.WriteString(section, key, value);
        if (!key.isEmpty() && !value.contains(u'\r') && !value.contains(u'\n') && !value.isEmpty())
            FUZZ_CHECK(ini.ReadString(section, key, QString()) == value);
        break;
    case 2:
        ini.DeleteKey(section, key);
        break;
    default:
        ini.EraseSection(section);
        FUZZ_CHECK(!ini.SectionExists(section));
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input input(data, size);
    const uint8_t switches = input.Byte();
    const uint8_t valueSwitches = input.Byte();
    QByteArray valueBytes;
    for (int i = valueSwitches % 32; i > 0; --i)
        valueBytes.append(char(input.Byte()));
    const QString value =
        (valueSwitches & 0x80) ? TextCodec::DecodeWindows1252(valueBytes) : QString::fromUtf8(valueBytes);

    const QString fileName = Fuzz::WriteScratchFile(QStringLiteral("fuzz.ini"), input.Rest());
    if (fileName.isEmpty())
        return 0;
    QStringList held;
    {
        TIniFile ini(fileName);
        ReadEverything(ini);
        Change(ini, switches, value);
        held = Snapshot(ini);
        FUZZ_CHECK(ini.UpdateFile());
    }
    const TIniFile reread(fileName);
    FUZZ_CHECK(Snapshot(reread) == held);
    return 0;
}
