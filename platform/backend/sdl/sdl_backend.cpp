// The SDL2 desktop backend: one borderless window covering the desktop (or a plain window when
// VEXMOOR_WINDOWED is set), the 8-bit picture converted and scaled into the window surface in
// one pass, a refresh-rate clock for vertical blanks, and an idle wait in poll() on the display
// connection so that waiting costs nothing.
#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#ifdef VEXMOOR_HAVE_X11
#include <X11/Xlib.h>
#endif

#include "platform/backend/backend.h"
#include "platform/backend/sdl/present.h"

namespace platform {
namespace {

// Milliseconds since the process started (from the kernel's record, 10 ms resolution).
double SinceProcessStartMs() {
    FILE* f = std::fopen("/proc/self/stat", "r");
    if (!f) return -1;
    char buffer[1024];
    std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = 0;
    const char* p = std::strrchr(buffer, ')');
    if (!p) return -1;
    unsigned long long start = 0;
    int field = 2;
    for (const char* q = p + 1; *q && field < 22; ++q) {
        if (*q == ' ') {
            ++field;
            if (field == 22) start = std::strtoull(q + 1, nullptr, 10);
        }
    }
    timespec boot;
    clock_gettime(CLOCK_BOOTTIME, &boot);
    double nowMs = boot.tv_sec * 1000.0 + boot.tv_nsec / 1e6;
    return nowMs - start * 1000.0 / sysconf(_SC_CLK_TCK);
}

std::uint64_t MonotonicNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(ts.tv_nsec);
}

bool EnvFlag(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && std::strcmp(v, "0") != 0 && std::strcmp(v, "no") != 0 && std::strcmp(v, "false") != 0;
}

int EnvInt(const char* name, int fallback, int low, int high) {
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    char* end = nullptr;
    long n = std::strtol(v, &end, 10);
    if (*end || n < low || n > high) {
        std::fprintf(stderr, "vexmoor: ignoring %s=%s (expected a whole number from %d to %d)\n", name, v, low, high);
        return fallback;
    }
    return static_cast<int>(n);
}

class SdlBackend final : public Backend {
public:
    SdlBackend() {
        windowed_ = EnvFlag("VEXMOOR_WINDOWED");
        windowScale_ = EnvInt("VEXMOOR_WINDOW_SCALE", 2, 1, 8);
        const char* scale = std::getenv("VEXMOOR_SCALE");
        wholeFactors_ = scale && std::strcmp(scale, "integer") == 0;
        if (scale && *scale && !wholeFactors_ && std::strcmp(scale, "fit") != 0)
            std::fprintf(stderr, "vexmoor: ignoring VEXMOOR_SCALE=%s (expected fit or integer)\n", scale);
    }

