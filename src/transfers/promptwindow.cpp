#include "promptwindow.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

namespace PromptWindow {

void CentreOnScreen(QWidget &window)
{
    window.adjustSize();
    if (const QScreen *screen = window.screen()) {
        const QRect available = screen->availableGeometry();
        window.move(available.center() - QPoint(window.width() / 2, window.height() / 2));
    }
}

QLineEdit *ReadOnlyField(const QString &objectName)
{
    auto *field = new QLineEdit;
    field->setObjectName(objectName);
    field->setReadOnly(true);
    return field;
}

QLabel *Text(const QString &objectName, const QString &text)
{
    auto *label = new QLabel(text);
    label->setObjectName(objectName);
    return label;
}

QLabel *Icon(const QString &objectName, QStyle::StandardPixmap pixmap, const QWidget &window)
{
    QLabel *label = Text(objectName);
    label->setPixmap(window.style()->standardIcon(pixmap).pixmap(32, 32));
    return label;
}

} // namespace PromptWindow
