#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>

struct sftp_session_struct;
struct sftp_file_struct;

// Requests the session writes on the SFTP channel itself, beside the
// library, so that many of them can be under way at once: the library sends
// a write and waits for its answer before the next. Only while no library
// call runs on the session, which would take the answers meant for these;
// the ids come from the library's counter, so they never meet its own.
// Every answer is checked: a status for the id of a request under way.
class SftpChannelRequests {
public:
    // false when the channel broke.
    bool SendWrite(sftp_session_struct *sftp, const sftp_file_struct &file, quint64 offset, const char *data,
                   quint32 size);
    bool SendClose(sftp_session_struct *sftp, const sftp_file_struct &file);
    // Reads the next answer; false when the channel broke or the server
    // answered something else than a status of a request under way.
    bool CollectOne(sftp_session_struct *sftp);
    // Reads every answer still owed.
    bool CollectAll(sftp_session_struct *sftp);
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
    };
    bool Send(sftp_session_struct *sftp, quint8 type, const sftp_file_struct &file, quint64 offset,
              const char *data, quint32 size);

    std::deque<Request> m_pending;
    QByteArray m_packet;
    qint64 m_acknowledged = 0;
    quint32 m_refusal = 0;
    QString m_refusalMessage;
};
