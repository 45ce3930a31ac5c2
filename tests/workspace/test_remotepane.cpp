// The remote pane against real servers: the rows a listing gives, moving
// between folders, sorting, which commands are enabled, keys and the in-place
// edit, file type symbols and the raw listing.
#include "remotesessionfixture.h"

#include "filetypesymbols.h"
#include "maintoolbar.h"
#include "pathrow.h"
#include "remotepane.h"
#include "scriptedserver.h"
#include "sessioncontrol.h"
#include "statuspanels.h"
#include "symbols.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpression>
#include <QToolButton>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

using Kind = RealFtpServer::Kind;

struct ShownRow {
    QString name, size, date, info;
    bool operator==(const ShownRow &) const = default;
};

QList<ShownRow> ShownRows(const RemoteListView *list)
{
    QList<ShownRow> rows;
    for (int row = 0; row < list->RowCount(); ++row) {
        const RemoteRow &shown = list->Row(row);
        rows.append({shown.name, shown.sizeText, shown.dateText, shown.info});
    }
    return rows;
}

char *RowsText(const QList<ShownRow> &rows)
{
    QStringList lines;
    for (const ShownRow &row : rows)
        lines.append(u"[%1|%2|%3|%4]"_s.arg(row.name, row.size, row.date, row.info));
    return qstrdup(qPrintable(lines.join(u'\n')));
}

// The folder "viele" with kManyFiles files: a listing of some 40 KiB.
constexpr int kManyFiles = 600;

bool AddManyFiles(RealFtpServer &server)
{
    for (int file = 0; file < kManyFiles; ++file) {
        if (!server.addFile(u"viele/datei-%1.txt"_s.arg(file), "x"))
            return false;
    }
    return true;
}

} // namespace

namespace QTest {
template <> inline char *toString(const QList<ShownRow> &rows)
{
    return RowsText(rows);
}
} // namespace QTest

// Receives what the pane asks the desktop to open.
class OpenedUrls : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class RemotePaneTest : public QObject {
    Q_OBJECT

private:
    RemoteSessionFixture m_fixture;

    RemoteListView *List() const { return m_fixture.Window()->Remote()->List; }
    RemoteBrowser *Browser() const { return m_fixture.Window()->Browser(); }
    QString ShownFolder() const { return m_fixture.Window()->Paths()->Edit1->text(); }

    // One server for all rows of a data-driven test: the rows only read it.
    std::unique_ptr<RealFtpServer> m_shared;
    QString m_sharedFor;

    RealFtpServer *SharedServer(const RealFtpServer::Options &options,
                                const std::function<bool(RealFtpServer &)> &fill)
    {
        const QString test = QString::fromLatin1(QTest::currentTestFunction());
        if (m_sharedFor == test && m_shared && m_shared->isRunning())
            return m_shared.get();
        m_shared = std::make_unique<RealFtpServer>(options);
        m_sharedFor = test;
        QString error;
        if (!fill(*m_shared) || !m_shared->start(&error)) {
            qWarning("%s", qPrintable(error));
            m_shared.reset();
        }
        return m_shared.get();
    }

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void init() { QVERIFY(m_fixture.OpenWindow()); }
    void cleanup() { m_fixture.Close(); }

