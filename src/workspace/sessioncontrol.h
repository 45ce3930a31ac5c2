#pragma once

#include "connectionprofile.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

struct CommandLineStart;
struct HostKeyInfo;
enum class HostKeyAnswer;
struct ServerCertificateInfo;
class TCertfkDlg1;
class MainSession;
class TIdConnectionInterceptOpenSSL;
class TIdLogDebug;
class TransferProgress;
struct WindowParts;

// Connects the main session and disconnects it, shows the connection state
// (caption, status panels, activity lamp, the two buttons), keeps the
// session log and its commands, answers the questions the session asks
// (credentials, key password, untrusted certificate), starts what the
// command line asks for and shows the progress of transfers.
class SessionControl : public QObject {
    Q_OBJECT

public:
    explicit SessionControl(const WindowParts &parts);
    ~SessionControl() override;

    // The user's commands. Each runs through the session's error display.
    void Connect();         // "Verbinden"
    void Disconnect();      // "Trennen", also when the program closes
    void EditConnections(); // "Einträge bearbeiten"
    void SaveLog();         // "Logdatei speichern"
    void ToggleLogging();   // "Log deaktivieren" / "Log aktivieren"
    void HandleCommandLine(const QStringList &arguments);

    void AddLogLine(const QString &line);
    // A line of an extra connection's traffic, masked as the session's own
    // and marked with the connection's number at its end (the log colours
    // a failed reply by the code at its start).
    void AddConnectionLogLine(const QString &line, int connection);
    // Whether traffic lines are logged: logging is on and the session runs
    // without TLS (a TLS session logs no traffic lines).
    bool LogsTraffic() const;
    // Writes the log's lines with CR LF ends; false when that failed.
    bool WriteLog(const QString &fileName) const;
    bool LoggingOn() const { return m_logOn; }
    int LogLimit() const { return m_logLimit; }

    // What the session asks of its host.
    bool AskCredentials(const QString &caption, QString &user, QString &password);
    QString SslKeyPassword(bool askUser, const QString &storedPassword);
    bool AcceptServerCertificate(const ServerCertificateInfo &certificate);
    HostKeyAnswer AskHostKey(const HostKeyInfo &key);
    QString IdentityPassphrase(const QString &keyFile, bool askUser, const QString &storedPassphrase);
    void ConnectionLost();

    // The host as the applied profile named it, for captions and panels.
    const QString &ServerDisplayName() const;
    TransferProgress &Progress() { return *m_progress; }
    // Status panel 0: a symbol for each connected session and its lock.
    void UpdateSessionSymbols();

    // Keeps the session from calling back into a window that is going away;
    // the window calls it while its session still exists.
    void DetachFromSession();

signals:
    // A search results file named on the command line, for the results window.
    void resultsFileRequested(const QString &fileName);
    // The main session has connected to a server (before its login).
    void sessionConnected();

private:
    struct SessionStart {
        QString remoteFolder; // changed into after the login when not empty
        QString nameToSelect; // selected in the first listing
    };

    void WireSession();
    void WireCommands();

    void ConnectThroughManager();
    void StartFromConnectionFile(const QString &fileName);
    void StartFromSavedServer(const CommandLineStart &start);
    void ForgetServerLists();
    void ApplyMainWindowValues(const MainWindowValues &values);
    void WarnUnfitProfile();
    void OpenSession(const SessionStart &start);
    void ConnectAndLogin();
    QString NotConnectedText(const QString &reason) const;
    void AttachInterceptor();
    void ShowConnectedState();
    void EnterLocalStartFolder();
    void DisconnectSession();
    void ShowConnectButtons(bool connected);

    // The session's events.
    void HandleConnected();
    void HandleDisconnected();
    void ReturnToDisconnectedState();

    void SetLogging(bool on);
    void LogTraffic(QString &line);
    void LogAndPump(const QString &line);

    const WindowParts &m_parts;
    MainSession &m_session;
    bool m_certificateRefused = false; // the user said no to the last certificate question
    bool m_logOn = true;
    int m_logLimit = 1000;
    QString m_remoteStartFolder;
    // What the applied profile speaks, and its SSH key.
    FileProtocol m_protocol = FileProtocol::Ftp;
    SshKeySettings m_sshKey;
    QString m_localStartFolder;
    std::unique_ptr<TIdLogDebug> m_logInterceptor;
    std::unique_ptr<TIdConnectionInterceptOpenSSL> m_sslLayer;
    std::unique_ptr<TransferProgress> m_progress;
    QPointer<TCertfkDlg1> m_certificateDialog;
};
