// Cost of one DrawTextA of a full 1,900-byte credits text into a 640 × 480 8-bit buffer, as each
// credits frame does it: centred, word-wrapped, clipped to rows 140..478. Glyphs are cached after
// the first call, so this is the layout and the drawing alone.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/surface_target.h"

namespace {

// Credits-like text: headings, names, blank lines and paragraphs long enough to wrap.
std::string CreditsText() {
    const char* pieces[] = {
        "Closing Credits\r\n\r\n",
        "Programming\r\nA. Person\r\nB. Person\r\n\r\n",
        "This program plays the closing credits over a background picture, scrolling the text upward two "
        "pixels a frame and starting again from below once all of it has passed. \r\n\r\n",
        "Graphics toolkit, run-length codec and image loaders & palette fades by the same small team, "
        "with thanks to everyone who tested it on their own machines.\r\n\r\n",
        "Fonts\r\nLiberation Sans, SIL Open Font License\r\n\r\n",
    };
    std::string text;
    for (int i = 0; text.size() < 1900; ++i) text += pieces[i % 5];
    text.resize(1900);
    return text;
}

void BM_DrawCreditsText(benchmark::State& state) {
    std::vector<std::uint8_t> pixels(640 * 480, 7);
    platform::SurfaceTarget target;
    target.pixels = pixels.data();
    target.pitch = 640;
    target.width = 640;
    target.height = 480;
    target.readPalette = [](std::uint32_t* colours) {
        for (int i = 0; i < 256; ++i) colours[i] = static_cast<std::uint32_t>(i * 0x010101);
        colours[40] = 0xFF0000;
        return true;
    };
    HDC dc = platform::CreateSurfaceDC(target);
    HFONT font =
        CreateFontA(28, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    NONANTIALIASED_QUALITY, VARIABLE_PITCH | FF_DONTCARE, "Arial");
    if (!font) {
        state.SkipWithError("Arial (fonts-liberation2) is not installed");
        return;
    }
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 0, 0));
    HRGN region = CreateRectRgn(0, 140, 639, 479);
    SelectClipRgn(dc, region);
    DeleteObject(region);

    const std::string text = CreditsText();
    const LONG top = static_cast<LONG>(state.range(0));
    RECT warm{0, top, 639, 479};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &warm, DT_CENTER | DT_WORDBREAK);
    for (auto _ : state) {
        RECT rect{0, top, 639, 479};
        benchmark::DoNotOptimize(
            DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_CENTER | DT_WORDBREAK));
        benchmark::ClobberMemory();
    }
    platform::DestroySurfaceDC(dc);
    DeleteObject(font);
}

// 140: the text fills the whole visible area; -30000: the measuring pass, everything clipped away.
BENCHMARK(BM_DrawCreditsText)
    ->Arg(140)
    ->Arg(-30000)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
