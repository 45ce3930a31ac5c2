#include "resultsfile.h"

#include "tinifile.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace ResultsFile {

namespace {

// A line break in a value would let a name from a server pose as keys or
// sections of its own.
QString SingleLine(QString text)
{
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

void AppendKey(QStringList &lines, const QString &key, const QString &value)
{
    if (!value.isEmpty())
        lines.append(key + u'=' + SingleLine(value));
}

// The keys of a section as written by the INI rules; the first of a
// repeated key counts.
QString Value(const QStringList &keyLines, QStringView key)
{
    for (const QString &line : keyLines) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals >= 0 && QStringView(line).left(equals).compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1);
    }
    return QString();
}

bool IsSignature(const QString &section)
{
    return section.compare(kSignatureSection, Qt::CaseInsensitive) == 0;
}

} // namespace

bool Write(const QString &fileName, const QList<SearchHit> &hits)
{
    QStringList lines{QString(), u'[' + kSignatureSection.toString() + u']', u"signatur="_s};
    lines.reserve(lines.size() + 8 * hits.size());
    for (qsizetype row = 0; row < hits.size(); ++row) {
        const SearchHit &hit = hits[row];
        lines << QString() << u"[%1]"_s.arg(row);
        AppendKey(lines, u"Attr"_s, hit.attributes);
        AppendKey(lines, u"Date"_s, hit.dateText);
        AppendKey(lines, u"Size"_s, hit.sizeText);
        AppendKey(lines, u"Ordner"_s, hit.folder);
        AppendKey(lines, u"Server"_s, hit.server);
        AppendKey(lines, u"Name"_s, hit.name);
    }
    return TIniFile::WriteLines(fileName, lines);
}

std::optional<QList<SearchHit>> Read(const QString &fileName)
{
    const QList<TIniFile::Section> sections = TIniFile(fileName).ReadAllSections();
    if (std::none_of(sections.begin(), sections.end(),
                     [](const TIniFile::Section &section) { return IsSignature(section.name); }))
        return std::nullopt;
    QList<SearchHit> hits;
    for (const TIniFile::Section &section : sections) {
        if (IsSignature(section.name))
            continue;
        const QStringList &keys = section.values;
        hits.append({Value(keys, u"Name"), Value(keys, u"Server"), Value(keys, u"Ordner"),
                     Value(keys, u"Size"), Value(keys, u"Date"), Value(keys, u"Attr")});
    }
    return hits;
}

QString NotAResultsFileMessage(const QString &fileName)
{
    return u"Die Datei \"%1\" ist keine Suchergebnissdatei oder ist beschädigt"_s.arg(fileName);
}

} // namespace ResultsFile
