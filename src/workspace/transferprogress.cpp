#include "transferprogress.h"

#include "mainsession.h"
#include "sessionhost.h"
#include "statuspanels.h"
#include "tidantifreeze.h"
#include "windowparts.h"

#include <QLocale>

#include <chrono>

using namespace Qt::StringLiterals;

namespace {

qint64 SteadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

TransferProgress::TransferProgress(const WindowParts &parts)
    : m_parts(parts)
    , m_clock(SteadyMilliseconds)
    , m_bar(parts.progress)
{
}

void TransferProgress::WorkBegin(TWorkMode mode, qint64 countMax, qint64 startedAt)
{
    OperationFlags &flags = m_parts.session->Flags;
    flags.TransferActive = true;
    m_startTime = startedAt >= 0 ? startedAt : m_clock();
    m_shownSinceBegin = false;
    m_bar.SetPosition(0);
    m_maximum = countMax > 0 ? countMax : (flags.ExpectedSize > 0 ? flags.ExpectedSize : 1);
    m_bar.SetMaximum(m_maximum);
    m_speed = 0;
    m_parts.session->NotifyStateChanged();
    m_parts.status->SetPanelText(1, mode == wmRead ? u"Download beginnt..."_s : u"Uploade beginnt..."_s);
}

void TransferProgress::Work(TWorkMode mode, qint64 count)
{
    const qint64 now = m_clock();
    const qint64 elapsed = now - m_startTime;
    if (elapsed > 0)
        m_speed = double(count) / 1024.0 / (double(elapsed) / 1000.0);
    if (!m_shownSinceBegin || now - m_lastShown >= kDisplayInterval) {
        m_shownSinceBegin = true;
        m_lastShown = now;
        Show(mode, count);
    }
    TIdAntiFreeze::DoProcessThrottled();
}

void TransferProgress::WorkEnd(TWorkMode)
{
    // A transfer cut off by "Trennen" ends after the session: the lamp stays off.
    MainSession &session = *m_parts.session;
    m_parts.host->SetActivity(session.Remote().IsConnected() ? 1 : 0);
    m_parts.status->SetPanelText(1, u"Transfer complete."_s);
    session.Flags.ExpectedSize = 0;
    session.Flags.TransferActive = false;
    m_bar.SetPosition(0);
    m_speed = 0;
    session.NotifyStateChanged();
}

void TransferProgress::Show(TWorkMode mode, qint64 count)
{
    m_parts.status->SetPanelText(1, ProgressText(mode, m_speed, count, m_maximum, QLocale()));
    if (count >= 1)
        m_bar.SetPosition(std::min(count, m_maximum));
}

QString TransferProgress::ProgressText(TWorkMode mode, double speed, qint64 count, qint64 maximum,
                                       const QLocale &locale)
{
    QString text = (mode == wmRead ? u"Download speed "_s : u"Uploade speed "_s) + SpeedText(speed, locale);
    if (maximum > 0 && count > 0 && count <= maximum)
        text += u"  %1 von %2 Byte"_s.arg(count).arg(maximum);
    return text;
}

QString TransferProgress::SpeedText(double speed, const QLocale &locale)
{
    if (speed <= 0)
        return u"Not detectable"_s;
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(speed, 'f', 2) + u" KB/s"_s;
}
