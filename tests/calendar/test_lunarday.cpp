// Lunar days: the boundaries of a lunation and the lunar day that holds a moment.
#include "calendar/dream_tables.h"
#include "calendar/lunarday.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace kelmor::calendar;
using kelmor::astro::FixedTimeZoneProvider;

namespace {

constexpr double kSecond = 1.0 / 86400.0;

Location place(double latitude, double longitude)
{
    Location p;
    p.latitude = std::llround(latitude * kFixedScale);
    p.longitude = std::llround(longitude * kFixedScale);
    return p;
}

DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return DateTime::fromFields(y, mo, d, h, mi, s);
}

DateTime plusSeconds(DateTime v, double seconds)
{
    return DateTime::fromLinear(v.linear() + seconds * kSecond);
}

std::string show(DateTime v)
{
    const auto f = v.toFields();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour,
                  f.minute, f.second);
    return buf;
}

double minutesBetween(DateTime a, DateTime b)
{
    return (b.linear() - a.linear()) * 1440.0;
}

struct Place
{
    const char *name;
    double latitude, longitude;
    int offsetHours; // fixed local offset of the place (no daylight saving time in these years)
};

const Place kMoscow{"Moscow", 55.75, 37.5833, 3};
const Place kNovosibirsk{"Novosibirsk", 55.0333, 82.9167, 7};
const Place kBuenosAires{"Buenos Aires", -34.6, -58.45, -3};
const Place kVladivostok{"Vladivostok", 43.1167, 131.9, 10};

MoonListResult lunation(const Place &p, DateTime local)
{
    const FixedTimeZoneProvider zone(p.offsetHours * 3600);
    return MoonList(kelmor::astro::mTime::LocalToUT(local, zone), place(p.latitude, p.longitude),
                    zone);
}

// The list is the new moon, increasing moonrises strictly inside the lunation, the next new
// moon; consecutive moonrises lie about a day apart.
void expectWellFormed(const MoonListResult &r)
{
    ASSERT_GE(r.boundaries.size(), 3u);
    EXPECT_EQ(r.boundaries.front(), r.newMoon);
    EXPECT_EQ(r.boundaries.back(), r.nextNewMoon);
    for (std::size_t i = 1; i < r.boundaries.size(); ++i) {
        EXPECT_LT(r.boundaries[i - 1].linear(), r.boundaries[i].linear()) << i;
        const double gap = minutesBetween(r.boundaries[i - 1], r.boundaries[i]);
        if (i > 1 && i + 1 < r.boundaries.size()) {
            EXPECT_NEAR(gap, 24 * 60 + 50, 60) << "moonrise " << i;
        }
        EXPECT_LT(gap, 26 * 60) << i;
    }
    EXPECT_EQ(r.utcOffsets.size(), r.boundaries.size());
    // Whole seconds.
    for (DateTime b : r.boundaries) {
        const double s = b.linear() * 86400.0;
        EXPECT_NEAR(s, std::round(s), 1e-3) << show(b);
    }
}

} // namespace

