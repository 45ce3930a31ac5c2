#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

#include <optional>
#include <utility>
#include <vector>

// A file name pattern: "*" stands for any run of characters, "?" for one
// character, "[...]" for one character of a set with ranges such as "a-z",
// where "!" at the start negates the set. Letters A to Z match in either
// case; every other character matches only itself.
class NamePattern {
public:
    // Nothing when the pattern is malformed (an unclosed "["); *error then
    // says why, for the user.
    static std::optional<NamePattern> Compile(const QString &text, QString *error = nullptr);

    bool Matches(QStringView name) const;
    const QString &Text() const { return m_text; }

private:
    struct Element {
        enum class Kind { Literal, AnyCharacter, AnyRun, Set };
        Kind kind = Kind::Literal;
        QChar character;                             // Literal
        bool negated = false;                        // Set
        std::vector<std::pair<QChar, QChar>> ranges; // Set: first and last, both included
    };

    static bool MatchesOne(const Element &element, QChar character);
    static bool InSet(const Element &set, QChar character);

    QString m_text;
    std::vector<Element> m_elements;
};
