#include "shell/geometry.h"

#include "platform/settings.h"

#include <algorithm>

namespace kelmor::shell {

using platform::SettingsSection;

WindowGeometry readWindowGeometry(const platform::SettingsStore &store, QSizeF screen)
{
    WindowGeometry g;
    g.height = store.readDouble(SettingsSection, QStringLiteral("Height"), DefaultHeightTwips);
    g.width = store.readDouble(SettingsSection, QStringLiteral("Width"), DefaultWidthTwips);
    g.top = store.readDouble(SettingsSection, QStringLiteral("Top"),
                             screen.height() / 2 - g.height / 2);
    g.left =
        store.readDouble(SettingsSection, QStringLiteral("Left"), screen.width() / 2 - g.width / 2);
    return correctGeometry(g, screen);
}

WindowGeometry correctGeometry(WindowGeometry g, QSizeF screen)
{
    if (g.top < 1)
        g.top = screen.height() / 2 - g.height / 2;
    if (g.left < 1)
        g.left = screen.width() / 2 - g.width / 2;
    if (g.width > screen.width())
        g.width = screen.width() - ScreenMarginTwips;
    if (g.height > screen.height())
        g.height = screen.height() - ScreenMarginTwips;
    if (g.width < MinimumWidthTwips)
        g.width = MinimumWidthTwips;
    if (g.height < MinimumHeightTwips)
        g.height = MinimumHeightTwips;

    // Keep the window reachable: a place off the screen (beyond its right or bottom edge, or
    // above or left of it after centring a window that was taller or wider than the screen)
    // becomes the centre for the corrected size, never above or left of the screen's corner.
    if (g.top < 0 || g.top >= screen.height())
        g.top = std::max(0.0, screen.height() / 2 - g.height / 2);
    if (g.left < 0 || g.left >= screen.width())
        g.left = std::max(0.0, screen.width() / 2 - g.width / 2);
    return g;
}

} // namespace kelmor::shell
