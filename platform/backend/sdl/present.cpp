// One-pass conversion and scaling of an 8-bit picture for the SDL backend (see present.h).
#include "platform/backend/sdl/present.h"

#include <algorithm>
#include <cstring>

namespace platform {

ScreenRect FitPicture(int width, int height, int outputWidth, int outputHeight, bool wholeFactors) {
    ScreenRect r;
    if (width <= 0 || height <= 0 || outputWidth <= 0 || outputHeight <= 0) return r;
    if (wholeFactors) {
        int factor = std::max(1, std::min(outputWidth / width, outputHeight / height));
        r.width = width * factor;
        r.height = height * factor;
    } else if (static_cast<long long>(outputWidth) * height <= static_cast<long long>(outputHeight) * width) {
        r.width = outputWidth;
        r.height = static_cast<int>(static_cast<long long>(outputWidth) * height / width);
    } else {
        r.height = outputHeight;
        r.width = static_cast<int>(static_cast<long long>(outputHeight) * width / height);
    }
    r.width = std::min(r.width, outputWidth);
    r.height = std::min(r.height, outputHeight);
    r.x = (outputWidth - r.width) / 2;
    r.y = (outputHeight - r.height) / 2;
    return r;
}

void BuildScaleMap(ScaleMap* map, int sourceWidth, int sourceHeight, int width, int height) {
    map->sourceWidth = sourceWidth;
    map->sourceHeight = sourceHeight;
    map->width = width;
    map->height = height;
    map->column.resize(width);
    map->row.resize(height);
    // Sample at pixel centres so a whole-number factor repeats every pixel exactly that often.
    for (int x = 0; x < width; ++x)
        map->column[x] = static_cast<int>((static_cast<long long>(2 * x + 1) * sourceWidth) / (2LL * width));
    for (int y = 0; y < height; ++y)
        map->row[y] = static_cast<int>((static_cast<long long>(2 * y + 1) * sourceHeight) / (2LL * height));
}

namespace {

// One output row; four pixels per step keeps the table lookups independent of each other.
inline void ConvertRow(const std::uint8_t* __restrict source, const std::uint32_t* __restrict table,
                       std::uint32_t* __restrict out, int width) {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        std::uint32_t a = table[source[x]], b = table[source[x + 1]], c = table[source[x + 2]],
                      d = table[source[x + 3]];
        out[x] = a;
        out[x + 1] = b;
        out[x + 2] = c;
        out[x + 3] = d;
    }
    for (; x < width; ++x) out[x] = table[source[x]];
}

inline void ConvertRowScaled(const std::uint8_t* __restrict source, const std::uint32_t* __restrict table,
                             const int* __restrict column, std::uint32_t* __restrict out, int width) {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        std::uint32_t a = table[source[column[x]]], b = table[source[column[x + 1]]],
                      c = table[source[column[x + 2]]], d = table[source[column[x + 3]]];
        out[x] = a;
        out[x + 1] = b;
        out[x + 2] = c;
        out[x + 3] = d;
    }
    for (; x < width; ++x) out[x] = table[source[column[x]]];
}

}  // namespace

void ConvertScaled(const PictureView& picture, const std::uint32_t* table, const ScaleMap& map,
                   std::uint8_t* out, int outPitch) {
    const int width = map.width;
    int previousRow = -1;
    std::uint8_t* previousOut = nullptr;
    for (int y = 0; y < map.height; ++y) {
        std::uint8_t* line = out + static_cast<std::ptrdiff_t>(y) * outPitch;
        int sourceRow = map.row[y];
        if (sourceRow == previousRow) {
            std::memcpy(line, previousOut, static_cast<std::size_t>(width) * 4);
        } else {
            const std::uint8_t* source = picture.pixels + static_cast<std::ptrdiff_t>(sourceRow) * picture.pitch;
            auto* pixel = reinterpret_cast<std::uint32_t*>(line);
            if (width == map.sourceWidth) ConvertRow(source, table, pixel, width);
            else ConvertRowScaled(source, table, map.column.data(), pixel, width);
        }
        previousRow = sourceRow;
        previousOut = line;
    }
}

}  // namespace platform
