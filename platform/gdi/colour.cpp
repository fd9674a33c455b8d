// Colour conversion shared by GDI's drawing calls (see colour.h).
#include "platform/gdi/colour.h"

#include <algorithm>

namespace platform::gdi {
namespace {

// Colours a surface without a palette is matched against: the system's twenty static colours.
constexpr std::uint32_t kStaticColours[20] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0,
    0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

}  // namespace

void TargetColours(const SurfaceTarget& target, std::uint32_t* colours) {
    std::fill(colours, colours + 256, 0u);
    if (!target.readPalette || !target.readPalette(colours)) {
        std::fill(colours, colours + 256, 0u);
        std::copy(kStaticColours, kStaticColours + 10, colours);
        std::copy(kStaticColours + 10, kStaticColours + 20, colours + 246);
    }
}

std::uint8_t NearestIndex(const std::uint32_t* colours, int count, COLORREF colour) {
    int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < count; ++i) {
        int dr = static_cast<int>((colours[i] >> 16) & 0xFF) - r;
        int dg = static_cast<int>((colours[i] >> 8) & 0xFF) - g;
        int db = static_cast<int>(colours[i] & 0xFF) - b;
        long distance = static_cast<long>(dr) * dr + static_cast<long>(dg) * dg + static_cast<long>(db) * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

std::uint8_t NearestIndex(const SurfaceTarget& target, COLORREF colour) {
    std::uint32_t colours[256];
    TargetColours(target, colours);
    return NearestIndex(colours, 256, colour);
}

std::uint32_t PlaceInMask(int component, std::uint32_t mask) {
    if (!mask) return 0;
    int shift = __builtin_ctz(mask);
    int bits = __builtin_popcount(mask);
    std::uint32_t value = bits >= 8 ? static_cast<std::uint32_t>(component) << (bits - 8)
                                    : static_cast<std::uint32_t>(component) >> (8 - bits);
    return (value << shift) & mask;
}

int ComponentInMask(std::uint32_t value, std::uint32_t mask) {
    if (!mask) return 0;
    int shift = __builtin_ctz(mask);
    int bits = __builtin_popcount(mask);
    std::uint32_t level = (value & mask) >> shift;
    return static_cast<int>(bits >= 8 ? level >> (bits - 8) : level << (8 - bits));
}

}  // namespace platform::gdi
