// Test-facing controls of the software Direct3D 9 back end: event log, failure injection, capability profile.
#pragma once

#include "platform/d3d9/backend.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/shader_local.h"

#include <cstddef>
#include <vector>

// The software back end draws no pixels. It records what reaches it, keeps
// render-target contents for Clear, ColorFill and StretchRect (so read-back
// can be checked), checks that draws stay inside their buffers, and can be
// told to fail. Every Set* call is recorded, also when the value did not
// change: the device layer does not filter redundant calls.

enum D3D9SoftEventType {
    D3D9SOFT_STATE = 0,  // kind = D3D9StateKind, a, b, value as in StateChanged
    D3D9SOFT_BEGINSCENE,
    D3D9SOFT_ENDSCENE,
    D3D9SOFT_CLEAR,        // a = rect count, b = flags, value = colour, z, stencil
    D3D9SOFT_DRAW,         // draw and the state snapshot fields
    D3D9SOFT_PRESENT,      // object = back buffer record
    D3D9SOFT_RESET,        // a, b = back-buffer width and height
    D3D9SOFT_CREATE,       // kind = D3D9SoftObjectKind, object = record
    D3D9SOFT_DESTROY,      // kind = D3D9SoftObjectKind, object = record
    D3D9SOFT_UPLOAD,       // kind, object; textures: a = face, b = level; buffers: a = offset, b = size, value = flags
    D3D9SOFT_READBACK,     // object = source record
    D3D9SOFT_STRETCHRECT,  // object = destination record, value = filter
    D3D9SOFT_COLORFILL,    // object = surface record, value = colour
    D3D9SOFT_ERROR         // a draw outside its buffers (a = D3D9SoftErrorKind); the call failed
};

enum D3D9SoftObjectKind {
    D3D9SOFT_TEXTURE = 0,
    D3D9SOFT_SURFACE,
    D3D9SOFT_BUFFER,
    D3D9SOFT_DECLARATION,
    D3D9SOFT_SHADER
};

enum D3D9SoftErrorKind {
    D3D9SOFT_ERROR_VERTEX_RANGE = 1,  // a vertex past the end of a stream
    D3D9SOFT_ERROR_INDEX_RANGE,       // an index outside [MinVertexIndex, MinVertexIndex + NumVertices)
    D3D9SOFT_ERROR_STRIDE,            // a stream whose stride is shorter than the vertex it feeds
    D3D9SOFT_ERROR_NO_PALETTE         // a P8 texture sampled while no palette is current
};

struct D3D9SoftEvent {
    D3D9SoftEventType type;
    DWORD kind;
    DWORD a;
    DWORD b;
    DWORD value;
    float z;
    DWORD stencil;
    const void* object;
    // Draws: the call (user pointers cleared) and what was bound for it.
    D3D9DrawCall draw;
    DWORD fvf;
    const D3D9DeclarationData* declaration;
    const D3D9BufferData* stream0;
    UINT stride0;
    const D3D9BufferData* indices;
    const D3D9TextureData* texture0;
    const D3D9SurfaceData* renderTarget;
    // Draws with a vertex shader: the shader's outputs for vertices
    // shadedFirst, shadedFirst + 1 ... (the range the draw reads; empty past
    // kD3D9SoftMaxShadedVertices vertices, and once the log holds 2^18 shaded
    // vertices in all, until it is cleared).
    UINT shadedFirst;
    std::vector<D3D9VertexShaderOutput> shaded;
};

constexpr UINT kD3D9SoftMaxShadedVertices = 65536;

// Runs the bound vertex shader over vertices lowest..highest of a draw whose streams were checked.
void D3D9SoftShadeVertices(const D3D9State& state, const D3D9DrawCall& draw, UINT lowest, UINT highest,
                           std::vector<D3D9VertexShaderOutput>* shaded);

// Failure classes for D3D9SoftFailCreates.
enum {
    D3D9SOFT_FAIL_TEXTURES = 1,
    D3D9SOFT_FAIL_SURFACES = 2,
    D3D9SOFT_FAIL_BUFFERS = 4,
    D3D9SOFT_FAIL_DECLARATIONS = 8,
    D3D9SOFT_FAIL_ALL = 15
};

// An entry object on the software back end whatever the environment says.
// MALL_D3D9_PROFILE=minimal also selects the minimal profile for
// Direct3DCreate9 on the software back end.
IDirect3D9* D3D9SoftCreate(D3D9CapsProfile profile);

// False when the object does not run on the software back end; the other
// calls then do nothing (and the log is empty).
bool D3D9SoftIsSoftware(IDirect3D9* d3d);
bool D3D9SoftIsSoftware(IDirect3DDevice9* device);

void D3D9SoftRefuseFormat(IDirect3D9* d3d, D3DFORMAT format, bool refuse);

// Device loss: TestCooperativeLevel gives D3DERR_DEVICELOST for lostPolls
// calls, then D3DERR_DEVICENOTRESET until a Reset succeeds; Present gives
// D3DERR_DEVICELOST meanwhile, and Reset fails with D3DERR_DEVICELOST while
// polls remain.
void D3D9SoftLoseDevice(IDirect3DDevice9* device, UINT lostPolls);
// The next `count` Resets fail with D3DERR_INVALIDCALL.
void D3D9SoftFailResets(IDirect3DDevice9* device, UINT count);
// The next `count` creations of the given classes fail with D3DERR_OUTOFVIDEOMEMORY.
void D3D9SoftFailCreates(IDirect3DDevice9* device, UINT count, DWORD classes);

// The event log (the first 262144 events are kept, later ones are not). Logging can be switched off for
// timing.
const std::vector<D3D9SoftEvent>& D3D9SoftLog(IDirect3DDevice9* device);
void D3D9SoftClearLog(IDirect3DDevice9* device);
void D3D9SoftSetLogging(IDirect3DDevice9* device, bool on);
size_t D3D9SoftCount(IDirect3DDevice9* device, D3D9SoftEventType type);
// The last event of a type, or null.
const D3D9SoftEvent* D3D9SoftLast(IDirect3DDevice9* device, D3D9SoftEventType type);
