#include "remotelistview.h"

#include "datetext.h"
#include "remotelistmodel.h"
#include "symbols.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeView>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const int kColumnWidths[RemoteListView::kColumnCount] = {150, 70, 100, 80};
const int kDateColumn = 2;

} // namespace

int DateColumnWidth(const QFontMetrics &metrics, int classicWidth)
{
    const QString widest = FormatDateText(QDateTime(QDate(2026, 12, 28), QTime(23, 58, 58)));
    return std::max(classicWidth, metrics.horizontalAdvance(widest) + 3 * metrics.averageCharWidth());
}

RemoteListView::RemoteListView(QWidget *parent)
    : MultiViewList(parent)
    , m_rows(new RemoteListModel(this))
{
    setObjectName(u"ListView1"_s);
    AttachModel(m_rows);
    for (int column = 0; column < kColumnCount; ++column)
        SetColumnWidth(column, kColumnWidths[column]);
    SetColumnWidth(kDateColumn, DateColumnWidth(DetailsView()->fontMetrics(), kColumnWidths[kDateColumn]));
    SetSortSymbols(0, -1);
    QHeaderView *header = DetailsView()->header();
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this, &RemoteListView::headerClicked);
    EnableDragAndDrop();
    SetDropsAccepted(false);
    FitColumns(0);
    for (QAbstractItemView *view : Views())
        view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
}

void RemoteListView::SetSortSymbols(int sortColumn, int direction)
{
    for (int column = 0; column < kColumnCount; ++column) {
        m_rows->SetHeaderSymbol(column, column == sortColumn ? Symbols::SortSymbol(direction)
                                                             : Symbols::ColumnSymbol(column));
    }
}

int RemoteListView::RowCount() const
{
    return m_rows->Count();
}

const RemoteRow &RemoteListView::Row(int row) const
{
    return m_rows->Row(row);
}

QList<int> RemoteListView::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : SelectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<RemotePaneEntry> RemoteListView::Entries() const
{
    std::vector<RemotePaneEntry> entries;
    entries.reserve(std::size_t(RowCount()));
    for (int row = 0; row < RowCount(); ++row)
        entries.push_back({Row(row), false});
    for (int row : SelectedRows())
        entries[std::size_t(row)].selected = true;
    return entries;
}

bool RemoteListView::ShowsOnlyParent() const
{
    return RowCount() == 1 && Row(0).IsParent();
}

void RemoteListView::SelectRow(int row)
{
    const QModelIndex index = m_rows->index(row, 0);
    SelectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    CurrentView()->scrollTo(index);
}

void RemoteListView::SelectAllButParent()
{
    int first = 0;
    while (first < RowCount() && Row(first).IsParent())
        ++first;
    SelectionModel()->clearSelection();
    if (first >= RowCount())
        return;
    const QItemSelection all(m_rows->index(first, 0), m_rows->index(RowCount() - 1, kColumnCount - 1));
    SelectionModel()->select(all, QItemSelectionModel::Select);
}

void RemoteListView::ClearSelection()
{
    SelectionModel()->clearSelection();
    SelectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
}

void RemoteListView::EditCaption(int row)
{
    const QModelIndex index = m_rows->index(row, 0);
    CurrentView()->scrollTo(index);
    CurrentView()->setCurrentIndex(index);
    CurrentView()->edit(index);
}
