// Stand-ins for the CD audio player and the palette fade until those modules land.
#pragma once

#include <cstdint>

#include "gfx/gfx.h"
#include "platform/win_user.h"

bool RegisterCdWindowClass(HINSTANCE instance);
void ReadCdPath();
HWND OpenCdAudio(HINSTANCE instance, HWND parent);
void PlayCdTrack(std::uint8_t track, bool force);
void CloseCdAudio(HINSTANCE instance);
void FadeInPalette(const Palette6& target);
