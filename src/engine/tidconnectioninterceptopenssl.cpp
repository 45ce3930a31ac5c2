#include "tidconnectioninterceptopenssl.h"

#include "idexceptions.h"
#include "knowncertificates.h"
#include "sessionhost.h"
#include "socketapi.h"
#include "tidftp.h"
#include "tidsockethandle.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace {

struct SslFree {
    void operator()(SSL *ssl) const { SSL_free(ssl); }
};

const QString kHandshakeFailed = u"Verbindung abgelehnt"_s;
const QString kRefusedByUser = u"Abbruch durch Anwender"_s;

// Everything OpenSSL has queued about the last failure, one text.
QString TakeOpenSslErrors()
{
    QStringList texts;
    while (const unsigned long code = ERR_get_error()) {
        char text[256] = {};
        ERR_error_string_n(code, text, sizeof text);
        texts.append(QString::fromLatin1(text));
    }
    return texts.join(u"; "_s);
}

// "/C=DE/O=Example/CN=host"
QString OneLineName(const X509_NAME *name)
{
    if (!name)
        return QString();
    char *text = X509_NAME_oneline(name, nullptr, 0);
    const QString result = QString::fromUtf8(text);
    OPENSSL_free(text);
    return result;
}

QString VerifyFailureReason(long result, const QString &hostName)
{
    switch (result) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return u"Das Zertifikat ist selbst signiert."_s;
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return u"Die Zertifikatskette endet in einem selbst signierten, nicht vertrauenswürdigen Zertifikat."_s;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return u"Der Aussteller des Zertifikats ist nicht vertrauenswürdig oder unbekannt."_s;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return u"Das Zertifikat ist abgelaufen."_s;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return u"Das Zertifikat ist noch nicht gültig."_s;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return u"Das Zertifikat gilt nicht für den Server %1."_s.arg(hostName);
    case X509_V_ERR_CERT_REVOKED:
        return u"Das Zertifikat wurde widerrufen."_s;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return u"Die Signatur des Zertifikats ist ungültig."_s;
    case X509_V_ERR_INVALID_PURPOSE:
        return u"Das Zertifikat ist nicht für Server bestimmt."_s;
    default:
        return u"Das Zertifikat konnte nicht geprüft werden (%1)."_s.arg(
            QString::fromLatin1(X509_verify_cert_error_string(result)));
    }
}

QByteArray CertificateDigest(const X509 *certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE] = {};
    unsigned int length = 0;
    if (!certificate || X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(digest), int(length));
}

QDateTime UtcDateTime(const ASN1_TIME *time)
{
    tm parts = {};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return QDateTime();
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

ServerCertificateInfo DescribeCertificate(const X509 *certificate)
{
    ServerCertificateInfo info;
    info.issuer = OneLineName(X509_get_issuer_name(certificate));
    info.subject = OneLineName(X509_get_subject_name(certificate));
    info.fingerprint = KnownCertificates::FingerprintText(CertificateDigest(certificate));
    info.notBefore = UtcDateTime(X509_get0_notBefore(certificate));
    info.notAfter = UtcDateTime(X509_get0_notAfter(certificate));
    return info;
}

} // namespace

// One TLS connection. The context is shared by a control connection and its
// data connections; a data connection resumes the control connection's
// session, as servers such as vsftpd demand.
struct TIdConnectionInterceptOpenSSL::State {
    std::shared_ptr<SSL_CTX> context;
    std::unique_ptr<SSL, SslFree> ssl;
    int fd = -1;
    bool shutdownSent = false;
    // Set for data connections: the control connection's state.
    bool dataChannel = false;
    std::weak_ptr<State> control;
    // Control connection: the server certificate the session went on with.
    QByteArray acceptedCertificate;
};

TIdConnectionInterceptOpenSSL::TIdConnectionInterceptOpenSSL(QObject *parent)
    : TIdConnectionIntercept(parent)
    , m_state(std::make_shared<State>())
{
}

TIdConnectionInterceptOpenSSL::~TIdConnectionInterceptOpenSSL() = default;

