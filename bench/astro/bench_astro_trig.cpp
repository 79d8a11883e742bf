// How many sine and cosine calls one lunar-day computation makes (the engine built with its
// counting trigonometry), and how long that many calls take alone: the floor for the engine.

#include "bench/astro/lunar_month.h"

#include "astro/trig.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

using namespace kelmor::astro;

namespace {

std::uint64_t callsPerComputation()
{
    static const std::uint64_t calls = [] {
        double sink = 0.0;
        const std::uint64_t before = trig::sinCosCalls;
        bench::lunarMonth(DateTime::fromFields(2025, 3, 14, 12), bench::kMoscow, sink);
        benchmark::DoNotOptimize(sink);
        return trig::sinCosCalls - before;
    }();
    return calls;
}

void BM_LunarMonthCounted(benchmark::State &state)
{
    double moment = DateTime::fromFields(2025, 3, 14, 12).value;
    double sink = 0.0;
    for (auto _ : state) {
        bench::lunarMonth(DateTime(moment), bench::kMoscow, sink);
        moment += 1.7;
    }
    benchmark::DoNotOptimize(sink);
    state.counters["sinCosCalls"] = double(callsPerComputation());
}
BENCHMARK(BM_LunarMonthCounted)->Unit(benchmark::kMillisecond);

// The same number of sine and cosine calls on arguments of the engine's size, nothing else.
void BM_SinCosFloor(benchmark::State &state)
{
    const std::uint64_t n = callsPerComputation();
    double x = 0.1;
    for (auto _ : state) {
        double acc = 0.0;
        for (std::uint64_t i = 0; i < n; i += 2) {
            acc += std::sin(x);
            acc += std::cos(x * 1.37);
            x += 0.731;
            if (x > 60.0)
                x -= 59.0;
        }
        benchmark::DoNotOptimize(acc);
    }
    state.counters["sinCosCalls"] = double(n);
}
BENCHMARK(BM_SinCosFloor)->Unit(benchmark::kMillisecond);

} // namespace
