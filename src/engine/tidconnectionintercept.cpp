#include "tidconnectionintercept.h"

TIdConnectionIntercept::TIdConnectionIntercept(QObject *parent)
    : QObject(parent)
{
}

void TIdConnectionIntercept::Connect(TIdSocketHandle &) {}

void TIdConnectionIntercept::NotifyReceived(QByteArrayView) {}

void TIdConnectionIntercept::NotifySent(QByteArrayView) {}

void TIdConnectionIntercept::Closing() {}

void TIdConnectionIntercept::Disconnect() {}

qint64 TIdConnectionIntercept::Recv(char *, qint64)
{
    return -1;
}

qint64 TIdConnectionIntercept::Send(const char *, qint64)
{
    return 0;
}

bool TIdConnectionIntercept::HasPendingData() const
{
    return false;
}
