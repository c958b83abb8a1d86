// Tests of the render-state caches: deferral and flush, engine-level values, blending, samplers, restore.
#include <cstddef>
#include <cstdint>
#include <utility>

#include "gfx/core/texture.h"
#include "gfx/d3d9/cache_testing.h"
#include "gfx/d3d9/device_testing.h"
#include "gfx/d3d9/raster.h"

namespace {

void* V(uintptr_t value) { return reinterpret_cast<void*>(value); }

GxUInt32 Get(GxInt32 state)
{
    GxUInt32 value = 0xDEADBEEF;
    EXPECT_TRUE(GxD3D9RenderStateGet(state, &value)) << "state " << state;
    return value;
}

// A raster record with the driver's extension right behind the header, backed by a real texture.
struct FakeRaster {
    GxRaster raster;
    GxD3D9RasterExt ext;
};

class RenderStateTest : public GxD3D9CacheTest {
protected:
    GxInt32 savedOffset = -1;
    FakeRaster rasters[2] = {};
    IDirect3DTexture9* textures[2] = {};

    void SetUp() override
    {
        GxD3D9CacheTest::SetUp();
        savedOffset = gxD3D9RasterExtOffset;
        gxD3D9RasterExtOffset = offsetof(FakeRaster, ext);
        for (int i = 0; i < 2; i++) {
            ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &textures[i], nullptr),
                      D3D_OK);
            rasters[i].raster.parent = &rasters[i].raster;
            rasters[i].raster.type = gxRASTERTYPETEXTURE;
            rasters[i].ext.texture = static_cast<IDirect3DBaseTexture9*>(textures[i]);
            rasters[i].ext.lockedMipLevel = 0xFF;
        }
        rasters[0].ext.alpha = 1;
        ClearLog();
    }

    void TearDown() override
    {
        GxD3D9TextureRasterForget(&rasters[0].raster);
        GxD3D9TextureRasterForget(&rasters[1].raster);
        for (IDirect3DTexture9* texture : textures) {
            if (texture) {
                texture->Release();
            }
        }
        gxD3D9RasterExtOffset = savedOffset;
        GxD3D9CacheTest::TearDown();
    }
};

TEST_F(RenderStateTest, ChangesWaitForTheFlushAndOnlyChangedStatesReachTheDevice)
{
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATECULLMODE, V(3)));
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATESRCBLEND, V(2)));
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEZWRITEENABLE, V(1)));  // already on
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEFOGCOLOR, V(0x123456)));
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEFOGCOLOR, V(0)));  // set back before the flush
    EXPECT_EQ(Count(D3D9_STATE_RENDER), 0u) << "nothing may reach the device before the flush";

    GxD3D9RenderStateFlush();
    const std::vector<StateEvent> expected = {{D3DRS_CULLMODE, 0, 3}, {D3DRS_SRCBLEND, 0, 2}};
    EXPECT_EQ(Events(D3D9_STATE_RENDER), expected);

    ClearLog();
    GxD3D9RenderStateFlush();
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATECULLMODE, V(3)));
    GxD3D9SetRenderState(D3DRS_SRCBLEND, 2);
    GxD3D9RenderStateFlush();
    EXPECT_EQ(Count(D3D9_STATE_RENDER), 0u) << "redundant sets and a second flush send nothing";

    // Texture-stage states are deferred the same way.
    GxD3D9SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    EXPECT_EQ(Count(D3D9_STATE_TEXTURESTAGE), 0u);
    GxD3D9RenderStateFlush();
    const std::vector<StateEvent> stage = {{1, D3DTSS_COLOROP, D3DTOP_MODULATE}};
    EXPECT_EQ(Events(D3D9_STATE_TEXTURESTAGE), stage);
    EXPECT_EQ(Count(D3D9_STATE_RENDER), 0u);
}

