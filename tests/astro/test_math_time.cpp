// Angle helpers, the date-time value, Julian days with delta-T, and local/universal time.

#include "astro/mConvertion.h"
#include "astro/mMath.h"
#include "astro/mTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kelmor::astro;
using namespace kelmor::astro::mMath;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(AstroMath, Norm360ReducesIntoHalfOpenCircle)
{
    const struct
    {
        double in, out;
    } cases[] = {{-30, 330}, {720, 0}, {0, 0}, {359.5, 359.5}, {-720, 0}, {361, 1}, {-1e-300, 0}};
    for (const auto &c : cases) {
        const double r = Norm360(c.in);
        EXPECT_NEAR(r, c.out, 1e-12) << c.in;
        EXPECT_GE(r, 0.0);
        EXPECT_LT(r, 360.0);
    }
}

TEST(AstroMath, ArcTan2CoversMinusHalfPiToThreeHalvesPi)
{
    const double pi = kArcTanPi;
    const struct
    {
        double y, x, out;
    } cases[] = {
        {0, 0, 0},
        {1, -1, std::atan(-1.0) + pi}, // 3 pi / 4
        {-1, -1, 5 * pi / 4},          // not -3 pi / 4
        {1, 1, pi / 4},
        {-1, 1, -pi / 4},
        {1, 0, pi / 2},
        {-1, 0, -pi / 2},
        {0, -2, pi},
    };
    for (const auto &c : cases)
        EXPECT_NEAR(ArcTan2(c.y, c.x), c.out, 1e-14) << c.y << ", " << c.x;
    // The pi of this operation is the 15-digit constant, not 4 atan(1).
    EXPECT_EQ(ArcTan2(0, -1), 3.14159265358979);
}

TEST(AstroMath, ArcSinEndsAndFaults)
{
    EXPECT_DOUBLE_EQ(ArcSin(1.0), 2 * std::atan(1.0));
    EXPECT_DOUBLE_EQ(ArcSin(-1.0), 6 * std::atan(1.0)); // an altitude of -90 reads as 270
    EXPECT_NEAR(ArcSin(0.5), std::asin(0.5), 1e-15);
    EXPECT_NEAR(ArcSin(-0.5), -std::asin(0.5), 1e-15);
    EXPECT_DOUBLE_EQ(ArcSin(1.0 + 1e-15), 2 * std::atan(1.0)); // rounding at the zenith
    EXPECT_THROW(ArcSin(1.01), AstroError);
    EXPECT_THROW(ArcSin(-1.5), AstroError);
    EXPECT_THROW(ArcSin(kNaN), AstroError);
}

TEST(AstroMath, DegreeConversionsUseFourArcTanOne)
{
    EXPECT_EQ(DegToRad(180), 180 * std::atan(1.0) / 45);
    EXPECT_EQ(RadToDeg(1), 45 / std::atan(1.0));
    EXPECT_NEAR(SinD(30), 0.5, 1e-15);
    EXPECT_NEAR(CosD(60), 0.5, 1e-15);
    EXPECT_NEAR(TanD(45), 1.0, 1e-15);
    EXPECT_THROW(Checked(kNaN, "test"), AstroError);
    EXPECT_THROW(Checked(-kInf, "test"), AstroError);
}

TEST(AstroConvertion, RectangularAndSphericalRoundTrip)
{
    SphCoord s{200.0, -35.0, 2.5};
    RectCoord r = mConvertion::SphToRect(s, true);
    // The argument is left holding radians, as the conversion works in place.
    EXPECT_NEAR(s.lon, DegToRad(200.0), 1e-15);
    EXPECT_NEAR(s.lat, DegToRad(-35.0), 1e-15);
    const SphCoord back = mConvertion::RectToSph(r, true);
    EXPECT_NEAR(back.lon, 200.0, 1e-10); // range (-90, 270), not reduced
    EXPECT_NEAR(back.lat, -35.0, 1e-10);
    EXPECT_NEAR(back.dist, 2.5, 1e-14);
    const SphCoord radians = mConvertion::RectToSph(RectCoord{0, 0, 0}, false);
    EXPECT_EQ(radians.lon, 0.0);
    EXPECT_EQ(radians.lat, 0.0);
    EXPECT_EQ(radians.dist, 0.0);
}

TEST(AstroConvertion, EclipticToEquatorialPollux)
{
    // Meeus, example 13.a: Pollux at the mean obliquity of J2000.
    SphCoord p{113.215630, 6.684170, 1.0};
    mConvertion::EclToEqu(p, 23.4392911);
    EXPECT_NEAR(p.lon, 116.328942, 1e-5);
    EXPECT_NEAR(p.lat, 28.026183, 1e-5);
    EXPECT_EQ(p.dist, 1.0);
}

