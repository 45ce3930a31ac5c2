#include "commandlinestart.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

CommandLineStart CommandLineStart::FromArguments(const QStringList &arguments)
{
    CommandLineStart start;
    if (arguments.size() == 3) {
        start.kind = Kind::Server;
        start.nameToSelect = arguments.at(0);
        start.host = arguments.at(1);
        start.remoteFolder = arguments.at(2);
    } else if (arguments.size() == 1) {
        const QFileInfo file(arguments.first());
        if (!file.isFile())
            return start;
        const QString suffix = file.suffix();
        if (suffix.compare("glimra"_L1, Qt::CaseInsensitive) == 0)
            start.kind = Kind::ConnectionFile;
        else if (suffix.compare("toserve"_L1, Qt::CaseInsensitive) == 0)
            start.kind = Kind::ResultsFile;
        else
            return start;
        start.file = file.absoluteFilePath();
    }
    return start;
}
