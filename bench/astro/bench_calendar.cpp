// One full lunar-day computation as the calendar makes it (weekday and day texts, both new
// moons, the moonrise searches, the lunar day), at Moscow.

#include "calendar/location.h"
#include "calendar/lunarday.h"

#include "astro/mTime.h"

#include <benchmark/benchmark.h>

using namespace kelmor;

namespace {

void BM_CalendarCalculate(benchmark::State &state)
{
    const calendar::Location moscow; // the default place
    const astro::FixedTimeZoneProvider zone(3 * 3600);
    double moment = astro::DateTime::fromFields(2025, 3, 14, 12).value;
    std::size_t boundaries = 0;
    for (auto _ : state) {
        const auto result = calendar::Calculate(astro::DateTime(moment), moscow, zone);
        boundaries = result ? result->moon.boundaries.size() : 0;
        benchmark::DoNotOptimize(boundaries);
        moment += 1.7;
    }
    state.counters["boundaries"] = double(boundaries);
}
BENCHMARK(BM_CalendarCalculate)->Unit(benchmark::kMillisecond);

} // namespace
