#include "sftpchannelrequests.h"

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <QtEndian>

#include <algorithm>

namespace {

void AppendU32(QByteArray &packet, quint32 value)
{
    const quint32 bigEndian = qToBigEndian(value);
    packet.append(reinterpret_cast<const char *>(&bigEndian), sizeof bigEndian);
}

void AppendU64(QByteArray &packet, quint64 value)
{
    const quint64 bigEndian = qToBigEndian(value);
    packet.append(reinterpret_cast<const char *>(&bigEndian), sizeof bigEndian);
}

void AppendString(QByteArray &packet, const char *data, quint32 size)
{
    AppendU32(packet, size);
    packet.append(data, size);
}

// As the library reads its own packets: an empty read is no failure while
// the channel stays open.
bool ReadExactly(ssh_channel channel, char *data, quint32 size)
{
    quint32 got = 0;
    while (got < size) {
        const int count = ssh_channel_read(channel, data + got, size - got, 0);
        if (count < 0)
            return false;
        if (count == 0 && (ssh_channel_is_eof(channel) || !ssh_channel_is_open(channel)))
            return false;
        got += quint32(count);
    }
    return true;
}

// Reads one field off a packet's body; false when the body is too short.
class BodyReader {
public:
    explicit BodyReader(const QByteArray &body)
        : m_body(body)
    {
    }
    bool U32(quint32 &value)
    {
        if (m_body.size() - m_at < 4)
            return false;
        value = qFromBigEndian<quint32>(m_body.constData() + m_at);
        m_at += 4;
        return true;
    }
    bool String(QByteArray &value)
    {
        quint32 size = 0;
        if (!U32(size) || quint64(m_body.size() - m_at) < size)
            return false;
        value = m_body.mid(m_at, size);
        m_at += size;
        return true;
    }

private:
    const QByteArray &m_body;
    qsizetype m_at = 0;
};

// No packet of a status is anywhere near this; more is a channel out of step.
constexpr quint32 kLongestStatus = 64 * 1024;

} // namespace

bool SftpChannelRequests::SendWrite(sftp_session_struct *sftp, const sftp_file_struct &file, quint64 offset,
                                    const char *data, quint32 size)
{
    return Send(sftp, SSH_FXP_WRITE, file, offset, data, size);
}

bool SftpChannelRequests::SendClose(sftp_session_struct *sftp, const sftp_file_struct &file)
{
    return Send(sftp, SSH_FXP_CLOSE, file, 0, nullptr, 0);
}

bool SftpChannelRequests::Send(sftp_session_struct *sftp, quint8 type, const sftp_file_struct &file,
                               quint64 offset, const char *data, quint32 size)
{
    const quint32 id = ++sftp->id_counter;
    const quint32 handleSize = quint32(ssh_string_len(file.handle));
    const char *handle = static_cast<const char *>(ssh_string_data(file.handle));
    m_packet.truncate(0);   // keeps the buffer for the next request
    AppendU32(m_packet, 0); // the length, set below
    m_packet.append(char(type));
    AppendU32(m_packet, id);
    AppendString(m_packet, handle, handleSize);
    if (type == SSH_FXP_WRITE) {
        AppendU64(m_packet, offset);
        AppendString(m_packet, data, size);
    }
    qToBigEndian(quint32(m_packet.size() - 4), m_packet.data());
    if (ssh_channel_write(sftp->channel, m_packet.constData(), quint32(m_packet.size())) != m_packet.size())
        return false;
    m_pending.push_back({id, type == SSH_FXP_WRITE ? qint64(size) : 0});
    return true;
}

bool SftpChannelRequests::CollectOne(sftp_session_struct *sftp)
{
    char header[5];
    if (!ReadExactly(sftp->channel, header, sizeof header))
        return false;
    const quint32 length = qFromBigEndian<quint32>(header);
    if (length < 1 || length > kLongestStatus || quint8(header[4]) != SSH_FXP_STATUS)
        return false;
    QByteArray body(length - 1, Qt::Uninitialized);
    if (!ReadExactly(sftp->channel, body.data(), quint32(body.size())))
        return false;
    BodyReader reader(body);
    quint32 id = 0;
    quint32 status = 0;
    if (!reader.U32(id) || !reader.U32(status))
        return false;
    // A server may answer requests out of order.
    const auto request =
        std::find_if(m_pending.begin(), m_pending.end(), [id](const Request &each) { return each.id == id; });
    if (request == m_pending.end())
        return false;
    if (status == SSH_FX_OK) {
        m_acknowledged += request->bytes;
    } else if (m_refusal == SSH_FX_OK) {
        m_refusal = status;
        QByteArray message;
        if (reader.String(message))
            m_refusalMessage = QString::fromUtf8(message);
    }
    m_pending.erase(request);
    return true;
}

bool SftpChannelRequests::CollectAll(sftp_session_struct *sftp)
{
    while (!m_pending.empty()) {
        if (!CollectOne(sftp))
            return false;
    }
    return true;
}

void SftpChannelRequests::Reset()
{
    m_acknowledged = 0;
    m_refusal = SSH_FX_OK;
    m_refusalMessage.clear();
}
