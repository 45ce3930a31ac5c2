#pragma once

#include "multiviewlist.h"

class QStandardItemModel;

// The remote pane's list (ListView1): one row per entry of the current
// server folder, with the columns "Name", "Größe", "Datum" and "Info".
class RemoteListView : public MultiViewList {
    Q_OBJECT

public:
    static constexpr int kColumnCount = 4;

    explicit RemoteListView(QWidget *parent = nullptr);

    QStandardItemModel *Rows() const { return m_rows; }
    // The sort column shows the sort direction (-1 ascending, 1 descending);
    // the other headers show their own symbols.
    void SetSortSymbols(int sortColumn, int direction);

private:
    QStandardItemModel *m_rows;
};
