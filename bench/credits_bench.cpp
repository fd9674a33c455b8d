// One whole credits frame on the headless display: the loss test, the background copy under the
// lock, the layout and drawing of the demo's text, and the flip.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "app/credits.h"
#include "app/display.h"
#include "app/main_loop.h"
#include "platform/harness/harness.h"

namespace {

void BM_DrawCreditsFrame(benchmark::State& state) {
    harness::Start();
    ResetApplicationState();
    ResetDisplayState();
    ResetCreditsState();
    if (chdir(VEXMOOR_SOURCE_DIR "/demo") != 0) {
        state.SkipWithError("no demo folder");
        return;
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = MainWindowProc;
    wc.lpszClassName = "VEXMOR";
    RegisterClassA(&wc);
    mainWindow = CreateWindowExA(0, "VEXMOR", "Vexmoor", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                                 nullptr, nullptr);
    InitDisplay(mainWindow);
    InitCredits();
    SetPalette6(backgroundPalette);
    harness::Stop();  // no tracing while timing
    scrollY = 300;
    for (auto _ : state) {
        DrawCreditsFrame();
        if (scrollY < 140) scrollY = 300;  // keep the text on screen, drawn in full
    }
    DestroyWindow(mainWindow);
}
BENCHMARK(BM_DrawCreditsFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
