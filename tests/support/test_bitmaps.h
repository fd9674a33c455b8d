// The bitmaps compiled into the test binary as resources (by tests/resources), described once so
// the generator writes them and the tests know what they hold.
#pragma once

#include <string>
#include <vector>

#include "tests/support/bmp_builder.h"

namespace testbmp {

struct Named {
    std::string name;
    BmpLayout description;
};

// The 3-3-2 colours, so a bitmap drawn with them keeps its indices on a surface showing them.
inline std::vector<std::uint32_t> ThreeThreeTwo() {
    std::vector<std::uint32_t> colours;
    for (std::uint32_t i = 0; i < 256; ++i)
        colours.push_back(((((i >> 5) & 7) * 255 / 7) << 16) | ((((i >> 2) & 7) * 255 / 7) << 8) |
                          ((i & 3) * 255 / 3));
    return colours;
}

// Sixteen colours unlike the default palette's first sixteen.
inline std::vector<std::uint32_t> SixteenColours() {
    std::vector<std::uint32_t> colours;
    for (std::uint32_t i = 0; i < 16; ++i)
        colours.push_back(((17 * i) << 16) | ((100 + i) << 8) | (255 - 17 * i));
    return colours;
}

inline std::vector<Named> ResourceBitmaps() {
    std::vector<Named> all;
    BmpLayout s;
    // Also written as a file of a different size by the precedence test.
    s.width = 4, s.height = 2, s.bitCount = 8,
    s.pixel = [](int x, int y) { return std::uint32_t(x + 4 * y); };
    all.push_back({"BOTHWAYS", s});
    s = BmpLayout{};
    s.width = 16, s.height = 8, s.colours = ThreeThreeTwo();
    s.pixel = [](int x, int y) { return std::uint32_t(16 * y + x); };
    all.push_back({"GRADIENT", s});
    s = BmpLayout{};
    s.width = 8, s.height = 2, s.bitCount = 4, s.colours = SixteenColours();
    s.pixel = [](int x, int y) { return std::uint32_t(x + 8 * y); };
    all.push_back({"COLOURS16", s});
    s.headerSize = 108;
    all.push_back({"V4COLOURS16", s});
    s = BmpLayout{};
    s.headerSize = 12;
    all.push_back({"CORE12", s});
    s = BmpLayout{};
    s.bitCount = 24, s.pixel = [](int x, int) { return std::uint32_t(0x102030 * (x + 1)); };
    all.push_back({"DEEP24", s});
    s = BmpLayout{};
    s.clrUsed = 300;
    all.push_back({"MANY300", s});
    return all;
}

}  // namespace testbmp
