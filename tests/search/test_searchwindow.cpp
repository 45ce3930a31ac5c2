// The search as the user meets it: the options dialog, a search from the
// search button's menu, the results window with its results files and the
// double-click, and the main session working while a search runs.

#include "searchwindowfixture.h"

#include "freeport.h"
#include "resultsfile.h"
#include "sftpprofile.h"
#include "symbols.h"

#include <QHeaderView>
#include <QKeyEvent>

using namespace Qt::StringLiterals;

namespace {

const QString kMusic = u"*.mp3;*.mid;*.wav;*.au;*.aif*;*.m1v;*.m3u;*.mod;"_s;
const QString kVideos = u"*.mpg;*.mpeg;*.avi;*.qt;*.mov;*.asf;*.asx;*.ivf;*.lsf;*.ra;*.ram;*.mpt;"_s;

SearchHit Hit(const QString &name, const QString &size, const QString &attributes = u"-rw-r--r--"_s)
{
    return {name, u"ftp.example.org"_s, u"/pub/dateien"_s, size, u"01.05.2024 12:30:00"_s, attributes};
}

QStringList Names(const SearchResultsModel &rows)
{
    QStringList names;
    for (const SearchHit &hit : rows.Hits())
        names.append(hit.name);
    return names;
}

void ClickHeader(QTreeView *view, int column)
{
    QHeaderView *header = view->header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

// Answers the next file dialog with the file name.
ModalAnswer<QFileDialog> *AnswerFileDialog(const QString &fileName)
{
    return new ModalAnswer<QFileDialog>([fileName](QFileDialog &dialog) {
        dialog.selectFile(fileName);
        static_cast<QDialog &>(dialog).accept();
    });
}

} // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SearchWindowFixture::InstallProgramServices(); }

    void init()
    {
        QVERIFY(m_fixture.PrepareHome());
        QVERIFY(m_fixture.Open());
    }

    void cleanup() { m_fixture.Close(); }

    // --- a search from the menu ---------------------------------------------------

    void aGroupSearchFindsTheReachableServersAndSkipsTheOthers()
    {
        RealFtpServer python(
            {.files = {{u"musik/a.mp3"_s, "a"}, {u"musik/b/c.mp3"_s, "c"}, {u"text.txt"_s, "t"}}});
        START_OR_SKIP(python, RealFtpServer::Kind::Pyftpdlib);
        RealFtpServer vsftpd({.kind = RealFtpServer::Kind::Vsftpd, .files = {{u"lied.mp3"_s, "l"}}});
        START_OR_SKIP(vsftpd, RealFtpServer::Kind::Vsftpd);
        ConnectionProfile nobody = ProfileFor(python);
        nobody.FTP_Port = QString::number(FreeLocalPort());
        ConnectionProfile wrongPassword = ProfileFor(python);
        wrongPassword.FTP_Pass = u"falsch"_s;
        QVERIFY(m_fixture.Save(u"Alle"_s, u"Python"_s, ProfileFor(python)));
        QVERIFY(m_fixture.Save(u"Alle"_s, u"Vsftpd"_s, ProfileFor(vsftpd, u"localhost"_s)));
        QVERIFY(m_fixture.Save(u"Alle"_s, u"Niemand"_s, nobody));
        QVERIFY(m_fixture.Save(u"Alle"_s, u"Falsches Kennwort"_s, wrongPassword));

        const QStringList messages = m_fixture.RunSearch({u"Alle"_s}, ChooseMusic);
        QCOMPARE(messages, QStringList{u"Der Suchvorgang abgeschlossen"_s});
        QCOMPARE(m_fixture.RowTexts(),
                 (QStringList{u"127.0.0.1 /musik a.mp3"_s, u"127.0.0.1 /musik/b c.mp3"_s,
                              u"localhost / lied.mp3"_s}));
        TSuchergDlg &results = m_fixture.Results();
        QVERIFY(results.isVisible());
        QVERIFY(results.ffnen1->isEnabled() && results.Listeleeren1->isEnabled());
        QVERIFY(!results.Abbrechen1->isEnabled());
        QVERIFY(m_fixture.Window()->ToolBar()->NeueSuche1->isEnabled());
        QVERIFY(!m_fixture.Window()->ToolBar()->Sucheabbrechen1->isEnabled());
        QVERIFY(!m_fixture.Window()->IdFTPSearch.IsConnected());
        // The log pane shows the traffic with the passwords hidden.
        const QStringList log = results.ListBox1->Lines();
        QVERIFY(!log.filter(u"PASS (HIDDEN)"_s).isEmpty());
        QVERIFY(log.filter(python.password()).isEmpty());
        QVERIFY(log.size() <= TSuchergDlg::kLogLimit);
    }