TEST_F(RenderStateTest, DeviceAnswersAreNotCheckedAndAFlushedStateCountsAsSent)
{
    GxD3D9TestDevice refusing(device);
    refusing.refusedRenderState = D3DRS_FOGCOLOR;
    refusing.refusedStageState = D3DTSS_COLOROP;
    gxD3D9State.device = &refusing;
    GxD3D9SetRenderState(D3DRS_FOGCOLOR, 0x123456);
    GxD3D9SetRenderState(D3DRS_CULLMODE, 3);
    GxD3D9SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    GxD3D9RenderStateFlush();
    EXPECT_EQ(LastRenderState(D3DRS_CULLMODE), 3);

    // The refused states were recorded as sent: nothing is tried again, and setting them again sends nothing.
    ClearLog();
    refusing.refusedRenderState = GxD3D9TestDevice::kNone;
    refusing.refusedStageState = GxD3D9TestDevice::kNone;
    GxD3D9RenderStateFlush();
    GxD3D9SetRenderState(D3DRS_FOGCOLOR, 0x123456);
    GxD3D9SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    GxD3D9RenderStateFlush();
    gxD3D9State.device = device;
    EXPECT_EQ(Count(D3D9_STATE_RENDER), 0u);
    EXPECT_EQ(Count(D3D9_STATE_TEXTURESTAGE), 0u);
}

TEST_F(RenderStateTest, ResetSendsDefaultsAndEngineValuesReportThem)
{
    GxD3D9RenderStateReset();
    EXPECT_EQ(LastRenderState(D3DRS_STENCILMASK), 0xFFFFFFFFLL);
    EXPECT_EQ(LastRenderState(D3DRS_STENCILWRITEMASK), 0xFFFFFFFFLL);
    EXPECT_EQ(LastRenderState(D3DRS_AMBIENT), 0xFFFFFFFFLL);

    const std::pair<GxInt32, GxUInt32> defaults[] = {
        {gxRENDERSTATEZTESTENABLE, 1},      {gxRENDERSTATESHADEMODE, 2},
        {gxRENDERSTATEDESTBLEND, 6},        {gxRENDERSTATECULLMODE, 2},
        {gxRENDERSTATETEXTUREFILTER, 2},    {gxRENDERSTATEBORDERCOLOR, 0xFF000000u},
        {gxRENDERSTATEFOGTYPE, 1},          {gxRENDERSTATESTENCILFUNCTIONMASK, 0xFFFFFFFFu},
        {gxRENDERSTATEALPHATESTFUNCTION, 5}};
    for (const auto& d : defaults) {
        EXPECT_EQ(Get(d.first), d.second) << "state " << d.first;
    }
    GxReal density = 0.0f;
    EXPECT_TRUE(GxD3D9RenderStateGet(gxRENDERSTATEFOGDENSITY, &density));
    EXPECT_EQ(density, 1.0f);
    GxRaster* raster = &rasters[0].raster;
    EXPECT_TRUE(GxD3D9RenderStateGet(gxRENDERSTATETEXTURERASTER, &raster));
    EXPECT_EQ(raster, nullptr);
}

TEST_F(RenderStateTest, UnsupportedStatesAndValuesFailWithoutChangingAnything)
{
    GxUInt32 value = 0;
    for (GxInt32 state : {0, 5, 18, 19, 31, -1}) {
        EXPECT_FALSE(GxD3D9RenderStateGet(state, &value)) << state;
    }
    for (GxInt32 state : {0, 18, 19, 31}) {
        EXPECT_FALSE(GxD3D9RenderStateSet(state, V(1))) << state;
    }
    EXPECT_FALSE(GxD3D9RenderStateSet(gxRENDERSTATETEXTUREPERSPECTIVE, V(0)));
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATETEXTUREPERSPECTIVE, V(1)));

    // Blend, filter and addressing values, which files hand on, are refused outside their tables.
    const std::pair<GxInt32, uintptr_t> outside[] = {
        {gxRENDERSTATESRCBLEND, 12},      {gxRENDERSTATEDESTBLEND, 12},      {gxRENDERSTATETEXTUREFILTER, 7},
        {gxRENDERSTATETEXTUREADDRESS, 5}, {gxRENDERSTATETEXTUREADDRESSU, 5}, {gxRENDERSTATETEXTUREADDRESSV, 16}};
    for (const auto& o : outside) {
        EXPECT_FALSE(GxD3D9RenderStateSet(o.first, V(o.second))) << o.first;
    }
    EXPECT_EQ(Get(gxRENDERSTATESRCBLEND), static_cast<GxUInt32>(D3DBLEND_SRCALPHA));
    GxD3D9RenderStateFlush();
    EXPECT_EQ(Count(D3D9_STATE_RENDER), 0u);
    EXPECT_EQ(Count(D3D9_STATE_SAMPLER), 0u);

    // Addressing U and V apart: the combined state has no single value.
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATETEXTUREADDRESSU, V(3)));
    value = 99;
    EXPECT_FALSE(GxD3D9RenderStateGet(gxRENDERSTATETEXTUREADDRESS, &value));
    EXPECT_EQ(value, 0u);
}

