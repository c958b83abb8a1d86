// Immediate-mode 3D on Direct3D: the module that holds the batch context (0x40A), and the instance and submit nodes.
#include "gfx/d3d9/im3d.h"

#include <cstring>

#include "gfx/core/pipeline.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/vertexbuffer.h"

void* GxIm3DOpen(void* instance, GxInt32 offset, GxInt32)
{
    if (!GxIm3DContextOpen(offset, GxD3D9Im3DInstanceNodeGet(), GxD3D9Im3DSubmitNodeGet())) {
        return nullptr;
    }
    if (!GxD3D9Im3DOpen()) {
        GxIm3DContextClose();
        return nullptr;
    }
    return instance;
}

void* GxIm3DClose(void* instance, GxInt32, GxInt32)
{
    if (!GxIm3DContextIsOpen()) {
        return instance;
    }
    GxD3D9Im3DClose();
    GxIm3DContextClose();
    return instance;
}

D3DPRIMITIVETYPE GxD3D9PrimitiveType(GxInt32 primType)
{
    switch (primType) {
    case gxPRIMTYPELINELIST:
        return D3DPT_LINELIST;
    case gxPRIMTYPEPOLYLINE:
        return D3DPT_LINESTRIP;
    case gxPRIMTYPETRILIST:
        return D3DPT_TRIANGLELIST;
    case gxPRIMTYPETRISTRIP:
        return D3DPT_TRIANGLESTRIP;
    case gxPRIMTYPETRIFAN:
        return D3DPT_TRIANGLEFAN;
    case gxPRIMTYPEPOINTLIST:
        return D3DPT_POINTLIST;
    default:
        return static_cast<D3DPRIMITIVETYPE>(0);
    }
}

UINT GxD3D9PrimitiveCount(D3DPRIMITIVETYPE type, GxUInt32 n)
{
    switch (type) {
    case D3DPT_LINELIST:
        return n / 2;
    case D3DPT_LINESTRIP:
        return n > 1 ? n - 1 : 0;
    case D3DPT_TRIANGLELIST:
        return n / 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return n > 2 ? n - 2 : 0;
    default:
        return 0;
    }
}

HRESULT GxD3D9WriteIndexRing(IDirect3DIndexBuffer9* buffer, GxUInt32 capacity, GxUInt32* position,
                             const GxUInt16* indexes, GxUInt32 count)
{
    DWORD flags = D3DLOCK_NOOVERWRITE | D3DLOCK_NOSYSLOCK;
    if (*position + count > capacity) {
        *position = 0;
        flags = D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK;
    }
    void* data = nullptr;
    const HRESULT result = buffer->Lock(*position * 2, count * 2, &data, flags);
    if (FAILED(result) || !data) {
        return FAILED(result) ? result : D3DERR_INVALIDCALL;
    }
    memcpy(data, indexes, count * sizeof(GxUInt16));
    buffer->Unlock();
    return D3D_OK;
}

void GxD3D9SetStage0VertexColour(void)
{
    if (GxD3D9GetTextureRaster(0)) {
        GxD3D9SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        GxD3D9SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        GxD3D9SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        GxD3D9SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        GxD3D9SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        GxD3D9SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    } else {
        GxD3D9SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        GxD3D9SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        GxD3D9SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        GxD3D9SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }
}

const GxCoreModule gxIm3DModule = {gxPLUGINIM3D, sizeof(GxIm3DModuleBlock), GxIm3DOpen, GxIm3DClose};

// ---- Direct3D side: device resources and the two nodes ----

