#pragma once

// A night instead of a moment: a dream's moment is rarely known, only when the dreamer fell
// asleep and woke up. Every lunar day that the sleep window touches, with the share of the night
// it covers, and the weekday and day of the month of the morning, as the calendar counts them.

#include "astro/mMath.h"
#include "calendar/location.h"
#include "calendar/lunarday.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace kelmor::calendar {

// One lunar day within a sleep window. Instants are seconds since 1970-01-01 UTC; each comes
// with the offset of local time in force at it (local = UTC + offset).
struct LunarDayShare
{
    int number = 0;
    std::int64_t start = 0; // the lunar day's start (the boundary before it)
    int startOffset = 0;
    std::int64_t end = 0; // the lunar day's end
    int endOffset = 0;
    std::int64_t seconds = 0; // how much of the window it covers
    double share = 0;         // seconds / the window's length (1 for a single moment)
    std::string_view meaning; // DreamByMoon(number)
};

struct SleepWindowResult
{
    std::int64_t fellAsleep = 0;
    int fellAsleepOffset = 0;
    std::int64_t wokeUp = 0;
    int wokeUpOffset = 0;
    // In time order; the shares add up to 1.
    std::vector<LunarDayShare> lunarDays;
    // The morning: the local date of waking up (of the moment, for a single moment).
    int weekDay = 0; // Monday = 1 … Sunday = 7
    std::string_view weekDayName;
    std::string_view weekDayMeaning;
    int day = 0;
    std::string_view dayMeaning;

    // The lunar day that covers the largest share of the night (the earlier one of equal
    // shares); 0 when there is none.
    int mainLunarDay() const;
};

// The longest sleep window counted: two days (a longer one is a mistake in the times).
inline constexpr std::int64_t kMaxSleepSeconds = 2 * 86400;

// The lunar days from `fellAsleep` to `wokeUp` (seconds since 1970 UTC; equal for a single
// moment) at `place`. The night is the interval (fellAsleep, wokeUp]; the lunar days are those
// of MoonList, counted again from 1 after a new moon within the night. Lengths are real elapsed
// time, so a night across a clock change is as long as it really was. Raises astro::AstroError
// when the engine fails, wokeUp is before fellAsleep, or the window is longer than
// kMaxSleepSeconds.
SleepWindowResult SleepWindow(std::int64_t fellAsleep, std::int64_t wokeUp, const Location &place,
                              const astro::TimeZoneProvider &zone);

// Seconds since 1970 UTC ↔ the date-time value in universal time.
DateTime dateTimeOfEpoch(std::int64_t seconds);
std::int64_t epochOfDateTime(DateTime ut);

} // namespace kelmor::calendar
