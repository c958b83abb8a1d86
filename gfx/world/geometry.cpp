// Geometry and morph targets: creation, reference counting, locking, the mesh-header build and chunk 0x0F.
//
// Sections: layout; creation and morph targets; references and locking; unlock; bounds; chunk size and
// write; chunk read.
#include "gfx/world/geometry.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/matrix.h"
#include "gfx/core/memory.h"
#include "gfx/core/texture.h"
#include "gfx/world/mesh.h"
#include "gfx/world/world_local.h"

GxPluginRegistry gxGeometryTKList = GxPluginRegistryInitializer(sizeof(GxGeometry), 0);

namespace {

constexpr GxUInt32 kGeometryHint = 0x3000F;
constexpr GxUInt32 kScratchTextureHint = 0x10006;
constexpr GxUInt32 kScratchKeyHint = 0x10503;
constexpr GxUInt8 kGeometryObjectType = 8;
constexpr GxUInt32 kStoredFlagsMask = 0x7B;
constexpr GxUInt32 kStoredHighMask = 0x0F000000;
constexpr GxUInt32 kStructFixedSize = 16;
constexpr GxUInt32 kMorphRecordSize = 24;
constexpr GxUInt32 kBytesPerColor = 4;
constexpr GxUInt32 kBytesPerTexCoord = 8;
constexpr GxUInt32 kBytesPerTriangle = 8;
constexpr GxUInt32 kBytesPerVector = 12;
constexpr GxUInt32 kTriangleStaging = 256;
constexpr GxReal kSphereMargin = 1.001f;
constexpr size_t kBlockAlign = 8;

size_t AlignUp(size_t n) { return (n + kBlockAlign - 1) & ~(kBlockAlign - 1); }

bool IsNative(const GxGeometry* geometry) { return (geometry->flags & gxGEOMETRYNATIVE) != 0; }

// Number of texture-coordinate sets a format asks for.
GxInt32 TexCoordSetsOf(GxUInt32 format)
{
    const GxInt32 counted = static_cast<GxInt32>((format & gxGEOMETRYTEXCOORDSETSMASK) >> gxGEOMETRYTEXCOORDSETSSHIFT);
    if (counted) {
        return counted;
    }
    if (format & gxGEOMETRYTEXTURED2) {
        return 2;
    }
    return (format & gxGEOMETRYTEXTURED) ? 1 : 0;
}

// Bytes of vertex data per morph target: positions, and normals when the geometry has them.
size_t MorphDataSize(const GxGeometry* geometry)
{
    if (IsNative(geometry)) {
        return 0;
    }
    const size_t vectors = (geometry->flags & gxGEOMETRYNORMALS) ? 2 : 1;
    return vectors * kBytesPerVector * static_cast<size_t>(geometry->numVertices);
}

// Points each record at its positions and normals; the block holds the records, then each target's data.
void LayOutMorphTargets(GxGeometry* geometry, GxMorphTarget* targets, GxInt32 count)
{
    const size_t dataSize = MorphDataSize(geometry);
    char* data = reinterpret_cast<char*>(targets) + AlignUp(sizeof(GxMorphTarget) * static_cast<size_t>(count));
    for (GxInt32 i = 0; i < count; i++) {
        if (dataSize == 0) {
            targets[i].verts = nullptr;
            targets[i].normals = nullptr;
            continue;
        }
        targets[i].verts = reinterpret_cast<GxV3d*>(data);
        targets[i].normals =
            (geometry->flags & gxGEOMETRYNORMALS)
                ? reinterpret_cast<GxV3d*>(data + kBytesPerVector * static_cast<size_t>(geometry->numVertices))
                : nullptr;
        data += dataSize;
    }
}

}  // namespace

// ---- creation and morph targets ----

