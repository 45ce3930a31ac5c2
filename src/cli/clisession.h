#pragma once

#include "clisessionhost.h"

#include <QString>
#include <QStringList>

#include <memory>

struct CommandLine;
struct FtpUrl;
class RemoteFileSystem;
class SftpFileSystem;
class TIdFTP;

// The one session of a glimra-cli run, FTP or SFTP, set up from a URL or a
// connection file and the options. It connects when a command first needs
// it and quits politely when it goes away.
class CliSession {
public:
    // Throws CliFailure (kExitUsage) when the URL or the file is unusable.
    explicit CliSession(const CommandLine &line);
    ~CliSession();
    CliSession(const CliSession &) = delete;
    CliSession &operator=(const CliSession &) = delete;

    // The logged-in session, inside the start folder. Connects on first use;
    // throws CliFailure when that fails.
    RemoteFileSystem &Connected();
    // Listings use MLSD when the user allowed it and the server offers it.
    bool ListsWithMlsd() const;
    // What the server named in HELP and FEAT, once connected.
    const QStringList &Features() const { return m_features; }
    // The server wants to hear OPTS UTF8 ON on each connection.
    bool AnnouncesUtf8() const;
    // Ends the run for a command the server did not carry out: exit 1 with
    // the server's answer, or exit 3 when the connection was lost meanwhile.
    [[noreturn]] void Refused(const QString &message) const;
    // Whether --log asks for the traffic of the connections (a TLS session
    // shows no traffic lines).
    bool LogsTraffic() const;
    // A line of an extra connection's traffic, masked, with its number.
    void LogConnectionLine(const QString &line, int connection) const;

private:
    void ConfigureFromUrl(const QString &text, const CommandLine &line);
    void ConfigureFtp(const FtpUrl &url);
    void ConfigureSftp(const FtpUrl &url, const CommandLine &line);
    void ConfigureFromFile(const QString &fileName);
    void ApplyFtpOptions(const CommandLine &line);
    void CheckCredentials() const;
    void CheckFtpCredentials() const;
    void LogIn();
    void LogInFtp();
    QString MaskPasswords(QString line) const;
    void Log(const QString &line) const;

    CliSessionHost m_host;
    std::unique_ptr<RemoteFileSystem> m_session;
    // The same session when it speaks FTP, else null.
    TIdFTP *m_ftp = nullptr;
    SftpFileSystem *m_sftp = nullptr;
    QStringList m_features;
    QString m_startFolder;
    bool m_log = false;
    bool m_loggedIn = false;
    bool m_reachedServer = false;
};
