#include "symbols.h"

#include <QPainter>
#include <QPainterPath>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int kHeaderSize = 12;
constexpr int kStatusSize = 16;
const QColor kHeaderInk(60, 60, 110);

// A square transparent picture with smooth edges, drawn by draw.
QPixmap Drawn(int size, const std::function<void(QPainter &)> &draw)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return pixmap;
}

QPainterPath Polygon(std::initializer_list<QPointF> corners)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(corners)));
    path.closeSubpath();
    return path;
}

QPixmap LetterSymbol(const QString &letter)
{
    return Drawn(kHeaderSize, [&letter](QPainter &painter) {
        QFont font = painter.font();
        font.setPixelSize(10);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(kHeaderInk);
        painter.drawText(QRect(0, 0, kHeaderSize, kHeaderSize), Qt::AlignCenter, letter);
    });
}

QPixmap ClockSymbol()
{
    return Drawn(kHeaderSize, [](QPainter &painter) {
        painter.setPen(QPen(kHeaderInk, 1.2));
        painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        painter.drawLine(QPointF(6, 6), QPointF(6, 3));
        painter.drawLine(QPointF(6, 6), QPointF(8.5, 6));
    });
}

QPixmap TriangleSymbol(bool pointingUp)
{
    return Drawn(kHeaderSize, [pointingUp](QPainter &painter) {
        const QPainterPath triangle = pointingUp ? Polygon({{6, 2.5}, {10.5, 9.5}, {1.5, 9.5}})
                                                 : Polygon({{1.5, 2.5}, {10.5, 2.5}, {6, 9.5}});
        painter.fillPath(triangle, QColor(40, 90, 160));
    });
}

} // namespace

namespace Symbols {

QIcon ColumnSymbol(int column)
{
    switch (column) {
    case 0:
        return QIcon(LetterSymbol(u"A"_s));
    case 1:
        return QIcon(LetterSymbol(u"#"_s));
    case 2:
        return QIcon(ClockSymbol());
    default:
        return QIcon(LetterSymbol(u"i"_s));
    }
}

QIcon SortSymbol(int direction)
{
    return QIcon(TriangleSymbol(direction < 0));
}

QIcon Rename()
{
    return QIcon(Drawn(kStatusSize, [](QPainter &painter) {
        painter.setPen(QPen(QColor(70, 70, 70), 1));
        painter.setBrush(QColor(230, 180, 60));
        painter.drawPath(Polygon({{11, 2}, {14, 5}, {6, 13}, {2, 14}, {3, 10}}));
        painter.drawLine(QPointF(3, 10), QPointF(6, 13));
    }));
}

QPixmap Connected()
{
    return Drawn(kStatusSize, [](QPainter &painter) {
        const QColor green(0, 128, 0);
        painter.setPen(QPen(green, 2));
        painter.drawLine(QPointF(1, 8), QPointF(15, 8));
        painter.setPen(Qt::NoPen);
        painter.setBrush(green);
        painter.drawRoundedRect(QRectF(3, 4, 4, 8), 1, 1);
        painter.drawRoundedRect(QRectF(9, 4, 4, 8), 1, 1);
    });
}

QPixmap Lock()
{
    return Drawn(kStatusSize, [](QPainter &painter) {
        painter.setPen(QPen(QColor(90, 90, 90), 1.5));
        painter.drawArc(QRectF(4.5, 2, 7, 8), 0, 180 * 16);
        painter.drawLine(QPointF(4.5, 6), QPointF(4.5, 8));
        painter.drawLine(QPointF(11.5, 6), QPointF(11.5, 8));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(200, 150, 0));
        painter.drawRect(QRectF(3, 8, 10, 7));
    });
}

QPixmap Search()
{
    return Drawn(kStatusSize, [](QPainter &painter) {
        const QColor blue(30, 60, 140);
        painter.setPen(QPen(blue, 2));
        painter.drawEllipse(QRectF(2, 2, 8, 8));
        painter.setPen(QPen(blue, 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(10, 10), QPointF(14, 14));
    });
}

} // namespace Symbols
