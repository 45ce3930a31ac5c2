#include "listingparser.h"
#include "tidantifreeze.h"

#include <QLocale>
#include <QTest>
#include <QThread>
#include <QTimeZone>

#include <ctime>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

void UseTimeZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
    LocalClock::System().Reload();
}

// One raw listing line and the entry a user must see for it. To add a line
// reported from a server, append a row to the table of its format.
struct ListingRow {
    const char *tag;
    const char16_t *line;
    bool accepted;
    int kind;
    const char16_t *name;
    const char16_t *size;
    const char16_t *date; // as shown with German formats, without correction
};

constexpr int F = RemoteEntry::File;
constexpr int D = RemoteEntry::Folder;
constexpr int L = RemoteEntry::Link;

const ListingRow kMlsdRows[] = {
    {"folder", u"type=dir;modify=20031231235959; Musik", true, D, u"Musik", u"", u"31.12.2003 23:59:59"},
    {"file with blank in name", u"type=file;size=42;modify=20031231235959; a b.txt", true, F, u"a b.txt",
     u"42", u"31.12.2003 23:59:59"},
    {"pyftpdlib file from last year",
     u"modify=20250304101112;perm=r;size=0;type=file;unique=fe00ga72112; old.txt", true, F, u"old.txt", u"0",
     u"04.03.2025 10:11:12"},
    {"pyftpdlib folder keeps no size",
     u"modify=20261209051009;perm=el;size=4096;type=dir;unique=fe00ga720b1; Neuer Ordner", true, D,
     u"Neuer Ordner", u"", u"09.12.2026 05:10:09"},
    {"pyftpdlib 5 GiB file",
     u"modify=20261209051009;perm=r;size=5368709120;type=file;unique=fe00ga720e1; big.iso", true, F,
     u"big.iso", u"5368709120", u"09.12.2026 05:10:09"},
    {"pyftpdlib umlauts", u"modify=20261209051009;perm=r;size=2;type=file;unique=fe00ga720d1; Größe.txt",
     true, F, u"Größe.txt", u"2", u"09.12.2026 05:10:09"},
    {"pyftpdlib name beginning with blanks",
     u"modify=20261209051009;perm=r;size=2;type=file;unique=fe00ga72132;   leading.txt", true, F,
     u"  leading.txt", u"2", u"09.12.2026 05:10:09"},
    {"create when no modify", u"type=file;size=1;create=20200102030405; c.txt", true, F, u"c.txt", u"1",
     u"02.01.2020 03:04:05"},
    {"fraction of a second", u"modify=20031231235959.123;type=file;size=7; f", true, F, u"f", u"7",
     u"31.12.2003 23:59:59"},
    {"fact names in upper case", u"Type=File;Size=9;Modify=20031231235959; UP", true, F, u"UP", u"9",
     u"31.12.2003 23:59:59"},
    {"midnight written as 24:00", u"modify=20031231240000;type=file;size=1; m", true, F, u"m", u"1",
     u"01.01.2004 00:00:00"},
    {"date found in the line", u"type=file;size=1; report 01-02-2003 10:30 final.txt", true, F,
     u"report 01-02-2003 10:30 final.txt", u"1", u"02.01.2003 10:30:00"},
    {"no time stamp", u"type=file;size=1; x.txt", false, F, u"x.txt", u"1", nullptr},
    {"current folder has no size", u"type=cdir;modify=20031231235959; /pub", false, F, u"/pub", nullptr,
     nullptr},
    {"invalid month", u"type=file;size=1;modify=20031331235959; x", false, F, u"x", u"1", nullptr},
    {"size beyond 64 bits", u"type=file;size=99999999999999999999;modify=20031231235959; x", false, F, u"x",
     nullptr, nullptr},
    {"empty line", u"", false, -1, u"Unbekannt", nullptr, nullptr},
    // Links, with the link's own size as LIST shows it.
    {"ProFTPD link", u"modify=20261210052016;perm=adfrw;size=3;type=OS.unix=symlink;UNIX.mode=0777; linkdir",
     true, L, u"linkdir", u"3", u"10.12.2026 05:20:16"},
    {"pure-ftpd link with its target",
     u"type=OS.unix=slink:/srv/ftp/dir;size=12;modify=20261210052252;UNIX.mode=0777; up", true, L,
     u"up -> /srv/ftp/dir", u"12", u"10.12.2026 05:22:52"},
    {"pure-ftpd link without a target", u"type=OS.unix=slink:;size=3;modify=20261210052252; linkdir", true, L,
     u"linkdir", u"3", u"10.12.2026 05:22:52"},
    {"link type in other letter case", u"Type=os.UNIX=SYMLINK;Size=5;Modify=20261210052252; l", true, L, u"l",
     u"5", u"10.12.2026 05:22:52"},
    {"other system-specific type", u"type=OS.unix=chr-13/29;size=0;modify=20261210052252; tty", true, F,
     u"tty", u"0", u"10.12.2026 05:22:52"},
};

