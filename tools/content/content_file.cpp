// Whole-file output of the content tools through memory streams and the core's replacing file write.
#include "tools/content/content_file.h"

#include "gfx/core/filesys.h"
#include "gfx/core/filesys_testing.h"
#include "gfx/core/memory.h"
#include "gfx/core/stream.h"

bool ContentWriteFile(const char* path, const std::function<bool(GxStream*)>& write)
{
    GxStream* stream = path != nullptr ? GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr) : nullptr;
    if (stream == nullptr) {
        return false;
    }
    const bool written = write(stream);
    GxMemory memory = {nullptr, 0};
    const bool closed = GxStreamClose(stream, &memory) != 0;
    const bool stored = written && closed && ContentWriteBytes(path, memory.start, memory.length);
    if (memory.start != nullptr) {
        GxFree(memory.start);
    }
    return stored;
}

bool ContentWriteBytes(const char* path, const void* bytes, unsigned length)
{
    return path != nullptr && GxFileWriteReplacing(path, bytes, length) != 0;
}
