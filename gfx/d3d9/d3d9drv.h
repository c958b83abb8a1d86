// Public entry points of the Direct3D 9 driver: the device record, the request handler and the start-up choices.
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
