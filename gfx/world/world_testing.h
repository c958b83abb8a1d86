// Test support for the world objects: an engine with every world module, boxes, and memory streams.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/world/fuzz_testing.h"
#include "gfx/world/worldobj_local.h"

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(GxWorldEngineSetup());
        GX_ASSERT_ENGINE_STARTED(*engine);
    }
    void TearDown() override { engine.reset(); }
    std::optional<GxTestEngine> engine;
};

// Writes through `write` into memory and returns the bytes.
template <typename WriteFn>
std::vector<GxUInt8> GxWorldTestWrite(WriteFn write)
{
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    const bool ok = stream && write(stream);
    GxMemory memory = {nullptr, 0};
    if (stream) {
        GxStreamClose(stream, &memory);
    }
    std::vector<GxUInt8> bytes(memory.start, memory.start + (ok ? memory.length : 0));
    if (memory.start) {
        GxFree(memory.start);
    }
    return bytes;
}

// A pipeline of the one node given, locked and unlocked; null when a step fails.
inline GxPipeline* GxWorldTestOneNodePipeline(GxNodeDefinition* node)
{
    GxPipeline* pipeline = GxPipelineCreate();
    if (!pipeline)
        return nullptr;
    if (GxPipelineLock(pipeline) != pipeline || GxPipelineAddFragment(pipeline, nullptr, node, nullptr) != pipeline ||
        GxPipelineUnlock(pipeline) != pipeline) {
        GxPipelineDestroy(pipeline);
        return nullptr;
    }
    return pipeline;
}

// Opens a read stream over `bytes` (the first `length` of them, all by default).
inline GxStream* GxWorldTestOpen(const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
{
    GxMemory memory = {const_cast<GxUInt8*>(bytes.data()), static_cast<GxUInt32>(std::min(length, bytes.size()))};
    return GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
}

// Reads one chunk of `type` from `bytes` with `read` (given the stream after the header); null on failure.
template <typename T, typename ReadFn>
T* GxWorldTestRead(const std::vector<GxUInt8>& bytes, GxUInt32 type, ReadFn read, size_t length = SIZE_MAX)
{
    GxStream* stream = GxWorldTestOpen(bytes, length);
    T* result = nullptr;
    if (stream && GxStreamFindChunk(stream, type, nullptr, nullptr)) {
        result = read(stream);
    }
    if (stream) {
        GxStreamClose(stream, nullptr);
    }
    return result;
}

// A box of 24 vertices (4 per face) and 12 triangles with normals and one coordinate set; faces
// 0-2 use `first`, 3-5 `second` (either may be null: then no material).
inline GxGeometry* GxWorldTestBox(GxMaterial* first, GxMaterial* second, GxReal size = 1.0f, GxUInt32 extra = 0)
{
    static const GxV3d normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    GxGeometry* geometry = GxGeometryCreate(
        24, 12, gxGEOMETRYPOSITIONS | gxGEOMETRYTEXTURED | gxGEOMETRYNORMALS | gxGEOMETRYLIGHT | extra);
    if (!geometry) {
        return nullptr;
    }
    GxMorphTarget* target = &geometry->morphTarget[0];
    for (GxInt32 face = 0; face < 6; face++) {
        const GxV3d n = normals[face];
        // Two axes across the face.
        const GxV3d u = n.x != 0 ? GxV3d{0, 1, 0} : GxV3d{1, 0, 0};
        const GxV3d w = {n.y * u.z - n.z * u.y, n.z * u.x - n.x * u.z, n.x * u.y - n.y * u.x};
        for (GxInt32 corner = 0; corner < 4; corner++) {
            const GxReal a = (corner & 1) ? size : -size;
            const GxReal b = (corner & 2) ? size : -size;
            const GxInt32 v = face * 4 + corner;
            target->verts[v] =
                GxV3d{n.x * size + u.x * a + w.x * b, n.y * size + u.y * a + w.y * b, n.z * size + u.z * a + w.z * b};
            target->normals[v] = n;
            geometry->texCoords[0][v] = GxTexCoords{(corner & 1) ? 1.0f : 0.0f, (corner & 2) ? 1.0f : 0.0f};
        }
        for (GxInt32 half = 0; half < 2; half++) {
            GxTriangle* t = &geometry->triangles[face * 2 + half];
            const GxUInt16 base = static_cast<GxUInt16>(face * 4);
            t->vertIndex[0] = base;
            t->vertIndex[1] = static_cast<GxUInt16>(base + (half ? 3 : 1));
            t->vertIndex[2] = static_cast<GxUInt16>(base + (half ? 2 : 3));
            GxGeometryTriangleSetMaterial(geometry, t, face < 3 ? first : second);
        }
    }
    GxMorphTargetCalcBoundingSphere(target, &target->boundingSphere);
    if (!GxGeometryUnlock(geometry)) {
        GxGeometryDestroy(geometry);
        return nullptr;
    }
    return geometry;
}

// Four stacked triangles facing +z at heights -3, -2, -1 and 0, without materials; null if out of memory.
inline GxGeometry* GxWorldTestStackedTriangles(void)
{
    constexpr GxInt32 kTriangles = 4;
    GxGeometry* geometry = GxGeometryCreate(3 * kTriangles, kTriangles, gxGEOMETRYPOSITIONS);
    if (geometry == nullptr) {
        return nullptr;
    }
    for (GxInt32 i = 0; i < kTriangles; i++) {
        const GxReal z = static_cast<GxReal>(i - 3);
        geometry->morphTarget[0].verts[3 * i] = GxV3d{0, 0, z};
        geometry->morphTarget[0].verts[3 * i + 1] = GxV3d{1, 0, z};
        geometry->morphTarget[0].verts[3 * i + 2] = GxV3d{0, 1, z};
        const auto v = static_cast<GxUInt16>(3 * i);
        geometry->triangles[i] =
            GxTriangle{{v, static_cast<GxUInt16>(v + 1), static_cast<GxUInt16>(v + 2)}, gxGEOMETRYNOMATERIAL};
    }
    return geometry;
}
