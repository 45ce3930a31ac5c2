#include "clisessionhost.h"

CliSessionHost::CliSessionHost(bool acceptUnverifiedCertificate)
    : m_acceptUnverified(acceptUnverifiedCertificate)
{
}

bool CliSessionHost::AcceptServerCertificate(const ServerCertificateInfo &certificate)
{
    if (!m_acceptUnverified)
        m_rejected = certificate;
    return m_acceptUnverified;
}

HostKeyAnswer CliSessionHost::AskHostKey(const HostKeyInfo &key)
{
    m_rejectedKey = key;
    return HostKeyAnswer::Refuse;
}
