#include "sftpworker.h"

#include "tidantifreeze.h"

#include <chrono>

SftpWorker::SftpWorker()
    : m_thread([this] { Loop(); })
{
}

SftpWorker::~SftpWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_jobPosted.notify_one();
    m_thread.join();
}

void SftpWorker::Loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_jobPosted.wait(lock, [this] { return m_stop || !m_jobDone; });
        if (m_stop)
            return;
        Job job = std::move(m_job);
        lock.unlock();
        std::exception_ptr failure;
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        m_failure = failure;
        m_jobDone = true;
        m_callerWake.notify_one();
    }
}

void SftpWorker::Post(const Job &job)
{
    std::lock_guard lock(m_mutex);
    m_job = job;
    m_jobDone = false;
    m_woken = false;
    m_failure = nullptr;
    m_jobPosted.notify_one();
}

void SftpWorker::WakeCaller()
{
    std::lock_guard lock(m_mutex);
    m_woken = true;
    m_callerWake.notify_one();
}

// true once the job is done.
bool SftpWorker::WaitSlice(int milliseconds)
{
    std::unique_lock lock(m_mutex);
    m_callerWake.wait_for(lock, std::chrono::milliseconds(milliseconds),
                          [this] { return m_jobDone || m_woken; });
    m_woken = false;
    return m_jobDone;
}

void SftpWorker::Run(const Job &job, const Job &eachSlice)
{
    m_busy = true;
    Post(job);
    for (;;) {
        const int slice =
            TIdAntiFreeze::IsActive() ? TIdAntiFreeze::MillisecondsUntilDue() : TIdAntiFreeze::kMaxWaitSlice;
        const bool done = WaitSlice(slice);
        if (eachSlice)
            eachSlice();
        if (done)
            break;
        TIdAntiFreeze::DoProcessThrottled();
    }
    m_busy = false;
    std::exception_ptr failure;
    {
        std::lock_guard lock(m_mutex);
        failure = m_failure;
    }
    if (failure)
        std::rethrow_exception(failure);
}

void SftpWorker::RunQuietly(const Job &job)
{
    m_busy = true;
    Post(job);
    std::unique_lock lock(m_mutex);
    m_callerWake.wait(lock, [this] { return m_jobDone; });
    m_busy = false;
}
