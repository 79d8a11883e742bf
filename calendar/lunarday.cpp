#include "lunarday.h"

#include "astro/mMath.h"
#include "astro/Moonday.h"
#include "astro/mRiseSet.h"
#include "calendar/dream_tables.h"

#include <cmath>

namespace kelmor::calendar {

namespace {

constexpr double kSecondsPerDay = 86400.0;

// Instants are compared and stepped on the continuous day count: the date-time value itself is
// not monotonic before 1899-12-30, where the time of day is subtracted from the day.
double linear(DateTime v)
{
    return v.linear();
}

// RiseSet's answers that are not an event time.
bool isRiseTime(double rise)
{
    return rise != 0.0 && rise != 1.0 && rise != -1.0;
}

} // namespace

DateTime toWholeSecond(DateTime value)
{
    return DateTime::fromLinear(std::round(linear(value) * kSecondsPerDay) / kSecondsPerDay);
}

int weekDayOf(DateTime local)
{
    // 1899-12-30 was a Saturday (6).
    const auto day = static_cast<long long>(std::floor(linear(local)));
    const long long fromMonday = ((day + 5) % 7 + 7) % 7;
    return int(fromMonday) + 1;
}

std::optional<LunarDay> FindLunarDay(const std::vector<DateTime> &boundaries, DateTime local)
{
    if (boundaries.empty())
        return std::nullopt;
    const double moment = linear(local);
    DateTime previous = boundaries.front();
    for (std::size_t k = 0; k < boundaries.size(); ++k) {
        const DateTime end = boundaries[k];
        if (linear(previous) < moment && moment <= linear(end))
            return LunarDay{int(k), previous, end};
        previous = end;
    }
    return std::nullopt;
}

MoonListResult MoonList(DateTime ut, const Location &place, const astro::TimeZoneProvider &zone)
{
    using astro::mTime::UTToLocal;
    const astro::Observer observer{place.latitudeDegrees(), place.longitudeDegrees()};

    const DateTime lastUT = astro::Moonday::LastNewMoon(ut);
    const DateTime nextUT = astro::Moonday::NextNewMoon(ut);
    // JDToDate answers 1899-12-30 00:00 outside its range. (Within half a second before a new
    // moon both are that new moon: the moment then lies before the list and finds no day.)
    if (lastUT.value == 0.0 || nextUT.value == 0.0 || linear(lastUT) > linear(nextUT))
        throw astro::AstroError(astro::Moonday::kNewMoonOutOfRange);

    MoonListResult result;
    // Local time and its offset from universal time at an instant.
    const auto toLocal = [&zone](DateTime instant, int &offset) {
        const DateTime local = UTToLocal(instant, zone);
        offset = int(std::lround((linear(local) - linear(instant)) * kSecondsPerDay));
        return toWholeSecond(local);
    };
    int newMoonOffset = 0;
    int nextNewMoonOffset = 0;
    result.newMoon = toLocal(lastUT, newMoonOffset);
    result.nextNewMoon = toLocal(nextUT, nextNewMoonOffset);
    const double first = linear(result.newMoon);
    const double next = linear(result.nextNewMoon);
    result.boundaries.push_back(result.newMoon);
    result.utcOffsets.push_back(newMoonOffset);

    // One RiseSet call per universal-time day, starting with the day that holds the new moon
    // (east of Greenwich its local date begins later, and the moonrise on the evening of that
    // UT day would be missed), on to one day past the next new moon.
    const double lastDay = std::floor(linear(nextUT)) + 1.0;
    for (double day = std::floor(linear(lastUT)); day <= lastDay; day += 1.0) {
        const astro::RiseSetTimes times =
            astro::mRiseSet::RiseSet(DateTime::fromLinear(day), observer, astro::kMoon);
        if (!isRiseTime(times.rise))
            continue;
        int offset = 0;
        const DateTime rise = toLocal(DateTime(times.rise), offset);
        if (linear(rise) >= first) {
            result.boundaries.push_back(rise);
            result.utcOffsets.push_back(offset);
        }
    }

    // The last lunar day ends at the next new moon: every moonrise from it on goes, then it
    // closes the list.
    while (result.boundaries.size() > 1 && linear(result.boundaries.back()) >= next) {
        result.boundaries.pop_back();
        result.utcOffsets.pop_back();
    }
    result.boundaries.push_back(result.nextNewMoon);
    result.utcOffsets.push_back(nextNewMoonOffset);

    // The lunar day that holds the instant, found among the boundaries' instants (local time
    // less the offset at each) and reported in local time.
    std::vector<DateTime> instants;
    instants.reserve(result.boundaries.size());
    for (std::size_t i = 0; i < result.boundaries.size(); ++i)
        instants.push_back(DateTime::fromLinear(linear(result.boundaries[i]) -
                                                result.utcOffsets[i] / kSecondsPerDay));
    if (const std::optional<LunarDay> found = FindLunarDay(instants, ut)) {
        const auto k = std::size_t(found->number);
        result.lunarDay = LunarDay{found->number, result.boundaries[k - 1], result.boundaries[k]};
    }
    return result;
}

CalendarResult CalculateForInstant(DateTime ut, const Location &place,
                                   const astro::TimeZoneProvider &zone)
{
    CalendarResult result;
    result.ut = ut;
    const DateTime local = astro::mTime::UTToLocal(ut, zone);
    result.utcOffset = int(std::lround((linear(local) - linear(ut)) * kSecondsPerDay));
    result.moment = toWholeSecond(local);
    result.weekDay = weekDayOf(result.moment);
    result.weekDayName = WeekDayStr(result.weekDay);
    result.weekDayText = DreamByWeekDay(result.weekDay);
    result.day = result.moment.dateFields().day;
    result.dayText = DreamByDay(result.day);
    result.moon = MoonList(ut, place, zone);
    if (result.moon.lunarDay)
        result.lunarText = DreamByMoon(result.moon.lunarDay->number);
    return result;
}

std::optional<CalendarResult> Calculate(DateTime local, const Location &place,
                                        const astro::TimeZoneProvider &zone)
{
    if (local == kSentinelMoment)
        return std::nullopt;
    CalendarResult result = CalculateForInstant(astro::mTime::LocalToUT(local, zone), place, zone);
    result.skippedLocalTime = !(result.moment == toWholeSecond(local));
    return result;
}

} // namespace kelmor::calendar
