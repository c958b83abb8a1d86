// The resources arena's module block and registration, kept by resources.cpp; its tests read the arena through
// resources_testing.h.
#pragma once

#include "gfx/core/engine.h"
#include "gfx/core/memory.h"

// The arena's module block inside the engine instance.
struct GxResourcesArenaBlock {
    GxUInt32 arenaSize;
    GxUInt32 usedBytes;
    GxUInt32 evictedBytes;  // taken from the current frame since the last frame boundary
    void* heapBuffer;       // null when the arena size is 0
    GxLink listA;
    GxLink listB;
    GxLink* prevFramesList;
    GxLink* curFrameList;
};

// Where the block sits in the engine instance, and how many instances have the module open.
struct GxResourcesArenaModule {
    GxInt32 moduleOffset = -1;
    GxInt32 moduleInstances = 0;
};

extern GxResourcesArenaModule gxResourcesArena;

inline GxResourcesArenaBlock* GxResourcesArenaGet(void)
{
    return reinterpret_cast<GxResourcesArenaBlock*>(GxEngineGetModuleBlock(gxResourcesArena.moduleOffset));
}