TEST_F(RenderStateTest, DepthStatesShareZEnable)
{
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEZTESTENABLE, V(0)));
    GxD3D9RenderStateFlush();
    EXPECT_EQ(LastRenderState(D3DRS_ZFUNC), D3DCMP_ALWAYS);
    EXPECT_EQ(LastRenderState(D3DRS_ZENABLE), -1) << "z write still needs the depth buffer";

    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEZWRITEENABLE, V(0)));
    GxD3D9RenderStateFlush();
    EXPECT_EQ(LastRenderState(D3DRS_ZWRITEENABLE), FALSE);
    EXPECT_EQ(LastRenderState(D3DRS_ZENABLE), D3DZB_FALSE);

    ClearLog();
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEZTESTENABLE, V(1)));
    GxD3D9RenderStateFlush();
    EXPECT_EQ(LastRenderState(D3DRS_ZFUNC), D3DCMP_LESSEQUAL);
    EXPECT_EQ(LastRenderState(D3DRS_ZENABLE), D3DZB_TRUE);
}

TEST_F(RenderStateTest, BlendingFollowsVertexAlphaAndTheStageZeroRaster)
{
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, V(1)));
    GxD3D9RenderStateFlush();
    EXPECT_EQ(LastRenderState(D3DRS_ALPHABLENDENABLE), TRUE);
    EXPECT_EQ(LastRenderState(D3DRS_ALPHATESTENABLE), TRUE);

    // Always passing: the alpha test goes off even while blending.
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEALPHATESTFUNCTION, V(8)));
    GxD3D9RenderStateFlush();
    EXPECT_EQ(LastRenderState(D3DRS_ALPHATESTENABLE), FALSE);
    EXPECT_EQ(LastRenderState(D3DRS_ALPHAFUNC), D3DCMP_ALWAYS);
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEALPHATESTFUNCTION, V(5)));

    // A raster with alpha keeps blending on when vertex alpha goes off.
    EXPECT_TRUE(GxD3D9SetTextureRaster(&rasters[0].raster, 0));
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, V(0)));
    GxD3D9RenderStateFlush();
    EXPECT_EQ(LastRenderState(D3DRS_ALPHABLENDENABLE), TRUE);

    // An opaque raster turns it off; alpha on stage 1 does not count.
    ClearLog();
    EXPECT_TRUE(GxD3D9SetTextureRaster(&rasters[0].raster, 1));
    EXPECT_TRUE(GxD3D9SetTextureRaster(&rasters[1].raster, 0));
    GxD3D9RenderStateFlush();
    EXPECT_EQ(LastRenderState(D3DRS_ALPHABLENDENABLE), FALSE);
    EXPECT_EQ(LastRenderState(D3DRS_ALPHATESTENABLE), FALSE);
    EXPECT_EQ(GxD3D9GetTextureRaster(0), &rasters[1].raster);
    EXPECT_EQ(GxD3D9GetTextureRaster(1), &rasters[0].raster);

    // Binding the raster already bound sends no texture, but its alpha still drives blending.
    ClearLog();
    EXPECT_TRUE(GxD3D9SetTextureRaster(&rasters[1].raster, 0));
    rasters[1].ext.alpha = 1;
    EXPECT_TRUE(GxD3D9SetTextureRaster(&rasters[1].raster, 0));
    GxD3D9RenderStateFlush();
    EXPECT_EQ(Count(D3D9_STATE_TEXTURE), 0u);
    EXPECT_EQ(LastRenderState(D3DRS_ALPHABLENDENABLE), TRUE);
}

