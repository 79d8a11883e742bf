#pragma once

// The moon calendar's computation for one chosen moment: weekday and day-of-month texts, the
// lunar-day boundaries of the lunation (new moon, moonrises, next new moon) and the lunar day
// that holds the moment.

#include "astro/mTime.h"
#include "calendar/location.h"

#include <optional>
#include <string_view>
#include <vector>

namespace kelmor::calendar {

using astro::DateTime;

// 1900-01-01 00:00:00: a chosen moment equal to it computes nothing.
inline constexpr DateTime kSentinelMoment{2.0};

struct LunarDay
{
    int number = 0; // 1 from the new moon to the first moonrise
    DateTime start; // local, the boundary before (excluded)
    DateTime end;   // local, the boundary after (included)
};

struct MoonListResult
{
    DateTime newMoon;     // local, whole second: the new moon that began the lunation
    DateTime nextNewMoon; // local, whole second
    // Local moments held to the whole second: the new moon, each moonrise after it and before
    // the next new moon, then the next new moon.
    std::vector<DateTime> boundaries;
    // Offset from universal time (seconds, local = UT + offset) in force at each boundary: in
    // the autumn hour that passes twice the local time alone does not tell which pass.
    std::vector<int> utcOffsets;
    // Empty when the moment is exactly the new moon (no interval holds it): the caller keeps
    // what it showed before.
    std::optional<LunarDay> lunarDay;
};

struct CalendarResult
{
    // The chosen moment, converted once: the instant in universal time, the local time the clock
    // showed at it (held to the whole second) and the offset then in force. Every other field is
    // computed from these.
    DateTime ut;
    DateTime moment;
    int utcOffset = 0; // seconds, local = UT + offset
    // The local time asked for did not exist (the clocks jumped over it, by an hour in spring or
    // by a whole day as in Samoa on 2011-12-30): moment is the time the clock showed at the
    // instant reached by reading the asked time with the offset in force before the jump.
    bool skippedLocalTime = false;
    int weekDay = 0; // Monday = 1 … Sunday = 7
    std::string_view weekDayName;
    std::string_view weekDayText;
    int day = 0; // day of the month
    std::string_view dayText;
    MoonListResult moon;
    std::string_view lunarText; // empty without a lunar day
};

// Boundaries and the lunar day for `ut`, the chosen moment in universal time, at `place`.
//
// The new moons come from LastNewMoon/NextNewMoon (terrestrial time read as universal time), the
// moonrises from RiseSet for each universal-time day from the one that holds the new moon to one
// day past the next new moon. A lunar day is open at its start and closed at its end; the day
// that holds the moment is found by comparing instants, not local clock readings, which run
// backwards when the clocks go back and jump when they go forward. Raises astro::AstroError when
// the engine fails or the moment lies outside its range.
MoonListResult MoonList(DateTime ut, const Location &place, const astro::TimeZoneProvider &zone);

// The lunar day of `boundaries` (as MoonList builds them) that holds the local moment: number k
// for the interval (boundaries[k - 1], boundaries[k]]. Nothing at or before the first boundary
// or after the last.
std::optional<LunarDay> FindLunarDay(const std::vector<DateTime> &boundaries, DateTime local);

// Everything the calendar shows for the local moment `local`; nothing for kSentinelMoment. The
// local time is read once (LocalToUT: the first pass of an hour that passes twice, the offset
// from before a jump for a time the clocks skipped) and everything follows from that instant.
std::optional<CalendarResult> Calculate(DateTime local, const Location &place,
                                        const astro::TimeZoneProvider &zone);
// The same for an instant given in universal time, such as the current moment, which local
// clock time alone cannot name in the hour that passes twice.
CalendarResult CalculateForInstant(DateTime ut, const Location &place,
                                   const astro::TimeZoneProvider &zone);

// Monday = 1 … Sunday = 7 of a local date-time value.
int weekDayOf(DateTime local);

// The value held to the nearest whole second.
DateTime toWholeSecond(DateTime value);

} // namespace kelmor::calendar
