// Listings as vsftpd and pyftpdlib really write them (LIST from both, MLSD
// from pyftpdlib), of a folder with known names, sizes and times: every
// entry must come out of the parser as it stands on the server's disk.
#include "datetext.h"
#include "enginetesthelpers.h"
#include "listingparser.h"
#include "realftpserver.h"
#include "tidftp.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>
#include <QTimeZone>

#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(RealFtpServer::Kind)

namespace {

constexpr qint64 kFiveGiB = qint64(5) * 1024 * 1024 * 1024;
constexpr int kTwoHours = 2 * 60 * 60;

// How exactly a listing names a time: LIST lines give minutes for recent
// entries and only the day (no correction, noon) for older ones.
enum class Resolution { Seconds, Minutes, Days };

struct Entry {
    QString name;       // as a LIST line shows it
    int kind;           // as lstat sees it
    qint64 size;        // -1 for folders
    QDateTime modified; // UTC, whole seconds
    QString linkTarget; // for links
};

bool SetModified(const QString &path, const QDateTime &time)
{
    const timespec stamp{time.toSecsSinceEpoch(), 0};
    const timespec times[2] = {stamp, stamp};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

QDateTime Utc(const QDate &date, const QTime &time)
{
    return QDateTime(date, time, QTimeZone::utc());
}

// Spaces, umlauts, a link, a sparse 5 GiB file, a file from last year,
// one from today and a folder.
QList<Entry> FolderContent()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime recent = Utc(now.date(), QTime(now.time().hour(), now.time().minute(), 17)).addDays(-3);
    const QDateTime lastYear = Utc(QDate(now.date().year() - 1, 3, 15), QTime(10, 20, 30));
    const QDateTime today = QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch() - 60, QTimeZone::utc());
    return {
        {u"Leer zeichen.txt"_s, RemoteEntry::File, 11, recent, {}},
        {u"Größe ü.txt"_s, RemoteEntry::File, 5, recent.addSecs(-kTwoHours), {}},
        {u"gross.img"_s, RemoteEntry::File, kFiveGiB, recent.addDays(-1), {}},
        {u"alt.txt"_s, RemoteEntry::File, 3, lastYear, {}},
        {u"heute.txt"_s, RemoteEntry::File, 7, today, {}},
        {u"Ordner A"_s, RemoteEntry::Folder, -1, recent.addDays(-2), {}},
        {u"link"_s, RemoteEntry::Link, 16, recent.addSecs(-600), u"Leer zeichen.txt"_s},
    };
}

bool Create(RealFtpServer &server, const Entry &entry)
{
    const QString path = server.rootDir() + u'/' + entry.name;
    bool created = false;
    if (entry.kind == RemoteEntry::Folder) {
        created = server.addFolder(entry.name);
    } else if (entry.kind == RemoteEntry::Link) {
        created = ::symlink(QFile::encodeName(entry.linkTarget).constData(),
                            QFile::encodeName(path).constData()) == 0;
    } else {
        const bool sparse = entry.size > 1024 * 1024;
        created = server.addFile(entry.name, sparse ? QByteArray() : QByteArray(entry.size, 'x'));
        if (created && sparse)
            created = QFile::resize(path, entry.size);
    }
    return created && SetModified(path, entry.modified);
}

// What the listing can tell of an entry. pyftpdlib's MLSD follows links: it
// describes the file a link points to under the link's name.
Entry AsListed(const Entry &entry, const QList<Entry> &all, bool mlsd)
{
    if (entry.kind != RemoteEntry::Link)
        return entry;
    if (!mlsd)
        return {entry.name + u" -> "_s + entry.linkTarget, entry.kind, entry.size, entry.modified, {}};
    const auto target =
        std::find_if(all.begin(), all.end(), [&](const Entry &e) { return e.name == entry.linkTarget; });
    return {entry.name, target->kind, target->size, target->modified, {}};
}

Resolution ResolutionOf(const Entry &entry, bool mlsd)
{
    if (mlsd)
        return Resolution::Seconds;
    const bool withinHalfAYear = entry.modified.daysTo(QDateTime::currentDateTimeUtc()) < 180;
    return withinHalfAYear ? Resolution::Minutes : Resolution::Days;
}

