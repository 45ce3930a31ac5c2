#include "datetext.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>

#include <ctime>

using namespace Qt::StringLiterals;

namespace {

void UseTimeZone(const QByteArray &zone)
{
    qputenv("TZ", zone);
    tzset();
    LocalClock::System().Reload();
}

QDateTime Utc(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

// Instants from 1901 to 2100 at odd hours, minutes and seconds, leaving out
// the hour in which the zone turns its clock back: its wall-clock times occur
// twice, so no text can tell them apart.
QList<QDateTime> SampleInstants(const QTimeZone &zone)
{
    QList<QDateTime> instants;
    const qint64 first = Utc("1901-01-01T00:00:00Z").toSecsSinceEpoch();
    const qint64 last = Utc("2100-12-31T00:00:00Z").toSecsSinceEpoch();
    for (qint64 seconds = first; seconds < last; seconds += 29 * 86400 + 3 * 3600 + 17 * 60 + 23) {
        const QDateTime instant = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
        if (zone.offsetFromUtc(instant.addSecs(-3600)) > zone.offsetFromUtc(instant.addSecs(3600)))
            continue;
        instants << instant;
    }
    // Around the changes of summer time 2024 in Central Europe.
    for (const char *text :
         {"2024-03-31T00:59:59Z", "2024-03-31T01:00:00Z", "2024-10-26T23:59:59Z", "2024-10-27T02:00:00Z"})
        instants << Utc(text);
    return instants;
}

} // namespace

class DateTextTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void writesTheLocaleFormatWithYearAndSeconds_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QDateTime>("local");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        const QDateTime evening(QDate(2003, 12, 31), QTime(22, 30, 5));
        const QDateTime night(QDate(2003, 1, 5), QTime(0, 5, 9));
        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale american(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("German") << german << evening << u"31.12.2003 22:30:05"_s << u"dd.MM.yyyy HH:mm:ss"_s;
        QTest::newRow("German, leading zeros")
            << german << night << u"05.01.2003 00:05:09"_s << u"dd.MM.yyyy HH:mm:ss"_s;
        QTest::newRow("English (US)")
            << american << evening << u"12/31/2003 10:30:05 PM"_s << u"M/d/yyyy h:mm:ss AP"_s;
        QTest::newRow("English (US), after midnight")
            << american << night << u"1/5/2003 12:05:09 AM"_s << u"M/d/yyyy h:mm:ss AP"_s;
        QTest::newRow("English (UK)") << QLocale(QLocale::English, QLocale::UnitedKingdom) << evening
                                      << u"31/12/2003 22:30:05"_s << u"dd/MM/yyyy HH:mm:ss"_s;
        QTest::newRow("C") << QLocale::c() << evening << u"31 Dec 2003 22:30:05"_s
                           << u"d MMM yyyy HH:mm:ss"_s;
    }

    void writesTheLocaleFormatWithYearAndSeconds()
    {
        QFETCH(QLocale, locale);
        QFETCH(QDateTime, local);
        QFETCH(QString, text);
        QFETCH(QString, pattern);

        UseTimeZone("Europe/Berlin");
        QLocale::setDefault(locale);
        QCOMPARE(DateTextPattern(), pattern);
        QCOMPARE(FormatDateText(local), text);
        QCOMPARE(FormatDateText(local.toUTC()), text);
        QCOMPARE(ParseDateText(text), local);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QByteArray>("zone");
        for (const QByteArray zone : {"Europe/Berlin", "UTC", "America/New_York"}) {
            for (const QLocale &locale :
                 {QLocale(QLocale::German, QLocale::Germany),
                  QLocale(QLocale::English, QLocale::UnitedStates),
                  QLocale(QLocale::English, QLocale::UnitedKingdom), QLocale::c(),
                  QLocale(QLocale::Korean, QLocale::SouthKorea), QLocale(QLocale::Arabic, QLocale::Egypt)}) {
                QTest::addRow("%s %s", qPrintable(locale.name()), zone.constData()) << locale << zone;
            }
        }
    }

    // Whatever the locale writes must read back to the very same instant,
    // and look exactly as Qt itself writes that pattern.
    void roundTrip()
    {
        QFETCH(QLocale, locale);
        QFETCH(QByteArray, zone);

        UseTimeZone(zone);
        QLocale::setDefault(locale);
        const QTimeZone timeZone(zone);
        for (const QDateTime &instant : SampleInstants(timeZone)) {
            const QString text = FormatDateText(instant);
            const QDateTime wallClock = instant.toTimeZone(timeZone);
            const QDateTime wallClockFields(wallClock.date(), wallClock.time(), Qt::UTC);
            QCOMPARE(text, locale.toString(wallClockFields, DateTextPattern()));
            QCOMPARE(ParseDateText(text), instant);
            QCOMPARE(FormatDateText(instant.addMSecs(999)), text);
        }
    }

    void readsLocalTime_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("instant");
        QTest::newRow("Berlin, winter")
            << QByteArray("Europe/Berlin") << u"31.12.2003 22:30:05"_s << Utc("2003-12-31T21:30:05Z");
        QTest::newRow("Berlin, summer")
            << QByteArray("Europe/Berlin") << u"15.07.2024 12:00:00"_s << Utc("2024-07-15T10:00:00Z");
        QTest::newRow("UTC") << QByteArray("UTC") << u"31.12.2003 22:30:05"_s << Utc("2003-12-31T22:30:05Z");
        QTest::newRow("surrounding blanks")
            << QByteArray("UTC") << u"  31.12.2003 22:30:05 "_s << Utc("2003-12-31T22:30:05Z");
        // The hour that occurs twice is read as its first occurrence, the
        // hour that is skipped with the offset before the skip.
        QTest::newRow("hour that occurs twice")
            << QByteArray("Europe/Berlin") << u"27.10.2024 02:30:00"_s << Utc("2024-10-27T00:30:00Z");
        QTest::newRow("hour that is skipped")
            << QByteArray("Europe/Berlin") << u"31.03.2024 02:30:00"_s << Utc("2024-03-31T01:30:00Z");
        QTest::newRow("no time") << QByteArray("UTC") << u"31.12.2003"_s << QDateTime();
        QTest::newRow("no such day") << QByteArray("UTC") << u"30.02.2003 10:00:00"_s << QDateTime();
        QTest::newRow("no such hour") << QByteArray("UTC") << u"30.01.2003 24:00:00"_s << QDateTime();
        QTest::newRow("other text") << QByteArray("UTC") << u"Unbekannt"_s << QDateTime();
        QTest::newRow("empty") << QByteArray("UTC") << QString() << QDateTime();
    }

    void readsLocalTime()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, text);
        QFETCH(QDateTime, instant);

        UseTimeZone(zone);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QDateTime read = ParseDateText(text);
        QCOMPARE(read.isValid(), instant.isValid());
        if (instant.isValid())
            QCOMPARE(read, instant);
    }
};

QTEST_GUILESS_MAIN(DateTextTest)
#include "test_listingparser_datetext.moc"
