// The driver's particle tanks: each tank's geometry and material, the shared quad index buffer, the vertex locks
// that feed the instancers (quads or point sprites in a dynamic vertex buffer, or the tank's own geometry), and
// the draw with the tank's blending.
//
// Sections: driver state - vertex layout - locks - point instancers - geometry path - create - render - locks and
// instancers - plugin.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/ptank.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/vertexbuffer.h"
#include "gfx/world/geometry.h"

namespace {

constexpr GxInt32 kCorners = 4;
constexpr GxInt32 kIndicesPerQuad = 6;
constexpr GxInt32 kMaxPointsPerDraw = 65535;
constexpr GxReal kAmbient = 0.3f;
constexpr GxReal kSpecular = 1.0f;
constexpr GxReal kDiffuse = 1.0f;
constexpr GxUInt32 kPositionBytes = 12;
constexpr GxUInt32 kNormalBytes = 12;
constexpr GxUInt32 kSizeBytes = 4;
constexpr GxUInt32 kColourBytes = 4;
constexpr GxUInt32 kTexCoordBytes = 8;
constexpr GxReal kPointScaleC = 0.5f;
// Data a point-sprite tank may hold: position, colour, normal, constant texture coordinates, pivot, layouts; and
// the size when the device takes a size per vertex.
constexpr GxUInt32 kPointData = 0x31080013;
constexpr GxUInt32 kPointDataSized = 0x31080017;
constexpr GxUInt32 kColouredData = gxPTANKDFLAGCOLOR | gxPTANKDFLAGVTXCOLOR | gxPTANKDFLAGCNSVTXCOLOR;
// Colours are instanced when the particles or the tank's constants give them.
constexpr GxUInt32 kColourPresence = kColouredData | gxPTANKDFLAGCNSCOLOR;
constexpr GxUInt32 kTexturedData =
    gxPTANKDFLAGVTX2TEXCOORDS | gxPTANKDFLAGVTX4TEXCOORDS | gxPTANKDFLAGCNSVTX2TEXCOORDS | gxPTANKDFLAGCNSVTX4TEXCOORDS;
// The tank's per-draw choice kept in its record.
constexpr GxUInt32 kStatePoints = 0x1;

// ---------------------------------------------------------------------------------------------- driver state

struct Driver {
    IDirect3DIndexBuffer9* quadIndices;
    GxInt32 quadIndexQuads;                // quads the shared buffer holds
    IDirect3DVertexBuffer9* vertexBuffer;  // of the tank being drawn
    GxUInt32 firstVertex;
    GxReal maxPointSize;
    GxBool pointSizeEach;
};
Driver driver = {};

bool Points(const GxParticleTank* tank) { return (tank->platformState & kStatePoints) != 0; }

// ---------------------------------------------------------------------------------------------- vertex layout

struct Layout {
    GxUInt32 fvf;
    GxUInt32 stride;
    GxUInt32 normal;
    GxUInt32 size;
    GxUInt32 colour;
    GxUInt32 texCoord;
};

Layout LayoutOf(const GxGeometry* geometry, const GxParticleTank* tank)
{
    Layout l = {D3DFVF_XYZ, kPositionBytes, 0, 0, 0, 0};
    if (geometry->flags & gxGEOMETRYNORMALS) {
        l.fvf |= D3DFVF_NORMAL;
        l.normal = l.stride;
        l.stride += kNormalBytes;
    }
    if (Points(tank) && (tank->format.dataFlags & gxPTANKDFLAGSIZE)) {
        l.fvf |= D3DFVF_PSIZE;
        l.size = l.stride;
        l.stride += kSizeBytes;
    }
    if (geometry->flags & gxGEOMETRYPRELIT) {
        l.fvf |= D3DFVF_DIFFUSE;
        l.colour = l.stride;
        l.stride += kColourBytes;
    }
    if (geometry->flags & gxGEOMETRYTEXTURED) {
        l.fvf |= D3DFVF_TEX1;
        l.texCoord = l.stride;
        l.stride += kTexCoordBytes;
    }
    return l;
}

// ---------------------------------------------------------------------------------------------- locks

bool LockVertices(GxPTankInstanceWork* work, GxAtomic* atomic, GxParticleTank* tank, GxUInt32 vertices)
{
    const GxGeometry* geometry = atomic->geometry;
    const Layout l = LayoutOf(geometry, tank);
    void* data = nullptr;
    if (!GxD3D9DynamicVertexBufferLock(l.stride, vertices, &driver.vertexBuffer, &data, &driver.firstVertex)) {
        driver.vertexBuffer = nullptr;
        return false;
    }
    auto* base = static_cast<GxUInt8*>(data);
    const auto stride = static_cast<GxInt32>(l.stride);
    work->hasPositions = 1;
    work->positions = base;
    work->positionStride = stride;
    work->hasNormals = (geometry->flags & gxGEOMETRYNORMALS) != 0;
    work->normals = base + l.normal;
    work->normalStride = stride;
    work->hasColors = (geometry->flags & gxGEOMETRYPRELIT) != 0;
    work->colors = base + l.colour;
    work->colorStride = stride;
    work->hasTexCoords = (geometry->flags & gxGEOMETRYTEXTURED) != 0;
    work->texCoords = base + l.texCoord;
    work->texCoordStride = stride;
    return true;
}

void SetTextured(GxAtomic* atomic, bool textured)
{
    GxGeometry* geometry = atomic->geometry;
    geometry->flags = textured ? geometry->flags | gxGEOMETRYTEXTURED : geometry->flags & ~gxGEOMETRYTEXTURED;
}

const GxMaterial* MaterialOf(const GxAtomic* atomic)
{
    const GxGeometry* geometry = atomic->geometry;
    return geometry && geometry->matList.numMaterials > 0 ? geometry->matList.materials[0] : nullptr;
}

// ---------------------------------------------------------------------------------------------- point instancers

// One vertex per particle: its position (moved by the pivot in x and y) and, for sized sprites, its width in the
// size slot behind the position and normal.
template <bool kOffset, bool kSized>
GxUInt8* PointPositions(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                        const GxPTankInstanceWork* work)
{
    const GxParticleTankLockStruct& positions = tank->format.kinds[0];
    const GxParticleTankLockStruct& sizes = tank->format.kinds[3];
    const GxUInt32 sizeAt = kPositionBytes + (work->hasNormals ? kNormalBytes : 0);
    for (GxInt32 i = 0; i < count; i++) {
        GxV3d p;
        memcpy(&p, positions.data + static_cast<size_t>(i) * positions.stride, sizeof(p));
        if (kOffset) {
            p.x += tank->cPivot[0];
            p.y += tank->cPivot[1];
        }
        memcpy(dst, &p, sizeof(p));
        if (kSized) {
            memcpy(dst + sizeAt, sizes.data + static_cast<size_t>(i) * sizes.stride, sizeof(GxReal));
        }
        dst += stride;
    }
    return dst;
}

GxPTankInstancer PickPointPositions(GxUInt32 flags)
{
    const bool offset = (flags & gxPTANKDFLAGUSECENTER) != 0;
    if (flags & gxPTANKDFLAGSIZE) {
        return offset ? GxD3D9ParticleTankInstancePointPositionsSizeOffset
                      : GxD3D9ParticleTankInstancePointPositionsSize;
    }
    return offset ? GxD3D9ParticleTankInstancePointPositionsOffset : GxD3D9ParticleTankInstancePointPositions;
}

// ---------------------------------------------------------------------------------------------- create

bool ChoosePoints(GxUInt32 dataFlags, GxUInt32 platformFlags)
{
    if (!(platformFlags & gxPTANKPLATFORMPOINTSPRITES) || driver.maxPointSize <= 1.0f) {
        return false;
    }
    const GxUInt32 allowed = driver.pointSizeEach ? kPointDataSized : kPointData;
    return (dataFlags & ~allowed) == 0;
}

// The shared buffer holds two triangles per particle of the largest tank; batches past 16-bit reach draw from a
// moved first vertex, so the wrapped indices of later quads are never used.
bool EnsureQuadIndices(GxInt32 quads)
{
    if (quads <= driver.quadIndexQuads && driver.quadIndices) {
        return true;
    }
    if (driver.quadIndices) {
        driver.quadIndices->Release();
        driver.quadIndices = nullptr;
        driver.quadIndexQuads = 0;
    }
    IDirect3DIndexBuffer9* buffer = nullptr;
    if (!GxD3D9IndexBufferCreate(static_cast<GxUInt32>(quads) * kIndicesPerQuad, &buffer)) {
        return false;
    }
    void* data = nullptr;
    if (FAILED(buffer->Lock(0, 0, &data, 0))) {
        buffer->Release();
        return false;
    }
    auto* indices = static_cast<GxUInt16*>(data);
    for (GxInt32 q = 0; q < quads; q++) {
        const auto v = static_cast<GxUInt16>(q * kCorners);
        const GxUInt16 quad[kIndicesPerQuad] = {v, static_cast<GxUInt16>(v + 1), static_cast<GxUInt16>(v + 2),
                                                v, static_cast<GxUInt16>(v + 2), static_cast<GxUInt16>(v + 3)};
        memcpy(indices + static_cast<size_t>(q) * kIndicesPerQuad, quad, sizeof(quad));
    }
    buffer->Unlock();
    driver.quadIndices = buffer;
    driver.quadIndexQuads = quads;
    return true;
}

// ---------------------------------------------------------------------------------------------- render

void Stage0(GxUInt32 op, GxUInt32 arg2)
{
    GxD3D9SetTextureStageState(0, D3DTSS_COLOROP, op);
    GxD3D9SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    GxD3D9SetTextureStageState(0, D3DTSS_COLORARG2, arg2);
    GxD3D9SetTextureStageState(0, D3DTSS_ALPHAOP, op);
    GxD3D9SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    GxD3D9SetTextureStageState(0, D3DTSS_ALPHAARG2, arg2);
}

void DrawQuadBatch(void*, GxInt32 firstVertex, GxInt32 vertices, GxInt32 triangles)
{
    GxD3D9RenderStateFlush();
    GxD3D9Device()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, firstVertex, 0, static_cast<UINT>(vertices), 0,
                                         static_cast<UINT>(triangles));
}

