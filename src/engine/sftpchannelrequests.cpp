#include "sftpchannelrequests.h"

#include "sshconnection.h"

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
// the channel stays open. The wait lets other sessions of the connection
// use it meanwhile.
bool ReadExactly(SshConnection &connection, ssh_channel channel, char *data, quint32 size)
{
    quint32 got = 0;
    while (got < size) {
        connection.WaitForData(channel);
        const int count = ssh_channel_read_nonblocking(channel, data + got, size - got, 0);
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

// The longest data the session asks for in one read, with room for the
// packet around it; more is a channel out of step.
constexpr quint32 kLongestAnswer = 256 * 1024 + 64;
// Gathered requests go out once they reach this size (a write's data does
// at once): more would only wait to be sent.
constexpr qsizetype kGatherAtMost = 32 * 1024;

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

bool SftpChannelRequests::SendClose(sftp_session_struct *sftp, const QByteArray &handle)
{
    StartPacket(sftp, SSH_FXP_CLOSE);
    AppendString(m_outgoing, handle.constData(), quint32(handle.size()));
    return SendPacket(sftp, 0, false) != 0;
}

quint32 SftpChannelRequests::SendOpenForReading(sftp_session_struct *sftp, const QByteArray &path)
{
    StartPacket(sftp, SSH_FXP_OPEN);
    AppendString(m_outgoing, path.constData(), quint32(path.size()));
    AppendU32(m_outgoing, SSH_FXF_READ);
    AppendU32(m_outgoing, 0); // no attributes
    return SendPacket(sftp, 0, true);
}

quint32 SftpChannelRequests::SendRead(sftp_session_struct *sftp, const QByteArray &handle, quint64 offset,
                                      quint32 length)
{
    StartPacket(sftp, SSH_FXP_READ);
    AppendString(m_outgoing, handle.constData(), quint32(handle.size()));
    AppendU64(m_outgoing, offset);
    AppendU32(m_outgoing, length);
    return SendPacket(sftp, 0, true);
}

bool SftpChannelRequests::Send(sftp_session_struct *sftp, quint8 type, const sftp_file_struct &file,
                               quint64 offset, const char *data, quint32 size)
{
    StartPacket(sftp, type);
    AppendString(m_outgoing, static_cast<const char *>(ssh_string_data(file.handle)),
                 quint32(ssh_string_len(file.handle)));
    if (type == SSH_FXP_WRITE) {
        AppendU64(m_outgoing, offset);
        AppendString(m_outgoing, data, size);
    }
    return SendPacket(sftp, type == SSH_FXP_WRITE ? qint64(size) : 0, false) != 0;
}

// The length, type and id of a request; its id is the library's next.
void SftpChannelRequests::StartPacket(sftp_session_struct *sftp, quint8 type)
{
    m_packetStart = m_outgoing.size();
    AppendU32(m_outgoing, 0); // the length, set by SendPacket
    m_outgoing.append(char(type));
    AppendU32(m_outgoing, ++sftp->id_counter);
}

quint32 SftpChannelRequests::SendPacket(sftp_session_struct *sftp, qint64 bytes, bool kept)
{
    char *packet = m_outgoing.data() + m_packetStart;
    qToBigEndian(quint32(m_outgoing.size() - m_packetStart - 4), packet);
    const quint32 id = qFromBigEndian<quint32>(packet + 5);
    m_pending.push_back({id, bytes, kept});
    if (m_outgoing.size() >= kGatherAtMost && !Flush(sftp))
        return 0;
    return id;
}

bool SftpChannelRequests::Flush(sftp_session_struct *sftp)
{
    if (m_outgoing.isEmpty())
        return true;
    const bool sent = ssh_channel_write(sftp->channel, m_outgoing.constData(), quint32(m_outgoing.size())) ==
                      m_outgoing.size();
    m_outgoing.truncate(0); // keeps the buffer for the next requests
    return sent;
}

bool SftpChannelRequests::Await(sftp_session_struct *sftp, quint32 id, Answer &answer)
{
    for (;;) {
        if (const auto kept = m_answers.find(id); kept != m_answers.end()) {
            answer = std::move(kept->second);
            m_answers.erase(kept);
            return true;
        }
        const bool owed = std::any_of(m_pending.begin(), m_pending.end(),
                                      [id](const Request &each) { return each.id == id; });
        if (!owed || !CollectOne(sftp))
            return false;
    }
}

bool SftpChannelRequests::CollectOne(sftp_session_struct *sftp)
{
    char header[5];
    if (!Flush(sftp) || !ReadExactly(*m_connection, sftp->channel, header, sizeof header))
        return false;
    const quint32 length = qFromBigEndian<quint32>(header);
    const quint8 type = quint8(header[4]);
    const bool known = type == SSH_FXP_STATUS || type == SSH_FXP_HANDLE || type == SSH_FXP_DATA;
    if (length < 1 || length > kLongestAnswer || !known)
        return false;
    QByteArray body(length - 1, Qt::Uninitialized);
    if (!ReadExactly(*m_connection, sftp->channel, body.data(), quint32(body.size())))
        return false;
    BodyReader reader(body);
    quint32 id = 0;
    if (!reader.U32(id))
        return false;
    // A server may answer requests out of order.
    const auto request =
        std::find_if(m_pending.begin(), m_pending.end(), [id](const Request &each) { return each.id == id; });
    if (request == m_pending.end() || (!request->kept && type != SSH_FXP_STATUS))
        return false;
    Answer answer;
    answer.type = type;
    const bool wellFormed =
        type == SSH_FXP_STATUS ? reader.U32(answer.status) : reader.String(answer.payload);
    if (!wellFormed)
        return false;
    if (type == SSH_FXP_STATUS)
        reader.String(answer.payload); // version 3 servers may leave the message out
    if (request->kept)
        m_answers[id] = std::move(answer);
    else
        Count(*request, answer);
    m_pending.erase(request);
    return true;
}

void SftpChannelRequests::Count(const Request &request, const Answer &status)
{
    if (status.status == SSH_FX_OK) {
        m_acknowledged += request.bytes;
    } else if (m_refusal == SSH_FX_OK) {
        m_refusal = status.status;
        m_refusalMessage = QString::fromUtf8(status.payload);
    }
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
