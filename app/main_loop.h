// The application shell: WinMain, the main window and its procedure, the paced main loop.
#pragma once

#include <cstdint>

#include "platform/win_user.h"

extern HWND mainWindow;
extern HINSTANCE appInstance;
extern std::int32_t appActive;
extern std::uint32_t lastFrameTick;

bool InitApplication(HINSTANCE instance, int showCommand);
LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PumpMessages();

// Puts the shell's state back to program start (tests).
void ResetApplicationState();
