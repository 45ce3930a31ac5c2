#include "listupdate.h"

#include "maintoolbar.h"
#include "sessioncontrol.h"
#include "tftpqvx.h"
#include "tupdatedlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QToolButton>

using namespace Qt::StringLiterals;

ListUpdate::ListUpdate(TFTPqvx &window)
    : QObject(&window)
    , m_window(window)
{
    setObjectName(u"ListUpdate"_s);
    connect(window.ToolBar()->SpeedButton19, &QToolButton::clicked, this, &ListUpdate::OpenListUpdate);
}

ListUpdate *ListUpdate::Of(const TFTPqvx &window)
{
    return window.findChild<ListUpdate *>(u"ListUpdate"_s, Qt::FindDirectChildrenOnly);
}

TUpdateDlg *ListUpdate::UpdateWindow() const
{
    return m_dialog;
}

void ListUpdate::OpenListUpdate()
{
    // The update window is modal and waits for its server in a loop of its own.
    if (m_dialog || m_window.SessionBusy()) {
        QApplication::beep();
        return;
    }
    const DataFolders &folders = m_window.Folders();
    UpdateEnvironment environment;
    environment.settingsFile = folders.SettingsFile();
    environment.tmpFolder = folders.TmpFolder();
    environment.treeFolder = folders.TreeFolder();
    environment.setActivity = [this](int code) { m_window.SetActivity(code); };
    environment.mainSessionConnected = [this] { return m_window.IdFTP1.IsConnected(); };
    environment.showError = [this](const QString &message) { m_window.ShowError(message); };

    m_dialog = new TUpdateDlg(environment, &m_window);
    const int answer = m_dialog->exec();
    const int newEntries = m_dialog->NewEntries();
    delete m_dialog;
    if (answer == QDialog::Accepted || newEntries > 0)
        Report(newEntries);
}

void ListUpdate::Report(int newEntries)
{
    if (newEntries < 0)
        return; // the window said there is no connection
    if (newEntries == 0) {
        QMessageBox::information(&m_window, QString(), u"Es sind keine neuen Einträge vorhanden"_s);
        return;
    }
    const QString title = newEntries == 1 ? u"1 neuer Eintrag"_s : u"%1 neue Einträge"_s.arg(newEntries);
    const QString text = newEntries == 1 ? u"Es ist 1 neuer Eintrag vorhanden. "_s
                                         : u"Es sind %1 neue Einträge vorhanden. "_s.arg(newEntries);
    const auto answer =
        QMessageBox::question(&m_window, title, text + u"Aktualisierte Verbindungsliste ansehen?"_s,
                              QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        m_window.Session()->EditConnections();
}

ListUpdate &InstallListUpdate(TFTPqvx &window)
{
    if (ListUpdate *installed = ListUpdate::Of(window))
        return *installed;
    return *new ListUpdate(window);
}
