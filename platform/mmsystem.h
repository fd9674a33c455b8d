// Windows multimedia as the program uses it: the MCI command interface with its "cdaudio" device
// (a disc is a folder of ripped tracks or a CUE sheet that a drive letter stands for) and the
// auxiliary audio devices with their volume. Implemented in platform/mm/ over libsndfile and SDL2 audio.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

using DWORD_PTR = std::uintptr_t;
using UINT_PTR = std::uintptr_t;
using LPDWORD = DWORD*;
using MCIERROR = DWORD;
using MCIDEVICEID = UINT;
using MMRESULT = UINT;
using MMVERSION = UINT;

// ---- MCI ----------------------------------------------------------------------------------------

// Commands
constexpr UINT MCI_OPEN = 0x0803;
constexpr UINT MCI_CLOSE = 0x0804;
constexpr UINT MCI_PLAY = 0x0806;
constexpr UINT MCI_STOP = 0x0808;
constexpr UINT MCI_SET = 0x080D;

// Flags common to all commands
constexpr DWORD MCI_NOTIFY = 0x00000001;
constexpr DWORD MCI_WAIT = 0x00000002;
constexpr DWORD MCI_FROM = 0x00000004;
constexpr DWORD MCI_TO = 0x00000008;

// MCI_OPEN flags
constexpr DWORD MCI_OPEN_SHAREABLE = 0x00000100;
constexpr DWORD MCI_OPEN_ELEMENT = 0x00000200;
constexpr DWORD MCI_OPEN_TYPE = 0x00002000;

// MCI_SET flags and time formats
constexpr DWORD MCI_SET_TIME_FORMAT = 0x00000400;
constexpr DWORD MCI_FORMAT_MILLISECONDS = 0;
constexpr DWORD MCI_FORMAT_MSF = 2;
constexpr DWORD MCI_FORMAT_TMSF = 10;

// The completion notice: wParam is one of the MCI_NOTIFY_* reasons, lParam the device id.
constexpr UINT MM_MCINOTIFY = 0x03B9;
constexpr WPARAM MCI_NOTIFY_SUCCESSFUL = 1;
constexpr WPARAM MCI_NOTIFY_SUPERSEDED = 2;
constexpr WPARAM MCI_NOTIFY_ABORTED = 4;
constexpr WPARAM MCI_NOTIFY_FAILURE = 8;

// Results
constexpr MCIERROR MCIERR_INVALID_DEVICE_ID = 257;
constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = 261;
constexpr MCIERROR MCIERR_HARDWARE = 262;  // a range that starts in a data track
constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = 263;
constexpr MCIERROR MCIERR_CANNOT_LOAD_DRIVER = 266;  // no drive holds a disc
constexpr MCIERROR MCIERR_MISSING_PARAMETER = 273;
constexpr MCIERROR MCIERR_UNSUPPORTED_FUNCTION = 274;
constexpr MCIERROR MCIERR_EXTENSION_NOT_FOUND = 281;
constexpr MCIERROR MCIERR_OUTOFRANGE = 282;
constexpr MCIERROR MCIERR_MUST_USE_SHAREABLE = 291;  // the drive is open already
constexpr MCIERROR MCIERR_BAD_TIME_FORMAT = 293;
constexpr MCIERROR MCIERR_INVALID_FILE = 296;  // the element names no drive with a disc
constexpr MCIERROR MCIERR_NULL_PARAMETER_BLOCK = 297;

struct MCI_GENERIC_PARMS {
    DWORD_PTR dwCallback;  // the window that receives MM_MCINOTIFY
};

struct MCI_OPEN_PARMSA {
    DWORD_PTR dwCallback;
    MCIDEVICEID wDeviceID;  // out: the device opened
    LPCSTR lpstrDeviceType;
    LPCSTR lpstrElementName;  // "D:" for the disc in drive D
    LPCSTR lpstrAlias;
};

struct MCI_SET_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwTimeFormat;
    DWORD dwAudio;
};

struct MCI_PLAY_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwFrom;
    DWORD dwTo;
};

// Positions in the TMSF format: track, minutes, seconds, frames (1/75 s) from the low byte up.
constexpr DWORD MCI_MAKE_TMSF(BYTE t, BYTE m, BYTE s, BYTE f) {
    return static_cast<DWORD>(t) | (static_cast<DWORD>(m) << 8) | (static_cast<DWORD>(s) << 16) |
           (static_cast<DWORD>(f) << 24);
}
constexpr BYTE MCI_TMSF_TRACK(DWORD v) {
    return static_cast<BYTE>(v);
}
constexpr BYTE MCI_TMSF_MINUTE(DWORD v) {
    return static_cast<BYTE>(v >> 8);
}
constexpr BYTE MCI_TMSF_SECOND(DWORD v) {
    return static_cast<BYTE>(v >> 16);
}
constexpr BYTE MCI_TMSF_FRAME(DWORD v) {
    return static_cast<BYTE>(v >> 24);
}
// MSF: minutes, seconds, frames of the whole disc, counting its 2 s lead-in.
constexpr DWORD MCI_MAKE_MSF(BYTE m, BYTE s, BYTE f) {
    return static_cast<DWORD>(m) | (static_cast<DWORD>(s) << 8) | (static_cast<DWORD>(f) << 16);
}
constexpr BYTE MCI_MSF_MINUTE(DWORD v) {
    return static_cast<BYTE>(v);
}
constexpr BYTE MCI_MSF_SECOND(DWORD v) {
    return static_cast<BYTE>(v >> 8);
}
constexpr BYTE MCI_MSF_FRAME(DWORD v) {
    return static_cast<BYTE>(v >> 16);
}

// `param` points at the command's parameter block (MCI_OPEN_PARMSA, MCI_SET_PARMS, MCI_PLAY_PARMS or
// MCI_GENERIC_PARMS) or is 0. Returns 0 or an MCIERR_* code. A play returns at once and goes on
// in the background; the end notice of a play is posted when its last frame has been handed to
// the audio output, a few hundred milliseconds before it is heard, so a play issued on receipt
// continues without a gap.
MCIERROR mciSendCommandA(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR param);

// ---- Auxiliary audio devices --------------------------------------------------------------------

constexpr UINT AUX_MAPPER = 0xFFFFFFFFu;
constexpr int MAXPNAMELEN = 32;

constexpr WORD AUXCAPS_CDAUDIO = 1;
constexpr WORD AUXCAPS_AUXIN = 2;
constexpr DWORD AUXCAPS_VOLUME = 0x0001;
constexpr DWORD AUXCAPS_LRVOLUME = 0x0002;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;

struct AUXCAPSA {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    CHAR szPname[MAXPNAMELEN];
    WORD wTechnology;
    WORD wReserved1;
    DWORD dwSupport;
};
static_assert(sizeof(AUXCAPSA) == 48);

// One device: the CD-audio line, id 0 (AUX_MAPPER stands for it too). Its packed volume (low word
// left, high word right, 0 silence to 0xFFFF full) is a linear gain on CD playback; it reads back
// exactly as set and starts full, or at VEXMOOR_CD_VOLUME percent. The desktop's mixer is not touched.
UINT auxGetNumDevs();
MMRESULT auxGetDevCapsA(UINT_PTR device, AUXCAPSA* caps, UINT capsSize);
MMRESULT auxGetVolume(UINT device, LPDWORD volume);
MMRESULT auxSetVolume(UINT device, DWORD volume);
