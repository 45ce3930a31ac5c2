#include "searchcriteria.h"

#include "listingparser.h"

using namespace Qt::StringLiterals;

QStringList PatternList(const QString &text)
{
    const QLocale locale;
    const QStringList pieces = text.split(u';');
    QStringList patterns;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QString pattern = locale.toLower(pieces[i].trimmed());
        const bool lastOfOpenText = i == pieces.size() - 1 && !text.endsWith(u';');
        if (!pattern.isEmpty() || lastOfOpenText)
            patterns.append(pattern);
    }
    return patterns;
}

SearchMatcher::SearchMatcher(const SearchCriteria &criteria)
    : m_criteria(criteria)
{
    for (QString &term : m_criteria.andTerms)
        term = Comparable(term);
    for (QString &term : m_criteria.orTerms)
        term = Comparable(term);
    m_termsEmpty = SetTerms().isEmpty();
}

std::optional<SearchMatcher> SearchMatcher::Prepare(const SearchCriteria &criteria, QString *error)
{
    SearchMatcher matcher(criteria);
    for (const QString &text : PatternList(criteria.patternText)) {
        std::optional<NamePattern> pattern = NamePattern::Compile(text, error);
        if (!pattern)
            return std::nullopt;
        matcher.m_patterns.push_back(std::move(*pattern));
    }
    return matcher;
}

QString SearchMatcher::Comparable(const QString &text) const
{
    return m_criteria.caseSensitive ? text : m_locale.toLower(text);
}

SearchMatcher::Verdict SearchMatcher::TestListedFile(const RemoteEntry &entry) const
{
    if (m_criteria.changedAfter || m_criteria.changedBefore) {
        if (!entry.timestamp.isValid())
            return Verdict::UnreadableDate;
        if (!PassesDateLimits(entry.timestamp))
            return Verdict::NoMatch;
    }
    const QString name = Comparable(entry.name);
    if (m_criteria.searchNames) {
        if (m_termsEmpty || TermsMatch([&name](const QString &term) { return name.contains(term); }))
            return Verdict::Match;
    }
    if (!m_criteria.searchContents)
        return Verdict::NoMatch;
    return ContentVerdict(name, std::max<qint64>(entry.size, 0));
}

bool SearchMatcher::PassesDateLimits(const QDateTime &listed) const
{
    if (m_criteria.changedAfter && listed < *m_criteria.changedAfter)
        return false;
    return !(m_criteria.changedBefore && listed > *m_criteria.changedBefore);
}

SearchMatcher::Verdict SearchMatcher::ContentVerdict(const QString &name, qint64 size) const
{
    if (size == 0 || (m_criteria.sizeLimit > 0 && size > m_criteria.sizeLimit) || !MatchesPatterns(name))
        return Verdict::NoMatch;
    if (m_termsEmpty)
        return Verdict::Match;
    // Content beyond the limit would not be searched after the download either.
    return size > kMaxContentSize ? Verdict::NoMatch : Verdict::NeedsContent;
}

bool SearchMatcher::MatchesPatterns(const QString &name) const
{
    if (m_patterns.empty())
        return true;
    return std::any_of(m_patterns.begin(), m_patterns.end(),
                       [&name](const NamePattern &pattern) { return pattern.Matches(name); });
}

bool SearchMatcher::TermsMatch(const std::function<bool(const QString &term)> &contains) const
{
    for (const QString &term : m_criteria.orTerms) {
        if (!term.isEmpty() && contains(term))
            return true;
    }
    // The AND row counts only when its first field is set.
    if (m_criteria.andTerms[0].isEmpty())
        return false;
    return std::all_of(m_criteria.andTerms.begin(), m_criteria.andTerms.end(),
                       [&contains](const QString &term) { return term.isEmpty() || contains(term); });
}

QStringList SearchMatcher::SetTerms() const
{
    QStringList terms;
    for (const auto *row : {&m_criteria.andTerms, &m_criteria.orTerms}) {
        for (const QString &term : *row) {
            if (!term.isEmpty())
                terms.append(term);
        }
    }
    return terms;
}
