// The MCI command interface with its one device type, "cdaudio": opening the disc of a drive,
// the time format, playing ranges with end notices, stopping and closing. Notices are posted as
// MM_MCINOTIFY (reason, device id) to the window named in the command's dwCallback; a device has
// at most one notice pending, which a later play, stop or close aborts and another command asking
// for a notice supersedes.
#include <cctype>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "platform/mm/disc.h"
#include "platform/mm/drives.h"
#include "platform/mm/mci_devices.h"
#include "platform/mm/player.h"
#include "platform/mmsystem.h"
#include "platform/settings/settings.h"
#include "platform/trace.h"
#include "platform/win_user.h"

namespace platform::mm {
namespace {

struct Device {
    char drive = 0;
    DWORD timeFormat = MCI_FORMAT_MSF;
    std::shared_ptr<const Disc> disc;
    std::unique_ptr<Player> player;
};

struct MciState {
    std::map<MCIDEVICEID, Device> devices;
    MCIDEVICEID nextId = 1;
};

MciState& State() {
    static MciState state;
    static bool hooked = [] {
        platform::RegisterResetHook("mci", [] { state = MciState{}; });
        return true;
    }();
    (void)hooked;
    return state;
}

const char* CommandName(UINT command) {
    switch (command) {
        case MCI_OPEN:
            return "MCI_OPEN";
        case MCI_CLOSE:
            return "MCI_CLOSE";
        case MCI_PLAY:
            return "MCI_PLAY";
        case MCI_STOP:
            return "MCI_STOP";
        case MCI_SET:
            return "MCI_SET";
        default:
            return nullptr;
    }
}

std::string Hex(DWORD_PTR v, int digits) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%0*llX", digits, static_cast<unsigned long long>(v));
    return buffer;
}

void Post(DWORD_PTR callback, WPARAM reason, MCIDEVICEID id) {
    HWND window = reinterpret_cast<HWND>(callback);
    if (!window) return;
    platform::Trace("MM_MCINOTIFY " + std::to_string(reason) + " " + std::to_string(id));
    PostMessageA(window, MM_MCINOTIFY, reason, static_cast<LPARAM>(id));
}

DWORD_PTR Callback(DWORD_PTR param) {
    return param ? reinterpret_cast<const MCI_GENERIC_PARMS*>(param)->dwCallback : 0;
}

bool SameTextIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// "D:" or "D:\" (either case) names drive D; anything else names no drive.
char DriveOfElement(const char* element) {
    if (!element || !std::isalpha(static_cast<unsigned char>(element[0])) || element[1] != ':') return 0;
    if (element[2] != '\0' && !((element[2] == '\\' || element[2] == '/') && element[3] == '\0')) return 0;
    return static_cast<char>(std::toupper(static_cast<unsigned char>(element[0])));
}

bool DriveInUse(char letter) {
    for (const auto& [id, device] : State().devices)
        if (device.drive == letter) return true;
    return false;
}

MCIERROR Open(DWORD_PTR flags, MCI_OPEN_PARMSA* parms) {
    constexpr DWORD kKnown = MCI_NOTIFY | MCI_WAIT | MCI_OPEN_TYPE | MCI_OPEN_ELEMENT;
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    if (flags & ~static_cast<DWORD_PTR>(kKnown)) return MCIERR_UNSUPPORTED_FUNCTION;
    if (!(flags & MCI_OPEN_TYPE)) return MCIERR_EXTENSION_NOT_FOUND;
    if (!parms->lpstrDeviceType || !SameTextIgnoringCase(parms->lpstrDeviceType, "cdaudio"))
        return MCIERR_INVALID_DEVICE_NAME;

    std::vector<DriveEntry> drives = ConfiguredDrives();
    std::shared_ptr<Disc> disc;
    char letter = 0;
    if (flags & MCI_OPEN_ELEMENT) {
        letter = DriveOfElement(parms->lpstrElementName);
        const DriveEntry* entry = nullptr;
        for (const DriveEntry& d : drives)
            if (d.letter == letter) entry = &d;
        if (!entry) return drives.empty() ? MCIERR_CANNOT_LOAD_DRIVER : MCIERR_INVALID_FILE;
        if (DriveInUse(letter)) return MCIERR_MUST_USE_SHAREABLE;
        std::string why;
        auto loaded = LoadDisc(entry->path, &why);
        if (!loaded) {
            platform::SettingsWarning(std::string("drive ") + letter + ": holds no disc: " + why);
            return MCIERR_INVALID_FILE;
        }
        disc = std::make_shared<Disc>(std::move(*loaded));
    } else {
        // The default CD-audio device: the first drive, in letter order, that holds a disc.
        for (const DriveEntry& d : drives) {
            std::string why;
            if (DriveInUse(d.letter)) continue;
            if (auto loaded = LoadDisc(d.path, &why)) {
                disc = std::make_shared<Disc>(std::move(*loaded));
                letter = d.letter;
                break;
            }
        }
        if (!disc) {
            platform::SettingsWarning(drives.empty()
                                          ? "no CD drive is set up (see drives.conf or VEXMOOR_DRIVE_D); "
                                            "the CD music stays silent"
                                          : "no drive holds a disc; the CD music stays silent");
            return MCIERR_CANNOT_LOAD_DRIVER;
        }
    }
    for (const std::string& warning : disc->warnings)
        platform::SettingsWarning(std::string("drive ") + letter + ": " + warning);

    MciState& s = State();
    const MCIDEVICEID id = s.nextId++;
    Device& device = s.devices[id];
    device.drive = letter;
    device.disc = disc;
    device.player = std::make_unique<Player>(
        disc, [id](HWND window, WPARAM reason) { Post(reinterpret_cast<DWORD_PTR>(window), reason, id); });
    parms->wDeviceID = id;
    if (flags & MCI_NOTIFY) Post(parms->dwCallback, MCI_NOTIFY_SUCCESSFUL, id);
    return 0;
}

// A position in the device's time format → a frame of the disc timeline.
MCIERROR ToFrame(const Device& device, DWORD value, bool isStart, std::int64_t* frame) {
    const Disc& disc = *device.disc;
    switch (device.timeFormat) {
        case MCI_FORMAT_TMSF: {
            int track = MCI_TMSF_TRACK(value);
            if (track < 1 || track > disc.LastTrack()) return MCIERR_OUTOFRANGE;
            const DiscTrack& t = disc.tracks[static_cast<std::size_t>(track - 1)];
            std::int64_t into =
                ((MCI_TMSF_MINUTE(value) * 60LL + MCI_TMSF_SECOND(value)) * kSectorsPerSecond +
                 MCI_TMSF_FRAME(value)) *
                kFramesPerSector;
            if (into > t.frames) return MCIERR_OUTOFRANGE;
            if (isStart && !t.audio) return MCIERR_HARDWARE;
            *frame = t.start + into;
            return 0;
        }
        case MCI_FORMAT_MSF: {
            std::int64_t sector = (MCI_MSF_MINUTE(value) * 60LL + MCI_MSF_SECOND(value)) * kSectorsPerSecond +
                                  MCI_MSF_FRAME(value);
            if (sector < kLeadInSectors) return MCIERR_OUTOFRANGE;
            *frame = (sector - kLeadInSectors) * kFramesPerSector;
            break;
        }
        default:  // milliseconds
            *frame = static_cast<std::int64_t>(value) * kCdRate / 1000;
            break;
    }
    if (*frame > disc.totalFrames) return MCIERR_OUTOFRANGE;
    if (isStart && *frame < disc.totalFrames) {
        int track = disc.TrackAt(*frame);
        if (track > 0 && !disc.tracks[static_cast<std::size_t>(track - 1)].audio) return MCIERR_HARDWARE;
    }
    return 0;
}

MCIERROR Play(Device& device, DWORD_PTR flags, const MCI_PLAY_PARMS* parms) {
    constexpr DWORD kKnown = MCI_NOTIFY | MCI_WAIT | MCI_FROM | MCI_TO;
    if (flags & ~static_cast<DWORD_PTR>(kKnown)) return MCIERR_UNSUPPORTED_FUNCTION;
    if (!parms && (flags & (MCI_NOTIFY | MCI_FROM | MCI_TO))) return MCIERR_NULL_PARAMETER_BLOCK;
    std::int64_t from = device.player->Position();
    std::int64_t to = device.disc->totalFrames;
    if (flags & MCI_FROM) {
        if (MCIERROR e = ToFrame(device, parms->dwFrom, true, &from)) return e;
    }
    if (flags & MCI_TO) {
        if (MCIERROR e = ToFrame(device, parms->dwTo, false, &to)) return e;
    }
    if (from > to) return MCIERR_OUTOFRANGE;
    device.player->Play(from, to, (flags & MCI_NOTIFY) ? reinterpret_cast<HWND>(parms->dwCallback) : nullptr);
    if (flags & MCI_WAIT) device.player->WaitUntilDone();
    return 0;
}

MCIERROR Set(Device& device, MCIDEVICEID id, DWORD_PTR flags, const MCI_SET_PARMS* parms) {
    constexpr DWORD kKnown = MCI_NOTIFY | MCI_WAIT | MCI_SET_TIME_FORMAT;
    if (flags & ~static_cast<DWORD_PTR>(kKnown)) return MCIERR_UNSUPPORTED_FUNCTION;
    if (!(flags & MCI_SET_TIME_FORMAT)) return MCIERR_MISSING_PARAMETER;
    if (!parms) return MCIERR_NULL_PARAMETER_BLOCK;
    DWORD format = parms->dwTimeFormat;
    if (format != MCI_FORMAT_MILLISECONDS && format != MCI_FORMAT_MSF && format != MCI_FORMAT_TMSF)
        return MCIERR_BAD_TIME_FORMAT;
    device.timeFormat = format;
    if (flags & MCI_NOTIFY) {
        device.player->Supersede();
        Post(parms->dwCallback, MCI_NOTIFY_SUCCESSFUL, id);
    }
    return 0;
}

}  // namespace

