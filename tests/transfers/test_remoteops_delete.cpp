// Deleting remote entries against real servers: the prompt per file inside
// a folder and its four answers, links left in place, several entries at
// once only when the settings allow it, and names with umlauts and quotes.
#include "remoteopshelpers.h"

#include "statuspanels.h"

#include <QAction>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

const QStringList kBoxFiles{u"box/one.txt"_s, u"box/two.txt"_s, u"box/three.txt"_s};

int RemainingBoxFiles(const RealFtpServer &server)
{
    int remaining = 0;
    for (const QString &file : kBoxFiles)
        remaining += ExistsOnServer(server, file) ? 1 : 0;
    return remaining;
}

} // namespace

class RemoteDeleteTest : public QObject {
    Q_OBJECT

private:
    RemoteOperationsFixture m_fixture;

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void init() { QVERIFY(m_fixture.Open()); }
    void cleanup() { m_fixture.Close(); }

    // A folder of three files: each file is asked about, the folder never.
    void deletingAFolderAsksPerFile_data()
    {
        AddServerColumn();
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("filesLeft");
        QTest::addColumn<bool>("cancelled");
        for (const char *server : {"pyftpdlib MLSD", "pyftpdlib LIST", "vsftpd"}) {
            ServerRow(server, u"Ja to each"_s)
                << QStringList{u"OKBtn"_s, u"OKBtn"_s, u"OKBtn"_s} << 3 << 0 << false;
            ServerRow(server, u"Ja zu allen first"_s) << QStringList{u"Button1"_s} << 1 << 0 << false;
            ServerRow(server, u"Nein to the second"_s)
                << QStringList{u"OKBtn"_s, u"Button2"_s, u"OKBtn"_s} << 3 << 1 << false;
            ServerRow(server, u"Abbrechen at the second"_s)
                << QStringList{u"OKBtn"_s, u"CancelBtn"_s} << 2 << 2 << true;
        }
        ServerRow("pyftpdlib MLSD", u"window frame at the first"_s)
            << QStringList{u"Frame"_s, u"OKBtn"_s, u"OKBtn"_s} << 3 << 1 << false;
        ServerRow("pyftpdlib MLSD", u"Esc at the first"_s) << QStringList{u"Escape"_s} << 1 << 3 << true;
    }
    void deletingAFolderAsksPerFile()
    {
        QFETCH(ServerVariant, server);
        QFETCH(QStringList, answers);
        QFETCH(int, filesLeft);
        QMap<QString, QByteArray> files{{u"other.txt"_s, "stays"}};
        for (const QString &file : kBoxFiles)
            files.insert(file, "content");
        RealFtpServer ftp(server.Options(files));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);
        TFTPqvx *window = m_fixture.Window();
        QVERIFY(m_fixture.Select({u"box"_s}));
        QVERIFY(m_fixture.Pane()->SpeedButton7->isEnabled());

        DeletePromptAnswers prompt(m_fixture.Operations()->DeletePrompt(), answers);
        m_fixture.Pane()->SpeedButton7->click();

