// Material-effects pipelines on the software device (what each routine draws and leaves behind, the emboss
// vertices, construction failures) and on OpenGL (the colours an environment map and a dual texture give).
#include <cstdint>
#include <cstring>
#include <vector>

#include "gfx/core/frame.h"
#include "gfx/d3d9/atomicpipe_testing.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/matfx_local.h"
#include "gfx/d3d9/raster.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/fx/fx.h"
#include "gfx/fx/materialeffects_testing.h"
#include "platform/testsupport/softdevice.h"

namespace {

constexpr GxUInt32 kFrontMaterial = 1;

class MatFXTest : public GxAtomicPipeTest {
protected:
    explicit MatFXTest(const char* backendName = "software") : GxAtomicPipeTest(backendName) {}
    void AttachPlugins() override { ASSERT_TRUE(GxD3D9MaterialEffectsPluginAttach()); }
    void SetUp() override
    {
        GxAtomicPipeTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        AddLight(gxLIGHTAMBIENT, 1.0f);
    }
    void TearDown() override
    {
        GxAtomicPipeTest::TearDown();
        GxMaterialEffectsSetDriverHooks(nullptr);
    }

    // A box facing the camera whose front material carries the effect; the atomic takes the effects' pipeline.
    GxMaterial* EffectBox(GxInt32 type, GxTexture* base = nullptr)
    {
        GxMaterial* back = GxMaterialCreate();
        GxMaterial* front = GxMaterialCreate();
        GxMaterialSetTexture(front, base);
        GxAtomic* atomic = MakeAtomic(GxWorldTestBox(back, front, 1.0f));
        GxMaterialDestroy(back);
        GxMaterialDestroy(front);
        GxMaterialEffectsAtomicEnable(atomic);
        GxMaterial* material = atomic->geometry->matList.materials[kFrontMaterial];
        EXPECT_NE(GxMaterialEffectsSetType(material, type), nullptr);
        return material;
    }

    IDirect3DDevice9* Device() const { return GxD3D9Device(); }
    const std::vector<D3D9SoftEvent>& Log() const { return D3D9SoftLog(Device()); }
    size_t Draws() const { return D3D9SoftCount(Device(), D3D9SOFT_DRAW); }

    // A texture-stage state as it stood at the nth draw since the log was cleared (the default when never sent).
    DWORD StageAtDraw(size_t draw, DWORD stage, DWORD tss, DWORD otherwise) const
    {
        DWORD value = otherwise;
        size_t draws = 0;
        for (const D3D9SoftEvent& e : Log()) {
            if (e.type == D3D9SOFT_DRAW && draws++ == draw) {
                return value;
            }
            if (e.type == D3D9SOFT_STATE && e.kind == D3D9_STATE_TEXTURESTAGE && e.a == stage && e.b == tss) {
                value = e.value;
            }
        }
        ADD_FAILURE() << "no draw " << draw;
        return value;
    }
    bool RenderLogged()
    {
        D3D9SoftClearLog(Device());
        return Render();
    }

