#pragma once

#include <QString>

// Empties a folder of its files without making the window wait for the file
// system: deleting hundreds of megabytes takes the file system a noticeable
// time, so the folder's contents are moved aside in one rename and deleted on
// a thread of their own. Sub folders come back into the emptied folder;
// files that cannot be deleted stay aside.
namespace FolderEmptying {

// Empties folder at once; asideParent is a folder on the same file system
// that takes the contents meanwhile. Where the rename is not possible (a
// folder that is a link, another file system) the files are deleted here,
// as DataFolders::DeleteFilesIn does.
void EmptyInBackground(const QString &folder, const QString &asideParent);
// Waits until every deletion started so far has ended.
void WaitForDeletions();

} // namespace FolderEmptying
