#include "dialogtitleroom.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QScreen>

#include <algorithm>

namespace {

// The window manager's icon and buttons, in lines of the title's font.
constexpr int kDecorationLines = 8;

} // namespace

int DialogTitleRoom::WidthForTitle(const QString &title)
{
    // The font Qt itself assumes for title bars; managers often draw it bold.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(title) + kDecorationLines * metrics.height();
}

void DialogTitleRoom::MakeRoomForTitle(QWidget *window)
{
    int needed = WidthForTitle(window->windowTitle());
    if (const QScreen *screen = window->screen())
        needed = std::min(needed, screen->availableGeometry().width());
    const int missing = needed - window->width();
    if (missing <= 0)
        return;
    // Message boxes fix their size; a wider one stays fixed.
    if (window->minimumWidth() == window->maximumWidth())
        window->setFixedWidth(needed);
    else
        window->resize(needed, window->height());
    window->move(window->x() - missing / 2, window->y());
}

bool DialogTitleRoom::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show) {
        auto *dialog = qobject_cast<QDialog *>(watched);
        // A message box takes its size while it is being shown: widen after.
        if (dialog && dialog->isWindow() && !dialog->windowTitle().isEmpty())
            QMetaObject::invokeMethod(
                dialog, [dialog] { MakeRoomForTitle(dialog); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
