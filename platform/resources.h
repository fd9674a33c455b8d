// The program's resources: bitmaps and icons compiled into the executable at build time (see
// cmake/EmbedResources.cmake), found by name or number and locked in place. Implemented in
// platform/resources/. Bitmap resources hold the bitmap file without its 14-byte file header,
// icon resources the icon file as it is.
#pragma once

#include "platform/win_types.h"

#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)

// `module` null or GetModuleHandleA(NULL) (the program); names are matched without regard to
// case, "#123" names resource number 123. Null when there is no such resource.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
// The resource's data handle (resources are never unloaded), null for a null resource.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The first byte of the resource's data, read-only; null for a null handle.
LPVOID LockResource(HGLOBAL data);
// Bytes in the resource, 0 for a null resource.
DWORD SizeofResource(HMODULE module, HRSRC resource);
