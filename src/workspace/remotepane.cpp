#include "remotepane.h"

#include "buttoncolumn.h"
#include "remotelistview.h"
#include "symbols.h"
#include "viewmenu.h"

#include <QMenu>
#include <QToolButton>

using namespace Qt::StringLiterals;

RemotePane::RemotePane(QWidget *parent)
    : FilePane(u"RemotePane"_s, parent)
{
    List = new RemoteListView(this);
    auto *buttons = new ButtonColumn(this);
    BuildButtons(buttons);
    BuildContextMenu();

    Assemble(List, buttons, Qt::LeftEdge, ContextMenu);
}

void RemotePane::BuildButtons(ButtonColumn *column)
{
    SpeedButton3 = column->AddButton(u"SpeedButton3"_s, u" Dateien vom FTP Server herunterladen"_s,
                                     QStyle::SP_ArrowLeft);
    SpeedButton9 =
        column->AddButton(u"SpeedButton9"_s, u"FTP Objekt Öffnen / Ausführen"_s, QStyle::SP_DialogOpenButton);
    SpeedButton5 = column->AddButton(u"SpeedButton5"_s, u" Einen neuen Ordner auf dem FTP Server erstellen"_s,
                                     QStyle::SP_FileDialogNewFolder);
    SpeedButton6 = column->AddButton(u"SpeedButton6"_s, u" FTP Objekt umbenennen"_s, Symbols::Rename());
    SpeedButton7 = column->AddButton(u"SpeedButton7"_s, u"Löschen"_s, QStyle::SP_TrashIcon);
    RefreshButton =
        column->AddButton(u"RemoteRefreshButton"_s, u"FTP Fenster aktualisieren"_s, QStyle::SP_BrowserReload);
    FolderTreeButton =
        column->AddButton(u"FolderTreeButton"_s, u"Baum Struktur anzeigen"_s, QStyle::SP_DirIcon);
    SpeedButton10 =
        column->AddButton(u"SpeedButton10"_s, u"Datenübertragung abbrechen"_s, QStyle::SP_BrowserStop);
    ViewsButton =
        column->AddButton(u"RemoteViewsButton"_s, u"Ansichten"_s, QStyle::SP_FileDialogDetailedView);

    ButtonViews = new ViewMenu(u"Ansichten"_s, u"List"_s, u"RemoteButtonViews"_s, this);
    ViewsButton->setMenu(ButtonViews);
    ViewsButton->setPopupMode(QToolButton::InstantPopup);
    ConnectViewMenu(ButtonViews);
}

void RemotePane::BuildContextMenu()
{
    ContextMenu = new QMenu(this);
    ContextMenu->setObjectName(u"RemoteContextMenu"_s);
    AnsehenAusfhren1 = AddItem(u"Ansehen / Ausführen"_s, u"AnsehenAusfhren1"_s);
    download1 = AddItem(u"Downloaden"_s, u"download1"_s);
    ContextMenu->addSeparator();
    Kopieren1 = AddItem(u"Kopieren"_s, u"Kopieren1"_s);
    Einfgeh1 = AddItem(u"Einfügen"_s, u"Einfgeh1"_s);
    ContextMenu->addSeparator();
    NeuerOrdner1 = AddItem(u"Neuer Ordner"_s, u"NeuerOrdner1"_s);
    Umbenenneb1 = AddItem(u"Umbenennen"_s, u"Umbenenneb1"_s);
    Bewegen1 = AddItem(u"Bewegen..."_s, u"Bewegen1"_s);
    entfernen1 = AddItem(u"Löschen"_s, u"entfernen1"_s);
    ContextMenu->addSeparator();
    RefreshItem = AddItem(u"Aktualisieren"_s, u"RemoteRefreshItem"_s);
    RawListingItem = AddItem(u"Unformatierte Inhalte ansehen"_s, u"RawListingItem"_s);
    FolderTreeItem = AddItem(u"Baum Struktur anzeigen"_s, u"FolderTreeItem"_s);
    ContextMenu->addSeparator();
    ContextViews = new ViewMenu(u"Ansicht"_s, u"List"_s, u"RemoteContextViews"_s, ContextMenu);
    ContextMenu->addMenu(ContextViews);
    ConnectViewMenu(ContextViews);
    ContextMenu->addSeparator();
    Datentransferabbrechen1 = AddItem(u"Datentransfer abbrechen"_s, u"Datentransferabbrechen1"_s);
}

QAction *RemotePane::AddItem(const QString &caption, const QString &objectName)
{
    QAction *item = ContextMenu->addAction(caption);
    item->setObjectName(objectName);
    return item;
}

void RemotePane::ConnectViewMenu(ViewMenu *menu)
{
    connect(menu, &ViewMenu::viewChosen, this, [this](int view) {
        SetViewStyle(view);
        emit viewStyleChosen(view);
    });
    connect(menu, &ViewMenu::autoArrangeChosen, this, [this](bool on) {
        SetAutoArrange(on);
        emit autoArrangeChosen(on);
    });
}

void RemotePane::DisableCommands()
{
    for (QToolButton *button : {SpeedButton3, SpeedButton5, SpeedButton6, SpeedButton7, RefreshButton,
                                SpeedButton9, SpeedButton10, FolderTreeButton})
        button->setEnabled(false);
    for (QAction *item :
         {RawListingItem, download1, NeuerOrdner1, Umbenenneb1, Bewegen1, entfernen1, RefreshItem,
          AnsehenAusfhren1, Datentransferabbrechen1, FolderTreeItem, Kopieren1, Einfgeh1})
        item->setEnabled(false);
}

void RemotePane::SetViewStyle(int view)
{
    List->SetViewStyle(view);
    ButtonViews->SetView(view);
    ContextViews->SetView(view);
}

void RemotePane::SetAutoArrange(bool on)
{
    List->SetAutoArrange(on);
    ButtonViews->SetAutoArrange(on);
    ContextViews->SetAutoArrange(on);
}
