#include "fuzzsupport.h"

#include "datetext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace Fuzz {

void CheckFailed(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "Eigenschaft verletzt: %s (%s:%d)\n", condition, file, line);
    std::abort();
}

void InitializeOnce(int argc, char **argv)
{
    if (QCoreApplication::instance())
        return;
    qputenv("TZ", "Europe/Berlin");
    tzset();
    LocalClock::System().Reload();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // Never destroyed: Qt's own globals are gone by the time static objects
    // would be, at the end of the process.
    static int applicationArgc = argc > 0 ? 1 : 0;
    new QCoreApplication(applicationArgc, argv);
}

QString ScratchFolder()
{
    // Targets write a file or a folder tree on every run: in memory when the
    // machine has a memory file system, that is a hundred times faster.
    static const QString parent =
        QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static QTemporaryDir folder(parent + QStringLiteral("/glimra-fuzz-XXXXXX"));
    if (!folder.isValid()) {
        std::fprintf(stderr, "Kein temporärer Ordner: %s\n", qPrintable(folder.errorString()));
        std::abort();
    }
    return folder.path();
}

QString WriteScratchFile(const QString &name, const QByteArray &bytes)
{
    const QString path = ScratchFolder() + u'/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

} // namespace Fuzz

// The same for every target: the Qt application object, German formats and
// a time zone with summer time.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Fuzz::InitializeOnce(*argc, *argv);
    return 0;
}
