// The shop unit and model files written by the content writers, read back through the library's readers.
#include "tools/content/clump_writer.h"

#include <cmath>
#include <filesystem>

#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/world/lod.h"
#include "gfx/world/mesh.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"
#include "tools/content/model_testing.h"

namespace {

class ClumpWriter : public ContentModelTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxWorldPluginAttach() && GxLODAtomicPluginAttach() && GxUserDataPluginAttach());
    }
    void SetUp() override
    {
        ContentModelTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        sign = GxTextureCreate(GxRasterCreate(64, 64, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888));
        ASSERT_NE(sign, nullptr);
        GxTextureSetName(sign, "sign");
        dictionary = GxTexDictionaryCreate();
        GxTexDictionaryAddTexture(dictionary, sign);
        GxTexDictionarySetCurrent(dictionary);
    }
    void TearDown() override
    {
        GxTexDictionarySetCurrent(nullptr);
        GxTexDictionaryDestroy(dictionary);
        ContentModelTest::TearDown();
    }

    GxTexture* sign = nullptr;
    GxTexDictionary* dictionary = nullptr;
};

GxClump* ReadClump(const std::vector<GxUInt8>& bytes)
{
    GxMemory memory = {const_cast<GxUInt8*>(bytes.data()), static_cast<GxUInt32>(bytes.size())};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    GxClump* clump = GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr) ? GxClumpStreamRead(stream) : nullptr;
    GxStreamClose(stream, nullptr);
    return clump;
}

// Reading reverses the order of a clump's atomics, so `clump` (itself read once) written, read again and written
// once more gives the bytes it was read from.
std::vector<GxUInt8> ReadBackTwice(GxClump* clump)
{
    GxClump* again = ReadClump(ContentClumpBytes(clump));
    std::vector<GxUInt8> bytes = again ? ContentClumpBytes(again) : std::vector<GxUInt8>();
    if (again) {
        GxClumpDestroy(again);
    }
    return bytes;
}

}  // namespace

TEST_F(ClumpWriter, ShopUnitReadsBackAsWritten)
{
    GxClump* unit = ContentShopUnitCreate(ContentShopUnitPlan{6.0f, 6.0f, GxRGBA{200, 200, 200, 255}, sign});
    ASSERT_NE(unit, nullptr);
    const std::vector<GxUInt8> bytes = ContentClumpBytes(unit);
    ASSERT_FALSE(bytes.empty());
    GxClump* copy = ReadClump(bytes);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(ReadBackTwice(copy), bytes);
    // The unit hangs on the root frame; the entrance is an atomic of its own, since the building code finds
    // entrances by walking the atomics and reading their frames' user data.
    GxFrame* root = static_cast<GxFrame*>(copy->object.parent);
    GxAtomic* atomic = nullptr;
    GxAtomic* marker = nullptr;
    for (GxLink* link = copy->atomicList.next; link != &copy->atomicList; link = link->next) {
        GxAtomic* each = GxLinkGetData(link, GxAtomic, inClumpLink);
        (static_cast<GxFrame*>(each->object.object.parent) == root ? atomic : marker) = each;
    }
    ASSERT_NE(atomic, nullptr);
    ASSERT_NE(marker, nullptr);
    // Written marker first, read back with the unit at the head: the unit is the model's first atomic.
    EXPECT_EQ(GxLinkGetData(copy->atomicList.next, GxAtomic, inClumpLink), atomic);
    GxGeometry* geometry = atomic->geometry;
    EXPECT_EQ(geometry->matList.numMaterials, 2);
    EXPECT_EQ(geometry->matList.materials[1]->texture, sign);
    EXPECT_TRUE(geometry->flags & gxGEOMETRYNORMALS);
    // The awning's texture has alpha, so its mesh comes after the walls'.
    ASSERT_EQ(geometry->mesh->numMeshes, 2);
    EXPECT_EQ(GxMeshHeaderGetMeshes(geometry->mesh)[1].material, geometry->matList.materials[1]);
    GxLODAtomicRecord* lod = GxLODAtomicGetRecord(atomic);
    ASSERT_NE(lod, nullptr);
    EXPECT_NE(lod->geometry[1], nullptr);
    EXPECT_GT(lod->levelScale, 0.0f);
    GxFrame* door = static_cast<GxFrame*>(marker->object.object.parent);
    ASSERT_EQ(GxFrameGetUserDataArrayCount(door), 1);
    EXPECT_STREQ(GxUserDataArrayGetString(GxFrameGetUserDataArray(door, 0), 0), "door");
    EXPECT_FLOAT_EQ(door->modelling.pos.z, 4.0f);
    GxClumpDestroy(copy);
    GxClumpDestroy(unit);
}

