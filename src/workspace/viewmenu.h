#pragma once

#include <QMenu>

class QAction;
class QActionGroup;

// A menu with the four views of a file list as radio items ("Große Symbole",
// "Kleine Symbole", the list view, "Details") and "Automatisch anordnen".
class ViewMenu : public QMenu {
    Q_OBJECT

public:
    // listCaption is the third item's text; the panes word it differently.
    ViewMenu(const QString &title, const QString &listCaption, const QString &objectNamePrefix,
             QWidget *parent = nullptr);

    // Set the check marks without reporting a choice.
    void SetView(int view);
    void SetAutoArrange(bool on);
    int View() const;
    bool AutoArrange() const;

    QAction *ViewAction(int view) const { return m_views.value(view); }
    QAction *AutoArrangeAction() const { return m_autoArrange; }

signals:
    void viewChosen(int view);
    void autoArrangeChosen(bool on);

private:
    QActionGroup *m_group;
    QList<QAction *> m_views;
    QAction *m_autoArrange;
};
