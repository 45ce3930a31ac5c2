#pragma once

#include "tidtcpconnection.h"
#include "tsocksinfo.h"

// An outgoing connection.
class TIdTCPClient : public TIdTCPConnection {
public:
    TIdTCPClient() = default;

    // How long a host name lookup may take, and how long an address may
    // keep the next one waiting, in milliseconds; the window sets the
    // profile's Timeout.
    static constexpr int kDefaultResolveTimeout = 5000;

    QString Host;
    int Port = 0;
    int ResolveTimeout = kDefaultResolveTimeout;
    QString BoundIP;
    bool UseNagle = true;
    TSocksInfo SocksInfo;
    TNotifyEvent OnConnected;
    // Why the last OpenConnection that returned false failed (a name that
    // does not resolve, a refused connect, a time-out); empty after one that
    // succeeded. The failure itself is no error of this layer.
    QString ConnectError;

    // False for every failure of the socket part; a failure of the
    // interceptor's connect (the TLS handshake) is thrown.
    virtual bool OpenConnection();
    // Open, read everything until the peer closes, close.
    QString OpenReadAllClose();

private:
    QStringList PeerAddresses();
    void ConnectToFirstAnswering(const QStringList &addresses);
    void ConnectTo(const QString &address, int timeout);
};
