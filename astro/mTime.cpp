#include "astro/mTime.h"

#include "astro/mMath.h"

#include <cmath>
#include <mutex>

namespace kelmor::astro {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil calendar algorithm).
std::int64_t daysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t &y, int &m, int &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

// 1899-12-30 counted from 1970-01-01.
constexpr std::int64_t kEpochOffsetDays = -25569;
constexpr double kSecondsPerDay = 86400.0;
// Day numbers beyond about +-2.7 million years are not dates.
constexpr double kMaxDayMagnitude = 1e9;

std::int64_t checkedDay(double dayNumber, const char *where)
{
    if (!std::isfinite(dayNumber) || std::fabs(dayNumber) > kMaxDayMagnitude)
        throw AstroError(std::string(where) +
                         ": значение даты и времени вне допустимого диапазона");
    return std::int64_t(dayNumber);
}

bool isLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

std::mutex g_zoneMutex;
std::shared_ptr<const TimeZoneProvider> g_zone;

} // namespace

double DateTime::dayNumber() const
{
    return value >= 0.0 ? std::floor(value) : std::trunc(value);
}

double DateTime::timeOfDay() const
{
    return value >= 0.0 ? value - std::floor(value) : -(value - std::trunc(value));
}

double DateTime::linear() const
{
    return dayNumber() + timeOfDay();
}

DateTime DateTime::fromLinear(double days)
{
    const double day = std::floor(days);
    const double time = days - day;
    return DateTime(day >= 0.0 ? day + time : day - time);
}

DateTime DateTime::fromFields(const DateFields &f)
{
    if (f.year < 100 || f.year > 9999 || f.month < 1 || f.month > 12 || f.day < 1 ||
        f.day > daysInMonth(f.year, f.month) || f.hour < 0 || f.hour > 23 || f.minute < 0 ||
        f.minute > 59 || f.second < 0 || f.second > 59)
        throw AstroError("неверная дата или время");
    const double day = double(daysFromCivil(f.year, f.month, f.day) - kEpochOffsetDays);
    const double time = (f.hour * 3600 + f.minute * 60 + f.second) / kSecondsPerDay;
    return DateTime(day >= 0.0 ? day + time : day - time);
}

DateTime DateTime::fromFields(int year, int month, int day, int hour, int minute, int second)
{
    return fromFields(DateFields{year, month, day, hour, minute, second});
}

DateFields DateTime::toFields() const
{
    const std::int64_t day = checkedDay(dayNumber(), "DateTime");
    std::int64_t seconds = std::llround(timeOfDay() * kSecondsPerDay);
    std::int64_t wholeDay = day;
    if (seconds >= 86400) {
        seconds -= 86400;
        ++wholeDay;
    }
    DateFields f;
    std::int64_t y = 0;
    civilFromDays(wholeDay + kEpochOffsetDays, y, f.month, f.day);
    f.year = int(y);
    f.hour = int(seconds / 3600);
    f.minute = int(seconds / 60 % 60);
    f.second = int(seconds % 60);
    return f;
}

DateFields DateTime::dateFields() const
{
    const std::int64_t day = checkedDay(dayNumber(), "DateTime");
    DateFields f;
    std::int64_t y = 0;
    civilFromDays(day + kEpochOffsetDays, y, f.month, f.day);
    f.year = int(y);
    return f;
}

TimeZoneProvider::~TimeZoneProvider() = default;

void setDefaultTimeZoneProvider(std::shared_ptr<const TimeZoneProvider> provider)
{
    std::lock_guard lock(g_zoneMutex);
    g_zone = std::move(provider);
}

std::shared_ptr<const TimeZoneProvider> defaultTimeZoneProvider()
{
    {
        std::lock_guard lock(g_zoneMutex);
        if (g_zone)
            return g_zone;
    }
    static const auto utc = std::make_shared<const FixedTimeZoneProvider>(0);
    return utc;
}

