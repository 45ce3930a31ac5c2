// glimra-cli: the FTP engine of Glimra on the command line.
#include "clifailure.h"
#include "clisession.h"
#include "commandline.h"
#include "commands.h"
#include "glimraversion.h"
#include "idexceptions.h"
#include "searchcommand.h"

#include <QCoreApplication>
#include <QLocale>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void PrintError(const QString &text)
{
    std::fprintf(stderr, "glimra-cli: %s\n", text.toUtf8().constData());
}

int RunSearch(const QStringList &arguments)
{
    const SearchCommandLine line = ParseSearchCommandLine(arguments);
    if (line.help) {
        std::fputs(SearchHelpText().toUtf8().constData(), stdout);
        return kExitDone;
    }
    return RunSearchCommand(line);
}

int Run(const QStringList &arguments)
{
    try {
        if (arguments.value(0) == u"search"_s)
            return RunSearch(arguments.mid(1));
        if (arguments == QStringList{u"--version"_s}) {
            std::fputs("glimra-cli " GLIMRA_VERSION "\n", stdout);
            return kExitDone;
        }
        const CommandLine line = ParseCommandLine(arguments);
        if (line.help) {
            std::fputs(HelpText().toUtf8().constData(), stdout);
            return kExitDone;
        }
        CliSession session(line);
        line.command->run(session, line);
        return kExitDone;
    } catch (const CliFailure &failure) {
        PrintError(failure.message);
        if (!failure.serverReply.isEmpty())
            PrintError(u"Antwort des Servers: %1"_s.arg(failure.serverReply));
        if (failure.exitCode == kExitUsage)
            PrintError(arguments.value(0) == u"search"_s ? u"Hilfe: glimra-cli search --help"_s
                                                         : u"Hilfe: glimra-cli --help"_s);
        return failure.exitCode;
    } catch (const EIdException &error) {
        PrintError(error.Message());
        return kExitNetwork;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    // Dates are written as the window writes them, whatever the locale of
    // the environment: a results file must load and sort alike in both.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    return Run(QCoreApplication::arguments().mid(1));
}
