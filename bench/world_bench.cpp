// World objects: a 2,000-vertex clump read from memory against a memcpy of its bytes, and mesh headers
// built as triangle lists and as strips for 20,000 triangles against a copy of the triangles.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "gfx/core/memory.h"
#include "gfx/world/fuzz_testing.h"

namespace {

constexpr GxInt32 kClumpColumns = 40;
constexpr GxInt32 kClumpRows = 50;  // 40 x 50 = 2,000 vertices
constexpr GxInt32 kMeshCells = 100; // 100 x 100 quads = 20,000 triangles
constexpr GxInt32 kMaterials = 4;

bool Started()
{
    static const bool started = GxWorldEngineStart();
    return started;
}

// A grid of columns x rows vertices, two triangles per cell, materials in bands across it.
GxGeometry* GridGeometry(GxInt32 columns, GxInt32 rows, GxMaterial* const* materials, GxUInt32 flags)
{
    const GxInt32 cells = (columns - 1) * (rows - 1);
    GxGeometry* geometry = GxGeometryCreate(columns * rows, cells * 2,
                                            gxGEOMETRYPOSITIONS | gxGEOMETRYNORMALS | gxGEOMETRYTEXTURED | flags);
    for (GxInt32 y = 0; y < rows; y++) {
        for (GxInt32 x = 0; x < columns; x++) {
            const GxInt32 v = y * columns + x;
            geometry->morphTarget[0].verts[v] = GxV3d{static_cast<GxReal>(x), 0.0f, static_cast<GxReal>(y)};
            geometry->morphTarget[0].normals[v] = GxV3d{0.0f, 1.0f, 0.0f};
            geometry->texCoords[0][v] = GxTexCoords{static_cast<GxReal>(x), static_cast<GxReal>(y)};
        }
    }
    GxInt32 t = 0;
    for (GxInt32 y = 0; y + 1 < rows; y++) {
        for (GxInt32 x = 0; x + 1 < columns; x++) {
            const GxUInt16 v = static_cast<GxUInt16>(y * columns + x);
            const GxUInt16 right = static_cast<GxUInt16>(v + 1);
            const GxUInt16 below = static_cast<GxUInt16>(v + columns);
            const GxUInt16 corner = static_cast<GxUInt16>(below + 1);
            GxMaterial* material = materials[(y * kMaterials) / rows];
            geometry->triangles[t] = GxTriangle{{v, below, right}, 0};
            GxGeometryTriangleSetMaterial(geometry, &geometry->triangles[t++], material);
            geometry->triangles[t] = GxTriangle{{right, below, corner}, 0};
            GxGeometryTriangleSetMaterial(geometry, &geometry->triangles[t++], material);
        }
    }
    GxMorphTargetCalcBoundingSphere(&geometry->morphTarget[0], &geometry->morphTarget[0].boundingSphere);
    GxGeometryUnlock(geometry);
    return geometry;
}

struct Materials {
    GxMaterial* list[kMaterials];
    Materials()
    {
        for (GxMaterial*& material : list) {
            material = GxMaterialCreate();
        }
    }
    ~Materials()
    {
        for (GxMaterial* material : list) {
            GxMaterialDestroy(material);
        }
    }
};

std::vector<GxUInt8> ClumpBytes()
{
    Materials materials;
    GxGeometry* geometry = GridGeometry(kClumpColumns, kClumpRows, materials.list, 0);
    GxClump* clump = GxClumpCreate();
    GxFrame* root = GxFrameCreate();
    root->modelling.flags &= gxMATRIXTYPEORTHONORMAL;
    GxClumpSetFrame(clump, root);
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetFrame(atomic, root);
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxClumpAddAtomic(clump, atomic);
    GxGeometryDestroy(geometry);
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    const bool written = GxClumpStreamWrite(clump, stream) != nullptr;
    GxMemory memory = {nullptr, 0};
    GxStreamClose(stream, &memory);
    std::vector<GxUInt8> bytes;
    if (written) {
        bytes.assign(memory.start, memory.start + memory.length);
    }
    GxFree(memory.start);
    GxClumpDestroy(clump);
    return bytes;
}

void BM_ClumpReadFromMemory(benchmark::State& state)
{
    if (!Started()) {
        state.SkipWithError("engine did not start");
        return;
    }
    std::vector<GxUInt8> bytes = ClumpBytes();
    for (auto _ : state) {
        GxMemory memory = {bytes.data(), static_cast<GxUInt32>(bytes.size())};
        GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
        GxClump* clump = GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr) ? GxClumpStreamRead(stream) : nullptr;
        GxStreamClose(stream, nullptr);
        if (!clump) {
            state.SkipWithError("clump read failed");
            return;
        }
        benchmark::DoNotOptimize(clump);
        GxClumpDestroy(clump);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

void BM_ClumpBytesMemcpy(benchmark::State& state)
{
    if (!Started()) {
        state.SkipWithError("engine did not start");
        return;
    }
    std::vector<GxUInt8> bytes = ClumpBytes();
    std::vector<GxUInt8> copy(bytes.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

// The 20,000 triangles of a grid, as builder entries, built into a header of lists (0) or strips (1).
void BM_MeshBuild(benchmark::State& state)
{
    if (!Started()) {
        state.SkipWithError("engine did not start");
        return;
    }
    Materials materials;
    GxGeometry* grid = GridGeometry(kMeshCells + 1, kMeshCells + 1, materials.list, 0);
    const GxBool strips = static_cast<GxBool>(state.range(0));
    for (auto _ : state) {
        GxMeshBuilder* builder = GxMeshBuilderCreate(static_cast<GxUInt32>(grid->numTriangles));
        for (GxInt32 i = 0; i < grid->numTriangles; i++) {
            const GxTriangle& t = grid->triangles[i];
            GxMeshBuilderAddTriangle(builder, grid->matList.materials[t.matIndex], t.vertIndex[0], t.vertIndex[1],
                                     t.vertIndex[2], t.matIndex, 0, 0, 0);
        }
        GxMeshHeader* header = GxMeshHeaderFromBuilder(builder, strips);
        benchmark::DoNotOptimize(header);
        GxMeshHeaderDestroy(header);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * grid->numTriangles);
    GxGeometryDestroy(grid);
}

// Baseline: copying the same triangles once.
void BM_MeshTrianglesMemcpy(benchmark::State& state)
{
    if (!Started()) {
        state.SkipWithError("engine did not start");
        return;
    }
    Materials materials;
    GxGeometry* grid = GridGeometry(kMeshCells + 1, kMeshCells + 1, materials.list, 0);
    std::vector<GxTriangle> copy(static_cast<size_t>(grid->numTriangles));
    for (auto _ : state) {
        std::memcpy(copy.data(), grid->triangles, copy.size() * sizeof(GxTriangle));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * grid->numTriangles);
    GxGeometryDestroy(grid);
}

}  // namespace

BENCHMARK(BM_ClumpBytesMemcpy);
BENCHMARK(BM_ClumpReadFromMemory);
BENCHMARK(BM_MeshTrianglesMemcpy);
BENCHMARK(BM_MeshBuild)->Arg(0)->Arg(1)->ArgName("strips")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
