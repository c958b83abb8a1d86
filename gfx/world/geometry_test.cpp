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
    // list, 0xFFFF with a list, normals the geometry has no room for.
    const size_t triangles = kStructBody + 16 + 24 * 8;
    const size_t morph = triangles + 12 * 8;
    const Patch patches[] = {
        {kStructBody + 4, 5000},
        {kStructBody + 8, 60000},
        {kStructBody + 12, 0},
        {kStructBody + 12, 2},
        {triangles, (30u << 16) | 1},
        {triangles + 4, (2u << 16) | 1},
        {triangles + 4, (2u << 16) | 0xFFFF},
        {morph + 20, 2},
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
