// cfftool's colour reduction: few colours are kept exactly, many are reduced to 256 palette
// entries that stay close to the picture, and mapping to a given palette takes the nearest entry.
#include "tools/cfftool/quantize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

using cff::Rgb;

Rgb Shown(const Palette6& p, std::uint8_t i) {
    return {cff::SixToEight(p.bytes[3 * i]), cff::SixToEight(p.bytes[3 * i + 1]),
            cff::SixToEight(p.bytes[3 * i + 2])};
}

TEST(ReduceColours, KeepsUpTo256ColoursExactly) {
    std::vector<Rgb> pixels;
    // 256 colours at 6 bits, each also present in a variant that differs only below 6 bits.
    for (int i = 0; i < 256; ++i) {
        const Rgb c{static_cast<std::uint8_t>(cff::SixToEight(i % 64)),
                    static_cast<std::uint8_t>(cff::SixToEight(i / 4)),
                    static_cast<std::uint8_t>(cff::SixToEight((i * 7) % 64))};
        pixels.push_back(c);
        pixels.push_back({static_cast<std::uint8_t>(c.r ^ 1), c.g, c.b});
    }
    const cff::Reduction r = cff::ReduceColours(pixels);
    EXPECT_TRUE(r.exact);
    EXPECT_EQ(r.distinctColours, 256u);
    for (std::size_t i = 0; i < pixels.size(); i += 2) EXPECT_EQ(Shown(r.palette, r.indices[i]), pixels[i]);
}

TEST(ReduceColours, ReducesManyColoursWithSmallError) {
    // A smooth picture of 128 x 128 colours: red across, green down, blue from both.
    std::vector<Rgb> pixels;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            pixels.push_back({static_cast<std::uint8_t>(2 * x), static_cast<std::uint8_t>(2 * y),
                              static_cast<std::uint8_t>(x + y)});
        }
    }
    const cff::Reduction r = cff::ReduceColours(pixels);
    EXPECT_FALSE(r.exact);
    EXPECT_GT(r.distinctColours, 256u);
    std::set<int> used(r.indices.begin(), r.indices.end());
    EXPECT_GT(used.size(), 200u) << "the palette is not being used";
    double squared = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const Rgb shown = Shown(r.palette, r.indices[i]);
        const int dr = shown.r - pixels[i].r, dg = shown.g - pixels[i].g, db = shown.b - pixels[i].b;
        squared += dr * dr + dg * dg + db * db;
    }
    // Root-mean-square error per pixel in 8-bit units. A fixed 6 x 7 x 6 palette cube gives 24 on
    // this picture; an adaptive 256-colour palette must do far better.
    EXPECT_LT(std::sqrt(squared / pixels.size()), 10.0);
}

TEST(MapToPalette, TakesTheNearestEntryAndTheLowestOnTies) {
    Palette6 palette{};
    for (int i = 0; i < 256; ++i) {
        palette.bytes[3 * i] = 63;
        palette.bytes[3 * i + 1] = 63;
        palette.bytes[3 * i + 2] = 63;
    }
    const std::uint8_t entries[][3] = {{0, 0, 0}, {63, 0, 0}, {0, 63, 0}, {0, 0, 63}, {63, 0, 0}};
    for (int i = 0; i < 5; ++i) std::copy(entries[i], entries[i] + 3, palette.bytes + 3 * (10 + i));
    const std::vector<Rgb> pixels = {{0, 0, 0}, {250, 10, 10}, {5, 240, 0}, {0, 0, 255}, {255, 255, 250}};
    EXPECT_EQ(cff::MapToPalette(pixels, palette), (std::vector<std::uint8_t>{10, 11, 12, 13, 0}));
}

}  // namespace
