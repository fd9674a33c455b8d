// The surface bitmap helpers: bitmaps from the program's resources or .bmp files into new or
// existing off-screen surfaces, 8-bit palettes from bitmaps' colour tables, colour matching
// against a surface's pixel format and source colour keys. Part of the toolkit's offer; they keep
// no state and work on whatever DirectDraw objects the caller hands them.
#include <algorithm>
#include <cstring>

#include "gfx/gfx.h"
#include "platform/gdi.h"
#include "platform/lfile.h"
#include "platform/resources.h"
#include "platform/win_user.h"

namespace {

// The bitmap under a name: the program's resource first, only then a file of that name.
HBITMAP FindBitmap(const char* name, int width, int height) {
    auto bitmap = reinterpret_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, width, height, LR_CREATEDIBSECTION));
    if (!bitmap) {
        bitmap = reinterpret_cast<HBITMAP>(
            LoadImageA(nullptr, name, IMAGE_BITMAP, width, height, LR_CREATEDIBSECTION | LR_LOADFROMFILE));
    }
    return bitmap;
}

// 3-3-2: red in the top three bits of the index, green in the next three, blue in the low two.
void FillDefaultPalette(PALETTEENTRY* table) {
    for (int i = 0; i < 256; ++i) {
        table[i].peRed = static_cast<BYTE>(((i >> 5) & 7) * 255 / 7);
        table[i].peGreen = static_cast<BYTE>(((i >> 2) & 7) * 255 / 7);
        table[i].peBlue = static_cast<BYTE>((i & 3) * 255 / 3);
        table[i].peFlags = 0;
    }
}

// How many colour-table entries a bitmap's header announces, at most the 256 of a palette.
int ColourCount(const BITMAPINFOHEADER& header, bool headerSizePasses) {
    if (!headerSizePasses || header.biBitCount > 8) return 0;
    DWORD n = header.biClrUsed != 0 ? header.biClrUsed : DWORD{1} << header.biBitCount;
    return static_cast<int>(std::min<DWORD>(n, 256));
}

void ReadResourceColours(HRSRC resource, PALETTEENTRY* table) {
    HGLOBAL data = LoadResource(nullptr, resource);
    const auto* bytes = data ? static_cast<const BYTE*>(LockResource(data)) : nullptr;
    if (!bytes) {
        OutputDebugStringA("lock resource failed\n");
        return;
    }
    // The header and table are read only as far as the resource goes.
    DWORD size = SizeofResource(nullptr, resource);
    BITMAPINFOHEADER header{};
    std::memcpy(&header, bytes, std::min<std::size_t>(size, sizeof header));
    int n = ColourCount(header, header.biSize >= sizeof(BITMAPINFOHEADER));
    n = header.biSize < size ? std::min<int>(n, static_cast<int>((size - header.biSize) / sizeof(RGBQUAD)))
                             : 0;
    const BYTE* colours = bytes + header.biSize;
    for (int i = 0; i < n; ++i) {
        RGBQUAD quad;
        std::memcpy(&quad, colours + i * sizeof(RGBQUAD), sizeof quad);
        table[i] = PALETTEENTRY{quad.rgbRed, quad.rgbGreen, quad.rgbBlue, 0};
    }
}

void ReadFileColours(HFILE file, PALETTEENTRY* table) {
    // The headers start out zero, so a file too short to hold them announces no colours.
    BITMAPFILEHEADER fileHeader{};
    BITMAPINFOHEADER header{};
    _lread(file, &fileHeader, sizeof fileHeader);
    _lread(file, &header, sizeof header);
    // The colour table is taken to follow the info header directly and is read straight over
    // the work table, 1,024 bytes whatever the colour count.
    UINT read = _lread(file, table, 256 * sizeof(PALETTEENTRY));
    _lclose(file);
    if (read == static_cast<UINT>(HFILE_ERROR)) read = 0;
    // An entry the file ended inside of goes back to its default colour, as do those not read.
    int whole = static_cast<int>(read / sizeof(PALETTEENTRY));
    if (whole < 256 && read % sizeof(PALETTEENTRY) != 0) {
        PALETTEENTRY defaults[256];
        FillDefaultPalette(defaults);
        table[whole] = defaults[whole];
    }
    int n = std::min(ColourCount(header, header.biSize == sizeof(BITMAPINFOHEADER)), whole);
    for (int i = 0; i < n; ++i) std::swap(table[i].peRed, table[i].peBlue);
}

}  // namespace

