#include "activityindicator.h"
#include "locallistview.h"
#include "localpane.h"
#include "maintoolbar.h"
#include "programstart.h"
#include "remotelistview.h"
#include "remotepane.h"
#include "statuspanels.h"
#include "tftpqvx.h"
#include "tinifile.h"
#include "tsetup.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <memory>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"StartUp"_s;
// The frame the offscreen platform draws around a window, on each side.
constexpr int kFrame = 2;

// The keys in the order the window writes them: four columns in each pane,
// no search results window.
QStringList WriteOrder()
{
    QStringList keys{u"Ansicht_Lokal"_s,
                     u"Ansicht_FTP"_s,
                     u"Ansicht_Lokal_Save"_s,
                     u"Ansicht_FTP_Save"_s,
                     u"Autoan_Lokal"_s,
                     u"Autoan_FTP"_s,
                     u"Last_Folder"_s,
                     u"Folder"_s,
                     u"Size_Save"_s,
                     u"Pos_Save"_s,
                     u"No_Prompt_Overwrite"_s,
                     u"New_Only"_s,
                     u"All_Delete"_s,
                     u"Delete_Confirm"_s,
                     u"WSTime_Use"_s,
                     u"Parallel_Transfers"_s,
                     u"Split1"_s,
                     u"Split2"_s,
                     u"Left"_s,
                     u"Top"_s,
                     u"Right"_s,
                     u"Bottom"_s,
                     u"Maximized"_s,
                     u"VLeft"_s,
                     u"VTop"_s,
                     u"VRight"_s,
                     u"VBottom"_s,
                     u"searchlist_s"_s,
                     u"searchlist_r"_s,
                     u"ftplist_s"_s,
                     u"ftplist_r"_s};
    for (int n = 0; n < 4; ++n)
        keys << u"Left_Col%1"_s.arg(n) << u"Right_Col%1"_s.arg(n);
    keys << u"DiaXt"_s << u"DiaY"_s << u"DiaColor"_s << u"DiaShow"_s << u"KeepAlive"_s
         << u"Keep_Upload_Time"_s << u"Passwords_Keyring"_s;
    return keys;
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The immutable flag keeps even root from deleting a file.
bool SetImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
}

