#include "partfile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

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

PartFile::PartFile(const QString &targetPath, Leftover leftover)
    : m_target(targetPath)
    , m_leftover(leftover)
{
}

PartFile::~PartFile()
{
    if (KeepsPartialData())
        m_part.close();
    else
        Discard();
}

// Only data under the first part name is ever found again.
bool PartFile::KeepsPartialData() const
{
    return m_leftover == Leftover::Keep && m_created &&
           m_part.fileName() == PartPath(ResolvedTarget(m_target)) && m_part.size() > 0;
}

QString PartFile::PartPath(const QString &targetPath, int attempt)
{
    const QFileInfo target(targetPath);
    const QString suffix = attempt > 0 ? kPartSuffix + u'-' + QString::number(attempt) : kPartSuffix;
    const QString name = CutToBytes(target.fileName(), NAME_MAX - QFile::encodeName(suffix).size());
    return QDir(target.path()).filePath(name + suffix);
}

QFileInfo PartFile::PartialData(const QString &targetPath)
{
    const QString target = ResolvedTarget(targetPath);
    const QString kept = PartPath(target);
    if (IsPartialData(kept))
        return QFileInfo(kept);
    const QFileInfo existing(target);
    return existing.isFile() ? existing : QFileInfo();
}

QString PartFile::ResolvedTarget(const QString &targetPath)
{
    const QFileInfo target(targetPath);
    if (!target.isSymLink())
        return targetPath;
    const QString resolved = target.canonicalFilePath();
    return resolved.isEmpty() ? target.symLinkTarget() : resolved;
}

// A plain file of this user's; a link there, or a file someone else put
// there, is not ours to write into.
bool PartFile::IsPartialData(const QString &partPath)
{
    struct stat status = {};
    return ::lstat(QFile::encodeName(partPath).constData(), &status) == 0 && S_ISREG(status.st_mode) &&
           status.st_uid == ::geteuid();
}

// Opens earlier partial data without truncating it, and checks that what
// was opened is the plain file that was checked: a link put there
// meanwhile must not have its target written.
bool PartFile::OpenPart(const QString &partPath)
{
    m_part.setFileName(partPath);
    if (!m_part.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return Fail(m_part.errorString());
    struct stat opened = {};
    struct stat named = {};
    const bool same = ::fstat(m_part.handle(), &opened) == 0 &&
                      ::lstat(QFile::encodeName(partPath).constData(), &named) == 0 &&
                      S_ISREG(named.st_mode) && opened.st_dev == named.st_dev &&
                      opened.st_ino == named.st_ino && opened.st_uid == ::geteuid();
    if (!same) {
        m_part.close();
        return Fail(u"Die Teildatei %1 ist keine gewöhnliche Datei."_s.arg(partPath));
    }
    m_created = true;
    return true;
}

bool PartFile::Open()
{
    const QString target = ResolvedTarget(m_target);
    if (QFileInfo(target).isDir())
        return Fail(u"Es gibt dort einen Ordner dieses Namens."_s);
    // Partial data of an earlier download starts over; when that fails, a
    // new part file is taken beside it.
    const QString kept = PartPath(target);
    if (IsPartialData(kept) && OpenPart(kept)) {
        if (m_part.resize(0))
            return true;
        m_part.close();
        m_created = false;
    }
    for (int attempt = 0; attempt < kPartAttempts; ++attempt) {
        const QString partPath = PartPath(target, attempt);
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

bool PartFile::OpenToContinue()
{
    const QString target = ResolvedTarget(m_target);
    const QString kept = PartPath(target);
    if (!IsPartialData(kept)) {
        if (!QFileInfo(target).isFile())
            return Fail(u"Es gibt keine Teildaten, die sich fortsetzen ließen."_s);
        // A copy is continued: the target stays as it is until the new
        // file is complete.
        if (!QFile::copy(target, kept))
            return Fail(u"Die Datei %1 kann nicht kopiert werden."_s.arg(target));
        QFile::setPermissions(kept,
                              QFile::permissions(kept) | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    }
    if (!OpenPart(kept))
        return false;
    m_part.seek(m_part.size());
    return true;
}

bool PartFile::Commit(const QDateTime &modified)
{
    if (!m_created)
        return Fail(u"Die Datei wurde nicht angelegt."_s);
    const QString target = ResolvedTarget(m_target);
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
