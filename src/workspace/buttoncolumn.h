#pragma once

#include <QStyle>
#include <QWidget>

class QToolButton;

// The narrow column of symbol buttons beside a pane, stacked from the top.
// When the pane is shorter than the column the lowest buttons are cut off
// rather than keeping the window from getting smaller. The hint is the
// button's tool tip and its accessible text.
class ButtonColumn : public QWidget {
    Q_OBJECT

public:
    explicit ButtonColumn(QWidget *parent = nullptr);

    QToolButton *AddButton(const QString &objectName, const QString &hint, const QIcon &icon);
    QToolButton *AddButton(const QString &objectName, const QString &hint, QStyle::StandardPixmap icon);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void PlaceButtons();

    QList<QToolButton *> m_buttons;
};
