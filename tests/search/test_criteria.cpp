// What makes a file a hit: the pattern list, the name patterns, the term
// rules, the size and date limits, and the content scan of a download.

#include "contentscanner.h"
#include "listingparser.h"
#include "namepattern.h"
#include "searchcriteria.h"

#include <QTest>

using namespace Qt::StringLiterals;

using Verdict = SearchMatcher::Verdict;
Q_DECLARE_METATYPE(Verdict)

namespace {

RemoteEntry FileEntry(const QString &name, qint64 size,
                      const QDateTime &time = QDateTime(QDate(2024, 5, 1), QTime(12, 0)))
{
    RemoteEntry entry;
    entry.accepted = true;
    entry.kind = RemoteEntry::File;
    entry.name = name;
    entry.size = size;
    entry.sizeText = QString::number(size);
    entry.timestamp = time;
    return entry;
}

QString Lower(const QString &text)
{
    return text.toLower();
}

} // namespace

class CriteriaTest : public QObject {
    Q_OBJECT

private slots:
    void patternListCutsAtSemicolons_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("patterns");
        QTest::newRow("blank piece dropped") << u"*.txt; ;*.doc"_s << QStringList{u"*.txt"_s, u"*.doc"_s};
        QTest::newRow("blank last piece stays")
            << u"*.txt; ;*.doc; "_s << QStringList{u"*.txt"_s, u"*.doc"_s, QString()};
        QTest::newRow("closing semicolon") << u"a;;b;"_s << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("lower case") << u" *.MP3 ;*.Wav"_s << QStringList{u"*.mp3"_s, u"*.wav"_s};
        QTest::newRow("only a semicolon") << u";"_s << QStringList{};
        QTest::newRow("empty text") << QString() << QStringList{QString()};
    }

    void patternListCutsAtSemicolons()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, patterns);
        QCOMPARE(PatternList(text), patterns);
    }

    void namePatterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("extension") << u"*.mp3"_s << u"song.mp3"_s << true;
        QTest::newRow("ASCII letters in either case") << u"*.mp3"_s << u"SONG.MP3"_s << true;
        QTest::newRow("other letters exactly") << u"ä*"_s << u"Äpfel"_s << false;
        QTest::newRow("extension not at the end") << u"*.mp3"_s << u"song.mp3.txt"_s << false;
        QTest::newRow("star dot star needs a dot") << u"*.*"_s << u"README"_s << false;
        QTest::newRow("one character") << u"?.txt"_s << u"a.txt"_s << true;
        QTest::newRow("one character, not two") << u"?.txt"_s << u"ab.txt"_s << false;
        QTest::newRow("range") << u"[a-c]1.txt"_s << u"B1.txt"_s << true;
        QTest::newRow("outside the range") << u"[a-c]1.txt"_s << u"d1.txt"_s << false;
        QTest::newRow("negated set") << u"[!a]*"_s << u"abc"_s << false;
        QTest::newRow("negated set, other letter") << u"[!a]*"_s << u"bbc"_s << true;
        QTest::newRow("bracket as first member") << u"[]]x"_s << u"]x"_s << true;
        QTest::newRow("stars backtrack") << u"*a*b*c"_s << u"xaybzc"_s << true;
        QTest::newRow("stars backtrack, no match") << u"*a*b*c"_s << u"xaybzcd"_s << false;
        QTest::newRow("star matches nothing") << u"*"_s << QString() << true;
        QTest::newRow("empty pattern, empty name") << QString() << QString() << true;
        QTest::newRow("empty pattern, a name") << QString() << u"a"_s << false;
    }

    void namePatterns()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        const std::optional<NamePattern> compiled = NamePattern::Compile(pattern);
        QVERIFY(compiled);
        QCOMPARE(compiled->Matches(name), matches);
    }

    void malformedPatternsAreRefusedWithTheReason_data()
    {
        QTest::addColumn<QString>("patterns");
        QTest::newRow("unclosed") << u"*.txt;[abc"_s;
        QTest::newRow("bracket at the end") << u"x["_s;
        QTest::newRow("negation only") << u"[!"_s;
        QTest::newRow("empty set") << u"[]"_s;
    }

    void malformedPatternsAreRefusedWithTheReason()
    {
        QFETCH(QString, patterns);
        SearchCriteria criteria;
        criteria.patternText = patterns;
        QString error;
        QVERIFY(!SearchMatcher::Prepare(criteria, &error));
        QVERIFY2(error.contains(u"\"[\""_s) && error.contains(u"fehlerhaft"_s), qPrintable(error));
    }

    void listedFiles_data()
    {
        QTest::addColumn<bool>("names");
        QTest::addColumn<bool>("contents");
        QTest::addColumn<QString>("patterns");
        QTest::addColumn<QStringList>("andTerms");
        QTest::addColumn<QStringList>("orTerms");
        QTest::addColumn<qint64>("sizeLimit");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<Verdict>("verdict");

        const QStringList none{QString(), QString(), QString()};
        const qint64 gib3 = 3LL * 1024 * 1024 * 1024;
        // name test
        QTest::newRow("names without terms: every file")
            << true << false << u"*.mp3"_s << none << none << qint64(0) << false << u"a.txt"_s << qint64(5)
            << Verdict::Match;
        QTest::newRow("an OR term alone")
            << true << false << u"*.*"_s << none << QStringList{QString(), u"foo"_s, QString()} << qint64(0)
            << false << u"My-FOO.txt"_s << qint64(5) << Verdict::Match;
        QTest::newRow("AND terms in the second and third field never match")
            << true << false << u"*.*"_s << QStringList{QString(), u"a"_s, u"b"_s} << none << qint64(0)
            << false << u"ab.txt"_s << qint64(5) << Verdict::NoMatch;
        QTest::newRow("every AND term")
            << true << false << u"*.*"_s << QStringList{u"ur"_s, u"aub"_s, QString()} << none << qint64(0)
            << false << u"Urlaub.jpg"_s << qint64(5) << Verdict::Match;
        QTest::newRow("one AND term missing")
            << true << false << u"*.*"_s << QStringList{u"ur"_s, u"xx"_s, QString()} << none << qint64(0)
            << false << u"Urlaub.jpg"_s << qint64(5) << Verdict::NoMatch;
        QTest::newRow("case counts") << true << false << u"*.*"_s
                                     << QStringList{u"Ur"_s, QString(), QString()} << none << qint64(0)
                                     << true << u"urlaub.jpg"_s << qint64(5) << Verdict::NoMatch;
        QTest::newRow("no name match goes on to the content")
            << true << true << u"*.txt"_s << QStringList{u"zzz"_s, QString(), QString()} << none << qint64(0)
            << false << u"a.txt"_s << qint64(10) << Verdict::NeedsContent;
        // content test
        QTest::newRow("patterns without terms: no download")
            << false << true << u"*.mp3;*.wav"_s << none << none << qint64(0) << false << u"Song.MP3"_s
            << qint64(5) << Verdict::Match;
        QTest::newRow("no pattern matches") << false << true << u"*.mp3;*.wav"_s << none << none << qint64(0)
                                            << false << u"song.ogg"_s << qint64(5) << Verdict::NoMatch;
        QTest::newRow("size 0 is never found by content")
            << false << true << u"*.mp3"_s << none << none << qint64(0) << false << u"leer.mp3"_s << qint64(0)
            << Verdict::NoMatch;
        QTest::newRow("above the size limit")
            << false << true << u"*.*"_s << QStringList{u"x"_s, QString(), QString()} << none << qint64(1000)
            << false << u"a.txt"_s << qint64(1001) << Verdict::NoMatch;
        QTest::newRow("at the size limit")
            << false << true << u"*.*"_s << QStringList{u"x"_s, QString(), QString()} << none << qint64(1000)
            << false << u"a.txt"_s << qint64(1000) << Verdict::NeedsContent;
        QTest::newRow("3 GiB passes the size test")
            << false << true << u"*.iso"_s << none << none << qint64(0) << false << u"dvd.iso"_s << gib3
            << Verdict::Match;
        QTest::newRow("3 GiB is too large to read")
            << false << true << u"*.iso"_s << QStringList{u"x"_s, QString(), QString()} << none << qint64(0)
            << false << u"dvd.iso"_s << gib3 << Verdict::NoMatch;
        QTest::newRow("neither names nor contents") << false << false << u"*.*"_s << none << none << qint64(0)
                                                    << false << u"a.txt"_s << qint64(5) << Verdict::NoMatch;
    }

    void listedFiles()
    {
        QFETCH(bool, names);
        QFETCH(bool, contents);
        QFETCH(QString, patterns);
        QFETCH(QStringList, andTerms);
        QFETCH(QStringList, orTerms);
        QFETCH(qint64, sizeLimit);
        QFETCH(bool, caseSensitive);
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(Verdict, verdict);
        SearchCriteria criteria;
        criteria.searchNames = names;
        criteria.searchContents = contents;
        criteria.patternText = patterns;
        criteria.andTerms = {andTerms[0], andTerms[1], andTerms[2]};
        criteria.orTerms = {orTerms[0], orTerms[1], orTerms[2]};
        criteria.sizeLimit = sizeLimit;
        criteria.caseSensitive = caseSensitive;
        const auto matcher = SearchMatcher::Prepare(criteria);
        QVERIFY(matcher);
        QCOMPARE(matcher->TestListedFile(FileEntry(name, size)), verdict);
    }

    void dateLimits_data()
    {
        QTest::addColumn<bool>("afterOn");
        QTest::addColumn<bool>("beforeOn");
        QTest::addColumn<QDateTime>("listed");
        QTest::addColumn<Verdict>("verdict");
        const QDateTime limitTime(QDate(2024, 5, 1), QTime(8, 0));
        QTest::newRow("after: earlier") << true << false << limitTime.addSecs(-1) << Verdict::NoMatch;
        QTest::newRow("after: the same time") << true << false << limitTime << Verdict::Match;
        QTest::newRow("before: later") << false << true << limitTime.addSecs(1) << Verdict::NoMatch;
        QTest::newRow("before: the same time") << false << true << limitTime << Verdict::Match;
        QTest::newRow("unreadable date with a limit")
            << true << false << QDateTime() << Verdict::UnreadableDate;
        QTest::newRow("unreadable date without limits") << false << false << QDateTime() << Verdict::Match;
    }

    void dateLimits()
    {
        QFETCH(bool, afterOn);
        QFETCH(bool, beforeOn);
        QFETCH(QDateTime, listed);
        QFETCH(Verdict, verdict);
        SearchCriteria criteria;
        criteria.patternText = u"*.txt"_s;
        const QDateTime limitTime(QDate(2024, 5, 1), QTime(8, 0));
        if (afterOn)
            criteria.changedAfter = limitTime;
        if (beforeOn)
            criteria.changedBefore = limitTime;
        const auto matcher = SearchMatcher::Prepare(criteria);
        QCOMPARE(matcher->TestListedFile(FileEntry(u"a.txt"_s, 5, listed)), verdict);
    }

    void contentScan_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("terms");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("term cut by the chunk boundary")
            << QList<QByteArray>{"say hel", "lo world"} << QStringList{u"hello"_s, u"wor"_s} << false
            << QStringList{u"hello"_s, u"wor"_s};
        QTest::newRow("nothing after the zero byte")
            << QList<QByteArray>{QByteArray("abc\0def", 7)} << QStringList{u"abc"_s, u"def"_s} << false
            << QStringList{u"abc"_s};
        QTest::newRow("zero byte in a later chunk")
            << QList<QByteArray>{"ab", QByteArray("c\0de", 4), "fgh"} << QStringList{u"abc"_s, u"fgh"_s}
            << false << QStringList{u"abc"_s};
        QTest::newRow("UTF-8 text") << QList<QByteArray>{"Gr\xc3", "\xbc\xc3\x9f"
                                                                   "e"}
                                    << QStringList{u"grüße"_s} << false << QStringList{u"grüße"_s};
        QTest::newRow("Windows-1252 text") << QList<QByteArray>{"Gr\xfc\xdf"
                                                                "e"}
                                           << QStringList{u"grüße"_s} << false << QStringList{u"grüße"_s};
        QTest::newRow("case ignored")
            << QList<QByteArray>{"HELLO"} << QStringList{u"hello"_s} << false << QStringList{u"hello"_s};
        QTest::newRow("case counts") << QList<QByteArray>{"HELLO"} << QStringList{u"hello"_s} << true
                                     << QStringList{};
    }

    void contentScan()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QStringList, terms);
        QFETCH(bool, caseSensitive);
        QFETCH(QStringList, found);
        ContentScanner scanner(terms, caseSensitive ? [](const QString &text) { return text; } : Lower);
        qint64 total = 0;
        for (const QByteArray &chunk : chunks) {
            QCOMPARE(scanner.write(chunk), chunk.size());
            total += chunk.size();
        }
        QCOMPARE(scanner.BytesReceived(), total);
        QStringList seen;
        for (const QString &term : terms) {
            if (scanner.Contains(term))
                seen.append(term);
        }
        QCOMPARE(seen, found);
    }
};

QTEST_GUILESS_MAIN(CriteriaTest)
#include "test_criteria.moc"
