// The graphics toolkit for 8-bit palettised screens: the locked-frame record and the per-frame copy,
// the run-length codec, image and palette file loaders, palette operations, blitters, the
// run-length sprite blitter and the surface bitmap helpers. The one public header of gfx/.
#pragma once

#include <cstddef>
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

// ---- Locked frame and rectangle copy ----

// Copies a packed width × height image (rows of `width` bytes, no gaps) into the locked frame with
// its top-left corner at (x, y). Nothing is clipped: the rectangle must lie inside the surface.
void CopyToFrame(const std::uint8_t* source, std::uint16_t x, std::uint16_t y, std::uint16_t width,
                 std::uint16_t height);

// ---- Run-length codec ----
// A stream is a sequence of packets, each led by a control byte c: 0 ends the stream, 1..127 is
// followed by c literal bytes, 128..255 by one byte written c − 127 times.

// Decodes a trusted stream into consecutive bytes from `destination` on, up to its end byte.
// The destination must hold the whole decoded stream.
void RleDecode(const std::uint8_t* source, std::uint8_t* destination);

// Decodes a trusted stream into rows of `width` bytes that lie `pitch` bytes apart. Returns the
// column (0 .. width − 1) at which the next byte would have gone.
std::int32_t RleDecodeRect(const std::uint8_t* source, std::uint8_t* destination, std::int32_t width,
                           std::int32_t pitch);

// Walks a stream of unknown origin without writing anything. True when its end byte lies within
// the first `sourceSize` bytes and every packet is complete before it; *decodedSize (when given)
// then receives the number of bytes it decodes to.
bool RleMeasure(const std::uint8_t* source, std::size_t sourceSize, std::size_t* decodedSize);

// Decodes a stream of unknown origin that is at most `sourceSize` bytes long into a destination of
// `destinationSize` bytes. When the stream is incomplete or decodes to more than the destination
// holds, nothing is written and the result is false; otherwise *decodedSize (when given) receives
// the number of bytes written.
bool RleDecodeBounded(const std::uint8_t* source, std::size_t sourceSize, std::uint8_t* destination,
                      std::size_t destinationSize, std::size_t* decodedSize = nullptr);

// ---- Image and palette files ----
// Every loader opens its file by the name given (relative to the current directory), reads it,
// closes it before returning, and writes the caller's buffers only when the whole file is sound:
// a missing, truncated or malformed file gives false (or null) and leaves the buffers as they were.

// The credits background's 640 × 480 bytes: the buffer size LoadCffImage assumes when the caller
// gives none, as the credits roll does.
constexpr std::size_t kCffPictureSize = 640 * 480;

// Loads a CFF picture: its run-length stream (from byte 8 up to the palette) is decoded into
// `pixels`, which holds `pixelsSize` bytes; its trailing 768-byte palette goes to `palette` unless
// that is null. A stream that decodes to fewer bytes writes only those. False when the file cannot
// be opened, is shorter than 776 bytes, or its stream is incomplete or decodes to more than
// `pixelsSize` bytes.
bool LoadCffImage(const char* fileName, Palette6* palette, std::uint8_t* pixels,
                  std::size_t pixelsSize = kCffPictureSize);

// A size argument of the image-set loader that the caller leaves unchecked: it promises buffers
// large enough for the file it reads.
constexpr std::size_t kUncheckedSize = SIZE_MAX;

// Loads every image of an image-set file (layout 2: one size for all; layout 3: a size for each)
// into `pixels`, one image after another, each taking its width × height bytes; `packed` is scratch
// for one packed image. `pixelsSize` and `packedSize` bound what the call may write; a file whose
// images or packed lengths would not fit is refused. False when the file cannot be opened, its
// layout is neither 2 nor 3, its table or a stream does not fit the file, or a stream decodes to
// more than its image's size.
bool LoadImageSetInto(const char* fileName, std::uint8_t* pixels, std::uint8_t* packed,
                      std::size_t pixelsSize = kUncheckedSize, std::size_t packedSize = kUncheckedSize);

// Loads an image set into a new array of count + 1 entries; the last has a null `pixels`. Null when
// the file cannot be opened, is refused as by LoadImageSetInto, declares an image larger than its
// packed data could fill (a packed byte yields at most 64 pixels), or memory runs out; nothing is
// left allocated then. Pixels that an image's stream does not reach are 0.
ImageSetEntry* LoadImageSet(const char* fileName);

