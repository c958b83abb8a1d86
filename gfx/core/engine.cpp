// The engine instance, its lifecycle, the core module registration and the device request dispatcher.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"

namespace {

GxEngine staticEngine;
GxPluginRegistry engineTKList = GxPluginRegistryInitializer(sizeof(GxEngine), 0);
GxInt32 engineOpenCount = 0;
// Installed by the program (GxEngineSetDriver); the core never picks one itself.
const GxDriver* installedDriver = nullptr;

// Stands in for a device when no driver is installed: it handles no request.
GxBool NullDeviceSystem(GxInt32, void*, void*, GxInt32) { return 0; }
GxDevice nullDevice = {1.0f, NullDeviceSystem, 0.0f, 1.0f, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};

// Marks the place in the module order where the driver registers its own modules.
constexpr const GxCoreModule* kDriverModules = nullptr;

// The core's modules in registration order. The driver's modules (Im3D) take their place between the name
// records and the resources, which keeps every module's offset where it has always been.
const GxCoreModule* const coreModules[] = {
    &gxErrorModule,    &gxVectorModule,     &gxEmptyModule, &gxMatrixModule,    &gxFrameModule,
    &gxStreamModule,   &gxCameraModule,     &gxImageModule, &gxRasterModule,    &gxTextureModule,
    &gxPipelineModule, &gxNameRecordModule, kDriverModules, &gxResourcesModule,
};

const char subSystemName[] = "Only rendering sub system";

GxDevice* DriverDevice()
{
    if (installedDriver && installedDriver->getDevice) {
        if (GxDevice* device = installedDriver->getDevice()) {
            return device;
        }
    }
    return &nullDevice;
}

GxBool RegisterDriverModules()
{
    if (!installedDriver || !installedDriver->registerModules) {
        return 1;
    }
    return installedDriver->registerModules();
}

GxBool RegisterCoreModules()
{
    for (const GxCoreModule* module : coreModules) {
        const GxBool registered = module != kDriverModules ? GxEngineRegisterModule(module) : RegisterDriverModules();
        if (!registered) {
            return 0;
        }
    }
    return 1;
}

GxBool RegisterDriverExtension()
{
    if (!installedDriver || !installedDriver->rasterExtensionRegister) {
        return 1;
    }
    return installedDriver->rasterExtensionRegister();
}

// Request on the current instance's device block.
GxBool Request(GxInt32 request, void* out, void* inOut, GxInt32 in)
{
    return GxEngineDeviceRequest(&GxEngineInstance->dOpenDevice, request, out, inOut, in);
}

// A number the device reports, or fallback when it does not answer.
GxInt32 RequestNumber(GxInt32 request, GxInt32 fallback)
{
    GxInt32 value = fallback;
    return Request(request, &value, nullptr, 0) ? value : fallback;
}

// Entry n of one of the device's lists, into info.
GxBool RequestEntry(GxInt32 request, void* info, GxInt32 n)
{
    GX_ASSERT(info != nullptr, "a record to fill");
    return Request(request, info, nullptr, n);
}

}  // namespace

GxEngine* GxEngineInstance = &staticEngine;

void EmptyMethod(void) {}

void GxEngineSetDriver(const GxDriver* driver) { installedDriver = driver; }

GxBool GxEngineInit(const GxMemoryFunctions* memFuncs, GxUInt32 initFlags, GxUInt32 resArenaSize)
{
    // A second init must not touch the instance, which may be an open one.
    if (GxEngineInstance && GxEngineInstance->engineStatus != gxENGINESTATUSIDLE) {
        return 0;
    }
    GxEngineInstance = &staticEngine;
    const GxBool freeListsOff = (initFlags & 1) != 0;
    staticEngine.memoryAlloc = freeListsOff ? GxFreeListAllocDirect : GxFreeListAlloc;
    staticEngine.memoryFree = freeListsOff ? GxFreeListFreeDirect : GxFreeListFree;
    GxFreeListSetPreallocate(!freeListsOff);
    staticEngine.resArenaInitSize = resArenaSize;

    if (!GxOSInstallFunctions()) {
        EmptyMethod();
        return 0;
    }
    if (!GxMemoryOpen(memFuncs)) {
        EmptyMethod();
        return 0;
    }
    if (GxPluginRegistryOpen()) {
        if (RegisterCoreModules() && RegisterDriverExtension()) {
            staticEngine.engineStatus = gxENGINESTATUSINITED;
            return 1;
        }
        GxPluginRegistryClose();
    }
    GxMemoryClose();
    EmptyMethod();
    return 0;
}

