// Reading BMP pictures: a .bmp file (file header first) or a packed bitmap as the program's
// resources hold it (info header first), into a device-independent bitmap kept in its own format.
// Used by GDI's LoadImageA, by LoadIconA for the images inside an icon, and by the fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::bmp {

// Limits on what is read at all, so a hostile header cannot ask for gigabytes.
constexpr int kMaxDimension = 32768;
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 26;

// True when a bitmap of this size may be made (both sides 1..kMaxDimension, area within kMaxPixels).
bool SizeAllowed(std::int64_t width, std::int64_t height);

struct Dib {
    int width = 0;
    int height = 0;        // rows, always positive
    bool topDown = false;  // row 0 of `bits` is the top row
    int bitCount = 0;      // 1, 4, 8, 16, 24 or 32
    // 16 and 32 bits per pixel: where red, green and blue sit in a pixel value.
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    // 1, 4 and 8 bits per pixel: the colour table, 0x00RRGGBB, at most 1 << bitCount entries.
    // A pixel whose index lies beyond it is black.
    std::vector<std::uint32_t> colours;
    int stride = 0;  // bytes per row, a multiple of 4
    std::vector<std::uint8_t> bits;

    // Rows counted from the top whatever the storage order.
    std::uint8_t* Row(int y);
    const std::uint8_t* Row(int y) const;
    // The stored value at (x, y): a colour-table index, or the packed 16/24/32-bit pixel.
    std::uint32_t RawAt(int x, int y) const;
    void SetRawAt(int x, int y, std::uint32_t value);
    // The colour a stored value shows, as 0x00RRGGBB.
    std::uint32_t ColourOf(std::uint32_t raw) const;
    std::uint32_t ColourAt(int x, int y) const { return ColourOf(RawAt(x, y)); }
};

// A blank bitmap of the given format (size checked by the caller with SizeAllowed).
Dib MakeDib(int width, int height, int bitCount);

// Both return false with a short reason in *error (for a person to read) when the data is not
// a bitmap they can read; they never read outside [data, data + size).
bool ReadFile(const std::uint8_t* data, std::size_t size, Dib* out, std::string* error);
bool ReadPacked(const std::uint8_t* data, std::size_t size, Dib* out, std::string* error);

// An image inside an icon file: a packed bitmap whose header gives twice the height, the colour
// rows followed by a 1-bit transparency mask (set bits are transparent). *mask gets one byte per
// pixel, top row first, 1 where the pixel is transparent; an absent mask leaves everything opaque.
bool ReadIconImage(const std::uint8_t* data, std::size_t size, Dib* out, std::vector<std::uint8_t>* mask,
                   std::string* error);

// The bitmap resampled to a new size by taking the nearest pixel (size checked by the caller).
Dib Scaled(const Dib& source, int width, int height);

}  // namespace platform::bmp
