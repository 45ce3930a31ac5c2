#pragma once

#include "partfile.h"

#include <QDateTime>
#include <QSet>
#include <QString>

#include <functional>

class RemoteFileSystem;

// What becomes of one file: left as it is, transferred whole, or continued
// from the partial data that is there.
enum class TransferChoice { Skip, Replace, Continue };

// One remote file to become a local one.
struct FileDownload {
    // As the server is asked for it: a name in the session's current folder
    // or a path from the server's root.
    QString remotePath;
    QString target;
    // The size a listing or SIZE gave; -1 when unknown. A listed 0 is no
    // promise: servers list 0 for files they cannot measure, and a file
    // may have grown since.
    qint64 knownSize = -1;
    // The target's modification time once complete; invalid keeps the time
    // of its arrival.
    QDateTime remoteTime;
    PartFile::Leftover leftover = PartFile::Leftover::Keep;
    // The names of the folder being fetched from: no part file takes one of
    // them.
    QSet<QString> reservedNames;
};

enum class DownloadOutcome {
    Completed, // the target holds the whole file
    Refused,   // the server refused the transfer; the target is untouched
    Stopped,   // the user's stop cut it; the target is untouched
};

// Asked after the transfer: whether the user asked to stop meanwhile.
using StopQuery = std::function<bool()>;
// A remark for the log ("... wird ganz übertragen: ...").
using TransferNotice = std::function<void(const QString &)>;

// Every download of a file goes through these. The bytes arrive in a part
// file beside the target, which is replaced only by a file whose byte count
// matches every size the server gave for it (the known size, the size its
// 150 reply names, and after REST the offset plus what arrived); a
// different count raises EIdIncompleteFile and leaves the target as it
// was. A file that is complete when the user asked to stop is kept, with
// the time of its arrival. EIdException when the local file cannot be made.
DownloadOutcome ReceiveFile(RemoteFileSystem &session, const FileDownload &file, const StopQuery &stopped);
// Continues the partial data the target has (a kept part file, else a copy
// of the target) with REST. The server is asked for the file's size again:
// it may have changed since the listing. Data that cannot belong to the
// file, or a server that takes REST and still sends from the start, makes
// the file come anew as a whole; the notice says why.
DownloadOutcome ContinueFile(RemoteFileSystem &session, const FileDownload &file, const StopQuery &stopped,
                             const TransferNotice &notice);
