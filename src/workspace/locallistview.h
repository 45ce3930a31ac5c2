#pragma once

#include "multiviewlist.h"

class QFileSystemModel;

// The local pane's list (LMDShellList1): one folder of the local file
// system, folders and files with hidden ones, sorted by name.
class LocalListView : public MultiViewList {
    Q_OBJECT

public:
    enum SortKey { ByName = 0, BySize = 1, ByType = 2, ByDate = 3 };

    explicit LocalListView(QWidget *parent = nullptr);

    // Shows the folder; false (and nothing changes) when it does not exist.
    bool SetFolder(const QString &path);
    // The folder shown, as a full native path.
    QString Folder() const { return m_folder; }
    QFileSystemModel *FileSystem() const { return m_files; }

    void SortBy(SortKey key);
    // Arrangement, and with it sorting by the current key.
    void SetAutoArrange(bool on) override;

signals:
    void folderChanged(const QString &path);

private:
    void OpenEntry(const QModelIndex &index);

    QFileSystemModel *m_files;
    QString m_folder;
    SortKey m_sortKey = ByName;
};
