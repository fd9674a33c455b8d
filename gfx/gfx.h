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

// Palette operations on the display's 256-entry palette (`displayPalette`, attached to
// `primarySurface`). Components are 0..63 and go to the display as 4 × value, kept to 8 bits.
// The fades spread each component's change over 256 steps and show every eighth step at a
// vertical blank, 32 in all.
void FadeInPalette(const Palette6& target);
HRESULT FadeOutPalette();
HRESULT SetPalette6(const Palette6& colours);
HRESULT SetBlackPalette();
HRESULT SetPaletteEntry6(std::uint32_t index, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// The fade arithmetic without the display: one step moves each component of `current` by one
// towards its end (up when `fadeIn`, else down) whenever its remainder in `accumulators`,
// grown by its amount, passes 255. RunPaletteFade takes the 256 steps and hands every eighth
// result, 32 in all, to `publish`.
void FadePaletteStep(const PALETTEENTRY* amounts, PALETTEENTRY* accumulators, PALETTEENTRY* current,
                     bool fadeIn);
void RunPaletteFade(const PALETTEENTRY* amounts, PALETTEENTRY* current, bool fadeIn,
                    void (*publish)(const PALETTEENTRY* entries, void* context), void* context);
