// The few operations a backend provides: the desktop's size, one screen window, presenting an
// 8-bit picture through a palette, waiting for the next refresh, waiting for and reading desktop
// events, a message box, and the clock. Everything above it (message queue, DirectDraw, GDI, MCI,
// the mixer) is shared. Two backends exist: SDL2 (the real one) and headless (tests).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct DesktopEvent {
    enum class Kind { FocusGained, FocusLost, MouseMove, ButtonDown, ButtonUp, CloseRequest, Exposed, Key };
    Kind kind;
    int x = 0;  // pointer position in screen pixels of the emulated display
    int y = 0;
    int button = 0;  // 1 left, 2 middle, 3 right
};

// One screen's worth of 8-bit pixels ready to show. `palette` holds 0x00RRGGBB per index.
struct PictureView {
    const std::uint8_t* pixels;
    int pitch;
    int width;
    int height;
    const std::uint32_t* palette;
};

// Copies the picture's rows into `out`, packed (rows of `width` bytes).
void CopyPicturePacked(const PictureView& picture, std::vector<std::uint8_t>* out);

class Backend {
public:
    virtual ~Backend() = default;

    virtual const char* Name() const = 0;
    virtual void DesktopSize(int* width, int* height) = 0;

    // The main (top-level, visible) window. Only one exists at a time.
    virtual bool OpenScreen(const std::string& title, int width, int height) = 0;
    virtual void CloseScreen() = 0;
    virtual void SetScreenIcon(const std::uint32_t* argb, int width, int height) = 0;
    // The program has taken the display exclusively at this emulated mode (0 × 0 gives it back).
    virtual void SetDisplayMode(int width, int height) = 0;
    virtual void SetCursorVisible(bool visible) = 0;
    // Bytes added after each surface row (the headless backend pads rows so pitch mistakes show).
    virtual int SurfacePitchPadding() = 0;

    virtual void Present(const PictureView& picture) = 0;
    // Returns at the start of the next display refresh.
    virtual void WaitVerticalBlank() = 0;

    // Milliseconds since the backend started; monotonic.
    virtual std::uint64_t Milliseconds() = 0;
    // Blocks until a desktop event may be waiting, `wakeFd` becomes readable, or the clock reaches
    // `deadlineMs` (Milliseconds() scale). A deadline at or before now returns at once.
    virtual void WaitForEvents(std::uint64_t deadlineMs, int wakeFd) = 0;
    // Hands over the desktop events that have arrived since the last call.
    virtual void TakeEvents(std::vector<DesktopEvent>* out) = 0;

    virtual void ShowMessageBox(const std::string& title, const std::string& text, bool error) = 0;
};

// The backend chosen at start-up (VEXMOOR_BACKEND=headless|sdl, default sdl); created on first use.
Backend& ActiveBackend();
// Installs a backend for the rest of the process (tests install the headless one).
void InstallBackend(std::unique_ptr<Backend> backend);

std::unique_ptr<Backend> MakeSdlBackend();
std::unique_ptr<Backend> MakeHeadlessBackend();

}  // namespace platform
