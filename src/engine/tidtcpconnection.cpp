#include "tidtcpconnection.h"

#include "idexceptions.h"
#include "sessionhost.h"
#include "socketapi.h"
#include "textcodec.h"
#include "tidantifreeze.h"
#include "tidconnectionintercept.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QFile>
#include <QScopeGuard>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <limits>

#include <poll.h>
#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace {

bool IsDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// The numeric code of a reply line: "+OK" is 1, "-ERR" 0, a missing number 0.
int ReplyCodeOf(const QString &line)
{
    if (line.startsWith("+OK"_L1, Qt::CaseInsensitive))
        return 1;
    if (line.startsWith("-ERR"_L1, Qt::CaseInsensitive))
        return 0;
    const QStringView code = QStringView(line).left(3);
    return IsDigits(code) ? code.toInt() : 0;
}

// Why a file write failed, in words a user acts on.
QString WriteFailure(const QIODevice &stream, int error)
{
    if (qobject_cast<const QFileDevice *>(&stream)) {
        switch (error) {
        case ENOSPC:
            return u"Auf dem Datenträger ist kein Platz mehr."_s;
        case EFBIG:
            return u"Die Datei überschreitet die zulässige Größe."_s;
        case EDQUOT:
            return u"Das Speicherkontingent ist erschöpft."_s;
        default:
            break;
        }
    }
    return stream.errorString();
}

void WriteToStream(QIODevice &stream, const char *data, qint64 size)
{
    // A file on a filling disk takes part of the bytes first; the write of
    // the rest then says why it fails.
    while (size > 0) {
        errno = 0;
        const qint64 written = stream.write(data, size);
        if (written <= 0)
            throw EIdException(
                u"Die Daten konnten nicht geschrieben werden: %1"_s.arg(WriteFailure(stream, errno)));
        data += written;
        size -= written;
    }
}

// Files and buffers can be cut; other devices keep what they have.
void TruncateStream(QIODevice &stream, qint64 size)
{
    if (auto *file = qobject_cast<QFileDevice *>(&stream))
        file->resize(size);
    else if (auto *buffer = qobject_cast<QBuffer *>(&stream))
        buffer->buffer().truncate(size);
}

} // namespace

TIdTCPConnection::TIdTCPConnection() = default;

TIdTCPConnection::~TIdTCPConnection() = default;

// --- state ---------------------------------------------------------------

bool TIdTCPConnection::IsConnected() const
{
    return m_socket.Allocated;
}

void TIdTCPConnection::CloseConnection()
{
    ReleaseSocket();
    SetActivity(0);
}

void TIdTCPConnection::ReleaseSocket()
{
    if (!m_socket.Allocated)
        return;
    DoStatus(hsDisconnecting, m_socket.PeerIP);
    if (TIdConnectionIntercept *intercept = ActiveIntercept())
        intercept->Closing();
    const int fd = m_socket.Handle;
    ::shutdown(fd, SHUT_WR);
    SocketApi::CloseSocket(fd);
    m_socket.Reset(true);
    m_closedGracefully = true;
    DoStatus(hsDisconnected, QString());
    if (OnDisconnected)
        OnDisconnected(this);
    if (TIdConnectionIntercept *intercept = ActiveIntercept())
        intercept->Disconnect();
}

void TIdTCPConnection::CheckClosed(bool raiseIfClosed, bool ignoreBuffer)
{
    if (!m_closedGracefully && m_socket.Allocated)
        return;
    ReleaseSocket();
    if (raiseIfClosed && (ignoreBuffer || ReadBufferSize() == 0))
        throw EIdConnClosedGracefully();
}

void TIdTCPConnection::PollClosed(bool raiseIfClosed)
{
    // A non-blocking receive already tells whether the peer has closed, so
    // the probe does not wait at all.
    FillReadBuffer(raiseIfClosed, 0);
}

void TIdTCPConnection::ResetConnection()
{
    SocketApi::CloseSocket(m_socket.Handle);
    m_socket.Reset(true);
    m_readBuffer.clear();
    m_readBufferStart = 0;
    m_closedGracefully = false;
}

// --- waiting and receiving -----------------------------------------------

