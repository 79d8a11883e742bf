#include "tray/idle_counter.h"

namespace kelmor::tray {

bool containsWithBorders(const QRect &area, const QPoint &point)
{
    return point.x() >= area.left() && point.x() <= area.left() + area.width() &&
           point.y() >= area.top() && point.y() <= area.top() + area.height();
}

bool IdleCounter::tick(bool fieldBlank, bool pointerInside)
{
    if (!fieldBlank || pointerInside)
        m_count = 0;
    ++m_count;
    return m_count >= Limit;
}

} // namespace kelmor::tray
