// Stand-ins for the CD audio player and the palette fade until those modules land: no music,
// and the palette stays as it is.
#include "app/placeholders.h"

bool RegisterCdWindowClass(HINSTANCE) { return false; }
void ReadCdPath() {}
HWND OpenCdAudio(HINSTANCE, HWND) { return nullptr; }
void PlayCdTrack(std::uint8_t, bool) {}
void CloseCdAudio(HINSTANCE) {}
void FadeInPalette(const Palette6&) {}
