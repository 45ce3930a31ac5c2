#include "treefiles.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace TreeFiles {

QString JoinPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

QFileInfoList Entries(const QString &folder)
{
    return QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name | QDir::IgnoreCase);
}

bool IsFolder(const QFileInfo &entry)
{
    return entry.isDir() && !entry.isSymLink();
}

QString FindIgnoringCase(const QString &folder, const QString &name)
{
    const QString exact = JoinPath(folder, name);
    if (QFileInfo::exists(exact) || QFileInfo(exact).isSymLink())
        return exact;
    for (const QFileInfo &entry : Entries(folder)) {
        if (entry.fileName().compare(name, Qt::CaseInsensitive) == 0)
            return entry.filePath();
    }
    return QString();
}

QString ConnectionFileIn(const QString &folder)
{
    const QString found = FindIgnoringCase(folder, kConnectionFileName.toString());
    return found.isEmpty() ? JoinPath(folder, kConnectionFileName.toString()) : found;
}

bool RemoveFile(const QString &path)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isSymLink() && info.exists() && !(file.permissions() & QFile::WriteOwner))
        file.setPermissions(file.permissions() | QFile::WriteOwner);
    return file.remove();
}

namespace {

bool ClearDestination(const QString &destination)
{
    const QFileInfo target(destination);
    return (!target.exists() && !target.isSymLink()) || (!IsFolder(target) && RemoveFile(destination));
}

} // namespace

bool CopyFile(const QString &source, const QString &destination)
{
    return ClearDestination(destination) && QFile::copy(source, destination);
}

bool MoveFile(const QString &source, const QString &destination)
{
    return ClearDestination(destination) && QFile::rename(source, destination);
}

bool RemoveFolderTree(const QString &folder)
{
    for (const QFileInfo &entry : Entries(folder)) {
        if (IsFolder(entry))
            RemoveFolderTree(entry.filePath());
        else if (!RemoveFile(entry.filePath()))
            break;
    }
    return QDir().rmdir(folder);
}

QString FirstFreeName(const QString &base, const QString &suffix, const QString &separator,
                      const std::function<bool(const QString &)> &isTaken)
{
    QString candidate = base + suffix;
    for (int n = 1; isTaken(candidate); ++n)
        candidate = base + separator + u'(' + QString::number(n) + u')' + suffix;
    return candidate;
}

QString FileNameFor(const QString &name)
{
    QString fileName = name;
    fileName.replace(u'/', u'_');
    fileName.remove(QChar(0));
    return fileName;
}

} // namespace TreeFiles