GxBool GxEngineOpen(void* params)
{
    if (!GxEngineInstance) {
        GxEngineInstance = &staticEngine;
    }
    if (GxEngineInstance->engineStatus != gxENGINESTATUSINITED) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return 0;
    }
    if (!params) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    GxDevice* device = DriverDevice();
    auto* instance =
        static_cast<GxEngine*>(GxMalloc(static_cast<size_t>(engineTKList.sizeOfStruct), gxMEMHINTDURGLOBAL));
    if (!instance) {
        GxEngineInstance = &staticEngine;
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return 0;
    }
    memcpy(instance, &staticEngine, sizeof(GxEngine));
    // The device's own record until it copies itself in, so no stale handler is ever called.
    instance->dOpenDevice = *device;
    GxEngineInstance = instance;

    GxEngineDeviceRequest(device, gxDEVICESYSTEMREGISTER, &instance->dOpenDevice, &instance->memoryFuncs, 0);
    if (!Request(gxDEVICESYSTEMOPEN, nullptr, params, 0)) {
        GxEngineInstance = &staticEngine;
        memcpy(&staticEngine, instance, sizeof(GxEngine));
        staticEngine.memoryFuncs.gxFree(instance);
        return 0;
    }
    Request(gxDEVICESYSTEMSTANDARDS, instance->stdFunc, nullptr, gxSTANDARDNUMOFSTANDARD);
    engineOpenCount++;
    instance->engineStatus = gxENGINESTATUSOPENED;
    return 1;
}

GxBool GxEngineStart(void)
{
    GX_ASSERT(GxEngineInstance != nullptr, "the engine is initialised before it starts, stops, closes or ends");
    // Module blocks exist only in an opened instance.
    if (GxEngineInstance->engineStatus != gxENGINESTATUSOPENED) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return 0;
    }
    if (!Request(gxDEVICESYSTEMSTART, nullptr, nullptr, 0)) {
        return 0;
    }
    if (!GxPluginRegistryInitObject(&engineTKList, GxEngineInstance)) {
        Request(gxDEVICESYSTEMSTOP, nullptr, nullptr, 0);
        return 0;
    }
    GxImageSetGamma(GxEngineInstance->dOpenDevice.gammaCorrection);
    Request(gxDEVICESYSTEMFINALIZESTART, nullptr, nullptr, 0);
    GxEngineInstance->engineStatus = gxENGINESTATUSSTARTED;
    return 1;
}

GxBool GxEngineStop(void)
{
    GX_ASSERT(GxEngineInstance != nullptr, "the engine is initialised before it starts, stops, closes or ends");
    if (GxEngineInstance->engineStatus != gxENGINESTATUSSTARTED) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return 0;
    }
    Request(gxDEVICESYSTEMINITIATESTOP, nullptr, nullptr, 0);
    GxPluginRegistryDeInitObject(&engineTKList, GxEngineInstance);
    const GxBool stopped = Request(gxDEVICESYSTEMSTOP, nullptr, nullptr, 0);
    // The modules are closed whatever the device says; a second stop must not close them again.
    GxEngineInstance->engineStatus = gxENGINESTATUSOPENED;
    return stopped;
}

GxBool GxEngineClose(void)
{
    GX_ASSERT(GxEngineInstance != nullptr, "the engine is initialised before it starts, stops, closes or ends");
    if (GxEngineInstance->engineStatus != gxENGINESTATUSOPENED || GxEngineInstance == &staticEngine) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return 0;
    }
    const GxBool closed = Request(gxDEVICESYSTEMCLOSE, nullptr, nullptr, 0);
    if (!closed) {
        return closed;
    }
    GxEngine* instance = GxEngineInstance;
    GxEngineInstance = &staticEngine;
    memcpy(&staticEngine, instance, sizeof(GxEngine));
    staticEngine.memoryFuncs.gxFree(instance);
    engineOpenCount--;
    staticEngine.engineStatus = gxENGINESTATUSINITED;
    return closed;
}

