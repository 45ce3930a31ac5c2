#pragma once

#include <QDateTime>
#include <QString>

// What a server certificate looks like to the user when it could not be
// verified. Names are one-line distinguished names ("/C=DE/O=Example/CN=host").
struct ServerCertificateInfo {
    QString issuer;
    QString subject;
    QString verifyError; // why verification failed, in German
    QString fingerprint; // SHA-256 of the certificate, "AB:CD:..."
    QDateTime notBefore; // validity, in UTC
    QDateTime notAfter;
    // The fingerprint of another certificate the user accepted for this
    // server before; empty when none was. Set, the certificate has changed.
    QString rememberedFingerprint;
};

// An SSH server's host key that no known-hosts file names for this host.
struct HostKeyInfo {
    QString host;
    int port = 22;
    QString keyType;     // "ssh-ed25519", "ecdsa-sha2-nistp256", "ssh-rsa" ...
    QString fingerprint; // "SHA256:..." as OpenSSH prints it
};

// Accept: trust the key and remember it; Once: trust it for this session
// only; Refuse: do not connect.
enum class HostKeyAnswer { Accept, Once, Refuse };

// Everything the engine needs from whoever runs a session. The main window
// implements it; sessions that must never ask anything (search, saving from
// results, the command-line tool) use the defaults, and tests script it.
class SessionHost {
public:
    virtual ~SessionHost() = default;

    // Activity lamp: 0 disconnected, 1 idle, 2 receiving, 3 sending.
    virtual void SetActivity(int code);
    // Missing or refused login data. OK returns true with the edited values.
    virtual bool AskCredentials(const QString &caption, QString &user, QString &password);
    // The liveness probe found the main session's connection dead.
    virtual void ConnectionLost();
    // Uploads clear the window's TransferActive flag when a send fails.
    virtual void SetTransferActive(bool active);
    // The private key's password, asked for when askUser is set, else the stored one.
    virtual QString SslKeyPassword(bool askUser, const QString &storedPassword);
    // A server certificate failed verification; true accepts it anyway, and
    // the TLS layer remembers it for the server when it keeps a list.
    virtual bool AcceptServerCertificate(const ServerCertificateInfo &certificate);
    // An SSH server showed a host key no known-hosts file names.
    virtual HostKeyAnswer AskHostKey(const HostKeyInfo &key);
    // The passphrase of an SSH private key file, asked for when askUser is
    // set, else the stored one. Empty when the user cancels.
    virtual QString IdentityPassphrase(const QString &keyFile, bool askUser, const QString &storedPassphrase);
};
