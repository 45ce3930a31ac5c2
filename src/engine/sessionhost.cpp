#include "sessionhost.h"

void SessionHost::SetActivity(int) {}

bool SessionHost::AskCredentials(const QString &, QString &, QString &)
{
    return false;
}

void SessionHost::ConnectionLost() {}

void SessionHost::SetTransferActive(bool) {}

QString SessionHost::SslKeyPassword(bool askUser, const QString &storedPassword)
{
    return askUser ? QString() : storedPassword;
}

bool SessionHost::AcceptServerCertificate(const ServerCertificateInfo &)
{
    return false;
}

HostKeyAnswer SessionHost::AskHostKey(const HostKeyInfo &)
{
    return HostKeyAnswer::Refuse;
}

QString SessionHost::IdentityPassphrase(const QString &, bool askUser, const QString &storedPassphrase)
{
    return askUser ? QString() : storedPassphrase;
}
