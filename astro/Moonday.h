#pragma once

// New moons and Brown lunation numbers. The instants are terrestrial time read as universal
// time (about a minute late in the present era).

#include "astro/mTime.h"

#include <cstdint>

namespace kelmor::astro::Moonday {

// What LastNewMoon and NextNewMoon raise for a new moon that no date-time value can hold.
inline constexpr const char *kNewMoonOutOfRange =
    "новолуние выходит за пределы дат, с которыми работает программа (100–9999 годы)";

// The new moon that begins the lunation containing d (d read as universal time). Both raise
// AstroError (kNewMoonOutOfRange) when the new moon falls outside the years 100 to 9999.
DateTime LastNewMoon(DateTime d);
// The first new moon after d.
DateTime NextNewMoon(DateTime d);
// Brown lunation number n: new moon n at or before d (half a second of tolerance), n + 1 after.
std::int32_t LunationNumber(DateTime d);
// JDE of a phase (0 new moon, 1 first quarter, 2 full moon, 3 last quarter) of lunation n.
double PhaseJDE(std::int32_t n, std::int16_t phase);

double DateToJDPlain(DateTime d);
// 0 (1899-12-30 00:00) outside the valid range.
DateTime JDToDate(double jd);
bool IsValidJD(double jd);
// x - m * trunc(x / m).
double ModReal(double x, double m);
double AngleToRad(double angle);

} // namespace kelmor::astro::Moonday
