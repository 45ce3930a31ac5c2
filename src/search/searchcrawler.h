#pragma once

#include "searchhit.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class FolderWalk;
class SearchMatcher;
class RemoteFileSystem;
struct RemoteEntry;
struct RemoteListing;

// Walks a server's folder tree below a start folder with a logged-in
// session, one listing per folder, tests every listed file and reports the
// hits. Downloads a file only when its content decides.
//
// Folders are entered through the walks' common guard (FolderWalk): the
// crawl never leaves the tree through a link, never walks a folder twice
// and goes at most FolderWalk::kMaxDepth levels down.
class SearchCrawler {
public:
    struct Hooks {
        std::function<void(const QString &folder)> folderEntered;
        std::function<void(const QString &folder, const QString &name)> fileTested;
        std::function<void(const SearchHit &hit)> hitFound;
        // The listed size of the file about to be downloaded for its content.
        std::function<void(qint64 size)> contentDownloadStarting;
        std::function<void(const QString &line)> log;
    };

    // cancelRequested is read before every folder and every listing line.
    SearchCrawler(RemoteFileSystem &session, const QStringList &features, const SearchMatcher &matcher,
                  const bool &cancelRequested, Hooks hooks);

    // Crawls the session's current folder, whose path is startFolder;
    // server names the server in the hits. A folder whose listing fails is
    // skipped (and logged); when the server is lost with it, the crawl ends.
    void Crawl(const QString &server, const QString &startFolder);
    // Folders skipped because their listing failed, over every Crawl.
    int SkippedFolders() const { return m_skippedFolders; }

private:
    bool Stopping() const { return m_cancelRequested || m_serverLost; }
    void CrawlCurrentFolder(const QString &folder);
    std::optional<RemoteListing> ListFolder(const QString &folder);
    void ReadEntry(const QString &line, bool mlsd, const QString &folder);
    void CrawlSubfolder(const QString &path);
    void TestFile(const QString &folder, const RemoteEntry &entry);
    bool ContentMatches(const QString &folder, const RemoteEntry &entry);
    void Log(const QString &line) const;

    RemoteFileSystem &m_session;
    const QStringList &m_features;
    const SearchMatcher &m_matcher;
    const bool &m_cancelRequested;
    Hooks m_hooks;
    QString m_server;
    FolderWalk *m_walk = nullptr; // while Crawl runs
    bool m_serverLost = false;
    int m_skippedFolders = 0;
};
