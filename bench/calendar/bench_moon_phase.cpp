// Drawing one phase picture as the calendar shows it (drawn at four times the size, black keyed
// out, scaled down), at the device pixel ratios of ordinary and high-density screens. The phase
// animation asks for a new one every 100 ms.
#include "calendar/moon_phase.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

namespace {

void BM_PhasePixmap(benchmark::State &state)
{
    const qreal ratio = qreal(state.range(0)) / 100.0;
    int picture = 1;
    for (auto _ : state) {
        QPixmap pixmap = kelmor::calendar::phasePixmap(picture, 32, ratio);
        benchmark::DoNotOptimize(pixmap);
        picture = picture % kelmor::calendar::kPhasePictureCount + 1;
    }
}
BENCHMARK(BM_PhasePixmap)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    // Pixmaps need a GUI application; no display is used.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
