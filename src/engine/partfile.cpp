#include "partfile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kPartSuffix = u".glimra-part"_s;
// The mark of a part file this program made; a file without it is never
// taken for partial data, whatever its name.
constexpr char kPartMark[] = "user.glimra.partial";
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

PartFile::PartFile(const QString &targetPath, Leftover leftover, const QSet<QString> &reservedNames)
    : m_target(targetPath)
    , m_leftover(leftover)
    , m_reservedNames(reservedNames)
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
    return m_leftover == Leftover::Keep && m_created && m_marked &&
           m_part.fileName() == KeptPartPath(ResolvedTarget(m_target).path, m_reservedNames) &&
           m_part.size() > 0;
}

QString PartFile::PartPath(const QString &targetPath, int attempt)
{
    const QFileInfo target(targetPath);
    const QString suffix = attempt > 0 ? kPartSuffix + u'-' + QString::number(attempt) : kPartSuffix;
    const QString name = CutToBytes(target.fileName(), NAME_MAX - QFile::encodeName(suffix).size());
    return QDir(target.path()).filePath(name + suffix);
}

QString PartFile::KeptPartPath(const QString &targetPath, const QSet<QString> &reservedNames)
{
    for (int attempt = 0;; ++attempt) {
        const QString path = PartPath(targetPath, attempt);
        if (!reservedNames.contains(QFileInfo(path).fileName()) || attempt >= kPartAttempts)
            return path;
    }
}

QFileInfo PartFile::PartialData(const QString &targetPath, const QSet<QString> &reservedNames)
{
    const Target target = ResolvedTarget(targetPath);
    const QString kept = KeptPartPath(target.path, reservedNames);
    if (IsPartialData(kept))
        return QFileInfo(kept);
    return S_ISREG(target.mode) ? QFileInfo(target.path) : QFileInfo();
}

PartFile::Target PartFile::ResolvedTarget(const QString &targetPath)
{
    struct stat status = {};
    if (::lstat(QFile::encodeName(targetPath).constData(), &status) != 0)
        return {targetPath, 0};
    if (!S_ISLNK(status.st_mode))
        return {targetPath, status.st_mode};
    const QFileInfo link(targetPath);
    const QString canonical = link.canonicalFilePath();
    Target target{canonical.isEmpty() ? link.symLinkTarget() : canonical, 0};
    if (::stat(QFile::encodeName(target.path).constData(), &status) == 0)
        target.mode = status.st_mode;
    return target;
}

// A plain file of this user's with the part mark; a link there, a file
// someone else put there, or one that only has the name is not ours to
// write into.
bool PartFile::IsPartialData(const QString &partPath)
{
    const QByteArray name = QFile::encodeName(partPath);
    struct stat status = {};
    char mark = 0;
    return ::lstat(name.constData(), &status) == 0 && S_ISREG(status.st_mode) &&
           status.st_uid == ::geteuid() && ::lgetxattr(name.constData(), kPartMark, &mark, 1) == 1;
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
    const Target target = ResolvedTarget(m_target);
    if (S_ISDIR(target.mode))
        return Fail(u"Es gibt dort einen Ordner dieses Namens."_s);
    // Partial data of an earlier download starts over; when that fails, a
    // new part file is taken beside it.
    const QString kept = KeptPartPath(target.path, m_reservedNames);
    for (int attempt = 0; attempt < kPartAttempts; ++attempt) {
        const QString partPath = PartPath(target.path, attempt);
        if (m_reservedNames.contains(QFileInfo(partPath).fileName()))
            continue;
        if (CreatePart(partPath) || (partPath == kept && StartOver(kept)))
            return true;
        if (!QFileInfo(partPath).isSymLink() && !QFileInfo::exists(partPath))
            return Fail(m_part.errorString());
    }
    return Fail(m_part.errorString());
}

// Empties the partial data an earlier download kept under the part name.
bool PartFile::StartOver(const QString &partPath)
{
    if (!IsPartialData(partPath) || !OpenPart(partPath))
        return false;
    m_marked = true;
    if (m_part.resize(0))
        return true;
    m_part.close();
    m_created = false;
    return false;
}

// Never opens a file that is already there: it may be the user's. A file
// system without extended attributes gets an unmarked part file, which no
// later download takes for its own.
bool PartFile::CreatePart(const QString &partPath)
{
    m_part.setFileName(partPath);
    if (!m_part.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return false;
    m_created = true;
    const char mark = '1';
    m_marked = ::fsetxattr(m_part.handle(), kPartMark, &mark, 1, 0) == 0;
    return true;
}

bool PartFile::OpenToContinue()
{
    const Target target = ResolvedTarget(m_target);
    const QString kept = KeptPartPath(target.path, m_reservedNames);
    if (IsPartialData(kept)) {
        if (!OpenPart(kept))
            return false;
        m_marked = true;
        m_part.seek(m_part.size());
        return true;
    }
    if (!S_ISREG(target.mode))
        return Fail(u"Es gibt keine Teildaten, die sich fortsetzen ließen."_s);
    // A copy is continued: the target stays as it is until the new file is
    // complete.
    QFile source(target.path);
    if (!source.open(QIODevice::ReadOnly) || !CreatePart(kept))
        return Fail(u"Die Datei %1 kann nicht kopiert werden."_s.arg(target.path));
    char buffer[64 * 1024];
    for (qint64 count; (count = source.read(buffer, sizeof buffer)) > 0;) {
        if (m_part.write(buffer, count) != count) {
            Discard();
            return Fail(u"Die Datei %1 kann nicht kopiert werden."_s.arg(target.path));
        }
    }
    return true;
}

bool PartFile::Commit(const QDateTime &modified)
{
    if (!m_created)
        return Fail(u"Die Datei wurde nicht angelegt."_s);
    if (!StillNamesPart()) {
        m_part.close();
        m_created = false;
        return Fail(u"Die Teildatei %1 wurde durch eine andere Datei ersetzt."_s.arg(m_part.fileName()));
    }
    // The complete file is no partial data any more.
    if (m_marked)
        ::fremovexattr(m_part.handle(), kPartMark);
    const Target target = ResolvedTarget(m_target);
    if (target.mode != 0)
        ::fchmod(m_part.handle(), (target.mode & 0777) | S_IWUSR);
    if (modified.isValid())
        m_part.setFileTime(modified, QFileDevice::FileModificationTime);
    m_part.close();
    if (m_part.error() != QFileDevice::NoError) {
        const QString error = m_part.errorString();
        RemoveClosedPart();
        return Fail(error);
    }
    // rename() replaces the target in one step; QFile::rename would refuse
    // an existing target.
    if (std::rename(QFile::encodeName(m_part.fileName()).constData(),
                    QFile::encodeName(target.path).constData()) != 0) {
        const QString error = QString::fromLocal8Bit(std::strerror(errno));
        RemoveClosedPart();
        return Fail(error);
    }
    m_created = false;
    return true;
}

// Only right after the check that the name was still the part file's.
void PartFile::RemoveClosedPart()
{
    QFile::remove(m_part.fileName());
    m_created = false;
}

bool PartFile::StillNamesPart() const
{
    struct stat opened = {};
    struct stat named = {};
    return ::fstat(m_part.handle(), &opened) == 0 &&
           ::lstat(QFile::encodeName(m_part.fileName()).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
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
    const bool ours = m_part.isOpen() && StillNamesPart();
    m_part.close();
    if (ours)
        QFile::remove(m_part.fileName());
    m_created = false;
}
