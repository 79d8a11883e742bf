// The Moon's series, nutation and obliquity, the Earth's series, apparent places, sidereal time,
// horizontal coordinates and the small corrections.

#include "astro/mCorrection.h"
#include "astro/mMath.h"
#include "astro/mMoon.h"
#include "astro/mRiseSet.h"
#include "astro/mTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace kelmor::astro;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(AstroMoon, MeeusExampleOf1992April12)
{
    const double jde = 2448724.5;
    const mMoon::MoonSums s = mMoon::MoonSeries(jde);
    EXPECT_NEAR(s.E, 1.000194, 1e-6);
    EXPECT_NEAR(s.sumL, -1127526.4, 0.5);
    EXPECT_NEAR(s.sumB, -3229126.4, 1.0);
    EXPECT_NEAR(s.sumR, -16590875.5, 0.5);

    const SphCoord p = mMoon::MoonPosition(jde);
    EXPECT_NEAR(p.lon, 133.162660, 1e-6);
    EXPECT_NEAR(p.lat, 356.770874, 1e-6); // -3.229126 delivered in [0, 360)
    EXPECT_NEAR(p.dist * 149597870.691, 368409.68, 0.01);
    EXPECT_NEAR(p.dist, 0.00246267, 1e-8);

    const SphCoord again = mMoon::MoonPosition(jde);
    EXPECT_EQ(again.lon, p.lon);
    EXPECT_EQ(again.lat, p.lat);
    EXPECT_EQ(again.dist, p.dist);
}

TEST(AstroMoon, FaultsRaiseInsteadOfReturningNaN)
{
    EXPECT_THROW(mMoon::MoonPosition(kNaN), AstroError);
    EXPECT_THROW(mMoon::MoonPosition(1e300), AstroError);
    EXPECT_THROW(mCorrection::ApparentPosition(kNaN, kMoon), AstroError);
}

TEST(AstroCorrection, NutationAndObliquityOf1987April10)
{
    const double jde = 2446895.5;
    EXPECT_NEAR(mCorrection::Nutation(jde, false) * 3600, -3.788, 5e-4);
    EXPECT_NEAR(mCorrection::Nutation(jde, true) * 3600, 9.443, 5e-4);
    EXPECT_NEAR(mCorrection::Obliquity(jde, false), 23.440946, 1e-6);
    EXPECT_NEAR(mCorrection::Obliquity(jde, true), 23.440946 + 9.443 / 3600, 1e-6);
    const mCorrection::NutationValues both = mCorrection::NutationBoth(jde);
    EXPECT_EQ(both.longitude, mCorrection::Nutation(jde, false));
    EXPECT_EQ(both.obliquity, mCorrection::Nutation(jde, true));
}

TEST(AstroCorrection, EarthSeriesAndTheSunOf1992October13)
{
    // Meeus, example 25.b (JDE 2448908.5).
    const double jde = 2448908.5;
    const SphCoord earth = mCorrection::PlanetSeries(kEarth, jde);
    EXPECT_NEAR(earth.lon, 19.907372, 1e-6);
    EXPECT_NEAR(earth.lat, -0.000179, 1e-6);
    EXPECT_NEAR(earth.dist, 0.99760775, 1e-8);
    const SphCoord sun = mCorrection::PlanetSeries(kSun, jde);
    EXPECT_NEAR(sun.lon, 199.907372, 1e-6);
    EXPECT_NEAR(sun.lat, 0.000179, 1e-6);
    EXPECT_EQ(sun.dist, earth.dist);

    const SphCoord apparent = mCorrection::ApparentPosition(jde, kSun);
    EXPECT_NEAR(apparent.lon, 198.378178, 2e-5);
    EXPECT_NEAR(apparent.lat, -7.783871, 2e-5);
    EXPECT_NEAR(apparent.dist, 0.99760775, 1e-8);
}

TEST(AstroCorrection, ApparentMoonAddsNutationFK5AndTrueObliquity)
{
    // Meeus, example 47.a gives 134.688470 and 13.768368 without the FK5 reduction, which
    // moves the longitude by -0.09 arcseconds.
    const SphCoord p = mCorrection::ApparentPosition(2448724.5, kMoon);
    EXPECT_NEAR(p.lon, 134.688470, 5e-5);
    EXPECT_NEAR(p.lat, 13.768368, 5e-5);
    EXPECT_NEAR(p.dist, mMoon::MoonPosition(2448724.5).dist, 0.0);
    EXPECT_GE(p.lon, 0.0);
    EXPECT_LT(p.lon, 360.0);
}

