#include "folderemptying.h"

#include "datafolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kAsidePrefix = u"emptied-";

// One thread is enough: the deletions only have to leave the window's
// thread. Owned by the application, whose end waits for them.
QThreadPool *DeletionPool()
{
    static QThreadPool *pool = [] {
        auto *created = new QThreadPool(QCoreApplication::instance());
        created->setMaxThreadCount(1);
        return created;
    }();
    return pool;
}

QString WithoutTrailingSlash(const QString &folder)
{
    return folder.endsWith(u'/') && folder.size() > 1 ? folder.chopped(1) : folder;
}

// Deletes the files of a folder set aside, moves its sub folders back into
// the emptied folder and removes it when nothing is left.
void DeleteAside(const QString &aside, const QString &folder)
{
    const QFileInfoList entries =
        QDir(aside).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.absoluteFilePath();
        if (entry.isDir() && !entry.isSymLink()) {
            QDir().rename(path, folder + u'/' + entry.fileName());
            continue;
        }
        if (!entry.isSymLink())
            QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner);
        QFile::remove(path);
    }
    QDir().rmdir(aside);
}

// Folders an earlier run set aside and could not finish.
QStringList LeftAside(const QString &asideParent)
{
    QStringList folders;
    const QString prefix = kAsidePrefix.toString();
    for (const QString &name :
         QDir(asideParent).entryList({prefix + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot))
        folders.append(QDir(asideParent).filePath(name));
    return folders;
}

} // namespace

namespace FolderEmptying {

void EmptyInBackground(const QString &folder, const QString &asideParent)
{
    const QString path = WithoutTrailingSlash(folder);
    const QString aside =
        QDir(asideParent).filePath(kAsidePrefix.toString() + QUuid::createUuid().toString(QUuid::Id128));
    const bool movedAside = !QFileInfo(path).isSymLink() && QDir().rename(path, aside);
    if (!movedAside || !QDir().mkpath(path)) {
        if (movedAside)
            QDir().rename(aside, path);
        DataFolders::DeleteFilesIn(folder);
        return;
    }
    const QStringList asides = LeftAside(asideParent);
    DeletionPool()->start([asides, path] {
        for (const QString &each : asides)
            DeleteAside(each, path);
    });
}

void WaitForDeletions()
{
    DeletionPool()->waitForDone();
}

} // namespace FolderEmptying
