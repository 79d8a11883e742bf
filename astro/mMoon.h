#pragma once

// Geocentric position of the Moon (truncated lunar theory, mean equinox of the date).

#include "astro/mConvertion.h"

namespace kelmor::astro::mMoon {

// The periodic sums of the lunar series for one instant (units of the tables: 0.000001 degree
// for longitude and latitude, 0.001 km for the distance) with the eccentricity factor.
struct MoonSums
{
    double E = 0.0;
    double sumL = 0.0;
    double sumB = 0.0;
    double sumR = 0.0;
    double meanLongitude = 0.0; // L' in degrees, reduced
};

MoonSums MoonSeries(double jde);

// Longitude in degrees [0, 360), latitude in degrees given in [0, 360) (a southern latitude
// comes out as 360 minus its magnitude), distance in AU.
SphCoord MoonPosition(double jde);

} // namespace kelmor::astro::mMoon
