#include "walkpool.h"

#include "idexceptions.h"

bool WalkPool::Add(PooledTransfer transfer, NameEncoding encoding)
{
    if (!m_pool)
        return false;
    m_pool->Add(std::move(transfer), encoding);
    return true;
}

bool WalkPool::Stopping()
{
    if (!m_host.MayContinue())
        return true;
    if (!m_pool || !m_pool->Stopped())
        return false;
    if (const QString refusal = m_pool->RefusalMessage(); !refusal.isEmpty())
        m_host.Refused(refusal);
    return true;
}

TransferPool::Stop WalkPool::StopWanted()
{
    if (m_host.AbortWanted())
        return TransferPool::Stop::Now;
    if (!m_host.MayContinue() && !m_cancelledByDecision)
        return TransferPool::Stop::AfterRunningFiles;
    return TransferPool::Stop::None;
}

void WalkPool::Finish(RemoteFileSystem &session)
{
    if (!m_pool)
        return;
    const std::unique_ptr<TransferPool> pool = std::move(m_pool);
    pool->Finish(
        session, [this] { return StopWanted(); }, [this, &pool] { m_host.WhileWaiting(*pool); });
    if (const QString error = pool->FirstError(); !error.isEmpty())
        throw EIdException(error);
    if (const QString refusal = pool->RefusalMessage(); !refusal.isEmpty() && m_host.MayContinue())
        m_host.Refused(refusal);
}
