// Basic Windows types, handles and result codes as the program uses them.
// Every other platform header builds on this one; the program includes the area headers
// (win_user.h, ddraw.h, gdi.h, mmsystem.h, registry.h, files.h, resources.h) and never SDL.
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = int;
using HRESULT = std::int32_t;
using COLORREF = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using ATOM = std::uint16_t;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Handles are opaque pointers to platform objects; null means "none".
struct WindowObject;
struct InstanceObject;
struct GdiObject;
struct DeviceContextObject;
struct IconObject;
struct CursorObject;
struct ResourceObject;
struct KernelObject;

using HWND = WindowObject*;
using HINSTANCE = InstanceObject*;
using HMODULE = InstanceObject*;
using HGDIOBJ = GdiObject*;
using HFONT = GdiObject*;
using HBRUSH = GdiObject*;
using HRGN = GdiObject*;
using HBITMAP = GdiObject*;
using HPEN = GdiObject*;
using HDC = DeviceContextObject*;
using HICON = IconObject*;
using HCURSOR = CursorObject*;
using HMENU = void*;
using HRSRC = ResourceObject*;
using HGLOBAL = void*;
using HANDLE = KernelObject*;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

struct RECT {
    LONG left, top, right, bottom;
};
struct POINT {
    LONG x, y;
};
struct SIZE {
    LONG cx, cy;
};

constexpr WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

// Names that are either a string or a small integer identifier (MAKEINTRESOURCE).
inline LPCSTR MAKEINTRESOURCEA(std::uintptr_t id) { return reinterpret_cast<LPCSTR>(id); }
inline bool IS_INTRESOURCE(LPCSTR name) { return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0; }

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
