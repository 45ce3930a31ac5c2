#pragma once

// Saved connections in a temporary connection tree, and searches over them
// against the real servers of a test. Header only.

#include "connectionprofile.h"
#include "connectiontreestore.h"
#include "realftpserver.h"
#include "searchcriteria.h"
#include "searchrun.h"
#include "searchsession.h"
#include "searchtargets.h"
#include "tidftp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

// A profile that logs in to the server; host lets two servers on 127.0.0.1
// carry different server names ("127.0.0.1", "localhost").
inline ConnectionProfile ProfileFor(const RealFtpServer &server,
                                    const QString &host = QStringLiteral("127.0.0.1"))
{
    ConnectionProfile profile;
    profile.FTP_Server = host;
    profile.FTP_Port = QString::number(server.port());
    profile.FTP_User = server.user();
    profile.FTP_Pass = server.password();
    profile.FTP_Passive = true;
    profile.MLSD = true;
    profile.DateTimeNo = true; // listed times stay as the server gives them
    return profile;
}

inline ConnectionProfile TlsProfileFor(const RealFtpServer &server, bool withRootCertificate = true)
{
    ConnectionProfile profile = ProfileFor(server);
    profile.ssl = true;
    if (withRootCertificate)
        profile.RootCertificateFile = server.certificateFile();
    return profile;
}

class ConnectionTreeFixture {
public:
    bool Prepare()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        return m_dir->isValid();
    }

    QString TreeFolder() const { return m_dir->filePath(QStringLiteral("Inhaltsverzeichnis")); }

    // group: "Gruppe/Unter" or empty for the top level.
    bool Save(const QString &group, const QString &name, const ConnectionProfile &profile) const
    {
        const QString groupPath = group.isEmpty() ? QString() : group + QLatin1Char('/');
        QDir().mkpath(TreeFolder() + QLatin1Char('/') + group);
        return ConnectionTreeStore(TreeFolder())
            .SaveConnection(groupPath, QString(), name, profile)
            .has_value();
    }

    QList<SearchTarget> TargetsAt(const QString &path) const
    {
        const ConnectionTreeStore store(TreeFolder());
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        const ConnectionTreeNode *node = SearchTargets::NodeAtPath(tree, path);
        return node ? SearchTargets::Below(store, *node) : QList<SearchTarget>();
    }

    QString Path(const QString &relative) const { return m_dir->filePath(relative); }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

// A search without windows, as glimra-cli runs it.
struct SearchOutcome {
    QList<SearchHit> hits;
    QStringList log;
    QStringList testedFiles;
    int skippedFolders = 0;
};

inline QStringList HitPaths(const QList<SearchHit> &hits)
{
    QStringList paths;
    for (const SearchHit &hit : hits)
        paths.append(hit.server + QLatin1Char(':') +
                     (hit.folder.endsWith(QLatin1Char('/')) ? hit.folder : hit.folder + QLatin1Char('/')) +
                     hit.name);
    paths.sort();
    return paths;
}

inline bool SetFileTime(const QString &path, const QDateTime &time)
{
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = time.toSecsSinceEpoch();
    times[0].tv_nsec = times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

inline bool MakeLink(const QString &target, const QString &linkPath)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(linkPath).constData()) == 0;
}
