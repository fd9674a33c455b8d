// DrawRleSprite: 48-pixel-wide sprites stored as skip/count runs, drawn into the locked frame
// (rows of 800 bytes) and clipped to the view at columns 10..639, rows 10..479. Offered to the
// toolkit's callers, who supply the sprite stream in memory.
#include <cstring>

#include "gfx/gfx.h"

namespace {

constexpr std::int32_t kSpriteWidth = 48;
constexpr std::int32_t kFrameStride = 800;
constexpr std::int32_t kViewLeft = 10;
constexpr std::int32_t kViewTop = 10;
constexpr std::int32_t kViewRight = 640;
constexpr std::int32_t kViewBottom = 480;

// Steps past one row of the stream without drawing it.
const std::uint8_t* SkipRow(const std::uint8_t* sprite) {
    std::int32_t position = 0;
    for (;;) {
        position += *sprite++;
        if (position >= kSpriteWidth) return sprite;
        const std::uint8_t count = *sprite++;
        sprite += count;
        position += count;
        if (position >= kSpriteWidth) return sprite;
    }
}

// The three row procedures share this walk over a row's runs; `draw` decides what of each run of
// opaque pixels reaches the frame, given the run's start position within the sprite row.
template <typename DrawRun>
void DrawRows(const std::uint8_t* sprite, std::uint8_t* row, std::int32_t rows, DrawRun draw) {
    for (std::int32_t r = 0; r < rows; ++r, row += kFrameStride) {
        std::int32_t position = 0;
        for (;;) {
            position += *sprite++;
            if (position >= kSpriteWidth) break;
            const std::int32_t count = *sprite++;
            draw(sprite, row, position, count);
            sprite += count;
            position += count;
            if (position >= kSpriteWidth) break;
        }
    }
}

}  // namespace

void DrawRleSprite(const std::uint8_t* sprite, std::int16_t x, std::int16_t y, std::int16_t height) {
    std::int32_t firstRow = y;
    std::int32_t rows = height;
    if (firstRow < kViewTop) {
        const std::int32_t hidden = kViewTop - firstRow;
        for (std::int32_t r = 0; r < hidden && r < height; ++r) sprite = SkipRow(sprite);
        rows -= hidden;
        firstRow = kViewTop;
    }
    if (firstRow + rows > kViewBottom) rows = kViewBottom - firstRow;
    if (rows <= 0) return;

    std::uint8_t* row = LockedFrame.bits + static_cast<std::ptrdiff_t>(firstRow) * kFrameStride + x;
    if (x < kViewLeft) {
        DrawRows(sprite, row, rows,
                 [x](const std::uint8_t* pixels, std::uint8_t* to, std::int32_t at, std::int32_t count) {
                     const std::int32_t hidden = kViewLeft - (x + at);
                     if (hidden <= 0) {
                         std::memcpy(to + at, pixels, static_cast<std::size_t>(count));
                     } else if (hidden < count) {
                         std::memcpy(to + at + hidden, pixels + hidden,
                                     static_cast<std::size_t>(count - hidden));
                     }
                 });
    } else if (x <= kViewRight - kSpriteWidth) {
        DrawRows(sprite, row, rows,
                 [](const std::uint8_t* pixels, std::uint8_t* to, std::int32_t at, std::int32_t count) {
                     std::memcpy(to + at, pixels, static_cast<std::size_t>(count));
                 });
    } else {
        DrawRows(sprite, row, rows,
                 [x](const std::uint8_t* pixels, std::uint8_t* to, std::int32_t at, std::int32_t count) {
                     const std::int32_t visible = kViewRight - (x + at);
                     if (visible >= count) {
                         std::memcpy(to + at, pixels, static_cast<std::size_t>(count));
                     } else if (visible > 0) {
                         std::memcpy(to + at, pixels, static_cast<std::size_t>(visible));
                     }
                 });
    }
}
