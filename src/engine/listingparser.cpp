#include "listingparser.h"

#include "tidantifreeze.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kSecondsPerDay = 86400;

bool IsBlank(QChar c)
{
    return c == u' ';
}

bool IsDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

char16_t LowerAscii(QChar c)
{
    const char16_t code = c.unicode();
    return code >= u'A' && code <= u'Z' ? char16_t(code + 32) : code;
}

QStringView TrimEnd(QStringView text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

// A decimal number with an optional sign, surrounding white space allowed.
template <typename Integer> std::optional<Integer> ReadNumber(QStringView text)
{
    if (!text.isEmpty() && (!IsDigit(text.front()) || !IsDigit(text.back())))
        text = text.trimmed();
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        text = text.sliced(1);
    if (text.isEmpty())
        return std::nullopt;
    Integer value = 0;
    for (const QChar c : text) {
        if (!IsDigit(c))
            return std::nullopt;
        const Integer digit = c.unicode() - u'0';
        if (value > (std::numeric_limits<Integer>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

// Numbers that do not convert count as -1 and fail every validity check.
int ToNumber(QStringView text)
{
    return ReadNumber<int>(text).value_or(-1);
}

// A byte count: a number of 0 or more that fits 64 bits, else -1.
qint64 ToByteCount(QStringView text)
{
    return std::max<qint64>(ReadNumber<qint64>(text).value_or(-1), -1);
}

int TwoDigitYear(int value)
{
    return value <= 50 ? 2000 + value : 1900 + value;
}

// Of a size text only its last run of digits counts ("100 12345" is 12345).
QStringView KeepTrailingDigits(QStringView size)
{
    qsizetype position = size.size() - 1;
    while (position > 0 && IsDigit(size[position]))
        --position;
    if (position > 0)
        size = size.sliced(position + 1);
    return size.trimmed();
}

// Whether c may stand at this place of a permission triple: read, write,
// then execute with its set-id, sticky and mandatory-locking variants.
bool IsPermissionLetter(QChar c, qsizetype place)
{
    switch (c.unicode()) {
    case u'-':
        return true;
    case u'r':
        return place == 0;
    case u'w':
        return place == 1;
    case u'x':
    case u's':
    case u'S':
    case u't':
    case u'T':
    case u'l':
    case u'L':
        return place == 2;
    default:
        return false;
    }
}

// The nine permission letters of a Unix long listing ("rwxr-xr-x") right
// after the type letter; empty when the line does not begin with a mode word.
QStringView UnixPermissionLetters(QStringView line)
{
    static constexpr qsizetype kModeWordLength = 10;
    if (line.size() < kModeWordLength)
        return {};
    for (qsizetype i = 1; i < kModeWordLength; ++i) {
        if (!IsPermissionLetter(line[i], (i - 1) % 3))
            return {};
    }
    // An ACL or security-context mark may follow the word, nothing else.
    if (line.size() > kModeWordLength) {
        const char16_t next = line[kModeWordLength].unicode();
        if (next != u' ' && next != u'+' && next != u'.' && next != u'@')
            return {};
    }
    return line.sliced(1, kModeWordLength - 1);
}

// The permission letters of an octal mode ("0755", "0o755", "100644"), as
// ls writes them; empty when the value is no octal number.
QString PermissionLettersOfMode(QStringView value)
{
    if (value.startsWith(QStringView(u"0o"), Qt::CaseInsensitive))
        value = value.sliced(2);
    if (value.isEmpty() || value.size() > 7)
        return {};
    unsigned mode = 0;
    for (const QChar c : value) {
        if (c < u'0' || c > u'7')
            return {};
        mode = mode * 8 + unsigned(c.unicode() - u'0');
    }
    QString letters(9, u'-');
    static constexpr unsigned kSpecialBit[3] = {04000, 02000, 01000};
    for (int who = 0; who < 3; ++who) {
        const unsigned bits = mode >> (6 - 3 * who) & 7;
        if (bits & 4)
            letters[3 * who] = u'r';
        if (bits & 2)
            letters[3 * who + 1] = u'w';
        const bool special = (mode & kSpecialBit[who]) != 0;
        const QChar executable = who == 2 ? u't' : u's';
        if (special)
            letters[3 * who + 2] = bits & 1 ? executable : executable.toUpper();
        else if (bits & 1)
            letters[3 * who + 2] = u'x';
    }
    return letters;
}

// The kind letter followed by the permission letters. A listing repeats a
// handful of permission words, so the texts made lately are handed out
// again: one allocation per line less.
QString SharedAttributeText(QChar kindLetter, QStringView permissions)
{
    static constexpr std::size_t kRemembered = 16;
    thread_local std::array<QString, kRemembered> remembered;
    thread_local std::size_t next = 0;
    for (const QString &text : remembered) {
        if (!text.isEmpty() && text.front() == kindLetter && QStringView(text).sliced(1) == permissions)
            return text;
    }
    QString text(permissions.size() + 1, Qt::Uninitialized);
    text[0] = kindLetter;
    std::copy(permissions.begin(), permissions.end(), text.begin() + 1);
    remembered[next] = text;
    next = (next + 1) % kRemembered;
    return text;
}

constexpr quint32 MonthKey(char16_t first, char16_t second, char16_t third)
{
    return quint32(first) << 16 | quint32(second) << 8 | quint32(third);
}

// Month 1 to 12 of the abbreviation the three characters at text spell in
// any case, 0 when they spell none.
int MonthAt(const QChar *text)
{
    // Most characters of a line cannot begin a month: one bit per letter.
    constexpr quint32 kInitials = 1u << ('j' - 'a') | 1u << ('f' - 'a') | 1u << ('m' - 'a') |
                                  1u << ('a' - 'a') | 1u << ('s' - 'a') | 1u << ('o' - 'a') |
                                  1u << ('n' - 'a') | 1u << ('d' - 'a');
    const char16_t first = LowerAscii(text[0]);
    const unsigned letter = unsigned(first) - u'a';
    if (letter > 25 || !(kInitials >> letter & 1))
        return 0;
    const char16_t second = LowerAscii(text[1]);
    const char16_t third = LowerAscii(text[2]);
    if (second > 0x7f || third > 0x7f)
        return 0;
    switch (MonthKey(first, second, third)) {
    case MonthKey('j', 'a', 'n'):
        return 1;
    case MonthKey('f', 'e', 'b'):
        return 2;
    case MonthKey('m', 'a', 'r'):
        return 3;
    case MonthKey('a', 'p', 'r'):
        return 4;
    case MonthKey('m', 'a', 'y'):
        return 5;
    case MonthKey('j', 'u', 'n'):
        return 6;
    case MonthKey('j', 'u', 'l'):
        return 7;
    case MonthKey('a', 'u', 'g'):
        return 8;
    case MonthKey('s', 'e', 'p'):
        return 9;
    case MonthKey('o', 'c', 't'):
        return 10;
    case MonthKey('n', 'o', 'v'):
        return 11;
    case MonthKey('d', 'e', 'c'):
        return 12;
    default:
        return 0;
    }
}

int ManualDifferenceMinutes(const TimeCorrection &correction)
{
    if (!correction.TimeDif.isValid())
        return 0;
    return -correction.TimeDifvz * (correction.TimeDif.hour() * 60 + correction.TimeDif.minute());
}

// A corrected time stamp: what the local clock shows, and the instant.
struct Stamp {
    qint64 localClock = 0;
    qint64 utc = 0;
};

std::optional<Stamp> ComposeStamp(const DateTimeParts &parts, const TimeCorrection &correction,
                                  bool noTimeOfDay, LocalClock &clock)
{
    if (!IsValidDate(parts.year, parts.month, parts.day) ||
        !IsValidTime(parts.hour, parts.minute, parts.second))
        return std::nullopt;
    const qint64 listed = PartsToClockSeconds(parts);
    Stamp stamp;
    if (noTimeOfDay || (correction.DateTimeNo && !correction.DateTimeManuel)) {
        stamp.localClock = listed;
        stamp.utc = clock.ToUtc(stamp.localClock);
    } else if (correction.DateTimeManuel) {
        stamp.localClock = listed - qint64(ManualDifferenceMinutes(correction)) * 60;
        stamp.utc = clock.ToUtc(stamp.localClock);
    } else {
        // Automatic: the server lists universal time; each time gets the
        // local offset of its own date.
        stamp.localClock = listed + clock.UtcOffset(listed, correction.WSTime_Use);
        stamp.utc = correction.WSTime_Use ? listed : clock.ToUtc(stamp.localClock);
    }
    static const qint64 firstSecond = PartsToClockSeconds({1, 1, 1, 0, 0, 0});
    static const qint64 endOfLastDay = PartsToClockSeconds({9999, 12, 31, 24, 0, 0});
    if (stamp.localClock < firstSecond || stamp.localClock >= endOfLastDay)
        return std::nullopt;
    return stamp;
}

// The state of one line while its strategies run in turn. Name and size
// stay views into the line until the entry is built.
class LineParser {
public:
    LineParser(QStringView line, const TimeCorrection &correction, LocalClock &clock)
        : line_(line)
        , correction_(correction)
        , clock_(clock)
    {
    }

    RemoteEntry ParseMlsd()
    {
        if (!line_.isEmpty())
            ReadMlsdFacts();
        RemoteEntry entry = Finish();
        // Named as a LIST line names a link, so that its target is read alike.
        if (kind_ == RemoteEntry::Link && nameFound_ && !linkTarget_.isEmpty())
            entry.name += " -> "_L1 + linkTarget_.toString();
        return entry;
    }

    RemoteEntry ParseList()
    {
        if (line_.isEmpty())
            return Finish();
        ReadKindFromFirstCharacter();
        if (!ScanUnixDates() && (ReadDosColumns() || FreeScan()))
            dosLayout_ = true;
        if (dosLayout_)
            ReadDosFields();
        ReadFixedName();
        ReadFixedSize();
        if (line_.startsWith(u'+') && !AllFound())
            ReadEplf();
        return Finish();
    }

private:
    qsizetype SkipBlanks(qsizetype position) const
    {
        while (position < line_.size() && IsBlank(line_[position]))
            ++position;
        return position;
    }

    qsizetype SkipNonBlanks(qsizetype position) const
    {
        while (position < line_.size() && !IsBlank(line_[position]))
            ++position;
        return position;
    }

    // The text from first to last (0-based, inclusive); empty outside the line.
    QStringView Columns(qsizetype first, qsizetype last) const
    {
        if (first < 0 || last >= line_.size() || last < first)
            return {};
        return line_.sliced(first, last - first + 1);
    }

    QStringView Tail(qsizetype first) const
    {
        return first < line_.size() ? line_.sliced(first) : QStringView();
    }

    // Up to count characters from first, as far as the line goes.
    QStringView Clipped(qsizetype first, qsizetype count) const
    {
        const QStringView tail = Tail(first);
        return tail.first(std::min(count, tail.size()));
    }

    // An "AM" or "PM" within the four characters from start: "PM" moves 1 to
    // 11 o'clock into the afternoon, "AM" 12 o'clock to midnight. Returns
    // where the marker ends, or start when there is none.
    qsizetype ReadDayHalf(qsizetype start, int &hour) const
    {
        const QStringView marker = Clipped(start, 4).trimmed();
        const bool afternoon = marker.compare("PM"_L1, Qt::CaseInsensitive) == 0;
        const bool morning = marker.compare("AM"_L1, Qt::CaseInsensitive) == 0;
        if (afternoon && hour >= 1 && hour <= 11)
            hour += 12;
        if (morning && hour == 12)
            hour = 0;
        return afternoon || morning ? (marker.data() - line_.data()) + marker.size() : start;
    }

    bool AllFound() const { return nameFound_ && kindFound_ && sizeFound_ && dateFound_; }

    void SetKind(int kind)
    {
        kind_ = kind;
        kindFound_ = true;
    }

    void SetName(QStringView name)
    {
        if (name.isEmpty())
            return;
        name_ = name;
        nameFound_ = true;
    }

    void SetSize(QStringView size)
    {
        size_ = size;
        sizeFound_ = true;
    }

    // Folders have no size.
    void SetFolderSize() { SetSize({}); }

    bool SetStamp(const DateTimeParts &parts, bool noTimeOfDay)
    {
        const std::optional<Stamp> stamp = ComposeStamp(parts, correction_, noTimeOfDay, clock_);
        if (!stamp)
            return false;
        stamp_ = *stamp;
        dateFound_ = true;
        return true;
    }

    int CurrentYear() { return ClockSecondsToParts(clock_.NowLocal()).year; }

    // --- MLSD ---------------------------------------------------------------

    // "fact=value;fact=value; name": the facts end at the first blank.
    void ReadMlsdFacts()
    {
        const qsizetype blank = line_.indexOf(u' ');
        const QStringView facts = blank < 0 ? line_ : line_.first(blank);
        QStringView modify;
        QStringView create;
        qsizetype start = 0;
        for (qsizetype i = 0; i < facts.size(); ++i) {
            if (facts[i] != u';' && facts[i] != u',')
                continue;
            ReadMlsdFact(facts.sliced(start, i - start), modify, create);
            start = i + 1;
        }
        if (!ReadMlsdTime(modify))
            ReadMlsdTime(create);
        if (blank >= 0)
            SetName(TrimEnd(line_.sliced(blank + 1)));
    }

    void ReadMlsdFact(QStringView fact, QStringView &modify, QStringView &create)
    {
        const qsizetype equals = fact.indexOf(u'=');
        if (equals < 0)
            return;
        const QStringView name = fact.first(equals);
        const QStringView value = fact.sliced(equals + 1).trimmed();
        if (name.compare("type"_L1, Qt::CaseInsensitive) == 0) {
            if (value.compare("file"_L1, Qt::CaseInsensitive) == 0) {
                SetKind(RemoteEntry::File);
            } else if (value.compare("dir"_L1, Qt::CaseInsensitive) == 0) {
                SetKind(RemoteEntry::Folder);
                SetFolderSize();
            } else {
                ReadMlsdLinkType(value);
            }
        } else if (name.compare("size"_L1, Qt::CaseInsensitive) == 0) {
            if (kind_ != RemoteEntry::Folder && ToByteCount(value) >= 0)
                SetSize(value);
        } else if (name.compare("modify"_L1, Qt::CaseInsensitive) == 0) {
            modify = value;
        } else if (name.compare("create"_L1, Qt::CaseInsensitive) == 0) {
            create = value;
        } else if (name.compare("unix.mode"_L1, Qt::CaseInsensitive) == 0) {
            modeLetters_ = PermissionLettersOfMode(value);
            permissions_ = modeLetters_;
        }
    }

    // "OS.unix=symlink", or "OS.unix=slink:target" with the target.
    void ReadMlsdLinkType(QStringView value)
    {
        static constexpr QLatin1StringView kUnixType("OS.unix=");
        if (!value.startsWith(kUnixType, Qt::CaseInsensitive))
            return;
        const QStringView unixType = value.sliced(kUnixType.size());
        if (unixType.compare("symlink"_L1, Qt::CaseInsensitive) == 0) {
            SetKind(RemoteEntry::Link);
        } else if (unixType.startsWith("slink"_L1, Qt::CaseInsensitive)) {
            const QStringView rest = unixType.sliced(5);
            if (!rest.isEmpty() && rest.front() != u':')
                return;
            SetKind(RemoteEntry::Link);
            if (!rest.isEmpty())
                linkTarget_ = rest.sliced(1);
        }
    }

    // "YYYYMMDDHHMMSS", fractions of a second after it ignored.
    bool ReadMlsdTime(QStringView value)
    {
        auto digits = [value](qsizetype first, qsizetype count) {
            return first + count <= value.size() ? ToNumber(value.sliced(first, count)) : -1;
        };
        const DateTimeParts parts{digits(0, 4), digits(4, 2),  digits(6, 2),
                                  digits(8, 2), digits(10, 2), digits(12, 2)};
        return SetStamp(parts, false);
    }

    // --- LIST ---------------------------------------------------------------

    void ReadKindFromFirstCharacter()
    {
        permissions_ = UnixPermissionLetters(line_);
        kindFromFirstCharacter_ = true;
        switch (line_.front().unicode()) {
        case u'-':
            SetKind(RemoteEntry::File);
            break;
        case u'd':
            SetKind(RemoteEntry::Folder);
            break;
        case u'l':
            SetKind(RemoteEntry::Link);
            break;
        default:
            kindFromFirstCharacter_ = false;
            SetKind(line_.contains("<dir>"_L1, Qt::CaseInsensitive) ? RemoteEntry::Folder
                                                                    : RemoteEntry::File);
        }
    }

    // Unix long listing: "... size Mon DD HH:MM name" or "... size Mon DD  YYYY
    // name". Every month abbreviation is tried from the left, so a user name
    // such as "janet" or "decker" cannot hide the real date behind it. An
    // owner named like a month ("jan 20 512 Mar 15 2004") is followed by the
    // group and the size, which can pass for a day and a year: a month with
    // fewer than three fields before it counts only when no later one does.
    bool ScanUnixDates()
    {
        static constexpr int kFieldsBeforeMonth = 3; // permissions, owner, size
        std::optional<UnixFields> fields;
        std::optional<UnixDate> dateInOwnerColumn;
        int fieldsBefore = 0;
        const QChar *text = line_.data();
        const qsizetype end = line_.size() - 2;
        for (qsizetype position = 0; position < end; ++position) {
            const bool fieldStart =
                !IsBlank(text[position]) && (position == 0 || IsBlank(text[position - 1]));
            const int month = MonthAt(text + position);
            if (month != 0) {
                // Abbreviations inside one word share the fields after it:
                // read them once, so that long lines cost linear time.
                if (!fields || position >= fields->wordEnd)
                    fields = ReadUnixFields(SkipNonBlanks(position));
                const std::optional<UnixDate> date = ReadUnixDate(position, month, *fields);
                if (date && fieldsBefore >= kFieldsBeforeMonth) {
                    TakeUnixDate(*date);
                    return true;
                }
                if (date && !dateInOwnerColumn)
                    dateInOwnerColumn = date;
            }
            fieldsBefore += fieldStart;
        }
        if (dateInOwnerColumn)
            TakeUnixDate(*dateInOwnerColumn);
        return dateInOwnerColumn.has_value();
    }

    // The day and the year or time that follow a month word.
    struct UnixFields {
        qsizetype wordEnd = 0;
        qsizetype tokenEnd = 0;
        DateTimeParts parts; // all but year and month
        std::optional<int> listedYear;
        bool noTimeOfDay = false;
    };

    // A month with a valid day and a valid year or time after it.
    struct UnixDate {
        qsizetype monthPosition = 0;
        qsizetype tokenEnd = 0;
        Stamp stamp;
    };

    UnixFields ReadUnixFields(qsizetype wordEnd) const
    {
        UnixFields fields;
        fields.wordEnd = wordEnd;
        const qsizetype dayStart = SkipBlanks(wordEnd);
        const qsizetype dayEnd = SkipNonBlanks(dayStart);
        const qsizetype tokenStart = SkipBlanks(dayEnd);
        fields.tokenEnd = SkipNonBlanks(tokenStart);
        const QStringView token = line_.sliced(tokenStart, fields.tokenEnd - tokenStart).trimmed();

        DateTimeParts &parts = fields.parts;
        parts.day = ToNumber(line_.sliced(dayStart, dayEnd - dayStart));
        const qsizetype colon = token.indexOf(u':');
        fields.noTimeOfDay = colon < 0;
        if (fields.noTimeOfDay) {
            parts.hour = 12;
            parts.minute = 0;
            parts.second = 0;
        } else {
            parts.hour = ToNumber(token.first(colon));
            const QStringView rest = token.sliced(colon + 1);
            const qsizetype secondColon = rest.indexOf(u':');
            parts.minute = ToNumber(secondColon < 0 ? rest : rest.first(secondColon));
            parts.second = secondColon < 0 ? 0 : ToNumber(rest.sliced(secondColon + 1));
            if (secondColon >= 0)
                return WithYearAfterFullTime(fields);
        }
        fields.listedYear = ReadNumber<int>(token);
        return fields;
    }

    // "Mon DD HH:MM:SS YYYY name" (BSD full time): the year follows the time.
    // Without it the time counts as unreadable.
    UnixFields WithYearAfterFullTime(UnixFields fields) const
    {
        const qsizetype yearStart = SkipBlanks(fields.tokenEnd);
        const qsizetype yearEnd = SkipNonBlanks(yearStart);
        fields.listedYear = ReadNumber<int>(line_.sliced(yearStart, yearEnd - yearStart));
        if (fields.listedYear)
            fields.tokenEnd = yearEnd;
        else
            fields.parts.minute = -1;
        return fields;
    }

    // A word after the day that is neither a year nor a time (the month of
    // the real date after a group named like a month) makes no date.
    std::optional<UnixDate> ReadUnixDate(qsizetype monthPosition, int month, const UnixFields &fields)
    {
        if (fields.noTimeOfDay && !fields.listedYear)
            return std::nullopt;
        DateTimeParts parts = fields.parts;
        parts.month = month;
        parts.year = fields.listedYear ? *fields.listedYear : YearOfUndatedLine(parts);
        if (!IsValidDate(parts.year, parts.month, parts.day))
            return std::nullopt;
        // A valid date names the entry even when its time is unreadable.
        SetName(UnixName(monthPosition, fields.tokenEnd));
        if (!IsValidTime(parts.hour, parts.minute, parts.second))
            return std::nullopt;
        const std::optional<Stamp> stamp = ComposeStamp(parts, correction_, fields.noTimeOfDay, clock_);
        if (!stamp)
            return std::nullopt;
        return UnixDate{monthPosition, fields.tokenEnd, *stamp};
    }

    void TakeUnixDate(const UnixDate &date)
    {
        SetName(UnixName(date.monthPosition, date.tokenEnd));
        stamp_ = date.stamp;
        dateFound_ = true;
        if (kind_ == RemoteEntry::Folder)
            SetFolderSize();
        else if (!sizeFound_)
            ReadUnixSize(date.monthPosition);
    }

    // Recent files are listed with a time instead of a year: the current
    // year, unless that puts the file more than a day into the future (the
    // server's clock may run ahead in another zone) or onto a 29 February
    // the year does not have.
    int YearOfUndatedLine(DateTimeParts parts)
    {
        const int year = CurrentYear();
        parts.year = year;
        if (!IsValidDate(year, parts.month, parts.day))
            return IsValidDate(year - 1, parts.month, parts.day) ? year - 1 : year;
        if (!IsValidTime(parts.hour, parts.minute, parts.second))
            return year;
        const qint64 latestNow = std::max(clock_.NowLocal(), clock_.NowUtc());
        return PartsToClockSeconds(parts) > latestNow + kSecondsPerDay ? year - 1 : year;
    }

    // The long listing puts one blank twelve characters after the month,
    // then the name, which may itself begin with blanks. Servers that write
    // the day or year narrower ("Oct 1 2003 name") shift the name to the left.
    QStringView UnixName(qsizetype monthPosition, qsizetype tokenEnd) const
    {
        if (tokenEnd == monthPosition + 12 && tokenEnd < line_.size())
            return TrimEnd(line_.sliced(tokenEnd + 1));
        return Tail(tokenEnd).trimmed();
    }

    // The size stands right before the month: blanks and digits going back.
    void ReadUnixSize(qsizetype monthPosition)
    {
        qsizetype start = monthPosition;
        while (start > 0 && (IsBlank(line_[start - 1]) || IsDigit(line_[start - 1])))
            --start;
        SetSize(line_.sliced(start, monthPosition - start).trimmed());
    }

    // DOS/IIS: "MM-DD-YY  HH:MMAM  <DIR>  name" in fixed columns.
    bool ReadDosColumns()
    {
        DateTimeParts parts;
        parts.month = ToNumber(Columns(0, 1));
        parts.day = ToNumber(Columns(3, 4));
        const int year = ToNumber(Columns(6, 7));
        parts.year = year > 0 ? TwoDigitYear(year) : year;
        parts.hour = ToNumber(Columns(10, 11));
        parts.minute = ToNumber(Columns(13, 14));
        parts.second = 0;
        qsizetype timeEnd = 15;
        if (parts.hour >= 0 && parts.minute >= 0)
            timeEnd = ReadDayHalf(15, parts.hour);
        if (!SetStamp(parts, false))
            return false;
        timeEnd_ = timeEnd;
        return true;
    }

    // Last resort for LIST and MLSD lines: a date "MM-DD-YY(YY)" or
    // "MM.DD.YY(YY)" and a time "HH:MM[:SS][ AM|PM]" anywhere in the line.
    bool FreeScan()
    {
        const std::optional<DateTimeParts> date = ScanForDate();
        if (!date)
            return false;
        qsizetype timeEnd = 0;
        const std::optional<DateTimeParts> time = ScanForTime(timeEnd);
        if (!time)
            return false;
        const DateTimeParts parts{date->year, date->month, date->day, time->hour, time->minute, time->second};
        if (!SetStamp(parts, false))
            return false;
        timeEnd_ = timeEnd;
        return true;
    }

    // The last seven characters are never the start of a date or time.
    qsizetype LastScanPosition() const { return line_.size() - 8; }

    std::optional<DateTimeParts> ScanForDate()
    {
        for (qsizetype i = 0; i <= LastScanPosition(); ++i) {
            const QChar separator = line_[i];
            if ((separator != u'-' && separator != u'.') || line_[i + 3] != separator)
                continue;
            DateTimeParts parts;
            parts.day = ToNumber(Columns(i + 1, i + 2));
            parts.month = ToNumber(Columns(i - 2, i - 1));
            std::optional<int> year = ReadNumber<int>(line_.sliced(i + 4, 4));
            if (!year)
                year = ReadNumber<int>(line_.sliced(i + 4, 2));
            parts.year = !year ? CurrentYear() : *year >= 0 && *year <= 99 ? TwoDigitYear(*year) : *year;
            if (IsValidDate(parts.year, parts.month, parts.day))
                return parts;
        }
        return std::nullopt;
    }

    std::optional<DateTimeParts> ScanForTime(qsizetype &timeEnd) const
    {
        for (qsizetype i = 0; i <= LastScanPosition(); ++i) {
            if (line_[i] != u':')
                continue;
            DateTimeParts parts;
            parts.hour = ToNumber(Columns(i - 2, i - 1));
            parts.minute = ToNumber(Columns(i + 1, i + 2));
            if (parts.hour < 0 || parts.minute < 0)
                continue;
            parts.second = 0;
            qsizetype markerStart = i + 3;
            if (line_[i + 3] == u':') {
                parts.second = ToNumber(Columns(i + 4, i + 5));
                if (parts.second >= 0 && parts.second <= 59)
                    markerStart = i + 6;
            }
            const qsizetype end = ReadDayHalf(markerStart, parts.hour);
            if (!IsValidTime(parts.hour, parts.minute, parts.second))
                continue;
            timeEnd = end;
            return parts;
        }
        return std::nullopt;
    }

    // After the time of a DOS line: "<DIR>" or the size, then the name. IIS
    // writes the name 22 characters after the time, so a name may begin with
    // blanks; sizes of ten digits and more widen the size column instead.
    void ReadDosFields()
    {
        const qsizetype tokenStart = SkipBlanks(timeEnd_);
        const qsizetype tokenEnd = SkipNonBlanks(tokenStart);
        const QStringView token = line_.sliced(tokenStart, tokenEnd - tokenStart);
        const bool folderMark = token.compare("<DIR>"_L1, Qt::CaseInsensitive) == 0;
        if (!folderMark &&
            (token.isEmpty() || !std::all_of(token.begin(), token.end(), IsDigit) || ToByteCount(token) < 0))
            return; // another layout: the fixed columns decide
        if (!kindFromFirstCharacter_)
            SetKind(folderMark ? RemoteEntry::Folder : RemoteEntry::File);
        if (!sizeFound_ && kind_ == RemoteEntry::Folder)
            SetFolderSize();
        else if (!sizeFound_ && !folderMark)
            SetSize(token);
        if (!nameFound_)
            SetName(DosName(tokenEnd));
    }

    QStringView DosName(qsizetype tokenEnd) const
    {
        const qsizetype nameColumn = timeEnd_ + 22;
        const QStringView gap = Columns(tokenEnd, nameColumn - 1);
        const bool standardLayout = tokenEnd < nameColumn && nameColumn < line_.size() &&
                                    std::all_of(gap.begin(), gap.end(), IsBlank);
        if (standardLayout)
            return TrimEnd(line_.sliced(nameColumn));
        return Tail(tokenEnd).trimmed();
    }

    void ReadFixedName()
    {
        if (!nameFound_ && dosLayout_)
            SetName(Tail(38).trimmed());
        if (!nameFound_)
            SetName(Tail(54).trimmed());
    }

    void ReadFixedSize()
    {
        if (sizeFound_)
            return;
        if (kind_ == RemoteEntry::Folder) {
            SetFolderSize();
            return;
        }
        QStringView size;
        if (dosLayout_) {
            qsizetype end = 29;
            while (end < line_.size() - 1 && (IsBlank(line_[end]) || IsDigit(line_[end])))
                ++end;
            size = Columns(29, end - 1).trimmed();
        } else {
            size = Clipped(31, 10).trimmed();
        }
        if (ToByteCount(size) >= 0)
            SetSize(size);
    }

    // EPLF: "+fact,fact,...<TAB>name"; facts: "/" folder, "r" retrievable,
    // "s" size, "m" modification time in seconds since 1970 (UTC).
    void ReadEplf()
    {
        nameFound_ = kindFound_ = sizeFound_ = dateFound_ = false;
        const qsizetype tab = line_.indexOf(u'\t');
        const QStringView facts = tab < 0 ? line_.sliced(1) : line_.sliced(1, tab - 1);
        qsizetype start = 0;
        for (qsizetype i = 0; i < facts.size(); ++i) {
            if (facts[i] != u',' && facts[i] != u';')
                continue;
            ReadEplfFact(facts.sliced(start, i - start));
            start = i + 1;
        }
        if (tab < 0) {
            SetName(facts.sliced(start).trimmed());
        } else {
            ReadEplfFact(facts.sliced(start));
            SetName(TrimEnd(line_.sliced(tab + 1)));
        }
        if (!kindFound_ && nameFound_ && dateFound_)
            SetKind(RemoteEntry::File);
    }

    void ReadEplfFact(QStringView fact)
    {
        if (fact.isEmpty())
            return;
        const QStringView rest = fact.sliced(1);
        switch (LowerAscii(fact.front())) {
        case u'r':
            if (!rest.isEmpty())
                SetKind(RemoteEntry::Link);
            break;
        case u'/':
            SetKind(RemoteEntry::Folder);
            SetFolderSize();
            break;
        case u's':
            if (ToByteCount(rest) >= 0)
                SetSize(rest.trimmed());
            break;
        case u'm': {
            static constexpr qint64 kLatestSecond = 253402300799; // 9999-12-31 23:59:59
            const std::optional<qint64> seconds = ReadNumber<qint64>(rest);
            if (seconds && *seconds >= -kLatestSecond && *seconds <= kLatestSecond)
                SetStamp(ClockSecondsToParts(*seconds), false);
            break;
        }
        default:
            break;
        }
    }

    // --- Common end ---------------------------------------------------------

    RemoteEntry Finish()
    {
        if (!dateFound_)
            FreeScan();
        if (!kindFound_ && nameFound_ && dateFound_)
            SetKind(RemoteEntry::File);

        RemoteEntry entry;
        entry.kind = kind_;
        entry.attributes = AttributeText(kind_, permissions_);
        entry.name = name_.toString();
        entry.sizeText = sizeFound_ ? KeepTrailingDigits(size_).toString() : u"     "_s;
        if (!dateFound_)
            stamp_ = {clock_.NowLocal(), clock_.NowUtc()};
        entry.dateText = FormatDateText(ClockSecondsToParts(stamp_.localClock));
        entry.timestamp = clock_.DateTimeAt(stamp_.utc);
        entry.size = entry.sizeText.isEmpty() ? -1 : ToByteCount(entry.sizeText);
        entry.accepted = AllFound();
        return entry;
    }

    // The kind letter, then the permission letters when the listing gave
    // them, else dashes; six blanks while the kind is unknown.
    static QString AttributeText(int kind, QStringView permissions)
    {
        if (kind < RemoteEntry::File || kind > RemoteEntry::Link)
            return u"      "_s;
        const QChar kindLetter = u"-dl"[kind];
        return SharedAttributeText(kindLetter,
                                   permissions.isEmpty() ? QStringView(u"---------") : permissions);
    }

    const QStringView line_;
    const TimeCorrection &correction_;
    LocalClock &clock_;

    int kind_ = RemoteEntry::Unknown;
    bool kindFound_ = false;
    bool kindFromFirstCharacter_ = false;
    QStringView permissions_; // "rwxr-xr-x" when the listing gives them
    QString modeLetters_;     // the permissions of an MLSD mode fact
    QStringView name_ = u"Unbekannt";
    QStringView linkTarget_; // named by an MLSD type fact
    bool nameFound_ = false;
    QStringView size_;
    bool sizeFound_ = false;
    Stamp stamp_;
    bool dateFound_ = false;

    bool dosLayout_ = false;
    qsizetype timeEnd_ = 0; // where the time of a DOS or free-form line ends
};

} // namespace

RemoteEntry ParseListingLine(QStringView line, const TimeCorrection &correction, bool isMlsdLine)
{
    LineParser parser(line, correction, LocalClock::System());
    RemoteEntry entry = isMlsdLine ? parser.ParseMlsd() : parser.ParseList();
    // Whatever the pump runs, the entry no longer refers to the line.
    TIdAntiFreeze::DoProcessThrottled();
    return entry;
}

int SessionTimeDifference(const TimeCorrection &correction)
{
    if (correction.DateTimeNo && !correction.DateTimeManuel)
        return 0;
    if (correction.DateTimeManuel)
        return ManualDifferenceMinutes(correction);
    LocalClock &clock = LocalClock::System();
    return -clock.UtcOffset(clock.NowUtc(), correction.WSTime_Use) / 60;
}

QString ComposeTimestamp(const ListingDateParts &parts, const TimeCorrection &correction, bool noTimeOfDay)
{
    const std::optional<Stamp> stamp = ComposeStamp(parts, correction, noTimeOfDay, LocalClock::System());
    return stamp ? FormatDateText(ClockSecondsToParts(stamp->localClock)) : QString();
}
