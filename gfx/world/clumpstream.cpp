// The clump chunk (0x10) with its frame list, geometry list (0x1A), atomics (0x14), lights and cameras.
//
// Sections: write context and sizes; writing; reading atomics; reading clumps.
#include <cstring>
#include <vector>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/world/clump.h"
#include "gfx/world/world_local.h"

namespace {

constexpr GxUInt32 kClumpStructSize = 12;
constexpr GxUInt32 kAtomicStructSize = 16;
constexpr GxUInt32 kIndexStructSize = 4;
constexpr GxUInt32 kGeometryListHint = 0x3000F;
// Fewest bytes an atomic, light or camera entry can take on a stream (headers and fixed structs), used to
// refuse counts the remaining bytes cannot hold.
constexpr GxUInt32 kLeastAtomicBytes = 3 * gxCHUNKHEADERSIZE + kAtomicStructSize;
constexpr GxUInt32 kLeastFramedEntryBytes = 3 * gxCHUNKHEADERSIZE + kIndexStructSize;
constexpr GxUInt32 kLeastGeometryBytes = 4 * gxCHUNKHEADERSIZE + 16;

}  // namespace

// ---- write context and sizes ----

struct GxClumpWriteContext {
    GxStream* stream = nullptr;
    GxFrameList frames = {nullptr, 0};
    std::vector<GxGeometry*> geometries;  // distinct, in atomic-list order of first use
    bool ok = true;

    ~GxClumpWriteContext()
    {
        if (frames.frames) {
            GxFrameListDeinitialize(&frames);
        }
    }
};

namespace {

GxAtomic* AtomicOfLink(GxLink* link) { return GxLinkGetData(link, GxAtomic, inClumpLink); }

GxLight* LightOfLink(GxLink* link)
{
    return reinterpret_cast<GxLight*>(reinterpret_cast<char*>(link) - GxClumpLightMembershipOffset());
}

GxCamera* CameraOfLink(GxLink* link)
{
    return reinterpret_cast<GxCamera*>(reinterpret_cast<char*>(link) - GxClumpCameraMembershipOffset());
}

bool BuildContext(GxClump* clump, GxClumpWriteContext* context)
{
    auto* root = static_cast<GxFrame*>(clump->object.parent);
    GX_ASSERT(root, "a clump written to a stream has its frame hierarchy");
    if (!GxFrameListInitialize(&context->frames, root)) {
        return false;
    }
    for (GxLink* link = clump->atomicList.next; link != &clump->atomicList; link = link->next) {
        GxGeometry* geometry = AtomicOfLink(link)->geometry;
        // A level-of-detail atomic drawn on a level without geometry is left with none: it has nothing to write.
        if (!geometry) {
            GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
            return false;
        }
        bool seen = false;
        for (GxGeometry* g : context->geometries) {
            seen = seen || g == geometry;
        }
        if (!seen) {
            context->geometries.push_back(geometry);
        }
    }
    return true;
}

GxUInt32 GeometryListSize(const GxClumpWriteContext& context)
{
    GxUInt32 size = gxCHUNKHEADERSIZE + kIndexStructSize;
    for (GxGeometry* geometry : context.geometries) {
        size += gxCHUNKHEADERSIZE + GxGeometryStreamGetSize(geometry);
    }
    return size;
}

GxUInt32 AtomicSize(const GxAtomic* atomic, const GxClumpWriteContext& context)
{
    GxUInt32 size = gxCHUNKHEADERSIZE + kAtomicStructSize + gxCHUNKHEADERSIZE +
                    static_cast<GxUInt32>(GxPluginRegistryGetSize(&gxAtomicTKList, atomic));
    if (context.geometries.empty() && atomic->geometry) {
        size += gxCHUNKHEADERSIZE + GxGeometryStreamGetSize(atomic->geometry);
    }
    return size;
}

GxUInt32 ClumpSize(GxClump* clump, const GxClumpWriteContext& context)
{
    GxUInt32 size = gxCHUNKHEADERSIZE + kClumpStructSize;
    size += gxCHUNKHEADERSIZE + static_cast<GxUInt32>(GxFrameListStreamGetSize(&context.frames));
    size += gxCHUNKHEADERSIZE + GeometryListSize(context);
    for (GxLink* link = clump->atomicList.next; link != &clump->atomicList; link = link->next) {
        size += gxCHUNKHEADERSIZE + AtomicSize(AtomicOfLink(link), context);
    }
    for (GxLink* link = clump->lightList.next; link != &clump->lightList; link = link->next) {
        size += gxCHUNKHEADERSIZE + kIndexStructSize + gxCHUNKHEADERSIZE + GxLightStreamGetSize(LightOfLink(link));
    }
    for (GxLink* link = clump->cameraList.next; link != &clump->cameraList; link = link->next) {
        size += gxCHUNKHEADERSIZE + kIndexStructSize + gxCHUNKHEADERSIZE +
                static_cast<GxUInt32>(GxCameraStreamGetSize(CameraOfLink(link)));
    }
    return size + gxCHUNKHEADERSIZE + static_cast<GxUInt32>(GxPluginRegistryGetSize(&gxClumpTKList, clump));
}

// ---- writing ----

bool FrameIndex(const GxClumpWriteContext& context, const GxFramedObject* object, GxInt32* index)
{
    const auto* frame = static_cast<const GxFrame*>(object->object.parent);
    const bool found = frame && GxFrameListFindFrame(&context.frames, frame, index);
    GX_ASSERT(found, "every object of a clump written to a stream hangs in the clump's frame hierarchy");
    return found;
}

}  // namespace