    // A group holding an FTP and an SFTP server: each is searched over a
    // session of its protocol, the SSH host key is checked against the
    // program's known hosts, and no password shows in the log.
    void aGroupOfFtpAndSftpServersIsSearched()
    {
        RealFtpServer ftp({.files = {{u"musik/a.mp3"_s, "a"}}});
        START_OR_SKIP(ftp, RealFtpServer::Kind::Pyftpdlib);
        SshServer sftp;
        SSH_START_OR_SKIP(sftp);
        qunsetenv("SSH_AUTH_SOCK");
        QVERIFY(sftp.addFile(u"lieder/übung.mp3"_s, "u"));
        QVERIFY(sftp.addFile(u"lieder/text.txt"_s, "t"));
        QFile knownHosts(m_fixture.Window()->Folders().KnownHostsFile());
        QVERIFY(knownHosts.open(QIODevice::WriteOnly) && knownHosts.write(sftp.knownHostsLine()) > 0);
        knownHosts.close();
        QVERIFY(m_fixture.Save(u"Gemischt"_s, u"FTP"_s, ProfileFor(ftp)));
        QVERIFY(m_fixture.Save(u"Gemischt"_s, u"SFTP"_s, SftpProfileFor(sftp)));

        QCOMPARE(m_fixture.RunSearch({u"Gemischt"_s}, ChooseMusic),
                 QStringList{u"Der Suchvorgang abgeschlossen"_s});
        QCOMPARE(m_fixture.RowTexts(), (QStringList{u"127.0.0.1 /musik a.mp3"_s,
                                                    u"127.0.0.1 %1/lieder übung.mp3"_s.arg(sftp.rootDir())}));
        QVERIFY(!m_fixture.Window()->Parts().searchRemote().IsConnected());
        const QStringList log = m_fixture.Results().ListBox1->Lines();
        QVERIFY(log.filter(sftp.password()).isEmpty() && log.filter(ftp.password()).isEmpty());
    }

    // A folder whose listing fails is left out; the search goes on and its
    // end says how many folders it left out.
    void aFailingListingIsSkippedAndReported()
    {
        RealFtpServer::Options options = FoldersWithSongs(2);
        for (int file = 0; file < 200; ++file)
            options.files.insert(u"gross/eine-datei-mit-einem-recht-langen-namen-%1.txt"_s.arg(file), "x");
        RealFtpServer server(options);
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_fixture.Save(QString(), u"Server"_s, ProfileFor(server)));
        m_fixture.Window()->IdFTPSearch.MaxListingSize = 4096;

