#pragma once

// The main window with its transfers installed, logged in to a real server
// on 127.0.0.1, downloading into and uploading from a temporary folder.
// Header only; each test includes it once.

#include "../workspace/remotesessionfixture.h"

#include "locallistview.h"
#include "localpane.h"
#include "pathrow.h"
#include "promptanswer.h"
#include "remotepane.h"
#include "sessioncontrol.h"
#include "statuspanels.h"
#include "tfrageueberschreiben.h"
#include "transferprogress.h"
#include "transfers.h"

#include <QDirIterator>
#include <QPushButton>
#include <QToolButton>

using namespace Qt::StringLiterals;
using Kind = RealFtpServer::Kind;

class TransferWindow {
public:
    // Opens the window, logs in and shows the server's root folder; the
    // local pane shows an empty temporary folder.
    bool Open(RealFtpServer &server, bool useMlsd = true)
    {
        m_local = std::make_unique<QTemporaryDir>();
        if (!m_fixture.OpenWindow() || !m_local->isValid())
            return false;
        InstallTransfers(Window()->Parts());
        m_fixture.Connect(server, useMlsd);
        return Window()->Main().Connection.IsConnected() &&
               Window()->Local()->List->SetFolder(m_local->path());
    }
    // The program's next run over the same data folders, logged in again.
    bool Reopen(RealFtpServer &server)
    {
        if (!m_fixture.ReopenWindow())
            return false;
        InstallTransfers(Window()->Parts());
        m_fixture.Connect(server);
        return Window()->Main().Connection.IsConnected();
    }
    void Close() { m_fixture.Close(); }
    // Logs in again, after a disconnect, as a connect does.
    void Reconnect(RealFtpServer &server, bool useMlsd = true) { m_fixture.Connect(server, useMlsd); }

    TFTPqvx *Window() const { return m_fixture.Window(); }
    RemoteListView *List() const { return Window()->Remote()->List; }
    Transfers &Work() const { return *Transfers::Of(*Window()); }
    QString LocalRoot() const { return m_local->path(); }
    QString Local(const QString &relative) const { return m_local->filePath(relative); }
    QString ShownFolder() const { return Window()->Paths()->Edit1->text(); }
    QString Panel(int panel) const { return Window()->Status()->PanelText(panel); }

    // Selects the rows and presses the download button, as the user does.
    void Download(const QStringList &captions)
    {
        SelectCaptions(List(), captions);
        QVERIFY(Window()->Remote()->SpeedButton3->isEnabled());
        Window()->Remote()->SpeedButton3->click();
    }

    // Selects the entries of the local pane and presses the upload button.
    void Upload(const QStringList &names)
    {
        LocalListView *list = Window()->Local()->List;
        for (const QString &name : names) {
            QTRY_VERIFY(list->FindEntry(name).isValid());
            list->SelectionModel()->select(list->FindEntry(name),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        QToolButton *upload = Window()->Local()->SpeedButton18;
        QVERIFY(upload->isEnabled());
        upload->click();
    }

private:
    RemoteSessionFixture m_fixture;
    std::unique_ptr<QTemporaryDir> m_local;
};

// Answers each overwrite question with the next button of the list.
class OverwriteAnswers {
public:
    explicit OverwriteAnswers(const QStringList &buttons)
        : m_buttons(buttons)
        , m_answer([this](Tfrageueberschreiben &prompt, int index) {
            m_questions.append(prompt.Edit1->text());
            const QString button = m_buttons.value(index, u"Button5"_s);
            if (button == u"frame"_s)
                prompt.close();
            else
                prompt.findChild<QPushButton *>(button)->click();
        })
    {
    }

    // The existing file each question named, in order.
    const QStringList &Questions() const { return m_questions; }

private:
    QStringList m_buttons;
    QStringList m_questions;
    PromptAnswer<Tfrageueberschreiben> m_answer;
};
