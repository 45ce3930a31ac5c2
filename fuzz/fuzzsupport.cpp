#include "fuzzsupport.h"

#include "datetext.h"

#include <QCoreApplication>
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
    static QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "Kein temporärer Ordner: %s\n", qPrintable(folder.errorString()));
        std::abort();
    }
    return folder.path();
}

} // namespace Fuzz
