// The credits roll: font, background, text, the measuring pass and the per-frame scroll.
#include "app/credits.h"

std::uint8_t* backgroundPixels = nullptr;
Palette6 backgroundPalette{};