void TIdConnectionInterceptOpenSSL::ConfigureFrom(const TIdFTP &session)
{
    SSLMethod = session.SSLMethod;
    SSLDepth = session.SSLDepth;
    SSLPeer = session.SSLPeer;
    SSLPeerCert = session.SSLPeerCert;
    SSLClientOnce = session.SSLClientOnce;
    RootCertificateFile = session.RootCertificateFile;
    CertificateFile = session.CertificateFile;
    KeyFile = session.KeyFile;
    SSLPassword = session.SSLPassword;
    SSLPasswordask = session.SSLPasswordask;
    KnownCertificatesFile = session.KnownCertificatesFile;
    ExpectedHostName = session.Gateway_Use ? session.Gateway_Host : session.Host;
    ExpectedPort = session.Gateway_Use ? session.Gateway_Port : session.Port;
    Host = session.sessionHost();
}

void TIdConnectionInterceptOpenSSL::ReportStatus(const QString &text) const
{
    if (OnStatusInfo)
        OnStatusInfo(text);
}

std::unique_ptr<TIdConnectionInterceptOpenSSL> TIdConnectionInterceptOpenSSL::CreateDataChannelLayer() const
{
    auto layer = std::make_unique<TIdConnectionInterceptOpenSSL>();
    layer->SSLMethod = SSLMethod;
    layer->SSLDepth = SSLDepth;
    layer->ExpectedHostName = ExpectedHostName;
    layer->ExpectedPort = ExpectedPort;
    layer->Host = Host;
    layer->m_state->context = m_state->context;
    layer->m_state->dataChannel = true;
    layer->m_state->control = m_state;
    return layer;
}

// --- setting up ---------------------------------------------------------------

void TIdConnectionInterceptOpenSSL::CreateContext()
{
    std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    if (!context)
        throw EIdOSSLError(kHandshakeFailed);
    SSL_CTX *ctx = context.get();
    // SSL 2 and 3 (and TLS 1.0 and 1.1) are broken; whatever the profile
    // asks for, only TLS 1.2 and newer are offered.
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Verification runs in full; its result is looked at after the handshake,
    // where the user may still accept a certificate it failed for.
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    if (SSLDepth > 0)
        SSL_CTX_set_verify_depth(ctx, SSLDepth);
    SSL_CTX_set_default_verify_paths(ctx);
    if (!RootCertificateFile.isEmpty() &&
        SSL_CTX_load_verify_locations(ctx, QFile::encodeName(RootCertificateFile).constData(), nullptr) != 1)
        throw EIdOSSLError(
            u"Die Stammzertifikate in %1 konnten nicht gelesen werden."_s.arg(RootCertificateFile));

    if (!CertificateFile.isEmpty()) {
        const QString keyFile = KeyFile.isEmpty() ? CertificateFile : KeyFile;
        SSL_CTX_set_default_passwd_cb(ctx, [](char *buffer, int size, int, void *userData) {
            const auto *layer = static_cast<const TIdConnectionInterceptOpenSSL *>(userData);
            const QString password =
                layer->Host ? layer->Host->SslKeyPassword(layer->SSLPasswordask, layer->SSLPassword)
                            : layer->SSLPassword;
            const QByteArray bytes = password.toUtf8();
            const int length = std::min<int>(size, int(bytes.size()));
            std::memcpy(buffer, bytes.constData(), size_t(length));
            return length;
        });
        SSL_CTX_set_default_passwd_cb_userdata(ctx, this);
        const bool loaded =
            SSL_CTX_use_certificate_chain_file(ctx, QFile::encodeName(CertificateFile).constData()) == 1 &&
            SSL_CTX_use_PrivateKey_file(ctx, QFile::encodeName(keyFile).constData(), SSL_FILETYPE_PEM) == 1;
        SSL_CTX_set_default_passwd_cb_userdata(ctx, nullptr);
        if (!loaded)
            throw EIdOSSLError(
                u"Das Client-Zertifikat %1 oder sein Schlüssel konnte nicht geladen werden: %2"_s.arg(
                    CertificateFile, TakeOpenSslErrors()));
    }
    m_state->context = std::move(context);
}

void TIdConnectionInterceptOpenSSL::Connect(TIdSocketHandle &socket)
{
    if (ExplicitStart && !m_state->dataChannel) {
        // Until StartTls the connection reads and writes the socket itself.
        m_state->ssl.reset();
        m_state->fd = socket.Handle;
        m_handlesReceive = m_handlesSend = false;
        return;
    }
    StartTls(socket);
}

bool TIdConnectionInterceptOpenSSL::IsSecure() const
{
    return m_state->ssl != nullptr;
}

