#include "downloadtarget.h"

#include "clifailure.h"

#include <QFileInfo>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr QIODevice::OpenMode kWriteMode = QIODevice::WriteOnly | QIODevice::Unbuffered;

bool CanWrite(const QFileInfo &target)
{
    return target.exists() ? target.isWritable() && !target.isDir()
                           : QFileInfo(target.absolutePath()).isWritable();
}

} // namespace

DownloadTarget::DownloadTarget(const QString &path)
{
    if (path == u"-"_s) {
        m_file.open(STDOUT_FILENO, kWriteMode);
    } else {
        const QFileInfo target(path);
        if (!CanWrite(target))
            throw CliFailure{kExitUsage, u"Die Datei %1 kann nicht angelegt werden."_s.arg(path)};
        m_file.setFileName(path);
        m_removeUnlessCommitted = !target.exists();
    }
    open(kWriteMode);
}

DownloadTarget::~DownloadTarget()
{
    if (!m_committed && m_removeUnlessCommitted && m_file.isOpen())
        m_file.remove();
}

void DownloadTarget::Commit()
{
    if (!m_file.isOpen() && !OpenFile())
        throw CliFailure{kExitNetwork, errorString()};
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        throw CliFailure{kExitNetwork, u"Die Datei %1 kann nicht geschrieben werden: %2"_s.arg(
                                           m_file.fileName(), m_file.errorString())};
    m_committed = true;
}

qint64 DownloadTarget::readData(char *, qint64)
{
    return -1;
}

qint64 DownloadTarget::writeData(const char *data, qint64 size)
{
    if (!m_file.isOpen() && !OpenFile())
        return -1;
    const qint64 written = m_file.write(data, size);
    if (written < 0)
        setErrorString(m_file.errorString());
    return written;
}

bool DownloadTarget::OpenFile()
{
    if (m_file.open(kWriteMode | QIODevice::Truncate))
        return true;
    setErrorString(
        u"Die Datei %1 kann nicht angelegt werden: %2"_s.arg(m_file.fileName(), m_file.errorString()));
    return false;
}
