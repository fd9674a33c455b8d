// Colour conversion for everything GDI draws: the nearest palette entry on 8-bit surfaces and
// the pixel format's own bits on 32-bit ones. Used by DrawTextA, SetPixel, GetPixel and StretchBlt.
#pragma once

#include <cstdint>

#include "platform/surface_target.h"

namespace platform::gdi {

// The 256 colours (0x00RRGGBB) an 8-bit target shows: its palette, or the system's twenty static
// colours (entries 0-9 and 246-255, black elsewhere) when neither it nor the primary has one.
void TargetColours(const SurfaceTarget& target, std::uint32_t* colours);
// The entry of `colours` (0x00RRGGBB, `count` of them) nearest a colour: least squared RGB
// distance, the lowest index on ties.
std::uint8_t NearestIndex(const std::uint32_t* colours, int count, COLORREF colour);
std::uint8_t NearestIndex(const SurfaceTarget& target, COLORREF colour);
// An 8-bit component placed in a mask's bits, and read back out of them.
std::uint32_t PlaceInMask(int component, std::uint32_t mask);
int ComponentInMask(std::uint32_t value, std::uint32_t mask);

}  // namespace platform::gdi
