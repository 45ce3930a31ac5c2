#pragma once

#include <QFile>
#include <QIODevice>
#include <QString>

// Where a download goes. The file is created, or an existing one emptied,
// only when the first bytes arrive (or when an empty file has been
// received), so a download the server refuses leaves an existing file as
// it was and creates none. A new file that a failed transfer began is
// removed again. "-" is standard output.
class DownloadTarget : public QIODevice {
public:
    // Throws CliFailure (kExitUsage) when the file cannot be written.
    explicit DownloadTarget(const QString &path);
    ~DownloadTarget() override;

    // Marks the download as complete; throws CliFailure (kExitNetwork) when
    // the file cannot be written to the end.
    void Commit();

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool OpenFile();

    QFile m_file;
    bool m_removeUnlessCommitted = false;
    bool m_committed = false;
};
