// GDI objects and device contexts: the handle registry, device contexts over surface targets,
// their settings, fonts and rectangular regions. DrawTextA is in text.cpp.
#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/gdi/fonts.h"
#include "platform/gdi/objects.h"
#include "platform/trace.h"

namespace platform::gdi {
namespace {

struct GdiState {
    std::unordered_map<GdiObject*, std::unique_ptr<GdiObject>> objects;
    std::unordered_map<DeviceContextObject*, std::unique_ptr<DeviceContextObject>> dcs;
    FontObject* dcFont = nullptr;
    bool dcFontLooked = false;

    GdiState() {
        RegisterResetHook("gdi", [this] {
            dcs.clear();
            objects.clear();
            dcFont = nullptr;
            dcFontLooked = false;
            ResetFonts();
        });
    }
};

GdiState& State() {
    static GdiState state;
    return state;
}

void TraceCall(const char* format, auto... args) {
    if (!TracingOn()) return;
    char line[160];
    if constexpr (sizeof...(args) == 0) {
        Trace(format);
    } else {
        std::snprintf(line, sizeof line, format, args...);
        Trace(line);
    }
}

RECT Normalised(int left, int top, int right, int bottom) {
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

bool IsEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

}  // namespace

void EnsureResetHook() {
    State();
}

GdiObject* Register(std::unique_ptr<GdiObject> object) {
    GdiObject* handle = object.get();
    State().objects.emplace(handle, std::move(object));
    return handle;
}

GdiObject* Find(HGDIOBJ handle) {
    GdiState& s = State();
    auto it = s.objects.find(handle);
    if (it == s.objects.end() || it->second->deletePending) return nullptr;
    return it->second.get();
}

GdiObject* Find(HGDIOBJ handle, GdiObject::Kind kind) {
    GdiObject* found = Find(handle);
    return found && found->kind == kind ? found : nullptr;
}

DeviceContextObject* FindDC(HDC dc) {
    GdiState& s = State();
    auto it = s.dcs.find(dc);
    return it == s.dcs.end() ? nullptr : it->second.get();
}

HDC AddDC(std::unique_ptr<DeviceContextObject> dc) {
    dc->font = DeviceContextFont();
    ++dc->font->selections;
    HDC handle = dc.get();
    State().dcs.emplace(handle, std::move(dc));
    return handle;
}

void RemoveDC(DeviceContextObject* dc) {
    Deselect(dc->font);
    if (dc->bitmap) {
        dc->bitmap->selectedInto = nullptr;
        Deselect(dc->bitmap);
    }
    State().dcs.erase(dc);
}

void Deselect(GdiObject* object) {
    if (--object->selections == 0 && object->deletePending) State().objects.erase(object);
}

FontObject* DeviceContextFont() {
    GdiState& s = State();
    if (!s.dcFont) {
        auto font = std::make_unique<FontObject>();
        font->stock = true;
        s.dcFont = static_cast<FontObject*>(Register(std::move(font)));
    }
    return s.dcFont;
}

FontFace* FaceToDraw(FontObject* font) {
    GdiState& s = State();
    // The device context's own font is looked up on first use, so device contexts that never
    // draw text never touch fontconfig, and a machine without fonts is told so once.
    if (font == s.dcFont && !s.dcFontLooked) {
        s.dcFontLooked = true;
        font->face = OpenDefaultFont();
        if (!font->face)
            std::fputs("vexmoor: no font file found through fontconfig; text will not be drawn\n", stderr);
    }
    return font->face.get();
}

}  // namespace platform::gdi

using namespace platform::gdi;

namespace platform {

HDC CreateSurfaceDC(const SurfaceTarget& target) {
    EnsureResetHook();
    if (!target.pixels || target.width <= 0 || target.height <= 0) return nullptr;
    if (target.bitsPerPixel != 8 && target.bitsPerPixel != 32) return nullptr;
    auto dc = std::make_unique<DeviceContextObject>();
    dc->target = target;
    return AddDC(std::move(dc));
}

void DestroySurfaceDC(HDC dc) {
    DeviceContextObject* context = FindDC(dc);
    if (context && !context->bitmap) RemoveDC(context);
}

}  // namespace platform

int SetBkMode(HDC dc, int mode) {
    TraceCall("SetBkMode %d", mode);
    DeviceContextObject* context = FindDC(dc);
    if (!context || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    return std::exchange(context->bkMode, mode);
}

UINT SetTextAlign(HDC dc, UINT align) {
    TraceCall("SetTextAlign %u", align);
    DeviceContextObject* context = FindDC(dc);
    if (!context) return GDI_ERROR;
    return std::exchange(context->textAlign, align);
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
    TraceCall("SetTextColor 0x%08x", colour);
    DeviceContextObject* context = FindDC(dc);
    if (!context) return CLR_INVALID;
    return std::exchange(context->textColor, colour & 0x00FFFFFFu);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    TraceCall("SelectObject");
    DeviceContextObject* context = FindDC(dc);
    if (!context) return nullptr;
    if (auto* region = static_cast<RegionObject*>(Find(object, GdiObject::Kind::Region))) {
        return reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(SelectClipRgn(dc, region)));
    }
    if (auto* bitmap = static_cast<BitmapObject*>(Find(object, GdiObject::Kind::Bitmap))) {
        return SelectBitmap(context, bitmap);
    }
    auto* font = static_cast<FontObject*>(Find(object, GdiObject::Kind::Font));
    if (!font) return nullptr;
    FontObject* previous = context->font;
    ++font->selections;
    context->font = font;
    Deselect(previous);
    // A previous font whose deletion was pending is freed here; its handle is then only a token
    // that the registry refuses.
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    TraceCall("DeleteObject");
    EnsureResetHook();
    GdiObject* found = Find(object);
    if (!found) return FALSE;
    if (found->stock) return TRUE;
    if (found->selections > 0) {
        found->deletePending = true;
        return TRUE;
    }
    State().objects.erase(found);
    return TRUE;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    TraceCall("CreateRectRgn %d %d %d %d", left, top, right, bottom);
    EnsureResetHook();
    auto region = std::make_unique<RegionObject>();
    region->rect = Normalised(left, top, right, bottom);
    return Register(std::move(region));
}

int SelectClipRgn(HDC dc, HRGN region) {
    TraceCall("SelectClipRgn");
    DeviceContextObject* context = FindDC(dc);
    if (!context) return ERROR;
    if (!region) {
        context->hasClip = false;
        return SIMPLEREGION;
    }
    auto* found = static_cast<RegionObject*>(Find(region, GdiObject::Kind::Region));
    if (!found) return ERROR;
    context->hasClip = true;
    context->clip = found->rect;
    return IsEmpty(context->clip) ? NULLREGION : SIMPLEREGION;
}

HFONT CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD underline, DWORD strikeOut,
                  DWORD, DWORD, DWORD, DWORD, DWORD, LPCSTR face) {
    TraceCall("CreateFontA %d %d \"%s\"", height, weight, face ? face : "");
    EnsureResetHook();
    HRESULT injected;
    if (platform::InjectedFailure("CreateFontA", &injected)) return nullptr;
    FontRequest request;
    request.height = height;
    request.weight = weight;
    request.italic = italic != 0;
    request.faceName = face ? face : "";
    std::shared_ptr<FontFace> opened = OpenFont(request);
    if (!opened) return nullptr;
    auto font = std::make_unique<FontObject>();
    font->face = std::move(opened);
    font->underline = underline != 0;
    font->strikeOut = strikeOut != 0;
    return Register(std::move(font));
}
