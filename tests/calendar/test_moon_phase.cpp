// The phase pictures: their size at any device pixel ratio, the keyed-out background, and the
// terminator where the phase angle puts it, on the side the Sun lights.
#include "calendar/moon_phase.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <numbers>

using namespace kelmor::calendar;

namespace {

constexpr int kSide = 256;

bool isLit(QRgb pixel)
{
    return qGray(pixel) > 150;
}

// The lit run along the middle row: its first and last column, or {-1, -1}.
std::pair<int, int> litRun(const QImage &image)
{
    const int y = image.height() / 2;
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (isLit(image.pixel(x, y))) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    return {first, last};
}

} // namespace

TEST(MoonPhase, TheTerminatorLiesWhereThePhaseAnglePutsIt)
{
    const double radius = kSide / 2.0 - 0.5;
    const double centre = kSide / 2.0;
    for (int k = 1; k <= kPhasePictureCount; ++k) {
        const QImage image = drawPhasePicture(k, kSide);
        const double angle = phaseAngle(k) * std::numbers::pi / 180.0;
        const double terminator = radius * std::cos(angle);
        const auto [first, last] = litRun(image);
        // Where the terminator is well inside the disc, it ends the lit run on the dark side.
        if (std::fabs(terminator) > radius - 12)
            continue;
        ASSERT_GE(first, 0) << k;
        if (k < 15) {
            // Waxing: lit from the terminator to the right limb.
            EXPECT_NEAR(first, centre + terminator, 3.0) << k;
            EXPECT_GT(last, kSide - 16) << k;
        } else {
            // Waning: lit from the left limb to the terminator.
            EXPECT_NEAR(last, centre - terminator, 3.0) << k;
            EXPECT_LT(first, 16) << k;
        }
    }
    // The first picture is a new moon, the middle one full, the last one a thin crescent.
    EXPECT_LT(phaseAngle(1), 10.0);
    EXPECT_NEAR(phaseAngle(15), 180.0, 5.0);
    EXPECT_GT(phaseAngle(29), 340.0);
    EXPECT_EQ(litRun(drawPhasePicture(1, kSide)).first, -1);
    const auto [fullFirst, fullLast] = litRun(drawPhasePicture(15, kSide));
    EXPECT_LT(fullFirst, 16);
    EXPECT_GT(fullLast, kSide - 16);
}

TEST(MoonPhase, PixmapIsKeyedAndSharpAtTheDevicePixelRatio)
{
    for (const qreal ratio : {1.0, 1.5, 2.0}) {
        for (int k : {1, 8, 15, 29}) {
            const QPixmap pixmap = phasePixmap(k, kPhasePictureWidth, ratio);
            const int device = int(std::lround(kPhasePictureWidth * ratio));
            ASSERT_EQ(pixmap.width(), device) << ratio;
            EXPECT_EQ(pixmap.height(), device) << ratio;
            EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), ratio);
            const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
            // The black around the disc is transparent; the disc, dark side too, is opaque.
            for (const QPoint corner : {QPoint(0, 0), QPoint(device - 1, 0), QPoint(0, device - 1),
                                        QPoint(device - 1, device - 1)})
                EXPECT_EQ(qAlpha(image.pixel(corner)), 0) << k << " " << ratio;
            EXPECT_EQ(qAlpha(image.pixel(device / 2, device / 2)), 255) << k << " " << ratio;
        }
    }
}

TEST(MoonPhase, OnlyTheExactKeyColourBecomesTransparent)
{
    QImage image(3, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(0, 0, 0));
    image.setPixel(1, 0, qRgb(1, 0, 0));
    image.setPixel(2, 0, qRgb(40, 40, 40));
    const QImage keyed = keyColourTransparent(image, qRgb(0, 0, 0));
    EXPECT_EQ(qAlpha(keyed.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(keyed.pixel(1, 0)), 255);
    EXPECT_EQ(keyed.pixel(2, 0), qRgb(40, 40, 40));
}

TEST(MoonPhase, LunarDayPictureIndex)
{
    for (const auto &[day, picture] :
         {std::pair{-3, 1}, {0, 1}, {1, 1}, {15, 15}, {29, 29}, {30, 29}, {31, 29}})
        EXPECT_EQ(phasePictureIndex(day), picture) << day;
}
