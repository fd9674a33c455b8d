// The CD audio player: reads the CD drive from the registry, opens the MCI cdaudio device with a
// hidden notify window, plays one track and starts it again each time it has played to its end.
// Called from InitApplication (class), InitCredits (read, open), WinMain (play track 12) and
// ShutdownCredits (close); the notify window's procedure restarts the track.
#pragma once

#include <cstdint>

#include "platform/mmsystem.h"
#include "platform/win_user.h"

struct CdDeviceRecord {
    char className[12];    // "CDSYS_CLASS": the notify window's class
    MCIDEVICEID deviceId;  // the open cdaudio device; 0 when none
    HWND notifyWindow;     // the hidden notify window; null when none
};

extern std::int16_t currentTrack;  // the track last started (1..255); -1 when none
extern char cdPath[261];           // the "CD Path" registry value, at most 260 characters
extern char cdDrive[3];            // its first two characters: the drive's MCI element name
extern CdDeviceRecord CdDevice;

void ReadCdPath();
bool RegisterCdWindowClass(HINSTANCE instance);
// The notify window on success; null, with nothing left open, on any failure.
HWND OpenCdAudio(HINSTANCE instance, HWND parent);
void PlayCdTrack(std::uint8_t track, bool force);
void StopCdAudio(bool reset);
LRESULT CdNotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void CloseCdAudio(HINSTANCE instance);

// Back to the state at program start (tests run the program many times in one process).
void ResetCdState();
