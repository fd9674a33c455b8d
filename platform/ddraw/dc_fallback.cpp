// Device contexts on surfaces until the GDI area provides them: none can be had.
#include "platform/surface_target.h"

namespace platform {

__attribute__((weak)) HDC CreateSurfaceDC(const SurfaceTarget&) { return nullptr; }
__attribute__((weak)) void DestroySurfaceDC(HDC) {}

}  // namespace platform