    // What every routine leaves: stage 0 modulating texture by diffuse, stages 1 and 2 off, no transforms, no shader.
    void ExpectStagesLeftBehind(const char* what)
    {
        SCOPED_TRACE(what);
        GxD3D9RenderStateFlush();
        DWORD v = 0;
        Device()->GetTextureStageState(0, D3DTSS_COLOROP, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_MODULATE));
        Device()->GetTextureStageState(0, D3DTSS_COLORARG1, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTA_TEXTURE));
        Device()->GetTextureStageState(0, D3DTSS_COLORARG2, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTA_DIFFUSE));
        Device()->GetTextureStageState(0, D3DTSS_ALPHAOP, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_MODULATE));
        ExpectTransformsOffAndUpperStagesOff(what);
        IDirect3DPixelShader9* shader = nullptr;
        Device()->GetPixelShader(&shader);
        EXPECT_EQ(shader, nullptr);
        if (shader) {
            shader->Release();
        }
    }
    // What every environment form leaves: its stages' coordinates untransformed, stages 1 and 2 off and unbound.
    void ExpectTransformsOffAndUpperStagesOff(const char* what)
    {
        SCOPED_TRACE(what);
        GxD3D9RenderStateFlush();
        DWORD v = 0;
        for (DWORD stage = 0; stage < 3; stage++) {
            Device()->GetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, &v);
            EXPECT_EQ(v, static_cast<DWORD>(D3DTTFF_DISABLE)) << "stage " << stage;
            Device()->GetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, &v);
            EXPECT_EQ(v, stage) << "stage " << stage;
            if (stage > 0) {
                Device()->GetTextureStageState(stage, D3DTSS_COLOROP, &v);
                EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_DISABLE)) << "stage " << stage;
                IDirect3DBaseTexture9* texture = nullptr;
                Device()->GetTexture(stage, &texture);
                EXPECT_EQ(texture, nullptr) << "stage " << stage;
                if (texture) {
                    texture->Release();
                }
            }
        }
    }

    // A grey texture; without alpha unless `alpha` is given.
    GxTexture* GreyTexture(GxUInt8 grey, GxInt32 alpha = -1)
    {
        const GxInt32 format = alpha < 0 ? gxRASTERFORMAT888 : gxRASTERFORMAT8888;
        GxRaster* raster = GxRasterCreate(2, 2, 32, gxRASTERTYPETEXTURE | format);
        GxUInt8* pixels = raster ? GxRasterLock(raster, 0, gxRASTERLOCKWRITE) : nullptr;
        for (GxInt32 y = 0; pixels && y < 2; y++) {
            for (GxInt32 x = 0; x < 2; x++) {
                GxUInt8* p = pixels + y * raster->stride + x * 4;
                p[0] = p[1] = p[2] = grey;
                p[3] = static_cast<GxUInt8>(alpha < 0 ? 255 : alpha);
            }
        }
        if (pixels) {
            GxRasterUnlock(raster);
        }
        GxTexture* texture = raster ? GxTextureCreate(raster) : nullptr;
        if (texture) {
            textures.push_back(texture);
        }
        return texture;
    }

    // A palettised texture whose every pixel is palette entry 0, of the given colour.
    GxTexture* PaletteTexture(GxUInt8 r, GxUInt8 g, GxUInt8 b)
    {
        GxRaster* raster = GxRasterCreate(2, 2, 0, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888);
        GxUInt8* palette = raster ? GxRasterLockPalette(raster, gxRASTERLOCKWRITE) : nullptr;
        if (!palette) {
            ADD_FAILURE() << "no palettised raster";
            return nullptr;
        }
        palette[0] = r;
        palette[1] = g;
        palette[2] = b;
        GxRasterUnlockPalette(raster);
        GxUInt8* indexes = GxRasterLock(raster, 0, gxRASTERLOCKWRITE);
        if (indexes) {
            std::memset(indexes, 0, static_cast<size_t>(raster->stride) * 2);
            GxRasterUnlock(raster);
        }
        GxTexture* texture = GxTextureCreate(raster);
        textures.push_back(texture);
        return texture;
    }
    static bool Palettised(const GxTexture* texture)
    {
        return (GxRasterGetFormat(texture->raster) & gxRASTERFORMATPAL8) != 0;
    }
    // Blue, green, red of the raster's first pixel, read back through its lock.
    static GxUInt32 FirstPixel(GxRaster* raster)
    {
        const GxUInt8* pixels = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        const GxUInt32 bgr = pixels ? pixels[0] | pixels[1] << 8 | pixels[2] << 16 : 0;
        GxRasterUnlock(raster);
        return bgr;
    }
};

// ---------------------------------------------------------------------------------------------- routines

// Every effect, in each of its forms, leaves the stages as the next mesh expects them.
TEST_F(MatFXTest, EveryRoutineLeavesStageZeroModulatingAndTheRestOff)
{
    GxTexture* base = SolidTexture(200, 100, 50);
    GxTexture* env = GreyTexture(40);
    GxMaterial* material = EffectBox(gxMATFXEFFECTNULL, base);
    ASSERT_TRUE(Render());
    ExpectStagesLeftBehind("plain");

    GxMatrix transform;
    GxMatrixSetIdentity(&transform);
    transform.flags = 0;
    transform.pos = {0.5f, 0.25f, 0};
    GxMaterialEffectsSetType(material, gxMATFXEFFECTUVTRANSFORM);
    GxMaterialEffectsSetUVTransformMatrices(material, &transform, nullptr);
    ASSERT_TRUE(Render());
    ExpectStagesLeftBehind("texture-coordinate transform");

    GxMaterialEffectsSetType(material, gxMATFXEFFECTENVMAP);
    GxMaterialEffectsSetEnvMapTexture(material, env);
    for (GxReal coef : {1.0f, 0.5f}) {
        GxMaterialEffectsSetEnvMapCoefficient(material, coef, 0);
        ASSERT_TRUE(Render());
        ExpectTransformsOffAndUpperStagesOff("environment, one pass");
    }
    material->color.alpha = 128;
    ASSERT_TRUE(Render());
    ExpectTransformsOffAndUpperStagesOff("environment, two passes");
    {
        // The added pass at a factor other than white gives stage 0 its diffuse arguments back, nothing more.
        DWORD v = 0;
        Device()->GetTextureStageState(0, D3DTSS_ALPHAOP, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_SELECTARG1));
        Device()->GetTextureStageState(0, D3DTSS_ALPHAARG2, &v);
        EXPECT_EQ(v, static_cast<DWORD>(D3DTA_DIFFUSE));
    }
    material->color.alpha = 255;
    GxMaterialEffectsSetEnvMapTexture(material, GreyTexture(90, 128));
    ASSERT_TRUE(Render());
    ExpectTransformsOffAndUpperStagesOff("environment, pixel shader");

    GxMaterialEffectsSetType(material, gxMATFXEFFECTDUAL);
    GxMaterialEffectsSetDualTexture(material, env);
    const GxInt32 blends[][2] = {{9, 1}, {5, 6}, {9, 3}, {2, 2}, {1, 5}, {4, 7}};
    for (const auto& blend : blends) {
        GxMaterialEffectsSetDualBlendModes(material, blend[0], blend[1]);
        ASSERT_TRUE(Render());
        ExpectStagesLeftBehind("dual texture");
    }
    GxMaterialEffectsSetType(material, gxMATFXEFFECTDUALUVTRANSFORM);
    GxMaterialEffectsSetUVTransformMatrices(material, &transform, &transform);
    GxMaterialEffectsSetDualTexture(material, env);
    ASSERT_TRUE(Render());
    ExpectStagesLeftBehind("dual texture with transform");

    GxMaterialEffectsSetType(material, gxMATFXEFFECTBUMPENVMAP);
    GxMaterialSetTexture(material, GreyTexture(150, 200));
    GxMaterialEffectsSetEnvMapTexture(material, env);
    GxMaterialEffectsSetEnvMapCoefficient(material, 0.5f, 0);
    GxMaterialEffectsSetBumpiness(material, 1.0f);
    ASSERT_TRUE(Render());
    ExpectStagesLeftBehind("bump and environment, pixel shader");
    GxD3D9MaterialEffectsCaps* caps = GxD3D9MaterialEffectsGetCaps();
    caps->pixelShaders = 0;
    GxMaterialEffectsPipelinesClose();
    ASSERT_TRUE(GxMaterialEffectsPipelinesOpen());
    GxD3D9MaterialEffectsGetCaps()->pixelShaders = 0;
    GxMaterialEffectsAtomicEnable(atomics[0]);
    ASSERT_TRUE(Render());
    ExpectStagesLeftBehind("bump and environment, fixed function");
}