// The interval rules on a hand-made list: new moon at 03:00, moonrises at 08:00 and 08:50 the
// next day, next new moon at 12:00 on the day after.
TEST(LunarDay, FindsTheIntervalOpenAtItsStartAndClosedAtItsEnd)
{
    const std::vector<DateTime> list = {at(2024, 3, 10, 3, 0, 0), at(2024, 3, 10, 8, 0, 0),
                                        at(2024, 3, 11, 8, 50, 0), at(2024, 3, 12, 12, 0, 0)};
    struct Case
    {
        DateTime moment;
        int number; // 0: no lunar day
        int startIndex;
    } cases[] = {
        {at(2024, 3, 10, 2, 0, 0), 0, 0},    // before the new moon
        {at(2024, 3, 10, 3, 0, 0), 0, 0},    // exactly the new moon
        {at(2024, 3, 10, 3, 0, 1), 1, 0},    // a second after it
        {at(2024, 3, 10, 7, 0, 0), 1, 0},    // 07:00: lunar day 1, 03:00 to 08:00
        {at(2024, 3, 10, 8, 0, 0), 1, 0},    // exactly at the moonrise: the day that ends there
        {at(2024, 3, 10, 8, 0, 1), 2, 1},    // a second later: the next day
        {at(2024, 3, 10, 9, 0, 0), 2, 1},    // 09:00: lunar day 2, 08:00 to the next moonrise
        {at(2024, 3, 12, 11, 59, 59), 3, 2}, // after the last moonrise: ends at the new moon
        {at(2024, 3, 12, 12, 0, 0), 3, 2},   // exactly the next new moon
        {at(2024, 3, 12, 12, 0, 1), 0, 0},   // past the list
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(show(c.moment));
        const auto day = FindLunarDay(list, c.moment);
        if (c.number == 0) {
            EXPECT_FALSE(day);
            continue;
        }
        ASSERT_TRUE(day);
        EXPECT_EQ(day->number, c.number);
        EXPECT_EQ(day->start, list[c.startIndex]);
        EXPECT_EQ(day->end, list[c.startIndex + 1]);
    }
    EXPECT_FALSE(FindLunarDay({}, at(2024, 3, 10, 7, 0, 0)));
}

// Before 1899-12-30 the date-time value subtracts the time of day from the day number, so the
// raw values of one day run backwards (06:00 is -1.25, 18:00 is -1.75); the search orders the
// instants, not the raw values.
TEST(LunarDay, OrdersInstantsBeforeTheEpochOfTheDateValue)
{
    const std::vector<DateTime> list = {at(1899, 12, 28, 20, 0, 0), at(1899, 12, 29, 6, 0, 0),
                                        at(1899, 12, 29, 18, 0, 0), at(1899, 12, 30, 19, 0, 0)};
    ASSERT_LT(list[2].value, list[1].value);
    const auto day = FindLunarDay(list, at(1899, 12, 29, 12, 0, 0));
    ASSERT_TRUE(day);
    EXPECT_EQ(day->number, 2);
    const auto last = FindLunarDay(list, at(1899, 12, 30, 3, 0, 0));
    ASSERT_TRUE(last);
    EXPECT_EQ(last->number, 3);
}

TEST(LunarDay, WeekdayAndWholeSeconds)
{
    struct Case
    {
        DateTime moment;
        int weekDay;
    } cases[] = {
        {at(1899, 12, 30), 6},        {at(1899, 12, 29, 23, 59, 59), 5}, {at(1900, 1, 1), 1},
        {at(2024, 4, 9, 7, 0, 0), 2}, {at(2024, 7, 21, 23, 0, 0), 7},    {at(1583, 1, 1), 6},
        {at(9000, 12, 31, 12), 3},
    };
    for (const Case &c : cases)
        EXPECT_EQ(weekDayOf(c.moment), c.weekDay) << show(c.moment);

    EXPECT_EQ(toWholeSecond(plusSeconds(at(2024, 4, 9, 7, 0, 0), 0.4)), at(2024, 4, 9, 7, 0, 0));
    EXPECT_EQ(toWholeSecond(plusSeconds(at(2024, 4, 9, 7, 0, 0), 0.6)), at(2024, 4, 9, 7, 0, 1));
    EXPECT_EQ(toWholeSecond(plusSeconds(at(1850, 4, 9, 7, 0, 0), 0.6)), at(1850, 4, 9, 7, 0, 1));
}

TEST(LunarDay, TheSentinelMomentComputesNothing)
{
    const FixedTimeZoneProvider zone(3 * 3600);
    EXPECT_EQ(kSentinelMoment, at(1900, 1, 1, 0, 0, 0));
    EXPECT_FALSE(Calculate(kSentinelMoment, Location{}, zone));
    EXPECT_TRUE(Calculate(at(1900, 1, 1, 0, 0, 1), Location{}, zone));
}

