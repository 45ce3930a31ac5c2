#pragma once

// Runs the built glimra-cli as a user would: German locale, a time zone of
// the test's choice, output and exit code collected.
#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

using namespace Qt::StringLiterals;

struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

inline QString CliPath()
{
    return qEnvironmentVariable("GLIMRA_BINARY_DIR") + u"/src/cli/glimra-cli"_s;
}

inline void StartCli(QProcess &process, const QStringList &arguments,
                     const QString &workingDirectory = QDir::tempPath(), const QString &timeZone = u"UTC"_s)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TZ"_s, timeZone);
    environment.insert(u"LC_ALL"_s, u"de_DE.UTF-8"_s);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(CliPath(), arguments);
}

inline CliResult RunCli(const QStringList &arguments, const QString &workingDirectory = QDir::tempPath(),
                        const QString &timeZone = u"UTC"_s)
{
    QProcess process;
    StartCli(process, arguments, workingDirectory, timeZone);
    CliResult result;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        result.err = u"glimra-cli did not finish"_s;
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// Fails the test function with what glimra-cli said when it did not succeed.
#define RUN_OK(result, ...)                                                                                  \
    do {                                                                                                     \
        (result) = RunCli(__VA_ARGS__);                                                                      \
        QVERIFY2((result).exitCode == 0, qPrintable((result).err));                                          \
    } while (false)