// The forms the environment routine picks: one pass adding on stage 0, one pass with the factor on stage 1, and two
// passes for a see-through material, the second blended (source alpha, one) without z-write and with black fog.
TEST_F(MatFXTest, EnvironmentMapTakesTheFormItsMaterialAllows)
{
    // The effects' pixel shaders are made when the pipelines open, before anything is drawn.
    if (GxD3D9MaterialEffectsGetCaps()->pixelShaders) {
        for (GxInt32 shader = BumpShader; shader < gxD3D9MATFXSHADERS; shader++) {
            EXPECT_NE(GxD3D9MatFXShader(shader), nullptr) << "shader " << shader;
        }
    }
    GxMaterial* material = EffectBox(gxMATFXEFFECTENVMAP);
    GxMaterialEffectsSetEnvMapTexture(material, GreyTexture(40));
    GxMaterialEffectsSetEnvMapCoefficient(material, 1.0f, 0);
    ASSERT_TRUE(RenderLogged());
    ASSERT_EQ(Draws(), 2u);  // back mesh, front mesh
    EXPECT_EQ(StageAtDraw(1, 0, D3DTSS_COLOROP, 0), static_cast<DWORD>(D3DTOP_ADD));
    EXPECT_EQ(StageAtDraw(1, 0, D3DTSS_TEXCOORDINDEX, 0), static_cast<DWORD>(D3DTSS_TCI_CAMERASPACENORMAL));

    GxMaterialEffectsSetEnvMapCoefficient(material, 0.5f, 0);
    ASSERT_TRUE(RenderLogged());
    ASSERT_EQ(Draws(), 2u);
    EXPECT_EQ(StageAtDraw(1, 1, D3DTSS_COLOROP, 0), static_cast<DWORD>(D3DTOP_MULTIPLYADD));
    GxUInt32 factor = 0;
    GxD3D9GetRenderState(D3DRS_TEXTUREFACTOR, &factor);
    EXPECT_EQ(factor, 0x80808080u);

    material->color.alpha = 100;
    GxD3D9RenderStateSet(gxRENDERSTATESRCBLEND, reinterpret_cast<void*>(static_cast<uintptr_t>(D3DBLEND_ONE)));
    GxD3D9RenderStateSet(gxRENDERSTATEDESTBLEND, reinterpret_cast<void*>(static_cast<uintptr_t>(D3DBLEND_ZERO)));
    GxD3D9SetRenderState(D3DRS_FOGENABLE, TRUE);
    GxD3D9SetRenderState(D3DRS_FOGCOLOR, 0xFF336699u);
    ASSERT_TRUE(RenderLogged());
    ASSERT_EQ(Draws(), 3u);
    const D3D9SoftEvent* last = D3D9SoftLast(Device(), D3D9SOFT_DRAW);
    ASSERT_NE(last, nullptr);
    DWORD fog = 0, zWrite = 0, src = 0, dst = 0;
    for (const D3D9SoftEvent& e : Log()) {
        if (&e == last) {
            break;
        }
        if (e.type == D3D9SOFT_STATE && e.kind == D3D9_STATE_RENDER) {
            fog = e.a == D3DRS_FOGCOLOR ? e.value : fog;
            zWrite = e.a == D3DRS_ZWRITEENABLE ? e.value : zWrite;
            src = e.a == D3DRS_SRCBLEND ? e.value : src;
            dst = e.a == D3DRS_DESTBLEND ? e.value : dst;
        }
    }
    EXPECT_EQ(fog, 0u);
    EXPECT_EQ(zWrite, static_cast<DWORD>(FALSE));
    EXPECT_EQ(src, static_cast<DWORD>(D3DBLEND_SRCALPHA));
    EXPECT_EQ(dst, static_cast<DWORD>(D3DBLEND_ONE));
    GxUInt32 restored = 0;
    GxD3D9GetRenderState(D3DRS_FOGCOLOR, &restored);
    EXPECT_EQ(restored, 0xFF336699u);
    GxUInt32 engineSrc = 0;
    GxD3D9RenderStateGet(gxRENDERSTATESRCBLEND, &engineSrc);
    EXPECT_EQ(engineSrc, static_cast<GxUInt32>(D3DBLEND_ONE));
    GxD3D9SetRenderState(D3DRS_FOGENABLE, FALSE);
}

