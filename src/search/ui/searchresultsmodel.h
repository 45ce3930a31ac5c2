#pragma once

#include "filetypesymbols.h"
#include "searchhit.h"

#include <QAbstractTableModel>
#include <QCollator>
#include <QDateTime>
#include <QList>

#include <vector>

// The rows of the search results, always in the order of the sort column and
// direction: direction 1 runs from the largest value down, -1 from the
// smallest up; rows of equal value keep the order they came in. Sizes
// compare as numbers, dates as date-times, the texts ignoring case. Files
// of one extension share a symbol.
class SearchResultsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { NameColumn, ServerColumn, FolderColumn, SizeColumn, DateColumn, InfoColumn, ColumnCount };

    explicit SearchResultsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Each returns the row the (last) hit landed in.
    int Add(const SearchHit &hit);
    int AddAll(const QList<SearchHit> &hits);
    // Every row, and the symbols that came with them.
    void Clear();

    void SortBy(int column, int direction);
    int SortColumn() const { return m_sortColumn; }
    int SortDirection() const { return m_direction; }

    const SearchHit &Hit(int row) const { return m_rows[std::size_t(row)].hit; }
    // In display order.
    QList<SearchHit> Hits() const;

private:
    struct Row {
        SearchHit hit;
        qint64 size = 0;
        QDateTime date;
        int symbol = 0;
        quint64 serial = 0; // arrival order
    };

    Row MakeRow(const SearchHit &hit);
    int Compare(const Row &a, const Row &b) const;
    bool Before(const Row &a, const Row &b) const;
    int RowWithSerial(quint64 serial) const;

    std::vector<Row> m_rows;
    FileTypeSymbols m_symbols;
    QCollator m_collator;
    int m_sortColumn = NameColumn;
    int m_direction = -1;
    quint64 m_nextSerial = 0;
};
