#include "rawlisting.h"

#include <QSaveFile>

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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QString &line : lines)
        file.write(line.toUtf8() + "\r\n");
    return file.commit();
}
