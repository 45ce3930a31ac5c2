#pragma once

#include <QString>

#include <functional>

// Where the files of one save into a chosen folder go, when a file of the
// same name is there already: the question, its answers, and what they
// mean for this file and the ones after it.
class SaveTargets {
public:
    enum class Answer { Replace, ReplaceAll, Keep, KeepAll, Rename, RenameAll, Stop };
    // Asked with the name that is taken and a free name to suggest; for
    // Rename, typedName receives the name the user settled on.
    using Ask = std::function<Answer(const QString &name, const QString &suggestion, QString &typedName)>;

    // folder ends with "/".
    explicit SaveTargets(const QString &folder);

    // The path to save a file of that name to; empty when it is skipped, or
    // when the user stopped the whole save (Stopped() then says so).
    QString TargetFor(const QString &name, const Ask &ask);
    bool Stopped() const { return m_stopped; }

    // The name with "(n)" before its extension (the text from the last "."
    // on), with the first n = 1, 2, ... that is free in the folder.
    static QString SuggestedName(const QString &name, const QString &folder);
    // A name from a server or a results file that stays inside the folder it
    // is written to: not empty, not "." or "..", without "/" or "\".
    static bool IsSafeName(const QString &name);

private:
    enum class State { ReplaceOne, ReplaceAll, SkipOne, SkipAll, RenameOne, RenameAll };

    static State StateFor(Answer answer);

    QString m_folder;
    State m_state = State::ReplaceOne;
    bool m_stopped = false;
};
