#pragma once

#include <QWidget>

class ButtonColumn;
class MultiViewList;
class QMenu;

// What the local and the remote pane share: a file list with a narrow
// column of buttons beside it, a context menu on the list, and the view
// choices the user makes in the pane's menus.
class FilePane : public QWidget {
    Q_OBJECT

signals:
    void viewStyleChosen(int view);
    void autoArrangeChosen(bool on);

protected:
    explicit FilePane(const QString &objectName, QWidget *parent = nullptr);

    // Puts the buttons on the given side of the list (Qt::LeftEdge or
    // Qt::RightEdge) and opens the menu where the list asks for it.
    void Assemble(MultiViewList *list, ButtonColumn *buttons, Qt::Edge buttonSide, QMenu *contextMenu);
};
