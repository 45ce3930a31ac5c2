#include "layoutrestore.h"

#include "applicationsettings.h"

#include <cmath>

namespace {

constexpr int kScreenSlack = 4;
constexpr int kBarMargin = 20;

bool HasSavedSize(const ApplicationSettings &settings)
{
    return settings.Left < settings.Right && settings.Top < settings.Bottom;
}

bool HasSavedPositionOnScreen(const ApplicationSettings &settings, const QSize &screen)
{
    return settings.Right >= -kScreenSlack && settings.Right <= screen.width() + kScreenSlack &&
           settings.Top >= -kScreenSlack && settings.Top <= screen.height() + kScreenSlack;
}

QSize SavedSize(const ApplicationSettings &settings)
{
    return {settings.Right - settings.Left, settings.Bottom - settings.Top};
}

} // namespace

std::optional<QRect> RestoredWindowRect(const ApplicationSettings &settings, const QSize &screen,
                                        const QRect &current)
{
    if (settings.Size_Save && !settings.Pos_Save) {
        if (!HasSavedSize(settings))
            return std::nullopt;
        const QSize size = SavedSize(settings);
        return QRect(QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2),
                     size);
    }
    if (settings.Pos_Save && !settings.Size_Save) {
        if (!HasSavedPositionOnScreen(settings, screen))
            return std::nullopt;
        return QRect(QPoint(settings.Left, settings.Top), current.size());
    }
    if (settings.Pos_Save && settings.Size_Save) {
        if (!HasSavedSize(settings) || !HasSavedPositionOnScreen(settings, screen))
            return std::nullopt;
        return QRect(QPoint(settings.Left, settings.Top), SavedSize(settings));
    }
    return std::nullopt;
}

std::optional<int> RestoredBarPosition(int extent, double fraction)
{
    const double wanted = std::round(extent * fraction);
    if (!(wanted > kBarMargin && wanted < extent - kBarMargin))
        return std::nullopt;
    return int(wanted);
}
