// "glimra-cli search" run as a script runs it: connections by their path in
// a connection tree, the criteria as options, one hit per line, a results
// file, and the exit codes.

#include "../search/searchfixture.h"

#include "enginetesthelpers.h"
#include "freeport.h"
#include "resultsfile.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct CliResult {
    int exitCode = -1;
    QStringList lines;
    QString err;
};

CliResult RunCli(const QStringList &arguments, const QString &locale = u"de_DE.UTF-8"_s)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TZ"_s, u"UTC"_s);
    environment.insert(u"LC_ALL"_s, locale);
    environment.insert(u"LANG"_s, locale);
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("GLIMRA_BINARY_DIR") + u"/src/cli/glimra-cli"_s, arguments);
    CliResult result;
    if (!process.waitForFinished(30000)) {
        process.kill();
        result.err = u"glimra-cli did not finish"_s;
        return result;
    }
    result.exitCode = process.exitCode();
    result.lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    result.lines.sort();
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

CliResult RunSearch(const QStringList &arguments)
{
    return RunCli(QStringList{u"search"_s} + arguments);
}

// server, folder and name of each output line
QStringList Places(const CliResult &result)
{
    QStringList places;
    for (const QString &line : result.lines)
        places.append(line.section(u'\t', 0, 2));
    return places;
}

} // namespace

class CliSearchTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_tree.Prepare());
        m_server = std::make_unique<RealFtpServer>(RealFtpServer::Options{
            .files = {
                {u"musik/a.mp3"_s, "aaa"}, {u"musik/b/c.wav"_s, "c"}, {u"texte/brief.txt"_s, "Hallo Welt"}}});
        START_OR_SKIP(*m_server, RealFtpServer::Kind::Pyftpdlib);
        ConnectionProfile nobody = ProfileFor(*m_server);
        nobody.FTP_Port = QString::number(FreeLocalPort());
        QVERIFY(m_tree.Save(u"Arbeit"_s, u"Server"_s, ProfileFor(*m_server)));
        QVERIFY(m_tree.Save(u"Arbeit/Alt"_s, u"Niemand"_s, nobody));
    }

    void hitsAreListedOneALine_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("places");
        const QString mp3 = u"127.0.0.1\t/musik\ta.mp3"_s;
        const QString wav = u"127.0.0.1\t/musik/b\tc.wav"_s;
        const QString text = u"127.0.0.1\t/texte\tbrief.txt"_s;
        QTest::newRow("patterns, a group")
            << QStringList{u"--patterns"_s, u"*.mp3;*.wav"_s, u"Arbeit"_s} << 0 << QStringList{mp3, wav};
        QTest::newRow("a connection by its path")
            << QStringList{u"--patterns"_s, u"*.mp3"_s, u"Arbeit/Server"_s} << 0 << QStringList{mp3};
        QTest::newRow("content") << QStringList{u"--content"_s, u"--and"_s, u"WELT"_s, u"Arbeit"_s} << 0
                                 << QStringList{text};
        QTest::newRow("case counts") << QStringList{u"--case"_s, u"--and"_s, u"WELT"_s, u"Arbeit"_s} << 1
                                     << QStringList{};
        QTest::newRow("names, AND terms only in the second field")
            << QStringList{u"--names"_s, u"--and"_s, QString(), u"--and"_s, u"brief"_s, u"Arbeit"_s} << 1
            << QStringList{};
        QTest::newRow("names, an empty first OR term")
            << QStringList{u"--names"_s, u"--or"_s, QString(), u"--or"_s, u"brief"_s, u"Arbeit"_s} << 0
            << QStringList{text};
        QTest::newRow("names") << QStringList{u"--names"_s, u"--or"_s, u"brief"_s,
                                              u"--or"_s,    u"c."_s,   u"Arbeit"_s}
                               << 0 << QStringList{wav, text};
        QTest::newRow("size limit") << QStringList{u"--max-size"_s, u"5"_s, u"--and"_s, u"welt"_s,
                                                   u"Arbeit"_s}
                                    << 1 << QStringList{};
        QTest::newRow("after a date")
            << QStringList{u"--after"_s, u"2999-01-01"_s, u"Arbeit"_s} << 1 << QStringList{};
        QTest::newRow("before a date")
            << QStringList{u"--before"_s, u"2999-01-01 10:00"_s, u"--patterns"_s, u"*.txt"_s, u"Arbeit"_s}
            << 0 << QStringList{text};
    }

    void hitsAreListedOneALine()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QStringList, places);
        const CliResult result = RunSearch(QStringList{u"--tree"_s, m_tree.TreeFolder()} + options);
        QVERIFY2(result.exitCode == exitCode, qPrintable(result.err));
        QCOMPARE(Places(result), places);
        for (const QString &line : result.lines)
            QCOMPARE(line.count(u'\t'), 4);
    }

    void badArgumentsEndWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no path") << QStringList{u"--names"_s};
        QTest::newRow("unknown path") << QStringList{u"Gibt/Es/Nicht"_s};
        QTest::newRow("four AND terms") << QStringList{
            u"--and"_s, u"a"_s, u"--and"_s, u"b"_s, u"--and"_s, u"c"_s, u"--and"_s, u"d"_s, u"Arbeit"_s};
        QTest::newRow("malformed pattern") << QStringList{u"--patterns"_s, u"[abc"_s, u"Arbeit"_s};
        QTest::newRow("bad date") << QStringList{u"--after"_s, u"gestern"_s, u"Arbeit"_s};
        QTest::newRow("unknown option") << QStringList{u"--schnell"_s, u"Arbeit"_s};
    }

    void badArgumentsEndWithTwo()
    {
        QFETCH(QStringList, arguments);
        const CliResult result = RunSearch(QStringList{u"--tree"_s, m_tree.TreeFolder()} + arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.lines.isEmpty());
        QVERIFY(result.err.contains(u"glimra-cli search --help"_s));
    }

    void theResultsFileHoldsTheHits()
    {
        const QString file = m_tree.Path(u"treffer.toserve"_s);
        const CliResult result = RunSearch({u"--tree"_s, m_tree.TreeFolder(), u"--patterns"_s, u"*.mp3"_s,
                                            u"--toserve"_s, file, u"Arbeit"_s});
        QCOMPARE(result.exitCode, 0);
        const auto hits = ResultsFile::Read(file);
        QVERIFY(hits);
        QCOMPARE(hits->size(), 1);
        const SearchHit &hit = hits->first();
        QCOMPARE(hit.name, u"a.mp3"_s);
        QCOMPARE(result.lines.first(),
                 QStringList({hit.server, hit.folder, hit.name, hit.sizeText, hit.dateText}).join(u'\t'));
        QCOMPARE(hit.sizeText, u"3"_s);
    }

    // The window reads results files with German date texts; the tool
    // writes the same texts under any locale.
    void datesAreTheWindowsWhateverTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << u"C"_s;
        QTest::newRow("English") << u"en_US.UTF-8"_s;
        QTest::newRow("French") << u"fr_FR.UTF-8"_s;
    }

    void datesAreTheWindowsWhateverTheLocale()
    {
        QFETCH(QString, locale);
        const QRegularExpression windowDate(u"^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$"_s);
        const QString file = m_tree.Path(u"datum.toserve"_s);
        const CliResult search = RunCli({u"search"_s, u"--tree"_s, m_tree.TreeFolder(), u"--patterns"_s,
                                         u"*.mp3"_s, u"--toserve"_s, file, u"Arbeit"_s},
                                        locale);
        QVERIFY2(search.exitCode == 0, qPrintable(search.err));
        const QString hitDate = search.lines.value(0).section(u'\t', 4, 4);
        QVERIFY2(windowDate.match(hitDate).hasMatch(), qPrintable(hitDate));
        const auto hits = ResultsFile::Read(file);
        QVERIFY(hits && hits->size() == 1);
        QCOMPARE(hits->first().dateText, hitDate);

        const QString url = u"ftp://%1:%2@127.0.0.1:%3/musik"_s.arg(m_server->user(), m_server->password())
                                .arg(m_server->port());
        const CliResult listing = RunCli({url, u"ls"_s}, locale);
        QVERIFY2(listing.exitCode == 0, qPrintable(listing.err));
        const QStringList fileRows = listing.lines.filter(QRegularExpression(u"^-\\t"_s));
        QCOMPARE(fileRows.size(), 1);
        const QString listedDate = fileRows.first().section(u'\t', 2, 2);
        QVERIFY2(windowDate.match(listedDate).hasMatch(), qPrintable(listedDate));
    }

private:
    ConnectionTreeFixture m_tree;
    std::unique_ptr<RealFtpServer> m_server;
};

QTEST_GUILESS_MAIN(CliSearchTest)
#include "test_clisearch.moc"