bool TIdTCPConnection::WaitReadable(int timeout)
{
    if (!m_socket.Allocated)
        throw EIdConnClosedGracefully();
    if (TIdConnectionIntercept *intercept = ActiveIntercept();
        intercept && intercept->HandlesReceive() && intercept->HasPendingData())
        return true;
    const bool ready =
        SocketApi::WaitFor(m_socket.Handle, POLLIN, timeout, [this] { return m_socket.Allocated; });
    if (!m_socket.Allocated)
        throw EIdConnClosedGracefully();
    return ready;
}

void TIdTCPConnection::WaitWritable()
{
    SocketApi::WaitFor(m_socket.Handle, POLLOUT, kWaitForever, [this] { return m_socket.Allocated; });
    if (!m_socket.Allocated)
        throw EIdConnClosedGracefully();
}

bool TIdTCPConnection::HasIncomingData() const
{
    if (ReadBufferSize() > 0)
        return true;
    if (!m_socket.Allocated)
        return false;
    if (TIdConnectionIntercept *intercept = ActiveIntercept(); intercept && intercept->HasPendingData())
        return true;
    pollfd request{m_socket.Handle, POLLIN, 0};
    return ::poll(&request, 1, 0) > 0;
}

qint64 TIdTCPConnection::ReceiveOnce(char *buffer, qint64 size)
{
    if (TIdConnectionIntercept *intercept = ActiveIntercept(); intercept && intercept->HandlesReceive())
        return intercept->Recv(buffer, size);
    for (;;) {
        const ssize_t received = ::recv(m_socket.Handle, buffer, size_t(size), 0);
        if (received >= 0)
            return received;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return -1;
        throw EIdSocketError(errno);
    }
}

qint64 TIdTCPConnection::Receive(QByteArray &buffer, int timeout)
{
    const QDeadlineTimer deadline =
        timeout < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeout);
    for (;;) {
        // The pointer is taken anew after every wait: what the pump ran may
        // have used this connection too.
        const qint64 received = ReceiveOnce(buffer.data(), buffer.size());
        if (received >= 0)
            return received;
        const int remaining = deadline.isForever() ? kWaitForever : int(deadline.remainingTime());
        if (!WaitReadable(remaining))
            return -1;
    }
}

qint64 TIdTCPConnection::FillReadBuffer(bool raiseIfClosed, int timeout, bool intoReadBuffer,
                                        QByteArray *target)
{
    CheckClosed(raiseIfClosed, false);
    if (!IsConnected())
        return 0;
    const qint64 chunkSize = std::max(1, RecvBufferSize);
    if (m_recvChunk.size() != chunkSize)
        m_recvChunk.resize(chunkSize);
    QByteArray &buffer = (!intoReadBuffer && target) ? *target : m_recvChunk;

    const qint64 received = Receive(buffer, timeout);
    if (received < 0)
        return 0;
    if (received == 0)
        m_closedGracefully = true;
    else if (intoReadBuffer)
        AppendToReadBuffer(QByteArrayView(buffer.constData(), received));
    else
        AddWork(wmRead, received);
    if (TIdConnectionIntercept *intercept = ActiveIntercept(); intercept && received > 0)
        intercept->NotifyReceived(QByteArrayView(buffer.constData(), received));
    CheckClosed(raiseIfClosed, false);
    return received;
}

// --- the read buffer -----------------------------------------------------

QByteArrayView TIdTCPConnection::BufferedBytes() const
{
    return QByteArrayView(m_readBuffer).sliced(m_readBufferStart);
}

void TIdTCPConnection::ConsumeReadBuffer(qint64 count)
{
    m_readBufferStart += count;
    if (m_readBufferStart >= m_readBuffer.size()) {
        m_readBuffer.clear();
        m_readBufferStart = 0;
    }
}

void TIdTCPConnection::AppendToReadBuffer(QByteArrayView bytes)
{
    // Move the unread rest to the front only when that frees a good part of
    // the buffer, so a stream of short replies costs no copying.
    if (m_readBufferStart > 0 && m_readBufferStart >= m_readBuffer.size() / 2) {
        m_readBuffer.remove(0, m_readBufferStart);
        m_readBufferStart = 0;
    }
    m_readBuffer.append(bytes);
}

void TIdTCPConnection::RaiseLineTooLong()
{
    m_readBuffer.clear();
    m_readBufferStart = 0;
    CloseConnection();
    throw EIdReadLnMaxLineLengthExceeded();
}

