#include "namepattern.h"

using namespace Qt::StringLiterals;

namespace {

bool IsAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

QChar OtherCase(QChar c)
{
    return QChar(c.unicode() ^ 0x20);
}

bool SameCharacter(QChar patternCharacter, QChar character)
{
    return patternCharacter == character ||
           (IsAsciiLetter(character) && patternCharacter == OtherCase(character));
}

} // namespace

std::optional<NamePattern> NamePattern::Compile(const QString &text, QString *error)
{
    NamePattern pattern;
    pattern.m_text = text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        Element element;
        const QChar c = text[i];
        if (c == u'*') {
            // A run of stars is one star.
            if (!pattern.m_elements.empty() && pattern.m_elements.back().kind == Element::Kind::AnyRun)
                continue;
            element.kind = Element::Kind::AnyRun;
        } else if (c == u'?') {
            element.kind = Element::Kind::AnyCharacter;
        } else if (c == u'[') {
            element.kind = Element::Kind::Set;
            qsizetype j = i + 1;
            if (j < text.size() && text[j] == u'!') {
                element.negated = true;
                ++j;
            }
            // A "]" right at the start is a member, not the end.
            const qsizetype firstMember = j;
            while (j < text.size() && (text[j] != u']' || j == firstMember)) {
                QChar first = text[j];
                QChar last = first;
                if (j + 2 < text.size() && text[j + 1] == u'-' && text[j + 2] != u']') {
                    last = text[j + 2];
                    j += 2;
                }
                element.ranges.emplace_back(std::min(first, last), std::max(first, last));
                ++j;
            }
            if (j >= text.size()) {
                if (error)
                    *error = u"Das Dateimuster \"%1\" ist fehlerhaft: zur \"[\" an Stelle %2 fehlt die "
                             u"schließende \"]\"."_s.arg(text)
                                 .arg(i + 1);
                return std::nullopt;
            }
            i = j;
        } else {
            element.character = c;
        }
        pattern.m_elements.push_back(std::move(element));
    }
    return pattern;
}

// Greedy with one backtrack point: a mismatch after a star lets that star
// take one more character, which is enough because a later star can cover
// everything an earlier one could.
bool NamePattern::Matches(QStringView name) const
{
    const std::size_t none = m_elements.size();
    std::size_t element = 0;
    qsizetype position = 0;
    std::size_t starElement = none;
    qsizetype starPosition = 0;
    while (position < name.size()) {
        if (element < m_elements.size() && m_elements[element].kind == Element::Kind::AnyRun) {
            starElement = element++;
            starPosition = position;
        } else if (element < m_elements.size() && MatchesOne(m_elements[element], name[position])) {
            ++element;
            ++position;
        } else if (starElement != none) {
            element = starElement + 1;
            position = ++starPosition;
        } else {
            return false;
        }
    }
    while (element < m_elements.size() && m_elements[element].kind == Element::Kind::AnyRun)
        ++element;
    return element == m_elements.size();
}

bool NamePattern::MatchesOne(const Element &element, QChar character)
{
    switch (element.kind) {
    case Element::Kind::Literal:
        return SameCharacter(element.character, character);
    case Element::Kind::AnyCharacter:
        return true;
    case Element::Kind::Set:
        return InSet(element, character) != element.negated;
    case Element::Kind::AnyRun:
        break;
    }
    return false;
}

bool NamePattern::InSet(const Element &set, QChar character)
{
    const auto inRanges = [&set](QChar c) {
        for (const auto &[first, last] : set.ranges) {
            if (c >= first && c <= last)
                return true;
        }
        return false;
    };
    return inRanges(character) || (IsAsciiLetter(character) && inRanges(OtherCase(character)));
}
