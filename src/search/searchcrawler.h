#pragma once

#include "searchhit.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class SearchMatcher;
class TIdFTP;
struct RemoteEntry;

// Walks a server's folder tree below a start folder with a logged-in
// session, one CWD and one listing per folder, tests every listed file and
// reports the hits. Downloads a file only when its content decides.
//
// The walk never leaves the tree and never loops: a folder the server puts
// elsewhere than its path says (a link) is not walked, no folder is walked
// twice, and the walk goes at most kMaxDepth levels down. Servers that show
// a link to a folder as a folder under the link's own path are caught too:
// a folder listed line for line like a folder of another name above it on
// the path is taken for that folder, reached again through a link.
class SearchCrawler {
public:
    static constexpr int kMaxDepth = 64;

    struct Hooks {
        std::function<void(const QString &folder)> folderEntered;
        std::function<void(const QString &folder, const QString &name)> fileTested;
        std::function<void(const SearchHit &hit)> hitFound;
        // The listed size of the file about to be downloaded for its content.
        std::function<void(qint64 size)> contentDownloadStarting;
        std::function<void(const QString &line)> log;
    };

    // cancelRequested is read before every folder and every listing line.
    SearchCrawler(TIdFTP &session, const QStringList &features, const SearchMatcher &matcher,
                  const bool &cancelRequested, Hooks hooks);

    // server names the server in the hits.
    void Crawl(const QString &server, const QString &startFolder);

private:
    void CrawlFolder(const QString &folder, int depth);
    bool ListedAbove(const QString &name, const QByteArray &listing) const;
    bool Enter(const QString &folder);
    void ReadEntry(const QString &line, bool mlsd, const QString &folder, int depth);
    void TestFile(const QString &folder, const RemoteEntry &entry);
    bool ContentMatches(const QString &folder, const RemoteEntry &entry);
    void Log(const QString &line) const;

    TIdFTP &m_session;
    const QStringList &m_features;
    const SearchMatcher &m_matcher;
    const bool &m_cancelRequested;
    Hooks m_hooks;
    QString m_server;
    QSet<QString> m_visited;
    struct Visit {
        QString name;
        QByteArray listing; // fingerprint
    };
    QList<Visit> m_path; // the folders from the start down to the current one
};
