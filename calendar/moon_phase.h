#pragma once

// The pictures of the Moon's phase that the calendar shows beside the lunar day: 29 of them, from
// the new moon to the end of the lunation, drawn here rather than shipped as image files.

#include <QImage>
#include <QPixmap>

namespace kelmor::calendar {

inline constexpr int kPhasePictureCount = 29;
// Width of the picture in the window, in device-independent pixels.
inline constexpr int kPhasePictureWidth = 32;

// The picture that stands for a lunar day: the day itself, a 30th day shows the last picture.
int phasePictureIndex(int lunarDay);

// Phase angle of picture k (1..29), in degrees: 0 is the new moon, 180 the full moon. Each
// picture shows the middle of its lunar day.
double phaseAngle(int picture);

// Picture k (clamped to 1..29) as drawn, side × side pixels: the disc on pure black, its dark
// part a dim grey (so the disc stays visible at the new moon), the lit part bounded by the limb
// and the terminator ellipse. Waxing phases are lit on the right, as seen from the north.
QImage drawPhasePicture(int picture, int side);

// The same picture with black made transparent and scaled to `width` device-independent pixels
// (height in proportion), drawn for the device pixel ratio so it is sharp on any screen.
QPixmap phasePixmap(int picture, int width, qreal devicePixelRatio);

// A copy of an image with every pixel of the colour key (exact match) fully transparent.
QImage keyColourTransparent(const QImage &image, QRgb key);

} // namespace kelmor::calendar
