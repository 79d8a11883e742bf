// One full lunar-day computation as the calendar runs it: both new moons, one RiseSet per day
// of the lunation, the boundary list and the search, at Moscow.
#include "calendar/lunarday.h"
#include "platform/qt_timezone.h"

#include <benchmark/benchmark.h>

#include <QTimeZone>

using namespace kelmor::calendar;

namespace {

// A new moment on each run (1.7 days on), so that every lunation phase is measured.
void BM_CalculateFixedZone(benchmark::State &state)
{
    const kelmor::astro::FixedTimeZoneProvider zone(3 * 3600);
    const Location moscow;
    double moment = DateTime::fromFields(2025, 3, 14, 12).value;
    std::size_t boundaries = 0;
    for (auto _ : state) {
        const auto result = Calculate(DateTime(moment), moscow, zone);
        boundaries = result ? result->moon.boundaries.size() : 0;
        benchmark::DoNotOptimize(boundaries);
        moment += 1.7;
    }
    state.counters["boundaries"] = double(boundaries);
}
BENCHMARK(BM_CalculateFixedZone)->Unit(benchmark::kMillisecond);

// The same with the zone rules of Europe/Moscow through QTimeZone, as the program runs it.
void BM_CalculateQtZone(benchmark::State &state)
{
    const kelmor::platform::QtTimeZoneProvider zone(QTimeZone("Europe/Moscow"));
    const Location moscow;
    const DateTime moment = DateTime::fromFields(2024, 7, 20, 12, 0, 0);
    for (auto _ : state) {
        auto r = Calculate(moment, moscow, zone);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_CalculateQtZone)->Unit(benchmark::kMillisecond);

} // namespace
