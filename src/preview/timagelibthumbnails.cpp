#include "timagelibthumbnails.h"

#include "decodequeue.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTextPadding = 4;

} // namespace

TImageLibThumbnails::TImageLibThumbnails(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_decoder(new DecodeQueue(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    connect(m_decoder, &DecodeQueue::decoded, this, &TImageLibThumbnails::Receive);
}

void TImageLibThumbnails::SetThumbnailWidth(int width)
{
    m_thumbnailSize.setWidth(std::max(width, kMinimumThumbnailSize));
    UpdateScrollRange();
    viewport()->update();
}

void TImageLibThumbnails::SetThumbnailHeight(int height)
{
    m_thumbnailSize.setHeight(std::max(height, kMinimumThumbnailSize));
    UpdateScrollRange();
    viewport()->update();
}

void TImageLibThumbnails::SetColor(const QColor &color)
{
    m_color = color;
    viewport()->update();
}

// --- the list -------------------------------------------------------------

void TImageLibThumbnails::Clear()
{
    ForgetPending();
    m_thumbnails.clear();
    m_current = -1;
    verticalScrollBar()->setValue(0);
    UpdateScrollRange();
    viewport()->update();
    emit countChanged(0);
}

void TImageLibThumbnails::AddFile(const QString &path)
{
    m_requested.insert(m_decoder->Request(path, m_thumbnailSize), path);
}

void TImageLibThumbnails::LoadFolder(const QString &folder)
{
    Clear();
    const QStringList files = ImageLibrary::GalleryImagesIn(folder);
    for (const QString &path : files)
        AddFile(path);
}

void TImageLibThumbnails::CancelDecoding()
{
    ForgetPending();
}

void TImageLibThumbnails::ForgetPending()
{
    const bool wasDecoding = !m_requested.isEmpty();
    m_decoder->CancelAll();
    m_requested.clear();
    if (wasDecoding)
        emit decodingFinished();
}

int TImageLibThumbnails::Pending() const
{
    return int(m_requested.size());
}

void TImageLibThumbnails::Receive(quint64 request, const DecodeResult &result)
{
    const auto requested = m_requested.constFind(request);
    if (requested == m_requested.cend())
        return;
    const QString path = requested.value();
    m_requested.erase(requested);
    if (result.picture) {
        Thumbnail thumbnail;
        thumbnail.order = request;
        thumbnail.path = path;
        thumbnail.name = QFileInfo(path).fileName();
        thumbnail.picture = QPixmap::fromImage(result.picture->image);
        thumbnail.originalSize = result.picture->originalSize;
        Insert(std::move(thumbnail));
    }
    if (m_requested.isEmpty())
        emit decodingFinished();
}

// In the order the files were added, whatever order their pictures came in.
void TImageLibThumbnails::Insert(Thumbnail thumbnail)
{
    const auto place =
        std::upper_bound(m_thumbnails.begin(), m_thumbnails.end(), thumbnail.order,
                         [](quint64 order, const Thumbnail &other) { return order < other.order; });
    const int index = int(place - m_thumbnails.begin());
    m_thumbnails.insert(place, std::move(thumbnail));
    if (m_current >= index)
        ++m_current;
    UpdateScrollRange();
    viewport()->update();
    emit countChanged(Count());
}

QString TImageLibThumbnails::FilePath(int index) const
{
    return index >= 0 && index < Count() ? m_thumbnails[std::size_t(index)].path : QString();
}

bool TImageLibThumbnails::IsMarked(int index) const
{
    return index >= 0 && index < Count() && m_thumbnails[std::size_t(index)].marked;
}

int TImageLibThumbnails::MarkedCount() const
{
    return int(
        std::count_if(m_thumbnails.begin(), m_thumbnails.end(), [](const Thumbnail &t) { return t.marked; }));
}

QStringList TImageLibThumbnails::MarkedFiles() const
{
    QStringList files;
    for (const Thumbnail &thumbnail : m_thumbnails) {
        if (thumbnail.marked)
            files.append(thumbnail.path);
    }
    return files;
}

void TImageLibThumbnails::SetCurrent(int index)
{
    if (index < -1 || index >= Count() || index == m_current)
        return;
    m_current = index;
    EnsureVisible(index);
    viewport()->update();
    emit thumbSelected(index);
}

// --- geometry -----------------------------------------------------------

QSize TImageLibThumbnails::CellSize() const
{
    return {m_thumbnailSize.width(), m_thumbnailSize.height() + fontMetrics().height() + kTextPadding};
}

int TImageLibThumbnails::Columns() const
{
    const int pitch = CellSize().width() + GridLineWidth;
    return std::max(1, (viewport()->width() - GridLineWidth) / pitch);
}

QRect TImageLibThumbnails::CellRect(int index) const
{
    const QSize cell = CellSize();
    const int columns = Columns();
    const int x = GridLineWidth + (index % columns) * (cell.width() + GridLineWidth);
    const int y = GridLineWidth + (index / columns) * (cell.height() + GridLineWidth);
    return {QPoint(x, y - verticalScrollBar()->value()), cell};
}

int TImageLibThumbnails::IndexAt(const QPoint &position) const
{
    const QSize cell = CellSize();
    const int x = position.x() - GridLineWidth;
    const int y = position.y() + verticalScrollBar()->value() - GridLineWidth;
    if (x < 0 || y < 0)
        return -1;
    const int column = x / (cell.width() + GridLineWidth);
    const int row = y / (cell.height() + GridLineWidth);
    const bool onLine = x % (cell.width() + GridLineWidth) >= cell.width() ||
                        y % (cell.height() + GridLineWidth) >= cell.height();
    const int index = row * Columns() + column;
    return column < Columns() && !onLine && index < Count() ? index : -1;
}

void TImageLibThumbnails::UpdateScrollRange()
{
    const int pitch = CellSize().height() + GridLineWidth;
    const int rows = (Count() + Columns() - 1) / Columns();
    const int content = GridLineWidth + rows * pitch;
    verticalScrollBar()->setRange(0, std::max(0, content - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(pitch / 3);
}

void TImageLibThumbnails::EnsureVisible(int index)
{
    if (index < 0)
        return;
    const QRect cell = CellRect(index);
    QScrollBar *bar = verticalScrollBar();
    if (cell.top() < 0)
        bar->setValue(bar->value() + cell.top() - GridLineWidth);
    else if (cell.bottom() > viewport()->height())
        bar->setValue(bar->value() + cell.bottom() - viewport()->height() + GridLineWidth);
}

void TImageLibThumbnails::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

// --- drawing --------------------------------------------------------------

void TImageLibThumbnails::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), m_color.darker(112));
    if (Count() == 0)
        return;
    const int columns = Columns();
    const int rowPitch = CellSize().height() + GridLineWidth;
    const int firstRow = std::max(0, (verticalScrollBar()->value() + event->rect().top()) / rowPitch);
    const int lastRow = (verticalScrollBar()->value() + event->rect().bottom()) / rowPitch;
    for (int index = firstRow * columns; index < Count() && index < (lastRow + 1) * columns; ++index)
        PaintCell(painter, index, CellRect(index));
}

void TImageLibThumbnails::PaintCell(QPainter &painter, int index, const QRect &cell) const
{
    const Thumbnail &thumbnail = m_thumbnails[std::size_t(index)];
    const QColor background = thumbnail.marked ? palette().color(QPalette::Highlight) : m_color;
    painter.fillRect(cell, background);
    const QRect pictureArea(cell.topLeft(), m_thumbnailSize);
    QSize shown = thumbnail.picture.size();
    if (shown.width() > pictureArea.width() || shown.height() > pictureArea.height())
        shown.scale(pictureArea.size(), Qt::KeepAspectRatio);
    QRect picture(QPoint(), shown);
    picture.moveCenter(pictureArea.center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(picture, thumbnail.picture);

    const QRect textArea(cell.left() + 2, pictureArea.bottom() + 1, cell.width() - 4,
                         cell.bottom() - pictureArea.bottom());
    const QColor text = thumbnail.marked ? palette().color(QPalette::HighlightedText)
                                         : (m_color.lightness() < 128 ? Qt::white : Qt::black);
    painter.setPen(text);
    painter.drawText(textArea, Qt::AlignCenter,
                     fontMetrics().elidedText(thumbnail.name, Qt::ElideMiddle, textArea.width()));
    if (index == m_current) {
        painter.setPen(QPen(text, 1, Qt::DotLine));
        painter.drawRect(cell.adjusted(0, 0, -1, -1));
    }
}

QString TImageLibThumbnails::Hint(int index) const
{
    const Thumbnail &thumbnail = m_thumbnails[std::size_t(index)];
    return u"%1\n%2 x %3"_s.arg(thumbnail.name)
        .arg(thumbnail.originalSize.width())
        .arg(thumbnail.originalSize.height());
}

bool TImageLibThumbnails::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int index = IndexAt(help->pos());
        if (index >= 0)
            QToolTip::showText(help->globalPos(), Hint(index), viewport(), CellRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

// --- input --------------------------------------------------------------------

void TImageLibThumbnails::keyPressEvent(QKeyEvent *event)
{
    if (!m_inputEnabled)
        return;
    if (event->matches(QKeySequence::SelectAll)) {
        for (Thumbnail &thumbnail : m_thumbnails)
            thumbnail.marked = true;
        viewport()->update();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
        if (m_current >= 0) {
            m_thumbnails[std::size_t(m_current)].marked = !m_thumbnails[std::size_t(m_current)].marked;
            viewport()->update();
        }
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_current >= 0)
            emit openRequested(m_current);
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
        MoveCurrent(event->key());
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TImageLibThumbnails::MoveCurrent(int key)
{
    if (Count() == 0)
        return;
    const int columns = Columns();
    const int from = std::max(m_current, 0);
    int to = from;
    switch (key) {
    case Qt::Key_Left:
        to = from - 1;
        break;
    case Qt::Key_Right:
        to = from + 1;
        break;
    case Qt::Key_Up:
        to = from - columns;
        break;
    case Qt::Key_Down:
        to = from + columns;
        break;
    case Qt::Key_Home:
        to = 0;
        break;
    default:
        to = Count() - 1;
        break;
    }
    SetCurrent(std::clamp(to, 0, Count() - 1));
}

void TImageLibThumbnails::mousePressEvent(QMouseEvent *event)
{
    if (!m_inputEnabled)
        return;
    setFocus(Qt::MouseFocusReason);
    const int index = IndexAt(event->position().toPoint());
    if (index < 0)
        return;
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    SetCurrent(index);
    if (control) {
        m_thumbnails[std::size_t(index)].marked = !m_thumbnails[std::size_t(index)].marked;
    } else if (event->button() != Qt::RightButton) {
        // A plain click starts anew; the right button keeps the marks for
        // the context menu.
        for (Thumbnail &thumbnail : m_thumbnails)
            thumbnail.marked = false;
    }
    viewport()->update();
}

void TImageLibThumbnails::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!m_inputEnabled)
        return;
    const int index = IndexAt(event->position().toPoint());
    if (index >= 0)
        emit thumbDoubleClicked(index);
}

void TImageLibThumbnails::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_inputEnabled)
        emit contextMenuRequested(event->globalPos());
}
