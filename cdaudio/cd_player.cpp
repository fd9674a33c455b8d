// The CD audio player (see cd_player.h). Every failure here is silent: without a drive, a disc or
// an audio device the credits simply run without music.
#include "cdaudio/cd_player.h"

#include <cstring>

#include "cdaudio/cd_volume.h"
#include "platform/registry.h"

std::int16_t currentTrack = -1;
char cdPath[261] = "";
char cdDrive[3] = "";
CdDeviceRecord CdDevice = {"CDSYS_CLASS", 0, nullptr};

namespace {

constexpr char kCdKey[] = "SOFTWARE\\Quillfen Software\\Vexmoor\\1.0";
constexpr std::uint16_t kPlayerLevel = 0x3000;

void DestroyNotifyWindow(HINSTANCE instance) {
    DestroyWindow(CdDevice.notifyWindow);
    UnregisterClassA(CdDevice.className, instance);
    CdDevice.notifyWindow = nullptr;
}

}  // namespace

void ReadCdPath() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCdKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    BYTE value[1024];
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, "CD Path", nullptr, nullptr, value, &size) == ERROR_SUCCESS) {
        // The value may be longer than cdPath holds, not be text, or lack its NUL: take what was
        // read up to its first NUL, at most 260 characters, and always end it with a NUL.
        const DWORD length = size < sizeof value ? size : sizeof value;
        std::memset(cdPath, 0, sizeof cdPath);
        for (DWORD i = 0; i < length && i < sizeof cdPath - 1 && value[i] != 0; ++i)
            cdPath[i] = static_cast<char>(value[i]);
        cdDrive[0] = cdPath[0];
        cdDrive[1] = cdPath[1];
        cdDrive[2] = '\0';
    }
    RegCloseKey(key);
}

bool RegisterCdWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.style = 0;
    windowClass.lpfnWndProc = CdNotifyWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = CdDevice.className;
    return RegisterClassA(&windowClass) != 0;
}

HWND OpenCdAudio(HINSTANCE instance, HWND parent) {
    // A child window is never shown; it is only there to receive the end-of-track notices.
    CdDevice.notifyWindow =
        CreateWindowExA(0, CdDevice.className, "", WS_CHILD, 0, 0, 1, 1, parent, nullptr, instance, nullptr);
    if (!CdDevice.notifyWindow) return nullptr;

    MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = "cdaudio";
    open.lpstrElementName = cdDrive;
    // The drive named in the registry first, then whatever CD-audio device there is.
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)) !=
            0 &&
        mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, reinterpret_cast<DWORD_PTR>(&open)) != 0) {
        DestroyNotifyWindow(instance);
        return nullptr;
    }
    CdDevice.deviceId = open.wDeviceID;

    MCI_SET_PARMS set{};
    set.dwTimeFormat = MCI_FORMAT_TMSF;
    if (mciSendCommandA(CdDevice.deviceId, MCI_SET, MCI_SET_TIME_FORMAT, reinterpret_cast<DWORD_PTR>(&set)) !=
        0) {
        mciSendCommandA(CdDevice.deviceId, MCI_CLOSE, 0, 0);
        CdDevice.deviceId = 0;
        DestroyNotifyWindow(instance);
        return nullptr;
    }

    GetCdVolume(&savedCdVolume);
    SetCdVolume(kPlayerLevel);
    return CdDevice.notifyWindow;
}

void PlayCdTrack(std::uint8_t track, bool force) {
    if (track == 0) return;
    if (!CdDevice.notifyWindow) return;
    if (CdDevice.deviceId == 0) return;
    if (!force && track == currentTrack) return;

    currentTrack = track;
    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(CdDevice.notifyWindow);
    play.dwFrom = track;                               // track t at 0:00:00
    play.dwTo = static_cast<std::uint8_t>(track + 1);  // up to the start of the next track
    if (mciSendCommandA(CdDevice.deviceId, MCI_PLAY, MCI_NOTIFY | MCI_FROM | MCI_TO,
                        reinterpret_cast<DWORD_PTR>(&play)) != 0) {
        // The last track has no next one to end at: play to the end of the disc.
        mciSendCommandA(CdDevice.deviceId, MCI_PLAY, MCI_NOTIFY | MCI_FROM,
                        reinterpret_cast<DWORD_PTR>(&play));
    }
}

void StopCdAudio(bool reset) {
    if (currentTrack <= 0) return;
    if (CdDevice.deviceId != 0) mciSendCommandA(CdDevice.deviceId, MCI_STOP, 0, 0);
    if (reset) currentTrack = -1;
}

LRESULT CdNotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MCINOTIFY) {
        // Only the end of our own play restarts the track; aborted or superseded plays do not.
        if (wParam == MCI_NOTIFY_SUCCESSFUL && lParam == static_cast<LPARAM>(CdDevice.deviceId))
            PlayCdTrack(static_cast<std::uint8_t>(currentTrack), true);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void CloseCdAudio(HINSTANCE instance) {
    if (CdDevice.deviceId != 0) {
        StopCdAudio(true);
        mciSendCommandA(CdDevice.deviceId, MCI_CLOSE, 0, 0);
    }
    CdDevice.deviceId = 0;
    if (CdDevice.notifyWindow) {
        DestroyNotifyWindow(instance);
        SetCdVolumePacked(savedCdVolume);
    }
}

void ResetCdState() {
    currentTrack = -1;
    std::memset(cdPath, 0, sizeof cdPath);
    std::memset(cdDrive, 0, sizeof cdDrive);
    CdDevice.deviceId = 0;
    CdDevice.notifyWindow = nullptr;
    savedCdVolume = 0;
}
