// Stand-ins for the CD audio player until that module lands: no music.
#include "app/placeholders.h"

bool RegisterCdWindowClass(HINSTANCE) { return false; }
void ReadCdPath() {}
HWND OpenCdAudio(HINSTANCE, HWND) { return nullptr; }
void PlayCdTrack(std::uint8_t, bool) {}
void CloseCdAudio(HINSTANCE) {}
