#include "remoterow.h"

#include "listingparser.h"

using namespace Qt::StringLiterals;

QString RemoteRow::LinkTarget() const
{
    const qsizetype arrow = name.indexOf(u"->"_s);
    return arrow < 0 ? QString() : name.mid(arrow + 2).trimmed();
}

qint64 RemoteRow::SizeValue() const
{
    bool ok = false;
    const qint64 value = sizeText.trimmed().toLongLong(&ok);
    return ok ? value : 0;
}

qint64 RemoteRow::ListedSize() const
{
    bool ok = false;
    const qint64 value = sizeText.trimmed().toLongLong(&ok);
    return ok && value >= 0 ? value : -1;
}

QChar KindLetter(int entryKind)
{
    switch (entryKind) {
    case RemoteEntry::Folder:
        return RemoteRow::kFolder;
    case RemoteEntry::Link:
        return RemoteRow::kLink;
    default:
        return RemoteRow::kFile;
    }
}
