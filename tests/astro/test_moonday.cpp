// New moons, phases, lunation numbers and the plain Julian-day conversions.

#include "astro/mMath.h"
#include "astro/Moonday.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kelmor::astro;
using namespace kelmor::astro::Moonday;

namespace {

constexpr double kSecond = 1.0 / 86400.0;

TEST(AstroMoonday, PhaseJDEWorkedExamples)
{
    EXPECT_NEAR(PhaseJDE(670, 0), 2443192.65118, 2e-5); // k = -283, 1977 February
    EXPECT_NEAR(PhaseJDE(953, 0), 2451550.26025, 2e-5);
}

TEST(AstroMoonday, QuarterAndFullMoonPhasesOfJanuary2000)
{
    // First quarter 14 Jan 13:34 UT, full moon 21 Jan 04:40 UT, last quarter 28 Jan 07:57 UT;
    // the phase instants are terrestrial time, about 64 s later.
    const struct
    {
        std::int16_t phase;
        int day, hour, minute;
    } cases[] = {{1, 14, 13, 34}, {2, 21, 4, 40}, {3, 28, 7, 57}};
    for (const auto &c : cases) {
        const double expected =
            DateToJDPlain(DateTime::fromFields(2000, 1, c.day, c.hour, c.minute));
        EXPECT_NEAR((PhaseJDE(953, c.phase) - expected) * 1440.0, 1.0, 1.5) << c.phase;
    }
    // An unknown phase value gets only the planetary terms, near the mean phase.
    EXPECT_NEAR(PhaseJDE(953, 7), 2451550.09765 + 29.530588853 * 7 / 4, 0.01);
}

TEST(AstroMoonday, LastAndNextNewMoonAroundJanuary2000)
{
    const DateTime d = DateTime::fromFields(2000, 1, 10);
    const DateFields last = LastNewMoon(d).toFields();
    EXPECT_EQ(last.year, 2000);
    EXPECT_EQ(last.month, 1);
    EXPECT_EQ(last.day, 6);
    EXPECT_EQ(last.hour, 18);
    EXPECT_EQ(last.minute, 14);
    EXPECT_EQ(last.second, 45);
    EXPECT_EQ(NextNewMoon(d).value, JDToDate(PhaseJDE(954, 0)).value);
    EXPECT_EQ(LunationNumber(d), 953);
}

TEST(AstroMoonday, LunationNumberHalfSecondTolerance)
{
    const double newMoon = JDToDate(PhaseJDE(1000, 0)).value;
    const struct
    {
        double offsetSeconds;
        std::int32_t lunation;
    } cases[] = {{0.0, 1000}, {-0.3, 1000}, {-0.7, 999}, {0.3, 1000}, {-86400.0, 999}};
    for (const auto &c : cases)
        EXPECT_EQ(LunationNumber(DateTime(newMoon + c.offsetSeconds * kSecond)), c.lunation)
            << c.offsetSeconds;
    // Within the tolerance before a new moon, the next new moon is that one itself.
    const DateTime justBefore(newMoon - 0.3 * kSecond);
    EXPECT_EQ(NextNewMoon(justBefore).value, newMoon);
    EXPECT_EQ(LastNewMoon(justBefore).value, newMoon);
    // At the new moon itself, the next one is a lunation later.
    EXPECT_EQ(NextNewMoon(DateTime(newMoon)).value, JDToDate(PhaseJDE(1001, 0)).value);
}

TEST(AstroMoonday, LunationSearchIsBoundedAndFaultsRaise)
{
    // So far out the phase polynomial runs away from the first estimate: the search stops.
    EXPECT_THROW(LunationNumber(DateTime(1e9)), AstroError);
    EXPECT_THROW(LunationNumber(DateTime(1e12)), AstroError);
    EXPECT_THROW(LunationNumber(DateTime(std::numeric_limits<double>::quiet_NaN())), AstroError);
    EXPECT_THROW(LunationNumber(DateTime(std::numeric_limits<double>::infinity())), AstroError);
    EXPECT_THROW(LunationNumber(DateTime(std::numeric_limits<double>::max())), AstroError);
    // A new moon outside the years the date-time value holds is an error, not 1899-12-30.
    EXPECT_THROW(LastNewMoon(DateTime::fromFields(100, 1, 10)), AstroError);
    EXPECT_THROW(NextNewMoon(DateTime::fromFields(9999, 12, 31, 12)), AstroError);
}

TEST(AstroMoonday, JDToDateRangeAndNegativeForm)
{
    const struct
    {
        double jd, value;
    } cases[] = {
        {1757593.5, 0.0},                     // below the valid range
        {5373484.5, 0.0},                     // above it
        {2415018.5, 0.0},                     // 1899-12-30 00:00 by the normal rule
        {2415018.25, -1.75},                  // 1899-12-29 18:00
        {2415017.5, -1.0},                    // 1899-12-29 00:00, a whole day
        {2451544.5, 36526.0},                 // 2000-01-01
        {2299160.5, -115858.0},               // 1582-10-15
        {2299160.0, -115869.5},               // 1582-10-04 12:00, Julian reading
        {5373484.49998843, 2958465.99998843}, // 9999-12-31 23:59:59
    };
    for (const auto &c : cases)
        EXPECT_NEAR(JDToDate(c.jd).value, c.value, 1e-9) << c.jd;
    EXPECT_FALSE(IsValidJD(1757593.5));
    EXPECT_TRUE(IsValidJD(1757593.50001));
    EXPECT_FALSE(IsValidJD(5373484.49999));
}

TEST(AstroMoonday, DateToJDPlainRoundTripsAndReadsEarlyDatesAsJulian)
{
    EXPECT_EQ(DateToJDPlain(DateTime(0.0)), 2415018.5);
    EXPECT_EQ(DateToJDPlain(DateTime(-1.25)), 2415017.75);
    // 1582-10-04 (before the reform) is read in the Julian calendar: JD 2299159.5.
    EXPECT_EQ(DateToJDPlain(DateTime::fromFields(1582, 10, 4)), 2299159.5);
    EXPECT_EQ(DateToJDPlain(DateTime::fromFields(1582, 10, 15)), 2299160.5);
    for (double v : {0.0, 0.25, -1.25, -2.0, 36526.75, -115858.5, -700.125})
        EXPECT_NEAR(JDToDate(DateToJDPlain(DateTime(v))).value, v, 1e-9) << v;
}

TEST(AstroMoonday, ModRealKeepsTheSignOfX)
{
    const struct
    {
        double x, m, r;
    } cases[] = {
        {-370, 360, -10}, {359.7, 360, 359.7}, {720.25, 360, 0.25}, {-720, 360, 0}, {7.5, -2, 1.5}};
    for (const auto &c : cases)
        EXPECT_NEAR(ModReal(c.x, c.m), c.r, 1e-12) << c.x;
    EXPECT_THROW(ModReal(1.0, 0.0), AstroError);
    EXPECT_NEAR(AngleToRad(450.0), 0.0174532925199433 * 90, 1e-15);
    EXPECT_NEAR(AngleToRad(-90.0), -0.0174532925199433 * 90, 1e-15);
}

} // namespace
