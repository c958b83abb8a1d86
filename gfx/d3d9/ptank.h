// The driver's side of particle tanks: the tank's geometry and material, the instancers that expand particles into
// quad corners or point sprites, and the draw with the tank's own blending.
//
// GxD3D9ParticleTankPluginAttach installs the driver's create and render callbacks as the tanks' defaults and
// attaches the tank plugin; it runs before GxEngineOpen. The shared quad index buffer lives from the first tank
// that needs it to engine close and only grows. One thread.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/fx/particles.h"

// Platform flag of a tank asking for point sprites.
constexpr GxUInt32 gxPTANKPLATFORMPOINTSPRITES = 0x1;
// Position given to the corners of particles past the drawn count on the geometry path: far out of view.
constexpr GxReal gxPTANKHIDDENPOSITION = -666.0f;

GxBool GxD3D9ParticleTankPluginAttach(void);

// The driver's tank callbacks (the defaults GxParticleTankCreate uses once the plugin is attached).
GxBool GxD3D9ParticleTankCreateCallback(GxAtomic* atomic, GxParticleTankFormat* format, GxInt32 capacity,
                                        GxUInt32 dataFlags, GxUInt32 platformFlags);
GxBool GxD3D9ParticleTankRenderCallback(GxAtomic* atomic, GxParticleTankFormat* format, GxInt32 count);
// Engine open keeps the device's largest point size and whether it takes a size per vertex; close releases the shared
// quad index buffer.
GxBool GxD3D9ParticleTankOpen(void);
void GxD3D9ParticleTankClose(void);

// The Direct3D set-ups lock `count` quads (four vertices each, axes from the tank or the camera, textured when the
// material has a texture) or `count` points (untextured vertices) in a dynamic vertex buffer and describe its parts;
// false when no space can be had. The finish unlocks it.
GxBool GxD3D9ParticleTankLockQuads(GxPTankInstanceWork* work, GxAtomic* atomic, GxParticleTank* tank, GxInt32 count);
GxBool GxD3D9ParticleTankLockPoints(GxPTankInstanceWork* work, GxAtomic* atomic, GxParticleTank* tank, GxInt32 count);
void GxD3D9ParticleTankUnlockVertices(GxAtomic* atomic, GxParticleTank* tank, GxPTankInstanceWork* work);
// Point instancers, one vertex per particle: the position (moved by the pivot in x and y for the offset forms) and,
// for the size forms, the width in the point-size slot; the normal; the colour as an ARGB word.
GxUInt8* GxD3D9ParticleTankInstancePointPositions(GxUInt8* dst, GxInt32 stride, GxInt32 count,
                                                  const GxParticleTank* tank, const GxPTankInstanceWork* work);
GxUInt8* GxD3D9ParticleTankInstancePointPositionsOffset(GxUInt8* dst, GxInt32 stride, GxInt32 count,
                                                        const GxParticleTank* tank, const GxPTankInstanceWork* work);
GxUInt8* GxD3D9ParticleTankInstancePointPositionsSize(GxUInt8* dst, GxInt32 stride, GxInt32 count,
                                                      const GxParticleTank* tank, const GxPTankInstanceWork* work);
GxUInt8* GxD3D9ParticleTankInstancePointPositionsSizeOffset(GxUInt8* dst, GxInt32 stride, GxInt32 count,
                                                            const GxParticleTank* tank,
                                                            const GxPTankInstanceWork* work);
GxUInt8* GxD3D9ParticleTankInstanceNormals(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                                           const GxPTankInstanceWork* work);
GxUInt8* GxD3D9ParticleTankInstanceColours(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                                           const GxPTankInstanceWork* work);

// Fills the tank's instancer table from its data flags: the generic instancers with the geometry set-up and finish.
// The create callback then puts the Direct3D locks and point instancers in their place.
void GxPTankSelectInstancers(GxAtomic* tank);

// Geometry set-up and finish: the set-up writes the tank's own geometry (four vertices per particle up to its
// capacity, the corners past `count` hidden with gxPTANKDFLAGHIDEINACTIVE; false when the geometry holds fewer) and
// the finish unlocks it, so the atomic pipeline re-instances and draws it.
GxBool GxPTankInstanceSetup(GxPTankInstanceWork* work, GxAtomic* atomic, GxParticleTank* tank, GxInt32 count);
void GxPTankInstanceFinish(GxAtomic* atomic, GxParticleTank* tank, GxPTankInstanceWork* work);

// The quad axes of a tank: its constant matrix's, or the current camera's (right negated) turned by its constant
// rotation.
void GxPTankQuadAxes(const GxParticleTank* tank, GxV3d* right, GxV3d* up);
// ARGB value of a tank colour.
GxUInt32 GxPTankColorARGB(const GxRGBA& colour);
