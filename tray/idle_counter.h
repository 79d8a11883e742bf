#pragma once

// When the tray popup closes by itself: after a run of idle ticks of its timer.

#include <QPoint>
#include <QRect>

namespace kelmor::tray {

// Whether a point lies in a rectangle whose right and bottom edges are left + width and
// top + height, the borders included (one pixel more on each of those sides than QRect's own
// contains()).
bool containsWithBorders(const QRect &area, const QPoint &point);

// Counts the popup's timer ticks while nothing happens. A tick with text in the field or with
// the mouse over the popup starts the count again; the popup closes on the tick that reaches
// Limit. The idle rule counts ticks, not elapsed time.
class IdleCounter
{
public:
    static constexpr int Limit = 100;
    // The timer's interval, in milliseconds.
    static constexpr int TickMs = 10;

    // Activation or a key in a field with text.
    void reset() { m_count = 0; }
    // One tick; true when the popup is to close.
    bool tick(bool fieldBlank, bool pointerInside);
    int count() const { return m_count; }

private:
    int m_count = 0;
};

} // namespace kelmor::tray