const ListingRow kUnixRows[] = {
    {"folder with year", u"drwxr-xr-x   2 ftp      ftp          4096 Oct 12  2003 pub", true, D, u"pub", u"",
     u"12.10.2003 12:00:00"},
    {"pyftpdlib file from last year", u"-rw-r--r--   1 root     root            0 Mar 04  2025 old.txt", true,
     F, u"old.txt", u"0", u"04.03.2025 12:00:00"},
    {"vsftpd file", u"-rw-r--r--    1 0        0               0 Jan 05  2026 jan.txt", true, F, u"jan.txt",
     u"0", u"05.01.2026 12:00:00"},
    {"vsftpd 5 GiB file", u"-rw-r--r--    1 0        0        5368709120 Mar 04  2025 big.iso", true, F,
     u"big.iso", u"5368709120", u"04.03.2025 12:00:00"},
    {"vsftpd blank in folder name", u"drwxr-xr-x    2 0        0            4096 Mar 04  2025 Neuer Ordner",
     true, D, u"Neuer Ordner", u"", u"04.03.2025 12:00:00"},
    {"umlauts", u"-rw-r--r--   1 root     root            2 Mar 04  2025 Größe.txt", true, F, u"Größe.txt",
     u"2", u"04.03.2025 12:00:00"},
    {"name beginning with blanks", u"-rw-r--r--   1 root     root            2 Mar 04  2025   leading.txt",
     true, F, u"  leading.txt", u"2", u"04.03.2025 12:00:00"},
    {"link", u"lrwxrwxrwx   1 root     root           11 Jan  5  2003 link -> target", true, L,
     u"link -> target", u"11", u"05.01.2003 12:00:00"},
    {"user name holding a month", u"-rw-r--r--   1 janet    users         512 Mar 15  2004 notes.txt", true,
     F, u"notes.txt", u"512", u"15.03.2004 12:00:00"},
    {"user name holding the same month", u"-rw-r--r--   1 decker   staff         100 Dec 24  2010 xmas.txt",
     true, F, u"xmas.txt", u"100", u"24.12.2010 12:00:00"},
    {"name holding an earlier month", u"-rw-r--r--   1 ftp      ftp           100 Dec 24  2010 jan 01 2000 x",
     true, F, u"jan 01 2000 x", u"100", u"24.12.2010 12:00:00"},
    {"owner named like a month", u"-rw-r--r-- 1 jan 20 512 Mar 15  2004 notes.txt", true, F, u"notes.txt",
     u"512", u"15.03.2004 12:00:00"},
    {"owner named like a month, size like a year",
     u"-rw-r--r--   1 jan      20           2048 Mar 15  2004 notes.txt", true, F, u"notes.txt", u"2048",
     u"15.03.2004 12:00:00"},
    {"owner named like a month, no link count", u"-rw-r--r-- oct 12 2003 Oct 12  2003 o.txt", true, F,
     u"o.txt", u"2003", u"12.10.2003 12:00:00"},
    {"owner named like a month, BSD full time", u"-rw-r--r--  1 oct  12  1234 Oct 12 12:34:56 2003 bsd.txt",
     true, F, u"bsd.txt", u"1234", u"12.10.2003 12:34:56"},
    {"group named like a month", u"-rw-r--r--   1 ftp      jun             5 Mar 15  2004 g.txt", true, F,
     u"g.txt", u"5", u"15.03.2004 12:00:00"},
    {"owner and group named like months", u"-rw-r--r--   1 dec      jan            12 Feb 03  2004 both.txt",
     true, F, u"both.txt", u"12", u"03.02.2004 12:00:00"},
    {"folder of an owner named like a month", u"drwxr-xr-x   2 may      7            4096 Jun 01  2001 pub",
     true, D, u"pub", u"", u"01.06.2001 12:00:00"},
    {"one-digit day with one blank", u"-rw-r--r-- 1 ftp ftp 1234 Oct 1 2003 name.txt", true, F, u"name.txt",
     u"1234", u"01.10.2003 12:00:00"},
    {"group name ending in a digit", u"-rw-r--r--   1 ftp      group1        4096 Oct 12  2003 g.txt", true,
     F, u"g.txt", u"4096", u"12.10.2003 12:00:00"},
    {"BSD full time", u"-rw-r--r--  1 ftp  ftp  1234 Oct 12 12:34:56 2003 bsd.txt", true, F, u"bsd.txt",
     u"1234", u"12.10.2003 12:34:56"},
    {"leap day", u"-rw-r--r--   1 ftp      ftp             1 Feb 29  2004 leap", true, F, u"leap", u"1",
     u"29.02.2004 12:00:00"},
    {"no such day", u"-rw-r--r--   1 ftp      ftp           100 Feb 30  2003 f", false, F, nullptr, nullptr,
     nullptr},
    {"heading", u"total 28", false, F, u"Unbekannt", u"     ", nullptr},
};

