// Cached device bindings, the transform cache, the light table, the vertex-declaration cache and frustum tests.
#include "gfx/d3d9/bindings.h"

#include <cstdint>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/memory.h"
#include "gfx/d3d9/bindings_local.h"
#include "gfx/d3d9/raster.h"

namespace {

// A pointer cache value that matches nothing a caller can pass: the device state is unknown.
const void* const unknownPointer = reinterpret_cast<const void*>(~static_cast<uintptr_t>(0));

}  // namespace

GxD3D9Bindings gxD3D9Bindings = {
    gxD3D9UNKNOWNFVF,
    unknownPointer,
    unknownPointer,
    unknownPointer,
    unknownPointer,
    {{unknownPointer, 0, 0}, {unknownPointer, 0, 0}, {unknownPointer, 0, 0}, {unknownPointer, 0, 0}},
    {},
    nullptr,
    nullptr,
    {},
    nullptr,
    0,
    0,
    nullptr,
    0,
    nullptr,
    0,
    0,
};

namespace {

GxD3D9Bindings& bindings = gxD3D9Bindings;

constexpr GxUInt32 matrixHint = gxMEMHINTDUROBJECT | gxD3D9MEMHINTDRIVER;
constexpr GxUInt32 lightTableHint = gxMEMHINTFLAGRESIZEABLE | gxMEMHINTDUROBJECT | gxD3D9MEMHINTDRIVER;
constexpr GxUInt32 declarationArrayHint = gxMEMHINTFLAGRESIZEABLE | gxMEMHINTDURGLOBAL | gxD3D9MEMHINTDRIVER;
constexpr GxUInt32 declarationElementsHint = gxMEMHINTDURGLOBAL | gxD3D9MEMHINTDRIVER;
constexpr GxUInt32 worldTransform = 256;  // D3DTS_WORLD

const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

IDirect3DDevice9* Device() { return GxD3D9Device(); }

bool Succeeded(HRESULT result) { return SUCCEEDED(result); }

void FreeMatrix(D3DMATRIX** slot)
{
    if (*slot && bindings.matrixFreeList) {
        GxFreeListFreeEntry(bindings.matrixFreeList, *slot);
    }
    *slot = nullptr;
}

void ReturnAllMatrices(void)
{
    for (D3DMATRIX*& slot : bindings.transforms) {
        FreeMatrix(&slot);
    }
    FreeMatrix(&bindings.worldCopy);
    bindings.worldCopyValid = 0;
}

// The world copy as a GxMatrix turns into a Direct3D matrix: rows (right, 0), (up, 0), (at, 0), (pos, 1).
void MatrixToD3D(const GxMatrix* matrix, float out[16])
{
    const GxV3d* rows[4] = {&matrix->right, &matrix->up, &matrix->at, &matrix->pos};
    for (int i = 0; i < 4; i++) {
        out[i * 4 + 0] = rows[i]->x;
        out[i * 4 + 1] = rows[i]->y;
        out[i * 4 + 2] = rows[i]->z;
        out[i * 4 + 3] = i == 3 ? 1.0f : 0.0f;
    }
}

GxBool SendWorld(const float matrix[16], GxBool isIdentity)
{
    IDirect3DDevice9* device = Device();
    if (!bindings.worldCopy) {
        bindings.worldCopy = static_cast<D3DMATRIX*>(GxFreeListAllocEntry(bindings.matrixFreeList, matrixHint));
    }
    // The world slot of the transform cache no longer tells what the device holds.
    FreeMatrix(&bindings.transforms[worldTransform]);
    if (bindings.worldCopy) {
        std::memcpy(bindings.worldCopy, matrix, sizeof(D3DMATRIX));
    }
    bindings.worldCopyValid = bindings.worldCopy ? 1 : 0;
    bindings.worldIsIdentity = isIdentity;
    return device && Succeeded(device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(worldTransform),
                                                    reinterpret_cast<const D3DMATRIX*>(matrix)))
               ? 1
               : 0;
}

bool WordsEqual(const void* a, const void* b, size_t bytes) { return std::memcmp(a, b, bytes) == 0; }

