#include "columnfitter.h"

#include <QEvent>
#include <QHeaderView>
#include <QTreeView>

#include <algorithm>

QList<int> FittedColumnWidths(const QList<int> &contentWidths, int stretchColumn, int availableWidth,
                              int minimumStretchWidth)
{
    QList<int> widths = contentWidths;
    int othersWidth = 0;
    for (int column = 0; column < widths.size(); ++column) {
        if (column != stretchColumn)
            othersWidth += widths[column];
    }
    if (stretchColumn >= 0 && stretchColumn < widths.size())
        widths[stretchColumn] = std::max(minimumStretchWidth, availableWidth - othersWidth);
    return widths;
}

ColumnFitter::ColumnFitter(QTreeView *view, int stretchColumn)
    : QObject(view)
    , m_view(view)
    , m_viewport(view->viewport())
    , m_stretchColumn(stretchColumn)
{
    // Rows arrive in bursts (a listing, a folder read in the background):
    // measure once they are in.
    m_measureTimer.setSingleShot(true);
    m_measureTimer.setInterval(0);
    connect(&m_measureTimer, &QTimer::timeout, this, &ColumnFitter::Measure);
    QHeaderView *header = view->header();
    connect(header, &QHeaderView::sectionResized, this, &ColumnFitter::SectionResized);
    connect(header, &QHeaderView::sectionHandleDoubleClicked, this, &ColumnFitter::Stop);
    header->viewport()->installEventFilter(this);
    m_viewport->installEventFilter(this);
    WatchModel(view->model());
}

void ColumnFitter::WatchModel(QAbstractItemModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (model) {
        connect(model, &QAbstractItemModel::modelReset, this, &ColumnFitter::MeasureSoon);
        connect(model, &QAbstractItemModel::layoutChanged, this, &ColumnFitter::MeasureSoon);
        connect(model, &QAbstractItemModel::rowsInserted, this, &ColumnFitter::MeasureSoon);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &ColumnFitter::MeasureSoon);
        connect(model, &QAbstractItemModel::dataChanged, this, &ColumnFitter::MeasureSoon);
        connect(model, &QAbstractItemModel::headerDataChanged, this, &ColumnFitter::MeasureSoon);
    }
    MeasureSoon();
}

void ColumnFitter::SetLeastWidths(const QList<int> &widths)
{
    m_leastWidths = widths;
    MeasureSoon();
}

void ColumnFitter::Stop()
{
    m_active = false;
    m_measureTimer.stop();
}

void ColumnFitter::MeasureSoon()
{
    if (m_active)
        m_measureTimer.start();
}

void ColumnFitter::Measure()
{
    const QHeaderView *header = m_view->header();
    if (!m_active || header->count() == 0)
        return;
    m_contentWidths.clear();
    for (int column = 0; column < header->count(); ++column) {
        // QTreeView keeps its override protected; the base's is public.
        const QAbstractItemView *view = m_view;
        const bool stretch = column == m_stretchColumn;
        const int content =
            stretch ? 0 : std::max(view->sizeHintForColumn(column), m_leastWidths.value(column));
        m_contentWidths.append(std::max(content, header->sectionSizeHint(column)));
    }
    Apply();
}

void ColumnFitter::Apply()
{
    QHeaderView *header = m_view->header();
    if (!m_active || m_contentWidths.size() != header->count())
        return;
    const QList<int> widths =
        FittedColumnWidths(m_contentWidths, m_stretchColumn, m_view->viewport()->width(),
                           header->sectionSizeHint(m_stretchColumn));
    m_applying = true;
    for (int column = 0; column < widths.size(); ++column)
        header->resizeSection(column, widths[column]);
    m_applying = false;
}

void ColumnFitter::SectionResized()
{
    if (!m_applying && m_userDragging)
        Stop();
}

bool ColumnFitter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_viewport) {
        if (event->type() == QEvent::Resize)
            Apply();
    } else if (event->type() == QEvent::MouseButtonPress) {
        m_userDragging = true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        m_userDragging = false;
    }
    return QObject::eventFilter(watched, event);
}