const ListingRow kDosRows[] = {
    {"IIS folder", u"12-31-03  10:30PM       <DIR>          Programme", true, D, u"Programme", u"",
     u"31.12.2003 22:30:00"},
    {"IIS folder with four-digit year", u"12-31-2003  10:30PM       <DIR>          Programme", true, D,
     u"Programme", u"", u"31.12.2003 22:30:00"},
    {"IIS file", u"01-16-02  11:14AM                 1234 readme.txt", true, F, u"readme.txt", u"1234",
     u"16.01.2002 11:14:00"},
    {"noon", u"01-16-02  12:30PM                 1234 noon.txt", true, F, u"noon.txt", u"1234",
     u"16.01.2002 12:30:00"},
    {"morning", u"01-16-02  09:15AM       <DIR>          morning", true, D, u"morning", u"",
     u"16.01.2002 09:15:00"},
    {"after midnight", u"01-16-02  12:15AM                   10 midnight.txt", true, F, u"midnight.txt",
     u"10", u"16.01.2002 00:15:00"},
    {"ten-digit size", u"01-16-02  11:14AM           5368709120 big.iso", true, F, u"big.iso", u"5368709120",
     u"16.01.2002 11:14:00"},
    {"twelve-digit size, four-digit year", u"12-31-2003  10:30PM         123456789012 huge.bin", true, F,
     u"huge.bin", u"123456789012", u"31.12.2003 22:30:00"},
    {"name beginning with blanks", u"01-16-02  11:14AM                   12   two blanks.txt", true, F,
     u"  two blanks.txt", u"12", u"16.01.2002 11:14:00"},
    {"folder name beginning with a blank", u"01-16-02  09:15AM       <DIR>           blank dir", true, D,
     u" blank dir", u"", u"16.01.2002 09:15:00"},
    {"year 2000", u"01-01-00  10:00AM                  100 y2k.txt", true, F, u"y2k.txt", u"100",
     u"01.01.2000 10:00:00"},
    {"year 1999", u"12-31-99  11:59PM                  100 old.txt", true, F, u"old.txt", u"100",
     u"31.12.1999 23:59:00"},
    {"folder mark in lower case", u"12-31-03  10:30PM       <dir>          lower", true, D, u"lower", u"",
     u"31.12.2003 22:30:00"},
    {"24-hour clock", u"12-31-03  22:30                    100 h24.txt", true, F, u"h24.txt", u"100",
     u"31.12.2003 22:30:00"},
};

