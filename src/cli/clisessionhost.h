#pragma once

#include "sessionhost.h"

#include <optional>

// The host of a command-line session. Nobody is there to answer: missing
// credentials are never asked for, and a certificate that fails verification
// is taken only when the user said so on the command line (--insecure), an
// unknown SSH host key only with --accept-new-host-key (which the session
// itself heeds).
class CliSessionHost : public SessionHost {
public:
    explicit CliSessionHost(bool acceptUnverifiedCertificate);

    bool AcceptServerCertificate(const ServerCertificateInfo &certificate) override;

    HostKeyAnswer AskHostKey(const HostKeyInfo &key) override;

    // The certificate that was turned down, for the error message.
    const std::optional<ServerCertificateInfo> &RejectedCertificate() const { return m_rejected; }
    // The host key that was turned down, for the error message.
    const std::optional<HostKeyInfo> &RejectedHostKey() const { return m_rejectedKey; }

private:
    bool m_acceptUnverified;
    std::optional<ServerCertificateInfo> m_rejected;
    std::optional<HostKeyInfo> m_rejectedKey;
};