void DrawPoints(const GxParticleTank* tank, GxInt32 count)
{
    const GxReal width = tank->cSize[0];
    const GxReal zero = 0.0f;
    const GxReal scaleC = kPointScaleC;
    const auto bits = [](GxReal value) {
        GxUInt32 word;
        memcpy(&word, &value, sizeof(word));
        return word;
    };
    GxD3D9SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    GxD3D9SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
    GxD3D9SetRenderState(D3DRS_POINTSIZE, bits(width));
    GxD3D9SetRenderState(D3DRS_POINTSIZE_MIN, bits(zero));
    GxD3D9SetRenderState(D3DRS_POINTSIZE_MAX, bits(driver.maxPointSize));
    GxD3D9SetRenderState(D3DRS_POINTSCALE_A, bits(zero));
    GxD3D9SetRenderState(D3DRS_POINTSCALE_B, bits(zero));
    GxD3D9SetRenderState(D3DRS_POINTSCALE_C, bits(scaleC));
    GxUInt32 first = driver.firstVertex;
    for (GxInt32 left = count; left > 0;) {
        const GxInt32 n = left < kMaxPointsPerDraw ? left : kMaxPointsPerDraw;
        GxD3D9RenderStateFlush();
        GxD3D9Device()->DrawPrimitive(D3DPT_POINTLIST, first, static_cast<UINT>(n));
        first += static_cast<GxUInt32>(n);
        left -= n;
    }
    GxD3D9SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    GxD3D9SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
}

}  // namespace