QRect InWindow(const QWidget *widget)
{
    return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

QColor PixelOf(const QPixmap &picture, int x, int y)
{
    return picture.toImage().pixelColor(x, y);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<TFTPqvx> m_window;

    QString Root() const { return m_home->filePath(u"Documents/QvxORNAFTPGlimra/"_s); }
    QString SettingsFile() const { return Root() + u"glimra.ini"_s; }

    void WriteSettings(const QByteArray &keyLines) { WriteBytes(SettingsFile(), "[StartUp]\r\n" + keyLines); }

    TFTPqvx *Start(const QStringList &arguments = {})
    {
        m_window = std::make_unique<TFTPqvx>(arguments);
        m_window->CreateDialogs();
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return nullptr;
        return m_window.get();
    }

    template <typename T> T *Find(const QString &name) const { return m_window->findChild<T *>(name); }

private slots:
    void initTestCase() { InstallGermanLanguage(*QCoreApplication::instance()); }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        qputenv("HOME", QFile::encodeName(m_home->path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->filePath(u".config"_s)));
    }

    void cleanup()
    {
        m_window.reset();
        m_home.reset();
    }

    void firstStartCreatesTheFoldersAndCloseWritesEveryKey()
    {
        TFTPqvx *window = Start();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), u"FTP Glimra"_s);
        for (const QString &folder : {u"Inhaltsverzeichnis"_s, u"tmp"_s, u"work"_s, u"Links"_s, u"images"_s})
            QVERIFY2(QFileInfo(Root() + folder).isDir(), qPrintable(folder));
        QCOMPARE(window->size(), QSize(682, 438));
        const QRect screen = window->screen()->availableGeometry();
        QCOMPARE(window->pos(),
                 QPoint(screen.x() + (screen.width() - 682) / 2, screen.y() + (screen.height() - 438) / 2));
        QCOMPARE(Find<RemoteListView>(u"ListView1"_s)->ViewStyle(), 3);
        QCOMPARE(Find<LocalListView>(u"LMDShellList1"_s)->ViewStyle(), 3);

        WriteBytes(Root() + u"work/opened.txt"_s, "edited");
        WriteBytes(Root() + u"Inhaltsverzeichnis/Gruppe/inhalt.ini"_s,
                   "[Server]\r\nFTP_Server=127.0.0.1\r\n");
        window->close();

        QStringList expected = WriteOrder();
        // A key the section lacks goes directly under the header, so a
        // fresh file lists the keys last-written first.
        std::reverse(expected.begin(), expected.end());
        QCOMPARE(TIniFile(SettingsFile()).ReadSection(kSection), expected);
        QCOMPARE(TIniFile(SettingsFile()).ReadString(kSection, u"Folder"_s, QString()), m_home->path());
        QCOMPARE(ReadBytes(Root() + u"Kopie von glimra.ini"_s), ReadBytes(SettingsFile()));
        QVERIFY(QFileInfo::exists(Root() + u"Inhaltsverzeichnis/Gruppe/Kopie von inhalt.ini"_s));
        QVERIFY(!QFileInfo::exists(Root() + u"work/opened.txt"_s));
    }

    void sortSettingsOutOfRangeAreReplaced()
    {
        WriteSettings("ftplist_s=4\r\nsearchlist_s=5\r\nftplist_r=0\r\nsearchlist_r=1\r\n");
        TFTPqvx *window = Start();
        QVERIFY(window);
        window->close();
        const TIniFile ini(SettingsFile());
        QCOMPARE(ini.ReadInteger(kSection, u"ftplist_s"_s, 99), 0);
        QCOMPARE(ini.ReadInteger(kSection, u"searchlist_s"_s, 99), 5);
        QCOMPARE(ini.ReadInteger(kSection, u"ftplist_r"_s, 99), -1);
        QCOMPARE(ini.ReadInteger(kSection, u"searchlist_r"_s, 99), 1);
    }

    void savedRectangleIsRestored_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<QRect>("expected");
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        // The designed window's frame is centred.
        const QRect designed(available.x() + (available.width() - 682) / 2 + kFrame,
                             available.y() + (available.height() - 438) / 2 + kFrame, 682, 438);
        // The saved values are the inner rectangle; centred is the frame.
        QTest::newRow("size only is centred")
            << QByteArray("Size_Save=-1\r\nLeft=100\r\nTop=100\r\nRight=500\r\nBottom=400\r\n")
            << QRect((available.width() - 400 - 2 * kFrame) / 2 + kFrame,
                     (available.height() - 300 - 2 * kFrame) / 2 + kFrame, 400, 300);
        QTest::newRow("position only")
            << QByteArray("Pos_Save=-1\r\nLeft=30\r\nTop=40\r\nRight=300\r\nBottom=400\r\n")
            << QRect(30, 40, 682, 438);
        QTest::newRow("position only, right edge off screen")
            << QByteArray("Pos_Save=-1\r\nLeft=-700\r\nTop=40\r\nRight=-100\r\nBottom=400\r\n") << designed;
        QTest::newRow("size and position")
            << QByteArray("Size_Save=-1\r\nPos_Save=-1\r\nLeft=10\r\nTop=20\r\nRight=610\r\nBottom=470\r\n")
            << QRect(10, 20, 600, 450);
        QTest::newRow("not asked for")
            << QByteArray("Left=10\r\nTop=20\r\nRight=610\r\nBottom=470\r\n") << designed;
    }

    void savedRectangleIsRestored()
    {
        QFETCH(QByteArray, keys);
        QFETCH(QRect, expected);
        WriteSettings(keys);
        TFTPqvx *window = Start();
        QVERIFY(window);
        QCOMPARE(window->geometry().left() - window->frameGeometry().left(), kFrame);
        QCOMPARE(window->geometry(), expected);
    }

    QRect SavedRect() const
    {
        const TIniFile ini(SettingsFile());
        const auto value = [&ini](const QString &key) { return ini.ReadInteger(kSection, key, -1); };
        return QRect(QPoint(value(u"Left"_s), value(u"Top"_s)),
                     QPoint(value(u"Right"_s) - 1, value(u"Bottom"_s) - 1));
    }

    bool SavedMaximized() const { return TIniFile(SettingsFile()).ReadBool(kSection, u"Maximized"_s, false); }

    // Closed maximized, the window stores the rectangle it had before and
    // that it was maximized; the next start opens maximized over that
    // rectangle, and closing again stores the same values.
    void closedMaximizedStartsMaximizedOverItsNormalRectangle()
    {
        WriteSettings("Size_Save=-1\r\nPos_Save=-1\r\n");
        TFTPqvx *window = Start();
        QVERIFY(window);
        const QRect normal(QPoint(40, 30), QSize(600, 400));
        window->setGeometry(normal);
        QTRY_COMPARE(window->geometry(), normal);
        window->showMaximized();
        QTRY_VERIFY(window->isMaximized() && window->height() > 400);
        for (int round = 0; round < 2; ++round) {
            window->close();
            QCOMPARE(SavedRect(), normal);
            QVERIFY(SavedMaximized());
            m_window.reset();
            window = Start();
            QVERIFY(window);
            QTRY_VERIFY(window->isMaximized());
            QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
        }
        window->showNormal();
        QTRY_COMPARE(window->geometry(), normal);
    }

    // Values a larger screen left behind (a window taller than this screen,
    // its title bar above the top edge) are not restored: the window opens
    // in its designed size, centred, and maximized as it was closed.
    void aRectangleOfALargerScreenGivesTheDesignedSize_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<bool>("maximized");
        QTest::newRow("maximized on a larger screen")
            << QByteArray("Left=-4\r\nTop=-11\r\nRight=1924\r\nBottom=1189\r\nMaximized=-1\r\n") << true;
        QTest::newRow("normal window of a larger screen")
            << QByteArray("Left=100\r\nTop=80\r\nRight=1700\r\nBottom=1080\r\n") << false;
        QTest::newRow("placed on a screen that is gone")
            << QByteArray("Left=2000\r\nTop=100\r\nRight=2600\r\nBottom=500\r\n") << false;
    }

    void aRectangleOfALargerScreenGivesTheDesignedSize()
    {
        QFETCH(QByteArray, keys);
        QFETCH(bool, maximized);
        WriteSettings("Size_Save=-1\r\nPos_Save=-1\r\n" + keys);
        TFTPqvx *window = Start();
        QVERIFY(window);
        QTRY_COMPARE(window->isMaximized(), maximized);
        window->showNormal();
        const QRect available = window->screen()->availableGeometry();
        QTRY_COMPARE(window->size(), QSize(682, 438));
        QVERIFY(available.contains(window->frameGeometry()));
        QCOMPARE(window->pos(), QPoint(available.x() + (available.width() - 682) / 2,
                                       available.y() + (available.height() - 438) / 2));
    }

    void savedSplitsViewsAndColumnsAreRestored()
    {
        WriteSettings("Ansicht_Lokal_Save=-1\r\nAnsicht_FTP_Save=-1\r\nSplit1=0,3\r\nSplit2=0,6\r\n"
                      "Ansicht_Lokal=0\r\nAnsicht_FTP=2\r\nAutoan_FTP=-1\r\nRight_Col0=222\r\nLeft_Col1=0\r\n"
                      "Left_Col2=55\r\n");
        TFTPqvx *window = Start();
        QVERIFY(window);
        const QSplitter *area = window->SplitArea();
        QCOMPARE(window->PaneSplitter()->sizes().value(0), qRound(area->width() * 0.3));
        QCOMPARE(area->sizes().value(0), qRound(area->height() * 0.6));

        const auto *remote = Find<RemoteListView>(u"ListView1"_s);
        const auto *local = Find<LocalListView>(u"LMDShellList1"_s);
        QCOMPARE(local->ViewStyle(), 0);
        QCOMPARE(local->currentWidget(), static_cast<QWidget *>(local->IconView()));
        QCOMPARE(remote->ViewStyle(), 2);
        const QList<int> remoteWidths = remote->ColumnWidths();
        // A saved name width is where the column starts; it takes the free width.
        QVERIFY(remote->FitsColumns());
        QCOMPARE(std::accumulate(remoteWidths.cbegin(), remoteWidths.cend(), 0),
                 remote->DetailsView()->viewport()->width());
        // Not saved: as wide as their content and captions need.
        const QHeaderView *remoteHeader = remote->DetailsView()->header();
        for (int column = 1; column < 4; ++column)
            QVERIFY(remoteWidths.value(column) >= remoteHeader->sectionSizeHint(column));
        QVERIFY(local->ColumnWidths().value(1) > 20); // a saved 0 would hide the column
        QVERIFY(local->ColumnWidths().value(2) >= 55);
        for (const QString &checked :
             {u"LocalViewsView0"_s, u"RemoteContextViewsView2"_s, u"RemoteButtonViewsView2"_s,
              u"RemoteContextViewsAutoArrange"_s, u"RemoteButtonViewsAutoArrange"_s})
            QVERIFY2(Find<QAction>(checked)->isChecked(), qPrintable(checked));
        QVERIFY(!Find<QAction>(u"LocalViewsAutoArrange"_s)->isChecked());
        const QStringList captions{u"Name"_s, u"Größe"_s, u"Datum"_s, u"Info"_s};
        for (int column = 0; column < captions.size(); ++column)
            QCOMPARE(remote->Model()->headerData(column, Qt::Horizontal).toString(), captions[column]);
    }

    void aSplitTooCloseToTheEdgeKeepsTheBar()
    {
        WriteSettings("Ansicht_FTP_Save=-1\r\n");
        QVERIFY(Start());
        const int unchanged = m_window->SplitArea()->sizes().value(0);
        const int height = m_window->SplitArea()->height();
        m_window.reset();
        QVERIFY(qRound(height * 0.01) <= 20);

        WriteSettings("Ansicht_FTP_Save=-1\r\nSplit2=0,01\r\n");
        QVERIFY(Start());
        QCOMPARE(m_window->SplitArea()->sizes().value(0), unchanged);
    }

    void aStartWithArgumentsWritesNothing()
    {
        const QByteArray settings = "[StartUp]\r\nAnsicht_FTP=1\r\n";
        WriteBytes(SettingsFile(), settings);
        WriteBytes(Root() + u"work/opened.txt"_s, "edited");
        TFTPqvx *window = Start({u"verbindung.glimra"_s});
        QVERIFY(window);
        QVERIFY(window->StartedWithArguments());
        window->close();
        QCOMPARE(ReadBytes(SettingsFile()), settings);
        QVERIFY(!QFileInfo::exists(Root() + u"Kopie von glimra.ini"_s));
        QVERIFY(QFileInfo::exists(Root() + u"work/opened.txt"_s));
    }

    void aWorkFileThatCannotBeDeletedDoesNotStopTheClose()
    {
        const QString stuck = Root() + u"work/stuck.txt"_s;
        WriteBytes(stuck, "in use");
        WriteBytes(Root() + u"work/other.txt"_s, "done");
        if (!SetImmutable(stuck, true))
            QSKIP("this file system or user cannot make a file undeletable");
        TFTPqvx *window = Start();
        QVERIFY(window);
        window->close();
        SetImmutable(stuck, false);
        QVERIFY(QFileInfo::exists(stuck));
        QVERIFY(!QFileInfo::exists(Root() + u"work/other.txt"_s));
        QVERIFY(TIniFile(SettingsFile()).ValueExists(kSection, u"DiaShow"_s));
        QVERIFY(QFileInfo::exists(Root() + u"Kopie von glimra.ini"_s));
    }

    void settingsDialog_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("OK stores") << u"OKBtn"_s;
        QTest::newRow("Abbrechen changes nothing") << u"CancelBtn"_s;
    }

    void settingsDialog()
    {
        QFETCH(QString, button);
        WriteSettings("New_Only=0\r\nDelete_Confirm=0\r\nAnsicht_FTP=3\r\nKeepAlive=30\r\n");
        TFTPqvx *window = Start();
        QVERIFY(window);
        QStringList shown;
        QString caption;
        int keepAliveShown = -1;
        QTimer::singleShot(0, this, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog)
                return;
            caption = dialog->windowTitle();
            for (const QString &name : {u"NewOnlyBox"_s, u"DeleteConfirmBox"_s, u"SummerTimeBox"_s,
                                        u"RemoteView3"_s, u"LocalView3"_s, u"LocalAutoArrangeBox"_s}) {
                if (const auto *control = dialog->findChild<QAbstractButton *>(name);
                    control && control->isChecked())
                    shown << name;
            }
            auto *keepAlive = dialog->findChild<QSpinBox *>(u"KeepAliveEdit"_s);
            keepAliveShown = keepAlive->value();
            keepAlive->setValue(5);
            dialog->findChild<QCheckBox *>(u"KeepUploadTimeBox"_s)->click();
            dialog->findChild<QCheckBox *>(u"NewOnlyBox"_s)->click();
            dialog->findChild<QCheckBox *>(u"LocalAutoArrangeBox"_s)->click();
            dialog->findChild<QRadioButton *>(u"RemoteView1"_s)->click();
            dialog->findChild<QPushButton *>(button)->click();
        });
        Find<QToolButton>(u"SpeedButton17"_s)->click();

        QCOMPARE(caption, u"Einstellungen"_s);
        QCOMPARE(shown, QStringList({u"SummerTimeBox"_s, u"RemoteView3"_s, u"LocalView3"_s}));
        QCOMPARE(keepAliveShown, 30);
        const bool stored = button == u"OKBtn"_s;
        QCOMPARE(window->Settings.KeepAlive, stored ? 5 : 30);
        QCOMPARE(window->Settings.Keep_Upload_Time, !stored);
        QCOMPARE(window->Settings.New_Only, stored);
        QCOMPARE(window->Settings.Autoan_Lokal, stored);
        QCOMPARE(window->Settings.Ansicht_FTP, stored ? 1 : 3);
        QVERIFY(!window->Settings.Delete_Confirm);
        QCOMPARE(Find<RemoteListView>(u"ListView1"_s)->ViewStyle(), stored ? 1 : 3);
        QCOMPARE(Find<QAction>(u"RemoteContextViewsView1"_s)->isChecked(), stored);
        QCOMPARE(Find<QAction>(u"LocalViewsAutoArrange"_s)->isChecked(), stored);
    }

    // Each group box of the settings dialog holds the settings of its topic
    // and nothing else; the folder transfers' setting has a group of its own.
    void settingsDialogGroups()
    {
        Tsetup dialog;
        QMap<QString, QStringList> held;
        for (const QGroupBox *group : dialog.findChildren<QGroupBox *>()) {
            QStringList controls;
            for (const QWidget *control : group->findChildren<QWidget *>()) {
                if (qobject_cast<const QAbstractButton *>(control) || qobject_cast<const QSpinBox *>(control))
                    controls << control->objectName();
                else if (const auto *label = qobject_cast<const QLabel *>(control))
                    controls << label->text();
            }
            held[group->title()] = controls;
        }
        QCOMPARE(held.value(u" Dateien überschreiben "_s),
                 (QStringList{u"NoPromptOverwriteBox"_s, u"NewOnlyBox"_s, u"AllDeleteBox"_s,
                              u"DeleteConfirmBox"_s}));
        QCOMPARE(held.value(u" Startup "_s),
                 (QStringList{u"LastFolderBox"_s, u"SizeSaveBox"_s, u"PosSaveBox"_s}));
        const auto withParallel = std::find_if(held.cbegin(), held.cend(), [](const QStringList &controls) {
            return controls.contains(u"ParallelTransfersBox"_s);
        });
        QVERIFY(withParallel != held.cend());
        QStringList parallelGroup = withParallel.value();
        parallelGroup.sort();
        QCOMPARE(parallelGroup,
                 (QStringList{u"Gleichzeitige Übertragungen bei Ordnern:"_s, u"ParallelTransfersBox"_s}));
    }

    void layoutFillsTheWindowWithoutOverlaps()
    {
        TFTPqvx *window = Start();
        QVERIFY(window);
        window->resize(1280, 800);
        QTRY_COMPARE(window->size(), QSize(1280, 800));
        QApplication::processEvents();

        const QStringList areas{u"MainToolBar"_s, u"PathRow"_s, u"SplitArea"_s, u"ProgressBar"_s,
                                u"StatusBar"_s};
        QList<QRect> rects;
        for (const QString &name : areas) {
            const QWidget *area = Find<QWidget>(name);
            QVERIFY2(area && area->isVisible(), qPrintable(name));
            rects.append(InWindow(area));
            QVERIFY2(window->rect().contains(rects.last()), qPrintable(name));
        }
        int covered = 0;
        for (int i = 0; i < rects.size(); ++i) {
            covered += rects[i].height();
            for (int j = i + 1; j < rects.size(); ++j)
                QVERIFY2(!rects[i].intersects(rects[j]), qPrintable(areas[i] + u" / "_s + areas[j]));
        }
        QVERIFY(covered > 780);
        QVERIFY(InWindow(Find<QWidget>(u"SplitArea"_s)).height() > 600);

        const QWidget *localPane = Find<QWidget>(u"LocalPane"_s);
        const QWidget *remotePane = Find<QWidget>(u"RemotePane"_s);
        QVERIFY(!InWindow(localPane).intersects(InWindow(remotePane)));
        QVERIFY(!InWindow(remotePane).intersects(InWindow(Find<QWidget>(u"ListBox1"_s))));

        const auto pathRowFollowsThePanes = [&] {
            const QRect box = InWindow(Find<QComboBox>(u"LMDShellComboBox1"_s));
            const QRect field = InWindow(Find<QLineEdit>(u"Edit1"_s));
            return box.left() == InWindow(localPane).left() && box.width() == localPane->width() &&
                   field.left() == InWindow(remotePane).left() && field.width() == remotePane->width();
        };
        QVERIFY(pathRowFollowsThePanes());
        window->PaneSplitter()->setSizes({300, 900});
        QVERIFY(pathRowFollowsThePanes());

        const auto *status = Find<StatusPanels>(u"StatusBar"_s);
        QCOMPARE(status->PanelWidth(0), 68);
        QCOMPARE(status->PanelWidth(1), 1280 / 3);
        QCOMPARE(status->PanelWidth(2), 1280 * 2 / 5);
        QCOMPARE(status->PanelWidth(3), 50);
    }

    void commandsAtStart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        for (const QString &name : {u"SpeedButton17"_s, u"SpeedButton1"_s, u"SpeedButton11"_s,
                                    u"SaveLogButton"_s, u"SpeedButton12"_s, u"LMDOfficeButton3"_s,
                                    u"NeueSuche1"_s, u"RemoteViewsButton"_s, u"LocalUpButton"_s})
            QTest::newRow(qPrintable(name)) << name << true;
        for (const QString &name : {u"SpeedButton2"_s,
                                    u"SpeedButton3"_s,
                                    u"SpeedButton5"_s,
                                    u"SpeedButton6"_s,
                                    u"SpeedButton7"_s,
                                    u"SpeedButton9"_s,
                                    u"SpeedButton10"_s,
                                    u"RemoteRefreshButton"_s,
                                    u"FolderTreeButton"_s,
                                    u"SpeedButton18"_s,
                                    u"Sucheabbrechen1"_s,
                                    u"RawListingItem"_s,
                                    u"download1"_s,
                                    u"NeuerOrdner1"_s,
                                    u"Umbenenneb1"_s,
                                    u"Bewegen1"_s,
                                    u"entfernen1"_s,
                                    u"RemoteRefreshItem"_s,
                                    u"LocalRefreshRemoteItem"_s,
                                    u"AnsehenAusfhren1"_s,
                                    u"Datentransferabbrechen1"_s,
                                    u"Einfgen1"_s})
            QTest::newRow(qPrintable(name)) << name << false;
    }

    void commandsAtStart()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        QVERIFY(Start());
        if (const QWidget *widget = Find<QWidget>(name))
            QCOMPARE(widget->isEnabled(), enabled);
        else if (const QAction *action = Find<QAction>(name))
            QCOMPARE(action->isEnabled(), enabled);
        else
            QFAIL(qPrintable(u"no control "_s + name));
    }

    void activityLamps_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QColor>("left");
        QTest::addColumn<QColor>("right");
        QTest::addColumn<bool>("largeLamps");
        const QColor green(0, 128, 0);
        const QColor bright(0, 255, 0);
        const QColor grey(128, 128, 128);
        QTest::newRow("0 off") << 0 << QColor(Qt::black) << QColor(Qt::black) << true;
        QTest::newRow("1 idle") << 1 << green << green << true;
        QTest::newRow("2 receiving") << 2 << bright << green << false;
        QTest::newRow("3 sending") << 3 << green << bright << false;
        QTest::newRow("9 unknown") << 9 << grey << grey << false;
    }

    void activityLamps()
    {
        QFETCH(int, code);
        QFETCH(QColor, left);
        QFETCH(QColor, right);
        QFETCH(bool, largeLamps);
        QVERIFY(Start());
        m_window->SetActivity(code);
        const QPixmap picture = m_window->ToolBar()->Indicator->pixmap();
        QCOMPARE(picture.size(), QSize(32, 16));
        QCOMPARE(PixelOf(picture, 6, 4), left);
        QCOMPARE(PixelOf(picture, 24, 4), right);
        // The corners of the large lamps belong to the small ones' background.
        QCOMPARE(PixelOf(picture, 3, 2) == left, largeLamps);
        QCOMPARE(PixelOf(picture, 27, 7) == right, largeLamps);
        QVERIFY(PixelOf(picture, 11, 4) != left);
    }

    void standardButtonsSpeakGerman()
    {
        QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Ok);
        QStringList texts;
        for (const QDialogButtonBox::StandardButton which :
             {QDialogButtonBox::Yes, QDialogButtonBox::No, QDialogButtonBox::Cancel, QDialogButtonBox::Ok})
            texts << box.button(which)->text().remove(u'&');
        QCOMPARE(texts, QStringList({u"Ja"_s, u"Nein"_s, u"Abbrechen"_s, u"OK"_s}));
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
