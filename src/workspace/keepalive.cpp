#include "keepalive.h"

#include "mainsession.h"
#include "sessiontalk.h"

using namespace Qt::StringLiterals;

KeepAlive::KeepAlive(MainSession &session, QObject *parent)
    : QObject(parent)
    , m_session(session)
{
    setObjectName(u"KeepAlive"_s);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &KeepAlive::Tick);
    m_sinceTraffic.start();
}

void KeepAlive::SetInterval(int seconds)
{
    m_seconds = std::max(seconds, 0);
    if (m_seconds == 0)
        m_timer.stop();
    else
        m_timer.start(m_seconds * 1000);
}

void KeepAlive::NoteTraffic()
{
    m_sinceTraffic.restart();
}

void KeepAlive::Tick()
{
    const qint64 interval = qint64(m_seconds) * 1000;
    const qint64 quiet = m_sinceTraffic.elapsed();
    if (quiet < interval) {
        m_timer.start(int(interval - quiet));
        return;
    }
    m_timer.start(int(interval));
    if (m_session.SessionIdle() && !m_session.CommandRunning())
        SendNoop();
}

void KeepAlive::KeepWaitingSessionAlive()
{
    if (m_seconds > 0 && m_sinceTraffic.elapsed() >= qint64(m_seconds) * 1000)
        m_session.Remote().KeepAlive();
}

// While the NOOP waits for its answer, the session counts as busy, so that
// a command pressed meanwhile is refused instead of cutting in.
void KeepAlive::SendNoop()
{
    const SessionTalk talk(m_session);
    m_session.RunCommand([this] { m_session.Remote().KeepAlive(); });
}
