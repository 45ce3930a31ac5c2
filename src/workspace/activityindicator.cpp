#include "activityindicator.h"

#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

struct LampLook {
    QColor left;
    QColor right;
    bool large;
};

LampLook LookFor(int code)
{
    const QColor green(0, 128, 0);
    const QColor brightGreen(0, 255, 0);
    switch (code) {
    case 0:
        return {Qt::black, Qt::black, true};
    case 1:
        return {green, green, true};
    case 2:
        return {brightGreen, green, false};
    case 3:
        return {green, brightGreen, false};
    default:
        return {QColor(128, 128, 128), QColor(128, 128, 128), false};
    }
}

// Rectangles given as left, top, right, bottom with right and bottom excluded.
QRect Lamp(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

} // namespace

ActivityIndicator::ActivityIndicator(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(u"ActivityIndicator"_s);
    setFixedSize(32, 16);
    setToolTip(u"Disconnected"_s);
    SetActivity(0);
}

void ActivityIndicator::SetActivity(int code)
{
    // The lamp is set around every command and reply; only a change is drawn.
    if (code == m_code && !pixmap().isNull())
        return;
    m_code = code;
    setPixmap(Picture(code));
}

QPixmap ActivityIndicator::Picture(int code)
{
    QPixmap picture(32, 16);
    picture.fill(QColor(192, 192, 192));
    QPainter painter(&picture);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(0, 0, 31, 15);

    const LampLook look = LookFor(code);
    if (look.large) {
        painter.fillRect(Lamp(3, 2, 11, 8), look.left);
        painter.fillRect(Lamp(20, 2, 28, 8), look.right);
    } else {
        painter.fillRect(Lamp(4, 3, 10, 7), look.left);
        painter.fillRect(Lamp(21, 3, 27, 7), look.right);
    }
    return picture;
}
