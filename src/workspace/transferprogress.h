#pragma once

#include "byteprogressbar.h"
#include "idglobal.h"

#include <QString>

#include <functional>

class QLocale;
struct WindowParts;

// Speed, bytes done and the expected total of the main session's transfers
// (listings included) in status panel 1 and the progress bar, from the
// session's work events; keeps the session's TransferActive flag. Every event
// updates the numbers, but the display follows at most about 20 times a
// second, so drawing never slows a fast transfer.
class TransferProgress {
public:
    // Milliseconds on a steady clock; tests put in their own.
    using Clock = std::function<qint64()>;
    static constexpr int kDisplayInterval = 50;

    explicit TransferProgress(const WindowParts &parts);

    void SetClock(Clock clock) { m_clock = std::move(clock); }

    // startedAt: when the work began, for work that was under way before
    // it was shown (the extra connections of a folder transfer); -1: now.
    void WorkBegin(TWorkMode mode, qint64 countMax, qint64 startedAt = -1);
    qint64 Now() const { return m_clock(); }
    void Work(TWorkMode mode, qint64 count);
    void WorkEnd(TWorkMode mode);

    // Kilobytes (of 1024 bytes) per second since the work began.
    double Speed() const { return m_speed; }
    // The byte count the bar stands for when full.
    qint64 Maximum() const { return m_maximum; }

    // "Download speed 2,00 KB/s  2048 von 2048 Byte"; the counts only while
    // they lie between 1 and the maximum.
    static QString ProgressText(TWorkMode mode, double speed, qint64 count, qint64 maximum,
                                const QLocale &locale);
    // "2,00 KB/s" in the locale's decimal format, "Not detectable" for 0.
    static QString SpeedText(double speed, const QLocale &locale);

private:
    void Show(TWorkMode mode, qint64 count);

    const WindowParts &m_parts;
    Clock m_clock;
    qint64 m_startTime = 0;
    qint64 m_lastShown = 0;
    bool m_shownSinceBegin = false;
    double m_speed = 0;
    qint64 m_maximum = 1;
    ByteProgressBar m_bar;
};
