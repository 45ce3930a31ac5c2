// Saving files from the search results with the save window's own session:
// connections per server, the question before replacing, cancelling, names
// that would leave the folder, TLS.

#include "searchwindowfixture.h"

#include "hitsaving.h"
#include "promptanswer.h"
#include "sessionlogview.h"
#include "tasrewrdlg.h"
#include "tssavedlg.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {

SearchHit HitOn(const QString &server, const QString &folder, const QString &name)
{
    return {name, server, folder, QString(), QString(), QString()};
}

int Logins(const RealFtpServer &server)
{
    return int(server.commands().filter(QRegularExpression(u"^USER "_s)).size());
}

// Runs the action when the save window's caption first names the file.
class OnTitle : public QObject {
public:
    OnTitle(TssaveDlg &window, const QString &fileName, std::function<void()> action)
        : m_window(window)
        , m_fileName(fileName)
        , m_action(std::move(action))
    {
        window.installEventFilter(this);
    }
    ~OnTitle() override { m_window.removeEventFilter(this); }

    bool Done() const { return m_done; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::WindowTitleChange && !m_done &&
            m_window.windowTitle().endsWith(m_fileName)) {
            m_done = true;
            m_action();
        }
        return false;
    }

private:
    TssaveDlg &m_window;
    QString m_fileName;
    std::function<void()> m_action;
    bool m_done = false;
};

} // namespace

class SavingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SearchWindowFixture::InstallProgramServices(); }

    void init()
    {
        QVERIFY(m_fixture.PrepareHome());
        QVERIFY(m_fixture.Open());
        m_targetDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_targetDir->isValid());
        m_folder.clear();
    }

    void cleanup() { m_fixture.Close(); }

    void oneServerConnectsOnceAndTwoAlternatingConnectThreeTimes()
    {
        RealFtpServer first(
            {.files = {{u"pub/a1.txt"_s, "A1"}, {u"pub/a3.txt"_s, "A3"}, {u"pub/b.txt"_s, "B"}}});
        START_OR_SKIP(first, RealFtpServer::Kind::Pyftpdlib);
        RealFtpServer second({.files = {{u"pub/a2.txt"_s, "A2"}}});
        START_OR_SKIP(second, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_fixture.Save(QString(), u"Erster"_s, ProfileFor(first)));
        QVERIFY(m_fixture.Save(QString(), u"Zweiter"_s, ProfileFor(second, u"localhost"_s)));

        SaveAll({HitOn(u"127.0.0.1"_s, u"/pub"_s, u"a1.txt"_s), HitOn(u"127.0.0.1"_s, u"/pub"_s, u"a3.txt"_s),
                 HitOn(u"127.0.0.1"_s, u"/pub"_s, u"b.txt"_s)});
        QCOMPARE(Logins(first), 1);
        QCOMPARE(Saved(), (QStringList{u"a1.txt=A1"_s, u"a3.txt=A3"_s, u"b.txt=B"_s}));
        // The save window's log hides the password as every log does.
        const QStringList log = m_fixture.Searching().SaveWindow()->ListBox1->Lines();
        QVERIFY(log.contains(u"Gesendet: PASS (HIDDEN)<EOL>"_s));
        QVERIFY(log.filter(first.password()).isEmpty());

        Clear();
        first.clearTranscript();
        SaveAll({HitOn(u"127.0.0.1"_s, u"/pub"_s, u"a1.txt"_s), HitOn(u"localhost"_s, u"/pub"_s, u"a2.txt"_s),
                 HitOn(u"127.0.0.1"_s, u"/pub"_s, u"a3.txt"_s)});
        QCOMPARE(Logins(first) + Logins(second), 3);
        QCOMPARE(Saved(), (QStringList{u"a1.txt=A1"_s, u"a2.txt=A2"_s, u"a3.txt=A3"_s}));
        // The session is closed at the end and the file commands are back.
        QVERIFY(!m_fixture.Searching().SaveWindow()->IdFTP1.IsConnected());
        QVERIFY(m_fixture.Results().ffnen1->isEnabled() && !m_fixture.Results().Abbrechen1->isEnabled());
    }

    void renameAllNumbersTheNames()
    {
        RealFtpServer server({.files = {{u"1/readme.txt"_s, "eins"},
                                        {u"2/readme.txt"_s, "zwei"},
                                        {u"3/readme.txt"_s, "drei"}}});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_fixture.Save(QString(), u"Server"_s, ProfileFor(server)));
        QStringList suggestions;
        PromptAnswer<TasrewrDlg> renameAll([&suggestions](TasrewrDlg &dialog, int) {
            suggestions.append(dialog.Edit1->text());
            dialog.Button6->click();
        });
        SaveAll({HitOn(u"127.0.0.1"_s, u"/1"_s, u"readme.txt"_s),
                 HitOn(u"127.0.0.1"_s, u"/2"_s, u"readme.txt"_s),
                 HitOn(u"127.0.0.1"_s, u"/3"_s, u"readme.txt"_s)});
        QCOMPARE(suggestions, QStringList{u"readme(1).txt"_s});
        QCOMPARE(Saved(),
                 (QStringList{u"readme(1).txt=zwei"_s, u"readme(2).txt=drei"_s, u"readme.txt=eins"_s}));
    }

    void noKeepsTheFileAndStillSavesNewOnes()
    {
        RealFtpServer server({.files = {{u"a.txt"_s, "neu"}, {u"b.txt"_s, "B"}, {u"README"_s, "R"}}});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_fixture.Save(QString(), u"Server"_s, ProfileFor(server)));
        QVERIFY(WriteFileContent(Target().filePath(u"a.txt"_s), "alt"));
        QVERIFY(WriteFileContent(Target().filePath(u"README"_s), "alt"));
        QStringList questions;
        PromptAnswer<TasrewrDlg> no([&questions](TasrewrDlg &dialog, int) {
            questions.append(dialog.Label1->text() + u'|' + dialog.Edit1->text());
            dialog.Button3->click();
        });
        SaveAll({HitOn(u"127.0.0.1"_s, u"/"_s, u"a.txt"_s), HitOn(u"127.0.0.1"_s, u"/"_s, u"b.txt"_s),
                 HitOn(u"127.0.0.1"_s, u"/"_s, u"README"_s)});
        QCOMPARE(
            questions,
            (QStringList{u"Die Datei \"a.txt\" bereits vorhanden. Wie möchten Sie vorgehen?|a(1).txt"_s,
                         u"Die Datei \"README\" bereits vorhanden. Wie möchten Sie vorgehen?|README(1)"_s}));
        QCOMPARE(Saved(), (QStringList{u"README=alt"_s, u"a.txt=alt"_s, u"b.txt=B"_s}));
    }

    void cancelLetsTheRunningDownloadFinishAndStopsBeforeTheNext()
    {
        QMap<QString, QByteArray> files;
        for (int file = 1; file <= 5; ++file)
            files.insert(u"datei%1.bin"_s.arg(file), RandomBytes(3 * 1024 * 1024, quint32(file)));
        RealFtpServer server({.files = files});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_fixture.Save(QString(), u"Server"_s, ProfileFor(server)));
        // "Abbrechen" is pressed as soon as the window shows the second file;
        // a search is refused while the save runs.
        TssaveDlg *window = m_fixture.Searching().SaveWindow();
        bool searchRefused = false;
        OnTitle pressCancel(*window, u"datei2.bin"_s, [&] {
            m_fixture.Searching().NewSearch();
            searchRefused = !m_fixture.Searching().Options()->isVisible() && !m_fixture.Searching().Running();
            window->CancelBtn->click();
        });
        QList<SearchHit> hits;
        for (int file = 1; file <= 5; ++file)
            hits.append(HitOn(u"127.0.0.1"_s, u"/"_s, u"datei%1.bin"_s.arg(file)));
        SaveAll(hits);
        QVERIFY(pressCancel.Done());
        QVERIFY(searchRefused);
        QCOMPARE(QDir(Target().path()).entryList(QDir::Files),
                 (QStringList{u"datei1.bin"_s, u"datei2.bin"_s}));
        QCOMPARE(FileContent(Target().filePath(u"datei2.bin"_s)), files.value(u"datei2.bin"_s));
    }

    void namesThatWouldLeaveTheFolderAreSkipped()
    {
        RealFtpServer server({.files = {{u"gut.txt"_s, "gut"}}});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_fixture.Save(QString(), u"Server"_s, ProfileFor(server)));
        const QString inner = Target().filePath(u"innen"_s);
        QVERIFY(QDir().mkpath(inner));
        m_folder = inner;
        SaveAll({HitOn(u"127.0.0.1"_s, u"/"_s, u"../boese.txt"_s), HitOn(u"127.0.0.1"_s, u"/"_s, u".."_s),
                 HitOn(u"127.0.0.1"_s, u"/"_s, u"a\\b.txt"_s), HitOn(u"127.0.0.1"_s, u"/"_s, u"gut.txt"_s)});
        QCOMPARE(QDir(Target().path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(QDir(inner).entryList(QDir::Files), QStringList{u"gut.txt"_s});
        QCOMPARE(m_fixture.Window()->Log()->Lines().filter(u"Nicht gespeichert"_s).size(), 3);
    }

    void oneRowIsSavedUnderTheTypedName()
    {
        RealFtpServer server({.files = {{u"ordner/bild.jpg"_s, "jpeg"}}});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_fixture.Save(QString(), u"Server"_s, ProfileFor(server)));
        m_fixture.Results().AddHit(HitOn(u"127.0.0.1"_s, u"/ordner"_s, u"bild.jpg"_s));
        QString proposed;
        ModalAnswer<QFileDialog> answer([&](QFileDialog &dialog) {
            proposed = dialog.selectedFiles().value(0);
            dialog.selectFile(Target().filePath(u"eigener-name"_s));
            static_cast<QDialog &>(dialog).accept();
        });
        m_fixture.Results().SelectAllItem->trigger();
        m_fixture.Results().SaveFilesItem->trigger();
        QCOMPARE(answer.Answered(), 1);
        QVERIFY(proposed.endsWith(u"/bild.jpg"_s));
        QCOMPARE(Saved(), QStringList{u"eigener-name=jpeg"_s});
    }

    void rowsThatCannotBeSavedLeaveNothing_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("no saved connection")
            << u"ftp.example.org"_s << QString() << u"/"_s << u"da.txt"_s << QStringList{};
        QTest::newRow("missing file")
            << u"127.0.0.1"_s << QString() << u"/"_s << u"fehlt.txt"_s << QStringList{};
        QTest::newRow("missing folder")
            << u"127.0.0.1"_s << QString() << u"/fehlt"_s << u"da.txt"_s << QStringList{};
        QTest::newRow("unfit profile") << u"127.0.0.1"_s << u"0"_s << u"/"_s << u"da.txt"_s
                                       << QStringList{u"Die Verbindungseigenschaften sind mangelhaft."_s};
    }

    void rowsThatCannotBeSavedLeaveNothing()
    {
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QStringList, warnings);
        RealFtpServer ftp({.files = {{u"da.txt"_s, "da"}}});
        START_OR_SKIP(ftp, RealFtpServer::Kind::Pyftpdlib);
        ConnectionProfile profile = ProfileFor(ftp);
        if (!port.isEmpty())
            profile.FTP_Port = port;
        QVERIFY(m_fixture.Save(QString(), u"Server"_s, profile));
        QStringList shown;
        ModalAnswer<QMessageBox> warning(
            [&shown](QMessageBox &box) {
                shown.append(box.text());
                box.accept();
            },
            2);
        SaveAll({HitOn(server, folder, name), HitOn(server, folder, name + u"2"_s)});
        QCOMPARE(Saved(), QStringList());
        QCOMPARE(shown,
                 warnings.isEmpty() ? QStringList() : (QStringList{warnings.first(), warnings.first()}));
    }

    void aTlsServerIsSavedFromOverTls_data()
    {
        QTest::addColumn<RealFtpServer::Kind>("kind");
        QTest::newRow("pyftpdlib") << RealFtpServer::Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << RealFtpServer::Kind::Vsftpd;
    }

    void aTlsServerIsSavedFromOverTls()
    {
        QFETCH(RealFtpServer::Kind, kind);
        RealFtpServer::Options options = ImplicitTls(kind);
        options.files = {{u"geheim/brief.txt"_s, "vertraulich"}, {u"geheim/notiz.txt"_s, "auch"}};
        RealFtpServer server(options);
        START_OR_SKIP(server, kind);
        QVERIFY(m_fixture.Save(QString(), u"Sicher"_s, TlsProfileFor(server)));
        SaveAll({HitOn(u"127.0.0.1"_s, u"/geheim"_s, u"brief.txt"_s),
                 HitOn(u"127.0.0.1"_s, u"/geheim"_s, u"notiz.txt"_s)});
        QCOMPARE(Saved(), (QStringList{u"brief.txt=vertraulich"_s, u"notiz.txt=auch"_s}));
        QCOMPARE(Logins(server), 1);
    }

