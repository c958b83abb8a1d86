// The engine instance, its lifecycle, device requests and the module registration of the graphics core.
//
// gfx_core is the spine of the graphics library. It owns the engine instance and every module's data block
// in it, the memory functions and free lists, the plugin registry, errors, streams and file systems, frames,
// cameras, matrices and vectors, rasters, images, textures and texture dictionaries, splines and the pipeline
// core. It calls only platform/win32, libpng and zlib. It reaches a graphics device only through the driver
// record installed with GxEngineSetDriver (device record, standard functions, request handler, module hook);
// the modules above it (gfx/world, gfx/anim, gfx/fx, the driver) register themselves as plugins, and gfx/2d
// opens on a camera of its own (Gx2DOpen).
// Threading: one thread runs the whole library; only the file-system manager's table of open files sits
// behind a critical section. Ownership: the engine instance owns its modules' blocks and free lists and is
// rebuilt at every open; objects are freed through their own destroy functions; the memory functions and the
// driver record handed in must outlive the engine.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "gfx/core/gx.h"

struct GxCamera;
struct GxWorld;
struct GxFreeList;

// Memory functions; the hint says who asks and for how long (memory.h).
struct GxMemoryFunctions {
    void* (*gxMalloc)(size_t size, GxUInt32 hint);
    void (*gxFree)(void* block);
    void* (*gxRealloc)(void* block, size_t size, GxUInt32 hint);
    void* (*gxCalloc)(size_t count, size_t size, GxUInt32 hint);
};

typedef void* (*GxFreeListAllocFunc)(GxFreeList* list, GxUInt32 hint);
typedef GxFreeList* (*GxFreeListFreeFunc)(GxFreeList* list, void* entry);

// OS string functions, each with the meaning of the like-named C function.
struct GxOSFunctions {
    int (*gxSprintf)(char* buffer, const char* format, ...);
    int (*gxVsprintf)(char* buffer, const char* format, va_list args);
    char* (*gxStrcpy)(char* dst, const char* src);
    char* (*gxStrncpy)(char* dst, const char* src, size_t n);
    char* (*gxStrcat)(char* dst, const char* src);
    char* (*gxStrncat)(char* dst, const char* src, size_t n);
    char* (*gxStrrchr)(const char* s, int c);
    char* (*gxStrchr)(const char* s, int c);
    char* (*gxStrstr)(const char* s, const char* sub);
    int (*gxStrcmp)(const char* a, const char* b);
    int (*gxStrncmp)(const char* a, const char* b, size_t n);
    int (*gxStricmp)(const char* a, const char* b);
    size_t (*gxStrlen)(const char* s);
    char* (*gxStrupr)(char* s);
    char* (*gxStrlwr)(char* s);
    char* (*gxStrtok)(char* s, const char* delimiters);
    int (*gxSscanf)(const char* s, const char* format, ...);
};

// Device request handler: (request, out, inOut, in), nonzero on success.
typedef GxBool (*GxSystemFunc)(GxInt32 request, void* out, void* inOut, GxInt32 in);
// Standard function: (out, inOut, in), nonzero on success.
typedef GxBool (*GxStandardFunc)(void* out, void* inOut, GxInt32 in);
typedef GxBool (*GxRenderStateSetFunction)(GxInt32 state, void* value);
typedef GxBool (*GxRenderStateGetFunction)(GxInt32 state, void* value);
typedef GxBool (*GxIm2DRenderLineFunction)(void* vertices, GxInt32 numVertices, GxInt32 vert1, GxInt32 vert2);
typedef GxBool (*GxIm2DRenderTriangleFunction)(void* vertices, GxInt32 numVertices, GxInt32 vert1, GxInt32 vert2,
                                               GxInt32 vert3);
typedef GxBool (*GxIm2DRenderPrimitiveFunction)(GxInt32 primType, void* vertices, GxInt32 numVertices);
typedef GxBool (*GxIm2DRenderIndexedPrimitiveFunction)(GxInt32 primType, void* vertices, GxInt32 numVertices,
                                                       GxUInt16* indices, GxInt32 numIndices);

// The driver's device record, copied into the engine instance at open.
struct GxDevice {
    GxReal gammaCorrection;
    GxSystemFunc fpSystem;
    GxReal zBufferNear;
    GxReal zBufferFar;
    GxRenderStateSetFunction fpRenderStateSet;
    GxRenderStateGetFunction fpRenderStateGet;
    GxIm2DRenderLineFunction fpIm2DRenderLine;
    GxIm2DRenderTriangleFunction fpIm2DRenderTriangle;
    GxIm2DRenderPrimitiveFunction fpIm2DRenderPrimitive;
    GxIm2DRenderIndexedPrimitiveFunction fpIm2DRenderIndexedPrimitive;
    void* reserved[4];
};