        QCOMPARE(m_fixture.RunSearch({u"Server"_s}, ChooseMusic),
                 QStringList{u"Der Suchvorgang abgeschlossen\nEin Ordner wurde übersprungen, weil seine "
                             u"Auflistung fehlschlug (siehe Protokoll)."_s});
        QStringList rows = m_fixture.RowTexts();
        rows.sort();
        QCOMPARE(rows, (QStringList{u"127.0.0.1 /ordner0 lied.mp3"_s, u"127.0.0.1 /ordner1 lied.mp3"_s}));
        QCOMPARE(m_fixture.Results().ListBox1->Lines().filter(u"Ordner übersprungen"_s).size(), 1);
    }

    void aCancelStopsOnlyTheSearch()
    {
        RealFtpServer server(FoldersWithSongs(40));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_fixture.Save(QString(), u"Server"_s, ProfileFor(server)));
        // The first hit asks the search to stop, as "Abbrechen" does.
        connect(
            m_fixture.Results().Rows(), &QAbstractItemModel::rowsInserted, this,
            [this] { m_fixture.Results().Abbrechen1->trigger(); }, Qt::SingleShotConnection);

        QCOMPARE(m_fixture.RunSearch({u"Server"_s}, ChooseMusic),
                 QStringList{u"Der Suchvorgang abgeschlossen"_s});
        QCOMPARE(m_fixture.Rows().rowCount(), 1);
        QVERIFY(!m_fixture.Window()->Main().Flags.CancelRequested);
        QTRY_VERIFY(server.commands().last().startsWith(u"QUIT"_s, Qt::CaseInsensitive));
    }

    void closingTheMainWindowEndsTheSearch()
    {
        RealFtpServer server(FoldersWithSongs(40));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_fixture.Save(QString(), u"Server"_s, ProfileFor(server)));
        TFTPqvx *window = m_fixture.Window();
        connect(m_fixture.Results().Rows(), &QAbstractItemModel::rowsInserted, window, &QWidget::close,
                Qt::SingleShotConnection);

        QCOMPARE(m_fixture.RunSearch({u"Server"_s}, ChooseMusic), QStringList());
        QVERIFY(!window->isVisible());
        QVERIFY(!m_fixture.Searching().Running());
        QVERIFY(!window->IdFTPSearch.IsConnected());
        QVERIFY(m_fixture.Rows().rowCount() < 40);
        QTRY_VERIFY(server.commands().last().startsWith(u"QUIT"_s, Qt::CaseInsensitive));
    }

    void theMainSessionListsAndDownloadsWhileASearchRuns()
    {
        RealFtpServer::Options options = FoldersWithSongs(150, u"suche/"_s);
        options.files.insert(u"haupt/bericht.txt"_s, "Bericht");
        RealFtpServer server(options);
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_fixture.Save(QString(), u"Server"_s, ProfileFor(server)));
        TFTPqvx *window = m_fixture.Window();
        LogIn(*window, server);
        QVERIFY(window->Main().Connection.ChangeDir(u"/haupt"_s));
        const QTemporaryDir local;

        bool searchRan = false;
        bool secondSearchRefused = false; // and no save either
        QStringList listed;
        QByteArray downloaded;
        // At the first hit the search is under way: the user's commands run
        // in the middle of it.
        const auto mainSessionWork = [&] {
            // The search leaves the main session idle: its commands are let in.
            searchRan = m_fixture.Searching().Running() && window->IdFTPSearch.IsConnected() &&
                        window->Main().RunSessionCommand([&] { window->Browser()->RefreshRemoteList(); }) &&
                        window->Main().RunSessionCommand([&] {
                            Transfers::Of(*window)->Downloads().DownloadFile(u"bericht.txt"_s, local.path());
                        });
            listed = Captions(window->Remote()->List);
            downloaded = FileContent(local.filePath(u"bericht.txt"_s));
            m_fixture.Searching().NewSearch();
            secondSearchRefused =
                !window->ToolBar()->NeueSuche1->isEnabled() && m_fixture.Searching().Running();
        };
        connect(m_fixture.Results().Rows(), &QAbstractItemModel::rowsInserted, this, mainSessionWork,
                Qt::SingleShotConnection);
        QCOMPARE(m_fixture.RunSearch({u"Server"_s}, ChooseMusic),
                 QStringList{u"Der Suchvorgang abgeschlossen"_s});
        QVERIFY(searchRan);
        QVERIFY(secondSearchRefused);
        QCOMPARE(listed, (QStringList{u".."_s, u"bericht.txt"_s}));
        QCOMPARE(downloaded, QByteArray("Bericht"));
        QCOMPARE(m_fixture.Rows().rowCount(), 150);
        QVERIFY(window->Main().Connection.LoggedIn());
    }

    // --- the options dialog -----------------------------------------------------------

    void theStartButtonFollowsTheSelection()
    {
        QVERIFY(m_fixture.Save(u"G"_s, u"Eins"_s, ConnectionProfile()));
        QVERIFY(m_fixture.Save(QString(), u"Zwei"_s, ConnectionProfile()));
        TSuchwahlDlg *dialog = m_fixture.Searching().Options();
        dialog->show();
        QCOMPARE(dialog->TreeView1->topLevelItemCount(), 2);
        QVERIFY(!dialog->OKBtn->isEnabled());
        dialog->TreeView1->topLevelItem(1)->setSelected(true);
        QVERIFY(dialog->OKBtn->isEnabled());
        QTest::keyClick(dialog->TreeView1, Qt::Key_Delete);
        QVERIFY(!dialog->OKBtn->isEnabled());
        QTest::keyClick(dialog->TreeView1, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(dialog->TreeView1->selectedItems().size(), 3);
        dialog->reject();
    }

    void categoriesFillThePatterns()
    {
        TSuchwahlDlg *dialog = m_fixture.Searching().Options();
        dialog->Edit1->setText(u"begriff"_s);
        dialog->CheckBox1->setChecked(true);
        dialog->CheckBox8->click();
        QCOMPARE(dialog->Edit2->text(), kMusic);
        QCOMPARE(dialog->Edit1->text(), QString());
        QVERIFY(!dialog->CheckBox1->isChecked() && dialog->CheckBox2->isChecked());
        dialog->CheckBox9->click();
        QCOMPARE(dialog->Edit2->text(), kMusic + kVideos);
        dialog->CheckBox8->click();
        dialog->CheckBox9->click();
        QCOMPARE(dialog->Edit2->text(), u"*.*;"_s);
    }

    void aSelectedGroupSelectsEverythingBelowIt()
    {
        QVERIFY(m_fixture.Save(u"G/Unter"_s, u"Tief"_s, ConnectionProfile()));
        QVERIFY(m_fixture.Save(u"G"_s, u"Flach"_s, ConnectionProfile()));
        QVERIFY(m_fixture.Save(QString(), u"Draussen"_s, ConnectionProfile()));
        TSuchwahlDlg *dialog = m_fixture.Searching().Options();
        dialog->show();
        dialog->TreeView1->findItems(u"G"_s, Qt::MatchExactly).constFirst()->setSelected(true);
        dialog->accept();
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QStringList sections;
        for (const SearchTarget &target : dialog->SelectedConnections())
            sections.append(target.section);
        QCOMPARE(sections, (QStringList{u"Flach"_s, u"Tief"_s}));
    }

    void textsTurnToLowerCaseUnlessCaseCounts_data()
    {
        QTest::addColumn<bool>("caseCounts");
        QTest::addColumn<QString>("term");
        QTest::addColumn<QString>("patterns");
        QTest::newRow("case ignored") << false << u"größe"_s << u"*.txt"_s;
        QTest::newRow("case counts") << true << u"GRÖSSE"_s << u"*.TXT"_s;
    }

    void textsTurnToLowerCaseUnlessCaseCounts()
    {
        QFETCH(bool, caseCounts);
        QFETCH(QString, term);
        QFETCH(QString, patterns);
        QVERIFY(m_fixture.Save(QString(), u"Eins"_s, ConnectionProfile()));
        TSuchwahlDlg *dialog = m_fixture.Searching().Options();
        dialog->show();
        dialog->TreeView1->topLevelItem(0)->setSelected(true);
        dialog->CheckBox6->setChecked(caseCounts);
        dialog->Edit5->setText(caseCounts ? u"GRÖSSE"_s : u"GRÖßE"_s);
        dialog->Edit2->setText(u"*.TXT"_s);
        dialog->accept();
        QCOMPARE(dialog->Edit5->text(), term);
        QCOMPARE(dialog->Edit2->text(), patterns);
    }

    void aMalformedPatternIsRefusedAndNoSearchStarts()
    {
        QVERIFY(m_fixture.Save(QString(), u"Eins"_s, ConnectionProfile()));
        QStringList warnings;
        ModalAnswer<QMessageBox> warning([&warnings](QMessageBox &box) {
            warnings.append(box.text());
            box.accept();
        });
        bool stayedOpen = false;
        ModalAnswer<TSuchwahlDlg> options([&](TSuchwahlDlg &dialog) {
            dialog.TreeView1->topLevelItem(0)->setSelected(true);
            dialog.Edit2->setText(u"*.txt;[abc"_s);
            dialog.OKBtn->click();
            stayedOpen = dialog.isVisible();
            dialog.reject();
        });
        m_fixture.Window()->ToolBar()->NeueSuche1->trigger();
        QVERIFY(stayedOpen);
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().contains(u"[abc"_s), qPrintable(warnings.first()));
        QVERIFY(!m_fixture.Results().isVisible());
    }

    // --- the results window -------------------------------------------------------------

    void sizesSortAsNumbersBothWays()
    {
        TSuchergDlg &results = m_fixture.Results();
        for (const QString &size : {u"90"_s, u"9"_s, u"10"_s})
            results.AddHit(Hit(u"datei"_s + size, size));
        results.show();
        QVERIFY(QTest::qWaitForWindowExposed(&results));
        ClickHeader(results.ListView1, SearchResultsModel::SizeColumn);
        QCOMPARE(Names(m_fixture.Rows()), (QStringList{u"datei9"_s, u"datei10"_s, u"datei90"_s}));
        ClickHeader(results.ListView1, SearchResultsModel::SizeColumn);
        QCOMPARE(Names(m_fixture.Rows()), (QStringList{u"datei90"_s, u"datei10"_s, u"datei9"_s}));
        QCOMPARE(m_fixture.Window()->Settings.searchlist_s, int(SearchResultsModel::SizeColumn));
        QCOMPARE(m_fixture.Window()->Settings.searchlist_r, 1);
        // New rows go to their sorted place.
        results.AddHit(Hit(u"datei50"_s, u"50"_s));
        QCOMPARE(Names(m_fixture.Rows()),
                 (QStringList{u"datei90"_s, u"datei50"_s, u"datei10"_s, u"datei9"_s}));
    }

    void columnWidthsAndTheSortOrderOutliveTheProgram()
    {
        TSuchergDlg *results = &m_fixture.Results();
        results->show();
        QVERIFY(QTest::qWaitForWindowExposed(results));
        results->ListView1->header()->resizeSection(SearchResultsModel::FolderColumn, 222);
        ClickHeader(results->ListView1, SearchResultsModel::DateColumn);
        ClickHeader(results->ListView1, SearchResultsModel::DateColumn);
        QVERIFY(m_fixture.Reopen());
        results = &m_fixture.Results();
        QCOMPARE(results->ListView1->header()->sectionSize(SearchResultsModel::FolderColumn), 222);
        QCOMPARE(m_fixture.Rows().SortColumn(), int(SearchResultsModel::DateColumn));
        QCOMPARE(m_fixture.Rows().SortDirection(), 1);
        // Only the sort column carries the direction mark.
        const auto mark = [this](int column) {
            return m_fixture.Rows().headerData(column, Qt::Horizontal, Qt::DecorationRole).value<QIcon>();
        };
        QCOMPARE(mark(SearchResultsModel::DateColumn).pixmap(12).toImage(),
                 Symbols::SortSymbol(1).pixmap(12).toImage());
        QVERIFY(mark(SearchResultsModel::NameColumn).isNull());
    }

    void aSavedListLoadsIntoAnEmptyListWithTheSameTexts()
    {
        TSuchergDlg &results = m_fixture.Results();
        results.AddHit(Hit(u"b.txt"_s, u"20"_s));
        results.AddHit(Hit(u"a.TXT"_s, u"10"_s, QString()));
        results.AddHit(
            {u"c.mp3"_s, u"localhost"_s, u"/"_s, u"3221225472"_s, u"02.05.2024 08:00:00"_s, u"-r--"_s});
        const QString file = m_fixture.Home(u"treffer.toserve"_s);
        // A larger file of the same name is replaced entirely.
        QVERIFY(ResultsFile::Write(
            file, {Hit(u"x"_s, u"1"_s), Hit(u"y"_s, u"1"_s), Hit(u"z"_s, u"1"_s), Hit(u"w"_s, u"1"_s)}));
        {
            std::unique_ptr<ModalAnswer<QFileDialog>> save(AnswerFileDialog(file));
            ModalAnswer<QMessageBox> replace([](QMessageBox &box) { box.button(QMessageBox::Yes)->click(); });
            results.Speichern1->trigger();
            QCOMPARE(save->Answered(), 1);
        }
        QCOMPARE(FileContent(file),
                 QByteArray("\r\n[ORNA FTP Glimra Tessaline Suchergebnisse]\r\nsignatur=\r\n"
                            "\r\n[0]\r\nDate=01.05.2024 12:30:00\r\nSize=10\r\n"
                            "Ordner=/pub/dateien\r\nServer=ftp.example.org\r\nName=a.TXT\r\n"
                            "\r\n[1]\r\nAttr=-rw-r--r--\r\nDate=01.05.2024 12:30:00\r\nSize=20\r\n"
                            "Ordner=/pub/dateien\r\nServer=ftp.example.org\r\nName=b.txt\r\n"
                            "\r\n[2]\r\nAttr=-r--\r\nDate=02.05.2024 08:00:00\r\n"
                            "Size=3221225472\r\nOrdner=/\r\nServer=localhost\r\nName=c.mp3\r\n"));
        const QStringList before = m_fixture.RowTexts();
        const QList<SearchHit> hits = m_fixture.Rows().Hits();
        {
            ModalAnswer<QMessageBox> yes([](QMessageBox &box) { box.button(QMessageBox::Yes)->click(); });
            results.Listeleeren1->trigger();
        }
        QCOMPARE(m_fixture.Rows().rowCount(), 0);
        {
            std::unique_ptr<ModalAnswer<QFileDialog>> open(AnswerFileDialog(file));
            results.ffnen1->trigger();
            QCOMPARE(open->Answered(), 1);
        }
        QCOMPARE(m_fixture.Rows().Hits(), hits);
        QCOMPARE(m_fixture.RowTexts(), before);
        // Two names of one extension share a symbol.
        const QModelIndex a = m_fixture.Rows().index(0, 0);
        const QModelIndex b = m_fixture.Rows().index(1, 0);
        QCOMPARE(m_fixture.Rows().data(a, Qt::DecorationRole).value<QIcon>().cacheKey(),
                 m_fixture.Rows().data(b, Qt::DecorationRole).value<QIcon>().cacheKey());
    }

    void filesWithoutTheSignatureAreRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("rows");
        QTest::newRow("plain INI file") << QByteArray("[Demo]\r\nFTP_Server=x\r\n") << 1 << 1;
        QTest::newRow("only the signature")
            << QByteArray("\r\n[orna ftp glimra tessaline suchergebnisse]\r\nsignatur=\r\n") << 0 << 1;
        QTest::newRow("keys in any order, other section names")
            << QByteArray(
                   "[ORNA FTP Glimra Tessaline Suchergebnisse]\r\n[x]\r\n\r\nName=n\r\n\r\nServer=s\r\n")
            << 0 << 2;
    }

    void filesWithoutTheSignatureAreRefused()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, messages);
        QFETCH(int, rows);
        m_fixture.Results().AddHit(Hit(u"da.txt"_s, u"1"_s));
        const QString file = m_fixture.Home(u"Ordner mit Leerzeichen/liste.toserve"_s);
        QDir().mkpath(QFileInfo(file).path());
        QVERIFY(WriteFileContent(file, content));
        QStringList texts;
        ModalAnswer<QMessageBox> answer(
            [&texts](QMessageBox &box) {
                texts.append(box.text());
                box.button(QMessageBox::No) ? box.button(QMessageBox::No)->click() : box.accept();
            },
            2);
        m_fixture.Results().LoadResultsFile(file);
        QCOMPARE(texts.first(), u"Vorhandene Einträge löschen?"_s);
        QCOMPARE(texts.size() - 1, messages);
        if (messages > 0)
            QCOMPARE(texts.last(),
                     u"Die Datei \"%1\" ist keine Suchergebnissdatei oder ist beschädigt"_s.arg(file));
        QCOMPARE(m_fixture.Rows().rowCount(), rows);
    }

    void aResultsFileArgumentOpensTheWindowWithItsRows()
    {
        m_fixture.Close();
        QVERIFY(m_fixture.PrepareHome());
        const QString file = m_fixture.Home(u"gefunden.TOSERVE"_s);
        QVERIFY(ResultsFile::Write(file, {Hit(u"eins.txt"_s, u"1"_s), Hit(u"zwei.txt"_s, u"2"_s)}));
        QVERIFY(m_fixture.Open({file}));
        QTRY_VERIFY(m_fixture.Results().isVisible());
        QCOMPARE(Names(m_fixture.Rows()), (QStringList{u"eins.txt"_s, u"zwei.txt"_s}));
    }

    void aDoubleClickStartsGlimraOnTheHitsFolder_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::newRow("plain") << false;
        QTest::newRow("TLS") << true;
    }

    void aDoubleClickStartsGlimraOnTheHitsFolder()
    {
        QFETCH(bool, tls);
        RealFtpServer::Options options = ImplicitTls(RealFtpServer::Kind::Pyftpdlib);
        options.implicitTls = tls;
        options.files = {{u"bilder/urlaub.jpg"_s, "jpeg"}, {u"bilder/andere.jpg"_s, "jpeg"}};
        RealFtpServer server(options);
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_fixture.Save(QString(), u"Bilder"_s, tls ? TlsProfileFor(server) : ProfileFor(server)));
        TSuchergDlg &results = m_fixture.Results();
        QString program;
        QStringList arguments;
        results.StartProgram = [&](const QString &started, const QStringList &with) {
            program = started;
            arguments = with;
            return true;
        };
        results.AddHit({u"urlaub.jpg"_s, u"127.0.0.1"_s, u"/bilder"_s, u"4"_s, QString(), QString()});
        results.show();
        QVERIFY(QTest::qWaitForWindowExposed(&results));
        const QRect cell = results.ListView1->visualRect(m_fixture.Rows().index(0, 0));
        QTest::mouseClick(results.ListView1->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(results.ListView1->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(program, QCoreApplication::applicationFilePath());
        QCOMPARE(arguments, (QStringList{u"urlaub.jpg"_s, u"127.0.0.1"_s, u"/bilder"_s}));

        // The started program, as the command line gives it.
        TFTPqvx started(arguments);
        started.CreateDialogs();
        started.show();
        QTRY_VERIFY(started.Main().Connection.LoggedIn());
        QTRY_COMPARE(SelectedCaptions(started.Remote()->List), QStringList{u"urlaub.jpg"_s});
        QCOMPARE(started.Main().Connection.CurrentDir(), u"/bilder"_s);
        QCOMPARE(started.Main().Connection.UseSSL, tls);
        started.Main().Connection.CloseConnection();
    }

private:
    static void LogIn(TFTPqvx &window, const RealFtpServer &server)
    {
        TIdFTP &session = window.Main().Connection;
        session.Host = server.host();
        session.Port = server.port();
        session.User = server.user();
        session.Password = server.password();
        session.Passive = true;
        session.ConnectAndLogin();
        session.ProbeFeatures(window.Main().Features);
    }

    SearchWindowFixture m_fixture;
};

QTEST_MAIN(SearchWindowTest)
#include "test_searchwindow.moc"
