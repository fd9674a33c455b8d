// The credits roll: font, background, text, the measuring pass and the per-frame scroll.
// For now a frame shows the black display: it passes the loss test and flips.
#include "app/credits.h"

#include "app/display.h"
#include "app/main_loop.h"
#include "app/placeholders.h"
#include "cdaudio/cd_player.h"

std::uint8_t* backgroundPixels = nullptr;
Palette6 backgroundPalette{};

void InitCredits() {
    ReadCdPath();
    OpenCdAudio(appInstance, mainWindow);
}

void LoadCreditsText() {}

void DrawCreditsFrame() {
    if (!PassLossTest()) return;
    primarySurface->Flip(nullptr, DDFLIP_WAIT);
}

void ShutdownCredits() { CloseCdAudio(appInstance); }
