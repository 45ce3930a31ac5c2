#include "listdownload.h"

#include "idglobal.h"
#include "textcodec.h"
#include "tidlogdebug.h"

#include <QEventLoop>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kAccept = "text/html, */*";
const QByteArray kUserAgent = "Mozilla/3.0 (compatible; FTP Glimra Update)";

// Errors of the way to the server, before any reply: the list could not
// be reached, which the window reports as no internet connection.
bool IsNoConnection(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the stall time-out
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return true;
    default:
        return false;
    }
}

QNetworkProxy ProxyFor(const HttpProxy &proxy)
{
    if (proxy.host.isEmpty())
        return QNetworkProxy(QNetworkProxy::NoProxy);
    return QNetworkProxy(QNetworkProxy::HttpProxy, proxy.host, proxy.port, proxy.user, proxy.password);
}

QString HeaderLines(const QList<QNetworkReply::RawHeaderPair> &headers)
{
    QString lines;
    for (const auto &[name, value] : headers)
        lines += QString::fromLatin1(name) + u": "_s + TextCodec::DecodeAuto(value) + u"\r\n"_s;
    return lines;
}

} // namespace

ListDownload::ListDownload(QObject *parent)
    : QObject(parent)
    , m_log(std::make_unique<TIdLogDebug>())
{
}

ListDownload::~ListDownload()
{
    Cancel();
}

ListDownload::Result ListDownload::Get(const QUrl &url, const HttpProxy &proxy, QIODevice &target)
{
    if (IsRunning())
        return {Outcome::Failed, u"Die Verbindungsliste wird bereits geladen."_s};
    m_target = &target;
    m_received = 0;
    m_workBegun = false;
    m_cancelled = false;
    m_refusal.clear();
    Start(url, proxy);
    QEventLoop wait;
    connect(m_reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    if (m_reply->isRunning())
        wait.exec();
    return Finish();
}

void ListDownload::Cancel()
{
    m_cancelled = true;
    if (m_reply)
        m_reply->abort();
}

void ListDownload::Start(const QUrl &url, const HttpProxy &proxy)
{
    // A fresh manager per run: no connection or proxy login of an earlier
    // run with other settings is reused.
    m_manager = std::make_unique<QNetworkAccessManager>();
    m_manager->setProxy(ProxyFor(proxy));
    QNetworkRequest request(url);
    request.setRawHeader("Accept", kAccept);
    request.setRawHeader("User-Agent", kUserAgent);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setTransferTimeout(kStallTimeoutMs);

    if (OnStatus)
        OnStatus(StatusText(hsResolving, url.host()));
    LogRequest(url, !proxy.host.isEmpty());
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::socketStartedConnecting, this, [this, url] {
        if (OnStatus)
            OnStatus(StatusText(hsConnecting, url.host()));
    });
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &ListDownload::HandleHeaders);
    connect(m_reply, &QNetworkReply::readyRead, this, &ListDownload::HandleBody);
}

void ListDownload::LogRequest(const QUrl &url, bool throughProxy)
{
    // A proxy is asked with the whole address, a server with the path. A
    // login inside the address stays out of the log.
    const QUrl::FormattingOptions withoutLogin = QUrl::FullyEncoded | QUrl::RemoveUserInfo;
    const QString target = throughProxy
                               ? url.toString(withoutLogin)
                               : url.toString(withoutLogin | QUrl::RemoveScheme | QUrl::RemoveAuthority);
    const QString host = url.port() < 0 ? url.host() : url.host() + u':' + QString::number(url.port());
    m_log->NotifySent((u"GET "_s + (target.isEmpty() ? u"/"_s : target) + u" HTTP/1.1\r\nHost: "_s + host +
                       u"\r\nAccept: "_s + QString::fromLatin1(kAccept) + u"\r\nUser-Agent: "_s +
                       QString::fromLatin1(kUserAgent) + u"\r\n\r\n"_s)
                          .toUtf8());
}

void ListDownload::HandleHeaders()
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString reason = m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    const QString statusLine = QString::number(status) + u' ' + reason;
    m_log->NotifyReceived(
        (statusLine + u"\r\n"_s + HeaderLines(m_reply->rawHeaderPairs()) + u"\r\n"_s).toUtf8());
    if (OnStatus)
        OnStatus(statusLine);
    if (m_workBegun)
        return;
    const qint64 announced = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (announced > kMaxListBytes) {
        Refuse(u"Die Verbindungsliste ist mit %1 Bytes größer als erlaubt (%2 Bytes)."_s.arg(announced).arg(
            kMaxListBytes));
        return;
    }
    m_workBegun = true;
    if (OnWorkBegin)
        OnWorkBegin(announced);
}

void ListDownload::HandleBody()
{
    if (!m_reply || !m_refusal.isEmpty())
        return;
    if (OnActivity)
        OnActivity(2);
    const QByteArray piece = m_reply->readAll();
    if (m_received + piece.size() > kMaxListBytes) {
        Refuse(u"Die Verbindungsliste ist größer als erlaubt (%1 Bytes)."_s.arg(kMaxListBytes));
        return;
    }
    if (m_target->write(piece) != piece.size()) {
        Refuse(u"Die Verbindungsliste kann nicht gespeichert werden: "_s + m_target->errorString());
        return;
    }
    m_received += piece.size();
    m_log->NotifyReceived(piece);
    if (OnWork)
        OnWork(m_received);
    if (OnActivity)
        OnActivity(1);
}

void ListDownload::Refuse(const QString &reason)
{
    m_refusal = reason;
    m_reply->abort();
}

ListDownload::Result ListDownload::Finish()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    m_log->Disconnect();
    if (OnWorkEnd)
        OnWorkEnd();
    if (OnStatus)
        OnStatus(StatusText(hsDisconnected, QString()));

    if (m_cancelled)
        return {Outcome::Cancelled, QString()};
    if (!m_refusal.isEmpty())
        return {Outcome::Failed, m_refusal};
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() / 100 != 2) {
        return {Outcome::Failed, status.toString() + u' ' +
                                     reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()};
    }
    if (reply->error() == QNetworkReply::NoError)
        return {Outcome::Complete, QString()};
    if (m_received == 0 && !status.isValid() && IsNoConnection(reply->error()))
        return {Outcome::NoConnection, QString()};
    return {Outcome::Failed, reply->errorString()};
}