bool SameWord(float a, float b) { return WordsEqual(&a, &b, sizeof(float)); }

bool SameVector(const D3DVECTOR& a, const D3DVECTOR& b) { return WordsEqual(&a, &b, sizeof(D3DVECTOR)); }

GxD3D9VertexDeclarationCacheEntry* FindDeclaration(const IDirect3DVertexDeclaration9* declaration)
{
    for (GxInt32 i = 0; i < bindings.numDeclarations; i++) {
        if (bindings.declarations[i].declaration == declaration) {
            return &bindings.declarations[i];
        }
    }
    return nullptr;
}

GxD3D9VertexDeclarationCacheEntry* FindElements(const D3DVERTEXELEMENT9* elements, GxUInt32 count)
{
    for (GxInt32 i = 0; i < bindings.numDeclarations; i++) {
        GxD3D9VertexDeclarationCacheEntry& entry = bindings.declarations[i];
        if (entry.numElements == count && WordsEqual(entry.elements, elements, count * sizeof(D3DVERTEXELEMENT9))) {
            return &entry;
        }
    }
    return nullptr;
}

// Elements up to and including the end element.
GxUInt32 CountElements(const D3DVERTEXELEMENT9* elements)
{
    GxUInt32 n = 0;
    while (elements[n].Type != D3DDECLTYPE_UNUSED) {
        n++;
        GX_ASSERT(n <= MAXD3DDECLLENGTH, "a declaration's elements close with the end element");
    }
    return n + 1;
}

bool GrowDeclarations(void)
{
    if (bindings.numDeclarations < bindings.maxDeclarations) {
        return true;
    }
    const GxInt32 capacity = bindings.maxDeclarations + 16;
    void* grown = bindings.declarations
                      ? GxRealloc(bindings.declarations, capacity * sizeof(GxD3D9VertexDeclarationCacheEntry),
                                  declarationArrayHint)
                      : GxMalloc(capacity * sizeof(GxD3D9VertexDeclarationCacheEntry), declarationArrayHint);
    if (!grown) {
        return false;
    }
    bindings.declarations = static_cast<GxD3D9VertexDeclarationCacheEntry*>(grown);
    bindings.maxDeclarations = capacity;
    return true;
}

bool GrowLights(GxInt32 count)
{
    const size_t bytes = static_cast<size_t>(count) * sizeof(GxD3D9LightRecord);
    void* grown = bindings.lights ? GxRealloc(bindings.lights, bytes, lightTableHint) : GxMalloc(bytes, lightTableHint);
    if (!grown) {
        return false;
    }
    bindings.lights = static_cast<GxD3D9LightRecord*>(grown);
    // New entries hold no light (type 0) and are disabled.
    std::memset(bindings.lights + bindings.numLights, 0, (count - bindings.numLights) * sizeof(GxD3D9LightRecord));
    bindings.numLights = count;
    return true;
}

}  // namespace

// ---- vertex input and shaders ----

GxBool GxD3D9SetFVF(GxUInt32 fvf)
{
    if (bindings.fvf == fvf) {
        return 1;
    }
    bindings.fvf = fvf;
    bindings.declaration = unknownPointer;  // setting an FVF replaces the declaration
    IDirect3DDevice9* device = Device();
    return device && Succeeded(device->SetFVF(fvf)) ? 1 : 0;
}

GxBool GxD3D9SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration)
{
    if (bindings.declaration == declaration) {
        return 1;
    }
    IDirect3DDevice9* device = Device();
    const bool sent = device && Succeeded(device->SetVertexDeclaration(declaration));
    bindings.declaration = sent ? declaration : unknownPointer;
    bindings.fvf = gxD3D9UNKNOWNFVF;
    return sent ? 1 : 0;
}

GxBool GxD3D9SetVertexShader(IDirect3DVertexShader9* shader)
{
    if (bindings.vertexShader == shader) {
        return 1;
    }
    IDirect3DDevice9* device = Device();
    const bool sent = device && Succeeded(device->SetVertexShader(shader));
    bindings.vertexShader = sent ? shader : unknownPointer;
    return sent ? 1 : 0;
}

