#include "buttoncolumn.h"

#include <QToolButton>

namespace {

constexpr int kButtonSize = 26;
constexpr int kSpacing = 2;
constexpr int kMargin = 2;

} // namespace

ButtonColumn::ButtonColumn(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

QToolButton *ButtonColumn::AddButton(const QString &objectName, const QString &hint,
                                     QStyle::StandardPixmap icon)
{
    return AddButton(objectName, hint, style()->standardIcon(icon, nullptr, this));
}

QToolButton *ButtonColumn::AddButton(const QString &objectName, const QString &hint, const QIcon &icon)
{
    auto *button = new QToolButton(this);
    button->setObjectName(objectName);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setText(hint.trimmed());
    button->setToolTip(hint);
    button->setAccessibleName(hint.trimmed());
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setAutoRaise(true);
    m_buttons.append(button);
    PlaceButtons();
    updateGeometry();
    return button;
}

QSize ButtonColumn::sizeHint() const
{
    return QSize(kButtonSize + 2 * kMargin, int(m_buttons.size()) * (kButtonSize + kSpacing));
}

QSize ButtonColumn::minimumSizeHint() const
{
    return QSize(sizeHint().width(), 0);
}

void ButtonColumn::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PlaceButtons();
}

void ButtonColumn::PlaceButtons()
{
    int top = 0;
    for (QToolButton *button : std::as_const(m_buttons)) {
        button->setGeometry(kMargin, top, kButtonSize, kButtonSize);
        top += kButtonSize + kSpacing;
    }
}
