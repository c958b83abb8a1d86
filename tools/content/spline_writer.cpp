// Spline chunk writer: the header, the 40-byte body head and the points, in the layout the reader takes.
#include "tools/content/spline_writer.h"

#include <cstring>

#include "gfx/core/engine.h"
#include "gfx/core/spline.h"
#include "gfx/core/stream.h"
#include "tools/content/content_file.h"

GxUInt32 ContentSplineBodySize(GxInt32 count) { return 40 + 12 * static_cast<GxUInt32>(count); }

bool ContentSplineWrite(GxStream* stream, const char* name, GxInt32 type, const GxV3d* points, GxInt32 count)
{
    if (stream == nullptr || count < 0 || (count > 0 && points == nullptr)) {
        return false;
    }
    GxUInt8 head[40] = {};
    if (name != nullptr) {
        std::strncpy(reinterpret_cast<char*>(head), name, gxSPLINENAMELENGTH);
    }
    std::memcpy(head + 32, &count, 4);
    std::memcpy(head + 36, &type, 4);
    if (!GxStreamWriteChunkHeader(stream, gxID_SPLINE, ContentSplineBodySize(count), gxLIBRARYVERSION,
                                  gxLIBRARYBUILD) ||
        !GxStreamWrite(stream, head, sizeof(head))) {
        return false;
    }
    for (GxInt32 i = 0; i < count; i++) {
        const GxReal xyz[3] = {points[i].x, points[i].y, points[i].z};
        if (!GxStreamWriteReal(stream, xyz, sizeof(xyz))) {
            return false;
        }
    }
    return true;
}

std::vector<GxUInt8> ContentSplineBytes(const char* name, GxInt32 type, const GxV3d* points, GxInt32 count)
{
    std::vector<GxUInt8> bytes;
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    if (stream == nullptr) {
        return bytes;
    }
    const bool written = ContentSplineWrite(stream, name, type, points, count);
    GxMemory memory = {nullptr, 0};
    GxStreamClose(stream, &memory);
    if (written && memory.start != nullptr) {
        bytes.assign(memory.start, memory.start + memory.length);
    }
    if (memory.start != nullptr) {
        GxFree(memory.start);
    }
    return bytes;
}

bool ContentSplineWriteFile(const char* fileName, const char* name, GxInt32 type, const GxV3d* points, GxInt32 count)
{
    return ContentWriteFile(fileName,
                            [&](GxStream* stream) { return ContentSplineWrite(stream, name, type, points, count); });
}
