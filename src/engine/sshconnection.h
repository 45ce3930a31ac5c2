#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

struct ssh_session_struct;
struct ssh_channel_struct;

// One SSH connection that several SFTP sessions share, each over a channel
// of its own: the server logs the user in once, however many files move at
// once. The library serves a connection from one thread at a time, so every
// call on it runs while the connection is held (Hold). A session waiting for
// its channel lets go meanwhile (WaitForData), so that the others can send
// and read: one waiting thread watches the socket, the others sleep until
// packets were read, whoever read them.
class SshConnection {
public:
    SshConnection();
    // Disconnects; by then no session uses the connection any more.
    ~SshConnection();
    SshConnection(const SshConnection &) = delete;
    SshConnection &operator=(const SshConnection &) = delete;

    ssh_session_struct *Session() const { return m_session; }

    // Holds the connection for the calling thread while it lives.
    class Hold {
    public:
        explicit Hold(SshConnection &connection);
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        SshConnection &m_connection;
    };

    // Only while holding the connection: returns once channel has data to
    // read, has ended, or the connection broke.
    void WaitForData(ssh_channel_struct *channel);

private:
    // A wake-up the waits fall back on, should packets for a waiting
    // channel have been read inside a library call that told no one.
    static constexpr std::chrono::milliseconds kLongestSleep{100};

    void PacketsMayHaveBeenRead();
    int Check(ssh_channel_struct *channel);
    void WatchSocket(std::unique_lock<std::mutex> &lock);

    ssh_session_struct *m_session;
    std::mutex m_mutex;
    // The holder's lock; a waiting holder takes it along.
    std::unique_lock<std::mutex> m_held;
    std::condition_variable m_packetsRead;
    std::uint64_t m_reads = 0;
    int m_sleepers = 0;
    // A waiting thread polls the socket outside the hold; m_wakeWatcher (an
    // eventfd) ends its poll when another thread read the packets.
    bool m_watching = false;
    int m_wakeWatcher = -1;
};