constexpr GxInt32 gxSTANDARDNUMOFSTANDARD = 29;
enum GxStandardFunctionIndex {
    gxSTANDARDBEGINUPDATE = 1,
    gxSTANDARDRGBTOPIXEL = 2,
    gxSTANDARDPIXELTORGB = 3,
    gxSTANDARDRASTERCREATE = 4,
    gxSTANDARDRASTERDESTROY = 5,
    gxSTANDARDIMAGEGETRASTER = 6,
    gxSTANDARDRASTERSETIMAGE = 7,
    gxSTANDARDTEXTURESETRASTER = 8,
    gxSTANDARDIMAGEFINDRASTERFORMAT = 9,
    gxSTANDARDENDUPDATE = 10,
    gxSTANDARDSETRASTERCONTEXT = 11,
    gxSTANDARDRASTERSUBRASTER = 12,
    gxSTANDARDRASTERCLEARRECT = 13,
    gxSTANDARDRASTERCLEAR = 14,
    gxSTANDARDRASTERLOCK = 15,
    gxSTANDARDRASTERUNLOCK = 16,
    gxSTANDARDRASTERRENDER = 17,
    gxSTANDARDRASTERRENDERSCALED = 18,
    gxSTANDARDRASTERRENDERFAST = 19,
    gxSTANDARDRASTERSHOWRASTER = 20,
    gxSTANDARDCAMERACLEAR = 21,
    gxSTANDARDSECTORORDER = 22,  // after a camera's visible sectors are listed: 1 when drawn front to back
    gxSTANDARDRASTERLOCKPALETTE = 23,
    gxSTANDARDRASTERUNLOCKPALETTE = 24,
    gxSTANDARDNATIVETEXTUREGETSIZE = 25,
    gxSTANDARDNATIVETEXTUREREAD = 26,
    gxSTANDARDNATIVETEXTUREWRITE = 27,
    gxSTANDARDRASTERGETMIPLEVELS = 28,
};

enum GxEngineStatus {
    gxENGINESTATUSIDLE = 0,
    gxENGINESTATUSINITED = 1,
    gxENGINESTATUSOPENED = 2,
    gxENGINESTATUSSTARTED = 3,
};

// Device request codes used by the core.
enum GxDeviceRequest {
    gxDEVICESYSTEMOPEN = 0,
    gxDEVICESYSTEMCLOSE = 1,
    gxDEVICESYSTEMSTART = 2,
    gxDEVICESYSTEMSTOP = 3,
    gxDEVICESYSTEMREGISTER = 4,
    gxDEVICESYSTEMGETNUMMODES = 5,
    gxDEVICESYSTEMGETMODEINFO = 6,
    gxDEVICESYSTEMUSEMODE = 7,
    gxDEVICESYSTEMGETMODE = 10,
    gxDEVICESYSTEMSTANDARDS = 11,
    gxDEVICESYSTEMGETNUMSUBSYSTEMS = 13,
    gxDEVICESYSTEMGETSUBSYSTEMINFO = 14,
    gxDEVICESYSTEMGETCURRENTSUBSYSTEM = 15,
    gxDEVICESYSTEMSETSUBSYSTEM = 16,
    gxDEVICESYSTEMFINALIZESTART = 17,
    gxDEVICESYSTEMINITIATESTOP = 18,
};

// The engine instance: core fields, then every module's data block.
struct GxEngine {
    GxCamera* curCamera;
    GxWorld* curWorld;
    GxDevice dOpenDevice;
    GxStandardFunc stdFunc[gxSTANDARDNUMOFSTANDARD];
    GxLink dirtyFrameList;
    GxOSFunctions stringFuncs;
    GxMemoryFunctions memoryFuncs;
    GxFreeListAllocFunc memoryAlloc;
    GxFreeListFreeFunc memoryFree;
    GxInt32 engineStatus;
    GxUInt32 resArenaInitSize;
    // Advanced by each lighting pass; a light stamps it when taken, so one reached twice is taken once.
    GxUInt16 lightFrameCounter;
};

// The current engine instance: a static one before open and after close.
extern GxEngine* GxEngineInstance;

