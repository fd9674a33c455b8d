// Putting an 8-bit picture on a 32-bit screen in one pass: each palette index becomes a screen
// pixel through a 256-entry table while the picture is scaled by nearest-neighbour sampling.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/backend/backend.h"

namespace platform {

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// Where a width × height picture goes on an output of the given size: as large as fits with its
// shape kept (black bars fill the rest); with `wholeFactors`, only at whole-number scale factors.
ScreenRect FitPicture(int width, int height, int outputWidth, int outputHeight, bool wholeFactors);

struct ScaleMap {
    int sourceWidth = 0, sourceHeight = 0, width = 0, height = 0;
    std::vector<int> column;  // output column -> picture column
    std::vector<int> row;     // output row -> picture row
};
void BuildScaleMap(ScaleMap* map, int sourceWidth, int sourceHeight, int width, int height);

// Writes map.width × map.height 32-bit pixels at `out` (rows `outPitch` bytes apart); `table`
// holds the screen pixel of every index. Output rows that sample the same picture row as the one
// before are copied rather than converted again.
void ConvertScaled(const PictureView& picture, const std::uint32_t* table, const ScaleMap& map,
                   std::uint8_t* out, int outPitch);

}  // namespace platform
