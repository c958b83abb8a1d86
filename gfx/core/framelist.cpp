// Frame lists: a hierarchy flattened into an array, and its chunk (0x0E) on streams.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/bytes.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame_local.h"
#include "gfx/core/stream.h"

namespace {

constexpr GxUInt32 kFrameListChunk = 0x0E;
constexpr GxUInt32 kRecordSize = 56;
constexpr GxUInt32 kListHint = 0x4000E;
constexpr GxUInt32 kReadListHint = 0x3000E;
constexpr GxUInt32 kScratchHint = 0x1000E;
constexpr GxReal kReadTolerance = 0.01f;
constexpr GxReal kReadMinDeterminant = 0.99f;

void PutV3d(GxUInt8* out, const GxV3d& v)
{
    GxBytesPutReal(out, v.x);
    GxBytesPutReal(out + 4, v.y);
    GxBytesPutReal(out + 8, v.z);
}

GxV3d GetV3d(const GxUInt8* in) { return {GxBytesGetReal(in), GxBytesGetReal(in + 4), GxBytesGetReal(in + 8)}; }

GxInt32 ParentIndex(const GxFrameList* list, const GxFrame* frame)
{
    const GxFrame* parent = GxFrameGetParent(frame);
    GxInt32 index = -1;
    if (parent == nullptr || !GxFrameListFindFrame(list, parent, &index)) {
        return -1;
    }
    return index;
}

void EncodeRecord(GxUInt8* out, const GxFrame* frame, GxInt32 parentIndex)
{
    const GxMatrix& m = frame->modelling;
    PutV3d(out, m.right);
    PutV3d(out + 12, m.up);
    PutV3d(out + 24, m.at);
    PutV3d(out + 36, m.pos);
    GxBytesPutU32(out + 48, static_cast<GxUInt32>(parentIndex));
    GxBytesPutU32(out + 52, m.flags);
}

// The stored flags word is not trusted: orthonormality is measured again.
void DecodeMatrix(GxMatrix* m, const GxUInt8* in)
{
    m->right = GetV3d(in);
    m->up = GetV3d(in + 12);
    m->at = GetV3d(in + 24);
    m->pos = GetV3d(in + 36);
    const bool orthonormal = GxMatrixNormalError(m) <= kReadTolerance && GxMatrixOrthogonalError(m) <= kReadTolerance &&
                             GxMatrixDeterminant(m) >= kReadMinDeterminant;
    m->flags = orthonormal ? static_cast<GxUInt32>(gxMATRIXTYPEORTHONORMAL) : 0u;
}

// Takes down every frame a failed read made: each made frame's parent was made
// before it, so destroying the roots among them reaches them all.
void DestroyMadeFrames(GxFrame** frames, GxInt32 made)
{
    for (GxInt32 i = made - 1; i >= 0; i--) {
        if (GxFrameGetParent(frames[i]) == nullptr) {
            GxFrameDestroyHierarchy(frames[i]);
        }
    }
}

// Each frame becomes its parent's first child, so siblings come back in the reverse of their stream order.
bool ReadFrames(GxStream* stream, GxFrame** frames, GxInt32 count, GxInt32* made)
{
    for (GxInt32 i = 0; i < count; i++) {
        GxUInt8 record[kRecordSize];
        if (GxStreamRead(stream, record, kRecordSize) != kRecordSize) {
            GxErrorRaise(0, gxERRREAD);
            return false;
        }
        const GxInt32 parentIndex = static_cast<GxInt32>(GxBytesGetU32(record + 48));
        if (parentIndex >= i) {
            GxErrorRaise(0, gxERRREAD);
            return false;
        }
        GxFrame* frame = GxFrameCreate();
        if (frame == nullptr) {
            return false;
        }
        frames[i] = frame;
        *made = i + 1;
        DecodeMatrix(&frame->modelling, record);
        if (parentIndex >= 0) {
            GxFrameAddChild(frames[parentIndex], frame);
        }
    }
    return true;
}

}  // namespace

GxFrameList* GxFrameListInitialize(GxFrameList* list, GxFrame* root)
{
    GX_ASSERT(list != nullptr && root != nullptr, "a list and a root");
    const GxInt32 count = GxFrameCount(root);
    auto* frames = static_cast<GxFrame**>(GxMalloc(sizeof(GxFrame*) * count, kListHint));
    auto* stack = static_cast<GxFrame**>(GxMalloc(sizeof(GxFrame*) * count, kScratchHint));
    if (frames == nullptr || stack == nullptr) {
        if (frames != nullptr) {
            GxFree(frames);
        }
        if (stack != nullptr) {
            GxFree(stack);
        }
        GxErrorRaise(0, gxERRNOMEMORY);
        return nullptr;
    }
    // Each frame is followed by everything reached from its next sibling, then
    // by everything reached from its first child; the stack holds what is owed.
    GxInt32 n = 0;
    frames[n++] = root;
    GxInt32 depth = 0;
    if (root->child != nullptr) {
        stack[depth++] = root->child;
    }
    while (depth > 0) {
        GxFrame* frame = stack[--depth];
        frames[n++] = frame;
        if (frame->child != nullptr) {
            stack[depth++] = frame->child;
        }
        if (frame->next != nullptr) {
            stack[depth++] = frame->next;
        }
    }
    GxFree(stack);
    list->frames = frames;
    list->numFrames = count;
    return list;
}

GxFrameList* GxFrameListDeinitialize(GxFrameList* list)
{
    if (list->numFrames != 0 && list->frames != nullptr) {
        GxFree(list->frames);
    }
    list->frames = nullptr;
    list->numFrames = 0;
    return list;
}

