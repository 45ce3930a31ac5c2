#include "remotelisting.h"

#include "listingparser.h"
#include "remotefilesystem.h"

using namespace Qt::StringLiterals;

RemoteListing ListRemoteFolder(RemoteFileSystem &session, const QStringList &features)
{
    RemoteListing listing;
    listing.mlsd = session.ListsWithFacts(features);
    session.SetTransferType(ftASCII);
    if (listing.mlsd)
        session.ListFacts(listing.lines);
    else
        session.List(listing.lines);
    return listing;
}

bool IsTotalLine(const QString &line)
{
    return line.startsWith(u"total"_s);
}

bool NamesFolderEntry(const RemoteEntry &entry)
{
    return entry.accepted && !entry.name.isEmpty() && entry.name != u"."_s && entry.name != u".."_s;
}

QString WithTrailingSlash(const QString &remotePath)
{
    return remotePath.isEmpty() || remotePath.endsWith(u'/') ? remotePath : remotePath + u'/';
}
