// The old-style file calls the bitmap helpers read .bmp files with: _lopen, _lread, _lclose.
// Implemented in platform/lfile/ over POSIX files.
#pragma once

#include "platform/win_types.h"

using HFILE = int;
constexpr HFILE HFILE_ERROR = -1;

constexpr int OF_READ = 0x0000;
constexpr int OF_WRITE = 0x0001;
constexpr int OF_READWRITE = 0x0002;

// Opens an existing file for reading, writing or both (the low two bits of `mode`); HFILE_ERROR
// when it cannot be opened or is not a regular file.
HFILE _lopen(LPCSTR path, int mode);
// Reads up to `count` bytes; the number read (fewer only at the end of the file), or
// (UINT)HFILE_ERROR on a read error or a handle _lopen did not give.
UINT _lread(HFILE file, LPVOID buffer, UINT count);
// 0, or HFILE_ERROR for a handle _lopen did not give.
HFILE _lclose(HFILE file);
