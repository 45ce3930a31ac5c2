// New folder, rename in place and move against real servers: the folder's
// generated name and the editor open on it, renames within the folder and
// into another one, refused renames, moving through the folder tree, and
// names with umlauts.
#include "remoteopshelpers.h"

#include <QAction>

using namespace Qt::StringLiterals;

class RemoteOperationsTest : public QObject {
    Q_OBJECT

private:
    RemoteOperationsFixture m_fixture;

    RemoteListView *List() const { return m_fixture.List(); }

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void init() { QVERIFY(m_fixture.Open()); }
    void cleanup() { m_fixture.Close(); }

    void newFolderTakesTheNextFreeName_data() { RowPerServer({"pyftpdlib MLSD", "vsftpd"}); }
    void newFolderTakesTheNextFreeName()
    {
        QFETCH(ServerVariant, server);
        RealFtpServer ftp(server.Options(
            {{u"Neuer_Ordner/"_s, {}}, {u"Neuer_Ordner(1)/"_s, {}}, {u"neuer_ordner/"_s, {}}}));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);

        m_fixture.Pane()->SpeedButton5->click();

        QVERIFY(QFileInfo(ftp.rootDir() + u"/Neuer_Ordner(2)"_s).isDir());
        const int row = RowNamed(List(), u"Neuer_Ordner(2)"_s);
        QVERIFY(row > 0);
        QCOMPARE(SelectedCaptions(List()), QStringList{u"Neuer_Ordner(2)"_s});
        QLineEdit *editor = OpenEditor(List()->CurrentView());
        QVERIFY(editor);
        QCOMPARE(editor->text(), u"Neuer_Ordner(2)"_s);
        QCOMPARE(List()->CurrentView()->currentIndex().row(), row);

