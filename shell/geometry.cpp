#include "shell/geometry.h"

#include "platform/settings.h"

#include <algorithm>

namespace kelmor::shell {

using platform::SettingsSection;

WindowGeometry readWindowGeometry(const platform::SettingsStore &store, QSizeF screen,
                                  const QList<QRectF> &desktop)
{
    WindowGeometry g;
    g.height = store.readDouble(SettingsSection, QStringLiteral("Height"), DefaultHeightTwips);
    g.width = store.readDouble(SettingsSection, QStringLiteral("Width"), DefaultWidthTwips);
    g.top = store.readDouble(SettingsSection, QStringLiteral("Top"),
                             screen.height() / 2 - g.height / 2);
    g.left =
        store.readDouble(SettingsSection, QStringLiteral("Left"), screen.width() / 2 - g.width / 2);
    return correctGeometry(g, screen, desktop);
}

WindowGeometry correctGeometry(WindowGeometry g, QSizeF screen, const QList<QRectF> &desktop)
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

    // Keep the window reachable: its top-left corner must lie on one of the screens. When it
    // does not, the coordinate that no screen spans is centred on the primary screen (both
    // when neither is), never above or left of the screen's corner.
    const QList<QRectF> areas =
        desktop.isEmpty() ? QList<QRectF>{QRectF(QPointF(0, 0), screen)} : desktop;
    const auto spans = [](double from, double length, double value) {
        return value >= from && value < from + length;
    };
    bool onScreen = false;
    bool topSpanned = false;
    bool leftSpanned = false;
    for (const QRectF &a : areas) {
        const bool top = spans(a.top(), a.height(), g.top);
        const bool left = spans(a.left(), a.width(), g.left);
        onScreen = onScreen || (top && left);
        topSpanned = topSpanned || top;
        leftSpanned = leftSpanned || left;
    }
    if (!onScreen) {
        const bool centreBoth = topSpanned == leftSpanned;
        if (!topSpanned || centreBoth)
            g.top = std::max(0.0, screen.height() / 2 - g.height / 2);
        if (!leftSpanned || centreBoth)
            g.left = std::max(0.0, screen.width() / 2 - g.width / 2);
    }
    return g;
}

} // namespace kelmor::shell
