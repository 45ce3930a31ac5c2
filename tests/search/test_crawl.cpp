// The crawl over saved connections against real servers: which files are
// hits, which are downloaded, loops, cancelling, and TLS profiles.

#include "enginetesthelpers.h"
#include "searchfixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

SearchCriteria MusicSearch()
{
    SearchCriteria criteria;
    criteria.patternText = u"*.mp3;*.mid;*.wav;"_s;
    return criteria;
}

QStringList Retrieved(const RealFtpServer &server)
{
    QStringList files;
    for (const QString &command : server.commands()) {
        if (command.startsWith(u"RETR "_s, Qt::CaseInsensitive))
            files.append(command.mid(5));
    }
    files.sort();
    return files;
}

void AddServerKindRows()
{
    QTest::addColumn<RealFtpServer::Kind>("kind");
    QTest::newRow("pyftpdlib") << RealFtpServer::Kind::Pyftpdlib;
    QTest::newRow("vsftpd") << RealFtpServer::Kind::Vsftpd;
}

} // namespace

class CrawlTest : public QObject {
    Q_OBJECT

public:
    // Searches the connections at the path of the tree.
    SearchOutcome Search(const QString &path, const SearchCriteria &criteria, bool *cancel = nullptr,
                         const std::function<void(SearchOutcome &)> &afterFileTested = {})
    {
        SearchOutcome outcome;
        const bool noCancel = false;
        const auto matcher = SearchMatcher::Prepare(criteria);
        TIdFTP ftp;
        ftp.MaxListingSize = m_maxListingSize;
        SearchSession session(ftp);
        session.OnLog = [&outcome](const QString &line) { outcome.log.append(line); };
        session.SetLogging(true);
        SearchRun::Hooks hooks;
        hooks.crawl.hitFound = [&outcome](const SearchHit &hit) { outcome.hits.append(hit); };
        hooks.crawl.log = [&outcome](const QString &line) { outcome.log.append(line); };
        hooks.crawl.fileTested = [&](const QString &folder, const QString &name) {
            outcome.testedFiles.append(folder + u'|' + name);
            if (afterFileTested)
                afterFileTested(outcome);
        };
        SearchRun run(session, *matcher, cancel ? *cancel : noCancel, hooks);
        run.Run(m_tree.TargetsAt(path));
        outcome.skippedFolders = run.SkippedFolders();
        return outcome;
    }

private slots:
    void init()
    {
        QVERIFY(m_tree.Prepare());
        m_maxListingSize = TIdFTP::kDefaultMaxListingSize;
    }

    void aMusicSearchListsEveryMp3WithoutDownloading_data() { AddServerKindRows(); }

    void aMusicSearchListsEveryMp3WithoutDownloading()
    {
        QFETCH(RealFtpServer::Kind, kind);
        RealFtpServer server({.kind = kind,
                              .files = {{u"a/eins.mp3"_s, "mp3"},
                                        {u"a/b/zwei.MP3"_s, "mp3"},
                                        {u"a/b/c/drei.wav"_s, "wav"},
                                        {u"a/b/leer.mp3"_s, ""},
                                        {u"a/text.txt"_s, "text"},
                                        {u"total.mp3"_s, "x"}}});
        START_OR_SKIP(server, kind);
        QVERIFY(m_tree.Save(u"Musik"_s, u"Server"_s, ProfileFor(server)));

        const SearchOutcome outcome = Search(u"Musik"_s, MusicSearch());
        QCOMPARE(HitPaths(outcome.hits),
                 (QStringList{u"127.0.0.1:/a/b/c/drei.wav"_s, u"127.0.0.1:/a/b/zwei.MP3"_s,
                              u"127.0.0.1:/a/eins.mp3"_s, u"127.0.0.1:/total.mp3"_s}));
        QCOMPARE(Retrieved(server), QStringList());
        for (const SearchHit &hit : outcome.hits) {
            QVERIFY(!hit.dateText.isEmpty());
            if (hit.name == u"drei.wav"_s)
                QCOMPARE(hit.sizeText, u"3"_s);
        }
    }

    void aContentSearchDownloadsOnlyCandidates_data() { AddServerKindRows(); }