// ---------------------------------------------------------------------------------------------- locks and instancers

GxBool GxD3D9ParticleTankLockQuads(GxPTankInstanceWork* work, GxAtomic* atomic, GxParticleTank* tank, GxInt32 count)
{
    const GxMaterial* material = MaterialOf(atomic);
    SetTextured(atomic, material && material->texture);
    GxPTankQuadAxes(tank, &work->right, &work->up);
    return LockVertices(work, atomic, tank, static_cast<GxUInt32>(count) * kCorners) ? 1 : 0;
}

GxBool GxD3D9ParticleTankLockPoints(GxPTankInstanceWork* work, GxAtomic* atomic, GxParticleTank* tank, GxInt32 count)
{
    SetTextured(atomic, false);
    return LockVertices(work, atomic, tank, static_cast<GxUInt32>(count)) ? 1 : 0;
}

void GxD3D9ParticleTankUnlockVertices(GxAtomic*, GxParticleTank*, GxPTankInstanceWork*)
{
    if (driver.vertexBuffer) {
        GxD3D9DynamicVertexBufferUnlock(driver.vertexBuffer);
    }
}

GxUInt8* GxD3D9ParticleTankInstancePointPositions(GxUInt8* dst, GxInt32 stride, GxInt32 count,
                                                  const GxParticleTank* tank, const GxPTankInstanceWork* work)
{
    return PointPositions<false, false>(dst, stride, count, tank, work);
}

