#pragma once

#include "searchcrawler.h"

#include <QList>
#include <QString>
#include <QStringList>

class SearchMatcher;
class SearchSession;

// The end report's line on folders whose listing failed; empty for none.
QString SkippedFoldersText(int skippedFolders);

// A saved connection to search: its section in a connection file.
struct SearchTarget {
    QString connectionFile;
    QString section;

    friend bool operator==(const SearchTarget &, const SearchTarget &) = default;
};

// Searches saved connections one after the other with one session: applies
// the profile, logs in, crawls from the login folder, quits. A server that
// cannot be reached or refuses the login is skipped without a message.
class SearchRun {
public:
    struct Hooks {
        SearchCrawler::Hooks crawl;
        std::function<void()> connectionStarting;
        // Logged in; server is the host as the profile names it.
        std::function<void(const QString &server)> serverReached;
    };

    SearchRun(SearchSession &session, const SearchMatcher &matcher, const bool &cancelRequested, Hooks hooks);

    // Returns when every connection was searched or a cancel was seen. An
    // error of the session during a crawl ends the connection with Quit and
    // the whole run: it is thrown on.
    void Run(const QList<SearchTarget> &targets);
    // Folders left out because their listing failed, over the whole run.
    int SkippedFolders() const { return m_skippedFolders; }

private:
    void Search(const SearchTarget &target);

    SearchSession &m_session;
    const SearchMatcher &m_matcher;
    const bool &m_cancelRequested;
    Hooks m_hooks;
    QStringList m_features;
    int m_skippedFolders = 0;
};
