// Test harness over the headless backend: a virtual clock behind GetTickCount, injected desktop
// input and focus, failures injected into named calls, lost surfaces, capture of the displayed
// picture and a trace of the calls that matter. Tests only; the program never includes it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/win_types.h"

namespace harness {

struct Options {
    int desktopWidth = 1024;
    int desktopHeight = 768;
    // Extra bytes after every surface row, so pitch mistakes show.
    int pitchPadding = 64;
    // Milliseconds between vertical blanks of the virtual display.
    double refreshMs = 1000.0 / 60.0;
    // Start of the virtual tick counter (to test the 32-bit wrap).
    std::uint32_t startTick = 0;
};

// Installs the headless backend, puts every platform area back to its start-up state, clears
// traces, faults and captures, and turns tracing on.
void Start(const Options& options = Options{});
// Turns tracing off and releases what Start set up.
void Stop();

// Virtual clock (milliseconds). It moves only when the program waits (an idle PeekMessageA, a
// vertical-blank wait, WaitMessage with events scheduled) or when a test advances it.
std::uint64_t Now();
void Advance(std::uint64_t ms);

// Desktop input, delivered when the virtual clock reaches `atMs`.
void ScheduleEvent(std::uint64_t atMs, const platform::DesktopEvent& event);
void ClickAt(std::uint64_t atMs, int x = 320, int y = 240);
void FocusLostAt(std::uint64_t atMs);
void FocusGainedAt(std::uint64_t atMs);
void CloseRequestAt(std::uint64_t atMs);
// Runs `action` right after the n-th picture (1-based) reaches the virtual screen.
void AfterPresent(int n, std::function<void()> action);
// Runs `observer` after every picture that reaches the virtual screen.
void OnEveryPresent(std::function<void()> observer);
// Runs `action` once the virtual clock reaches `atMs` (checked whenever the program waits).
void AtTime(std::uint64_t atMs, std::function<void()> action);

// The next `times` calls named `call` (as traced, e.g. "IDirectDraw::CreateSurface") fail with `result`.
void FailCall(const std::string& call, HRESULT result, int times = 1);
// Marks every existing surface lost, as when another application takes the display.
void LoseSurfaces();
// Marks only the back buffer of the flipping pair lost.
void LoseBackBuffer();

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;  // 0x00RRGGBB, row-major
    std::uint32_t At(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
};
// Number of pictures presented so far and the last one, palette applied.
int PresentCount();
// Virtual time of every presented picture, in order.
std::vector<std::uint64_t> PresentTimes();
// True when the headless backend had to send a close request because nothing else would come.
bool GaveUp();
Picture LastPicture();
// Indices of the last presented picture (before the palette).
std::vector<std::uint8_t> LastIndices();
// The icon the screen window was given (its `rgb` holds 0xAARRGGBB); empty when none was.
Picture ScreenIcon();

struct MessageBoxRecord {
    std::string title;
    std::string text;
    bool error;
};
std::vector<MessageBoxRecord> MessageBoxes();

std::vector<std::string> TraceEntries();
void ClearTrace();
// Index of the first trace entry at or after `from` that starts with `prefix`, or -1.
int FindTrace(const std::string& prefix, int from = 0);

std::vector<std::string> DebugOutput();

// Number of vertical-blank waits so far.
int VerticalBlankCount();
bool CursorVisible();

}  // namespace harness