GxGeometry* GxGeometryCreate(GxInt32 numVertices, GxInt32 numTriangles, GxUInt32 format)
{
    if (numVertices < 0 || numTriangles < 0) {
        return nullptr;
    }
    if (numVertices >= gxGEOMETRYMAXVERTICES) {
        GxErrorRaise(gxPLUGINWORLD, gxERRTOOMANYVERTICES);
        return nullptr;
    }
    const GxInt32 sets = TexCoordSetsOf(format);
    GX_ASSERT(sets <= gxMAXTEXCOORDSETS, "a format asks for at most eight coordinate sets");
    const GxUInt32 setBit = sets == 1 ? GxUInt32{gxGEOMETRYTEXTURED} : (sets > 1 ? GxUInt32{gxGEOMETRYTEXTURED2} : 0u);
    const GxUInt32 flags = (format & kStoredFlagsMask) | setBit | (format & kStoredHighMask);
    const bool native = (flags & gxGEOMETRYNATIVE) != 0;
    const size_t nv = static_cast<size_t>(numVertices);
    const size_t structBytes = AlignUp(static_cast<size_t>(gxGeometryTKList.sizeOfStruct));
    const size_t colorBytes = native || !(flags & gxGEOMETRYPRELIT) ? 0 : nv * kBytesPerColor;
    const size_t coordBytes = native ? 0 : static_cast<size_t>(sets) * nv * kBytesPerTexCoord;
    const size_t triangleBytes = native ? 0 : static_cast<size_t>(numTriangles) * sizeof(GxTriangle);
    char* block = static_cast<char*>(GxCalloc(1, structBytes + colorBytes + coordBytes + triangleBytes, kGeometryHint));
    if (!block) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    auto* geometry = reinterpret_cast<GxGeometry*>(block);
    geometry->object.type = kGeometryObjectType;
    geometry->flags = flags;
    geometry->lockedSinceLastInst = gxGEOMETRYLOCKALL;
    geometry->refCount = 1;
    geometry->numTriangles = numTriangles;
    geometry->numVertices = numVertices;
    geometry->numTexCoordSets = sets;
    GxMaterialListInitialize(&geometry->matList);
    char* cursor = block + structBytes;
    if (colorBytes) {
        geometry->preLitLum = reinterpret_cast<GxRGBA*>(cursor);
        cursor += colorBytes;
    }
    if (!native) {
        for (GxInt32 i = 0; i < sets; i++) {
            geometry->texCoords[i] = reinterpret_cast<GxTexCoords*>(cursor);
            cursor += nv * kBytesPerTexCoord;
        }
        geometry->triangles = triangleBytes ? reinterpret_cast<GxTriangle*>(cursor) : nullptr;
        for (GxInt32 i = 0; i < numTriangles; i++) {
            geometry->triangles[i].matIndex = gxGEOMETRYNOMATERIAL;
        }
    }
    if (GxGeometryAddMorphTargets(geometry, 1) < 0) {
        GxFree(block);
        return nullptr;
    }
    GxPluginRegistryInitObject(&gxGeometryTKList, geometry);
    return geometry;
}

GxGeometry* GxGeometryCreateEmpty(GxReal radius)
{
    GxGeometry* geometry = GxGeometryCreate(0, 0, 0);
    if (!geometry) {
        return nullptr;
    }
    geometry->morphTarget[0].boundingSphere = GxSphere{{0.0f, 0.0f, 0.0f}, radius};
    if (!GxGeometryUnlock(geometry)) {
        GxGeometryDestroy(geometry);
        return nullptr;
    }
    return geometry;
}

GxInt32 GxGeometryAddMorphTargets(GxGeometry* geometry, GxInt32 count)
{
    GX_ASSERT(geometry, "a geometry is given");
    // A negative count would shrink the array under the records it keeps.
    if (count < 0) {
        return -1;
    }
    const GxInt32 old = geometry->numMorphTargets;
    const GxInt32 total = old + count;
    const size_t dataSize = MorphDataSize(geometry);
    const size_t recordBytes = AlignUp(sizeof(GxMorphTarget) * static_cast<size_t>(total));
    auto* targets =
        static_cast<GxMorphTarget*>(GxCalloc(1, recordBytes + dataSize * static_cast<size_t>(total), kGeometryHint));
    if (!targets) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return -1;
    }
    if (geometry->morphTarget) {
        memcpy(targets, geometry->morphTarget, sizeof(GxMorphTarget) * static_cast<size_t>(old));
    }
    LayOutMorphTargets(geometry, targets, total);
    for (GxInt32 i = 0; i < old && dataSize; i++) {
        memcpy(targets[i].verts, geometry->morphTarget[i].verts, dataSize);
    }
    for (GxInt32 i = 0; i < total; i++) {
        targets[i].parentGeom = geometry;
    }
    if (geometry->morphTarget) {
        GxFree(geometry->morphTarget);
    }
    geometry->morphTarget = targets;
    geometry->numMorphTargets = total;
    return old;
}

