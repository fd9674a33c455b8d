// Pixel-level operations on 8-bit buffers and on the locked frame: single pixels, rectangle
// copies, point-sampled reductions, transparent copies (plain and clipped to the screen's view)
// and row clears. Offered to the toolkit's callers; none of them tests bounds.
#include <cstring>

#include "gfx/gfx.h"
#include "gfx/pixel_rows.h"

namespace {

// Pixel (x, y) of a buffer; coordinates are signed, so (−1, 1) is the last pixel of row 0.
std::ptrdiff_t Offset(std::int16_t x, std::int16_t y, std::int32_t pitch) {
    return static_cast<std::ptrdiff_t>(x) + static_cast<std::ptrdiff_t>(y) * pitch;
}

std::uint8_t* At(std::uint8_t* buffer, std::int32_t pitch, std::uint16_t x, std::uint16_t y) {
    return buffer + static_cast<std::ptrdiff_t>(y) * pitch + x;
}

// Draws the part of a packed width × height image at (x, y) that falls inside columns
// [10, right) and rows [10, bottom), with index 0 transparent. All clipping is settled here,
// before the first row.
void BlitTransparentClipped(const std::uint8_t* source, std::int32_t x, std::int32_t y, std::int32_t width,
                            std::int32_t height, std::uint8_t* destination, std::int32_t destinationPitch,
                            std::int32_t right, std::int32_t bottom) {
    constexpr std::int32_t kBorder = 10;
    const std::int32_t firstColumn = x > kBorder ? x : kBorder;
    const std::int32_t firstRow = y > kBorder ? y : kBorder;
    const std::int32_t drawnWidth = (x + width < right ? x + width : right) - firstColumn;
    const std::int32_t drawnHeight = (y + height < bottom ? y + height : bottom) - firstRow;
    if (drawnWidth <= 0 || drawnHeight <= 0) return;

    const std::uint8_t* from = source + static_cast<std::ptrdiff_t>(firstRow - y) * width + (firstColumn - x);
    std::uint8_t* to = destination + static_cast<std::ptrdiff_t>(firstRow) * destinationPitch + firstColumn;
    for (std::int32_t r = 0; r < drawnHeight; ++r) {
        gfx_rows::TransparentRow(from, to, drawnWidth);
        from += width;
        to += destinationPitch;
    }
}

}  // namespace

std::uint8_t GetFramePixel(std::int16_t x, std::int16_t y) {
    return LockedFrame.bits[Offset(x, y, LockedFrame.pitch)];
}

std::uint8_t GetBufferPixel(std::int16_t x, std::int16_t y, const std::uint8_t* buffer, std::int32_t pitch) {
    return buffer[Offset(x, y, pitch)];
}

void PutFramePixel(std::int16_t x, std::int16_t y, std::uint8_t colour) {
    LockedFrame.bits[Offset(x, y, LockedFrame.pitch)] = colour;
}

void PutBufferPixel(std::int16_t x, std::int16_t y, std::uint8_t colour, std::uint8_t* buffer,
                    std::int32_t pitch) {
    buffer[Offset(x, y, pitch)] = colour;
}

void CopyRectToBuffer(const std::uint8_t* source, std::int32_t sourcePitch, std::uint16_t x, std::uint16_t y,
                      std::uint16_t width, std::uint16_t height, std::uint8_t* destination,
                      std::int32_t destinationPitch) {
    gfx_rows::CopyRows(source, sourcePitch, At(destination, destinationPitch, x, y), destinationPitch, width,
                       height);
}

void CopyRectFromBuffer(std::uint16_t x, std::uint16_t y, std::uint16_t width, std::uint16_t height,
                        const std::uint8_t* source, std::int32_t sourcePitch, std::uint8_t* destination,
                        std::int32_t destinationPitch) {
    const std::uint8_t* start = source + static_cast<std::ptrdiff_t>(y) * sourcePitch + x;
    gfx_rows::CopyRows(start, sourcePitch, destination, destinationPitch, width, height);
}

void DownscaleEighth(const std::uint8_t* source, std::int32_t sourcePitch, std::uint16_t width,
                     std::uint16_t height, std::uint8_t* destination) {
    for (std::int32_t row = 0; row < height; row += 8) {
        const std::uint8_t* line = source + static_cast<std::ptrdiff_t>(row) * sourcePitch;
        for (std::int32_t column = 0; column < width; column += 8) *destination++ = line[column];
    }
}

void DownscaleHalf(const std::uint8_t* source, std::int32_t sourcePitch, std::uint16_t x, std::uint16_t y,
                   std::uint16_t width, std::uint16_t height, std::uint8_t* destination,
                   std::int32_t destinationPitch) {
    std::uint8_t* out = At(destination, destinationPitch, x, y);
    for (std::int32_t row = 0; row < height; row += 2) {
        const std::uint8_t* line = source + static_cast<std::ptrdiff_t>(row) * sourcePitch;
        for (std::int32_t j = 0; j < width / 2; ++j) out[j] = line[2 * j];
        out += destinationPitch;
    }
}

void BlitTransparent(const std::uint8_t* source, std::int32_t sourcePitch, std::uint16_t x, std::uint16_t y,
                     std::uint16_t width, std::uint16_t height, std::uint8_t* destination,
                     std::int32_t destinationPitch) {
    std::uint8_t* to = At(destination, destinationPitch, x, y);
    for (std::int32_t r = 0; r < height; ++r) {
        gfx_rows::TransparentRow(source, to, width);
        source += sourcePitch;
        to += destinationPitch;
    }
}

void BlitTransparentClipped640(const std::uint8_t* source, std::int16_t x, std::int16_t y, std::int16_t width,
                               std::int16_t height, std::uint8_t* destination,
                               std::int32_t destinationPitch) {
    BlitTransparentClipped(source, x, y, width, height, destination, destinationPitch, 640, 480);
}

void BlitTransparentClipped800(const std::uint8_t* source, std::int16_t x, std::int16_t y, std::int16_t width,
                               std::int16_t height, std::uint8_t* destination,
                               std::int32_t destinationPitch) {
    BlitTransparentClipped(source, x, y, width, height, destination, destinationPitch, 790, 590);
}

void ClearRows(std::uint8_t* destination, std::int32_t pitch, std::uint32_t width, std::int32_t rows) {
    for (std::int32_t r = 0; r < rows; ++r) {
        std::memset(destination, 0, width);
        destination += pitch;
    }
}
