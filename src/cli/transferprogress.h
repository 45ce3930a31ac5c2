#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

class RemoteFileSystem;

// Shows how far a transfer has come on stderr, a few times a second, and
// only when stderr is a terminal: scripts and logs get no progress lines.
class TransferProgress {
public:
    // The expected size may be -1 when it is unknown.
    TransferProgress(RemoteFileSystem &session, qint64 expectedSize);
    ~TransferProgress();
    TransferProgress(const TransferProgress &) = delete;
    TransferProgress &operator=(const TransferProgress &) = delete;

    static bool IsShown();

private:
    void Advance(qint64 done);
    void Show(qint64 done);

    RemoteFileSystem &m_session;
    qint64 m_expected;
    qint64 m_done = 0;
    QElapsedTimer m_clock;
    qint64 m_shownAt = 0;
    bool m_shown = false;
};