    void aContentSearchDownloadsOnlyCandidates()
    {
        QFETCH(RealFtpServer::Kind, kind);
        RealFtpServer server({.kind = kind,
                              .files = {{u"beide.txt"_s, "Alpha, Beta und GAMMA"},
                                        {u"nur-alpha.txt"_s, "alpha allein"},
                                        {u"null.txt"_s, QByteArray("alpha\0gamma", 11)},
                                        {u"oder.txt"_s, "hier steht zeta"},
                                        {u"gross.txt"_s, QByteArray(1001, 'x') + "alpha gamma"},
                                        {u"bild.jpg"_s, "alpha gamma"}}});
        START_OR_SKIP(server, kind);
        QVERIFY(m_tree.Save(QString(), u"Server"_s, ProfileFor(server)));
        SearchCriteria criteria;
        criteria.patternText = u"*.txt"_s;
        criteria.andTerms = {u"alpha"_s, u"gamma"_s, QString()};
        criteria.orTerms = {u"zeta"_s, QString(), QString()};
        criteria.sizeLimit = 1000;

        const SearchOutcome outcome = Search(u"Server"_s, criteria);
        QCOMPARE(HitPaths(outcome.hits), (QStringList{u"127.0.0.1:/beide.txt"_s, u"127.0.0.1:/oder.txt"_s}));
        QCOMPARE(Retrieved(server),
                 (QStringList{u"/beide.txt"_s, u"/null.txt"_s, u"/nur-alpha.txt"_s, u"/oder.txt"_s}));
    }

    void dateLimits_data()
    {
        QTest::addColumn<bool>("after");
        QTest::addColumn<QString>("found");
        QTest::newRow("changed after") << true << u"127.0.0.1:/neu.txt"_s;
        QTest::newRow("changed before") << false << u"127.0.0.1:/alt.txt"_s;
    }

