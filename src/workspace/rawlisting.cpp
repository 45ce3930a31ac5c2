#include "rawlisting.h"

#include "savefile.h"

using namespace Qt::StringLiterals;

QString RawListingPath(const QString &temporaryPath, const QString &serverName)
{
    QString name = serverName;
    for (QChar &c : name) {
        if (u"\"*/:<>?\\|"_s.contains(c))
            c = u'-';
    }
    return temporaryPath + u'_' + name + u".txt"_s;
}

bool WriteRawListing(const QString &path, const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    return SaveFileAtomically(path, bytes);
}
