#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Network and file failures of the engine. A refused FTP command is never an
// exception: commands return the reply code or a boolean.
class EIdException : public std::exception {
public:
    explicit EIdException(const QString &message);
    const QString &Message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Errors that are part of normal operation (a peer that closed).
class EIdSilentException : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdConnClosedGracefully : public EIdSilentException {
public:
    EIdConnClosedGracefully();
    // A connection that broke rather than closed says why.
    explicit EIdConnClosedGracefully(const QString &why);
};

// The server turned down every way of logging in it was offered.
class EIdLoginRefused : public EIdException {
public:
    using EIdException::EIdException;
};

// A download whose byte count differs from the size the server gave for it.
class EIdIncompleteFile : public EIdException {
public:
    EIdIncompleteFile(const QString &path, qint64 received, qint64 expected);
};

// A local file a transfer needs that cannot be made or completed.
class EIdLocalFileError : public EIdException {
public:
    using EIdException::EIdException;
};

// A failed socket call; carries the error number (errno).
class EIdSocketError : public EIdException {
public:
    explicit EIdSocketError(int errorNumber);
    int LastError() const { return m_errorNumber; }

private:
    int m_errorNumber;
};

class EIdTCPConnectionError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdNotEnoughDataInBuffer : public EIdTCPConnectionError {
public:
    EIdNotEnoughDataInBuffer();
};

class EIdNoDataToRead : public EIdTCPConnectionError {
public:
    EIdNoDataToRead();
};

class EIdInterceptPropIsNil : public EIdTCPConnectionError {
public:
    EIdInterceptPropIsNil();
};

// A line from the peer grew past the read limit without a line end.
class EIdReadLnMaxLineLengthExceeded : public EIdTCPConnectionError {
public:
    EIdReadLnMaxLineLengthExceeded();
};

// The peer sent nothing for longer than the connection's ReadTimeout while
// a line or reply was awaited; the connection was closed.
class EIdReadTimeout : public EIdTCPConnectionError {
public:
    explicit EIdReadTimeout(int milliseconds);
};

class EIdSocketHandleError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdCouldNotBindSocket : public EIdSocketHandleError {
public:
    EIdCouldNotBindSocket();
};

class EIdProtocolReplyError : public EIdException {
public:
    EIdProtocolReplyError(int replyCode, const QString &replyLine);
    int ReplyErrorCode() const { return m_replyCode; }

private:
    int m_replyCode;
};

class EIdFTPFileAlreadyExists : public EIdException {
public:
    EIdFTPFileAlreadyExists();
};

// A folder listing grew past the limit; the transfer was stopped.
class EIdListingTooLarge : public EIdException {
public:
    explicit EIdListingTooLarge(qint64 limit);
};

// TLS failures: a failed handshake ("Verbindung abgelehnt"), a certificate
// the user refused ("Abbruch durch Anwender"), unreadable key files.
class EIdOSSLError : public EIdException {
public:
    using EIdException::EIdException;
};
