#pragma once

#include "connectionprofile.h"
#include "connectiontree.h"

#include <QDialog>
#include <QPointer>

#include <optional>

class ConnectionTreeStore;
class ConnectionTreeView;
class QAction;
class QMenu;
class QMenuBar;
class QPushButton;
class QTreeWidgetItem;
class TIdFTP;
class TPagesDlg;

// The connection manager: shows the saved connections, lets the user create,
// edit, rename, move and delete them and pick the one to connect to. The
// window is made once and reused; before each opening the caller sets the
// mode (and, once, the tree folder, the properties dialog and the session).
// In connect mode OK applies the chosen profile to the session.
class TVerblist : public QDialog {
    Q_OBJECT

public:
    enum class Mode { Connect, Manage };

    explicit TVerblist(QWidget *parent = nullptr);

    void SetMode(Mode mode) { m_mode = mode; }
    Mode CurrentMode() const { return m_mode; }
    void SetTreeFolder(const QString &folder);
    // Without one the window makes its own on first use.
    void SetPropertiesDialog(TPagesDlg *dialog);
    void SetSession(TIdFTP *session) { m_session = session; }
    // Where desktop shortcuts put the connection file and the launcher.
    void SetShortcutFolders(const QString &linksFolder, const QString &desktopFolder);
    // After OK in connect mode: the profile's values for the main window.
    const std::optional<MainWindowValues> &AppliedValues() const { return m_appliedValues; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // A node by what stays true across a reload from disk.
    struct NodeKey {
        QString groupPath;
        QString name;
        bool group = false;
    };

    void BuildMenus();
    QAction *AddAction(QWidget *menu, const QString &name, const QString &text, const QString &icon);
    void ArrangeForMode();
    void PlaceButtons();
    bool HasTree() const { return !m_treeFolder.isEmpty(); }
    ConnectionTreeStore Store() const;

    void ReloadTree(const std::optional<NodeKey> &select = std::nullopt);
    static NodeKey KeyOf(const ConnectionTreeNode &node);
    ConnectionTreeNode *FindNode(const NodeKey &key) const;
    ConnectionTreeNode *SelectedNode() const;
    void SelectionChanged();
    void UpdateCommandStates();
    void ShowContextMenu(const QPoint &position);
    void ClearCutMark();

    void NewConnection();
    void EditProperties();
    // The name the profile was saved under, or nothing when cancelled.
    std::optional<QString> OpenProperties(const QString &name, const QString &groupPath);
    void NewGroup();
    void Rename();
    void RemoveCurrent();
    bool Ask(const QString &caption, const QString &question);
    void Cut();
    void Paste();
    void MoveNode(ConnectionTreeNode *moved, ConnectionTreeNode *target);
    void CreateShortcut();
    void ConnectToCurrent();
    void DoubleClicked(QTreeWidgetItem *item);
    void LabelEdited(ConnectionTreeNode *node, const QString &text);

    Mode m_mode = Mode::Connect;
    QString m_treeFolder;
    QString m_linksFolder;
    QString m_desktopFolder;
    QPointer<TPagesDlg> m_propertiesDialog;
    TIdFTP *m_session = nullptr;
    std::optional<MainWindowValues> m_appliedValues;

    ConnectionTree m_tree;
    ConnectionTreeNode *m_current = nullptr;
    ConnectionTreeNode *m_cutNode = nullptr;
    int m_cutIndex = -1;
    // While a message box or the properties dialog is open, activation must
    // not rebuild the tree under the command that opened it.
    int m_modalDepth = 0;
    bool m_reloadedOnShow = false;

    ConnectionTreeView *TreeView1 = nullptr;
    QWidget *m_buttonPanel = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QMenuBar *MainMenu1 = nullptr;
    QMenu *PopupMenu1 = nullptr;

    QAction *NeueVerbindung1 = nullptr;
    QAction *NeueGruppe1 = nullptr;
    QAction *Bearbeiten1 = nullptr;
    QAction *Entfernen1 = nullptr;
    QAction *Abbrechen1 = nullptr;

    QAction *Bearbeiten2 = nullptr;
    QAction *NeueVerbindung2 = nullptr;
    QAction *NeueVerbindungsgruppe1 = nullptr;
    QAction *Umbenennen1 = nullptr;
    QAction *Entfernen2 = nullptr;
    QAction *Ausschneiden1 = nullptr;
    QAction *Einfgen1 = nullptr;
    QAction *VerknpfungaufdemDesktoperstellen1 = nullptr;
};
