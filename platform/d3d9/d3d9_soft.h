// What the software Direct3D 9 back end tells a watcher: its event records and the watcher interface.
#pragma once

#include "platform/d3d9/backend.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/shader_local.h"

#include <cstddef>
#include <vector>

// The software back end draws no pixels. It keeps render-target contents for
// Clear, ColorFill and StretchRect (so read-back can be checked) and checks
// that draws stay inside their buffers. A watcher, where one is installed,
// is told of every call that reaches it and may make calls fail; the game
// installs none, the tests' support does (platform/testsupport). Every Set*
// call is told, also when the value did not change: the device layer does
// not filter redundant calls.

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

// Failure classes of D3D9Watcher::Create.
enum {
    D3D9SOFT_FAIL_TEXTURES = 1,
    D3D9SOFT_FAIL_SURFACES = 2,
    D3D9SOFT_FAIL_BUFFERS = 4,
    D3D9SOFT_FAIL_DECLARATIONS = 8,
    D3D9SOFT_FAIL_ALL = 15
};

// Watches one software back end, which owns it; every call runs on the device's thread.
class D3D9Watcher {
public:
    virtual ~D3D9Watcher() {}
    // A zeroed record of the type for the back end to fill in, or null when none is kept.
    virtual D3D9SoftEvent* Push(D3D9SoftEventType type) = 0;
    // A draw's record is filled (draw with vertices lowest..highest passed its checks); it may add the shading.
    virtual void Drawn(const D3D9State& state, const D3D9DrawCall& draw, UINT lowest, UINT highest,
                       D3D9SoftEvent* record) = 0;
    // Whether the adapter refuses a format it would otherwise offer.
    virtual bool Refuses(D3DFORMAT format) = 0;
    // D3D_OK, or the failure a creation of a class (D3D9SOFT_FAIL_*, 0 for none) is to meet.
    virtual HRESULT Create(DWORD failClass) = 0;
    // D3D_OK, or the failure Reset, TestCooperativeLevel or Present are to return.
    virtual HRESULT Reset() = 0;
    virtual HRESULT CooperativeLevel() = 0;
    virtual HRESULT Present() = 0;
};

// Makes the watcher of each software back end made from now on (null: none, as in the game); the back end takes it.
using D3D9WatcherMaker = D3D9Watcher* (*)(D3D9Backend* backend);
void D3D9WatchSoftBackends(D3D9WatcherMaker maker);
