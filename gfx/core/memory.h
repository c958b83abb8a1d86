// Memory module of the graphics core: memory hints, free lists, the resources arena and grow arrays.
#pragma once

#include "gfx/core/engine.h"

// Memory hint: bits 0-15 who asks, bits 16-23 how long the block lives, bit 24 resizable.
constexpr GxUInt32 gxMEMHINTDURFUNCTION = 0x00010000;  // freed before the call returns
constexpr GxUInt32 gxMEMHINTDUROBJECT = 0x00030000;    // lives as long as an object
constexpr GxUInt32 gxMEMHINTDURGLOBAL = 0x00040000;    // lives as long as the engine or a module
constexpr GxUInt32 gxMEMHINTFLAGRESIZEABLE = 0x01000000;
constexpr GxUInt32 gxMEMHINTDURMASK = 0x00FF0000;

// Free-list flags.
constexpr GxUInt32 gxFREELISTFLAGSTATIC = 0x1;      // record supplied by the caller, never freed
constexpr GxUInt32 gxFREELISTFLAGFREEBLOCKS = 0x2;  // a block goes as soon as its last entry goes

// Pool of equal-size entries kept in blocks with a usage bitmap.
struct GxFreeList {
    GxUInt32 entrySize;  // rounded up to the alignment
    GxUInt32 entriesPerBlock;
    GxUInt32 heapSize;  // bitmap bytes per block: (entries + 7) / 8
    GxUInt32 alignment;
    GxLink blockList;  // circular; the head points at itself when empty
    GxUInt32 flags;
    GxLink lFreeList;  // link in the list of all free lists
};

GxBool GxMemoryOpen(const GxMemoryFunctions* memFuncs);
void GxMemoryClose(void);
// Which open of the memory module is current: it changes at each open and is 0 while the module is closed, when
// every free list it made is gone.
GxUInt32 GxMemoryGetSession(void);

void GxFreeListSetPreallocate(GxBool on);
// Alignment 0 means 4; entries that hold pointers should pass alignof(void*).
GxFreeList* GxFreeListCreate(GxInt32 entrySize, GxInt32 entriesPerBlock, GxInt32 alignment, GxUInt32 hint);
GxFreeList* GxFreeListCreateAndPreallocate(GxInt32 entrySize, GxInt32 entriesPerBlock, GxInt32 alignment,
                                           GxInt32 numBlocksToPrealloc, GxFreeList* inPlaceSpace, GxUInt32 hint);
// The second entry point of the same creation: forwards its arguments unchanged.
GxFreeList* GxFreeListCreateAndPreallocateAlias(GxInt32 entrySize, GxInt32 entriesPerBlock, GxInt32 alignment,
                                                GxInt32 numBlocksToPrealloc, GxFreeList* inPlaceSpace, GxUInt32 hint);
GxBool GxFreeListDestroy(GxFreeList* freeList);
void* GxFreeListAlloc(GxFreeList* freeList, GxUInt32 hint);
GxFreeList* GxFreeListFree(GxFreeList* freeList, void* entry);
// The pair installed in place of the two above when free lists are switched off.
void* GxFreeListAllocDirect(GxFreeList* freeList, GxUInt32 hint);
GxFreeList* GxFreeListFreeDirect(GxFreeList* freeList, void* entry);
GxInt32 GxFreeListPurge(GxFreeList* freeList);
GxInt32 GxFreeListPurgeAllFreeLists(void);
typedef void (*GxFreeListCallBack)(void* entry, void* data);
GxFreeList* GxFreeListForAllUsed(GxFreeList* freeList, GxFreeListCallBack callBack, void* data);

// Resources arena: instanced render data that may be evicted oldest first.
struct GxResourceEntry;
typedef void (*GxResourceDestroyCallBack)(GxResourceEntry* entry);

// Header in front of the caller's data; the data follows at entry + 1.
struct GxResourceEntry {
    GxLink link;    // next is null for an entry made outside the arena
    GxUInt32 size;  // bytes of data
    void* owner;
    GxResourceEntry** ownerRef;  // cleared when the entry goes
    GxResourceDestroyCallBack destroyNotify;
};

GxResourceEntry* GxResourceEntryAlloc(void* owner, GxResourceEntry** ownerRef, GxInt32 size,
                                      GxResourceDestroyCallBack destroyNotify);
GxBool GxResourceEntryFree(GxResourceEntry* entry);
// Marks an entry used: it moves to the front of the current frame's list, the last to be evicted. Entries
// outside the arena are left as they are.
GxResourceEntry* GxResourcesUseResEntry(GxResourceEntry* entry);
void GxResourcesNewFrame(void);
GxBool GxResourcesEmptyArena(void);
// Module callbacks of the arena (engine module 0x40B): the heap of the instance's arena size, opened at GxEngineStart.
void* GxResourcesOpen(void* instance, GxInt32 offset, GxInt32 size);
void* GxResourcesClose(void* instance, GxInt32 offset, GxInt32 size);

// Resource heap: first-fit blocks of 32-byte granularity inside one buffer.
struct GxResHeapBlockHeader;
struct GxResHeap {
    GxResHeapBlockHeader* firstBlock;
    GxResHeapBlockHeader* firstFree;
};
GxBool GxResHeapInit(void* buffer, GxUInt32 size);
void* GxResHeapAlloc(GxResHeap* heap, GxUInt32 size);
void GxResHeapFree(void* data);
// Cuts `block` to `size` data bytes; the rest becomes a free block after it.
void GxResHeapSplitBlock(GxResHeapBlockHeader* block, GxUInt32 size);

// Array of equal-size entries that grows by a quarter when full.
struct GxGrowArray {
    void* entries;
    GxInt32 count;
    GxInt32 capacity;
    GxUInt32 entrySize;
};

GxGrowArray* GxGrowArrayCreate(GxUInt32 entrySize, GxUInt32 hint);
void* GxGrowArrayAddEntry(GxGrowArray* array, GxUInt32 hint);
void* GxGrowArrayAddEntries(GxGrowArray* array, GxInt32 n, GxUInt32 hint);
void GxGrowArrayReset(GxGrowArray* array);
void GxGrowArrayRemoveEntries(GxGrowArray* array, GxInt32 n);
void* GxGrowArrayGetFirst(GxGrowArray* array);
void* GxGrowArrayGetEntry(GxGrowArray* array, GxInt32 i);
void* GxGrowArrayGetEnd(GxGrowArray* array);
GxBool GxGrowArrayDestroy(GxGrowArray* array);
void* GxGrowArrayDestroyKeepEntries(GxGrowArray* array);
