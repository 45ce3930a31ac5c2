#include "gridcolor.h"

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 kSystemColor = 0xFF000000u;
constexpr quint32 kOldSystemColor = 0x80000000u;

constexpr int SystemColor(int number)
{
    return int(kSystemColor | quint32(number));
}

// The system colours by their number, as the palette provides them.
QPalette::ColorRole RoleOfSystemColor(int number)
{
    switch (number) {
    case 1:  // desktop
    case 4:  // menu
    case 15: // button face
        return QPalette::Button;
    case 8: // window text
    case 7: // menu text
        return QPalette::WindowText;
    case 13:
        return QPalette::Highlight;
    case 14:
        return QPalette::HighlightedText;
    case 16:
        return QPalette::Dark;
    case 18:
        return QPalette::ButtonText;
    case 20:
        return QPalette::Light;
    case 23:
        return QPalette::ToolTipText;
    case 24:
        return QPalette::ToolTipBase;
    default: // 5, the window background, and anything unknown
        return QPalette::Base;
    }
}

} // namespace

QColor GridColorFromSetting(int value, const QPalette &palette)
{
    const quint32 bits = quint32(value);
    const quint32 kind = bits & 0xFF000000u;
    if (kind == kSystemColor || kind == kOldSystemColor)
        return palette.color(RoleOfSystemColor(int(bits & 0xFFu)));
    return QColor(int(bits & 0xFFu), int((bits >> 8) & 0xFFu), int((bits >> 16) & 0xFFu));
}

int SettingFromColor(const QColor &color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

const QList<NamedGridColor> &GridColorChoices()
{
    static const QList<NamedGridColor> choices{
        {u"Schwarz"_s, 0x000000},
        {u"Kastanienbraun"_s, 0x000080},
        {u"Grün"_s, 0x008000},
        {u"Oliv"_s, 0x008080},
        {u"Marineblau"_s, 0x800000},
        {u"Violett"_s, 0x800080},
        {u"Blaugrün"_s, 0x808000},
        {u"Grau"_s, 0x808080},
        {u"Silber"_s, 0xC0C0C0},
        {u"Rot"_s, 0x0000FF},
        {u"Hellgrün"_s, 0x00FF00},
        {u"Gelb"_s, 0x00FFFF},
        {u"Blau"_s, 0xFF0000},
        {u"Fuchsia"_s, 0xFF00FF},
        {u"Aquamarin"_s, 0xFFFF00},
        {u"Weiß"_s, 0xFFFFFF},
        {u"Geldgrün"_s, 0xC0DCC0},
        {u"Himmelblau"_s, 0xF0CAA6},
        {u"Creme"_s, 0xF0FBFF},
        {u"Mittelgrau"_s, 0xA4A0A0},
        {u"Fensterhintergrund"_s, SystemColor(5)},
        {u"Schaltfläche"_s, SystemColor(15)},
        {u"Markierung"_s, SystemColor(13)},
        {u"Hinweis"_s, SystemColor(24)},
        {u"Schatten"_s, SystemColor(16)},
    };
    return choices;
}
