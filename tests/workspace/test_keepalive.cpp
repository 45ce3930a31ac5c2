// The keep-alive of the main session: NOOP after KeepAlive seconds of quiet,
// so that a server with an idle timeout keeps the session; never inside the
// wait of another command (its timer fires there too). Commands pressed
// while its own NOOP waits are in the commands-during-operations test.
#include "remotesessionfixture.h"

#include "keepalive.h"
#include "remotelistview.h"
#include "remotepane.h"
#include "statuspanels.h"

#include <QMenu>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;
using Kind = RealFtpServer::Kind;

namespace {

int Noops(const RealFtpServer &server)
{
    return int(server.commands().count(u"NOOP"_s));
}

} // namespace

class KeepAliveTest : public QObject {
    Q_OBJECT

private:
    RemoteSessionFixture m_fixture;

    TFTPqvx *Open(const RealFtpServer &server, int keepAlive, bool mlsd)
    {
        TFTPqvx *window = m_fixture.OpenWindow();
        if (!window)
            return nullptr;
        window->KeepAliveTimer()->SetInterval(keepAlive);
        m_fixture.Connect(server, mlsd);
        return window->Main().Connection.IsConnected() ? window : nullptr;
    }

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void cleanup() { m_fixture.Close(); }

    // vsftpd ends a session after 2 s without a command (the shortest
    // timing that still leaves the keep-alive's second of quiet some room).
    void keepsAnIdleSessionAlive_data()
    {
        QTest::addColumn<int>("keepAlive");
        QTest::addColumn<int>("idleMs");
        QTest::newRow("NOOP every second") << 1 << 5000;
        QTest::newRow("switched off") << 0 << 3500;
    }

    void keepsAnIdleSessionAlive()
    {
        QFETCH(int, keepAlive);
        QFETCH(int, idleMs);
        RealFtpServer server({.kind = Kind::Vsftpd, .idleSessionTimeout = 2, .files = {{u"da.txt"_s, "x"}}});
        START_OR_SKIP(server, Kind::Vsftpd);
        TFTPqvx *window = Open(server, keepAlive, false);
        QVERIFY(window);
        server.clearTranscript();

        QTest::qWait(idleMs);
        window->Remote()->RefreshButton->click();
        if (keepAlive > 0) {
            QVERIFY(window->Main().Connection.IsConnected());
            QVERIFY(Noops(server) >= 3);
            QVERIFY(RowNamed(window->Browser()->List(), u"da.txt"_s) > 0);
            QCOMPARE(window->Status()->PanelText(2), u"Fertig"_s);
            VERIFY_IN_STEP_ON_REAL_SERVER(window->Main().Connection);
        } else {
            QVERIFY(!window->Main().Connection.IsConnected());
            QCOMPARE(Noops(server), 0);
            QCOMPARE(window->Status()->PanelText(2), u"Disconnected"_s);
            QCOMPARE(window->Browser()->List()->RowCount(), 0);
        }
    }

    // The command waits 1.5 s for its answer, longer than the keep-alive's
    // second of quiet: its timer fires inside that wait. A single command
    // (MKD) sets no operation flag; a listing does.
    void neverInsideAnotherCommand_data()
    {
        QTest::addColumn<bool>("listing");
        QTest::newRow("MKD") << false;
        QTest::newRow("listing") << true;
    }

    void neverInsideAnotherCommand()
    {
        QFETCH(bool, listing);
        RealFtpServer server({.commandDelayMs = 1500, .delayedCommands = {u"MKD"_s, u"MLSD"_s}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        TFTPqvx *window = Open(server, 1, true);
        QVERIFY(window);
        server.clearTranscript();

        bool done = false;
        QVERIFY(window->Main().RunSessionCommand([&] {
            if (listing)
                window->Browser()->RefreshRemoteList();
            else
                done = window->Main().Connection.MakeDir(u"neu"_s);
        }));
        QCOMPARE(Noops(server), 0);
        QVERIFY(listing || done);

        // Once quiet, it does speak.
        QTRY_VERIFY_WITH_TIMEOUT(Noops(server) > 0, 5000);
        VERIFY_IN_STEP_ON_REAL_SERVER(window->Main().Connection);
    }

    // While the NOOP waits, the session counts as busy; a selection change
    // or a context menu then computes the commands disabled. Once the answer
    // is in, the commands are there again without any further event.
    void commandStatesFollowTheWait_data()
    {
        QTest::addColumn<bool>("contextMenu");
        QTest::newRow("selection changed meanwhile") << false;
        QTest::newRow("context menu opened meanwhile") << true;
    }

    void commandStatesFollowTheWait()
    {
        QFETCH(bool, contextMenu);
        RealFtpServer server(
            {.commandDelayMs = 1200, .delayedCommands = {u"NOOP"_s}, .files = {{u"da.txt"_s, "x"}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        TFTPqvx *window = Open(server, 1, true);
        QVERIFY(window);
        RemotePane *pane = window->Remote();
        RemoteListView *list = window->Browser()->List();
        const int file = RowNamed(list, u"da.txt"_s);
        QVERIFY(file > 0);
        if (contextMenu)
            list->SelectRow(file);
        QVERIFY(pane->RefreshButton->isEnabled());

        // The NOOP waits inside the keep-alive's timer, with the event loop
        // running: the user's action comes from within that wait.
        bool actedMeanwhile = false;
        bool disabledMeanwhile = false;
        QTimer user;
        user.setInterval(20);
        connect(&user, &QTimer::timeout, this, [&] {
            if (!window->Main().Flags.OperationBusy || actedMeanwhile)
                return;
            actedMeanwhile = true;
            // One NOOP is enough.
            window->KeepAliveTimer()->SetInterval(0);
            if (contextMenu)
                emit pane->ContextMenu->aboutToShow();
            else
                list->SelectRow(file);
            disabledMeanwhile = !pane->RefreshButton->isEnabled() && !pane->SpeedButton3->isEnabled();
        });
        user.start();
        QTRY_VERIFY_WITH_TIMEOUT(actedMeanwhile && !window->Main().Flags.OperationBusy, 5000);
        user.stop();
        QVERIFY(disabledMeanwhile);
        QVERIFY(Noops(server) >= 1);
        for (const QWidget *button :
             {static_cast<QWidget *>(pane->RefreshButton), static_cast<QWidget *>(pane->SpeedButton3),
              static_cast<QWidget *>(pane->SpeedButton9), static_cast<QWidget *>(pane->SpeedButton5)})
            QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
        QVERIFY(pane->download1->isEnabled());
        VERIFY_IN_STEP_ON_REAL_SERVER(window->Main().Connection);
    }
};

QTEST_MAIN(KeepAliveTest)
#include "test_keepalive.moc"
