#include "searchcrawler.h"

#include "contentscanner.h"
#include "folderwalk.h"
#include "idexceptions.h"
#include "listingparser.h"
#include "remotelisting.h"
#include "searchcriteria.h"
#include "tidantifreeze.h"
#include "tidftp.h"

using namespace Qt::StringLiterals;

SearchCrawler::SearchCrawler(RemoteFileSystem &session, const QStringList &features,
                             const SearchMatcher &matcher, const bool &cancelRequested, Hooks hooks)
    : m_session(session)
    , m_features(features)
    , m_matcher(matcher)
    , m_cancelRequested(cancelRequested)
    , m_hooks(std::move(hooks))
{
}

void SearchCrawler::Crawl(const QString &server, const QString &startFolder)
{
    m_server = server;
    m_serverLost = false;
    FolderWalk walk(m_session, m_features, FolderWalk::Revisits::Never);
    m_walk = &walk;
    walk.Begin();
    CrawlCurrentFolder(startFolder);
    walk.End();
    m_walk = nullptr;
}

void SearchCrawler::CrawlCurrentFolder(const QString &folder)
{
    if (Stopping())
        return;
    if (m_hooks.folderEntered)
        m_hooks.folderEntered(folder);
    const std::optional<RemoteListing> listing = ListFolder(folder);
    if (!listing)
        return;
    for (const QString &line : listing->lines) {
        if (Stopping())
            break;
        TIdAntiFreeze::DoProcessThrottled();
        ReadEntry(line, listing->mlsd, folder);
    }
}

// One folder whose listing fails (too large, broken off) must not cost the
// hits of every other folder and server.
std::optional<RemoteListing> SearchCrawler::ListFolder(const QString &folder)
{
    try {
        return ListRemoteFolder(m_session, m_features);
    } catch (const EIdException &error) {
        ++m_skippedFolders;
        m_serverLost = !m_session.IsConnected();
        Log(u"Ordner übersprungen, die Auflistung ist fehlgeschlagen: %1 (%2)"_s.arg(folder,
                                                                                     error.Message()));
        if (m_serverLost)
            Log(u"Die Verbindung zu %1 ist verloren, der Rest des Servers wird nicht durchsucht."_s.arg(
                m_server));
        return std::nullopt;
    }
}

void SearchCrawler::ReadEntry(const QString &line, bool mlsd, const QString &folder)
{
    if (IsTotalLine(line))
        return;
    const RemoteEntry entry = ParseListingLine(line, m_session.ListingTimeCorrection(), mlsd);
    if (!NamesFolderEntry(entry))
        return;
    if (entry.kind == RemoteEntry::File)
        TestFile(folder, entry);
    else if (entry.kind == RemoteEntry::Folder)
        CrawlSubfolder(WithTrailingSlash(folder) + entry.name);
}

void SearchCrawler::CrawlSubfolder(const QString &path)
{
    switch (m_walk->Enter(path)) {
    case FolderWalk::Step::Entered:
        CrawlCurrentFolder(path);
        // A cancelled crawl sends nothing more before it quits.
        if (Stopping())
            m_walk->StopHere();
        else
            m_walk->ReturnToParent();
        break;
    case FolderWalk::Step::Skipped:
        Log(u"Nicht durchsucht (ein Link, ein Ordner weiter oben, schon durchsucht oder mehr als %1 Ebenen tief): %2"_s
                .arg(FolderWalk::kMaxDepth)
                .arg(path));
        break;
    case FolderWalk::Step::Refused:
        break;
    }
}

void SearchCrawler::TestFile(const QString &folder, const RemoteEntry &entry)
{
    if (m_hooks.fileTested)
        m_hooks.fileTested(folder, entry.name);
    bool hit = false;
    switch (m_matcher.TestListedFile(entry)) {
    case SearchMatcher::Verdict::Match:
        hit = true;
        break;
    case SearchMatcher::Verdict::NeedsContent:
        hit = ContentMatches(folder, entry);
        break;
    case SearchMatcher::Verdict::UnreadableDate:
        Log(u"Datum nicht lesbar, die Datei fällt durch die Datumsprüfung: %1"_s.arg(
            WithTrailingSlash(folder) + entry.name));
        break;
    case SearchMatcher::Verdict::NoMatch:
        break;
    }
    if (hit && m_hooks.hitFound)
        m_hooks.hitFound({entry.name, m_server, folder, entry.sizeText, entry.dateText, entry.attributes});
}

bool SearchCrawler::ContentMatches(const QString &folder, const RemoteEntry &entry)
{
    ContentScanner content(m_matcher.SetTerms(),
                           [this](const QString &text) { return m_matcher.Comparable(text); });
    if (m_hooks.contentDownloadStarting)
        m_hooks.contentDownloadStarting(entry.size);
    m_session.SetTransferType(ftBinary);
    const bool received = m_session.Retrieve(WithTrailingSlash(folder) + entry.name, content);
    if (m_hooks.contentDownloadStarting)
        m_hooks.contentDownloadStarting(0);
    if (!received || content.BytesReceived() == 0 || content.BytesReceived() > SearchMatcher::kMaxContentSize)
        return false;
    return m_matcher.TermsMatch([&content](const QString &term) { return content.Contains(term); });
}

void SearchCrawler::Log(const QString &line) const
{
    if (m_hooks.log)
        m_hooks.log(line);
}
