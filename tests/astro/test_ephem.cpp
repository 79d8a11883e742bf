// Comparison with an independent ephemeris (PyEphem, run through tests/astro/ephem_reference.py):
// new moons and moonrises over one year at Moscow, Novosibirsk and Buenos Aires.

#include "astro/Moonday.h"
#include "astro/mRiseSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace kelmor::astro;

namespace {

constexpr int kYear = 2024;

struct Reference
{
    bool available = false;
    std::vector<double> newMoons;                     // date-time values, UT
    std::map<std::string, std::vector<double>> rises; // by site
};

std::string scriptPath()
{
    if (const char *dir = std::getenv("KELMOR_SOURCE_DIR"))
        return std::string(dir) + "/tests/astro/ephem_reference.py";
    return KELMOR_ASTRO_TEST_DIR "/ephem_reference.py";
}

double fromUnixSeconds(double s)
{
    return s / 86400.0 + 25569.0;
}

// Runs the reference script once for the whole test program.
const Reference &reference()
{
    static const Reference ref = [] {
        Reference r;
        // The system interpreter carries the Debian package; a private one may not.
        const std::string python =
            std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        const std::string cmd = python + " '" + scriptPath() + "' " + std::to_string(kYear);
        FILE *pipe = popen(cmd.c_str(), "r");
        if (!pipe)
            return r;
        std::string out;
        char buf[4096];
        size_t n = 0;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
            out.append(buf, n);
        const int status = pclose(pipe);
        if (status != 0)
            return r;
        std::istringstream in(out);
        std::string kind;
        while (in >> kind) {
            if (kind == "NEWMOON") {
                double s = 0;
                in >> s;
                r.newMoons.push_back(fromUnixSeconds(s));
            } else if (kind == "RISE") {
                std::string site;
                double s = 0;
                in >> site >> s;
                r.rises[site].push_back(fromUnixSeconds(s));
            }
        }
        r.available = !r.newMoons.empty() && r.rises.size() == 3;
        return r;
    }();
    return ref;
}

#define REQUIRE_REFERENCE()                                                                        \
    if (!reference().available)                                                                    \
    GTEST_SKIP() << "python3-ephem is not available"

TEST(AstroEphemeris, NewMoonsAgreeWithinMinutes)
{
    REQUIRE_REFERENCE();
    double largest = 0.0;
    double smallest = 1e9;
    int compared = 0;
    for (double e : reference().newMoons) {
        const DateFields f = DateTime(e).toFields();
        if (f.year != kYear)
            continue;
        // Our instants are terrestrial time read as universal time: about 69 s late in 2024.
        const double ours = Moonday::LastNewMoon(DateTime(e + 0.5)).value;
        const double diff = (ours - e) * 86400.0;
        largest = std::max(largest, diff);
        smallest = std::min(smallest, diff);
        EXPECT_NEAR(diff, 69.0, 60.0) << f.month << "/" << f.day;
        ++compared;
    }
    EXPECT_GE(compared, 12);
    std::printf("new moons %d: ours minus ephemeris from %.1f s to %.1f s\n", compared, smallest,
                largest);
    RecordProperty("newMoonLargestSeconds", std::to_string(largest));
}

TEST(AstroEphemeris, MoonrisesAgreeWithinMinutesAtThreePlaces)
{
    REQUIRE_REFERENCE();
    const struct
    {
        const char *site;
        Observer observer;
    } sites[] = {{"moscow", {55.75, 37.5833}},
                 {"novosibirsk", {55.0333, 82.9167}},
                 {"buenos_aires", {-34.6, -58.45}}};
    const double first = DateTime::fromFields(kYear, 1, 1).value;
    const double last = DateTime::fromFields(kYear + 1, 1, 1).value;
    for (const auto &s : sites) {
        std::vector<double> ours;
        for (double day = first; day < last; day += 1.0) {
            const RiseSetTimes r = mRiseSet::RiseSet(DateTime(day), s.observer, kMoon);
            if (r.rise > 1.0)
                ours.push_back(r.rise);
        }
        const std::vector<double> &theirs = reference().rises.at(s.site);
        const auto nearest = [](const std::vector<double> &list, double t) {
            double best = 1e9;
            for (double v : list)
                best = std::min(best, std::fabs(v - t));
            return best * 1440.0;
        };
        double largest = 0.0;
        int compared = 0;
        for (double t : theirs) {
            if (t < first || t >= last)
                continue;
            // A rise within minutes of 00:00 UT may fall to either day's search.
            const double minuteOfDay = (t - std::floor(t)) * 1440.0;
            const double d = nearest(ours, t);
            if (d > 5.0 && (minuteOfDay < 10.0 || minuteOfDay > 1430.0))
                continue;
            EXPECT_LT(d, 5.0) << s.site << " ephemeris rise at " << t;
            largest = std::max(largest, d);
            ++compared;
        }
        // No rise of ours is missing from the reference.
        for (double t : ours)
            EXPECT_LT(nearest(theirs, t), 5.0) << s.site << " our rise at " << t;
        EXPECT_GT(compared, 340) << s.site;
        std::printf("%s: %d moonrises, largest difference %.2f min\n", s.site, compared, largest);
        RecordProperty(std::string(s.site) + "LargestMinutes", std::to_string(largest));
    }
}

} // namespace
