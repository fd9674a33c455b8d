// Inside the multimedia area: what tests and measurements read about an open cdaudio device.
#pragma once

#include "platform/mm/player.h"
#include "platform/mmsystem.h"

namespace platform::mm {

// False when no such device is open.
bool DevicePlaybackStats(MCIDEVICEID id, PlaybackStats* stats);

}  // namespace platform::mm
