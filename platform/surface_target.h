// What a GDI device context on a DirectDraw surface draws into. The surface hands this to GDI
// when its GetDC succeeds; GDI keeps it until ReleaseDC.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/win_types.h"

namespace platform {

struct SurfaceTarget {
    std::uint8_t* pixels = nullptr;
    int pitch = 0;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 8;  // 8 (palette indices) or 32
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;  // 32-bit surfaces
    // 8-bit surfaces: fills 256 colours (0x00RRGGBB) from the surface's palette or, if it has none,
    // the primary surface's; false when neither has one.
    std::function<bool(std::uint32_t* colours)> readPalette;
};

// Implemented by GDI (platform/gdi).
HDC CreateSurfaceDC(const SurfaceTarget& target);
void DestroySurfaceDC(HDC dc);

}  // namespace platform
