#pragma once

#include "filepane.h"

class ButtonColumn;
class LocalListView;
class QAction;
class QComboBox;
class QMenu;
class QTimer;
class QToolButton;
class ViewMenu;

// The local pane: the folder list with its column of buttons beside it and
// its context menu. The path box above it lives in the path row; the pane
// keeps the two on the same folder once attached.
class LocalPane : public FilePane {
    Q_OBJECT

public:
    explicit LocalPane(QWidget *parent = nullptr);

    void AttachPathBox(QComboBox *pathBox);
    // Shows a folder typed into the path box: a full path, one below the
    // home folder ("~/Bilder") or one below the folder shown. False (and the
    // list stays) when there is no such folder.
    bool OpenTypedPath(const QString &typed);

    // Sets the list's view and the check marks of the "Ansichten" menu.
    void SetViewStyle(int view);
    void SetAutoArrange(bool on);

    // "Neuer Ordner erstellen...": a folder "Neuer Ordner", numbered
    // "Neuer Ordner (1)", "(2)" ... while the name is taken, whose caption
    // is opened for editing as soon as the list shows it. Returns its name,
    // or an empty text when it could not be created.
    QString CreateFolder();
    // The name the next new folder in this folder gets.
    static QString NewFolderName(const QString &folder);

    LocalListView *List = nullptr;          // LMDShellList1
    QToolButton *SpeedButton18 = nullptr;   // upload
    QToolButton *UpButton = nullptr;        // " Zurück"
    QToolButton *NewFolderButton = nullptr; // "Einen neuen Ordner in Explorer erstellen"
    QToolButton *RefreshButton = nullptr;   // "Explorer aktualisieren"
    QToolButton *ViewsButton = nullptr;     // "Ansichten"
    QMenu *ContextMenu = nullptr;
    ViewMenu *Views = nullptr;    // "Ansichten" submenu
    QMenu *ArrangeMenu = nullptr; // "Symbole anordnen..."
    QAction *ArrangeAuto = nullptr;
    QAction *RefreshRemoteItem = nullptr; // "&Aktualisieren", refreshes the remote pane
    QAction *NewFolderItem = nullptr;     // "Neuer Ordner erstellen..."
    QAction *Einfgen1 = nullptr;          // "Aus dem FTP Server einfügen"

private:
    void BuildButtons(ButtonColumn *column);
    void BuildContextMenu();
    void AddArrangeItem(const QString &caption, const QString &objectName, int sortKey);
    void ChooseAutoArrange(bool on);
    void GoUp();
    void EditNewFolderWhenShown();

    QTimer *m_newFolderTimer = nullptr;
    QString m_newFolderName; // the last folder created here, to be renamed
    int m_newFolderTicks = 0;
};