// ---- references and locking ----

GxGeometry* GxGeometryAddRef(GxGeometry* geometry)
{
    if (geometry) {
        geometry->refCount++;
    }
    return geometry;
}

GxBool GxGeometryFree(GxGeometry* geometry)
{
    if (!geometry) {
        return 0;
    }
    if (geometry->repEntry) {
        GxResourceEntryFree(geometry->repEntry);
        geometry->repEntry = nullptr;
    }
    geometry->lockedSinceLastInst = gxGEOMETRYLOCKALL;
    GxMeshHeaderDestroy(geometry->mesh);
    geometry->mesh = nullptr;
    GxPluginRegistryDeInitObject(&gxGeometryTKList, geometry);
    if (geometry->morphTarget) {
        GxFree(geometry->morphTarget);
    }
    GxMaterialListDestroy(&geometry->matList);
    GxFree(geometry);
    return 1;
}

GxBool GxGeometryDestroy(GxGeometry* geometry)
{
    if (!geometry) {
        return 0;
    }
    GX_ASSERT(geometry->refCount > 0, "an object is destroyed no more often than it is referenced");
    if (--geometry->refCount > 0) {
        return 1;
    }
    return GxGeometryFree(geometry);
}

GxGeometry* GxGeometryLock(GxGeometry* geometry, GxUInt16 lockFlags)
{
    GX_ASSERT(geometry, "a geometry is given");
    geometry->lockedSinceLastInst |= lockFlags;
    geometry->lockStamp++;
    if (lockFlags & gxGEOMETRYLOCKPOLYGONS) {
        GxMeshHeaderDestroy(geometry->mesh);
        geometry->mesh = nullptr;
    }
    return geometry;
}

GxGeometry* GxGeometryTriangleSetMaterial(GxGeometry* geometry, GxTriangle* triangle, GxMaterial* material)
{
    if (!material) {
        triangle->matIndex = gxGEOMETRYNOMATERIAL;
        return geometry;
    }
    GxInt32 index = GxMaterialListFindMaterialIndex(&geometry->matList, material);
    if (index < 0) {
        index = GxMaterialListAppendMaterial(&geometry->matList, material);
    }
    if (index < 0) {
        return nullptr;
    }
    triangle->matIndex = static_cast<GxUInt16>(index);
    return geometry;
}

GxGeometry* GxGeometryForAllMaterials(GxGeometry* geometry, GxMaterialCallBack callBack, void* data)
{
    for (GxInt32 i = 0; i < geometry->matList.numMaterials; i++) {
        if (!callBack(geometry->matList.materials[i], data)) {
            break;
        }
    }
    return geometry;
}

// ---- unlock ----

namespace {

// Index of `key` among the distinct keys seen so far, adding it at the end when new.
template <typename T>
GxUInt16 KeyIndex(T* keys, GxInt32* count, T key)
{
    for (GxInt32 i = 0; i < *count; i++) {
        if (keys[i] == key) {
            return static_cast<GxUInt16>(i);
        }
    }
    keys[*count] = key;
    return static_cast<GxUInt16>((*count)++);
}

}  // namespace

