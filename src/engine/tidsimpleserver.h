#pragma once

#include "tidtcpconnection.h"

#include <functional>

// A one-shot listening endpoint: accepts exactly one connection (the data
// connection of an active-mode transfer).
class TIdSimpleServer : public TIdTCPConnection {
public:
    TIdSimpleServer() = default;
    ~TIdSimpleServer() override;

    QString BoundIP;
    int BoundPort = 0;
    int ListenTimeout = 0;
    // Asked while waiting for the peer; true gives up (AcceptConnection
    // then returns false). The FTP session stops waiting when the server
    // answers on the control connection instead of connecting.
    std::function<bool()> StopWaiting;

    void BeginListen();
    bool AcceptConnection();
    void AbortListen() { m_abortRequested = true; }
    // The bound address and port while listening.
    const TIdSocketHandle &ListenBinding() const { return m_listening; }
    void CloseConnection() override;

private:
    void BindListeningSocket();
    void CloseListeningSocket();

    TIdSocketHandle m_listening;
    bool m_abortRequested = false;
};
