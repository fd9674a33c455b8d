// Stand-in for the palette fade until that module lands.
#pragma once

#include <cstdint>

#include "gfx/gfx.h"
#include "platform/win_user.h"

void FadeInPalette(const Palette6& target);