TEST(AstroCorrection, InvalidPlanetIndexReportsThroughTheHandlerAndGivesZeros)
{
    std::vector<std::string> messages;
    mCorrection::setPlanetErrorHandler([&](const std::string &m) { messages.push_back(m); });
    for (BodyIndex bad : {BodyIndex(-1), BodyIndex(10), BodyIndex(32767)}) {
        const SphCoord s = mCorrection::PlanetSeries(bad, 2451545.0);
        EXPECT_EQ(s.lon, 0.0);
        EXPECT_EQ(s.lat, 0.0);
        EXPECT_EQ(s.dist, 0.0);
    }
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "Invalid planet index!");
    // The apparent place of a bad index still comes out as numbers, from the zero position.
    const SphCoord p = mCorrection::ApparentPosition(2451545.0, 12);
    EXPECT_TRUE(std::isfinite(p.lon) && std::isfinite(p.lat));
    EXPECT_EQ(messages.size(), 5u);
    mCorrection::setPlanetErrorHandler(nullptr);
    EXPECT_NO_THROW(mCorrection::PlanetSeries(10, 2451545.0));

    // Planets without coefficients give the zero place, never NaN.
    const SphCoord mars = mCorrection::PlanetSeries(4, 2451545.0);
    EXPECT_EQ(mars.dist, 0.0);
    for (BodyIndex i = 1; i <= 8; ++i)
        EXPECT_NO_THROW(mCorrection::ApparentPosition(2451545.0, i)) << i;
}

TEST(AstroCorrection, RefractionBranches)
{
    const struct
    {
        double h, arcsec;
    } cases[] = {
        {5.0, 874.6},        // constant term 2035, not 1735
        {5.0000001, 576.3},  // the jump at 5 degrees stands
        {-0.575, 2369.6677}, // lower end of the polynomial
        {-0.6, 1983.68},     // -20.774 / tan h
        {0.0, 2035.0},       // the horizon
        {15.0, 213.256},     // upper end of the tangent series
        {45.0, 58.23},       // (0.9716 tan z - 0.0011 tan^3 z) arcminutes
        {90.0, 0.0},
    };
    for (const auto &c : cases)
        EXPECT_NEAR(mCorrection::Refraction(c.h) * 3600, c.arcsec, 0.1) << c.h;
    EXPECT_THROW(mCorrection::Refraction(kNaN), AstroError);
}

TEST(AstroCorrection, ParallaxAndSemiDiameter)
{
    EXPECT_NEAR(mCorrection::SemiDiameter(kMoon, 0.00257), 0.25893, 1e-5);
    EXPECT_NEAR(mCorrection::SemiDiameter(kSun, 1.0), 0.266564, 1e-5);
    EXPECT_EQ(mCorrection::SemiDiameter(kEarth, 1.0), 0.0);
    EXPECT_EQ(mCorrection::SemiDiameter(11, 1.0), 0.0);
    EXPECT_THROW(mCorrection::SemiDiameter(kMoon, 0.0), AstroError);

    EXPECT_NEAR(mCorrection::ParallaxInAltitude(0.00246267, 0.0), 0.991990, 1e-5);
    EXPECT_NEAR(mCorrection::ParallaxInAltitude(0.00246267, 60.0), 0.991990 / 2, 1e-5);
    EXPECT_THROW(mCorrection::ParallaxInAltitude(0.0, 0.0), AstroError);
}

TEST(AstroCorrection, DiurnalAberrationIsTinyAndSkipsRightAscensionAtThePole)
{
    SphCoord p{100.0, 20.0, 1.0};
    mCorrection::DiurnalAberration(0.0, p, 0.0);
    EXPECT_NEAR(p.lon, 100.0 + mMath::RadToDeg(1.5472e-6 / mMath::CosD(20.0)), 1e-12);
    EXPECT_NEAR(p.lat, 20.0, 1e-12);
    SphCoord pole{100.0, 90.0, 1.0};
    mCorrection::DiurnalAberration(90.0, pole, 0.0);
    EXPECT_EQ(pole.lon, 100.0);
}

// JDE of a universal time, such that SiderealTime's own step back by delta-T lands on it.
double jdeOfUt(double jd)
{
    return jd + mTime::DeltaT(jd);
}

TEST(AstroRiseSet, SiderealTimeOf1987April10)
{
    // Mean 197.693195 (13h 10m 46.3668s) plus the equation of the equinoxes, -0.2317 s.
    EXPECT_NEAR(mRiseSet::SiderealTime(jdeOfUt(2446895.5), 0.0), 197.6922, 5e-5);
    // Longitude adds directly, and the result stays in [0, 360).
    const double east = mRiseSet::SiderealTime(jdeOfUt(2446895.5), 170.0);
    EXPECT_NEAR(east, 197.6922 + 170.0 - 360.0, 5e-5);
}

TEST(AstroRiseSet, HorizontalCoordinatesOfVenusFromWashington)
{
    // Meeus, example 13.b: 1987-04-10 19:21:00 UT; azimuth measured here from the north.
    const Observer washington{38.921389, -77.065556};
    const SphCoord venus{347.3193375, -6.719892, 0.7};
    const SphCoord h = mRiseSet::EquToHor(jdeOfUt(2446896.30625), venus, washington);
    EXPECT_NEAR(h.lat, 15.1249, 2e-4);
    EXPECT_NEAR(h.lon, 68.0337 + 180.0, 2e-4);
    EXPECT_EQ(h.dist, 0.7);
}

} // namespace
