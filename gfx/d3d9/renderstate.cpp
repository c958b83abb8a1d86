// Render-state caches: engine-level states over deferred Direct3D render and texture-stage states, samplers, material.
#include "gfx/d3d9/renderstate.h"

#include <cstdint>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/raster.h"

namespace {

constexpr GxUInt32 numStageSlots = gxD3D9MAXTEXTURESTAGES * gxD3D9NUMTEXTURESTAGESTATES;
constexpr GxUInt32 numSamplerSlots = gxD3D9MAXTEXTURESTAGES * gxD3D9NUMSAMPLERSTATES;
constexpr GxUInt32 unknownValue = 0xFFFFFFFFu;

// Per-stage record of what the engine asked for.
struct StageRecord {
    const GxRaster* raster;  // as bound on the device
    GxUInt32 addressU;
    GxUInt32 addressV;
    GxUInt32 filterMode;
    GxUInt32 borderColour;
    GxUInt32 maxAnisotropy;
};

struct EngineState {
    GxBool zTest;
    GxBool zWrite;
    GxBool stencilEnable;
    GxUInt32 stencilFail;
    GxUInt32 stencilZFail;
    GxUInt32 stencilPass;
    GxUInt32 stencilFunction;
    GxUInt32 stencilRef;
    GxUInt32 stencilMask;
    GxUInt32 stencilWriteMask;
    GxBool vertexAlpha;
    GxBool textureAlpha;  // the raster bound to stage 0 has alpha
    GxUInt32 cullMode;
    GxBool fog;
    GxUInt32 fogType;
    GxReal fogDensity;
    GxUInt32 fogColour;
    GxUInt32 shadeMode;
    GxUInt32 srcBlend;
    GxUInt32 destBlend;
    GxUInt32 alphaFunction;
    GxBool alphaTestOn;  // the function is not "always"
};

struct MaterialCache {
    GxReal diffuse;
    GxReal ambient;
    GxRGBA colour;
    GxUInt32 flags;
    GxReal light[3];
    D3DMATERIAL9 material;
};

struct Caches {
    GxUInt32 rsWanted[gxD3D9NUMRENDERSTATES];
    GxUInt32 rsDirty[gxD3D9NUMRENDERSTATES];
    GxUInt32 rsSent[gxD3D9NUMRENDERSTATES];
    GxUInt32 rsList[gxD3D9NUMRENDERSTATES];
    GxUInt32 rsCount;

    GxUInt32 tsWanted[numStageSlots];
    GxUInt32 tsDirty[numStageSlots];
    GxUInt32 tsSent[numStageSlots];
    GxUInt32 tsList[numStageSlots];
    GxUInt32 tsCount;

    GxUInt32 samplerSent[numSamplerSlots];

