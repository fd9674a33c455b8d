// Colour reduction for cfftool: true-colour pictures become 256 palette indices with a 6-bit
// palette. Pictures of at most 256 distinct colours (at 6 bits per component) keep them exactly;
// others go through Wu's colour quantiser (X. Wu, "Efficient Statistical Computations for
// Optimal Color Quantization", Graphics Gems II, 1991) and each pixel takes the nearest entry.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/cfftool/formats.h"

namespace cff {

struct Reduction {
    std::vector<std::uint8_t> indices;
    Palette6 palette{};
    std::size_t distinctColours = 0;  // distinct 6-bit colours of the input
    bool exact = false;               // true when no colour had to be merged
};

Reduction ReduceColours(const std::vector<Rgb>& pixels);

// Each pixel's nearest entry of a given palette (least squared distance at 6 bits per component,
// the lowest index on ties).
std::vector<std::uint8_t> MapToPalette(const std::vector<Rgb>& pixels, const Palette6& palette);

}  // namespace cff
