#include "datetext.h"

#include <QLocale>
#include <QTimeZone>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <ctime>
#include <limits>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kSecondsPerDay = 86400;

constexpr qint64 FloorDiv(qint64 value, qint64 divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
constexpr qint64 DaysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const qint64 era = FloorDiv(year, 400);
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

DateTimeParts CivilFromDays(qint64 days)
{
    days += 719468;
    const qint64 era = FloorDiv(days, 146097);
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 shiftedMonth = (5 * dayOfYear + 2) / 153;
    DateTimeParts parts;
    parts.day = int(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    parts.month = int(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    parts.year = int(yearOfEra + era * 400 + (parts.month <= 2 ? 1 : 0));
    return parts;
}

// Monday 1 to Sunday 7, like QDate::dayOfWeek().
int DayOfWeek(const DateTimeParts &parts)
{
    const qint64 days = DaysFromCivil(parts.year, parts.month, parts.day);
    return int((days % 7 + 7 + 3) % 7) + 1; // 1970-01-01 was a Thursday
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

DateTimeParts PartsOf(const QDate &date, const QTime &time)
{
    return {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

// One piece of a date-time format pattern.
struct PatternToken {
    enum Field {
        Literal,
        Day,
        DayName,
        Month,
        MonthName,
        Year,
        ShortYear,
        Hour24,
        Hour12,
        Minute,
        Second,
        AmPm,
        Zone,
        Unsupported
    };
    Field field = Literal;
    int width = 1;      // digits of a number; 3 or 4 for short or long names
    bool upper = false; // AM/PM written in upper case
    QString text;       // of a literal
};

using PatternTokens = std::vector<PatternToken>;

// Splits a QLocale/QDateTime format pattern, with its quoting rules.
PatternTokens TokenizePattern(QStringView pattern)
{
    PatternTokens tokens;
    auto appendLiteral = [&tokens](QStringView text) {
        if (tokens.empty() || tokens.back().field != PatternToken::Literal)
            tokens.push_back({});
        tokens.back().text += text;
    };
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern[i];
        if (c == u'\'') {
            qsizetype j = i + 1;
            if (j < pattern.size() && pattern[j] == u'\'') {
                appendLiteral(u"'");
                i = j + 1;
                continue;
            }
            QString quoted;
            for (; j < pattern.size(); ++j) {
                if (pattern[j] == u'\'') {
                    if (j + 1 < pattern.size() && pattern[j + 1] == u'\'') {
                        quoted += u'\'';
                        ++j;
                        continue;
                    }
                    break;
                }
                quoted += pattern[j];
            }
            appendLiteral(quoted);
            i = j + 1;
            continue;
        }
        qsizetype repeat = 1;
        while (i + repeat < pattern.size() && pattern[i + repeat] == c)
            ++repeat;
        PatternToken token;
        token.width = int(repeat);
        switch (c.unicode()) {
        case u'd':
        case u'M':
            token.field = repeat <= 2   ? (c == u'd' ? PatternToken::Day : PatternToken::Month)
                          : repeat <= 4 ? (c == u'd' ? PatternToken::DayName : PatternToken::MonthName)
                                        : PatternToken::Unsupported;
            break;
        case u'y':
            token.field = repeat == 4   ? PatternToken::Year
                          : repeat == 2 ? PatternToken::ShortYear
                                        : PatternToken::Unsupported;
            break;
        case u'h':
        case u'H':
        case u'm':
        case u's':
            token.field = repeat > 2  ? PatternToken::Unsupported
                          : c == u'h' ? PatternToken::Hour12
                          : c == u'H' ? PatternToken::Hour24
                          : c == u'm' ? PatternToken::Minute
                                      : PatternToken::Second;
            break;
        case u'a':
        case u'A':
            token.field = repeat == 1 ? PatternToken::AmPm : PatternToken::Unsupported;
            token.upper = c == u'A';
            if (i + repeat < pattern.size() && (pattern[i + repeat] == u'p' || pattern[i + repeat] == u'P'))
                ++repeat;
            break;
        case u't':
            token.field = PatternToken::Zone;
            break;
        case u'z':
            token.field = PatternToken::Unsupported;
            break;
        default:
            appendLiteral(pattern.sliced(i, repeat));
            i += repeat;
            continue;
        }
        tokens.push_back(token);
        i += repeat;
    }
    return tokens;
}

bool IsZoneDecoration(QChar c)
{
    return c.isSpace() || c == u'(' || c == u')' || c == u'[' || c == u']';
}

// A time format without its zone name ("HH:mm:ss t", "t HH:mm:ss",
// "H:mm:ss (t)"), with the blanks and brackets that only framed the zone.
void DropZone(PatternTokens &tokens)
{
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].field != PatternToken::Zone)
            continue;
        if (i > 0 && tokens[i - 1].field == PatternToken::Literal) {
            QString &before = tokens[i - 1].text;
            while (!before.isEmpty() && IsZoneDecoration(before.back()))
                before.chop(1);
        }
        if (i + 1 < tokens.size() && tokens[i + 1].field == PatternToken::Literal) {
            QString &after = tokens[i + 1].text;
            while (!after.isEmpty() && IsZoneDecoration(after.front()))
                after.remove(0, 1);
        }
    }
    std::erase_if(tokens, [](const PatternToken &token) {
        return token.field == PatternToken::Zone ||
               (token.field == PatternToken::Literal && token.text.isEmpty());
    });
}

// Seconds are part of every date text; a format without them gets them after the minutes.
void EnsureSeconds(PatternTokens &tokens)
{
    const auto has = [&tokens](PatternToken::Field field) {
        return std::any_of(tokens.begin(), tokens.end(),
                           [field](const PatternToken &t) { return t.field == field; });
    };
    if (has(PatternToken::Second))
        return;
    auto minute = std::find_if(tokens.begin(), tokens.end(),
                               [](const PatternToken &t) { return t.field == PatternToken::Minute; });
    if (minute == tokens.end())
        return;
    PatternToken separator;
    separator.text = u":"_s;
    PatternToken second;
    second.field = PatternToken::Second;
    second.width = 2;
    tokens.insert(tokens.insert(minute + 1, separator) + 1, second);
}

QString PatternText(const PatternTokens &tokens)
{
    QString pattern;
    for (const PatternToken &token : tokens) {
        static constexpr std::array<char16_t, PatternToken::Unsupported> letters{
            0, u'd', u'd', u'M', u'M', u'y', u'y', u'H', u'h', u'm', u's', 0, 0};
        switch (token.field) {
        case PatternToken::Literal: {
            const bool needsQuotes = std::any_of(token.text.begin(), token.text.end(), [](QChar c) {
                return c == u'\'' || (c.unicode() < 128 && c.isLetter());
            });
            if (!needsQuotes) {
                pattern += token.text;
            } else {
                QString quoted = token.text;
                pattern += u'\'' + quoted.replace(u"'"_s, u"''"_s) + u'\'';
            }
            break;
        }
        case PatternToken::AmPm:
            pattern += token.upper ? u"AP"_s : u"ap"_s;
            break;
        case PatternToken::Zone:
        case PatternToken::Unsupported:
            break;
        default:
            pattern += QString(token.width, QChar(letters[token.field]));
        }
    }
    return pattern;
}

bool StartsWithAt(QStringView text, qsizetype position, QStringView expected, Qt::CaseSensitivity cs)
{
    return !expected.isEmpty() && text.sliced(position).startsWith(expected, cs);
}

// Index of the longest of names that the text continues with at position, or -1.
int MatchName(QStringView text, qsizetype position, const QStringList &names)
{
    int best = -1;
    for (int i = 0; i < names.size(); ++i) {
        if (StartsWithAt(text, position, names[i], Qt::CaseInsensitive) &&
            (best < 0 || names[i].size() > names[best].size()))
            best = i;
    }
    return best;
}

// Writes value with at least width digits; returns the end.
char16_t *WriteNumber(char16_t *out, int value, int width)
{
    if (value < 100 && width <= 2) { // all fields but the year
        if (value >= 10 || width == 2)
            *out++ = char16_t(u'0' + value / 10);
        *out++ = char16_t(u'0' + value % 10);
        return out;
    }
    char16_t digits[12];
    int count = 0;
    do {
        digits[count++] = char16_t(u'0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int padding = width - count; padding > 0; --padding)
        *out++ = u'0';
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

char16_t *WriteText(char16_t *out, const QString &text)
{
    return std::copy_n(reinterpret_cast<const char16_t *>(text.constData()), text.size(), out);
}

qsizetype LongestOf(const QStringList &names)
{
    qsizetype longest = 0;
    for (const QString &name : names)
        longest = std::max(longest, name.size());
    return longest;
}

// The date text pattern of one locale, written and read without QLocale's
// general machinery where the pattern allows it.
class DateTextFormat {
public:
    explicit DateTextFormat(const QLocale &locale)
        : locale_(locale)
    {
        tokens_ = TokenizePattern(locale.dateFormat(QLocale::ShortFormat));
        for (PatternToken &token : tokens_) {
            if (token.field == PatternToken::ShortYear) {
                token.field = PatternToken::Year;
                token.width = 4;
            }
        }
        PatternTokens time = TokenizePattern(locale.timeFormat(QLocale::LongFormat));
        DropZone(time);
        EnsureSeconds(time);
        PatternToken blank;
        blank.text = u" "_s;
        tokens_.push_back(blank);
        tokens_.insert(tokens_.end(), time.begin(), time.end());
        pattern_ = PatternText(tokens_);

        twelveHours_ = std::any_of(tokens_.begin(), tokens_.end(),
                                   [](const PatternToken &t) { return t.field == PatternToken::AmPm; });
        fast_ = locale.zeroDigit() == u"0"_s &&
                std::none_of(tokens_.begin(), tokens_.end(),
                             [](const PatternToken &t) { return t.field == PatternToken::Unsupported; });
        for (int i = 1; i <= 12; ++i) {
            shortMonths_ << locale.monthName(i, QLocale::ShortFormat);
            longMonths_ << locale.monthName(i, QLocale::LongFormat);
        }
        for (int i = 1; i <= 7; ++i) {
            shortDays_ << locale.dayName(i, QLocale::ShortFormat);
            longDays_ << locale.dayName(i, QLocale::LongFormat);
        }
        // The pattern letters decide the case of the AM/PM texts.
        amTexts_ = {locale.amText().toLower(), locale.amText().toUpper()};
        pmTexts_ = {locale.pmText().toLower(), locale.pmText().toUpper()};
        maxLength_ = MaxLength();
    }

    static const DateTextFormat &ForDefaultLocale()
    {
        thread_local std::optional<DateTextFormat> cached;
        const QLocale locale;
        if (!cached || cached->locale_ != locale)
            cached.emplace(locale);
        return *cached;
    }

    const QLocale &Locale() const { return locale_; }
    const QString &Pattern() const { return pattern_; }

    QString Format(const DateTimeParts &clock) const
    {
        if (!fast_) {
            return locale_.toString(QDateTime(QDate(clock.year, clock.month, clock.day),
                                              QTime(clock.hour, clock.minute, clock.second), Qt::UTC),
                                    pattern_);
        }
        QVarLengthArray<char16_t, 128> buffer(maxLength_);
        char16_t *end = buffer.data();
        for (const PatternToken &token : tokens_)
            end = WriteField(end, token, clock);
        return QString(reinterpret_cast<const QChar *>(buffer.data()), end - buffer.data());
    }

    bool Parse(QStringView text, DateTimeParts *clock) const
    {
        if (!fast_)
            return false;
        DateTimeParts parts;
        parts.second = 0;
        bool afternoon = false;
        qsizetype position = 0;
        for (const PatternToken &token : tokens_) {
            if (!ReadField(text, position, token, parts, afternoon))
                return false;
        }
        if (position != text.size())
            return false;
        if (twelveHours_) {
            if (parts.hour < 1 || parts.hour > 12)
                return false;
            parts.hour = parts.hour % 12 + (afternoon ? 12 : 0);
        }
        if (!IsValidDate(parts.year, parts.month, parts.day) ||
            !IsValidTime(parts.hour, parts.minute, parts.second) || parts.hour == 24)
            return false;
        *clock = parts;
        return true;
    }

private:
    const QString &AmPmText(bool afternoon, bool upper) const
    {
        return (afternoon ? pmTexts_ : amTexts_)[upper ? 1 : 0];
    }

    char16_t *WriteField(char16_t *out, const PatternToken &token, const DateTimeParts &clock) const
    {
        switch (token.field) {
        case PatternToken::Literal:
            return WriteText(out, token.text);
        case PatternToken::Day:
            return WriteNumber(out, clock.day, token.width);
        case PatternToken::DayName:
            return WriteText(out, (token.width == 3 ? shortDays_ : longDays_)[DayOfWeek(clock) - 1]);
        case PatternToken::Month:
            return WriteNumber(out, clock.month, token.width);
        case PatternToken::MonthName:
            return WriteText(out, (token.width == 3 ? shortMonths_ : longMonths_)[clock.month - 1]);
        case PatternToken::Year:
            return WriteNumber(out, clock.year, 4);
        case PatternToken::Hour24:
            return WriteNumber(out, clock.hour, token.width);
        case PatternToken::Hour12:
            return WriteNumber(out, twelveHours_ ? (clock.hour + 11) % 12 + 1 : clock.hour, token.width);
        case PatternToken::Minute:
            return WriteNumber(out, clock.minute, token.width);
        case PatternToken::Second:
            return WriteNumber(out, clock.second, token.width);
        case PatternToken::AmPm:
            return WriteText(out, AmPmText(clock.hour >= 12, token.upper));
        default:
            return out;
        }
    }

    // The longest text the pattern can give, for the buffer of Format().
    qsizetype MaxLength() const
    {
        qsizetype length = 0;
        for (const PatternToken &token : tokens_) {
            switch (token.field) {
            case PatternToken::Literal:
                length += token.text.size();
                break;
            case PatternToken::DayName:
                length += LongestOf(token.width == 3 ? shortDays_ : longDays_);
                break;
            case PatternToken::MonthName:
                length += LongestOf(token.width == 3 ? shortMonths_ : longMonths_);
                break;
            case PatternToken::AmPm:
                length += std::max(
                    {amTexts_[0].size(), amTexts_[1].size(), pmTexts_[0].size(), pmTexts_[1].size()});
                break;
            default:
                length += 4;
            }
        }
        return length;
    }

    // Reads the digits of a number field; a one-letter field has one or two.
    static bool ReadNumber(QStringView text, qsizetype &position, int minDigits, int maxDigits, int &value)
    {
        int digits = 0;
        value = 0;
        while (digits < maxDigits && position < text.size() && text[position].unicode() >= u'0' &&
               text[position].unicode() <= u'9') {
            value = value * 10 + (text[position].unicode() - u'0');
            ++position;
            ++digits;
        }
        return digits >= minDigits;
    }

    bool ReadField(QStringView text, qsizetype &position, const PatternToken &token, DateTimeParts &parts,
                   bool &afternoon) const
    {
        const int minDigits = token.width >= 2 ? token.width : 1;
        const int maxDigits = std::max(2, token.width);
        switch (token.field) {
        case PatternToken::Literal:
            if (!StartsWithAt(text, position, token.text, Qt::CaseSensitive))
                return false;
            position += token.text.size();
            return true;
        case PatternToken::Day:
            return ReadNumber(text, position, minDigits, maxDigits, parts.day);
        case PatternToken::Month:
            return ReadNumber(text, position, minDigits, maxDigits, parts.month);
        case PatternToken::Year:
            return ReadNumber(text, position, 4, 4, parts.year);
        case PatternToken::Hour24:
        case PatternToken::Hour12:
            return ReadNumber(text, position, minDigits, maxDigits, parts.hour);
        case PatternToken::Minute:
            return ReadNumber(text, position, minDigits, maxDigits, parts.minute);
        case PatternToken::Second:
            return ReadNumber(text, position, minDigits, maxDigits, parts.second);
        case PatternToken::DayName:
        case PatternToken::MonthName: {
            const bool month = token.field == PatternToken::MonthName;
            const QStringList &names = month ? (token.width == 3 ? shortMonths_ : longMonths_)
                                             : (token.width == 3 ? shortDays_ : longDays_);
            const int index = MatchName(text, position, names);
            if (index < 0)
                return false;
            position += names[index].size();
            if (month)
                parts.month = index + 1;
            return true;
        }
        case PatternToken::AmPm: {
            const QString &am = AmPmText(false, token.upper);
            const QString &pm = AmPmText(true, token.upper);
            afternoon = StartsWithAt(text, position, pm, Qt::CaseInsensitive) &&
                        (!StartsWithAt(text, position, am, Qt::CaseInsensitive) || pm.size() > am.size());
            if (!afternoon && !StartsWithAt(text, position, am, Qt::CaseInsensitive))
                return false;
            position += (afternoon ? pm : am).size();
            return true;
        }
        default:
            return false;
        }
    }

    QLocale locale_;
    PatternTokens tokens_;
    QString pattern_;
    bool fast_ = false;
    bool twelveHours_ = false;
    QStringList shortMonths_, longMonths_, shortDays_, longDays_;
    std::array<QString, 2> amTexts_, pmTexts_; // lower and upper case
    qsizetype maxLength_ = 0;
};

} // namespace

bool IsValidDate(int year, int month, int day)
{
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second)
{
    if (hour == 24)
        return minute == 0 && second == 0;
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

qint64 PartsToClockSeconds(const DateTimeParts &parts)
{
    return DaysFromCivil(parts.year, parts.month, parts.day) * kSecondsPerDay + parts.hour * 3600 +
           parts.minute * 60 + parts.second;
}

DateTimeParts ClockSecondsToParts(qint64 seconds)
{
    const qint64 days = FloorDiv(seconds, kSecondsPerDay);
    const qint64 secondOfDay = seconds - days * kSecondsPerDay;
    DateTimeParts parts = CivilFromDays(days);
    parts.hour = int(secondOfDay / 3600);
    parts.minute = int(secondOfDay / 60 % 60);
    parts.second = int(secondOfDay % 60);
    return parts;
}

LocalClock &LocalClock::System()
{
    thread_local LocalClock clock;
    clock.ReloadWhenChanged();
    return clock;
}

// Runs once per line, so it must stay cheap: the zone itself is looked at
// once a minute (QTimeZone takes microseconds to name it).
void LocalClock::ReloadWhenChanged()
{
    constexpr qint64 kRecheckSeconds = 60;
    now_ = std::time(nullptr);
    if (now_ - checkedAt_ >= kRecheckSeconds || periods_.empty())
        Reload();
}

void LocalClock::Reload()
{
    checkedAt_ = now_ = std::time(nullptr);
    QTimeZone zone = QTimeZone::systemTimeZone();
    if (!zone.isValid())
        zone = QTimeZone::utc();
    if (zone.id() == zone_.id() && !periods_.empty())
        return;
    zone_ = zone;
    periods_.clear();
    lastUsed_ = 0;
}

const LocalClock::Period &LocalClock::PeriodAt(qint64 utcSeconds)
{
    if (lastUsed_ < periods_.size() && periods_[lastUsed_].Contains(utcSeconds))
        return periods_[lastUsed_];
    auto next = std::upper_bound(periods_.begin(), periods_.end(), utcSeconds,
                                 [](qint64 seconds, const Period &period) { return seconds < period.from; });
    if (next != periods_.begin() && std::prev(next)->Contains(utcSeconds)) {
        lastUsed_ = std::size_t(std::prev(next) - periods_.begin());
        return periods_[lastUsed_];
    }
    return Remember(LoadPeriod(utcSeconds));
}

LocalClock::Period LocalClock::LoadPeriod(qint64 utcSeconds) const
{
    const QDateTime at = QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC);
    const QTimeZone::OffsetData data = zone_.offsetData(at);
    if (!data.atUtc.isValid())
        return {utcSeconds, utcSeconds + 1, 0, 0};
    Period period{std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), data.offsetFromUtc,
                  data.standardTimeOffset};
    if (zone_.hasTransitions()) {
        const QTimeZone::OffsetData previous = zone_.previousTransition(at.addSecs(1));
        if (previous.atUtc.isValid())
            period.from = std::min(previous.atUtc.toSecsSinceEpoch(), utcSeconds);
        const QTimeZone::OffsetData next = zone_.nextTransition(at);
        if (next.atUtc.isValid())
            period.until = std::max(next.atUtc.toSecsSinceEpoch(), utcSeconds + 1);
    }
    return period;
}

const LocalClock::Period &LocalClock::Remember(const Period &period)
{
    constexpr std::size_t kMaxPeriods = 1024;
    if (periods_.size() >= kMaxPeriods)
        periods_.clear();
    auto position = std::upper_bound(periods_.begin(), periods_.end(), period.from,
                                     [](qint64 from, const Period &other) { return from < other.from; });
    const bool overlapsPrevious = position != periods_.begin() && std::prev(position)->until > period.from;
    const bool overlapsNext = position != periods_.end() && position->from < period.until;
    if (overlapsPrevious || overlapsNext) { // only with inconsistent zone data
        periods_.clear();
        position = periods_.begin();
    }
    position = periods_.insert(position, period);
    lastUsed_ = std::size_t(position - periods_.begin());
    return *position;
}

int LocalClock::UtcOffset(qint64 utcSeconds, bool withSummerTime)
{
    const Period &period = PeriodAt(utcSeconds);
    return withSummerTime ? period.offset : period.standardOffset;
}

qint64 LocalClock::ToUtc(qint64 localClockSeconds)
{
    const int before = PeriodAt(localClockSeconds - kSecondsPerDay).offset;
    const int after = PeriodAt(localClockSeconds + kSecondsPerDay).offset;
    const qint64 early = localClockSeconds - before;
    const qint64 late = localClockSeconds - after;
    const bool earlyFits = PeriodAt(early).offset == before;
    const bool lateFits = PeriodAt(late).offset == after;
    if (earlyFits && lateFits)
        return std::min(early, late);
    if (lateFits)
        return late;
    return early; // fits, or the reading lies in the gap
}

QDateTime LocalClock::DateTimeAt(qint64 utcSeconds)
{
    return QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::OffsetFromUTC, UtcOffset(utcSeconds));
}

QString FormatDateText(const DateTimeParts &localClock)
{
    if (!IsValidDate(localClock.year, localClock.month, localClock.day) ||
        !IsValidTime(localClock.hour, localClock.minute, localClock.second))
        return {};
    if (localClock.hour == 24) // the next day's midnight, which may lie beyond the year 9999
        return FormatDateText(ClockSecondsToParts(PartsToClockSeconds(localClock)));
    return DateTextFormat::ForDefaultLocale().Format(localClock);
}

QString FormatDateText(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return {};
    DateTimeParts clock;
    if (dateTime.timeSpec() == Qt::LocalTime) {
        clock = PartsOf(dateTime.date(), dateTime.time());
    } else {
        const qint64 utcSeconds = FloorDiv(dateTime.toMSecsSinceEpoch(), 1000);
        clock = ClockSecondsToParts(utcSeconds + LocalClock::System().UtcOffset(utcSeconds));
    }
    return FormatDateText(clock);
}

QDateTime ParseDateText(const QString &text)
{
    const DateTextFormat &format = DateTextFormat::ForDefaultLocale();
    const QStringView trimmed = QStringView(text).trimmed();
    DateTimeParts clock;
    if (!format.Parse(trimmed, &clock)) {
        const QDateTime read = format.Locale().toDateTime(trimmed.toString(), format.Pattern());
        if (!read.isValid())
            return {};
        clock = PartsOf(read.date(), read.time());
    }
    LocalClock &localClock = LocalClock::System();
    return localClock.DateTimeAt(localClock.ToUtc(PartsToClockSeconds(clock)));
}

QString DateTextPattern()
{
    return DateTextFormat::ForDefaultLocale().Pattern();
}