GxUInt8* GxD3D9ParticleTankInstancePointPositionsOffset(GxUInt8* dst, GxInt32 stride, GxInt32 count,
                                                        const GxParticleTank* tank, const GxPTankInstanceWork* work)
{
    return PointPositions<true, false>(dst, stride, count, tank, work);
}

GxUInt8* GxD3D9ParticleTankInstancePointPositionsSize(GxUInt8* dst, GxInt32 stride, GxInt32 count,
                                                      const GxParticleTank* tank, const GxPTankInstanceWork* work)
{
    return PointPositions<false, true>(dst, stride, count, tank, work);
}

GxUInt8* GxD3D9ParticleTankInstancePointPositionsSizeOffset(GxUInt8* dst, GxInt32 stride, GxInt32 count,
                                                            const GxParticleTank* tank, const GxPTankInstanceWork* work)
{
    return PointPositions<true, true>(dst, stride, count, tank, work);
}

GxUInt8* GxD3D9ParticleTankInstanceColours(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                                           const GxPTankInstanceWork*)
{
    const GxParticleTankLockStruct& colours = tank->format.kinds[4];
    for (GxInt32 i = 0; i < count; i++) {
        GxRGBA c;
        memcpy(&c, colours.data + static_cast<size_t>(i) * colours.stride, sizeof(c));
        const GxUInt32 argb = GxPTankColorARGB(c);
        memcpy(dst, &argb, sizeof(argb));
        dst += stride;
    }
    return dst;
}

GxUInt8* GxD3D9ParticleTankInstanceNormals(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                                           const GxPTankInstanceWork*)
{
    const GxParticleTankLockStruct& normals = tank->format.kinds[2];
    for (GxInt32 i = 0; i < count; i++) {
        memcpy(dst, normals.data + static_cast<size_t>(i) * normals.stride, sizeof(GxV3d));
        dst += stride;
    }
    return dst;
}

// ---------------------------------------------------------------------------------------------- plugin

GxBool GxD3D9ParticleTankOpen(void)
{
    // Nothing of an earlier device is usable on this one.
    driver = Driver{};
    const D3DCAPS9* caps = GxD3D9GetCaps();
    driver.maxPointSize = caps ? caps->MaxPointSize : 0.0f;
    driver.pointSizeEach = caps && (caps->FVFCaps & D3DFVFCAPS_PSIZE) ? 1 : 0;
    return 1;
}

void GxD3D9ParticleTankClose(void)
{
    if (driver.quadIndices) {
        driver.quadIndices->Release();
    }
    driver = Driver{};
}

