// GDI's object model inside the platform layer: the handle types' structs, a registry of live
// handles (so a stale or foreign handle is refused rather than followed) and the device context.
// Shared by the files of platform/gdi; a new kind of object derives from GdiObject with its own tag.
#pragma once

#include <memory>

#include "platform/bmp/bmp_reader.h"
#include "platform/gdi.h"
#include "platform/surface_target.h"

namespace platform::gdi {
struct FontFace;
}

struct GdiObject {
    enum class Kind { Font, Region, Bitmap };

    explicit GdiObject(Kind k) : kind(k) {}
    virtual ~GdiObject() = default;

    const Kind kind;
    bool stock = false;          // never deleted by DeleteObject
    int selections = 0;          // device contexts that hold it selected
    bool deletePending = false;  // DeleteObject came while it was selected
};

struct FontObject : GdiObject {
    FontObject() : GdiObject(Kind::Font) {}
    // Null only for the device context's own font when no font can be found at all.
    std::shared_ptr<platform::gdi::FontFace> face;
    bool underline = false;
    bool strikeOut = false;
};

struct RegionObject : GdiObject {
    RegionObject() : GdiObject(Kind::Region) {}
    RECT rect{};  // right and bottom exclusive; empty when right <= left or bottom <= top
};

struct BitmapObject : GdiObject {
    BitmapObject() : GdiObject(Kind::Bitmap) {}
    platform::bmp::Dib dib;
    DeviceContextObject* selectedInto = nullptr;  // the memory device context that holds it
};

struct DeviceContextObject {
    platform::SurfaceTarget target;  // empty for memory device contexts
    BitmapObject* bitmap = nullptr;  // memory device contexts only; never null there
    int bkMode = OPAQUE;
    COLORREF bkColor = RGB(255, 255, 255);
    UINT textAlign = TA_LEFT | TA_TOP | TA_NOUPDATECP;
    COLORREF textColor = RGB(0, 0, 0);
    FontObject* font = nullptr;  // never null while the device context lives
    bool hasClip = false;
    RECT clip{};  // the device context's copy of its clip region
};

namespace platform::gdi {

// Takes ownership and returns the handle.
GdiObject* Register(std::unique_ptr<GdiObject> object);
// The live object behind a handle (when it is of that kind), else null.
GdiObject* Find(HGDIOBJ handle);
GdiObject* Find(HGDIOBJ handle, GdiObject::Kind kind);
DeviceContextObject* FindDC(HDC dc);

// Bookkeeping for an object leaving a device context (frees it if its deletion was pending).
void Deselect(GdiObject* object);

// The font a new device context starts with: fontconfig's default sans face at a 16-pixel cell.
FontObject* DeviceContextFont();
// The face to draw a font with; null when there is none (no font file exists at all).
FontFace* FaceToDraw(FontObject* font);

// Device contexts: takes ownership and returns the handle; Remove frees one (and lets go of its
// font and bitmap).
HDC AddDC(std::unique_ptr<DeviceContextObject> dc);
void RemoveDC(DeviceContextObject* dc);
// SelectObject with a bitmap (bitmaps.cpp): the previous bitmap, or null when the device context
// is not a memory one or the bitmap is held by another.
HGDIOBJ SelectBitmap(DeviceContextObject* dc, BitmapObject* bitmap);

// Called once from every entry point, so the reset hook is registered by linked code.
void EnsureResetHook();

}  // namespace platform::gdi
