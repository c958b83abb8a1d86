// Tests of geometry: creation limits and layout, morph targets, locking, and the geometry chunk with bad input.
#include "gfx/core/bytes.h"
#include "gfx/world/world_testing.h"

namespace {

using Geometry = WorldTest;

std::vector<GxUInt8> WriteGeometry(const GxGeometry* geometry)
{
    return GxWorldTestWrite([geometry](GxStream* s) { return GxGeometryStreamWrite(geometry, s) != nullptr; });
}

GxGeometry* ReadGeometry(const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
{
    return GxWorldTestRead<GxGeometry>(bytes, gxID_GEOMETRY, GxGeometryStreamRead, length);
}

// Offset of the geometry struct's body in a written geometry chunk.
constexpr size_t kStructBody = 24;

}  // namespace

TEST_F(Geometry, CreationLimitsAndCoordinateSets)
{
    GxGeometry* largest = GxGeometryCreate(65535, 1, gxGEOMETRYPOSITIONS);
    ASSERT_NE(largest, nullptr);
    GxGeometryDestroy(largest);
    EXPECT_EQ(GxGeometryCreate(65536, 1, 0), nullptr);
    const GxError error = GxTestTakeError();
    EXPECT_EQ(error.pluginID, gxPLUGINWORLD);
    EXPECT_EQ(error.errorCode, gxERRTOOMANYVERTICES);
    EXPECT_EQ(GxGeometryCreate(-1, 0, 0), nullptr);

    GxGeometry* three = GxGeometryCreate(4, 2, 3u << 16);
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(three->numTexCoordSets, 3);
    EXPECT_EQ(three->flags & (gxGEOMETRYTEXTURED | gxGEOMETRYTEXTURED2), gxGEOMETRYTEXTURED2);
    EXPECT_NE(three->texCoords[2], nullptr);
    EXPECT_EQ(three->triangles[1].matIndex, gxGEOMETRYNOMATERIAL);
    GxGeometryDestroy(three);
}

TEST_F(Geometry, MorphTargetsKeepTheirData)
{
    GxGeometry* geometry = GxGeometryCreate(3, 1, gxGEOMETRYNORMALS);
    for (GxInt32 i = 0; i < 3; i++) {
        geometry->morphTarget[0].verts[i] = GxV3d{static_cast<GxReal>(i), 2.0f, 0.0f};
        geometry->morphTarget[0].normals[i] = GxV3d{0.0f, 0.0f, 1.0f};
    }
    EXPECT_EQ(GxGeometryAddMorphTargets(geometry, 2), 1);
    EXPECT_EQ(geometry->numMorphTargets, 3);
    EXPECT_EQ(GxGeometryAddMorphTargets(geometry, 0), 3);
    EXPECT_EQ(GxGeometryAddMorphTargets(geometry, -1), -1);
    EXPECT_EQ(geometry->numMorphTargets, 3);
    EXPECT_FLOAT_EQ(geometry->morphTarget[0].verts[2].x, 2.0f);
    EXPECT_FLOAT_EQ(geometry->morphTarget[0].normals[1].z, 1.0f);
    EXPECT_EQ(geometry->morphTarget[2].parentGeom, geometry);
    GxSphere sphere;
    GxMorphTargetCalcBoundingSphere(&geometry->morphTarget[0], &sphere);
    EXPECT_FLOAT_EQ(sphere.center.x, 1.0f);
    EXPECT_FLOAT_EQ(sphere.radius, 1.001f);
    GxGeometryDestroy(geometry);
}

TEST_F(Geometry, LockDropsTheMeshAndRaisesTheStamp)
{
    GxGeometry* box = GxWorldTestBox(nullptr, nullptr);
    ASSERT_NE(box->mesh, nullptr);
    box->lockedSinceLastInst = 0;
    const GxUInt32 stamp = box->lockStamp;
    GxGeometryLock(box, gxGEOMETRYLOCKPOLYGONS);
    EXPECT_EQ(box->mesh, nullptr);
    EXPECT_NE(box->lockStamp, stamp);
    EXPECT_EQ(box->lockedSinceLastInst, gxGEOMETRYLOCKPOLYGONS);
    // A triangle without material while the list has one fails the unlock.
    GxMaterial* material = GxMaterialCreate();
    GxGeometryTriangleSetMaterial(box, &box->triangles[0], material);
    EXPECT_EQ(box->matList.numMaterials, 1);
    EXPECT_EQ(GxGeometryUnlock(box), nullptr);
    for (GxInt32 i = 0; i < box->numTriangles; i++) {
        GxGeometryTriangleSetMaterial(box, &box->triangles[i], material);
    }
    EXPECT_EQ(box->matList.numMaterials, 1);
    EXPECT_EQ(GxGeometryUnlock(box), box);
    GxMaterialDestroy(material);
    GxGeometryDestroy(box);
    GxTestTakeError();
}

TEST_F(Geometry, ChunkRoundTripKeepsTrianglesAndNativeIsForty)
{
    GxMaterial* material = GxMaterialCreate();
    GxGeometry* box = GxWorldTestBox(material, material, 1.0f, gxGEOMETRYPRELIT);
    box->triangles[5] = GxTriangle{{7, 5, 6}, 0};
    box->preLitLum[3] = GxRGBA{1, 2, 3, 4};
    const std::vector<GxUInt8> bytes = WriteGeometry(box);
    EXPECT_EQ(bytes.size(), 12 + GxGeometryStreamGetSize(box));
    GxGeometry* copy = ReadGeometry(bytes);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->triangles[5].vertIndex[0], 7);
    EXPECT_EQ(copy->triangles[5].vertIndex[1], 5);
    EXPECT_EQ(copy->triangles[5].vertIndex[2], 6);
    EXPECT_EQ(copy->preLitLum[3].blue, 3);
    EXPECT_FLOAT_EQ(copy->morphTarget[0].normals[4].x, box->morphTarget[0].normals[4].x);
    EXPECT_EQ(WriteGeometry(copy), bytes);
    GxGeometryDestroy(copy);
    GxGeometryDestroy(box);
    GxMaterialDestroy(material);

