#include "searchrun.h"

#include "searchsession.h"
#include "tidantifreeze.h"
#include "tidftp.h"

#include <QScopeGuard>

using namespace Qt::StringLiterals;

QString SkippedFoldersText(int skippedFolders)
{
    if (skippedFolders <= 0)
        return QString();
    if (skippedFolders == 1)
        return u"Ein Ordner wurde übersprungen, weil seine Auflistung fehlschlug (siehe Protokoll)."_s;
    return u"%1 Ordner wurden übersprungen, weil ihre Auflistung fehlschlug (siehe Protokoll)."_s.arg(
        skippedFolders);
}

SearchRun::SearchRun(SearchSession &session, const SearchMatcher &matcher, const bool &cancelRequested,
                     Hooks hooks)
    : m_session(session)
    , m_matcher(matcher)
    , m_cancelRequested(cancelRequested)
    , m_hooks(std::move(hooks))
{
}

void SearchRun::Run(const QList<SearchTarget> &targets)
{
    for (const SearchTarget &target : targets) {
        if (m_hooks.connectionStarting)
            m_hooks.connectionStarting();
        if (m_cancelRequested)
            break;
        Search(target);
    }
}

void SearchRun::Search(const SearchTarget &target)
{
    if (!m_session.ApplyConnection(target.connectionFile, target.section))
        return;
    RemoteFileSystem &remote = m_session.Session();
    // With a proxy the session's host becomes the proxy's while connecting.
    const QString server = m_session.Ftp().Host;
    TIdAntiFreeze::DoProcess();
    if (!m_session.ConnectAndLogin())
        return;
    const auto quit = qScopeGuard([this] { m_session.Close(); });
    if (m_hooks.serverReached)
        m_hooks.serverReached(server);
    remote.SetTransferType(ftASCII);
    m_features.clear();
    if (TIdFTP *ftp = remote.Ftp())
        ftp->ProbeFeatures(m_features);
    SearchCrawler crawler(remote, m_features, m_matcher, m_cancelRequested, m_hooks.crawl);
    crawler.Crawl(server, remote.CurrentFolderPath());
    m_skippedFolders += crawler.SkippedFolders();
}