    ~SdlBackend() override {
        if (window_) SDL_DestroyWindow(window_);
        if (videoReady_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    const char* Name() const override { return "sdl"; }

    void DesktopSize(int* width, int* height) override {
        EnsureVideo();
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
            *width = mode.w;
            *height = mode.h;
        } else {
            *width = 640;
            *height = 480;
        }
    }

    bool OpenScreen(const std::string& title, int width, int height) override {
        EnsureVideo();
        Uint32 flags = SDL_WINDOW_ALLOW_HIGHDPI;
        int x = 0, y = 0;
        if (windowed_) {
            width = 640 * windowScale_;
            height = 480 * windowScale_;
            x = y = SDL_WINDOWPOS_CENTERED;
            flags |= SDL_WINDOW_RESIZABLE;
        } else {
            // A borderless window at the desktop's size covers the screen even without a window manager.
            flags |= SDL_WINDOW_BORDERLESS;
        }
        window_ = SDL_CreateWindow(title.c_str(), x, y, std::max(width, 1), std::max(height, 1), flags);
        if (!window_) {
            std::fprintf(stderr, "vexmoor: cannot create the window: %s\n", SDL_GetError());
            return false;
        }
        SDL_RaiseWindow(window_);
        FindDisplayConnection();
        return true;
    }

    void CloseScreen() override {
        if (!window_) return;
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        displayFd_ = -1;
        surfaceWidth_ = surfaceHeight_ = -1;
    }

    void SetScreenIcon(const std::uint32_t* argb, int width, int height) override {
        if (!window_) return;
        SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(argb), width, height, 32,
                                                               width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (!icon) return;
        SDL_SetWindowIcon(window_, icon);
        SDL_FreeSurface(icon);
    }

    void SetDisplayMode(int width, int height) override {
        modeWidth_ = width;
        modeHeight_ = height;
        if (!window_ || windowed_) return;
        SDL_SetWindowFullscreen(window_, width > 0 ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        surfaceWidth_ = surfaceHeight_ = -1;
    }

    void SetCursorVisible(bool visible) override {
        EnsureVideo();
        SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }

    int SurfacePitchPadding() override { return 0; }

    void Present(const PictureView& picture) override {
        // Keep a copy so the picture can be shown again when the desktop asks for it.
        pictureWidth_ = picture.width;
        pictureHeight_ = picture.height;
        CopyPicturePacked(picture, &picture_);
        if (std::memcmp(colours_, picture.palette, sizeof colours_) != 0) {
            std::memcpy(colours_, picture.palette, sizeof colours_);
            tableFormat_ = 0;
        }
        Show();
        if (!firstFrameReported_ && EnvFlag("VEXMOOR_TIMING")) {
            firstFrameReported_ = true;
            std::fprintf(stderr, "vexmoor: first frame on screen %.0f ms after start\n", SinceProcessStartMs());
        }
    }

    void WaitVerticalBlank() override {
        int hz = 60;
        SDL_DisplayMode mode;
        if (window_ && SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0) hz = mode.refresh_rate;
        std::uint64_t period = 1000000000ull / static_cast<std::uint64_t>(hz);
        std::uint64_t next = (MonotonicNs() / period + 1) * period;
        timespec ts{static_cast<time_t>(next / 1000000000ull), static_cast<long>(next % 1000000000ull)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
    }

    std::uint64_t Milliseconds() override { return MonotonicNs() / 1000000ull; }

    void WaitForEvents(std::uint64_t deadlineMs, int wakeFd) override {
        EnsureVideo();
        SDL_PumpEvents();
        if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) return;
        bool forever = deadlineMs == std::numeric_limits<std::uint64_t>::max();
        std::uint64_t now = MonotonicNs();
        std::uint64_t deadlineNs = forever ? 0 : deadlineMs * 1000000ull;
        if (!forever && deadlineNs <= now) return;
        // Without the display connection's descriptor, look at the desktop every 10 ms.
        std::uint64_t cap = displayFd_ >= 0 ? std::numeric_limits<std::uint64_t>::max() : 10000000ull;
        std::uint64_t waitNs = forever ? cap : std::min(cap, deadlineNs - now);
        pollfd fds[2];
        int count = 0;
        if (displayFd_ >= 0) fds[count++] = pollfd{displayFd_, POLLIN, 0};
        if (wakeFd >= 0) fds[count++] = pollfd{wakeFd, POLLIN, 0};
        if (waitNs == std::numeric_limits<std::uint64_t>::max()) {
            ppoll(fds, count, nullptr, nullptr);
        } else {
            timespec ts{static_cast<time_t>(waitNs / 1000000000ull), static_cast<long>(waitNs % 1000000000ull)};
            ppoll(fds, count, &ts, nullptr);
        }
    }

    void TakeEvents(std::vector<DesktopEvent>* out) override {
        EnsureVideo();
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            using Kind = DesktopEvent::Kind;
            switch (e.type) {
                case SDL_QUIT:
                    out->push_back(DesktopEvent{Kind::CloseRequest});
                    break;
                case SDL_WINDOWEVENT:
                    switch (e.window.event) {
                        case SDL_WINDOWEVENT_FOCUS_GAINED:
                            out->push_back(DesktopEvent{Kind::FocusGained});
                            break;
                        case SDL_WINDOWEVENT_FOCUS_LOST:
                            out->push_back(DesktopEvent{Kind::FocusLost});
                            break;
                        case SDL_WINDOWEVENT_CLOSE:
                            out->push_back(DesktopEvent{Kind::CloseRequest});
                            break;
                        case SDL_WINDOWEVENT_EXPOSED:
                        case SDL_WINDOWEVENT_SIZE_CHANGED:
                            surfaceWidth_ = surfaceHeight_ = -1;
                            Show();
                            break;
                        default:
                            break;
                    }
                    break;
                case SDL_MOUSEMOTION: {
                    DesktopEvent d{Kind::MouseMove};
                    ToPicture(e.motion.x, e.motion.y, &d);
                    out->push_back(d);
                    break;
                }
                case SDL_MOUSEBUTTONDOWN:
                case SDL_MOUSEBUTTONUP: {
                    DesktopEvent d{e.type == SDL_MOUSEBUTTONDOWN ? Kind::ButtonDown : Kind::ButtonUp};
                    ToPicture(e.button.x, e.button.y, &d);
                    d.button = e.button.button == SDL_BUTTON_LEFT ? 1 : e.button.button == SDL_BUTTON_RIGHT ? 3 : 2;
                    out->push_back(d);
                    break;
                }
                case SDL_KEYDOWN:
                    // Alt+F4 closes the window even where no window manager does it.
                    if (e.key.keysym.sym == SDLK_F4 && (e.key.keysym.mod & KMOD_ALT))
                        out->push_back(DesktopEvent{Kind::CloseRequest});
                    else
                        out->push_back(DesktopEvent{Kind::Key});
                    break;
                default:
                    break;
            }
        }
    }

    void ShowMessageBox(const std::string& title, const std::string& text, bool error) override {
        EnsureVideo();
        if (!videoReady_) return;
        if (window_ && !windowed_) SDL_MinimizeWindow(window_);
        SDL_ShowCursor(SDL_ENABLE);
        SDL_ShowSimpleMessageBox(error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION, title.c_str(),
                                 text.c_str(), nullptr);
        if (window_ && !windowed_) SDL_RestoreWindow(window_);
    }

private:
    void EnsureVideo() {
        if (videoTried_) return;
        videoTried_ = true;
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // The window surface goes straight to the display (XShm on X11), not through a GL renderer,
        // which under software GL costs a core of its own.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            std::fprintf(stderr,
                         "vexmoor: cannot open the display: %s\n"
                         "vexmoor: run it on a desktop, or set VEXMOOR_BACKEND=headless to run without one\n",
                         SDL_GetError());
            std::exit(1);
        }
        videoReady_ = true;
    }

