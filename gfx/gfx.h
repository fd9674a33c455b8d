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

// ---- Surface bitmap helpers (gfx/bitmap_surface.cpp) ----
// A bitmap is named by a string: a bitmap resource of the program if there is one, else the path
// of a .bmp file. Diagnostics go to the debugger output (OutputDebugStringA) only.

// A new off-screen surface holding the bitmap, at its own size (width and height 0) or stretched
// to the wanted one; null when there is no such bitmap or no surface can be made. The caller owns it.
IDirectDrawSurface* LoadBitmapSurface(IDirectDraw* ddraw, const char* name, std::int32_t width,
                                      std::int32_t height);
// Fills an existing surface from the bitmap again (after its memory was lost, say): DD_OK,
// E_FAIL when there is no such bitmap, or the failing DirectDraw code.
HRESULT ReloadBitmapSurface(IDirectDrawSurface* surface, const char* name);
// Stretches the bitmap's rectangle (x, y, sourceWidth, sourceHeight; 0 for the bitmap's own width
// or height) over the whole surface; the result of the surface's GetDC, E_FAIL for a null argument.
HRESULT CopyBitmapToSurface(IDirectDrawSurface* surface, HBITMAP bitmap, std::int32_t x, std::int32_t y,
                            std::int32_t sourceWidth, std::int32_t sourceHeight);
// An 8-bit palette from the bitmap's colour table over the 3-3-2 default palette; with a null
// name, or no such bitmap, the default palette itself. Null when no palette can be made.
IDirectDrawPalette* LoadBitmapPalette(IDirectDraw* ddraw, const char* name);
// The pixel value the surface's own format gives a colour (CLR_INVALID: the value now at (0, 0)),
// found by letting GDI draw it at (0, 0) and putting that pixel's colour back after;
// CLR_INVALID (0xFFFFFFFF) when the surface cannot be locked.
DWORD MatchSurfaceColor(IDirectDrawSurface* surface, COLORREF color);
// Sets the surface's source colour key to the matched value of `color`.
HRESULT SetSurfaceColorKey(IDirectDrawSurface* surface, COLORREF color);
