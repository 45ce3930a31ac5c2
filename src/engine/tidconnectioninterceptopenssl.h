#pragma once

#include "tidconnectionintercept.h"

#include <QString>

#include <functional>
#include <memory>

class SessionHost;
struct ServerCertificateInfo;
class TIdFTP;

// TLS over the socket, with OpenSSL. Negotiates TLS 1.2 or newer whatever the
// profile's method says, verifies the server certificate against the system
// trust store (plus RootCertificateFile) and the host name, and asks the host
// only when verification fails.
class TIdConnectionInterceptOpenSSL : public TIdConnectionIntercept {
    Q_OBJECT

public:
    explicit TIdConnectionInterceptOpenSSL(QObject *parent = nullptr);
    ~TIdConnectionInterceptOpenSSL() override;

    int SSLMethod = 1;
    int SSLDepth = 0;
    bool SSLPeer = false;
    bool SSLPeerCert = false;
    bool SSLClientOnce = false;
    QString RootCertificateFile;
    QString CertificateFile;
    QString KeyFile;
    QString SSLPassword;
    bool SSLPasswordask = false;
    // The name the certificate must carry (the server's host name).
    QString ExpectedHostName;
    // The port the TLS connection goes to; with the host it names the server
    // a certificate is remembered for.
    int ExpectedPort = 0;
    // Certificates the user accepted before (see KnownCertificates): an
    // unverified certificate remembered for the server is taken without a
    // question, and an accepted one is remembered. Empty keeps no list.
    QString KnownCertificatesFile;
    // Explicit TLS: the control connection starts in clear, and Connect only
    // notes the socket; StartTls runs the handshake once the server agreed
    // to AUTH TLS. The session sets it from its SSLExplicit.
    bool ExplicitStart = false;
    SessionHost *Host = nullptr;
    // "SSL Connected", certificate names and other texts for the session log.
    std::function<void(const QString &text)> OnStatusInfo;

    // Takes every SSL setting (and the host) from the session.
    void ConfigureFrom(const TIdFTP &session);
    // Hands a text to OnStatusInfo.
    void ReportStatus(const QString &text) const;

    // A layer for a data connection of the same session: same settings, and
    // it resumes this layer's TLS session.
    std::unique_ptr<TIdConnectionInterceptOpenSSL> CreateDataChannelLayer() const;

    // Ends an upload: tells the peer the data is complete and waits until
    // it has read everything and closed its side. Closing at once would
    // reset the connection under the last bytes, because what the peer sent
    // on its own (session tickets) still lies unread here.
    void FinishSending();

    void Connect(TIdSocketHandle &socket) override;
    // The handshake and the certificate check; from here on every byte is
    // protected. Throws EIdOSSLError.
    void StartTls(TIdSocketHandle &socket);
    bool IsSecure() const;
    void Closing() override;
    void Disconnect() override;
    qint64 Recv(char *buffer, qint64 size) override;
    qint64 Send(const char *buffer, qint64 size) override;
    bool HasPendingData() const override;

private:
    struct State;
    void CreateContext();
    void Handshake();
    void CheckServerCertificate();
    // Whether the user takes a certificate that failed verification: as
    // remembered, or by answering the question.
    bool AcceptUnverified(ServerCertificateInfo &info);
    void CheckDataChannelCertificate();
    void WaitForSocket(short events);

    std::shared_ptr<State> m_state;
};
