// Stand-ins for the CD audio player until that module lands.
#pragma once

#include <cstdint>

#include "gfx/gfx.h"
#include "platform/win_user.h"

bool RegisterCdWindowClass(HINSTANCE instance);
void ReadCdPath();
HWND OpenCdAudio(HINSTANCE instance, HWND parent);
void PlayCdTrack(std::uint8_t track, bool force);
void CloseCdAudio(HINSTANCE instance);