GxBool GxD3D9ParticleTankCreateCallback(GxAtomic* atomic, GxParticleTankFormat* format, GxInt32 capacity,
                                        GxUInt32 dataFlags, GxUInt32 platformFlags)
{
    GxParticleTank* tank = GxParticleTankGet(atomic);
    const bool points = ChoosePoints(dataFlags, platformFlags);
    GxUInt32 flags = (dataFlags & gxPTANKDFLAGNORMAL)
                         ? gxGEOMETRYPOSITIONS | gxGEOMETRYNORMALS | gxGEOMETRYLIGHT | gxGEOMETRYMODULATEMATERIALCOLOR
                         : gxGEOMETRYPOSITIONS;
    if (dataFlags & kColouredData) {
        flags |= gxGEOMETRYPRELIT;
    }
    if (!points) {
        flags |= gxGEOMETRYTEXTURED;
    }
    GxGeometry* geometry = GxGeometryCreateEmpty(1.0f);
    GxMaterial* material = geometry ? GxMaterialCreate() : nullptr;
    if (!material) {
        if (geometry) {
            GxGeometryDestroy(geometry);
        }
        return 0;
    }
    geometry->flags = flags;
    material->surfaceProps = {kAmbient, kSpecular, kDiffuse};
    const bool listed = GxMaterialListAppendMaterial(&geometry->matList, material) >= 0;
    GxMaterialDestroy(material);  // the list holds it now
    if (!listed) {
        GxGeometryDestroy(geometry);
        return 0;
    }
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxGeometryDestroy(geometry);  // the atomic holds it now
    if (!points && !EnsureQuadIndices(capacity)) {
        return 0;
    }
    tank->cColor = {0, 0, 0, 255};
    tank->platformState = points ? kStatePoints : 0;
    GxPTankSelectInstancers(atomic);
    if (points) {
        tank->instancers.setup = GxD3D9ParticleTankLockPoints;
        tank->instancers.positions = PickPointPositions(format->dataFlags | tank->cFlags);
        tank->instancers.normals = GxD3D9ParticleTankInstanceNormals;
        if (format->dataFlags & gxPTANKDFLAGCOLOR) {
            tank->instancers.colors = GxD3D9ParticleTankInstanceColours;
        }
    } else {
        tank->instancers.setup = GxD3D9ParticleTankLockQuads;
    }
    tank->instancers.finish = GxD3D9ParticleTankUnlockVertices;
    return 1;
}

GxBool GxD3D9ParticleTankRenderCallback(GxAtomic* atomic, GxParticleTankFormat* format, GxInt32 count)
{
    GxParticleTank* tank = GxParticleTankGet(atomic);
    GxGeometry* geometry = atomic->geometry;
    GX_ASSERT(tank && geometry && format, "a tank atomic holds its record, geometry and format");
    if (!driver.vertexBuffer || count <= 0) {
        return 1;  // nothing could be locked: nothing is drawn
    }
    const Layout layout = LayoutOf(geometry, tank);
    GxD3D9AtomicLighting(atomic);
    GxD3D9SetTransformWorld(nullptr);
    GxUInt32 lighting = 0;
    GxUInt32 shadeMode = 0;
    GxD3D9GetRenderState(D3DRS_LIGHTING, &lighting);
    GxD3D9GetRenderState(D3DRS_SHADEMODE, &shadeMode);
    GxD3D9SetRenderState(D3DRS_LOCALVIEWER, FALSE);
    const GxMaterial* material = MaterialOf(atomic);
    // Point sprites take their texture coordinates from the device: their material's texture is drawn too.
    const GxTexture* texture = material ? material->texture : nullptr;
    const GxUInt32 op = texture ? D3DTOP_MODULATE : D3DTOP_SELECTARG2;
    // Without lighting and without per-particle colour (one colour or four corners) the tank's constant colour
    // comes in as the texture factor.
    if (!lighting && !(format->dataFlags & (gxPTANKDFLAGCOLOR | gxPTANKDFLAGVTXCOLOR))) {
        GxD3D9SetRenderState(D3DRS_TEXTUREFACTOR, GxPTankColorARGB(tank->cColor));
        GxD3D9SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
        Stage0(op, D3DTA_TFACTOR);
    } else {
        Stage0(op, D3DTA_DIFFUSE);
    }
    GxD3D9SetRenderState(D3DRS_CLIPPING, TRUE);
    GxD3D9SetPixelShader(nullptr);
    GxD3D9SetVertexShader(nullptr);
    GxD3D9SetFVF(layout.fvf);
    GxD3D9SetTexture(texture, 0);
    // The tank blends its own way; the blend factors set before are put back after the draw.
    GxInt32 srcBlend = 0;
    GxInt32 dstBlend = 0;
    const bool blendChanged = tank->vertexAlphaBlend != 0;
    if (blendChanged) {
        GxD3D9RenderStateGet(gxRENDERSTATESRCBLEND, &srcBlend);
        GxD3D9RenderStateGet(gxRENDERSTATEDESTBLEND, &dstBlend);
        GxD3D9SetSrcBlend(static_cast<GxUInt32>(tank->srcBlend));
        GxD3D9SetDestBlend(static_cast<GxUInt32>(tank->dstBlend));
    }
    GxD3D9SetVertexAlpha(blendChanged ? 1 : 0);
    if (lighting && material) {
        GxD3D9SetSurfaceProperties(&material->surfaceProps, &material->color, geometry->flags);
    }
    GxD3D9SetStreamSource(0, driver.vertexBuffer, 0, layout.stride);
    if (Points(tank)) {
        DrawPoints(tank, count);
    } else {
        GxD3D9SetIndices(driver.quadIndices);
        GxParticleTankSplitQuads(static_cast<GxInt32>(driver.firstVertex), count * kCorners, DrawQuadBatch, nullptr);
    }
    GxD3D9SetRenderState(D3DRS_SHADEMODE, shadeMode);
    if (blendChanged) {
        GxD3D9SetSrcBlend(static_cast<GxUInt32>(srcBlend));
        GxD3D9SetDestBlend(static_cast<GxUInt32>(dstBlend));
    }
    driver.vertexBuffer = nullptr;
    return 1;
}

