// The main window searches an FTP server as the user does it: "Neue Suche",
// the saved connection chosen in the search options, an OR term in the file
// names, "Suche starten". Prints the seconds from "Suche starten" to the
// closing message, the longest time the event loop did not turn meanwhile
// (milliseconds) and the number of hits.
//
//   bench_window_search HOST PORT USER PASSWORD TERM
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise, in the test mode of
// the data folders, so the user's own connection tree stays untouched.

#include "connectiontreestore.h"
#include "connectiontreeview.h"
#include "maintoolbar.h"
#include "programstart.h"
#include "search.h"
#include "searchresultsmodel.h"
#include "tftpqvx.h"
#include "transfers.h"
#include "tsuchergdlg.h"
#include "tsuchwahldlg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString kConnection = u"Benchmark"_s;

bool SaveConnection(const TFTPqvx &window, const QStringList &arguments)
{
    ConnectionProfile profile;
    profile.FTP_Server = arguments[1];
    profile.FTP_Port = arguments[2];
    profile.FTP_User = arguments[3];
    profile.FTP_Pass = arguments[4];
    profile.FTP_Passive = true;
    const ConnectionTreeStore store(window.Folders().TreeFolder());
    if (store.ConnectionExists(QString(), kConnection))
        return true;
    return store.SaveConnection(QString(), QString(), kConnection, profile).has_value();
}

// Answers the search options and the closing message as a user would, and
// times the event loop's turns in between.
class SearchDriver : public QObject {
public:
    explicit SearchDriver(const QString &term)
        : m_term(term)
    {
        connect(&m_answer, &QTimer::timeout, this, &SearchDriver::Answer);
        m_answer.start(5);
        m_turns.setTimerType(Qt::PreciseTimer);
        connect(&m_turns, &QTimer::timeout, this, &SearchDriver::Turn);
    }

    double Seconds() const { return double(m_searchTime) / 1000.0; }
    qint64 LongestGap() const { return m_longestGap; }

private:
    void Answer()
    {
        if (auto *options = qobject_cast<TSuchwahlDlg *>(QApplication::activeModalWidget());
            options && !m_clock.isValid()) {
            const auto items = options->TreeView1->findItems(kConnection, Qt::MatchExactly);
            if (items.isEmpty())
                return;
            items.first()->setSelected(true);
            options->CheckBox1->setChecked(true);
            options->CheckBox2->setChecked(false);
            options->Edit5->setText(m_term);
            m_clock.start();
            m_lastTurn.start();
            m_turns.start(1);
            options->OKBtn->click();
        } else if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                   box && m_clock.isValid() && m_searchTime < 0) {
            m_searchTime = m_clock.elapsed();
            m_turns.stop();
            box->accept();
        }
    }

    void Turn() { m_longestGap = std::max(m_longestGap, m_lastTurn.restart()); }

    QString m_term;
    QTimer m_answer;
    QTimer m_turns;
    QElapsedTimer m_clock;
    QElapsedTimer m_lastTurn;
    qint64 m_searchTime = -1;
    qint64 m_longestGap = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 6) {
        std::fputs("usage: bench_window_search HOST PORT USER PASSWORD TERM\n", stderr);
        return 2;
    }
    QStandardPaths::setTestModeEnabled(true);
    InstallGermanLanguage(application);
    InstallUserInterfacePump();

    TFTPqvx window;
    window.CreateDialogs();
    InstallTransfers(window.Parts());
    Search &search = InstallSearch(window.Parts());
    window.show();
    QApplication::processEvents();
    if (!SaveConnection(window, arguments)) {
        std::fputs("bench_window_search: cannot save the connection\n", stderr);
        return 1;
    }

    SearchDriver driver(arguments[5]);
    window.ToolBar()->NeueSuche1->trigger();
    if (driver.Seconds() < 0) {
        std::fputs("bench_window_search: the search did not finish\n", stderr);
        return 1;
    }
    std::printf("%.3f %lld %d\n", driver.Seconds(), static_cast<long long>(driver.LongestGap()),
                search.Results()->Rows()->rowCount());
    return 0;
}
