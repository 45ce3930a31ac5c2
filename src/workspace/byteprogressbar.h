#pragma once

#include <QtGlobal>

class QProgressBar;

// Shows byte counts of any size on a progress bar, whose range is an int:
// the bar counts in units of 2^shift bytes, so that sizes beyond its range
// still fill it evenly.
class ByteProgressBar {
public:
    explicit ByteProgressBar(QProgressBar *bar);

    void SetMaximum(qint64 maximum);
    // An unchanged position schedules no paint.
    void SetPosition(qint64 position);

private:
    QProgressBar *m_bar;
    int m_shift = 0;
};
