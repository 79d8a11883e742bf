#include "tray/popup_placement.h"

#include <algorithm>

namespace kelmor::tray {

QRect popupGeometry(const QSize &size, std::optional<QPoint> mouse, const QRect &screen,
                    const QRect &available)
{
    const int w = size.width(), h = size.height();
    if (!mouse) {
        return QRect(available.left() + available.width() - w,
                     available.top() + available.height() - h, w, h);
    }
    int left = mouse->x() - w;
    int top = mouse->y() - h;
    if (left < screen.left())
        left = mouse->x();
    if (top < screen.top())
        top = mouse->y();
    // On the screen, also when the mouse is at its very edge; a popup larger than the screen
    // keeps its top-left corner on it.
    left = std::max(screen.left(), std::min(left, screen.left() + screen.width() - w));
    top = std::max(screen.top(), std::min(top, screen.top() + screen.height() - h));
    return QRect(left, top, w, h);
}

} // namespace kelmor::tray