GxBool GxEngineTerm(void)
{
    GX_ASSERT(GxEngineInstance != nullptr, "the engine is initialised before it starts, stops, closes or ends");
    if (engineOpenCount != 0 || GxEngineInstance->engineStatus != gxENGINESTATUSINITED) {
        return 0;
    }
    GxPluginRegistryClose();
    GxMemoryClose();
    staticEngine.engineStatus = gxENGINESTATUSIDLE;
    return 1;
}

GxInt32 GxEngineRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                               GxPluginObjectDestructor destructor)
{
    return GxPluginRegistryAddPlugin(&engineTKList, size, pluginID, constructor, destructor, nullptr);
}

GxBool GxEngineRegisterModule(const GxCoreModule* module)
{
    GX_ASSERT(module != nullptr, "a module to register");
    return GxEngineRegisterPlugin(module->blockSize, module->pluginID, module->open, module->close) >= 0;
}

GxInt32 GxEngineGetPluginOffset(GxUInt32 pluginID) { return GxPluginRegistryGetPluginOffset(&engineTKList, pluginID); }

GxInt32 GxEngineGetVersion(void) { return static_cast<GxInt32>(gxLIBRARYVERSION); }

GxInt32 GxEngineGetOpenCount(void) { return engineOpenCount; }

GxBool GxEngineDeviceRequest(GxDevice* device, GxInt32 request, void* out, void* inOut, GxInt32 in)
{
    GX_ASSERT(device != nullptr && device->fpSystem != nullptr, "a device with its request handler");
    const GxBool result = device->fpSystem(request, out, inOut, in);
    if (result) {
        return result;
    }
    switch (request) {
    case gxDEVICESYSTEMGETNUMSUBSYSTEMS:
    case gxDEVICESYSTEMGETCURRENTSUBSYSTEM:
        GX_ASSERT(out != nullptr, "a place for the answer");
        *static_cast<GxInt32*>(out) = request == gxDEVICESYSTEMGETNUMSUBSYSTEMS ? 1 : 0;
        return 1;
    case gxDEVICESYSTEMGETSUBSYSTEMINFO:
        if (in != 0) {
            break;
        }
        GX_ASSERT(out != nullptr, "a place for the answer");
        GxEngineInstance->stringFuncs.gxStrcpy(static_cast<GxSubSystemInfo*>(out)->name, subSystemName);
        return 1;
    case gxDEVICESYSTEMSETSUBSYSTEM:
        if (in != 0) {
            break;
        }
        return 1;
    case gxDEVICESYSTEMFINALIZESTART:
    case gxDEVICESYSTEMINITIATESTOP:
        return 1;
    default:
        break;
    }
    GxErrorRaise(gxPLUGINCORE, gxERRDEVICEREQUEST);
    return 0;
}

GxBool GxRenderStateSet(GxInt32 state, void* value)
{
    GxRenderStateSetFunction set = GxEngineInstance->dOpenDevice.fpRenderStateSet;
    return set ? set(state, value) : 0;
}

GxInt32 GxEngineGetNumSubSystems(void) { return RequestNumber(gxDEVICESYSTEMGETNUMSUBSYSTEMS, 1); }

GxSubSystemInfo* GxEngineGetSubSystemInfo(GxSubSystemInfo* info, GxInt32 n)
{
    return RequestEntry(gxDEVICESYSTEMGETSUBSYSTEMINFO, info, n) ? info : nullptr;
}

GxInt32 GxEngineGetCurrentSubSystem(void) { return RequestNumber(gxDEVICESYSTEMGETCURRENTSUBSYSTEM, -1); }

GxBool GxEngineSetSubSystem(GxInt32 n) { return Request(gxDEVICESYSTEMSETSUBSYSTEM, nullptr, nullptr, n) > 0 ? 1 : 0; }

GxInt32 GxEngineGetNumVideoModes(void) { return RequestNumber(gxDEVICESYSTEMGETNUMMODES, -1); }

GxVideoMode* GxEngineGetVideoModeInfo(GxVideoMode* info, GxInt32 n)
{
    return RequestEntry(gxDEVICESYSTEMGETMODEINFO, info, n) ? info : nullptr;
}

GxInt32 GxEngineGetCurrentVideoMode(void) { return RequestNumber(gxDEVICESYSTEMGETMODE, -1); }

GxBool GxEngineSetVideoMode(GxInt32 n) { return Request(gxDEVICESYSTEMUSEMODE, nullptr, nullptr, n) > 0 ? 1 : 0; }
