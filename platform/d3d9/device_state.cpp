// Device state: render targets, fixed-function state, texture stages and samplers, vertex input and shader
// bindings. Every binding holds an internal reference on its object (D3D9Rebind).
#include <algorithm>
#include <cstring>

#include "platform/d3d9/device_local.h"

// ---------------------------------------------------------------- targets

HRESULT D3D9Device::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget)
{
    if (RenderTargetIndex >= D3D9_MAX_RENDERTARGETS)
        return D3DERR_INVALIDCALL;
    if (!pRenderTarget) {
        if (RenderTargetIndex == 0)
            return D3DERR_INVALIDCALL;
        D3D9Rebind<D3D9Surface>(targetObjects_[RenderTargetIndex], nullptr);
        state_.renderTargets[RenderTargetIndex] = nullptr;
        Changed(D3D9_STATE_RENDERTARGET, RenderTargetIndex, 0, 0);
        return D3D_OK;
    }
    if (RenderTargetIndex >= caps_.NumSimultaneousRTs)
        return D3DERR_INVALIDCALL;
    D3D9Surface* surface = D3D9SurfaceFrom(pRenderTarget);
    if (!(surface->Data()->usage & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    D3D9Rebind<D3D9Surface>(targetObjects_[RenderTargetIndex], surface);
    state_.renderTargets[RenderTargetIndex] = surface->Data();
    if (RenderTargetIndex == 0) {
        // Setting target 0 resets the viewport (and scissor) to the whole target.
        state_.viewport = D3DVIEWPORT9{0, 0, surface->Data()->width, surface->Data()->height, 0.0f, 1.0f};
        state_.scissor =
            RECT{0, 0, static_cast<LONG>(surface->Data()->width), static_cast<LONG>(surface->Data()->height)};
    }
    Changed(D3D9_STATE_RENDERTARGET, RenderTargetIndex, 0, 0);
    if (RenderTargetIndex == 0)
        Changed(D3D9_STATE_VIEWPORT, 0, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget)
{
    if (!ppRenderTarget)
        return D3DERR_INVALIDCALL;
    *ppRenderTarget = nullptr;
    if (RenderTargetIndex >= D3D9_MAX_RENDERTARGETS)
        return D3DERR_INVALIDCALL;
    D3D9Surface* s = targetObjects_[RenderTargetIndex];
    if (!s)
        return D3DERR_NOTFOUND;
    s->AddRef();
    *ppRenderTarget = s;
    return D3D_OK;
}

HRESULT D3D9Device::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil)
{
    D3D9Surface* surface = pNewZStencil ? D3D9SurfaceFrom(pNewZStencil) : nullptr;
    if (surface && !D3D9FormatIsDepth(surface->Data()->format))
        return D3DERR_INVALIDCALL;
    D3D9Rebind<D3D9Surface>(depthObject_, surface);
    state_.depthStencil = surface ? surface->Data() : nullptr;
    Changed(D3D9_STATE_DEPTHSTENCIL, 0, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface)
{
    if (!ppZStencilSurface)
        return D3DERR_INVALIDCALL;
    *ppZStencilSurface = nullptr;
    if (!depthObject_)
        return D3DERR_NOTFOUND;
    depthObject_->AddRef();
    *ppZStencilSurface = depthObject_;
    return D3D_OK;
}

// ---------------------------------------------------------------- fixed-function state

static D3DMATRIX* TransformSlot(D3D9State* state, D3DTRANSFORMSTATETYPE type)
{
    const DWORD t = static_cast<DWORD>(type);
    if (t == D3DTS_VIEW)
        return &state->view;
    if (t == D3DTS_PROJECTION)
        return &state->projection;
    if (t >= D3DTS_TEXTURE0 && t <= D3DTS_TEXTURE7)
        return &state->textureTransforms[t - D3DTS_TEXTURE0];
    if (t >= kWorldMatrixBase && t < kWorldMatrixBase + D3D9_MAX_WORLD_MATRICES)
        return &state->world[t - kWorldMatrixBase];
    return nullptr;
}

HRESULT D3D9Device::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix)
{
    D3DMATRIX* slot = TransformSlot(&state_, State);
    if (!slot || !pMatrix)
        return D3DERR_INVALIDCALL;
    *slot = *pMatrix;
    Changed(D3D9_STATE_TRANSFORM, static_cast<DWORD>(State), 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix)
{
    D3DMATRIX* slot = TransformSlot(&state_, State);
    if (!slot || !pMatrix)
        return D3DERR_INVALIDCALL;
    *pMatrix = *slot;
    return D3D_OK;
}

HRESULT D3D9Device::MultiplyTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix)
{
    D3DMATRIX* slot = TransformSlot(&state_, State);
    if (!slot || !pMatrix)
        return D3DERR_INVALIDCALL;
    D3DMATRIX out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out.m[r][c] = pMatrix->m[r][0] * slot->m[0][c] + pMatrix->m[r][1] * slot->m[1][c] +
                          pMatrix->m[r][2] * slot->m[2][c] + pMatrix->m[r][3] * slot->m[3][c];
        }
    }
    *slot = out;
    Changed(D3D9_STATE_TRANSFORM, static_cast<DWORD>(State), 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::SetViewport(const D3DVIEWPORT9* pViewport)
{
    if (!pViewport)
        return D3DERR_INVALIDCALL;
    const D3D9SurfaceData* target = state_.renderTargets[0];
    if (target && (static_cast<uint64_t>(pViewport->X) + pViewport->Width > target->width ||
                   static_cast<uint64_t>(pViewport->Y) + pViewport->Height > target->height)) {
        return D3DERR_INVALIDCALL;
    }
    if (pViewport->Width == 0 || pViewport->Height == 0)
        return D3DERR_INVALIDCALL;
    state_.viewport = *pViewport;
    Changed(D3D9_STATE_VIEWPORT, 0, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetViewport(D3DVIEWPORT9* pViewport)
{
    if (!pViewport)
        return D3DERR_INVALIDCALL;
    *pViewport = state_.viewport;
    return D3D_OK;
}

HRESULT D3D9Device::SetMaterial(const D3DMATERIAL9* pMaterial)
{
    if (!pMaterial)
        return D3DERR_INVALIDCALL;
    state_.material = *pMaterial;
    Changed(D3D9_STATE_MATERIAL, 0, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetMaterial(D3DMATERIAL9* pMaterial)
{
    if (!pMaterial)
        return D3DERR_INVALIDCALL;
    *pMaterial = state_.material;
    return D3D_OK;
}

// The slot of a light index, grown on demand; null past the limit.
static D3D9LightSlot* LightSlot(D3D9State* state, DWORD index, bool grow)
{
    if (index >= D3D9_MAX_LIGHTS)
        return nullptr;
    if (index >= state->lights.size()) {
        if (!grow)
            return nullptr;
        D3D9LightSlot empty;
        std::memset(&empty, 0, sizeof(empty));
        state->lights.resize(index + 1, empty);
    }
    return &state->lights[index];
}

static void DefaultLight(D3DLIGHT9* light)
{
    // What LightEnable gives an index that was never set: a white directional light along +z.
    std::memset(light, 0, sizeof(*light));
    light->Type = D3DLIGHT_DIRECTIONAL;
    light->Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
    light->Direction = D3DVECTOR{0.0f, 0.0f, 1.0f};
}

HRESULT D3D9Device::SetLight(DWORD Index, const D3DLIGHT9* pLight)
{
    if (!pLight || pLight->Type < D3DLIGHT_POINT || pLight->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    if (pLight->Range < 0.0f)
        return D3DERR_INVALIDCALL;
    D3D9LightSlot* slot = LightSlot(&state_, Index, true);
    if (!slot)
        return D3DERR_INVALIDCALL;
    slot->light = *pLight;
    slot->set = true;
    Changed(D3D9_STATE_LIGHT, Index, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetLight(DWORD Index, D3DLIGHT9* pLight)
{
    D3D9LightSlot* slot = LightSlot(&state_, Index, false);
    if (!pLight || !slot || !slot->set)
        return D3DERR_INVALIDCALL;
    *pLight = slot->light;
    return D3D_OK;
}

HRESULT D3D9Device::LightEnable(DWORD Index, BOOL Enable)
{
    D3D9LightSlot* slot = LightSlot(&state_, Index, true);
    if (!slot)
        return D3DERR_INVALIDCALL;
    if (!slot->set) {
        DefaultLight(&slot->light);
        slot->set = true;
    }
    slot->enabled = Enable ? TRUE : FALSE;
    Changed(D3D9_STATE_LIGHTENABLE, Index, 0, slot->enabled);
    return D3D_OK;
}

HRESULT D3D9Device::GetLightEnable(DWORD Index, BOOL* pEnable)
{
    D3D9LightSlot* slot = LightSlot(&state_, Index, false);
    if (!pEnable || !slot || !slot->set)
        return D3DERR_INVALIDCALL;
    *pEnable = slot->enabled;
    return D3D_OK;
}

HRESULT D3D9Device::SetClipPlane(DWORD Index, const float* pPlane)
{
    if (Index >= D3D9_MAX_CLIPPLANES || !pPlane)
        return D3DERR_INVALIDCALL;
    std::memcpy(state_.clipPlanes[Index], pPlane, sizeof(state_.clipPlanes[Index]));
    Changed(D3D9_STATE_CLIPPLANE, Index, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetClipPlane(DWORD Index, float* pPlane)
{
    if (Index >= D3D9_MAX_CLIPPLANES || !pPlane)
        return D3DERR_INVALIDCALL;
    std::memcpy(pPlane, state_.clipPlanes[Index], sizeof(state_.clipPlanes[Index]));
    return D3D_OK;
}

HRESULT D3D9Device::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value)
{
    if (static_cast<DWORD>(State) >= D3DRS_COUNT)
        return D3DERR_INVALIDCALL;
    state_.renderStates[State] = Value;
    Changed(D3D9_STATE_RENDER, static_cast<DWORD>(State), 0, Value);
    return D3D_OK;
}

HRESULT D3D9Device::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue)
{
    if (static_cast<DWORD>(State) >= D3DRS_COUNT || !pValue)
        return D3DERR_INVALIDCALL;
    *pValue = state_.renderStates[State];
    return D3D_OK;
}

HRESULT D3D9Device::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture)
{
    if (!ppTexture)
        return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    if (Stage >= D3DMAXSAMPLERS)
        return D3DERR_INVALIDCALL;
    D3D9Resource* r = textureObjects_[Stage];
    if (!r)
        return D3D_OK;
    if (D3D9Texture* t = dynamic_cast<D3D9Texture*>(r)) {
        t->AddRef();
        *ppTexture = t;
    } else if (D3D9CubeTexture* c = dynamic_cast<D3D9CubeTexture*>(r)) {
        c->AddRef();
        *ppTexture = c;
    }
    return D3D_OK;
}

HRESULT D3D9Device::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture)
{
    if (Stage >= D3DMAXSAMPLERS)
        return D3DERR_INVALIDCALL;
    D3D9Resource* object = nullptr;
    D3D9TextureData* data = D3D9TextureDataFrom(pTexture, &object);
    if (data && D3D9IsSystemPool(data->pool))
        return D3DERR_INVALIDCALL;
    D3D9Rebind<D3D9Resource>(textureObjects_[Stage], object);
    state_.textures[Stage] = data;
    Changed(D3D9_STATE_TEXTURE, Stage, 0, 0);
    return D3D_OK;
}

// The cell of a per-stage or per-sampler state table; null when either index is out of range.
template <size_t Units, size_t Types>
static DWORD* StateCell(DWORD (&table)[Units][Types], DWORD unit, DWORD type)
{
    if (unit >= Units || type >= Types)
        return nullptr;
    return &table[unit][type];
}

// A state cell read out; D3DERR_INVALIDCALL for a cell out of range or nowhere to put the value.
static HRESULT ReadStateCell(const DWORD* cell, DWORD* pValue)
{
    if (!cell || !pValue)
        return D3DERR_INVALIDCALL;
    *pValue = *cell;
    return D3D_OK;
}

HRESULT D3D9Device::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue)
{
    return ReadStateCell(StateCell(state_.textureStageStates, Stage, Type), pValue);
}

HRESULT D3D9Device::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value)
{
    DWORD* cell = StateCell(state_.textureStageStates, Stage, Type);
    if (!cell)
        return D3DERR_INVALIDCALL;
    *cell = Value;
    Changed(D3D9_STATE_TEXTURESTAGE, Stage, static_cast<DWORD>(Type), Value);
    return D3D_OK;
}

HRESULT D3D9Device::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue)
{
    return ReadStateCell(StateCell(state_.samplerStates, Sampler, Type), pValue);
}

HRESULT D3D9Device::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value)
{
    DWORD* cell = StateCell(state_.samplerStates, Sampler, Type);
    if (!cell)
        return D3DERR_INVALIDCALL;
    *cell = Value;
    Changed(D3D9_STATE_SAMPLER, Sampler, static_cast<DWORD>(Type), Value);
    return D3D_OK;
}

// Whether the device's texture-op caps allow an op (op n is bit n - 1).
static bool TextureOpSupported(const D3DCAPS9& caps, DWORD op)
{
    if (op < kFirstTextureOp || op > kLastTextureOp)
        return false;
    return (caps.TextureOpCaps & (1u << (op - kFirstTextureOp))) != 0;
}

// Accepts any arrangement the capabilities allow, in one pass.
HRESULT D3D9Device::ValidateDevice(DWORD* pNumPasses)
{
    if (!pNumPasses)
        return D3DERR_INVALIDCALL;
    *pNumPasses = 0;
    for (DWORD stage = 0; stage < D3DMAXTEXTURESTAGES; ++stage) {
        DWORD colorOp = state_.textureStageStates[stage][D3DTSS_COLOROP];
        if (colorOp == D3DTOP_DISABLE)
            break;
        if (stage >= caps_.MaxTextureBlendStages)
            return D3DERR_TOOMANYOPERATIONS;
        if (!TextureOpSupported(caps_, colorOp))
            return D3DERR_UNSUPPORTEDCOLOROPERATION;
        if (!TextureOpSupported(caps_, state_.textureStageStates[stage][D3DTSS_ALPHAOP])) {
            return D3DERR_UNSUPPORTEDALPHAOPERATION;
        }
    }
    *pNumPasses = 1;
    return D3D_OK;
}

HRESULT D3D9Device::SetPaletteEntries(UINT PaletteNumber, const PALETTEENTRY* pEntries)
{
    if (PaletteNumber >= D3D9_MAX_PALETTES || !pEntries)
        return D3DERR_INVALIDCALL;
    if (PaletteNumber >= state_.palettes.size())
        state_.palettes.resize(PaletteNumber + 1);
    state_.palettes[PaletteNumber].assign(pEntries, pEntries + kPaletteEntries);
    Changed(D3D9_STATE_PALETTE, PaletteNumber, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY* pEntries)
{
    if (PaletteNumber >= state_.palettes.size() || state_.palettes[PaletteNumber].empty() || !pEntries) {
        return D3DERR_INVALIDCALL;
    }
    std::copy(state_.palettes[PaletteNumber].begin(), state_.palettes[PaletteNumber].end(), pEntries);
    return D3D_OK;
}

HRESULT D3D9Device::SetCurrentTexturePalette(UINT PaletteNumber)
{
    if (PaletteNumber >= state_.palettes.size() || state_.palettes[PaletteNumber].empty())
        return D3DERR_INVALIDCALL;
    state_.currentPalette = PaletteNumber;
    Changed(D3D9_STATE_CURRENTPALETTE, 0, 0, PaletteNumber);
    return D3D_OK;
}

HRESULT D3D9Device::GetCurrentTexturePalette(UINT* PaletteNumber)
{
    if (!PaletteNumber)
        return D3DERR_INVALIDCALL;
    *PaletteNumber = state_.currentPalette;
    return D3D_OK;
}

HRESULT D3D9Device::SetScissorRect(const RECT* pRect)
{
    if (!pRect || pRect->left > pRect->right || pRect->top > pRect->bottom)
        return D3DERR_INVALIDCALL;
    state_.scissor = *pRect;
    Changed(D3D9_STATE_SCISSOR, 0, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetScissorRect(RECT* pRect)
{
    if (!pRect)
        return D3DERR_INVALIDCALL;
    *pRect = state_.scissor;
    return D3D_OK;
}

HRESULT D3D9Device::SetSoftwareVertexProcessing(BOOL bSoftware)
{
    if (!(behavior_ & D3DCREATE_MIXED_VERTEXPROCESSING))
        return D3DERR_INVALIDCALL;
    state_.softwareVertexProcessing = bSoftware ? TRUE : FALSE;
    return D3D_OK;
}

// ---------------------------------------------------------------- vertex input and shaders

// Hands the caller a reference to a bound object, or null when none is bound.
template <typename Interface, typename Object>
static HRESULT ReturnBound(Object* object, Interface** out)
{
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = object;
    if (object)
        object->AddRef();
    return D3D_OK;
}

// Binds a vertex or pixel shader (or none) and returns its data for the state.
template <typename Interface>
static D3D9ShaderData* BindShader(D3D9Shader<Interface>** slot, Interface* shader)
{
    D3D9Shader<Interface>* object = static_cast<D3D9Shader<Interface>*>(shader);
    D3D9Rebind(*slot, object);
    return object ? object->data : nullptr;
}

// Shader constant registers: false when the range passes the last register.
template <size_t N>
static bool WriteConstants(float (&registers)[N][kFloatsPerVector], UINT start, const float* data, UINT count)
{
    if (!data || static_cast<uint64_t>(start) + count > N)
        return false;
    std::memcpy(registers[start], data, sizeof(registers[0]) * count);
    return true;
}

template <size_t N>
static bool ReadConstants(const float (&registers)[N][kFloatsPerVector], UINT start, float* data, UINT count)
{
    if (!data || static_cast<uint64_t>(start) + count > N)
        return false;
    std::memcpy(data, registers[start], sizeof(registers[0]) * count);
    return true;
}

HRESULT D3D9Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl)
{
    D3D9VertexDeclaration* decl = static_cast<D3D9VertexDeclaration*>(pDecl);
    D3D9Rebind<D3D9VertexDeclaration>(declObject_, decl);
    state_.declaration = decl ? decl->data : nullptr;
    if (decl)
        state_.fvf = 0;  // a declaration and an FVF exclude each other
    Changed(D3D9_STATE_DECLARATION, 0, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl)
{
    return ReturnBound(declObject_, ppDecl);
}

HRESULT D3D9Device::SetFVF(DWORD FVF)
{
    if (FVF != 0) {
        D3D9Rebind<D3D9VertexDeclaration>(declObject_, nullptr);
        state_.declaration = nullptr;
    }
    state_.fvf = FVF;
    Changed(D3D9_STATE_FVF, 0, 0, FVF);
    return D3D_OK;
}

HRESULT D3D9Device::GetFVF(DWORD* pFVF)
{
    if (!pFVF)
        return D3DERR_INVALIDCALL;
    *pFVF = state_.fvf;
    return D3D_OK;
}

HRESULT D3D9Device::SetVertexShader(IDirect3DVertexShader9* pShader)
{
    state_.vertexShader = BindShader(&vsObject_, pShader);
    Changed(D3D9_STATE_VERTEXSHADER, 0, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetVertexShader(IDirect3DVertexShader9** ppShader) { return ReturnBound(vsObject_, ppShader); }

HRESULT D3D9Device::SetPixelShader(IDirect3DPixelShader9* pShader)
{
    state_.pixelShader = BindShader(&psObject_, pShader);
    Changed(D3D9_STATE_PIXELSHADER, 0, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetPixelShader(IDirect3DPixelShader9** ppShader) { return ReturnBound(psObject_, ppShader); }

HRESULT D3D9Device::SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount)
{
    if (!WriteConstants(state_.vsConstants, StartRegister, pConstantData, Vector4fCount))
        return D3DERR_INVALIDCALL;
    Changed(D3D9_STATE_VSCONSTANT, StartRegister, Vector4fCount, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount)
{
    if (!ReadConstants(state_.vsConstants, StartRegister, pConstantData, Vector4fCount))
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT D3D9Device::SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount)
{
    if (!WriteConstants(state_.psConstants, StartRegister, pConstantData, Vector4fCount))
        return D3DERR_INVALIDCALL;
    Changed(D3D9_STATE_PSCONSTANT, StartRegister, Vector4fCount, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount)
{
    if (!ReadConstants(state_.psConstants, StartRegister, pConstantData, Vector4fCount))
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT D3D9Device::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                    UINT Stride)
{
    if (StreamNumber >= D3D9_MAX_STREAMS)
        return D3DERR_INVALIDCALL;
    if (pStreamData && StreamNumber >= caps_.MaxStreams)
        return D3DERR_INVALIDCALL;
    if (OffsetInBytes != 0 && !(caps_.DevCaps2 & D3DDEVCAPS2_STREAMOFFSET))
        return D3DERR_INVALIDCALL;
    if (Stride > caps_.MaxStreamStride)
        return D3DERR_INVALIDCALL;
    D3D9VertexBuffer* vb = static_cast<D3D9VertexBuffer*>(pStreamData);
    if (vb && OffsetInBytes > vb->core.data->size)
        return D3DERR_INVALIDCALL;
    D3D9Rebind<D3D9VertexBuffer>(streamObjects_[StreamNumber], vb);
    state_.streams[StreamNumber].buffer = vb ? vb->core.data : nullptr;
    state_.streams[StreamNumber].offset = OffsetInBytes;
    state_.streams[StreamNumber].stride = Stride;
    Changed(D3D9_STATE_STREAM, StreamNumber, OffsetInBytes, Stride);
    return D3D_OK;
}

HRESULT D3D9Device::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                                    UINT* pStride)
{
    if (StreamNumber >= D3D9_MAX_STREAMS || !ppStreamData || !pOffsetInBytes || !pStride)
        return D3DERR_INVALIDCALL;
    *ppStreamData = streamObjects_[StreamNumber];
    if (*ppStreamData)
        (*ppStreamData)->AddRef();
    *pOffsetInBytes = state_.streams[StreamNumber].offset;
    *pStride = state_.streams[StreamNumber].stride;
    return D3D_OK;
}

HRESULT D3D9Device::SetIndices(IDirect3DIndexBuffer9* pIndexData)
{
    D3D9IndexBuffer* ib = static_cast<D3D9IndexBuffer*>(pIndexData);
    D3D9Rebind<D3D9IndexBuffer>(indexObject_, ib);
    state_.indices = ib ? ib->core.data : nullptr;
    Changed(D3D9_STATE_INDICES, 0, 0, 0);
    return D3D_OK;
}

HRESULT D3D9Device::GetIndices(IDirect3DIndexBuffer9** ppIndexData) { return ReturnBound(indexObject_, ppIndexData); }