TEST_F(RenderStateTest, SamplersAreSentAtOnceAndOnlyWhenChanged)
{
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATETEXTUREFILTER, V(5)));
    const std::vector<StateEvent> filters = {{0, D3DSAMP_MINFILTER, D3DTEXF_POINT},
                                             {0, D3DSAMP_MAGFILTER, D3DTEXF_POINT},
                                             {0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR}};
    EXPECT_EQ(Events(D3D9_STATE_SAMPLER), filters);

    // State 9 itself: the mip filter alone when only it changes, nothing for the same mode or one beyond the table.
    ClearLog();
    EXPECT_TRUE(GxD3D9SetTextureFilterMode(3));
    const std::vector<StateEvent> mipOnly = {{0, D3DSAMP_MIPFILTER, D3DTEXF_POINT}};
    EXPECT_EQ(Events(D3D9_STATE_SAMPLER), mipOnly) << "min and mag filters did not change";
    ClearLog();
    EXPECT_TRUE(GxD3D9SetTextureFilterMode(3));
    EXPECT_FALSE(GxD3D9SetTextureFilterMode(7));
    EXPECT_EQ(Count(D3D9_STATE_SAMPLER), 0u);
    GxUInt32 mode = 0;
    GxD3D9RenderStateGet(gxRENDERSTATETEXTUREFILTER, &mode);
    EXPECT_EQ(mode, 3u);

    ClearLog();
    GxD3D9SetSamplerState(3, D3DSAMP_ADDRESSW, D3DTADDRESS_CLAMP);
    GxD3D9SetSamplerState(3, D3DSAMP_ADDRESSW, D3DTADDRESS_CLAMP);
    EXPECT_EQ(Count(D3D9_STATE_SAMPLER), 1u);

    // A texture's packed field: filter 1, addressing U clamp, V mirror, on stage 2.
    ClearLog();
    GxTexture texture = {};
    texture.raster = &rasters[1].raster;
    texture.filterAddressing = 0x2301;
    EXPECT_TRUE(GxD3D9SetTexture(&texture, 2));
    const std::vector<StateEvent> packed = {{2, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP},
                                            {2, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR},
                                            {2, D3DSAMP_MINFILTER, D3DTEXF_POINT},
                                            {2, D3DSAMP_MAGFILTER, D3DTEXF_POINT}};
    ASSERT_EQ(GxD3D9GetCaps()->TextureFilterCaps & D3DPTFILTERCAPS_MINFLINEAR,
              static_cast<DWORD>(D3DPTFILTERCAPS_MINFLINEAR))
        << "stages start linear";
    EXPECT_EQ(Events(D3D9_STATE_SAMPLER), packed);
    EXPECT_EQ(Count(D3D9_STATE_TEXTURE), 1u);

    // Codes outside the tables leave the samplers alone; no texture unbinds.
    ClearLog();
    texture.filterAddressing = 0x99FF;
    EXPECT_TRUE(GxD3D9SetTexture(&texture, 2));
    EXPECT_EQ(Count(D3D9_STATE_SAMPLER), 0u);
    EXPECT_TRUE(GxD3D9SetTexture(nullptr, 2));
    EXPECT_EQ(GxD3D9GetTextureRaster(2), nullptr);
    EXPECT_EQ(Count(D3D9_STATE_TEXTURE), 1u);
}

TEST_F(RenderStateTest, FogNeedsTheDevice)
{
    GxReal density = 0.5f;
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEFOGDENSITY, &density));
    GxD3D9RenderStateFlush();
    EXPECT_EQ(LastRenderState(D3DRS_FOGDENSITY), 0x3F000000);

    gxD3D9State.caps.RasterCaps &= ~static_cast<DWORD>(D3DPRASTERCAPS_FOGVERTEX | D3DPRASTERCAPS_FOGTABLE);
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEFOGENABLE, V(1)));
    EXPECT_EQ(Get(gxRENDERSTATEFOGENABLE), 0u) << "no fog on this device";
}

