#pragma once

#include "imagelibrary.h"

#include <QObject>

#include <memory>

// What one request brought back: the picture (none when it could not be
// read) and, when asked for, what the decoder reports about the file.
struct DecodeResult {
    std::optional<DecodedImage> picture;
    std::optional<ImageInformation> information;
};

// Decodes pictures away from the window's thread, on a pool with a thread
// per core, and hands each result back on the queue's own thread as soon
// as it is done. Results of cancelled requests never arrive.
class DecodeQueue : public QObject {
    Q_OBJECT

public:
    explicit DecodeQueue(QObject *parent = nullptr);
    ~DecodeQueue() override;

    // The request's number, which decoded() names with its result.
    quint64 Request(const QString &path, const QSize &box, bool withInformation = false);
    // Every request made so far is forgotten; those not started yet are
    // not decoded at all.
    void CancelAll();
    // Requests whose results have not arrived yet.
    int Pending() const { return m_pending; }

signals:
    void decoded(quint64 request, const DecodeResult &result);

private:
    struct Shared;
    void Deliver(quint64 request, const DecodeResult &result);

    std::shared_ptr<Shared> m_shared;
    quint64 m_nextRequest = 1;
    int m_pending = 0;
};
