#pragma once

#include <QString>
#include <QStyle>

class QDialog;
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

} // namespace PromptWindow
