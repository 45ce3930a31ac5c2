#include "transferpool.h"

#include "idexceptions.h"
#include "tidantifreeze.h"
#include "tidftp.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// How long the waiting thread sleeps between looks at the pool; the UI pump
// runs at least this often.
constexpr auto kWaitSlice = std::chrono::milliseconds(10);

DownloadOutcome Upload(RemoteFileSystem &session, const PooledTransfer &transfer, const StopQuery &stopped)
{
    session.SetTransferType(ftBinary);
    if (!session.StoreFile(transfer.localPath, transfer.remotePath))
        return stopped() ? DownloadOutcome::Stopped : DownloadOutcome::Refused;
    if (transfer.remoteTime.isValid())
        session.SetModifiedTime(transfer.remotePath, transfer.remoteTime);
    return DownloadOutcome::Completed;
}

} // namespace

struct TransferPool::Shared {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<PooledTransfer> queue;
    int running = 0;     // files being moved by the connections
    int connections = 0; // connections working or logging in
    bool closed = false; // nothing more will be added
    bool stopTaking = false;
    QString firstError;
    QString refusal;
    std::atomic_bool cancel = false;
    std::atomic<qint64> bytesDone = 0;
    qint64 bytesQueued = 0;
    bool announceUtf8 = false;
    bool logTraffic = false;
    std::vector<Event> events;

    // The next file for a connection; none once the queue is closed and
    // empty, or the pool stopped.
    std::optional<PooledTransfer> Take()
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [this] { return cancel || stopTaking || closed || !queue.empty(); });
        if (cancel || stopTaking || queue.empty())
            return std::nullopt;
        return StartFront();
    }

    // The file at the front of the queue, running from now on; the lock is held.
    PooledTransfer StartFront()
    {
        PooledTransfer next = std::move(queue.front());
        queue.pop_front();
        ++running;
        return next;
    }

    // The file at the front of the queue when it is a download of at most
    // largest bytes: taken while the file before still moves, so that the
    // session may ask for it early. It counts as running until it is done
    // or dropped (see StillWanted). Larger files stay for any connection.
    std::optional<PooledTransfer> TakeAhead(qint64 largest)
    {
        const std::lock_guard guard(lock);
        if (largest <= 0 || cancel || stopTaking || queue.empty())
            return std::nullopt;
        const PooledTransfer &front = queue.front();
        if (front.direction != PooledTransfer::Direction::Download || front.size < 0 || front.size > largest)
            return std::nullopt;
        return StartFront();
    }

    // The download at the front of the queue, left there.
    std::optional<PooledTransfer> DownloadWaiting()
    {
        const std::lock_guard guard(lock);
        if (cancel || stopTaking || queue.empty() ||
            queue.front().direction != PooledTransfer::Direction::Download)
            return std::nullopt;
        return queue.front();
    }

    // Whether a file taken ahead may still begin: a stop since drops it as
    // it dropped the queue.
    bool StillWanted()
    {
        {
            const std::lock_guard guard(lock);
            if (!cancel && !stopTaking)
                return true;
            --running;
        }
        changed.notify_all();
        return false;
    }

    // A refusal or a failure ends the taking, as it ends the walk of a
    // single connection; the files running meanwhile complete.
    void Done(DownloadOutcome outcome, const QString &refusalText = QString(),
              const QString &error = QString())
    {
        {
            const std::lock_guard guard(lock);
            --running;
            const bool failed = !error.isEmpty() || outcome == DownloadOutcome::Refused;
            if (failed && !cancel) {
                if (!error.isEmpty() && firstError.isEmpty() && refusal.isEmpty())
                    firstError = error;
                else if (error.isEmpty() && refusal.isEmpty() && firstError.isEmpty())
                    refusal = refusalText;
                stopTaking = true;
                queue.clear();
            }
        }
        changed.notify_all();
    }

    void ConnectionEnded()
    {
        {
            const std::lock_guard guard(lock);
            --connections;
        }
        changed.notify_all();
    }

    void Report(Event::Kind kind, int connection, const QString &text)
    {
        const std::lock_guard guard(lock);
        events.push_back({kind, connection, text});
    }
};