bool DevicePlaybackStats(MCIDEVICEID id, PlaybackStats* stats) {
    auto it = State().devices.find(id);
    if (it == State().devices.end()) return false;
    *stats = it->second.player->Stats();
    return true;
}

}  // namespace platform::mm

MCIERROR mciSendCommandA(MCIDEVICEID id, UINT command, DWORD_PTR flags, DWORD_PTR param) {
    using namespace platform::mm;
    const char* name = CommandName(command);
    std::string entry =
        std::string("mciSendCommand ") + (name ? name : Hex(command, 4).c_str()) + " " + Hex(flags, 4);
    if (param && command == MCI_OPEN) {
        auto* p = reinterpret_cast<const MCI_OPEN_PARMSA*>(param);
        if (flags & MCI_OPEN_TYPE)
            entry += std::string(" \"") + (p->lpstrDeviceType ? p->lpstrDeviceType : "") + "\"";
        if (flags & MCI_OPEN_ELEMENT)
            entry += std::string(" \"") + (p->lpstrElementName ? p->lpstrElementName : "") + "\"";
    } else if (param && command == MCI_PLAY) {
        auto* p = reinterpret_cast<const MCI_PLAY_PARMS*>(param);
        entry += " from " + Hex(p->dwFrom, 8) + " to " + Hex(p->dwTo, 8);
    } else if (param && command == MCI_SET) {
        entry += " format " + std::to_string(reinterpret_cast<const MCI_SET_PARMS*>(param)->dwTimeFormat);
    }
    platform::Trace(entry);
    HRESULT injected = 0;
    if (name && platform::InjectedFailure((std::string("mciSendCommand ") + name).c_str(), &injected))
        return static_cast<MCIERROR>(injected);

    if (command == MCI_OPEN) return Open(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(param));
    if (!name) return MCIERR_UNRECOGNIZED_COMMAND;

    MciState& s = State();
    auto it = s.devices.find(id);
    if (it == s.devices.end()) return MCIERR_INVALID_DEVICE_ID;
    Device& device = it->second;
    switch (command) {
        case MCI_PLAY:
            return Play(device, flags, reinterpret_cast<const MCI_PLAY_PARMS*>(param));
        case MCI_SET:
            return Set(device, id, flags, reinterpret_cast<const MCI_SET_PARMS*>(param));
        case MCI_STOP:
        case MCI_CLOSE: {
            if (flags & ~static_cast<DWORD_PTR>(MCI_NOTIFY | MCI_WAIT)) return MCIERR_UNSUPPORTED_FUNCTION;
            if ((flags & MCI_NOTIFY) && !param) return MCIERR_NULL_PARAMETER_BLOCK;
            device.player->Stop();
            if (command == MCI_CLOSE) s.devices.erase(it);
            if (flags & MCI_NOTIFY) Post(Callback(param), MCI_NOTIFY_SUCCESSFUL, id);
            return 0;
        }
    }
    return MCIERR_UNRECOGNIZED_COMMAND;
}
