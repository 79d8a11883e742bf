#include "calendar/sleep_window.h"

#include "calendar/dream_tables.h"

#include <algorithm>
#include <cmath>

namespace kelmor::calendar {

namespace {

constexpr double kSecondsPerDay = 86400.0;
// 1970-01-01 in days since 1899-12-30.
constexpr double kUnixEpochDays = 25569.0;

} // namespace

DateTime dateTimeOfEpoch(std::int64_t seconds)
{
    return DateTime::fromLinear(double(seconds) / kSecondsPerDay + kUnixEpochDays);
}

std::int64_t epochOfDateTime(DateTime ut)
{
    return std::int64_t(std::llround((ut.linear() - kUnixEpochDays) * kSecondsPerDay));
}

int SleepWindowResult::mainLunarDay() const
{
    const LunarDayShare *best = nullptr;
    for (const LunarDayShare &d : lunarDays)
        if (!best || d.seconds > best->seconds)
            best = &d;
    return best ? best->number : 0;
}

SleepWindowResult SleepWindow(std::int64_t fellAsleep, std::int64_t wokeUp, const Location &place,
                              const astro::TimeZoneProvider &zone)
{
    if (wokeUp < fellAsleep)
        throw astro::AstroError("Время пробуждения раньше времени засыпания");
    if (wokeUp - fellAsleep > kMaxSleepSeconds)
        throw astro::AstroError("Окно сна длиннее двух суток");

    SleepWindowResult result;
    result.fellAsleep = fellAsleep;
    result.wokeUp = wokeUp;
    result.fellAsleepOffset = zone.offsetSecondsAtUtc(fellAsleep);
    result.wokeUpOffset = zone.offsetSecondsAtUtc(wokeUp);

    // The morning, as the calendar counts a moment: weekday and day of the local date.
    const CalendarResult morning = CalculateForInstant(dateTimeOfEpoch(wokeUp), place, zone);
    result.weekDay = morning.weekDay;
    result.weekDayName = morning.weekDayName;
    result.weekDayMeaning = morning.weekDayText;
    result.day = morning.day;
    result.dayMeaning = morning.dayText;

    // The lunar days of one lunation that the night touches (a single moment: the one that
    // holds it). Returns the instant at which the lunation ends.
    const std::int64_t window = wokeUp - fellAsleep;
    const auto collect = [&](std::int64_t probe) {
        const MoonListResult moon = MoonList(dateTimeOfEpoch(probe), place, zone);
        std::vector<std::int64_t> instants;
        instants.reserve(moon.boundaries.size());
        for (std::size_t i = 0; i < moon.boundaries.size(); ++i)
            instants.push_back(epochOfDateTime(moon.boundaries[i]) - moon.utcOffsets[i]);
        for (std::size_t k = 1; k < instants.size(); ++k) {
            const std::int64_t start = instants[k - 1];
            const std::int64_t end = instants[k];
            const bool holds = window == 0 ? (start < fellAsleep && fellAsleep <= end)
                                           : (std::min(wokeUp, end) > std::max(fellAsleep, start));
            if (!holds)
                continue;
            LunarDayShare share;
            share.number = int(k);
            share.start = start;
            share.startOffset = moon.utcOffsets[k - 1];
            share.end = end;
            share.endOffset = moon.utcOffsets[k];
            share.seconds = window == 0 ? 0 : std::min(wokeUp, end) - std::max(fellAsleep, start);
            share.meaning = DreamByMoon(share.number);
            result.lunarDays.push_back(share);
        }
        return instants.empty() ? probe : instants.back();
    };

    if (window == 0) {
        // A moment exactly at a new moon belongs to the lunar day that ends there, which the
        // lunation of the moment before holds.
        collect(fellAsleep);
        if (result.lunarDays.empty())
            collect(fellAsleep - 2);
    } else {
        // From the lunation of the first second of the night on to the one that holds waking.
        std::int64_t cursor = fellAsleep;
        for (int lunation = 0; lunation < 4; ++lunation) {
            const std::int64_t lunationEnd = collect(cursor + 1);
            if (wokeUp <= lunationEnd)
                break;
            cursor = std::max(lunationEnd, cursor + 1);
        }
    }

    std::int64_t covered = 0;
    for (const LunarDayShare &d : result.lunarDays)
        covered += d.seconds;
    for (LunarDayShare &d : result.lunarDays)
        d.share = window == 0 ? 1.0 : covered > 0 ? double(d.seconds) / double(covered) : 0.0;
    return result;
}

} // namespace kelmor::calendar
