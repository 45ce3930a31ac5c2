#include "tinifile.h"

#include "savefile.h"
#include "textcodec.h"

#include <QFile>
#include <QLocale>
#include <QSet>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {

constexpr QByteArrayView kUtf8Mark = "\xEF\xBB\xBF";

bool IsSectionHeader(const QString &line)
{
    return line.size() > 2 && line.startsWith(u'[') && line.endsWith(u']');
}

QStringView HeaderName(const QString &line)
{
    return QStringView(line).mid(1, line.size() - 2);
}

bool SameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A line break inside a name or value would split it into lines of their
// own and let stored text pose as keys or sections.
QString SingleLine(QString text)
{
    text.replace(u"\r\n"_s, u" "_s);
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

QStringList SplitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

// UTF-8 when the bytes are, else Windows-1252. Only the first byte-order
// mark is the file's own: a second one is text (writing puts it there).
QString DecodeFileText(QByteArray bytes)
{
    if (bytes.startsWith(kUtf8Mark))
        bytes.remove(0, kUtf8Mark.size());
    if (!TextCodec::IsValidUtf8(bytes))
        return TextCodec::DecodeWindows1252(bytes);
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QStringList WithoutDuplicates(const QStringList &names)
{
    QStringList unique;
    QSet<QString> seen;
    for (const QString &name : names) {
        if (!seen.contains(name.toCaseFolded())) {
            seen.insert(name.toCaseFolded());
            unique.append(name);
        }
    }
    return unique;
}

// Dates are written in the locale's short date format, but always with a
// four-digit year, and times always with seconds, so that a value read back
// is exactly the value written.
QString DateFormat(const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(u"yyyy"_s))
        format.replace(u"yy"_s, u"yyyy"_s);
    return format;
}

QString TimeFormat(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (format.contains(u's'))
        return format;
    const qsizetype minutes = format.lastIndexOf(u"mm"_s);
    if (minutes < 0)
        return u"HH:mm:ss"_s;
    return format.insert(minutes + 2, u":ss"_s);
}

// A text in UTC reads as the date and time it shows, even where the local
// clock skips that hour; "UTC" is appended because Qt's parser otherwise
// works in local time.
QDateTime ParseDateTime(const QString &text, Qt::TimeSpec spec)
{
    const bool utc = spec == Qt::UTC;
    const QString zoneText = utc ? u" UTC"_s : QString();
    const QString zoneFormat = utc ? u" t"_s : QString();
    const QLocale locale;
    const QString date = DateFormat(locale);
    const QString time = TimeFormat(locale);
    const QLocale german(QLocale::German, QLocale::Germany);
    // The locale's own formats first; German and ISO texts as written on
    // other machines after them.
    const std::pair<QLocale, QString> candidates[] = {
        {locale, date + u' ' + time},
        {locale, date},
        {locale, date + u' ' + locale.timeFormat(QLocale::ShortFormat)},
        {german, u"dd.MM.yyyy HH:mm:ss"_s},
        {german, u"dd.MM.yyyy"_s},
        {german, u"dd.MM.yyyy HH:mm"_s},
    };
    for (const auto &[candidateLocale, format] : candidates) {
        const QDateTime value = candidateLocale.toDateTime(text + zoneText, format + zoneFormat);
        if (value.isValid())
            return value;
    }
    return QDateTime::fromString(utc ? text + u'Z' : text, Qt::ISODate);
}

QLocale NumberLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

void MakeOwnerWritable(const QString &fileName)
{
    QFile file(fileName);
    if (file.exists() && !(file.permissions() & QFile::WriteOwner))
        file.setPermissions(file.permissions() | QFile::WriteOwner);
}

} // namespace

TIniFile::TIniFile(const QString &fileName)
    : m_fileName(fileName)
{
    Load();
}

TIniFile::~TIniFile()
{
    UpdateFile();
}

void TIniFile::Load()
{
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_lines = SplitLines(DecodeFileText(file.readAll()));
}

std::optional<int> TIniFile::ParseInteger(QStringView text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// --- reading -----------------------------------------------------------------

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const int line = FindKeyLine(FindSectionHeader(section), key);
    if (line < 0)
        return defaultValue;
    const QString value = m_lines[line].mid(m_lines[line].indexOf(u'=') + 1);
    return value.isEmpty() ? defaultValue : value;
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    return ParseInteger(ReadString(section, key, QString())).value_or(defaultValue);
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    const QString text = ReadString(section, key, QString()).trimmed();
    if (const auto number = ParseInteger(text))
        return *number != 0;
    bool isNumber = false;
    const double fraction = text.toDouble(&isNumber);
    if (isNumber)
        return fraction != 0.0;
    if (SameName(text, u"true"))
        return true;
    if (SameName(text, u"false"))
        return false;
    return defaultValue;
}

QDateTime TIniFile::ReadDateTime(const QString &section, const QString &key, const QDateTime &defaultValue,
                                 Qt::TimeSpec spec) const
{
    const QString text = ReadString(section, key, QString()).trimmed();
    if (text.isEmpty())
        return defaultValue;
    const QDateTime value = ParseDateTime(text, spec);
    return value.isValid() ? value : defaultValue;
}

double TIniFile::ReadFloat(const QString &section, const QString &key, double defaultValue) const
{
    bool ok = false;
    const double value = NumberLocale().toDouble(ReadString(section, key, QString()).trimmed(), &ok);
    return ok ? value : defaultValue;
}

