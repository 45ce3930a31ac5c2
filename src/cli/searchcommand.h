#pragma once

#include "searchcriteria.h"

#include <QString>
#include <QStringList>

// "glimra-cli search": the crawler of the search without windows, over saved
// connections named by their path in the connection tree.
struct SearchCommandLine {
    bool help = false;
    QString treeFolder; // empty: the user's connection tree
    QStringList paths;  // connections or groups, "Gruppe/Verbindung"
    SearchCriteria criteria;
    QString resultsFile; // --toserve
};

// Throws CliFailure (kExitUsage) with a German message when the line cannot
// be used. arguments: what follows the word "search".
SearchCommandLine ParseSearchCommandLine(const QStringList &arguments);
QString SearchHelpText();

// Prints one hit per line: server, folder, name, size, date, separated by
// tabs. Returns kExitDone with hits, kExitRefused without; throws CliFailure
// when a path names nothing, a results file cannot be written or the
// session fails during the search.
int RunSearchCommand(const SearchCommandLine &line);
