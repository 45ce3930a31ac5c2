// Room for what the window shows: list columns as wide as their content with
// the name column taking the rest, the status bar's system type panel, and
// dialogs as wide as their titles.
#include "remotesessionfixture.h"

#include "columnfitter.h"
#include "dialogtitleroom.h"
#include "locallistview.h"
#include "localpane.h"
#include "remotepane.h"
#include "statuspanels.h"

#include <QDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Room a cell's text needs besides its own width: the style's margins.
int TextMargins(const QWidget *view)
{
    return 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
}

int SumOf(const QList<int> &widths)
{
    return std::accumulate(widths.begin(), widths.end(), 0);
}

// The texts of a column that do not fit their cells.
QStringList CutTexts(const QTreeView *view, int column)
{
    QStringList cut;
    const QAbstractItemModel *model = view->model();
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QString text = model->index(row, column, root).data().toString();
        if (view->fontMetrics().horizontalAdvance(text) + TextMargins(view) > view->columnWidth(column))
            cut.append(text);
    }
    return cut;
}

} // namespace

class RoomTest : public QObject {
    Q_OBJECT

private:
    RemoteSessionFixture m_fixture;

    QTreeView *RemoteView() const { return m_fixture.Window()->Remote()->List->DetailsView(); }

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void init() { QVERIFY(m_fixture.OpenWindow()); }
    void cleanup() { m_fixture.Close(); }

    void fittedWidths_data()
    {
        QTest::addColumn<QList<int>>("content");
        QTest::addColumn<int>("available");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("the name takes the rest")
            << QList<int>{0, 60, 140, 80} << 600 << QList<int>{320, 60, 140, 80};
        QTest::newRow("exactly full") << QList<int>{0, 60, 140, 80} << 380 << QList<int>{100, 60, 140, 80};
        QTest::newRow("too narrow: the name keeps its minimum")
            << QList<int>{0, 60, 140, 80} << 300 << QList<int>{100, 60, 140, 80};
        QTest::newRow("one column") << QList<int>{0} << 250 << QList<int>{250};
    }

    void fittedWidths()
    {
        QFETCH(QList<int>, content);
        QFETCH(int, available);
        QFETCH(QList<int>, widths);
        QCOMPARE(FittedColumnWidths(content, 0, available, 100), widths);
    }

