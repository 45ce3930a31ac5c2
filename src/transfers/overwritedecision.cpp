#include "overwritedecision.h"

#include "operationflags.h"

using namespace Qt::StringLiterals;

bool IsLaterThan(const QDateTime &candidate, const QDateTime &reference)
{
    if (!candidate.isValid() || !reference.isValid())
        return false;
    return reference.msecsTo(candidate) > 1;
}

QString SizeText(qint64 bytes)
{
    return SizeText(QString::number(bytes));
}

QString SizeText(const QString &count)
{
    return count + u" Byte"_s;
}

bool DecideTransfer(const ExistingTarget &target, const OverwriteRules &rules, OperationFlags &flags,
                    const std::function<OverwriteAnswer()> &askUser)
{
    if (!target.exists)
        return true;
    if (rules.newOnly && !IsLaterThan(target.sourceTime, target.existingTime))
        return false;
    if (flags.NoToAll)
        return false;
    if (flags.YesToAll || rules.noPrompt)
        return true;
    return ApplyAnswer(askUser(), flags);
}

bool ApplyAnswer(OverwriteAnswer answer, OperationFlags &flags)
{
    switch (answer) {
    case OverwriteAnswer::Yes:
        return true;
    case OverwriteAnswer::YesToAll:
        flags.YesToAll = true;
        return true;
    case OverwriteAnswer::No:
        return false;
    case OverwriteAnswer::NoToAll:
        flags.NoToAll = true;
        return false;
    case OverwriteAnswer::Cancel:
        flags.CancelRequested = true;
        return false;
    }
    return false;
}
