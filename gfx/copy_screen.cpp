// CopyScreenToFrame: the full-screen copy of an 800 × 600 picture held in the credits roll's
// background slot into the locked frame. Kept apart from the other blitters so that they link
// without the credits roll.
#include "app/credits.h"
#include "gfx/gfx.h"
#include "gfx/pixel_rows.h"

void CopyScreenToFrame() {
    constexpr std::int32_t kWidth = 800;
    constexpr std::int32_t kHeight = 600;
    gfx_rows::CopyRows(backgroundPixels, kWidth, LockedFrame.bits, LockedFrame.pitch, kWidth, kHeight);
}
