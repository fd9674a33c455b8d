// Cost of a whole palette fade's arithmetic, 256 steps over 256 entries, with the 32 vertical-blank
// waits and palette writes taken out (the publisher does nothing).
#include <benchmark/benchmark.h>

#include "gfx/gfx.h"

namespace {

void Discard(const PALETTEENTRY* entries, void*) {
    benchmark::DoNotOptimize(entries);
}

void BM_FadeComputation(benchmark::State& state) {
    PALETTEENTRY amounts[256];
    for (int i = 0; i < 256; ++i) {
        amounts[i] =
            PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 7), 0};
    }
    for (auto _ : state) {
        PALETTEENTRY current[256] = {};
        RunPaletteFade(amounts, current, true, Discard, nullptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FadeComputation)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

}  // namespace
