#pragma once

// The main window on a temporary home with the transfers and the search
// installed, as the program starts it, for the search window tests. Header
// only; each test includes it once.

#include "../workspace/remotesessionfixture.h"
#include "../workspace/sessionwindow.h"

#include "connectiontreeview.h"
#include "maintoolbar.h"
#include "modalanswer.h"
#include "remotepane.h"
#include "search.h"
#include "searchfixture.h"
#include "searchresultsmodel.h"
#include "sessioncontrol.h"
#include "sessionlogview.h"
#include "transfers.h"
#include "tsuchergdlg.h"
#include "tsuchwahldlg.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

class SearchWindowFixture {
public:
    static void InstallProgramServices() { RemoteSessionFixture::InstallProgramServices(); }

    bool PrepareHome() { return m_home.PrepareHome(); }

    // Null when the window did not come up. The search is installed before
    // the window shows, so that a results file argument reaches it.
    TFTPqvx *Open(const QStringList &arguments = {})
    {
        m_window = std::make_unique<TFTPqvx>(arguments);
        m_window->CreateDialogs();
        InstallTransfers(m_window->Parts());
        InstallSearch(m_window->Parts());
        m_window->show();
        return QTest::qWaitForWindowExposed(m_window.get()) ? m_window.get() : nullptr;
    }

    // Closes the window as the user does (the settings are written) and
    // opens it again on the same home.
    TFTPqvx *Reopen()
    {
        m_window->close();
        m_window.reset();
        return Open();
    }

    void Close()
    {
        for (TIdFTP *session : {&m_window->Main().Connection, &m_window->IdFTPSearch}) {
            if (session->IsConnected())
                session->CloseConnection();
        }
        m_window.reset();
        m_home.Close();
    }

    TFTPqvx *Window() const { return m_window.get(); }
    Search &Searching() const { return *Search::Of(*m_window); }
    TSuchergDlg &Results() const { return *Searching().Results(); }
    SearchResultsModel &Rows() const { return *Results().Rows(); }
    QString Home(const QString &relative = QString()) const { return m_home.Home(relative); }
    QString TreeFolder() const { return m_window->Folders().TreeFolder(); }

    bool Save(const QString &group, const QString &name, const ConnectionProfile &profile) const
    {
        const QString groupPath = group.isEmpty() ? QString() : group + QLatin1Char('/');
        QDir().mkpath(TreeFolder() + group);
        return ConnectionTreeStore(TreeFolder())
            .SaveConnection(groupPath, QString(), name, profile)
            .has_value();
    }

    // Rows as "server folder name", in list order.
    QStringList RowTexts() const
    {
        QStringList texts;
        for (const SearchHit &hit : Rows().Hits())
            texts.append(hit.server + QLatin1Char(' ') + hit.folder + QLatin1Char(' ') + hit.name);
        return texts;
    }

    // "Neue Suche": the options dialog gets the nodes selected and whatever
    // setOptions does, then "Suche starten"; the closing message is
    // answered. Returns the texts of every message box shown.
    QStringList RunSearch(const QStringList &nodes, const std::function<void(TSuchwahlDlg &)> &setOptions)
    {
        QStringList messages;
        ModalAnswer<QMessageBox> closing(
            [&messages](QMessageBox &box) {
                messages.append(box.informativeText().isEmpty() ? box.text()
                                                                : box.text() + u'\n' + box.informativeText());
                box.accept();
            },
            10);
        ModalAnswer<TSuchwahlDlg> options([&](TSuchwahlDlg &dialog) {
            dialog.TreeView1->clearSelection();
            for (const QString &node : nodes) {
                for (QTreeWidgetItem *item :
                     dialog.TreeView1->findItems(node, Qt::MatchExactly | Qt::MatchRecursive))
                    item->setSelected(true);
            }
            if (setOptions)
                setOptions(dialog);
            dialog.OKBtn->click();
        });
        m_window->ToolBar()->NeueSuche1->trigger();
        return messages;
    }

private:
    SessionWindow m_home; // the home only; the window is opened here
    std::unique_ptr<TFTPqvx> m_window;
};

// Options for a server with that many folders, each holding one "lied.mp3".
inline RealFtpServer::Options FoldersWithSongs(int folders, const QString &below = QString())
{
    RealFtpServer::Options options;
    for (int folder = 0; folder < folders; ++folder)
        options.files.insert(below + QStringLiteral("ordner%1/lied.mp3").arg(folder), "x");
    return options;
}

inline void ChooseMusic(TSuchwahlDlg &dialog)
{
    dialog.CheckBox8->click();
}
