#pragma once

#include <QList>
#include <QMargins>
#include <QRect>
#include <QSize>

#include <optional>

class ApplicationSettings;

// The main window rectangle the saved settings ask for at start, or nothing
// when the saved values are switched off or the window would not fit on a
// screen; the window then keeps its designed size, centred. The rectangle is
// the window's inner one, without the frame the window manager adds: that is
// what the window stores when it closes, so a start puts it back exactly
// where it was, whatever frame it has. screens are the available areas of
// the screens, the window's own first; currentSize is the window's inner
// size before restoring; frame the margins of its frame.
std::optional<QRect> RestoredWindowRect(const ApplicationSettings &settings, const QList<QRect> &screens,
                                        const QSize &currentSize, const QMargins &frame = {});

// Where a split bar goes for a saved fraction of the extent; nothing when
// the bar would come within 20 pixels of either edge.
std::optional<int> RestoredBarPosition(int extent, double fraction);
