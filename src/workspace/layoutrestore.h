#pragma once

#include <QRect>
#include <QSize>

#include <optional>

class ApplicationSettings;

// The main window rectangle the saved settings ask for at start, or nothing
// when the saved values are switched off or out of bounds. screen is the
// screen size; current is the window's rectangle before restoring.
std::optional<QRect> RestoredWindowRect(const ApplicationSettings &settings, const QSize &screen,
                                        const QRect &current);

// Where a split bar goes for a saved fraction of the extent; nothing when
// the bar would come within 20 pixels of either edge.
std::optional<int> RestoredBarPosition(int extent, double fraction);
