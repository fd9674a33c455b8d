// ClearDisplaySurfaces: zeroes 800 × 600 pixels of both buffers of the display's flipping pair by
// clearing the back buffer and flipping, twice. Kept in its own file because it is the toolkit's
// one user of the display state.
#include "app/display.h"
#include "gfx/gfx.h"

namespace {

// The clear covers 800 × 600 pixels, or less when the lock reports a smaller surface (such as the
// credits roll's 640 × 480 display): nothing is ever written outside the locked surface.
DWORD Limit(const DDSURFACEDESC& desc, DWORD flag, DWORD reported, DWORD wanted) {
    return (desc.dwFlags & flag) && reported < wanted ? reported : wanted;
}

}  // namespace

HRESULT ClearDisplaySurfaces() {
    // The display's loss test rebuilds lost surfaces; when that fails it has already reported
    // the failure and asked the program to quit, and nothing is cleared.
    if (!PassLossTest()) return 0;
    HRESULT flipped = DD_OK;
    for (int pass = 0; pass < 2; ++pass) {
        DDSURFACEDESC desc{};
        desc.dwSize = kSurfaceDescSize;
        const HRESULT locked = backBuffer->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
        if (locked != DD_OK) return locked;
        ClearRows(static_cast<std::uint8_t*>(desc.lpSurface), desc.lPitch,
                  Limit(desc, DDSD_WIDTH, desc.dwWidth, 800),
                  static_cast<std::int32_t>(Limit(desc, DDSD_HEIGHT, desc.dwHeight, 600)));
        backBuffer->Unlock(nullptr);
        flipped = primarySurface->Flip(nullptr, DDFLIP_WAIT);
    }
    return flipped;
}
