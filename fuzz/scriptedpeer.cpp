#include "scriptedpeer.h"

#include <algorithm>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

ScriptedPeer::ScriptedPeer(QByteArray stream, qint64 pieceSize)
    : m_stream(std::move(stream))
    , m_pieceSize(std::max<qint64>(1, pieceSize))
{
    m_handlesReceive = true;
    m_handlesSend = true;
}

void ScriptedPeer::Attach(TIdTCPConnection &connection, const QString &peerAddress)
{
    // A socket whose other end is already closed: should the connection wait
    // on it after all, the wait ends at once instead of hanging.
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0)
        ::close(pair[1]);
    TIdSocketHandle &socket = connection.Binding();
    socket.Handle = pair[0];
    socket.Allocated = true;
    socket.PeerIP = peerAddress;
    socket.PeerPort = 21;
    connection.SetIntercept(this);
    connection.SetInterceptEnabled(true);
}

qint64 ScriptedPeer::Recv(char *buffer, qint64 size)
{
    const qint64 count = std::min({size, m_pieceSize, m_stream.size() - m_position});
    std::memcpy(buffer, m_stream.constData() + m_position, size_t(count));
    m_position += count;
    return count;
}

qint64 ScriptedPeer::Send(const char *, qint64 size)
{
    return size;
}

bool ScriptedPeer::HasPendingData() const
{
    return m_position < m_stream.size();
}
