// Builds .bmp files byte by byte for the tests and for the test bitmaps compiled into the test
// binary (tests/resources/make_test_bitmaps.cpp), so every fixture is described in code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testbmp {

struct BmpLayout {
    int width = 4;
    int height = 2;  // negative: top-down
    int bitCount = 8;
    std::uint32_t headerSize = 40;  // 12 (core), 40, 52, 56, 108 (V4) or 124 (V5)
    std::uint32_t compression = 0;
    std::uint32_t clrUsed = 0;
    // Colour-table entries written (0x00RRGGBB, the fourth byte from `reserved`); by default
    // clrUsed, or 1 << bitCount for up to 8 bits.
    std::vector<std::uint32_t> colours;
    std::uint8_t reserved = 0;
    std::uint32_t masks[3] = {0, 0, 0};  // written for compression 3 (after a 40-byte header, else inside it)
    // The stored value of pixel (x, y), y from the top.
    std::function<std::uint32_t(int x, int y)> pixel = [](int x, int y) {
        return static_cast<std::uint32_t>(x + y);
    };
    // Overrides of the file header's pixel offset (0: right after the table) and extra bytes at the end.
    std::uint32_t pixelOffset = 0;
    std::size_t trailing = 0;
};

inline void Put(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void Set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A 256-colour table whose every entry differs from its neighbours: (i, 255 - i, i * 7 mod 256).
inline std::vector<std::uint32_t> DistinctColours(int n) {
    std::vector<std::uint32_t> colours;
    for (int i = 0; i < n; ++i)
        colours.push_back((static_cast<std::uint32_t>(i & 0xFF) << 16) | ((255 - (i & 0xFF)) << 8) |
                          ((i * 7) & 0xFF));
    return colours;
}

inline std::vector<std::uint8_t> Build(const BmpLayout& s) {
    std::vector<std::uint8_t> out;
    Put(out, 'B', 1), Put(out, 'M', 1), Put(out, 0, 4), Put(out, 0, 4), Put(out, 0, 4);  // sizes set below
    const bool core = s.headerSize == 12;
    const int rows = s.height < 0 ? -s.height : s.height;
    if (core) {
        Put(out, 12, 4), Put(out, s.width, 2), Put(out, s.height, 2), Put(out, 1, 2), Put(out, s.bitCount, 2);
    } else {
        std::size_t start = out.size();
        Put(out, s.headerSize, 4), Put(out, static_cast<std::uint32_t>(s.width), 4);
        Put(out, static_cast<std::uint32_t>(s.height), 4), Put(out, 1, 2), Put(out, s.bitCount, 2);
        Put(out, s.compression, 4), Put(out, 0, 4), Put(out, 2835, 4), Put(out, 2835, 4);
        Put(out, s.clrUsed, 4), Put(out, 0, 4);
        if (s.headerSize > 40) {
            out.resize(start + s.headerSize, 0);
            for (int i = 0; i < 3 && s.headerSize >= 52; ++i) Set32(out, start + 40 + 4 * i, s.masks[i]);
        } else if (s.compression == 3) {
            for (std::uint32_t m : s.masks) Put(out, m, 4);
        }
    }
    std::vector<std::uint32_t> colours = s.colours;
    if (colours.empty()) {
        std::uint32_t n = s.clrUsed ? s.clrUsed : (s.bitCount <= 8 ? 1u << s.bitCount : 0u);
        colours = DistinctColours(static_cast<int>(n));
    }
    for (std::uint32_t c : colours) {
        Put(out, c & 0xFF, 1), Put(out, (c >> 8) & 0xFF, 1), Put(out, (c >> 16) & 0xFF, 1);
        if (!core) Put(out, s.reserved, 1);
    }
    Set32(out, 10, s.pixelOffset ? s.pixelOffset : static_cast<std::uint32_t>(out.size()));
    const std::size_t stride = (static_cast<std::size_t>(s.width) * s.bitCount + 31) / 32 * 4;
    for (int r = 0; r < rows; ++r) {
        int y = s.height < 0 ? r : rows - 1 - r;
        std::vector<std::uint8_t> row(stride, 0);
        for (int x = 0; x < s.width; ++x) {
            std::uint32_t v = s.pixel(x, y);
            switch (s.bitCount) {
                case 1:
                    row[x / 8] |= static_cast<std::uint8_t>((v & 1) << (7 - x % 8));
                    break;
                case 4:
                    row[x / 2] |= static_cast<std::uint8_t>((v & 0xF) << (x % 2 ? 0 : 4));
                    break;
                default:
                    for (int i = 0; i < s.bitCount / 8; ++i)
                        row[x * (s.bitCount / 8) + i] = static_cast<std::uint8_t>(v >> (8 * i));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    out.resize(out.size() + s.trailing, 0);
    Set32(out, 2, static_cast<std::uint32_t>(out.size()));
    return out;
}

}  // namespace testbmp
