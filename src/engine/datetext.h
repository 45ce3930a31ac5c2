#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// Date and time texts as every list of the program shows them, and the local
// wall clock behind them.
//
// A date text is the locale's short date format with a four-digit year, one
// blank and the locale's time format with seconds and without a zone name, so
// that a text reads back to exactly the date-time it was written from. The
// locale is the default QLocale; the pattern follows QLocale::setDefault.
//
// Listings have thousands of lines, so formatting, reading and the local
// zone's offsets are cached: no QLocale or QTimeZone work per call.

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

// The system time zone, re-read when it changes (also when TZ is set).
// Offset from UTC in seconds at an instant; without summer time it is the
// zone's standard offset.
int LocalUtcOffset(qint64 utcSeconds, bool withSummerTime = true);
// The instant a local wall-clock reading stands for. A reading that occurs
// twice (the hour summer time ends) is its first occurrence; one that does not
// exist (the hour summer time starts) is read with the offset before the gap.
qint64 LocalClockToUtc(qint64 localClockSeconds);
// Now, on the local wall clock.
qint64 CurrentLocalClockSeconds();
// An instant as a date-time that carries the local offset of that instant:
// it compares by instant and needs no zone lookup when compared or stored.
QDateTime LocalDateTimeAt(qint64 utcSeconds);

// The date text of a local wall-clock reading (the parts must be valid).
QString FormatDateText(const DateTimeParts &localClock);
// The date text of a date-time, on the local wall clock; milliseconds are
// dropped. Empty for an invalid date-time.
QString FormatDateText(const QDateTime &dateTime);
// The date-time of a date text (surrounding blanks are ignored), as from
// LocalDateTimeAt; invalid when the text is not a date text.
QDateTime ParseDateText(const QString &text);
// The QDateTime format pattern of date texts for the current locale.
QString DateTextPattern();
