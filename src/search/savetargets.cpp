#include "savetargets.h"

#include "treefiles.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

SaveTargets::SaveTargets(const QString &folder)
    : m_folder(folder)
{
}

QString SaveTargets::TargetFor(const QString &name, const Ask &ask)
{
    const QString path = m_folder + name;
    if (!QFileInfo::exists(path))
        return path;
    QString typedName;
    if (m_state != State::ReplaceAll && m_state != State::SkipAll && m_state != State::RenameAll) {
        const Answer answer = ask(name, SuggestedName(name, m_folder), typedName);
        if (answer == Answer::Stop) {
            m_stopped = true;
            return QString();
        }
        m_state = StateFor(answer);
    }
    switch (m_state) {
    case State::ReplaceOne:
    case State::ReplaceAll:
        return path;
    case State::RenameOne:
        return m_folder + typedName;
    case State::RenameAll:
        return m_folder + SuggestedName(name, m_folder);
    case State::SkipOne:
    case State::SkipAll:
        break;
    }
    return QString();
}

SaveTargets::State SaveTargets::StateFor(Answer answer)
{
    switch (answer) {
    case Answer::Replace:
        return State::ReplaceOne;
    case Answer::ReplaceAll:
        return State::ReplaceAll;
    case Answer::Keep:
        return State::SkipOne;
    case Answer::Rename:
        return State::RenameOne;
    case Answer::RenameAll:
        return State::RenameAll;
    case Answer::KeepAll:
    case Answer::Stop:
        break;
    }
    return State::SkipAll;
}

QString SaveTargets::SuggestedName(const QString &name, const QString &folder)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString base = dot < 0 ? name : name.left(dot);
    const QString extension = dot < 0 ? QString() : name.mid(dot);
    // The name itself counts as taken: the suggestion always carries a number.
    return TreeFiles::FirstFreeName(base, extension, QString(), [&](const QString &candidate) {
        return candidate == name || QFileInfo::exists(folder + candidate);
    });
}

bool SaveTargets::IsSafeName(const QString &name)
{
    return !name.isEmpty() && name != u"."_s && name != u".."_s && !name.contains(u'/') &&
           !name.contains(u'\\');
}
