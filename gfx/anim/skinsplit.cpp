// Skin weight order, bone-split data (palette windows per mesh) and the native skin header.
#include <cstdlib>
#include <cstring>

#include "gfx/anim/anim_local.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/world/geometry.h"

namespace {

constexpr GxUInt32 kSplitCountsSize = 12;
constexpr GxUInt32 kNativePlatform = 9;
// A run table is indexed by byte.
constexpr GxUInt32 kMaxRuns = 256;

}  // namespace

GxUInt32 GxSkinSplitBlockSize(GxUInt32 numBones, GxUInt32 meshCount, GxUInt32 runCount)
{
    return numBones + 2 * (meshCount + runCount);
}

void GxSkinSplitSetPointers(GxSkin* skin)
{
    skin->meshTable = skin->block + skin->numBones;
    skin->runTable = skin->meshTable + 2 * skin->meshCount;
}

// Remap entries name palette slots inside the limit; mesh windows name runs that exist; runs name bones.
bool GxSkinSplitValid(const GxSkin* skin)
{
    if (skin->boneLimit > gxSKINPALETTESIZE || skin->runCount > kMaxRuns) {
        return false;
    }
    for (GxUInt32 b = 0; b < skin->numBones; b++) {
        const GxUInt8 slot = skin->block[b];
        if (slot != gxSKINNOREMAP && slot >= skin->boneLimit) {
            return false;
        }
    }
    for (GxUInt32 m = 0; m < skin->meshCount; m++) {
        if (skin->meshTable[2 * m] + skin->meshTable[2 * m + 1] > skin->runCount) {
            return false;
        }
    }
    for (GxUInt32 r = 0; r < skin->runCount; r++) {
        if (skin->runTable[2 * r] + skin->runTable[2 * r + 1] > skin->numBones) {
            return false;
        }
    }
    return true;
}

GxInt32 GxSkinBoneIndexCompare(const void* a, const void* b)
{
    return static_cast<GxInt32>(*static_cast<const GxUInt8*>(a)) -
           static_cast<GxInt32>(*static_cast<const GxUInt8*>(b));
}

GxGeometry* GxSkinGeometrySortWeights(GxGeometry* geometry)
{
    GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    if (!skin || !skin->vertexBoneWeights) {
        return geometry;
    }
    for (GxUInt32 v = 0; v < skin->numVertices; v++) {
        GxReal* w = &skin->vertexBoneWeights[v * gxSKINMAXWEIGHTS];
        if (!(w[0] < 1.0f)) {
            continue;
        }
        GxUInt8 bones[gxSKINMAXWEIGHTS];
        memcpy(bones, &skin->vertexBoneIndices[v], sizeof(bones));
        for (bool swapped = true; swapped;) {
            swapped = false;
            for (GxInt32 j = 0; j + 1 < gxSKINMAXWEIGHTS; j++) {
                if (w[j] < w[j + 1]) {
                    const GxReal t = w[j];
                    w[j] = w[j + 1];
                    w[j + 1] = t;
                    const GxUInt8 b = bones[j];
                    bones[j] = bones[j + 1];
                    bones[j + 1] = b;
                    swapped = true;
                }
            }
        }
        memcpy(&skin->vertexBoneIndices[v], bones, sizeof(bones));
    }
    if (skin->numBoneIDs > 1) {
        qsort(skin->boneIDs, skin->numBoneIDs, 1, GxSkinBoneIndexCompare);
    }
    return geometry;
}

GxBool GxSkinSplitDataDestroy(GxSkin* skin)
{
    if (skin->block) {
        GxFree(skin->block);
    }
    skin->boneLimit = skin->meshCount = skin->runCount = 0;
    skin->block = skin->meshTable = skin->runTable = nullptr;
    return 1;
}

GxStream* GxSkinSplitDataStreamWrite(GxStream* stream, const GxSkin* skin)
{
    const GxUInt32 counts[3] = {skin->boneLimit, skin->meshCount, skin->runCount};
    if (!GxStreamWriteInt32(stream, counts, sizeof(counts))) {
        return nullptr;
    }
    if (skin->meshCount == 0) {
        return stream;
    }
    return GxStreamWrite(stream, skin->block, GxSkinSplitBlockSize(skin->numBones, skin->meshCount, skin->runCount));
}

// Damaged split data fails the read with no error of its own, as a short read does.
GxStream* GxSkinSplitDataStreamRead(GxStream* stream, GxSkin* skin)
{
    GxUInt32 counts[3];
    if (!GxStreamReadInt32(stream, counts, sizeof(counts))) {
        return nullptr;
    }
    if (counts[1] < 1) {
        return stream;
    }
    if (counts[0] > gxSKINPALETTESIZE || counts[1] > kMaxRuns || counts[2] > kMaxRuns) {
        return nullptr;
    }
    const GxUInt32 size = GxSkinSplitBlockSize(skin->numBones, counts[1], counts[2]);
    if (!GxStreamCanSupply(stream, size)) {
        return nullptr;
    }
    GxSkinSplitDataDestroy(skin);
    auto* block = static_cast<GxUInt8*>(GxCalloc(1, size, GxSkinAllocHint()));
    if (!block) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    skin->boneLimit = counts[0];
    skin->meshCount = counts[1];
    skin->runCount = counts[2];
    skin->block = block;
    GxSkinSplitSetPointers(skin);
    if (GxStreamRead(stream, block, size) != size) {
        GxSkinSplitDataDestroy(skin);
        return nullptr;
    }
    if (!GxSkinSplitValid(skin)) {
        GxSkinSplitDataDestroy(skin);
        return nullptr;
    }
    return stream;
}

GxInt32 GxSkinSplitDataStreamSize(const GxSkin* skin)
{
    if (skin->meshCount == 0) {
        return kSplitCountsSize;
    }
    return static_cast<GxInt32>(kSplitCountsSize +
                                GxSkinSplitBlockSize(skin->numBones, skin->meshCount, skin->runCount));
}

GxStream* GxSkinGeometryStreamWriteHeader(GxStream* stream, const GxGeometry* geometry)
{
    const GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    const GxUInt32 body[2] = {kNativePlatform, skin ? skin->numBones : 0u};
    if (!GxStreamWriteChunkHeader(stream, gxID_STRUCT, gxSkinNativeBodySize, gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteInt32(stream, body, sizeof(body))) {
        return nullptr;
    }
    return stream;
}

GxStream* GxSkinGeometryStreamReadHeader(GxStream* stream, GxGeometry* geometry)
{
    GxUInt32 version = 0;
    if (!GxStreamFindChunk(stream, gxID_STRUCT, nullptr, &version)) {
        return nullptr;
    }
    if (version < gxVERSIONMIN || version > gxVERSIONMAX) {
        GxErrorRaise(gxPLUGINSKIN, gxERRBADVERSION);
        return nullptr;
    }
    GxUInt32 body[2];
    if (!GxStreamReadInt32(stream, body, sizeof(body)) || body[0] != kNativePlatform) {
        return nullptr;
    }
    GxSkin* skin = GxSkinCreate();
    if (!skin) {
        return nullptr;
    }
    skin->numBones = body[1];
    if (GxSkin* old = GxSkinGeometryGetSkin(geometry)) {
        GxSkinGeometrySetSkin(geometry, nullptr);
        GxSkinDestroy(old);
    }
    GxSkinGeometrySetSkin(geometry, skin);
    return stream;
}
