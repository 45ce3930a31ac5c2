#pragma once

#include <QString>
#include <QStringList>

// What the program was asked to do by its command line: open a connection
// file (".glimra"), load a search results file (".toserve"), or connect to
// a saved server, change into a folder and select a name there.
struct CommandLineStart {
    enum class Kind { Nothing, ConnectionFile, ResultsFile, Server };

    Kind kind = Kind::Nothing;
    QString file;         // ConnectionFile, ResultsFile: the existing file
    QString nameToSelect; // Server: the entry to select in the first listing
    QString host;         // Server: looked up among the saved connections
    QString remoteFolder; // Server: changed into when not empty

    // One argument naming an existing ".glimra" or ".toserve" file (in any
    // letter case), or three arguments; anything else asks for nothing.
    static CommandLineStart FromArguments(const QStringList &arguments);
};
