// Files: opening, sizing, positioning, reading and closing, as the credits roll and the toolkit's
// loaders read their files. Implemented in platform/files/ over POSIX; read access only, since the
// program never writes a file.
#pragma once

#include "platform/win_types.h"

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD OPEN_EXISTING = 3;

constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;

// SetFilePointer move methods
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct OVERLAPPED;

// Opens an existing file for reading: `access` GENERIC_READ, `disposition` OPEN_EXISTING. A name
// is a path relative to the current directory unless it is absolute; '\' separates directories
// like '/', and when no file has exactly that name a single entry that matches it in any letter
// case is taken, as files copied from a Windows disc often change case. A missing file, a
// directory, any other access or disposition give INVALID_HANDLE_VALUE. The handle is inherited
// by child processes only when `security` asks for it.
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);

// Reads up to `count` bytes at the file position and advances it; *read receives the number read,
// fewer than asked only at the end of the file. FALSE on a bad handle or a read error.
// `overlapped` must be null (synchronous reads only).
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, DWORD* read, OVERLAPPED* overlapped);

// The file's size: the low 32 bits as the result, the high 32 bits in *high when it is given.
// INVALID_FILE_SIZE on a bad handle.
DWORD GetFileSize(HANDLE file, DWORD* high);

// Moves the file position by `distance` (with *high as its upper 32 bits when given) from the start,
// the current position or the end, and returns the low 32 bits of the new position (the high ones
// in *high). INVALID_SET_FILE_POINTER on a bad handle, a bad method or a position before the start.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* high, DWORD method);

// Closes a handle that CreateFileA returned; FALSE for a handle that is not open.
BOOL CloseHandle(HANDLE object);