// The time the parser must give: at the listing's resolution, moved by the
// correction unless the line names a day only.
QDateTime ExpectedTime(const Entry &entry, Resolution resolution, int correctionSeconds)
{
    const QDateTime &time = entry.modified;
    switch (resolution) {
    case Resolution::Seconds:
        return time.addSecs(correctionSeconds);
    case Resolution::Minutes:
        return Utc(time.date(), QTime(time.time().hour(), time.time().minute())).addSecs(correctionSeconds);
    case Resolution::Days:
        return Utc(time.date(), QTime(12, 0));
    }
    return {};
}

} // namespace

class LiveListingsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The servers started here inherit the zone: both list in UTC.
        qputenv("TZ", "UTC");
        tzset();
        LocalClock::System().Reload();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void everyEntryAsOnDisk_data()
    {
        QTest::addColumn<RealFtpServer::Kind>("kind");
        QTest::addColumn<bool>("mlsd");
        QTest::addColumn<int>("correctionSeconds"); // 0: no correction
        const auto vsftpd = RealFtpServer::Kind::Vsftpd;
        const auto pyftpdlib = RealFtpServer::Kind::Pyftpdlib;
        QTest::newRow("vsftpd LIST") << vsftpd << false << 0;
        QTest::newRow("vsftpd LIST, two hours later") << vsftpd << false << kTwoHours;
        QTest::newRow("pyftpdlib LIST") << pyftpdlib << false << 0;
        QTest::newRow("pyftpdlib LIST, 90 minutes earlier") << pyftpdlib << false << -90 * 60;
        QTest::newRow("pyftpdlib MLSD") << pyftpdlib << true << 0;
        QTest::newRow("pyftpdlib MLSD, two hours later") << pyftpdlib << true << kTwoHours;
    }

    void everyEntryAsOnDisk()
    {
        QFETCH(RealFtpServer::Kind, kind);
        QFETCH(bool, mlsd);
        QFETCH(int, correctionSeconds);
        RealFtpServer server({kind});
        const QList<Entry> content = FolderContent();
        for (const Entry &entry : content)
            QVERIFY2(Create(server, entry), qPrintable(entry.name));
        START_OR_SKIP(server, kind);

        TIdFTP ftp;
        ftp.Host = server.host();
        ftp.Port = server.port();
        ftp.User = server.user();
        ftp.Password = server.password();
        ftp.Passive = true;
        ftp.ConnectAndLogin();
        QVERIFY2(ftp.LoggedIn(), qPrintable(server.serverLog()));
        QStringList lines;
        ftp.SetTransferType(ftASCII);
        if (mlsd)
            ftp.ListFacts(lines);
        else
            ftp.List(lines);
        ftp.Quit();

        TimeCorrection correction;
        correction.DateTimeNo = correctionSeconds == 0;
        correction.DateTimeManuel = correctionSeconds != 0;
        correction.TimeDif = QTime(0, 0).addSecs(std::abs(correctionSeconds));
        correction.TimeDifvz = correctionSeconds < 0 ? -1 : 1;
        QMap<QString, RemoteEntry> parsed;
        for (const QString &line : lines) {
            const RemoteEntry entry = ParseListingLine(line, correction, mlsd);
            QVERIFY2(entry.accepted, qPrintable(line));
            parsed.insert(entry.name, entry);
        }
        QCOMPARE(parsed.size(), content.size());

        for (const Entry &onDisk : content) {
            const Entry listed = AsListed(onDisk, content, mlsd);
            QVERIFY2(parsed.contains(listed.name), qPrintable(listed.name + u" in\n"_s + lines.join(u'\n')));
            const RemoteEntry &entry = parsed[listed.name];
            QCOMPARE(entry.kind, listed.kind);
            QCOMPARE(entry.sizeText,
                     listed.kind == RemoteEntry::Folder ? QString() : QString::number(listed.size));
            const QDateTime expected = ExpectedTime(listed, ResolutionOf(listed, mlsd), correctionSeconds);
            QCOMPARE(entry.timestamp, expected);
            QCOMPARE(entry.dateText, FormatDateText(expected));
        }
    }
};

QTEST_GUILESS_MAIN(LiveListingsTest)
#include "test_livelistings.moc"
