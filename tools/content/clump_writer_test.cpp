// The shop unit and model files written by the content writers, read back through the library's readers.
#include "tools/content/clump_writer.h"

#include <filesystem>

#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/world/lod.h"
#include "gfx/world/mesh.h"
#include "gfx/world/userdata.h"
#include "tools/content/model_testing.h"

namespace {

class ClumpWriter : public ContentModelTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxWorldObjectsPluginAttach() && GxLODAtomicPluginAttach() && GxUserDataPluginAttach());
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

}  // namespace

TEST_F(ClumpWriter, ShopUnitReadsBackAsWritten)
{
    GxClump* unit = ContentShopUnitCreate(ContentShopUnitPlan{6.0f, 6.0f, GxRGBA{200, 200, 200, 255}, sign});
    ASSERT_NE(unit, nullptr);
    const std::vector<GxUInt8> bytes = ContentClumpBytes(unit);
    ASSERT_FALSE(bytes.empty());
    GxClump* copy = ReadClump(bytes);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(ContentClumpBytes(copy), bytes);
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
    EXPECT_EQ(ContentClumpBytes(copy), ContentClumpBytes(unit));
    GxClumpDestroy(copy);
    GxClumpDestroy(unit);
    std::filesystem::remove(file);
}
