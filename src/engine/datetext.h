#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <QTimeZone>

#include <vector>

// Date and time texts as every list of the program shows them, and the local
// wall clock behind them.
//
// A date text is the locale's short date format with a four-digit year, one
// blank and the locale's time format with seconds and without a zone name, so
// that a text reads back to exactly the date-time it was written from. The
// locale is the default QLocale; the pattern follows QLocale::setDefault.
//
// Listings have thousands of lines, so formatting, reading and the local
// zone's offsets are cached: no QLocale or QTimeZone work per line.

// Fields of a date and time; -1 while unknown.
struct DateTimeParts {
    int year = -1;
    int month = -1;
    int day = -1;
    int hour = -1;
    int minute = -1;
    int second = -1;
};

// Year 1 to 9999, month 1 to 12 and a day the month has.
bool IsValidDate(int year, int month, int day);
// 00:00:00 to 23:59:59, or exactly 24:00:00.
bool IsValidTime(int hour, int minute, int second);

// Calendar arithmetic without zones: a reading of a clock as seconds since
// 1970-01-01 00:00:00 of the same clock, and back. Hour 24 counts as the
// next day's midnight.
qint64 PartsToClockSeconds(const DateTimeParts &parts);
DateTimeParts ClockSecondsToParts(qint64 seconds);

// The local wall clock of the system time zone. QTimeZone answers in
// microseconds and local QDateTimes cost as much on every use, so offsets are
// kept per stretch of time between two changes of the zone's offset.
class LocalClock {
public:
    // The clock of the system zone. Take it once per line or batch of work;
    // it notices a change of the system zone within a minute.
    static LocalClock &System();
    // Reads the system zone again now, after TZ was changed.
    void Reload();

    // Offset from UTC in seconds at an instant; without summer time it is the
    // zone's standard offset.
    int UtcOffset(qint64 utcSeconds, bool withSummerTime = true);
    // The instant a wall-clock reading stands for. A reading that occurs twice
    // (the hour summer time ends) is its first occurrence; one that does not
    // exist (the hour summer time starts) is read with the offset before it.
    qint64 ToUtc(qint64 localClockSeconds);
    // An instant as a date-time carrying the local offset of that instant: it
    // compares by instant and needs no zone lookup when compared or stored.
    QDateTime DateTimeAt(qint64 utcSeconds);
    // Now, to the second, as of the last System().
    qint64 NowUtc() const { return now_; }
    qint64 NowLocal() { return now_ + UtcOffset(now_); }

private:
    struct Period {
        qint64 from;  // first UTC second of the stretch
        qint64 until; // first UTC second after it
        int offset;
        int standardOffset;

        bool Contains(qint64 utcSeconds) const { return from <= utcSeconds && utcSeconds < until; }
    };

    LocalClock() = default;
    void ReloadWhenChanged();
    const Period &PeriodAt(qint64 utcSeconds);
    Period LoadPeriod(qint64 utcSeconds) const;
    const Period &Remember(const Period &period);

    QTimeZone zone_;
    qint64 checkedAt_ = 0;
    qint64 now_ = 0;
    std::vector<Period> periods_; // sorted, without overlaps
    std::size_t lastUsed_ = 0;
};

// The date text of a local wall-clock reading; empty when the parts are no
// valid date and time.
QString FormatDateText(const DateTimeParts &localClock);
// The date text of a date-time, on the local wall clock; milliseconds are
// dropped. Empty for an invalid date-time.
QString FormatDateText(const QDateTime &dateTime);
// The date-time of a date text (surrounding blanks are ignored), as from
// LocalClock::DateTimeAt; invalid when the text is not a date text.
QDateTime ParseDateText(const QString &text);
// The QDateTime format pattern of date texts for the current locale.
QString DateTextPattern();