// A whole lunation at Moscow (July 2024, thirty lunar days): each moonrise ends its lunar day,
// a second later the next begins, the last day ends at the next new moon and is day 30, and the
// new moons themselves belong to no day.
TEST(LunarDay, LunationAtMoscow)
{
    const Place p = kMoscow;
    const FixedTimeZoneProvider zone(p.offsetHours * 3600);
    const Location where = place(p.latitude, p.longitude);
    const auto calc = [&](DateTime local) { return Calculate(local, where, zone); };

    const auto mid = calc(at(2024, 7, 20, 12, 0, 0));
    ASSERT_TRUE(mid);
    const MoonListResult &r = mid->moon;
    expectWellFormed(r);
    const auto &b = r.boundaries;
    ASSERT_EQ(b.size(), 31u);
    // The new moons of 2024-07-05 22:57 and 2024-08-04 11:13 UT, about a minute late.
    EXPECT_NEAR(minutesBetween(at(2024, 7, 6, 1, 57, 20), r.newMoon), 1.0, 1.0);
    EXPECT_NEAR(minutesBetween(at(2024, 8, 4, 14, 12, 59), r.nextNewMoon), 1.0, 1.0);

    EXPECT_EQ(mid->weekDay, 6);
    EXPECT_EQ(mid->day, 20);
    EXPECT_EQ(mid->dayText, DreamByDay(20));
    EXPECT_EQ(mid->weekDayName, "Суббота");
    ASSERT_TRUE(r.lunarDay);
    EXPECT_EQ(mid->lunarText, DreamByMoon(r.lunarDay->number));

    struct Case
    {
        DateTime moment;
        int number; // 0: no lunar day
    } cases[] = {
        {b[0], 0},
        {plusSeconds(b[0], 1), 1},
        {b[1], 1},
        {plusSeconds(b[1], 1), 2},
        {b[15], 15},
        {plusSeconds(b[15], 1), 16},
        {plusSeconds(b[30], -1), 30},
        {b[30], 0}, // the next new moon begins the next lunation
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(show(c.moment));
        const auto res = calc(c.moment);
        ASSERT_TRUE(res);
        if (c.number == 0) {
            EXPECT_FALSE(res->moon.lunarDay);
            EXPECT_TRUE(res->lunarText.empty());
            continue;
        }
        ASSERT_TRUE(res->moon.lunarDay);
        EXPECT_EQ(res->moon.lunarDay->number, c.number);
        EXPECT_EQ(res->moon.lunarDay->start, b[c.number - 1]);
        EXPECT_EQ(res->moon.lunarDay->end, b[c.number]);
        EXPECT_EQ(res->lunarText, DreamByMoon(c.number));
        EXPECT_EQ(res->moon.boundaries, b);
    }
}

// Vladivostok, ten hours east: the new moon of 2024-04-08 18:21 UT is 04:21 local on the 9th,
// and the Moon rises at 06:47 local, 20:47 UT on the 8th. Scanning from the local date read as
// universal time would begin at 2024-04-09 00:00 UT and lose that moonrise. The next new moon,
// 2024-05-08 03:22 UT (13:22 local), is followed by two moonrises inside the scanned days
// (2024-05-09 06:09 and 2024-05-10 07:09 local); neither may stay in the list.
TEST(LunarDay, FarEastKeepsTheFirstMoonriseAndEndsAtTheNextNewMoon)
{
    const Place p = kVladivostok;
    const MoonListResult r = lunation(p, at(2024, 4, 9, 12, 0, 0));
    expectWellFormed(r);
    const auto &b = r.boundaries;
    EXPECT_NEAR(minutesBetween(at(2024, 4, 9, 4, 20, 49), r.newMoon), 1.0, 1.0);
    EXPECT_NEAR(minutesBetween(at(2024, 5, 8, 13, 21, 53), r.nextNewMoon), 1.0, 1.0);
    EXPECT_NEAR(minutesBetween(at(2024, 4, 9, 6, 46, 34), b[1]), 0.0, 3.0) << show(b[1]);
    EXPECT_LT(b[b.size() - 2].linear(), r.nextNewMoon.linear());
    EXPECT_EQ(b.size(), 31u); // 30 lunar days, as the independent ephemeris counts them

    // 07:00 local on the 9th lies after the first moonrise: lunar day 2.
    const MoonListResult morning = lunation(p, at(2024, 4, 9, 7, 0, 0));
    ASSERT_TRUE(morning.lunarDay);
    EXPECT_EQ(morning.lunarDay->number, 2);
    EXPECT_EQ(morning.lunarDay->start, b[1]);

    // 2024-05-08 20:00 local: after the next new moon, day 1 of the next lunation, which
    // runs to the moonrise of 2024-05-09 06:09 local.
    const MoonListResult after = lunation(p, at(2024, 5, 8, 20, 0, 0));
    ASSERT_TRUE(after.lunarDay);
    EXPECT_EQ(after.lunarDay->number, 1);
    EXPECT_EQ(after.newMoon, r.nextNewMoon);
    EXPECT_NEAR(minutesBetween(at(2024, 5, 9, 6, 9, 53), after.lunarDay->end), 0.0, 3.0);
}

