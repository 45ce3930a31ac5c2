#include "applicationsettings.h"
#include "datafolders.h"
#include "layoutrestore.h"
#include "tinifile.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"StartUp"_s;

void WriteText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

ClosingLayout SampleLayout()
{
    ClosingLayout layout;
    layout.folder = u"/home/user/Bilder"_s;
    layout.windowRect = QRect(30, 40, 700, 500);
    layout.maximized = true;
    layout.splitArea = QSize(600, 400);
    layout.paneBarPosition = 180;
    layout.logBarPosition = 300;
    layout.localColumnWidths = {200, 80, 100, 130};
    layout.remoteColumnWidths = {150, 70, 100, 80};
    return layout;
}

} // namespace

class ApplicationSettingsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_home;

    QString IniPath(const QString &name) const { return m_home.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(u".config"_s)));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void readsStoredValuesWithTheirRangeRules_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("expected");
        QTest::newRow("ftplist_s 4 is out of range") << u"ftplist_s=4"_s << u"ftplist_s"_s << 0;
        QTest::newRow("ftplist_s 3 stays") << u"ftplist_s=3"_s << u"ftplist_s"_s << 3;
        QTest::newRow("ftplist_s -1 is out of range") << u"ftplist_s=-1"_s << u"ftplist_s"_s << 0;
        QTest::newRow("searchlist_s 5 stays") << u"searchlist_s=5"_s << u"searchlist_s"_s << 5;
        QTest::newRow("searchlist_s 6 is out of range") << u"searchlist_s=6"_s << u"searchlist_s"_s << 0;
        QTest::newRow("ftplist_r 0 means ascending") << u"ftplist_r=0"_s << u"ftplist_r"_s << -1;
        QTest::newRow("ftplist_r 1 stays") << u"ftplist_r=1"_s << u"ftplist_r"_s << 1;
        QTest::newRow("searchlist_r 2 means ascending") << u"searchlist_r=2"_s << u"searchlist_r"_s << -1;
        QTest::newRow("unknown view number") << u"Ansicht_FTP=7"_s << u"Ansicht_FTP"_s << 3;
        QTest::newRow("large icons") << u"Ansicht_Lokal=0"_s << u"Ansicht_Lokal"_s << 0;
        QTest::newRow("unreadable width") << u"DiaXt=breit"_s << u"DiaXt"_s << 120;
        QTest::newRow("colour") << u"DiaColor=255"_s << u"DiaColor"_s << 255;
        QTest::newRow("delete confirmation when absent") << u"Other=1"_s << u"Delete_Confirm"_s << 1;
        QTest::newRow("summer time switched off") << u"WSTime_Use=0"_s << u"WSTime_Use"_s << 0;
        QTest::newRow("column width") << u"Right_Col2=123"_s << u"Right_Col2"_s << 123;
        QTest::newRow("keep-alive when absent") << u"Other=1"_s << u"KeepAlive"_s << 60;
        QTest::newRow("keep-alive off") << u"KeepAlive=0"_s << u"KeepAlive"_s << 0;
        QTest::newRow("negative keep-alive is off") << u"KeepAlive=-5"_s << u"KeepAlive"_s << 0;
        QTest::newRow("keep-alive beyond an hour") << u"KeepAlive=99999"_s << u"KeepAlive"_s << 3600;
        QTest::newRow("upload times kept when absent") << u"Other=1"_s << u"Keep_Upload_Time"_s << 1;
    }

    void readsStoredValuesWithTheirRangeRules()
    {
        QFETCH(QString, line);
        QFETCH(QString, field);
        QFETCH(int, expected);
        const QString path = IniPath(u"read.ini"_s);
        WriteText(path, "[StartUp]\r\n" + line.toUtf8() + "\r\n");
        ApplicationSettings settings;
        settings.Read(TIniFile(path));
        const QHash<QString, int> fields{{u"ftplist_s"_s, settings.ftplist_s},
                                         {u"ftplist_r"_s, settings.ftplist_r},
                                         {u"searchlist_s"_s, settings.searchlist_s},
                                         {u"searchlist_r"_s, settings.searchlist_r},
                                         {u"Ansicht_FTP"_s, settings.Ansicht_FTP},
                                         {u"Ansicht_Lokal"_s, settings.Ansicht_Lokal},
                                         {u"DiaXt"_s, settings.DiaXt},
                                         {u"DiaColor"_s, settings.DiaColor},
                                         {u"Delete_Confirm"_s, settings.Delete_Confirm},
                                         {u"WSTime_Use"_s, settings.WSTime_Use},
                                         {u"Right_Col2"_s, settings.Right_Col[2]},
                                         {u"KeepAlive"_s, settings.KeepAlive},
                                         {u"Keep_Upload_Time"_s, settings.Keep_Upload_Time}};
        QCOMPARE(fields.value(field), expected);
    }

    void aMissingFileGivesTheDefaults()
    {
        ApplicationSettings settings;
        settings.Ansicht_FTP = 0;
        settings.Read(TIniFile(IniPath(u"absent.ini"_s)));
        QCOMPARE(settings.Ansicht_FTP, 3);
        QCOMPARE(settings.Ansicht_Lokal, 3);
        QCOMPARE(settings.ftplist_s, 0);
        QCOMPARE(settings.ftplist_r, -1);
        QVERIFY(settings.Delete_Confirm);
        QVERIFY(!settings.Size_Save);
        QCOMPARE(settings.DiaColor, 16777215);
    }

    void keysOfOtherOwnersAndSkippedKeysSurvive()
    {
        const QString path = IniPath(u"shared.ini"_s);
        WriteText(path, "[StartUp]\r\nUpdate_Proxy_Server=proxy.example\r\nSearch_Col2=77\r\n"
                        "Split1=0,25\r\nLeft_Col3=99\r\n");
        ClosingLayout layout = SampleLayout();
        layout.splitArea = QSize(0, 0);
        layout.localColumnWidths = {10, 20, 30};
        {
            TIniFile ini(path);
            ApplicationSettings().Write(ini, layout);
        }
        const TIniFile ini(path);
        QCOMPARE(ini.ReadString(kSection, u"Update_Proxy_Server"_s, QString()), u"proxy.example"_s);
        QCOMPARE(ini.ReadInteger(kSection, u"Search_Col2"_s, 0), 77);
        QCOMPARE(ini.ReadString(kSection, u"Split1"_s, QString()), u"0,25"_s);
        QVERIFY(!ini.ValueExists(kSection, u"Split2"_s));
        QCOMPARE(ini.ReadInteger(kSection, u"Left_Col2"_s, 0), 30);
        QCOMPARE(ini.ReadInteger(kSection, u"Left_Col3"_s, 0), 99);
    }

    void writtenValuesReadBack()
    {
        const QString path = IniPath(u"roundtrip.ini"_s);
        QFile::remove(path);
        ApplicationSettings written;
        written.Ansicht_Lokal = 1;
        written.Ansicht_FTP_Save = true;
        written.Delete_Confirm = false;
        written.ftplist_s = 2;
        written.ftplist_r = 1;
        written.VRight = 640;
        written.DiaShow = true;
        written.KeepAlive = 15;
        written.Keep_Upload_Time = false;
        {
            TIniFile ini(path);
            written.Write(ini, SampleLayout());
        }
        ApplicationSettings read;
        read.Read(TIniFile(path));
        QCOMPARE(read.Ansicht_Lokal, 1);
        QVERIFY(read.Ansicht_FTP_Save);
        QVERIFY(!read.Delete_Confirm);
        QCOMPARE(read.ftplist_s, 2);
        QCOMPARE(read.ftplist_r, 1);
        QCOMPARE(read.VRight, 640);
        QVERIFY(read.DiaShow);
        QCOMPARE(read.KeepAlive, 15);
        QVERIFY(!read.Keep_Upload_Time);
        QCOMPARE(read.Folder, u"/home/user/Bilder"_s);
        QCOMPARE(read.Split1, 0.3);
        QCOMPARE(read.Split2, 0.75);
        QCOMPARE(QRect(QPoint(read.Left, read.Top), QPoint(read.Right - 1, read.Bottom - 1)),
                 QRect(30, 40, 700, 500));
        QVERIFY(read.Maximized);
        QCOMPARE(read.Left_Col[3], 130);
        QCOMPARE(read.Right_Col[0], 150);
    }

    void windowRectangle_data()
    {
        QTest::addColumn<bool>("sizeSave");
        QTest::addColumn<bool>("posSave");
        QTest::addColumn<QRect>("saved"); // left, top, right, bottom as points
        QTest::addColumn<QRect>("expected");
        const QRect none;
        const auto saved = [](int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r, b)); };
        QTest::newRow("size only is centred")
            << true << false << saved(100, 100, 900, 700) << QRect(240, 100, 800, 600);
        QTest::newRow("size only, as large as the screen")
            << true << false << saved(0, 0, 1280, 800) << QRect(0, 0, 1280, 800);
        QTest::newRow("size only, taller than the screen") << true << false << saved(0, 0, 1280, 900) << none;
        QTest::newRow("size only without a size") << true << false << saved(500, 100, 500, 700) << none;
        QTest::newRow("position only") << false << true << saved(30, 40, 300, 400) << QRect(30, 40, 682, 438);
        QTest::newRow("position only, off the left edge")
            << false << true << saved(-500, 40, -100, 400) << none;
        QTest::newRow("position only, frame edge within slack")
            << false << true << saved(-4, -4, 300, 400) << QRect(-4, -4, 682, 438);
        QTest::newRow("position only, beyond the right edge")
            << false << true << saved(700, 40, 900, 400) << none;
        QTest::newRow("both") << true << true << saved(10, 20, 610, 520) << QRect(10, 20, 600, 500);
        QTest::newRow("both, title bar above the screen") << true << true << saved(10, -11, 610, 520) << none;
        QTest::newRow("both, maximized size of a larger screen")
            << true << true << saved(0, 0, 1920, 1200) << none;
        QTest::newRow("both, on the second screen")
            << true << true << saved(1400, 100, 2000, 600) << QRect(1400, 100, 600, 500);
        QTest::newRow("both, across both screens") << true << true << saved(1000, 100, 1600, 600) << none;
        QTest::newRow("neither") << false << false << saved(10, 20, 610, 520) << none;
    }

    // Two screens side by side: 1280 x 800 with the window, 1024 x 768 to its
    // right.
    void windowRectangle()
    {
        QFETCH(bool, sizeSave);
        QFETCH(bool, posSave);
        QFETCH(QRect, saved);
        QFETCH(QRect, expected);
        ApplicationSettings settings;
        settings.Size_Save = sizeSave;
        settings.Pos_Save = posSave;
        settings.Left = saved.left();
        settings.Top = saved.top();
        settings.Right = saved.right();
        settings.Bottom = saved.bottom();
        const QList<QRect> screens{QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
        const std::optional<QRect> restored = RestoredWindowRect(settings, screens, QSize(682, 438));
        QCOMPARE(restored.value_or(QRect()), expected);
    }

    // The frame counts: a window whose inner size just fits would stick out
    // with its title bar; the rectangle is the inner one, inside the
    // centred frame.
    void windowRectangleWithFrame()
    {
        ApplicationSettings settings;
        settings.Size_Save = true;
        settings.Right = 1000;
        settings.Bottom = 770;
        const QList<QRect> screen{QRect(0, 0, 1280, 800)};
        QCOMPARE(RestoredWindowRect(settings, screen, QSize(), QMargins(2, 28, 2, 2)),
                 QRect(140, 28, 1000, 770));
        settings.Bottom = 790;
        QVERIFY(!RestoredWindowRect(settings, screen, QSize(), QMargins(2, 28, 2, 2)));
        QVERIFY(RestoredWindowRect(settings, screen, QSize()));
    }

    void barPosition_data()
    {
        QTest::addColumn<int>("extent");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<int>("expected"); // -1: the bar keeps its place
        QTest::newRow("a hundredth of 300 is too close to the edge") << 300 << 0.01 << -1;
        QTest::newRow("half") << 300 << 0.5 << 150;
        QTest::newRow("21 pixels") << 300 << 0.07 << 21;
        QTest::newRow("exactly 20 pixels") << 300 << 20.0 / 300 << -1;
        QTest::newRow("exactly 20 pixels from the far edge") << 300 << 280.0 / 300 << -1;
        QTest::newRow("279 pixels") << 300 << 0.93 << 279;
        QTest::newRow("nothing saved") << 300 << 0.0 << -1;
        QTest::newRow("empty area") << 0 << 0.5 << -1;
    }

    void barPosition()
    {
        QFETCH(int, extent);
        QFETCH(double, fraction);
        QFETCH(int, expected);
        QCOMPARE(RestoredBarPosition(extent, fraction).value_or(-1), expected);
    }

    void dataFoldersAreCreatedWithMissingParents()
    {
        const QString documents = m_home.filePath(u"Documents"_s);
        QDir(documents).removeRecursively();
        const DataFolders folders;
        QCOMPARE(folders.RootFolder(), documents + u"/QvxORNAFTPGlimra/"_s);
        QCOMPARE(folders.SettingsFile(), folders.RootFolder() + u"glimra.ini"_s);
        const QStringList names{u"Inhaltsverzeichnis"_s, u"tmp"_s, u"work"_s, u"Links"_s, u"images"_s};
        const QStringList paths{folders.TreeFolder(), folders.TmpFolder(), folders.WorkFolder(),
                                folders.LinksFolder(), folders.ImagesFolder()};
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(paths[i], folders.RootFolder() + names[i] + u'/');
            QVERIFY2(QFileInfo(paths[i]).isDir(), qPrintable(paths[i]));
        }
    }

    void temporaryNamesAreFreshEightLetterNames()
    {
        const DataFolders folders;
        const QRegularExpression pattern(u"^[a-z]{8}\\.txt$"_s);
        QSet<QString> seen;
        for (int i = 0; i < 50; ++i) {
            const QString name = folders.NewTemporaryFileName();
            QCOMPARE(QFileInfo(name).absolutePath() + u'/', folders.TmpFolder());
            QVERIFY2(pattern.match(QFileInfo(name).fileName()).hasMatch(), qPrintable(name));
            QVERIFY(!QFileInfo::exists(name));
            WriteText(name, "x");
            seen.insert(name);
        }
        QCOMPARE(seen.size(), 50);
        DataFolders::DeleteFilesIn(folders.TmpFolder());
    }

    void emptyingAFolderDeletesEveryFileButLeavesFolders()
    {
        const QString folder = m_home.filePath(u"empty-me"_s);
        QDir().mkpath(folder + u"/sub"_s);
        WriteText(folder + u"/sub/inner.txt"_s, "data");
        for (const QString &name : {u"a.txt"_s, u".hidden"_s, u"readonly.txt"_s})
            WriteText(folder + u'/' + name, "data");
        QFile::setPermissions(folder + u"/readonly.txt"_s, QFile::ReadOwner);
        QVERIFY(QFile::link(folder + u"/gone"_s, folder + u"/dangling"_s));

        DataFolders::DeleteFilesIn(folder);

        QCOMPARE(
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList({u"sub"_s}));
        QVERIFY(QFileInfo::exists(folder + u"/sub/inner.txt"_s));
    }
};

QTEST_GUILESS_MAIN(ApplicationSettingsTest)
#include "test_applicationsettings.moc"
