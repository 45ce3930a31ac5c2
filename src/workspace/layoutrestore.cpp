#include "layoutrestore.h"

#include "applicationsettings.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kScreenSlack = 4;
constexpr int kBarMargin = 20;

bool HasSavedSize(const ApplicationSettings &settings)
{
    return settings.Left < settings.Right && settings.Top < settings.Bottom;
}

QSize SavedSize(const ApplicationSettings &settings)
{
    return {settings.Right - settings.Left, settings.Bottom - settings.Top};
}

// The window with its frame lies on the screen area, give or take a few
// pixels of frame that may stick out.
bool FitsOn(const QRect &screen, const QRect &window, const QMargins &frame)
{
    return screen.adjusted(-kScreenSlack, -kScreenSlack, kScreenSlack, kScreenSlack)
        .contains(window.marginsAdded(frame));
}

bool FitsOnAny(const QList<QRect> &screens, const QRect &window, const QMargins &frame)
{
    return std::any_of(screens.begin(), screens.end(),
                       [&](const QRect &screen) { return FitsOn(screen, window, frame); });
}

// The inner rectangle of a window whose frame is centred on the screen.
QRect CentredOn(const QRect &screen, const QSize &size, const QMargins &frame)
{
    const QSize outer = size.grownBy(frame);
    return QRect(QPoint(screen.x() + (screen.width() - outer.width()) / 2 + frame.left(),
                        screen.y() + (screen.height() - outer.height()) / 2 + frame.top()),
                 size);
}

std::optional<QRect> SavedRectWanted(const ApplicationSettings &settings, const QList<QRect> &screens,
                                     const QSize &currentSize, const QMargins &frame)
{
    if (settings.Size_Save && !settings.Pos_Save) {
        if (!HasSavedSize(settings))
            return std::nullopt;
        return CentredOn(screens.first(), SavedSize(settings), frame);
    }
    if (settings.Pos_Save && !settings.Size_Save)
        return QRect(QPoint(settings.Left, settings.Top), currentSize);
    if (settings.Pos_Save && settings.Size_Save && HasSavedSize(settings))
        return QRect(QPoint(settings.Left, settings.Top), SavedSize(settings));
    return std::nullopt;
}

} // namespace

std::optional<QRect> RestoredWindowRect(const ApplicationSettings &settings, const QList<QRect> &screens,
                                        const QSize &currentSize, const QMargins &frame)
{
    if (screens.isEmpty())
        return std::nullopt;
    const std::optional<QRect> wanted = SavedRectWanted(settings, screens, currentSize, frame);
    // A rectangle saved on a larger screen, or on one that is gone, would put
    // the title bar or the window's edges out of reach.
    if (!wanted || !FitsOnAny(screens, *wanted, frame))
        return std::nullopt;
    return wanted;
}

std::optional<int> RestoredBarPosition(int extent, double fraction)
{
    const double wanted = std::round(extent * fraction);
    if (!(wanted > kBarMargin && wanted < extent - kBarMargin))
        return std::nullopt;
    return int(wanted);
}
