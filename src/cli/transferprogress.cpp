#include "transferprogress.h"

#include "remotefilesystem.h"

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace {

constexpr qint64 kShowIntervalMs = 200;
constexpr double kMiB = 1024.0 * 1024.0;

} // namespace

TransferProgress::TransferProgress(RemoteFileSystem &session, qint64 expectedSize)
    : m_session(session)
    , m_expected(expectedSize)
{
    if (!IsShown())
        return;
    m_clock.start();
    m_session.ReportProgressTo([this](qint64 moved) { Advance(moved); });
}

TransferProgress::~TransferProgress()
{
    if (!IsShown())
        return;
    m_session.ReportProgressTo({});
    if (m_done == 0 && !m_shown)
        return;
    // The last figure, whatever the interval.
    Show(m_done);
    std::fputc('\n', stderr);
}

bool TransferProgress::IsShown()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void TransferProgress::Advance(qint64 done)
{
    m_done = done;
    const qint64 now = m_clock.elapsed();
    if (now - m_shownAt < kShowIntervalMs)
        return;
    m_shownAt = now;
    Show(done);
}

void TransferProgress::Show(qint64 done)
{
    const double seconds = std::max<qint64>(1, m_clock.elapsed()) / 1000.0;
    const double rate = done / kMiB / seconds;
    if (m_expected > 0)
        std::fprintf(stderr, "\r%.1f von %.1f MiB (%lld %%), %.1f MiB/s   ", done / kMiB, m_expected / kMiB,
                     static_cast<long long>(done * 100 / m_expected), rate);
    else
        std::fprintf(stderr, "\r%.1f MiB, %.1f MiB/s   ", done / kMiB, rate);
    m_shown = true;
}
