#pragma once

#include <QString>
#include <QStringList>
#include <QTime>

#include <optional>

struct CliCommand;

// A manual time difference: listed times move by sign * difference.
struct TimeShift {
    int sign = 1;
    QTime difference;
};

// What the user asked for, checked: a known command with a fitting number
// of arguments, and either a URL or a connection file.
struct CommandLine {
    bool help = false;
    QString url;
    QString connectionFile;
    const CliCommand *command = nullptr;
    QStringList arguments;

    bool active = false;
    bool mlsd = false;
    bool raw = false;
    bool log = false;
    bool noTimeCorrection = false;
    std::optional<TimeShift> timeShift;
    QString caCertificateFile;
    bool insecure = false;
    // SFTP: the known-hosts file instead of ~/.ssh/known_hosts, the private
    // key, and whether an unknown host key is taken (and stored).
    QString knownHostsFile;
    QString identityFile;
    bool acceptNewHostKey = false;
    // get and put: a folder tree, its files over this many connections.
    bool recursive = false;
    int parallel = kDefaultParallel;

    static constexpr int kDefaultParallel = 4;
    static constexpr int kMaxParallel = 10;
    // get and put continue what an earlier, interrupted transfer left.
    bool continueTransfer = false;
};

// Options may stand anywhere before "--". Throws CliFailure (kExitUsage)
// with a German message when the line cannot be used.
CommandLine ParseCommandLine(const QStringList &arguments);

QString HelpText();