GxAtomic* GxClumpAtomicStreamWrite(GxAtomic* atomic, void* data)
{
    auto* context = static_cast<GxClumpWriteContext*>(data);
    GxInt32 frameIndex = 0;
    GxInt32 geometryIndex = 0;
    if (!FrameIndex(*context, &atomic->object, &frameIndex)) {
        context->ok = false;
        return nullptr;
    }
    for (size_t i = 0; i < context->geometries.size(); i++) {
        if (context->geometries[i] == atomic->geometry) {
            geometryIndex = static_cast<GxInt32>(i);
        }
    }
    const bool inline_ = context->geometries.empty() && atomic->geometry;
    GxStream* stream = context->stream;
    context->ok = GxWorldWriteHeader(stream, gxID_ATOMIC, AtomicSize(atomic, *context)) &&
                  GxWorldWriteHeader(stream, gxID_STRUCT, kAtomicStructSize) &&
                  GxWorldWriteU32(stream, static_cast<GxUInt32>(frameIndex)) &&
                  GxWorldWriteU32(stream, static_cast<GxUInt32>(geometryIndex)) &&
                  GxWorldWriteU32(stream, atomic->object.object.flags) && GxWorldWriteU32(stream, 0) &&
                  (!inline_ || GxGeometryStreamWrite(atomic->geometry, stream)) &&
                  GxPluginRegistryWriteDataChunks(&gxAtomicTKList, stream, atomic);
    return context->ok ? atomic : nullptr;
}

namespace {

bool WriteIndexStruct(GxStream* stream, GxInt32 index)
{
    return GxWorldWriteHeader(stream, gxID_STRUCT, kIndexStructSize) &&
           GxWorldWriteU32(stream, static_cast<GxUInt32>(index));
}

}  // namespace

GxClump* GxClumpStreamWrite(GxClump* clump, GxStream* stream)
{
    GX_ASSERT(clump && stream, "a clump is written to a stream");
    GxClumpWriteContext context;
    context.stream = stream;
    if (!BuildContext(clump, &context)) {
        return nullptr;
    }
    GxInt32 numLights = 0;
    GxInt32 numCameras = 0;
    GxClumpForAllLights(clump, GxObjectCountCallback, &numLights);
    GxClumpForAllCameras(clump, GxObjectCountCallback, &numCameras);
    const GxUInt32 counts[3] = {static_cast<GxUInt32>(GxClumpGetNumAtomics(clump)), static_cast<GxUInt32>(numLights),
                                static_cast<GxUInt32>(numCameras)};
    if (!GxWorldWriteHeader(stream, gxID_CLUMP, ClumpSize(clump, context)) ||
        !GxWorldWriteHeader(stream, gxID_STRUCT, kClumpStructSize) || !GxWorldWriteU32(stream, counts[0]) ||
        !GxWorldWriteU32(stream, counts[1]) || !GxWorldWriteU32(stream, counts[2]) ||
        !GxFrameListStreamWrite(&context.frames, stream) ||
        !GxWorldWriteHeader(stream, gxID_GEOMETRYLIST, GeometryListSize(context)) ||
        !GxWorldWriteHeader(stream, gxID_STRUCT, kIndexStructSize) ||
        !GxWorldWriteU32(stream, static_cast<GxUInt32>(context.geometries.size()))) {
        return nullptr;
    }
    for (GxGeometry* geometry : context.geometries) {
        if (!GxGeometryStreamWrite(geometry, stream)) {
            return nullptr;
        }
    }
    GxClumpForAllAtomics(clump, GxClumpAtomicStreamWrite, &context);
    if (!context.ok) {
        return nullptr;
    }
    for (GxLink* link = clump->lightList.next; link != &clump->lightList; link = link->next) {
        GxLight* light = LightOfLink(link);
        GxInt32 index = 0;
        if (!FrameIndex(context, &light->object, &index) || !WriteIndexStruct(stream, index) ||
            !GxLightStreamWrite(light, stream)) {
            return nullptr;
        }
    }
    for (GxLink* link = clump->cameraList.next; link != &clump->cameraList; link = link->next) {
        GxCamera* camera = CameraOfLink(link);
        GxInt32 index = 0;
        if (!FrameIndex(context, &camera->object, &index) || !WriteIndexStruct(stream, index) ||
            !GxCameraStreamWrite(camera, stream)) {
            return nullptr;
        }
    }
    return GxPluginRegistryWriteDataChunks(&gxClumpTKList, stream, clump) ? clump : nullptr;
}

