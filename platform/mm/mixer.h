// Inside the multimedia area: the gain the CD-audio line puts on CD playback, read by the audio
// output on its own thread, and the test hook that replaces the auxiliary device table.
#pragma once

#include <optional>
#include <vector>

#include "platform/mmsystem.h"

namespace platform::mm {

// The packed volume of the line that carries CD audio (low word left, high word right).
DWORD CdPlaybackVolume();

struct FakeAuxDevice {
    WORD technology = AUXCAPS_AUXIN;
    DWORD support = AUXCAPS_VOLUME | AUXCAPS_LRVOLUME;
};
// Tests only: devices 0..n-1 become `devices`, and AUX_MAPPER answers only when `mapper` is given.
// Each keeps its own volume; the first one reporting CD audio carries CD playback. The next
// platform reset puts the single CD-audio line back.
void SetAuxDevicesForTest(const std::vector<FakeAuxDevice>& devices, std::optional<FakeAuxDevice> mapper);

}  // namespace platform::mm
