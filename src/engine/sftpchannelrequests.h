#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <map>

class SshConnection;
struct sftp_session_struct;
struct sftp_file_struct;

// Requests the session writes on the SFTP channel itself, beside the
// library, so that many of them can be under way at once: the library sends
// a write and waits for its answer before the next. Only while no library
// call runs on the session, which would take the answers meant for these;
// the ids come from the library's counter, so they never meet its own.
// Every answer is checked: a status for the id of a request under way.
//
// Opens and reads are answered with a handle, data or a status, which is
// kept until the caller asks for it (Await); writes and closes only count.
//
// Small requests are gathered and go out together once an answer is waited
// for, or on Flush(): one send for the close of a file, the open of the next
// and its reads, where each would cost a send (and on loopback the server's
// wake-up) of its own.
class SftpChannelRequests {
public:
    // What the server answered an open or a read.
    struct Answer {
        quint8 type = 0;    // SSH_FXP_HANDLE, SSH_FXP_DATA or SSH_FXP_STATUS
        quint32 status = 0; // a status's code
        QByteArray payload; // the handle, the data, or a status's message
    };

    // The connection the channel belongs to; set before any request.
    void UseConnection(SshConnection *connection) { m_connection = connection; }
    // false when the channel broke.
    bool SendWrite(sftp_session_struct *sftp, const sftp_file_struct &file, quint64 offset, const char *data,
                   quint32 size);
    bool SendClose(sftp_session_struct *sftp, const sftp_file_struct &file);
    bool SendClose(sftp_session_struct *sftp, const QByteArray &handle);
    // The id of the request; 0 when the channel broke.
    quint32 SendOpenForReading(sftp_session_struct *sftp, const QByteArray &path);
    quint32 SendRead(sftp_session_struct *sftp, const QByteArray &handle, quint64 offset, quint32 length);
    // Reads answers until the one to id is there; false when the channel
    // broke or fell out of step.
    bool Await(sftp_session_struct *sftp, quint32 id, Answer &answer);
    // Reads the next answer; false when the channel broke or the server
    // answered something no request under way asked for.
    bool CollectOne(sftp_session_struct *sftp);
    // Reads every answer still owed; the kept ones stay for Await.
    bool CollectAll(sftp_session_struct *sftp);
    // Sends the requests gathered so far; false when the channel broke.
    bool Flush(sftp_session_struct *sftp);
    size_t Pending() const { return m_pending.size(); }
    // Bytes of writes the server confirmed.
    qint64 Acknowledged() const { return m_acknowledged; }
    // The status of the first request the server refused: SSH_FX_OK (0)
    // while none was, and its message.
    quint32 Refusal() const { return m_refusal; }
    QString RefusalMessage() const { return m_refusalMessage; }
    // Starts the counts over for the next file.
    void Reset();

private:
    struct Request {
        quint32 id;
        qint64 bytes;
        bool kept; // the answer is kept for Await
    };
    bool Send(sftp_session_struct *sftp, quint8 type, const sftp_file_struct &file, quint64 offset,
              const char *data, quint32 size);
    quint32 SendPacket(sftp_session_struct *sftp, qint64 bytes, bool kept);
    void Count(const Request &request, const Answer &status);
    void StartPacket(sftp_session_struct *sftp, quint8 type);

    SshConnection *m_connection = nullptr;
    std::deque<Request> m_pending;
    std::map<quint32, Answer> m_answers;
    // The requests not sent yet; the last one is under construction from
    // m_packetStart on.
    QByteArray m_outgoing;
    qsizetype m_packetStart = 0;
    qint64 m_acknowledged = 0;
    quint32 m_refusal = 0;
    QString m_refusalMessage;
};