        // What the user types at once becomes the folder's name.
        QVERIFY(m_fixture.TypeIntoEditor(editor, u"Projekte"_s));
        QVERIFY(QFileInfo(ftp.rootDir() + u"/Projekte"_s).isDir());
        QVERIFY(!ExistsOnServer(ftp, u"Neuer_Ordner(2)"_s));
        QCOMPARE(List()->Row(row).name, u"Projekte"_s);
    }

    void aRefusedNewFolderChangesNothing()
    {
        const ServerVariant server;
        RealFtpServer ftp(server.Options({{u"sub/"_s, {}}}));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);
        // Made behind the pane's back: the pane does not know the name.
        QVERIFY(QDir().mkdir(ftp.rootDir() + u"/Neuer_Ordner"_s));
        const QStringList before = Captions(List());

        m_fixture.Pane()->NeuerOrdner1->trigger();

        QCOMPARE(Captions(List()), before);
        QVERIFY(!OpenEditor(List()->CurrentView()));
        QVERIFY(!ExistsOnServer(ftp, u"Neuer_Ordner(1)"_s));
    }

    void renameInPlace_data()
    {
        AddServerColumn();
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("caption");    // the row afterwards; empty when it left
        QTest::addColumn<QString>("serverPath"); // where the file is then
        for (const char *server : {"pyftpdlib MLSD", "vsftpd"}) {
            ServerRow(server, u"plain name"_s) << u"b c.txt"_s << u"b c.txt"_s << u"b c.txt"_s;
            ServerRow(server, u"into a subfolder"_s) << u"sub/x.txt"_s << QString() << u"sub/x.txt"_s;
            ServerRow(server, u"absolute path"_s) << u"/sub/y.txt"_s << QString() << u"sub/y.txt"_s;
            ServerRow(server, u"missing folder"_s) << u"nosuch/x.txt"_s << u"a.txt"_s << u"a.txt"_s;
        }
        ServerRow("pyftpdlib MLSD", u"umlauts"_s) << u"Ärger ß.txt"_s << u"Ärger ß.txt"_s << u"Ärger ß.txt"_s;
        ServerRow("pyftpdlib Latin-1", u"umlauts"_s)
            << u"Ärger ß.txt"_s << u"Ärger ß.txt"_s << u"Ärger ß.txt"_s;
        ServerRow("vsftpd", u"umlauts"_s) << u"Ärger ß.txt"_s << u"Ärger ß.txt"_s << u"Ärger ß.txt"_s;
    }
    void renameInPlace()
    {
        QFETCH(ServerVariant, server);
        QFETCH(QString, typed);
        QFETCH(QString, caption);
        QFETCH(QString, serverPath);
        // A listed name with umlauts tells how the server spells names.
        RealFtpServer ftp(
            server.Options({{u"a.txt"_s, "renamed"}, {u"sub/keep.txt"_s, "k"}, {u"Öl.txt"_s, "o"}}));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);
        const int rowsBefore = List()->RowCount();

        QVERIFY(m_fixture.RenameInPlace(u"a.txt"_s, typed));

        QCOMPARE(FileContent(ftp.rootDir() + u'/' + serverPath), QByteArray("renamed"));
        if (caption.isEmpty()) {
            QCOMPARE(List()->RowCount(), rowsBefore - 1);
            QCOMPARE(RowNamed(List(), u"a.txt"_s), -1);
            QCOMPARE(SelectedCaptions(List()), QStringList{});
        } else {
            QCOMPARE(List()->RowCount(), rowsBefore);
            QVERIFY(RowNamed(List(), caption) > 0);
        }
        // The pane is not read again for a rename.
        const QStringList commands = ftp.commands();
        QCOMPARE(commands.filter(u"MLSD"_s, Qt::CaseInsensitive).size() +
                     commands.filter(u"LIST"_s, Qt::CaseInsensitive).size(),
                 1);
    }

    // A link row shows "name -> target"; the server knows it by its name.
    void renamingALinkRenamesTheLinkItself()
    {
        const ServerVariant server{Kind::Vsftpd, false, false};
        RealFtpServer ftp(server.Options());
        QVERIFY(ftp.addFile(u"target.txt"_s, "t"));
        QVERIFY(MakeSymlink(u"target.txt"_s, ftp.rootDir() + u"/ln"_s));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);

        QVERIFY(m_fixture.RenameInPlace(u"ln -> target.txt"_s, u"neu -> target.txt"_s));

        QVERIFY(QFileInfo(ftp.rootDir() + u"/neu"_s).isSymLink());
        QVERIFY(!QFileInfo(ftp.rootDir() + u"/ln"_s).isSymLink());
        QVERIFY(RowNamed(List(), u"neu -> target.txt"_s) > 0);
    }

    // Two of three entries move; the third is gone from the server, which
    // stops the move: exactly the two moved rows leave the pane.
    void moveThroughTheFolderTree_data() { RowPerServer({"pyftpdlib MLSD", "vsftpd", "pyftpdlib Latin-1"}); }
    void moveThroughTheFolderTree()
    {
        QFETCH(ServerVariant, server);
        const QStringList files{u"a ä.txt"_s, u"b.txt"_s, u"c.txt"_s};
        RealFtpServer ftp(
            server.Options({{files[0], "a"}, {files[1], "b"}, {files[2], "c"}, {u"ziel/"_s, {}}}));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);
        TFTPqvx *window = m_fixture.Window();
        QVERIFY(m_fixture.Select(files));
        QVERIFY(m_fixture.Pane()->Bewegen1->isEnabled());
        QVERIFY(QFile::remove(ftp.rootDir() + u"/c.txt"_s));

        FolderTreeAnswer tree(window->Browser()->FolderTree(), u"ziel"_s);
        m_fixture.Pane()->Bewegen1->trigger();

        QCOMPARE(tree.prompt, u"Bewegen \"a ä.txt; b.txt; c.txt; \" nach..."_s);
        QCOMPARE(FileContent(ftp.rootDir() + u"/ziel/a ä.txt"_s), QByteArray("a"));
        QCOMPARE(FileContent(ftp.rootDir() + u"/ziel/b.txt"_s), QByteArray("b"));
        QCOMPARE(Captions(List()), (QStringList{u".."_s, u"ziel"_s, u"c.txt"_s}));
        QVERIFY(window->Main().Flags.CancelRequested);
        QVERIFY(!window->Main().Flags.OperationBusy);
        QCOMPARE(m_fixture.ShownFolder(), u"/"_s);
        QCOMPARE(window->Main().Connection.CurrentDir(), u"/"_s);
    }

    // Only ".." selected, or the tree closed without a choice: nothing moves.
    void movingNothing_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("only ..") << u".."_s << u"ziel"_s << u"Bewegen \"\" nach..."_s;
        QTest::newRow("tree closed") << u"a.txt"_s << u"nirgends"_s << u"Bewegen \"a.txt; \" nach..."_s;
    }
    void movingNothing()
    {
        QFETCH(QString, selected);
        QFETCH(QString, chosen);
        const ServerVariant server;
        RealFtpServer ftp(server.Options({{u"a.txt"_s, "a"}, {u"ziel/"_s, {}}}));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);
        QVERIFY(m_fixture.Select({selected}));
        QVERIFY(m_fixture.Pane()->Bewegen1->isEnabled());
        ftp.clearTranscript();

        FolderTreeAnswer tree(m_fixture.Window()->Browser()->FolderTree(), chosen);
        m_fixture.Pane()->Bewegen1->trigger();

        QTEST(tree.prompt, "prompt");
        QCOMPARE(ftp.commands().filter(u"RNFR"_s), QStringList{});
        QVERIFY(ExistsOnServer(ftp, u"a.txt"_s));
        QCOMPARE(Captions(List()), (QStringList{u".."_s, u"ziel"_s, u"a.txt"_s}));
        QVERIFY(!m_fixture.Window()->Main().Flags.CancelRequested);
        QVERIFY(!m_fixture.Window()->Main().Flags.OperationBusy);
    }
};

QTEST_MAIN(RemoteOperationsTest)
#include "test_remoteops.moc"