// ---- reading atomics ----

struct GxClumpReadContext {
    GxFrameList frames = {nullptr, 0};
    GxGeometry** geometries = nullptr;
    GxInt32 numGeometries = 0;

    ~GxClumpReadContext()
    {
        for (GxInt32 i = 0; i < numGeometries; i++) {
            GxGeometryDestroy(geometries[i]);
        }
        if (geometries) {
            GxFree(geometries);
        }
        if (frames.frames) {
            GxFrameListDeinitialize(&frames);
        }
    }
};

namespace {

bool ReadIndex(GxStream* stream, GxInt32 limit, GxInt32* index)
{
    GxUInt32 length = 0;
    if (!GxWorldFindStruct(stream, kIndexStructSize, &length) || !GxWorldReadI32(stream, index) ||
        !GxWorldSkip(stream, length - kIndexStructSize)) {
        return false;
    }
    if (*index < 0 || *index >= limit) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return false;
    }
    return true;
}

}  // namespace

GxAtomic* GxClumpAtomicStreamRead(GxStream* stream, const GxClumpReadContext* list)
{
    const GxClumpReadContext& context = *list;
    GxUInt32 length = 0;
    GxUInt8 record[kAtomicStructSize];
    if (!GxWorldFindStruct(stream, kAtomicStructSize, &length) || !GxWorldRead(stream, record, sizeof(record)) ||
        !GxWorldSkip(stream, length - kAtomicStructSize)) {
        return nullptr;
    }
    const GxInt32 frameIndex = GxBytesGetI32(record);
    const GxInt32 geometryIndex = GxBytesGetI32(record + 4);
    // Indices name entries of the lists read before; anything else is refused.
    if (frameIndex < 0 || frameIndex >= context.frames.numFrames ||
        (context.numGeometries > 0 && (geometryIndex < 0 || geometryIndex >= context.numGeometries))) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    GxAtomic* atomic = GxAtomicCreate();
    if (!atomic) {
        return nullptr;
    }
    atomic->object.object.flags = record[8];
    GxAtomicSetFrame(atomic, context.frames.frames[frameIndex]);
    bool ok = true;
    if (context.numGeometries == 0) {
        GxGeometry* geometry = nullptr;
        ok = GxWorldFindChunk(stream, gxID_GEOMETRY, nullptr) && (geometry = GxGeometryStreamRead(stream));
        if (ok) {
            GxAtomicSetGeometry(atomic, geometry, 0);
            GxGeometryDestroy(geometry);
        }
    } else {
        GxAtomicSetGeometry(atomic, context.geometries[geometryIndex], 0);
    }
    gxAtomicPendingRights = GxRightsRecord{0, 0};
    ok = ok && GxPluginRegistryReadDataChunks(&gxAtomicTKList, stream, atomic);
    if (!ok) {
        GxAtomicDestroy(atomic);
        return nullptr;
    }
    if (gxAtomicPendingRights.pluginID != 0) {
        GxPluginRegistryInvokeRights(&gxAtomicTKList, gxAtomicPendingRights.pluginID, atomic,
                                     gxAtomicPendingRights.extraData);
    }
    return atomic;
}

namespace {

bool ReadGeometryList(GxStream* stream, GxClumpReadContext* context)
{
    GxUInt32 length = 0;
    GxInt32 count = 0;
    if (!GxWorldFindChunk(stream, gxID_GEOMETRYLIST, nullptr) ||
        !GxWorldFindStruct(stream, kIndexStructSize, &length) || !GxWorldReadI32(stream, &count) ||
        !GxWorldSkip(stream, length - kIndexStructSize)) {
        return false;
    }
    if (count < 0 || !GxWorldStreamHolds(stream, static_cast<uint64_t>(count) * kLeastGeometryBytes)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return false;
    }
    if (count == 0) {
        return true;
    }
    context->geometries =
        static_cast<GxGeometry**>(GxMalloc(static_cast<size_t>(count) * sizeof(GxGeometry*), kGeometryListHint));
    if (!context->geometries) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return false;
    }
    for (GxInt32 i = 0; i < count; i++) {
        GxGeometry* geometry = nullptr;
        if (!GxWorldFindChunk(stream, gxID_GEOMETRY, nullptr) || !(geometry = GxGeometryStreamRead(stream))) {
            return false;
        }
        context->geometries[context->numGeometries++] = geometry;
    }
    return true;
}

