// Screenshots of the emulated display (see screenshot.h).
#include "platform/ddraw/screenshot.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/trace.h"
#include "platform/user/user_internal.h"

namespace platform {
namespace {

struct ScreenshotSettings {
    std::string path;
    long frame = 100;
    bool quit = false;
    long flips = 0;
    bool done = false;
};

ScreenshotSettings& Settings() {
    static ScreenshotSettings settings = [] {
        ScreenshotSettings s;
        if (const char* p = std::getenv("VEXMOOR_SCREENSHOT")) s.path = p;
        if (const char* f = std::getenv("VEXMOOR_SCREENSHOT_FRAME")) {
            char* end = nullptr;
            long n = std::strtol(f, &end, 10);
            if (*f && !*end && n >= 1) s.frame = n;
            else std::fprintf(stderr, "vexmoor: ignoring VEXMOOR_SCREENSHOT_FRAME=%s (expected 1 or more)\n", f);
        }
        const char* q = std::getenv("VEXMOOR_SCREENSHOT_QUIT");
        s.quit = q && *q && std::strcmp(q, "0") != 0;
        return s;
    }();
    return settings;
}

}  // namespace

bool WritePicturePng(const std::string& path, const PictureView& picture) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "vexmoor: cannot write the screenshot %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(static_cast<std::size_t>(picture.width) * 3);
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < picture.height; ++y) {
            const std::uint8_t* source = picture.pixels + static_cast<std::ptrdiff_t>(y) * picture.pitch;
            for (int x = 0; x < picture.width; ++x) {
                std::uint32_t c = picture.palette[source[x]];
                row[3 * x] = static_cast<png_byte>(c >> 16);
                row[3 * x + 1] = static_cast<png_byte>(c >> 8);
                row[3 * x + 2] = static_cast<png_byte>(c);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    if (std::fclose(file) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "vexmoor: writing the screenshot %s failed\n", path.c_str());
    return ok;
}

void NoteFlipForScreenshot(const PictureView& picture) {
    ScreenshotSettings& s = Settings();
    if (s.path.empty() || s.done) return;
    if (++s.flips < s.frame) return;
    s.done = true;
    if (WritePicturePng(s.path, picture)) std::fprintf(stderr, "vexmoor: saved frame %ld as %s\n", s.frame, s.path.c_str());
    if (s.quit && ScreenWindow()) PostMessageA(ScreenWindow(), WM_CLOSE, 0, 0);
}

}  // namespace platform
