#include "sessionlogview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTextMargin = 2;
constexpr int kFailedReplyCode = 500;

} // namespace

SessionLogView::SessionLogView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setObjectName(u"ListBox1"_s);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);

    ContextMenu = new QMenu(this);
    ContextMenu->setObjectName(u"LogContextMenu"_s);
    SaveLogItem = ContextMenu->addAction(u"Logdatei speichern"_s);
    SaveLogItem->setObjectName(u"SaveLogItem"_s);
    ClearLogItem = ContextMenu->addAction(u"Liste leeren"_s);
    ClearLogItem->setObjectName(u"ClearLogItem"_s);
    ToggleLogItem = ContextMenu->addAction(u"Log deaktivieren"_s);
    ToggleLogItem->setObjectName(u"ToggleLogItem"_s);

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { ContextMenu->popup(viewport()->mapToGlobal(at)); });
    connect(ClearLogItem, &QAction::triggered, this, &SessionLogView::Clear);

    m_layoutTimer.setSingleShot(true);
    m_layoutTimer.setInterval(0);
    connect(&m_layoutTimer, &QTimer::timeout, this, &SessionLogView::ApplyLayout);
    MeasureCharacters();
}

void SessionLogView::AddLine(const QString &line, int limit)
{
    if (limit > 0 && m_lines.size() > limit) {
        const qsizetype surplus = m_lines.size() - limit;
        m_lines.remove(0, surplus);
        m_selected = std::max(-1, int(m_selected - surplus));
    }
    m_lines.append(line);
    m_unmeasured = std::min(m_unmeasured + 1, m_lines.size());
    m_selected = Count() - 1;
    m_followSelection = true;
    ScheduleLayout();
}

void SessionLogView::Clear()
{
    m_lines.clear();
    m_selected = -1;
    m_extent = 0;
    m_unmeasured = 0;
    m_followSelection = false;
    ScheduleLayout();
}

void SessionLogView::SelectRow(int row)
{
    if (row < 0 || row >= Count())
        return;
    m_selected = row;
    m_followSelection = true;
    ScheduleLayout();
}

int SessionLogView::HorizontalExtent()
{
    ApplyLayout();
    return m_extent;
}

void SessionLogView::ScheduleLayout()
{
    if (!m_layoutTimer.isActive())
        m_layoutTimer.start();
}

void SessionLogView::ApplyLayout()
{
    m_layoutTimer.stop();
    for (qsizetype row = m_lines.size() - m_unmeasured; row < m_lines.size(); ++row)
        m_extent = std::max(m_extent, TextWidth(m_lines.at(row)) + 2 * kTextMargin);
    m_unmeasured = 0;
    UpdateScrollBars();
    if (m_followSelection && m_selected >= 0)
        ScrollToRow(m_selected);
    m_followSelection = false;
    viewport()->update();
}

int SessionLogView::ReplyCodeOf(QStringView line)
{
    bool isNumber = false;
    const int code = line.mid(5, 5).trimmed().toInt(&isNumber);
    return isNumber ? code : 0;
}

QColor SessionLogView::TextColor(QStringView line, bool selected)
{
    if (ReplyCodeOf(line) >= kFailedReplyCode)
        return selected ? QColor(Qt::yellow) : QColor(Qt::red);
    return selected ? QColor(Qt::white) : QColor(Qt::black);
}

QColor SessionLogView::BackgroundColor(bool selected)
{
    return selected ? QColor(64, 64, 128) : QColor(Qt::white);
}

int SessionLogView::LineHeight() const
{
    return fontMetrics().lineSpacing() + 1;
}

int SessionLogView::FullyVisibleLines() const
{
    return std::max(1, viewport()->height() / LineHeight());
}

int SessionLogView::RowAt(int y) const
{
    const int row = verticalScrollBar()->value() + y / LineHeight();
    return row < Count() ? row : -1;
}

void SessionLogView::MeasureCharacters()
{
    const QFontMetrics metrics = fontMetrics();
    for (std::size_t code = 0; code < m_advances.size(); ++code)
        m_advances[code] = metrics.horizontalAdvance(QChar(char16_t(code)));
}

// The sum of the characters' advances: shaping every line of a busy log
// would cost more than the transfer it reports, and for a scroll extent the
// sum is as good as the drawn width.
int SessionLogView::TextWidth(const QString &line) const
{
    const QFontMetrics metrics = fontMetrics();
    int width = metrics.averageCharWidth();
    for (const QChar character : line) {
        const char16_t code = character.unicode();
        width += code < m_advances.size() ? m_advances[code] : metrics.horizontalAdvance(character);
    }
    return width;
}

void SessionLogView::UpdateScrollBars()
{
    const int visible = FullyVisibleLines();
    QScrollBar *vertical = verticalScrollBar();
    vertical->setPageStep(visible);
    vertical->setRange(0, std::max(0, Count() - visible));
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setPageStep(viewport()->width());
    horizontal->setSingleStep(fontMetrics().averageCharWidth());
    horizontal->setRange(0, std::max(0, m_extent - viewport()->width()));
}

void SessionLogView::ScrollToRow(int row)
{
    QScrollBar *vertical = verticalScrollBar();
    const int visible = FullyVisibleLines();
    if (row < vertical->value())
        vertical->setValue(row);
    else if (row >= vertical->value() + visible)
        vertical->setValue(row - visible + 1);
}

void SessionLogView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void SessionLogView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        MeasureCharacters();
        m_extent = 0;
        m_unmeasured = m_lines.size();
        ScheduleLayout();
    }
}

void SessionLogView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    // A log that showed its newest line keeps showing it, also when the
    // horizontal scroll bar appears and takes a line's height.
    QScrollBar *vertical = verticalScrollBar();
    const bool showedEnd = vertical->value() >= vertical->maximum();
    UpdateScrollBars();
    if (showedEnd)
        vertical->setValue(vertical->maximum());
}

void SessionLogView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), BackgroundColor(false));
    const int height = LineHeight();
    const int left = kTextMargin - horizontalScrollBar()->value();
    const int width = std::max(viewport()->width(), m_extent);
    const int first = verticalScrollBar()->value();
    const int last = std::min(Count() - 1, first + viewport()->height() / height);
    for (int row = first; row <= last; ++row) {
        const bool selected = row == m_selected;
        const QString &line = m_lines.at(row);
        const QRect rowRect(0, (row - first) * height, viewport()->width(), height);
        if (selected)
            painter.fillRect(rowRect, BackgroundColor(true));
        painter.setPen(TextColor(line, selected));
        painter.drawText(QRect(left, rowRect.top(), width, height),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
    }
}

void SessionLogView::mousePressEvent(QMouseEvent *event)
{
    const int row = RowAt(int(event->position().y()));
    if (row >= 0)
        SelectRow(row);
    QAbstractScrollArea::mousePressEvent(event);
}

void SessionLogView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        if (m_selected >= 0)
            QApplication::clipboard()->setText(m_lines.at(m_selected));
        return;
    }
    const int page = FullyVisibleLines();
    int row = m_selected;
    switch (event->key()) {
    case Qt::Key_Up:
        row = std::max(0, row - 1);
        break;
    case Qt::Key_Down:
        row = row + 1;
        break;
    case Qt::Key_PageUp:
        row = std::max(0, row - page);
        break;
    case Qt::Key_PageDown:
        row = std::min(Count() - 1, row + page);
        break;
    case Qt::Key_Home:
        row = 0;
        break;
    case Qt::Key_End:
        row = Count() - 1;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    SelectRow(row);
}
