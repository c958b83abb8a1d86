// Vertex-declaration instancing: element writers and readers per declaration type, the choice of compact
// texture-coordinate types, and the index-list helpers instancing uses.
//
// Writers take (type, destination, source, count, stride), advance the destination by the stride per vertex
// and return the type's size (also when they write nothing). Scaled values go to the nearest integer and are
// clamped to what the type can hold.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/d3d9/instance.h"

constexpr GxUInt32 gxD3D9DECLTYPECOUNT = 17;

GxUInt32 GxD3D9VertexDeclTypeGetSize(GxUInt32 type);

// The vertex layout an instancing path builds: elements in up to two streams, each with the part a lock of the
// geometry rewrites (a lock flag, or a part of the path's own beyond them).
constexpr GxUInt32 gxD3D9LAYOUTMAXELEMENTS = 16;
constexpr GxUInt32 gxD3D9LAYOUTMAXSTREAMS = 2;

struct GxD3D9VertexElement {
    GxUInt32 part;
    GxUInt32 stream;
    GxUInt32 offset;
    GxUInt32 type;
    GxUInt32 usage;
    GxUInt32 usageIndex;
};

struct GxD3D9VertexLayout {
    GxD3D9VertexElement elements[gxD3D9LAYOUTMAXELEMENTS];
    GxUInt32 count;
    GxUInt32 streams;
    GxUInt32 strides[gxD3D9LAYOUTMAXSTREAMS];
    GxUInt16 contents[gxD3D9LAYOUTMAXSTREAMS];  // the parts each stream holds
};

// Appends an element at the end of the stream. A part within the stream contents' 16 bits joins them; one
// beyond (the atomic path's tangents) is rewritten with the parts it derives from instead.
void GxD3D9VertexLayoutAppend(GxD3D9VertexLayout* layout, GxUInt32 stream, GxUInt32 part, GxUInt32 type, GxUInt32 usage,
                              GxUInt32 usageIndex);
// The layout's declaration, its elements ordered by stream and offset.
GxBool GxD3D9VertexLayoutCreateDeclaration(const GxD3D9VertexLayout* layout, IDirect3DVertexDeclaration9** declaration);
// The type of packed normals and tangents: DEC3N where the device reads it, else FLOAT3.
GxUInt32 GxD3D9PackedNormalType(void);

GxUInt32 GxD3D9WriteV3d(GxUInt32 type, void* dst, const GxV3d* src, GxUInt32 count, GxUInt32 stride);
GxUInt32 GxD3D9WriteV3dInterpolated(GxUInt32 type, void* dst, const GxV3d* srcA, const GxV3d* srcB, GxReal factor,
                                    GxUInt32 count, GxUInt32 stride);
// Sector normals: four signed bytes each, x, y, z in 1/128 units.
GxUInt32 GxD3D9WriteSectorNormals(GxUInt32 type, void* dst, const GxInt8* src, GxUInt32 count, GxUInt32 stride);
// Two floats per vertex.
GxUInt32 GxD3D9WriteTexCoords(GxUInt32 type, void* dst, const GxReal* src, GxUInt32 count, GxUInt32 stride);
// D3DCOLOR from red, green, blue, alpha bytes; 1 when any alpha is below 255.
GxBool GxD3D9WriteColors(void* dst, const GxRGBA* src, GxUInt32 count, GxUInt32 stride);
// Four weights per vertex, largest first; stored so that they add up to the type's full scale.
GxUInt32 GxD3D9WriteWeights(GxUInt32 type, void* dst, const GxReal* src, GxUInt32 count, GxUInt32 stride);
// Four index bytes per vertex, each replaced by remap[index].
GxUInt32 GxD3D9WriteBoneIndices(GxUInt32 type, void* dst, const GxUInt8* src, const GxUInt8* remap, GxUInt32 count,
                                GxUInt32 stride);
// Per-vertex tangents from the triangles of an instance (its index buffer and mesh records), normalised.
// Nothing is written when the accumulator or the index lock cannot be had.
GxUInt32 GxD3D9WriteTangents(GxUInt32 type, void* dst, const GxV3d* positions, const GxReal* texCoords,
                             GxD3D9InstanceHeader* header, GxUInt32 stride);

// One element back to floats (3 or 2); components a type does not hold read as 0.
void GxD3D9ReadV3d(GxUInt32 type, GxV3d* dst, const void* src);
void GxD3D9ReadTexCoords(GxUInt32 type, GxReal* dst, const void* src);

void GxD3D9TexCoordsGetExtents(const GxReal* src, GxUInt32 count, GxReal* min, GxReal* max);
// The most compact type the device supports that holds every coordinate.
GxUInt32 GxD3D9TexCoordsBestType(const GxReal* src, GxUInt32 count);

void GxD3D9IndexRange(const GxUInt16* indices, GxUInt32 count, GxUInt32* vertexCount, GxUInt32* firstVertex);
// Strip to list without degenerate triangles, each index minus base; returns the indices written.
GxUInt32 GxD3D9StripToList(GxUInt16* dst, const GxUInt16* src, GxUInt32 count, GxUInt32 base);
// Negative, 0 or positive as element a sorts before, with or after b: by stream, then by offset.
GxInt32 GxD3D9VertexElementCompare(const D3DVERTEXELEMENT9* a, const D3DVERTEXELEMENT9* b);
// Negative, 0 or positive as triangle a sorts before, with or after b (by sorted indices).
GxInt32 GxD3D9TriangleCompare(const GxUInt16* a, const GxUInt16* b);
void GxD3D9SortTriangleList(GxUInt16* indices, GxUInt32 count);