TransferPool::TransferPool(const RemoteFileSystem &session, int connections, bool announceUtf8,
                           bool logTraffic)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->announceUtf8 = announceUtf8;
    m_shared->logTraffic = logTraffic;
    for (int index = 0; index < connections; ++index) {
        // The profile is read here, on the caller's thread, which owns the session.
        m_unstarted.push_back(session.NewSessionLikeThis());
    }
}

TransferPool::~TransferPool()
{
    Cancel();
    for (std::thread &thread : m_threads)
        thread.join();
}

// The connections log in once there is something to move, while the walk
// goes on finding more.
void TransferPool::StartConnections()
{
    {
        const std::lock_guard guard(m_shared->lock);
        m_shared->connections = int(m_unstarted.size());
    }
    int number = 2;
    for (std::unique_ptr<RemoteFileSystem> &session : m_unstarted)
        m_threads.emplace_back(&TransferPool::Work, m_shared, std::move(session), number++);
    m_unstarted.clear();
}

void TransferPool::Add(PooledTransfer transfer, NameEncoding encoding)
{
    transfer.encoding = encoding;
    {
        const std::lock_guard guard(m_shared->lock);
        // A stopped pool takes nothing more.
        if (m_shared->cancel || m_shared->stopTaking)
            return;
        m_shared->bytesQueued += std::max<qint64>(transfer.size, 0);
        m_shared->queue.push_back(std::move(transfer));
    }
    if (!m_unstarted.empty())
        StartConnections();
    m_shared->changed.notify_one();
    DeliverEvents();
}

void TransferPool::StopTaking()
{
    {
        const std::lock_guard guard(m_shared->lock);
        m_shared->stopTaking = true;
        m_shared->queue.clear();
    }
    m_shared->changed.notify_all();
}

void TransferPool::Cancel()
{
    {
        const std::lock_guard guard(m_shared->lock);
        m_shared->cancel = true;
        m_shared->queue.clear();
    }
    m_shared->changed.notify_all();
}

void TransferPool::Finish(RemoteFileSystem &session, const std::function<Stop()> &stopWanted,
                          const std::function<void()> &whileWaiting)
{
    {
        const std::lock_guard guard(m_shared->lock);
        m_shared->closed = true;
    }
    m_shared->changed.notify_all();
    for (;;) {
        const Stop stop = stopWanted();
        if (stop == Stop::Now)
            Cancel();
        else if (stop == Stop::AfterRunningFiles)
            StopTaking();
        DeliverEvents();
        {
            std::unique_lock guard(m_shared->lock);
            if (m_shared->queue.empty() && m_shared->running == 0)
                break;
            const bool orphaned = m_shared->connections == 0 && !m_shared->queue.empty();
            if (!orphaned)
                m_shared->changed.wait_for(guard, kWaitSlice);
        }
        if (!RunOneOnSession(session)) {
            TIdAntiFreeze::DoProcessThrottled();
            whileWaiting();
        }
    }
    DeliverEvents();
    whileWaiting();
}

void TransferPool::DeliverEvents()
{
    std::vector<Event> events;
    {
        const std::lock_guard guard(m_shared->lock);
        events.swap(m_shared->events);
    }
    if (!m_observer)
        return;
    for (const Event &event : events)
        m_observer(event);
}

// Files that no extra connection is left for go over the caller's session,
// one per call.
bool TransferPool::RunOneOnSession(RemoteFileSystem &session)
{
    std::optional<PooledTransfer> next;
    {
        const std::lock_guard guard(m_shared->lock);
        if (m_shared->connections > 0 || m_shared->queue.empty() || m_shared->cancel || m_shared->stopTaking)
            return false;
        next = m_shared->StartFront();
    }
    if (m_observer)
        m_observer({Event::Kind::FileStarted, 1, next->localPath});
    try {
        const DownloadOutcome outcome = Move(session, *next, [this] { return m_shared->cancel.load(); });
        m_shared->bytesDone += std::max<qint64>(next->size, 0);
        m_shared->Done(outcome, next->remotePath + u": "_s + session.LastReplyLine());
    } catch (const EIdException &error) {
        m_shared->Done(DownloadOutcome::Refused, QString(), error.Message());
        throw;
    }
    return true;
}

