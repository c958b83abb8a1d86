// Cached device bindings: vertex input, shaders, targets, transforms, lights, vertex declarations, frustum tests.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/core/matrix.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/instance.h"

struct GxCamera;
struct GxRaster;

// Each cache calls the device only when the value changes. A vertex declaration or shader the device refused is
// forgotten, so the next set tries again; the other caches keep the value asked for, refused or not.

constexpr GxInt32 gxD3D9MAXSTREAMS = 4;
constexpr GxInt32 gxD3D9MAXRENDERTARGETS = 4;
constexpr GxUInt32 gxD3D9NUMTRANSFORMS = 260;  // D3DTS_* 0 to 259
constexpr GxUInt32 gxD3D9UNKNOWNFVF = 0xFFFFFFFFu;

struct GxD3D9LightRecord {
    D3DLIGHT9 light;
    GxUInt32 enabled;
};

struct GxD3D9VertexDeclarationCacheEntry {
    IDirect3DVertexDeclaration9* declaration;  // null after its last release
    GxUInt32 numElements;                      // with the end element
    D3DVERTEXELEMENT9* elements;
};

// One stream of GxD3D9SetStreams.
struct GxD3D9StreamRecord {
    IDirect3DVertexBuffer9* vertexBuffer;
    GxUInt32 offset;
    GxUInt32 stride;
    GxUInt32 reserved;
};

// Vertex input and shaders.
GxBool GxD3D9SetFVF(GxUInt32 fvf);
GxBool GxD3D9SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration);
GxBool GxD3D9SetVertexShader(IDirect3DVertexShader9* shader);
GxBool GxD3D9SetPixelShader(IDirect3DPixelShader9* shader);
GxBool GxD3D9SetIndices(IDirect3DIndexBuffer9* indices);
GxBool GxD3D9SetStreamSource(GxUInt32 stream, IDirect3DVertexBuffer9* vertexBuffer, GxUInt32 offset, GxUInt32 stride);
// Streams 0 and 1 from two records; the records' offsets are used only when useOffsets is set.
void GxD3D9SetStreams(const GxD3D9StreamRecord* streams, GxBool useOffsets);
// An instance's index buffer, its two streams and its vertex declaration, ready to draw its meshes.
void GxD3D9SetInstanceBuffers(const GxD3D9InstanceHeader* header);

// Render targets (a raster's level-0 surface, or the face its cube byte selects).
GxBool GxD3D9SetRenderTarget(GxUInt32 index, GxRaster* raster);

// Transforms: state is a D3DTS_* value; a null matrix is the identity.
GxBool GxD3D9SetTransform(GxUInt32 state, const void* matrix);
// Copies the cached matrix (the identity for an empty slot) into out (16 floats).
void GxD3D9GetTransform(GxUInt32 state, void* matrix);
GxBool GxD3D9SetTransformWorld(const GxMatrix* matrix);

// Lights: the table grows to the highest index set.
GxBool GxD3D9SetLight(GxInt32 index, const D3DLIGHT9* light);
GxBool GxD3D9EnableLight(GxInt32 index, GxBool enable);
GxBool GxD3D9LightEqual(const D3DLIGHT9* a, const D3DLIGHT9* b);

// Device objects.
GxBool GxD3D9IndexBufferCreate(GxUInt32 numIndices, IDirect3DIndexBuffer9** indexBuffer);
GxBool GxD3D9CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** declaration);
void GxD3D9DeleteVertexDeclaration(IDirect3DVertexDeclaration9* declaration);
GxBool GxD3D9CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader);
GxBool GxD3D9CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader);
// Releases any device object; the references that remain.
GxUInt32 GxD3D9DeleteVertexShader(IDirect3DUnknown9* object);

// Frustum tests of the instancing pipelines: 1 when fully inside all six planes.
GxBool GxD3D9CameraIsSphereFullyInsideFrustum(const GxCamera* camera, const GxSphere* sphere);
GxBool GxD3D9CameraIsBBoxFullyInsideFrustum(const GxCamera* camera, const GxBBox* box);
