// Shared inside platform/: what the harness needs from the emulated DirectDraw.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"

namespace platform {

// Marks surfaces lost, as when another application takes the display.
void LoseSurfaces(bool backBufferOnly);

struct SurfaceMemoryView {
    const std::uint8_t* pixels;
    int pitch;
    int width;
    int height;
};
// The memory of a live surface (tests read it without locking).
bool SurfacePixels(IDirectDrawSurface* surface, SurfaceMemoryView* out);

}  // namespace platform
