// The graphics toolkit for 8-bit palettised screens: the locked-frame record and the per-frame copy,
// the run-length codec, image and palette file loaders, palette operations, blitters, the
// run-length sprite blitter and the surface bitmap helpers. The one public header of gfx/.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"
#include "platform/win_types.h"

// 256 colour entries of red, green, blue, each 0..63; entry i at bytes 3i .. 3i + 2.
struct Palette6 {
    std::uint8_t bytes[768];
};

// The locked back buffer: row 0, column 0 and the distance in bytes from one row to the next.
struct LockedFrameRecord {
    std::uint8_t* bits;
    std::int32_t pitch;
};
extern LockedFrameRecord LockedFrame;

// One loaded image of an image set; a null `pixels` marks the set's end.
struct ImageSetEntry {
    std::uint16_t width;
    std::uint16_t height;
    std::uint8_t* pixels;
};
