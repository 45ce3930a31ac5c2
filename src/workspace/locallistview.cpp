#include "locallistview.h"

#include "datetext.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QLocale>
#include <QTreeView>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDefaultWidths[] = {200, 80, 100, 130};
constexpr int kSizeColumn = 1;
constexpr int kDateColumn = 3;

// The file system as the list shows it: sizes and dates in the program's
// language and formats (the remote list's date texts), not the machine's.
class LocalFileModel : public QFileSystemModel {
public:
    using QFileSystemModel::QFileSystemModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DisplayRole && index.column() == kDateColumn)
            return FormatDateText(lastModified(index));
        if (role == Qt::DisplayRole && index.column() == kSizeColumn && !isDir(index))
            return QLocale().formattedDataSize(size(index));
        return QFileSystemModel::data(index, role);
    }
};

} // namespace

LocalListView::LocalListView(QWidget *parent)
    : MultiViewList(parent)
{
    setObjectName(u"LMDShellList1"_s);
    UseNewModel();
    DetailsView()->setSortingEnabled(true);
    for (int column = 0; column < ColumnCount(); ++column)
        SetColumnWidth(column, kDefaultWidths[column]);
    SortBy(ByName);
    EnableDragAndDrop();
    FitColumns(0);
    for (QAbstractItemView *view : Views())
        view->setEditTriggers(QAbstractItemView::EditKeyPressed);
    connect(this, &MultiViewList::itemDoubleClicked, this, &LocalListView::OpenEntry);
}

void LocalListView::UseNewModel()
{
    QFileSystemModel *previous = m_files;
    m_files = new LocalFileModel(this);
    m_files->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    // Writable, so that a caption edited in place renames the entry.
    m_files->setReadOnly(false);
    m_files->setRootPath(m_folder);
    AttachModel(m_files);
    if (!m_folder.isEmpty())
        SetRootIndex(m_files->index(m_folder));
    if (previous)
        previous->deleteLater();
}

bool LocalListView::SetFolder(const QString &path)
{
    const QFileInfo folder(path);
    if (path.isEmpty() || !folder.isDir())
        return false;
    const QString absolute = QDir::cleanPath(folder.absoluteFilePath());
    m_files->setRootPath(absolute);
    SetRootIndex(m_files->index(absolute));
    SelectionModel()->clearSelection();
    if (absolute != m_folder) {
        m_folder = absolute;
        emit folderChanged(m_folder);
    }
    return true;
}

void LocalListView::Reload()
{
    const QList<int> widths = ColumnWidths();
    UseNewModel();
    for (int column = 0; column < widths.size(); ++column)
        SetColumnWidth(column, widths[column]);
    SortBy(m_sortKey);
}

void LocalListView::SortBy(SortKey key)
{
    m_sortKey = key;
    DetailsView()->sortByColumn(int(key), Qt::AscendingOrder);
}

void LocalListView::SetAutoArrange(bool on)
{
    MultiViewList::SetAutoArrange(on);
    if (on)
        SortBy(m_sortKey);
}

QStringList LocalListView::SelectedPaths() const
{
    QStringList paths;
    for (const QModelIndex &index : SelectionModel()->selectedRows())
        paths.append(m_files->filePath(index));
    return paths;
}

QString LocalListView::PathAt(const QAbstractItemView *view, const QPoint &position) const
{
    const QModelIndex index = view->indexAt(position);
    return index.isValid() ? m_files->filePath(index) : QString();
}

QModelIndex LocalListView::FindEntry(const QString &name) const
{
    const QModelIndex root = m_files->index(m_folder);
    for (int row = 0; row < m_files->rowCount(root); ++row) {
        const QModelIndex entry = m_files->index(row, 0, root);
        if (m_files->fileName(entry).compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return {};
}

void LocalListView::EditCaption(const QModelIndex &index)
{
    QAbstractItemView *view = CurrentView();
    view->scrollTo(index);
    SelectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->edit(index);
}

void LocalListView::OpenEntry(const QModelIndex &index)
{
    const QString path = m_files->filePath(index);
    if (m_files->isDir(index))
        SetFolder(path);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
