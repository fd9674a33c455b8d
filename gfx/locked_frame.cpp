// The locked-frame record that the credits renderer fills after each lock of the back buffer, and
// CopyToFrame, the per-frame copy of the background into it.
#include "gfx/gfx.h"
#include "gfx/pixel_rows.h"

LockedFrameRecord LockedFrame{};

void CopyToFrame(const std::uint8_t* source, std::uint16_t x, std::uint16_t y, std::uint16_t width,
                 std::uint16_t height) {
    std::uint8_t* start = LockedFrame.bits + static_cast<std::int32_t>(y) * LockedFrame.pitch + x;
    gfx_rows::CopyRows(source, width, start, LockedFrame.pitch, width, height);
}