bool TransferPool::Stopped() const
{
    const std::lock_guard guard(m_shared->lock);
    return m_shared->cancel || m_shared->stopTaking;
}

QString TransferPool::FirstError() const
{
    const std::lock_guard guard(m_shared->lock);
    return m_shared->firstError;
}

bool TransferPool::TransferRefused() const
{
    const std::lock_guard guard(m_shared->lock);
    return !m_shared->refusal.isEmpty();
}

QString TransferPool::RefusalMessage() const
{
    const std::lock_guard guard(m_shared->lock);
    return m_shared->refusal;
}

qint64 TransferPool::BytesDone() const
{
    return m_shared->bytesDone;
}

qint64 TransferPool::BytesQueued() const
{
    const std::lock_guard guard(m_shared->lock);
    return m_shared->bytesQueued;
}

int TransferPool::Connections() const
{
    const std::lock_guard guard(m_shared->lock);
    return m_shared->connections;
}

DownloadOutcome TransferPool::Move(RemoteFileSystem &session, const PooledTransfer &transfer,
                                   const StopQuery &stopped)
{
    if (transfer.direction == PooledTransfer::Direction::Upload)
        return Upload(session, transfer, stopped);
    FileDownload file;
    file.remotePath = transfer.remotePath;
    file.target = transfer.localPath;
    file.knownSize = transfer.size;
    file.remoteTime = transfer.remoteTime;
    file.reservedNames = transfer.reservedNames;
    // What arrived of a cut file stays for "Fortsetzen", as on the window's session.
    file.leftover = PartFile::Leftover::Keep;
    return ReceiveFile(session, file, stopped);
}

// One extra connection: logs in, then moves files until the queue is done.
// It has no host, so it never asks the user anything: a login or a server
// certificate that would need the user's word ends this connection only.
void TransferPool::Work(const std::shared_ptr<Shared> &shared, std::unique_ptr<RemoteFileSystem> session,
                        int number)
{
    const auto ended = qScopeGuard([&] { shared->ConnectionEnded(); });
    // This thread's waits look at the cancel instead of pumping the window.
    TIdAntiFreeze::Install([&shared, &session] {
        if (shared->cancel)
            session->Abort();
    });
    const auto report = [&shared, number](const QString &line) {
        shared->Report(Event::Kind::Traffic, number, line);
    };
    qint64 counted = 0;
    const auto count = [&shared, &counted](qint64 moved) {
        if (moved > 0)
            shared->bytesDone += moved - counted;
        counted = moved;
    };
    session->ReportTrafficTo(report, shared->logTraffic);
    session->ReportProgressTo(count);
    try {
        session->ConnectAndLogin();
        // Servers that want to be told about UTF-8 are told on this connection too.
        if (TIdFTP *ftp = session->Ftp(); ftp && ftp->LoggedIn() && shared->announceUtf8)
            ftp->SendCheckedList(u"OPTS UTF8 ON"_s, {});
    } catch (const EIdException &error) {
        report(error.Message());
    }
    if (!session->LoggedIn() || !session->IsConnected())
        return;

    std::optional<PooledTransfer> next = shared->Take();
    while (next) {
        std::optional<PooledTransfer> after;
        std::optional<PooledTransfer> following;
        if (next->direction == PooledTransfer::Direction::Download) {
            after = shared->TakeAhead(session->LargestFileAskedForAhead());
            // A download not taken may go to another connection, but a
            // session that asks for no file ahead prepares its transfer.
            following = after ? after : shared->DownloadWaiting();
        }
        if (following && following->encoding == next->encoding)
            session->AnnounceNextRetrieve(following->remotePath, following->size);
        session->SetNamesEncoding(next->encoding);
        shared->Report(Event::Kind::FileStarted, number, next->localPath);
        try {
            const DownloadOutcome outcome =
                Move(*session, *next, [&shared] { return shared->cancel.load(); });
            shared->Done(outcome, next->remotePath + u": "_s + session->LastReplyLine());
        } catch (const EIdException &error) {
            shared->Done(DownloadOutcome::Refused, QString(), error.Message());
        }
        if (after && shared->StillWanted())
            next = std::move(after);
        else
            next = shared->Take();
    }
    try {
        session->Quit();
    } catch (const EIdException &) {
    }
}
