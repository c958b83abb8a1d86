// Test access to the vertex-buffer manager's free ranges, rotating slots and dynamic records, compiled only into
// the tests that include it.
#pragma once

#include "gfx/d3d9/vertexbuffer_local.h"

struct GxD3D9VertexBufferRange {
    IDirect3DVertexBuffer9* vertexBuffer;
    GxUInt32 offset;
    GxUInt32 size;
};

// Copies up to max free ranges of a stride, newest first; returns how many there are.
inline GxInt32 GxD3D9VertexBufferGetFreeRanges(GxUInt32 stride, GxD3D9VertexBufferRange* ranges, GxInt32 max)
{
    const GxD3D9VertexBufferStrideList* list = gxD3D9VertexBufferManager.strides;
    while (list && list->stride != stride) {
        list = list->next;
    }
    GxInt32 count = 0;
    for (const GxD3D9VertexBufferFreeRange* range = list ? list->freeRanges : nullptr; range; range = range->next) {
        if (ranges && count < max) {
            ranges[count] = GxD3D9VertexBufferRange{range->vertexBuffer, range->offset, range->size};
        }
        count++;
    }
    return count;
}

struct GxD3D9DynamicVertexBufferSlotInfo {
    IDirect3DVertexBuffer9* vertexBuffer;
    GxUInt32 used;
    GxUInt32 size;
};

// A rotating slot's state; 0 for an index outside 0 to 3.
inline GxBool GxD3D9DynamicVertexBufferGetSlot(GxInt32 slot, GxD3D9DynamicVertexBufferSlotInfo* info)
{
    if (slot < 0 || slot >= gxD3D9DYNAMICVERTEXBUFFERSLOTS || !info) {
        return 0;
    }
    const GxD3D9DynamicVertexBufferSlot& s = gxD3D9VertexBufferManager.slots[slot];
    *info = GxD3D9DynamicVertexBufferSlotInfo{s.vertexBuffer, s.used, s.size};
    return 1;
}

inline GxInt32 GxD3D9DynamicVertexBufferCurrentSlot(void) { return gxD3D9VertexBufferManager.current; }

// Dynamic buffer records in the list, and how many of them are in use.
inline GxInt32 GxD3D9DynamicVertexBufferCountRecords(GxInt32* inUse)
{
    GxInt32 count = 0;
    GxInt32 used = 0;
    for (const GxD3D9DynamicVertexBufferRecord* record = gxD3D9VertexBufferManager.records; record;
         record = record->next) {
        count++;
        used += record->inUse ? 1 : 0;
    }
    if (inUse) {
        *inUse = used;
    }
    return count;
}
