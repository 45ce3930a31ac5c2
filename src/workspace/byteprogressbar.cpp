#include "byteprogressbar.h"

#include <QProgressBar>

#include <limits>

ByteProgressBar::ByteProgressBar(QProgressBar *bar)
    : m_bar(bar)
{
}

void ByteProgressBar::SetMaximum(qint64 maximum)
{
    m_shift = 0;
    while ((maximum >> m_shift) > std::numeric_limits<int>::max())
        ++m_shift;
    m_bar->setRange(0, int(maximum >> m_shift));
}

void ByteProgressBar::SetPosition(qint64 position)
{
    // QProgressBar::setValue paints at once; with updates held back it only schedules
    // a paint, so a run of small files costs one paint per event loop pass, not two each.
    const int value = int(position >> m_shift);
    if (m_bar->value() == value)
        return;
    m_bar->setUpdatesEnabled(false);
    m_bar->setValue(value);
    m_bar->setUpdatesEnabled(true);
}
