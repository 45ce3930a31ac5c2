#include "sessiontalk.h"

#include "mainsession.h"

SessionTalk::SessionTalk(MainSession &session)
    : m_session(session)
    , m_wasBusy(session.Flags.OperationBusy)
{
    m_session.Flags.OperationBusy = true;
}

SessionTalk::~SessionTalk()
{
    m_session.Flags.OperationBusy = m_wasBusy;
    m_session.NotifyStateChanged();
}
