// Test and tool access to the file system manager: the callback its errors go to, and whole files written
// for tests and content.
#pragma once

#include "gfx/core/filesys.h"

inline void GxFileSystemManagerSetErrorCallBack(GxFileSystemErrorCallBack callback)
{
    GxFileSystemManagerGet()->errorCallback = callback;
}

// Writes a whole file so that a failure never leaves a damaged one: the bytes go to a temporary
// file beside `path` (GxFileOpenTemporary), which replaces `path` only once every write and the close succeeded.
inline GxBool GxFileWriteReplacing(const char* path, const void* bytes, GxUInt32 length)
{
    char temporary[gxFILEMAXPATH + 1];
    if (path == nullptr || (bytes == nullptr && length != 0)) {
        return 0;
    }
    GxFile* file = GxFileOpenTemporary(path, temporary, sizeof(temporary));
    if (file == nullptr) {
        return 0;
    }
    const bool written = length == 0 || GxFileWrite(bytes, 1, length, file) == length;
    return GxFileCommitTemporary(file, temporary, path, written);
}