void TIdTCPConnection::RaiseReadTimeout()
{
    CloseConnection();
    throw EIdReadTimeout(ReadTimeout);
}

QString TIdTCPConnection::ReadLine(const QByteArray &terminator, int timeout)
{
    // A wait without limit still ends when the peer stays silent too long.
    const bool silenceEndsWait = timeout == kWaitForever && ReadTimeout >= 0;
    const int wait = silenceEndsWait ? ReadTimeout : timeout;
    const bool defaultTerminator = terminator.isEmpty();
    const QByteArray ending = defaultTerminator ? QByteArray("\n") : terminator;
    m_readLnTimedOut = false;
    qint64 searchFrom = 0;
    for (;;) {
        const QByteArrayView pending = BufferedBytes();
        const qint64 found = pending.indexOf(ending, std::min(searchFrom, pending.size()));
        if (found >= 0) {
            QByteArrayView line = pending.first(found);
            if (defaultTerminator && line.endsWith('\r'))
                line.chop(1);
            if (line.size() > MaxLineLength)
                RaiseLineTooLong();
            const QString text = DecodeText(line);
            ConsumeReadBuffer(found + ending.size());
            return text;
        }
        // The one byte more may be the CR before the LF still to come.
        if (pending.size() > MaxLineLength + 1)
            RaiseLineTooLong();
        searchFrom = std::max<qint64>(0, pending.size() - ending.size() + 1);
        CheckClosed(true, true);
        if (FillReadBuffer(true, wait, true) == 0) {
            if (silenceEndsWait && IsConnected())
                RaiseReadTimeout();
            m_readLnTimedOut = true;
            return QString();
        }
    }
}

QString TIdTCPConnection::ReadNonEmptyLine()
{
    for (;;) {
        const QString line = ReadLine().trimmed();
        if (!line.isEmpty())
            return line;
    }
}

int TIdTCPConnection::ReadReply(std::initializer_list<int> allowedCodes)
{
    return ReadReply(QList<int>(allowedCodes));
}

int TIdTCPConnection::ReadReply(const QList<int> &allowedCodes)
{
    m_replyLines.clear();
    QString line = ReadNonEmptyLine();
    m_replyLines.append(line);
    if (line.size() > 3 && line.at(3) == u'-')
        ReadReplyContinuation(line.left(3) + u' ', line.size());
    m_replyCode = ReplyCodeOf(LastReplyLine());
    return MatchReplyCode(m_replyCode, allowedCodes);
}

// Only a line that starts with the code and a blank, as received, ends a
// multi-line reply: continuation lines may be short (" CCC") or padded with
// blanks before a code (" 226 done"). Lines are kept trimmed, blank ones not.
void TIdTCPConnection::ReadReplyContinuation(const QString &endMarker, qint64 replySize)
{
    for (;;) {
        const QString received = ReadLine();
        replySize += received.size();
        if (replySize > MaxLineLength)
            RaiseLineTooLong();
        const QString line = received.trimmed();
        if (!line.isEmpty())
            m_replyLines.append(line);
        if (QStringView(received).left(4).compare(endMarker, Qt::CaseInsensitive) == 0)
            return;
    }
}

int TIdTCPConnection::MatchReplyCode(int code, const QList<int> &allowedCodes)
{
    if (allowedCodes.isEmpty() || allowedCodes.contains(code))
        return code;
    return 0;
}

QByteArray TIdTCPConnection::TakeFromReadBuffer(qint64 count)
{
    if (count > ReadBufferSize())
        throw EIdNotEnoughDataInBuffer();
    SetActivity(2);
    const QByteArray bytes = BufferedBytes().first(count).toByteArray();
    ConsumeReadBuffer(count);
    AddWork(wmRead, count);
    SetActivity(1);
    return bytes;
}

void TIdTCPConnection::ReadBytes(char *buffer, qint64 count)
{
    while (ReadBufferSize() < count) {
        if (FillReadBuffer(true, kWaitForever) == 0 && !IsConnected())
            throw EIdConnClosedGracefully();
    }
    SetActivity(2);
    std::copy_n(BufferedBytes().data(), count, buffer);
    ConsumeReadBuffer(count);
    AddWork(wmRead, count);
    SetActivity(1);
}

