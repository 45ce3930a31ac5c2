#include "remotelistview.h"

#include "symbols.h"

#include <QStandardItemModel>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

struct ColumnLook {
    QString caption;
    int width;
    Qt::Alignment alignment;
};

const ColumnLook kColumns[RemoteListView::kColumnCount] = {
    {u"Name"_s, 150, Qt::AlignLeft},
    {u"Größe"_s, 70, Qt::AlignRight},
    {u"Datum"_s, 100, Qt::AlignLeft},
    {u"Info"_s, 80, Qt::AlignRight},
};

} // namespace

RemoteListView::RemoteListView(QWidget *parent)
    : MultiViewList(parent)
    , m_rows(new QStandardItemModel(0, kColumnCount, this))
{
    setObjectName(u"ListView1"_s);
    for (int column = 0; column < kColumnCount; ++column) {
        const ColumnLook &look = kColumns[column];
        m_rows->setHeaderData(column, Qt::Horizontal, look.caption);
        m_rows->setHeaderData(column, Qt::Horizontal, int(look.alignment | Qt::AlignVCenter),
                              Qt::TextAlignmentRole);
    }
    AttachModel(m_rows);
    for (int column = 0; column < kColumnCount; ++column)
        SetColumnWidth(column, kColumns[column].width);
    SetSortSymbols(0, -1);
}

void RemoteListView::SetSortSymbols(int sortColumn, int direction)
{
    for (int column = 0; column < kColumnCount; ++column) {
        const QIcon symbol =
            column == sortColumn ? Symbols::SortSymbol(direction) : Symbols::ColumnSymbol(column);
        m_rows->setHeaderData(column, Qt::Horizontal, symbol, Qt::DecorationRole);
    }
}
