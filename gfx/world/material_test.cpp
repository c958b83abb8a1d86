// Tests of materials, material lists and lights: sharing in the list chunk, growth, rights, light chunks.
#include <cmath>

#include "gfx/core/bytes.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/texture.h"
#include "gfx/world/world_testing.h"

namespace {

using Material = WorldTest;

std::vector<GxUInt8> WriteList(const GxMaterialList* list)
{
    return GxWorldTestWrite([list](GxStream* s) { return GxMaterialListStreamWrite(list, s) != nullptr; });
}

GxMaterialList* ReadList(const std::vector<GxUInt8>& bytes, GxMaterialList* list, size_t length = SIZE_MAX)
{
    return GxWorldTestRead<GxMaterialList>(
        bytes, gxID_MATLIST, [list](GxStream* s) { return GxMaterialListStreamRead(s, list); }, length);
}

}  // namespace

TEST_F(Material, ListSharesOneMaterialThroughItsIndices)
{
    GxMaterial* material = GxMaterialCreate();
    material->color = GxRGBA{10, 20, 30, 40};
    material->surfaceProps.diffuse = 0.5f;
    GxMaterialList list;
    GxMaterialListInitialize(&list);
    for (GxInt32 i = 0; i < 3; i++) {
        GxMaterialListAppendMaterial(&list, material);
    }
    GxMaterialDestroy(material);
    const std::vector<GxUInt8> bytes = WriteList(&list);
    GxMaterialListDestroy(&list);
    // Count 3, then -1, 0, 1, then one material chunk.
    EXPECT_EQ(GxBytesGetU32(&bytes[24]), 3u);
    EXPECT_EQ(GxBytesGetI32(&bytes[28]), -1);
    EXPECT_EQ(GxBytesGetI32(&bytes[32]), 0);
    EXPECT_EQ(GxBytesGetI32(&bytes[36]), 1);
    GxMaterialList copy;
    GxMaterialListInitialize(&copy);
    ASSERT_NE(ReadList(bytes, &copy), nullptr);
    ASSERT_EQ(copy.numMaterials, 3);
    EXPECT_EQ(copy.materials[0], copy.materials[2]);
    EXPECT_EQ(copy.materials[0]->refCount, 3);
    EXPECT_EQ(copy.materials[0]->color.alpha, 40);
    EXPECT_FLOAT_EQ(copy.materials[0]->surfaceProps.diffuse, 0.5f);
    EXPECT_EQ(WriteList(&copy), bytes);
    GxMaterialListDestroy(&copy);

    for (size_t length = 0; length < bytes.size(); length++) {
        EXPECT_EQ(ReadList(bytes, &copy, length), nullptr) << length;
        EXPECT_EQ(copy.numMaterials, 0);
    }
    // An index that names no earlier entry, and a negative count.
    for (const auto& patch : {std::pair<size_t, GxUInt32>{32, 2}, {36, 2}, {32, 0xFFFFFFFE}, {24, 0xFFFFFFFF}}) {
        std::vector<GxUInt8> bad = bytes;
        GxBytesPutU32(&bad[patch.first], patch.second);
        EXPECT_EQ(ReadList(bad, &copy), nullptr) << patch.first;
    }
    // A count the struct has no index words for is refused before anything is allocated for it.
    std::vector<GxUInt8> huge = bytes;
    GxBytesPutU32(&huge[24], 0x20000000);
    gxTestMemory.largest = 0;
    EXPECT_EQ(ReadList(huge, &copy), nullptr);
    EXPECT_LT(gxTestMemory.largest, 4096u);
    GxTestTakeError();
}

TEST_F(Material, ListGrowsByTwenty)
{
    GxMaterial* material = GxMaterialCreate();
    GxMaterialList list;
    GxMaterialListInitialize(&list);
    EXPECT_EQ(GxMaterialListAppendMaterial(&list, material), 0);
    EXPECT_EQ(list.space, 20);
    for (GxInt32 i = 1; i < 21; i++) {
        GxMaterialListAppendMaterial(&list, material);
    }
    EXPECT_EQ(list.space, 40);
    EXPECT_EQ(GxMaterialListFindMaterialIndex(&list, material), 20);
    GxMaterialListDestroy(&list);
    EXPECT_EQ(material->refCount, 1);
    GxMaterialDestroy(material);
}

TEST_F(Material, RightsChunkOnlyForPipelinesOfAPlugin)
{
    GxMaterial* material = GxMaterialCreate();
    const auto size = [material] {
        return GxWorldTestWrite([material](GxStream* s) { return GxMaterialStreamWrite(material, s) != nullptr; })
            .size();
    };
    const size_t bare = size();
    GxPipeline pipeline = {};
    material->pipeline = &pipeline;
    EXPECT_EQ(size(), bare);
    pipeline.ownerPluginId = 0x120;
    EXPECT_EQ(size(), bare + 12 + 8);
    material->pipeline = nullptr;
    GxMaterialDestroy(material);
}

