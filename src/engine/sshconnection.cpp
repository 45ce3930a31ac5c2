#include "sshconnection.h"

#include <libssh/libssh.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <utility>

SshConnection::SshConnection()
    : m_session(ssh_new())
    , m_wakeWatcher(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

SshConnection::~SshConnection()
{
    ssh_disconnect(m_session);
    ssh_free(m_session);
    if (m_wakeWatcher >= 0)
        close(m_wakeWatcher);
}

SshConnection::Hold::Hold(SshConnection &connection)
    : m_connection(connection)
{
    std::unique_lock lock(connection.m_mutex);
    connection.m_held = std::move(lock);
}

SshConnection::Hold::~Hold()
{
    std::unique_lock lock = std::move(m_connection.m_held);
    // The calls made while holding may have read packets for any channel.
    m_connection.PacketsMayHaveBeenRead();
}

// With the mutex locked.
void SshConnection::PacketsMayHaveBeenRead()
{
    ++m_reads;
    if (m_sleepers > 0)
        m_packetsRead.notify_all();
    if (m_watching && m_wakeWatcher >= 0)
        eventfd_write(m_wakeWatcher, 1);
}

// Bytes buffered for channel, or below 0 when it ended or broke. Reads what
// the socket holds; when that was anything, it may be another channel's.
int SshConnection::Check(ssh_channel_struct *channel)
{
    int waiting = 0;
    ioctl(ssh_get_fd(m_session), FIONREAD, &waiting);
    const int available = ssh_channel_poll(channel, 0);
    if (waiting > 0)
        PacketsMayHaveBeenRead();
    return available;
}

void SshConnection::WaitForData(ssh_channel_struct *channel)
{
    std::unique_lock lock = std::move(m_held);
    bool toldOthers = false;
    for (;;) {
        if (Check(channel) != 0 || !ssh_is_connected(m_session))
            break;
        if (!std::exchange(toldOthers, true))
            PacketsMayHaveBeenRead(); // what this holder read before waiting
        if (!m_watching) {
            WatchSocket(lock);
            continue;
        }
        const std::uint64_t seen = m_reads;
        ++m_sleepers;
        m_packetsRead.wait_for(lock, kLongestSleep, [&] { return m_reads != seen || !m_watching; });
        --m_sleepers;
    }
    // Someone else watches the socket from now on.
    if (m_sleepers > 0 && !m_watching)
        m_packetsRead.notify_all();
    m_held = std::move(lock);
}

void SshConnection::WatchSocket(std::unique_lock<std::mutex> &lock)
{
    pollfd watched[] = {{ssh_get_fd(m_session), POLLIN, 0}, {m_wakeWatcher, POLLIN, 0}};
    m_watching = true;
    lock.unlock();
    poll(watched, 2, int(kLongestSleep.count()));
    if (watched[1].revents & POLLIN) {
        eventfd_t count = 0;
        eventfd_read(m_wakeWatcher, &count);
    }
    lock.lock();
    m_watching = false;
}
