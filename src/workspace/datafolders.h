#pragma once

#include <QString>
#include <QStringList>

// The per-user data folders under the documents folder. Every folder path
// ends with "/". Constructing the object creates whatever is missing.
class DataFolders {
public:
    DataFolders();

    const QString &RootFolder() const { return m_root; }
    const QString &TreeFolder() const { return m_tree; }
    const QString &TmpFolder() const { return m_tmp; }
    const QString &WorkFolder() const { return m_work; }
    const QString &LinksFolder() const { return m_links; }
    const QString &ImagesFolder() const { return m_images; }
    const QString &SettingsFile() const { return m_settingsFile; }
    // Server certificates the user accepted (see KnownCertificates).
    QString KnownCertificatesFile() const { return m_root + QStringLiteral("known_certificates"); }
    // The SSH host keys the user accepted, beside ~/.ssh/known_hosts.
    QString KnownHostsFile() const { return m_root + QStringLiteral("known_hosts"); }

    // A file name in the tmp folder made of eight random lower-case letters
    // and ".txt"; redrawn while the name is taken, at most 1000 more times.
    QString NewTemporaryFileName() const;

    // Deletes every file directly inside the folder, making it writable
    // first, except those named in keep. A file that cannot be deleted
    // stays; sub folders are left alone.
    static void DeleteFilesIn(const QString &folder, const QStringList &keep = {});

private:
    QString m_root;
    QString m_settingsFile;
    QString m_tree;
    QString m_tmp;
    QString m_work;
    QString m_links;
    QString m_images;
};
