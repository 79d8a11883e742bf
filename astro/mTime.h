#pragma once

// The program's date-time value, Julian Day conversions with delta-T, and the conversion
// between local clock time and universal time.

#include <cstdint>
#include <memory>

namespace kelmor::astro {

// Calendar fields of a date-time value (proleptic Gregorian calendar).
struct DateFields
{
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A date-time value: days counted from 1899-12-30 00:00, the fraction being the time of day.
// Days before 1899-12-30 count backwards with the time of day subtracted, so -1.25 is
// 1899-12-29 06:00. Local or universal time as each operation says.
struct DateTime
{
    double value = 0.0;

    constexpr DateTime() = default;
    constexpr explicit DateTime(double v)
        : value(v)
    {
    }

    // Whole day number relative to 1899-12-30 (negative before it).
    double dayNumber() const;
    // Time of day as a fraction of a day, in [0, 1).
    double timeOfDay() const;
    // The instant as a plain, continuous count of days from 1899-12-30 00:00.
    double linear() const;
    static DateTime fromLinear(double days);

    // Valid fields: year 100 to 9999, real month/day, 0-23, 0-59, 0-59; otherwise AstroError.
    static DateTime fromFields(const DateFields &f);
    static DateTime fromFields(int year, int month, int day, int hour = 0, int minute = 0,
                               int second = 0);
    // Fields rounded to the whole second.
    DateFields toFields() const;
    // Fields of the day alone (time of day ignored).
    DateFields dateFields() const;

    friend bool operator==(DateTime a, DateTime b) { return a.value == b.value; }
};

// Offset of local clock time from universal time (local = UT + offset) at a given instant.
class TimeZoneProvider
{
public:
    virtual ~TimeZoneProvider();
    virtual int offsetSecondsAtUtc(std::int64_t utcEpochSeconds) const = 0;
};

// Provider with one fixed offset (UTC when 0).
class FixedTimeZoneProvider : public TimeZoneProvider
{
public:
    explicit FixedTimeZoneProvider(int offsetSeconds)
        : m_offset(offsetSeconds)
    {
    }
    int offsetSecondsAtUtc(std::int64_t) const override { return m_offset; }

private:
    int m_offset;
};

// The process-wide provider used by the overloads without one; UTC until the application sets
// the system zone. Passing nullptr restores UTC.
void setDefaultTimeZoneProvider(std::shared_ptr<const TimeZoneProvider> provider);
std::shared_ptr<const TimeZoneProvider> defaultTimeZoneProvider();

namespace mTime {

// Julian Day (universalTime set) or Julian Ephemeris Day (JD + DeltaT) of a date-time value.
// beforeChrist: the year is read as 1 - year (no caller sets it).
double DateToJD(DateTime d, bool beforeChrist = false, bool universalTime = false);

// Delta-T in days for a JD (or JDE).
double DeltaT(double jd);

// Local clock time to universal time with the offset in force at that instant. A local time in
// a spring gap moves forward by the gap; an ambiguous autumn time takes its first occurrence.
DateTime LocalToUT(DateTime local, const TimeZoneProvider &zone);
DateTime LocalToUT(DateTime local);
// Universal time to local clock time.
DateTime UTToLocal(DateTime ut, const TimeZoneProvider &zone);
DateTime UTToLocal(DateTime ut);

} // namespace mTime
} // namespace kelmor::astro
