// Immediate-mode 2D: the four screen-space renderers of the device record and their buffers.
#include "gfx/d3d9/im2d.h"

#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/raster.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/im2d_local.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/vertexbuffer.h"

GxD3D9Im2DState gxD3D9Im2D = {};

namespace {

constexpr DWORD kBufferUsage = D3DUSAGE_WRITEONLY | D3DUSAGE_DONOTCLIP | D3DUSAGE_DYNAMIC;
constexpr DWORD kAppendLock = D3DLOCK_NOOVERWRITE | D3DLOCK_NOSYSLOCK;
constexpr DWORD kDiscardLock = D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK;
constexpr UINT kStride = sizeof(GxIm2DVertex);
// An own buffer is worth it only when the device processes vertices in software and has memory to spare.
constexpr UINT kOwnBufferMinTextureMem = 0x800000;

GxD3D9Im2DState& im2D = gxD3D9Im2D;

const D3DVERTEXELEMENT9 kElements[] = {{0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
                                       {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                       {0, 20, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
                                       D3DDECL_END()};

// Offset of the target raster inside its parent: the current camera's frame buffer, else the raster context.
void TargetOffset(GxReal* dx, GxReal* dy)
{
    GxRaster* raster = nullptr;
    if (gxD3D9State.currentCamera) {
        raster = gxD3D9State.currentCamera->frameBuffer;
    } else {
        raster = GxRasterGetCurrentContext();
    }
    *dx = raster ? static_cast<GxReal>(raster->offsetX) : 0.0f;
    *dy = raster ? static_cast<GxReal>(raster->offsetY) : 0.0f;
}

// Locks room for count vertices; sets the current buffer and the first vertex's index. Null on failure.
void* LockVertices(GxUInt32 count)
{
    if (!im2D.ownBuffer) {
        IDirect3DVertexBuffer9* buffer = nullptr;
        void* data = nullptr;
        GxUInt32 base = 0;
        if (!GxD3D9DynamicVertexBufferLock(kStride, count, &buffer, &data, &base) || !data) {
            return nullptr;
        }
        im2D.vertexBuffer = buffer;
        im2D.nextVertex = base;
        return data;
    }
    DWORD flags = kAppendLock;
    if (im2D.nextVertex + count > gxIM2DMAXVERTICES) {
        im2D.nextVertex = 0;
        flags = kDiscardLock;
    }
    // A batch larger than the whole buffer fails as its lock would.
    if (count > gxIM2DMAXVERTICES || !im2D.vertexBuffer) {
        return nullptr;
    }
    void* data = nullptr;
    if (FAILED(im2D.vertexBuffer->Lock(im2D.nextVertex * kStride, count * kStride, &data, flags))) {
        return nullptr;
    }
    return data;
}

void UnlockVertices(void)
{
    if (im2D.ownBuffer) {
        im2D.vertexBuffer->Unlock();
    } else {
        GxD3D9DynamicVertexBufferUnlock(im2D.vertexBuffer);
    }
}

// Copies count vertices (vertex i = source[through[i]] when through is given), shifted to the target raster.
void WriteVertices(void* out, const GxIm2DVertex* source, const GxUInt16* through, const GxInt32* picks, GxUInt32 count)
{
    GxReal dx = 0.0f;
    GxReal dy = 0.0f;
    TargetOffset(&dx, &dy);
    auto* dst = static_cast<GxIm2DVertex*>(out);
    if (!through && !picks && dx == 0.0f && dy == 0.0f) {
        memcpy(dst, source, count * kStride);
        return;
    }
    for (GxUInt32 i = 0; i < count; i++) {
        const GxUInt32 from = through ? through[i] : picks ? static_cast<GxUInt32>(picks[i]) : i;
        GxIm2DVertex v = source[from];
        v.x += dx;
        v.y += dy;
        dst[i] = v;
    }
}

// Places count vertices and runs the set-up; 0 when no room could be locked.
GxBool PlaceVertices(const GxIm2DVertex* source, const GxUInt16* through, const GxInt32* picks, GxUInt32 count)
{
    void* data = LockVertices(count);
    if (!data) {
        return 0;
    }
    WriteVertices(data, source, through, picks, count);
    UnlockVertices();
    return 1;
}

GxBool DrawPlaced(D3DPRIMITIVETYPE type, UINT count, GxUInt32 placed)
{
    GxD3D9Im2DSetupRender();
    const HRESULT result = GxD3D9Device()->DrawPrimitive(type, im2D.nextVertex, count);
    im2D.nextVertex += placed;
    return SUCCEEDED(result) ? 1 : 0;
}

void ReleaseAll(void)
{
    if (im2D.declaration) {
        GxD3D9DeleteVertexDeclaration(im2D.declaration);
        im2D.declaration = nullptr;
    }
    if (im2D.ownBuffer && im2D.vertexBuffer) {
        im2D.vertexBuffer->Release();
    }
    im2D.vertexBuffer = nullptr;
    im2D.ownBuffer = 0;
    if (im2D.indexBuffer) {
        im2D.indexBuffer->Release();
        im2D.indexBuffer = nullptr;
    }
    im2D.nextVertex = 0;
    im2D.nextIndex = 0;
}

}  // namespace

GxBool GxD3D9Im2DOpen(void)
{
    IDirect3DDevice9* device = GxD3D9Device();
    GX_ASSERT(device != nullptr, "the immediate 2D resources are made on the started device");
    ReleaseAll();
    const GxBool hardwareTL = (gxD3D9State.caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
    if (!hardwareTL && device->GetAvailableTextureMem() > kOwnBufferMinTextureMem &&
        SUCCEEDED(device->CreateVertexBuffer(gxIM2DVERTEXBUFFERBYTES, kBufferUsage, 0, D3DPOOL_DEFAULT,
                                             &im2D.vertexBuffer, nullptr))) {
        im2D.ownBuffer = 1;
    } else {
        im2D.vertexBuffer = nullptr;
    }
    const GxBool made = SUCCEEDED(device->CreateIndexBuffer(gxIM2DMAXINDICES * 2, kBufferUsage, D3DFMT_INDEX16,
                                                            D3DPOOL_DEFAULT, &im2D.indexBuffer, nullptr)) &&
                        GxD3D9CreateVertexDeclaration(kElements, &im2D.declaration);
    if (!made) {
        ReleaseAll();
        return 0;
    }
    return 1;
}

void GxD3D9Im2DClose(void) { ReleaseAll(); }

void GxD3D9Im2DSetupRender(void)
{
    GxD3D9SetVertexDeclaration(im2D.declaration);
    GxD3D9SetVertexShader(nullptr);
    GxD3D9SetPixelShader(nullptr);
    GxD3D9SetRenderState(D3DRS_CLIPPING, FALSE);
    GxD3D9SetRenderState(D3DRS_LIGHTING, FALSE);
    GxD3D9SetStage0VertexColour();
    GxD3D9SetStreamSource(0, im2D.vertexBuffer, 0, kStride);
    GxD3D9RenderStateFlush();
}

// The line and triangle renderers take the vertex count only to keep the device record's signature.
GxBool GxD3D9Im2DRenderLine(void* vertices, GxInt32, GxInt32 vert1, GxInt32 vert2)
{
    const GxInt32 picks[2] = {vert1, vert2};
    if (!PlaceVertices(static_cast<const GxIm2DVertex*>(vertices), nullptr, picks, 2)) {
        return 0;
    }
    return DrawPlaced(D3DPT_LINELIST, 1, 2);
}

GxBool GxD3D9Im2DRenderTriangle(void* vertices, GxInt32, GxInt32 vert1, GxInt32 vert2, GxInt32 vert3)
{
    const GxInt32 picks[3] = {vert1, vert2, vert3};
    if (!PlaceVertices(static_cast<const GxIm2DVertex*>(vertices), nullptr, picks, 3)) {
        return 0;
    }
    return DrawPlaced(D3DPT_TRIANGLELIST, 1, 3);
}

// An unknown type maps to no Direct3D type and no primitives: its vertices are placed and nothing is drawn.
GxBool GxD3D9Im2DRenderPrimitive(GxInt32 primType, void* vertices, GxInt32 numVertices)
{
    const D3DPRIMITIVETYPE type = GxD3D9PrimitiveType(primType);
    const GxUInt32 n = static_cast<GxUInt32>(numVertices);
    if (!PlaceVertices(static_cast<const GxIm2DVertex*>(vertices), nullptr, nullptr, n)) {
        return 0;
    }
    return DrawPlaced(type, GxD3D9PrimitiveCount(type, n), n);
}

GxBool GxD3D9Im2DRenderIndexedPrimitive(GxInt32 primType, void* vertices, GxInt32 numVertices, GxUInt16* indices,
                                        GxInt32 numIndices)
{
    const GxUInt32 m = static_cast<GxUInt32>(numIndices);
    const D3DPRIMITIVETYPE type = GxD3D9PrimitiveType(primType);
    const UINT count = GxD3D9PrimitiveCount(type, m);
    for (GxInt32 i = 0; i < numIndices; i++) {
        GX_ASSERT(indices[i] < numVertices, "indices name the caller's vertices");
    }
    const auto* source = static_cast<const GxIm2DVertex*>(vertices);
    const GxUInt32 n = static_cast<GxUInt32>(numVertices);
    if (m <= n) {
        if (!PlaceVertices(source, indices, nullptr, m)) {
            return 0;
        }
        return DrawPlaced(type, count, m);
    }
    if (!PlaceVertices(source, nullptr, nullptr, n)) {
        return 0;
    }
    // A refused draw leaves the next vertex where it was: the next batch writes over these undrawn vertices.
    if (!im2D.indexBuffer || m > gxIM2DMAXINDICES) {
        return 0;
    }
    const GxUInt32 baseVertex = im2D.nextVertex;
    im2D.nextVertex += n;
    HRESULT result = GxD3D9WriteIndexRing(im2D.indexBuffer, gxIM2DMAXINDICES, &im2D.nextIndex, indices, m);
    if (FAILED(result)) {
        return 0;
    }
    GxD3D9Im2DSetupRender();
    GxD3D9SetIndices(im2D.indexBuffer);
    result = GxD3D9Device()->DrawIndexedPrimitive(type, static_cast<INT>(baseVertex), 0, n, im2D.nextIndex, count);
    im2D.nextIndex += m;
    return SUCCEEDED(result) ? 1 : 0;
}
