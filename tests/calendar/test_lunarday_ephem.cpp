// Lunar-day boundaries against an independent ephemeris (PyEphem, through
// ephem_lunation.py): the same number of moonrises between the same new moons, each within a
// few minutes.
#include "calendar/lunarday.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace kelmor::calendar;
using kelmor::astro::FixedTimeZoneProvider;

namespace {

struct Place
{
    const char *name;
    double latitude, longitude;
    int offsetHours; // the place's own fixed offset (no daylight saving time in 2024)
};

// New moons: ours are terrestrial time read as universal time, about 70 s late in these years.
constexpr double kNewMoonToleranceMinutes = 2.5;
constexpr double kMoonriseToleranceMinutes = 3.0;

std::string python()
{
    // Debian's interpreter, which has python3-ephem; another python3 first on PATH may not.
    return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

// Rows of universal-time day counts, one row per moment.
std::vector<std::vector<double>> reference(const Place &p, const std::vector<double> &moments)
{
    std::ostringstream cmd;
    cmd.precision(10);
    cmd << python() << " '" << KELMOR_EPHEM_SCRIPT << "' " << p.latitude << ' ' << p.longitude;
    for (double m : moments)
        cmd << ' ' << m;
    std::vector<std::vector<double>> rows;
    const std::unique_ptr<FILE, int (*)(FILE *)> pipe(popen(cmd.str().c_str(), "r"), pclose);
    if (!pipe)
        return rows;
    std::string text;
    char buf[4096];
    while (std::fgets(buf, sizeof buf, pipe.get()))
        text += buf;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream values(line);
        std::vector<double> row;
        for (double v; values >> v;)
            row.push_back(v);
        rows.push_back(row);
    }
    return rows;
}

} // namespace

TEST(LunarDayEphemeris, BoundariesAgreeWithPyEphem)
{
    const Place places[] = {
        {"Moscow", 55.75, 37.5833, 3},
        {"Novosibirsk", 55.0333, 82.9167, 7},
        {"Buenos Aires", -34.6, -58.45, -3},
        {"Vladivostok", 43.1167, 131.9, 10},
    };
    // Moments in universal time: 2024-02-20, 2024-06-20 and 2024-10-20 at 12:00.
    const std::vector<DateTime> moments = {DateTime::fromFields(2024, 2, 20, 12),
                                           DateTime::fromFields(2024, 6, 20, 12),
                                           DateTime::fromFields(2024, 10, 20, 12)};
    std::vector<double> linear;
    for (DateTime m : moments)
        linear.push_back(m.linear());

    double worstNewMoon = 0, worstRise = 0;
    for (const Place &p : places) {
        SCOPED_TRACE(p.name);
        const auto rows = reference(p, linear);
        ASSERT_EQ(rows.size(), moments.size()) << "ephem_lunation.py did not answer: is "
                                                  "python3-ephem installed?";
        // The place's local time, so that the scan of universal-time days from local dates is
        // exercised; the boundaries go back to universal time with the same offset.
        const FixedTimeZoneProvider zone(p.offsetHours * 3600);
        const double offsetDays = p.offsetHours / 24.0;
        Location where;
        where.latitude = std::llround(p.latitude * kFixedScale);
        where.longitude = std::llround(p.longitude * kFixedScale);
        double placeRise = 0;
        for (std::size_t i = 0; i < moments.size(); ++i) {
            const MoonListResult r = MoonList(moments[i], where, zone);
            const auto &ref = rows[i];
            ASSERT_EQ(r.boundaries.size(), ref.size()) << "lunation of moment " << i;
            for (std::size_t k = 0; k < ref.size(); ++k) {
                const double minutes = (r.boundaries[k].linear() - offsetDays - ref[k]) * 1440.0;
                const bool newMoon = k == 0 || k + 1 == ref.size();
                if (newMoon) {
                    // Late by delta-T, never early.
                    EXPECT_GT(minutes, 0.0) << "new moon " << k;
                    EXPECT_LT(minutes, kNewMoonToleranceMinutes) << "new moon " << k;
                    worstNewMoon = std::max(worstNewMoon, std::fabs(minutes));
                } else {
                    EXPECT_LT(std::fabs(minutes), kMoonriseToleranceMinutes) << "moonrise " << k;
                    placeRise = std::max(placeRise, std::fabs(minutes));
                }
            }
        }
        worstRise = std::max(worstRise, placeRise);
        std::printf("%-12s largest moonrise difference %.2f min\n", p.name, placeRise);
    }
    std::printf("largest new-moon difference %.2f min, largest moonrise difference %.2f min\n",
                worstNewMoon, worstRise);
    RecordProperty("largest_new_moon_difference_seconds", int(std::lround(worstNewMoon * 60)));
    RecordProperty("largest_moonrise_difference_seconds", int(std::lround(worstRise * 60)));
}
