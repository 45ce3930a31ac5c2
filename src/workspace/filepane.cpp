#include "filepane.h"

#include "buttoncolumn.h"
#include "multiviewlist.h"

#include <QHBoxLayout>
#include <QMenu>

FilePane::FilePane(const QString &objectName, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(objectName);
}

void FilePane::Assemble(MultiViewList *list, ButtonColumn *buttons, Qt::Edge buttonSide, QMenu *contextMenu)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(list, 1);
    layout->insertWidget(buttonSide == Qt::LeftEdge ? 0 : 1, buttons);
    connect(list, &MultiViewList::contextMenuRequested, contextMenu,
            [contextMenu](const QPoint &at) { contextMenu->popup(at); });
}
