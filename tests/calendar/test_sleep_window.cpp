// The lunar days of a sleep window: shares of the night, lunations, clock changes, the morning.
#include "calendar/dream_tables.h"
#include "calendar/sleep_window.h"
#include "platform/qt_timezone.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace kelmor::calendar;
using kelmor::astro::FixedTimeZoneProvider;

namespace {

constexpr std::int64_t kHour = 3600;

// Moscow, UTC+3 all year.
const FixedTimeZoneProvider kMoscowZone(3 * 3600);
const Location kMoscow;

std::int64_t utc(int y, int mo, int d, int h = 0, int mi = 0)
{
    return epochOfDateTime(DateTime::fromFields(y, mo, d, h, mi, 0));
}

// The instants of the boundaries of the lunation that holds `instant`.
std::vector<std::int64_t> boundaries(std::int64_t instant,
                                     const kelmor::astro::TimeZoneProvider &zone)
{
    const MoonListResult moon = MoonList(dateTimeOfEpoch(instant), kMoscow, zone);
    std::vector<std::int64_t> out;
    for (std::size_t i = 0; i < moon.boundaries.size(); ++i)
        out.push_back(epochOfDateTime(moon.boundaries[i]) - moon.utcOffsets[i]);
    return out;
}

double shareSum(const SleepWindowResult &r)
{
    double sum = 0;
    for (const LunarDayShare &d : r.lunarDays)
        sum += d.share;
    return sum;
}

TEST(SleepWindow, ShareOfEachLunarDayTheNightTouches)
{
    const std::vector<std::int64_t> b = boundaries(utc(2024, 4, 15), kMoscowZone);
    ASSERT_GT(b.size(), 10u);
    // b[7] is the moonrise that ends lunar day 7 and begins lunar day 8.
    const std::int64_t rise = b[7];

    struct Case
    {
        const char *what;
        std::int64_t from, to;
        std::vector<std::pair<int, double>> expected; // number, share
    };
    const std::int64_t middle = (b[4] + b[5]) / 2;
    const Case cases[] = {
        {"inside one lunar day", middle - kHour, middle + kHour, {{5, 1.0}}},
        {"across a moonrise", rise - 2 * kHour, rise + 6 * kHour, {{7, 0.25}, {8, 0.75}}},
        {"ending exactly at a moonrise", rise - 4 * kHour, rise, {{7, 1.0}}},
        {"beginning exactly at a moonrise", rise, rise + 4 * kHour, {{8, 1.0}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const SleepWindowResult r = SleepWindow(c.from, c.to, kMoscow, kMoscowZone);
        ASSERT_EQ(r.lunarDays.size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(r.lunarDays[i].number, c.expected[i].first);
            EXPECT_NEAR(r.lunarDays[i].share, c.expected[i].second, 1e-9);
            EXPECT_EQ(r.lunarDays[i].meaning, DreamByMoon(c.expected[i].first));
            EXPECT_EQ(r.lunarDays[i].start, b[std::size_t(c.expected[i].first) - 1]);
            EXPECT_EQ(r.lunarDays[i].startOffset, 3 * 3600);
        }
        EXPECT_NEAR(shareSum(r), 1.0, 1e-12);
    }
}

TEST(SleepWindow, ANewMoonWithinTheNightStartsTheCountAgain)
{
    const std::vector<std::int64_t> b = boundaries(utc(2024, 4, 15), kMoscowZone);
    const std::int64_t newMoon = b.back();
    const int lastDay = int(b.size()) - 1;
    const std::int64_t firstRise = boundaries(newMoon + 60, kMoscowZone)[1];
    // From within the last lunar day to within the first of the next lunation, three times as
    // long before the new moon as after it.
    const std::int64_t after = std::min(firstRise - newMoon, (newMoon - b[b.size() - 2]) / 3) / 2;
    const SleepWindowResult r =
        SleepWindow(newMoon - 3 * after, newMoon + after, kMoscow, kMoscowZone);
    ASSERT_EQ(r.lunarDays.size(), 2u);
    EXPECT_EQ(r.lunarDays[0].number, lastDay);
    EXPECT_NEAR(r.lunarDays[0].share, 0.75, 1e-9);
    EXPECT_EQ(r.lunarDays[0].end, newMoon);
    EXPECT_EQ(r.lunarDays[1].number, 1);
    EXPECT_NEAR(r.lunarDays[1].share, 0.25, 1e-9);
    EXPECT_EQ(r.lunarDays[1].start, newMoon);
    EXPECT_EQ(r.lunarDays[1].end, firstRise);
    EXPECT_EQ(r.mainLunarDay(), lastDay);
}

TEST(SleepWindow, ANightAcrossAClockChangeIsAsLongAsItReallyWas)
{
    const kelmor::platform::QtTimeZoneProvider berlin(QTimeZone("Europe/Berlin"));
    ASSERT_TRUE(berlin.zone().isValid());
    struct Case
    {
        const char *what;
        std::int64_t from, to; // 23:00 to 07:00 local
        int fromOffset, toOffset;
    };
    const Case cases[] = {
        // 23:00 CET (UTC+1) to 07:00 CEST (UTC+2): seven hours.
        {"spring", utc(2024, 3, 30, 22), utc(2024, 3, 31, 5), 3600, 7200},
        // 23:00 CEST to 07:00 CET: nine hours.
        {"autumn", utc(2024, 10, 26, 21), utc(2024, 10, 27, 6), 7200, 3600},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const SleepWindowResult r = SleepWindow(c.from, c.to, kMoscow, berlin);
        EXPECT_EQ(r.fellAsleepOffset, c.fromOffset);
        EXPECT_EQ(r.wokeUpOffset, c.toOffset);
        std::int64_t seconds = 0;
        for (const LunarDayShare &d : r.lunarDays)
            seconds += d.seconds;
        EXPECT_EQ(seconds, c.to - c.from);
        EXPECT_NEAR(shareSum(r), 1.0, 1e-12);
        EXPECT_EQ(r.weekDay, 7); // the morning is a Sunday
        EXPECT_EQ(r.day, c.what[0] == 's' ? 31 : 27);
        // The same lunar days as the calendar gives the same instants in that zone.
        const CalendarResult asleep =
            CalculateForInstant(dateTimeOfEpoch(c.from + 1), kMoscow, berlin);
        ASSERT_TRUE(asleep.moon.lunarDay);
        EXPECT_EQ(r.lunarDays.front().number, asleep.moon.lunarDay->number);
        const CalendarResult awake = CalculateForInstant(dateTimeOfEpoch(c.to), kMoscow, berlin);
        EXPECT_EQ(r.lunarDays.back().number, awake.moon.lunarDay->number);
    }
}

TEST(SleepWindow, AMomentIsTheCalendarsLunarDayAndTheMorningIsTheLocalDateOfWaking)
{
    const std::vector<std::int64_t> b = boundaries(utc(2024, 4, 15), kMoscowZone);
    // A moment exactly at a moonrise belongs to the day that ends there; one exactly at the
    // new moon to the last day of the lunation it ends.
    struct Case
    {
        std::int64_t at;
        int number;
    };
    const Case cases[] = {
        {b[3], 3}, {b[3] + 1, 4}, {b.back(), int(b.size()) - 1}, {b.back() + 60, 1}};
    for (const Case &c : cases) {
        const SleepWindowResult r = SleepWindow(c.at, c.at, kMoscow, kMoscowZone);
        ASSERT_EQ(r.lunarDays.size(), 1u);
        EXPECT_EQ(r.lunarDays[0].number, c.number);
        EXPECT_EQ(r.lunarDays[0].share, 1.0);
    }
    // 01:00 in Moscow on Tuesday 9 April is still Monday 8 April in UTC.
    const SleepWindowResult r =
        SleepWindow(utc(2024, 4, 8, 19), utc(2024, 4, 8, 22), kMoscow, kMoscowZone);
    EXPECT_EQ(r.weekDay, 2);
    EXPECT_EQ(r.weekDayName, "Вторник");
    EXPECT_EQ(r.day, 9);
    EXPECT_EQ(r.dayMeaning, DreamByDay(9));
    EXPECT_EQ(r.weekDayMeaning, DreamByWeekDay(2));
}

TEST(SleepWindow, RefusesAWindowBackwardsOrLongerThanTwoDays)
{
    const std::int64_t t = utc(2024, 4, 15);
    EXPECT_THROW(SleepWindow(t, t - 1, kMoscow, kMoscowZone), kelmor::astro::AstroError);
    EXPECT_THROW(SleepWindow(t, t + kMaxSleepSeconds + 1, kMoscow, kMoscowZone),
                 kelmor::astro::AstroError);
    const SleepWindowResult longest = SleepWindow(t, t + kMaxSleepSeconds, kMoscow, kMoscowZone);
    EXPECT_GE(longest.lunarDays.size(), 2u);
    EXPECT_NEAR(shareSum(longest), 1.0, 1e-12);
}

} // namespace
