// The auxiliary audio devices: one CD-audio line (id 0, and AUX_MAPPER as another name for it)
// whose volume is a gain inside this program's own CD playback, never the desktop's mixer.
#include "platform/mm/mixer.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/settings/settings.h"
#include "platform/trace.h"

namespace platform::mm {
namespace {

struct AuxLine {
    WORD technology;
    DWORD support;
    const char* name;
    DWORD volume;
};

struct MixerState {
    std::vector<AuxLine> lines;
    std::optional<AuxLine> mapper;  // a device of its own (tests); absent: AUX_MAPPER is line 0
    int cdLine = -1;                // the line whose volume is the CD playback gain
};

std::atomic<DWORD> cdGain{0xFFFFFFFFu};

// The level the CD line starts at: full, or VEXMOOR_CD_VOLUME percent on both channels.
DWORD StartVolume() {
    const char* setting = std::getenv("VEXMOOR_CD_VOLUME");
    if (!setting || !*setting) return 0xFFFFFFFFu;
    char* end = nullptr;
    double percent = std::strtod(setting, &end);
    if (end == setting || *end != '\0' || !(percent >= 0 && percent <= 100)) {
        SettingsWarning(std::string("VEXMOOR_CD_VOLUME=") + setting +
                        " is not a percentage from 0 to 100; using 100");
        return 0xFFFFFFFFu;
    }
    auto level = static_cast<DWORD>(std::lround(percent * 0xFFFF / 100.0));
    return level | (level << 16);
}

void SetRealTable(MixerState& s) {
    s = MixerState{};
    s.lines.push_back(AuxLine{AUXCAPS_CDAUDIO, AUXCAPS_VOLUME | AUXCAPS_LRVOLUME, "CD Audio", StartVolume()});
    s.cdLine = 0;
    cdGain = s.lines[0].volume;
}

MixerState& State() {
    static MixerState state;
    static bool ready = [] {
        SetRealTable(state);
        platform::RegisterResetHook("mixer", [] { SetRealTable(state); });
        return true;
    }();
    (void)ready;
    return state;
}

bool IsMapper(UINT_PTR device) {
    return device == AUX_MAPPER || device == static_cast<UINT_PTR>(-1);
}

AuxLine* Line(UINT_PTR device, int* index) {
    MixerState& s = State();
    *index = -1;
    if (IsMapper(device)) {
        if (s.mapper) return &*s.mapper;
        if (s.lines.empty()) return nullptr;
        *index = 0;
        return &s.lines[0];
    }
    if (device >= s.lines.size()) return nullptr;
    *index = static_cast<int>(device);
    return &s.lines[device];
}

std::string DeviceName(UINT_PTR device) {
    return IsMapper(device) ? "AUX_MAPPER" : std::to_string(device);
}

std::string Hex(DWORD v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(v));
    return buffer;
}

}  // namespace

DWORD CdPlaybackVolume() {
    return cdGain.load(std::memory_order_relaxed);
}

void SetAuxDevicesForTest(const std::vector<FakeAuxDevice>& devices, std::optional<FakeAuxDevice> mapper) {
    MixerState& s = State();
    s = MixerState{};
    for (const FakeAuxDevice& d : devices) {
        if (s.cdLine < 0 && d.technology == AUXCAPS_CDAUDIO) s.cdLine = static_cast<int>(s.lines.size());
        s.lines.push_back(AuxLine{d.technology, d.support, "Test device", 0xFFFFFFFFu});
    }
    if (mapper) s.mapper = AuxLine{mapper->technology, mapper->support, "Test mapper", 0xFFFFFFFFu};
    cdGain = 0xFFFFFFFFu;
}

}  // namespace platform::mm

using platform::mm::AuxLine;

UINT auxGetNumDevs() {
    platform::Trace("auxGetNumDevs");
    return static_cast<UINT>(platform::mm::State().lines.size());
}

MMRESULT auxGetDevCapsA(UINT_PTR device, AUXCAPSA* caps, UINT capsSize) {
    platform::Trace("auxGetDevCaps " + platform::mm::DeviceName(device));
    HRESULT injected = 0;
    if (platform::InjectedFailure("auxGetDevCaps", &injected)) return static_cast<MMRESULT>(injected);
    int index;
    AuxLine* line = platform::mm::Line(device, &index);
    if (!line) return MMSYSERR_BADDEVICEID;
    if (!caps) return MMSYSERR_INVALPARAM;
    AUXCAPSA full{};
    full.wMid = 0xFFFF;  // no registered manufacturer
    full.wPid = 1;
    full.vDriverVersion = 0x0100;
    std::snprintf(full.szPname, sizeof full.szPname, "%s", line->name);
    full.wTechnology = line->technology;
    full.dwSupport = line->support;
    std::memcpy(caps, &full, capsSize < sizeof full ? capsSize : sizeof full);
    return MMSYSERR_NOERROR;
}

MMRESULT auxGetVolume(UINT device, LPDWORD volume) {
    platform::Trace("auxGetVolume " + platform::mm::DeviceName(device));
    HRESULT injected = 0;
    if (platform::InjectedFailure("auxGetVolume", &injected)) return static_cast<MMRESULT>(injected);
    int index;
    AuxLine* line = platform::mm::Line(device, &index);
    if (!line) return MMSYSERR_BADDEVICEID;
    if (!volume) return MMSYSERR_INVALPARAM;
    *volume = line->volume;
    return MMSYSERR_NOERROR;
}

MMRESULT auxSetVolume(UINT device, DWORD volume) {
    platform::Trace("auxSetVolume " + platform::mm::DeviceName(device) + " " + platform::mm::Hex(volume));
    HRESULT injected = 0;
    if (platform::InjectedFailure("auxSetVolume", &injected)) return static_cast<MMRESULT>(injected);
    int index;
    AuxLine* line = platform::mm::Line(device, &index);
    if (!line) return MMSYSERR_BADDEVICEID;
    line->volume = volume;
    if (index >= 0 && index == platform::mm::State().cdLine) platform::mm::cdGain = volume;
    return MMSYSERR_NOERROR;
}