const ListingRow kEplfRows[] = {
    {"folder", u"+i8388621.29609,m824255902,/,\tdev", true, D, u"dev", u"", u"13.02.1996 23:58:22"},
    {"file", u"+i8388621.44468,m839956783,r,s10376,\tRFCEPLF", true, F, u"RFCEPLF", u"10376",
     u"13.08.1996 17:19:43"},
    {"name of digits", u"+i8388621.48594,m825718503,r,s612,\t514", true, F, u"514", u"612",
     u"01.03.1996 22:15:03"},
    {"comma in name", u"+m824255902,r,s5,\tmy,file.txt", true, F, u"my,file.txt", u"5",
     u"13.02.1996 23:58:22"},
    {"without tab", u"+m824255902,r,s5,plain", true, F, u"plain", u"5", u"13.02.1996 23:58:22"},
    {"no time", u"+i1.2,r,s5,\tnodate", false, F, u"nodate", u"5", nullptr},
    {"unreadable time", u"+mabc,r,s5,\tbad", false, F, u"bad", u"5", nullptr},
};

const ListingRow kFreeFormRows[] = {
    {"dotted date, seconds", u"03.15.2004 20:05:07           1234 notes.txt", true, F, u"notes.txt", u"1234",
     u"15.03.2004 20:05:07"},
    {"time with blank before PM", u"03-15-04  08:05 PM                 77 late.txt", true, F, u"late.txt",
     u"77", u"15.03.2004 20:05:00"},
    {"no time", u"03-15-2004 just a name without time and more text here", false, F, nullptr, nullptr,
     nullptr},
};

void AddRows(const ListingRow *rows, std::size_t count)
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("date");
    for (std::size_t i = 0; i < count; ++i) {
        const ListingRow &row = rows[i];
        auto text = [](const char16_t *value) { return value ? QString::fromUtf16(value) : QString(); };
        QTest::newRow(row.tag) << text(row.line) << row.accepted << row.kind << text(row.name)
                               << text(row.size) << text(row.date);
    }
}

TimeCorrection NoCorrection()
{
    TimeCorrection correction;
    correction.DateTimeNo = true;
    return correction;
}

// Fields of a row left null are not checked (they are not shown for lines
// that are not accepted).
void CheckEntry(bool mlsd)
{
    QFETCH(QString, line);
    QFETCH(bool, accepted);
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(QString, size);
    QFETCH(QString, date);

    const RemoteEntry entry = ParseListingLine(line, NoCorrection(), mlsd);
    QCOMPARE(entry.accepted, accepted);
    QCOMPARE(entry.kind, kind);
    if (!name.isNull())
        QCOMPARE(entry.name, name);
    if (!size.isNull()) {
        QCOMPARE(entry.sizeText, size);
        QCOMPARE(entry.size, size.trimmed().isEmpty() ? -1 : size.toLongLong());
    }
    if (!date.isNull())
        QCOMPARE(entry.dateText, date);
    if (accepted) {
        // The kind letter comes first, whatever permissions follow.
        static const QString letters = u"-dl"_s;
        QCOMPARE(entry.attributes.size(), 10);
        QCOMPARE(entry.attributes.front(), letters[kind]);
        QVERIFY(entry.timestamp.isValid());
        QCOMPARE(ParseDateText(entry.dateText), entry.timestamp);
    }
}

enum class Correction {
    None,
    Automatic,
    AutomaticWithoutSummerTime,
    ManualPlusTwoHours,
    ManualMinusNinetyMinutes
};