GxMeshBuilder* GxMeshBuilderAddListTriangles(GxMeshBuilder* builder, const GxMaterialList* list,
                                             const GxTriangle* triangles, GxUInt32 count, GxInt32 base,
                                             GxUInt32 keyHint)
{
    const size_t n = static_cast<size_t>(std::max(0, list->numMaterials));
    GxTexture** textures = nullptr;
    GxRaster** rasters = nullptr;
    GxPipeline** pipelines = nullptr;
    if (n > 0) {
        textures = static_cast<GxTexture**>(GxMalloc(n * sizeof(GxTexture*), kScratchTextureHint));
        rasters = static_cast<GxRaster**>(GxMalloc(n * sizeof(GxRaster*), keyHint));
        pipelines = static_cast<GxPipeline**>(GxMalloc(n * sizeof(GxPipeline*), keyHint));
    }
    GxMeshBuilder* result = builder;
    if (n > 0 && (!textures || !rasters || !pipelines)) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        result = nullptr;
    }
    GxInt32 numTextures = 0;
    GxInt32 numRasters = 0;
    GxInt32 numPipelines = 0;
    for (GxUInt32 i = 0; result && i < count; i++) {
        const GxTriangle& t = triangles[i];
        const GxInt32 index = base + t.matIndex;
        GxMaterial* material = index >= 0 && static_cast<size_t>(index) < n ? list->materials[index] : nullptr;
        GxUInt16 texture = 0;
        GxUInt16 raster = 0;
        GxUInt16 pipeline = 0;
        if (material) {
            // Each array holds at most one entry per material, so the distinct values always fit.
            texture = KeyIndex(textures, &numTextures, material->texture);
            raster = KeyIndex(rasters, &numRasters, material->texture ? material->texture->raster : nullptr);
            pipeline = KeyIndex(pipelines, &numPipelines, material->pipeline);
        }
        result = GxMeshBuilderAddTriangle(builder, material, t.vertIndex[0], t.vertIndex[1], t.vertIndex[2],
                                          static_cast<GxUInt16>(index), texture, raster, pipeline);
    }
    for (void* scratch : {static_cast<void*>(textures), static_cast<void*>(rasters), static_cast<void*>(pipelines)}) {
        if (scratch) {
            GxFree(scratch);
        }
    }
    return result;
}

namespace {

// A triangle without a material while the list has some is refused; an index past the vertices or the list is
// the caller's error (the stream read refuses both before it unlocks).
bool TrianglesNameMaterials(const GxGeometry* geometry)
{
    const GxInt32 numMaterials = geometry->matList.numMaterials;
    for (GxInt32 i = 0; i < geometry->numTriangles; i++) {
        const GxTriangle& t = geometry->triangles[i];
        GX_ASSERT(t.vertIndex[0] < geometry->numVertices && t.vertIndex[1] < geometry->numVertices &&
                      t.vertIndex[2] < geometry->numVertices,
                  "a triangle names vertices of its geometry");
        GX_ASSERT(t.matIndex == gxGEOMETRYNOMATERIAL || t.matIndex < numMaterials,
                  "a triangle names a material of its list");
        if (numMaterials > 0 && t.matIndex == gxGEOMETRYNOMATERIAL) {
            return false;
        }
    }
    return true;
}

}  // namespace

GxGeometry* GxGeometryUnlock(GxGeometry* geometry)
{
    GX_ASSERT(geometry, "a geometry is given");
    if (geometry->mesh) {
        return geometry;
    }
    if (IsNative(geometry) || !geometry->triangles) {
        // No triangles of its own: a native geometry's meshes come with its native data.
        geometry->mesh = GxMeshHeaderGetEmpty();
        return geometry;
    }
    if (!TrianglesNameMaterials(geometry)) {
        GxErrorRaise(gxPLUGINWORLD, gxERRBADMATERIALINDEX);
        return nullptr;
    }
    GxMeshBuilder* builder = GxMeshBuilderCreate(static_cast<GxUInt32>(geometry->numTriangles));
    if (!builder) {
        return nullptr;
    }
    if (!GxMeshBuilderAddListTriangles(builder, &geometry->matList, geometry->triangles,
                                       static_cast<GxUInt32>(geometry->numTriangles), 0, kScratchKeyHint)) {
        GxMeshBuilderDestroy(builder);
        return nullptr;
    }
    GxMeshHeader* header = GxMeshHeaderFromBuilder(builder, (geometry->flags & gxGEOMETRYTRISTRIP) != 0);
    if (!header) {
        return nullptr;
    }
    geometry->mesh = header;
    return geometry;
}