        QTEST(int(prompt.asked.size()), "questions");
        for (const QString &asked : prompt.asked)
            QVERIFY2(asked.startsWith(u"/box/"_s) && asked.endsWith(u".txt"_s), qPrintable(asked));
        QCOMPARE(RemainingBoxFiles(ftp), filesLeft);
        // The folder goes only when it was emptied.
        QCOMPARE(ExistsOnServer(ftp, u"box"_s), filesLeft > 0);
        QVERIFY(ExistsOnServer(ftp, u"other.txt"_s));
        QTEST(window->Main().Flags.CancelRequested, "cancelled");
        // The session is back where the delete started, and the pane shows it.
        QCOMPARE(window->Main().Connection.CurrentDir(), u"/"_s);
        QCOMPARE(m_fixture.ShownFolder(), u"/"_s);
        QCOMPARE(RowNamed(m_fixture.List(), u"box"_s) >= 0, filesLeft > 0);
        QVERIFY(!window->Main().Flags.OperationBusy);
        QVERIFY(m_fixture.Pane()->SpeedButton5->isEnabled());
    }

    void withoutConfirmationNothingIsAsked()
    {
        const ServerVariant server;
        RealFtpServer ftp(
            server.Options({{u"box/deep/a.txt"_s, "a"}, {u"box/b.txt"_s, "b"}, {u"box/empty/"_s, {}}}));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);
        m_fixture.Window()->Settings.Delete_Confirm = false;
        QVERIFY(m_fixture.Select({u"box"_s}));

        DeletePromptAnswers prompt(m_fixture.Operations()->DeletePrompt(), {});
        m_fixture.Pane()->entfernen1->trigger();

        QCOMPARE(prompt.asked, QStringList{});
        QVERIFY(!ExistsOnServer(ftp, u"box"_s));
        QCOMPARE(Captions(m_fixture.List()), QStringList{u".."_s});
    }

    // Several entries only with All_Delete; a link at the top is deleted
    // itself, a link inside a folder stays and keeps its folder.
    void severalEntriesAndLinks_data() { RowPerServer({"pyftpdlib LIST", "vsftpd"}); }
    void severalEntriesAndLinks()
    {
        QFETCH(ServerVariant, server);
        RealFtpServer ftp(server.Options());
        QVERIFY(ftp.addFile(u"box/a.txt"_s, "a"));
        QVERIFY(ftp.addFile(u"target.txt"_s, "t"));
        QVERIFY(MakeSymlink(u"a.txt"_s, ftp.rootDir() + u"/box/inner"_s));
        QVERIFY(MakeSymlink(u"target.txt"_s, ftp.rootDir() + u"/toplink"_s));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);
        TFTPqvx *window = m_fixture.Window();
        const int link = RowNamed(m_fixture.List(), u"toplink -> target.txt"_s);
        QVERIFY2(link >= 0, qPrintable(Captions(m_fixture.List()).join(u'|')));

        const QStringList both{u"box"_s, u"toplink -> target.txt"_s};
        QVERIFY(m_fixture.Select(both));
        QVERIFY(!m_fixture.Pane()->SpeedButton7->isEnabled());
        QVERIFY(!m_fixture.Pane()->entfernen1->isEnabled());
        // The Del key follows the button: nothing is deleted.
        QTest::keyClick(m_fixture.List()->CurrentView(), Qt::Key_Delete);
        QVERIFY(ExistsOnServer(ftp, u"toplink"_s));

        window->Settings.All_Delete = true;
        QVERIFY(m_fixture.Select(both));
        QVERIFY(m_fixture.Pane()->SpeedButton7->isEnabled());
        DeletePromptAnswers prompt(m_fixture.Operations()->DeletePrompt(), {u"OKBtn"_s, u"OKBtn"_s});
        QTest::keyClick(m_fixture.List()->CurrentView(), Qt::Key_Delete);

        QCOMPARE(prompt.asked, (QStringList{u"/box/a.txt"_s, u"/toplink"_s}));
        QVERIFY(!ExistsOnServer(ftp, u"toplink"_s));
        QVERIFY(ExistsOnServer(ftp, u"target.txt"_s));
        QVERIFY(!ExistsOnServer(ftp, u"box/a.txt"_s));
        QVERIFY(QFileInfo(ftp.rootDir() + u"/box/inner"_s).isSymLink());
        QVERIFY(!window->Main().Flags.CancelRequested);
        QCOMPARE(Captions(m_fixture.List()), (QStringList{u".."_s, u"box"_s, u"target.txt"_s}));
    }

    // Links to folders are never entered: pyftpdlib's MLSD lists them as
    // plain folders. Deleting "box" empties it but for its links; deleting
    // the link "up" removes just the link. Nothing outside is touched.
    void deletingNeverLeavesTheFolder_data()
    {
        AddServerColumn();
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("gone");
        const QStringList boxFiles{u"box/a.txt"_s, u"box/tief/b.txt"_s};
        for (const char *server : {"pyftpdlib MLSD", "pyftpdlib LIST", "vsftpd"}) {
            ServerRow(server, u"the folder"_s) << u"/"_s << u"box"_s << boxFiles;
            ServerRow(server, u"a link to a folder"_s) << u"/box"_s << u"up"_s << QStringList{u"box/up"_s};
        }
    }
    void deletingNeverLeavesTheFolder()
    {
        QFETCH(ServerVariant, server);
        QFETCH(QString, folder);
        QFETCH(QString, selected);
        QFETCH(QStringList, gone);
        const QStringList files{u"box/a.txt"_s, u"box/tief/b.txt"_s, u"nachbar/n.txt"_s, u"draussen.txt"_s};
        QMap<QString, QByteArray> content;
        for (const QString &file : files)
            content.insert(file, "bleibt");
        RealFtpServer ftp(server.Options(content));
        // Up to the server's root, over to a sibling, and back into the
        // folder being deleted.
        const QStringList links{u"box/up"_s, u"box/sib"_s, u"box/tief/zurueck"_s};
        QVERIFY(MakeSymlink(u".."_s, ftp.rootDir() + u"/box/up"_s));
        QVERIFY(MakeSymlink(u"../nachbar"_s, ftp.rootDir() + u"/box/sib"_s));
        QVERIFY(MakeSymlink(u".."_s, ftp.rootDir() + u"/box/tief/zurueck"_s));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);
        TFTPqvx *window = m_fixture.Window();
        window->Settings.Delete_Confirm = false;
        window->Browser()->ChangeRemoteFolder(folder);
        const QString caption =
            Captions(m_fixture.List()).filter(QRegularExpression(u"^"_s + selected + u"\\b"_s)).value(0);
        QVERIFY(m_fixture.Select({caption}));

        m_fixture.Pane()->SpeedButton7->click();

        for (const QString &path : files + links)
            QVERIFY2(ExistsOnServer(ftp, path) == !gone.contains(path), qPrintable(path));
        for (const QString &link : links) {
            if (!gone.contains(link))
                QVERIFY2(QFileInfo(ftp.rootDir() + u'/' + link).isSymLink(), qPrintable(link));
        }
        QVERIFY(!window->Main().Flags.OperationBusy);
        QCOMPARE(window->Main().Connection.CurrentDir(), folder);
        QCOMPARE(m_fixture.ShownFolder(), folder);
    }

    // A file that cannot be deleted stops the whole operation, and the
    // status bar says why after the pane was listed again.
    void aRefusedDeleteStops()
    {
        const ServerVariant server;
        RealFtpServer ftp(server.Options({{u"a.txt"_s, "a"}, {u"b.txt"_s, "b"}, {u"c.txt"_s, "c"}}));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);
        TFTPqvx *window = m_fixture.Window();
        window->Settings.All_Delete = true;
        QVERIFY(m_fixture.Select({u"a.txt"_s, u"b.txt"_s, u"c.txt"_s}));
        QVERIFY(QFile::remove(ftp.rootDir() + u"/b.txt"_s));

        DeletePromptAnswers prompt(m_fixture.Operations()->DeletePrompt(),
                                   {u"OKBtn"_s, u"OKBtn"_s, u"OKBtn"_s});
        m_fixture.Pane()->SpeedButton7->click();

        QCOMPARE(prompt.asked, (QStringList{u"/a.txt"_s, u"/b.txt"_s}));
        QVERIFY(!ExistsOnServer(ftp, u"a.txt"_s));
        QVERIFY(ExistsOnServer(ftp, u"c.txt"_s));
        QVERIFY(window->Main().Flags.CancelRequested);
        QCOMPARE(Captions(m_fixture.List()), (QStringList{u".."_s, u"c.txt"_s}));
        const QString status = window->Status()->PanelText(2);
        QVERIFY2(status.startsWith(u"/b.txt wurde nicht gelöscht: 550"_s), qPrintable(status));
    }

    // PWD names a folder with a quote in doubled quotes ("/a ""b""").
    void namesWithUmlautsAndQuotes_data() { RowPerServer({"pyftpdlib MLSD", "pyftpdlib Latin-1", "vsftpd"}); }
    void namesWithUmlautsAndQuotes()
    {
        QFETCH(ServerVariant, server);
        RealFtpServer ftp(server.Options({{u"Größe.txt"_s, "g"},
                                          {u"Ordner \"Ä\"/Übel.txt"_s, "u"},
                                          {u"Ordner \"Ä\"/in \"x/y.txt"_s, "y"}}));
        START_OR_SKIP(ftp, server.kind);
        m_fixture.Connect(ftp, server);
        m_fixture.Window()->Settings.All_Delete = true;
        QVERIFY(m_fixture.Select({u"Ordner \"Ä\""_s, u"Größe.txt"_s}));

        DeletePromptAnswers prompt(m_fixture.Operations()->DeletePrompt(),
                                   {u"OKBtn"_s, u"OKBtn"_s, u"OKBtn"_s});
        m_fixture.Pane()->SpeedButton7->click();

        QStringList asked = prompt.asked;
        asked.sort();
        QCOMPARE(asked, (QStringList{u"/Größe.txt"_s, u"/Ordner \"Ä\"/in \"x/y.txt"_s,
                                     u"/Ordner \"Ä\"/Übel.txt"_s}));
        QVERIFY(!ExistsOnServer(ftp, u"Größe.txt"_s));
        QVERIFY(!ExistsOnServer(ftp, u"Ordner \"Ä\""_s));
        QVERIFY(!m_fixture.Window()->Main().Flags.CancelRequested);
        QCOMPARE(QDir(ftp.rootDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
    }
};

QTEST_MAIN(RemoteDeleteTest)
#include "test_remoteops_delete.moc"
