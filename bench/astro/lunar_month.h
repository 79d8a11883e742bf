#pragma once

// The engine calls of one lunar-day computation: both new moons around a moment and the
// moonrise search for every universal-time day from the new moon's day to one day past the
// next new moon (about 31 searches, 800 Moon positions).

#include "astro/Moonday.h"
#include "astro/mRiseSet.h"

#include <cmath>

namespace kelmor::astro::bench {

inline const Observer kMoscow{55.75, 37.5833};

// Returns the number of moonrise searches made; `sink` collects the results.
inline int lunarMonth(DateTime ut, const Observer &observer, double &sink)
{
    const DateTime L = Moonday::LastNewMoon(ut);
    const DateTime N = Moonday::NextNewMoon(ut);
    int searches = 0;
    for (double day = std::floor(L.linear()); day <= std::floor(N.linear()) + 1.0; day += 1.0) {
        const RiseSetTimes r = mRiseSet::RiseSet(DateTime(day), observer, kMoon);
        sink += r.rise;
        ++searches;
    }
    return searches;
}

} // namespace kelmor::astro::bench