GxBool GxD3D9SetPixelShader(IDirect3DPixelShader9* shader)
{
    if (bindings.pixelShader == shader) {
        return 1;
    }
    IDirect3DDevice9* device = Device();
    const bool sent = device && Succeeded(device->SetPixelShader(shader));
    bindings.pixelShader = sent ? shader : unknownPointer;
    return sent ? 1 : 0;
}

GxBool GxD3D9SetIndices(IDirect3DIndexBuffer9* indices)
{
    if (bindings.indices == indices) {
        return 1;
    }
    bindings.indices = indices;
    IDirect3DDevice9* device = Device();
    return device && Succeeded(device->SetIndices(indices)) ? 1 : 0;
}

GxBool GxD3D9SetStreamSource(GxUInt32 stream, IDirect3DVertexBuffer9* vertexBuffer, GxUInt32 offset, GxUInt32 stride)
{
    if (stream >= static_cast<GxUInt32>(gxD3D9MAXSTREAMS)) {
        return 0;
    }
    GxD3D9StreamCache& cache = bindings.streams[stream];
    if (cache.vertexBuffer == vertexBuffer && cache.offset == offset && cache.stride == stride) {
        return 1;
    }
    cache = GxD3D9StreamCache{vertexBuffer, offset, stride};
    IDirect3DDevice9* device = Device();
    return device && Succeeded(device->SetStreamSource(stream, vertexBuffer, offset, stride)) ? 1 : 0;
}

void GxD3D9SetStreams(const GxD3D9StreamRecord* streams, GxBool useOffsets)
{
    if (!streams) {
        return;
    }
    for (GxUInt32 i = 0; i < 2; i++) {
        const GxD3D9StreamRecord& record = streams[i];
        if (record.vertexBuffer) {
            GxD3D9SetStreamSource(i, record.vertexBuffer, useOffsets ? record.offset : 0, record.stride);
        } else if (bindings.streams[i].vertexBuffer != nullptr) {
            GxD3D9SetStreamSource(i, nullptr, 0, 0);
        }
    }
}

void GxD3D9SetInstanceBuffers(const GxD3D9InstanceHeader* header)
{
    GxD3D9SetIndices(header->indexBuffer);
    GxD3D9StreamRecord streams[2];
    for (GxUInt32 s = 0; s < 2; s++) {
        const GxD3D9VertexStream& stream = header->streams[s];
        streams[s] = GxD3D9StreamRecord{stream.buffer, stream.offset, stream.stride, 0};
    }
    GxD3D9SetStreams(streams, header->streamOffsets);
    GxD3D9SetVertexDeclaration(header->declaration);
}

void GxD3D9ResetDeviceCaches(void)
{
    bindings.fvf = gxD3D9UNKNOWNFVF;
    bindings.declaration = unknownPointer;
    bindings.vertexShader = unknownPointer;
    bindings.pixelShader = unknownPointer;
    bindings.indices = unknownPointer;
    for (GxD3D9StreamCache& stream : bindings.streams) {
        stream = GxD3D9StreamCache{unknownPointer, 0, 0};
    }
}

// ---- render targets ----

void GxD3D9ForgetRenderTargets(void)
{
    for (const void*& target : bindings.renderTargets) {
        target = nullptr;
    }
    bindings.depthStencil = nullptr;
}

GxBool GxD3D9SetRenderTargetSurface(GxUInt32 index, IDirect3DSurface9* surface)
{
    if (index >= static_cast<GxUInt32>(gxD3D9MAXRENDERTARGETS)) {
        return 0;
    }
    if (bindings.renderTargets[index] == surface) {
        return 1;
    }
    bindings.renderTargets[index] = surface;
    IDirect3DDevice9* device = Device();
    return device && Succeeded(device->SetRenderTarget(index, surface)) ? 1 : 0;
}

