// The remote folder tree window against pyftpdlib: the walk over nested
// folders, choosing a folder, closing it during the walk, keeping the tree
// between showings and skipping the folder known to be empty.
#include "remotesessionfixture.h"

#include "pathrow.h"
#include "remotepane.h"
#include "ttreedlg1.h"

#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

QStringList TreePaths(const QTreeWidget *tree)
{
    QStringList paths;
    QList<QTreeWidgetItem *> pending;
    for (int row = 0; row < tree->topLevelItemCount(); ++row)
        pending.append(tree->topLevelItem(row));
    while (!pending.isEmpty()) {
        QTreeWidgetItem *node = pending.takeFirst();
        paths.append(TTreeDlg1::PathOf(node));
        for (int row = 0; row < node->childCount(); ++row)
            pending.append(node->child(row));
    }
    paths.sort();
    return paths;
}

QTreeWidgetItem *NodeAt(const QTreeWidget *tree, const QString &path)
{
    for (QTreeWidgetItem *node : tree->findItems(u"*"_s, Qt::MatchWildcard | Qt::MatchRecursive)) {
        if (TTreeDlg1::PathOf(node) == path)
            return node;
    }
    return nullptr;
}

int CommandsStartingWith(const RealFtpServer &server, const QString &start)
{
    int count = 0;
    for (const QString &command : server.commands())
        count += command.startsWith(start, Qt::CaseInsensitive) ? 1 : 0;
    return count;
}

const QStringList kNestedTree{u"/a/"_s, u"/a/b/"_s, u"/a/b/c/"_s, u"/a/d/"_s, u"/e/"_s};

} // namespace

class FolderTreeTest : public QObject {
    Q_OBJECT

private:
    RemoteSessionFixture m_fixture;

    TTreeDlg1 *Tree() const { return m_fixture.Window()->Browser()->FolderTree(); }

    bool StartNestedServer(RealFtpServer &server)
    {
        for (const QString &folder : {u"a/b/c/"_s, u"a/d/"_s, u"e/"_s}) {
            if (!server.addFolder(folder))
                return false;
        }
        return server.addFile(u"a/b/datei.txt"_s, "x") && server.addFile(u"wurzel.txt"_s, "y");
    }

    bool WaitForBuiltTree()
    {
        return QTest::qWaitFor([this] {
            return Tree()->isVisible() && Tree()->TreeView1->topLevelItemCount() > 0 && !Tree()->IsBuilding();
        });
    }

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void init() { QVERIFY(m_fixture.OpenWindow()); }
    void cleanup() { m_fixture.Close(); }

    void browsingWalksEveryFolderOnceAndKeepsTheTree()
    {
        RealFtpServer server({});
        QVERIFY(StartNestedServer(server));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        m_fixture.Connect(server);
        m_fixture.Window()->Browser()->ChangeRemoteFolder(u"a"_s);
        const QStringList paneRows = Captions(m_fixture.Window()->Remote()->List);
        server.clearTranscript();

        m_fixture.Window()->Remote()->FolderTreeButton->click();
        QVERIFY(Tree()->isVisible());
        QVERIFY(!Tree()->isModal());
        QVERIFY(WaitForBuiltTree());
        QCOMPARE(TreePaths(Tree()->TreeView1), kNestedTree);
        QCOMPARE(CommandsStartingWith(server, u"MLSD"_s), 6);
        QVERIFY(!Tree()->SpeedButton2->isEnabled());
        QVERIFY(Tree()->SpeedButton1->isEnabled());
        QVERIFY(m_fixture.Window()->Remote()->FolderTreeButton->isEnabled());
        QVERIFY(!m_fixture.Window()->Main().Flags.OperationBusy);
        // The session is back where the pane is.
        QCOMPARE(m_fixture.Window()->Main().Connection.CurrentDir(), u"/a"_s);
        QCOMPARE(Captions(m_fixture.Window()->Remote()->List), paneRows);

        Tree()->SpeedButton12->click();
        QVERIFY(!Tree()->isVisible());
        server.clearTranscript();
        m_fixture.Window()->Remote()->FolderTreeButton->click();
        QVERIFY(Tree()->isVisible());
        QTest::qWait(50);
        QCOMPARE(CommandsStartingWith(server, u"MLSD"_s), 0);
        QCOMPARE(TreePaths(Tree()->TreeView1), kNestedTree);

        // "Aktualisieren" walks again.
        Tree()->SpeedButton1->click();
        QVERIFY(WaitForBuiltTree());
        QCOMPARE(CommandsStartingWith(server, u"MLSD"_s), 6);
        QCOMPARE(TreePaths(Tree()->TreeView1), kNestedTree);

        // The end of the session empties the tree and closes the window.
        m_fixture.Window()->Browser()->ClearRemoteList();
        QVERIFY(!Tree()->isVisible());
        QCOMPARE(Tree()->TreeView1->topLevelItemCount(), 0);
        QVERIFY(!Tree()->SpeedButton1->isEnabled());
    }

