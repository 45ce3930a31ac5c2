#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Server certificates the user accepted although they failed verification,
// kept in a text file ("known_certificates" in the data folder): one line per
// server, "host port fingerprint", the fingerprint being the SHA-256 digest
// of the certificate in colon-separated hex pairs. Lines starting with "#"
// and lines it cannot read are kept as they are. Widget-free; the TLS layer
// consults it before it asks the user.
class KnownCertificates {
public:
    explicit KnownCertificates(QString fileName);

    // The fingerprint remembered for the server; nothing when none is.
    std::optional<QString> Fingerprint(const QString &host, int port) const;
    // Remembers the fingerprint for the server in place of an earlier one.
    // False when the file could not be written.
    bool Remember(const QString &host, int port, const QString &fingerprint) const;

    // "AB:CD:..." of a digest.
    static QString FingerprintText(const QByteArray &digest);

private:
    QString m_fileName;
};
