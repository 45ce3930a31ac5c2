#pragma once

#include "idglobal.h"
#include "tidconnectionintercept.h"
#include "tidsockethandle.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <initializer_list>

class QIODevice;
class SessionHost;

// A buffered TCP connection: line and reply reading, command sending, stream
// transfers with work events, and an optional interceptor. Blocking calls
// wait in short slices and run the user interface pump between them.
class TIdTCPConnection {
public:
    static constexpr int kDefaultBufferSize = 32768;
    static constexpr int kWaitForever = -2;
    // A line, or a multi-line reply, longer than MaxLineLength ends the
    // connection: the peer is not speaking a line protocol.
    static constexpr qint64 kMaxLineLength = 1024 * 1024;

    TIdTCPConnection();
    virtual ~TIdTCPConnection();
    TIdTCPConnection(const TIdTCPConnection &) = delete;
    TIdTCPConnection &operator=(const TIdTCPConnection &) = delete;

    // --- state -----------------------------------------------------------
    virtual bool IsConnected() const;
    TIdSocketHandle &Binding() { return m_socket; }
    const TIdSocketHandle &Binding() const { return m_socket; }
    virtual void CloseConnection();
    void ReleaseSocket();
    void CheckClosed(bool raiseIfClosed = true, bool ignoreBuffer = false);
    void PollClosed(bool raiseIfClosed);
    bool ClosedGracefully() const { return m_closedGracefully; }
    bool ReadLnTimedOut() const { return m_readLnTimedOut; }

    // --- reading ---------------------------------------------------------
    qint64 FillReadBuffer(bool raiseIfClosed, int timeout, bool intoReadBuffer = true,
                          QByteArray *target = nullptr);
    // Reads one line; the terminator is dropped, and with the default LF one
    // CR before it. Returns an empty text when the wait timed out.
    QString ReadLine(const QByteArray &terminator = QByteArray(), int timeout = kWaitForever);
    QString ReadNonEmptyLine();
    int ReadReply(std::initializer_list<int> allowedCodes = {});
    int ReadReply(const QList<int> &allowedCodes);
    static int MatchReplyCode(int code, const QList<int> &allowedCodes);
    QByteArray TakeFromReadBuffer(qint64 count);
    void ReadBytes(char *buffer, qint64 count);
    qint32 ReadInt32(bool convert = true);
    QString ReadAll();
    // Reads count bytes (or a length prefix when count is -1, or everything
    // until the peer closes) into stream, bypassing the read buffer.
    void ReadIntoStream(QIODevice &stream, qint64 count = -1, bool untilClosed = false);
    qint64 ReadBufferSize() const { return m_readBuffer.size() - m_readBufferStart; }

    // --- replies ---------------------------------------------------------
    const QStringList &ReplyLines() const { return m_replyLines; }
    int ReplyCode() const { return m_replyCode; }
    QString LastReplyLine() const;
    [[noreturn]] void RaiseExceptionForLastReply() const;

    // --- writing ---------------------------------------------------------
    // A code of -1 accepts any reply.
    int SendCommand(const QString &command, int allowedCode);
    int SendCommand(const QString &command, const QList<int> &allowedCodes);
    void WriteText(const QString &text);
    void WriteLine(const QString &text);
    void WriteBytes(const char *buffer, qint64 count);
    void WriteInt32(qint32 value, bool convert = true);
    void WriteFromStream(QIODevice &stream, bool fromStart = true, bool withLengthPrefix = false);
    qint64 WriteFile(const QString &path);

    // --- work events -----------------------------------------------------
    void StartWork(TWorkMode mode, qint64 countMax);
    void AddWork(TWorkMode mode, qint64 count);
    void FinishWork(TWorkMode mode);

    // --- interceptor -----------------------------------------------------
    TIdConnectionIntercept *Intercept() const;
    void SetIntercept(TIdConnectionIntercept *intercept);
    bool InterceptEnabled() const { return m_interceptEnabled && m_intercept; }
    void SetInterceptEnabled(bool enabled);

    // --- settings and events ---------------------------------------------
    qint64 MaxLineLength = kMaxLineLength;
    // How long a line or reply that is waited for without a limit may keep
    // the peer silent; then the connection is closed and EIdReadTimeout
    // raised. kWaitForever: no limit.
    int ReadTimeout = kWaitForever;
    int RecvBufferSize = kDefaultBufferSize;
    int SendBufferSize = kDefaultBufferSize;
    // How commands are encoded and replies decoded.
    NameEncoding Encoding = NameEncoding::Utf8;
    // Who hears about activity and answers questions; not owned, may be null.
    SessionHost *sessionHost() const { return m_sessionHost; }
    void setSessionHost(SessionHost *host) { m_sessionHost = host; }

    TIdStatusEvent OnStatus;
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;
    TNotifyEvent OnDisconnected;

protected:
    // Called before each line goes out, a command on a control connection.
    virtual void BeforeWritingLine() {}
    void DoStatus(TIdStatus status, const QString &argument);
    void SetActivity(int code);
    bool WaitReadable(int timeout);
    void WaitWritable();
    void ResetConnection();
    QByteArray EncodeText(const QString &text) const;
    QString DecodeText(QByteArrayView bytes) const;
    // Something arrived that nobody has read yet (buffered, decoded or on the socket).
    bool HasIncomingData() const;
    TIdConnectionIntercept *ActiveIntercept() const;

    TIdSocketHandle m_socket;

private:
    SessionHost *m_sessionHost = nullptr;
    // One non-blocking receive: the byte count, 0 when the peer closed, -1
    // when nothing is there yet.
    qint64 ReceiveOnce(char *buffer, qint64 size);
    // Receives into buffer, waiting at most timeout; -1 when the wait gave up.
    qint64 Receive(QByteArray &buffer, int timeout);
    qint64 SendOnce(const char *buffer, qint64 size);
    QByteArrayView BufferedBytes() const;
    void ConsumeReadBuffer(qint64 count);
    void AppendToReadBuffer(QByteArrayView bytes);
    void ReadReplyContinuation(const QString &endMarker, qint64 replySize);
    [[noreturn]] void RaiseLineTooLong();
    [[noreturn]] void RaiseReadTimeout();

    struct WorkState {
        int depth = 0;
        qint64 countMax = 0;
        qint64 count = 0;
    };

    QByteArray m_readBuffer;
    qint64 m_readBufferStart = 0;
    QByteArray m_recvChunk;
    QStringList m_replyLines;
    int m_replyCode = 0;
    bool m_closedGracefully = false;
    bool m_readLnTimedOut = false;
    QPointer<TIdConnectionIntercept> m_intercept;
    bool m_interceptEnabled = false;
    WorkState m_work[2];
};
