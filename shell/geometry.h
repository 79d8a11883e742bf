#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>

namespace kelmor::platform {
class SettingsStore;
}

namespace kelmor::shell {

// The main window's place and size in twips (15 per pixel), as the settings keep them.
struct WindowGeometry
{
    double top = 0;
    double left = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const WindowGeometry &, const WindowGeometry &) = default;
};

// Designed size of the main window, and the smallest size it starts with.
constexpr double DefaultWidthTwips = 4100;
constexpr double DefaultHeightTwips = 6100;
constexpr double MinimumWidthTwips = 3500;
constexpr double MinimumHeightTwips = 4000;
// Room left around a window that would not fit the screen.
constexpr double ScreenMarginTwips = 90;

// Reads Height, Width, Top and Left (in this order) from section Kelmor3 with their defaults
// (6100, 4100, and centred on the screen for the size read), then corrects them with
// correctGeometry(). screen is the primary screen's size in twips; desktop the available areas
// of all screens in twips (empty: the primary screen only).
WindowGeometry readWindowGeometry(const platform::SettingsStore &store, QSizeF screen,
                                  const QList<QRectF> &desktop = {});

// The corrections, in this order: Top below 1 centres vertically; Left below 1 centres
// horizontally; a width above the screen's becomes the screen width minus 90, a height above the
// screen's the screen height minus 90; a width below 3500 becomes 3500, a height below 4000
// becomes 4000. Centring uses the size at that point of the corrections. Then, so the window
// can always be reached: when its top-left corner lies on none of the desktop's screens (a
// place kept from a screen that is gone, a huge stored number, or above or left of the screen
// after centring a window larger than it), the coordinate that is off becomes the centre of the
// primary screen for the corrected size, at least 0. A window on a second screen stays there.
WindowGeometry correctGeometry(WindowGeometry g, QSizeF screen, const QList<QRectF> &desktop = {});

} // namespace kelmor::shell
