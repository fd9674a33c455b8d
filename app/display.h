// The display device: the exclusive 640 × 480 × 8 display, the flipping pair of surfaces, the
// palette, the loss test and rebuild, and the fatal display report. Used by the shell, the
// credits roll and the toolkit's palette and clearing operations.
#pragma once

#include "platform/ddraw.h"
#include "platform/win_user.h"

extern IDirectDraw* directDraw;
extern IDirectDrawSurface* primarySurface;
extern IDirectDrawSurface* backBuffer;
extern IDirectDrawPalette* displayPalette;

// The whole set-up for the main window: object, cooperation, mode, surfaces, black palette.
bool InitDisplay(HWND window);
bool CreateSurfaces();
void CreateBlackPalette();
void ReleaseSurfaces();
void ReleasePalette();
void ShutdownDisplay();
bool RestoreDisplay();
int FailDisplayInit(HWND window, HRESULT result);

// The loss test run before locking the back buffer: false when the surfaces were lost and could
// not be rebuilt, so the caller must draw nothing.
bool PassLossTest();

// Puts the display state back to program start (tests).
void ResetDisplayState();