GxBool GxFrameListFindFrame(const GxFrameList* list, const GxFrame* frame, GxInt32* index)
{
    for (GxInt32 i = 0; i < list->numFrames; i++) {
        if (list->frames[i] == frame) {
            *index = i;
            return 1;
        }
    }
    return 0;
}

GxInt32 GxFrameListStreamGetSize(const GxFrameList* list)
{
    GxInt32 size = list->numFrames * static_cast<GxInt32>(kRecordSize) + 16;
    for (GxInt32 i = 0; i < list->numFrames; i++) {
        size += GxPluginRegistryGetSize(&gxFrameTKList, list->frames[i]) + static_cast<GxInt32>(gxCHUNKHEADERSIZE);
    }
    return size;
}

const GxFrameList* GxFrameListStreamWrite(const GxFrameList* list, GxStream* stream)
{
    GX_ASSERT(list != nullptr && stream != nullptr, "a list and a stream");
    const GxUInt32 structSize = static_cast<GxUInt32>(list->numFrames) * kRecordSize + 4;
    const GxUInt32 size = static_cast<GxUInt32>(GxFrameListStreamGetSize(list));
    if (GxStreamWriteChunkHeader(stream, kFrameListChunk, size, gxLIBRARYVERSION, gxLIBRARYBUILD) == nullptr ||
        GxStreamWriteChunkHeader(stream, gxID_STRUCT, structSize, gxLIBRARYVERSION, gxLIBRARYBUILD) == nullptr) {
        return nullptr;
    }
    GxUInt8 countBytes[4];
    GxBytesPutU32(countBytes, static_cast<GxUInt32>(list->numFrames));
    if (GxStreamWrite(stream, countBytes, sizeof(countBytes)) == nullptr) {
        return nullptr;
    }
    for (GxInt32 i = 0; i < list->numFrames; i++) {
        GxUInt8 record[kRecordSize];
        EncodeRecord(record, list->frames[i], ParentIndex(list, list->frames[i]));
        if (GxStreamWrite(stream, record, kRecordSize) == nullptr) {
            return nullptr;
        }
    }
    for (GxInt32 i = 0; i < list->numFrames; i++) {
        if (GxPluginRegistryWriteDataChunks(&gxFrameTKList, stream, list->frames[i]) == nullptr) {
            return nullptr;
        }
    }
    return list;
}

GxFrameList* GxFrameListStreamRead(GxStream* stream, GxFrameList* list)
{
    GX_ASSERT(stream != nullptr && list != nullptr, "a stream and a list");
    GxUInt32 structSize = 0;
    if (!GxStreamFindChunk(stream, gxID_STRUCT, &structSize, nullptr)) {
        return nullptr;
    }
    GxUInt8 countBytes[4];
    if (structSize < sizeof(countBytes) || GxStreamRead(stream, countBytes, sizeof(countBytes)) != sizeof(countBytes)) {
        GxErrorRaise(0, gxERRREAD);
        return nullptr;
    }
    if (!GxStreamCanSupply(stream, structSize - sizeof(countBytes))) {
        GxErrorRaise(0, gxERRENDOFSTREAM);
        return nullptr;
    }
    // The count must fit the struct chunk that carries the records, and a
    // list always holds its root.
    const GxInt32 count = static_cast<GxInt32>(GxBytesGetU32(countBytes));
    const GxUInt32 recordBytes = structSize - static_cast<GxUInt32>(sizeof(countBytes));
    if (count <= 0 || static_cast<GxUInt32>(count) > recordBytes / kRecordSize) {
        GxErrorRaise(0, gxERRREAD);
        return nullptr;
    }
    auto* frames = static_cast<GxFrame**>(GxCalloc(static_cast<size_t>(count), sizeof(GxFrame*), kReadListHint));
    if (frames == nullptr) {
        GxErrorRaise(0, gxERRNOMEMORY);
        return nullptr;
    }
    GxInt32 made = 0;
    bool ok = ReadFrames(stream, frames, count, &made);
    const GxUInt32 surplus = recordBytes - static_cast<GxUInt32>(count) * kRecordSize;
    if (ok && surplus != 0 && GxStreamSkip(stream, surplus) == nullptr) {
        ok = false;
    }
    for (GxInt32 i = 0; ok && i < count; i++) {
        ok = GxPluginRegistryReadDataChunks(&gxFrameTKList, stream, frames[i]) != nullptr;
    }
    if (!ok) {
        GxErrorRaise(0, gxERRREAD);
    }
    if (!ok) {
        DestroyMadeFrames(frames, made);
        GxFree(frames);
        return nullptr;
    }
    for (GxInt32 i = 0; i < count; i++) {
        if (GxFrameGetRoot(frames[i]) == frames[i]) {
            GxFrameSetDirty(frames[i]);
        }
    }
    list->frames = frames;
    list->numFrames = count;
    return list;
}

GxFrameList* GxFrameListStreamReadSized(GxStream* stream, GxFrameList* list, GxUInt32 length)
{
    GX_ASSERT(stream != nullptr && list != nullptr, "a stream and a list");
    GxUInt8* body = GxStreamReadBlock(stream, length);
    if (body == nullptr) {
        return nullptr;
    }
    GxMemory memory = {body, length};
    GxStream* chunk = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    GxFrameList* result = chunk != nullptr ? GxFrameListStreamRead(chunk, list) : nullptr;
    if (chunk != nullptr) {
        GxStreamClose(chunk, nullptr);
    }
    GxFree(body);
    return result;
}