// Unlit and not prelit: black whatever the effect; a zero coefficient or a record whose slots do not fit its type
// draws plain.
TEST_F(MatFXTest, BlackAndPlainFallbacks)
{
    GxMaterial* material = EffectBox(gxMATFXEFFECTENVMAP, SolidTexture(200, 100, 50));
    GxMaterialEffectsSetEnvMapTexture(material, GreyTexture(40));
    GxMaterialEffectsSetEnvMapCoefficient(material, 1.0f, 0);
    atomics[0]->geometry->flags &= ~static_cast<GxUInt32>(gxGEOMETRYLIGHT);
    ASSERT_TRUE(RenderLogged());
    ASSERT_EQ(Draws(), 2u);
    EXPECT_EQ(StageAtDraw(1, 0, D3DTSS_COLORARG2, 0), static_cast<DWORD>(D3DTA_TFACTOR));
    GxUInt32 factor = 0;
    GxD3D9GetRenderState(D3DRS_TEXTUREFACTOR, &factor);
    EXPECT_EQ(factor, 0xFF000000u);
    ExpectStagesLeftBehind("black");
    atomics[0]->geometry->flags |= gxGEOMETRYLIGHT;

    GxMaterialEffectsSetEnvMapCoefficient(material, 0.0f, 0);
    ASSERT_TRUE(RenderLogged());
    ASSERT_EQ(Draws(), 2u);
    EXPECT_EQ(StageAtDraw(1, 0, D3DTSS_TEXCOORDINDEX, 0), 0u);

    // An environment slot whose record says otherwise is not read as one.
    GxMaterialEffectsSetEnvMapCoefficient(material, 1.0f, 0);
    GxMaterialEffectsSlot* slot = GxMaterialEffectsGetSlot(material, gxMATFXSLOTENVMAP);
    ASSERT_NE(slot, nullptr);
    slot->slotType = gxMATFXSLOTDUAL;
    ASSERT_TRUE(RenderLogged());
    ASSERT_EQ(Draws(), 2u);
    EXPECT_EQ(StageAtDraw(1, 0, D3DTSS_TEXCOORDINDEX, 0), 0u);
    EXPECT_EQ(StageAtDraw(1, 1, D3DTSS_COLOROP, D3DTOP_DISABLE), static_cast<DWORD>(D3DTOP_DISABLE));
    slot->slotType = gxMATFXSLOTENVMAP;
}

// A dual texture over a base: one pass where the stages allow, else a second pass with the dual blend and z-write
// off; a modulating dual texture on a device with four stages uses the two-stage arrangement.
TEST_F(MatFXTest, DualTextureSingleOrSecondPass)
{
    GxMaterial* material = EffectBox(gxMATFXEFFECTDUAL, SolidTexture(200, 100, 50));
    GxMaterialEffectsSetDualTexture(material, GreyTexture(40));
    GxMaterialEffectsSetDualBlendModes(material, 9, 1);
    ASSERT_TRUE(RenderLogged());
    ASSERT_EQ(Draws(), 2u);
    EXPECT_EQ(StageAtDraw(1, 1, D3DTSS_COLOROP, 0), static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(StageAtDraw(1, 1, D3DTSS_TEXCOORDINDEX, 1), 0u);  // one coordinate set: both textures use it
    EXPECT_EQ(StageAtDraw(1, 2, D3DTSS_COLOROP, D3DTOP_DISABLE), static_cast<DWORD>(D3DTOP_DISABLE));
    // The arrangement follows the base texture the material has, whether or not the geometry is textured.
    GxGeometry* geometry = atomics.back()->geometry;
    const GxUInt32 flags = geometry->flags;
    geometry->flags &= ~static_cast<GxUInt32>(gxGEOMETRYTEXTURED | gxGEOMETRYTEXTURED2);
    ASSERT_TRUE(RenderLogged());
    EXPECT_EQ(StageAtDraw(1, 1, D3DTSS_COLOROP, D3DTOP_DISABLE), static_cast<DWORD>(D3DTOP_MODULATE));
    geometry->flags = flags;

    GxD3D9MaterialEffectsCaps* caps = GxD3D9MaterialEffectsGetCaps();
    caps->blendStages = 2;
    caps->multiplyAdd = 0;
    GxMaterialEffectsSetDualBlendModes(material, 2, 2);
    ASSERT_TRUE(RenderLogged());
    ASSERT_EQ(Draws(), 3u);
    EXPECT_EQ(StageAtDraw(2, 1, D3DTSS_COLOROP, D3DTOP_DISABLE), static_cast<DWORD>(D3DTOP_DISABLE));
    GxMaterialEffectsSetDualBlendModes(material, 5, 6);
    ASSERT_TRUE(RenderLogged());
    EXPECT_EQ(Draws(), 3u);
    ExpectStagesLeftBehind("second pass");
}

// One pass samples one palette: over a palettised base, a different palettised dual or environment texture is drawn
// in its palette's colours as true colour; the same texture twice, or an environment without a used base, keeps
// its palette.
TEST_F(MatFXTest, SecondPaletteOfAPassBecomesTrueColour)
{
    GxTexture* base = PaletteTexture(200, 100, 50);
    GxMaterial* material = EffectBox(gxMATFXEFFECTDUAL, base);
    GxMaterialEffectsSetDualTexture(material, base);
    GxMaterialEffectsSetDualBlendModes(material, 9, 1);
    ASSERT_TRUE(RenderLogged());
    EXPECT_TRUE(Palettised(base)) << "one texture, one palette";

    GxTexture* dual = PaletteTexture(10, 20, 30);
    GxMaterialEffectsSetDualTexture(material, dual);
    ASSERT_TRUE(RenderLogged());
    EXPECT_EQ(Draws(), 2u);
    EXPECT_TRUE(Palettised(base));
    ASSERT_FALSE(Palettised(dual));
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(dual->raster)->d3dFormat, static_cast<GxUInt32>(D3DFMT_X8R8G8B8));
    EXPECT_EQ(FirstPixel(dual->raster), 0x0A141Eu);

    GxTexture* env = PaletteTexture(40, 40, 40);
    GxMaterialEffectsSetType(material, gxMATFXEFFECTENVMAP);
    GxMaterialEffectsSetEnvMapTexture(material, env);
    GxMaterialEffectsSetEnvMapCoefficient(material, 0.5f, 0);
    GxMaterialSetTexture(material, nullptr);
    ASSERT_TRUE(RenderLogged());
    EXPECT_TRUE(Palettised(env)) << "no base is used";
    GxMaterialSetTexture(material, base);
    ASSERT_TRUE(RenderLogged());
    EXPECT_EQ(Draws(), 2u);
    EXPECT_TRUE(Palettised(base));
    ASSERT_FALSE(Palettised(env));
    EXPECT_EQ(FirstPixel(env->raster), 0x282828u);
    ExpectStagesLeftBehind("palettes");
}

