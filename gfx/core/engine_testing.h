// Test device for the graphics core's tests: answers the lifecycle requests and records them.
#pragma once

#include <cstring>
#include <vector>

#include "gfx/core/engine.h"

// A headless device: handles open, close, start, stop, register, the standard functions,
// after-start and before-stop, and nothing else, so every query falls to the dispatcher.
struct GxTestDevice {
    GxDevice record;
    std::vector<GxInt32> requests;     // every request in the order it came
    GxInt32 failRequest = -1;          // this request answers 0
    GxBool rasterExtensionResult = 1;  // what the raster-extension registration returns
    void* lastOpenParams = nullptr;
    const GxMemoryFunctions* memoryFuncs = nullptr;
};

inline GxTestDevice gxTestDevice;

inline GxBool GxTestStandardFunction(void*, void*, GxInt32) { return 1; }

inline GxBool GxTestDeviceSystem(GxInt32 request, void* out, void* inOut, GxInt32 in)
{
    gxTestDevice.requests.push_back(request);
    if (request == gxTestDevice.failRequest) {
        return 0;
    }
    switch (request) {
    case gxDEVICESYSTEMOPEN:
        gxTestDevice.lastOpenParams = inOut;
        return 1;
    case gxDEVICESYSTEMREGISTER:
        *static_cast<GxDevice*>(out) = gxTestDevice.record;
        gxTestDevice.memoryFuncs = static_cast<const GxMemoryFunctions*>(inOut);
        return 1;
    case gxDEVICESYSTEMSTANDARDS: {
        auto* table = static_cast<GxStandardFunc*>(out);
        for (GxInt32 i = 0; i < in; i++) {
            table[i] = GxTestStandardFunction;
        }
        return 1;
    }
    case gxDEVICESYSTEMCLOSE:
    case gxDEVICESYSTEMSTART:
    case gxDEVICESYSTEMSTOP:
    case gxDEVICESYSTEMFINALIZESTART:
    case gxDEVICESYSTEMINITIATESTOP:
        return 1;
    default:
        return 0;
    }
}

inline GxDevice* GxTestDeviceGet(void) { return &gxTestDevice.record; }
inline GxBool GxTestDeviceRasterExtension(void) { return gxTestDevice.rasterExtensionResult; }

inline const GxDriver gxTestDriver = {GxTestDeviceGet, GxTestDeviceRasterExtension};

// Resets the test device and installs it as the engine's driver.
inline void GxTestDeviceInstall(void)
{
    gxTestDevice.record = GxDevice{1.0f, GxTestDeviceSystem, 0.0f, 1.0f, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, {}};
    gxTestDevice.requests.clear();
    gxTestDevice.failRequest = -1;
    gxTestDevice.rasterExtensionResult = 1;
    gxTestDevice.lastOpenParams = nullptr;
    gxTestDevice.memoryFuncs = nullptr;
    GxEngineSetDriver(&gxTestDriver);
}

// Init, open and start with the test device; true when the engine is started.
inline bool GxTestEngineStart(GxUInt32 initFlags = 0, GxUInt32 arenaSize = 0x400000,
                              const GxMemoryFunctions* memFuncs = nullptr)
{
    static int window = 0;
    GxTestDeviceInstall();
    return GxEngineInit(memFuncs, initFlags, arenaSize) && GxEngineOpen(&window) && GxEngineStart();
}

// Stop, close and terminate whatever state the engine is in.
inline void GxTestEngineShutdown(void)
{
    if (GxEngineInstance->engineStatus == gxENGINESTATUSSTARTED) {
        GxEngineStop();
    }
    if (GxEngineInstance->engineStatus == gxENGINESTATUSOPENED) {
        GxEngineClose();
    }
    if (GxEngineInstance->engineStatus == gxENGINESTATUSINITED) {
        GxEngineTerm();
    }
    GxError discard;
    GxErrorGet(&discard);
}
