// The Win32 file system: a GxFileSystem whose operations use the Win32 file calls, with optional overlapped reads.
#pragma once

#include "gfx/core/filesys.h"

// Pending operation of an overlapped write (reads use gxFILEOPREAD).
constexpr GxInt32 gxFILEOPWRITE = 6;

// Creates a file system for `deviceName` (such as "C:") with `numFiles` slots,
// named `fsName` (at most 7 characters). The caller registers it. Null when the
// name is used or too long, the device is served already, the manager is full,
// or memory runs out.
GxFileSystem* GxWin32FileSystemCreate(GxInt32 numFiles, const char* deviceName, const char* fsName);

// Builds the full path for `path`: the device name, then the path without its
// own device prefix, with every separator a '\\'. False when it would exceed
// gxFILEMAXPATH characters or outSize bytes.
GxBool GxWin32FileSystemFullPath(const GxFileSystem* fs, const char* path, char* out, size_t outSize);

// The operations installed in the record.
GxInt32 GxWin32FileOpen(GxFileSystem* fs, GxFile* file, const char* path, GxUInt32 mode);
void GxWin32FileClose(GxFile* file);
GxUInt32 GxWin32FileRead(GxFile* file, void* buffer, GxUInt32 n);
GxUInt32 GxWin32FileWrite(GxFile* file, const void* buffer, GxUInt32 n);
GxBool GxWin32FileSeek(GxFile* file, GxInt32 offset, GxInt32 origin);
GxInt32 GxWin32FileSync(GxFile* file, GxBool wait);
void GxWin32FileRelease(GxFile* file);
GxBool GxWin32FileEof(GxFile* file);
GxInt32 GxWin32FileWait(GxFile* file);
GxBool GxWin32FileExists(GxFileSystem* fs, const char* path);
GxBool GxWin32FileRename(GxFileSystem* fs, const char* from, const char* to);
GxBool GxWin32FileRemove(GxFileSystem* fs, const char* path);
