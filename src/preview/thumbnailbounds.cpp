#include "thumbnailbounds.h"

#include "applicationsettings.h"

namespace {

constexpr int kTolerance = 4;

} // namespace

std::optional<QRect> RestoredThumbnailBounds(const ApplicationSettings &settings, const QSize &screen)
{
    const bool onScreen = settings.VLeft >= -kTolerance && settings.VTop >= -kTolerance &&
                          screen.width() + kTolerance >= settings.VRight &&
                          screen.height() + kTolerance >= settings.VBottom;
    const bool notEmpty = settings.VLeft < settings.VRight && settings.VTop < settings.VBottom;
    if (!onScreen || !notEmpty)
        return std::nullopt;
    return QRect(settings.VLeft, settings.VTop, settings.VRight - settings.VLeft,
                 settings.VBottom - settings.VTop);
}

void StoreThumbnailBounds(ApplicationSettings &settings, const QRect &window, const QSize &screen)
{
    const bool fits = window.left() >= -kTolerance && window.top() >= -kTolerance &&
                      screen.width() >= window.width() + 2 * kTolerance &&
                      screen.height() >= window.height() + 2 * kTolerance;
    if (!fits)
        return;
    settings.VLeft = window.left();
    settings.VTop = window.top();
    settings.VRight = window.left() + window.width();
    settings.VBottom = window.top() + window.height();
}
