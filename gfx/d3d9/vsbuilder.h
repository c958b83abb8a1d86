// Vertex shaders written at run time: the four-byte descriptor, the registers record, the vs_1_1/vs_2_0 text
// builder and the cache of every shader made (least recently used replaced past 256 entries).
//
// The cache opens with the driver's skin pipelines and closes with them; it owns every shader it holds. One
// thread: the cache and the builder are module state and not re-entrant.
#pragma once

#include <string>

#include "gfx/core/gx.h"
#include "platform/d3d9/d3d9.h"

struct GxD3D9VertexShaderDescriptor {
    GxUInt8 numDirectionalLights;  // 0-15
    GxUInt8 numPointLights;        // 0-15
    GxUInt8 numSpotLights;         // 0-15
    GxUInt8 numTexCoords;          // 0-15
    GxUInt8 morphing;              // 0/1
    GxUInt8 numWeights;            // 0 = not skinned, 1-4
    GxUInt8 prelit;                // 0/1
    GxUInt8 normals;               // 0/1
    GxUInt8 normalizeNormals;      // 0/1
    GxUInt8 modulateMaterial;      // 0/1
    GxUInt8 fogMode;               // 0 none, 1 linear, 2 exponential, 3 exponential squared
    GxUInt8 effect;                // 0-63
};

// The descriptor's four-byte form, read as one little-endian value: the cache key.
GxUInt32 GxD3D9VertexShaderDescriptorKey(const GxD3D9VertexShaderDescriptor* descriptor);

constexpr GxUInt8 gxD3D9VSNOREGISTER = 0xFF;
struct GxD3D9VertexShaderRegisters {
    GxUInt8 material;
    GxUInt8 fog;
    GxUInt8 effect;
    GxUInt8 morph;
    GxUInt8 bones;  // first register of the palette, three rows per bone
    GxUInt8 unused[3];
};

// Constant layout fixed by every generated shader.
constexpr GxUInt32 gxD3D9VSTRANSFORMREGISTER = 0;  // c0-c3
constexpr GxUInt32 gxD3D9VSAMBIENTREGISTER = 4;
constexpr GxUInt32 gxD3D9VSLIGHTSREGISTER = 5;
constexpr GxUInt32 gxD3D9VSMAXCONSTANTS = 256;
constexpr GxUInt32 gxD3D9VSCACHESIZE = 256;

// Shader levels: none, vs_1_1, vs_2_0, vs_2_x.
constexpr GxInt32 gxD3D9VSLEVELNONE = 0;
constexpr GxInt32 gxD3D9VSLEVEL11 = 10;
constexpr GxInt32 gxD3D9VSLEVEL20 = 20;
constexpr GxInt32 gxD3D9VSLEVEL2X = 25;

void GxD3D9VertexShaderCacheOpen(void);
void GxD3D9VertexShaderCacheClose(void);
IDirect3DVertexShader9* GxD3D9VertexShaderCacheGet(const GxD3D9VertexShaderDescriptor* descriptor,
                                                   GxD3D9VertexShaderRegisters* registers);
IDirect3DVertexShader9* GxD3D9VertexShaderGenerate(const GxD3D9VertexShaderDescriptor* descriptor,
                                                   GxD3D9VertexShaderRegisters* registers);
// Constant registers of the fixed part and options, without the bone palette.
GxUInt32 GxD3D9VertexShaderGetNumConstants(const GxD3D9VertexShaderDescriptor* descriptor);

// The shader text of a descriptor for a level (empty for an unknown level), its registers filled; wFog: the
// device computes fog from w itself.
struct GxD3D9VertexShaderTarget {
    GxInt32 level;
    bool wFog;
    GxUInt32 numConstants;
};
std::string GxD3D9VertexShaderWriteText(const GxD3D9VertexShaderDescriptor* descriptor,
                                        const GxD3D9VertexShaderTarget* target, GxD3D9VertexShaderRegisters* registers);
