// Material effects: slot tables, setters, combined bump names, records streamed back identical, hostile records
// and a driver whose pipelines cannot be made.
#include <cstring>
#include <string>

#include "gfx/fx/fx_testing.h"
#include "gfx/fx/materialeffects_testing.h"
#include "gfx/fx/uvanim_testing.h"
#include "gfx/world/material.h"

namespace {

std::vector<GxUInt8> WriteMaterial(const GxMaterial* material)
{
    return GxWorldTestWrite([material](GxStream* s) { return GxMaterialStreamWrite(material, s) != nullptr; });
}

GxMaterial* ReadMaterial(const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
{
    return GxWorldTestRead<GxMaterial>(bytes, 0x07, GxMaterialStreamRead, length);
}

std::string BumpName(const char* base, const char* bump)
{
    GxChar out[gxMATERIALEFFECTSBUMPNAMELENGTH + 1];
    GxMaterialEffectsBumpTextureName(base, bump, out);
    return out;
}

class MaterialEffects : public FxTest {};

TEST_F(MaterialEffects, TypesGiveTheirSlotsAndSettersNeedThem)
{
    GxMaterial* material = GxMaterialCreate();
    const size_t bare = WriteMaterial(material).size();
    ASSERT_NE(GxMaterialEffectsSetType(material, gxMATFXEFFECTNULL), nullptr);
    EXPECT_EQ(WriteMaterial(material).size(), bare);

    ASSERT_NE(GxMaterialEffectsSetType(material, gxMATFXEFFECTDUALUVTRANSFORM), nullptr);
    GxMaterialEffectsSlot* dual = GxMaterialEffectsGetSlot(material, gxMATFXSLOTDUAL);
    ASSERT_NE(dual, nullptr);
    EXPECT_EQ(dual, &GxMaterialEffectsGetSlot(material, gxMATFXSLOTUVTRANSFORM)[1]);
    EXPECT_EQ(dual->data.dual.srcBlendMode, 5);
    EXPECT_EQ(dual->data.dual.dstBlendMode, 6);
    // A stream naming a type past the table is refused: it has no slots to read into.
    ASSERT_NE(GxMaterialEffectsSetType(material, gxMATFXEFFECTUVTRANSFORM), nullptr);
    std::vector<GxUInt8> bytes = WriteMaterial(material);
    const size_t type = bytes.size() - 12;  // the record is the last chunk: type, then two slot types
    GxUInt32 stored = 0;
    memcpy(&stored, &bytes[type], sizeof(stored));
    ASSERT_EQ(stored, static_cast<GxUInt32>(gxMATFXEFFECTUVTRANSFORM));
    const GxUInt32 beyond = gxMATFXEFFECTMAX;
    memcpy(&bytes[type], &beyond, sizeof(beyond));
    EXPECT_EQ(ReadMaterial(bytes), nullptr);
    GxTestTakeError();
    GxMaterialDestroy(material);
}

TEST_F(MaterialEffects, CombinedBumpNamesInterleaveWithinThirtyCharacters)
{
    EXPECT_EQ(BumpName("wall", "bumps"), "wbaulmlps");
    EXPECT_EQ(BumpName(nullptr, "bumps"), "bbuummppss");
    EXPECT_EQ(BumpName("", "bumps"), "bumps");  // a base texture with an empty name still stands first
    EXPECT_EQ(BumpName(std::string(40, 'a').c_str(), std::string(40, 'b').c_str()).size(), 30u);
}

TEST_F(MaterialEffects, RecordsStreamBackIdenticalAndRefuseTruncationAndForeignSlots)
{
    GxMaterial* material = GxMaterialCreate();
    ASSERT_NE(GxMaterialEffectsSetType(material, gxMATFXEFFECTBUMPENVMAP), nullptr);
    GxMaterialEffectsSetBumpiness(material, 0.75f);
    GxMaterialEffectsSetEnvMapCoefficient(material, 0.5f, 1);
    const std::vector<GxUInt8> bytes = WriteMaterial(material);

    GxMaterial* read = ReadMaterial(bytes);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(GxMaterialEffectsGetType(read), gxMATFXEFFECTBUMPENVMAP);
    EXPECT_FLOAT_EQ(GxMaterialEffectsGetSlot(read, gxMATFXSLOTBUMPMAP)->data.bumpMap.coef, -0.75f);
    EXPECT_EQ(GxMaterialEffectsGetSlot(read, gxMATFXSLOTENVMAP)->data.envMap.useFrameBufferAlpha, 1);
    EXPECT_EQ(WriteMaterial(read), bytes);
    GxMaterialDestroy(read);

    GxMaterialEffectsSetType(material, gxMATFXEFFECTDUALUVTRANSFORM);
    GxMaterialEffectsSetDualBlendModes(material, 2, 9);
    const std::vector<GxUInt8> dual = WriteMaterial(material);
    read = ReadMaterial(dual);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(GxMaterialEffectsGetSlot(read, gxMATFXSLOTDUAL)->data.dual.dstBlendMode, 9);
    EXPECT_EQ(WriteMaterial(read), dual);
    GxMaterialDestroy(read);

    // The effects record is the material's last chunk: every cut into it fails the read.
    for (size_t cut = 1; cut <= 24; cut++) {
        EXPECT_EQ(ReadMaterial(bytes, bytes.size() - cut), nullptr) << cut;
    }
    // Slot 1 of a bump-and-environment record names the dual-texture kind instead.
    std::vector<GxUInt8> foreign = bytes;
    const size_t slot1 = foreign.size() - 16;
    GxUInt32 envMap = 0;
    memcpy(&envMap, &foreign[slot1], sizeof(envMap));
    ASSERT_EQ(envMap, static_cast<GxUInt32>(gxMATFXSLOTENVMAP));
    const GxUInt32 dualSlot = gxMATFXSLOTDUAL;
    memcpy(&foreign[slot1], &dualSlot, sizeof(dualSlot));
    EXPECT_EQ(ReadMaterial(foreign), nullptr);
    GxTestTakeError();
    GxMaterialDestroy(material);
}

TEST_F(MaterialEffects, UVAnimationFeedsTheTransformSlot)
{
    GxMaterial* material = GxMaterialCreate();
    GxMaterialEffectsSetType(material, gxMATFXEFFECTUVTRANSFORM);
    GxAnimation* animation = GxUVAnimCreate("uv");
    GxUVAnimMaterialSetAnim(material, 0, animation);
    GxUVAnimDestroy(animation);
    GxUVAnimMaterialApply(material);
    const GxMaterialEffectsSlot* slot = GxMaterialEffectsGetSlot(material, gxMATFXSLOTUVTRANSFORM);
    EXPECT_EQ(slot->data.uvTransform.baseTransform, GxUVAnimMaterialGetUVMatrix(material, 0));
    EXPECT_EQ(slot->data.uvTransform.dualTransform, nullptr);
    GxMaterialDestroy(material);
}

GxBool FailingOpen(void) { return 0; }

TEST(MaterialEffectsDriver, FailedPipelinesFailTheOpenCleanly)
{
    GxMaterialEffectsDriverHooks hooks = {};
    hooks.open = FailingOpen;
    GxMaterialEffectsSetDriverHooks(&hooks);
    EXPECT_FALSE(GxTestEngine(GxFxEngineSetup()).Ok());
    GxMaterialEffectsSetDriverHooks(nullptr);
    GxTestEngine engine(GxFxEngineSetup());
    ASSERT_TRUE(engine.Ok()) << engine.Failure();
    GxMaterial* material = GxMaterialCreate();
    EXPECT_NE(GxMaterialEffectsSetType(material, gxMATFXEFFECTENVMAP), nullptr);
    GxMaterialDestroy(material);
}

}  // namespace
