// Copying a full-screen bitmap into an 8-bit off-screen surface with CopyBitmapToSurface: an
// 8-bit bitmap (its colours matched once per palette entry) and a 24-bit one with a different
// colour at almost every pixel (the nearest-colour search per distinct colour is the cost).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "gfx/gfx.h"
#include "platform/gdi.h"
#include "platform/harness/harness.h"
#include "tests/support/bmp_builder.h"

namespace {

void CopyFullScreen(benchmark::State& state, int bitCount) {
    harness::Start();
    IDirectDraw* ddraw = nullptr;
    DirectDrawCreate(nullptr, &ddraw, nullptr);
    testbmp::BmpLayout description;
    description.width = 640, description.height = 480, description.bitCount = bitCount;
    description.pixel = [bitCount](int x, int y) {
        return bitCount == 8 ? std::uint32_t((x + y) & 0xFF)
                             : std::uint32_t((x & 0xFF) << 16 | (y & 0xFF) << 8 | ((x + 3 * y) & 0xFF));
    };
    std::string path = (std::filesystem::temp_directory_path() / "vexmoor_bench.bmp").string();
    std::vector<std::uint8_t> bytes = testbmp::Build(description);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    IDirectDrawSurface* surface = LoadBitmapSurface(ddraw, path.c_str(), 0, 0);
    IDirectDrawPalette* palette = LoadBitmapPalette(ddraw, nullptr);
    surface->SetPalette(palette);
    auto bitmap = reinterpret_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_LOADFROMFILE));
    harness::Stop();  // no tracing while measuring
    for (auto _ : state) benchmark::DoNotOptimize(CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0));
    DeleteObject(bitmap);
    palette->Release();
    surface->Release();
    ddraw->Release();
    std::filesystem::remove(path);
}

void BM_CopyBitmap8BitToSurface(benchmark::State& state) {
    CopyFullScreen(state, 8);
}
void BM_CopyBitmap24BitToSurface(benchmark::State& state) {
    CopyFullScreen(state, 24);
}

BENCHMARK(BM_CopyBitmap8BitToSurface)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyBitmap24BitToSurface)->Unit(benchmark::kMillisecond);

}  // namespace