TimeCorrection MakeCorrection(Correction kind)
{
    TimeCorrection correction;
    switch (kind) {
    case Correction::None:
        correction.DateTimeNo = true;
        break;
    case Correction::Automatic:
        break;
    case Correction::AutomaticWithoutSummerTime:
        correction.WSTime_Use = false;
        break;
    case Correction::ManualPlusTwoHours:
        correction.DateTimeManuel = true;
        correction.TimeDif = QTime(2, 0);
        correction.TimeDifvz = +1;
        break;
    case Correction::ManualMinusNinetyMinutes:
        correction.DateTimeManuel = true;
        correction.TimeDif = QTime(1, 30);
        correction.TimeDifvz = -1;
        break;
    }
    return correction;
}

} // namespace

Q_DECLARE_METATYPE(Correction)
Q_DECLARE_METATYPE(ListingDateParts)

class ListingParserTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        UseTimeZone("Europe/Berlin");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void init() { UseTimeZone("Europe/Berlin"); }

    void mlsd_data() { AddRows(kMlsdRows, std::size(kMlsdRows)); }
    void mlsd() { CheckEntry(true); }

    void unixListing_data() { AddRows(kUnixRows, std::size(kUnixRows)); }
    void unixListing() { CheckEntry(false); }

    void dos_data() { AddRows(kDosRows, std::size(kDosRows)); }
    void dos() { CheckEntry(false); }

    void eplf_data() { AddRows(kEplfRows, std::size(kEplfRows)); }
    void eplf() { CheckEntry(false); }

    void freeForm_data() { AddRows(kFreeFormRows, std::size(kFreeFormRows)); }
    void freeForm() { CheckEntry(false); }

    // Lines with a time instead of a year belong to the last twelve months:
    // the current year, or the previous one for dates that would lie ahead.
    // The Info column shows what the listing says of permissions; the kind
    // stays the first letter, since downloads, deletes and the command
    // states read it from there.
    void attributesShowListedPermissions_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("mlsd");
        QTest::addColumn<QString>("attributes");
        const auto list = [](const char *tag, const QString &line, const QString &attributes) {
            QTest::newRow(tag) << line << false << attributes;
        };
        const auto mlsd = [](const char *tag, const QString &facts, const QString &attributes) {
            QTest::newRow(tag) << facts + u"modify=20031231235959; name"_s << true << attributes;
        };
        list("vsftpd folder", u"drwxr-xr-x    2 0        0            4096 Mar 04  2025 pub"_s,
             u"drwxr-xr-x"_s);
        list("vsftpd file", u"-rw-r--r--    1 0        0               5 Mar 04  2025 a.txt"_s,
             u"-rw-r--r--"_s);
        list("link", u"lrwxrwxrwx   1 root     root           11 Jan  5  2003 l -> t"_s, u"lrwxrwxrwx"_s);
        list("set-id and sticky bits", u"drwsr-sr-T   2 ftp      ftp          4096 Oct 12  2003 s"_s,
             u"drwsr-sr-T"_s);
        list("ACL mark after the mode", u"-rw-rw-r--+  1 ftp      ftp             1 Oct 12  2003 acl"_s,
             u"-rw-rw-r--"_s);
        list("device node reads as a file", u"crw-rw-rw-   1 root     root     1,   3 Oct 12  2003 null"_s,
             u"-rw-rw-rw-"_s);
        list("no mode word", u"-rw-r--r-x1 ftp ftp 1 Oct 12  2003 odd"_s, u"----------"_s);
        list("DOS folder", u"12-31-03  10:30PM       <DIR>          Programme"_s, u"d---------"_s);
        list("DOS file", u"12-31-03  10:30PM                 1234 a.txt"_s, u"----------"_s);
        list("EPLF folder", u"+i8388621.29609,m824255902,/,\tdev"_s, u"d---------"_s);
        mlsd("pyftpdlib mode", u"type=dir;size=4096;unix.mode=0o755;"_s, u"drwxr-xr-x"_s);
        mlsd("proftpd mode", u"type=file;size=3;UNIX.mode=0640;"_s, u"-rw-r-----"_s);
        mlsd("mode with file type bits", u"type=file;size=3;unix.mode=100644;"_s, u"-rw-r--r--"_s);
        mlsd("mode with set-uid and sticky", u"type=dir;unix.mode=5751;"_s, u"drwsr-x--t"_s);
        mlsd("mode that is no octal number", u"type=file;size=3;unix.mode=0o789;"_s, u"----------"_s);
        mlsd("no mode fact", u"type=file;size=3;"_s, u"----------"_s);
    }

    void attributesShowListedPermissions()
    {
        QFETCH(QString, line);
        QFETCH(bool, mlsd);
        QFETCH(QString, attributes);
        const RemoteEntry entry = ParseListingLine(line, NoCorrection(), mlsd);
        QVERIFY(entry.accepted);
        QCOMPARE(entry.attributes, attributes);
    }

    void unixWithoutYear_data()
    {
        QTest::addColumn<QString>("layout"); // %1 is replaced by "Mon DD"
        QTest::addColumn<int>("daysFromToday");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("size");
        QTest::newRow("vsftpd today") << u"-rw-r--r--    1 0        0               0 %1 00:00 today.txt"_s
                                      << 0 << u"00:00:00"_s << u"today.txt"_s << u"0"_s;
        QTest::newRow("pyftpdlib link")
            << u"lrwxrwxrwx   1 root     root            7 %1 05:10 link -> a b.txt"_s << -40 << u"05:10:00"_s
            << u"link -> a b.txt"_s << u"7"_s;
        QTest::newRow("vsftpd name beginning with blanks")
            << u"-rw-r--r--    1 0        0               2 %1 05:10   leading.txt"_s << -1 << u"05:10:00"_s
            << u"  leading.txt"_s << u"2"_s;
        QTest::newRow("pyftpdlib 5 GiB file")
            << u"-rw-r--r--   1 root     root     5368709120 %1 05:10 big.iso"_s << -2 << u"05:10:00"_s
            << u"big.iso"_s << u"5368709120"_s;
        QTest::newRow("owner named like a month")
            << u"-rw-r--r--   1 jan      20            512 %1 10:30 notes.txt"_s << -5 << u"10:30:00"_s
            << u"notes.txt"_s << u"512"_s;
        QTest::newRow("group named like a month")
            << u"-rw-r--r--   1 ftp      aug             9 %1 10:30 g.txt"_s << -5 << u"10:30:00"_s
            << u"g.txt"_s << u"9"_s;
        QTest::newRow("three days ahead is last year")
            << u"-rw-r--r--   1 ftp      ftp            42 %1 10:00 future.txt"_s << 3 << u"10:00:00"_s
            << u"future.txt"_s << u"42"_s;
    }

    void unixWithoutYear()
    {
        QFETCH(QString, layout);
        QFETCH(int, daysFromToday);
        QFETCH(QString, time);
        QFETCH(QString, name);
        QFETCH(QString, size);

        const QDate listed = QDate::currentDate().addDays(daysFromToday);
        const QString monthDay = QLocale::c().toString(listed, u"MMM dd"_s);
        // A date ahead belongs to the year before: three days ahead across New
        // Year names a date one year and three days back, in listed.year() - 1
        // as well.
        const int year = daysFromToday > 0 ? listed.year() - 1 : listed.year();
        const QString date = listed.toString(u"dd.MM."_s) + QString::number(year) + u' ' + time;

        const RemoteEntry entry = ParseListingLine(layout.arg(monthDay), NoCorrection(), false);
        QVERIFY(entry.accepted);
        QCOMPARE(entry.name, name);
        QCOMPARE(entry.sizeText, size);
        QCOMPARE(entry.dateText, date);
    }

    void timeCorrection_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<Correction>("correction");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("mlsd");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QDateTime>("instant");

        auto utc = [](const char *text) {
            return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
        };
        const QString winter = u"type=file;size=1;modify=20240115100000; w"_s;
        const QString summer = u"type=file;size=1;modify=20240715100000; s"_s;
        const QByteArray berlin = "Europe/Berlin";
        QTest::newRow("none") << berlin << Correction::None << winter << true << u"15.01.2024 10:00:00"_s
                              << utc("2024-01-15T09:00:00Z");
        QTest::newRow("automatic, winter") << berlin << Correction::Automatic << winter << true
                                           << u"15.01.2024 11:00:00"_s << utc("2024-01-15T10:00:00Z");
        QTest::newRow("automatic, summer") << berlin << Correction::Automatic << summer << true
                                           << u"15.07.2024 12:00:00"_s << utc("2024-07-15T10:00:00Z");
        QTest::newRow("without summer time, summer")
            << berlin << Correction::AutomaticWithoutSummerTime << summer << true << u"15.07.2024 11:00:00"_s
            << utc("2024-07-15T09:00:00Z");
        QTest::newRow("without summer time, winter")
            << berlin << Correction::AutomaticWithoutSummerTime << winter << true << u"15.01.2024 11:00:00"_s
            << utc("2024-01-15T10:00:00Z");
        QTest::newRow("manual +02:00") << berlin << Correction::ManualPlusTwoHours << winter << true
                                       << u"15.01.2024 12:00:00"_s << utc("2024-01-15T11:00:00Z");
        QTest::newRow("manual -01:30") << berlin << Correction::ManualMinusNinetyMinutes << winter << true
                                       << u"15.01.2024 08:30:00"_s << utc("2024-01-15T07:30:00Z");
        QTest::newRow("year instead of time is not corrected")
            << berlin << Correction::ManualPlusTwoHours
            << u"drwxr-xr-x   2 ftp      ftp          4096 Oct 12  2003 pub"_s << false
            << u"12.10.2003 12:00:00"_s << utc("2003-10-12T10:00:00Z");
        QTest::newRow("EPLF across midnight")
            << berlin << Correction::Automatic << u"+i8388621.29609,m824255902,/,\tdev"_s << false
            << u"14.02.1996 00:58:22"_s << utc("1996-02-13T23:58:22Z");
        QTest::newRow("DOS, automatic")
            << berlin << Correction::Automatic << u"12-31-03  10:30PM       <DIR>          Programme"_s
            << false << u"31.12.2003 23:30:00"_s << utc("2003-12-31T22:30:00Z");
        QTest::newRow("last summer time hour")
            << berlin << Correction::Automatic << u"type=file;size=1;modify=20241027003000; a"_s << true
            << u"27.10.2024 02:30:00"_s << utc("2024-10-27T00:30:00Z");
        QTest::newRow("same hour again in winter time")
            << berlin << Correction::Automatic << u"type=file;size=1;modify=20241027013000; b"_s << true
            << u"27.10.2024 02:30:00"_s << utc("2024-10-27T01:30:00Z");
        QTest::newRow("first summer time second")
            << berlin << Correction::Automatic << u"type=file;size=1;modify=20240331010000; c"_s << true
            << u"31.03.2024 03:00:00"_s << utc("2024-03-31T01:00:00Z");
        QTest::newRow("last winter time second")
            << berlin << Correction::Automatic << u"type=file;size=1;modify=20240331005959; d"_s << true
            << u"31.03.2024 01:59:59"_s << utc("2024-03-31T00:59:59Z");
        const QByteArray universal = "UTC";
        QTest::newRow("UTC, automatic") << universal << Correction::Automatic << summer << true
                                        << u"15.07.2024 10:00:00"_s << utc("2024-07-15T10:00:00Z");
        QTest::newRow("UTC, manual +02:00") << universal << Correction::ManualPlusTwoHours << summer << true
                                            << u"15.07.2024 12:00:00"_s << utc("2024-07-15T12:00:00Z");
        QTest::newRow("UTC, none") << universal << Correction::None << winter << true
                                   << u"15.01.2024 10:00:00"_s << utc("2024-01-15T10:00:00Z");
    }

    void timeCorrection()
    {
        QFETCH(QByteArray, zone);
        QFETCH(Correction, correction);
        QFETCH(QString, line);
        QFETCH(bool, mlsd);
        QFETCH(QString, date);
        QFETCH(QDateTime, instant);

        UseTimeZone(zone.constData());
        const RemoteEntry entry = ParseListingLine(line, MakeCorrection(correction), mlsd);
        QVERIFY(entry.accepted);
        QCOMPARE(entry.dateText, date);
        QCOMPARE(entry.timestamp, instant);
    }

    void sessionTimeDifference_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<Correction>("correction");
        QTest::addColumn<int>("minutes");

        const QTimeZone berlin("Europe/Berlin");
        const int berlinNow = -berlin.offsetFromUtc(QDateTime::currentDateTimeUtc()) / 60;
        QTest::newRow("none") << QByteArray("Europe/Berlin") << Correction::None << 0;
        QTest::newRow("manual +02:00 moves forward")
            << QByteArray("Europe/Berlin") << Correction::ManualPlusTwoHours << -120;
        QTest::newRow("manual -01:30 moves back")
            << QByteArray("Europe/Berlin") << Correction::ManualMinusNinetyMinutes << 90;
        QTest::newRow("automatic, Berlin now")
            << QByteArray("Europe/Berlin") << Correction::Automatic << berlinNow;
        QTest::newRow("automatic without summer time")
            << QByteArray("Europe/Berlin") << Correction::AutomaticWithoutSummerTime << -60;
        QTest::newRow("automatic, UTC") << QByteArray("UTC") << Correction::Automatic << 0;
    }

    void sessionTimeDifference()
    {
        QFETCH(QByteArray, zone);
        QFETCH(Correction, correction);
        QFETCH(int, minutes);

        UseTimeZone(zone.constData());
        QCOMPARE(SessionTimeDifference(MakeCorrection(correction)), minutes);
    }

    void composeTimestamp_data()
    {
        QTest::addColumn<ListingDateParts>("parts");
        QTest::addColumn<bool>("noTimeOfDay");
        QTest::addColumn<QString>("date");
        QTest::newRow("corrected") << ListingDateParts{2024, 1, 15, 10, 0, 0} << false
                                   << u"15.01.2024 12:00:00"_s;
        QTest::newRow("no time of day")
            << ListingDateParts{2024, 1, 15, 12, 0, 0} << true << u"15.01.2024 12:00:00"_s;
        QTest::newRow("into the next year")
            << ListingDateParts{2003, 12, 31, 23, 0, 0} << false << u"01.01.2004 01:00:00"_s;
        QTest::newRow("invalid day") << ListingDateParts{2023, 2, 29, 10, 0, 0} << false << QString();
        QTest::newRow("beyond year 9999") << ListingDateParts{9999, 12, 31, 23, 0, 0} << false << QString();
    }

    void composeTimestamp()
    {
        QFETCH(ListingDateParts, parts);
        QFETCH(bool, noTimeOfDay);
        QFETCH(QString, date);
        QCOMPARE(ComposeTimestamp(parts, MakeCorrection(Correction::ManualPlusTwoHours), noTimeOfDay), date);
    }

    // Listings of thousands of lines must not pump the window per stage, but
    // the window must get its turn during long listings.
    void pumpsOncePerLine()
    {
        int pumps = 0;
        // A slow handler: at every later call the throttle interval has passed.
        TIdAntiFreeze::Install([&pumps] {
            ++pumps;
            QThread::msleep(TIdAntiFreeze::kThrottleInterval + 1);
        });
        QThread::msleep(TIdAntiFreeze::kThrottleInterval + 1);
        ParseListingLine(u"drwxr-xr-x   2 ftp      ftp          4096 Oct 12  2003 pub"_s, NoCorrection(),
                         false);
        ParseListingLine(u"+i8388621.44468,m839956783,r,s10376,\tRFCEPLF"_s, NoCorrection(), false);
        ParseListingLine(u"type=file;size=1; no date"_s, NoCorrection(), true);
        TIdAntiFreeze::Uninstall();
        QCOMPARE(pumps, 3);
    }
};

QTEST_GUILESS_MAIN(ListingParserTest)
#include "test_listingparser.moc"
