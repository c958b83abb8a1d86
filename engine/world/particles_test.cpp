// Standard particles: the texture's references between the effect and its emitter, an effect without its
// texture, the blend modes reaching the tank, and a second Create.
#include "engine/world/particles.h"

#include "engine/testsupport/scene.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"

namespace {

// The library's blend functions for source alpha, one and inverse source alpha (index + 1).
constexpr GxInt32 kBlendSourceAlpha = 5;
constexpr GxInt32 kBlendOne = 2;
constexpr GxInt32 kBlendInverseSourceAlpha = 6;

class StdParticle : public FerroxSceneTest {
protected:
    void SetUp() override
    {
        FerroxSceneTest::SetUp();
        if (HasFatalFailure())
            return;
        dictionary = GxTexDictionaryCreate();
        GxRaster* raster = GxRasterCreate(4, 4, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
        spark = raster ? GxTextureCreate(raster) : nullptr;
        ASSERT_NE(spark, nullptr);
        GxTextureSetName(spark, "spark");
        GxTexDictionaryAddTexture(dictionary, spark);
        GxTexDictionarySetCurrent(dictionary);
    }
    void TearDown() override
    {
        GxTexDictionarySetCurrent(nullptr);
        if (dictionary)
            GxTexDictionaryDestroy(dictionary);
        FerroxSceneTest::TearDown();
    }
    // Enough time for the first emission, so the emitter makes its tank.
    static void Emit(CFerroxStdParticle* effect) { effect->Update(0.2f); }

    GxTexDictionary* dictionary = nullptr;
    GxTexture* spark = nullptr;
};

TEST_F(StdParticle, EffectAndEmitterEachHoldTheTextureAndGiveItBack)
{
    const GxInt32 before = spark->refCount;
    {
        CFerroxStdParticle effect;
        ASSERT_EQ(effect.Create("spark", nullptr), spark);
        ASSERT_NE(effect.GetEmitter(), nullptr);
        EXPECT_EQ(effect.GetEmitter()->texture, spark);
        EXPECT_EQ(spark->refCount, before + 2);
        Emit(&effect);
        effect.Render();
        effect.Destroy();
        // The emitter released its reference with itself, the effect its own: the dictionary's stays.
        EXPECT_EQ(spark->refCount, before);
        EXPECT_EQ(effect.GetTexture(), nullptr);
        EXPECT_EQ(effect.GetAtomic(), nullptr);
    }
    EXPECT_EQ(spark->refCount, before);
    EXPECT_STREQ(GxTextureGetName(spark), "spark");
}

TEST_F(StdParticle, MissingTextureStillGivesAnUntexturedEffect)
{
    CFerroxStdParticle effect;
    EXPECT_EQ(effect.Create("nothing_here", nullptr), nullptr);
    ASSERT_NE(effect.GetAtomic(), nullptr);
    ASSERT_NE(effect.GetEmitter(), nullptr);
    EXPECT_EQ(effect.GetEmitter()->texture, nullptr);
    EXPECT_EQ(effect.GetEmitter()->maxPTank, 100);
    Emit(&effect);
    ASSERT_NE(effect.GetTank()->tank, nullptr);
    EXPECT_GT(GxParticleTankGet(effect.GetTank()->tank)->pCount, 0);
    effect.Render();
}

// An engine whose memory runs out when the test says so.
class StdParticleUnmade : public FerroxSceneTest {
protected:
    StdParticleUnmade() { memoryFunctions = GxTestMemoryReset(); }
};

// An effect whose atomic cannot be made is not made at all: it draws, updates and blends nothing.
TEST_F(StdParticleUnmade, AnEffectWithoutItsAtomicIsNotMade)
{
    CFerroxStdParticle effect;
    // The classes made beforehand, and their property tables, are shared: the emitter's block is the first
    // allocation of the creation.
    GxParticleEmitterClass* emitterClass = GxParticleEmitterClassCreate(kFerroxParticleEmitterFlags);
    GxParticleClass* particleClass = GxParticleClassCreate(kFerroxParticleClassFlags);
    ASSERT_NE(emitterClass, nullptr);
    ASSERT_NE(particleClass, nullptr);
    gxTestMemory.mallocFailAfter = 0;
    EXPECT_EQ(effect.Create("spark", nullptr), nullptr);
    gxTestMemory.mallocFailAfter = -1;
    EXPECT_EQ(effect.GetAtomic(), nullptr);
    EXPECT_EQ(effect.GetEmitter(), nullptr);
    effect.Update(0.2f);
    EXPECT_EQ(1, effect.SetBlendModes(0));
    effect.Render();
    GxParticleClassDestroy(particleClass);
    GxParticleEmitterClassDestroy(emitterClass);
}

TEST_F(StdParticle, BlendIndexesReachTheTankMadeBeforeOrAfter)
{
    CFerroxStdParticle effect;
    effect.Create("spark", nullptr);
    // Chosen before the first emission: the tank the emitter makes later draws with them.
    effect.m_destinationBlend = 5;
    ASSERT_EQ(effect.SetBlendModes(0), 1);
    Emit(&effect);
    ASSERT_NE(effect.GetTank()->tank, nullptr);
    GxParticleTank* tank = GxParticleTankGet(effect.GetTank()->tank);
    EXPECT_EQ(tank->srcBlend, kBlendSourceAlpha);
    EXPECT_EQ(tank->dstBlend, kBlendInverseSourceAlpha);

    // Chosen later: the tank itself changes; skipping changes nothing.
    effect.m_destinationBlend = 1;
    EXPECT_EQ(effect.SetBlendModes(1), 1);
    EXPECT_EQ(tank->dstBlend, kBlendInverseSourceAlpha);
    tank->vertexAlphaBlend = 0;
    EXPECT_EQ(effect.SetBlendModes(0), 1);
    EXPECT_EQ(tank->srcBlend, kBlendSourceAlpha);
    EXPECT_EQ(tank->dstBlend, kBlendOne);
    EXPECT_EQ(tank->vertexAlphaBlend, 1);
    EXPECT_NE(tank->cFlags & 0x10000000u, 0u);

    // An index past the library's table leaves the blending alone.
    effect.m_sourceBlend = 40;
    effect.SetBlendModes(0);
    EXPECT_EQ(tank->srcBlend, kBlendSourceAlpha);
}

}  // namespace
