#include "downloadtarget.h"

#include "clifailure.h"

#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr QIODevice::OpenMode kWriteMode = QIODevice::WriteOnly | QIODevice::Unbuffered;

} // namespace

DownloadTarget::DownloadTarget(const QString &path)
    : m_path(path)
{
    bool opened = false;
    const QFileInfo info(path);
    if (path == u"-"_s) {
        auto output = std::make_unique<QFile>();
        opened = output->open(STDOUT_FILENO, kWriteMode);
        m_file = std::move(output);
    } else if (info.exists() && !info.isFile()) {
        auto device = std::make_unique<QFile>(path);
        opened = device->open(kWriteMode);
        m_file = std::move(device);
    } else {
        auto file = std::make_unique<QSaveFile>(path);
        opened = file->open(kWriteMode);
        m_file = std::move(file);
    }
    if (!opened)
        throw CliFailure{kExitUsage,
                         u"Die Datei %1 kann nicht angelegt werden: %2"_s.arg(path, m_file->errorString())};
}

DownloadTarget::~DownloadTarget() = default;

QIODevice &DownloadTarget::Device()
{
    return *m_file;
}

void DownloadTarget::Commit()
{
    auto *file = qobject_cast<QSaveFile *>(m_file.get());
    if (file ? file->commit() : m_file->flush())
        return;
    throw CliFailure{kExitNetwork,
                     u"Die Datei %1 kann nicht gespeichert werden: %2"_s.arg(m_path, m_file->errorString())};
}
