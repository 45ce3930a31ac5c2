#include "multiviewlist.h"

#include "columnfitter.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QPainter>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLargeIcon = 32;
constexpr int kSmallIcon = 16;

// A view that says when a drag it started has ended and whether a caption
// editor is open, and shows the list's placeholder text while it has no
// rows.
template <class View> class ReportingView : public View {
public:
    ReportingView(MultiViewList *list)
        : View(list)
        , m_list(list)
    {
    }

    bool Editing() const { return this->state() == QAbstractItemView::EditingState; }

protected:
    void startDrag(Qt::DropActions supportedActions) override
    {
        View::startDrag(supportedActions);
        emit m_list->dragFinished();
    }

    void paintEvent(QPaintEvent *event) override
    {
        View::paintEvent(event);
        const QString &hint = m_list->PlaceholderText();
        const QAbstractItemModel *rows = this->model();
        if (hint.isEmpty() || (rows && rows->rowCount(this->rootIndex()) > 0))
            return;
        QWidget *area = this->viewport();
        QPainter painter(area);
        painter.setPen(this->palette().color(QPalette::PlaceholderText));
        painter.drawText(area->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, hint);
    }

private:
    MultiViewList *m_list;
};

} // namespace

MultiViewList::MultiViewList(QWidget *parent)
    : QStackedWidget(parent)
    , m_details(new ReportingView<QTreeView>(this))
    , m_icons(new ReportingView<QListView>(this))
{
    m_details->setObjectName(u"DetailsView"_s);
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->header()->setStretchLastSection(false);
    m_details->header()->setSectionsMovable(false);

    m_icons->setObjectName(u"IconView"_s);
    m_icons->setWrapping(true);
    m_icons->setMovement(QListView::Static);
    m_icons->setUniformItemSizes(true);

    for (QAbstractItemView *view :
         {static_cast<QAbstractItemView *>(m_details), static_cast<QAbstractItemView *>(m_icons)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        ForwardViewSignals(view);
    }
    addWidget(m_icons);
    addWidget(m_details);
    SetViewStyle(kDetailsView);
}

void MultiViewList::AttachModel(QAbstractItemModel *model)
{
    // Views never delete a selection model they were given or made.
    QItemSelectionModel *previous = m_details->selectionModel();
    m_details->setModel(model);
    m_icons->setModel(model);
    QItemSelectionModel *unused = m_icons->selectionModel();
    m_icons->setSelectionModel(m_details->selectionModel());
    delete unused;
    if (previous)
        previous->deleteLater();
    connect(m_details->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MultiViewList::selectionChanged);
    if (m_fitter)
        m_fitter->WatchModel(model);
}

bool MultiViewList::EditingCaption() const
{
    return static_cast<const ReportingView<QTreeView> *>(m_details)->Editing() ||
           static_cast<const ReportingView<QListView> *>(m_icons)->Editing();
}

QList<QAbstractItemView *> MultiViewList::Views() const
{
    return {m_details, m_icons};
}

void MultiViewList::EnableDragAndDrop()
{
    m_dragAndDrop = true;
    for (QAbstractItemView *view : Views()) {
        view->setDragDropMode(QAbstractItemView::DragDrop);
        view->setDefaultDropAction(Qt::CopyAction);
        view->setDropIndicatorShown(false);
    }
    ApplyDragAndDrop();
}

void MultiViewList::SetDropsAccepted(bool accepted)
{
    m_dropsAccepted = accepted;
    ApplyDragAndDrop();
}

void MultiViewList::ForwardViewSignals(QAbstractItemView *view)
{
    connect(view, &QAbstractItemView::doubleClicked, this, &MultiViewList::itemDoubleClicked);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint &pos) {
        emit contextMenuRequested(view->viewport()->mapToGlobal(pos));
    });
}

void MultiViewList::ApplyDragAndDrop()
{
    // Drags reach the viewport under the pointer; the list view also
    // switches both off whenever its items are made immovable.
    for (QAbstractItemView *view : Views()) {
        view->setDragEnabled(m_dragAndDrop);
        view->viewport()->setAcceptDrops(m_dragAndDrop && m_dropsAccepted);
    }
}

void MultiViewList::SetPlaceholderText(const QString &text)
{
    m_placeholderText = text;
    for (QAbstractItemView *view : Views())
        view->viewport()->update();
}

void MultiViewList::SetViewStyle(int view)
{
    m_view = view;
    if (view == kDetailsView) {
        setCurrentWidget(m_details);
        return;
    }
    const bool largeIcons = view == 0;
    m_icons->setViewMode(largeIcons ? QListView::IconMode : QListView::ListMode);
    m_icons->setIconSize(QSize(largeIcons ? kLargeIcon : kSmallIcon, largeIcons ? kLargeIcon : kSmallIcon));
    m_icons->setFlow(view == 2 ? QListView::TopToBottom : QListView::LeftToRight);
    m_icons->setGridSize(largeIcons ? QSize(84, 64) : QSize());
    m_icons->setWordWrap(largeIcons);
    m_icons->setWrapping(true);
    m_icons->setMovement(QListView::Static);
    ApplyDragAndDrop();
    SetAutoArrange(m_autoArrange);
    setCurrentWidget(m_icons);
}

void MultiViewList::SetAutoArrange(bool on)
{
    m_autoArrange = on;
    m_icons->setResizeMode(on ? QListView::Adjust : QListView::Fixed);
}

QAbstractItemView *MultiViewList::CurrentView() const
{
    return m_view == kDetailsView ? static_cast<QAbstractItemView *>(m_details) : m_icons;
}

QAbstractItemModel *MultiViewList::Model() const
{
    return m_details->model();
}

QItemSelectionModel *MultiViewList::SelectionModel() const
{
    return m_details->selectionModel();
}

void MultiViewList::SetRootIndex(const QModelIndex &root)
{
    m_details->setRootIndex(root);
    m_icons->setRootIndex(root);
}

int MultiViewList::ColumnCount() const
{
    return m_details->header()->count();
}

QList<int> MultiViewList::ColumnWidths() const
{
    QList<int> widths;
    for (int column = 0; column < ColumnCount(); ++column)
        widths.append(m_details->columnWidth(column));
    return widths;
}

void MultiViewList::SetColumnWidth(int column, int width)
{
    m_details->setColumnWidth(column, width);
}

void MultiViewList::FitColumns(int stretchColumn)
{
    if (!m_fitter)
        m_fitter = new ColumnFitter(m_details, stretchColumn);
}

void MultiViewList::StartFromColumnWidths(const QList<int> &widths)
{
    for (int column = 0; column < ColumnCount() && column < widths.size(); ++column) {
        // A width of 0 would hide the column for good.
        if (widths[column] > 0)
            SetColumnWidth(column, widths[column]);
    }
    if (m_fitter)
        m_fitter->SetLeastWidths(widths);
}

void MultiViewList::KeepColumnWidths()
{
    if (m_fitter)
        m_fitter->Stop();
}

bool MultiViewList::FitsColumns() const
{
    return m_fitter && m_fitter->Active();
}