// The frame list must form one hierarchy under frame 0; frames outside it would belong to nobody.
bool ReadFrames(GxStream* stream, GxClumpReadContext* context)
{
    GxUInt32 length = 0;
    if (!GxWorldFindChunk(stream, gxID_FRAMELIST, &length) ||
        !GxFrameListStreamReadSized(stream, &context->frames, length)) {
        return false;
    }
    GxFrame* root = context->frames.frames[0];
    bool single = GxFrameGetParent(root) == nullptr;
    for (GxInt32 i = 1; i < context->frames.numFrames; i++) {
        single = single && GxFrameGetRoot(context->frames.frames[i]) == root;
    }
    if (single) {
        return true;
    }
    // Roots first, then destroy: a destroyed hierarchy takes its frames with it.
    GxInt32 roots = 0;
    for (GxInt32 i = 0; i < context->frames.numFrames; i++) {
        if (GxFrameGetParent(context->frames.frames[i]) == nullptr) {
            context->frames.frames[roots++] = context->frames.frames[i];
        }
    }
    for (GxInt32 i = 0; i < roots; i++) {
        GxFrameDestroyHierarchy(context->frames.frames[i]);
    }
    GxFrameListDeinitialize(&context->frames);
    context->frames = GxFrameList{nullptr, 0};
    GxErrorRaise(gxPLUGINCORE, gxERRREAD);
    return false;
}

}  // namespace

// ---- reading clumps ----

GxClump* GxClumpStreamRead(GxStream* stream)
{
    GX_ASSERT(stream, "a clump is read from a stream");
    GxUInt32 length = 0;
    GxUInt8 record[kClumpStructSize];
    if (!GxWorldFindStruct(stream, kClumpStructSize, &length) || !GxWorldRead(stream, record, sizeof(record)) ||
        !GxWorldSkip(stream, length - kClumpStructSize)) {
        return nullptr;
    }
    const GxInt32 numAtomics = GxBytesGetI32(record);
    const GxInt32 numLights = GxBytesGetI32(record + 4);
    const GxInt32 numCameras = GxBytesGetI32(record + 8);
    if (numAtomics < 0 || numLights < 0 || numCameras < 0 ||
        !GxWorldStreamHolds(stream, static_cast<uint64_t>(numAtomics) * kLeastAtomicBytes +
                                        (static_cast<uint64_t>(numLights) + static_cast<uint64_t>(numCameras)) *
                                            kLeastFramedEntryBytes)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    GxClump* clump = GxClumpCreate();
    if (!clump) {
        return nullptr;
    }
    bool ok = true;
    {
        GxClumpReadContext context;
        ok = ReadFrames(stream, &context);
        if (ok) {
            GxClumpSetFrame(clump, context.frames.frames[0]);
        }
        ok = ok && ReadGeometryList(stream, &context);
        for (GxInt32 i = 0; ok && i < numAtomics; i++) {
            GxAtomic* atomic = nullptr;
            ok = GxWorldFindChunk(stream, gxID_ATOMIC, nullptr) && (atomic = GxClumpAtomicStreamRead(stream, &context));
            if (ok) {
                GxClumpAddAtomic(clump, atomic);
            }
        }
        for (GxInt32 i = 0; ok && i < numLights; i++) {
            GxInt32 index = 0;
            GxLight* light = nullptr;
            ok = ReadIndex(stream, context.frames.numFrames, &index) && GxWorldFindChunk(stream, gxID_LIGHT, nullptr) &&
                 (light = GxLightStreamRead(stream));
            if (ok) {
                GxLightSetFrame(light, context.frames.frames[index]);
                GxClumpAddLight(clump, light);
            }
        }
        for (GxInt32 i = 0; ok && i < numCameras; i++) {
            GxInt32 index = 0;
            GxCamera* camera = nullptr;
            ok = ReadIndex(stream, context.frames.numFrames, &index) &&
                 GxWorldFindChunk(stream, gxID_CAMERA, nullptr) && (camera = GxCameraStreamRead(stream));
            if (ok) {
                GxObjectSetFrame(&camera->object, context.frames.frames[index]);
                GxClumpAddCamera(clump, camera);
            }
        }
    }
    ok = ok && GxPluginRegistryReadDataChunks(&gxClumpTKList, stream, clump);
    if (!ok) {
        GxClumpDestroy(clump);
        return nullptr;
    }
    return clump;
}
