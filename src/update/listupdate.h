#pragma once

#include <QObject>
#include <QPointer>

class TFTPqvx;
class TUpdateDlg;

// The main window's connection list update: the tool button opens the
// update window, and when it closes the window reports how many entries
// the run added and offers the connection manager.
class ListUpdate : public QObject {
    Q_OBJECT

public:
    explicit ListUpdate(TFTPqvx &window);

    // The update installed on the window, or null.
    static ListUpdate *Of(const TFTPqvx &window);

    void OpenListUpdate();
    // The update window while it is open.
    TUpdateDlg *UpdateWindow() const;

private:
    void Report(int newEntries);

    TFTPqvx &m_window;
    QPointer<TUpdateDlg> m_dialog;
};

// Called once after the main window was made.
ListUpdate &InstallListUpdate(TFTPqvx &window);