GxBool GxD3D9SetRenderTarget(GxUInt32 index, GxRaster* raster)
{
    if (!raster) {
        return GxD3D9SetRenderTargetSurface(index, nullptr);
    }
    IDirect3DSurface9* surface = nullptr;
    if (IDirect3DTexture9* texture = GxD3D9RasterGetTexture(raster)) {
        texture->GetSurfaceLevel(0, &surface);
    } else if (IDirect3DCubeTexture9* cube = GxD3D9RasterGetCubeTexture(raster)) {
        const GxUInt32 face = GxD3D9RasterExtFace(GxD3D9RASTEREXTFromRaster(raster));
        cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), 0, &surface);
    } else if ((surface = GxD3D9RasterGetSurface(raster)) != nullptr) {
        surface->AddRef();
    }
    if (!surface) {
        return 0;
    }
    const GxBool result = GxD3D9SetRenderTargetSurface(index, surface);
    surface->Release();
    return result;
}

GxBool GxD3D9SetDepthStencilSurface(IDirect3DSurface9* surface)
{
    if (bindings.depthStencil == surface) {
        return 1;
    }
    bindings.depthStencil = surface;
    IDirect3DDevice9* device = Device();
    return device && Succeeded(device->SetDepthStencilSurface(surface)) ? 1 : 0;
}

// ---- transforms ----

GxBool GxD3D9SetTransform(GxUInt32 state, const void* matrix)
{
    if (state >= gxD3D9NUMTRANSFORMS || !bindings.matrixFreeList) {
        return 0;
    }
    const void* source = matrix ? matrix : identity;
    D3DMATRIX*& slot = bindings.transforms[state];
    if (slot && WordsEqual(slot, source, sizeof(D3DMATRIX))) {
        return 1;
    }
    if (!slot) {
        slot = static_cast<D3DMATRIX*>(GxFreeListAllocEntry(bindings.matrixFreeList, matrixHint));
    }
    if (state == worldTransform) {
        bindings.worldIsIdentity = matrix ? 0 : 1;
        // The copy kept by GxD3D9SetTransformWorld no longer tells what the device holds.
        bindings.worldCopyValid = 0;
    }
    if (slot) {
        std::memcpy(slot, source, sizeof(D3DMATRIX));
    }
    IDirect3DDevice9* device = Device();
    return device && Succeeded(device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(state),
                                                    static_cast<const D3DMATRIX*>(source)))
               ? 1
               : 0;
}

void GxD3D9GetTransform(GxUInt32 state, void* matrix)
{
    if (!matrix) {
        return;
    }
    const D3DMATRIX* slot = state < gxD3D9NUMTRANSFORMS ? bindings.transforms[state] : nullptr;
    std::memcpy(matrix, slot ? static_cast<const void*>(slot) : identity, sizeof(D3DMATRIX));
}

GxBool GxD3D9SetTransformWorld(const GxMatrix* matrix)
{
    if (!bindings.matrixFreeList) {
        return 0;
    }
    if (!matrix || (matrix->flags & gxMATRIXINTERNALIDENTITY)) {
        if (bindings.worldIsIdentity) {
            return 1;
        }
        return SendWorld(identity, 1);
    }
    float d3d[16];
    MatrixToD3D(matrix, d3d);
    if (!bindings.worldIsIdentity && bindings.worldCopyValid && bindings.worldCopy &&
        WordsEqual(bindings.worldCopy, d3d, sizeof(d3d))) {
        return 1;
    }
    return SendWorld(d3d, 0);
}

GxBool GxD3D9ClearTransformCache(void)
{
    bindings.worldIsIdentity = 0;
    if (bindings.matrixFreeList) {
        ReturnAllMatrices();
        GxFreeListPurge(bindings.matrixFreeList);
    } else {
        bindings.matrixFreeList = GxFreeListCreate(sizeof(D3DMATRIX), 15, 16, matrixHint);
        if (!bindings.matrixFreeList) {
            return 0;
        }
        for (D3DMATRIX*& slot : bindings.transforms) {
            slot = nullptr;
        }
    }
    bindings.worldCopy = static_cast<D3DMATRIX*>(GxFreeListAllocEntry(bindings.matrixFreeList, matrixHint));
    if (!bindings.worldCopy) {
        return 0;
    }
    std::memcpy(bindings.worldCopy, identity, sizeof(identity));
    bindings.worldCopyValid = 1;
    return 1;
}