// From the first full year of the Gregorian calendar to the year 9000, across the negative
// date values before 1899-12-30: every moment lies in a lunar day of a lunation of 29 or 30
// days whose boundaries are in order.
TEST(LunarDay, AnswersFrom1583To9000)
{
    const Place places[] = {kMoscow, kVladivostok, kBuenosAires};
    int i = 0;
    for (int year = 1583; year <= 9000; year += 149, ++i) {
        const Place &p = places[i % 3];
        const DateTime moment = at(year, 1 + i % 12, 1 + (i * 7) % 28, (i * 5) % 24, i % 60, 0);
        SCOPED_TRACE(std::string(p.name) + " " + show(moment));
        MoonListResult r;
        ASSERT_NO_THROW(r = lunation(p, moment));
        expectWellFormed(r);
        EXPECT_GE(r.boundaries.size(), 30u);
        EXPECT_LE(r.boundaries.size(), 31u);
        ASSERT_TRUE(r.lunarDay);
        EXPECT_LT(r.lunarDay->start.linear(), moment.linear());
        EXPECT_LE(moment.linear(), r.lunarDay->end.linear());
    }
    EXPECT_EQ(i, 50);
}

namespace {

// A zone two hours east that falls back to one hour east at `change` (universal time).
class FallBackZone : public kelmor::astro::TimeZoneProvider
{
public:
    explicit FallBackZone(DateTime change)
        : m_change(std::llround((change.linear() - 25569.0) * 86400.0))
    {
    }
    int offsetSecondsAtUtc(std::int64_t utc) const override { return utc < m_change ? 7200 : 3600; }

private:
    std::int64_t m_change;
};

} // namespace

// Each boundary keeps the offset in force at its instant, so that local time minus offset is
// the instant even for a moonrise in the second pass of an autumn hour.
TEST(LunarDay, OffsetsOfTheBoundariesNameTheirInstants)
{
    const FixedTimeZoneProvider utc(0);
    const Location where = place(kMoscow.latitude, kMoscow.longitude);
    const DateTime moment = at(2024, 7, 20, 12, 0, 0);
    const MoonListResult reference = MoonList(moment, where, utc);
    ASSERT_GT(reference.boundaries.size(), 20u);

    // The clocks go back half an hour before the tenth moonrise: it falls in the hour that
    // passes twice, on its second pass.
    const DateTime change = plusSeconds(reference.boundaries[10], -1800);
    const FallBackZone zone(change);
    const MoonListResult r = MoonList(moment, where, zone);
    ASSERT_EQ(r.boundaries.size(), reference.boundaries.size());
    for (std::size_t i = 0; i < r.boundaries.size(); ++i) {
        EXPECT_EQ(r.utcOffsets[i], i < 10 ? 7200 : 3600) << i;
        const double seconds = (plusSeconds(r.boundaries[i], -r.utcOffsets[i]).linear() -
                                reference.boundaries[i].linear()) *
                               86400.0;
        EXPECT_LE(std::fabs(seconds), 1.0) << i; // each side held to its whole second
    }
}

