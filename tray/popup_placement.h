#pragma once

// Where the tray popup opens.

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace kelmor::tray {

// The popup's rectangle: its bottom-right corner at the mouse (left = x − width,
// top = y − height). Where the popup would leave the screen on the left or at the top (a
// panel at the top or the left of the screen), it opens on the other side of the mouse, the
// mouse then at its top or left edge; it is kept on the screen in any case. Without a mouse
// position (the desktop gives none, as on Wayland) the corner goes to the bottom-right of the
// screen's available area.
QRect popupGeometry(const QSize &size, std::optional<QPoint> mouse, const QRect &screen,
                    const QRect &available);

} // namespace kelmor::tray
