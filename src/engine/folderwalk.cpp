#include "folderwalk.h"

#include "remotelisting.h"
#include "tidftp.h"

using namespace Qt::StringLiterals;

namespace {

// MLST names the facts of the object on a line of their own:
// " modify=20240101120000;type=dir;unique=fe00g2; /box".
QString FactOf(const QStringList &replyLines, const QString &fact)
{
    const QString key = fact + u'=';
    for (const QString &line : replyLines) {
        const QString facts = line.trimmed().section(u' ', 0, 0);
        for (const QString &entry : facts.split(u';', Qt::SkipEmptyParts)) {
            if (entry.startsWith(key, Qt::CaseInsensitive))
                return entry.mid(key.size());
        }
    }
    return {};
}

// "/a/b" gives "/" and "/a".
QStringList FoldersAbove(const QString &path)
{
    QStringList above;
    if (!path.startsWith(u'/') || path == u"/"_s)
        return above;
    above.append(u"/"_s);
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    QString folder;
    for (qsizetype part = 0; part + 1 < parts.size(); ++part) {
        folder += u'/' + parts[part];
        above.append(folder);
    }
    return above;
}

} // namespace

FolderWalk::FolderWalk(RemoteFileSystem &session, const QStringList &features, Revisits revisits)
    : m_session(session)
    , m_features(features)
    , m_revisits(revisits)
{
}

void FolderWalk::Begin()
{
    End();
    // Servers that answer MLST with a "unique" fact tell the folder behind
    // a link; the others are judged by paths alone.
    m_useUniqueFacts = TIdFTP::HasFeature(m_features, u"MLST"_s);
    const FolderIdentity start = Identify();
    m_useUniqueFacts = !start.unique.isEmpty();
    if (m_useUniqueFacts) {
        for (const QString &folder : FoldersAbove(start.path)) {
            const QString unique = UniqueFact(folder);
            if (!unique.isEmpty())
                m_aboveStart.append(unique);
        }
    }
    m_walk.append({start, true});
    Remember(start);
}

void FolderWalk::End()
{
    m_walk.clear();
    m_aboveStart.clear();
    m_visited.clear();
}

FolderWalk::Step FolderWalk::Enter(const QString &path)
{
    return Enter(path, false, QString());
}

FolderWalk::Step FolderWalk::EnterLink(const QString &path, const QString &target)
{
    return Enter(path, true, target);
}

FolderWalk::Step FolderWalk::Enter(const QString &path, bool isLink, const QString &linkTarget)
{
    if (!HasBegun())
        Begin();
    if (m_walk.size() > kMaxDepth)
        return Step::Skipped;
    if (!m_session.ChangeDir(path))
        return Step::Refused;
    const FolderIdentity &current = m_walk.last().folder;
    FolderIdentity entered = Identify();
    // A server that names no folder in PWD leaves only the other signs.
    const bool byItsPath = entered.path.isEmpty() || entered.path == FolderPath(path);
    if (isLink)
        entered.linkAlias = ResolveLinkTarget(current.path, linkTarget);
    QList<FolderIdentity> walk;
    for (const Level &level : std::as_const(m_walk))
        walk.append(level.folder);
    const bool elsewhere = !isLink && !byItsPath;
    if (elsewhere || LeadsBackIntoWalk(walk, m_aboveStart, entered) || SeenBefore(entered)) {
        ReturnTo(current);
        return Step::Skipped;
    }
    m_walk.append({entered, byItsPath});
    Remember(entered);
    return Step::Entered;
}

void FolderWalk::ReturnToParent()
{
    if (m_walk.isEmpty())
        return;
    const Level left = m_walk.takeLast();
    // CDUP from a folder reached through a link may lead to the parent of
    // the link's target instead.
    if (left.enteredByItsPath || m_walk.isEmpty())
        m_session.ChangeDirUp();
    else
        ReturnTo(m_walk.last().folder);
}

void FolderWalk::StopHere()
{
    if (!m_walk.isEmpty())
        m_walk.removeLast();
}

FolderIdentity FolderWalk::Identify()
{
    FolderIdentity folder;
    folder.path = FolderPath(m_session.CurrentFolderPath());
    if (m_useUniqueFacts)
        folder.unique = UniqueFact(QString());
    return folder;
}

QString FolderWalk::UniqueFact(const QString &path)
{
    const QString command = path.isEmpty() ? u"MLST"_s : u"MLST "_s + path;
    TIdFTP *ftp = m_session.Ftp();
    if (!ftp || ftp->SendChecked(command, 250) != 250)
        return {};
    return FactOf(ftp->ReplyLines(), u"unique"_s);
}

void FolderWalk::ReturnTo(const FolderIdentity &folder)
{
    if (folder.path.isEmpty())
        m_session.ChangeDirUp();
    else
        m_session.ChangeDir(folder.path);
}

bool FolderWalk::SeenBefore(const FolderIdentity &folder) const
{
    if (m_revisits == Revisits::Allowed)
        return false;
    return (!folder.path.isEmpty() && m_visited.contains(u"path:"_s + folder.path)) ||
           (!folder.unique.isEmpty() && m_visited.contains(u"unique:"_s + folder.unique));
}

void FolderWalk::Remember(const FolderIdentity &folder)
{
    if (!folder.path.isEmpty())
        m_visited.insert(u"path:"_s + folder.path);
    if (!folder.unique.isEmpty())
        m_visited.insert(u"unique:"_s + folder.unique);
}

QString FolderPath(const QString &remotePath)
{
    QString path = remotePath;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

bool IsSameOrAbove(const QString &path, const QString &folder)
{
    const QString above = FolderPath(path);
    const QString below = FolderPath(folder);
    if (above.isEmpty() || below.isEmpty())
        return false;
    if (above == below)
        return true;
    return below.startsWith(above == u"/"_s ? above : above + u'/');
}

QString ResolveLinkTarget(const QString &folder, const QString &target)
{
    if (target.isEmpty() || (!target.startsWith(u'/') && !folder.startsWith(u'/')))
        return {};
    const QString joined = target.startsWith(u'/') ? target : WithTrailingSlash(folder) + target;
    QStringList parts;
    for (const QString &part : joined.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u".."_s) {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (part != u"."_s) {
            parts.append(part);
        }
    }
    return u'/' + parts.join(u'/');
}

bool LeadsBackIntoWalk(const QList<FolderIdentity> &walk, const QStringList &aboveStart,
                       const FolderIdentity &entered)
{
    const bool hasUnique = !entered.unique.isEmpty();
    const bool hasAlias = !entered.linkAlias.isEmpty();
    for (const FolderIdentity &folder : walk) {
        if (hasUnique && entered.unique == folder.unique)
            return true;
        if (IsSameOrAbove(entered.path, folder.path))
            return true;
        if (hasAlias &&
            (IsSameOrAbove(entered.linkAlias, folder.path) || entered.linkAlias == folder.linkAlias))
            return true;
    }
    return hasUnique && aboveStart.contains(entered.unique);
}
