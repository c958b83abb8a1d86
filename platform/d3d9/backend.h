// The interface between the Direct3D 9 device core and its back ends (software, OpenGL).
#pragma once

// Contract between the core and a back end.
//
// The core (device.cpp, resource.cpp, direct3d.cpp) implements every
// interface of d3d9.h. It keeps all device state in one D3D9State, validates
// the arguments, counts references and holds a system-memory copy of every
// resource (D3D9SurfaceData::bits, D3D9BufferData::bits). A back end never
// sees an interface pointer, only the plain records below; it keeps its own
// objects in their `backend` fields.
//
// Who calls what, and when:
// - One back end object serves one IDirect3D9 object. It is made by
//   Direct3DCreate9 (software: D3D9CreateSoftBackend; OpenGL:
//   D3D9CreateGLBackend, declared in gl_backend.h, returns null when no GL
//   context can be had). The adapter queries (GetCaps, CheckDeviceFormat,
//   AddDisplayModes ...) may run before Open.
// - Open runs from IDirect3D9::CreateDevice, Close when the device goes.
//   Only one device is open per back end at a time.
// - Resources: Create* runs once the core's record is filled (sizes, format,
//   pool, pitch, bits allocated and zeroed); a failure return (e.g.
//   D3DERR_OUTOFVIDEOMEMORY) makes the create call fail. Destroy* runs
//   before the record is freed. Swap-chain back buffers and the automatic
//   depth buffer are surfaces too (flags D3D9_SURFACE_BACKBUFFER /
//   D3D9_SURFACE_AUTODEPTH), created after Open and after each Reset.
// - Uploads: after the caller writes through a lock, the core calls
//   UploadTexture / UploadSurface / UploadBuffer with the region written.
//   Texture levels upload at UnlockRect; a READONLY lock uploads nothing.
//   Buffers upload at Unlock with the locked range (size 0 locks mean the
//   rest of the buffer); a DISCARD lock hands the caller a zeroed range,
//   never the old contents. Buffers in every pool are drawable and upload.
//   Textures and surfaces in the SYSTEMMEM and SCRATCH pools are announced
//   through Create*/Destroy* but never uploaded or drawn: a back end may keep
//   nothing for them.
//   AUTOGENMIPMAP textures expose one level; the back end rebuilds the
//   chain after each upload of that level and on GenerateMipSubLevels.
//   Render targets and depth surfaces (pool DEFAULT with RENDERTARGET or
//   DEPTHSTENCIL usage, and back buffers) are never locked: their content
//   lives in the back end, and ReadRenderTarget copies it into the bits of
//   a system-memory surface or of a managed texture level (which the core
//   then uploads).
// - State: every Set* call updates D3D9State first and then calls
//   StateChanged (also when the value did not change: the core does not
//   filter redundant calls; the renderer's own caches sit above). A back end
//   may ignore StateChanged and read the whole D3D9State at each draw.
// - Draw and Clear receive the full current state. The core has already
//   checked the scene bracket (draws only between BeginScene and EndScene),
//   the index range against the index buffer, and skipped draws of 0
//   primitives. For *UP draws the vertices and indices are in the
//   D3D9DrawCall record; state.streams[0] and state.indices are then null
//   (the core unbinds them, as the interface defines).
// - P8 textures: bits hold palette indices; the palettes are in the state
//   (palettes, currentPalette) and sample through the current one at draw.
// - Copies: StretchRect, ColorFill and UpdateSurface reach the back end (as
//   StretchRect or ColorFill; for UpdateSurface the source is a record whose
//   bits hold the truth) when the destination is a render target, depth
//   surface or back buffer. Other copies are done by the core on the
//   system-memory copies, followed by an Upload* of the destination.
// - Reset: the core refuses it while a DEFAULT-pool resource the caller
//   holds is alive; it then destroys the back buffers and depth buffer,
//   calls Reset, recreates them (at the old size when Reset failed) and
//   returns the state to the defaults.
//   MANAGED and SYSTEMMEM resources keep their back end objects.
// - Device loss: TestCooperativeLevel and Present results are passed through
//   to the caller unchanged.

