// Hostile numbers at every public entry point: each call either returns finite numbers or
// raises the engine's error; nothing else escapes, nothing hangs, nothing is undefined.

#include "astro/astro.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using namespace kelmor::astro;

namespace {

std::vector<double> hostileValues()
{
    std::vector<double> v = {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             DBL_MAX,
                             -DBL_MAX,
                             1e300,
                             -1e300,
                             1e12,
                             -1e12,
                             1e9,
                             -1e9,
                             DBL_MIN,
                             -0.0,
                             0.0,
                             2958466.0, // 10000-01-01
                             -657435.0, // 0099-12-31
                             -115860.5, // inside the ten days of the reform
                             2415018.5, // a JD where a date is expected
                             5373484.49998843};
    std::mt19937_64 rng(20240101);
    std::uniform_real_distribution<double> dates(-700000.0, 3000000.0);
    std::uniform_real_distribution<double> wide(-1e7, 1e7);
    for (int i = 0; i < 40; ++i)
        v.push_back(i % 2 ? dates(rng) : wide(rng));
    return v;
}

// Runs f; a result must be finite, a failure must be AstroError.
template <typename F> void expectFiniteOrAstroError(F f, double input, const char *what)
{
    try {
        const double r = f();
        EXPECT_TRUE(std::isfinite(r)) << what << "(" << input << ") = " << r;
    } catch (const AstroError &) {
    } catch (const std::exception &e) {
        ADD_FAILURE() << what << "(" << input << ") threw " << e.what();
    }
}

TEST(AstroRobustness, EveryEntryPointAnswersOrRaisesTheEngineError)
{
    const FixedTimeZoneProvider zone(5 * 3600 + 1800);
    const Observer moscow{55.75, 37.5833};
    for (double x : hostileValues()) {
        expectFiniteOrAstroError([&] { return mMath::Norm360(x); }, x, "Norm360");
        expectFiniteOrAstroError([&] { return mMath::ArcTan2(x, x); }, x, "ArcTan2");
        expectFiniteOrAstroError([&] { return mMath::ArcSin(x); }, x, "ArcSin");
        expectFiniteOrAstroError([&] { return mTime::DeltaT(x); }, x, "DeltaT");
        expectFiniteOrAstroError([&] { return mTime::DateToJD(DateTime(x)); }, x, "DateToJD");
        expectFiniteOrAstroError([&] { return mTime::LocalToUT(DateTime(x), zone).value; }, x,
                                 "LocalToUT");
        expectFiniteOrAstroError([&] { return mTime::UTToLocal(DateTime(x), zone).value; }, x,
                                 "UTToLocal");
        expectFiniteOrAstroError([&] { return double(DateTime(x).toFields().year); }, x,
                                 "toFields");
        expectFiniteOrAstroError([&] { return mMoon::MoonPosition(x).lon; }, x, "MoonPosition");
        expectFiniteOrAstroError([&] { return mCorrection::Nutation(x, false); }, x, "Nutation");
        expectFiniteOrAstroError([&] { return mCorrection::Obliquity(x, true); }, x, "Obliquity");
        expectFiniteOrAstroError([&] { return mCorrection::ApparentPosition(x, kMoon).lat; }, x,
                                 "ApparentPosition(Moon)");
        expectFiniteOrAstroError([&] { return mCorrection::ApparentPosition(x, kSun).lon; }, x,
                                 "ApparentPosition(Sun)");
        expectFiniteOrAstroError([&] { return mCorrection::Refraction(x); }, x, "Refraction");
        expectFiniteOrAstroError([&] { return mCorrection::ParallaxInAltitude(x, 10.0); }, x,
                                 "ParallaxInAltitude");
        expectFiniteOrAstroError([&] { return mCorrection::SemiDiameter(kMoon, x); }, x,
                                 "SemiDiameter");
        expectFiniteOrAstroError([&] { return mRiseSet::SiderealTime(2451545.0, x); }, x,
                                 "SiderealTime");
        expectFiniteOrAstroError(
            [&] {
                return mRiseSet::EquToHor(2451545.0, SphCoord{x, x, 1.0}, moscow).lat;
            },
            x, "EquToHor");
        expectFiniteOrAstroError([&] { return double(Moonday::LunationNumber(DateTime(x))); }, x,
                                 "LunationNumber");
        expectFiniteOrAstroError([&] { return Moonday::LastNewMoon(DateTime(x)).value; }, x,
                                 "LastNewMoon");
        expectFiniteOrAstroError([&] { return Moonday::NextNewMoon(DateTime(x)).value; }, x,
                                 "NextNewMoon");
        expectFiniteOrAstroError([&] { return Moonday::JDToDate(x).value; }, x, "JDToDate");
        expectFiniteOrAstroError([&] { return Moonday::DateToJDPlain(DateTime(x)); }, x,
                                 "DateToJDPlain");
        expectFiniteOrAstroError([&] { return Moonday::ModReal(x, 360.0); }, x, "ModReal");
    }
}

TEST(AstroRobustness, RiseSetWithHostileDaysAndPlaces)
{
    // Fewer values here: each call computes 25 positions.
    const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             1e300,
                             -1e9,
                             2958466.0,
                             -657435.0,
                             45000.0};
    for (double x : values) {
        for (const Observer &o : {Observer{55.75, 37.58}, Observer{x, 37.58}, Observer{55.75, x},
                                  Observer{90, 0}, Observer{-90, 180}}) {
            const double day = std::isfinite(x) && std::fabs(x) < 3e6 ? x : 45000.0;
            try {
                const RiseSetTimes r = mRiseSet::RiseSet(DateTime(day), o, kMoon);
                EXPECT_TRUE(std::isfinite(r.rise) && std::isfinite(r.set)) << x;
            } catch (const AstroError &) {
            }
        }
        try {
            mRiseSet::RiseSet(DateTime(x), Observer{55.75, 37.58}, kMoon);
        } catch (const AstroError &) {
        }
    }
}

TEST(AstroRobustness, PhaseJDEOverTheWholeLunationRange)
{
    for (std::int32_t n : {std::numeric_limits<std::int32_t>::min(), -1000000, -1, 0, 953, 1000000,
                           std::numeric_limits<std::int32_t>::max()}) {
        for (std::int16_t phase : {std::int16_t(-1), std::int16_t(0), std::int16_t(1),
                                   std::int16_t(2), std::int16_t(3), std::int16_t(32767)}) {
            expectFiniteOrAstroError([&] { return Moonday::PhaseJDE(n, phase); }, n, "PhaseJDE");
        }
    }
}

} // namespace