void GxD3D9TransformCacheDestroy(void)
{
    if (!bindings.matrixFreeList) {
        return;
    }
    ReturnAllMatrices();
    GxFreeListDestroy(bindings.matrixFreeList);
    bindings.matrixFreeList = nullptr;
    bindings.worldIsIdentity = 0;
}

// ---- lights ----

GxBool GxD3D9LightEqual(const D3DLIGHT9* a, const D3DLIGHT9* b)
{
    if (a->Type != b->Type || !SameWord(a->Diffuse.r, b->Diffuse.r) || !SameWord(a->Diffuse.g, b->Diffuse.g) ||
        !SameWord(a->Diffuse.b, b->Diffuse.b)) {
        return 0;
    }
    switch (a->Type) {
    case D3DLIGHT_POINT:
        return SameVector(a->Position, b->Position) && SameWord(a->Range, b->Range);
    case D3DLIGHT_SPOT:
        return SameVector(a->Position, b->Position) && SameVector(a->Direction, b->Direction) &&
               SameWord(a->Range, b->Range) && SameWord(a->Theta, b->Theta) && SameWord(a->Phi, b->Phi);
    case D3DLIGHT_DIRECTIONAL:
        return SameVector(a->Direction, b->Direction);
    default:
        return 1;
    }
}

GxBool GxD3D9SetLight(GxInt32 index, const D3DLIGHT9* light)
{
    GX_ASSERT(index >= 0 && light, "a light is set at an index of the table");
    if (index >= bindings.numLights) {
        if (!GrowLights(index + 1)) {
            return 0;
        }
    } else if (GxD3D9LightEqual(&bindings.lights[index].light, light)) {
        return 1;
    }
    GxD3D9LightRecord& record = bindings.lights[index];
    record.light = *light;
    IDirect3DDevice9* device = Device();
    return device && Succeeded(device->SetLight(index, light)) ? 1 : 0;
}

GxBool GxD3D9EnableLight(GxInt32 index, GxBool enable)
{
    if (index < 0 || index >= bindings.numLights) {
        return 1;
    }
    const GxUInt32 flag = enable ? 1 : 0;
    GxD3D9LightRecord& record = bindings.lights[index];
    if (record.enabled == flag) {
        return 1;
    }
    record.enabled = flag;
    IDirect3DDevice9* device = Device();
    return device && Succeeded(device->LightEnable(index, flag)) ? 1 : 0;
}

void GxD3D9LightTableEmpty(void) { bindings.numLights = 0; }

void GxD3D9LightTableFree(void)
{
    if (bindings.lights) {
        GxFree(bindings.lights);
    }
    bindings.lights = nullptr;
    bindings.numLights = 0;
}

GxBool GxD3D9LightTableRestore(void)
{
    IDirect3DDevice9* device = Device();
    if (!device) {
        return 0;
    }
    // Entries made by growing the table and never set hold no light: nothing is sent for them.
    GxBool enabled = 1;
    for (GxInt32 i = 0; i < bindings.numLights; i++) {
        const GxD3D9LightRecord& record = bindings.lights[i];
        if (record.light.Type == 0) {
            continue;
        }
        device->SetLight(i, &record.light);
        enabled = Succeeded(device->LightEnable(i, record.enabled)) ? 1 : 0;
    }
    return enabled;
}

// ---- device objects ----

GxBool GxD3D9IndexBufferCreate(GxUInt32 numIndices, IDirect3DIndexBuffer9** indexBuffer)
{
    IDirect3DDevice9* device = Device();
    if (!indexBuffer || !device || numIndices > 0x7FFFFFFFu) {
        return 0;
    }
    return Succeeded(device->CreateIndexBuffer(numIndices * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                               indexBuffer, nullptr))
               ? 1
               : 0;
}