#include "platform/d3d9/d3d9.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct D3D9TextureData;

enum {
    D3D9_SURFACE_BACKBUFFER = 1,  // a swap chain's back buffer
    D3D9_SURFACE_AUTODEPTH = 2,   // the device's automatic depth-stencil buffer
    D3D9_SURFACE_LEVEL = 4,       // a level (and face) of a texture
    D3D9_SURFACE_LOCKABLE = 8     // render target created lockable
};

// One image: a standalone surface or one level of one face of a texture.
struct D3D9SurfaceData {
    UINT width = 0;
    UINT height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_DEFAULT;
    DWORD flags = 0;                     // D3D9_SURFACE_*
    UINT pitch = 0;                      // bytes per row (per row of 4x4 blocks for DXT)
    UINT rows = 0;                       // rows of pitch bytes (height, or block rows)
    std::vector<BYTE> bits;              // pitch * rows bytes, row 0 at the top
    D3D9TextureData* texture = nullptr;  // owner when flags has D3D9_SURFACE_LEVEL
    UINT face = 0;
    UINT level = 0;
    HWND window = nullptr;    // back buffers: the window they present to
    void* backend = nullptr;  // the back end's own object
};

enum D3D9TextureKind {
    D3D9_TEXTURE_2D = 0,
    D3D9_TEXTURE_CUBE = 1
};

struct D3D9TextureData {
    D3D9TextureKind kind = D3D9_TEXTURE_2D;
    UINT width = 0;  // edge length for cube maps
    UINT height = 0;
    UINT levels = 0;  // levels actually made (AUTOGENMIPMAP textures expose 1)
    UINT faces = 1;   // 6 for cube maps
    D3DFORMAT format = D3DFMT_UNKNOWN;
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_MANAGED;
    D3DTEXTUREFILTERTYPE autoGenFilter = D3DTEXF_LINEAR;
    std::vector<D3D9SurfaceData*> surfaces;  // index face * levels + level
    void* backend = nullptr;

    D3D9SurfaceData* Surface(UINT face, UINT level) const { return surfaces[face * levels + level]; }
};

enum D3D9BufferKind {
    D3D9_BUFFER_VERTEX = 0,
    D3D9_BUFFER_INDEX = 1
};

struct D3D9BufferData {
    D3D9BufferKind kind = D3D9_BUFFER_VERTEX;
    UINT size = 0;
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_MANAGED;
    D3DFORMAT format = D3DFMT_VERTEXDATA;  // INDEX16 or INDEX32 for index buffers
    DWORD fvf = 0;
    std::vector<BYTE> bits;
    void* backend = nullptr;
};

struct D3D9DeclarationData {
    std::vector<D3DVERTEXELEMENT9> elements;  // without the end element
    void* backend = nullptr;
};

struct D3D9ShaderData {
    bool pixel = false;
    std::vector<DWORD> tokens;
    void* backend = nullptr;
};

struct D3D9StreamBinding {
    D3D9BufferData* buffer = nullptr;
    UINT offset = 0;
    UINT stride = 0;
};

struct D3D9LightSlot {
    D3DLIGHT9 light;
    BOOL enabled;
    bool set;  // SetLight or LightEnable has been called for this index
};

enum {
    D3D9_MAX_STREAMS = 16,
    D3D9_MAX_RENDERTARGETS = 4,
    D3D9_MAX_CLIPPLANES = 6,
    D3D9_MAX_WORLD_MATRICES = 256,
    D3D9_MAX_VS_CONSTANTS = 256,
    D3D9_MAX_PS_CONSTANTS = 32,
    D3D9_MAX_PALETTES = 4096,
    D3D9_MAX_LIGHTS = 4096
};

// The device state as the caller set it. Bindings are weak pointers: the
// core keeps the bound objects alive while they are bound.
struct D3D9State {
    DWORD renderStates[D3DRS_COUNT];
    DWORD textureStageStates[D3DMAXTEXTURESTAGES][D3DTSS_COUNT];
    DWORD samplerStates[D3DMAXSAMPLERS][D3DSAMP_COUNT];
    D3D9TextureData* textures[D3DMAXSAMPLERS];

