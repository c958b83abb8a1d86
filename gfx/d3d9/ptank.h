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

// Chooses the instancers for the tank's data flags; the set-up and finish are the caller's.
void GxPTankSelectInstancers(GxParticleTank* tank, GxPTankInstancers* table);

// Geometry path: the set-up writes the tank's own geometry (four vertices per particle up to its capacity, the
// corners past `count` hidden with gxPTANKDFLAGHIDEINACTIVE) and the finish unlocks it, so the atomic pipeline
// re-instances and draws it.
GxBool GxPTankInstanceSetup(GxPTankInstanceWork* work, GxAtomic* atomic, GxParticleTank* tank, GxInt32 count);
void GxPTankInstanceFinish(GxAtomic* atomic, GxParticleTank* tank, GxPTankInstanceWork* work);
// Moves a quad tank (with a frame, capacity below 16384) onto the geometry path: a geometry of four vertices and
// two triangles per particle replaces its empty one, and the atomic pipeline draws it. Null when it cannot.
GxAtomic* GxD3D9ParticleTankUseGeometry(GxAtomic* atomic);

// The quad axes of a tank: its constant matrix's, or the current camera's (right negated) turned by its constant
// rotation.
void GxPTankQuadAxes(const GxParticleTank* tank, GxV3d* right, GxV3d* up);
// ARGB value of a tank colour.
GxUInt32 GxPTankColorARGB(const GxRGBA& colour);