// Address of a module's data block inside the engine instance.
#define GxEngineGetModuleBlock(offset) (reinterpret_cast<char*>(GxEngineInstance) + (offset))

// A module's data block in the current instance, or null while the module is not open.
inline void* GxCoreModuleBlock(GxInt32 offset, GxInt32 instances)
{
    return instances > 0 && offset >= 0 ? GxEngineGetModuleBlock(offset) : nullptr;
}

// A module of the engine instance as it registers in the plugin registry: the size of its data block and
// the callbacks that open and close it on every instance the engine starts and stops.
struct GxCoreModule {
    GxUInt32 pluginID;
    GxInt32 blockSize;
    GxPluginObjectConstructor open;
    GxPluginObjectDestructor close;
};

// Registers a module's data block in the engine instance (before GxEngineOpen); 1 on success.
GxBool GxEngineRegisterModule(const GxCoreModule* module);

// The graphics device driver the engine opens, installed by the program before GxEngineInit;
// with none, the core's own modules register and every device request is unhandled.
struct GxDriver {
    GxDevice* (*getDevice)(void);             // the driver's device record
    GxBool (*rasterExtensionRegister)(void);  // registers the driver's raster extension, after every module
    // Registers the driver's own engine modules (GxEngineRegisterModule) at the driver's place in the
    // core's module order, so their offsets and those after them stay where they have always been.
    // Last, so a record written without it leaves it null.
    GxBool (*registerModules)(void);
};
// The driver GxEngineInit and GxEngineOpen use (null: none); the record must outlive the engine.
void GxEngineSetDriver(const GxDriver* driver);

struct GxSubSystemInfo {
    char name[80];
};

// Video mode record filled by request 6.
struct GxVideoMode {
    GxInt32 width;
    GxInt32 height;
    GxInt32 depth;
    GxInt32 flags;  // bit 0: full screen
    GxInt32 refRate;
    GxInt32 format;  // raster format code
};

GxBool GxEngineInit(const GxMemoryFunctions* memFuncs, GxUInt32 initFlags, GxUInt32 resArenaSize);
GxBool GxEngineOpen(void* params);
GxBool GxEngineStart(void);
GxBool GxEngineStop(void);
GxBool GxEngineClose(void);
GxBool GxEngineTerm(void);

GxInt32 GxEngineRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                               GxPluginObjectDestructor destructor);
GxInt32 GxEngineGetPluginOffset(GxUInt32 pluginID);
GxInt32 GxEngineGetVersion(void);
GxInt32 GxEngineGetOpenCount(void);

GxBool GxEngineDeviceRequest(GxDevice* device, GxInt32 request, void* out, void* inOut, GxInt32 in);

// Sets a render state through the opened device's setter (value: the integer or pointer itself).
// 0 when no device setter is installed or the device refuses the state or value.
GxBool GxRenderStateSet(GxInt32 state, void* value);

// A render-state value that is an integer, in the pointer GxRenderStateSet takes.
inline void* GxRenderStateValue(GxUInt32 value) { return reinterpret_cast<void*>(static_cast<uintptr_t>(value)); }

GxInt32 GxEngineGetNumSubSystems(void);
GxSubSystemInfo* GxEngineGetSubSystemInfo(GxSubSystemInfo* info, GxInt32 n);
GxInt32 GxEngineGetCurrentSubSystem(void);
GxBool GxEngineSetSubSystem(GxInt32 n);
GxInt32 GxEngineGetNumVideoModes(void);
GxVideoMode* GxEngineGetVideoModeInfo(GxVideoMode* info, GxInt32 n);
GxInt32 GxEngineGetCurrentVideoMode(void);
GxBool GxEngineSetVideoMode(GxInt32 n);

// Part of the user-interface services the core calls: does nothing.
void EmptyMethod(void);

// Memory shorthands through the engine instance's functions.
#define GxMalloc(size, hint) (GxEngineInstance->memoryFuncs.gxMalloc((size), (hint)))
#define GxFree(block) (GxEngineInstance->memoryFuncs.gxFree(block))
#define GxRealloc(block, size, hint) (GxEngineInstance->memoryFuncs.gxRealloc((block), (size), (hint)))
#define GxCalloc(count, size, hint) (GxEngineInstance->memoryFuncs.gxCalloc((count), (size), (hint)))
#define GxFreeListAllocEntry(list, hint) (GxEngineInstance->memoryAlloc((list), (hint)))
#define GxFreeListFreeEntry(list, entry) (GxEngineInstance->memoryFree((list), (entry)))
