// Where the main window opens after it was closed, on a real X server with a
// window manager that puts a frame with a title bar around it: Xvfb and
// openbox, which this program starts itself on a display of its own (the
// offscreen platform knows its frame before the window is shown, a real
// window manager only after). The test is skipped when either is missing.
#include "programstart.h"
#include "tftpqvx.h"
#include "tinifile.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"StartUp"_s;

// The frame as the window manager drew it (QWidget keeps the one it first
// saw, which may be from before the window was framed).
QRect FrameOf(const QWidget &window)
{
    return window.windowHandle() ? window.windowHandle()->frameGeometry() : window.frameGeometry();
}

bool OnPath(const char *program)
{
    return !QStandardPaths::findExecutable(QString::fromLocal8Bit(program)).isEmpty();
}

// An X server with a window manager, ended with this program (also when it
// dies: the children get SIGTERM when their parent goes).
class VirtualDesktop {
public:
    ~VirtualDesktop()
    {
        for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
            ::kill(*it, SIGTERM);
            ::waitpid(*it, nullptr, 0);
        }
    }

    // Empty when the desktop runs, else why not.
    std::string Start()
    {
        for (const char *program : {"Xvfb", "openbox"}) {
            if (!OnPath(program))
                return std::string(program) + " is not installed (scripts/install-deps.sh installs it)";
        }
        int displayPipe[2];
        if (::pipe(displayPipe) != 0)
            return "no pipe";
        const std::string fd = std::to_string(displayPipe[1]);
        Spawn({"Xvfb", "-displayfd", fd, "-screen", "0", "1280x800x24", "-nolisten", "tcp"}, displayPipe[1]);
        ::close(displayPipe[1]);
        const std::string display = ReadDisplay(displayPipe[0]);
        ::close(displayPipe[0]);
        if (display.empty())
            return "Xvfb did not start";
        ::setenv("DISPLAY", (":" + display).c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        Spawn({"openbox", "--sm-disable"}, -1);
        return {};
    }

private:
    void Spawn(const std::vector<std::string> &arguments, int keepOpen)
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            for (int other = 3; other < 256; ++other) {
                if (other != keepOpen)
                    ::close(other);
            }
            std::vector<char *> argv;
            for (const std::string &argument : arguments)
                argv.push_back(const_cast<char *>(argument.c_str()));
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        if (pid > 0)
            m_children.push_back(pid);
    }

    // Xvfb writes the number of the display it took, then a line end.
    static std::string ReadDisplay(int fd)
    {
        std::string number;
        pollfd wanted{fd, POLLIN, 0};
        while (::poll(&wanted, 1, 10000) > 0) {
            char c = 0;
            if (::read(fd, &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }
        return number;
    }

    std::vector<pid_t> m_children;
};

} // namespace

class WindowPlacementTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<TFTPqvx> m_window;

    QString SettingsFile() const { return m_home->filePath(u"Documents/QvxORNAFTPGlimra/glimra.ini"_s); }

    QRect SavedRect() const
    {
        const TIniFile ini(SettingsFile());
        const auto value = [&ini](const QString &key) { return ini.ReadInteger(kSection, key, -1); };
        return QRect(QPoint(value(u"Left"_s), value(u"Top"_s)),
                     QPoint(value(u"Right"_s) - 1, value(u"Bottom"_s) - 1));
    }

    // Shown and framed by the window manager.
    TFTPqvx *Start()
    {
        m_window = std::make_unique<TFTPqvx>();
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return nullptr;
        if (!QTest::qWaitFor([this] { return FrameOf(*m_window) != m_window->geometry(); }, 5000))
            return nullptr;
        return m_window.get();
    }

    void CloseWindow()
    {
        m_window->close();
        m_window.reset();
    }

private slots:
    void initTestCase()
    {
        InstallGermanLanguage(*QCoreApplication::instance());
        // openbox takes a moment to manage windows; a framed window says it
        // does. A window mapped while openbox takes over the screen may never
        // be exposed: it is shown again then.
        QWidget probe;
        probe.resize(200, 100);
        bool exposed = false;
        for (int attempt = 0; attempt < 3 && !exposed; ++attempt) {
            probe.hide();
            probe.show();
            exposed = QTest::qWaitForWindowExposed(&probe, 3000);
        }
        QVERIFY(exposed);
        QTRY_VERIFY_WITH_TIMEOUT(FrameOf(probe).top() < probe.geometry().top(), 10000);
    }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        qputenv("HOME", QFile::encodeName(m_home->path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->filePath(u".config"_s)));
        QVERIFY(QDir().mkpath(QFileInfo(SettingsFile()).absolutePath()));
        QFile settings(SettingsFile());
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[StartUp]\r\nSize_Save=-1\r\nPos_Save=-1\r\n");
    }

    void cleanup()
    {
        m_window.reset();
        m_home.reset();
    }

    // Closed, started, closed and started again: the window opens where it
    // was closed every time, framed as it was, and the stored values stay.
    void theWindowStaysWhereItWasClosed_data()
    {
        QTest::addColumn<bool>("maximized");
        QTest::newRow("normal window") << false;
        QTest::newRow("maximized window") << true;
    }

    void theWindowStaysWhereItWasClosed()
    {
        QFETCH(bool, maximized);
        TFTPqvx *window = Start();
        QVERIFY(window);
        window->setGeometry(QRect(120, 60, 700, 450));
        QTRY_COMPARE(window->geometry(), QRect(120, 60, 700, 450));
        const QRect framed = FrameOf(*window);
        if (maximized) {
            window->showMaximized();
            QTRY_VERIFY(window->isMaximized() && window->width() > 1000);
        }
        CloseWindow();
        const QRect saved = SavedRect();

        for (int start = 1; start <= 3; ++start) {
            const QByteArray round = "start " + QByteArray::number(start);
            const char *during = round.constData();
            window = Start();
            QVERIFY2(window, during);
            if (maximized) {
                QTRY_VERIFY2(window->isMaximized(), during);
                QVERIFY2(window->screen()->availableGeometry().contains(FrameOf(*window)), during);
            } else {
                QTRY_COMPARE(FrameOf(*window), framed);
            }
            CloseWindow();
            QCOMPARE(SavedRect(), saved);
        }
        window = Start();
        QVERIFY(window);
        if (maximized) {
            QTRY_VERIFY(window->isMaximized());
            window->showNormal();
        }
        QTRY_COMPARE(FrameOf(*window), framed);
    }
};

int main(int argc, char *argv[])
{
    VirtualDesktop desktop;
    const std::string missing = desktop.Start();
    if (!missing.empty()) {
        std::printf("SKIP: the window placement test needs an X server with a window manager: %s\n",
                    missing.c_str());
        return 77;
    }
    QApplication application(argc, argv);
    WindowPlacementTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "x11_windowplacement.moc"
