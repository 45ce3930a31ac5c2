#pragma once

#include <QDialog>

#include <optional>

class QLabel;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class MainSession;
struct WindowParts;

// The folder tree of the connected server. It is built by walking every
// folder once, after the window has appeared, and kept until "Aktualisieren"
// or the end of the session. Browsing shows it beside the main window;
// choosing a folder (for moving entries) shows it modally with a prompt.
class TTreeDlg1 : public QDialog {
    Q_OBJECT

public:
    explicit TTreeDlg1(const WindowParts &parts);

    // Shows the tree without blocking the main window.
    void Browse();
    // Shows the tree modally with the prompt; the folder chosen, as
    // "/a/b/", or nothing when the window was closed otherwise.
    std::optional<QString> ChooseFolder(const QString &prompt);

    // The session came up: the tree may be built.
    void SessionStarted();
    // The session ended: the tree is emptied and the window closed.
    void SessionEnded();

    bool IsBuilding() const { return m_building; }
    // The path of a node: each name from the top followed by "/", after a "/".
    static QString PathOf(const QTreeWidgetItem *node);

    QToolButton *SpeedButton1 = nullptr;  // "Aktualisieren"
    QToolButton *SpeedButton2 = nullptr;  // "Auswählen"
    QToolButton *SpeedButton12 = nullptr; // "Schliessen"
    QLabel *Label1 = nullptr;             // the prompt; empty while browsing
    QTreeWidget *TreeView1 = nullptr;

public slots:
    // Closing by any means stops a running walk.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void BuildLayout();
    bool SelectionMode() const;
    void BuildWhenEmpty();
    void Refresh();
    void Build();
    void FinishBuild(const QString &rememberedFolder);
    QTreeWidgetItem *AddFolder(QTreeWidgetItem *parent, const QString &name);
    void Choose();
    void UpdateChooseButton();
    void EmptyTree();

    const WindowParts &m_parts;
    MainSession &m_session;
    QString m_chosenFolder;
    bool m_building = false;
    bool m_choosing = false; // ChooseFolder's window is open
    bool m_emptyAfterBuild = false;
    bool m_placed = false;
};
