#pragma once

#include <QRect>
#include <QSize>

#include <optional>

class ApplicationSettings;

// The thumbnail window's bounds, kept in VLeft, VTop, VRight and VBottom.

// The rectangle to open with, or nothing when the stored bounds are empty,
// reversed or reach more than 4 pixels past the screen.
std::optional<QRect> RestoredThumbnailBounds(const ApplicationSettings &settings, const QSize &screen);

// Stores the rectangle of a closing window unless it lies more than 4
// pixels off the screen's left or top or is too big for the screen; then
// the stored bounds stay as they were.
void StoreThumbnailBounds(ApplicationSettings &settings, const QRect &window, const QSize &screen);
