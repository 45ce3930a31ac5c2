#include "decodequeue.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThreadPool>

#include <atomic>

namespace {

QThreadPool &DecodePool()
{
    static QThreadPool *pool = [] {
        auto *created = new QThreadPool(QCoreApplication::instance());
        created->setMaxThreadCount(QThread::idealThreadCount());
        return created;
    }();
    return *pool;
}

} // namespace

// What the queue shares with its running tasks, which may outlive it.
struct DecodeQueue::Shared {
    QMutex mutex;
    DecodeQueue *queue = nullptr; // null once the queue is gone
    std::atomic<quint64> firstValidRequest = 1;
};

DecodeQueue::DecodeQueue(QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
{
    m_shared->queue = this;
}

DecodeQueue::~DecodeQueue()
{
    // Tasks not started yet skip their work.
    m_shared->firstValidRequest.store(m_nextRequest);
    const QMutexLocker lock(&m_shared->mutex);
    m_shared->queue = nullptr;
}

quint64 DecodeQueue::Request(const QString &path, const QSize &box, bool withInformation)
{
    const quint64 request = m_nextRequest++;
    ++m_pending;
    DecodePool().start([shared = m_shared, request, path, box, withInformation] {
        if (request < shared->firstValidRequest)
            return;
        DecodeResult result{ImageLibrary::Decode(path, box),
                            withInformation ? ImageLibrary::ReadInformation(path) : std::nullopt};
        // Posting under the lock: the queue cannot be destroyed meanwhile,
        // and its destruction drops what was posted to it.
        const QMutexLocker lock(&shared->mutex);
        if (DecodeQueue *queue = shared->queue) {
            QMetaObject::invokeMethod(
                queue, [queue, request, result = std::move(result)] { queue->Deliver(request, result); },
                Qt::QueuedConnection);
        }
    });
    return request;
}

void DecodeQueue::CancelAll()
{
    m_shared->firstValidRequest = m_nextRequest;
    m_pending = 0;
}

void DecodeQueue::Deliver(quint64 request, const DecodeResult &result)
{
    if (request < m_shared->firstValidRequest)
        return;
    --m_pending;
    emit decoded(request, result);
}