// Gives back a set from LoadImageSet, every pixel block and the array; null does nothing.
void FreeImageSet(ImageSetEntry* set);

// Reads the first 768 bytes of a palette file into `palette`. False when the file cannot be opened
// or is shorter than 768 bytes.
bool LoadPaletteFile(const char* fileName, Palette6* palette);

// ---- Frame-buffer blitters and pixel access ----
// Buffers are given by the address of pixel (0, 0) and a pitch; nothing is bounds-checked, the
// caller keeps every rectangle inside its buffers.

std::uint8_t GetFramePixel(std::int16_t x, std::int16_t y);
std::uint8_t GetBufferPixel(std::int16_t x, std::int16_t y, const std::uint8_t* buffer, std::int32_t pitch);
void PutFramePixel(std::int16_t x, std::int16_t y, std::uint8_t colour);
void PutBufferPixel(std::int16_t x, std::int16_t y, std::uint8_t colour, std::uint8_t* buffer,
                    std::int32_t pitch);

// Copies the packed 800 × 600 picture that `backgroundPixels` points to into the locked frame.
void CopyScreenToFrame();

// Copies the width × height block at the start of `source` to (x, y) of `destination`.
void CopyRectToBuffer(const std::uint8_t* source, std::int32_t sourcePitch, std::uint16_t x, std::uint16_t y,
                      std::uint16_t width, std::uint16_t height, std::uint8_t* destination,
                      std::int32_t destinationPitch);
// Copies the width × height block at (x, y) of `source` to the start of `destination`.
void CopyRectFromBuffer(std::uint16_t x, std::uint16_t y, std::uint16_t width, std::uint16_t height,
                        const std::uint8_t* source, std::int32_t sourcePitch, std::uint8_t* destination,
                        std::int32_t destinationPitch);

// Point-sampled reductions: every eighth pixel of every eighth row into a packed destination, and
// every second pixel of every second row to (x, y) of the destination. Sizes are positive multiples
// of 8 and of 2.
void DownscaleEighth(const std::uint8_t* source, std::int32_t sourcePitch, std::uint16_t width,
                     std::uint16_t height, std::uint8_t* destination);
void DownscaleHalf(const std::uint8_t* source, std::int32_t sourcePitch, std::uint16_t x, std::uint16_t y,
                   std::uint16_t width, std::uint16_t height, std::uint8_t* destination,
                   std::int32_t destinationPitch);

// Transparent copies: source bytes of 0 leave the destination as it was. The clipped ones take a
// packed source and draw only inside columns 10..639, rows 10..479 (640) or columns 10..789, rows
// 10..589 (800), whatever the position and size.
void BlitTransparent(const std::uint8_t* source, std::int32_t sourcePitch, std::uint16_t x, std::uint16_t y,
                     std::uint16_t width, std::uint16_t height, std::uint8_t* destination,
                     std::int32_t destinationPitch);
void BlitTransparentClipped640(const std::uint8_t* source, std::int16_t x, std::int16_t y, std::int16_t width,
                               std::int16_t height, std::uint8_t* destination, std::int32_t destinationPitch);
void BlitTransparentClipped800(const std::uint8_t* source, std::int16_t x, std::int16_t y, std::int16_t width,
                               std::int16_t height, std::uint8_t* destination, std::int32_t destinationPitch);

// Sets the first `width` bytes of each of `rows` rows to 0.
void ClearRows(std::uint8_t* destination, std::int32_t pitch, std::uint32_t width, std::int32_t rows);

// Clears 800 × 600 pixels (fewer when the surfaces are smaller) of both buffers of the display's
// flipping pair (lock, clear, unlock and flip, twice), after rebuilding lost surfaces. Returns the second
// flip's result, a failed lock's result, or 0 when lost surfaces could not be rebuilt.
HRESULT ClearDisplaySurfaces();

// ---- Run-length sprite blitter ----

// Draws a 48-pixel-wide sprite of `height` rows, stored as runs of transparent (skip) and opaque
// (count, pixels) pixels, into the locked frame, taken as rows of 800 bytes, with column 0 of the
// sprite at x and row 0 at y; clipped to columns 10..639 and rows 10..479.
void DrawRleSprite(const std::uint8_t* sprite, std::int16_t x, std::int16_t y, std::int16_t height);

// ---- Palette operations ----

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

// ---- Surface bitmap helpers ----
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