TEST_F(Material, LightsRoundTripWithTheirGreyFlag)
{
    // A new light carries the stamp just before the engine's light-frame counter: the next pass takes it.
    GxEngineInstance->lightFrameCounter = 7;
    GxLight* light = GxLightCreate(gxLIGHTPOINT);
    EXPECT_EQ(light->lightFrame, 6);
    EXPECT_FLOAT_EQ(GxLightGetConeAngle(light), 3.1415927f / 2);
    light->radius = 5.0f;
    light->minusCosAngle = -2.0f;
    EXPECT_FLOAT_EQ(GxLightGetConeAngle(light), 0.0f);
    for (const GxRGBAReal& color : {GxRGBAReal{0.5f, 0.5f, 0.5f, 1.0f}, GxRGBAReal{1.0f, 0.5f, 0.5f, 1.0f}}) {
        GxLightSetColor(light, &color);
        const std::vector<GxUInt8> bytes =
            GxWorldTestWrite([light](GxStream* s) { return GxLightStreamWrite(light, s) != nullptr; });
        GxLight* copy = GxWorldTestRead<GxLight>(bytes, gxID_LIGHT, GxLightStreamRead);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->object.object.subType, gxLIGHTPOINT);
        EXPECT_FLOAT_EQ(copy->radius, 5.0f);
        EXPECT_EQ((copy->object.object.privateFlags & gxLIGHTPRIVATEGREY) != 0, color.red == color.green);
        GxLightDestroy(copy);
        for (size_t length = 0; length < bytes.size(); length++) {
            EXPECT_EQ((GxWorldTestRead<GxLight>(bytes, gxID_LIGHT, GxLightStreamRead, length)), nullptr);
        }
    }
    GxLightDestroy(light);
    GxTestTakeError();
}

TEST_F(Material, LightDestroyedOnItsOwnLeavesItsClump)
{
    GxClump* clump = GxClumpCreate();
    GxLight* kept = GxLightCreate(gxLIGHTAMBIENT);
    GxLight* gone = GxLightCreate(gxLIGHTDIRECTIONAL);
    GxClumpAddLight(clump, kept);
    GxClumpAddLight(clump, gone);
    GxLightDestroy(gone);
    GxInt32 count = 0;
    GxClumpForAllLights(
        clump,
        [](GxLight* light, void* data) -> GxLight* {
            (*static_cast<GxInt32*>(data))++;
            return light;
        },
        &count);
    EXPECT_EQ(count, 1);
    GxClumpRemoveLight(clump, kept);
    EXPECT_TRUE(GxLinkIsEmpty(&clump->lightList));
    GxLightDestroy(kept);
    GxClumpDestroy(clump);
}

TEST_F(Material, MissingTextureLeavesTheMaterialUntextured)
{
    GxTexture* texture = GxTextureCreate(nullptr);
    GxTextureSetName(texture, "sign");
    GxTexDictionary* dictionary = GxTexDictionaryCreate();
    GxTexDictionaryAddTexture(dictionary, texture);
    GxTexDictionarySetCurrent(dictionary);
    GxMaterialList list;
    GxMaterialListInitialize(&list);
    GxMaterial* textured = GxMaterialCreate();
    GxMaterialSetTexture(textured, texture);
    GxMaterial* plain = GxMaterialCreate();
    plain->color.red = 7;
    GxMaterialListAppendMaterial(&list, textured);
    GxMaterialListAppendMaterial(&list, plain);
    GxMaterialDestroy(textured);
    GxMaterialDestroy(plain);
    const std::vector<GxUInt8> bytes = WriteList(&list);
    GxMaterialListDestroy(&list);

    GxMaterialList copy;
    GxMaterialListInitialize(&copy);
    ASSERT_NE(ReadList(bytes, &copy), nullptr);
    EXPECT_EQ(copy.materials[0]->texture, texture);
    GxMaterialListDestroy(&copy);
    // Without the texture anywhere the first material reads untextured and the second still reads.
    GxTexDictionarySetCurrent(nullptr);
    GxTexDictionaryDestroy(dictionary);
    ASSERT_NE(ReadList(bytes, &copy), nullptr);
    EXPECT_EQ(copy.materials[0]->texture, nullptr);
    EXPECT_EQ(copy.materials[1]->color.red, 7);
    GxMaterialListDestroy(&copy);
    GxTestTakeError();
}
