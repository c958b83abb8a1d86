// Tests of meshes: list order and reordering, transparency sort, strips that cover exactly the triangles,
// and the bin-mesh chunk.
#include <algorithm>
#include <array>
#include <random>
#include <string>

#include "gfx/core/bytes.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/world/world_local.h"
#include "gfx/world/world_testing.h"

namespace {

using Mesh = WorldTest;
using Triangle = std::array<GxUInt16, 3>;

// The same triangle whichever vertex it starts from, winding kept.
Triangle Canonical(Triangle t)
{
    while (t[0] != std::min({t[0], t[1], t[2]})) {
        t = {t[1], t[2], t[0]};
    }
    return t;
}

std::vector<Triangle> TrianglesOf(const GxMesh& mesh, GxUInt32 flags)
{
    std::vector<Triangle> out;
    if (flags == gxMESHHEADERTRISTRIP) {
        // Degenerate triangles dropped; odd ones run the other way round.
        const GxUInt16* s = mesh.indices;
        for (GxUInt32 i = 0; i + 2 < mesh.numIndices; i++) {
            if (s[i] == s[i + 1] || s[i + 1] == s[i + 2] || s[i] == s[i + 2]) {
                continue;
            }
            const bool odd = i % 2 == 1;
            out.push_back(Canonical({odd ? s[i + 1] : s[i], odd ? s[i] : s[i + 1], s[i + 2]}));
        }
        return out;
    }
    for (GxUInt32 i = 0; i < mesh.numIndices; i += 3) {
        out.push_back(Canonical({mesh.indices[i], mesh.indices[i + 1], mesh.indices[i + 2]}));
    }
    return out;
}

// A grid of `cells` x `cells` quads, two triangles each, with the two materials in a checker pattern.
GxMeshBuilder* GridBuilder(GxInt32 cells, GxMaterial* a, GxMaterial* b, std::vector<Triangle>* expected)
{
    GxMeshBuilder* builder = GxMeshBuilderCreate(static_cast<GxUInt32>(cells * cells * 2));
    for (GxInt32 y = 0; y < cells; y++) {
        for (GxInt32 x = 0; x < cells; x++) {
            const GxUInt16 v = static_cast<GxUInt16>(y * (cells + 1) + x);
            const GxUInt16 right = static_cast<GxUInt16>(v + 1);
            const GxUInt16 below = static_cast<GxUInt16>(v + cells + 1);
            const GxUInt16 corner = static_cast<GxUInt16>(below + 1);
            const bool first = ((x / 3) + (y / 3)) % 2 == 0;
            for (const Triangle& t : {Triangle{v, below, right}, Triangle{right, below, corner}}) {
                GxMeshBuilderAddTriangle(builder, first ? a : b, t[0], t[1], t[2], first ? 0 : 1, 0, 0, 0);
                expected->push_back(Canonical(t));
            }
        }
    }
    return builder;
}

}  // namespace

