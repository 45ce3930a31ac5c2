#pragma once

#include <QObject>

class QWidget;

// Window managers cut a title that is wider than its window, and message
// boxes are sized by their text alone. Watching every dialog the program
// shows, this widens one whose title would be cut (never beyond its screen).
class DialogTitleRoom : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The width a window needs to show this title whole, with the window
    // manager's icon and buttons beside it.
    static int WidthForTitle(const QString &title);
    static void MakeRoomForTitle(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
