#include "remoteoperationrules.h"

#include "operationflags.h"
#include "remoterow.h"

using namespace Qt::StringLiterals;

namespace {

const QString kLinkArrow = u" -> "_s;
const QString kNewFolder = u"Neuer_Ordner"_s;
constexpr qsizetype kShortestEntryLine = 15;

} // namespace

bool DecideDelete(bool confirm, OperationFlags &flags, const std::function<DeleteAnswer()> &askUser)
{
    if (flags.YesToAll || !confirm)
        return true;
    switch (askUser()) {
    case DeleteAnswer::Yes:
        return true;
    case DeleteAnswer::YesToAll:
        flags.YesToAll = true;
        return true;
    case DeleteAnswer::Cancel:
        flags.CancelRequested = true;
        return false;
    case DeleteAnswer::No:
    case DeleteAnswer::Closed:
        break;
    }
    return false;
}

QString ServerName(const RemoteRow &row)
{
    return ServerName(row.name, row.Kind() == RemoteRow::kLink);
}

QString ServerName(const QString &caption, bool isLink)
{
    const qsizetype arrow = caption.indexOf(kLinkArrow);
    return isLink && arrow > 0 ? caption.left(arrow) : caption;
}

QString NewFolderName(const QStringList &existingNames)
{
    QString candidate = kNewFolder;
    for (int counter = 1; existingNames.contains(candidate, Qt::CaseSensitive); ++counter)
        candidate = kNewFolder + u'(' + QString::number(counter) + u')';
    return candidate;
}

bool MayNameEntry(const QString &listingLine)
{
    return listingLine.size() >= kShortestEntryLine &&
           !listingLine.startsWith(u"total"_s, Qt::CaseInsensitive);
}

QString MovePrompt(const QStringList &names)
{
    QString prompt = u"Bewegen \""_s;
    for (const QString &name : names)
        prompt += name + u"; "_s;
    return prompt + u"\" nach..."_s;
}

bool LeavesFolder(const QString &typedName)
{
    return typedName.contains(u'/');
}
