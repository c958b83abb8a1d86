// Whole files written beside their targets by writers, tools and tests; the program links none of this (the game
// writes through the engine's own writer).
#include "gfx/core/filesys.h"

GxBool GxFileWriteReplacing(const char* path, const void* bytes, GxUInt32 length)
{
    char temporary[gxFILEMAXPATH + 1];
    if (path == nullptr || (bytes == nullptr && length != 0))
        return 0;
    GxFile* file = GxFileOpenTemporary(path, temporary, sizeof(temporary));
    if (file == nullptr)
        return 0;
    const bool written = length == 0 || GxFileWrite(bytes, 1, length, file) == length;
    return GxFileCommitTemporary(file, temporary, path, written);
}
