#pragma once

#include "filepane.h"

class ButtonColumn;
class QAction;
class QMenu;
class QToolButton;
class RemoteListView;
class ViewMenu;

// The remote pane: the server folder list with its column of buttons and
// its context menu. The commands behind the buttons and items are wired by
// the session, transfer and file operation code; this class builds them.
class RemotePane : public FilePane {
    Q_OBJECT

public:
    explicit RemotePane(QWidget *parent = nullptr);

    // The state without a connection: every command that needs the server off.
    void DisableCommands();

    // Sets the list's view and the check marks of both view menus.
    void SetViewStyle(int view);
    void SetAutoArrange(bool on);

    RemoteListView *List = nullptr;          // ListView1
    QToolButton *SpeedButton3 = nullptr;     // download
    QToolButton *SpeedButton9 = nullptr;     // open / execute
    QToolButton *SpeedButton5 = nullptr;     // new folder
    QToolButton *SpeedButton6 = nullptr;     // rename
    QToolButton *SpeedButton7 = nullptr;     // delete
    QToolButton *RefreshButton = nullptr;    // "FTP Fenster aktualisieren"
    QToolButton *FolderTreeButton = nullptr; // "Baum Struktur anzeigen"
    QToolButton *SpeedButton10 = nullptr;    // abort the transfer
    QToolButton *ViewsButton = nullptr;      // "Ansichten", with ButtonViews
    ViewMenu *ButtonViews = nullptr;
    QMenu *ContextMenu = nullptr;
    QAction *AnsehenAusfhren1 = nullptr;        // "Ansehen / Ausführen"
    QAction *download1 = nullptr;               // "Downloaden"
    QAction *Kopieren1 = nullptr;               // "Kopieren"
    QAction *Einfgeh1 = nullptr;                // "Einfügen"
    QAction *NeuerOrdner1 = nullptr;            // "Neuer Ordner"
    QAction *Umbenenneb1 = nullptr;             // "Umbenennen"
    QAction *Bewegen1 = nullptr;                // "Bewegen..."
    QAction *entfernen1 = nullptr;              // "Löschen"
    QAction *RefreshItem = nullptr;             // "Aktualisieren"
    QAction *RawListingItem = nullptr;          // "Unformatierte Inhalte ansehen"
    QAction *FolderTreeItem = nullptr;          // "Baum Struktur anzeigen"
    ViewMenu *ContextViews = nullptr;           // "Ansicht"
    QAction *Datentransferabbrechen1 = nullptr; // "Datentransfer abbrechen"

private:
    void BuildButtons(ButtonColumn *column);
    void BuildContextMenu();
    QAction *AddItem(const QString &caption, const QString &objectName);
    void ConnectViewMenu(ViewMenu *menu);
};
