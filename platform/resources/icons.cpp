// LoadIconA: icons from the program's resources, decoded once from the icon file the resource
// holds (the 32 × 32 image, or the largest one) into ARGB pixels for the desktop's window icon.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/bmp/bmp_reader.h"
#include "platform/resources.h"
#include "platform/resources/resource_table.h"
#include "platform/trace.h"
#include "platform/user/user_internal.h"
#include "platform/win_user.h"

struct IconObject {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;  // top row first; empty for the stock icons
};

namespace {

constexpr std::uintptr_t kFirstStockIcon = 32512;  // IDI_APPLICATION
constexpr std::uintptr_t kLastStockIcon = 32518;

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::unique_ptr<IconObject> Picture(const platform::bmp::Dib& dib, const std::vector<std::uint8_t>& mask) {
    auto icon = std::make_unique<IconObject>();
    icon->width = dib.width;
    icon->height = dib.height;
    icon->argb.resize(static_cast<std::size_t>(dib.width) * dib.height);
    // 32-bit images carry their own alpha; the others (and 32-bit ones whose alpha is all zero,
    // as older writers leave it) are opaque wherever the mask is clear.
    bool ownAlpha = false;
    if (dib.bitCount == 32) {
        for (int y = 0; y < dib.height && !ownAlpha; ++y)
            for (int x = 0; x < dib.width && !ownAlpha; ++x) ownAlpha = (dib.RawAt(x, y) >> 24) != 0;
    }
    for (int y = 0; y < dib.height; ++y) {
        for (int x = 0; x < dib.width; ++x) {
            std::size_t at = static_cast<std::size_t>(y) * dib.width + x;
            std::uint32_t alpha = ownAlpha ? dib.RawAt(x, y) >> 24 : (mask[at] ? 0 : 0xFF);
            icon->argb[at] = (alpha << 24) | dib.ColourAt(x, y);
        }
    }
    return icon;
}

// The icon file's best image: exactly 32 × 32 with the most bits per pixel, else the largest.
std::unique_ptr<IconObject> DecodeIconFile(const std::uint8_t* data, std::size_t size, std::string* error) {
    if (size < 6 || U16(data) != 0 || U16(data + 2) != 1 || U16(data + 4) == 0) {
        *error = "not an icon file";
        return nullptr;
    }
    int count = U16(data + 4);
    if (size < 6 + 16 * static_cast<std::size_t>(count)) {
        *error = "the icon directory is cut short";
        return nullptr;
    }
    platform::bmp::Dib best;
    std::vector<std::uint8_t> bestMask;
    auto better = [&best](const platform::bmp::Dib& d) {
        if (best.width == 0) return true;
        bool exact = d.width == 32 && d.height == 32, bestExact = best.width == 32 && best.height == 32;
        if (exact != bestExact) return exact;
        if (exact) return d.bitCount > best.bitCount;
        return d.width * d.height > best.width * best.height;
    };
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* entry = data + 6 + 16 * i;
        std::uint32_t bytes = U32(entry + 8), offset = U32(entry + 12);
        if (offset > size || bytes > size - offset) continue;
        platform::bmp::Dib dib;
        std::vector<std::uint8_t> mask;
        if (!platform::bmp::ReadIconImage(data + offset, bytes, &dib, &mask, error)) continue;
        if (better(dib)) {
            best = std::move(dib);
            bestMask = std::move(mask);
        }
    }
    if (best.width == 0) {
        if (error->empty()) *error = "the icon file holds no image";
        return nullptr;
    }
    return Picture(best, bestMask);
}

std::map<const platform::EmbeddedResource*, std::unique_ptr<IconObject>>& Loaded() {
    static std::map<const platform::EmbeddedResource*, std::unique_ptr<IconObject>> icons;
    return icons;
}

}  // namespace

namespace platform {

IconPicture IconPictureOf(HICON icon) {
    if (!icon || icon->argb.empty()) return IconPicture{};
    return IconPicture{icon->width, icon->height, icon->argb.data()};
}

}  // namespace platform

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    platform::Trace(
        std::string("LoadIconA ") +
        (IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<std::uintptr_t>(name)) : name));
    if (!name) return nullptr;
    if (!instance) {
        // The system's stock icons: the desktop's own icon stands for them.
        static IconObject stock;
        auto id = reinterpret_cast<std::uintptr_t>(name);
        return IS_INTRESOURCE(name) && id >= kFirstStockIcon && id <= kLastStockIcon ? &stock : nullptr;
    }
    if (instance != GetModuleHandleA(nullptr)) return nullptr;
    const platform::EmbeddedResource* resource =
        platform::FindEmbeddedResource(name, reinterpret_cast<std::uintptr_t>(RT_GROUP_ICON));
    if (!resource) return nullptr;
    auto& loaded = Loaded();
    auto it = loaded.find(resource);
    if (it != loaded.end()) return it->second.get();
    std::string error;
    std::unique_ptr<IconObject> icon = DecodeIconFile(resource->data, resource->size, &error);
    if (!icon) {
        std::fprintf(stderr, "vexmoor: the icon resource %s cannot be read: %s\n", resource->name,
                     error.c_str());
        return nullptr;
    }
    return loaded.emplace(resource, std::move(icon)).first->second.get();
}
