#pragma once

#include <QString>

#include <memory>

class QFileDevice;
class QIODevice;

// Where a download goes. A regular file is replaced only once the transfer
// has succeeded, so a refused or broken download leaves an existing file as
// it was and creates no empty one. "-" is standard output; devices and pipes
// (/dev/null) are written directly.
class DownloadTarget {
public:
    // Throws CliFailure (kExitUsage) when the file cannot be created.
    explicit DownloadTarget(const QString &path);
    ~DownloadTarget();
    DownloadTarget(const DownloadTarget &) = delete;
    DownloadTarget &operator=(const DownloadTarget &) = delete;

    QIODevice &Device();
    // Puts the received file in place; throws CliFailure (kExitNetwork).
    void Commit();

private:
    QString m_path;
    std::unique_ptr<QFileDevice> m_file;
};