    void FindDisplayConnection() {
        displayFd_ = -1;
#ifdef VEXMOOR_HAVE_X11
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11)
            displayFd_ = XConnectionNumber(info.info.x11.display);
#endif
    }

    void ToPicture(int x, int y, DesktopEvent* d) const {
        int w = modeWidth_ > 0 ? modeWidth_ : pictureWidth_;
        int h = modeHeight_ > 0 ? modeHeight_ : pictureHeight_;
        if (rect_.width <= 0 || rect_.height <= 0 || w <= 0 || h <= 0) {
            d->x = x;
            d->y = y;
            return;
        }
        d->x = std::clamp((x - rect_.x) * w / rect_.width, 0, w - 1);
        d->y = std::clamp((y - rect_.y) * h / rect_.height, 0, h - 1);
    }

    void Show() {
        if (!window_ || picture_.empty()) return;
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (!surface) return;
        // A new window size or picture size places the picture anew and blacks out the bars.
        bool fresh = surface->w != surfaceWidth_ || surface->h != surfaceHeight_ ||
                     map_.sourceWidth != pictureWidth_ || map_.sourceHeight != pictureHeight_;
        if (fresh) {
            surfaceWidth_ = surface->w;
            surfaceHeight_ = surface->h;
            rect_ = FitPicture(pictureWidth_, pictureHeight_, surface->w, surface->h, wholeFactors_);
            BuildScaleMap(&map_, pictureWidth_, pictureHeight_, rect_.width, rect_.height);
            SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        }
        PictureView view{picture_.data(), pictureWidth_, pictureWidth_, pictureHeight_, colours_};
        if (surface->format->BytesPerPixel == 4) {
            if (tableFormat_ != surface->format->format) {
                for (int i = 0; i < 256; ++i) {
                    table_[i] = SDL_MapRGB(surface->format, (colours_[i] >> 16) & 0xFF, (colours_[i] >> 8) & 0xFF,
                                           colours_[i] & 0xFF);
                }
                tableFormat_ = surface->format->format;
            }
            if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
            auto* out = static_cast<std::uint8_t*>(surface->pixels) + rect_.y * surface->pitch + rect_.x * 4;
            ConvertScaled(view, table_, map_, out, surface->pitch);
            if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
        } else {
            ShowThroughBlit(view, surface);
        }
        if (fresh) {
            SDL_UpdateWindowSurface(window_);
        } else {
            SDL_Rect r{rect_.x, rect_.y, rect_.width, rect_.height};
            SDL_UpdateWindowSurfaceRects(window_, &r, 1);
        }
    }

    // Screens that are not 32 bits per pixel go through SDL's own conversion.
    void ShowThroughBlit(const PictureView& view, SDL_Surface* surface) {
        SDL_Surface* full = SDL_CreateRGBSurfaceWithFormat(0, view.width, view.height, 32, SDL_PIXELFORMAT_XRGB8888);
        if (!full) return;
        ScaleMap identity;
        BuildScaleMap(&identity, view.width, view.height, view.width, view.height);
        ConvertScaled(view, colours_, identity, static_cast<std::uint8_t*>(full->pixels), full->pitch);
        SDL_Rect r{rect_.x, rect_.y, rect_.width, rect_.height};
        SDL_BlitScaled(full, nullptr, surface, &r);
        SDL_FreeSurface(full);
    }

    bool firstFrameReported_ = false;
    bool windowed_ = false;
    int windowScale_ = 2;
    bool wholeFactors_ = false;
    bool videoTried_ = false;
    bool videoReady_ = false;
    SDL_Window* window_ = nullptr;
    int displayFd_ = -1;
    int modeWidth_ = 0, modeHeight_ = 0;
    int surfaceWidth_ = -1, surfaceHeight_ = -1;
    ScreenRect rect_;
    ScaleMap map_;
    std::vector<std::uint8_t> picture_;
    int pictureWidth_ = 0, pictureHeight_ = 0;
    std::uint32_t colours_[256] = {};
    std::uint32_t table_[256] = {};
    Uint32 tableFormat_ = 0;
};

}  // namespace

std::unique_ptr<Backend> MakeSdlBackend() { return std::make_unique<SdlBackend>(); }

}  // namespace platform
