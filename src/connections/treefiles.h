#pragma once

#include <QFileInfoList>
#include <QString>

#include <functional>

// File system helpers of the connection tree store.
namespace TreeFiles {

inline constexpr QStringView kConnectionFileName = u"inhalt.ini";

// Appends "/" to a non-empty folder that lacks it, then the name.
QString JoinPath(const QString &folder, const QString &name);

// A folder's entries, hidden ones included, sorted by name ignoring case.
QFileInfoList Entries(const QString &folder);
// Symbolic links never count as folders, so no walk can loop.
bool IsFolder(const QFileInfo &entry);
// The entry of the folder whose name equals name ignoring case, or empty.
QString FindIgnoringCase(const QString &folder, const QString &name);
// The folder's inhalt.ini, however its name is cased; the lower-case path
// when there is none.
QString ConnectionFileIn(const QString &folder);

// Removes a file or link, giving the owner write permission first.
bool RemoveFile(const QString &path);
// Copies or moves a file, replacing what stands at the destination.
bool CopyFile(const QString &source, const QString &destination);
bool MoveFile(const QString &source, const QString &destination);
// Deletes a folder with everything in it. A file that cannot be deleted
// leaves the rest of its folder alone; the folder then stays too.
bool RemoveFolderTree(const QString &folder);

// base + suffix when that is free, else base + separator + "(n)" + suffix
// with the first n = 1, 2, ... that is free.
QString FirstFreeName(const QString &base, const QString &suffix, const QString &separator,
                      const std::function<bool(const QString &)> &isTaken);

// A connection name as a file name: "/" cannot stand in one.
QString FileNameFor(const QString &name);

} // namespace TreeFiles
