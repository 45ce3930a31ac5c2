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

TransferChoice DecideTransfer(const ExistingTarget &target, const OverwriteRules &rules,
                              OperationFlags &flags, const std::function<OverwriteAnswer()> &askUser)
{
    if (!target.exists && !target.resumable)
        return TransferChoice::Replace;
    if (target.exists && rules.newOnly && !IsLaterThan(target.sourceTime, target.existingTime))
        return TransferChoice::Skip;
    // "Nein zu allen" keeps files, and partial data is no file of the user's.
    if (flags.NoToAll)
        return target.exists ? TransferChoice::Skip : TransferChoice::Replace;
    if (flags.YesToAll || rules.noPrompt)
        return TransferChoice::Replace;
    const TransferChoice choice = ApplyAnswer(askUser(), flags);
    return choice == TransferChoice::Continue && !target.resumable ? TransferChoice::Replace : choice;
}

TransferChoice ApplyAnswer(OverwriteAnswer answer, OperationFlags &flags)
{
    switch (answer) {
    case OverwriteAnswer::Yes:
        return TransferChoice::Replace;
    case OverwriteAnswer::YesToAll:
        flags.YesToAll = true;
        return TransferChoice::Replace;
    case OverwriteAnswer::Continue:
        return TransferChoice::Continue;
    case OverwriteAnswer::No:
        return TransferChoice::Skip;
    case OverwriteAnswer::NoToAll:
        flags.NoToAll = true;
        return TransferChoice::Skip;
    case OverwriteAnswer::Cancel:
        flags.CancelRequested = true;
        return TransferChoice::Skip;
    }
    return TransferChoice::Skip;
}
