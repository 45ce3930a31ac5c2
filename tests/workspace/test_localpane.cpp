// The local pane: new folders, the upload button, Ctrl+A, and drag and drop
// between the panes, with the main session logged in to pyftpdlib.
#include "remotesessionfixture.h"

#include "localbrowser.h"
#include "locallistview.h"
#include "localpane.h"
#include "pathrow.h"
#include "remotepane.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Sends a drag that enters the viewport, moves to the point and is dropped
// there, as the desktop delivers it; true when the drop was accepted.
bool DragAndDrop(QWidget *viewport, const QPoint &at, const QMimeData &data)
{
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
    if (!move.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    return drop.isAccepted();
}

QMimeData *LocalFiles(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

} // namespace

class LocalPaneTest : public QObject {
    Q_OBJECT

private:
    RemoteSessionFixture m_fixture;
    std::unique_ptr<QTemporaryDir> m_folder;

    LocalPane *Pane() const { return m_fixture.Window()->Local(); }
    LocalListView *LocalList() const { return Pane()->List; }
    RemoteListView *RemoteList() const { return m_fixture.Window()->Remote()->List; }

    QString MakeLocalFolder(const QStringList &folders, const QStringList &files)
    {
        m_folder = std::make_unique<QTemporaryDir>();
        for (const QString &folder : folders)
            QDir(m_folder->path()).mkpath(folder);
        for (const QString &file : files)
            WriteFileContent(m_folder->filePath(file), "local");
        return m_folder->path();
    }

    // Shows the folder and waits until its entries are listed.
    bool ShowLocalFolder(const QString &folder, int entries)
    {
        if (!LocalList()->SetFolder(folder))
            return false;
        QFileSystemModel *files = LocalList()->FileSystem();
        return QTest::qWaitFor([&] { return files->rowCount(files->index(folder)) == entries; });
    }

    QPoint PointOf(const QString &name)
    {
        const QModelIndex entry = LocalList()->FindEntry(name);
        return LocalList()->DetailsView()->visualRect(entry).center();
    }

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void init() { QVERIFY(m_fixture.OpenWindow()); }
    void cleanup()
    {
        m_fixture.Close();
        m_folder.reset();
    }

    void newFolderTakesTheNextNumberAndOpensItsName()
    {
        const QString folder = MakeLocalFolder({u"Neuer Ordner"_s, u"Neuer Ordner (1)"_s}, {});
        QVERIFY(ShowLocalFolder(folder, 2));
        Pane()->NewFolderButton->click();
        QVERIFY(QFileInfo(folder + u"/Neuer Ordner (2)"_s).isDir());

        QLineEdit *editor = nullptr;
        QVERIFY(
            QTest::qWaitFor([&] { return (editor = OpenEditor(LocalList()->DetailsView())) != nullptr; }));
        QCOMPARE(editor->text(), u"Neuer Ordner (2)"_s);
        editor->selectAll();
        QTest::keyClicks(editor, u"Fotos"_s);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(QFileInfo(folder + u"/Fotos"_s).isDir());
        QVERIFY(!QFileInfo::exists(folder + u"/Neuer Ordner (2)"_s));
    }

    // A path typed into the path box and confirmed with Enter opens that
    // folder; one that does not exist keeps the folder shown. In the texts
    // %1 stands for the test folder, %2 for the home folder.
    void typedPathOpensTheFolder_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("shown");
        QTest::newRow("full path") << u"%1/Bilder/Urlaub"_s << int(Qt::Key_Return) << u"%1/Bilder/Urlaub"_s;
        QTest::newRow("keypad Enter") << u"%1/Bilder"_s << int(Qt::Key_Enter) << u"%1/Bilder"_s;
        QTest::newRow("below the folder shown")
            << u"Bilder/Urlaub/"_s << int(Qt::Key_Return) << u"%1/Bilder/Urlaub"_s;
        QTest::newRow("up") << u".."_s << int(Qt::Key_Return) << QString();
        QTest::newRow("home folder") << u"~"_s << int(Qt::Key_Return) << u"%2"_s;
        QTest::newRow("no such folder") << u"%1/Fehlt"_s << int(Qt::Key_Return) << u"%1"_s;
        QTest::newRow("a file") << u"notiz.txt"_s << int(Qt::Key_Return) << u"%1"_s;
    }

    void typedPathOpensTheFolder()
    {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, shown);
        const QString folder = MakeLocalFolder({u"Bilder/Urlaub"_s}, {u"notiz.txt"_s});
        const auto place = [&](QString text) {
            return text.replace(u"%1"_s, folder).replace(u"%2"_s, m_fixture.Home());
        };
        const QString expected = shown.isNull() ? QFileInfo(folder).absolutePath() : place(shown);
        QVERIFY(LocalList()->SetFolder(folder));
        QComboBox *box = m_fixture.Window()->Paths()->LMDShellComboBox1;
        QLineEdit *field = box->lineEdit();
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, place(typed));
        QTest::keyClick(field, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QCOMPARE(LocalList()->Folder(), expected);
        QCOMPARE(box->currentText(), expected);
    }

    // The local list writes dates as the remote list does: the program's
    // German format with a four-digit year and seconds, whatever the
    // machine's locale.
    void datesAreWrittenLikeTheRemoteList()
    {
        const QString folder = MakeLocalFolder({u"Ordner"_s}, {u"a.txt"_s});
        const QDateTime modified(QDate(2024, 3, 9), QTime(7, 8, 9));
        QVERIFY(SetModified(folder + u"/a.txt"_s, modified));
        QVERIFY(SetModified(folder + u"/Ordner"_s, modified.addDays(-1)));
        QVERIFY(ShowLocalFolder(folder, 2));
        QFileSystemModel *files = LocalList()->FileSystem();
        const auto dateShown = [&](const QString &name) {
            return files->index(LocalList()->FindEntry(name).row(), 3, files->index(folder))
                .data()
                .toString();
        };
        QCOMPARE(dateShown(u"a.txt"_s), u"09.03.2024 07:08:09"_s);
        QCOMPARE(dateShown(u"Ordner"_s), u"08.03.2024 07:08:09"_s);
    }

    void remoteRowsDroppedOnTheLocalListDownload_data()
    {
        QTest::addColumn<QString>("dropOn");
        QTest::addColumn<QString>("downloadInto");
        QTest::newRow("a subfolder becomes the pane's folder") << u"ziel"_s << u"ziel"_s;
        QTest::newRow("a file: the folder shown") << u"datei.txt"_s << QString();
    }

    void remoteRowsDroppedOnTheLocalListDownload()
    {
        QFETCH(QString, dropOn);
        QFETCH(QString, downloadInto);
        RealFtpServer server({});
        for (const QString &name : {u"a.txt"_s, u"b.txt"_s, u"c.txt"_s})
            QVERIFY(server.addFile(name, "remote"));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        m_fixture.Connect(server);
        const QString folder = MakeLocalFolder({u"ziel"_s}, {u"datei.txt"_s});
        QVERIFY(ShowLocalFolder(folder, 2));

        SelectCaptions(RemoteList(), {u"a.txt"_s, u"b.txt"_s, u"c.txt"_s});
        // The rows as the remote list hands them to a drag.
        const std::unique_ptr<QMimeData> rows(
            RemoteList()->Rows()->mimeData(RemoteList()->SelectionModel()->selectedIndexes()));
        QCOMPARE(QString::fromUtf8(rows->data(RemoteListModel::kMimeType)), u"a.txt\nb.txt\nc.txt"_s);

        QStringList downloadedInto;
        connect(m_fixture.Window()->Browser(), &RemoteBrowser::downloadSelectionRequested, this,
                [&] { downloadedInto.append(LocalList()->Folder()); });
        QVERIFY(DragAndDrop(LocalList()->DetailsView()->viewport(), PointOf(dropOn), *rows));
        const QString expected = downloadInto.isEmpty() ? folder : folder + u'/' + downloadInto;
        QTRY_COMPARE(downloadedInto, QStringList{expected});
        QCOMPARE(SelectedCaptions(RemoteList()), (QStringList{u"a.txt"_s, u"b.txt"_s, u"c.txt"_s}));
    }

    void theLocalListRefusesOtherDrags()
    {
        RealFtpServer server({});
        QVERIFY(server.addFile(u"a.txt"_s, "remote"));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        const QString folder = MakeLocalFolder({u"ziel"_s}, {u"datei.txt"_s});
        QVERIFY(ShowLocalFolder(folder, 2));
        int downloads = 0;
        connect(m_fixture.Window()->Browser(), &RemoteBrowser::downloadSelectionRequested, this,
                [&] { ++downloads; });
        QWidget *viewport = LocalList()->DetailsView()->viewport();
        QMimeData rows;
        rows.setData(RemoteListModel::kMimeType, "a.txt");

        for (const QString &view : {u"LocalViewsView1"_s, u"LocalViewsView3"_s}) {
            m_fixture.Window()->findChild<QAction *>(view)->trigger();
            QVERIFY2(LocalList()->CurrentView()->viewport()->acceptDrops(), qPrintable(view));
            QVERIFY2(LocalList()->CurrentView()->dragEnabled(), qPrintable(view));
        }
        QVERIFY2(!DragAndDrop(viewport, PointOf(u"ziel"_s), rows), "not connected");
        m_fixture.Connect(server);
        const std::unique_ptr<QMimeData> localEntries(LocalFiles({folder + u"/datei.txt"_s}));
        QVERIFY2(!DragAndDrop(viewport, PointOf(u"ziel"_s), *localEntries), "local entries");
        m_fixture.Window()->Main().Flags.TransferActive = true;
        QVERIFY2(!DragAndDrop(viewport, PointOf(u"ziel"_s), rows), "transfer running");
        m_fixture.Window()->Main().Flags.TransferActive = false;
        QCoreApplication::processEvents();
        QCOMPARE(downloads, 0);
        QCOMPARE(LocalList()->Folder(), folder);
    }

    void filesDroppedOnTheRemoteListUpload()
    {
        RealFtpServer server({});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        const QString folder = MakeLocalFolder({u"ordner"_s}, {u"datei.txt"_s});
        const std::unique_ptr<QMimeData> files(LocalFiles({folder + u"/datei.txt"_s, folder + u"/ordner"_s}));
        QList<QStringList> uploads;
        connect(m_fixture.Window()->Browser(), &RemoteBrowser::uploadRequested, this,
                [&](const QStringList &paths) { uploads.append(paths); });
        QWidget *viewport = RemoteList()->DetailsView()->viewport();

        QVERIFY2(!viewport->acceptDrops(), "not connected");
        m_fixture.Connect(server);
        QVERIFY(viewport->acceptDrops());
        QVERIFY(DragAndDrop(viewport, QPoint(20, 20), *files));
        QCOMPARE(uploads, QList<QStringList>{(QStringList{folder + u"/datei.txt"_s, folder + u"/ordner"_s})});
        // The icon views take drops and start drags as well.
        m_fixture.Window()->findChild<QAction *>(u"RemoteButtonViewsView0"_s)->trigger();
        QWidget *icons = RemoteList()->IconView()->viewport();
        QVERIFY(icons->isVisible());
        QVERIFY(icons->acceptDrops());
        QVERIFY(RemoteList()->IconView()->dragEnabled());
        QVERIFY(DragAndDrop(icons, QPoint(20, 20), *files));
        QCOMPARE(uploads.size(), 2);
        uploads.removeLast();

        QMimeData ownRows;
        ownRows.setData(RemoteListModel::kMimeType, "..");
        ownRows.setUrls({QUrl::fromLocalFile(folder + u"/datei.txt"_s)});
        QVERIFY2(!DragAndDrop(viewport, QPoint(20, 20), ownRows), "rows of the remote list itself");
        m_fixture.Window()->Browser()->SetThumbnailsLoading(true);
        QVERIFY2(!DragAndDrop(viewport, QPoint(20, 20), *files), "thumbnails loading");
        QCOMPARE(uploads.size(), 1);
    }

    void uploadButtonAndSelectAllNeedTheSession()
    {
        RealFtpServer server({});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        const QString folder = MakeLocalFolder({}, {u"a.txt"_s, u"b.txt"_s});
        QVERIFY(ShowLocalFolder(folder, 2));
        QTreeView *view = LocalList()->DetailsView();
        view->setFocus();
        QToolButton *upload = Pane()->SpeedButton18;

        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(!LocalList()->SelectionModel()->hasSelection());
        view->setCurrentIndex(LocalList()->FindEntry(u"a.txt"_s));
        QVERIFY(LocalList()->SelectionModel()->hasSelection());
        QVERIFY2(!upload->isEnabled(), "disconnected");

        m_fixture.Connect(server);
        QVERIFY(upload->isEnabled());
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QStringList selected = LocalList()->SelectedPaths();
        selected.sort();
        QCOMPARE(selected, (QStringList{folder + u"/a.txt"_s, folder + u"/b.txt"_s}));

        QStringList uploaded;
        connect(m_fixture.Window()->Browser(), &RemoteBrowser::uploadRequested, this,
                [&](const QStringList &paths) { uploaded = paths; });
        upload->click();
        uploaded.sort();
        QCOMPARE(uploaded, selected);

        m_fixture.Window()->Main().Flags.OperationBusy = true;
        m_fixture.Window()->Browser()->UpdateCommandStates();
        QVERIFY2(!upload->isEnabled(), "operation running");
        m_fixture.Window()->Main().Flags.OperationBusy = false;
    }

    void pasteFromTheServerNeedsCopiedEntries()
    {
        QAction *paste = Pane()->Einfgen1;
        const auto openMenu = [this] {
            Pane()->ContextMenu->popup(QPoint(10, 10));
            Pane()->ContextMenu->hide();
        };
        openMenu();
        QVERIFY(!paste->isEnabled());
        m_fixture.Window()->Main().CopyList = {CopiedRemoteEntry{u'-', u"/a.txt"_s}};
        openMenu();
        QVERIFY(paste->isEnabled());
    }
};

QTEST_MAIN(LocalPaneTest)
#include "test_localpane.moc"