// --- the date-time value ---

TEST(AstroDateTime, NegativeValuesCountDaysBackwardsWithTimeSubtracted)
{
    const struct
    {
        double value;
        DateFields f;
    } cases[] = {
        {0.0, {1899, 12, 30, 0, 0, 0}},
        {-1.25, {1899, 12, 29, 6, 0, 0}},
        {-1.0, {1899, 12, 29, 0, 0, 0}},
        {1.5, {1899, 12, 31, 12, 0, 0}},
        {36526.0, {2000, 1, 1, 0, 0, 0}},
        {-115858.0, {1582, 10, 15, 0, 0, 0}},
        {2958465.999988426, {9999, 12, 31, 23, 59, 59}},
        {-657434.0, {100, 1, 1, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        const DateFields f = DateTime(c.value).toFields();
        EXPECT_EQ(f.year, c.f.year) << c.value;
        EXPECT_EQ(f.month, c.f.month) << c.value;
        EXPECT_EQ(f.day, c.f.day) << c.value;
        EXPECT_EQ(f.hour, c.f.hour) << c.value;
        EXPECT_EQ(f.minute, c.f.minute) << c.value;
        EXPECT_EQ(f.second, c.f.second) << c.value;
        EXPECT_NEAR(DateTime::fromFields(c.f).value, c.value, 1e-9);
    }
    EXPECT_DOUBLE_EQ(DateTime(-1.25).linear(), -0.75);
    EXPECT_DOUBLE_EQ(DateTime::fromLinear(-0.75).value, -1.25);
    EXPECT_DOUBLE_EQ(DateTime::fromLinear(-2.0).value, -2.0);
    EXPECT_DOUBLE_EQ(DateTime(-1.25).timeOfDay(), 0.25);
}

TEST(AstroDateTime, FieldsRoundToTheSecondAndRejectNonsense)
{
    // 23:59:59.7 rounds into the next day.
    const DateFields f = DateTime(36526.0 - 0.3 / 86400).toFields();
    EXPECT_EQ(f.year, 2000);
    EXPECT_EQ(f.day, 1);
    EXPECT_EQ(f.hour, 0);
    EXPECT_THROW(DateTime::fromFields(2023, 2, 29), AstroError);
    EXPECT_THROW(DateTime::fromFields(99, 12, 31), AstroError);
    EXPECT_THROW(DateTime::fromFields(2024, 13, 1), AstroError);
    EXPECT_THROW(DateTime::fromFields(2024, 1, 1, 24, 0, 0), AstroError);
    EXPECT_NO_THROW(DateTime::fromFields(2024, 2, 29));
    EXPECT_THROW(DateTime(kNaN).toFields(), AstroError);
    EXPECT_THROW(DateTime(1e300).toFields(), AstroError);
}

// --- Julian days and delta-T ---

TEST(AstroTime, DateToJDAcrossTheGregorianReform)
{
    const struct
    {
        DateFields f;
        double jd;
    } cases[] = {
        {{2000, 1, 1, 12, 0, 0}, 2451545.0},
        {{2000, 1, 1, 0, 0, 0}, 2451544.5},
        {{1987, 4, 10, 0, 0, 0}, 2446895.5},
        {{1582, 10, 15, 0, 0, 0}, 2299160.5}, // 2299171 - 10
        {{1582, 10, 4, 0, 0, 0}, 2299159.5},  // 2299160: no correction
        {{1582, 10, 10, 0, 0, 0}, 2299155.5}, // corrected like the 15th
        {{1858, 11, 17, 0, 0, 0}, 2400000.5},
        {{1899, 12, 29, 6, 0, 0}, 2415017.75}, // a negative date-time value
        {{9999, 12, 31, 0, 0, 0}, 5373483.5},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(mTime::DateToJD(DateTime::fromFields(c.f), false, true), c.jd)
            << c.f.year << "-" << c.f.month << "-" << c.f.day;
    // Terrestrial time: plus delta-T of 65 s at y = 2000.0.
    EXPECT_NEAR(mTime::DateToJD(DateTime::fromFields(2000, 1, 1, 12), false, false), 2451545.000752,
                5e-7);
    EXPECT_THROW(mTime::DateToJD(DateTime(kNaN), false, true), AstroError);
}

TEST(AstroTime, DeltaTBranchesByIntegerYear)
{
    const struct
    {
        double year, seconds;
    } cases[] = {
        {947.5, 1831.2800625},  {948.0, 1828.92112},   {1600.9, 97.8984493},
        {1601.0, 75.874175}, // 1600.9 still in the 948-1600 branch
        {1799.5, -18.08034125}, {1800.0, 13.19},       {1900.5, -1.217543537},
        {1901.0, -1.488893172}, {1997.5, 62.76468988}, {1998.0, 63.49364},
        {2000.0, 65.0},         {2035.5, 97.27589}, // still 65 + 76.15 t + 41.6 t^2
        {2036.0, 117.972},
    };
    for (const auto &c : cases) {
        const double jd = (c.year - 2000.0) * 365.25 + 2451545.0;
        EXPECT_NEAR(mTime::DeltaT(jd) * 86400.0, c.seconds, 1e-6) << c.year;
    }
    EXPECT_THROW(mTime::DeltaT(kInf), AstroError);
}

// --- local time and universal time ---

// Days from 1970-01-01 to a date, through the engine's own calendar.
std::int64_t epochDay(int y, int m, int d)
{
    return std::int64_t(DateTime::fromFields(y, m, d).value) - 25569;
}

// 0 = Sunday.
int weekday(std::int64_t epochDay)
{
    return int(((epochDay + 4) % 7 + 7) % 7);
}

// A zone with daylight time between two UTC instants of each year, found by rules.
class RuleZone : public TimeZoneProvider
{
public:
    // Europe: last Sunday of March 01:00 UTC to last Sunday of October 01:00 UTC.
    // USA: second Sunday of March 02:00 local to first Sunday of November 02:00 local.
    enum Rule { Eu, Us };
    RuleZone(int standard, Rule rule)
        : m_std(standard)
        , m_rule(rule)
    {
    }
    int offsetSecondsAtUtc(std::int64_t t) const override
    {
        const std::int64_t day = t >= 0 ? t / 86400 : (t - 86399) / 86400;
        const int year = DateTime(double(day + 25569)).dateFields().year;
        std::int64_t start = 0, end = 0;
        if (m_rule == Eu) {
            start = lastSunday(year, 3) * 86400 + 3600;
            end = lastSunday(year, 10) * 86400 + 3600;
        } else {
            start = nthSunday(year, 3, 2) * 86400 + 7200 - m_std;
            end = nthSunday(year, 11, 1) * 86400 + 7200 - (m_std + 3600);
        }
        return t >= start && t < end ? m_std + 3600 : m_std;
    }

private:
    static std::int64_t lastSunday(int y, int m)
    {
        std::int64_t d = epochDay(y, m + 1, 1) - 1;
        while (weekday(d) != 0)
            --d;
        return d;
    }
    static std::int64_t nthSunday(int y, int m, int n)
    {
        std::int64_t d = epochDay(y, m, 1);
        while (weekday(d) != 0)
            ++d;
        return d + 7 * (n - 1);
    }
    int m_std;
    Rule m_rule;
};

DateTime at(int y, int mo, int d, int h, int mi = 0)
{
    return DateTime::fromFields(y, mo, d, h, mi, 0);
}

void expectSameMinute(DateTime a, DateTime b, const std::string &what)
{
    EXPECT_NEAR(a.linear() * 1440.0, b.linear() * 1440.0, 1e-4) << what;
}

TEST(AstroTimeZone, SummerAndWinterOffsetsOfTheInstantConverted)
{
    const RuleZone berlin(3600, RuleZone::Eu);
    const RuleZone newYork(-5 * 3600, RuleZone::Us);
    const FixedTimeZoneProvider moscow(3 * 3600);
    const FixedTimeZoneProvider kolkata(5 * 3600 + 1800);
    const struct
    {
        const char *name;
        const TimeZoneProvider &zone;
        int summerHourUt, summerMinuteUt, winterHourUt, winterMinuteUt;
    } cases[] = {
        {"Berlin", berlin, 10, 0, 11, 0},
        {"New York", newYork, 16, 0, 17, 0},
        {"Moscow", moscow, 9, 0, 9, 0},
        {"Kolkata", kolkata, 6, 30, 6, 30},
    };
    for (const auto &c : cases) {
        const DateTime summer = at(2024, 7, 15, 12);
        const DateTime winter = at(2024, 1, 15, 12);
        expectSameMinute(mTime::LocalToUT(summer, c.zone),
                         at(2024, 7, 15, c.summerHourUt, c.summerMinuteUt), c.name);
        expectSameMinute(mTime::LocalToUT(winter, c.zone),
                         at(2024, 1, 15, c.winterHourUt, c.winterMinuteUt), c.name);
        expectSameMinute(mTime::UTToLocal(mTime::LocalToUT(summer, c.zone), c.zone), summer,
                         c.name);
        expectSameMinute(mTime::UTToLocal(mTime::LocalToUT(winter, c.zone), c.zone), winter,
                         c.name);
    }
}

TEST(AstroTimeZone, GapMovesForwardAndOverlapTakesFirstOccurrence)
{
    const RuleZone berlin(3600, RuleZone::Eu);
    // 2024-03-31 02:30 does not exist in Berlin: it is read as 03:30 (01:30 UT).
    const DateTime gapUt = mTime::LocalToUT(at(2024, 3, 31, 2, 30), berlin);
    expectSameMinute(gapUt, at(2024, 3, 31, 1, 30), "gap");
    expectSameMinute(mTime::UTToLocal(gapUt, berlin), at(2024, 3, 31, 3, 30), "gap back");
    // 2024-10-27 02:30 happens twice: the first, daylight-time one is 00:30 UT.
    expectSameMinute(mTime::LocalToUT(at(2024, 10, 27, 2, 30), berlin), at(2024, 10, 27, 0, 30),
                     "overlap");
    // Just outside the changes the zone's plain offsets hold.
    expectSameMinute(mTime::LocalToUT(at(2024, 3, 31, 1, 59), berlin), at(2024, 3, 31, 0, 59),
                     "before gap");
    expectSameMinute(mTime::LocalToUT(at(2024, 3, 31, 3, 0), berlin), at(2024, 3, 31, 1, 0),
                     "after gap");
    expectSameMinute(mTime::LocalToUT(at(2024, 10, 27, 3, 0), berlin), at(2024, 10, 27, 2, 0),
                     "after overlap");

    const RuleZone newYork(-5 * 3600, RuleZone::Us);
    expectSameMinute(mTime::LocalToUT(at(2024, 3, 10, 2, 30), newYork), at(2024, 3, 10, 7, 30),
                     "US gap");
    expectSameMinute(mTime::LocalToUT(at(2024, 11, 3, 1, 30), newYork), at(2024, 11, 3, 5, 30),
                     "US overlap");
}

TEST(AstroTimeZone, TheExactSecondOfAChangeTakesTheNewOffset)
{
    // 01:00:00 UT is stored as a double a hair below the whole second; it must still read as
    // the instant of the change, not the second before it.
    const RuleZone berlin(3600, RuleZone::Eu);
    expectSameMinute(mTime::UTToLocal(at(2024, 3, 31, 1, 0), berlin), at(2024, 3, 31, 3, 0),
                     "spring change");
    expectSameMinute(mTime::UTToLocal(at(2024, 10, 27, 1, 0), berlin), at(2024, 10, 27, 2, 0),
                     "autumn change");
}

TEST(AstroTimeZone, RoundTripHoldsEveryHourOfAYearOutsideTheChanges)
{
    const RuleZone berlin(3600, RuleZone::Eu);
    int checked = 0;
    for (double h = 0; h < 366 * 24; h += 1.0) {
        const DateTime local = DateTime::fromLinear(at(2024, 1, 1, 0).value + h / 24.0 + 0.25 / 24);
        const DateFields f = local.toFields();
        const bool changeDay = (f.month == 3 && f.day == 31) || (f.month == 10 && f.day == 27);
        if (changeDay && f.hour >= 2 && f.hour < 3)
            continue;
        const DateTime back = mTime::UTToLocal(mTime::LocalToUT(local, berlin), berlin);
        ASSERT_NEAR(back.linear(), local.linear(), 1e-9) << h;
        ++checked;
    }
    EXPECT_GT(checked, 8700);
}

TEST(AstroTimeZone, DefaultProviderIsUtcUntilSet)
{
    const DateTime t = at(2024, 7, 15, 12);
    setDefaultTimeZoneProvider(nullptr);
    EXPECT_EQ(mTime::LocalToUT(t).value, t.value);
    setDefaultTimeZoneProvider(std::make_shared<FixedTimeZoneProvider>(7 * 3600));
    expectSameMinute(mTime::LocalToUT(t), at(2024, 7, 15, 5), "default");
    expectSameMinute(mTime::UTToLocal(t), at(2024, 7, 15, 19), "default");
    setDefaultTimeZoneProvider(nullptr);
    EXPECT_THROW(mTime::LocalToUT(DateTime(kNaN)), AstroError);
}

} // namespace
