#pragma once

#include <QStringView>

#include <span>

class CliSession;
struct CommandLine;

// One command of glimra-cli: what it is called, how many arguments it
// takes, and the function that runs it. Failures are thrown as CliFailure.
struct CliCommand {
    QStringView name;
    QStringView synopsis;
    QStringView description;
    int minArguments;
    int maxArguments;
    void (*run)(CliSession &session, const CommandLine &line);
};

std::span<const CliCommand> Commands();
const CliCommand *FindCommand(QStringView name);