namespace mTime {

double DateToJD(DateTime d, bool beforeChrist, bool universalTime)
{
    mMath::Checked(d.value, "DateToJD");
    const DateFields f = d.dateFields();
    const double D = f.day;
    const double M = f.month;
    double Y = f.year;
    if (beforeChrist)
        Y = 1.0 - Y;
    const double a = std::trunc((14.0 - M) / 12.0);
    double J = D + std::floor(367.0 * (M + 12.0 * a - 2.0) / 12.0) +
               std::floor(1461.0 * (Y + 4800.0 - a) / 4.0) - 32113.0;
    if (J > 2299160.0)
        J -= std::floor(3.0 * std::floor((Y + 100.0 - a) / 100.0) / 4.0) - 2.0;
    const double jd = J - 0.5 + d.timeOfDay();
    if (universalTime)
        return jd;
    return jd + DeltaT(jd);
}

double DeltaT(double jd)
{
    mMath::Checked(jd, "DeltaT");
    const double y = (jd - 2451545.0) / 365.25 + 2000.0;
    const double yi = std::floor(y);
    double s = 0.0;
    if (yi < 948.0) {
        const double t = (y - 2000.0) / 100.0;
        s = 2177.0 + 497.0 * t + 44.1 * t * t;
    } else if (yi <= 1600.0) {
        const double t = (y - 2000.0) / 100.0;
        s = 102.0 + 102.0 * t + 25.3 * t * t;
    } else if (yi <= 1799.0) {
        const double t = (y - 1900.0) / 100.0;
        s = 24.349 + 72.318 * t + 29.95 * t * t;
    } else if (yi <= 1900.0) {
        const double t = (y - 1900.0) / 100.0;
        static constexpr double c[] = {-2.5,       228.95,     5218.61,    56282.84,
                                       324011.78,  1061660.75, 2087298.89, 2513807.78,
                                       1818961.41, 727058.63,  123563.95};
        for (int i = 10; i >= 0; --i)
            s = s * t + c[i];
    } else if (yi <= 1997.0) {
        const double t = (y - 1900.0) / 100.0;
        static constexpr double c[] = {-2.44,     87.24,      815.2,     -2637.8,    -18756.33,
                                       124906.15, -303191.19, 372919.88, -232424.66, 58353.42};
        for (int i = 9; i >= 0; --i)
            s = s * t + c[i];
    } else if (yi <= 2035.0) {
        const double t = (y - 2000.0) / 100.0;
        s = 65.0 + 76.15 * t + 41.6 * t * t;
    } else {
        const double t = (y - 2000.0) / 100.0;
        s = 69.3 + 123.5 * t + 32.5 * t * t;
    }
    return mMath::Checked(s / 86400.0, "DeltaT");
}

namespace {

// Seconds from 1970-01-01 00:00 of the clock reading `days` (days from 1899-12-30), rounded to the
// nearest second: a stored 01:00:00 is often 00:59:59.9999..., which must not read as the second
// before.
std::int64_t epochSeconds(double days, const char *where)
{
    const double s = std::round((days + double(kEpochOffsetDays)) * kSecondsPerDay);
    if (!std::isfinite(s) || std::fabs(s) > kMaxDayMagnitude * kSecondsPerDay)
        throw AstroError(std::string(where) +
                         ": значение даты и времени вне допустимого диапазона");
    return std::int64_t(s);
}

} // namespace

DateTime LocalToUT(DateTime local, const TimeZoneProvider &zone)
{
    const double l = local.linear();
    const std::int64_t ls = epochSeconds(l, "LocalToUT");
    // The offsets a day either side of the reading cover every transition that can affect it.
    const int before = zone.offsetSecondsAtUtc(ls - 86400);
    const int after = zone.offsetSecondsAtUtc(ls + 86400);
    int offset = before;
    if (before != after) {
        const bool beforeFits = zone.offsetSecondsAtUtc(ls - before) == before;
        const bool afterFits = zone.offsetSecondsAtUtc(ls - after) == after;
        if (beforeFits && afterFits)
            offset = std::max(before, after); // ambiguous: the first (earlier) instant
        else if (afterFits)
            offset = after;
        else
            offset = before; // in the gap (or on the earlier side): moves forward by the gap
    } else if (zone.offsetSecondsAtUtc(ls - before) != before) {
        offset = zone.offsetSecondsAtUtc(ls - before);
    }
    return DateTime::fromLinear(l - offset / kSecondsPerDay);
}

DateTime LocalToUT(DateTime local)
{
    return LocalToUT(local, *defaultTimeZoneProvider());
}

DateTime UTToLocal(DateTime ut, const TimeZoneProvider &zone)
{
    const double u = ut.linear();
    const int offset = zone.offsetSecondsAtUtc(epochSeconds(u, "UTToLocal"));
    return DateTime::fromLinear(u + offset / kSecondsPerDay);
}

DateTime UTToLocal(DateTime ut)
{
    return UTToLocal(ut, *defaultTimeZoneProvider());
}

} // namespace mTime
} // namespace kelmor::astro