// ---- bounds ----

GxBBox* GxBBoxCalculate(GxBBox* box, const GxV3d* points, GxInt32 count)
{
    GX_ASSERT(count >= 1, "a box bounds at least one point");
    box->sup = points[0];
    box->inf = points[0];
    for (GxInt32 i = 1; i < count; i++) {
        box->sup.x = std::max(box->sup.x, points[i].x);
        box->sup.y = std::max(box->sup.y, points[i].y);
        box->sup.z = std::max(box->sup.z, points[i].z);
        box->inf.x = std::min(box->inf.x, points[i].x);
        box->inf.y = std::min(box->inf.y, points[i].y);
        box->inf.z = std::min(box->inf.z, points[i].z);
    }
    return box;
}

GxMorphTarget* GxMorphTargetCalcBoundingSphere(GxMorphTarget* morphTarget, GxSphere* sphere)
{
    const GxGeometry* geometry = morphTarget->parentGeom;
    // Without positions there is nothing to bound: a zero sphere at the origin.
    if (!morphTarget->verts || geometry->numVertices < 1) {
        *sphere = GxSphere{};
        return morphTarget;
    }
    GxBBox box;
    GxBBoxCalculate(&box, morphTarget->verts, geometry->numVertices);
    const GxV3d center = {(box.sup.x + box.inf.x) * 0.5f, (box.sup.y + box.inf.y) * 0.5f,
                          (box.sup.z + box.inf.z) * 0.5f};
    GxReal largest = 0.0f;
    for (GxInt32 i = 0; i < geometry->numVertices; i++) {
        const GxV3d& p = morphTarget->verts[i];
        const GxReal dx = p.x - center.x;
        const GxReal dy = p.y - center.y;
        const GxReal dz = p.z - center.z;
        largest = std::max(largest, dx * dx + dy * dy + dz * dz);
    }
    sphere->center = center;
    sphere->radius = (largest > 0.0f ? GxSqrt(largest) : 0.0f) * kSphereMargin;
    return morphTarget;
}

// ---- registry ----

GxInt32 GxGeometryRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                                 GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&gxGeometryTKList, size, pluginID, constructor, destructor, copy);
}

GxInt32 GxGeometryRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                       GxPluginDataChunkWriteCallBack writeCB,
                                       GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return GxPluginRegistryAddPluginStream(&gxGeometryTKList, pluginID, readCB, writeCB, getSizeCB);
}

GxInt32 GxGeometryGetPluginOffset(GxUInt32 pluginID)
{
    return GxPluginRegistryGetPluginOffset(&gxGeometryTKList, pluginID);
}

// ---- chunk size and write ----