IDirectDrawSurface* LoadBitmapSurface(IDirectDraw* ddraw, const char* name, std::int32_t width,
                                      std::int32_t height) {
    HBITMAP bitmap = FindBitmap(name, width, height);
    if (!bitmap) return nullptr;
    BITMAP record{};
    GetObjectA(bitmap, sizeof record, &record);

    DDSURFACEDESC desc{};
    desc.dwSize = kSurfaceDescSize;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = static_cast<DWORD>(record.bmWidth);
    desc.dwHeight = static_cast<DWORD>(record.bmHeight);
    IDirectDrawSurface* surface = nullptr;
    if (!ddraw || ddraw->CreateSurface(&desc, &surface, nullptr) != DD_OK) {
        DeleteObject(bitmap);
        return nullptr;
    }
    // A surface whose copy failed is still the caller's to fill again later.
    CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0);
    DeleteObject(bitmap);
    return surface;
}

HRESULT ReloadBitmapSurface(IDirectDrawSurface* surface, const char* name) {
    HBITMAP bitmap = FindBitmap(name, 0, 0);
    if (!bitmap) {
        OutputDebugStringA("handle is null\n");
        return E_FAIL;
    }
    HRESULT result = CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0);
    if (result != DD_OK) OutputDebugStringA("ddcopybitmap failed\n");
    DeleteObject(bitmap);
    return result;
}

HRESULT CopyBitmapToSurface(IDirectDrawSurface* surface, HBITMAP bitmap, std::int32_t x, std::int32_t y,
                            std::int32_t sourceWidth, std::int32_t sourceHeight) {
    if (!bitmap || !surface) return E_FAIL;
    // The copy may be refilling memory that was lost; Restore is harmless when it was not.
    surface->Restore();
    HDC memory = CreateCompatibleDC(nullptr);
    if (!memory) OutputDebugStringA("createcompatible dc failed\n");
    SelectObject(memory, bitmap);
    BITMAP record{};
    GetObjectA(bitmap, sizeof record, &record);
    if (sourceWidth == 0) sourceWidth = record.bmWidth;
    if (sourceHeight == 0) sourceHeight = record.bmHeight;

    DDSURFACEDESC desc{};
    desc.dwSize = kSurfaceDescSize;
    desc.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    surface->GetSurfaceDesc(&desc);

    HDC dc = nullptr;
    HRESULT result = surface->GetDC(&dc);
    if (result == DD_OK) {
        StretchBlt(dc, 0, 0, static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight), memory, x, y,
                   sourceWidth, sourceHeight, SRCCOPY);
        surface->ReleaseDC(dc);
    }
    DeleteDC(memory);
    return result;
}

IDirectDrawPalette* LoadBitmapPalette(IDirectDraw* ddraw, const char* name) {
    PALETTEENTRY table[256];
    FillDefaultPalette(table);
    HRSRC resource = name ? FindResourceA(nullptr, name, RT_BITMAP) : nullptr;
    if (resource) {
        ReadResourceColours(resource, table);
    } else if (name) {
        HFILE file = _lopen(name, OF_READ);
        if (file != HFILE_ERROR) ReadFileColours(file, table);
    }
    IDirectDrawPalette* palette = nullptr;
    if (!ddraw || ddraw->CreatePalette(DDPCAPS_8BIT, table, &palette, nullptr) != DD_OK) return nullptr;
    return palette;
}

DWORD MatchSurfaceColor(IDirectDrawSurface* surface, COLORREF color) {
    DWORD result = CLR_INVALID;
    if (!surface) return result;
    HDC dc = nullptr;
    COLORREF saved = CLR_INVALID;
    bool changed = false;
    if (color != CLR_INVALID && surface->GetDC(&dc) == DD_OK) {
        saved = GetPixel(dc, 0, 0);
        changed = SetPixel(dc, 0, 0, color) != CLR_INVALID;
        surface->ReleaseDC(dc);
    }

    DDSURFACEDESC desc{};
    desc.dwSize = kSurfaceDescSize;
    HRESULT hr;
    while ((hr = surface->Lock(nullptr, &desc, 0, nullptr)) == DDERR_WASSTILLDRAWING) {
    }
    if (hr == DD_OK) {
        // Only the first pixel's own bytes are read: a surface narrower than four bytes has no
        // more to give.
        DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
        DWORD value = 0;
        std::memcpy(&value, desc.lpSurface, std::clamp<DWORD>((bits + 7) / 8, 1, 4));
        if (bits < 32) value &= (DWORD{1} << bits) - 1;
        result = value;
        surface->Unlock(nullptr);
    }

    if (changed && surface->GetDC(&dc) == DD_OK) {
        SetPixel(dc, 0, 0, saved);
        surface->ReleaseDC(dc);
    }
    return result;
}

HRESULT SetSurfaceColorKey(IDirectDrawSurface* surface, COLORREF color) {
    if (!surface) return E_FAIL;
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = MatchSurfaceColor(surface, color);
    return surface->SetColorKey(DDCKEY_SRCBLT, &key);
}
