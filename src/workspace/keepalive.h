#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class MainSession;

// Keeps a quiet main session from being dropped by its server: once the
// control connection has carried nothing for the interval, it sends NOOP.
// The timer fires inside the waits of other commands too (they run the
// event loop), so a NOOP goes out only while the session is idle and no
// command of the window runs; otherwise it tries again an interval later.
class KeepAlive : public QObject {
    Q_OBJECT

public:
    KeepAlive(MainSession &session, QObject *parent);

    // Seconds of quiet before a NOOP; 0 switches it off.
    void SetInterval(int seconds);
    int Interval() const { return m_seconds; }
    // Something went over the control connection: the quiet starts anew.
    void NoteTraffic();
    // For an operation whose own session waits while other connections move
    // its files: a NOOP on it, within the operation, once it has been quiet
    // for the interval. A failed NOOP ends the operation like any command.
    void KeepWaitingSessionAlive();

private:
    void Tick();
    void SendNoop();

    MainSession &m_session;
    QTimer m_timer;
    QElapsedTimer m_sinceTraffic;
    int m_seconds = 0;
};
