// Test device of the driver: forwards every call to a real device, and refuses the states a test names.
#pragma once

#include "platform/d3d9/d3d9.h"

// Stands between the driver and `inner` (which it does not own): references go to `inner`, and the
// render state or texture-stage state named below (and the material, when asked) fails with D3DERR_INVALIDCALL
// and never reaches it.
struct GxD3D9TestDevice : IDirect3DDevice9 {
    static constexpr DWORD kNone = 0xFFFFFFFFu;

    explicit GxD3D9TestDevice(IDirect3DDevice9* device) : inner(device) {}

    IDirect3DDevice9* inner;
    DWORD refusedRenderState = kNone;
    DWORD refusedStageState = kNone;
    bool refuseMaterial = false;

    ULONG AddRef() override { return inner->AddRef(); }
    ULONG Release() override { return inner->Release(); }
    HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override
    {
        return static_cast<DWORD>(State) == refusedRenderState ? D3DERR_INVALIDCALL
                                                               : inner->SetRenderState(State, Value);
    }
    HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override
    {
        return static_cast<DWORD>(Type) == refusedStageState ? D3DERR_INVALIDCALL
                                                             : inner->SetTextureStageState(Stage, Type, Value);
    }

    // Everything else is the inner device's.
    HRESULT TestCooperativeLevel() override { return inner->TestCooperativeLevel(); }
    UINT GetAvailableTextureMem() override { return inner->GetAvailableTextureMem(); }
    HRESULT EvictManagedResources() override { return inner->EvictManagedResources(); }
    HRESULT GetDirect3D(IDirect3D9** ppD3D9) override { return inner->GetDirect3D(ppD3D9); }
    HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override { return inner->GetDeviceCaps(pCaps); }
    HRESULT GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override
    {
        return inner->GetDisplayMode(iSwapChain, pMode);
    }
    HRESULT
    GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* pParameters) override
    {
        return inner->GetCreationParameters(pParameters);
    }
    HRESULT
    CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* pPresentationParameters, IDirect3DSwapChain9** pSwapChain) override
    {
        return inner->CreateAdditionalSwapChain(pPresentationParameters, pSwapChain);
    }
    HRESULT GetSwapChain(UINT iSwapChain, IDirect3DSwapChain9** pSwapChain) override
    {
        return inner->GetSwapChain(iSwapChain, pSwapChain);
    }
    UINT GetNumberOfSwapChains() override { return inner->GetNumberOfSwapChains(); }
    HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override
    {
        return inner->Reset(pPresentationParameters);
    }
    HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                    const void* pDirtyRegion) override
    {
        return inner->Present(pSourceRect, pDestRect, hDestWindowOverride, pDirtyRegion);
    }
    HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                          IDirect3DSurface9** ppBackBuffer) override
    {
        return inner->GetBackBuffer(iSwapChain, iBackBuffer, Type, ppBackBuffer);
    }
    void SetGammaRamp(UINT iSwapChain, DWORD Flags, const D3DGAMMARAMP* pRamp) override
    {
        return inner->SetGammaRamp(iSwapChain, Flags, pRamp);
    }
    void GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp) override { return inner->GetGammaRamp(iSwapChain, pRamp); }
    HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                          IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override
    {
        return inner->CreateTexture(Width, Height, Levels, Usage, Format, Pool, ppTexture, pSharedHandle);
    }
    HRESULT CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle) override
    {
        return inner->CreateCubeTexture(EdgeLength, Levels, Usage, Format, Pool, ppCubeTexture, pSharedHandle);
    }
    HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                               IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override
    {
        return inner->CreateVertexBuffer(Length, Usage, FVF, Pool, ppVertexBuffer, pSharedHandle);
    }
    HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override
    {
        return inner->CreateIndexBuffer(Length, Usage, Format, Pool, ppIndexBuffer, pSharedHandle);
    }
    HRESULT CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                               DWORD MultisampleQuality, BOOL Lockable, IDirect3DSurface9** ppSurface,
                               HANDLE* pSharedHandle) override
    {
        return inner->CreateRenderTarget(Width, Height, Format, MultiSample, MultisampleQuality, Lockable, ppSurface,
                                         pSharedHandle);
    }
    HRESULT CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                      DWORD MultisampleQuality, BOOL Discard, IDirect3DSurface9** ppSurface,
                                      HANDLE* pSharedHandle) override
    {
        return inner->CreateDepthStencilSurface(Width, Height, Format, MultiSample, MultisampleQuality, Discard,
                                                ppSurface, pSharedHandle);
    }
    HRESULT CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                        IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override
    {
        return inner->CreateOffscreenPlainSurface(Width, Height, Format, Pool, ppSurface, pSharedHandle);
    }
    HRESULT UpdateSurface(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                          IDirect3DSurface9* pDestinationSurface, const POINT* pDestPoint) override
    {
        return inner->UpdateSurface(pSourceSurface, pSourceRect, pDestinationSurface, pDestPoint);
    }
    HRESULT UpdateTexture(IDirect3DBaseTexture9* pSourceTexture, IDirect3DBaseTexture9* pDestinationTexture) override
    {
        return inner->UpdateTexture(pSourceTexture, pDestinationTexture);
    }
    HRESULT GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) override
    {
        return inner->GetRenderTargetData(pRenderTarget, pDestSurface);
    }
    HRESULT StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect, IDirect3DSurface9* pDestSurface,
                        const RECT* pDestRect, D3DTEXTUREFILTERTYPE Filter) override
    {
        return inner->StretchRect(pSourceSurface, pSourceRect, pDestSurface, pDestRect, Filter);
    }
    HRESULT ColorFill(IDirect3DSurface9* pSurface, const RECT* pRect, D3DCOLOR color) override
    {
        return inner->ColorFill(pSurface, pRect, color);
    }
    HRESULT SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) override
    {
        return inner->SetRenderTarget(RenderTargetIndex, pRenderTarget);
    }
    HRESULT GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) override
    {
        return inner->GetRenderTarget(RenderTargetIndex, ppRenderTarget);
    }
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) override
    {
        return inner->SetDepthStencilSurface(pNewZStencil);
    }
    HRESULT
    GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override
    {
        return inner->GetDepthStencilSurface(ppZStencilSurface);
    }
    HRESULT BeginScene() override { return inner->BeginScene(); }
    HRESULT EndScene() override { return inner->EndScene(); }
    HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override
    {
        return inner->Clear(Count, pRects, Flags, Color, Z, Stencil);
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override
    {
        return inner->SetTransform(State, pMatrix);
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override
    {
        return inner->GetTransform(State, pMatrix);
    }
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override
    {
        return inner->MultiplyTransform(State, pMatrix);
    }
    HRESULT SetViewport(const D3DVIEWPORT9* pViewport) override { return inner->SetViewport(pViewport); }
    HRESULT GetViewport(D3DVIEWPORT9* pViewport) override { return inner->GetViewport(pViewport); }
    HRESULT SetMaterial(const D3DMATERIAL9* pMaterial) override
    {
        return refuseMaterial ? D3DERR_INVALIDCALL : inner->SetMaterial(pMaterial);
    }
    HRESULT GetMaterial(D3DMATERIAL9* pMaterial) override { return inner->GetMaterial(pMaterial); }
    HRESULT SetLight(DWORD Index, const D3DLIGHT9* pLight) override { return inner->SetLight(Index, pLight); }
    HRESULT GetLight(DWORD Index, D3DLIGHT9* pLight) override { return inner->GetLight(Index, pLight); }
    HRESULT LightEnable(DWORD Index, BOOL Enable) override { return inner->LightEnable(Index, Enable); }
    HRESULT GetLightEnable(DWORD Index, BOOL* pEnable) override { return inner->GetLightEnable(Index, pEnable); }
    HRESULT SetClipPlane(DWORD Index, const float* pPlane) override { return inner->SetClipPlane(Index, pPlane); }
    HRESULT GetClipPlane(DWORD Index, float* pPlane) override { return inner->GetClipPlane(Index, pPlane); }
    HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override
    {
        return inner->GetRenderState(State, pValue);
    }
    HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override
    {
        return inner->GetTexture(Stage, ppTexture);
    }
    HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override
    {
        return inner->SetTexture(Stage, pTexture);
    }
    HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override
    {
        return inner->GetTextureStageState(Stage, Type, pValue);
    }
    HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override
    {
        return inner->GetSamplerState(Sampler, Type, pValue);
    }
    HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override
    {
        return inner->SetSamplerState(Sampler, Type, Value);
    }
    HRESULT ValidateDevice(DWORD* pNumPasses) override { return inner->ValidateDevice(pNumPasses); }
    HRESULT SetPaletteEntries(UINT PaletteNumber, const PALETTEENTRY* pEntries) override
    {
        return inner->SetPaletteEntries(PaletteNumber, pEntries);
    }
    HRESULT GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY* pEntries) override
    {
        return inner->GetPaletteEntries(PaletteNumber, pEntries);
    }
    HRESULT SetCurrentTexturePalette(UINT PaletteNumber) override
    {
        return inner->SetCurrentTexturePalette(PaletteNumber);
    }
    HRESULT GetCurrentTexturePalette(UINT* PaletteNumber) override
    {
        return inner->GetCurrentTexturePalette(PaletteNumber);
    }
    HRESULT SetScissorRect(const RECT* pRect) override { return inner->SetScissorRect(pRect); }
    HRESULT GetScissorRect(RECT* pRect) override { return inner->GetScissorRect(pRect); }
    HRESULT SetSoftwareVertexProcessing(BOOL bSoftware) override
    {
        return inner->SetSoftwareVertexProcessing(bSoftware);
    }
    BOOL GetSoftwareVertexProcessing() override { return inner->GetSoftwareVertexProcessing(); }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override
    {
        return inner->DrawPrimitive(PrimitiveType, StartVertex, PrimitiveCount);
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                 UINT NumVertices, UINT startIndex, UINT primCount) override
    {
        return inner->DrawIndexedPrimitive(PrimitiveType, BaseVertexIndex, MinVertexIndex, NumVertices, startIndex,
                                           primCount);
    }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void* pVertexStreamZeroData,
                            UINT VertexStreamZeroStride) override
    {
        return inner->DrawPrimitiveUP(PrimitiveType, PrimitiveCount, pVertexStreamZeroData, VertexStreamZeroStride);
    }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                   UINT PrimitiveCount, const void* pIndexData, D3DFORMAT IndexDataFormat,
                                   const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override
    {
        return inner->DrawIndexedPrimitiveUP(PrimitiveType, MinVertexIndex, NumVertices, PrimitiveCount, pIndexData,
                                             IndexDataFormat, pVertexStreamZeroData, VertexStreamZeroStride);
    }
    HRESULT
    CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements, IDirect3DVertexDeclaration9** ppDecl) override
    {
        return inner->CreateVertexDeclaration(pVertexElements, ppDecl);
    }
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override
    {
        return inner->SetVertexDeclaration(pDecl);
    }
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override
    {
        return inner->GetVertexDeclaration(ppDecl);
    }
    HRESULT SetFVF(DWORD FVF) override { return inner->SetFVF(FVF); }
    HRESULT GetFVF(DWORD* pFVF) override { return inner->GetFVF(pFVF); }
    HRESULT CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override
    {
        return inner->CreateVertexShader(pFunction, ppShader);
    }
    HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override { return inner->SetVertexShader(pShader); }
    HRESULT GetVertexShader(IDirect3DVertexShader9** ppShader) override { return inner->GetVertexShader(ppShader); }
    HRESULT SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override
    {
        return inner->SetVertexShaderConstantF(StartRegister, pConstantData, Vector4fCount);
    }
    HRESULT GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override
    {
        return inner->GetVertexShaderConstantF(StartRegister, pConstantData, Vector4fCount);
    }
    HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                            UINT Stride) override
    {
        return inner->SetStreamSource(StreamNumber, pStreamData, OffsetInBytes, Stride);
    }
    HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                            UINT* pStride) override
    {
        return inner->GetStreamSource(StreamNumber, ppStreamData, pOffsetInBytes, pStride);
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override { return inner->SetIndices(pIndexData); }
    HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) override { return inner->GetIndices(ppIndexData); }
    HRESULT CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) override
    {
        return inner->CreatePixelShader(pFunction, ppShader);
    }
    HRESULT SetPixelShader(IDirect3DPixelShader9* pShader) override { return inner->SetPixelShader(pShader); }
    HRESULT GetPixelShader(IDirect3DPixelShader9** ppShader) override { return inner->GetPixelShader(ppShader); }
    HRESULT SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override
    {
        return inner->SetPixelShaderConstantF(StartRegister, pConstantData, Vector4fCount);
    }
    HRESULT GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override
    {
        return inner->GetPixelShaderConstantF(StartRegister, pConstantData, Vector4fCount);
    }
};
