#include "calendar/moon_phase.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelmor::calendar {

namespace {

constexpr double kSynodicMonthDays = 29.530589;
// Points along each half of the outline.
constexpr int kOutlineSteps = 96;
// The source picture is drawn this many times larger than it is shown, without antialiasing,
// so that keying the black out leaves no dark fringe; scaling down smooths the edges.
constexpr int kOversampling = 4;

// Warm enough to stand out on a light window, the dark side light enough to show on a dark one.
const QColor kLitColour(250, 218, 110);
const QColor kDarkColour(58, 61, 76);
// The limb, a little lighter than the dark side, so the disc has an edge on either background.
const QColor kLimbColour(96, 100, 118);

} // namespace

int phasePictureIndex(int lunarDay)
{
    return std::clamp(lunarDay, 1, kPhasePictureCount);
}

double phaseAngle(int picture)
{
    const int k = phasePictureIndex(picture);
    return 360.0 * (k - 0.5) / kSynodicMonthDays;
}

QImage drawPhasePicture(int picture, int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::black);
    if (side <= 0)
        return image;

    const double radius = side / 2.0 - 0.5;
    const QPointF centre(side / 2.0, side / 2.0);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(kDarkColour);
    p.drawEllipse(centre, radius, radius);

    // The terminator is the half-ellipse x = ±R · cos(angle) · sqrt(1 - (y / R)²) (+ while the
    // Moon waxes, − while it wanes); the lit part lies between it and the limb on the side facing
    // the Sun.
    const double angle = phaseAngle(picture) * std::numbers::pi / 180.0;
    const bool waxing = std::sin(angle) >= 0;
    const double squeeze = std::cos(angle);
    const double limbSide = waxing ? 1.0 : -1.0;
    QPolygonF lit;
    for (int i = 0; i <= kOutlineSteps; ++i) {
        // Down the limb from the top...
        const double a = std::numbers::pi * i / kOutlineSteps;
        lit << centre + QPointF(limbSide * radius * std::sin(a), -radius * std::cos(a));
    }
    for (int i = 0; i <= kOutlineSteps; ++i) {
        // ...and back up along the terminator.
        const double a = std::numbers::pi * i / kOutlineSteps;
        lit << centre + QPointF(limbSide * squeeze * radius * std::sin(a), radius * std::cos(a));
    }
    p.setBrush(kLitColour);
    p.drawPolygon(lit, Qt::OddEvenFill);

    // One shown pixel of limb (the picture is shown about a 32nd of its drawn size, or less).
    const double limbWidth = std::max(1.0, side / 32.0);
    QPen limb(kLimbColour, limbWidth);
    p.setPen(limb);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius - limbWidth / 2, radius - limbWidth / 2);
    return image;
}

QImage keyColourTransparent(const QImage &image, QRgb key)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb opaqueKey = key | 0xff000000u;
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] | 0xff000000u) == opaqueKey)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return out;
}

QPixmap phasePixmap(int picture, int width, qreal devicePixelRatio)
{
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int target = std::max(1, int(std::lround(width * ratio)));
    const QImage source =
        keyColourTransparent(drawPhasePicture(picture, target * kOversampling), qRgb(0, 0, 0));
    QImage scaled = source.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                        .scaledToWidth(target, Qt::SmoothTransformation);
    QPixmap pixmap = QPixmap::fromImage(std::move(scaled));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace kelmor::calendar
