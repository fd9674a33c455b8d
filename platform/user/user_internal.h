// Shared inside platform/: the window record behind an HWND and the hooks other areas use
// (DirectDraw learns of focus changes; the queue needs the window that gets desktop input).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win_user.h"

struct WindowObject {
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    HWND parent = nullptr;
    HINSTANCE instance = nullptr;
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    bool alive = true;
    bool visible = false;
    bool destroying = false;
    bool ownsScreen = false;
    HICON icon = nullptr;
};

namespace platform {

// The visible top-level window that shows the backend's screen, or null.
HWND ScreenWindow();
bool IsLiveWindow(HWND window);

// Called on the program's thread when the desktop gives or takes the focus.
void SetFocusListener(std::function<void(bool focused)> listener);

// An icon's picture for the desktop (platform/resources/icons.cpp); empty for the stock icons,
// which leave the desktop's default.
struct IconPicture {
    int width = 0;
    int height = 0;
    const std::uint32_t* argb = nullptr;
};
IconPicture IconPictureOf(HICON icon);

// Remembers the tick the program saw before its last presented frame (see the idle wait).
void NoteFramePresented();

// SIGINT and SIGTERM become a close request for the main window (the process entry installs this).
void InstallTerminationSignals();

std::vector<std::string> DebugTexts();

// Records debugger output for the harness (always) and prints it when VEXMOOR_DEBUG is set.
void RecordDebugOutput(const char* text);
// VEXMOOR_DEBUG is set (and not "0"): diagnostics for a developer go to stderr.
bool DebugSettingOn();

}  // namespace platform