bool TIniFile::SectionExists(const QString &section) const
{
    return FindSectionHeader(section) >= 0;
}

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    return FindKeyLine(FindSectionHeader(section), key) >= 0;
}

QStringList TIniFile::ReadSections() const
{
    QStringList sections;
    for (const QString &line : m_lines) {
        if (IsSectionHeader(line))
            sections.append(HeaderName(line).toString());
    }
    return WithoutDuplicates(sections);
}

QStringList TIniFile::ReadSection(const QString &section) const
{
    QStringList keys;
    for (const QString &line : ReadSectionValues(section)) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals >= 0)
            keys.append(line.left(equals));
    }
    return WithoutDuplicates(keys);
}

QStringList TIniFile::ReadSectionValues(const QString &section) const
{
    const int header = FindSectionHeader(section);
    if (header < 0)
        return {};
    QStringList values;
    const int end = SectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        if (!m_lines[i].isEmpty())
            values.append(m_lines[i]);
    }
    return values;
}

QList<TIniFile::Section> TIniFile::ReadAllSections() const
{
    QList<Section> sections;
    bool inSection = false; // a line that begins with "[" ends a section, as in SectionEnd
    for (const QString &line : m_lines) {
        if (line.startsWith(u'[')) {
            inSection = IsSectionHeader(line);
            if (inSection)
                sections.append({HeaderName(line).toString(), {}});
        } else if (inSection && !line.isEmpty()) {
            sections.last().values.append(line);
        }
    }
    return sections;
}

// --- writing -----------------------------------------------------------------

void TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    const QString sectionName = SingleLine(section);
    const QString keyName = SingleLine(key);
    if (sectionName.isEmpty() || keyName.isEmpty() || keyName.contains(u'='))
        return;
    const QString text = SingleLine(value);
    if (text.isEmpty()) {
        DeleteKey(sectionName, keyName);
        return;
    }
    const QString keyLine = keyName + u'=' + text;
    const int header = FindSectionHeader(sectionName);
    if (header < 0) {
        m_lines << QString() << u'[' + sectionName + u']' << keyLine;
    } else if (const int line = FindKeyLine(header, keyName); line >= 0) {
        if (m_lines[line] == keyLine)
            return;
        m_lines[line] = keyLine;
    } else {
        m_lines.insert(header + 1, keyLine);
    }
    m_modified = true;
}

void TIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? u"-1"_s : u"0"_s);
}

void TIniFile::WriteDateTime(const QString &section, const QString &key, const QDateTime &value)
{
    if (!value.isValid()) {
        WriteString(section, key, QString());
        return;
    }
    const QLocale locale;
    QString text = locale.toString(value.date(), DateFormat(locale));
    if (value.time() != QTime(0, 0))
        text += u' ' + locale.toString(value.time(), TimeFormat(locale));
    WriteString(section, key, text);
}

void TIniFile::WriteFloat(const QString &section, const QString &key, double value)
{
    WriteString(section, key, NumberLocale().toString(value, 'g', QLocale::FloatingPointShortest));
}

// Every header of that name goes: a second one, hidden while the first
// stood, would otherwise bring the erased section back with its own values.
void TIniFile::EraseSection(const QString &section)
{
    for (int header = FindSectionHeader(section); header >= 0; header = FindSectionHeader(section)) {
        m_lines.remove(header, NextHeader(header) - header);
        m_modified = true;
    }
}

void TIniFile::DeleteKey(const QString &section, const QString &key)
{
    const int line = FindKeyLine(FindSectionHeader(section), key);
    if (line < 0)
        return;
    m_lines.removeAt(line);
    m_modified = true;
}

bool TIniFile::UpdateFile()
{
    if (!m_modified)
        return true;
    if (!WriteLines(m_fileName, m_lines))
        return false;
    m_modified = false;
    return true;
}

bool TIniFile::WriteLines(const QString &fileName, const QStringList &lines)
{
    QString text = lines.join(u"\r\n"_s);
    if (!lines.isEmpty())
        text += u"\r\n"_s;
    MakeOwnerWritable(fileName);
    QByteArray bytes = TextCodec::EncodeAuto(text);
    // Reading drops one byte-order mark; a text that begins with U+FEFF
    // keeps it behind a second one.
    if (bytes.startsWith(kUtf8Mark))
        bytes.prepend(kUtf8Mark);
    return SaveFileAtomically(fileName, bytes, true);
}

// --- lookup ------------------------------------------------------------------

int TIniFile::FindSectionHeader(const QString &section) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        if (IsSectionHeader(m_lines[i]) && SameName(HeaderName(m_lines[i]), section))
            return i;
    }
    return -1;
}

int TIniFile::FindKeyLine(int headerIndex, const QString &key) const
{
    if (headerIndex < 0)
        return -1;
    const int end = SectionEnd(headerIndex);
    for (int i = headerIndex + 1; i < end; ++i) {
        const qsizetype equals = m_lines[i].indexOf(u'=');
        if (equals >= 0 && SameName(QStringView(m_lines[i]).left(equals), key))
            return i;
    }
    return -1;
}

int TIniFile::SectionEnd(int headerIndex) const
{
    int i = headerIndex + 1;
    while (i < m_lines.size() && !m_lines[i].startsWith(u'['))
        ++i;
    return i;
}

int TIniFile::NextHeader(int headerIndex) const
{
    int i = headerIndex + 1;
    while (i < m_lines.size() && !IsSectionHeader(m_lines[i]))
        ++i;
    return i;
}
