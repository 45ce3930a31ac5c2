#pragma once

#include "sessionhost.h"
#include "sftpfilesystem.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class RemoteFileSystem;
struct MainWindowValues;
class TIdConnectionInterceptOpenSSL;
class TIdFTP;
class TIdLogDebug;

// Sets up a session that works beside the main one and never asks the user
// anything: the search's and the one that saves its hits. Profiles are
// applied with their SSL settings, so a TLS server never gets the password
// in clear; the server certificate is verified as for the main session, and
// one that fails is turned down, as nobody can be asked.
class SearchSession {
public:
    explicit SearchSession(TIdFTP &session);
    ~SearchSession();
    SearchSession(const SearchSession &) = delete;
    SearchSession &operator=(const SearchSession &) = delete;

    // The session of the profile applied last: the FTP session given, or
    // the SFTP session of its own for an SFTP profile.
    RemoteFileSystem &Session() const { return *m_remote; }
    // The FTP session, which every profile is applied to first.
    TIdFTP &Ftp() const { return m_session; }
    // The SFTP session, for the window's progress display.
    SftpFileSystem &Sftp() { return m_sftp; }
    // Called when a session has connected or closed: the FTP session tells
    // of its own, this one of every ConnectAndLogin and Close.
    std::function<void()> OnConnectionChanged;
    // The program's own known SSH host keys, beside ~/.ssh/known_hosts; a
    // key known to neither is turned down, as nobody can be asked.
    QString KnownHostsFile;

    // Traffic lines, connection texts and TLS texts, passwords unmasked.
    std::function<void(const QString &line)> OnLog;
    void SetLogging(bool on);

    // The connection of that section; false when the section does not exist.
    bool ApplyConnection(const QString &connectionFile, const QString &section);
    // The first saved connection below treeFolder whose FTP_Server is host.
    bool ApplyConnectionOf(const QString &host, const QString &treeFolder);

    // Connects and logs in as the applied profile says. False when the
    // server could not be reached, refused the login or failed the TLS
    // handshake (the reason then goes to the log).
    bool ConnectAndLogin();
    // Quit when connected; a failing goodbye is only logged.
    void Close();

private:
    bool UseAppliedProfile(const std::optional<MainWindowValues> &values);
    void AttachInterceptor();
    void Log(const QString &line) const;
    void TellConnectionChanged() const;

    TIdFTP &m_session;
    SftpFileSystem m_sftp;
    RemoteFileSystem *m_remote = nullptr;
    SessionHost m_host; // answers every question with no
    std::unique_ptr<TIdLogDebug> m_logInterceptor;
    std::unique_ptr<TIdConnectionInterceptOpenSSL> m_tls;
    bool m_logging = false;
};
