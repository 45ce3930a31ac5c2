#include "hitdownloader.h"

#include "connectionprofile.h"
#include "filedownload.h"
#include "idexceptions.h"
#include "remotelisting.h"
#include "searchhit.h"
#include "searchsession.h"
#include "tidftp.h"

using namespace Qt::StringLiterals;

HitDownloader::HitDownloader(SearchSession &session, const QString &treeFolder)
    : m_session(session)
    , m_treeFolder(treeFolder)
{
}

HitDownloader::Outcome HitDownloader::Save(const SearchHit &hit, const QString &localPath)
{
    const bool serverChanged = hit.server != m_lastServer;
    if (!m_session.ApplyConnectionOf(hit.server, m_treeFolder))
        return Outcome::NoConnection;
    if (!IsFitToConnect(m_session.Ftp()))
        return Outcome::UnfitProfile;
    if (OnStarting)
        OnStarting(hit);
    const bool connected = Connect(serverChanged);
    m_lastServer = hit.server;
    if (!connected)
        return Outcome::NotReached;
    if (!hit.folder.isEmpty() && !m_session.Session().ChangeDir(hit.folder))
        return Outcome::FolderRefused;
    return Download(hit, localPath) ? Outcome::Saved : Outcome::DownloadRefused;
}

bool HitDownloader::Connect(bool serverChanged)
{
    if (serverChanged)
        m_session.Close();
    if (m_session.Session().IsConnected())
        return true;
    return m_session.ConnectAndLogin();
}

bool HitDownloader::Download(const SearchHit &hit, const QString &localPath)
{
    FileDownload file;
    file.remotePath = WithTrailingSlash(hit.folder) + hit.name;
    file.target = localPath;
    // A part file that was not committed goes away.
    file.leftover = PartFile::Leftover::Remove;
    return ReceiveFile(m_session.Session(), file, [] { return false; }) == DownloadOutcome::Completed;
}

void HitDownloader::Finish()
{
    m_session.Close();
    m_lastServer.clear();
}
