// Vertex-buffer manager: shared static buffers handed out by ranges, and dynamic buffers that rotate per frame.
#pragma once

#include "gfx/core/gx.h"
#include "platform/d3d9/d3d9.h"

// Bytes of a new shared buffer before rounding to the stride, and of one rotating slot.
constexpr GxUInt32 gxD3D9SHAREDVERTEXBUFFERSIZE = 0x20000;
constexpr GxUInt32 gxD3D9DYNAMICVERTEXBUFFERSIZE = 0x40000;
constexpr GxInt32 gxD3D9DYNAMICVERTEXBUFFERSLOTS = 4;

// Static geometry: a range of size bytes of a shared managed-pool buffer of that stride.
// 1 on success; 0 for a zero stride, or when Direct3D cannot create a buffer.
GxBool GxD3D9CreateVertexBuffer(GxUInt32 stride, GxUInt32 size, IDirect3DVertexBuffer9** vertexBuffer,
                                GxUInt32* offset);
// Gives a range back; neighbouring free ranges of the same buffer merge. A range that
// overlaps one already free (given back twice) is ignored.
void GxD3D9DestroyVertexBuffer(GxUInt32 stride, GxUInt32 size, IDirect3DVertexBuffer9* vertexBuffer, GxUInt32 offset);

// A dynamic buffer of exactly size bytes into *slot. The manager remembers slot and
// sets it to null while the device is reset, and to the new buffer afterwards.
GxBool GxD3D9DynamicVertexBufferCreate(GxUInt32 size, IDirect3DVertexBuffer9** slot);
// The buffer becomes free for reuse (it is kept, not released); the manager forgets its slot.
void GxD3D9DynamicVertexBufferDestroy(IDirect3DVertexBuffer9* vertexBuffer);

// Room for count vertices of stride bytes in a rotating buffer, locked for writing.
// The caller draws from *vertexBuffer starting at *baseVertex. 1 when the lock succeeded.
GxBool GxD3D9DynamicVertexBufferLock(GxUInt32 stride, GxUInt32 numVertices, IDirect3DVertexBuffer9** vertexBuffer,
                                     void** data, GxUInt32* baseVertex);
GxBool GxD3D9DynamicVertexBufferUnlock(IDirect3DVertexBuffer9* vertexBuffer);

// Makes the rotating buffers; 1 on success.
GxBool GxD3D9DynamicVertexBuffersCreate(void);
// GxD3D9VertexBufferManagerOpen/Close, GxD3D9DynamicVertexBuffersRelease/Restore and
// GxD3D9DynamicVertexBuffersNextFrame are declared in d3d9_local.h (the device drives them).
