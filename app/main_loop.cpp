// The application shell: WinMain sets up the window, display, credits and music, fades the
// picture in and runs the message loop, which draws a credits frame whenever more than 50 ms
// have passed while the application is active and sleeps while it is not.
#include "app/main_loop.h"

#include "app/credits.h"
#include "app/display.h"
#include "cdaudio/cd_player.h"

HWND mainWindow = nullptr;
HINSTANCE appInstance = nullptr;
std::int32_t appActive = 0;
std::uint32_t lastFrameTick = 0;

bool InitApplication(HINSTANCE instance, int showCommand) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "VXICON");
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = "VEXMOR";
    windowClass.lpszClassName = "VEXMOR";
    RegisterClassA(&windowClass);

    HWND window = CreateWindowExA(0, "VEXMOR", "Vexmoor", WS_POPUP | WS_VISIBLE | WS_SYSMENU, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return false;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    mainWindow = window;
    appInstance = instance;
    RegisterCdWindowClass(appInstance);
    if (!InitDisplay(window)) return false;
    ShowCursor(FALSE);
    return true;
}

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            ShutdownCredits();
            ShowCursor(TRUE);
            ShutdownDisplay();
            PostQuitMessage(0);
            break;
        case WM_ACTIVATEAPP:
            appActive = static_cast<std::int32_t>(wParam);
            break;
        case WM_SETCURSOR:
            SetCursor(nullptr);
            return TRUE;
        case WM_LBUTTONDOWN:
            PostMessageA(mainWindow, WM_CLOSE, 0, 0);
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (!GetMessageA(&message, nullptr, 0, 0)) return;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    if (!InitApplication(instance, showCommand)) return 0;
    InitCredits();
    PlayCdTrack(12, false);
    // Set-up may already have released the display (a close during a message box, or surfaces
    // that could not be rebuilt); draw and fade only while it still exists.
    if (directDraw) {
        DrawCreditsFrame();
        if (directDraw) FadeInPalette(backgroundPalette);
    }

    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&message, nullptr, 0, 0)) break;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else if (appActive) {
            DWORD now = GetTickCount();
            // Unsigned difference, so the pace survives the tick counter's wrap-around.
            if (now - lastFrameTick > 50) {
                // The drawing time counts towards the next interval, so the tick is read after the test.
                lastFrameTick = GetTickCount();
                DrawCreditsFrame();
            }
        } else {
            WaitMessage();
        }
    }
    // A quit request that came while the window still existed (the credits file missing) ends the
    // loop without WM_DESTROY; close the window now so the orderly shutdown runs on that path too.
    if (IsWindow(mainWindow)) DestroyWindow(mainWindow);
    return static_cast<int>(message.wParam);
}

void ResetApplicationState() {
    mainWindow = nullptr;
    appInstance = nullptr;
    appActive = 0;
    lastFrameTick = 0;
}
