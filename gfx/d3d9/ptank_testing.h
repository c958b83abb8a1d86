// Test access to the geometry set-up and finish of particle tanks: a quad tank moved onto its own geometry, which
// the atomic pipeline draws. Compiled only into the tests that include it.
#pragma once

#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/ptank.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/world/clump.h"
#include "gfx/world/geometry.h"

// Draws a tank's geometry through the atomic pipeline with culling off, as for its quads in a vertex buffer.
inline GxBool GxTestTankRenderGeometry(GxAtomic* atomic, GxParticleTankFormat*, GxInt32)
{
    GxUInt32 cullMode = 0;
    GxD3D9GetRenderState(D3DRS_CULLMODE, &cullMode);
    GxD3D9SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const bool drawn = GxAtomicDefaultRenderCallback(atomic) != nullptr;
    GxD3D9SetRenderState(D3DRS_CULLMODE, cullMode);
    return drawn ? 1 : 0;
}

// The atomic's own render step after the geometry was drawn: nothing more to draw.
inline GxAtomic* GxTestTankDrawnAlready(GxAtomic* atomic) { return atomic; }

// Gives a quad tank (with a frame, fewer corners than a geometry holds) a geometry of four vertices and two
// triangles per particle, with a colour on every corner and texture coordinates when its particles have them, and
// the generic instancers. Null when it cannot.
inline GxAtomic* GxTestTankUseGeometry(GxAtomic* atomic)
{
    constexpr GxInt32 corners = 4;
    constexpr GxUInt32 textured = gxPTANKDFLAGVTX2TEXCOORDS | gxPTANKDFLAGVTX4TEXCOORDS | gxPTANKDFLAGCNSVTX2TEXCOORDS |
                                  gxPTANKDFLAGCNSVTX4TEXCOORDS;
    GxParticleTank* tank = GxParticleTankGet(atomic);
    GxGeometry* old = atomic ? atomic->geometry : nullptr;
    if (!tank || !old || tank->instancers.setup != GxD3D9ParticleTankLockQuads || !atomic->object.object.parent ||
        tank->maxPCount * corners >= gxGEOMETRYMAXVERTICES || old->matList.numMaterials < 1) {
        return nullptr;
    }
    GxUInt32 flags = old->flags | gxGEOMETRYPRELIT;
    if (tank->format.dataFlags & textured) {
        flags |= gxGEOMETRYTEXTURED;
    }
    GxGeometry* geometry = GxGeometryCreate(tank->maxPCount * corners, tank->maxPCount * 2, flags);
    if (!geometry) {
        return nullptr;
    }
    GxMaterial* material = old->matList.materials[0];
    for (GxInt32 q = 0; q < tank->maxPCount; q++) {
        const auto v = static_cast<GxUInt16>(q * corners);
        GxTriangle* pair = geometry->triangles + 2 * q;
        pair[0].vertIndex[0] = v;
        pair[0].vertIndex[1] = static_cast<GxUInt16>(v + 1);
        pair[0].vertIndex[2] = static_cast<GxUInt16>(v + 2);
        pair[1].vertIndex[0] = v;
        pair[1].vertIndex[1] = static_cast<GxUInt16>(v + 2);
        pair[1].vertIndex[2] = static_cast<GxUInt16>(v + 3);
        if (!GxGeometryTriangleSetMaterial(geometry, &pair[0], material) ||
            !GxGeometryTriangleSetMaterial(geometry, &pair[1], material)) {
            GxGeometryDestroy(geometry);
            return nullptr;
        }
    }
    geometry->morphTarget[0].boundingSphere = old->morphTarget[0].boundingSphere;
    if (!GxGeometryUnlock(geometry)) {
        GxGeometryDestroy(geometry);
        return nullptr;
    }
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxGeometryDestroy(geometry);  // the atomic holds it now
    tank->cFlags |= gxPTANKDFLAGHIDEINACTIVE;
    GxPTankSelectInstancers(atomic);
    tank->callbacks.render = GxTestTankRenderGeometry;
    tank->savedRender = GxTestTankDrawnAlready;  // the render callback drew the geometry
    tank->updateFlags = 0xFFFFFFFFu;
    return atomic;
}
