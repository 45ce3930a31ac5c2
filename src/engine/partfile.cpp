#include "partfile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

const QString kPartSuffix = u".glimra-part"_s;
// Taken part names are skipped; beyond this many something else is wrong.
constexpr int kPartAttempts = 100;

// A name cut to at most maxBytes in the file system's encoding, never in
// the middle of a character.
QString CutToBytes(QString name, qsizetype maxBytes)
{
    while (!name.isEmpty() && QFile::encodeName(name).size() > maxBytes)
        name.chop(name.size() > 1 && name.back().isLowSurrogate() ? 2 : 1);
    return name;
}

} // namespace

PartFile::PartFile(const QString &targetPath)
    : m_target(targetPath)
{
}

PartFile::~PartFile()
{
    Discard();
}

QString PartFile::PartPath(const QString &targetPath, int attempt)
{
    const QFileInfo target(targetPath);
    const QString suffix = attempt > 0 ? kPartSuffix + u'-' + QString::number(attempt) : kPartSuffix;
    const QString name = CutToBytes(target.fileName(), NAME_MAX - QFile::encodeName(suffix).size());
    return QDir(target.path()).filePath(name + suffix);
}

QString PartFile::ResolvedTarget() const
{
    const QFileInfo target(m_target);
    if (!target.isSymLink())
        return m_target;
    const QString resolved = target.canonicalFilePath();
    return resolved.isEmpty() ? target.symLinkTarget() : resolved;
}

bool PartFile::Open()
{
    if (QFileInfo(ResolvedTarget()).isDir())
        return Fail(u"Es gibt dort einen Ordner dieses Namens."_s);
    for (int attempt = 0; attempt < kPartAttempts; ++attempt) {
        const QString partPath = PartPath(ResolvedTarget(), attempt);
        m_part.setFileName(partPath);
        // Never opens a file that is already there: it may be the user's.
        if (m_part.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            m_created = true;
            return true;
        }
        if (!QFileInfo(partPath).isSymLink() && !QFileInfo::exists(partPath))
            return Fail(m_part.errorString());
    }
    return Fail(m_part.errorString());
}

bool PartFile::Commit(const QDateTime &modified)
{
    if (!m_created)
        return Fail(u"Die Datei wurde nicht angelegt."_s);
    const QString target = ResolvedTarget();
    const QFileInfo replaced(target);
    if (replaced.exists())
        m_part.setPermissions(replaced.permissions() | QFileDevice::WriteOwner);
    if (modified.isValid())
        m_part.setFileTime(modified, QFileDevice::FileModificationTime);
    m_part.close();
    if (m_part.error() != QFileDevice::NoError) {
        const QString error = m_part.errorString();
        Discard();
        return Fail(error);
    }
    // rename() replaces the target in one step; QFile::rename would refuse
    // an existing target.
    if (std::rename(QFile::encodeName(m_part.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        const QString error = QString::fromLocal8Bit(std::strerror(errno));
        Discard();
        return Fail(error);
    }
    m_created = false;
    return true;
}

bool PartFile::Fail(const QString &error)
{
    m_error = error;
    return false;
}

void PartFile::Discard()
{
    if (!m_created)
        return;
    m_part.close();
    m_part.remove();
    m_created = false;
}
