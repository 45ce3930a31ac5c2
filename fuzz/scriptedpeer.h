#pragma once

#include "tidconnectionintercept.h"
#include "tidtcpconnection.h"

#include <QByteArray>

// Plays a peer that sends a fixed stream of bytes, in pieces of a chosen
// size, and then closes; what the connection sends is dropped. It stands in
// for the socket, so the connection's own reading code runs, and it never
// lets a read wait: after the last byte every receive reports the close.
class ScriptedPeer : public TIdConnectionIntercept {
public:
    ScriptedPeer(QByteArray stream, qint64 pieceSize);

    // Makes the connection read from this peer, as if freshly connected to
    // peerAddress.
    void Attach(TIdTCPConnection &connection, const QString &peerAddress);

    qint64 Recv(char *buffer, qint64 size) override;
    qint64 Send(const char *buffer, qint64 size) override;
    bool HasPendingData() const override;

private:
    QByteArray m_stream;
    qint64 m_position = 0;
    qint64 m_pieceSize;
};