// The plugin's combined bump texture: the base's colour with the bump map's brightness as alpha; the base alone
// without a bump map.
TEST_F(MatFXTest, BumpedTextureCarriesTheHeightInAlpha)
{
    GxTexture* base = SolidTexture(200, 100, 50);
    GxMaterial* material = EffectBox(gxMATFXEFFECTBUMPMAP, base);
    ASSERT_NE(GxMaterialEffectsSetBumpMapTexture(material, GreyTexture(90)), nullptr);
    GxTexture* bumped = GxMaterialEffectsGetSlot(material, gxMATFXSLOTBUMPMAP)->data.bumpMap.bumpTexture;
    ASSERT_NE(bumped, nullptr);
    ASSERT_NE(bumped->raster, nullptr);
    const GxUInt8* pixels = GxRasterLock(bumped->raster, 0, gxRASTERLOCKREAD);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 50);  // blue, green, red, alpha
    EXPECT_EQ(pixels[1], 100);
    EXPECT_EQ(pixels[2], 200);
    EXPECT_EQ(pixels[3], 90);
    GxRasterUnlock(bumped->raster);
    // Drawn with the pixel shader in one pass over emboss vertices, from an instance that asked for tangents.
    GxMaterialEffectsSetBumpiness(material, 1.0f);
    ASSERT_TRUE(RenderLogged());
    EXPECT_TRUE(GxD3D9GeometryGetUsageFlags(atomics[0]->geometry) & gxD3D9USAGETANGENTS);
    EXPECT_EQ(Draws(), 2u);
    bool emboss = false;
    for (const D3D9SoftEvent& e : Log()) {
        emboss = emboss || (e.type == D3D9SOFT_STATE && e.kind == D3D9_STATE_FVF && e.value == gxD3D9EMBOSSFVF);
    }
    EXPECT_TRUE(emboss);
    ExpectStagesLeftBehind("bump map");
    GxTexture* alone = GxMaterialEffectsCreateBumpedTexture(base, nullptr);
    EXPECT_EQ(alone, base);
    GxTextureDestroy(alone);
}

