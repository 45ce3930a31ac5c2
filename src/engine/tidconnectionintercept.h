#pragma once

#include <QByteArrayView>
#include <QObject>

class TIdSocketHandle;

// Sees, or replaces, all traffic of a connection. The session log watches
// through the notifications; the TLS layer performs receive and send itself.
class TIdConnectionIntercept : public QObject {
    Q_OBJECT

public:
    explicit TIdConnectionIntercept(QObject *parent = nullptr);

    bool HandlesReceive() const { return m_handlesReceive; }
    bool HandlesSend() const { return m_handlesSend; }

    virtual void Connect(TIdSocketHandle &socket);
    virtual void NotifyReceived(QByteArrayView bytes);
    virtual void NotifySent(QByteArrayView bytes);
    // Called while the socket is still open, right before it is shut down.
    virtual void Closing();
    virtual void Disconnect();

    // Only called when the handling flags are set. Both return the byte count,
    // 0 when the peer closed, and throw on errors. Recv never blocks: it
    // returns -1 when nothing can be read yet, and the connection waits for
    // the socket before asking again. Send may wait (running the pump) until
    // it has sent at least one byte.
    virtual qint64 Recv(char *buffer, qint64 size);
    virtual qint64 Send(const char *buffer, qint64 size);
    // Bytes already decoded and waiting, so no socket wait is needed.
    virtual bool HasPendingData() const;

protected:
    bool m_handlesReceive = false;
    bool m_handlesSend = false;
};