    GxGeometry* native = GxGeometryCreate(10, 4, gxGEOMETRYNATIVE | gxGEOMETRYNORMALS);
    const std::vector<GxUInt8> nativeBytes = WriteGeometry(native);
    EXPECT_EQ(GxBytesGetU32(&nativeBytes[16]), 40u);
    EXPECT_EQ(GxBytesGetU32(&nativeBytes[kStructBody + 16 + 16]), 0u);  // has positions
    EXPECT_EQ(GxBytesGetU32(&nativeBytes[kStructBody + 16 + 20]), 0u);  // has normals
    // Its triangles live in the renderer's data: the unlock gives it the empty header.
    EXPECT_EQ(GxGeometryUnlock(native), native);
    EXPECT_EQ(native->mesh, GxMeshHeaderGetEmpty());
    GxGeometryDestroy(native);
}

TEST_F(Geometry, BadStreamsAreRefused)
{
    GxMaterial* material = GxMaterialCreate();
    GxGeometry* box = GxWorldTestBox(material, material);
    const std::vector<GxUInt8> bytes = WriteGeometry(box);
    GxGeometryDestroy(box);
    GxMaterialDestroy(material);
    for (size_t length = 0; length < bytes.size(); length++) {
        GxGeometry* copy = ReadGeometry(bytes, length);
        EXPECT_EQ(copy, nullptr) << length;
        if (copy) {
            GxGeometryDestroy(copy);
        }
    }
    struct Patch {
        size_t offset;
        GxUInt32 value;
    };
    // Counts beyond the struct, no morph target, a vertex index past the vertices, a material index past the
    // list, 0xFFFF with a list.
    const size_t triangles = kStructBody + 16 + 24 * 8;
    const Patch patches[] = {
        {kStructBody + 4, 5000},
        {kStructBody + 8, 60000},
        {kStructBody + 12, 0},
        {kStructBody + 12, 2},
        {triangles, (30u << 16) | 1},
        {triangles + 4, (2u << 16) | 1},
        {triangles + 4, (2u << 16) | 0xFFFF},
    };
    for (const Patch& patch : patches) {
        std::vector<GxUInt8> bad = bytes;
        GxBytesPutU32(&bad[patch.offset], patch.value);
        GxGeometry* copy = ReadGeometry(bad);
        EXPECT_EQ(copy, nullptr) << "patch at " << patch.offset;
        if (copy) {
            GxGeometryDestroy(copy);
        }
    }
    GxTestTakeError();

    // A vertex count the geometry cannot index is refused for what it is, before the bytes are weighed.
    for (GxUInt32 count : {0x10000u, 0x7FFFFFFFu}) {
        std::vector<GxUInt8> bad = bytes;
        GxBytesPutU32(&bad[kStructBody + 8], count);
        EXPECT_EQ(ReadGeometry(bad), nullptr);
        const GxError error = GxTestTakeError();
        EXPECT_EQ(error.pluginID, gxPLUGINWORLD);
        EXPECT_EQ(error.errorCode, gxERRTOOMANYVERTICES);
    }
}

