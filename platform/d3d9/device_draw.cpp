// Scenes, Clear and the four draw calls: checks against the bound state, then the back end.
#include <cstring>

#include "platform/d3d9/device_local.h"

// ---------------------------------------------------------------- scenes

HRESULT D3D9Device::BeginScene()
{
    if (inScene_)
        return D3DERR_INVALIDCALL;
    HRESULT hr = backend_->BeginScene();
    if (FAILED(hr))
        return hr;
    inScene_ = true;
    return D3D_OK;
}

HRESULT D3D9Device::EndScene()
{
    if (!inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = false;
    return backend_->EndScene();
}

// Formats with a stencil part, which D3DCLEAR_STENCIL needs.
static bool HasStencil(D3DFORMAT format)
{
    return format == D3DFMT_D24S8 || format == D3DFMT_D15S1 || format == D3DFMT_D24X4S4 || format == D3DFMT_D24FS8;
}

HRESULT D3D9Device::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil)
{
    if ((Count == 0) != (pRects == nullptr))
        return D3DERR_INVALIDCALL;
    if ((Flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !state_.depthStencil)
        return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_STENCIL) && state_.depthStencil && !HasStencil(state_.depthStencil->format)) {
        return D3DERR_INVALIDCALL;
    }
    if (!(Flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
        return D3DERR_INVALIDCALL;
    if (Z < 0.0f || Z > 1.0f)
        return D3DERR_INVALIDCALL;
    return backend_->Clear(state_, Count, pRects, Flags, Color, Z, Stencil);
}

// ---------------------------------------------------------------- drawing

// The part of a draw record every call fills.
static D3D9DrawCall DrawOf(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT vertexCount)
{
    D3D9DrawCall draw;
    draw.type = type;
    draw.primitiveCount = primitiveCount;
    draw.vertexCount = vertexCount;
    return draw;
}

// The checks every draw opens with. *vertices is the vertex (or index) count
// the primitives use, 0 when there is nothing to draw: a zero primitive count
// succeeds without drawing (the 2D path sends them).
HRESULT D3D9Device::CheckDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT* vertices)
{
    *vertices = 0;
    if (primitiveCount == 0)
        return D3D_OK;
    const UINT count = D3D9PrimitiveVertexCount(type, primitiveCount);
    if (count == 0)
        return D3DERR_INVALIDCALL;
    if (!inScene_)
        return D3DERR_INVALIDCALL;
    if (!state_.renderTargets[0])
        return D3DERR_INVALIDCALL;
    if (!state_.vertexShader && state_.fvf == 0 && !state_.declaration)
        return D3DERR_INVALIDCALL;
    *vertices = count;
    return D3D_OK;
}

HRESULT D3D9Device::CheckIndexedRange(UINT startIndex, UINT indexCount)
{
    const D3D9BufferData* ib = state_.indices;
    if (!ib)
        return D3DERR_INVALIDCALL;
    if (static_cast<uint64_t>(startIndex) + indexCount > ib->size / D3D9IndexBytes(ib->format))
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT D3D9Device::SubmitDraw(const D3D9DrawCall& draw) { return backend_->Draw(state_, draw); }

HRESULT D3D9Device::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount)
{
    UINT vertices = 0;
    HRESULT hr = CheckDraw(PrimitiveType, PrimitiveCount, &vertices);
    if (FAILED(hr) || vertices == 0)
        return hr;
    if (!state_.streams[0].buffer)
        return D3DERR_INVALIDCALL;
    D3D9DrawCall draw = DrawOf(PrimitiveType, PrimitiveCount, vertices);
    draw.startVertex = StartVertex;
    return SubmitDraw(draw);
}

HRESULT D3D9Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                         UINT NumVertices, UINT startIndex, UINT primCount)
{
    UINT indices = 0;
    HRESULT hr = CheckDraw(PrimitiveType, primCount, &indices);
    if (FAILED(hr) || indices == 0)
        return hr;
    if (!state_.streams[0].buffer)
        return D3DERR_INVALIDCALL;
    hr = CheckIndexedRange(startIndex, indices);
    if (FAILED(hr))
        return hr;
    D3D9DrawCall draw = DrawOf(PrimitiveType, primCount, indices);
    draw.indexed = true;
    draw.baseVertexIndex = BaseVertexIndex;
    draw.minIndex = MinVertexIndex;
    draw.numVertices = NumVertices;
    draw.startIndex = startIndex;
    return SubmitDraw(draw);
}

// *UP draws leave stream 0 and the indices unbound, as the interface defines.
void D3D9Device::UnbindForUserDraw()
{
    D3D9Rebind<D3D9VertexBuffer>(streamObjects_[0], nullptr);
    D3D9Rebind<D3D9IndexBuffer>(indexObject_, nullptr);
    state_.streams[0] = D3D9StreamBinding();
    state_.indices = nullptr;
    Changed(D3D9_STATE_STREAM, 0, 0, 0);
    Changed(D3D9_STATE_INDICES, 0, 0, 0);
}

HRESULT D3D9Device::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                    const void* pVertexStreamZeroData, UINT VertexStreamZeroStride)
{
    UINT vertices = 0;
    HRESULT hr = CheckDraw(PrimitiveType, PrimitiveCount, &vertices);
    if (FAILED(hr) || vertices == 0)
        return hr;
    if (!pVertexStreamZeroData || VertexStreamZeroStride == 0)
        return D3DERR_INVALIDCALL;
    UnbindForUserDraw();
    D3D9DrawCall draw = DrawOf(PrimitiveType, PrimitiveCount, vertices);
    draw.userVertices = pVertexStreamZeroData;
    draw.userStride = VertexStreamZeroStride;
    return SubmitDraw(draw);
}

HRESULT D3D9Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                           UINT PrimitiveCount, const void* pIndexData, D3DFORMAT IndexDataFormat,
                                           const void* pVertexStreamZeroData, UINT VertexStreamZeroStride)
{
    UINT indices = 0;
    HRESULT hr = CheckDraw(PrimitiveType, PrimitiveCount, &indices);
    if (FAILED(hr) || indices == 0)
        return hr;
    if (!pIndexData || !pVertexStreamZeroData || VertexStreamZeroStride == 0)
        return D3DERR_INVALIDCALL;
    if (IndexDataFormat != D3DFMT_INDEX16 && IndexDataFormat != D3DFMT_INDEX32)
        return D3DERR_INVALIDCALL;
    UnbindForUserDraw();
    // Every index must name one of the NumVertices vertices the caller passed.
    UINT lowest = 0;
    UINT highest = 0;
    D3D9IndexRange(static_cast<const BYTE*>(pIndexData), IndexDataFormat, indices, &lowest, &highest);
    const uint64_t end = static_cast<uint64_t>(MinVertexIndex) + NumVertices;
    if (end > 0xFFFFFFFFu || lowest < MinVertexIndex || highest >= end)
        return D3DERR_INVALIDCALL;
    D3D9DrawCall draw = DrawOf(PrimitiveType, PrimitiveCount, indices);
    draw.indexed = true;
    draw.minIndex = MinVertexIndex;
    draw.numVertices = NumVertices;
    draw.userVertices = pVertexStreamZeroData;
    draw.userStride = VertexStreamZeroStride;
    draw.userIndices = pIndexData;
    draw.userIndexFormat = IndexDataFormat;
    return SubmitDraw(draw);
}
