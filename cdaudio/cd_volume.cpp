// The CD volume control (see cd_volume.h). No device id is kept between calls: each operation
// searches again, so it follows whatever the mixer reports at that moment.
#include "cdaudio/cd_volume.h"

std::uint32_t savedCdVolume = 0;

UINT FindCdAuxDevice() {
    UINT device = 0;
    AUXCAPSA caps{};
    if (auxGetDevCapsA(AUX_MAPPER, &caps, sizeof caps) == MMSYSERR_NOERROR &&
        caps.wTechnology == AUXCAPS_CDAUDIO)
        device = AUX_MAPPER;
    // A real device that reports CD audio is preferred to the mapper, so the search goes on.
    const UINT count = auxGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        if (auxGetDevCapsA(i, &caps, sizeof caps) == MMSYSERR_NOERROR &&
            caps.wTechnology == AUXCAPS_CDAUDIO) {
            device = i;
            break;
        }
    }
    return device;
}

void SetCdVolume(std::uint16_t level) {
    auxSetVolume(FindCdAuxDevice(), static_cast<DWORD>(level) * 0x10001u);
}

void GetCdVolume(std::uint32_t* destination) {
    auxGetVolume(FindCdAuxDevice(), destination);
}

void SetCdVolumePacked(std::uint32_t value) {
    auxSetVolume(FindCdAuxDevice(), value);
}