    void choosingAFolderGivesItsPath_data()
    {
        QTest::addColumn<QString>("choose");
        QTest::addColumn<QString>("button");
        QTest::addColumn<std::optional<QString>>("chosen");
        QTest::newRow("second level")
            << u"/a/b/"_s << u"SpeedButton2"_s << std::optional<QString>(u"/a/b/"_s);
        QTest::newRow("first level") << u"/e/"_s << u"SpeedButton2"_s << std::optional<QString>(u"/e/"_s);
        QTest::newRow("closed") << u"/a/"_s << u"SpeedButton12"_s << std::optional<QString>();
    }

    void choosingAFolderGivesItsPath()
    {
        QFETCH(QString, choose);
        QFETCH(QString, button);
        QFETCH(std::optional<QString>, chosen);
        RealFtpServer server({});
        QVERIFY(StartNestedServer(server));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        m_fixture.Connect(server);

        bool chooseWasOff = false;
        QTimer answer;
        answer.setInterval(10);
        connect(&answer, &QTimer::timeout, this, [&] {
            if (!Tree()->isModal() || Tree()->IsBuilding() || Tree()->TreeView1->topLevelItemCount() == 0)
                return;
            answer.stop();
            chooseWasOff = !Tree()->SpeedButton2->isEnabled();
            Tree()->TreeView1->setCurrentItem(NodeAt(Tree()->TreeView1, choose));
            Tree()->findChild<QToolButton *>(button)->click();
        });
        answer.start();
        const std::optional<QString> result = Tree()->ChooseFolder(u"Bewegen \"x.txt; \" nach..."_s);
        QVERIFY(chooseWasOff);
        QCOMPARE(result, chosen);
        QCOMPARE(Tree()->Label1->text(), u"Bewegen \"x.txt; \" nach..."_s);
        QVERIFY(!Tree()->isVisible());
    }

    void closingDuringTheWalkStopsIt()
    {
        RealFtpServer server({});
        for (int n = 0; n < 20; ++n)
            QVERIFY(server.addFolder(u"tief/f%1/g/"_s.arg(n, 2, 10, QChar(u'0'))));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        m_fixture.Connect(server);
        m_fixture.Window()->Browser()->ChangeRemoteFolder(u"tief"_s);
        const QStringList paneRows = Captions(m_fixture.Window()->Remote()->List);
        server.clearTranscript();

        // The user closes the window as soon as the first folders show; the
        // folder being listed then is the last.
        int listedAtClose = -1;
        const auto close = [&] {
            listedAtClose = CommandsStartingWith(server, u"MLSD"_s);
            Tree()->close();
        };
        connect(
            Tree()->TreeView1->model(), &QAbstractItemModel::rowsInserted, Tree(),
            [&] { QTimer::singleShot(0, Tree(), close); }, Qt::SingleShotConnection);
        m_fixture.Window()->Remote()->FolderTreeButton->click();
        QVERIFY(QTest::qWaitFor([this] { return !Tree()->isVisible() && !Tree()->IsBuilding(); }));

        const int listed = CommandsStartingWith(server, u"MLSD"_s);
        QVERIFY(listedAtClose >= 1);
        QVERIFY2(listed <= listedAtClose + 1, qPrintable(server.transcript()));
        QVERIFY(listed < 41);
        QVERIFY(Tree()->TreeView1->topLevelItemCount() > 0); // what was found stays
        QCOMPARE(m_fixture.Window()->Main().Connection.CurrentDir(), u"/tief"_s);
        QCOMPARE(m_fixture.Window()->Paths()->Edit1->text(), u"/tief"_s);
        QCOMPARE(Captions(m_fixture.Window()->Remote()->List), paneRows);
        QVERIFY(!m_fixture.Window()->Main().Flags.OperationBusy);
    }

