#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// The one thread on which every library call of an SFTP session runs: the
// library blocks while it waits for the server, so the calling thread hands
// it the call and waits in the pump of TIdAntiFreeze meanwhile, as a socket
// wait of the FTP engine does.
class SftpWorker {
public:
    using Job = std::function<void()>;

    SftpWorker();
    ~SftpWorker();
    SftpWorker(const SftpWorker &) = delete;
    SftpWorker &operator=(const SftpWorker &) = delete;

    // Runs job on the worker thread and returns once it is done; rethrows
    // what it threw. While it runs, the calling thread pumps and calls
    // eachSlice between slices and once more after the job ended (a
    // transfer moves its data there, on the caller's thread).
    void Run(const Job &job, const Job &eachSlice = {});
    // The same without pumping, for the destructor of a session.
    void RunQuietly(const Job &job);
    // Whether a job runs: a call that arrives through the pump meanwhile
    // must not start another.
    bool Busy() const { return m_busy; }
    // From the job: ends the caller's current slice early (new data).
    void WakeCaller();

private:
    void Loop();
    void Post(const Job &job);
    bool WaitSlice(int milliseconds);

    std::mutex m_mutex;
    std::condition_variable m_jobPosted;
    std::condition_variable m_callerWake;
    Job m_job;
    bool m_jobDone = true;
    bool m_woken = false;
    bool m_stop = false;
    bool m_busy = false;
    std::exception_ptr m_failure;
    std::thread m_thread;
};