// The combined texture has the base's size and mipmapping, takes the bump map's brightest channel as alpha, samples
// with the base's filter mode and its addressing only when U and V agree, and is named from both textures.
TEST_F(MatFXTest, CombinedTextureFollowsTheBase)
{
    GxRaster* baseRaster = GxRasterCreate(2, 2, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888 | gxRASTERFORMATMIPMAP);
    ASSERT_NE(baseRaster, nullptr);
    for (GxInt32 level = 0; level < GxRasterGetNumLevels(baseRaster); level++) {
        GxUInt8* pixels = GxRasterLock(baseRaster, static_cast<GxUInt8>(level), gxRASTERLOCKWRITE);
        ASSERT_NE(pixels, nullptr);
        memset(pixels, 0x80, static_cast<size_t>(baseRaster->stride) * baseRaster->height);
        GxRasterUnlock(baseRaster);
    }
    GxTexture* base = GxTextureCreate(baseRaster);
    textures.push_back(base);
    base->filterAddressing = gxFILTERLINEAR | gxTEXTUREADDRESSWRAP << gxTEXTUREADDRESSUSHIFT |
                             gxTEXTUREADDRESSCLAMP << gxTEXTUREADDRESSVSHIFT;
    GxRaster* bumpRaster = GxRasterCreate(4, 4, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT888);
    ASSERT_NE(bumpRaster, nullptr);
    GxUInt8* pixels = GxRasterLock(bumpRaster, 0, gxRASTERLOCKWRITE);
    ASSERT_NE(pixels, nullptr);
    for (GxInt32 y = 0; y < 4; y++) {
        for (GxInt32 x = 0; x < 4; x++) {
            GxUInt8* p = pixels + y * bumpRaster->stride + x * 4;  // blue, green, red
            p[0] = 60;
            p[1] = 200;
            p[2] = 30;
        }
    }
    GxRasterUnlock(bumpRaster);
    GxTexture* bump = GxTextureCreate(bumpRaster);
    textures.push_back(bump);

    GxTextureSetName(base, "wall");
    GxTextureSetName(bump, "bumps");

    GxTexture* combined = GxMaterialEffectsCreateBumpedTexture(base, bump);
    ASSERT_NE(combined, nullptr);
    textures.push_back(combined);
    EXPECT_EQ(combined->raster->width, 2);
    EXPECT_EQ(combined->raster->height, 2);
    EXPECT_EQ(GxRasterGetFormat(combined->raster) & (gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP),
              gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP);
    EXPECT_EQ(combined->filterAddressing, static_cast<GxUInt32>(gxFILTERLINEAR));
    EXPECT_STREQ(GxTextureGetName(combined), "wbaulmlps");
    base->filterAddressing = gxFILTERLINEAR | gxTEXTUREADDRESSCLAMP << gxTEXTUREADDRESSUSHIFT |
                             gxTEXTUREADDRESSCLAMP << gxTEXTUREADDRESSVSHIFT;
    GxTexture* clamped = GxMaterialEffectsCreateBumpTexture(base, bump);
    ASSERT_NE(clamped, nullptr);
    textures.push_back(clamped);
    EXPECT_EQ(clamped->filterAddressing, base->filterAddressing);
    // Without a base: the bump map's size, white under its mask, named from the bump map alone.
    GxTexture* alone = GxMaterialEffectsCreateBumpTexture(nullptr, bump);
    ASSERT_NE(alone, nullptr);
    textures.push_back(alone);
    EXPECT_EQ(alone->raster->width, 4);
    EXPECT_STREQ(GxTextureGetName(alone), "bbuummppss");
    const GxUInt8* texel = GxRasterLock(combined->raster, 0, gxRASTERLOCKREAD);
    ASSERT_NE(texel, nullptr);
    EXPECT_EQ(texel[2], 0x80);
    EXPECT_EQ(texel[3], 200);
    GxRasterUnlock(combined->raster);
}

// ---------------------------------------------------------------------------------------------- on OpenGL

class MatFXGl : public MatFXTest {
protected:
    MatFXGl() : MatFXTest("opengl") {}
};

// The box's front face fills the middle of the frame; the background stays grey.
TEST_F(MatFXGl, EnvironmentMappedAndDualTexturedColours)
{
    // Through the pixel shader: base + environment x its alpha x coefficient.
    GxMaterial* material = EffectBox(gxMATFXEFFECTENVMAP, SolidTexture(200, 100, 50));
    GxMaterialEffectsSetEnvMapTexture(material, GreyTexture(80, 128));
    GxMaterialEffectsSetEnvMapCoefficient(material, 0.5f, 0);
    ASSERT_TRUE(Render({60, 60, 60, 255}));
    EXPECT_TRUE(GxColourNear(At(32, 32), 220, 120, 70, 4));
    EXPECT_TRUE(GxColourNear(At(1, 1), 60, 60, 60));
    // One fixed-function pass: no base, an environment without alpha added in full to the material colour.
    GxMaterialSetTexture(material, nullptr);
    material->color = {100, 60, 20, 255};
    atomics[0]->geometry->flags |= gxGEOMETRYMODULATEMATERIALCOLOR;
    GxMaterialEffectsSetEnvMapTexture(material, GreyTexture(80));
    GxMaterialEffectsSetEnvMapCoefficient(material, 1.0f, 0);
    ASSERT_TRUE(Render({60, 60, 60, 255}));
    EXPECT_TRUE(GxColourNear(At(32, 32), 180, 140, 100, 4));
    // A modulating dual texture over the base, in one pass.
    material->color = {255, 255, 255, 255};
    atomics[0]->geometry->flags &= ~static_cast<GxUInt32>(gxGEOMETRYMODULATEMATERIALCOLOR);
    GxMaterialSetTexture(material, SolidTexture(200, 100, 50));
    GxMaterialEffectsSetType(material, gxMATFXEFFECTDUAL);
    GxMaterialEffectsSetDualTexture(material, GreyTexture(128));
    GxMaterialEffectsSetDualBlendModes(material, 9, 1);
    ASSERT_TRUE(Render({60, 60, 60, 255}));
    EXPECT_TRUE(GxColourNear(At(32, 32), 100, 50, 25, 4));
    // The same blend in a second pass over the frame buffer gives the same colour.
    GxD3D9MaterialEffectsGetCaps()->twoTextures = 0;
    ASSERT_TRUE(Render({60, 60, 60, 255}));
    EXPECT_TRUE(GxColourNear(At(32, 32), 100, 50, 25, 4));
}