qint32 TIdTCPConnection::ReadInt32(bool convert)
{
    qint32 value = 0;
    ReadBytes(reinterpret_cast<char *>(&value), sizeof value);
    return convert ? qFromBigEndian(value) : value;
}

QString TIdTCPConnection::ReadAll()
{
    StartWork(wmRead, 0);
    const auto finish = qScopeGuard([this] { FinishWork(wmRead); });
    while (IsConnected())
        FillReadBuffer(false, kWaitForever);
    const QString text = DecodeText(BufferedBytes());
    ConsumeReadBuffer(ReadBufferSize());
    return text;
}

void TIdTCPConnection::ReadIntoStream(QIODevice &stream, qint64 count, bool untilClosed)
{
    if (count == -1 && !untilClosed)
        count = ReadInt32();
    if (count >= 0 && !untilClosed) {
        if (auto *file = qobject_cast<QFileDevice *>(&stream); file && file->size() < file->pos() + count)
            file->resize(file->pos() + count);
    }
    if (untilClosed)
        count = std::numeric_limits<qint64>::max();
    StartWork(wmRead, untilClosed ? 0 : count);
    const auto finish = qScopeGuard([this] { FinishWork(wmRead); });

    const qint64 fromBuffer = std::min(ReadBufferSize(), count);
    WriteToStream(stream, BufferedBytes().data(), fromBuffer);
    ConsumeReadBuffer(fromBuffer);
    count -= fromBuffer;

    QByteArray scratch(std::min<qint64>(count, std::max(1, RecvBufferSize)), Qt::Uninitialized);
    while (IsConnected() && count >= 1) {
        if (scratch.size() > count)
            scratch.resize(count);
        const qint64 received = FillReadBuffer(!untilClosed, kWaitForever, false, &scratch);
        WriteToStream(stream, scratch.constData(), received);
        count -= received;
        TIdAntiFreeze::DoProcessThrottled();
    }
    if (stream.size() > stream.pos())
        TruncateStream(stream, stream.pos());
}

// --- replies -------------------------------------------------------------

QString TIdTCPConnection::LastReplyLine() const
{
    return m_replyLines.isEmpty() ? QString() : m_replyLines.constLast();
}

void TIdTCPConnection::RaiseExceptionForLastReply() const
{
    throw EIdProtocolReplyError(m_replyCode, LastReplyLine());
}

// --- writing -------------------------------------------------------------

int TIdTCPConnection::SendCommand(const QString &command, int allowedCode)
{
    return SendCommand(command, allowedCode == -1 ? QList<int>() : QList<int>{allowedCode});
}

int TIdTCPConnection::SendCommand(const QString &command, const QList<int> &allowedCodes)
{
    if (command != QStringView(u"\0", 1))
        WriteLine(command);
    SetActivity(2);
    const int code = ReadReply(allowedCodes);
    SetActivity(1);
    return code;
}

void TIdTCPConnection::WriteText(const QString &text)
{
    if (text.isEmpty())
        return;
    const QByteArray bytes = EncodeText(text);
    SetActivity(3);
    WriteBytes(bytes.constData(), bytes.size());
    SetActivity(1);
}

void TIdTCPConnection::WriteLine(const QString &text)
{
    BeforeWritingLine();
    WriteText(text + u"\r\n"_s);
}

qint64 TIdTCPConnection::SendOnce(const char *buffer, qint64 size)
{
    if (TIdConnectionIntercept *intercept = ActiveIntercept(); intercept && intercept->HandlesSend())
        return intercept->Send(buffer, size);
    for (;;) {
        const ssize_t sent = ::send(m_socket.Handle, buffer, size_t(size), MSG_NOSIGNAL);
        if (sent >= 0)
            return sent;
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            WaitWritable();
            continue;
        }
        if (error == EPIPE || error == ESHUTDOWN)
            ReleaseSocket();
        throw EIdSocketError(error);
    }
}

void TIdTCPConnection::WriteBytes(const char *buffer, qint64 count)
{
    qint64 position = 0;
    while (position < count) {
        // Checked on every round: a work handler may have cut the connection.
        CheckClosed(true, true);
        const qint64 sent = SendOnce(buffer + position, count - position);
        if (sent == 0) {
            m_closedGracefully = true;
            CheckClosed(true, false);
            continue;
        }
        AddWork(wmWrite, sent);
        if (TIdConnectionIntercept *intercept = ActiveIntercept())
            intercept->NotifySent(QByteArrayView(buffer + position, sent));
        position += sent;
    }
}

