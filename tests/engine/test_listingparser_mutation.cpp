#include "listingparser.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

const QStringList kSeedLines = {
    u"drwxr-xr-x   2 ftp      ftp          4096 Oct 12  2003 pub"_s,
    u"-rw-r--r--    1 0        0        5368709120 Dec 09 05:10 big.iso"_s,
    u"lrwxrwxrwx   1 root     root            7 Dec 09 05:10 link -> a b.txt"_s,
    u"-rw-r--r--  1 ftp  ftp  1234 Oct 12 12:34:56 2003 bsd.txt"_s,
    u"12-31-03  10:30PM       <DIR>          Programme"_s,
    u"01-16-02  11:14AM           5368709120 big.iso"_s,
    u"12-31-2003  10:30PM         123456789012 huge.bin"_s,
    u"+i8388621.44468,m839956783,r,s10376,\tRFCEPLF"_s,
    u"modify=20261209051009;perm=r;size=2;type=file;unique=fe00ga720d1; Größe.txt"_s,
    u"type=dir;modify=20031231240000; Musik"_s,
    u"03.15.2004 20:05:07           1234 notes.txt"_s,
    u"total 28"_s,
};

// Characters the strategies look for, plus some they must survive.
const QString kAlphabet = u"0123456789 :-.+;,=/<>DIRdirPMAMjanfebdecoctmodifysizetype\t\r"_s + QChar(0xD800) +
                          QChar(0xDC00) + QChar(0xFFFF) + QChar(0x00E4) + QChar(0x0130);

QChar RandomCharacter(QRandomGenerator &random)
{
    return kAlphabet[random.bounded(int(kAlphabet.size()))];
}

QStringList Mutations(const QString &seed, QRandomGenerator &random)
{
    QStringList lines;
    for (qsizetype i = 0; i <= seed.size(); ++i) {
        lines << seed.left(i) << seed.mid(i);
        lines << QString(seed).insert(i, u' ') << QString(seed).insert(i, u"    "_s);
        if (i < seed.size())
            lines << QString(seed).replace(i, 1, RandomCharacter(random)) << QString(seed).remove(i, 1);
    }
    for (int round = 0; round < 200; ++round) {
        QString line = seed;
        for (int change = random.bounded(1, 8); change > 0; --change)
            line[random.bounded(int(line.size()))] = RandomCharacter(random);
        lines << line;
    }
    return lines;
}

// What every caller relies on for an accepted entry.
void CheckAccepted(const RemoteEntry &entry, const QString &line)
{
    if (!entry.accepted)
        return;
    const QByteArray utf8 = line.toUtf8();
    const char *where = utf8.constData();
    QVERIFY2(!entry.name.isEmpty(), where);
    QVERIFY2(entry.kind >= RemoteEntry::File && entry.kind <= RemoteEntry::Link, where);
    QVERIFY2(entry.attributes.size() == 10 && entry.attributes[0] == u"-dl"_s[entry.kind], where);
    QVERIFY2(std::all_of(entry.sizeText.begin(), entry.sizeText.end(), [](QChar c) { return c.isDigit(); }),
             where);
    QVERIFY2(entry.kind != RemoteEntry::Folder || entry.sizeText.isEmpty(), where);
    QVERIFY2(entry.timestamp.isValid(), where);
    QVERIFY2(ParseDateText(entry.dateText) == entry.timestamp, where);
}

TimeCorrection ManualCorrection()
{
    TimeCorrection correction;
    correction.DateTimeManuel = true;
    correction.TimeDif = QTime(1, 30);
    correction.TimeDifvz = +1;
    return correction;
}

} // namespace

// Broken, cut and hostile lines must neither crash nor hang the parser, and
// whatever it accepts must still be an entry callers can use.
class ListingParserMutationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        LocalClock::System().Reload();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void mutatedLines_data()
    {
        QTest::addColumn<QString>("seed");
        for (const QString &seed : kSeedLines)
            QTest::newRow(qPrintable(seed.left(24))) << seed;
    }

    void mutatedLines()
    {
        QFETCH(QString, seed);
        QRandomGenerator random(quint32(qHash(seed)));
        TimeCorrection correction;
        correction.DateTimeNo = true;
        for (const QString &line : Mutations(seed, random)) {
            for (const bool mlsd : {false, true}) {
                CheckAccepted(ParseListingLine(line, correction, mlsd), line);
                if (QTest::currentTestFailed())
                    return;
            }
        }
    }

    void randomLines()
    {
        QRandomGenerator random(20031231);
        for (int i = 0; i < 20000; ++i) {
            QString line(random.bounded(0, 120), Qt::Uninitialized);
            for (QChar &c : line)
                c = RandomCharacter(random);
            CheckAccepted(ParseListingLine(line, ManualCorrection(), i % 2 == 0), line);
            if (QTest::currentTestFailed())
                return;
        }
    }

    // Long lines cost linear time: a quadratic strategy would hang here.
    void longLines_data()
    {
        QTest::addColumn<QString>("line");
        const int repeat = 40000;
        QTest::newRow("month letters without blanks") << u"-"_s + u"janfebmar"_s.repeated(repeat);
        QTest::newRow("month words with invalid days") << u"-"_s + u"jan 99 1:99 "_s.repeated(repeat);
        QTest::newRow("month word, then one long word") << u"-jan 1 "_s + u"7"_s.repeated(repeat * 8);
        QTest::newRow("dates without times") << u"12-31-03 "_s.repeated(repeat);
        QTest::newRow("colons") << u"9:"_s.repeated(repeat * 4);
        QTest::newRow("EPLF facts") << u"+"_s + u"m1,s2,r,/,"_s.repeated(repeat);
        QTest::newRow("MLSD facts") << u"type=file;size=1;"_s.repeated(repeat) + u" x"_s;
        QTest::newRow("blanks") << QString(repeat * 8, u' ');
    }

    void longLines()
    {
        QFETCH(QString, line);
        for (const bool mlsd : {false, true}) {
            const RemoteEntry entry = ParseListingLine(line, ManualCorrection(), mlsd);
            CheckAccepted(entry, line.left(80));
        }
    }
};

QTEST_GUILESS_MAIN(ListingParserMutationTest)
#include "test_listingparser_mutation.moc"
