// Presenting a frame: our one-pass 8-bit → 32-bit conversion and scaling, against SDL's own
// 8 → 32-bit blits of the same picture, in one run.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/backend/sdl/present.h"

namespace {

struct Picture {
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(640 * 480);
    std::uint32_t palette[256];
    Picture() {
        for (int i = 0; i < 640 * 480; ++i) pixels[i] = static_cast<std::uint8_t>((i * 7 + i / 640) & 0xFF);
        for (int i = 0; i < 256; ++i) palette[i] = static_cast<std::uint32_t>(i * 0x010101);
    }
};

void Ours(benchmark::State& state, int width, int height) {
    Picture picture;
    platform::ScaleMap map;
    platform::BuildScaleMap(&map, 640, 480, width, height);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * 4);
    platform::PictureView view{picture.pixels.data(), 640, 640, 480, picture.palette};
    for (auto _ : state) {
        platform::ConvertScaled(view, picture.palette, map, out.data(), width * 4);
        benchmark::DoNotOptimize(out.data());
    }
}

void Sdl(benchmark::State& state, int width, int height) {
    Picture picture;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(picture.pixels.data(), 640, 480, 8, 640,
                                                             SDL_PIXELFORMAT_INDEX8);
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = SDL_Color{Uint8(i), Uint8(i), Uint8(i), 255};
    SDL_SetPaletteColors(source->format->palette, colours, 0, 256);
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_XRGB8888);
    // SDL converts and scales in two passes: an 8 → 32-bit blit, then a nearest-neighbour stretch.
    SDL_Surface* converted = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 32, SDL_PIXELFORMAT_XRGB8888);
    SDL_Rect whole{0, 0, width, height};
    for (auto _ : state) {
        if (width == 640) {
            SDL_BlitSurface(source, nullptr, target, nullptr);
        } else {
            SDL_BlitSurface(source, nullptr, converted, nullptr);
            if (SDL_SoftStretch(converted, nullptr, target, &whole) != 0) state.SkipWithError(SDL_GetError());
        }
        benchmark::DoNotOptimize(target->pixels);
    }
    SDL_FreeSurface(converted);
    SDL_FreeSurface(target);
    SDL_FreeSurface(source);
}

void BM_PresentConvert_640x480(benchmark::State& s) { Ours(s, 640, 480); }
void BM_PresentConvertScale_1024x768(benchmark::State& s) { Ours(s, 1024, 768); }
void BM_PresentConvertScale_1920x1440(benchmark::State& s) { Ours(s, 1920, 1440); }
void BM_SdlBlit8to32_640x480(benchmark::State& s) { Sdl(s, 640, 480); }
void BM_SdlBlitThenStretch_1024x768(benchmark::State& s) { Sdl(s, 1024, 768); }

BENCHMARK(BM_PresentConvert_640x480)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlBlit8to32_640x480)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentConvertScale_1024x768)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlBlitThenStretch_1024x768)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentConvertScale_1920x1440)->Unit(benchmark::kMicrosecond);

}  // namespace