    // Sizes, dates and permissions are shown whole and the name column takes
    // the free width, also after the window grows; once the user sizes a
    // column himself, the widths stay.
    void remoteColumnsFitTheirContent()
    {
        RealFtpServer server({});
        const QString longName = u"Jahresbericht mit Größenangaben.txt"_s;
        QVERIFY(server.addFile(longName, QByteArray(123456, 'x')));
        QVERIFY(server.addFile(u"a.txt"_s, "a"));
        QVERIFY(server.addFolder(u"Ordner/"_s));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        TFTPqvx *window = m_fixture.Window();
        window->resize(1200, 700);
        m_fixture.Connect(server, false);
        QTreeView *view = RemoteView();
        const RemoteListView *list = window->Remote()->List;

        const auto fitted = [&] {
            return SumOf(list->ColumnWidths()) == view->viewport()->width() && CutTexts(view, 1).isEmpty() &&
                   CutTexts(view, 2).isEmpty() && CutTexts(view, 3).isEmpty();
        };
        QTRY_VERIFY2(fitted(), qPrintable(CutTexts(view, 2).join(u", "_s)));
        QVERIFY(view->columnWidth(0) > view->fontMetrics().horizontalAdvance(longName) + 16);

        const QList<int> before = list->ColumnWidths();
        window->resize(1400, 700);
        QTRY_VERIFY(view->columnWidth(0) > before[0] + 50);
        QVERIFY(fitted());
        QCOMPARE(list->ColumnWidths().mid(1), before.mid(1));

        // The user drags the border after the date column to the left.
        QHeaderView *header = view->header();
        const int border = header->sectionViewportPosition(3) - 1;
        const int y = header->height() / 2;
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(border, y));
        QTest::mouseMove(header->viewport(), QPoint(border - 40, y));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(border - 40, y));
        QVERIFY(!list->FitsColumns());
        const QList<int> chosen = list->ColumnWidths();
        window->resize(1200, 700);
        QTest::qWait(50);
        QCOMPARE(list->ColumnWidths(), chosen);
    }

    // Widths saved with "Ansicht beim Beenden speichern" (here from a small
    // window) are where the columns start: a column keeps at least its saved
    // width and is widened to its content, and the name column still takes
    // the free width of the larger window.
    void restoredWidthsAreAStartingPoint()
    {
        m_fixture.Close();
        QTemporaryDir home;
        qputenv("HOME", QFile::encodeName(home.path()));
        const QString longName = u"Ein längerer Dateiname.txt"_s;
        WriteFileContent(home.filePath(longName), "x");
        const QString settings = home.filePath(u"Documents/QvxORNAFTPGlimra/glimra.ini"_s);
        QVERIFY(QDir().mkpath(QFileInfo(settings).absolutePath()));
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[StartUp]\r\nAnsicht_FTP_Save=-1\r\nAnsicht_Lokal_Save=-1\r\nRight_Col0=61\r\n"
                   "Right_Col1=12\r\nRight_Col3=150\r\nLeft_Col0=61\r\nLeft_Col1=12\r\n");
        file.close();
        TFTPqvx window;
        window.resize(1400, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const RemoteListView *remote = window.Remote()->List;
        const QTreeView *remoteView = remote->DetailsView();
        QVERIFY(remote->FitsColumns());
        QTRY_COMPARE(SumOf(remote->ColumnWidths()), remoteView->viewport()->width());
        QVERIFY(remote->ColumnWidths().value(0) > 300);
        QVERIFY(remote->ColumnWidths().value(1) >= remoteView->header()->sectionSizeHint(1));
        QCOMPARE(remote->ColumnWidths().value(3), 150);

        LocalListView *local = window.Local()->List;
        QTreeView *localView = local->DetailsView();
        QVERIFY(local->FitsColumns());
        QTRY_VERIFY(local->Model()->rowCount(localView->rootIndex()) > 0);
        // The name column has the file's symbol beside the text.
        const int nameRoom =
            localView->fontMetrics().horizontalAdvance(longName) + localView->iconSize().width() + 16;
        QTRY_VERIFY2(local->ColumnWidths().value(0) > nameRoom && CutTexts(localView, 1).isEmpty(),
                     qPrintable(u"%1 > %2"_s.arg(local->ColumnWidths().value(0)).arg(nameRoom)));
        QTRY_COMPARE(SumOf(local->ColumnWidths()), localView->viewport()->width());
    }

    void localColumnsShowDatesAndTypesWhole()
    {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir(u"Ein Ordner mit einem langen Namen"_s));
        WriteFileContent(folder.filePath(u"bild.jpeg"_s), "jpeg");
        WriteFileContent(folder.filePath(u"archiv.tar.gz"_s), QByteArray(5000, 'z'));
        TFTPqvx *window = m_fixture.Window();
        window->resize(1200, 700);
        LocalListView *list = window->Local()->List;
        QVERIFY(list->SetFolder(folder.path()));
        QFileSystemModel *files = list->FileSystem();
        QTRY_COMPARE(files->rowCount(files->index(folder.path())), 3);
        QTreeView *view = list->DetailsView();
        QTRY_VERIFY2(CutTexts(view, 1).isEmpty() && CutTexts(view, 2).isEmpty() &&
                         CutTexts(view, 3).isEmpty(),
                     qPrintable((CutTexts(view, 2) + CutTexts(view, 3)).join(u", "_s)));
        QCOMPARE(SumOf(list->ColumnWidths()), view->viewport()->width());
    }

    void systemTypePanelShowsItsText()
    {
        StatusPanels *status = m_fixture.Window()->Status();
        auto *panel = status->findChild<QLabel *>(u"StatusPanel3"_s);
        QVERIFY(panel);
        QCOMPARE(panel->width(), 50);
        const QString type = u"UNIX Type: L8"_s;
        status->SetPanelText(3, type);
        QTRY_VERIFY(panel->contentsRect().width() >= panel->fontMetrics().horizontalAdvance(type));
        status->SetPanelText(3, QString());
        QCOMPARE(panel->width(), 50);
    }

    // A title wider than the dialog's content widens the dialog: its text and
    // the window manager's three buttons fit.
    void dialogsMakeRoomForTheirTitles_data()
    {
        QTest::addColumn<bool>("messageBox");
        QTest::newRow("message box") << true;
        QTest::newRow("dialog") << false;
    }

    void dialogsMakeRoomForTheirTitles()
    {
        QFETCH(bool, messageBox);
        DialogTitleRoom room;
        qApp->installEventFilter(&room);
        const QString title = u"Das Löschen eines FTP Objektes bestätigen"_s;
        std::unique_ptr<QDialog> dialog;
        if (messageBox) {
            dialog = std::make_unique<QMessageBox>(QMessageBox::Question, title, u"Löschen?"_s,
                                                   QMessageBox::Yes | QMessageBox::No);
        } else {
            dialog = std::make_unique<QDialog>();
            dialog->setWindowTitle(title);
            (new QVBoxLayout(dialog.get()))->addWidget(new QLabel(u"Ja?"_s));
        }
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
        titleFont.setBold(true);
        const int needed = QFontMetrics(titleFont).horizontalAdvance(title) + 100;
        QTRY_VERIFY2(dialog->width() >= needed, qPrintable(u"%1 < %2"_s.arg(dialog->width()).arg(needed)));
        qApp->removeEventFilter(&room);
    }
};

QTEST_MAIN(RoomTest)
#include "test_room.moc"