    void listingShowsTheServersEntries_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("offerMlsd");
        QTest::addColumn<QString>("listCommand");
        QTest::addColumn<bool>("modeFact");
        // Info of the folder, of a private file and of the other files.
        QTest::addColumn<QStringList>("infos");
        const QStringList listed{u"drwxr-x---"_s, u"-rw-------"_s, u"-rw-r--r--"_s};
        QTest::newRow("pyftpdlib MLSD") << Kind::Pyftpdlib << true << u"MLSD"_s << true << listed;
        QTest::newRow("pyftpdlib MLSD without modes")
            << Kind::Pyftpdlib << true << u"MLSD"_s << false
            << QStringList{u"d---------"_s, u"----------"_s, u"----------"_s};
        QTest::newRow("pyftpdlib LIST") << Kind::Pyftpdlib << false << u"list"_s << false << listed;
        QTest::newRow("vsftpd LIST") << Kind::Vsftpd << false << u"list"_s << false << listed;
    }

    void listingShowsTheServersEntries()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, offerMlsd);
        QFETCH(QString, listCommand);
        QFETCH(bool, modeFact);
        QFETCH(QStringList, infos);
        RealFtpServer server(
            {.kind = kind, .hideMlsd = kind == Kind::Pyftpdlib && !offerMlsd, .unixModeFact = modeFact});
        const QDateTime fileTime = RecentMinute(12, 34);
        const QDateTime folderTime = RecentMinute(40, 5);
        QVERIFY(server.addFile(u"Größe Datei.txt"_s, QByteArray(1234, 'x')));
        QVERIFY(server.addFile(u"b.bin"_s, "12345"));
        QVERIFY(server.addFile(u"total.txt"_s, ""));
        QVERIFY(server.addFolder(u"Ordner mit Ä/"_s));
        for (const QString &file : {u"Größe Datei.txt"_s, u"b.bin"_s, u"total.txt"_s})
            QVERIFY(SetModified(server.rootDir() + u'/' + file, fileTime));
        QVERIFY(SetModified(server.rootDir() + u"/Ordner mit Ä"_s, folderTime));
        const QString root = server.rootDir() + u'/';
        const QFileDevice::Permissions readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
        QVERIFY(QFile::setPermissions(root + u"Ordner mit Ä"_s, QFile::ReadOwner | QFile::WriteOwner |
                                                                    QFile::ExeOwner | QFile::ReadGroup |
                                                                    QFile::ExeGroup));
        QVERIFY(QFile::setPermissions(root + u"b.bin"_s, QFile::ReadOwner | QFile::WriteOwner));
        for (const QString &file : {u"Größe Datei.txt"_s, u"total.txt"_s})
            QVERIFY(QFile::setPermissions(root + file, readable | QFile::WriteOwner));
        START_OR_SKIP(server, kind);
        m_fixture.Connect(server);

        const QString fileDate = ListedDateText(fileTime);
        const QList<ShownRow> expected{
            {u".."_s, u"       "_s, u"       "_s, u"       "_s},
            {u"Ordner mit Ä"_s, QString(), ListedDateText(folderTime), infos[0]},
            {u"b.bin"_s, u"5"_s, fileDate, infos[1]},
            {u"Größe Datei.txt"_s, u"1234"_s, fileDate, infos[2]},
            {u"total.txt"_s, u"0"_s, fileDate, infos[2]},
        };
        QCOMPARE(ShownRows(List()), expected);
        QCOMPARE(ShownFolder(), u"/"_s);
        QCOMPARE(m_fixture.Window()->Status()->PanelText(2), u"Fertig"_s);
        QVERIFY(!m_fixture.Window()->Main().Flags.ListingBusy);
        QVERIFY2(server.commands().contains(listCommand, Qt::CaseInsensitive),
                 qPrintable(server.transcript()));
        QCOMPARE(List()->Row(1).symbol, int(kFolderSymbol));
        QCOMPARE(List()->Row(0).symbol, int(kUpSymbol));
    }

    // The empty pane says why it is empty until a server is connected.
    void theEmptyPaneHintsAtConnecting()
    {
        const QString hint = u"Nicht verbunden – „Verbinden“ wählt einen Server"_s;
        // Nothing but the hint draws on an empty list's background.
        const auto hintDrawn = [this] {
            QWidget *viewport = List()->DetailsView()->viewport();
            const QImage drawn = viewport->grab().toImage();
            const QColor background = viewport->palette().color(QPalette::Base);
            for (int y = 0; y < drawn.height(); ++y) {
                for (int x = 0; x < drawn.width(); ++x) {
                    if (drawn.pixelColor(x, y) != background)
                        return true;
                }
            }
            return false;
        };
        QCOMPARE(List()->PlaceholderText(), hint);
        QVERIFY(hintDrawn());
        List()->SetPlaceholderText(QString());
        QVERIFY(!hintDrawn());

        RealFtpServer server({});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server);
        QCOMPARE(Captions(List()), QStringList{u".."_s});
        QVERIFY(List()->PlaceholderText().isEmpty());

        m_fixture.Window()->Session()->Disconnect();
        QCOMPARE(List()->RowCount(), 0);
        QCOMPARE(List()->PlaceholderText(), hint);
        QVERIFY(hintDrawn());
    }

    void anEmptyFolderShowsOnlyTheParentRow()
    {
        RealFtpServer server({});
        QVERIFY(server.addFolder(u"leer/"_s));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server);
        DoubleClickRow(List(), RowNamed(List(), u"leer"_s));
        QCOMPARE(ShownFolder(), u"/leer"_s);
        QCOMPARE(Captions(List()), QStringList{u".."_s});
        QVERIFY(List()->ShowsOnlyParent());
    }

    // A heading "total" line goes to panel 1; a file called total is listed.
    void theTotalLineGoesToTheStatusBar()
    {
        ScriptedServer server;
        server.setDrainTimeout(100);
        server.answer("200 Type set to A").answer("257 \"/pub\" is the current directory");
        server.passive()
            .command()
            .acceptData()
            .reply("150 Here comes the listing")
            .sendData("total 12\r\n"
                      "-rw-r--r--   1 ftp      ftp           42 Oct 12  2003 total 2003.txt\r\n"
                      "drwxr-xr-x   2 ftp      ftp         4096 Oct 12  2003 pub\r\n")
            .closeData()
            .reply("226 Transfer complete");
        QVERIFY(ConnectWithoutLogin(m_fixture.Window()->Main().Connection, server));
        m_fixture.Window()->Main().Connection.TimeCorrection.DateTimeNo = true;
        Browser()->RefreshRemoteList();

        QCOMPARE(Captions(List()), (QStringList{u".."_s, u"pub"_s, u"total 2003.txt"_s}));
        QCOMPARE(List()->Row(2).sizeText, u"42"_s);
        QCOMPARE(List()->Row(2).dateText, FormatDateText(DateTimeParts{2003, 10, 12, 12, 0, 0}));
        QCOMPARE(m_fixture.Window()->Status()->PanelText(1), u"total 12"_s);
        QCOMPARE(ShownFolder(), u"/pub"_s);
        m_fixture.Window()->Main().Connection.CloseConnection();
        QCOMPARE(server.transcript(), (QStringList{u"type A"_s, u"PWD"_s, u"EPSV"_s, u"list"_s}));
    }

    void navigationIntoFoldersUpAndThroughLinks()
    {
        RealFtpServer server({.hideMlsd = true});
        QVERIFY(server.addFolder(u"Ordner A/Unter B/"_s));
        QVERIFY(server.addFile(u"Ordner A/x.txt"_s, "x"));
        QVERIFY(server.addFile(u"z.txt"_s, "z"));
        QVERIFY(MakeSymlink(u"Ordner A/Unter B"_s, server.rootDir() + u"/zu B"_s));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server);
        const int link = RowNamed(List(), u"zu B -> Ordner A/Unter B"_s);
        QVERIFY2(link > 0, qPrintable(Captions(List()).join(u", "_s)));
        QCOMPARE(List()->Row(link).symbol, int(kFolderLinkSymbol));
        QCOMPARE(List()->Row(link).Kind(), u'l');

        DoubleClickRow(List(), RowNamed(List(), u"Ordner A"_s));
        QCOMPARE(ShownFolder(), u"/Ordner A"_s);
        QCOMPARE(Captions(List()), (QStringList{u".."_s, u"Unter B"_s, u"x.txt"_s}));

        DoubleClickRow(List(), 0);
        QCOMPARE(ShownFolder(), u"/"_s);
        QCOMPARE(SelectedCaptions(List()), QStringList{u"Ordner A"_s});

        DoubleClickRow(List(), RowNamed(List(), u"zu B -> Ordner A/Unter B"_s));
        QCOMPARE(ShownFolder(), u"/Ordner A/Unter B"_s);
        QCOMPARE(Captions(List()), QStringList{u".."_s});
        QVERIFY(server.commands().contains(u"SIZE Ordner A/Unter B"_s));
    }

    void doubleClickOnAFileAsksToOpenIt()
    {
        RealFtpServer server({});
        QVERIFY(server.addFile(u"sub/a b.txt"_s, "x"));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server);
        Browser()->ChangeRemoteFolder(u"sub"_s);
        QSignalSpy opened(Browser(), &RemoteBrowser::openFileRequested);
        DoubleClickRow(List(), RowNamed(List(), u"a b.txt"_s));
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().value(0).toString(), u"/sub/a b.txt"_s);
        QCOMPARE(opened.first().value(1).toString(), u"a b.txt"_s);
        QCOMPARE(ShownFolder(), u"/sub"_s);
    }

    void sortingKeepsParentAndFoldersFirst_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("direction");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("files");
        const QString link = u"l.txt -> b.txt"_s;
        const QStringList bothFolders{u"alpha"_s, u"Zeta"_s};
        QTest::newRow("name ascending") << 0 << -1 << QStringList{u"alpha"_s, u"Zeta"_s}
                                        << QStringList{u"A.txt"_s, u"b.txt"_s, u"c.txt"_s, link};
        QTest::newRow("name descending") << 0 << 1 << QStringList{u"Zeta"_s, u"alpha"_s}
                                         << QStringList{link, u"c.txt"_s, u"b.txt"_s, u"A.txt"_s};
        QTest::newRow("size ascending")
            << 1 << -1 << bothFolders << QStringList{link, u"A.txt"_s, u"b.txt"_s, u"c.txt"_s};
        QTest::newRow("size descending")
            << 1 << 1 << bothFolders << QStringList{u"c.txt"_s, u"b.txt"_s, u"A.txt"_s, link};
        QTest::newRow("date ascending") << 2 << -1 << QStringList{u"Zeta"_s, u"alpha"_s}
                                        << QStringList{link, u"b.txt"_s, u"c.txt"_s, u"A.txt"_s};
        QTest::newRow("date descending") << 2 << 1 << QStringList{u"alpha"_s, u"Zeta"_s}
                                         << QStringList{u"A.txt"_s, u"c.txt"_s, u"b.txt"_s, link};
        // Files share one info text: only the link's place is certain.
        QTest::newRow("info ascending")
            << 3 << -1 << bothFolders << QStringList{u"-"_s, u"-"_s, u"-"_s, u"l"_s};
        QTest::newRow("info descending")
            << 3 << 1 << bothFolders << QStringList{u"l"_s, u"-"_s, u"-"_s, u"-"_s};
    }

    void sortingKeepsParentAndFoldersFirst()
    {
        QFETCH(int, column);
        QFETCH(int, direction);
        QFETCH(QStringList, folders);
        QFETCH(QStringList, files);
        RealFtpServer *server = SharedServer({.hideMlsd = true}, [](RealFtpServer &server) {
            const QString root = server.rootDir() + u'/';
            return server.addFile(u"A.txt"_s, QByteArray(20, 'a')) &&
                   server.addFile(u"b.txt"_s, QByteArray(300, 'b')) &&
                   server.addFile(u"c.txt"_s, QByteArray(1000, 'c')) && server.addFolder(u"Zeta/"_s) &&
                   server.addFolder(u"alpha/"_s) && MakeSymlink(u"b.txt"_s, root + u"l.txt"_s) &&
                   SetModified(root + u"l.txt"_s, RecentMinute(9), true) &&
                   SetModified(root + u"b.txt"_s, RecentMinute(8)) &&
                   SetModified(root + u"c.txt"_s, RecentMinute(7)) &&
                   SetModified(root + u"A.txt"_s, RecentMinute(6)) &&
                   SetModified(root + u"Zeta"_s, RecentMinute(5)) &&
                   SetModified(root + u"alpha"_s, RecentMinute(4));
        });
        QVERIFY(server);
        m_fixture.Connect(*server);

        // From name ascending, the header clicks that lead to the wanted order.
        const int clicks = column == 0 ? (direction == 1 ? 1 : 0) : (direction == 1 ? 2 : 1);
        for (int click = 0; click < clicks; ++click)
            ClickHeader(List(), column);
        QCOMPARE(m_fixture.Window()->Settings.ftplist_s, column);
        QCOMPARE(m_fixture.Window()->Settings.ftplist_r, direction);

        const QStringList captions = Captions(List());
        QCOMPARE(captions.size(), 7);
        QCOMPARE(captions.first(), u".."_s);
        QStringList shownFolders = captions.mid(1, 2);
        QStringList shownFiles = captions.mid(3);
        if (column == 3) {
            for (int row = 3; row < 7; ++row)
                shownFiles[row - 3] = List()->Row(row).info.left(1);
        }
        if (column == 1 || column == 3)
            shownFolders.sort(Qt::CaseInsensitive); // equal keys: the server's order
        QCOMPARE(shownFolders, folders);
        QCOMPARE(shownFiles, files);
    }

    void theDateHeaderSortsAscendingThenDescending()
    {
        RealFtpServer server({});
        QVERIFY(server.addFile(u"alt.txt"_s, "1"));
        QVERIFY(server.addFile(u"neu.txt"_s, "2"));
        QVERIFY(SetModified(server.rootDir() + u"/alt.txt"_s, RecentMinute(20)));
        QVERIFY(SetModified(server.rootDir() + u"/neu.txt"_s, RecentMinute(2)));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server);
        const auto headerSymbol = [this](int column) {
            return List()
                ->Model()
                ->headerData(column, Qt::Horizontal, Qt::DecorationRole)
                .value<QIcon>()
                .pixmap(12)
                .toImage();
        };
        const QImage ascending = Symbols::SortSymbol(-1).pixmap(12).toImage();
        const QImage descending = Symbols::SortSymbol(1).pixmap(12).toImage();
        QCOMPARE(headerSymbol(0), ascending);

        ClickHeader(List(), 2);
        QCOMPARE(Captions(List()), (QStringList{u".."_s, u"alt.txt"_s, u"neu.txt"_s}));
        QCOMPARE(headerSymbol(2), ascending);
        QCOMPARE(headerSymbol(0), Symbols::ColumnSymbol(0).pixmap(12).toImage());

        ClickHeader(List(), 2);
        QCOMPARE(Captions(List()), (QStringList{u".."_s, u"neu.txt"_s, u"alt.txt"_s}));
        QCOMPARE(headerSymbol(2), descending);
        QCOMPARE(m_fixture.Window()->Settings.ftplist_s, 2);
        QCOMPARE(m_fixture.Window()->Settings.ftplist_r, 1);

        // The next listing keeps the order.
        Browser()->RefreshRemoteList(u"alt.txt"_s);
        QCOMPARE(Captions(List()), (QStringList{u".."_s, u"neu.txt"_s, u"alt.txt"_s}));
        QCOMPARE(SelectedCaptions(List()), QStringList{u"alt.txt"_s});
    }

    void commandStates_data()
    {
        QTest::addColumn<bool>("connect");
        QTest::addColumn<QString>("flag");
        QTest::addColumn<bool>("allDelete");
        QTest::addColumn<QStringList>("selection");
        QTest::addColumn<QStringList>("enabled");

        const QStringList always{u"SpeedButton11"_s, u"SaveLogButton"_s, u"SpeedButton17"_s};
        const QStringList ready =
            always +
            QStringList{u"SpeedButton5"_s,      u"NeuerOrdner1"_s,           u"RemoteRefreshButton"_s,
                        u"RemoteRefreshItem"_s, u"FolderTreeButton"_s,       u"FolderTreeItem"_s,
                        u"RawListingItem"_s,    u"LocalRefreshRemoteItem"_s, u"drops"_s};
        const QStringList oneEntry{u"SpeedButton3"_s, u"download1"_s,  u"SpeedButton6"_s, u"Umbenenneb1"_s,
                                   u"SpeedButton7"_s, u"entfernen1"_s, u"Bewegen1"_s};
        const QStringList open{u"SpeedButton9"_s, u"AnsehenAusfhren1"_s};
        QTest::newRow("disconnected") << false << QString() << false << QStringList() << always;
        QTest::newRow("nothing selected") << true << QString() << false << QStringList() << ready;
        QTest::newRow("one file") << true << QString() << false << QStringList{u"a.txt"_s}
                                  << ready + oneEntry + open;
        QTest::newRow("one folder") << true << QString() << false << QStringList{u"sub"_s}
                                    << ready + oneEntry;
        QTest::newRow("only the parent row") << true << QString() << false << QStringList{u".."_s}
                                             << ready + QStringList{u"Bewegen1"_s} + open;
        QTest::newRow("parent row and a file")
            << true << QString() << false << QStringList{u".."_s, u"a.txt"_s} << ready + oneEntry;
        QTest::newRow("two files") << true << QString() << false << QStringList{u"a.txt"_s, u"b.txt"_s}
                                   << ready + QStringList{u"SpeedButton3"_s, u"download1"_s, u"Bewegen1"_s};
        QTest::newRow("two files, several may be deleted")
            << true << QString() << true << QStringList{u"a.txt"_s, u"b.txt"_s}
            << ready + QStringList{u"SpeedButton3"_s, u"download1"_s, u"Bewegen1"_s, u"SpeedButton7"_s,
                                   u"entfernen1"_s};
        QTest::newRow("transfer running")
            << true << u"TransferActive"_s << false << QStringList{u"a.txt"_s}
            << QStringList{u"SpeedButton17"_s, u"SpeedButton10"_s, u"Datentransferabbrechen1"_s};
        QTest::newRow("operation running")
            << true << u"OperationBusy"_s << false << QStringList{u"a.txt"_s} << QStringList();
    }

    void commandStates()
    {
        QFETCH(bool, connect);
        QFETCH(QString, flag);
        QFETCH(bool, allDelete);
        QFETCH(QStringList, selection);
        QFETCH(QStringList, enabled);
        TFTPqvx *window = m_fixture.Window();
        if (connect) {
            RealFtpServer *server = SharedServer({}, [](RealFtpServer &server) {
                return server.addFile(u"a.txt"_s, "a") && server.addFile(u"b.txt"_s, "b") &&
                       server.addFolder(u"sub/"_s);
            });
            QVERIFY(server);
            m_fixture.Connect(*server);
        }
        window->Settings.All_Delete = allDelete;
        window->Main().Flags.TransferActive = flag == u"TransferActive"_s;
        window->Main().Flags.OperationBusy = flag == u"OperationBusy"_s;
        SelectCaptions(List(), selection);
        Browser()->UpdateCommandStates();

        const QStringList controls{u"SpeedButton3"_s,
                                   u"download1"_s,
                                   u"SpeedButton5"_s,
                                   u"NeuerOrdner1"_s,
                                   u"SpeedButton6"_s,
                                   u"Umbenenneb1"_s,
                                   u"SpeedButton7"_s,
                                   u"entfernen1"_s,
                                   u"Bewegen1"_s,
                                   u"RemoteRefreshButton"_s,
                                   u"RemoteRefreshItem"_s,
                                   u"FolderTreeButton"_s,
                                   u"FolderTreeItem"_s,
                                   u"RawListingItem"_s,
                                   u"LocalRefreshRemoteItem"_s,
                                   u"SpeedButton9"_s,
                                   u"AnsehenAusfhren1"_s,
                                   u"SpeedButton10"_s,
                                   u"Datentransferabbrechen1"_s,
                                   u"SpeedButton11"_s,
                                   u"SaveLogButton"_s,
                                   u"SpeedButton17"_s};
        QStringList actual;
        for (const QString &name : controls) {
            if (const auto *button = window->findChild<QWidget *>(name); button && button->isEnabled())
                actual.append(name);
            else if (const auto *item = window->findChild<QAction *>(name); item && item->isEnabled())
                actual.append(name);
        }
        if (List()->DetailsView()->viewport()->acceptDrops())
            actual.append(u"drops"_s);
        actual.sort();
        enabled.sort();
        QCOMPARE(actual, enabled);
        window->Main().Flags = OperationFlags();
    }

    void keysSelectRefreshAndDelete()
    {
        RealFtpServer server({});
        QVERIFY(server.addFile(u"a.txt"_s, "a"));
        QVERIFY(server.addFile(u"b.txt"_s, "b"));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server);
        QTreeView *view = List()->DetailsView();
        view->setFocus();

        m_fixture.Window()->Main().Flags.OperationBusy = true;
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(SelectedCaptions(List()), QStringList());
        m_fixture.Window()->Main().Flags.OperationBusy = false;
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(SelectedCaptions(List()), (QStringList{u"a.txt"_s, u"b.txt"_s}));

        int deletes = 0;
        connect(m_fixture.Window()->Remote()->SpeedButton7, &QToolButton::clicked, this, [&] { ++deletes; });
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(deletes, 0); // two entries, and deleting several is not allowed
        SelectCaptions(List(), {u"b.txt"_s});
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(deletes, 1);

        QVERIFY(server.addFile(u"c.txt"_s, "c"));
        QTest::keyClick(view, Qt::Key_F5);
        QCOMPARE(Captions(List()), (QStringList{u".."_s, u"a.txt"_s, u"b.txt"_s, u"c.txt"_s}));
    }

    // Enter opens the selected row as the double-click does, Backspace goes
    // up; both only while the session is free.
    void keysMoveBetweenFolders_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("selected");
        QTest::newRow("Return on a folder")
            << u"/"_s << u"Ordner A"_s << int(Qt::Key_Return) << 0 << u"/Ordner A"_s << QStringList();
        QTest::newRow("keypad Enter on a folder")
            << u"/"_s << u"Ordner A"_s << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << u"/Ordner A"_s
            << QStringList();
        QTest::newRow("Return on the parent row") << u"/Ordner A/Unter B"_s << u".."_s << int(Qt::Key_Return)
                                                  << 0 << u"/Ordner A"_s << QStringList{u"Unter B"_s};
        QTest::newRow("Backspace") << u"/Ordner A/Unter B"_s << u"x.txt"_s << int(Qt::Key_Backspace) << 0
                                   << u"/Ordner A"_s << QStringList{u"Unter B"_s};
        QTest::newRow("Backspace at the root")
            << u"/"_s << u"z.txt"_s << int(Qt::Key_Backspace) << 0 << u"/"_s << QStringList();
    }

    void keysMoveBetweenFolders()
    {
        QFETCH(QString, start);
        QFETCH(QString, row);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, folder);
        QFETCH(QStringList, selected);
        RealFtpServer *server = SharedServer({}, [](RealFtpServer &server) {
            return server.addFolder(u"Ordner A/Unter B/"_s) &&
                   server.addFile(u"Ordner A/Unter B/x.txt"_s, "x") && server.addFile(u"z.txt"_s, "z");
        });
        QVERIFY(server);
        m_fixture.Connect(*server);
        Browser()->ChangeRemoteFolder(start);
        QCOMPARE(ShownFolder(), start);
        SelectCaptions(List(), {row});
        QTreeView *view = List()->DetailsView();
        view->setFocus();

        // Busy: the key is refused and nothing moves.
        m_fixture.Window()->Main().Flags.OperationBusy = true;
        QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(ShownFolder(), start);
        m_fixture.Window()->Main().Flags.OperationBusy = false;

        QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(ShownFolder(), folder);
        QCOMPARE(SelectedCaptions(List()), selected);
    }

    // A path typed into the remote path field and confirmed with Enter:
    // relative to the current folder, from the root, or up; an unknown one
    // keeps the folder and says so.
    void typedPathChangesTheFolder_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("status");
        const QString done = u"Fertig"_s;
        QTest::newRow("folder of the current one") << u"Unter B"_s << u"/Ordner A/Unter B"_s << done;
        QTest::newRow("path from the root") << u" /z "_s << u"/z"_s << done;
        QTest::newRow("up") << u".."_s << u"/"_s << done;
        QTest::newRow("unknown folder") << u"/gibt es nicht"_s << u"/Ordner A"_s
                                        << u"Der Ordner „/gibt es nicht“ wurde nicht gefunden."_s;
        QTest::newRow("a file") << u"x.txt"_s << u"/Ordner A"_s
                                << u"Der Ordner „x.txt“ wurde nicht gefunden."_s;
    }

    void typedPathChangesTheFolder()
    {
        QFETCH(QString, typed);
        QFETCH(QString, folder);
        QFETCH(QString, status);
        RealFtpServer *server = SharedServer({}, [](RealFtpServer &server) {
            return server.addFolder(u"Ordner A/Unter B/"_s) && server.addFile(u"Ordner A/x.txt"_s, "x") &&
                   server.addFolder(u"z/"_s);
        });
        QVERIFY(server);
        m_fixture.Connect(*server);
        Browser()->ChangeRemoteFolder(u"/Ordner A"_s);
        QLineEdit *field = m_fixture.Window()->Paths()->Edit1;
        QVERIFY(!field->isReadOnly());

        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(ShownFolder(), folder);
        QCOMPARE(m_fixture.Window()->Main().Connection.CurrentDir(), folder);
        QCOMPARE(m_fixture.Window()->Status()->PanelText(2), status);
    }

    // What is typed and not confirmed never stands for the current folder:
    // Escape, leaving the field and any command put the folder back, and
    // while the session is busy or gone the field takes no typing.
    void anUnconfirmedPathIsDropped()
    {
        RealFtpServer server({});
        QVERIFY(server.addFolder(u"sub/"_s));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QLineEdit *field = m_fixture.Window()->Paths()->Edit1;
        QVERIFY(field->isReadOnly());
        m_fixture.Connect(server);
        const auto type = [field](const QString &text) {
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, text);
        };

        type(u"/elsewhere"_s);
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(ShownFolder(), u"/"_s);
        type(u"/elsewhere"_s);
        List()->DetailsView()->setFocus();
        QCOMPARE(ShownFolder(), u"/"_s);
        type(u"/elsewhere"_s);
        m_fixture.Window()->Remote()->RefreshButton->click();
        QCOMPARE(ShownFolder(), u"/"_s);

        type(u"/elsewhere"_s);
        m_fixture.Window()->Main().Flags.TransferActive = true;
        Browser()->UpdateCommandStates();
        QVERIFY(field->isReadOnly());
        QCOMPARE(ShownFolder(), u"/"_s);
        QTest::keyClicks(field, u"sub"_s);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(ShownFolder(), u"/"_s);
        QCOMPARE(m_fixture.Window()->Main().Connection.CurrentDir(), u"/"_s);
        m_fixture.Window()->Main().Flags.TransferActive = false;
    }

    void inPlaceEditAsksTheRenameHandler_data()
    {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("captions");
        QTest::newRow("renamed") << int(RemoteBrowser::RenameOutcome::Keep)
                                 << QStringList{u".."_s, u"neu.txt"_s, u"z.txt"_s};
        QTest::newRow("refused") << int(RemoteBrowser::RenameOutcome::Restore)
                                 << QStringList{u".."_s, u"a.txt"_s, u"z.txt"_s};
        QTest::newRow("moved away") << int(RemoteBrowser::RenameOutcome::Remove)
                                    << QStringList{u".."_s, u"z.txt"_s};
    }

    void inPlaceEditAsksTheRenameHandler()
    {
        QFETCH(int, outcome);
        QFETCH(QStringList, captions);
        RealFtpServer server({});
        QVERIFY(server.addFile(u"a.txt"_s, "a"));
        QVERIFY(server.addFile(u"z.txt"_s, "z"));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server);
        QStringList asked;
        Browser()->SetRenameHandler([&](const QString &oldCaption, const QString &newCaption) {
            asked << oldCaption << newCaption;
            return RemoteBrowser::RenameOutcome(outcome);
        });
        QTreeView *view = List()->DetailsView();

        // ".." cannot be edited, neither by the key nor by the button.
        SelectCaptions(List(), {u".."_s});
        view->setCurrentIndex(List()->Rows()->index(0, 0));
        QTest::keyClick(view, Qt::Key_F2);
        QVERIFY(!OpenEditor(view));

        SelectCaptions(List(), {u"a.txt"_s});
        m_fixture.Window()->Remote()->SpeedButton6->click();
        QLineEdit *editor = OpenEditor(view);
        QVERIFY(editor);
        QCOMPARE(editor->text(), u"a.txt"_s);
        editor->selectAll();
        QTest::keyClicks(editor, u"neu.txt"_s);
        // The Return that ends the edit only ends the edit: it opens nothing.
        QSignalSpy opened(Browser(), &RemoteBrowser::openFileRequested);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(asked, (QStringList{u"a.txt"_s, u"neu.txt"_s}));
        QTRY_COMPARE(Captions(List()), captions);
        QCOMPARE(opened.size(), 0);
    }

    void fileTypesShareSymbolsAndLinksAskForTheirSize()
    {
        RealFtpServer server({.hideMlsd = true});
        QVERIFY(server.addFile(u"a.TXT"_s, "a"));
        QVERIFY(server.addFile(u"b.txt"_s, "b"));
        QVERIFY(server.addFile(u"c.png"_s, "c"));
        QVERIFY(server.addFolder(u"sub/"_s));
        QVERIFY(MakeSymlink(u"b.txt"_s, server.rootDir() + u"/verweis"_s));
        QVERIFY(MakeSymlink(u"/nirgends/x.txt"_s, server.rootDir() + u"/kaputt"_s));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server);

        const auto symbolOf = [this](const QString &caption) {
            return List()->Row(RowNamed(List(), caption)).symbol;
        };
        QCOMPARE(symbolOf(u"a.TXT"_s), symbolOf(u"b.txt"_s));
        QVERIFY(symbolOf(u"a.TXT"_s) >= kFirstFileTypeSymbol);
        QVERIFY(symbolOf(u"c.png"_s) != symbolOf(u"b.txt"_s));
        // The link to a file carries the link mark: a symbol of its own.
        const int link = symbolOf(u"verweis -> b.txt"_s);
        QVERIFY(link >= kFirstFileTypeSymbol);
        QVERIFY(link != symbolOf(u"b.txt"_s));
        QCOMPARE(symbolOf(u"kaputt -> /nirgends/x.txt"_s), int(kFolderLinkSymbol));
        QCOMPARE(symbolOf(u"sub"_s), int(kFolderSymbol));
        QCOMPARE(List()->Rows()->Symbols().AddedCount(), 3);
        const QStringList sizes = server.commands().filter(QRegularExpression(u"^SIZE "_s));
        QCOMPARE(sizes, (QStringList{u"SIZE /nirgends/x.txt"_s, u"SIZE b.txt"_s}));

        // Leaving the session drops the added symbols with the rows.
        Browser()->ClearRemoteList();
        QCOMPARE(List()->RowCount(), 0);
        QCOMPARE(List()->Rows()->Symbols().AddedCount(), 0);
        QCOMPARE(ShownFolder(), QString());
    }

    void rawListingIsWrittenToTheTmpFolderAndOpened()
    {
        RealFtpServer server({});
        QVERIFY(server.addFile(u"a b.txt"_s, "12345"));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server);
        OpenedUrls opened;
        QDesktopServices::setUrlHandler(u"file"_s, &opened, "open");
        server.clearTranscript();
        m_fixture.Window()->Remote()->RawListingItem->trigger();
        QDesktopServices::unsetUrlHandler(u"file"_s);

        QCOMPARE(opened.urls.size(), 1);
        const QString path = opened.urls.first().toLocalFile();
        QCOMPARE(QFileInfo(path).absolutePath() + u'/', m_fixture.Window()->Folders().TmpFolder());
        // The display name is the session control's; it is empty here.
        QVERIFY2(
            QRegularExpression(u"^[a-z]{8}\\.txt_\\.txt$"_s).match(QFileInfo(path).fileName()).hasMatch(),
            qPrintable(path));
        const QByteArray text = FileContent(path);
        QVERIFY2(text.contains("type=file;") && text.endsWith("; a b.txt\r\n") && text.count('\n') == 1,
                 text.constData());
        QVERIFY(server.commands().contains(u"MLSD"_s));
        QVERIFY(!m_fixture.Window()->Main().Flags.ListingBusy);
    }

    // A folder whose listing is beyond the limit says so in the status bar
    // and shows no rows; the session goes on with the next command.
    void aListingBeyondTheLimitSaysSo()
    {
        RealFtpServer server({});
        QVERIFY(AddManyFiles(server));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server);
        TFTPqvx *window = m_fixture.Window();
        window->Main().Connection.MaxListingSize = 8 * 1024;
        window->Main().RunCommand([&] { Browser()->ChangeRemoteFolder(u"viele"_s); });

        QCOMPARE(
            window->Status()->PanelText(2),
            u"Der Inhalt des Ordners ist zu groß (mehr als 8 KiB) und wurde nicht vollständig gelesen."_s);
        QCOMPARE(Captions(List()), QStringList{u".."_s});
        QCOMPARE(ShownFolder(), u"/viele"_s);
        QVERIFY(!window->Main().Flags.ListingBusy);
        QVERIFY(window->Main().Connection.IsConnected());

        window->Main().Connection.MaxListingSize = TIdFTP::kDefaultMaxListingSize;
        window->Main().RunCommand([&] { Browser()->RefreshRemoteList(); });
        QCOMPARE(List()->RowCount(), kManyFiles + 1);
        QCOMPARE(window->Status()->PanelText(2), u"Fertig"_s);
    }

    // The abort button pressed while a folder is listed: no error, no
    // rows of a half listing, and the next listing is the folder's own.
    void aCancelledListingShowsNoRowsAndNoError()
    {
        RealFtpServer server({});
        QVERIFY(AddManyFiles(server));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server);
        TFTPqvx *window = m_fixture.Window();
        TIdFTP &ftp = window->Main().Connection;
        const TWorkEvent shown = ftp.OnWork;
        bool pressed = false;
        ftp.OnWork = [&](TIdTCPConnection *sender, TWorkMode mode, qint64 count) {
            shown(sender, mode, count);
            if (!pressed && window->Remote()->SpeedButton10->isEnabled()) {
                pressed = true;
                window->Remote()->SpeedButton10->click();
            }
        };
        window->Main().RunCommand([&] { Browser()->ChangeRemoteFolder(u"viele"_s); });
        ftp.OnWork = shown;

        QVERIFY(pressed);
        QCOMPARE(window->Status()->PanelText(2), u"Fertig"_s);
        QCOMPARE(Captions(List()), QStringList{u".."_s});
        QVERIFY(!window->Main().Flags.ListingBusy);
        window->Main().Flags.CancelRequested = false;
        window->Main().RunCommand([&] { Browser()->RefreshRemoteList(); });
        QCOMPARE(List()->RowCount(), kManyFiles + 1);
        QCOMPARE(ShownFolder(), u"/viele"_s);
    }
};

QTEST_MAIN(RemotePaneTest)
#include "test_remotepane.moc"
