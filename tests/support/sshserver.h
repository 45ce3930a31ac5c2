#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTest>

#include <memory>

// Starts the server, or skips the test where sshd cannot run here.
#define SSH_START_OR_SKIP(server)                                                                            \
    do {                                                                                                     \
        QString why;                                                                                         \
        if (!SshServer::isAvailable(&why))                                                                   \
            QSKIP(qPrintable(why));                                                                          \
        QVERIFY2((server).start(&why), qPrintable(why));                                                     \
    } while (false)

class QTemporaryDir;
class ServerProcess;

// OpenSSH's sshd for one test: started from a configuration of its own on a
// free port on 127.0.0.1, with host keys made for the run, serving only
// SFTP (internal-sftp) to one test user, who starts in a writable folder of
// the run (rootDir()). The user is a system account, "glimra-sftp", made on
// first use with a known password; its key pair (with a passphrase) and a
// second one without (for an agent) are authorized. Nothing of the system's
// own sshd service or /etc/ssh is touched. Needs root.
//
//   SshServer server;
//   QVERIFY2(server.start(&error), qPrintable(error));
//   ... connect to 127.0.0.1:server.port() as server.user()/server.password()
class SshServer {
public:
    struct Options {
        // Passwords only through keyboard-interactive (PAM), as many
        // servers ask for them; plain password requests are refused.
        bool keyboardInteractiveOnly = false;
        // Channels a login may open (sshd's MaxSessions); 0: sshd's default.
        int maxSessions = 0;
    };

    SshServer();
    explicit SshServer(const Options &options);
    ~SshServer();
    SshServer(const SshServer &) = delete;
    SshServer &operator=(const SshServer &) = delete;

    // Whether sshd can run here, and if not, why.
    static bool isAvailable(QString *why = nullptr);

    bool start(QString *error = nullptr);
    void stop();
    // Makes a new host key of the same type and restarts on the same port:
    // a client that knew the old key meets a changed one.
    bool changeHostKey(QString *error = nullptr);
    // Kills the sessions of every connected client, as a cut line does;
    // new connections are taken as before.
    void cutConnections();

    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return m_port; }
    QString user() const;
    QString password() const;
    QString rootDir() const;
    QString keyFile() const;
    QString keyPassphrase() const;
    QString agentKeyFile() const;

    // The host key as OpenSSH names it: "ssh-ed25519" and "SHA256:...".
    QString hostKeyType() const;
    QString hostKeyFingerprint() const;
    // A known_hosts line for the running server ("[127.0.0.1]:port type key").
    QByteArray knownHostsLine() const;

    // What sshd logged (LogLevel DEBUG1) since start or the last clearLog():
    // each authentication request shows there ("method password" ...).
    QString log() const;
    void clearLog();

    // Creates files, folders and links under rootDir(), owned by the user.
    bool addFile(const QString &relativePath, const QByteArray &content);
    bool addFolder(const QString &relativePath);
    bool addLink(const QString &relativePath, const QString &target);

private:
    bool prepare(QString *error);
    bool makeHostKey(QString *error);
    bool launch(int port, QString *error, bool *portTaken);
    QString path(const QString &name) const;
    bool handToUser(const QString &path) const;

    Options m_options;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ServerProcess> m_process;
    int m_port = 0;
    qint64 m_logOffset = 0;
    bool m_prepared = false;
};

// An ssh-agent of its own for one test, holding one key.
class SshAgent {
public:
    SshAgent();
    ~SshAgent();
    SshAgent(const SshAgent &) = delete;
    SshAgent &operator=(const SshAgent &) = delete;

    bool start(const QString &keyFile, QString *error = nullptr);
    // The value for SSH_AUTH_SOCK.
    QString socket() const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ServerProcess> m_process;
};
