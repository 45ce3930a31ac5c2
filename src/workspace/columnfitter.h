#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QAbstractItemModel;
class QTreeView;

// Widths for the columns of a details list: every column as wide as its
// content, the stretch column taking the rest of the available width, but
// never less than its minimum. contentWidths holds one entry per column
// (the stretch column's entry is not read).
QList<int> FittedColumnWidths(const QList<int> &contentWidths, int stretchColumn, int availableWidth,
                              int minimumStretchWidth);

// Keeps the columns of a details view fitted (FittedColumnWidths) while its
// rows and its width change, until the user sizes a column by hand or Stop
// is called: from then on the widths stay as they were set.
class ColumnFitter : public QObject {
    Q_OBJECT

public:
    ColumnFitter(QTreeView *view, int stretchColumn);

    // Follows the model the view shows now; call after every new model.
    void WatchModel(QAbstractItemModel *model);
    // Widths the columns other than the stretch column keep at least (the
    // ones saved at the last close), one entry per column; 0 or a missing
    // entry asks for nothing.
    void SetLeastWidths(const QList<int> &widths);
    void Stop();
    bool Active() const { return m_active; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void MeasureSoon();
    // Measures the content of the columns (the rows in and near the view),
    // then applies.
    void Measure();
    // Shares the view's width out; cheap, so it follows every resize.
    void Apply();
    void SectionResized();

    QTreeView *m_view;
    // Kept apart: while the view is destroyed its children still send events
    // here, when m_view->viewport() can no longer be called.
    QWidget *const m_viewport;
    const int m_stretchColumn;
    QPointer<QAbstractItemModel> m_model;
    QList<int> m_contentWidths;
    QList<int> m_leastWidths;
    QTimer m_measureTimer;
    bool m_active = true;
    bool m_applying = false;
    bool m_userDragging = false;
};