void TIdTCPConnection::WriteInt32(qint32 value, bool convert)
{
    const qint32 wire = convert ? qToBigEndian(value) : value;
    WriteBytes(reinterpret_cast<const char *>(&wire), sizeof wire);
}

void TIdTCPConnection::WriteFromStream(QIODevice &stream, bool fromStart, bool withLengthPrefix)
{
    if (fromStart)
        stream.seek(0);
    const qint64 amount = std::max<qint64>(0, stream.size() - stream.pos());
    if (withLengthPrefix)
        WriteInt32(qint32(amount));
    StartWork(wmWrite, amount);
    const auto finish = qScopeGuard([this] { FinishWork(wmWrite); });

    const qint64 chunkSize = std::max(1, SendBufferSize);
    QByteArray chunk(std::min(amount, chunkSize), Qt::Uninitialized);
    for (qint64 remaining = amount; remaining > 0;) {
        const qint64 read = stream.read(chunk.data(), std::min(remaining, chunkSize));
        if (read < 0)
            throw EIdException(u"Die Daten konnten nicht gelesen werden: %1"_s.arg(stream.errorString()));
        if (read == 0)
            throw EIdNoDataToRead();
        WriteBytes(chunk.constData(), read);
        remaining -= read;
        TIdAntiFreeze::DoProcessThrottled();
    }
}

qint64 TIdTCPConnection::WriteFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw EIdException(u"Die Datei %1 kann nicht gelesen werden: %2"_s.arg(path, file.errorString()));
    SetActivity(3);
    WriteFromStream(file, true, false);
    SetActivity(1);
    return file.size();
}

// --- work events ---------------------------------------------------------

void TIdTCPConnection::StartWork(TWorkMode mode, qint64 countMax)
{
    WorkState &work = m_work[mode];
    if (++work.depth == 1) {
        work.countMax = countMax;
        work.count = 0;
        if (OnWorkBegin)
            OnWorkBegin(this, mode, countMax);
    }
}

void TIdTCPConnection::AddWork(TWorkMode mode, qint64 count)
{
    WorkState &work = m_work[mode];
    if (work.depth < 1)
        return;
    work.count += count;
    if (OnWork)
        OnWork(this, mode, work.count);
}

void TIdTCPConnection::FinishWork(TWorkMode mode)
{
    WorkState &work = m_work[mode];
    if (work.depth == 1 && OnWorkEnd)
        OnWorkEnd(this, mode);
    if (work.depth > 0)
        --work.depth;
}

// --- interceptor ---------------------------------------------------------

TIdConnectionIntercept *TIdTCPConnection::Intercept() const
{
    return m_intercept.data();
}

void TIdTCPConnection::SetIntercept(TIdConnectionIntercept *intercept)
{
    m_intercept = intercept;
}

void TIdTCPConnection::SetInterceptEnabled(bool enabled)
{
    if (enabled && !m_intercept)
        throw EIdInterceptPropIsNil();
    m_interceptEnabled = enabled;
}

TIdConnectionIntercept *TIdTCPConnection::ActiveIntercept() const
{
    return m_interceptEnabled ? m_intercept.data() : nullptr;
}

// --- helpers -------------------------------------------------------------

void TIdTCPConnection::DoStatus(TIdStatus status, const QString &argument)
{
    if (OnStatus)
        OnStatus(this, status, StatusText(status, argument));
}

void TIdTCPConnection::SetActivity(int code)
{
    if (m_sessionHost)
        m_sessionHost->SetActivity(code);
}

QByteArray TIdTCPConnection::EncodeText(const QString &text) const
{
    return Encoding == NameEncoding::Windows1252 ? TextCodec::EncodeWindows1252(text)
                                                 : TextCodec::EncodeUtf8KeepingBytes(text);
}

QString TIdTCPConnection::DecodeText(QByteArrayView bytes) const
{
    return Encoding == NameEncoding::Windows1252 ? TextCodec::DecodeWindows1252(bytes)
                                                 : TextCodec::DecodeUtf8KeepingBytes(bytes);
}
