#pragma once

#include <QStackedWidget>
#include <QString>

class ColumnFitter;
class QAbstractItemModel;
class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QModelIndex;
class QTreeView;

// A file list with the four views of a desktop file manager: 0 large icons,
// 1 small icons, 2 list, 3 details. The icon and list views are one list
// view, the details view a tree view with columns; both show the same model
// through one selection model, so switching views keeps the selection.
class MultiViewList : public QStackedWidget {
    Q_OBJECT

public:
    static constexpr int kDetailsView = 3;

    explicit MultiViewList(QWidget *parent = nullptr);

    void SetViewStyle(int view);
    int ViewStyle() const { return m_view; }
    // Automatic arrangement: the icon views flow anew when the list is resized.
    virtual void SetAutoArrange(bool on);
    bool AutoArrange() const { return m_autoArrange; }

    QAbstractItemView *CurrentView() const;
    // Both views, for code that watches their input.
    QList<QAbstractItemView *> Views() const;
    // A caption editor is open; keys it does not use pass on to the view.
    bool EditingCaption() const;
    QTreeView *DetailsView() const { return m_details; }
    QListView *IconView() const { return m_icons; }
    QAbstractItemModel *Model() const;
    QItemSelectionModel *SelectionModel() const;
    void SetRootIndex(const QModelIndex &root);

    // Widths of the details view's columns, one entry per existing column.
    int ColumnCount() const;
    QList<int> ColumnWidths() const;
    void SetColumnWidth(int column, int width);
    // From now on the details view's columns are as wide as their content and
    // the stretch column takes the rest of the view's width, until the user
    // sizes a column or KeepColumnWidths is called.
    void FitColumns(int stretchColumn);
    // Saved widths as the start: each column other than the stretch column
    // keeps at least its saved width (and is still widened to its content),
    // while the stretch column goes on taking the rest of the view's width.
    // A width of 0 is no width and leaves its column as it is.
    void StartFromColumnWidths(const QList<int> &widths);
    // The widths set from now on stay as they are.
    void KeepColumnWidths();
    bool FitsColumns() const;

    // Rows can be dragged out of the list, and drops reach the views, whose
    // owner decides about them (an event filter on each view's viewport).
    void EnableDragAndDrop();
    // Drops are taken while this is on (and drag and drop is enabled).
    void SetDropsAccepted(bool accepted);

    // A hint the views show in their middle while the list is empty.
    void SetPlaceholderText(const QString &text);
    const QString &PlaceholderText() const { return m_placeholderText; }

signals:
    void itemDoubleClicked(const QModelIndex &index);
    void contextMenuRequested(const QPoint &globalPos);
    void selectionChanged();
    // A drag that started in this list has ended, dropped or not.
    void dragFinished();

protected:
    // Both views show the model through one selection model. A model
    // handed over again replaces the earlier one and its selection.
    void AttachModel(QAbstractItemModel *model);

private:
    void ForwardViewSignals(QAbstractItemView *view);
    void ApplyDragAndDrop();

    QTreeView *m_details;
    QListView *m_icons;
    ColumnFitter *m_fitter = nullptr;
    QString m_placeholderText;
    int m_view = kDetailsView;
    bool m_autoArrange = false;
    bool m_dragAndDrop = false;
    bool m_dropsAccepted = true;
};