TEST_F(Mesh, ListsEmitTrianglesThatShareNoVertexFirst)
{
    GxMaterial* material = GxMaterialCreate();
    GxMeshBuilder* builder = GxMeshBuilderCreate(1);                   // grows past its announced size
    GxMeshBuilderAddTriangle(builder, material, 0, 1, 2, 0, 0, 0, 0);  // A
    GxMeshBuilderAddTriangle(builder, material, 2, 3, 4, 0, 0, 0, 0);  // B shares vertex 2 with A
    GxMeshBuilderAddTriangle(builder, material, 5, 6, 7, 0, 0, 0, 0);  // C shares none
    GxMeshHeader* header = GxMeshHeaderFromBuilder(builder, 0);
    ASSERT_NE(header, nullptr);
    ASSERT_EQ(header->numMeshes, 1);
    const GxUInt16* i = GxMeshHeaderGetMeshes(header)[0].indices;
    EXPECT_EQ(std::vector<GxUInt16>(i, i + 9), (std::vector<GxUInt16>{0, 1, 2, 5, 6, 7, 2, 3, 4}));
    GxMeshHeaderDestroy(header);

    // A material listed twice makes one mesh when its triangles sort together.
    builder = GxMeshBuilderCreate(2);
    GxMeshBuilderAddTriangle(builder, material, 0, 1, 2, 1, 0, 0, 0);
    GxMeshBuilderAddTriangle(builder, material, 3, 4, 5, 0, 0, 0, 0);
    header = GxMeshHeaderFromBuilder(builder, 0);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->numMeshes, 1);
    GxMeshHeaderDestroy(header);
    GxMaterialDestroy(material);

    // No triangles: the shared empty header, which destroying leaves alone.
    GxMeshHeader* empty = GxMeshHeaderFromBuilder(GxMeshBuilderCreate(0), 1);
    EXPECT_EQ(empty, GxMeshHeaderGetEmpty());
    GxMeshHeaderDestroy(empty);
    EXPECT_EQ(GxMeshHeaderGetEmpty()->numMeshes, 0);
}

TEST_F(Mesh, TransparentMaterialsSortAfterOpaqueOnes)
{
    GxMaterial* glass = GxMaterialCreate();
    GxMaterial* decal = GxMaterialCreate();
    GxMaterial* wall = GxMaterialCreate();
    glass->color.alpha = 100;
    // A texture whose raster has an alpha format makes its material transparent.
    GxRaster raster = {};
    raster.format = static_cast<GxUInt8>(gxRASTERFORMAT8888 >> 8);
    GxTexture texture = {};
    texture.raster = &raster;
    decal->texture = &texture;
    GxMeshBuilder* builder = GxMeshBuilderCreate(3);
    GxMeshBuilderAddTriangle(builder, glass, 0, 1, 2, 0, 0, 0, 0);
    GxMeshBuilderAddTriangle(builder, decal, 0, 1, 2, 1, 0, 0, 0);
    GxMeshBuilderAddTriangle(builder, wall, 0, 1, 2, 2, 9, 9, 9);
    for (GxBool strips : {0, 1}) {
        GxMeshBuilder* copy = GxMeshBuilderCreate(3);
        for (GxUInt32 t = 0; t < 3; t++) {
            const GxMeshBuilderEntry& e = builder->entries[t];
            GxMeshBuilderAddTriangle(copy, e.material, 0, 1, 2, e.matIndex, e.textureKey, e.rasterKey, e.pipelineKey);
        }
        GxMeshHeader* header = GxMeshHeaderFromBuilder(copy, strips);
        ASSERT_EQ(header->numMeshes, 3);
        EXPECT_EQ(GxMeshHeaderGetMeshes(header)[0].material, wall);
        EXPECT_EQ(GxMeshHeaderGetMeshes(header)[1].material, glass);
        EXPECT_EQ(GxMeshHeaderGetMeshes(header)[2].material, decal);
        // The walk goes in the same order and stops at the first callback that answers null.
        std::vector<const GxMaterial*> walked;
        GxMeshHeaderForAllMeshes(
            header,
            [](GxMesh* mesh, GxMeshHeader*, void* data) -> GxMesh* {
                auto* materials = static_cast<std::vector<const GxMaterial*>*>(data);
                materials->push_back(mesh->material);
                return materials->size() < 2 ? mesh : nullptr;
            },
            &walked);
        EXPECT_EQ(walked, (std::vector<const GxMaterial*>{wall, glass}));
        GxMeshHeaderDestroy(header);
    }
    GxMeshBuilderDestroy(builder);
    decal->texture = nullptr;
    GxMaterialDestroy(glass);
    GxMaterialDestroy(decal);
    GxMaterialDestroy(wall);
}

