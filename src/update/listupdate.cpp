#include "listupdate.h"

#include "datafolders.h"
#include "mainsession.h"
#include "maintoolbar.h"
#include "sessioncontrol.h"
#include "sessionhost.h"
#include "tupdatedlg.h"
#include "windowparts.h"

#include <QApplication>
#include <QMessageBox>
#include <QToolButton>

using namespace Qt::StringLiterals;

ListUpdate::ListUpdate(WindowParts &parts)
    : QObject(parts.window)
    , m_parts(parts)
    , m_session(*parts.session)
{
    setObjectName(u"ListUpdate"_s);
    connect(parts.toolBar->SpeedButton19, &QToolButton::clicked, this, &ListUpdate::OpenListUpdate);
}

ListUpdate *ListUpdate::Of(const QObject &window)
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
    if (m_dialog || m_session.SessionBusy()) {
        QApplication::beep();
        return;
    }
    const DataFolders &folders = *m_parts.folders;
    UpdateEnvironment environment;
    environment.settingsFile = folders.SettingsFile();
    environment.tmpFolder = folders.TmpFolder();
    environment.treeFolder = folders.TreeFolder();
    environment.setActivity = [this](int code) { m_parts.host->SetActivity(code); };
    environment.mainSessionConnected = [this] { return m_session.Remote().IsConnected(); };
    environment.showError = [this](const QString &message) { m_session.ReportError(message); };

    m_dialog = new TUpdateDlg(environment, m_parts.window);
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
        QMessageBox::information(m_parts.window, QString(), u"Es sind keine neuen Einträge vorhanden"_s);
        return;
    }
    const QString title = newEntries == 1 ? u"1 neuer Eintrag"_s : u"%1 neue Einträge"_s.arg(newEntries);
    const QString text = newEntries == 1 ? u"Es ist 1 neuer Eintrag vorhanden. "_s
                                         : u"Es sind %1 neue Einträge vorhanden. "_s.arg(newEntries);
    const auto answer =
        QMessageBox::question(m_parts.window, title, text + u"Aktualisierte Verbindungsliste ansehen?"_s,
                              QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        m_parts.control->EditConnections();
}

ListUpdate &InstallListUpdate(WindowParts &parts)
{
    if (ListUpdate *installed = ListUpdate::Of(*parts.window))
        return *installed;
    return *new ListUpdate(parts);
}