// An additive dual texture without a base adds the dual texture lit by the diffuse colour, in one pass as in two.
TEST_F(MatFXGl, AdditiveDualTextureWithoutABaseMatchesItsSecondPass)
{
    GxMaterial* material = EffectBox(gxMATFXEFFECTDUAL);
    material->color = {100, 60, 20, 255};
    atomics[0]->geometry->flags |= gxGEOMETRYMODULATEMATERIALCOLOR;
    GxMaterialEffectsSetDualTexture(material, GreyTexture(128));
    GxMaterialEffectsSetDualBlendModes(material, 2, 2);
    ASSERT_TRUE(Render({60, 60, 60, 255}));
    EXPECT_TRUE(GxColourNear(At(32, 32), 150, 90, 30, 4));
    GxD3D9MaterialEffectsGetCaps()->twoTextures = 0;
    ASSERT_TRUE(Render({60, 60, 60, 255}));
    EXPECT_TRUE(GxColourNear(At(32, 32), 150, 90, 30, 4));
}

// A flat height field embosses nothing: the emboss vertices drawn through the shader, and in the two blended
// passes, give the base colour where the box stands.
TEST_F(MatFXGl, FlatBumpMapKeepsTheBaseColour)
{
    GxMaterial* material = EffectBox(gxMATFXEFFECTBUMPMAP);
    GxTexture* base = GreyTexture(180, 100);
    GxMaterialSetTexture(material, base);
    GxMaterialEffectsSetBumpiness(material, 1.0f);
    ASSERT_TRUE(Render({60, 60, 60, 255}));
    EXPECT_TRUE(GxColourNear(At(32, 32), 180, 180, 180, 4));
    EXPECT_TRUE(GxColourNear(At(1, 1), 60, 60, 60));
    GxMaterialEffectsPipelinesClose();
    ASSERT_TRUE(GxMaterialEffectsPipelinesOpen());
    GxD3D9MaterialEffectsGetCaps()->pixelShaders = 0;
    GxMaterialEffectsAtomicEnable(atomics[0]);
    ASSERT_TRUE(Render({60, 60, 60, 255}));
    EXPECT_TRUE(GxColourNear(At(32, 32), 180, 180, 180, 4));
}

// ---------------------------------------------------------------------------------------------- emboss vertices

// A mesh built by hand: one stream of the given elements over `count` vertices, unindexed.
class EmbossMesh {
public:
    EmbossMesh(const std::vector<D3DVERTEXELEMENT9>& elements, UINT stride, const std::vector<float>& data,
               GxUInt32 count, GxUInt32 primitive)
    {
        std::vector<D3DVERTEXELEMENT9> all = elements;
        all.push_back(D3DDECL_END());
        GxD3D9CreateVertexDeclaration(all.data(), &block.header.declaration);
        // Exactly the vertices' size, so a read past the mesh leaves the buffer.
        GxD3D9Device()->CreateVertexBuffer(static_cast<UINT>(data.size() * sizeof(float)), 0, 0, D3DPOOL_MANAGED,
                                           &buffer, nullptr);
        void* bytes = nullptr;
        if (buffer && SUCCEEDED(buffer->Lock(0, 0, &bytes, 0))) {
            std::memcpy(bytes, data.data(), data.size() * sizeof(float));
            buffer->Unlock();
        }
        block.header.meshCount = 1;
        block.header.primitive = primitive;
        block.header.streams[0] = GxD3D9VertexStream{buffer, 0, stride, 0, 0, 0};
        block.mesh.vertexCount = count;
        block.mesh.primitiveCount = primitive == D3DPT_TRIANGLELIST ? count / 3 : count - 2;
    }
    ~EmbossMesh()
    {
        if (buffer) {
            buffer->Release();
        }
        if (block.header.declaration) {
            GxD3D9DeleteVertexDeclaration(block.header.declaration);
        }
    }
    struct Block {
        GxD3D9InstanceHeader header = {};
        GxD3D9MeshInstance mesh = {};
    } block;
    IDirect3DVertexBuffer9* buffer = nullptr;
};

const D3DVERTEXELEMENT9 kPosition = {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0};
const D3DVERTEXELEMENT9 kTexCoords = {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0};

// Position and coordinates of four vertices on the plane z = 2.
const std::vector<float> kFourVertices = {-1, -1, 2, 0, 1, 1, -1, 2, 1, 1, -1, 1, 2, 0, 0, 1, 1, 2, 1, 0};

class MatFXEmboss : public MatFXTest {
protected:
    GxMaterial* BumpMaterial()
    {
        material = GxMaterialCreate();
        GxMaterialSetTexture(material, GreyTexture(150, 200));
        GxMaterialEffectsSetType(material, gxMATFXEFFECTBUMPMAP);
        GxMaterialEffectsSetBumpiness(material, 1.0f);
        GxMaterialEffectsBumpMap& bump = GxMaterialEffectsGetSlot(material, gxMATFXSLOTBUMPMAP)->data.bumpMap;
        bump.invBumpWidth = 0.5f;
        lightFrame = GxFrameCreate();  // a light at the origin
        bump.frame = lightFrame;
        return material;
    }
    void TearDown() override
    {
        if (material) {
            GxMaterialDestroy(material);
        }
        if (lightFrame) {
            GxFrameDestroy(lightFrame);
        }
        MatFXTest::TearDown();
    }
    GxMaterial* material = nullptr;
    GxFrame* lightFrame = nullptr;
};

