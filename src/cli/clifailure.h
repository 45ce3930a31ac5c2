#pragma once

#include <QString>

// How glimra-cli ends; scripts rely on these numbers.
enum ExitCode {
    kExitDone = 0,
    kExitRefused = 1, // the server said no
    kExitUsage = 2,   // the command line, or a local file it names, cannot be used
    kExitNetwork = 3, // the connection, TLS or a transfer failed
};

// Ends the tool with an exit code and a message for stderr. The server's own
// answer, when there is one, is shown on a line of its own.
struct CliFailure {
    ExitCode exitCode;
    QString message;
    QString serverReply = {};
};
