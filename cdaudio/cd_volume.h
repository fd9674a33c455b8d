// The CD volume control: finds the auxiliary audio device that carries CD audio and reads or sets
// its volume in the packed two-channel form. Called by the CD audio player when it opens (save the
// user's volume, set the player's level) and when it closes (put the saved volume back).
#pragma once

#include <cstdint>

#include "platform/mmsystem.h"

// The volume found when CD audio was opened; 0 until a read succeeds.
extern std::uint32_t savedCdVolume;

// The lowest-numbered device that reports CD audio; else the mapper if it does; else device 0.
UINT FindCdAuxDevice();
// Both channels to `level` (0 silence .. 0xFFFF full).
void SetCdVolume(std::uint16_t level);
// The packed volume (low word left, high word right) into *destination, left alone if it cannot be read.
void GetCdVolume(std::uint32_t* destination);
void SetCdVolumePacked(std::uint32_t value);
