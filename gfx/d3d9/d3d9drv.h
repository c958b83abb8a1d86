// Public entry points of the Direct3D 9 driver: the device record, the request handler and the start-up choices.
//
// gfx_d3d9 is the graphics library's device driver and every Direct3D 9 pipeline. It owns the device and its
// adapters and video modes, the render-state and texture-stage caches, native rasters and textures (DDS and
// compressed formats), vertex buffers, the 2D and 3D immediate modes and the drawing of
// skins, material effects, particles and UV animation. It calls gfx/core, gfx/world, gfx/anim, gfx/fx and the
// Direct3D 9 stand-in (platform/d3d9). The core reaches it only through the record GxD3D9GetDriver returns,
// which the game's program hands over in the start-up table (GxD3D9GetStartup) and tools hand to
// GxEngineSetDriver before GxEngineInit: the device record and request handler, the standard functions, the
// hook that registers the driver's own engine modules (Im3D) at their place in the module order, and the
// raster extension. Threading: the engine's one thread. Ownership: the driver owns
// the Direct3D objects between engine open and close; rasters and vertex buffers are freed through their
// destroy functions, and every device object is released before the device goes.
#pragma once

#include "gfx/core/engine.h"

// The driver's device record; the engine copies it into its instance at open.
GxDevice* GxD3D9GetDevice(void);

// The driver's device request handler (request, out, inOut, in); nonzero on success.
GxBool GxD3D9SystemHandler(GxInt32 request, void* out, void* inOut, GxInt32 in);

// Caps the full-screen refresh rate: a chosen mode runs at its best rate at or
// below the cap, else at the adapter's default rate. 0 asks for the default rate.
void GxD3D9SetRefreshRate(GxUInt32 rate);

// Registers the driver's raster extension (run at the end of GxEngineInit).
GxBool GxD3D9AttachRasterPlugin(void);

// The driver as the engine opens it (GxEngineSetDriver takes it).
const GxDriver* GxD3D9GetDriver(void);

// The driver's start-up table (gfx/core/startup.h): its record, plugins and DDS texture read.
struct GxStartup;
const GxStartup* GxD3D9GetStartup(void);

// Processor features found when the device opened (each 0 or 1).
GxBool GxCPUHaveSSE(void);
GxBool GxCPUHaveSSE2(void);
GxBool GxCPUHave3DNow(void);

// Maximum texture size, free texture memory and device id come through the
// request handler (GxEngineDeviceRequest with requests 19, 12, 22).
enum GxD3D9DeviceRequest {
    gxD3D9DEVICESYSTEMFOCUS = 8,
    gxD3D9DEVICESYSTEMGETTEXMEMSIZE = 12,
    gxD3D9DEVICESYSTEMGETMAXTEXTURESIZE = 19,
    gxD3D9DEVICESYSTEMGETID = 22,
};

// ---- declarations added by the other renderer modules go below, one block each ----