// Sort keys number the textures, rasters and pipelines in the order the triangles first use their materials,
// whatever the list's order; a sector's triangles index the world's list from its window's base.
TEST_F(Mesh, ListTrianglesKeyMaterialsInOrderOfFirstUse)
{
    GxRaster rasters[3] = {};
    GxTexture textures[3] = {};
    GxPipeline* pipelines[3] = {reinterpret_cast<GxPipeline*>(&rasters[0]), nullptr,
                                reinterpret_cast<GxPipeline*>(&rasters[2])};
    GxMaterialList list;
    GxMaterialListInitialize(&list);
    std::vector<GxMaterial*> materials;
    for (int i = 0; i < 3; i++) {
        textures[i].raster = &rasters[i];
        materials.push_back(GxMaterialCreate());
        materials[i]->texture = &textures[i];
        materials[i]->pipeline = pipelines[i];
        ASSERT_EQ(GxMaterialListAppendMaterial(&list, materials[i]), i);
    }
    for (GxInt32 base : {0, 1}) {
        // Materials 2, 1, 2 from the list's window.
        const GxUInt16 last = static_cast<GxUInt16>(2 - base);
        const GxUInt16 middle = static_cast<GxUInt16>(1 - base);
        GxTriangle triangles[3] = {};
        const GxUInt16 uses[3] = {last, middle, last};
        for (int t = 0; t < 3; t++) {
            triangles[t].vertIndex[0] = 0;
            triangles[t].vertIndex[1] = 1;
            triangles[t].vertIndex[2] = 2;
            triangles[t].matIndex = uses[t];
        }
        GxMeshBuilder* builder = GxMeshBuilderCreate(3);
        ASSERT_EQ(GxMeshBuilderAddListTriangles(builder, &list, triangles, 3, base, 0x10507), builder);
        ASSERT_EQ(builder->count, 3u);
        const GxUInt16 expected[3][3] = {{2, 0, 0}, {1, 1, 1}, {2, 0, 0}};  // material index, then each key
        for (int t = 0; t < 3; t++) {
            const GxMeshBuilderEntry& e = builder->entries[t];
            SCOPED_TRACE("base " + std::to_string(base) + " triangle " + std::to_string(t));
            EXPECT_EQ(e.material, materials[expected[t][0]]);
            EXPECT_EQ(e.matIndex, expected[t][0]);
            EXPECT_EQ(e.textureKey, expected[t][1]);
            EXPECT_EQ(e.rasterKey, expected[t][2]);
            EXPECT_EQ(e.pipelineKey, expected[t][1]);
        }
        // The first material used draws first.
        GxMeshHeader* header = GxMeshHeaderFromBuilder(builder, 0);
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(GxMeshHeaderGetMeshes(header)[0].material, materials[2]);
        GxMeshHeaderDestroy(header);
    }
    for (GxMaterial* material : materials) {
        material->texture = nullptr;
        material->pipeline = nullptr;
    }
    GxMaterialListDestroy(&list);
    for (GxMaterial* material : materials) {
        GxMaterialDestroy(material);
    }
}

TEST_F(Mesh, StripsAndListsCoverExactlyTheTriangles)
{
    GxMaterial* a = GxMaterialCreate();
    GxMaterial* b = GxMaterialCreate();
    for (GxBool strips : {0, 1}) {
        std::vector<Triangle> expected;
        GxMeshHeader* header = GxMeshHeaderFromBuilder(GridBuilder(12, a, b, &expected), strips);
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->flags, strips ? gxMESHHEADERTRISTRIP : gxMESHHEADERTRILIST);
        std::vector<Triangle> found;
        GxUInt32 total = 0;
        for (GxUInt32 m = 0; m < header->numMeshes; m++) {
            const GxMesh& mesh = GxMeshHeaderGetMeshes(header)[m];
            total += mesh.numIndices;
            for (const Triangle& t : TrianglesOf(mesh, header->flags)) {
                found.push_back(t);
            }
        }
        EXPECT_EQ(total, header->totalIndicesInMesh);
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected) << (strips ? "strips" : "lists");
        if (strips) {
            // Strips are worth having: far fewer indices than a list.
            EXPECT_LT(total, expected.size() * 2);
        }
        GxMeshHeaderDestroy(header);
    }
    GxMaterialDestroy(a);
    GxMaterialDestroy(b);
}

