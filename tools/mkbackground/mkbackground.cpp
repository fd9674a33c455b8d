// Paints the demo's credits background: a 640 × 480, 256-colour night scene (sky, moon, stars,
// two mountain ridges and a lake) that stays dark below row 140 so red text reads well over it.
// Writes an indexed PNG; `cfftool pack` turns it into demo/credback.cff.
// Usage: mkbackground OUT.png
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
// Index 1 is the clean red the credits text is drawn in; nothing in the picture uses it.
constexpr int kRed = 1;
constexpr int kSky = 2, kSkySteps = 96;         // 2..97
constexpr int kFar = 98, kFarSteps = 32;        // 98..129
constexpr int kNear = 130, kNearSteps = 32;     // 130..161
constexpr int kLake = 162, kLakeSteps = 32;     // 162..193
constexpr int kGlow = 194, kGlowSteps = 62;     // 194..255

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// A shade 0..1 of a ramp, dithered into `steps` indices from `base`.
int Shade(int base, int steps, double t, int x, int y) {
    double v = std::clamp(t, 0.0, 1.0) * (steps - 1) + (kBayer[y & 3][x & 3] / 16.0 - 0.47);
    return base + std::clamp(static_cast<int>(std::lround(v)), 0, steps - 1);
}

double Ridge(double x, double base, double a, double b, double c) {
    return base + a * std::sin(x * 0.011 + 1.3) + b * std::sin(x * 0.027 + 0.4) + c * std::sin(x * 0.071 + 2.1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkbackground OUT.png\n");
        return 2;
    }
    // The palette in 8-bit form; every component is a multiple of 4 so the 6-bit file form keeps it exactly.
    std::vector<Rgb> palette(256, Rgb{0, 0, 0});
    palette[kRed] = {252, 0, 0};
    for (int i = 0; i < kSkySteps; ++i)
        palette[kSky + i] = Mix(Rgb{4, 4, 28}, Rgb{76, 44, 96}, i / double(kSkySteps - 1));
    for (int i = 0; i < kFarSteps; ++i)
        palette[kFar + i] = Mix(Rgb{12, 14, 40}, Rgb{44, 40, 76}, i / double(kFarSteps - 1));
    for (int i = 0; i < kNearSteps; ++i)
        palette[kNear + i] = Mix(Rgb{0, 4, 8}, Rgb{12, 24, 32}, i / double(kNearSteps - 1));
    for (int i = 0; i < kLakeSteps; ++i)
        palette[kLake + i] = Mix(Rgb{0, 4, 16}, Rgb{36, 28, 64}, i / double(kLakeSteps - 1));
    for (int i = 0; i < kGlowSteps; ++i)
        palette[kGlow + i] = Mix(Rgb{60, 52, 92}, Rgb{252, 248, 224}, i / double(kGlowSteps - 1));

    std::vector<std::uint8_t> pixels(kWidth * kHeight);
    const double moonX = 470, moonY = 84, moonR = 34;
    const int horizon = 372;
    std::uint32_t seed = 12345;
    auto random = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / double(1 << 24);
    };
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            double far = Ridge(x, 292, 22, 14, 5);
            double near = Ridge(x * 1.3 + 200, 338, 16, 10, 4);
            int index;
            if (y >= horizon) {
                // The lake mirrors a dimmed sky, broken by ripples.
                double depth = (y - horizon) / double(kHeight - horizon);
                double ripple = 0.08 * std::sin(y * 1.7 + std::sin(x * 0.05) * 2.0);
                double mx = std::fabs(x - moonX);
                double glint = mx < 30 ? (1 - mx / 30) * 0.35 * (1 - depth) * (std::sin(y * 2.3) > 0.2) : 0.0;
                index = Shade(kLake, kLakeSteps, 0.55 - 0.5 * depth + ripple + glint, x, y);
            } else if (y >= near) {
                index = Shade(kNear, kNearSteps, 0.35 * (1 - (y - near) / 40.0) + 0.05 * std::sin(x * 0.3), x, y);
            } else if (y >= far) {
                index = Shade(kFar, kFarSteps, 0.7 * (1 - (y - far) / 60.0), x, y);
            } else {
                double d = std::hypot(x - moonX, (y - moonY) * 1.0);
                double t = std::pow(y / double(horizon), 1.4);
                if (d < moonR) {
                    double crater = 0.03 * std::sin(x * 0.21 + 1.0) * std::sin(y * 0.17);
                    index = Shade(kGlow, kGlowSteps, 0.92 - (d / moonR) * 0.15 + crater, x, y);
                } else if (d < moonR * 2.6) {
                    double glow = 1 - (d - moonR) / (moonR * 1.6);
                    index = Shade(kSky, kSkySteps, t + glow * glow * 0.9, x, y);
                } else {
                    index = Shade(kSky, kSkySteps, t, x, y);
                }
            }
            pixels[y * kWidth + x] = static_cast<std::uint8_t>(index);
        }
    }
    // Stars, thinning towards the horizon and away from the moon.
    for (int i = 0; i < 420; ++i) {
        int x = static_cast<int>(random() * kWidth), y = static_cast<int>(std::pow(random(), 1.6) * 260);
        if (y >= Ridge(x, 292, 22, 14, 5) - 4 || std::hypot(x - moonX, y - moonY) < moonR * 2.8) continue;
        double bright = random();
        pixels[y * kWidth + x] = static_cast<std::uint8_t>(kGlow + 10 + static_cast<int>(bright * 50));
        if (bright > 0.93 && x > 0 && x < kWidth - 1 && y > 0) {
            pixels[y * kWidth + x - 1] = pixels[y * kWidth + x + 1] = pixels[(y - 1) * kWidth + x] =
                static_cast<std::uint8_t>(kGlow + 8);
        }
    }

    FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        std::fprintf(stderr, "mkbackground: cannot write %s\n", argv[1]);
        return 1;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color colours[256];
    for (int i = 0; i < 256; ++i) {
        // Kept to multiples of 4, the steps a 6-bit palette can hold.
        auto q = [](double v) { return static_cast<png_byte>(std::clamp(static_cast<int>(v) / 4 * 4, 0, 252)); };
        colours[i] = png_color{q(palette[i].r), q(palette[i].g), q(palette[i].b)};
    }
    png_set_PLTE(png, info, colours, 256);
    png_write_info(png, info);
    for (int y = 0; y < kHeight; ++y) png_write_row(png, &pixels[y * kWidth]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
    return 0;
}
