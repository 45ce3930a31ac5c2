#pragma once

#include <QObject>
#include <QPointer>

class MainSession;
struct WindowParts;
class TUpdateDlg;

// The main window's connection list update: the tool button opens the
// update window, and when it closes the window reports how many entries
// the run added and offers the connection manager.
class ListUpdate : public QObject {
    Q_OBJECT

public:
    explicit ListUpdate(WindowParts &parts);

    // The update installed on the window, or null.
    static ListUpdate *Of(const QObject &window);

    void OpenListUpdate();
    // The update window while it is open.
    TUpdateDlg *UpdateWindow() const;

private:
    void Report(int newEntries);

    WindowParts &m_parts;
    MainSession &m_session;
    QPointer<TUpdateDlg> m_dialog;
};

// Called once after the main window was made.
ListUpdate &InstallListUpdate(WindowParts &parts);
