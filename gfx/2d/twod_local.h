// Internals shared by the 2D toolkit's files: module state, the vertex scratch buffer and the batch submission.
#pragma once

#include "gfx/2d/gx2d.h"
#include "gfx/core/camera.h"
#include "gfx/core/im3d.h"
#include "gfx/core/memory.h"

// Memory hints of the toolkit's blocks: a duration over the id of what the block belongs to.
constexpr GxUInt32 gx2DID = 0x190;
constexpr GxUInt32 gx2DPATHID = 0x1A1;
constexpr GxUInt32 gx2DBRUSHID = 0x1A2;
constexpr GxUInt32 gx2DFONTID = 0x199;
constexpr GxUInt32 gx2DHINTPATHLIST = gxMEMHINTDURGLOBAL | gx2DPATHID;
constexpr GxUInt32 gx2DHINTPATHPOINTS = gxMEMHINTDUROBJECT | gx2DPATHID;
constexpr GxUInt32 gx2DHINTBRUSHLIST = gxMEMHINTDURGLOBAL | gx2DBRUSHID;
constexpr GxUInt32 gx2DHINTSCRATCH = gxMEMHINTDURGLOBAL | gx2DID;
constexpr GxUInt32 gx2DHINTFONTLIST = gxMEMHINTDURGLOBAL | gx2DFONTID;
constexpr GxUInt32 gx2DHINTFONTDATA = gxMEMHINTDUROBJECT | gx2DFONTID;
constexpr GxUInt32 gx2DHINTFONTNAME = gxMEMHINTDURFUNCTION | gx2DID;
static_assert(gx2DHINTPATHLIST == 0x401A1 && gx2DHINTFONTNAME == 0x10190, "hints are stored in memory records");

// The vertex scratch buffer: 256 immediate-mode vertices, shared by fill, stroke and text.
constexpr GxInt32 gx2DSCRATCHVERTICES = 256;
// A batch is drawn once this many vertices are pending; even, so a continued strip keeps its winding.
constexpr GxInt32 gx2DBATCHVERTICES = 254;
// Bitmap text: quads per batch and the quad index table.
constexpr GxInt32 gx2DQUADSPERBATCH = 64;
constexpr GxInt32 gx2DINDICESPERQUAD = 6;

struct Gx2DDevice {
    GxCamera* camera;
    GxReal width, height;   // frame-buffer raster size
    GxReal viewX2, viewY2;  // view window, doubled
    GxReal layerDepth;
    GxReal flatnessFactor;
    GxInt32 subdivisionDepth;
    GxMatrix device;  // D
    GxMatrix inverse;
    GxBool deviceValid;
    GxReal tolerance;
    GxBool toleranceValid;
    GxMatrix world;                        // the last result of Gx2DCTMGetWorldMatrix
    GxCameraEndUpdateFunc savedEndUpdate;  // the camera's callback that the hook stands in front of
};

struct Gx2DModule {
    GxBool open;
    Gx2DDevice device;
    GxMatrix* ctm[gx2DCTMSTACKDEPTH];
    GxInt32 ctmTop;
    GxUInt16 identityIndices[gx2DSCRATCHVERTICES];
    GxFreeList* pathList;
    Gx2DPath* scratchPath;
    GxFreeList* brushList;
    GxIm3DVertex* scratch;
    GxFreeList* fontList;
    GxChar* fontPath;
    GxUInt16 quadIndices[gx2DQUADSPERBATCH * gx2DINDICESPERQUAD];
    GxTexDictionary* fontDictionary;
    Gx2DFontReader reader;
};

extern Gx2DModule gx2D;

// The end-update callback a device camera is given: calls the camera's saved callback (it is never restored).
GxCamera* Gx2DCameraEndUpdateHook(GxCamera* camera);

// The depth user space is drawn at: 1.0 for a parallel camera, else the layer depth.
GxReal Gx2DDeviceDepth(void);

// Draws one batch of scratch vertices through immediate-mode 3D; the hook lets tests see every batch.
typedef GxBool (*Gx2DBatchFunc)(GxIm3DVertex* vertices, GxInt32 numVertices, const GxMatrix* matrix, GxUInt32 flags,
                                GxInt32 primType, const GxUInt16* indices, GxInt32 numIndices);
GxBool Gx2DDrawBatch(GxIm3DVertex* vertices, GxInt32 numVertices, const GxMatrix* matrix, GxUInt32 flags,
                     GxInt32 primType, const GxUInt16* indices, GxInt32 numIndices);
// The batch hook tests install; null submits through immediate-mode 3D.
extern Gx2DBatchFunc gx2DBatchFunc;

// Texture set-up shared by fill and stroke.
void Gx2DBrushSetupTexture(const Gx2DBrush* brush);
// Packed D3D colour (alpha, red, green, blue from the high byte down).
GxUInt32 Gx2DBrushFlatColour(const Gx2DBrush* brush);
// The colour at across-parameter s and up-parameter r (0 bottom, 1 top) of a shaded brush.
GxUInt32 Gx2DBrushColourAt(const Gx2DBrush* brush, GxReal s, GxReal r);
// 1 / extent, or 0 for an extent that is zero or not finite (no ramp then).
GxReal Gx2DSafeReciprocal(GxReal extent);

GxBool Gx2DPathModuleOpen(void);
void Gx2DPathModuleClose(void);
GxBool Gx2DBrushModuleOpen(void);
void Gx2DBrushModuleClose(void);
GxBool Gx2DFontModuleOpen(void);
void Gx2DFontModuleClose(void);
