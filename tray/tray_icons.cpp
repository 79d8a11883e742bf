#include "tray/tray_icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <numbers>

namespace kelmor::tray {

namespace {

// Colours that read on light and dark panels alike. None is the colour key RGB(128, 0, 0) of
// the popup's window opacity.
const QColor Blue(52, 120, 206);
const QColor BlueDark(28, 72, 140);
const QColor Red(214, 64, 52);
const QColor RedDark(150, 36, 30);
const QColor Gold(246, 196, 70);
const QColor Steel(112, 128, 150);
const QColor SteelDark(62, 74, 92);
const QColor Paper(250, 250, 246);

QColor grey(const QColor &c)
{
    const int v = qGray(c.rgb());
    return QColor(v, v, v, 150);
}

void drawRestore(QPainter &p, const auto &pick)
{
    p.setPen(QPen(pick(BlueDark), 1.0));
    p.setBrush(pick(Paper));
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(pick(Blue));
    p.drawRect(QRectF(2, 3, 12, 3));
    // A small arrow pointing up and out: the window comes back.
    p.setBrush(pick(BlueDark));
    QPainterPath arrow;
    arrow.moveTo(8, 7.5);
    arrow.lineTo(11.5, 11);
    arrow.lineTo(9.2, 11);
    arrow.lineTo(9.2, 12.5);
    arrow.lineTo(6.8, 12.5);
    arrow.lineTo(6.8, 11);
    arrow.lineTo(4.5, 11);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

void drawCalendar(QPainter &p, const auto &pick)
{
    p.setPen(QPen(pick(RedDark), 1.0));
    p.setBrush(pick(Paper));
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 12), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(pick(Red));
    p.drawRect(QRectF(2, 3, 12, 3));
    // The rings.
    p.setBrush(pick(SteelDark));
    p.drawRoundedRect(QRectF(4, 1, 1.6, 3.5), 0.8, 0.8);
    p.drawRoundedRect(QRectF(10.4, 1, 1.6, 3.5), 0.8, 0.8);
    // The crescent.
    QPainterPath moon;
    moon.addEllipse(QRectF(4.5, 7, 7, 7));
    QPainterPath bite;
    bite.addEllipse(QRectF(6.6, 6.2, 6.4, 6.4));
    p.setBrush(pick(Gold));
    p.setPen(QPen(pick(QColor(170, 120, 20)), 0.6));
    p.drawPath(moon.subtracted(bite));
}

void drawAbout(QPainter &p, const auto &pick)
{
    p.setPen(QPen(pick(BlueDark), 1.0));
    p.setBrush(pick(Blue));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(pick(Paper));
    p.drawEllipse(QPointF(8, 4.9), 1.25, 1.25);
    p.drawRoundedRect(QRectF(6.9, 7, 2.2, 5.6), 0.6, 0.6);
}

void drawOptions(QPainter &p, const auto &pick)
{
    // A gear of eight teeth with a hole.
    QPainterPath gear;
    const QPointF c(8, 8);
    constexpr int Teeth = 8;
    const double outer = 7.0, inner = 5.2;
    for (int i = 0; i < Teeth * 4; ++i) {
        const double a = (i - 0.5) * std::numbers::pi * 2 / (Teeth * 4);
        const double r = (i % 4 == 0 || i % 4 == 1) ? outer : inner;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, 2.2, 2.2);
    p.setPen(QPen(pick(SteelDark), 0.9));
    p.setBrush(pick(Steel));
    p.drawPath(gear.subtracted(hole));
}

void drawExit(QPainter &p, const auto &pick)
{
    p.setPen(Qt::NoPen);
    p.setBrush(pick(Red));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    QPen pen(pick(Paper), 1.6, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // An arc open at the top, and the bar through the gap.
    p.drawArc(QRectF(4, 4.4, 8, 8), 125 * 16, 290 * 16);
    p.drawLine(QPointF(8, 3.2), QPointF(8, 8));
}

void drawSearch(QPainter &p, const auto &pick)
{
    p.setPen(QPen(pick(Steel), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    p.setPen(QPen(pick(BlueDark), 1.4));
    p.setBrush(pick(QColor(200, 225, 250)));
    p.drawEllipse(QRectF(2, 2, 9, 9));
}

class RowIconEngine : public QIconEngine
{
public:
    explicit RowIconEngine(RowPicture picture)
        : m_picture(picture)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        paintRowPicture(*painter, QRectF(rect), m_picture, mode == QIcon::Disabled);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        {
            QPainter p(&pixmap);
            paint(&p, QRect(QPoint(0, 0), size * scale), mode, state);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }

    QIconEngine *clone() const override { return new RowIconEngine(m_picture); }

    QString key() const override { return QStringLiteral("KelmorRowIcon"); }

private:
    RowPicture m_picture;
};

} // namespace

void paintRowPicture(QPainter &painter, const QRectF &rect, RowPicture picture, bool disabled)
{
    const double side = std::min(rect.width(), rect.height());
    if (side <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.center().x() - side / 2, rect.center().y() - side / 2);
    painter.scale(side / 16.0, side / 16.0);
    const auto pick = [disabled](const QColor &c) { return disabled ? grey(c) : c; };
    switch (picture) {
    case RowPicture::Restore:
        drawRestore(painter, pick);
        break;
    case RowPicture::Calendar:
        drawCalendar(painter, pick);
        break;
    case RowPicture::About:
        drawAbout(painter, pick);
        break;
    case RowPicture::Options:
        drawOptions(painter, pick);
        break;
    case RowPicture::Exit:
        drawExit(painter, pick);
        break;
    case RowPicture::Search:
        drawSearch(painter, pick);
        break;
    }
    painter.restore();
}

QIcon rowIcon(RowPicture picture)
{
    return QIcon(new RowIconEngine(picture));
}

} // namespace kelmor::tray
