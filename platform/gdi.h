// GDI: device contexts on DirectDraw surfaces, fonts, rectangular clip regions and DrawTextA;
// bitmaps, memory device contexts, StretchBlt and single pixels; with the numbers the program
// passes. Implemented in platform/gdi/ over FreeType and fontconfig; a device context comes from
// IDirectDrawSurface::GetDC and goes back with ReleaseDC.
#pragma once

#include "platform/win_types.h"

// Background modes
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Text alignment (stored on the device context; DrawTextA places text by its own format flags)
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;

// Font weights
constexpr int FW_DONTCARE = 0;
constexpr int FW_THIN = 100;
constexpr int FW_LIGHT = 300;
constexpr int FW_NORMAL = 400;
constexpr int FW_MEDIUM = 500;
constexpr int FW_SEMIBOLD = 600;
constexpr int FW_BOLD = 700;
constexpr int FW_HEAVY = 900;

// Character sets, precisions, qualities, pitch and family
constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD OUT_DEFAULT_PRECIS = 0;
constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
constexpr DWORD DEFAULT_QUALITY = 0;
constexpr DWORD DRAFT_QUALITY = 1;
constexpr DWORD PROOF_QUALITY = 2;
constexpr DWORD NONANTIALIASED_QUALITY = 3;
constexpr DWORD ANTIALIASED_QUALITY = 4;
constexpr DWORD DEFAULT_PITCH = 0;
constexpr DWORD FIXED_PITCH = 1;
constexpr DWORD VARIABLE_PITCH = 2;
constexpr DWORD FF_DONTCARE = 0x00;
constexpr DWORD FF_ROMAN = 0x10;
constexpr DWORD FF_SWISS = 0x20;
constexpr DWORD FF_MODERN = 0x30;

// DrawTextA format flags
constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;  // with DT_SINGLELINE
constexpr UINT DT_BOTTOM = 0x0008;   // with DT_SINGLELINE
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;

// Region kinds returned by SelectClipRgn (and SelectObject with a region)
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;
constexpr UINT GDI_ERROR = 0xFFFFFFFFu;

// Previous mode, 0 on failure.
int SetBkMode(HDC dc, int mode);
// Previous text alignment, GDI_ERROR on failure.
UINT SetTextAlign(HDC dc, UINT align);
// Previous text colour, CLR_INVALID on failure.
COLORREF SetTextColor(HDC dc, COLORREF colour);
// Fonts: the previously selected font, null on failure. Regions: selected as the clip region
// (a copy), the region kind cast to a handle. Bitmaps: see CreateCompatibleDC.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Deleting an object still selected into a device context takes effect when it is deselected.
BOOL DeleteObject(HGDIOBJ object);

// A rectangle, right and bottom exclusive (coordinates given the wrong way round are swapped).
HRGN CreateRectRgn(int left, int top, int right, int bottom);
// The device context keeps its own copy, so the region may be deleted at once; null removes
// the clip region.
int SelectClipRgn(HDC dc, HRGN region);

// A positive height is the cell height (ascent + descent), a negative one the em size, 0 the
// default (16-pixel cell). Null when the face is not installed (no metric-compatible substitute
// either). Width, escapement and orientation are not supported and are ignored; the text is
// always read as Windows-1252, and glyphs are always drawn without smoothing.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR face);

// Lays out and draws `count` bytes (-1: up to the zero byte) in the rectangle; returns the height
// of the laid-out text, 0 on failure. DT_CALCRECT draws nothing and sets the rectangle's right
// and bottom to the text's extent.
int DrawTextA(HDC dc, LPCSTR text, int count, RECT* rect, UINT format);

// ---- Bitmaps and memory device contexts (platform/gdi/bitmaps.cpp, load_image.cpp) ----

struct BITMAP {
    LONG bmType;  // 0
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;  // bytes per row of bmBits, a multiple of 4
    WORD bmPlanes;      // 1
    WORD bmBitsPixel;   // 1, 4, 8, 16, 24 or 32: the format the bitmap was read in
    LPVOID bmBits;      // the rows, bottom-up unless the file was top-down
};

// The published layouts of a bitmap file's headers and colour table (read with _lread or from a
// locked bitmap resource, which begins with the info header).
#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;  // "BM"
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT LR_LOADFROMFILE = 0x0010;
constexpr UINT LR_CREATEDIBSECTION = 0x2000;

constexpr DWORD SRCCOPY = 0x00CC0020;

// IMAGE_BITMAP only. Without LR_LOADFROMFILE `name` names a bitmap resource of `instance` (the
// program's module); with it `name` is the path of a .bmp file and `instance` is not used. A
// width or height of 0 keeps the bitmap's own; other sizes stretch it (nearest pixel). The bitmap
// always keeps the format it was read in, with or without LR_CREATEDIBSECTION. Null when there
// is no such bitmap or it cannot be read; with VEXMOOR_DEBUG set the reason goes to stderr.
// The result is an HBITMAP; DeleteObject frees it.
HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags);

// Bitmaps: fills a BITMAP when `size` holds one and returns the bytes written (sizeof(BITMAP)
// when `out` is null); 0 for other objects or a smaller size.
int GetObjectA(HGDIOBJ object, int size, LPVOID out);

// A memory device context, holding a 1 × 1 monochrome bitmap until another is selected (a bitmap
// can be selected into one memory device context at a time; SelectObject returns the previous
// one). `dc` may be null. DeleteDC frees it; it refuses device contexts from a surface's GetDC.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

// Copies a rectangle between device contexts, stretching or shrinking it (nearest pixel) and
// mirroring it where one width or height is negative; colours are converted to the target's
// format. SRCCOPY only. The target's clip region applies; pixels whose source lies outside the
// source are left as they are.
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop);

// CLR_INVALID outside the device context's surface or clip region.
COLORREF GetPixel(HDC dc, int x, int y);
// The colour actually set (the nearest the surface can show), or CLR_INVALID.
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
