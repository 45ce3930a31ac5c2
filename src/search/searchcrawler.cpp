#include "searchcrawler.h"

#include "contentscanner.h"
#include "listingparser.h"
#include "remotelisting.h"
#include "searchcriteria.h"
#include "tidantifreeze.h"
#include "tidftp.h"

#include <QCryptographicHash>

using namespace Qt::StringLiterals;

namespace {

// Servers differ in whether a folder path ends in "/".
QString ComparablePath(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QByteArray Fingerprint(const QStringList &lines)
{
    return QCryptographicHash::hash(lines.join(u'\n').toUtf8(), QCryptographicHash::Sha1);
}

} // namespace

SearchCrawler::SearchCrawler(TIdFTP &session, const QStringList &features, const SearchMatcher &matcher,
                             const bool &cancelRequested, Hooks hooks)
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
    m_visited.clear();
    m_path.clear();
    CrawlFolder(startFolder, 0);
}

void SearchCrawler::CrawlFolder(const QString &folder, int depth)
{
    if (m_cancelRequested)
        return;
    if (m_hooks.folderEntered)
        m_hooks.folderEntered(folder);
    if (depth > kMaxDepth) {
        Log(u"Nicht durchsucht (mehr als %1 Ebenen tief): %2"_s.arg(kMaxDepth).arg(folder));
        return;
    }
    if (!Enter(folder))
        return;
    const RemoteListing listing = ListRemoteFolder(m_session, m_features);
    const Visit visit{folder.section(u'/', -1), Fingerprint(listing.lines)};
    if (ListedAbove(visit.name, visit.listing)) {
        Log(u"Nicht durchsucht (derselbe Ordner wie weiter oben, über einen Link): %1"_s.arg(folder));
        return;
    }
    m_path.append(visit);
    for (const QString &line : listing.lines) {
        if (m_cancelRequested)
            break;
        TIdAntiFreeze::DoProcessThrottled();
        ReadEntry(line, listing.mlsd, folder, depth);
    }
    m_path.removeLast();
}

// Nested folders of one name ("a/a/a") may well list alike; a link has a
// name of its own.
bool SearchCrawler::ListedAbove(const QString &name, const QByteArray &listing) const
{
    return std::any_of(m_path.begin(), m_path.end(),
                       [&](const Visit &above) { return above.listing == listing && above.name != name; });
}

// CWD into the folder; the server's own name for it must be the path it was
// asked for, and one it already gave must not come again.
bool SearchCrawler::Enter(const QString &folder)
{
    if (m_session.SendChecked(u"CWD "_s + folder, 250) != 250)
        return false;
    const QString entered = ComparablePath(m_session.CurrentDir());
    if (!entered.isEmpty() && entered != ComparablePath(folder)) {
        Log(u"Nicht durchsucht (führt nach %1): %2"_s.arg(entered, folder));
        return false;
    }
    const QString key = entered.isEmpty() ? ComparablePath(folder) : entered;
    if (m_visited.contains(key))
        return false;
    m_visited.insert(key);
    return true;
}

void SearchCrawler::ReadEntry(const QString &line, bool mlsd, const QString &folder, int depth)
{
    if (IsTotalLine(line))
        return;
    const RemoteEntry entry = ParseListingLine(line, m_session.TimeCorrection, mlsd);
    if (!NamesFolderEntry(entry))
        return;
    if (entry.kind == RemoteEntry::File)
        TestFile(folder, entry);
    else if (entry.kind == RemoteEntry::Folder)
        CrawlFolder(WithTrailingSlash(folder) + entry.name, depth + 1);
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
