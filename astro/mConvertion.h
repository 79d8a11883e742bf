#pragma once

// Coordinate records and conversions between rectangular, spherical, ecliptic and equatorial
// coordinates.

namespace kelmor::astro {

// A longitude-like angle (ecliptic longitude, right ascension or azimuth), a latitude-like
// angle (ecliptic latitude, declination or altitude) and a distance in AU.
struct SphCoord
{
    double lon = 0.0;
    double lat = 0.0;
    double dist = 0.0;
};

struct RectCoord
{
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

namespace mConvertion {

// Angles in degrees when `degrees` is set (not reduced to [0, 360)), else radians.
SphCoord RectToSph(const RectCoord &r, bool degrees);
// With `degrees` set the two angles of `s` are first turned to radians in place.
RectCoord SphToRect(SphCoord &s, bool degrees);
// Ecliptic longitude/latitude (degrees) to right ascension/declination (degrees), in place;
// right ascension in (-90, 270).
void EclToEqu(SphCoord &s, double obliquity);

} // namespace mConvertion
} // namespace kelmor::astro
