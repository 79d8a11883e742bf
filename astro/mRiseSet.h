#pragma once

// Sidereal time, horizontal coordinates and the rise and set times of a body.

#include "astro/mConvertion.h"
#include "astro/mCorrection.h"
#include "astro/mTime.h"

#include <array>

namespace kelmor::astro {

// The observer's place: degrees, north and east positive.
struct Observer
{
    double latitude = 0.0;
    double longitude = 0.0;
};

// Rise and set as date-time values in the time frame of the day given, or the special values:
// (t, 0) rise only, (0, t) set only, (1, -1) always above, (-1, -1) always below,
// (0, -1) no crossing with the hour-12 value exactly 0.
struct RiseSetTimes
{
    double rise = 0.0;
    double set = 0.0;
};

// Altitude minus h0 (degrees) at start + i hours, i = 0..24.
using AltitudeValues = std::array<double, 25>;

namespace mRiseSet {

// Local apparent sidereal time in degrees [0, 360).
double SiderealTime(double jde, double longitude);

// Azimuth (degrees from north through east, [0, 360)), altitude (degrees), distance copied.
SphCoord EquToHor(double jde, const SphCoord &equatorial, const Observer &observer);

AltitudeValues AltitudeTable(DateTime start, const Observer &observer, BodyIndex index, double h0);

// Fits a parabola through every three neighbouring samples and keeps the roots inside each
// fit's two-hour window; a crossing found by two fits is stored as the mean of both. Three
// samples on a straight line use the line's root. Non-finite samples raise AstroError.
RiseSetTimes FindRiseSet(DateTime start, const AltitudeValues &y);

// The 24 hours from `day` (read as universal time).
RiseSetTimes RiseSet(DateTime day, const Observer &observer, BodyIndex index);

} // namespace mRiseSet
} // namespace kelmor::astro
