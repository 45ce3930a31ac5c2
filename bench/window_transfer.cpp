// The main window downloads from an FTP or SFTP server as the user does it:
// the remote pane lists the server, a row is selected and the download
// button pressed. Prints the seconds from the connect to the end of the
// download, and on stderr the longest time the window's event loop did not
// turn meanwhile (measured with a 1 ms timer).
//
//   bench_window_transfer [sftp://]HOST PORT USER PASSWORD NAME LOCAL_FOLDER [PARALLEL]
//
// NAME is a file or a folder in the server's first folder; it is fetched
// into LOCAL_FOLDER with PARALLEL connections (Parallel_Transfers, the
// program's default when not given). An SFTP server's host key is taken
// without asking; BENCH_IDENTITY_FILE names a private key to log in with.
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include "locallistview.h"
#include "localpane.h"
#include "programstart.h"
#include "remotebrowser.h"
#include "remotelistmodel.h"
#include "remotelistview.h"
#include "remotepane.h"
#include "statuspanels.h"
#include "tftpqvx.h"
#include "transfers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// The longest pause between two turns of the event loop.
class GapMeter {
public:
    GapMeter()
    {
        m_turns.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_turns, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_last.restart()); });
        m_last.start();
        m_turns.start(1);
    }
    qint64 Longest() const { return m_longest; }

private:
    QTimer m_turns;
    QElapsedTimer m_last;
    qint64 m_longest = 0;
};

// Fills in the main session for the server named on the command line.
RemoteFileSystem &PrepareSession(MainSession &main, const QStringList &arguments)
{
    QString host = arguments[1];
    if (host.startsWith(u"sftp://"_s)) {
        SftpFileSystem &sftp = main.Sftp;
        sftp.Host = host.mid(7);
        sftp.Port = arguments[2].toInt();
        sftp.User = arguments[3];
        sftp.Password = arguments[4];
        sftp.IdentityFile = qEnvironmentVariable("BENCH_IDENTITY_FILE");
        sftp.UseAgent = false;
        sftp.AcceptNewHostKey = true;
        sftp.UserKnownHostsFile.clear();
        main.UseProtocol(RemoteFileSystem::Protocol::Sftp);
        return sftp;
    }
    TIdFTP &session = main.Connection;
    session.Host = host;
    session.Port = arguments[2].toInt();
    session.User = arguments[3];
    session.Password = arguments[4];
    session.Passive = true;
    session.UseNagle = false;
    return session;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 7 && arguments.size() != 8) {
        std::fputs("usage: bench_window_transfer HOST PORT USER PASSWORD NAME LOCAL_FOLDER [PARALLEL]\n",
                   stderr);
        return 2;
    }
    // The benchmark never reads or writes the user's own settings.
    QStandardPaths::setTestModeEnabled(true);
    InstallGermanLanguage(application);
    InstallUserInterfacePump();

    TFTPqvx window;
    window.CreateDialogs();
    InstallTransfers(window.Parts());
    if (arguments.size() == 8)
        window.Settings.Parallel_Transfers = arguments[7].toInt();
    window.show();
    QApplication::processEvents();
    window.Local()->List->SetFolder(arguments[6]);

    QElapsedTimer clock;
    clock.start();
    const GapMeter gaps;
    RemoteFileSystem &session = PrepareSession(window.Main(), arguments);
    window.Main().RunCommand([&] {
        session.ConnectAndLogin();
        if (TIdFTP *ftp = session.Ftp())
            ftp->ProbeFeatures(window.Main().Features);
        window.Browser()->RefreshRemoteList();
    });
    RemoteListView *list = window.Remote()->List;
    const int row = list->Rows()->FindCaption(arguments[5]);
    if (!session.IsConnected() || row < 0) {
        std::fprintf(stderr, "bench_window_transfer: %s not found on the server (%s)\n",
                     qPrintable(arguments[5]), qPrintable(window.Status()->PanelText(2)));
        return 1;
    }
    list->SelectRow(row);
    window.Remote()->SpeedButton3->click();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (window.Status()->PanelText(2) != u"Fertig"_s) {
        std::fprintf(stderr, "bench_window_transfer: %s\n", qPrintable(window.Status()->PanelText(2)));
        return 1;
    }
    session.Quit();
    std::printf("%.3f\n", seconds);
    std::fprintf(stderr, "longest event-loop gap: %lld ms\n", static_cast<long long>(gaps.Longest()));
    return 0;
}
