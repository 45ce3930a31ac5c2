#pragma once

#include "multiviewlist.h"
#include "remoterow.h"

#include <vector>

class QFontMetrics;
class RemoteListModel;

// The width a column of date texts needs: they carry a four-digit year and
// seconds, which makes them wider than the column's classic width.
int DateColumnWidth(const QFontMetrics &metrics, int classicWidth);

// The remote pane's list (ListView1): one row per entry of the current
// server folder, with the columns "Name", "Größe", "Datum" and "Info".
class RemoteListView : public MultiViewList {
    Q_OBJECT

public:
    static constexpr int kColumnCount = 4;

    explicit RemoteListView(QWidget *parent = nullptr);

    RemoteListModel *Rows() const { return m_rows; }
    // The sort column shows the sort direction (-1 ascending, 1 descending);
    // the other headers show their own symbols.
    void SetSortSymbols(int sortColumn, int direction);

    int RowCount() const;
    const RemoteRow &Row(int row) const;
    // Selected row numbers in display order.
    QList<int> SelectedRows() const;
    // Every row with its selection, in display order.
    std::vector<RemotePaneEntry> Entries() const;
    // Whether the list shows nothing but "..".
    bool ShowsOnlyParent() const;

    // Selects just this row, makes it current and scrolls it into view.
    void SelectRow(int row);
    void SelectAllButParent();
    void ClearSelection();
    // Opens the caption editor on the row.
    void EditCaption(int row);

signals:
    // A click on a column header of the details view.
    void headerClicked(int column);

private:
    RemoteListModel *m_rows;
};
