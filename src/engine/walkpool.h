#pragma once

#include "transferpool.h"

#include <QString>

#include <memory>

class RemoteFileSystem;

// What a folder walk needs of whoever runs it, downloads and uploads alike:
// the window (its flags and prompts) or glimra-cli (its options).
class WalkHost {
public:
    virtual ~WalkHost() = default;

    // Whether the walk may take its next step (connected, no stop asked).
    virtual bool MayContinue() = 0;
    // The user asked to cut the running transfers too.
    virtual bool AbortWanted() { return false; }
    // The walk stops: the server refused a folder or a file (message names
    // it and the server's reply), or a folder could not be made.
    virtual void Refused(const QString &message) = 0;
    // A file starts to move over the walking session (size -1: unknown).
    virtual void FileStarting(const QString &name, qint64 size)
    {
        Q_UNUSED(name)
        Q_UNUSED(size)
    }
    virtual void Log(const QString &line) = 0;
    // Between steps, and while waiting for the pool: let events run, show
    // progress, keep the session alive.
    virtual void BetweenSteps() {}
    virtual void WhileWaiting(const TransferPool &pool) { Q_UNUSED(pool) }
};

// The pool a folder walk hands its files to, and the wait for them at its
// end, with the rules that make several connections decide what one would:
// a cancel answered in the overwrite question lets every file decided
// before it complete, also those only queued; a stop asked for otherwise
// drops the queue and lets the running files finish; an abort cuts them;
// a refusal or failure on a connection ends the walk as one on the session.
class WalkPool {
public:
    explicit WalkPool(WalkHost &host)
        : m_host(host)
    {
    }

    // Starts an operation; without a pool (nullptr) its files move over the session.
    void Use(std::unique_ptr<TransferPool> pool)
    {
        m_pool = std::move(pool);
        m_cancelledByDecision = false;
    }
    // Cuts what the pool still moves (an error ended the operation).
    void Drop() { m_pool.reset(); }
    bool Active() const { return m_pool != nullptr; }

    // Queues a file; false when there is no pool and the walk moves it itself.
    bool Add(PooledTransfer transfer, NameEncoding encoding);
    // The host's decision on a file was a cancel.
    void NoteCancelledByDecision() { m_cancelledByDecision = true; }
    // Whether the walk ends here: the host asks it, or a connection was
    // refused or failed (the refusal goes to the host).
    bool Stopping();
    // Waits for the queued files over the walking session. Raises the
    // pool's first error; a refusal goes to the host.
    void Finish(RemoteFileSystem &session);

private:
    TransferPool::Stop StopWanted();

    WalkHost &m_host;
    std::unique_ptr<TransferPool> m_pool;
    bool m_cancelledByDecision = false;
};
