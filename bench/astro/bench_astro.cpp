// Speed of the engine's hot paths: one Moon position, one apparent position, one rise/set
// search, and the whole set of engine calls behind one lunar-day computation.

#include "bench/astro/lunar_month.h"

#include "astro/mCorrection.h"
#include "astro/mMoon.h"

#include <benchmark/benchmark.h>

using namespace kelmor::astro;

namespace {

constexpr double kJde = 2460676.5; // 2025-01-01

void BM_MoonPosition(benchmark::State &state)
{
    double jde = kJde;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mMoon::MoonPosition(jde));
        jde += 0.01;
    }
}
BENCHMARK(BM_MoonPosition);

void BM_ApparentPositionMoon(benchmark::State &state)
{
    double jde = kJde;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mCorrection::ApparentPosition(jde, kMoon));
        jde += 0.01;
    }
}
BENCHMARK(BM_ApparentPositionMoon);

void BM_RiseSetMoon(benchmark::State &state)
{
    double day = DateTime::fromFields(2025, 1, 1).value;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mRiseSet::RiseSet(DateTime(day), bench::kMoscow, kMoon));
        day += 1.0;
    }
}
BENCHMARK(BM_RiseSetMoon);

void BM_LunarMonthEngineCalls(benchmark::State &state)
{
    double moment = DateTime::fromFields(2025, 3, 14, 12).value;
    double sink = 0.0;
    int searches = 0;
    for (auto _ : state) {
        searches = bench::lunarMonth(DateTime(moment), bench::kMoscow, sink);
        moment += 1.7;
    }
    benchmark::DoNotOptimize(sink);
    state.counters["riseSetCalls"] = searches;
}
BENCHMARK(BM_LunarMonthEngineCalls)->Unit(benchmark::kMillisecond);

} // namespace