namespace {

constexpr UINT kIndexBufferBytes = 0x1FFFE;
constexpr UINT kIndexBufferIndices = kIndexBufferBytes / 2;
constexpr DWORD kIndexBufferUsage = D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC;
// Small indexed batches are cheaper drawn as copied vertices than through the index buffer.
constexpr GxUInt32 kDeindexLimit = 8;

struct Im3DDevice {
    IDirect3DIndexBuffer9* indexBuffer;
    GxUInt32 baseIndex;
    IDirect3DVertexDeclaration9* fullDeclaration;      // 36 bytes: position, normal, colour, uv
    IDirect3DVertexDeclaration9* texturedDeclaration;  // 24 bytes: position, colour, uv
    IDirect3DVertexDeclaration9* plainDeclaration;     // 16 bytes: position, colour
    GxIm3DPool* context;                               // recorded by the instance node
};

Im3DDevice im3D = {};

const D3DVERTEXELEMENT9 kFullElements[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                           {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
                                           {0, 24, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                           {0, 28, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
                                           D3DDECL_END()};
const D3DVERTEXELEMENT9 kTexturedElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    {0, 16, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END()};
const D3DVERTEXELEMENT9 kPlainElements[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                            {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                            D3DDECL_END()};

struct TexturedVertex {
    GxV3d position;
    GxUInt32 color;
    GxReal u, v;
};
struct PlainVertex {
    GxV3d position;
    GxUInt32 color;
};
static_assert(sizeof(TexturedVertex) == 24 && sizeof(PlainVertex) == 16, "Im3D device layouts");

// Reserves count vertices in a dynamic buffer and fills them from the batch (or through the index list).
// Returns the buffer, or null when no room could be had.
IDirect3DVertexBuffer9* FillVertices(const GxIm3DVertex* vertices, GxUInt32 count, const GxImVertexIndex* indices,
                                     GxBool textured, GxUInt32 stride, GxUInt32* baseVertex)
{
    IDirect3DVertexBuffer9* buffer = nullptr;
    void* data = nullptr;
    if (!GxD3D9DynamicVertexBufferLock(stride, count, &buffer, &data, baseVertex) || !data) {
        return nullptr;
    }
    // Field by field into the locked memory: building each vertex on the stack and copying it whole
    // stalls on store forwarding.
    if (textured) {
        auto* out = static_cast<TexturedVertex*>(data);
        for (GxUInt32 i = 0; i < count; i++) {
            const GxIm3DVertex& in = vertices[indices ? indices[i] : i];
            out[i].position = in.objVertex;
            out[i].color = in.color;
            out[i].u = in.u;
            out[i].v = in.v;
        }
    } else {
        auto* out = static_cast<PlainVertex*>(data);
        for (GxUInt32 i = 0; i < count; i++) {
            const GxIm3DVertex& in = vertices[indices ? indices[i] : i];
            out[i].position = in.objVertex;
            out[i].color = in.color;
        }
    }
    GxD3D9DynamicVertexBufferUnlock(buffer);
    return buffer;
}

void SetUpState(const GxIm3DTransformContext& transform, IDirect3DVertexDeclaration9* declaration)
{
    GxD3D9SetVertexAlpha(!(transform.flags & gxIM3DNOVERTEXALPHA));
    GxD3D9SetTransformWorld(transform.matrix);
    GxD3D9SetRenderState(D3DRS_LIGHTING, FALSE);
    GxD3D9SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
    GxD3D9SetRenderState(D3DRS_CLIPPING, (transform.flags & gxIM3DNOCLIPPING) ? FALSE : TRUE);
    GxD3D9SetStage0VertexColour();
    GxD3D9SetVertexDeclaration(declaration);
    GxD3D9SetVertexShader(nullptr);
    GxD3D9SetPixelShader(nullptr);
}

// Draws from the caller's memory when the buffers could not be used.
HRESULT DrawFromUserMemory(IDirect3DDevice9* device, D3DPRIMITIVETYPE type, UINT count,
                           const GxIm3DTransformContext& transform, const GxImVertexIndex* indices)
{
    GxD3D9SetVertexDeclaration(im3D.fullDeclaration);
    GxD3D9SetStreamSource(0, nullptr, 0, 0);
    GxD3D9RenderStateFlush();
    if (!indices) {
        return device->DrawPrimitiveUP(type, count, transform.objVerts, sizeof(GxIm3DVertex));
    }
    GxD3D9SetIndices(nullptr);
    return device->DrawIndexedPrimitiveUP(type, 0, transform.numVerts, count, indices, D3DFMT_INDEX16,
                                          transform.objVerts, sizeof(GxIm3DVertex));
}

HRESULT DrawNonIndexed(IDirect3DDevice9* device, D3DPRIMITIVETYPE type, GxUInt32 n, const GxIm3DPool& pool,
                       const GxImVertexIndex* through, GxBool textured, GxUInt32 stride)
{
    GxUInt32 base = 0;
    IDirect3DVertexBuffer9* buffer = FillVertices(pool.transform.objVerts, n, through, textured, stride, &base);
    const UINT count = GxD3D9PrimitiveCount(type, n);
    if (!buffer) {
        return D3DERR_INVALIDCALL;
    }
    GxD3D9SetStreamSource(0, buffer, 0, stride);
    GxD3D9RenderStateFlush();
    return device->DrawPrimitive(type, base, count);
}

HRESULT DrawIndexed(IDirect3DDevice9* device, D3DPRIMITIVETYPE type, const GxIm3DPool& pool, GxBool textured,
                    GxUInt32 stride)
{
    const GxUInt32 m = pool.render.numIndices;
    const GxUInt32 n = pool.transform.numVerts;
    if (!im3D.indexBuffer || m > kIndexBufferIndices) {
        return D3DERR_INVALIDCALL;
    }
    GxUInt32 baseVertex = 0;
    IDirect3DVertexBuffer9* buffer = FillVertices(pool.transform.objVerts, n, nullptr, textured, stride, &baseVertex);
    if (!buffer) {
        return D3DERR_INVALIDCALL;
    }
    HRESULT result =
        GxD3D9WriteIndexRing(im3D.indexBuffer, kIndexBufferIndices, &im3D.baseIndex, pool.render.indices, m);
    if (FAILED(result)) {
        return result;
    }
    GxD3D9SetStreamSource(0, buffer, 0, stride);
    GxD3D9SetIndices(im3D.indexBuffer);
    GxD3D9RenderStateFlush();
    result = device->DrawIndexedPrimitive(type, static_cast<INT>(baseVertex), 0, n, im3D.baseIndex,
                                          GxD3D9PrimitiveCount(type, m));
    im3D.baseIndex += m;
    return result;
}

GxBool InstanceNodeBody(GxPipelineNode*, const GxPipelineExecutionParams* params)
{
    im3D.context = static_cast<GxIm3DPool*>(params->object);
    return 1;
}

GxBool SubmitNodeBody(GxPipelineNode*, const GxPipelineExecutionParams* params)
{
    IDirect3DDevice9* device = GxD3D9Device();
    auto* pool = static_cast<GxIm3DPool*>(params->object);
    if (!pool) {
        pool = im3D.context;
    }
    if (!device || !pool || !pool->transform.objVerts || !im3D.plainDeclaration) {
        return 0;
    }
    const GxIm3DTransformContext& transform = pool->transform;
    const D3DPRIMITIVETYPE type = GxD3D9PrimitiveType(pool->render.primType);
    if (type == 0) {
        return 0;
    }
    const GxBool textured = (transform.flags & gxIM3DVERTEXUV) != 0;
    const GxUInt32 stride = textured ? sizeof(TexturedVertex) : sizeof(PlainVertex);
    SetUpState(transform, textured ? im3D.texturedDeclaration : im3D.plainDeclaration);
    const GxImVertexIndex* indices = pool->render.indices;
    const GxUInt32 m = pool->render.numIndices;
    if (indices && m == 0) {
        return 1;  // an indexed draw rounded down to no primitive draws nothing, not the whole batch
    }
    // Drawing from user memory is the last resort; whatever it answers, the node has done its work.
    if (!indices) {
        if (FAILED(DrawNonIndexed(device, type, transform.numVerts, *pool, nullptr, textured, stride))) {
            DrawFromUserMemory(device, type, GxD3D9PrimitiveCount(type, transform.numVerts), transform, nullptr);
        }
    } else if (m > transform.numVerts || m > kDeindexLimit) {
        if (FAILED(DrawIndexed(device, type, *pool, textured, stride))) {
            DrawFromUserMemory(device, type, GxD3D9PrimitiveCount(type, m), transform, indices);
        }
    } else if (FAILED(DrawNonIndexed(device, type, m, *pool, indices, textured, stride))) {
        DrawFromUserMemory(device, type, GxD3D9PrimitiveCount(type, m), transform, indices);
    }
    return 1;
}

GxNodeDefinition InstanceNodeDefinition()
{
    GxNodeDefinition definition = GxNodeDefinitionNamed("ImmInstance.csl", InstanceNodeBody);
    definition.outputCount = 1;
    return definition;
}
GxNodeDefinition instanceNode = InstanceNodeDefinition();
GxNodeDefinition submitNode = GxNodeDefinitionNamed("nodeD3D9SubmitNoLight.csl", SubmitNodeBody);

void ReleaseResources(void)
{
    if (im3D.indexBuffer) {
        im3D.indexBuffer->Release();
        im3D.indexBuffer = nullptr;
    }
    IDirect3DVertexDeclaration9** declarations[] = {&im3D.fullDeclaration, &im3D.texturedDeclaration,
                                                    &im3D.plainDeclaration};
    for (IDirect3DVertexDeclaration9** declaration : declarations) {
        if (*declaration) {
            GxD3D9DeleteVertexDeclaration(*declaration);
            *declaration = nullptr;
        }
    }
    im3D.baseIndex = 0;
}

}  // namespace

GxNodeDefinition* GxD3D9Im3DInstanceNodeGet(void) { return &instanceNode; }

GxNodeDefinition* GxD3D9Im3DSubmitNodeGet(void) { return &submitNode; }

GxBool GxD3D9Im3DOpen(void)
{
    IDirect3DDevice9* device = GxD3D9Device();
    if (!device) {
        return 1;  // no device yet (a test device): draws fail until one is open
    }
    ReleaseResources();
    // Without the declarations no layout could be drawn, so they are made on every device.
    if (!GxD3D9CreateVertexDeclaration(kFullElements, &im3D.fullDeclaration) ||
        !GxD3D9CreateVertexDeclaration(kTexturedElements, &im3D.texturedDeclaration) ||
        !GxD3D9CreateVertexDeclaration(kPlainElements, &im3D.plainDeclaration)) {
        ReleaseResources();
        return 0;
    }
    if (gxD3D9State.caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) {
        // Without it indexed batches fall back to copied vertices or user memory.
        if (FAILED(device->CreateIndexBuffer(kIndexBufferBytes, kIndexBufferUsage, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                             &im3D.indexBuffer, nullptr))) {
            im3D.indexBuffer = nullptr;
        }
    }
    return 1;
}

void GxD3D9Im3DClose(void) { ReleaseResources(); }