GxBool GxPTankInstanceSetup(GxPTankInstanceWork* work, GxAtomic* atomic, GxParticleTank* tank, GxInt32 count)
{
    GxGeometry* geometry = atomic->geometry;
    const GxInt32 vertices = tank->maxPCount * kCorners;
    if (!geometry || geometry->numVertices < vertices || count > tank->maxPCount) {
        return 0;
    }
    const GxUInt32 flags = tank->format.dataFlags | tank->cFlags;
    GxMorphTarget& target = geometry->morphTarget[0];
    GxUInt16 lock = gxGEOMETRYLOCKVERTICES;
    if (tank->cFlags & gxPTANKDFLAGHIDEINACTIVE) {
        const GxV3d hidden = {gxPTANKHIDDENPOSITION, gxPTANKHIDDENPOSITION, gxPTANKHIDDENPOSITION};
        for (GxInt32 v = count * kCorners; v < vertices; v++) {
            target.verts[v] = hidden;
        }
    }
    GxPTankQuadAxes(tank, &work->right, &work->up);
    work->hasPositions = 1;
    work->positions = reinterpret_cast<GxUInt8*>(target.verts);
    work->positionStride = sizeof(GxV3d);
    // A part the flags ask for but the geometry lacks is not written: its array is null.
    work->hasColors = (flags & kColourPresence) != 0 && geometry->preLitLum;
    work->colors = reinterpret_cast<GxUInt8*>(geometry->preLitLum);
    work->colorStride = sizeof(GxRGBA);
    work->colorsAsRGBA = 1;
    work->hasTexCoords = (flags & kTexturedData) != 0 && geometry->texCoords[0];
    work->texCoords = reinterpret_cast<GxUInt8*>(geometry->texCoords[0]);
    work->texCoordStride = sizeof(GxTexCoords);
    work->hasNormals = (flags & gxPTANKDFLAGNORMAL) != 0 && target.normals;
    work->normals = reinterpret_cast<GxUInt8*>(target.normals);
    work->normalStride = sizeof(GxV3d);
    lock |= work->hasColors ? gxGEOMETRYLOCKPRELIGHT : 0;
    lock |= work->hasTexCoords ? gxGEOMETRYLOCKTEXCOORDS : 0;
    lock |= work->hasNormals ? gxGEOMETRYLOCKNORMALS : 0;
    GxGeometryLock(geometry, lock);
    return 1;
}

void GxPTankInstanceFinish(GxAtomic* atomic, GxParticleTank*, GxPTankInstanceWork*)
{
    GxGeometryUnlock(atomic->geometry);
}

GxBool GxD3D9ParticleTankPluginAttach(void)
{
    static const GxParticleTankCallBackSet callbacks = {nullptr, GxD3D9ParticleTankCreateCallback, GxPTankInstance,
                                                        GxD3D9ParticleTankRenderCallback};
    static const GxParticleTankDriverHooks hooks = {GxD3D9ParticleTankOpen, GxD3D9ParticleTankClose};
    GxParticleTankSetDefaultCallbacks(&callbacks);
    GxParticleTankSetDriverHooks(&hooks);
    return GxParticleTankPluginAttach();
}
