// Rise and set: the parabola search over hand-made altitude tables, and real days.

#include "astro/mCorrection.h"
#include "astro/mMath.h"
#include "astro/mRiseSet.h"
#include "astro/mTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using namespace kelmor::astro;
using mRiseSet::FindRiseSet;

namespace {

constexpr double kStart = 45000.0; // 2023-03-15 00:00; event times are start + hours / 24

double hours(double eventTime)
{
    return (eventTime - kStart) * 24.0;
}

AltitudeValues table(double (*f)(int))
{
    AltitudeValues y{};
    for (int i = 0; i <= 24; ++i)
        y[i] = f(i);
    return y;
}

TEST(AstroFindRiseSet, CrossingSeenByTwoFitsGivesTheirMean)
{
    // A Moon-like altitude curve rising at 10.3 h and setting at 22.7 h. The fits centred on
    // hours 10 and 11 estimate the rise at 10.302929 and 10.296248; the result is their mean.
    const AltitudeValues y =
        table([](int i) { return 30.0 * std::sin(2.0 * std::numbers::pi * (i - 10.3) / 24.8); });
    const RiseSetTimes r = FindRiseSet(DateTime(kStart), y);
    EXPECT_NEAR(hours(r.rise), 10.299588291761175, 1e-8);
    EXPECT_NEAR(hours(r.set), 22.70041170823883, 1e-8);
    // Neither lone estimate is what is reported.
    EXPECT_GT(std::fabs(hours(r.rise) - 10.296247709003726), 1e-3);
    EXPECT_GT(std::fabs(hours(r.rise) - 10.30292887451862), 1e-3);
}

TEST(AstroFindRiseSet, TwoRootsInOneWindowOverwriteThenAverage)
{
    // One sample above the horizon at hour 12: the fit at 11 finds a rise at 11.618, the fit at
    // 12 finds both roots and overwrites the slots (rise 11.293, set 12.707), and the fit at 13
    // finds the set again at 12.382, averaged with the stored one.
    AltitudeValues y;
    y.fill(-1.0);
    y[12] = 1.0;
    const RiseSetTimes r = FindRiseSet(DateTime(kStart), y);
    EXPECT_NEAR(hours(r.rise), 11.292893218813452, 1e-8);
    EXPECT_NEAR(hours(r.set), 12.544536396218327, 1e-8);
}

TEST(AstroFindRiseSet, SpecialValuesWithoutCrossing)
{
    const struct
    {
        double level, rise, set;
    } cases[] = {
        {+5.0, 1.0, -1.0},  // above all day
        {-5.0, -1.0, -1.0}, // below all day
        {0.0, 0.0, -1.0},   // exactly on the horizon: no root, the hour-12 sign is 0
    };
    for (const auto &c : cases) {
        AltitudeValues y;
        y.fill(c.level);
        const RiseSetTimes r = FindRiseSet(DateTime(kStart), y);
        EXPECT_EQ(r.rise, c.rise) << c.level;
        EXPECT_EQ(r.set, c.set) << c.level;
    }
    // Curved but never crossing: the sign at hour 12 decides.
    const RiseSetTimes above =
        FindRiseSet(DateTime(kStart), table([](int i) { return 10.0 + 5.0 * std::cos(i / 4.0); }));
    EXPECT_EQ(above.rise, 1.0);
    EXPECT_EQ(above.set, -1.0);
}

TEST(AstroFindRiseSet, OnlyOneEventInTheDay)
{
    // Rises at 5.5 h and stays up: the set slot keeps 0.
    const RiseSetTimes rising =
        FindRiseSet(DateTime(kStart), table([](int i) { return std::tanh((i - 5.5) / 3.0); }));
    EXPECT_NEAR(hours(rising.rise), 5.5, 0.01);
    EXPECT_EQ(rising.set, 0.0);
    // Sets at 20.25 h and the next rise is tomorrow: the rise slot keeps 0.
    const RiseSetTimes setting =
        FindRiseSet(DateTime(kStart), table([](int i) { return std::tanh((20.25 - i) / 3.0); }));
    EXPECT_EQ(setting.rise, 0.0);
    EXPECT_NEAR(hours(setting.set), 20.25, 0.01);
}

TEST(AstroFindRiseSet, StraightLineSamplesDoNotDivideByZero)
{
    // Three samples on a line give a zero curvature; the line's own root is used.
    const RiseSetTimes r =
        FindRiseSet(DateTime(kStart), table([](int i) { return (i - 7.25) * 2.0; }));
    EXPECT_NEAR(hours(r.rise), 7.25, 1e-9);
    EXPECT_EQ(r.set, 0.0);
}

TEST(AstroFindRiseSet, NonFiniteAltitudesRaise)
{
    AltitudeValues y;
    y.fill(1.0);
    y[7] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(FindRiseSet(DateTime(kStart), y), AstroError);
    y[7] = std::numeric_limits<double>::infinity();
    EXPECT_THROW(FindRiseSet(DateTime(kStart), y), AstroError);
}

TEST(AstroRiseSet, DayWithoutMoonriseInMoscow)
{
    // 2024-01-05: the Moon sets at 09:05 UT and next rises just after midnight of the 6th.
    const Observer moscow{55.75, 37.5833};
    const RiseSetTimes day = mRiseSet::RiseSet(DateTime::fromFields(2024, 1, 5), moscow, kMoon);
    EXPECT_EQ(day.rise, 0.0);
    const DateFields set = DateTime(day.set).toFields();
    EXPECT_EQ(set.day, 5);
    EXPECT_EQ(set.hour, 9);
    const RiseSetTimes next = mRiseSet::RiseSet(DateTime::fromFields(2024, 1, 6), moscow, kMoon);
    const double nextRiseHours = (next.rise - DateTime::fromFields(2024, 1, 6).value) * 24.0;
    EXPECT_GT(nextRiseHours, 0.0);
    EXPECT_LT(nextRiseHours, 1.5);
}

TEST(AstroRiseSet, NearThePoleTheMoonStaysUpOrDown)
{
    const Observer nearPole{89.0, 0.0};
    int up = 0, down = 0;
    const double first = DateTime::fromFields(2025, 1, 1).value;
    for (int d = 0; d < 40; ++d) {
        const DateTime day(first + d);
        const double dec =
            mCorrection::ApparentPosition(mTime::DateToJD(DateTime(day.value + 0.5)), kMoon).lat;
        if (std::fabs(dec) < 8.0)
            continue; // the days the Moon crosses the equator may have real events
        const RiseSetTimes r = mRiseSet::RiseSet(day, nearPole, kMoon);
        if (dec > 0) {
            EXPECT_EQ(r.rise, 1.0) << d;
            ++up;
        } else {
            EXPECT_EQ(r.rise, -1.0) << d;
            ++down;
        }
        EXPECT_EQ(r.set, -1.0) << d;
    }
    EXPECT_GT(up, 5);
    EXPECT_GT(down, 5);
}

TEST(AstroRiseSet, StandardAltitudeDependsOnTheBody)
{
    // The Sun uses -50.3', the Moon +8', others -34': the same day's tables differ by them.
    const Observer moscow{55.75, 37.5833};
    const DateTime day = DateTime::fromFields(2024, 6, 1);
    const RiseSetTimes sun = mRiseSet::RiseSet(day, moscow, kSun);
    const DateFields rise = DateTime(sun.rise).toFields();
    const DateFields set = DateTime(sun.set).toFields();
    // Moscow sunrise 2024-06-01 is 03:53 local (00:53 UT), sunset 21:03 local (18:03 UT).
    EXPECT_NEAR(rise.hour * 60 + rise.minute, 53, 3);
    EXPECT_NEAR(set.hour * 60 + set.minute, 18 * 60 + 3, 3);
    const AltitudeValues sun0 = mRiseSet::AltitudeTable(day, moscow, kSun, -50.3 / 60);
    const AltitudeValues sun1 = mRiseSet::AltitudeTable(day, moscow, kSun, -34.0 / 60);
    EXPECT_NEAR(sun0[3] - sun1[3], (50.3 - 34.0) / 60, 1e-12);
}

} // namespace