    // pyftpdlib's MLSD lists links to folders as plain folders: they show in
    // the tree, but a link back up or into itself is not walked again.
    void linksBackAreNotWalked_data()
    {
        QTest::addColumn<bool>("mlsd");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("MLSD") << true
                              << QStringList{u"/box/"_s,      u"/box/sib/"_s,       u"/box/sib/unter/"_s,
                                             u"/box/tief/"_s, u"/box/tief/rund/"_s, u"/box/tief/zurueck/"_s,
                                             u"/box/up/"_s,   u"/nachbar/"_s,       u"/nachbar/unter/"_s};
        QTest::newRow("LIST") << false
                              << QStringList{u"/box/"_s, u"/box/tief/"_s, u"/nachbar/"_s,
                                             u"/nachbar/unter/"_s};
    }

    void linksBackAreNotWalked()
    {
        QFETCH(bool, mlsd);
        RealFtpServer server({.hideMlsd = !mlsd});
        QVERIFY(server.addFolder(u"box/tief/"_s));
        QVERIFY(server.addFolder(u"nachbar/unter/"_s));
        QVERIFY(MakeSymlink(u".."_s, server.rootDir() + u"/box/up"_s));
        QVERIFY(MakeSymlink(u"../nachbar"_s, server.rootDir() + u"/box/sib"_s));
        QVERIFY(MakeSymlink(u".."_s, server.rootDir() + u"/box/tief/zurueck"_s));
        QVERIFY(MakeSymlink(u"."_s, server.rootDir() + u"/box/tief/rund"_s));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        m_fixture.Connect(server, mlsd);

        // A walk that never ends is stopped, and then fails the comparison.
        QTimer stop;
        stop.setSingleShot(true);
        connect(&stop, &QTimer::timeout, Tree(), [this] { Tree()->close(); });
        stop.start(10000);
        m_fixture.Window()->Remote()->FolderTreeButton->click();
        QVERIFY(QTest::qWaitFor(
            [this] { return !Tree()->IsBuilding() && Tree()->TreeView1->topLevelItemCount() > 0; }, 15000));
        QTEST(TreePaths(Tree()->TreeView1), "expected");
        QCOMPARE(m_fixture.Window()->Main().Connection.CurrentDir(), u"/"_s);
    }

    void theEmptyFolderThePaneShowsIsNotListedAgain()
    {
        RealFtpServer server({});
        QVERIFY(StartNestedServer(server));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        m_fixture.Connect(server);
        m_fixture.Window()->Browser()->ChangeRemoteFolder(u"e"_s);
        QVERIFY(m_fixture.Window()->Remote()->List->ShowsOnlyParent());
        server.clearTranscript();

        m_fixture.Window()->Remote()->FolderTreeButton->click();
        QVERIFY(WaitForBuiltTree());
        QCOMPARE(TreePaths(Tree()->TreeView1), kNestedTree);
        QCOMPARE(CommandsStartingWith(server, u"MLSD"_s), 5);
        // Entered once only: to return there when the walk is done.
        QCOMPARE(server.commands().count(u"CWD /e"_s), 1);
        QCOMPARE(server.commands().last(), u"CWD /e"_s);
    }
};

QTEST_MAIN(FolderTreeTest)
#include "test_foldertree.moc"
