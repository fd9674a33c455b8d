// Row loops shared by the toolkit's copies: a block of rows copied between two pitches, and a row
// in which index 0 is transparent. Internal to gfx/.
#pragma once

#include <cstdint>
#include <cstring>

namespace gfx_rows {

// Copies `height` rows of `width` bytes; each side's rows start one pitch apart. A memcpy per
// row writes exactly what four-byte groups and a tail would.
inline void CopyRows(const std::uint8_t* source, std::int32_t sourcePitch, std::uint8_t* destination,
                     std::int32_t destinationPitch, std::size_t width, std::int32_t height) {
    // A zero width copies nothing, also from a source that is no buffer at all.
    if (width == 0) return;
    for (std::int32_t r = 0; r < height; ++r) {
        std::memcpy(destination, source, width);
        source += sourcePitch;
        destination += destinationPitch;
    }
}

// Writes every non-zero byte of `count` source bytes over the destination; zeros leave the
// destination byte alone. Eight bytes at a time are tested at once: all opaque go in one store,
// all transparent cost nothing, and only mixed groups are done byte by byte.
inline void TransparentRow(const std::uint8_t* source, std::uint8_t* destination, std::int32_t count) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    std::int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint64_t group;
        std::memcpy(&group, source + i, 8);
        // High bit of each byte set where that byte is non-zero.
        const std::uint64_t nonZero = (((group & kLow7) + kLow7) | group) & kHigh;
        if (nonZero == kHigh) {
            std::memcpy(destination + i, source + i, 8);
        } else if (nonZero != 0) {
            for (std::int32_t k = i; k < i + 8; ++k) {
                if (source[k]) destination[k] = source[k];
            }
        }
    }
    for (; i < count; ++i) {
        if (source[i]) destination[i] = source[i];
    }
}

}  // namespace gfx_rows