TEST_F(RenderStateTest, SurfacePropertiesMakeTheMaterialOnce)
{
    const GxSurfaceProperties props = {0.5f, 1.0f, 0.75f};
    const GxRGBA white = {255, 255, 255, 255};
    const GxRGBA red = {255, 0, 0, 128};
    GxD3D9SetAmbientLightColour(0.2f, 0.4f, 0.6f);

    EXPECT_TRUE(GxD3D9SetSurfaceProperties(&props, &white, gxD3D9GEOMETRYMODULATEMATERIALCOLOR));
    D3DMATERIAL9 modulated;
    ASSERT_EQ(device->GetMaterial(&modulated), D3D_OK);
    EXPECT_TRUE(GxD3D9SetSurfaceProperties(&props, &white, 0));
    D3DMATERIAL9 plain;
    ASSERT_EQ(device->GetMaterial(&plain), D3D_OK);
    EXPECT_EQ(memcmp(&modulated, &plain, sizeof(plain)), 0) << "opaque white modulates as no modulation";
    EXPECT_FLOAT_EQ(plain.Diffuse.r, 0.75f);
    EXPECT_FLOAT_EQ(plain.Ambient.g, 0.2f);
    EXPECT_EQ(Count(D3D9_STATE_MATERIAL), 2u);

    ClearLog();
    EXPECT_TRUE(GxD3D9SetSurfaceProperties(&props, &white, 0x37));  // other flag bits do not matter
    EXPECT_EQ(Count(D3D9_STATE_MATERIAL), 0u);

    EXPECT_TRUE(GxD3D9SetSurfaceProperties(&props, &red, gxD3D9GEOMETRYMODULATEMATERIALCOLOR | gxD3D9GEOMETRYPRELIT));
    D3DMATERIAL9 lit;
    ASSERT_EQ(device->GetMaterial(&lit), D3D_OK);
    EXPECT_FLOAT_EQ(lit.Diffuse.r, 0.75f);
    EXPECT_FLOAT_EQ(lit.Diffuse.a, 128 / 255.0f);
    EXPECT_FLOAT_EQ(lit.Emissive.r, 255 * 0.2f * (0.5f / 255.0f));
    EXPECT_FLOAT_EQ(lit.Ambient.r, 0.0f);
    GxD3D9RenderStateFlush();
    EXPECT_EQ(LastRenderState(D3DRS_AMBIENT), static_cast<long long>(D3DCOLOR_ARGB(128, 255, 0, 0)));
    EXPECT_EQ(LastRenderState(D3DRS_AMBIENTMATERIALSOURCE), D3DMCS_COLOR1);

    // A refused material fails, but the cache keeps the new inputs: the same call again changes nothing.
    GxD3D9TestDevice refusing(device);
    refusing.refuseMaterial = true;
    gxD3D9State.device = &refusing;
    const GxSurfaceProperties other = {0.25f, 1.0f, 0.5f};
    EXPECT_FALSE(GxD3D9SetSurfaceProperties(&other, &white, 0));
    refusing.refuseMaterial = false;
    ClearLog();
    EXPECT_TRUE(GxD3D9SetSurfaceProperties(&other, &white, 0));
    gxD3D9State.device = device;
    EXPECT_EQ(Count(D3D9_STATE_MATERIAL), 0u);
}

TEST_F(RenderStateTest, RestoreAfterADeviceLossSendsTheEngineStateAgain)
{
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATECULLMODE, V(3)));
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEZWRITEENABLE, V(0)));
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATESTENCILENABLE, V(1)));
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEALPHATESTFUNCTIONREF, V(0x40)));
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, V(1)));
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATETEXTUREADDRESSV, V(3)));
    EXPECT_TRUE(GxD3D9SetTextureRaster(&rasters[0].raster, 0));
    GxD3D9SetRenderState(D3DRS_FOGSTART, 0x41200000);
    GxD3D9RenderStateFlush();

    D3D9SoftLoseDevice(device, 1);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    GxD3D9DynamicVertexBuffersRelease();
    ASSERT_EQ(device->Reset(&present), D3D_OK);
    DWORD cull = 0;
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    ASSERT_EQ(cull, static_cast<DWORD>(D3DCULL_CCW)) << "the reset returned the device to its defaults";

    ClearLog();
    GxD3D9RenderStateRestore();
    const struct {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } expected[] = {{D3DRS_CULLMODE, D3DCULL_CCW}, {D3DRS_ZWRITEENABLE, FALSE},     {D3DRS_STENCILENABLE, TRUE},
                    {D3DRS_ALPHAREF, 0x40},        {D3DRS_ALPHABLENDENABLE, TRUE},  {D3DRS_ALPHATESTENABLE, TRUE},
                    {D3DRS_FOGSTART, 0x41200000},  {D3DRS_STENCILMASK, 0xFFFFFFFF}, {D3DRS_LIGHTING, FALSE}};
    for (const auto& e : expected) {
        DWORD value = 0;
        device->GetRenderState(e.state, &value);
        EXPECT_EQ(value, e.value) << "render state " << e.state;
    }
    DWORD address = 0;
    device->GetSamplerState(0, D3DSAMP_ADDRESSV, &address);
    EXPECT_EQ(address, static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(GxD3D9GetTextureRaster(0), nullptr) << "textures are unbound by the restore";
    EXPECT_EQ(Get(gxRENDERSTATECULLMODE), 3u);

    // The caches now match the device: setting the same values sends nothing.
    ClearLog();
    EXPECT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATECULLMODE, V(3)));
    GxD3D9SetRenderState(D3DRS_ALPHAREF, 0x40);
    GxD3D9RenderStateFlush();
    EXPECT_EQ(Count(D3D9_STATE_RENDER), 0u);
    EXPECT_TRUE(GxD3D9DynamicVertexBuffersRestore());
}

}  // namespace
