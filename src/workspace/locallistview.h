#pragma once

#include "multiviewlist.h"

class QFileSystemModel;

// The local pane's list (LMDShellList1): one folder of the local file
// system, folders and files with hidden ones, sorted by name. Captions can
// be edited in place, which renames the file or folder.
class LocalListView : public MultiViewList {
    Q_OBJECT

public:
    enum SortKey { ByName = 0, BySize = 1, ByType = 2, ByDate = 3 };

    explicit LocalListView(QWidget *parent = nullptr);

    // Shows the folder; false (and nothing changes) when it does not exist.
    bool SetFolder(const QString &path);
    // The folder shown, as a full path.
    QString Folder() const { return m_folder; }
    QFileSystemModel *FileSystem() const { return m_files; }
    // Reads the folder from disk again.
    void Reload();

    void SortBy(SortKey key);
    // Arrangement, and with it sorting by the current key.
    void SetAutoArrange(bool on) override;

    QStringList SelectedPaths() const;
    // The full path of the entry at a point of a view's viewport, or empty.
    QString PathAt(const QAbstractItemView *view, const QPoint &position) const;
    // The entry of the shown folder with this name, ignoring case.
    QModelIndex FindEntry(const QString &name) const;
    // Selects the entry, scrolls to it and opens its caption editor.
    void EditCaption(const QModelIndex &index);

signals:
    void folderChanged(const QString &path);

private:
    void UseNewModel();
    void OpenEntry(const QModelIndex &index);

    QFileSystemModel *m_files = nullptr;
    QString m_folder;
    SortKey m_sortKey = ByName;
};
