#pragma once

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;
class QNetworkAccessManager;
class QUrl;
class TIdLogDebug;

// How the computer reaches the internet: directly, or through an HTTP proxy
// that may want a basic login.
struct HttpProxy {
    QString host; // empty: a direct connection
    quint16 port = 80;
    QString user; // empty: no proxy login
    QString password;
};

// Fetches the published connection list with one GET (HTTP/1.1, http or
// https with the system's certificate check) into a file. Get waits in a
// local event loop, so the window's events keep running while the server
// is slow; Cancel, called from one of them, closes the connection.
class ListDownload : public QObject {
    Q_OBJECT

public:
    // A hostile or broken server cannot fill the disk.
    static constexpr qint64 kMaxListBytes = 16 * 1024 * 1024;
    // A server that sends nothing for this long counts as unreachable.
    static constexpr int kStallTimeoutMs = 30000;

    enum class Outcome {
        Complete,
        NoConnection, // nothing arrived: no server, no proxy, no route
        Cancelled,
        Failed, // error says why: an HTTP status, an oversized body, TLS, the file
    };
    struct Result {
        Outcome outcome = Outcome::NoConnection;
        QString error;
    };

    explicit ListDownload(QObject *parent = nullptr);
    ~ListDownload() override;

    // The traffic: the request, the reply's status and headers and every
    // piece of the body, through the interceptor the window's log watches.
    TIdLogDebug &Log() { return *m_log; }
    std::function<void(const QString &text)> OnStatus;
    std::function<void(qint64 expectedSize)> OnWorkBegin; // 0 when the size is not announced
    std::function<void(qint64 count)> OnWork;
    std::function<void()> OnWorkEnd;
    std::function<void(int code)> OnActivity; // 2 while bytes come in, 1 between

    Result Get(const QUrl &url, const HttpProxy &proxy, QIODevice &target);
    void Cancel();
    bool IsRunning() const { return m_reply != nullptr; }

private:
    void Start(const QUrl &url, const HttpProxy &proxy);
    void LogRequest(const QUrl &url, bool throughProxy);
    void HandleHeaders();
    void HandleBody();
    void Refuse(const QString &reason);
    Result Finish();

    std::unique_ptr<TIdLogDebug> m_log;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    QPointer<QNetworkReply> m_reply;
    QIODevice *m_target = nullptr;
    qint64 m_received = 0;
    bool m_workBegun = false;
    bool m_cancelled = false;
    QString m_refusal;
};