    StageRecord stages[gxD3D9MAXTEXTURESTAGES];
    EngineState engine;
    MaterialCache material;
    GxReal ambientLight[3];
};

Caches caches = {};

// Direct3D filters of the engine's filter modes: minification and magnification, then mip.
const D3DTEXTUREFILTERTYPE filterTable[7][2] = {
    {D3DTEXF_NONE, D3DTEXF_NONE},     {D3DTEXF_POINT, D3DTEXF_NONE},   {D3DTEXF_LINEAR, D3DTEXF_NONE},
    {D3DTEXF_POINT, D3DTEXF_POINT},   {D3DTEXF_LINEAR, D3DTEXF_POINT}, {D3DTEXF_POINT, D3DTEXF_LINEAR},
    {D3DTEXF_LINEAR, D3DTEXF_LINEAR},
};
const GxUInt32 fogTable[4] = {D3DFOG_NONE, D3DFOG_LINEAR, D3DFOG_EXP, D3DFOG_EXP2};

// Largest engine value of each mapped vocabulary (the Direct3D number is the same).
constexpr GxUInt32 maxBlend = 11;
constexpr GxUInt32 maxAddress = 4;
constexpr GxUInt32 maxStencilOp = 8;
constexpr GxUInt32 maxCompare = 8;
constexpr GxUInt32 maxCull = 3;
constexpr GxUInt32 maxShade = 2;
constexpr GxUInt32 maxFogType = 3;
constexpr GxUInt32 maxFilter = 6;

IDirect3DDevice9* Device() { return GxD3D9Device(); }

const D3DCAPS9& Caps() { return *GxD3D9GetCaps(); }

bool HasFog() { return (Caps().RasterCaps & (D3DPRASTERCAPS_FOGVERTEX | D3DPRASTERCAPS_FOGTABLE)) != 0; }

bool HasTableFog()
{
    const DWORD wanted = D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_WFOG;
    return (Caps().RasterCaps & wanted) == wanted;
}

GxUInt32 AsUInt(const void* value) { return static_cast<GxUInt32>(reinterpret_cast<uintptr_t>(value)); }

GxUInt32 FloatBits(GxReal value)
{
    GxUInt32 bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

void Queue(D3DRENDERSTATETYPE state, GxUInt32 value) { GxD3D9SetRenderState(state, value); }

// ---- derived blending ----

bool BlendingOn() { return caches.engine.vertexAlpha || caches.engine.textureAlpha; }

void SetBlendSources(GxBool vertexAlpha, GxBool textureAlpha)
{
    const bool before = BlendingOn();
    caches.engine.vertexAlpha = vertexAlpha;
    caches.engine.textureAlpha = textureAlpha;
    const bool after = BlendingOn();
    if (before == after) {
        return;
    }
    Queue(D3DRS_ALPHABLENDENABLE, after ? TRUE : FALSE);
    Queue(D3DRS_ALPHATESTENABLE, after && caches.engine.alphaTestOn ? TRUE : FALSE);
}

void SetStageZeroAlpha(const GxRaster* raster)
{
    const bool alpha = raster && gxD3D9RasterExtOffset >= 0 && GxD3D9RASTEREXTFromConstRaster(raster)->alpha;
    if (alpha != static_cast<bool>(caches.engine.textureAlpha)) {
        SetBlendSources(caches.engine.vertexAlpha, alpha ? 1 : 0);
    }
}

// ---- samplers of a stage ----

void SendFilter(GxUInt32 stage, GxUInt32 mode)
{
    GxD3D9SetSamplerState(stage, D3DSAMP_MINFILTER, filterTable[mode][0]);
    GxD3D9SetSamplerState(stage, D3DSAMP_MAGFILTER, filterTable[mode][0]);
    GxD3D9SetSamplerState(stage, D3DSAMP_MIPFILTER, filterTable[mode][1]);
}

void SetStageAddressU(GxUInt32 stage, GxUInt32 mode)
{
    caches.stages[stage].addressU = mode;
    GxD3D9SetSamplerState(stage, D3DSAMP_ADDRESSU, mode);
}

void SetStageAddressV(GxUInt32 stage, GxUInt32 mode)
{
    caches.stages[stage].addressV = mode;
    GxD3D9SetSamplerState(stage, D3DSAMP_ADDRESSV, mode);
}

void SetStageFilter(GxUInt32 stage, GxUInt32 mode)
{
    caches.stages[stage].filterMode = mode;
    SendFilter(stage, mode);
}

void SetStageBorder(GxUInt32 stage, GxUInt32 colour)
{
    caches.stages[stage].borderColour = colour;
    GxD3D9SetSamplerState(stage, D3DSAMP_BORDERCOLOR, colour);
}

// Stage by stage: unbinds the texture, sends the stage record whole (the last-sent sampler values are unknown
// after a reset) and, above stage 0, queues the stage disabled.
void ResetStages(void)
{
    IDirect3DDevice9* device = Device();
    for (GxUInt32 stage = 0; stage < static_cast<GxUInt32>(gxD3D9MAXTEXTURESTAGES); stage++) {
        if (device) {
            device->SetTexture(stage, nullptr);
        }
        StageRecord& record = caches.stages[stage];
        record.raster = nullptr;
        SendFilter(stage, record.filterMode);
        GxD3D9SetSamplerState(stage, D3DSAMP_ADDRESSU, record.addressU);
        GxD3D9SetSamplerState(stage, D3DSAMP_ADDRESSV, record.addressV);
        GxD3D9SetSamplerState(stage, D3DSAMP_BORDERCOLOR, record.borderColour);
        GxD3D9SetSamplerState(stage, D3DSAMP_MAXANISOTROPY, record.maxAnisotropy);
        if (stage > 0) {
            GxD3D9SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
            GxD3D9SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        }
    }
}

// ---- engine-level setters ----

GxBool SetZTest(GxBool on)
{
    if (on == caches.engine.zTest) {
        return 1;
    }
    caches.engine.zTest = on;
    Queue(D3DRS_ZFUNC, on ? D3DCMP_LESSEQUAL : D3DCMP_ALWAYS);
    if (!caches.engine.zWrite) {
        Queue(D3DRS_ZENABLE, on ? D3DZB_TRUE : D3DZB_FALSE);
    }
    return 1;
}

GxBool SetZWrite(GxBool on)
{
    if (on == caches.engine.zWrite) {
        return 1;
    }
    caches.engine.zWrite = on;
    Queue(D3DRS_ZWRITEENABLE, on ? TRUE : FALSE);
    if (!caches.engine.zTest) {
        Queue(D3DRS_ZENABLE, on ? D3DZB_TRUE : D3DZB_FALSE);
    }
    return 1;
}

GxBool SetAlphaFunction(GxUInt32 function)
{
    GX_ASSERT(function <= maxCompare, "the alpha-test function is a comparison of the table");
    if (function == caches.engine.alphaFunction) {
        return 1;
    }
    caches.engine.alphaFunction = function;
    caches.engine.alphaTestOn = function != D3DCMP_ALWAYS;
    if (BlendingOn()) {
        Queue(D3DRS_ALPHATESTENABLE, caches.engine.alphaTestOn ? TRUE : FALSE);
    }
    Queue(D3DRS_ALPHAFUNC, function);
    return 1;
}

void QueueFogModes(GxUInt32 fogType)
{
    if (HasTableFog()) {
        Queue(D3DRS_FOGTABLEMODE, fogTable[fogType]);
        Queue(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    } else {
        Queue(D3DRS_FOGTABLEMODE, D3DFOG_NONE);
        Queue(D3DRS_FOGVERTEXMODE, fogTable[fogType]);
    }
}

GxBool SetFog(GxBool on)
{
    if (on && !HasFog()) {
        return 1;  // no fog on this device: the flag stays off
    }
    if (on == caches.engine.fog) {
        return 1;
    }
    caches.engine.fog = on;
    Queue(D3DRS_FOGENABLE, on ? TRUE : FALSE);
    return 1;
}

GxBool SetFogType(GxUInt32 type)
{
    GX_ASSERT(type <= maxFogType, "the fog type is one of the table");
    if (type == caches.engine.fogType) {
        return 1;
    }
    caches.engine.fogType = type;
    QueueFogModes(type);
    return 1;
}

GxBool SetFogDensity(const GxReal* density)
{
    GX_ASSERT(density != nullptr, "the fog density is given by address");
    if (*density == caches.engine.fogDensity) {
        return 1;
    }
    caches.engine.fogDensity = *density;
    Queue(D3DRS_FOGDENSITY, FloatBits(*density));
    return 1;
}

// Sets an engine scalar and its Direct3D state (the same number) when the value changes.
GxBool SetMapped(GxUInt32* field, D3DRENDERSTATETYPE state, GxUInt32 value, GxUInt32 max)
{
    GX_ASSERT(value <= max, "an engine value maps through its table");
    if (*field == value) {
        return 1;
    }
    *field = value;
    Queue(state, value);
    return 1;
}

// Addressing and filter values come from texture data as it was read: one past its table is refused.
GxBool SetStageZeroSampler(GxInt32 state, GxUInt32 value)
{
    StageRecord& stage = caches.stages[0];
    switch (state) {
    case gxRENDERSTATETEXTUREADDRESS:
        if (value > maxAddress) {
            return 0;
        }
        if (stage.addressU != value) {
            SetStageAddressU(0, value);
        }
        if (stage.addressV != value) {
            SetStageAddressV(0, value);
        }
        return 1;
    case gxRENDERSTATETEXTUREADDRESSU:
        if (value > maxAddress) {
            return 0;
        }
        if (stage.addressU != value) {
            SetStageAddressU(0, value);
        }
        return 1;
    case gxRENDERSTATETEXTUREADDRESSV:
        if (value > maxAddress) {
            return 0;
        }
        if (stage.addressV != value) {
            SetStageAddressV(0, value);
        }
        return 1;
    case gxRENDERSTATETEXTUREFILTER:
        return GxD3D9SetTextureFilterMode(value);
    default:  // border colour
        if (stage.borderColour != value) {
            SetStageBorder(0, value);
        }
        return 1;
    }
}

GxBool SetStencil(GxInt32 state, GxUInt32 value)
{
    EngineState& e = caches.engine;
    switch (state) {
    case gxRENDERSTATESTENCILENABLE: {
        const GxBool on = value ? 1 : 0;
        if (on != e.stencilEnable) {
            e.stencilEnable = on;
            Queue(D3DRS_STENCILENABLE, on ? TRUE : FALSE);
        }
        return 1;
    }
    case gxRENDERSTATESTENCILFAIL:
        return SetMapped(&e.stencilFail, D3DRS_STENCILFAIL, value, maxStencilOp);
    case gxRENDERSTATESTENCILZFAIL:
        return SetMapped(&e.stencilZFail, D3DRS_STENCILZFAIL, value, maxStencilOp);
    case gxRENDERSTATESTENCILPASS:
        return SetMapped(&e.stencilPass, D3DRS_STENCILPASS, value, maxStencilOp);
    case gxRENDERSTATESTENCILFUNCTION:
        return SetMapped(&e.stencilFunction, D3DRS_STENCILFUNC, value, maxCompare);
    case gxRENDERSTATESTENCILFUNCTIONREF:
        return SetMapped(&e.stencilRef, D3DRS_STENCILREF, value, unknownValue);
    case gxRENDERSTATESTENCILFUNCTIONMASK:
        return SetMapped(&e.stencilMask, D3DRS_STENCILMASK, value, unknownValue);
    default:  // write mask
        return SetMapped(&e.stencilWriteMask, D3DRS_STENCILWRITEMASK, value, unknownValue);
    }
}

// ---- reset and restore ----

void ForgetDeviceValues(void)
{
    for (GxUInt32 i = 0; i < gxD3D9NUMRENDERSTATES; i++) {
        caches.rsSent[i] = unknownValue;
    }
    // Their defaults are 0xFFFFFFFF, the unknown value itself: start from 0 so the defaults are sent.
    caches.rsSent[D3DRS_FOGCOLOR] = 0;
    caches.rsSent[D3DRS_STENCILMASK] = 0;
    caches.rsSent[D3DRS_STENCILWRITEMASK] = 0;
    caches.rsSent[D3DRS_AMBIENT] = 0;
    for (GxUInt32 i = 0; i < gxD3D9NUMRENDERSTATES; i++) {
        caches.rsWanted[i] = caches.rsSent[i];
        caches.rsDirty[i] = 0;
    }
    caches.rsCount = 0;
    for (GxUInt32 i = 0; i < numStageSlots; i++) {
        caches.tsSent[i] = unknownValue;
        caches.tsWanted[i] = unknownValue;
        caches.tsDirty[i] = 0;
    }
    caches.tsCount = 0;
    for (GxUInt32& sent : caches.samplerSent) {
        sent = unknownValue;
    }
    std::memset(&caches.material, 0, sizeof(caches.material));
}

void QueueStageZeroAndMaterialDefaults(void)
{
    GxD3D9SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    GxD3D9SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    GxD3D9SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    GxD3D9SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    Queue(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    Queue(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
    Queue(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    Queue(D3DRS_DITHERENABLE, (Caps().RasterCaps & D3DPRASTERCAPS_DITHER) ? TRUE : FALSE);
    Queue(D3DRS_SPECULARENABLE, FALSE);
    Queue(D3DRS_NORMALIZENORMALS, FALSE);
    Queue(D3DRS_AMBIENT, 0xFFFFFFFFu);
    Queue(D3DRS_LOCALVIEWER, FALSE);
}

void QueueStencil(void)
{
    const EngineState& e = caches.engine;
    Queue(D3DRS_STENCILENABLE, e.stencilEnable ? TRUE : FALSE);
    Queue(D3DRS_STENCILFAIL, e.stencilFail);
    Queue(D3DRS_STENCILZFAIL, e.stencilZFail);
    Queue(D3DRS_STENCILPASS, e.stencilPass);
    Queue(D3DRS_STENCILFUNC, e.stencilFunction);
    Queue(D3DRS_STENCILREF, e.stencilRef);
    Queue(D3DRS_STENCILMASK, e.stencilMask);
    Queue(D3DRS_STENCILWRITEMASK, e.stencilWriteMask);
}

void SetEngineDefaults(void)
{
    EngineState& e = caches.engine;
    e.fog = 0;
    e.fogType = 1;
    e.fogDensity = 1.0f;
    e.fogColour = 0;
    e.shadeMode = D3DSHADE_GOURAUD;
    e.zTest = 1;
    e.zWrite = 1;
    e.stencilEnable = 0;
    e.stencilFail = D3DSTENCILOP_KEEP;
    e.stencilZFail = D3DSTENCILOP_KEEP;
    e.stencilPass = D3DSTENCILOP_KEEP;
    e.stencilFunction = D3DCMP_ALWAYS;
    e.stencilRef = 0;
    e.stencilMask = 0xFFFFFFFFu;
    e.stencilWriteMask = 0xFFFFFFFFu;
    e.srcBlend = D3DBLEND_SRCALPHA;
    e.destBlend = D3DBLEND_INVSRCALPHA;
    e.alphaFunction = D3DCMP_GREATER;
    e.alphaTestOn = 1;
    e.vertexAlpha = 0;
    e.textureAlpha = 0;
    e.cullMode = D3DCULL_CW;
}

}  // namespace

// ---- Direct3D level ----

void GxD3D9SetRenderState(GxUInt32 state, GxUInt32 value)
{
    GX_ASSERT(state < gxD3D9NUMRENDERSTATES, "a render state of the cache");
    if (caches.rsWanted[state] == value) {
        return;
    }
    caches.rsWanted[state] = value;
    if (!caches.rsDirty[state]) {
        caches.rsDirty[state] = 1;
        caches.rsList[caches.rsCount++] = state;
    }
}

void GxD3D9GetRenderState(GxUInt32 state, GxUInt32* value)
{
    GX_ASSERT(value != nullptr && state < gxD3D9NUMRENDERSTATES, "a render state of the cache, read into a variable");
    *value = caches.rsWanted[state];
}

void GxD3D9SetTextureStageState(GxUInt32 stage, GxUInt32 state, GxUInt32 value)
{
    GX_ASSERT(stage < static_cast<GxUInt32>(gxD3D9MAXTEXTURESTAGES) && state < gxD3D9NUMTEXTURESTAGESTATES,
              "a texture-stage state of the cache");
    const GxUInt32 slot = stage * gxD3D9NUMTEXTURESTAGESTATES + state;
    if (caches.tsWanted[slot] == value) {
        return;
    }
    caches.tsWanted[slot] = value;
    if (!caches.tsDirty[slot]) {
        caches.tsDirty[slot] = 1;
        caches.tsList[caches.tsCount++] = slot;
    }
}

void GxD3D9SetSamplerState(GxUInt32 sampler, GxUInt32 state, GxUInt32 value)
{
    GX_ASSERT(sampler < static_cast<GxUInt32>(gxD3D9MAXTEXTURESTAGES) && state < gxD3D9NUMSAMPLERSTATES,
              "a sampler state of the cache");
    GxUInt32& sent = caches.samplerSent[sampler * gxD3D9NUMSAMPLERSTATES + state];
    if (sent == value) {
        return;
    }
    sent = value;
    IDirect3DDevice9* device = Device();
    if (device) {
        device->SetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(state), value);
    }
}

void GxD3D9RenderStateFlush(void)
{
    IDirect3DDevice9* device = Device();
    if (!device) {
        return;
    }
    for (GxUInt32 i = 0; i < caches.rsCount; i++) {
        const GxUInt32 state = caches.rsList[i];
        const GxUInt32 wanted = caches.rsWanted[state];
        caches.rsDirty[state] = 0;
        if (wanted != caches.rsSent[state]) {
            caches.rsSent[state] = wanted;
            device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), wanted);
        }
    }
    caches.rsCount = 0;
    for (GxUInt32 i = 0; i < caches.tsCount; i++) {
        const GxUInt32 slot = caches.tsList[i];
        const GxUInt32 wanted = caches.tsWanted[slot];
        caches.tsDirty[slot] = 0;
        if (wanted != caches.tsSent[slot]) {
            caches.tsSent[slot] = wanted;
            const GxUInt32 stage = slot / gxD3D9NUMTEXTURESTAGESTATES;
            const GxUInt32 state = slot % gxD3D9NUMTEXTURESTAGESTATES;
            device->SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(state), wanted);
        }
    }
    caches.tsCount = 0;
}

// ---- texture binding ----

GxBool GxD3D9SetTextureRaster(GxRaster* raster, GxUInt32 stage)
{
    GX_ASSERT(stage < static_cast<GxUInt32>(gxD3D9MAXTEXTURESTAGES), "a texture stage of the cache");
    if (stage == 0) {
        SetStageZeroAlpha(raster);
    }
    StageRecord& record = caches.stages[stage];
    if (record.raster == raster) {
        return 1;
    }
    record.raster = raster;
    IDirect3DDevice9* device = Device();
    if (!device) {
        return 1;
    }
    device->SetTexture(stage, raster ? GxD3D9RasterGetBaseTexture(raster) : nullptr);
    if (raster && gxD3D9RasterExtOffset >= 0 && GxD3D9RASTEREXTFromRaster(raster)->palette) {
        device->SetCurrentTexturePalette(GxD3D9RASTEREXTFromRaster(raster)->palette->paletteNumber);
    }
    return 1;
}

GxBool GxD3D9SetTextureFilterMode(GxUInt32 mode)
{
    if (mode > maxFilter) {
        return 0;
    }
    if (caches.stages[0].filterMode != mode) {
        SetStageFilter(0, mode);
    }
    return 1;
}

GxBool GxD3D9SetTexture(const GxTexture* texture, GxUInt32 stage)
{
    GX_ASSERT(stage < static_cast<GxUInt32>(gxD3D9MAXTEXTURESTAGES), "a texture stage of the cache");
    StageRecord& record = caches.stages[stage];
    if (!texture) {
        if (stage == 0) {
            SetStageZeroAlpha(nullptr);
        }
        if (record.raster != nullptr) {
            GxD3D9SetTextureRaster(nullptr, stage);
        }
        return 1;
    }
    // Codes outside the tables (a texture read from a damaged file) leave the sampler as it is.
    const GxUInt32 addressU = (texture->filterAddressing >> gxD3D9ADDRESSUSHIFT) & gxD3D9ADDRESSMASK;
    const GxUInt32 addressV = (texture->filterAddressing >> gxD3D9ADDRESSVSHIFT) & gxD3D9ADDRESSMASK;
    const GxUInt32 filter = texture->filterAddressing & gxD3D9FILTERMODEMASK;
    if (addressU <= maxAddress && addressU != record.addressU) {
        SetStageAddressU(stage, addressU);
    }
    if (addressV <= maxAddress && addressV != record.addressV) {
        SetStageAddressV(stage, addressV);
    }
    if (filter <= maxFilter && filter != record.filterMode) {
        SetStageFilter(stage, filter);
    }
    return GxD3D9SetTextureRaster(texture->raster, stage);
}

GxRaster* GxD3D9GetTextureRaster(GxUInt32 stage)
{
    GX_ASSERT(stage < static_cast<GxUInt32>(gxD3D9MAXTEXTURESTAGES), "a texture stage of the cache");
    return const_cast<GxRaster*>(caches.stages[stage].raster);
}

void GxD3D9TextureRasterForget(const GxRaster* raster)
{
    GX_ASSERT(raster != nullptr, "a raster that goes is named");
    for (GxUInt32 stage = 0; stage < static_cast<GxUInt32>(gxD3D9MAXTEXTURESTAGES); stage++) {
        if (caches.stages[stage].raster == raster) {
            GxD3D9SetTextureRaster(nullptr, stage);
        }
    }
}

GxBool GxD3D9SetVertexAlpha(GxBool on)
{
    const GxBool flag = on ? 1 : 0;
    if (flag != caches.engine.vertexAlpha) {
        SetBlendSources(flag, caches.engine.textureAlpha);
    }
    return 1;
}

GxBool GxD3D9GetVertexAlpha(void) { return caches.engine.vertexAlpha; }

// Blend words come from material-effect and tank data as they were read: one past the table is refused.
GxBool GxD3D9SetSrcBlend(GxUInt32 blend)
{
    return blend <= maxBlend && SetMapped(&caches.engine.srcBlend, D3DRS_SRCBLEND, blend, maxBlend);
}

GxBool GxD3D9SetDestBlend(GxUInt32 blend)
{
    return blend <= maxBlend && SetMapped(&caches.engine.destBlend, D3DRS_DESTBLEND, blend, maxBlend);
}

// ---- engine level ----

GxBool GxD3D9RenderStateSet(GxInt32 state, void* value)
{
    const GxUInt32 v = AsUInt(value);
    EngineState& e = caches.engine;
    switch (state) {
    case gxRENDERSTATETEXTURERASTER:
        return GxD3D9SetTextureRaster(static_cast<GxRaster*>(value), 0);
    case gxRENDERSTATETEXTUREADDRESS:
    case gxRENDERSTATETEXTUREADDRESSU:
    case gxRENDERSTATETEXTUREADDRESSV:
    case gxRENDERSTATETEXTUREFILTER:
    case gxRENDERSTATEBORDERCOLOR:
        return SetStageZeroSampler(state, v);
    case gxRENDERSTATETEXTUREPERSPECTIVE:
        return v ? 1 : 0;
    case gxRENDERSTATEZTESTENABLE:
        return SetZTest(v ? 1 : 0);
    case gxRENDERSTATEZWRITEENABLE:
        return SetZWrite(v ? 1 : 0);
    case gxRENDERSTATESHADEMODE:
        return SetMapped(&e.shadeMode, D3DRS_SHADEMODE, v, maxShade);
    case gxRENDERSTATESRCBLEND:
        return GxD3D9SetSrcBlend(v);
    case gxRENDERSTATEDESTBLEND:
        return GxD3D9SetDestBlend(v);
    case gxRENDERSTATEVERTEXALPHAENABLE:
        return GxD3D9SetVertexAlpha(v ? 1 : 0);
    case gxRENDERSTATEFOGENABLE:
        return SetFog(v ? 1 : 0);
    case gxRENDERSTATEFOGCOLOR:
        return SetMapped(&e.fogColour, D3DRS_FOGCOLOR, v, unknownValue);
    case gxRENDERSTATEFOGTYPE:
        return SetFogType(v);
    case gxRENDERSTATEFOGDENSITY:
        return SetFogDensity(static_cast<const GxReal*>(value));
    case gxRENDERSTATECULLMODE:
        return SetMapped(&e.cullMode, D3DRS_CULLMODE, v, maxCull);
    case gxRENDERSTATESTENCILENABLE:
    case gxRENDERSTATESTENCILFAIL:
    case gxRENDERSTATESTENCILZFAIL:
    case gxRENDERSTATESTENCILPASS:
    case gxRENDERSTATESTENCILFUNCTION:
    case gxRENDERSTATESTENCILFUNCTIONREF:
    case gxRENDERSTATESTENCILFUNCTIONMASK:
    case gxRENDERSTATESTENCILFUNCTIONWRITEMASK:
        return SetStencil(state, v);
    case gxRENDERSTATEALPHATESTFUNCTION:
        return SetAlphaFunction(v);
    case gxRENDERSTATEALPHATESTFUNCTIONREF:
        Queue(D3DRS_ALPHAREF, v);
        return 1;
    default:
        return 0;
    }
}

GxBool GxD3D9RenderStateGet(GxInt32 state, void* value)
{
    GX_ASSERT(value != nullptr, "a state is read into the caller's variable");
    const EngineState& e = caches.engine;
    const StageRecord& stage = caches.stages[0];
    GxUInt32 result = 0;
    switch (state) {
    case gxRENDERSTATETEXTURERASTER:
        *static_cast<GxRaster**>(value) = GxD3D9GetTextureRaster(0);
        return 1;
    case gxRENDERSTATEFOGDENSITY:
        *static_cast<GxReal*>(value) = e.fogDensity;
        return 1;
    case gxRENDERSTATETEXTUREADDRESS:
        if (stage.addressU != stage.addressV) {
            *static_cast<GxUInt32*>(value) = 0;
            return 0;
        }
        result = stage.addressU;
        break;
    case gxRENDERSTATETEXTUREADDRESSU:
        result = stage.addressU;
        break;
    case gxRENDERSTATETEXTUREADDRESSV:
        result = stage.addressV;
        break;
    case gxRENDERSTATETEXTUREFILTER:
        result = stage.filterMode;
        break;
    case gxRENDERSTATEBORDERCOLOR:
        result = stage.borderColour;
        break;
    case gxRENDERSTATEZTESTENABLE:
        result = e.zTest;
        break;
    case gxRENDERSTATEZWRITEENABLE:
        result = e.zWrite;
        break;
    case gxRENDERSTATESHADEMODE:
        result = e.shadeMode;
        break;
    case gxRENDERSTATESRCBLEND:
        result = e.srcBlend;
        break;
    case gxRENDERSTATEDESTBLEND:
        result = e.destBlend;
        break;
    case gxRENDERSTATEVERTEXALPHAENABLE:
        result = e.vertexAlpha;
        break;
    case gxRENDERSTATEFOGENABLE:
        result = e.fog;
        break;
    case gxRENDERSTATEFOGCOLOR:
        result = e.fogColour;
        break;
    case gxRENDERSTATEFOGTYPE:
        result = e.fogType;
        break;
    case gxRENDERSTATECULLMODE:
        result = e.cullMode;
        break;
    case gxRENDERSTATESTENCILENABLE:
        result = e.stencilEnable;
        break;
    case gxRENDERSTATESTENCILFAIL:
        result = e.stencilFail;
        break;
    case gxRENDERSTATESTENCILZFAIL:
        result = e.stencilZFail;
        break;
    case gxRENDERSTATESTENCILPASS:
        result = e.stencilPass;
        break;
    case gxRENDERSTATESTENCILFUNCTION:
        result = e.stencilFunction;
        break;
    case gxRENDERSTATESTENCILFUNCTIONREF:
        result = e.stencilRef;
        break;
    case gxRENDERSTATESTENCILFUNCTIONMASK:
        result = e.stencilMask;
        break;
    case gxRENDERSTATESTENCILFUNCTIONWRITEMASK:
        result = e.stencilWriteMask;
        break;
    case gxRENDERSTATEALPHATESTFUNCTION:
        result = e.alphaFunction;
        break;
    case gxRENDERSTATEALPHATESTFUNCTIONREF:
        result = caches.rsWanted[D3DRS_ALPHAREF];
        break;
    default:
        return 0;
    }
    *static_cast<GxUInt32*>(value) = result;
    return 1;
}

// ---- lifecycle ----

void GxD3D9RenderStateReset(void)
{
    ForgetDeviceValues();
    SetEngineDefaults();

    Queue(D3DRS_FOGENABLE, FALSE);
    QueueFogModes(1);
    Queue(D3DRS_FOGCOLOR, 0);
    Queue(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    Queue(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    Queue(D3DRS_ZWRITEENABLE, TRUE);
    Queue(D3DRS_ZENABLE, D3DZB_TRUE);
    QueueStencil();

    const bool linear = (Caps().TextureFilterCaps & D3DPTFILTERCAPS_MINFLINEAR) != 0;
    for (StageRecord& record : caches.stages) {
        record.filterMode = linear ? 2 : 1;
        record.addressU = D3DTADDRESS_WRAP;
        record.addressV = D3DTADDRESS_WRAP;
        record.borderColour = 0xFF000000u;
        record.maxAnisotropy = 1;
    }
    ResetStages();

    Queue(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    Queue(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    Queue(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    Queue(D3DRS_ALPHAREF, 0);
    Queue(D3DRS_ALPHABLENDENABLE, FALSE);
    Queue(D3DRS_ALPHATESTENABLE, FALSE);
    Queue(D3DRS_LIGHTING, FALSE);
    Queue(D3DRS_CULLMODE, D3DCULL_CW);
    QueueStageZeroAndMaterialDefaults();
    GxD3D9RenderStateFlush();
}

void GxD3D9RenderStateRestore(void)
{
    const GxUInt32 alphaRef = caches.rsWanted[D3DRS_ALPHAREF];
    const GxUInt32 fogStart = caches.rsWanted[D3DRS_FOGSTART];
    const GxUInt32 fogEnd = caches.rsWanted[D3DRS_FOGEND];
    ForgetDeviceValues();

    const EngineState& e = caches.engine;
    Queue(D3DRS_FOGDENSITY, FloatBits(e.fogDensity));
    Queue(D3DRS_FOGENABLE, e.fog ? TRUE : FALSE);
    QueueFogModes(e.fogType);
    Queue(D3DRS_FOGSTART, fogStart);
    Queue(D3DRS_FOGEND, fogEnd);
    Queue(D3DRS_FOGCOLOR, e.fogColour);
    Queue(D3DRS_SHADEMODE, e.shadeMode);
    Queue(D3DRS_ZWRITEENABLE, e.zWrite ? TRUE : FALSE);
    Queue(D3DRS_ZFUNC, e.zTest ? D3DCMP_LESSEQUAL : D3DCMP_ALWAYS);
    Queue(D3DRS_ZENABLE, e.zTest || e.zWrite ? D3DZB_TRUE : D3DZB_FALSE);
    QueueStencil();

    ResetStages();

    Queue(D3DRS_SRCBLEND, e.srcBlend);
    Queue(D3DRS_DESTBLEND, e.destBlend);
    Queue(D3DRS_ALPHAFUNC, e.alphaFunction);
    Queue(D3DRS_ALPHAREF, alphaRef);
    // Stage 0 is unbound now, so only vertex alpha can keep blending on.
    caches.engine.textureAlpha = 0;
    const bool blending = BlendingOn();
    Queue(D3DRS_ALPHABLENDENABLE, blending ? TRUE : FALSE);
    Queue(D3DRS_ALPHATESTENABLE, blending && e.alphaTestOn ? TRUE : FALSE);
    Queue(D3DRS_LIGHTING, FALSE);
    Queue(D3DRS_CULLMODE, e.cullMode);
    QueueStageZeroAndMaterialDefaults();
    GxD3D9RenderStateFlush();
}

// ---- material ----

void GxD3D9SetAmbientLightColour(GxReal red, GxReal green, GxReal blue)
{
    caches.ambientLight[0] = red;
    caches.ambientLight[1] = green;
    caches.ambientLight[2] = blue;
}

GxBool GxD3D9SetSurfaceProperties(const GxSurfaceProperties* props, const GxRGBA* colour, GxUInt32 flags)
{
    const GxUInt32 reduced = flags & (gxD3D9GEOMETRYPRELIT | gxD3D9GEOMETRYMODULATEMATERIALCOLOR);
    const GxReal* light = caches.ambientLight;
    MaterialCache& cache = caches.material;
    if (cache.diffuse == props->diffuse && cache.ambient == props->ambient &&
        std::memcmp(&cache.colour, colour, sizeof(GxRGBA)) == 0 && cache.flags == reduced &&
        std::memcmp(cache.light, light, sizeof(cache.light)) == 0) {
        return 1;
    }
    cache.diffuse = props->diffuse;
    cache.ambient = props->ambient;
    cache.colour = *colour;
    cache.flags = reduced;
    std::memcpy(cache.light, light, sizeof(cache.light));

    D3DMATERIAL9& m = cache.material;
    std::memset(&m, 0, sizeof(m));
    const bool prelit = (reduced & gxD3D9GEOMETRYPRELIT) != 0;
    const bool white = colour->red == 255 && colour->green == 255 && colour->blue == 255 && colour->alpha == 255;
    const GxReal d = props->diffuse;
    const GxReal a = props->ambient;
    if (!(reduced & gxD3D9GEOMETRYMODULATEMATERIALCOLOR) || white) {
        m.Diffuse = D3DCOLORVALUE{d, d, d, 1.0f};
        Queue(D3DRS_AMBIENT, 0xFFFFFFFFu);
        Queue(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
        Queue(D3DRS_COLORVERTEX, prelit ? TRUE : FALSE);
        Queue(D3DRS_EMISSIVEMATERIALSOURCE, prelit ? D3DMCS_COLOR1 : D3DMCS_MATERIAL);
        if (a == 1.0f) {
            m.Ambient = D3DCOLORVALUE{light[0], light[1], light[2], 1.0f};
        } else {
            m.Ambient = D3DCOLORVALUE{light[0] * a, light[1] * a, light[2] * a, 1.0f};
        }
    } else {
        const GxReal k = d / 255.0f;
        const GxReal e = a / 255.0f;
        const GxReal r = colour->red;
        const GxReal g = colour->green;
        const GxReal b = colour->blue;
        m.Diffuse = D3DCOLORVALUE{r * k, g * k, b * k, colour->alpha / 255.0f};
        const D3DCOLORVALUE lit = {r * light[0] * e, g * light[1] * e, b * light[2] * e, 1.0f};
        if (prelit) {
            Queue(D3DRS_AMBIENT, D3DCOLOR_ARGB(colour->alpha, colour->red, colour->green, colour->blue));
            Queue(D3DRS_COLORVERTEX, TRUE);
            Queue(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
            Queue(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
            m.Ambient = D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 1.0f};
            m.Emissive = lit;
        } else {
            Queue(D3DRS_AMBIENT, 0xFFFFFFFFu);
            Queue(D3DRS_COLORVERTEX, FALSE);
            Queue(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
            Queue(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
            m.Ambient = lit;
        }
    }
    m.Ambient.a = 1.0f;
    m.Emissive.a = 1.0f;
    m.Specular = D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 1.0f};
    m.Power = 0.0f;
    IDirect3DDevice9* device = Device();
    return device && SUCCEEDED(device->SetMaterial(&m)) ? 1 : 0;
}
