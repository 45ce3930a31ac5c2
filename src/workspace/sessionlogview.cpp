#include "sessionlogview.h"

#include <QMenu>

using namespace Qt::StringLiterals;

SessionLogView::SessionLogView(QWidget *parent)
    : QListWidget(parent)
{
    setObjectName(u"ListBox1"_s);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    ContextMenu = new QMenu(this);
    ContextMenu->setObjectName(u"LogContextMenu"_s);
    SaveLogItem = ContextMenu->addAction(u"Logdatei speichern"_s);
    SaveLogItem->setObjectName(u"SaveLogItem"_s);
    ClearLogItem = ContextMenu->addAction(u"Liste leeren"_s);
    ClearLogItem->setObjectName(u"ClearLogItem"_s);
    ToggleLogItem = ContextMenu->addAction(u"Log deaktivieren"_s);
    ToggleLogItem->setObjectName(u"ToggleLogItem"_s);

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { ContextMenu->popup(viewport()->mapToGlobal(at)); });
    connect(ClearLogItem, &QAction::triggered, this, &QListWidget::clear);
}