    D3DMATRIX view;
    D3DMATRIX projection;
    D3DMATRIX textureTransforms[D3DMAXTEXTURESTAGES];
    D3DMATRIX world[D3D9_MAX_WORLD_MATRICES];

    D3DVIEWPORT9 viewport;
    RECT scissor;
    D3DMATERIAL9 material;
    float clipPlanes[D3D9_MAX_CLIPPLANES][4];
    std::vector<D3D9LightSlot> lights;  // grows to the highest index used

    D3D9StreamBinding streams[D3D9_MAX_STREAMS];
    D3D9BufferData* indices;
    DWORD fvf;                         // 0 while a declaration is set
    D3D9DeclarationData* declaration;  // null while an FVF is set
    D3D9ShaderData* vertexShader;      // null: fixed function
    D3D9ShaderData* pixelShader;       // null: fixed function
    float vsConstants[D3D9_MAX_VS_CONSTANTS][4];
    float psConstants[D3D9_MAX_PS_CONSTANTS][4];

    std::vector<std::vector<PALETTEENTRY>> palettes;  // 256 entries each; empty = never set
    UINT currentPalette;

    D3D9SurfaceData* renderTargets[D3D9_MAX_RENDERTARGETS];
    D3D9SurfaceData* depthStencil;
    BOOL softwareVertexProcessing;
};

// What StateChanged reports. `a` and `b` name the slot, `value` the value
// when it fits in a DWORD.
enum D3D9StateKind {
    D3D9_STATE_RENDER = 0,    // a = D3DRS_*, value
    D3D9_STATE_TEXTURESTAGE,  // a = stage, b = D3DTSS_*, value
    D3D9_STATE_SAMPLER,       // a = sampler, b = D3DSAMP_*, value
    D3D9_STATE_TEXTURE,       // a = stage
    D3D9_STATE_TRANSFORM,     // a = D3DTS_* (world n = 256 + n)
    D3D9_STATE_VIEWPORT,
    D3D9_STATE_SCISSOR,
    D3D9_STATE_MATERIAL,
    D3D9_STATE_LIGHT,        // a = index
    D3D9_STATE_LIGHTENABLE,  // a = index, value = enabled
    D3D9_STATE_CLIPPLANE,    // a = index
    D3D9_STATE_FVF,          // value = FVF
    D3D9_STATE_DECLARATION,
    D3D9_STATE_VERTEXSHADER,
    D3D9_STATE_PIXELSHADER,
    D3D9_STATE_VSCONSTANT,  // a = start register, b = count
    D3D9_STATE_PSCONSTANT,  // a = start register, b = count
    D3D9_STATE_STREAM,      // a = stream, b = offset, value = stride
    D3D9_STATE_INDICES,
    D3D9_STATE_RENDERTARGET,  // a = index
    D3D9_STATE_DEPTHSTENCIL,
    D3D9_STATE_PALETTE,         // a = palette number
    D3D9_STATE_CURRENTPALETTE,  // value = palette number
    D3D9_STATE_ALL              // everything changed (after Reset)
};

// One draw. Counts are checked and primitiveCount is never 0.
struct D3D9DrawCall {
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    UINT primitiveCount = 0;
    UINT vertexCount = 0;  // vertices (non-indexed) or indices (indexed) the primitives use
    bool indexed = false;
    UINT startVertex = 0;     // DrawPrimitive
    INT baseVertexIndex = 0;  // DrawIndexedPrimitive
    UINT minIndex = 0;
    UINT numVertices = 0;
    UINT startIndex = 0;
    // *UP draws: the caller's memory, valid only during the call.
    const void* userVertices = nullptr;
    UINT userStride = 0;
    const void* userIndices = nullptr;
    D3DFORMAT userIndexFormat = D3DFMT_INDEX16;
};

class D3D9Backend {
public:
    virtual ~D3D9Backend() {}