TEST_F(Geometry, MorphRecordsReadTheArraysTheyAnnounce)
{
    GxMaterial* material = GxMaterialCreate();
    GxGeometry* box = GxWorldTestBox(material, material);
    const std::vector<GxUInt8> bytes = WriteGeometry(box);
    const size_t record = kStructBody + 16 + 24 * 8 + 12 * 8;
    const size_t hasPositions = record + 16;
    const size_t hasNormals = record + 20;

    // Normals alone: the first array stored is read as the normals; the positions stay as made.
    std::vector<GxUInt8> normalsAlone = bytes;
    GxBytesPutU32(&normalsAlone[hasPositions], 0);
    GxGeometry* copy = ReadGeometry(normalsAlone);
    ASSERT_NE(copy, nullptr);
    for (GxInt32 i = 0; i < copy->numVertices; i++) {
        EXPECT_FLOAT_EQ(copy->morphTarget[0].normals[i].x, box->morphTarget[0].verts[i].x) << i;
        EXPECT_FLOAT_EQ(copy->morphTarget[0].verts[i].y, 0.0f) << i;
    }
    GxGeometryDestroy(copy);

    // Neither array: the record stands alone and the rest of the struct is passed over.
    std::vector<GxUInt8> neither = normalsAlone;
    GxBytesPutU32(&neither[hasNormals], 0);
    copy = ReadGeometry(neither);
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->morphTarget[0].normals[0].z, 0.0f);
    GxGeometryDestroy(copy);

    // A lone morph target stored without arrays reads with the arrays as made; a further one must be backed by
    // the bytes of its arrays, which are allocated before its record is read.
    std::vector<GxUInt8> lone = neither;
    const size_t arrays = 2 * 24 * 12;
    lone.erase(lone.begin() + static_cast<std::ptrdiff_t>(record + 24),
               lone.begin() + static_cast<std::ptrdiff_t>(record + 24 + arrays));
    GxBytesPutU32(&lone[4], GxBytesGetU32(&lone[4]) - arrays);
    GxBytesPutU32(&lone[16], GxBytesGetU32(&lone[16]) - arrays);
    copy = ReadGeometry(lone);
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->morphTarget[0].verts[0].x, 0.0f);
    GxGeometryDestroy(copy);
    std::vector<GxUInt8> unbacked = lone;
    unbacked.insert(unbacked.begin() + static_cast<std::ptrdiff_t>(record + 24), 24, 0);
    GxBytesPutU32(&unbacked[4], GxBytesGetU32(&unbacked[4]) + 24);
    GxBytesPutU32(&unbacked[16], GxBytesGetU32(&unbacked[16]) + 24);
    GxBytesPutU32(&unbacked[kStructBody + 12], 2);
    EXPECT_EQ(ReadGeometry(unbacked), nullptr);
    GxGeometryDestroy(box);
    GxMaterialDestroy(material);

    // Normals in a geometry that keeps none have nowhere to go.
    GxGeometry* bare = GxGeometryCreate(3, 0, gxGEOMETRYPOSITIONS);
    std::vector<GxUInt8> extra = WriteGeometry(bare);
    GxGeometryDestroy(bare);
    GxBytesPutU32(&extra[kStructBody + 16 + 20], 1);
    EXPECT_EQ(ReadGeometry(extra), nullptr);
    GxTestTakeError();
}
