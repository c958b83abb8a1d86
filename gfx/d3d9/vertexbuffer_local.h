// The vertex-buffer manager's state, kept by vertexbuffer.cpp; its tests read it through vertexbuffer_testing.h.
#pragma once

#include "gfx/core/memory.h"
#include "gfx/d3d9/vertexbuffer.h"

struct GxD3D9VertexBufferFreeRange {
    GxUInt32 offset;
    GxUInt32 size;
    IDirect3DVertexBuffer9* vertexBuffer;
    GxD3D9VertexBufferFreeRange* next;
    GxD3D9VertexBufferFreeRange* prev;
};

struct GxD3D9VertexBufferNode {
    IDirect3DVertexBuffer9* vertexBuffer;
    GxD3D9VertexBufferNode* next;
};

struct GxD3D9VertexBufferStrideList {
    GxUInt32 stride;
    GxD3D9VertexBufferFreeRange* freeRanges;
    GxD3D9VertexBufferNode* buffers;
    GxD3D9VertexBufferStrideList* next;
};

struct GxD3D9DynamicVertexBufferRecord {
    GxUInt32 size;
    GxUInt32 inUse;
    IDirect3DVertexBuffer9* vertexBuffer;
    IDirect3DVertexBuffer9** owner;  // caller's variable, null when none
    GxD3D9DynamicVertexBufferRecord* next;
};

struct GxD3D9DynamicVertexBufferSlot {
    GxUInt32 used;
    GxUInt32 size;
    IDirect3DVertexBuffer9* vertexBuffer;
};

struct GxD3D9VertexBufferManagerState {
    GxD3D9VertexBufferStrideList* strides;
    GxD3D9DynamicVertexBufferRecord* records;
    GxD3D9DynamicVertexBufferSlot slots[gxD3D9DYNAMICVERTEXBUFFERSLOTS];
    GxInt32 current;
    GxFreeList* strideFreeList;
    GxFreeList* rangeFreeList;
    GxFreeList* nodeFreeList;
    GxFreeList* recordFreeList;
};

extern GxD3D9VertexBufferManagerState gxD3D9VertexBufferManager;
