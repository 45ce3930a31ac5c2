#include "transferpool.h"

#include "idexceptions.h"
#include "partfile.h"
#include "tidantifreeze.h"
#include "tidconnectioninterceptopenssl.h"
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

[[noreturn]] void RaiseCannotCreate(const QString &path, const QString &reason)
{
    throw EIdException(u"Die Datei %1 kann nicht angelegt werden: %2"_s.arg(path, reason));
}

bool Download(TIdFTP &session, const PooledTransfer &transfer, const TransferPool::StopQuery &stopped)
{
    // What arrived of a cut file stays for "Fortsetzen", as on the window's session.
    PartFile part(transfer.localPath, PartFile::Leftover::Keep);
    if (!part.Open())
        RaiseCannotCreate(transfer.localPath, part.ErrorString());
    session.SetTransferType(ftBinary);
    if (transfer.size != 0 && !session.Retrieve(transfer.remotePath, part.Device()))
        return false;
    // A server may confirm a transfer the abort cut short; only the size tells.
    const bool stopping = stopped();
    const qint64 received = part.Device().size();
    if (stopping && received != transfer.size)
        return false;
    // So may a server whose data connection broke off.
    if (transfer.size > 0 && received != transfer.size)
        throw EIdIncompleteFile(transfer.localPath, received, transfer.size);
    if (!part.Commit(stopping ? QDateTime() : transfer.remoteTime))
        RaiseCannotCreate(transfer.localPath, part.ErrorString());
    return true;
}

