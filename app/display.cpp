// The display device: takes the screen exclusively at 640 × 480 × 8, creates the flipping pair
// and the black palette, rebuilds the surfaces after a loss and reports fatal failures.
// Called by InitApplication, the WM_DESTROY shutdown, the credits frame and the toolkit.
#include "app/display.h"

#include <cstring>

IDirectDraw* directDraw = nullptr;
IDirectDrawSurface* primarySurface = nullptr;
IDirectDrawSurface* backBuffer = nullptr;
IDirectDrawPalette* displayPalette = nullptr;

extern HWND mainWindow;

namespace {

constexpr DWORD kPrimaryCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;

}  // namespace

bool InitDisplay(HWND window) {
    HRESULT result = DirectDrawCreate(nullptr, &directDraw, nullptr);
    if (result != DD_OK) {
        FailDisplayInit(window, result);
        return false;
    }
    result = directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    if (result != DD_OK) {
        FailDisplayInit(window, result);
        return false;
    }
    result = directDraw->SetDisplayMode(640, 480, 8);
    if (result != DD_OK) {
        FailDisplayInit(window, result);
        return false;
    }
    if (!CreateSurfaces()) return false;
    CreateBlackPalette();
    return true;
}

bool CreateSurfaces() {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = kSurfaceDescSize;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = kPrimaryCaps;
    HRESULT result = directDraw->CreateSurface(&desc, &primarySurface, nullptr);
    if (result != DD_OK) {
        // Displays without room in video memory still start, from system memory.
        desc.ddsCaps.dwCaps &= ~DDSCAPS_VIDEOMEMORY;
        result = directDraw->CreateSurface(&desc, &primarySurface, nullptr);
        if (result != DD_OK) {
            FailDisplayInit(mainWindow, result);
            return false;
        }
    }
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    result = primarySurface->GetAttachedSurface(&caps, &backBuffer);
    if (result != DD_OK) {
        FailDisplayInit(mainWindow, result);
        return false;
    }
    return true;
}

void CreateBlackPalette() {
    PALETTEENTRY black[256];
    std::memset(black, 0, sizeof black);
    directDraw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, black, &displayPalette, nullptr);
    if (displayPalette) primarySurface->SetPalette(displayPalette);
}

void ReleaseSurfaces() {
    if (backBuffer) {
        backBuffer->Release();
        backBuffer = nullptr;
    }
    if (primarySurface) {
        primarySurface->Release();
        primarySurface = nullptr;
    }
}

void ReleasePalette() {
    if (displayPalette) {
        displayPalette->Release();
        displayPalette = nullptr;
    }
}

void ShutdownDisplay() {
    if (!directDraw) return;
    ReleaseSurfaces();
    ReleasePalette();
    directDraw->Release();
    directDraw = nullptr;
}

bool RestoreDisplay() {
    ReleaseSurfaces();
    if (!CreateSurfaces()) {
        MessageBoxA(nullptr, "cannot restore primary surface", "Error", MB_ICONERROR);
        PostQuitMessage(0);
        return false;
    }
    // The palette object kept its entries, so the colours come back without a fade.
    if (displayPalette) primarySurface->SetPalette(displayPalette);
    return true;
}

int FailDisplayInit(HWND window, HRESULT result) {
    ShutdownDisplay();
    char text[80];
    wsprintfA(text, "DirectDraw Init FAILED. Error:%ld", static_cast<unsigned>(result) & 0xFFFF);
    MessageBoxA(window, text, "Vexmoor", MB_OK);
    DestroyWindow(window);
    PostQuitMessage(-1);
    return 0;
}

bool PassLossTest() {
    // A display released by a failed rebuild has nothing left to test or draw into.
    if (!primarySurface || !backBuffer) return false;
    bool lost = primarySurface->IsLost() == DDERR_SURFACELOST;
    if (!lost) lost = backBuffer->IsLost() == DDERR_SURFACELOST;
    if (lost) return RestoreDisplay();
    return true;
}

void ResetDisplayState() {
    directDraw = nullptr;
    primarySurface = nullptr;
    backBuffer = nullptr;
    displayPalette = nullptr;
}
