#pragma once

#include <QString>
#include <QStringList>

class RemoteFileSystem;
struct RemoteEntry;

// The lines of a folder listing and whether they came from MLSD.
struct RemoteListing {
    QStringList lines;
    bool mlsd = false;
};

// Lists the session's current folder in ASCII type: with MLSD when the
// server's feature list offers it and the profile's MLSD switch is on,
// otherwise with LIST in long form.
RemoteListing ListRemoteFolder(RemoteFileSystem &session, const QStringList &features);

// The "total 123" heading of a Unix listing, which names no entry.
bool IsTotalLine(const QString &line);
// A parsed line that stands for an entry of the folder (not "." or "..").
bool NamesFolderEntry(const RemoteEntry &entry);

// A remote path with "/" appended unless it is empty or ends with one.
QString WithTrailingSlash(const QString &remotePath);