bool Upload(TIdFTP &session, const PooledTransfer &transfer)
{
    session.SetTransferType(ftBinary);
    if (!session.StoreFile(transfer.localPath, transfer.remotePath))
        return false;
    if (transfer.remoteTime.isValid())
        session.SetModifiedTime(transfer.remotePath, transfer.remoteTime);
    return true;
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
    bool refused = false;
    std::atomic_bool cancel = false;
    std::atomic<qint64> bytesDone = 0;
    qint64 bytesQueued = 0;
    bool announceUtf8 = false;

    // The next file for a connection; none once the queue is closed and
    // empty, or the pool stopped.
    std::optional<PooledTransfer> Take()
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [this] { return cancel || stopTaking || closed || !queue.empty(); });
        if (cancel || stopTaking || queue.empty())
            return std::nullopt;
        PooledTransfer next = std::move(queue.front());
        queue.pop_front();
        ++running;
        return next;
    }

    void Done(bool moved, const QString &error = QString())
    {
        {
            const std::lock_guard guard(lock);
            --running;
            if (!error.isEmpty() && firstError.isEmpty() && !cancel)
                firstError = error;
            else if (!moved && error.isEmpty() && !cancel)
                refused = true;
            if (!moved) {
                cancel = true;
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
};

TransferPool::TransferPool(const TIdFTP &session, int connections, bool announceUtf8)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->connections = connections;
    m_shared->announceUtf8 = announceUtf8;
    for (int index = 0; index < connections; ++index) {
        // The profile is read here, on the caller's thread, which owns the session.
        auto copy = std::make_unique<TIdFTP>();
        CopyProfile(session, *copy);
        m_threads.emplace_back(&TransferPool::Work, m_shared, std::move(copy));
    }
}

TransferPool::~TransferPool()
{
    Cancel();
    for (std::thread &thread : m_threads)
        thread.join();
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
    m_shared->changed.notify_one();
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

void TransferPool::Finish(TIdFTP &session, const std::function<Stop()> &stopWanted,
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
    whileWaiting();
}

// Files that no extra connection is left for go over the caller's session,
// one per call.
bool TransferPool::RunOneOnSession(TIdFTP &session)
{
    std::optional<PooledTransfer> next;
    {
        const std::lock_guard guard(m_shared->lock);
        if (m_shared->connections > 0 || m_shared->queue.empty() || m_shared->cancel || m_shared->stopTaking)
            return false;
        next = std::move(m_shared->queue.front());
        m_shared->queue.pop_front();
        ++m_shared->running;
    }
    try {
        const bool moved = Move(session, *next, [this] { return m_shared->cancel.load(); });
        m_shared->bytesDone += std::max<qint64>(next->size, 0);
        m_shared->Done(moved);
    } catch (const EIdException &) {
        m_shared->Done(false);
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
    return m_shared->refused;
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

bool TransferPool::Move(TIdFTP &session, const PooledTransfer &transfer, const StopQuery &stopped)
{
    if (transfer.direction == PooledTransfer::Direction::Download)
        return Download(session, transfer, stopped);
    return Upload(session, transfer);
}

void TransferPool::CopyProfile(const TIdFTP &from, TIdFTP &to)
{
    to.Host = from.Host;
    to.Port = from.Port;
    to.ResolveTimeout = from.ResolveTimeout;
    to.BoundIP = from.BoundIP;
    to.UseNagle = from.UseNagle;
    to.SocksInfo = from.SocksInfo;
    to.RecvBufferSize = from.RecvBufferSize;
    to.SendBufferSize = from.SendBufferSize;
    // Names go back as the bytes they came as.
    to.Encoding = from.Encoding;
    to.User = from.User;
    to.Password = from.Password;
    to.Passive = from.Passive;
    to.Gateway_Use = from.Gateway_Use;
    to.Gateway_Host = from.Gateway_Host;
    to.Gateway_Port = from.Gateway_Port;
    to.Gateway_Authenticate = from.Gateway_Authenticate;
    to.Gateway_User = from.Gateway_User;
    to.Gateway_Password = from.Gateway_Password;
    to.Gateway_Art = from.Gateway_Art;
    to.TrustPassiveAddress = from.TrustPassiveAddress;
    to.UseSSL = from.UseSSL;
    to.SSLExplicit = from.SSLExplicit;
    to.RootCertificateFile = from.RootCertificateFile;
    to.KeyFile = from.KeyFile;
    to.CertificateFile = from.CertificateFile;
    to.SSLPassword = from.SSLPassword;
    to.SSLMethod = from.SSLMethod;
    to.SSLDepth = from.SSLDepth;
    to.SSLPeer = from.SSLPeer;
    to.SSLPeerCert = from.SSLPeerCert;
    to.SSLClientOnce = from.SSLClientOnce;
    to.TimeCorrection = from.TimeCorrection;
    to.MaxListingSize = from.MaxListingSize;
}

// One extra connection: logs in, then moves files until the queue is done.
// It has no host, so it never asks the user anything: a login or a server
// certificate that would need the user's word ends this connection only.
void TransferPool::Work(const std::shared_ptr<Shared> &shared, std::unique_ptr<TIdFTP> session)
{
    const auto ended = qScopeGuard([&] { shared->ConnectionEnded(); });
    // This thread's waits look at the cancel instead of pumping the window.
    TIdAntiFreeze::Install([&shared, &session] {
        if (shared->cancel)
            session->Abort();
    });
    std::unique_ptr<TIdConnectionInterceptOpenSSL> tls;
    if (session->UseSSL) {
        tls = std::make_unique<TIdConnectionInterceptOpenSSL>();
        tls->ConfigureFrom(*session);
        session->SetIntercept(tls.get());
        session->SetInterceptEnabled(true);
    }
    // Servers that want to be told about UTF-8 are told on this connection too.
    try {
        session->ConnectAndLogin();
        if (session->LoggedIn() && shared->announceUtf8)
            session->SendCheckedList(u"OPTS UTF8 ON"_s, {});
    } catch (const EIdException &) {
    }
    if (!session->LoggedIn() || !session->IsConnected())
        return;

    qint64 counted = 0;
    const auto count = [&shared, &counted](TIdTCPConnection *, TWorkMode, qint64 total) {
        shared->bytesDone += total - counted;
        counted = total;
    };
    session->OnWorkBegin = [&counted](TIdTCPConnection *, TWorkMode, qint64) { counted = 0; };
    session->OnWork = count;
    while (std::optional<PooledTransfer> next = shared->Take()) {
        session->Encoding = next->encoding;
        try {
            shared->Done(Move(*session, *next, [&shared] { return shared->cancel.load(); }));
        } catch (const EIdException &error) {
            shared->Done(false, error.Message());
        }
    }
    try {
        session->Quit();
    } catch (const EIdException &) {
    }
    session->SetIntercept(nullptr);
}
