#pragma once

// Nutation, obliquity, FK5 reduction, apparent positions, diurnal aberration, refraction,
// parallax and semi-diameter.

#include "astro/mConvertion.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kelmor::astro {

// 0 Sun, 1 Mercury, 2 Venus, 3 Earth, 4 Mars, 5 Jupiter, 6 Saturn, 7 Uranus, 8 Neptune, 9 Moon.
using BodyIndex = std::int16_t;
constexpr BodyIndex kSun = 0;
constexpr BodyIndex kEarth = 3;
constexpr BodyIndex kMoon = 9;

namespace mCorrection {

// Nutation in longitude and in obliquity (degrees) for one instant.
struct NutationValues
{
    double longitude = 0.0;
    double obliquity = 0.0;
};
NutationValues NutationBoth(double jde);

// Nutation in longitude (obliquitySelector false) or in obliquity (true), degrees.
double Nutation(double jde, bool obliquitySelector);
// Mean obliquity in degrees; plus the nutation in obliquity when trueObliquity is set.
double Obliquity(double jde, bool trueObliquity);
void FK5Correction(double jde, SphCoord &eclipticPlace);

// Heliocentric ecliptic longitude (degrees, [0, 360)), latitude (degrees) and radius vector (AU);
// for index 0 the geocentric Sun. Only the Earth's series is built in: the Sun and the Earth
// work, the other planets give the zero place of an empty series. An index outside 0..9 reports
// "Invalid planet index!" through the planet error handler and returns zeros.
SphCoord PlanetSeries(BodyIndex index, double jde);

// Receives the planet-index message (title "Error"); the default handler does nothing.
using PlanetErrorHandler = std::function<void(const std::string &message)>;
void setPlanetErrorHandler(PlanetErrorHandler handler);

// Apparent geocentric right ascension (degrees, [0, 360)), declination (degrees), distance (AU).
SphCoord ApparentPosition(double jde, BodyIndex index);

// Corrects right ascension and declination in place; hourAngle and latitude in degrees.
void DiurnalAberration(double hourAngle, SphCoord &equatorial, double latitude);

double Refraction(double altitude);
double ParallaxInAltitude(double distance, double altitude);
double SemiDiameter(BodyIndex index, double distance);

} // namespace mCorrection
} // namespace kelmor::astro
