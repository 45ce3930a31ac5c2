#pragma once

#include <QString>

// One socket with its local and peer addresses. Owns the descriptor.
class TIdSocketHandle {
public:
    TIdSocketHandle() = default;
    ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle &) = delete;
    TIdSocketHandle &operator=(const TIdSocketHandle &) = delete;

    int Handle = -1;
    bool Allocated = false;
    QString IP;
    int Port = 0;
    QString PeerIP;
    int PeerPort = 0;

    // Forgets the socket (without closing it) and the peer; the local
    // address too when resetLocal is set.
    void Reset(bool resetLocal = true);
    // Reads both addresses from the connected descriptor.
    void UpdateBindingLocal();
    void UpdateBindingPeer();
};