namespace {

bool HasVertexArrays(const GxGeometry* geometry) { return !IsNative(geometry) && geometry->numVertices > 0; }

GxUInt32 StructSize(const GxGeometry* geometry)
{
    GxUInt32 size = kStructFixedSize;
    const GxUInt32 nv = static_cast<GxUInt32>(geometry->numVertices);
    if (HasVertexArrays(geometry)) {
        if (geometry->preLitLum) {
            size += nv * kBytesPerColor;
        }
        size +=
            (static_cast<GxUInt32>(geometry->numTexCoordSets) * nv + static_cast<GxUInt32>(geometry->numTriangles)) *
            kBytesPerTexCoord;
    }
    for (GxInt32 i = 0; i < geometry->numMorphTargets; i++) {
        size += kMorphRecordSize;
        if (geometry->morphTarget[i].verts) {
            size += nv * kBytesPerVector;
        }
        if (geometry->morphTarget[i].normals) {
            size += nv * kBytesPerVector;
        }
    }
    return size;
}

bool WriteTriangles(const GxGeometry* geometry, GxStream* stream)
{
    GxUInt32 staging[kTriangleStaging * 2];
    for (GxInt32 done = 0; done < geometry->numTriangles;) {
        const GxInt32 n = std::min<GxInt32>(kTriangleStaging, geometry->numTriangles - done);
        for (GxInt32 i = 0; i < n; i++) {
            const GxTriangle& t = geometry->triangles[done + i];
            staging[2 * i] = (static_cast<GxUInt32>(t.vertIndex[0]) << 16) | t.vertIndex[1];
            staging[2 * i + 1] = (static_cast<GxUInt32>(t.vertIndex[2]) << 16) | t.matIndex;
        }
        if (!GxStreamWriteInt32(stream, staging, static_cast<GxUInt32>(n) * kBytesPerTriangle)) {
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

GxUInt32 GxGeometryStreamGetSize(const GxGeometry* geometry)
{
    return gxCHUNKHEADERSIZE + StructSize(geometry) + gxCHUNKHEADERSIZE +
           GxMaterialListStreamGetSize(&geometry->matList) + gxCHUNKHEADERSIZE +
           static_cast<GxUInt32>(GxPluginRegistryGetSize(&gxGeometryTKList, geometry));
}

const GxGeometry* GxGeometryStreamWrite(const GxGeometry* geometry, GxStream* stream)
{
    GX_ASSERT(geometry && stream, "a geometry is written to a stream");
    const GxUInt32 nv = static_cast<GxUInt32>(geometry->numVertices);
    const GxUInt32 format = (geometry->flags & ~gxGEOMETRYTEXCOORDSETSMASK) |
                            (static_cast<GxUInt32>(geometry->numTexCoordSets) << gxGEOMETRYTEXCOORDSETSSHIFT);
    if (!GxWorldWriteHeader(stream, gxID_GEOMETRY, GxGeometryStreamGetSize(geometry)) ||
        !GxWorldWriteHeader(stream, gxID_STRUCT, StructSize(geometry)) || !GxWorldWriteU32(stream, format) ||
        !GxWorldWriteU32(stream, static_cast<GxUInt32>(geometry->numTriangles)) || !GxWorldWriteU32(stream, nv) ||
        !GxWorldWriteU32(stream, static_cast<GxUInt32>(geometry->numMorphTargets))) {
        return nullptr;
    }
    if (HasVertexArrays(geometry)) {
        if (geometry->preLitLum && !GxStreamWrite(stream, geometry->preLitLum, nv * kBytesPerColor)) {
            return nullptr;
        }
        for (GxInt32 i = 0; i < geometry->numTexCoordSets; i++) {
            if (!GxStreamWriteReal(stream, &geometry->texCoords[i]->u, nv * kBytesPerTexCoord)) {
                return nullptr;
            }
        }
        if (!WriteTriangles(geometry, stream)) {
            return nullptr;
        }
    }
    for (GxInt32 i = 0; i < geometry->numMorphTargets; i++) {
        const GxMorphTarget& target = geometry->morphTarget[i];
        const GxReal sphere[4] = {target.boundingSphere.center.x, target.boundingSphere.center.y,
                                  target.boundingSphere.center.z, target.boundingSphere.radius};
        if (!GxStreamWriteReal(stream, sphere, sizeof(sphere)) || !GxWorldWriteU32(stream, target.verts ? 1 : 0) ||
            !GxWorldWriteU32(stream, target.normals ? 1 : 0)) {
            return nullptr;
        }
        if (target.verts && !GxStreamWriteReal(stream, &target.verts->x, nv * kBytesPerVector)) {
            return nullptr;
        }
        if (target.normals && !GxStreamWriteReal(stream, &target.normals->x, nv * kBytesPerVector)) {
            return nullptr;
        }
    }
    if (!GxMaterialListStreamWrite(&geometry->matList, stream) ||
        !GxPluginRegistryWriteDataChunks(&gxGeometryTKList, stream, geometry)) {
        return nullptr;
    }
    return geometry;
}

// ---- chunk read ----

namespace {

// Reads the struct body in order, never past the struct chunk.
class StructReader {
public:
    StructReader(GxStream* stream, GxUInt32 length) : stream_(stream), left_(length) {}

    bool Take(GxUInt32 bytes)
    {
        if (bytes > left_) {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            return false;
        }
        left_ -= bytes;
        return true;
    }
    bool Raw(void* buffer, GxUInt32 bytes) { return Take(bytes) && GxWorldRead(stream_, buffer, bytes); }
    bool Words(void* buffer, GxUInt32 bytes)
    {
        if (!Take(bytes)) {
            return false;
        }
        if (!GxStreamReadInt32(stream_, buffer, bytes)) {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            return false;
        }
        return true;
    }
    bool U32(GxUInt32* value) { return Take(4) && GxWorldReadU32(stream_, value); }
    GxUInt32 Left() const { return left_; }
    bool SkipRest() { return GxWorldSkip(stream_, left_) && (left_ = 0, true); }

private:
    GxStream* stream_;
    GxUInt32 left_;
};

bool ReadTriangles(StructReader* reader, GxGeometry* geometry)
{
    GxUInt32 staging[kTriangleStaging * 2];
    for (GxInt32 done = 0; done < geometry->numTriangles;) {
        const GxInt32 n = std::min<GxInt32>(kTriangleStaging, geometry->numTriangles - done);
        if (!reader->Words(staging, static_cast<GxUInt32>(n) * kBytesPerTriangle)) {
            return false;
        }
        for (GxInt32 i = 0; i < n; i++) {
            GxTriangle& t = geometry->triangles[done + i];
            t.vertIndex[0] = static_cast<GxUInt16>(staging[2 * i] >> 16);
            t.vertIndex[1] = static_cast<GxUInt16>(staging[2 * i]);
            t.vertIndex[2] = static_cast<GxUInt16>(staging[2 * i + 1] >> 16);
            t.matIndex = static_cast<GxUInt16>(staging[2 * i + 1]);
            if (t.vertIndex[0] >= geometry->numVertices || t.vertIndex[1] >= geometry->numVertices ||
                t.vertIndex[2] >= geometry->numVertices) {
                GxErrorRaise(gxPLUGINCORE, gxERRREAD);
                return false;
            }
        }
        done += n;
    }
    return true;
}

bool ReadMorphTargets(StructReader* reader, GxGeometry* geometry)
{
    const GxUInt32 vectorBytes = static_cast<GxUInt32>(geometry->numVertices) * kBytesPerVector;
    for (GxInt32 i = 0; i < geometry->numMorphTargets; i++) {
        GxMorphTarget& target = geometry->morphTarget[i];
        GxReal sphere[4];
        GxUInt32 hasPositions = 0;
        GxUInt32 hasNormals = 0;
        if (!reader->Words(sphere, sizeof(sphere)) || !reader->U32(&hasPositions) || !reader->U32(&hasNormals)) {
            return false;
        }
        target.boundingSphere = GxSphere{{sphere[0], sphere[1], sphere[2]}, sphere[3]};
        if (vectorBytes == 0) {
            continue;
        }
        // Each array the record announces is read on its own; one the geometry keeps no room for is refused.
        if ((hasPositions && !target.verts) || (hasNormals && !target.normals)) {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            return false;
        }
        if (hasPositions && !reader->Words(target.verts, vectorBytes)) {
            return false;
        }
        if (hasNormals && !reader->Words(target.normals, vectorBytes)) {
            return false;
        }
    }
    return true;
}

// Bytes the struct must hold at least for the counts it announces. A further morph target's vertex block is
// allocated before its record is read, so each must be backed by one array's bytes even when its record leaves
// them out; the first comes with the geometry, whose vertex count is bounded.
uint64_t LeastStructBytes(GxUInt32 format, GxInt32 numTriangles, GxInt32 numVertices, GxInt32 numMorphTargets)
{
    uint64_t bytes = static_cast<uint64_t>(numMorphTargets) * kMorphRecordSize;
    if (!(format & gxGEOMETRYNATIVE) && numVertices > 0) {
        const uint64_t nv = static_cast<uint64_t>(numVertices);
        if (format & gxGEOMETRYPRELIT) {
            bytes += nv * kBytesPerColor;
        }
        bytes += (static_cast<uint64_t>(TexCoordSetsOf(format)) * nv + static_cast<uint64_t>(numTriangles)) *
                 kBytesPerTexCoord;
        bytes += static_cast<uint64_t>(numMorphTargets - 1) * nv * kBytesPerVector;
    }
    return bytes;
}

bool MaterialIndicesValid(const GxGeometry* geometry)
{
    const GxInt32 numMaterials = geometry->matList.numMaterials;
    for (GxInt32 i = 0; i < geometry->numTriangles && geometry->triangles; i++) {
        // As the unlock demands: a material for every triangle when the list has any, else none.
        const GxUInt16 index = geometry->triangles[i].matIndex;
        if (numMaterials == 0 ? index != gxGEOMETRYNOMATERIAL : index >= numMaterials) {
            return false;
        }
    }
    return true;
}

}  // namespace

GxGeometry* GxGeometryStreamRead(GxStream* stream)
{
    GX_ASSERT(stream, "a geometry is read from a stream");
    GxUInt32 length = 0;
    GxUInt8 head[kStructFixedSize];
    if (!GxWorldFindStruct(stream, kStructFixedSize, &length) || !GxWorldRead(stream, head, sizeof(head))) {
        return nullptr;
    }
    const GxUInt32 format = GxBytesGetU32(head);
    const GxInt32 numTriangles = GxBytesGetI32(head + 4);
    const GxInt32 numVertices = GxBytesGetI32(head + 8);
    const GxInt32 numMorphTargets = GxBytesGetI32(head + 12);
    // Counts come from the file: each must be backed by the bytes of the struct before anything is allocated.
    if (numVertices >= gxGEOMETRYMAXVERTICES) {
        GxErrorRaise(gxPLUGINWORLD, gxERRTOOMANYVERTICES);
        return nullptr;
    }
    if (numTriangles < 0 || numVertices < 0 || numMorphTargets < 1 || TexCoordSetsOf(format) > gxMAXTEXCOORDSETS ||
        (numVertices == 0 && numTriangles > 0) ||
        LeastStructBytes(format, numTriangles, numVertices, numMorphTargets) > length - kStructFixedSize) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    GxGeometry* geometry = GxGeometryCreate(numVertices, numTriangles, format);
    if (!geometry) {
        return nullptr;
    }
    StructReader reader(stream, length - kStructFixedSize);
    bool ok = numMorphTargets == 1 || GxGeometryAddMorphTargets(geometry, numMorphTargets - 1) >= 0;
    if (ok && HasVertexArrays(geometry)) {
        const GxUInt32 nv = static_cast<GxUInt32>(numVertices);
        ok = !geometry->preLitLum || reader.Raw(geometry->preLitLum, nv * kBytesPerColor);
        for (GxInt32 i = 0; ok && i < geometry->numTexCoordSets; i++) {
            ok = reader.Words(geometry->texCoords[i], nv * kBytesPerTexCoord);
        }
        ok = ok && ReadTriangles(&reader, geometry);
    }
    ok = ok && ReadMorphTargets(&reader, geometry) && reader.SkipRest();
    ok = ok && GxWorldFindChunk(stream, gxID_MATLIST, nullptr) && GxMaterialListStreamRead(stream, &geometry->matList);
    if (ok && !MaterialIndicesValid(geometry)) {
        GxErrorRaise(gxPLUGINWORLD, gxERRBADMATERIALINDEX);
        ok = false;
    }
    ok = ok && GxPluginRegistryReadDataChunks(&gxGeometryTKList, stream, geometry) && GxGeometryUnlock(geometry);
    if (!ok) {
        GxGeometryDestroy(geometry);
        return nullptr;
    }
    return geometry;
}