GxBool GxD3D9CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** declaration)
{
    GX_ASSERT(elements && declaration, "a declaration is made from elements into a place for it");
    IDirect3DDevice9* device = Device();
    *declaration = nullptr;
    if (!device) {
        return 0;
    }
    const GxUInt32 count = CountElements(elements);
    GxD3D9VertexDeclarationCacheEntry* entry = FindElements(elements, count);
    if (entry) {
        if (entry->declaration) {
            entry->declaration->AddRef();
        } else if (FAILED(device->CreateVertexDeclaration(entry->elements, &entry->declaration))) {
            entry->declaration = nullptr;
        }
        *declaration = entry->declaration;
        return *declaration ? 1 : 0;
    }
    if (!GrowDeclarations()) {
        return 0;
    }
    const size_t bytes = count * sizeof(D3DVERTEXELEMENT9);
    auto* copy = static_cast<D3DVERTEXELEMENT9*>(GxMalloc(bytes, declarationElementsHint));
    if (!copy) {
        return 0;
    }
    if (FAILED(device->CreateVertexDeclaration(elements, declaration))) {
        GxFree(copy);
        *declaration = nullptr;
        return 0;
    }
    std::memcpy(copy, elements, bytes);
    bindings.declarations[bindings.numDeclarations++] = GxD3D9VertexDeclarationCacheEntry{*declaration, count, copy};
    return 1;
}

void GxD3D9DeleteVertexDeclaration(IDirect3DVertexDeclaration9* declaration)
{
    GxD3D9VertexDeclarationCacheEntry* entry = declaration ? FindDeclaration(declaration) : nullptr;
    if (!entry) {
        return;
    }
    if (declaration->Release() == 0) {
        entry->declaration = nullptr;
    }
}

void GxD3D9VertexDeclarationCacheRelease(void)
{
    for (GxInt32 i = 0; i < bindings.numDeclarations; i++) {
        GxD3D9VertexDeclarationCacheEntry& entry = bindings.declarations[i];
        if (entry.declaration) {
            while (entry.declaration->Release() != 0) {}
        }
        GxFree(entry.elements);
    }
    if (bindings.declarations) {
        GxFree(bindings.declarations);
    }
    bindings.declarations = nullptr;
    bindings.numDeclarations = 0;
    bindings.maxDeclarations = 0;
}

GxBool GxD3D9CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader)
{
    IDirect3DDevice9* device = Device();
    if (!shader || !function || !device) {
        return 0;
    }
    if (FAILED(device->CreateVertexShader(function, shader))) {
        return 0;
    }
    bindings.vertexShader = unknownPointer;
    return 1;
}

GxBool GxD3D9CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader)
{
    IDirect3DDevice9* device = Device();
    if (!shader || !function || !device) {
        return 0;
    }
    return Succeeded(device->CreatePixelShader(function, shader)) ? 1 : 0;
}

GxUInt32 GxD3D9DeleteVertexShader(IDirect3DUnknown9* object) { return object ? object->Release() : 0; }

const D3DCAPS9* GxD3D9GetCaps(void) { return &gxD3D9State.caps; }

void GxD3D9SetDeviceRestoreCallBack(GxD3D9DeviceRestoreCallBack callBack) { gxD3D9State.restoreCallBack = callBack; }

GxD3D9DeviceRestoreCallBack GxD3D9GetDeviceRestoreCallBack(void) { return gxD3D9State.restoreCallBack; }

// ---- frustum tests ----

GxBool GxD3D9CameraIsSphereFullyInsideFrustum(const GxCamera* camera, const GxSphere* sphere)
{
    for (const GxFrustumPlane& frustumPlane : camera->frustumPlanes) {
        const GxPlane& plane = frustumPlane.plane;
        const GxReal d = GxV3dDotProduct(&plane.normal, &sphere->center) - plane.distance;
        if (d > -sphere->radius) {
            return 0;
        }
    }
    return 1;
}

GxBool GxD3D9CameraIsBBoxFullyInsideFrustum(const GxCamera* camera, const GxBBox* box)
{
    for (const GxFrustumPlane& frustumPlane : camera->frustumPlanes) {
        const GxV3d corner = {frustumPlane.closestX ? box->sup.x : box->inf.x,
                              frustumPlane.closestY ? box->sup.y : box->inf.y,
                              frustumPlane.closestZ ? box->sup.z : box->inf.z};
        if (GxV3dDotProduct(&frustumPlane.plane.normal, &corner) > frustumPlane.plane.distance) {
            return 0;
        }
    }
    return 1;
}