// In the hour that passes twice the local clock runs backwards: a moment of the first pass can
// read later than a moonrise of the second pass that comes after it. The lunar day is found by
// the instants, so such a moment stays in the day that the moonrise ends.
TEST(LunarDay, MomentBeforeAMoonriseInTheRepeatedHourStaysInItsDay)
{
    const FixedTimeZoneProvider utc(0);
    const Location where = place(kMoscow.latitude, kMoscow.longitude);
    const MoonListResult reference = MoonList(at(2024, 7, 20, 12, 0, 0), where, utc);
    ASSERT_GT(reference.boundaries.size(), 20u);
    const DateTime rise = reference.boundaries[10];
    // Clocks back half an hour before the tenth moonrise; the moment 20 minutes before the
    // change reads 02:40 past the change on the clock, the moonrise only 01:30 past it.
    const FallBackZone zone(plusSeconds(rise, -1800));
    const DateTime moment = plusSeconds(rise, -1800 - 1200);
    const MoonListResult r = MoonList(moment, where, zone);
    ASSERT_TRUE(r.lunarDay);
    EXPECT_EQ(r.lunarDay->number, 10);
    EXPECT_EQ(r.lunarDay->end, r.boundaries[10]);

    const CalendarResult c = CalculateForInstant(moment, where, zone);
    EXPECT_EQ(c.utcOffset, 7200);
    EXPECT_EQ(c.moment, toWholeSecond(plusSeconds(moment, 7200)));
    EXPECT_FALSE(c.skippedLocalTime);
    ASSERT_TRUE(c.moon.lunarDay);
    EXPECT_EQ(c.moon.lunarDay->number, 10);
}

namespace {

// Samoa: ten hours west of Greenwich until 2011-12-30 00:00 local, then fourteen hours east, so
// that 30 December 2011 never came.
class SamoaZone : public kelmor::astro::TimeZoneProvider
{
public:
    int offsetSecondsAtUtc(std::int64_t utc) const override
    {
        const std::int64_t change = 1325239200; // 2011-12-30 10:00 UT
        return utc < change ? -10 * 3600 : 14 * 3600;
    }
};

} // namespace

// A local time inside a skipped day is read once, with the offset from before the jump; the
// moment, its weekday and day, and the lunar day all follow from that one instant.
TEST(LunarDay, LocalTimeInASkippedDayIsConvertedOnce)
{
    const SamoaZone zone;
    const auto r = Calculate(at(2011, 12, 30, 12, 0, 0), place(-13.83, -171.75), zone);
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->skippedLocalTime);
    EXPECT_EQ(r->ut, at(2011, 12, 30, 22, 0, 0));
    EXPECT_EQ(r->moment, at(2011, 12, 31, 12, 0, 0));
    EXPECT_EQ(r->utcOffset, 14 * 3600);
    EXPECT_EQ(r->weekDay, 6);
    EXPECT_EQ(r->day, 31);
    ASSERT_TRUE(r->moon.lunarDay);
    const MoonListResult &m = r->moon;
    const auto k = std::size_t(m.lunarDay->number);
    const auto instant = [&](std::size_t i) {
        return plusSeconds(m.boundaries[i], -m.utcOffsets[i]).linear();
    };
    EXPECT_LT(instant(k - 1), r->ut.linear());
    EXPECT_LE(r->ut.linear(), instant(k));

    const auto ordinary = Calculate(at(2011, 12, 29, 12, 0, 0), place(-13.83, -171.75), zone);
    ASSERT_TRUE(ordinary);
    EXPECT_FALSE(ordinary->skippedLocalTime);
    EXPECT_EQ(ordinary->utcOffset, -10 * 3600);
}
