#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class RemoteFileSystem;

// What is known of a folder the session has entered.
struct FolderIdentity {
    QString path;      // as PWD names it, without a trailing "/"
    QString unique;    // the server's "unique" fact; empty when it gives none
    QString linkAlias; // for a folder entered through a link: the path the
                       // link names, resolved against the folder holding it
};

// Keeps a recursive walk over the server's folders inside the folder it was
// asked to walk. Servers show links to folders differently: some list them
// as plain folders (MLSD on pyftpdlib), some keep the path the client typed
// in PWD, others name the folder the link leads to. So each folder is
// entered and then judged by all that is known of it:
//  - a folder row must be entered under its own path;
//  - a folder that is the walk's start, lies above it or is a folder of the
//    walk itself is not walked again (by its "unique" fact, its PWD and the
//    path a link names), so the walk never loops;
//  - with Revisits::Never no folder is walked twice in the whole walk;
//  - the walk goes no deeper than kMaxDepth below its start.
// A folder that is not walked leaves the session where it was.
class FolderWalk {
public:
    static constexpr int kMaxDepth = 64;

    enum class Revisits { Allowed, Never };
    enum class Step { Entered, Refused, Skipped };

    FolderWalk(RemoteFileSystem &session, const QStringList &features, Revisits revisits);

    // Starts at the session's current folder.
    void Begin();
    bool HasBegun() const { return !m_walk.isEmpty(); }
    void End();

    // Changes into the folder of a folder row at path. Refused: the server
    // refused to change there. Skipped: the folder is not to be walked and
    // the session is back where it was. Entered: the walk goes on there.
    Step Enter(const QString &path);
    // The same for a link row naming target (empty when the listing does
    // not say); a link may lead elsewhere than its own path.
    Step EnterLink(const QString &path, const QString &target);
    // The folder the walk stands in, as PWD named it on the way in; empty
    // when the server named none.
    QString CurrentPath() const { return m_walk.isEmpty() ? QString() : m_walk.last().folder.path; }
    // Back to the folder the current one was entered from.
    void ReturnToParent();
    // Forgets the current folder where the walk stops (after a cancel).
    void StopHere();

private:
    Step Enter(const QString &path, bool isLink, const QString &linkTarget);
    // The session's current folder.
    FolderIdentity Identify();
    // The "unique" fact of a folder (empty: the current one), by MLST.
    QString UniqueFact(const QString &path);
    void ReturnTo(const FolderIdentity &folder);
    bool SeenBefore(const FolderIdentity &folder) const;
    void Remember(const FolderIdentity &folder);

    struct Level {
        FolderIdentity folder;
        bool enteredByItsPath = true;
    };

    RemoteFileSystem &m_session;
    const QStringList &m_features;
    const Revisits m_revisits;
    bool m_useUniqueFacts = false;
    QList<Level> m_walk;
    // The "unique" facts of the folders above the start.
    QStringList m_aboveStart;
    // Every folder walked, for Revisits::Never.
    QSet<QString> m_visited;
};

// --- the judgement, without a session ---------------------------------------

// A remote path without its trailing "/" ("/" stays "/").
QString FolderPath(const QString &remotePath);
// Whether path is folder itself or a folder above it.
bool IsSameOrAbove(const QString &path, const QString &folder);
// The absolute path a link in folder names, resolved without asking the
// server ("." and ".." are taken as written).
QString ResolveLinkTarget(const QString &folder, const QString &target);
// Whether a folder just entered is one of the walk's folders or lies above
// one: walk runs from the start folder down to the current one, and
// aboveStart holds the "unique" facts of the folders above the start.
bool LeadsBackIntoWalk(const QList<FolderIdentity> &walk, const QStringList &aboveStart,
                       const FolderIdentity &entered);
