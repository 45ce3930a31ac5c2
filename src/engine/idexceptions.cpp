#include "idexceptions.h"

#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

// German descriptions of the socket errors a user is likely to meet.
QString SocketErrorDescription(int errorNumber)
{
    switch (errorNumber) {
    case ECONNREFUSED:
        return u"Die Verbindung wurde vom Zielcomputer abgelehnt."_s;
    case ECONNRESET:
        return u"Die Verbindung wurde von der Gegenstelle zurückgesetzt."_s;
    case ECONNABORTED:
        return u"Die Verbindung wurde abgebrochen."_s;
    case ETIMEDOUT:
        return u"Zeitüberschreitung bei der Verbindung."_s;
    case EHOSTUNREACH:
        return u"Der Host ist nicht erreichbar."_s;
    case EHOSTDOWN:
        return u"Der Host ist nicht in Betrieb."_s;
    case ENETUNREACH:
        return u"Das Netzwerk ist nicht erreichbar."_s;
    case ENETDOWN:
        return u"Das Netzwerk ist nicht verfügbar."_s;
    case ENETRESET:
        return u"Die Verbindung wurde vom Netzwerk getrennt."_s;
    case EADDRINUSE:
        return u"Die Adresse wird bereits verwendet."_s;
    case EADDRNOTAVAIL:
        return u"Die angeforderte Adresse ist nicht verfügbar."_s;
    case EPIPE:
    case ESHUTDOWN:
        return u"Die Verbindung wurde bereits geschlossen; es kann nichts mehr gesendet werden."_s;
    case ENOTCONN:
        return u"Der Socket ist nicht verbunden."_s;
    case EBADF:
    case ENOTSOCK:
        return u"Ungültiger Socket."_s;
    case EACCES:
    case EPERM:
        return u"Zugriff verweigert."_s;
    case EMFILE:
    case ENFILE:
        return u"Zu viele offene Dateien."_s;
    case ENOBUFS:
    case ENOMEM:
        return u"Nicht genügend Pufferspeicher verfügbar."_s;
    case EINVAL:
        return u"Ungültiges Argument."_s;
    case EAFNOSUPPORT:
        return u"Die Adressfamilie wird nicht unterstützt."_s;
    case EMSGSIZE:
        return u"Die Nachricht ist zu lang."_s;
    case EPROTO:
        return u"Protokollfehler."_s;
    default:
        return u"Unbekannter Socket-Fehler."_s;
    }
}

} // namespace

EIdException::EIdException(const QString &message)
    : m_message(message)
    , m_utf8(message.toUtf8())
{
}

EIdConnClosedGracefully::EIdConnClosedGracefully()
    : EIdSilentException(u"Die Verbindung wurde erfolgreich geschlossen."_s)
{
}

EIdConnClosedGracefully::EIdConnClosedGracefully(const QString &why)
    : EIdSilentException(why)
{
}

namespace {

QString IncompleteFileText(const QString &path, qint64 received, qint64 expected)
{
    const QString format =
        received > expected
            ? u"Die Datei %1 kam länger an als angekündigt (%2 statt %3 Bytes) und wurde nicht gespeichert."_s
            : u"Die Datei %1 kam unvollständig an (%2 von %3 Bytes) und wurde nicht gespeichert."_s;
    return format.arg(path, QString::number(received), QString::number(expected));
}

} // namespace

EIdIncompleteFile::EIdIncompleteFile(const QString &path, qint64 received, qint64 expected)
    : EIdException(IncompleteFileText(path, received, expected))
{
}

EIdSocketError::EIdSocketError(int errorNumber)
    : EIdException(u"Socket-Fehler # %1\r\n%2"_s.arg(errorNumber).arg(SocketErrorDescription(errorNumber)))
    , m_errorNumber(errorNumber)
{
}

EIdNotEnoughDataInBuffer::EIdNotEnoughDataInBuffer()
    : EIdTCPConnectionError(u"Nicht genügend Daten im Puffer."_s)
{
}

EIdNoDataToRead::EIdNoDataToRead()
    : EIdTCPConnectionError(u"Keine Daten für den Lesezugriff."_s)
{
}

EIdInterceptPropIsNil::EIdInterceptPropIsNil()
    : EIdTCPConnectionError(u"InterceptEnabled darf nicht auf true gesetzt sein, wenn Intercept nil ist."_s)
{
}

EIdReadLnMaxLineLengthExceeded::EIdReadLnMaxLineLengthExceeded()
    : EIdTCPConnectionError(u"Die Antwort des Servers überschreitet die zulässige Zeilenlänge."_s)
{
}

EIdReadTimeout::EIdReadTimeout(int milliseconds)
    : EIdTCPConnectionError(u"Zeitüberschreitung: Der Server hat %1 ms lang nicht geantwortet; "
                            u"die Verbindung wurde getrennt."_s.arg(milliseconds))
{
}

EIdCouldNotBindSocket::EIdCouldNotBindSocket()
    : EIdSocketHandleError(u"Socket konnte nicht gebunden werden. Adresse und Port werden bereits benutzt."_s)
{
}

EIdProtocolReplyError::EIdProtocolReplyError(int replyCode, const QString &replyLine)
    : EIdException(replyLine)
    , m_replyCode(replyCode)
{
}

EIdFTPFileAlreadyExists::EIdFTPFileAlreadyExists()
    : EIdException(u"Die Zieldatei existiert bereits."_s)
{
}

EIdListingTooLarge::EIdListingTooLarge(qint64 limit)
    : EIdException(
          u"Der Inhalt des Ordners ist zu groß (mehr als %1) und wurde nicht vollständig gelesen."_s.arg(
              limit >= 1024 * 1024 ? u"%1 MiB"_s.arg(limit / (1024 * 1024)) : u"%1 KiB"_s.arg(limit / 1024)))
{
}