TEST_F(Mesh, BinMeshChunkRoundTripsAndRefusesBadIndices)
{
    GxMaterial* a = GxMaterialCreate();
    GxMaterial* b = GxMaterialCreate();
    GxGeometry* box = GxWorldTestBox(a, b, 1.0f, gxGEOMETRYTRISTRIP);
    const std::vector<GxUInt8> bytes =
        GxWorldTestWrite([box](GxStream* s) { return GxGeometryStreamWrite(box, s) != nullptr; });
    GxGeometry* copy = GxWorldTestRead<GxGeometry>(bytes, gxID_GEOMETRY, GxGeometryStreamRead);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->mesh->numMeshes, box->mesh->numMeshes);
    EXPECT_EQ(copy->mesh->flags, gxMESHHEADERTRISTRIP);
    for (GxUInt32 m = 0; m < box->mesh->numMeshes; m++) {
        const GxMesh& original = GxMeshHeaderGetMeshes(box->mesh)[m];
        const GxMesh& read = GxMeshHeaderGetMeshes(copy->mesh)[m];
        EXPECT_EQ(std::vector<GxUInt16>(read.indices, read.indices + read.numIndices),
                  std::vector<GxUInt16>(original.indices, original.indices + original.numIndices));
        EXPECT_EQ(GxMaterialListFindMaterialIndex(&copy->matList, read.material),
                  GxMaterialListFindMaterialIndex(&box->matList, original.material));
    }
    GxGeometryDestroy(copy);
    // The bin mesh is the last extension: flags, count, total, then the first mesh's count, material, indices.
    size_t binMesh = 0;
    for (size_t i = 0; i + 12 <= bytes.size(); i++) {
        if (GxBytesGetU32(&bytes[i]) == gxID_BINMESH) {
            binMesh = i + 12;
        }
    }
    ASSERT_NE(binMesh, 0u);
    // Any flags of the primitive table are taken as stored; a word outside it is refused.
    std::vector<GxUInt8> fan = bytes;
    GxBytesPutU32(&fan[binMesh], gxMESHHEADERTRIFAN);
    copy = GxWorldTestRead<GxGeometry>(fan, gxID_GEOMETRY, GxGeometryStreamRead);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->mesh->flags, gxMESHHEADERTRIFAN);
    GxGeometryDestroy(copy);
    for (const auto& patch :
         {std::pair<size_t, GxUInt32>{20, 24}, {16, 7}, {4, 0xFFFF}, {8, 3}, {0, 3}, {0, gxMESHHEADERUNINDEXED}}) {
        std::vector<GxUInt8> bad = bytes;
        GxBytesPutU32(&bad[binMesh + patch.first], patch.second);
        EXPECT_EQ((GxWorldTestRead<GxGeometry>(bad, gxID_GEOMETRY, GxGeometryStreamRead)), nullptr)
            << "patch at " << patch.first;
    }
    GxGeometryDestroy(box);
    GxMaterialDestroy(a);
    GxMaterialDestroy(b);

    // A native geometry's bin mesh is 12 + 8 per mesh, without indices.
    GxGeometry* native = GxGeometryCreate(4, 2, gxGEOMETRYNATIVE);
    GxMeshBuilder* builder = GxMeshBuilderCreate(2);
    GxMeshBuilderAddTriangle(builder, nullptr, 0, 1, 2, 0, 0, 0, 0);
    GxMeshBuilderAddTriangle(builder, nullptr, 1, 2, 3, 0, 0, 0, 0);
    native->mesh = GxMeshHeaderFromBuilder(builder, 0);
    EXPECT_EQ(GxBinMeshGeometryStreamGetSize(native, 0, 0), 12 + 8);
    GxGeometryDestroy(native);
    GxTestTakeError();
}
