#include "shell/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kelmor::shell {

namespace {

QPixmap drawIcon(int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(side * 0.03, side * 0.03, side * 0.94, side * 0.94);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(34, 30, 86));
    p.drawEllipse(disc);

    QPainterPath moon;
    moon.addEllipse(QRectF(side * 0.2, side * 0.16, side * 0.6, side * 0.6));
    QPainterPath bite;
    bite.addEllipse(QRectF(side * 0.36, side * 0.08, side * 0.58, side * 0.58));
    p.setBrush(QColor(250, 220, 120));
    p.drawPath(moon.subtracted(bite));

    p.setBrush(QColor(255, 255, 230));
    p.drawEllipse(QPointF(side * 0.7, side * 0.72), side * 0.04, side * 0.04);
    p.drawEllipse(QPointF(side * 0.55, side * 0.84), side * 0.025, side * 0.025);
    return pixmap;
}

} // namespace

QIcon applicationIcon()
{
    // Built on each call: pixmaps must not outlive the application object.
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(drawIcon(side));
    return icon;
}

} // namespace kelmor::shell
