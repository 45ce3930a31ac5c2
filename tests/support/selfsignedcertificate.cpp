#include "selfsignedcertificate.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

std::optional<SelfSignedCertificate> generate(const QDir &dir, QString *error)
{
    const SelfSignedCertificate files{dir.filePath(u"server.crt"_s), dir.filePath(u"server.key"_s)};
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    // RSA, because vsftpd's TLS 1.2 cipher list only has RSA suites.
    openssl.start(u"openssl"_s, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-days"_s,
                                 u"30"_s, u"-subj"_s, u"/CN=localhost"_s, u"-addext"_s,
                                 u"subjectAltName=DNS:localhost,IP:127.0.0.1"_s, u"-keyout"_s, files.keyFile,
                                 u"-out"_s, files.certificateFile});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        if (error)
            *error = u"openssl could not make a certificate: %1 %2"_s.arg(
                openssl.errorString(), QString::fromLocal8Bit(openssl.readAll()));
        return std::nullopt;
    }
    return files;
}

} // namespace

std::optional<SelfSignedCertificate> SelfSignedCertificate::get(QString *error)
{
    static QTemporaryDir dir;
    static std::optional<SelfSignedCertificate> made;
    if (!made && dir.isValid())
        made = generate(QDir(dir.path()), error);
    else if (!made && error)
        *error = u"no temporary folder for the certificate: %1"_s.arg(dir.errorString());
    return made;
}

std::optional<SelfSignedCertificate> SelfSignedCertificate::make(const QString &folder, QString *error)
{
    return generate(QDir(folder), error);
}