private:
    // Adds the hits, selects them all and saves them into the target folder.
    void SaveAll(const QList<SearchHit> &hits)
    {
        for (const SearchHit &hit : hits)
            m_fixture.Results().AddHit(hit);
        const QString folder = m_folder.isEmpty() ? Target().path() : m_folder;
        ModalAnswer<QFileDialog> chooseFolder([&folder](QFileDialog &dialog) {
            dialog.selectFile(folder);
            static_cast<QDialog &>(dialog).accept();
        });
        m_fixture.Results().SelectAllItem->trigger();
        QVERIFY(m_fixture.Results().SaveFilesItem->isEnabled());
        m_fixture.Results().SaveFilesItem->trigger();
        QCOMPARE(chooseFolder.Answered(), 1);
        QVERIFY(!m_fixture.Searching().Saving()->Running());
    }

    void Clear()
    {
        m_fixture.Rows().Clear();
        for (const QString &name : QDir(Target().path()).entryList(QDir::Files))
            QFile::remove(Target().filePath(name));
    }

    // "name=content" of every file in the target folder.
    QStringList Saved() const
    {
        QStringList files;
        for (const QString &name : QDir(Target().path()).entryList(QDir::Files))
            files.append(name + u'=' + QString::fromUtf8(FileContent(Target().filePath(name))));
        files.sort();
        return files;
    }

    // The folder files are saved into, new for every test.
    const QTemporaryDir &Target() const { return *m_targetDir; }

    SearchWindowFixture m_fixture;
    std::unique_ptr<QTemporaryDir> m_targetDir;
    QString m_folder; // instead of the target folder itself
};

QTEST_MAIN(SavingTest)
#include "test_saving.moc"
