// LoadImageA for bitmaps: a bitmap resource of the program or a .bmp file, read by the BMP reader
// and stretched to a wanted size, becomes a GDI bitmap in its own format.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/bmp/bmp_reader.h"
#include "platform/gdi/objects.h"
#include "platform/resources.h"
#include "platform/resources/resource_table.h"
#include "platform/trace.h"
#include "platform/user/user_internal.h"
#include "platform/win_user.h"

using namespace platform::gdi;

namespace {

// Larger than any bitmap the reader accepts (kMaxPixels at 32 bits) with room for its headers.
constexpr long long kMaxFileBytes = (platform::bmp::kMaxPixels * 4) + (1 << 20);

std::string NameOf(LPCSTR name) {
    if (!name) return "(null)";
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<std::uintptr_t>(name));
    return name;
}

void Explain(const std::string& name, const std::string& reason) {
    if (platform::DebugSettingOn())
        std::fprintf(stderr, "vexmoor: bitmap %s not loaded: %s\n", name.c_str(), reason.c_str());
}

bool ReadWholeFile(const char* path, std::vector<std::uint8_t>* out, std::string* error) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        *error = std::strerror(errno);
        return false;
    }
    struct stat info;
    bool ok = false;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = "not a regular file";
    } else if (info.st_size > kMaxFileBytes) {
        *error = "the file is too large";
    } else {
        out->resize(static_cast<std::size_t>(info.st_size));
        ok = std::fread(out->data(), 1, out->size(), file) == out->size();
        if (!ok) *error = "read error";
    }
    std::fclose(file);
    return ok;
}

}  // namespace

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags) {
    std::string shown = NameOf(name);
    platform::Trace("LoadImageA " + shown + " " + std::to_string(width) + " " + std::to_string(height) + " " +
                    std::to_string(flags));
    EnsureResetHook();
    HRESULT ignored;
    if (platform::InjectedFailure("LoadImageA", &ignored)) return nullptr;
    if (!name || type != IMAGE_BITMAP || width < 0 || height < 0) return nullptr;

    platform::bmp::Dib dib;
    std::string error;
    if (flags & LR_LOADFROMFILE) {
        std::vector<std::uint8_t> bytes;
        if (IS_INTRESOURCE(name)) return nullptr;
        if (!ReadWholeFile(name, &bytes, &error) ||
            !platform::bmp::ReadFile(bytes.data(), bytes.size(), &dib, &error)) {
            Explain(shown, error);
            return nullptr;
        }
    } else {
        // Only the program's own bitmaps exist; a null module would mean the system's.
        if (!instance || instance != GetModuleHandleA(nullptr)) return nullptr;
        const platform::EmbeddedResource* resource =
            platform::FindEmbeddedResource(name, reinterpret_cast<std::uintptr_t>(RT_BITMAP));
        if (!resource) return nullptr;
        if (!platform::bmp::ReadPacked(resource->data, resource->size, &dib, &error)) {
            Explain(shown, error);
            return nullptr;
        }
    }
    if (width || height) {
        int w = width ? width : dib.width, h = height ? height : dib.height;
        if (!platform::bmp::SizeAllowed(w, h)) {
            Explain(shown, "the wanted size is too large");
            return nullptr;
        }
        if (w != dib.width || h != dib.height) dib = platform::bmp::Scaled(dib, w, h);
    }
    auto bitmap = std::make_unique<BitmapObject>();
    bitmap->dib = std::move(dib);
    return reinterpret_cast<HANDLE>(Register(std::move(bitmap)));
}
