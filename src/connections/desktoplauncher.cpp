#include "desktoplauncher.h"

#include "savefile.h"
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

// Escapes of every string value; applied last, undone first by readers.
QString EscapeValue(QString text)
{
    text.replace(u"\\"_s, u"\\\\"_s)
        .replace(u"\n"_s, u"\\n"_s)
        .replace(u"\r"_s, u"\\r"_s)
        .replace(u"\t"_s, u"\\t"_s);
    if (text.startsWith(u' '))
        text.replace(0, 1, u"\\s"_s);
    return text;
}

// One argument of Exec: in double quotes, with ", `, $ and \ escaped, and
// "%" doubled so that it is not taken for a field code.
QString QuoteArgument(const QString &argument)
{
    QString quoted = u"\""_s;
    for (QChar ch : argument) {
        if (ch == u'"' || ch == u'`' || ch == u'$' || ch == u'\\')
            quoted += u'\\';
        quoted += ch;
        if (ch == u'%')
            quoted += u'%';
    }
    return quoted + u'"';
}

} // namespace

QString DesktopLauncher::ExecLine() const
{
    QStringList parts{QuoteArgument(Program)};
    for (const QString &argument : Arguments)
        parts.append(QuoteArgument(argument));
    return parts.join(u' ');
}

bool DesktopLauncher::WriteTo(const QString &fileName) const
{
    const QStringList lines{
        u"[Desktop Entry]"_s,
        u"Type=Application"_s,
        u"Version=1.0"_s,
        u"Name="_s + EscapeValue(Name),
        u"Comment="_s + EscapeValue(Comment),
        u"Exec="_s + EscapeValue(ExecLine()),
        u"Icon="_s + EscapeValue(Icon),
        u"Terminal=false"_s,
    };
    if (!SaveFileAtomically(fileName, (lines.join(u'\n') + u'\n').toUtf8()))
        return false;
    constexpr QFile::Permissions kExecutable =
        QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;
    return QFile::setPermissions(fileName, QFile::permissions(fileName) | kExecutable);
}
