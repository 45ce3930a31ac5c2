#include "locallistview.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QTreeView>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDefaultWidths[] = {200, 80, 100, 130};

} // namespace

LocalListView::LocalListView(QWidget *parent)
    : MultiViewList(parent)
    , m_files(new QFileSystemModel(this))
{
    setObjectName(u"LMDShellList1"_s);
    m_files->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    m_files->setReadOnly(true);
    m_files->setRootPath(QString());
    AttachModel(m_files);
    DetailsView()->setSortingEnabled(true);
    for (int column = 0; column < ColumnCount(); ++column)
        SetColumnWidth(column, kDefaultWidths[column]);
    SortBy(ByName);
    connect(this, &MultiViewList::itemDoubleClicked, this, &LocalListView::OpenEntry);
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

void LocalListView::OpenEntry(const QModelIndex &index)
{
    const QString path = m_files->filePath(index);
    if (m_files->isDir(index))
        SetFolder(path);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
