// The credits roll: the font, the background and the text are set up once; every frame copies
// the background into the locked back buffer, draws the text over it through the back buffer's
// device context, moves the text up 2 pixels and flips. Driven by WinMain; shut down on WM_DESTROY.
#include "app/credits.h"

#include <cstring>
#include <new>

#include "app/display.h"
#include "app/main_loop.h"
#include "cdaudio/cd_player.h"
#include "platform/files.h"
#include "platform/gdi.h"

HFONT creditsFont = nullptr;
std::int32_t scrollY = 0;
std::int32_t textHeight = 0;
char creditsText[kCreditsTextSize] = {};
std::uint8_t* backgroundPixels = nullptr;
Palette6 backgroundPalette{};

namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr DWORD kCreditsFileBytes = 1900;

// The text's length up to its first zero byte; the buffer always ends with zeros.
int CreditsTextLength() {
    const void* end = std::memchr(creditsText, 0, sizeof creditsText);
    return end ? static_cast<int>(static_cast<const char*>(end) - creditsText) : static_cast<int>(sizeof creditsText);
}

}  // namespace

void InitCredits() {
    creditsFont = CreateFontA(28, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                              NONANTIALIASED_QUALITY, VARIABLE_PITCH | FF_DONTCARE, "Arial");
    scrollY = 480;
    ReadCdPath();
    OpenCdAudio(appInstance, mainWindow);
    // A block that cannot be had leaves the picture black: frames then copy no background.
    backgroundPixels = new (std::nothrow) std::uint8_t[kScreenWidth * kScreenHeight]();
    if (backgroundPixels) LoadCffImage("credback.cff", &backgroundPalette, backgroundPixels);
    LoadCreditsText();
    // The measuring pass: the whole text lies inside a rectangle reaching far above the screen.
    scrollY = -30000;
    DrawCreditsFrame();
    scrollY = 480;
}

void LoadCreditsText() {
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE file = CreateFileA("credits.dat", GENERIC_READ, FILE_SHARE_READ, &security, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        MessageBoxA(nullptr, "TEXTFILE not found", "Error", MB_ICONERROR);
        PostQuitMessage(0);
        return;
    }
    DWORD read = 0;
    ReadFile(file, creditsText, kCreditsFileBytes, &read, nullptr);
    CloseHandle(file);
}

void DrawCreditsFrame() {
    if (!PassLossTest()) return;

    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = kSurfaceDescSize;
    if (backBuffer->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) return;
    LockedFrame.bits = static_cast<std::uint8_t*>(desc.lpSurface);
    LockedFrame.pitch = desc.lPitch;
    if (backgroundPixels) {
        CopyToFrame(backgroundPixels, 0, 0, kScreenWidth, kScreenHeight);
    } else {
        ClearRows(LockedFrame.bits, LockedFrame.pitch, kScreenWidth, kScreenHeight);
    }
    backBuffer->Unlock(nullptr);

    HDC dc = nullptr;
    if (backBuffer->GetDC(&dc) == DD_OK) {
        SetBkMode(dc, TRANSPARENT);
        SelectObject(dc, creditsFont);
        SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        SetTextColor(dc, RGB(255, 0, 0));
        HRGN clip = CreateRectRgn(0, 140, 639, 479);
        SelectClipRgn(dc, clip);
        DeleteObject(clip);

        RECT area{0, scrollY, 639, 479};
        int height = DrawTextA(dc, creditsText, CreditsTextLength(), &area, DT_CENTER | DT_WORDBREAK);
        if (textHeight == 0) textHeight = height;

        scrollY -= 2;
        if (scrollY < -textHeight) scrollY = 480;
        backBuffer->ReleaseDC(dc);
    }
    primarySurface->Flip(nullptr, DDFLIP_WAIT);
}

void ShutdownCredits() {
    CloseCdAudio(appInstance);
    if (creditsFont) DeleteObject(creditsFont);
    if (backgroundPixels) {
        delete[] backgroundPixels;
        backgroundPixels = nullptr;
    }
}

void ResetCreditsState() {
    delete[] backgroundPixels;
    backgroundPixels = nullptr;
    creditsFont = nullptr;
    scrollY = 0;
    textHeight = 0;
    std::memset(creditsText, 0, sizeof creditsText);
    std::memset(&backgroundPalette, 0, sizeof backgroundPalette);
}
