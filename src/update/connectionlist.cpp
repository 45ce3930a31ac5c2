#include "connectionlist.h"

#include "tinifile.h"

using namespace Qt::StringLiterals;

namespace {

// Characters a group name cannot hold, as in the connection manager.
constexpr QStringView kForbiddenInGroupName = u":*?\"<>|";

bool IsSeparator(QChar character)
{
    return character == u'\\' || character == u'/';
}

bool IsGroupName(const QString &name)
{
    if (name.isEmpty() || name == u"."_s || name == u".."_s)
        return false;
    for (QChar character : kForbiddenInGroupName) {
        if (name.contains(character))
            return false;
    }
    return true;
}

QStringList ListedComments(const TIniFile &list, const QString &section)
{
    QStringList comments;
    for (int line = 0; line < kMaxCommentLines; ++line) {
        const QString comment =
            list.ReadString(section, u"Comment"_s + QString::number(line), QString()).trimmed();
        if (comment.isEmpty())
            continue;
        // Each comment keeps its number; the lines in between stay empty.
        while (comments.size() < line)
            comments.append(QString());
        comments.append(comment);
    }
    return comments;
}

} // namespace

bool IsConnectionList(const TIniFile &list)
{
    return list.SectionExists(kListSignatureSection.toString());
}

ListedConnection ReadListedConnection(const TIniFile &list, const QString &section)
{
    const auto text = [&](const QString &key, QStringView fallback) {
        return list.ReadString(section, key, fallback.toString());
    };
    ListedConnection entry;
    entry.name = section;
    entry.group = text(u"Gruppe"_s, {});
    ConnectionProfile &profile = entry.profile;
    profile.FTP_Server = text(u"FTP_Server"_s, {});
    profile.FTPOrdner = text(u"FTPOrdner"_s, {});
    profile.anonymous = list.ReadBool(section, u"anonymous"_s, true);
    profile.FTP_Port = text(u"FTP_Port"_s, u"21");
    profile.FTP_User = text(u"FTP_User"_s, kAnonymousUser);
    profile.FTP_Pass = text(u"FTP_Pass"_s, kAnonymousPassword);
    profile.FTP_Passive = list.ReadBool(section, u"FTP_Passive"_s, false);
    profile.MLSD = list.ReadBool(section, u"MLSD"_s, false);
    profile.Comments = ListedComments(list, section);
    return entry;
}

std::optional<QString> GroupPathInTree(const QString &listedGroup)
{
    if (listedGroup.isEmpty() || IsSeparator(listedGroup.front()))
        return std::nullopt;
    QString path = listedGroup;
    path.replace(u'\\', u'/');
    // One separator at the end closes the path, as in "Linux\".
    if (path.endsWith(u'/'))
        path.chop(1);
    const QStringList names = path.split(u'/');
    for (const QString &name : names) {
        if (!IsGroupName(name))
            return std::nullopt;
    }
    return names.join(u'/');
}