void TIdConnectionInterceptOpenSSL::StartTls(TIdSocketHandle &socket)
{
    m_handlesReceive = m_handlesSend = true;
    State &state = *m_state;
    const std::shared_ptr<State> control = state.control.lock();
    const bool dataChannel = state.dataChannel;
    if (!dataChannel) {
        if (SSLMethod == 0 || SSLMethod == 2)
            ReportStatus(u"SSL 2 und SSL 3 gelten als unsicher und werden nicht angeboten; "
                         u"die Verbindung verwendet TLS 1.2 oder neuer."_s);
        CreateContext();
    }
    ERR_clear_error();
    state.ssl.reset(SSL_new(state.context.get()));
    state.fd = socket.Handle;
    state.shutdownSent = false;
    SSL *ssl = state.ssl.get();
    if (!ssl || SSL_set_fd(ssl, socket.Handle) != 1)
        throw EIdOSSLError(kHandshakeFailed);
    if (!ExpectedHostName.isEmpty()) {
        const QByteArray name = ExpectedHostName.toUtf8();
        if (SocketApi::IsIPAddress(ExpectedHostName)) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.constData());
        } else {
            SSL_set1_host(ssl, name.constData());
            SSL_set_tlsext_host_name(ssl, name.constData());
        }
    }
    if (control && control->ssl) {
        SSL_SESSION *session = SSL_get1_session(control->ssl.get());
        if (session) {
            SSL_set_session(ssl, session);
            SSL_SESSION_free(session);
        }
    }
    Handshake();
    if (dataChannel) {
        CheckDataChannelCertificate();
    } else {
        CheckServerCertificate();
        ReportStatus(u"SSL Connected"_s);
    }
}

void TIdConnectionInterceptOpenSSL::Handshake()
{
    for (;;) {
        SSL *ssl = m_state->ssl.get();
        ERR_clear_error();
        const int result = SSL_connect(ssl);
        if (result == 1)
            return;
        const int error = SSL_get_error(ssl, result);
        if (error == SSL_ERROR_WANT_READ) {
            WaitForSocket(POLLIN);
        } else if (error == SSL_ERROR_WANT_WRITE) {
            WaitForSocket(POLLOUT);
        } else {
            const QString details = TakeOpenSslErrors();
            if (!details.isEmpty())
                ReportStatus(details);
            throw EIdOSSLError(kHandshakeFailed);
        }
    }
}

void TIdConnectionInterceptOpenSSL::CheckServerCertificate()
{
    SSL *ssl = m_state->ssl.get();
    const X509 *certificate = SSL_get0_peer_certificate(ssl);
    if (!certificate) {
        ReportStatus(u"Der Server hat kein Zertifikat vorgelegt."_s);
        throw EIdOSSLError(kHandshakeFailed);
    }
    ServerCertificateInfo info = DescribeCertificate(certificate);
    ReportStatus(info.issuer);
    ReportStatus(info.subject);
    const long verifyResult = SSL_get_verify_result(ssl);
    if (verifyResult != X509_V_OK) {
        info.verifyError = VerifyFailureReason(verifyResult, ExpectedHostName);
        if (!AcceptUnverified(info))
            throw EIdOSSLError(kRefusedByUser);
    }
    m_state->acceptedCertificate = CertificateDigest(certificate);
}

bool TIdConnectionInterceptOpenSSL::AcceptUnverified(ServerCertificateInfo &info)
{
    const bool keepsList =
        !KnownCertificatesFile.isEmpty() && !ExpectedHostName.isEmpty() && ExpectedPort > 0;
    if (!keepsList)
        return Host && Host->AcceptServerCertificate(info);
    const KnownCertificates known(KnownCertificatesFile);
    const std::optional<QString> remembered = known.Fingerprint(ExpectedHostName, ExpectedPort);
    if (remembered && remembered->compare(info.fingerprint, Qt::CaseInsensitive) == 0) {
        ReportStatus(u"Zertifikat früher akzeptiert, SHA256-Fingerabdruck %1"_s.arg(info.fingerprint));
        return true;
    }
    info.rememberedFingerprint = remembered.value_or(QString());
    if (!Host || !Host->AcceptServerCertificate(info))
        return false;
    if (!known.Remember(ExpectedHostName, ExpectedPort, info.fingerprint))
        ReportStatus(u"Das akzeptierte Zertifikat konnte nicht in %1 gespeichert werden."_s.arg(
            KnownCertificatesFile));
    return true;
}

