#pragma once

#include <QString>

#include <optional>

// A self-signed certificate for "localhost" and 127.0.0.1 with its unencrypted
// RSA key, both PEM files. Made with the openssl tool on first use and shared by
// every server of the test process; removed when the process ends.
struct SelfSignedCertificate {
    QString certificateFile;
    QString keyFile;

    static std::optional<SelfSignedCertificate> get(QString *error);
    // Another one, made now into the folder ("server.crt", "server.key"),
    // replacing the files of an earlier one there.
    static std::optional<SelfSignedCertificate> make(const QString &folder, QString *error);
};
