#pragma once

#include <QDialog>
#include <QPushButton>
#include <QString>
#include <QStyle>

class QLabel;
class QLineEdit;
class QWidget;

// Pieces the prompt windows share.
namespace PromptWindow {

// Moves the window to the middle of its screen.
void CentreOnScreen(QWidget &window);
QLineEdit *ReadOnlyField(const QString &objectName);
QLabel *Text(const QString &objectName, const QString &text = QString());
// A decorative icon of the style.
QLabel *Icon(const QString &objectName, QStyle::StandardPixmap pixmap, const QWidget &window);

// A button that closes the dialog with the answer written to answerSlot.
// Enter presses the button that has the keyboard focus; the default button
// answers it only while no button has the focus.
template <class Answer>
QPushButton *AnswerButton(QDialog &dialog, const QString &objectName, const QString &caption,
                          Answer &answerSlot, Answer answer)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(objectName);
    button->setAutoDefault(true);
    QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &answerSlot, answer] {
        answerSlot = answer;
        dialog.done(QDialog::Accepted);
    });
    return button;
}

} // namespace PromptWindow
