#pragma once

#include "namepattern.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <vector>

struct RemoteEntry;

// What a search looks for, as the search options or the command line give it.
struct SearchCriteria {
    QString patternText = QStringLiteral("*.*"); // file name patterns separated by ";"
    std::array<QString, 3> andTerms;             // empty ones are skipped
    std::array<QString, 3> orTerms;
    bool searchNames = false;               // the terms are looked for in file names
    bool searchContents = true;             // patterns and terms decide on the file's content
    qint64 sizeLimit = 0;                   // larger files are not downloaded; 0 or less: no limit
    std::optional<QDateTime> changedAfter;  // a file listed earlier does not match
    std::optional<QDateTime> changedBefore; // a file listed later does not match
    bool caseSensitive = false;
};

// The patterns of a pattern text: cut at every ";", each piece trimmed and in
// lower case. Empty pieces are dropped, except the last piece of a text that
// does not end in ";", which stays even when it is empty.
QStringList PatternList(const QString &text);

// Decides which listed files are hits. Built once per search from the
// criteria; terms and names compare in lower case unless case counts.
class SearchMatcher {
public:
    enum class Verdict {
        NoMatch,
        Match,
        NeedsContent,   // the file's content decides: download it and apply ContentMatches
        UnreadableDate, // a date limit is set but the listed date cannot be read: no match
    };

    // Downloaded content beyond this size is never searched.
    static constexpr qint64 kMaxContentSize = 0x7E800000;

    // Nothing when a pattern is malformed; *error then says which and why.
    static std::optional<SearchMatcher> Prepare(const SearchCriteria &criteria, QString *error = nullptr);

    Verdict TestListedFile(const RemoteEntry &entry) const;
    // The term rules: one OR term found, or every AND term with the first
    // AND term set. contains answers for a term already in the right case.
    bool TermsMatch(const std::function<bool(const QString &term)> &contains) const;
    // The terms that are set, in the case they are compared in.
    QStringList SetTerms() const;
    bool CaseSensitive() const { return m_criteria.caseSensitive; }
    // The text as it is compared: unchanged when case counts, else in lower case.
    QString Comparable(const QString &text) const;

private:
    explicit SearchMatcher(const SearchCriteria &criteria);

    bool PassesDateLimits(const QDateTime &listed) const;
    Verdict ContentVerdict(const QString &name, qint64 size) const;
    bool MatchesPatterns(const QString &name) const;

    SearchCriteria m_criteria; // terms already in the compared case
    std::vector<NamePattern> m_patterns;
    QLocale m_locale;
    bool m_termsEmpty = true;
};
