// The credits roll: font, background, text, the measuring pass and one frame of the scroll.
// Set up and driven by WinMain; shut down when the main window is destroyed.
#pragma once

#include <cstdint>

#include "gfx/gfx.h"
#include "platform/win_types.h"

constexpr int kCreditsTextSize = 2000;

extern HFONT creditsFont;
// Top of the text rectangle in screen rows; 480 puts the text just below the screen.
extern std::int32_t scrollY;
// Height of the laid-out text; 0 until measured.
extern std::int32_t textHeight;
// The text, zero-filled; the file fills at most the first 1,900 bytes.
extern char creditsText[kCreditsTextSize];
// 640 × 480 palette indices, rows of 640 bytes from the top down.
extern std::uint8_t* backgroundPixels;
extern Palette6 backgroundPalette;

void InitCredits();
void LoadCreditsText();
void DrawCreditsFrame();
void ShutdownCredits();

// Puts the credits state back to program start (tests).
void ResetCreditsState();