    // Adapter queries; valid before Open.
    virtual const char* Name() const = 0;
    virtual void GetIdentifier(D3DADAPTER_IDENTIFIER9* id) = 0;
    // Fills the whole record; D3D9FillBaseCaps gives a common starting point.
    virtual void GetCaps(D3DCAPS9* caps) = 0;
    virtual void GetDesktopMode(D3DDISPLAYMODE* mode) = 0;
    // Appends the modes the display offers; the core puts its fixed list
    // first and drops duplicates.
    virtual void AddDisplayModes(std::vector<D3DDISPLAYMODE>* modes) = 0;
    // D3D_OK, D3DOK_NOAUTOGEN (auto-mipmap asked but not possible) or
    // D3DERR_NOTAVAILABLE.
    virtual HRESULT CheckDeviceFormat(D3DFORMAT adapterFormat, DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format) = 0;

    // Device.
    virtual HRESULT Open(HWND window, const D3DPRESENT_PARAMETERS& params) = 0;
    virtual void Close() = 0;
    virtual HRESULT Reset(const D3DPRESENT_PARAMETERS& params) = 0;
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual UINT GetAvailableTextureMem() = 0;
    virtual void EvictManagedResources() = 0;

    // Resources.
    virtual HRESULT CreateTexture(D3D9TextureData* texture) = 0;
    virtual void DestroyTexture(D3D9TextureData* texture) = 0;
    // rect null: the whole level.
    virtual void UploadTexture(D3D9TextureData* texture, UINT face, UINT level, const RECT* rect) = 0;
    virtual void GenerateMipSubLevels(D3D9TextureData* texture) = 0;
    virtual HRESULT CreateSurface(D3D9SurfaceData* surface) = 0;
    virtual void DestroySurface(D3D9SurfaceData* surface) = 0;
    virtual void UploadSurface(D3D9SurfaceData* surface, const RECT* rect) = 0;
    virtual HRESULT CreateBuffer(D3D9BufferData* buffer) = 0;
    virtual void DestroyBuffer(D3D9BufferData* buffer) = 0;
    // lockFlags: the flags of the lock being closed (D3DLOCK_DISCARD lets the
    // back end orphan its old storage; NOOVERWRITE promises no overlap with
    // data queued for drawing).
    virtual void UploadBuffer(D3D9BufferData* buffer, UINT offset, UINT size, DWORD lockFlags) = 0;
    virtual HRESULT CreateDeclaration(D3D9DeclarationData* declaration) = 0;
    virtual void DestroyDeclaration(D3D9DeclarationData* declaration) = 0;
    virtual HRESULT CreateShader(D3D9ShaderData* shader) = 0;
    virtual void DestroyShader(D3D9ShaderData* shader) = 0;
    // Additional swap chains: D3DERR_NOTAVAILABLE when not supported.
    virtual HRESULT CreateSwapChain(HWND window, const D3DPRESENT_PARAMETERS& params) = 0;

    // Frame.
    virtual void StateChanged(const D3D9State& state, D3D9StateKind kind, DWORD a, DWORD b, DWORD value) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(const D3D9State& state, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                          float z, DWORD stencil) = 0;
    virtual HRESULT Draw(const D3D9State& state, const D3D9DrawCall& draw) = 0;
    // backBuffer: the swap chain's; window: the override or the chain's window.
    virtual HRESULT Present(D3D9SurfaceData* backBuffer, const RECT* source, const RECT* dest, HWND window) = 0;
    // Copies a render target's content into dest->bits (same size and format).
    virtual HRESULT ReadRenderTarget(D3D9SurfaceData* source, D3D9SurfaceData* dest) = 0;
    // dest is a render target, depth surface or back buffer; rects are never null.
    virtual HRESULT StretchRect(D3D9SurfaceData* source, const RECT& sourceRect, D3D9SurfaceData* dest,
                                const RECT& destRect, D3DTEXTUREFILTERTYPE filter) = 0;
    virtual HRESULT ColorFill(D3D9SurfaceData* surface, const RECT& rect, D3DCOLOR color) = 0;
    virtual void SetGammaRamp(const D3DGAMMARAMP& ramp) = 0;
};

