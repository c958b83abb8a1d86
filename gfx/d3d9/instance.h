// The instanced form of an atomic's or world sector's geometry: vertex streams, header and mesh records.
#pragma once

#include "gfx/core/gx.h"
#include "platform/d3d9/d3d9.h"

// Parts a stream holds, as the geometry's locked-since-instancing flags name them.
constexpr GxUInt16 gxD3D9STREAMPOSITIONS = 0x2;
constexpr GxUInt16 gxD3D9STREAMNORMALS = 0x4;
constexpr GxUInt16 gxD3D9STREAMPRELIT = 0x8;
constexpr GxUInt16 gxD3D9STREAMTEXCOORDS0 = 0x10;  // << set

struct GxD3D9VertexStream {
    IDirect3DVertexBuffer9* buffer;
    GxUInt32 offset;  // bytes
    GxUInt32 stride;  // bytes
    GxUInt16 contents;
    GxUInt8 pooled;  // 1: space in the shared pool; 0: a buffer of its own
    GxUInt8 discardLock;
};

struct GxD3D9InstanceHeader {
    GxUInt32 meshSerial;
    GxUInt32 meshCount;
    IDirect3DIndexBuffer9* indexBuffer;  // null for unindexed meshes
    GxUInt32 primitive;                  // D3DPRIMITIVETYPE
    GxD3D9VertexStream streams[2];
    GxUInt32 streamOffsets;
    IDirect3DVertexDeclaration9* declaration;
    GxUInt32 indexTotal;
    GxUInt32 vertexTotal;
    GxUInt32 lockStamp;     // the geometry's lock stamp the streams were last written from
    void* dynamicGeometry;  // the geometry whose dynamic-list entry this instance holds, or null
    GxUInt32 skinLayout;    // skinned instances: which path's layout the streams hold
};

struct GxD3D9MeshInstance {
    GxUInt32 indexCount;
    GxUInt32 firstVertex;  // lowest vertex index used
    void* material;
    GxUInt32 hasVertexAlpha;
    void* shader;         // null on the fixed-function path
    GxUInt32 vertexBase;  // first vertex in the vertex buffer
    GxUInt32 vertexCount;
    GxUInt32 firstIndex;
    GxUInt32 primitiveCount;
};

// The mesh records follow the header.
inline GxD3D9MeshInstance* GxD3D9InstanceMeshes(GxD3D9InstanceHeader* header)
{
    return reinterpret_cast<GxD3D9MeshInstance*>(header + 1);
}
