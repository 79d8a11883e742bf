#pragma once

// The pictures of the tray popup's rows, drawn as shapes at whatever size and pixel density
// they are shown (never scaled bitmaps).

#include <QIcon>

class QPainter;
class QRectF;

namespace kelmor::tray {

enum class RowPicture {
    Restore,  // "Развернуть": a window
    Calendar, // "Календарь": a calendar page with the crescent
    About,    // "О программе": "i" on a disc
    Options,  // "Настройки": a gear
    Exit,     // "Выход": the power symbol
    Search,   // beside the search field: a magnifying glass
};

// Draws the picture into the rectangle (kept square and centred in it).
void paintRowPicture(QPainter &painter, const QRectF &rect, RowPicture picture,
                     bool disabled = false);

// The picture as an icon that draws itself at every size asked for.
QIcon rowIcon(RowPicture picture);

} // namespace kelmor::tray