// A list of four vertices holds one whole triangle: the fourth vertex keeps its coordinates, nothing past the
// mesh is read, and the whole triangle's vertices are shifted.
TEST_F(MatFXEmboss, IncompleteTriangleOfAListIsNotReadPast)
{
    EmbossMesh mesh({kPosition, kTexCoords}, 20, kFourVertices, 4, D3DPT_TRIANGLELIST);
    mesh.block.mesh.material = BumpMaterial();
    std::vector<GxD3D9EmbossVertex> out(4);
    ASSERT_TRUE(GxMaterialEffectsBumpMapComputeVertices(&mesh.block.header, &mesh.block.mesh, out.data()));
    EXPECT_EQ(out[3].uv1[0], out[3].uv0[0]);
    EXPECT_EQ(out[3].uv1[1], out[3].uv0[1]);
    EXPECT_EQ(out[3].colour, 0xFFFFFFFFu);
    bool shifted = false;
    for (int i = 0; i < 3; i++) {
        shifted = shifted || out[i].uv1[0] != out[i].uv0[0] || out[i].uv1[1] != out[i].uv0[1];
        EXPECT_EQ(out[i].position[2], 2.0f);
    }
    EXPECT_TRUE(shifted);

    // A strip of two vertices has no triangle at all.
    EmbossMesh strip({kPosition, kTexCoords}, 20, std::vector<float>(kFourVertices.begin(), kFourVertices.begin() + 10),
                     2, D3DPT_TRIANGLESTRIP);
    strip.block.mesh.material = material;
    ASSERT_TRUE(GxMaterialEffectsBumpMapComputeVertices(&strip.block.header, &strip.block.mesh, out.data()));
    EXPECT_EQ(out[1].uv1[0], out[1].uv0[0]);
}

// Without coordinates (or positions) the emboss cannot be built: the bump routine draws the mesh plain.
TEST_F(MatFXEmboss, MeshWithoutCoordinatesIsDrawnPlain)
{
    std::vector<float> positions;
    for (size_t v = 0; v < 3; v++) {
        positions.insert(positions.end(), kFourVertices.begin() + v * 5, kFourVertices.begin() + v * 5 + 3);
    }
    EmbossMesh mesh({kPosition}, 12, positions, 3, D3DPT_TRIANGLELIST);
    GxMaterial* bump = BumpMaterial();
    mesh.block.mesh.material = bump;
    std::vector<GxD3D9EmbossVertex> out(3);
    EXPECT_FALSE(GxMaterialEffectsBumpMapComputeVertices(&mesh.block.header, &mesh.block.mesh, out.data()));
    GxD3D9SetVertexDeclaration(mesh.block.header.declaration);
    GxD3D9SetStreamSource(0, mesh.buffer, 0, 12);
    D3D9SoftClearLog(Device());
    ASSERT_EQ(Device()->BeginScene(), D3D_OK);
    GxMaterialEffectsRenderBumpMap(&mesh.block.header, &mesh.block.mesh, gxGEOMETRYTEXTURED, bump->texture, nullptr,
                                   nullptr);
    Device()->EndScene();
    EXPECT_EQ(Draws(), 1u);
    for (const D3D9SoftEvent& e : Log()) {
        EXPECT_FALSE(e.type == D3D9SOFT_STATE && e.kind == D3D9_STATE_FVF) << "emboss vertices set up";
    }
    ExpectStagesLeftBehind("bump drawn plain");
}

// ---------------------------------------------------------------------------------------------- construction

class MatFXMemory : public MatFXTest {
protected:
    void SetUp() override
    {
        memoryFunctions = GxTestMemoryReset();
        MatFXTest::SetUp();
    }
};

// Every allocation of the construction may fail: open then reports failure with both pipelines gone and nothing
// left behind, or builds both.
TEST_F(MatFXMemory, FailedConstructionLeavesNothing)
{
    GxMaterialEffectsPipelinesClose();
    int failures = 0;
    // The first try has the first pipeline's block growth at unlock fail, the others each allocation in turn.
    for (int k = -1; k < 64; k++) {
        const long before = GxTestLiveBlocks();
        gxTestMemory.mallocFailAfter = k < 0 ? -1 : k;
        gxTestMemory.reallocFailures = k < 0 ? 1 : 0;
        const GxBool opened = GxMaterialEffectsPipelinesOpen();
        gxTestMemory.mallocFailAfter = -1;
        gxTestMemory.reallocFailures = 0;
        GxTestTakeError();
        if (!opened) {
            failures++;
            EXPECT_EQ(gxD3D9MatFXState.atomicPipeline, nullptr);
            EXPECT_EQ(gxD3D9MatFXState.sectorPipeline, nullptr);
            EXPECT_LE(GxTestLiveBlocks(), before) << "after " << k << " allocations";
            continue;
        }
        EXPECT_NE(gxD3D9MatFXState.atomicPipeline, nullptr);
        EXPECT_NE(gxD3D9MatFXState.sectorPipeline, nullptr);
        break;
    }
    EXPECT_GT(failures, 0);
}

}  // namespace