    void dateLimits()
    {
        QFETCH(bool, after);
        QFETCH(QString, found);
        RealFtpServer server({.files = {{u"alt.txt"_s, "a"}, {u"neu.txt"_s, "n"}}});
        QVERIFY(SetFileTime(server.rootDir() + u"/alt.txt"_s,
                            QDateTime(QDate(2019, 3, 1), QTime(12, 0), Qt::UTC)));
        QVERIFY(SetFileTime(server.rootDir() + u"/neu.txt"_s,
                            QDateTime(QDate(2023, 3, 1), QTime(12, 0), Qt::UTC)));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_tree.Save(QString(), u"Server"_s, ProfileFor(server)));
        SearchCriteria criteria;
        criteria.patternText = u"*.txt"_s;
        const QDateTime limit(QDate(2021, 6, 1), QTime(8, 0));
        if (after)
            criteria.changedAfter = limit;
        else
            criteria.changedBefore = limit;
        QCOMPARE(HitPaths(Search(u"Server"_s, criteria).hits), QStringList{found});
    }

    // pyftpdlib lists a link to a folder as a folder under the link's path
    // with MLSD (its "unique" fact tells the folder behind it); vsftpd shows
    // it as a link, which the search does not follow.
    void linksBackToAParentEndTheCrawl_data() { AddServerKindRows(); }

    void linksBackToAParentEndTheCrawl()
    {
        QFETCH(RealFtpServer::Kind, kind);
        RealFtpServer server({.kind = kind, .files = {{u"a/lied.mp3"_s, "x"}, {u"a/b/tief.mp3"_s, "y"}}});
        QVERIFY(MakeLink(u".."_s, server.rootDir() + u"/a/hoch"_s));
        QVERIFY(MakeLink(u"../.."_s, server.rootDir() + u"/a/b/ganz-hoch"_s));
        QVERIFY(MakeLink(u"."_s, server.rootDir() + u"/a/b/hier"_s));
        START_OR_SKIP(server, kind);
        QVERIFY(m_tree.Save(QString(), u"Server"_s, ProfileFor(server)));

        const SearchOutcome outcome = Search(u"Server"_s, MusicSearch());
        QCOMPARE(HitPaths(outcome.hits),
                 (QStringList{u"127.0.0.1:/a/b/tief.mp3"_s, u"127.0.0.1:/a/lied.mp3"_s}));
        if (kind == RealFtpServer::Kind::Pyftpdlib)
            QCOMPARE(outcome.log.filter(u"Nicht durchsucht"_s).size(), 3);
    }

    void nestedFoldersOfOneNameAreAllWalked()
    {
        QString path = u"x"_s;
        for (int level = 1; level < 8; ++level)
            path += u"/x"_s;
        RealFtpServer server({.files = {{path + u"/unten.mp3"_s, "x"}}});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_tree.Save(QString(), u"Server"_s, ProfileFor(server)));
        QCOMPARE(HitPaths(Search(u"Server"_s, MusicSearch()).hits),
                 QStringList{u"127.0.0.1:/"_s + path + u"/unten.mp3"_s});
    }

    void theCrawlStopsDescendingBelow64Levels()
    {
        QString path;
        QMap<QString, QByteArray> files;
        for (int level = 1; level <= 70; ++level) {
            path += u"/%1"_s.arg(level);
            files.insert(path.mid(1) + u"/ebene.mp3"_s, "x");
        }
        RealFtpServer server({.files = files});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_tree.Save(QString(), u"Server"_s, ProfileFor(server)));
        const SearchOutcome outcome = Search(u"Server"_s, MusicSearch());
        QCOMPARE(outcome.hits.size(), 64);
        QVERIFY(outcome.log.join(u'\n').contains(u"mehr als 64 Ebenen"_s));
    }

    // A listing that fails costs its own folder only: the crawl goes on
    // with the next folder and the next server and counts what it skipped.
    void aFolderWhoseListingFailsIsSkipped_data() { AddServerKindRows(); }

    void aFolderWhoseListingFailsIsSkipped()
    {
        QFETCH(RealFtpServer::Kind, kind);
        QMap<QString, QByteArray> files{{u"a/lied.mp3"_s, "x"}, {u"z/ende.mp3"_s, "x"}};
        for (int file = 0; file < 200; ++file)
            files.insert(u"gross/eine-datei-mit-einem-recht-langen-namen-%1.mp3"_s.arg(file), "x");
        RealFtpServer server({.kind = kind, .files = files});
        START_OR_SKIP(server, kind);
        QVERIFY(m_tree.Save(u"G"_s, u"Eins"_s, ProfileFor(server)));
        QVERIFY(m_tree.Save(u"G"_s, u"Zwei"_s, ProfileFor(server, u"localhost"_s)));
        m_maxListingSize = 4096;

        const SearchOutcome outcome = Search(u"G"_s, MusicSearch());
        QCOMPARE(HitPaths(outcome.hits),
                 (QStringList{u"127.0.0.1:/a/lied.mp3"_s, u"127.0.0.1:/z/ende.mp3"_s,
                              u"localhost:/a/lied.mp3"_s, u"localhost:/z/ende.mp3"_s}));
        QCOMPARE(outcome.skippedFolders, 2);
        QCOMPARE(outcome.log.filter(u"Ordner übersprungen"_s).size(), 2);
        QVERIFY(outcome.log.filter(u"Ordner übersprungen"_s).first().contains(u"/gross"_s));
        QTRY_COMPARE(server.commands().filter(u"QUIT"_s, Qt::CaseInsensitive).size(), 2);
    }

    void aCancelStopsBeforeTheNextListingLine()
    {
        RealFtpServer server({.files = {{u"a/1.mp3"_s, "x"}, {u"a/2.mp3"_s, "x"}, {u"a/3.mp3"_s, "x"}}});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_tree.Save(u"G"_s, u"Eins"_s, ProfileFor(server)));
        QVERIFY(m_tree.Save(u"G"_s, u"Zwei"_s, ProfileFor(server)));
        bool cancel = false;
        const SearchOutcome outcome =
            Search(u"G"_s, MusicSearch(), &cancel, [&cancel](SearchOutcome &) { cancel = true; });
        QCOMPARE(outcome.testedFiles.size(), 1);
        QCOMPARE(outcome.hits.size(), 1);
        const QStringList commands = server.commands();
        QCOMPARE(commands.filter(u"CWD"_s, Qt::CaseInsensitive), QStringList{u"CWD /a"_s});
        QCOMPARE(commands.filter(u"USER"_s).size(), 1);
        // The server may write the goodbye a moment later.
        QTRY_VERIFY(server.commands().last().startsWith(u"QUIT"_s, Qt::CaseInsensitive));
    }

    void tlsProfilesAreSearchedOverTls_data() { AddServerKindRows(); }

    void tlsProfilesAreSearchedOverTls()
    {
        QFETCH(RealFtpServer::Kind, kind);
        RealFtpServer::Options options = ImplicitTls(kind);
        options.files = {{u"a/lied.mp3"_s, "x"}};
        RealFtpServer server(options);
        START_OR_SKIP(server, kind);
        QVERIFY(m_tree.Save(QString(), u"Geprueft"_s, TlsProfileFor(server)));
        QVERIFY(m_tree.Save(QString(), u"Ungeprueft"_s, TlsProfileFor(server, false)));

        QCOMPARE(HitPaths(Search(u"Geprueft"_s, MusicSearch()).hits),
                 QStringList{u"127.0.0.1:/a/lied.mp3"_s});
        // A certificate nobody vouches for is turned down without asking.
        server.clearTranscript();
        const SearchOutcome refused = Search(u"Ungeprueft"_s, MusicSearch());
        QVERIFY(refused.hits.isEmpty());
        QVERIFY(server.commands().filter(u"PASS"_s).isEmpty());
    }

    void aTlsProfileNeverSendsThePasswordInClear()
    {
        RealFtpServer server({.files = {{u"lied.mp3"_s, "x"}}});
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        QVERIFY(m_tree.Save(QString(), u"Server"_s, TlsProfileFor(server)));
        const SearchOutcome outcome = Search(u"Server"_s, MusicSearch());
        QVERIFY(outcome.hits.isEmpty());
        QVERIFY2(server.commands().filter(u"PASS"_s).isEmpty(), qPrintable(server.transcript()));
    }

private:
    ConnectionTreeFixture m_tree;
    qint64 m_maxListingSize = TIdFTP::kDefaultMaxListingSize;
};

QTEST_GUILESS_MAIN(CrawlTest)
#include "test_crawl.moc"