TEST_F(ClumpWriter, ModelFileHoldsTheDictionaryThenTheClump)
{
    GxClump* unit = ContentShopUnitCreate(ContentShopUnitPlan{6.0f, 6.0f, GxRGBA{200, 200, 200, 255}, sign});
    GxImage* image = ContentSignImage(64, GxRGBA{255, 0, 0, 255});
    ContentImageTexture texture;
    texture.name = "sign";
    texture.levels = {image};
    const std::string file = "clump_writer_test_model.gxs";
    const bool written = ContentModelFileWrite(file.c_str(), {texture}, unit);
    GxImageDestroy(image);
    ASSERT_TRUE(written);
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, file.c_str());
    ASSERT_NE(stream, nullptr);
    GxUInt32 length = 0;
    ASSERT_TRUE(GxStreamFindChunk(stream, gxID_TOC, &length, nullptr));
    GxStreamSkip(stream, length);
    ASSERT_TRUE(GxStreamFindChunk(stream, gxID_IMAGEDICTIONARY, &length, nullptr));
    GxStreamSkip(stream, length);
    ASSERT_TRUE(GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr));
    GxClump* copy = GxClumpStreamRead(stream);
    GxStreamClose(stream, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(ReadBackTwice(copy), ContentClumpBytes(unit));
    GxClumpDestroy(copy);
    GxClumpDestroy(unit);
    std::filesystem::remove(file);
}

// Boxes with shared corners: every face drawn outward (culling keeps the faces seen from outside), the whole
// surface covered once, normals leaning out, one mesh per material.
TEST_F(ClumpWriter, CornerBoxesShowTheirWholeSurfaceFromOutside)
{
    GxMaterial* materials[2] = {GxMaterialCreate(), GxMaterialCreate()};
    ASSERT_TRUE(materials[0] && materials[1]);
    const std::vector<ContentBox> boxes = {{{0, 1, 0}, {0.5f, 1, 0.25f}, 0}, {{2, 0, -1}, {0.1f, 0.2f, 0.3f}, 1}};
    GxGeometry* geometry = ContentCornerBoxGeometry(boxes, materials, 2, 0);
    EXPECT_EQ(ContentCornerBoxGeometry({{{0, 0, 0}, {1, 1, 1}, 2}}, materials, 2, 0), nullptr) << "no such material";
    GxMaterialDestroy(materials[0]);
    GxMaterialDestroy(materials[1]);
    ASSERT_NE(geometry, nullptr);
    ASSERT_EQ(geometry->numVertices, 2 * kContentCornersPerBox);
    ASSERT_EQ(geometry->numTriangles, 2 * 12);
    ASSERT_NE(geometry->mesh, nullptr);
    EXPECT_EQ(geometry->mesh->numMeshes, 2u);
    const GxV3d* verts = geometry->morphTarget[0].verts;
    for (size_t b = 0; b < boxes.size(); b++) {
        const GxV3d c = boxes[b].centre;
        const GxV3d h = boxes[b].half;
        GxReal area[6] = {};  // by outward direction: -x, +x, -y, +y, -z, +z
        for (GxInt32 t = 0; t < 12; t++) {
            const GxUInt16* index = geometry->triangles[static_cast<GxInt32>(b) * 12 + t].vertIndex;
            for (GxInt32 k = 0; k < 3; k++) {
                ASSERT_EQ(index[k] / kContentCornersPerBox, static_cast<GxInt32>(b)) << "triangle of another box";
            }
            const GxV3d p0 = verts[index[0]], p1 = verts[index[1]], p2 = verts[index[2]];
            const GxV3d e1 = {p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
            const GxV3d e2 = {p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
            const GxV3d n = {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
            const GxV3d mid = {(p0.x + p1.x + p2.x) / 3 - c.x, (p0.y + p1.y + p2.y) / 3 - c.y,
                               (p0.z + p1.z + p2.z) / 3 - c.z};
            EXPECT_GT(n.x * mid.x + n.y * mid.y + n.z * mid.z, 0.0f) << "box " << b << " triangle " << t;
            const GxReal along[3] = {n.x, n.y, n.z};
            const GxReal length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            for (GxInt32 axis = 0; axis < 3; axis++) {
                if (std::fabs(along[axis]) > 0.999f * length) {
                    area[axis * 2 + (along[axis] > 0 ? 1 : 0)] += 0.5f * length;
                }
            }
        }
        const GxReal faceArea[3] = {4 * h.y * h.z, 4 * h.x * h.z, 4 * h.x * h.y};
        for (GxInt32 f = 0; f < 6; f++) {
            EXPECT_NEAR(area[f], faceArea[f / 2], 1e-4f) << "box " << b << " face " << f;
        }
        for (GxInt32 v = 0; v < kContentCornersPerBox; v++) {
            const GxInt32 i = static_cast<GxInt32>(b) * kContentCornersPerBox + v;
            const GxV3d d = {verts[i].x - c.x, verts[i].y - c.y, verts[i].z - c.z};
            const GxV3d n = geometry->morphTarget[0].normals[i];
            EXPECT_NEAR(std::fabs(d.x), h.x, 1e-5f);
            EXPECT_NEAR(std::fabs(d.y), h.y, 1e-5f);
            EXPECT_NEAR(std::fabs(d.z), h.z, 1e-5f);
            EXPECT_GT(n.x * d.x, 0.0f);
            EXPECT_GT(n.y * d.y, 0.0f);
            EXPECT_GT(n.z * d.z, 0.0f);
        }
    }
    GxGeometryDestroy(geometry);
}