// ---- helpers shared by the core and the back ends (format.cpp)

// Bytes per pixel (0 for block-compressed and unknown formats).
UINT D3D9FormatBytesPerPixel(D3DFORMAT format);
bool D3D9FormatIsDXT(D3DFORMAT format);
bool D3D9FormatIsDepth(D3DFORMAT format);
// Bytes per row (per row of 4x4 blocks for DXT) and number of such rows.
UINT D3D9FormatPitch(D3DFORMAT format, UINT width);
UINT D3D9FormatRows(D3DFORMAT format, UINT height);
// DXT data is stored in 4x4-pixel blocks; bytes of one block (0 for other formats).
constexpr UINT kD3D9DxtBlockEdge = 4;
UINT D3D9FormatBlockBytes(D3DFORMAT format);
// Whether the core can make storage for the format at all.
bool D3D9FormatKnown(D3DFORMAT format);
// Bytes of one index in D3DFMT_INDEX16 or D3DFMT_INDEX32 data, and the lowest and highest of the first `count`
// indices of such data (0xFFFFFFFF and 0 when count is 0).
UINT D3D9IndexBytes(D3DFORMAT format);
void D3D9IndexRange(const BYTE* indices, D3DFORMAT format, UINT count, UINT* lowest, UINT* highest);
// System-memory and scratch resources never reach the back end.
inline bool D3D9IsSystemPool(D3DPOOL pool) { return pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH; }

// Size in bytes of one vertex element type (0 for UNUSED or unknown).
UINT D3D9DeclTypeSize(BYTE type);
// Vertex size of an FVF, and the declaration it stands for (no end element).
UINT D3D9FVFSize(DWORD fvf);
void D3D9DeclarationFromFVF(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* elements);
// The elements a draw reads: the bound declaration's, else the FVF's (built in *scratch).
const std::vector<D3DVERTEXELEMENT9>& D3D9DrawElements(const D3D9State& state, std::vector<D3DVERTEXELEMENT9>* scratch);
// Vertices used by primitiveCount primitives of a type (0 for a bad type).
UINT D3D9PrimitiveVertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount);

// Capability profiles: "full" (hardware transform and lighting, stream
// offsets, auto-mipmap, cube maps ...) and "minimal" (none of the optional
// capabilities). The full profile reports vertex and pixel shader 1.1 with
// 256 vertex shader constants; the minimal one no shaders.
enum D3D9CapsProfile {
    D3D9_CAPS_FULL = 0,
    D3D9_CAPS_MINIMAL = 1
};
void D3D9FillBaseCaps(D3DCAPS9* caps, D3D9CapsProfile profile);

// The documented state a device starts with and returns to after Reset.
// autoDepth: whether the device has an automatic depth buffer (ZENABLE).
void D3D9SetDefaultState(D3D9State* state, bool autoDepth, float maxPointSize);

// Point-sampled copy between two system-memory images of the same format
// (not DXT); rects are clipped by the caller.
void D3D9CopyRectPoint(const D3D9SurfaceData& source, const RECT& sourceRect, D3D9SurfaceData* dest,
                       const RECT& destRect);
// Fills a rect of a system-memory image with a colour converted to its
// format; false for formats a colour cannot be written to (DXT, depth, P8 ...).
bool D3D9FillRect(D3D9SurfaceData* surface, const RECT& rect, D3DCOLOR color);

// Back end makers. The software one cannot fail; without a profile it takes the one MALL_D3D9_PROFILE names
// ("minimal", else full).
D3D9Backend* D3D9CreateSoftBackend();
D3D9Backend* D3D9CreateSoftBackend(D3D9CapsProfile profile);

// The entry object over a back end it then owns.
IDirect3D9* D3D9CreateOnBackend(D3D9Backend* backend);
// The back end an entry object or a device of this layer runs on (null for null): the test support's watcher
// reads it (direct3d_builder.cpp; the program does not link it).
D3D9Backend* D3D9BackendOf(IDirect3D9* d3d);
D3D9Backend* D3D9BackendOf(IDirect3DDevice9* device);
