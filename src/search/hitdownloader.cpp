#include "hitdownloader.h"

#include "connectionprofile.h"
#include "idexceptions.h"
#include "remotelisting.h"
#include "searchhit.h"
#include "searchsession.h"
#include "tidftp.h"

#include <QSaveFile>

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
    TIdFTP &ftp = m_session.Session();
    if (!IsFitToConnect(ftp))
        return Outcome::UnfitProfile;
    if (OnStarting)
        OnStarting(hit);
    const bool connected = Connect(serverChanged);
    m_lastServer = hit.server;
    if (!connected)
        return Outcome::NotReached;
    if (!hit.folder.isEmpty() && !ftp.ChangeDir(hit.folder))
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
    TIdFTP &ftp = m_session.Session();
    ftp.SetTransferType(ftBinary);
    QSaveFile file(localPath);
    if (!file.open(QIODevice::WriteOnly))
        throw EIdException(
            u"Die Datei %1 kann nicht angelegt werden: %2"_s.arg(localPath, file.errorString()));
    if (!ftp.Retrieve(WithTrailingSlash(hit.folder) + hit.name, file)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        throw EIdException(
            u"Die Datei %1 kann nicht geschrieben werden: %2"_s.arg(localPath, file.errorString()));
    return true;
}

void HitDownloader::Finish()
{
    m_session.Close();
    m_lastServer.clear();
}
