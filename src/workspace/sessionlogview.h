#pragma once

#include <QListWidget>

class QAction;
class QMenu;

// The session log under the panes (ListBox1), with its context menu.
class SessionLogView : public QListWidget {
    Q_OBJECT

public:
    explicit SessionLogView(QWidget *parent = nullptr);

    QMenu *ContextMenu = nullptr;
    QAction *SaveLogItem = nullptr;   // "Logdatei speichern"
    QAction *ClearLogItem = nullptr;  // "Liste leeren"
    QAction *ToggleLogItem = nullptr; // "Log deaktivieren" / "Log aktivieren"
};
