// One full lunar-day computation as the calendar runs it: both new moons, one RiseSet per day
// of the lunation, the boundary list and the search.
#include "calendar/lunarday.h"
#include "platform/qt_timezone.h"

#include <benchmark/benchmark.h>

#include <QTimeZone>

using namespace kelmor::calendar;

namespace {

const DateTime kMoment = DateTime::fromFields(2024, 7, 20, 12, 0, 0);

void BM_CalculateFixedZone(benchmark::State &state)
{
    const kelmor::astro::FixedTimeZoneProvider zone(3 * 3600);
    const Location moscow;
    for (auto _ : state) {
        auto r = Calculate(kMoment, moscow, zone);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_CalculateFixedZone)->Unit(benchmark::kMillisecond);

// The same with the zone rules of Europe/Moscow through QTimeZone, as the program runs it.
void BM_CalculateQtZone(benchmark::State &state)
{
    const kelmor::platform::QtTimeZoneProvider zone(QTimeZone("Europe/Moscow"));
    const Location moscow;
    for (auto _ : state) {
        auto r = Calculate(kMoment, moscow, zone);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_CalculateQtZone)->Unit(benchmark::kMillisecond);

} // namespace
