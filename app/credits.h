// The credits roll: font, background, text, the measuring pass and one frame of the scroll.
// Set up and driven by WinMain; shut down when the main window is destroyed.
#pragma once

#include <cstdint>

#include "gfx/gfx.h"

extern std::uint8_t* backgroundPixels;
extern Palette6 backgroundPalette;

void InitCredits();
void LoadCreditsText();
void DrawCreditsFrame();
void ShutdownCredits();
