#pragma once

#include "clisessionhost.h"
#include "tidftp.h"

#include <QString>
#include <QStringList>

#include <memory>

struct CommandLine;
class TIdConnectionInterceptOpenSSL;
class TIdLogDebug;

// The one FTP session of a glimra-cli run, set up from a URL or a connection
// file and the options. It connects when a command first needs it and quits
// politely when it goes away.
class CliSession {
public:
    // Throws CliFailure (kExitUsage) when the URL or the file is unusable.
    explicit CliSession(const CommandLine &line);
    ~CliSession();
    CliSession(const CliSession &) = delete;
    CliSession &operator=(const CliSession &) = delete;

    // The logged-in session, inside the start folder. Connects on first use;
    // throws CliFailure when that fails.
    TIdFTP &Connected();
    // Listings use MLSD when the user allowed it and the server offers it.
    bool ListsWithMlsd() const;
    // What the server named in HELP and FEAT, once connected.
    const QStringList &Features() const { return m_features; }
    // Ends the run for a command the server did not carry out: exit 1 with
    // the server's answer, or exit 3 when the connection was lost meanwhile.
    [[noreturn]] void Refused(const QString &message) const;
    // Whether --log asks for the traffic of the connections (a TLS session
    // shows no traffic lines).
    bool LogsTraffic() const { return m_log && !m_ftp.UseSSL; }
    // A line of an extra connection's traffic, masked, with its number.
    void LogConnectionLine(const QString &line, int connection) const;

private:
    void ConfigureFromUrl(const QString &text);
    void ConfigureFromFile(const QString &fileName);
    void ApplyOptions(const CommandLine &line);
    void AttachInterceptor();
    void CheckCredentials() const;
    void LogIn();
    QString MaskPasswords(QString line) const;
    void Log(const QString &line) const;

    CliSessionHost m_host;
    TIdFTP m_ftp;
    std::unique_ptr<TIdConnectionInterceptOpenSSL> m_tls;
    std::unique_ptr<TIdLogDebug> m_logInterceptor;
    QStringList m_features;
    QString m_startFolder;
    bool m_log = false;
    bool m_loggedIn = false;
    bool m_reachedServer = false;
};