// A data connection that could not resume the session must at least show
// the certificate the control connection went on with.
void TIdConnectionInterceptOpenSSL::CheckDataChannelCertificate()
{
    SSL *ssl = m_state->ssl.get();
    if (SSL_session_reused(ssl))
        return;
    const std::shared_ptr<State> control = m_state->control.lock();
    const QByteArray digest = CertificateDigest(SSL_get0_peer_certificate(ssl));
    if (!control || digest.isEmpty() || digest != control->acceptedCertificate)
        throw EIdOSSLError(kHandshakeFailed);
}

void TIdConnectionInterceptOpenSSL::WaitForSocket(short events)
{
    const std::shared_ptr<State> state = m_state;
    if (!SocketApi::WaitFor(state->fd, events, -1, [state] { return state->ssl != nullptr; }) && !state->ssl)
        throw EIdConnClosedGracefully();
}

// --- traffic ---------------------------------------------------------------------

qint64 TIdConnectionInterceptOpenSSL::Recv(char *buffer, qint64 size)
{
    SSL *ssl = m_state->ssl.get();
    if (!ssl)
        throw EIdConnClosedGracefully();
    ERR_clear_error();
    errno = 0; // 0 after a failed read means the peer simply closed
    size_t received = 0;
    if (SSL_read_ex(ssl, buffer, size_t(size), &received) == 1)
        return qint64(received);
    const int savedErrno = errno;
    switch (SSL_get_error(ssl, 0)) {
    case SSL_ERROR_WANT_READ:
        return -1;
    case SSL_ERROR_WANT_WRITE:
        WaitForSocket(POLLOUT);
        return -1;
    case SSL_ERROR_ZERO_RETURN:
        return 0;
    case SSL_ERROR_SYSCALL:
        if (savedErrno == 0)
            return 0;
        throw EIdSocketError(savedErrno);
    default:
        throw EIdOSSLError(u"TLS-Fehler beim Empfang: %1"_s.arg(TakeOpenSslErrors()));
    }
}

qint64 TIdConnectionInterceptOpenSSL::Send(const char *buffer, qint64 size)
{
    for (;;) {
        SSL *ssl = m_state->ssl.get();
        if (!ssl)
            throw EIdConnClosedGracefully();
        ERR_clear_error();
        errno = 0;
        size_t sent = 0;
        if (SSL_write_ex(ssl, buffer, size_t(size), &sent) == 1)
            return qint64(sent);
        const int savedErrno = errno;
        switch (SSL_get_error(ssl, 0)) {
        case SSL_ERROR_WANT_WRITE:
            WaitForSocket(POLLOUT);
            break;
        case SSL_ERROR_WANT_READ:
            WaitForSocket(POLLIN);
            break;
        case SSL_ERROR_ZERO_RETURN:
            return 0;
        case SSL_ERROR_SYSCALL:
            throw EIdSocketError(savedErrno ? savedErrno : EPIPE);
        default:
            throw EIdOSSLError(u"TLS-Fehler beim Senden: %1"_s.arg(TakeOpenSslErrors()));
        }
    }
}

bool TIdConnectionInterceptOpenSSL::HasPendingData() const
{
    return m_state->ssl && SSL_pending(m_state->ssl.get()) > 0;
}

// --- closing -----------------------------------------------------------------

void TIdConnectionInterceptOpenSSL::Closing()
{
    State &state = *m_state;
    if (!state.ssl || state.shutdownSent)
        return;
    state.shutdownSent = true;
    // Tell the peer the data is complete; the socket is non-blocking, so
    // this never waits.
    ERR_clear_error();
    SSL_shutdown(state.ssl.get());
    ERR_clear_error();
}

void TIdConnectionInterceptOpenSSL::FinishSending()
{
    Closing();
    const std::shared_ptr<State> state = m_state;
    if (!state->ssl)
        return;
    ::shutdown(state->fd, SHUT_WR);
    char discarded[4096];
    while (state->ssl) {
        ERR_clear_error();
        size_t received = 0;
        if (SSL_read_ex(state->ssl.get(), discarded, sizeof discarded, &received) == 1)
            continue;
        if (SSL_get_error(state->ssl.get(), 0) != SSL_ERROR_WANT_READ)
            return; // the peer closed, or the connection failed: either way it is over
        SocketApi::WaitFor(state->fd, POLLIN, -1, [state] { return state->ssl != nullptr; });
    }
}

void TIdConnectionInterceptOpenSSL::Disconnect()
{
    m_state->ssl.reset();
    m_state->fd = -1;
}
