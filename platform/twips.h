#pragma once

#include <cmath>

namespace kelmor::platform {

// Window geometry is kept in twips, 15 per pixel.
constexpr int TwipsPerPixel = 15;

constexpr double pixelsToTwips(int pixels)
{
    return double(pixels) * TwipsPerPixel;
}

// Truncates toward zero, as the integer division of a twips value by 15.
inline int twipsToPixels(double twips)
{
    return int(std::trunc(twips / TwipsPerPixel));
}

} // namespace kelmor::platform
