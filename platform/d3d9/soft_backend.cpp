// The software back end of the Direct3D 9 layer: no pixels, an event log, draw range checks and failure injection.
#include "platform/d3d9/d3d9_local.h"
#include "platform/d3d9/d3d9_soft.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

const size_t kMaxEvents = size_t(1) << 18;  // about 40 MB at most
constexpr UINT kAvailableTextureMem = 256u * 1024u * 1024u;
// Shaded vertices the log keeps in all (about 50 MB); later draws are logged without them until it is cleared.
const size_t kMaxShadedKept = size_t(1) << 18;

class SoftBackend final : public D3D9Backend {
public:
    explicit SoftBackend(D3D9CapsProfile profile) : profile_(profile) {}

    // ---- adapter
    const char* Name() const override { return "software"; }
    void GetIdentifier(D3DADAPTER_IDENTIFIER9* id) override;
    void GetCaps(D3DCAPS9* caps) override { D3D9FillBaseCaps(caps, profile_); }
    void GetDesktopMode(D3DDISPLAYMODE* mode) override { *mode = D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8}; }
    void AddDisplayModes(std::vector<D3DDISPLAYMODE>*) override {}
    HRESULT CheckDeviceFormat(D3DFORMAT adapterFormat, DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format) override;

    // ---- device
    HRESULT Open(HWND, const D3DPRESENT_PARAMETERS&) override { return D3D_OK; }
    void Close() override {}
    HRESULT Reset(const D3DPRESENT_PARAMETERS& params) override;
    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override { return kAvailableTextureMem; }
    void EvictManagedResources() override {}

    HRESULT CreateTexture(D3D9TextureData* texture) override
    {
        return Create(D3D9SOFT_FAIL_TEXTURES, D3D9SOFT_TEXTURE, texture);
    }
    void DestroyTexture(D3D9TextureData* texture) override { Record(D3D9SOFT_DESTROY, D3D9SOFT_TEXTURE, texture); }
    void UploadTexture(D3D9TextureData* texture, UINT face, UINT level, const RECT*) override;
    void GenerateMipSubLevels(D3D9TextureData*) override {}
    HRESULT CreateSurface(D3D9SurfaceData* surface) override
    {
        return Create(D3D9SOFT_FAIL_SURFACES, D3D9SOFT_SURFACE, surface);
    }
    void DestroySurface(D3D9SurfaceData* surface) override { Record(D3D9SOFT_DESTROY, D3D9SOFT_SURFACE, surface); }
    void UploadSurface(D3D9SurfaceData* surface, const RECT*) override;
    HRESULT CreateBuffer(D3D9BufferData* buffer) override
    {
        return Create(D3D9SOFT_FAIL_BUFFERS, D3D9SOFT_BUFFER, buffer);
    }
    void DestroyBuffer(D3D9BufferData* buffer) override { Record(D3D9SOFT_DESTROY, D3D9SOFT_BUFFER, buffer); }
    void UploadBuffer(D3D9BufferData* buffer, UINT offset, UINT size, DWORD lockFlags) override;
    HRESULT CreateDeclaration(D3D9DeclarationData* d) override
    {
        return Create(D3D9SOFT_FAIL_DECLARATIONS, D3D9SOFT_DECLARATION, d);
    }
    void DestroyDeclaration(D3D9DeclarationData* d) override { Record(D3D9SOFT_DESTROY, D3D9SOFT_DECLARATION, d); }
    HRESULT CreateShader(D3D9ShaderData* s) override { return Create(0, D3D9SOFT_SHADER, s); }
    void DestroyShader(D3D9ShaderData* s) override { Record(D3D9SOFT_DESTROY, D3D9SOFT_SHADER, s); }
    HRESULT CreateSwapChain(HWND, const D3DPRESENT_PARAMETERS&) override { return D3D_OK; }

    // ---- frame
    void StateChanged(const D3D9State& state, D3D9StateKind kind, DWORD a, DWORD b, DWORD value) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(const D3D9State& state, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT Draw(const D3D9State& state, const D3D9DrawCall& draw) override;
    HRESULT Present(D3D9SurfaceData* backBuffer, const RECT* source, const RECT* dest, HWND window) override;
    HRESULT ReadRenderTarget(D3D9SurfaceData* source, D3D9SurfaceData* dest) override;
    HRESULT StretchRect(D3D9SurfaceData* source, const RECT& sourceRect, D3D9SurfaceData* dest, const RECT& destRect,
                        D3DTEXTUREFILTERTYPE filter) override;
    HRESULT ColorFill(D3D9SurfaceData* surface, const RECT& rect, D3DCOLOR color) override;
    void SetGammaRamp(const D3DGAMMARAMP&) override {}

    // ---- test controls
    D3D9CapsProfile profile_;
    std::set<D3DFORMAT> refused;
    UINT lostPolls = 0;
    bool lost = false;
    UINT failResets = 0;
    UINT failCreates = 0;
    DWORD failClasses = 0;
    bool logging = true;
    std::vector<D3D9SoftEvent> log;
    size_t shadedKept = 0;

private:
    D3D9SoftEvent* Push(D3D9SoftEventType type);
    void Record(D3D9SoftEventType type, DWORD kind, const void* object);
    HRESULT Create(DWORD failClass, DWORD kind, const void* object);
    HRESULT CheckStreams(const D3D9State& state, const D3D9DrawCall& draw, INT lowest, UINT highest);
    HRESULT CheckIndices(const D3D9State& state, const D3D9DrawCall& draw, INT* lowest, UINT* highest);
    HRESULT Fail(D3D9SoftErrorKind kind, DWORD detail);
};

D3D9SoftEvent* SoftBackend::Push(D3D9SoftEventType type)
{
    if (!logging)
        return nullptr;
    if (log.size() >= kMaxEvents)
        return nullptr;
    log.emplace_back();  // value-initialised: every field starts at 0
    D3D9SoftEvent* e = &log.back();
    e->type = type;
    return e;
}

void SoftBackend::Record(D3D9SoftEventType type, DWORD kind, const void* object)
{
    D3D9SoftEvent* e = Push(type);
    if (!e)
        return;
    e->kind = kind;
    e->object = object;
}

HRESULT SoftBackend::Create(DWORD failClass, DWORD kind, const void* object)
{
    if (failCreates > 0 && (failClasses & failClass)) {
        --failCreates;
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    Record(D3D9SOFT_CREATE, kind, object);
    return D3D_OK;
}

void SoftBackend::GetIdentifier(D3DADAPTER_IDENTIFIER9* id)
{
    std::strncpy(id->Driver, "mall_d3d9_soft", sizeof(id->Driver) - 1);
    std::strncpy(id->Description, "Software Direct3D 9 device", sizeof(id->Description) - 1);
    std::strncpy(id->DeviceName, "SOFT0", sizeof(id->DeviceName) - 1);
    id->VendorId = 0;
    id->DeviceId = 0;
}

static bool IsRenderTargetFormat(D3DFORMAT f)
{
    return f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5 || f == D3DFMT_X1R5G5B5 ||
           f == D3DFMT_A1R5G5B5 || f == D3DFMT_A4R4G4B4 || f == D3DFMT_X4R4G4B4;
}

static bool IsPlainTextureFormat(D3DFORMAT f, bool full)
{
    switch (f) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8:
    case D3DFMT_L8:
    case D3DFMT_A8L8:
    case D3DFMT_A4L4:
    case D3DFMT_DXT1:
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        return true;
    case D3DFMT_P8:
    case D3DFMT_L16:
    case D3DFMT_V8U8:
    case D3DFMT_A2R10G10B10:
        return full;
    default:
        return false;
    }
}

HRESULT SoftBackend::CheckDeviceFormat(D3DFORMAT, DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format)
{
    bool full = profile_ == D3D9_CAPS_FULL;
    if (refused.count(format))
        return D3DERR_NOTAVAILABLE;
    if (type == D3DRTYPE_CUBETEXTURE && !full)
        return D3DERR_NOTAVAILABLE;
    if (type != D3DRTYPE_SURFACE && type != D3DRTYPE_TEXTURE && type != D3DRTYPE_CUBETEXTURE) {
        return D3DERR_NOTAVAILABLE;
    }
    if (usage & D3DUSAGE_DEPTHSTENCIL) {
        bool ok = format == D3DFMT_D16 || format == D3DFMT_D24S8 || format == D3DFMT_D24X8 || format == D3DFMT_D32 ||
                  format == D3DFMT_D15S1 || format == D3DFMT_D24X4S4;
        return ok && type != D3DRTYPE_CUBETEXTURE ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    if (D3D9FormatIsDepth(format))
        return D3DERR_NOTAVAILABLE;
    if ((usage & D3DUSAGE_RENDERTARGET) && !IsRenderTargetFormat(format))
        return D3DERR_NOTAVAILABLE;
    if (type != D3DRTYPE_SURFACE && !IsPlainTextureFormat(format, full))
        return D3DERR_NOTAVAILABLE;
    if (type == D3DRTYPE_SURFACE && !D3D9FormatKnown(format))
        return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_AUTOGENMIPMAP) {
        if (!full || D3D9FormatIsDXT(format) || format == D3DFMT_P8)
            return D3DOK_NOAUTOGEN;
    }
    return D3D_OK;
}

HRESULT SoftBackend::Reset(const D3DPRESENT_PARAMETERS& params)
{
    if (lost && lostPolls > 0)
        return D3DERR_DEVICELOST;
    if (failResets > 0) {
        --failResets;
        return D3DERR_INVALIDCALL;
    }
    lost = false;
    D3D9SoftEvent* e = Push(D3D9SOFT_RESET);
    if (e) {
        e->a = params.BackBufferWidth;
        e->b = params.BackBufferHeight;
    }
    return D3D_OK;
}

HRESULT SoftBackend::TestCooperativeLevel()
{
    if (!lost)
        return D3D_OK;
    if (lostPolls > 0) {
        --lostPolls;
        return D3DERR_DEVICELOST;
    }
    return D3DERR_DEVICENOTRESET;
}

void SoftBackend::UploadTexture(D3D9TextureData* texture, UINT face, UINT level, const RECT*)
{
    D3D9SoftEvent* e = Push(D3D9SOFT_UPLOAD);
    if (!e)
        return;
    e->kind = D3D9SOFT_TEXTURE;
    e->object = texture;
    e->a = face;
    e->b = level;
}

void SoftBackend::UploadSurface(D3D9SurfaceData* surface, const RECT*)
{
    Record(D3D9SOFT_UPLOAD, D3D9SOFT_SURFACE, surface);
}

void SoftBackend::UploadBuffer(D3D9BufferData* buffer, UINT offset, UINT size, DWORD lockFlags)
{
    D3D9SoftEvent* e = Push(D3D9SOFT_UPLOAD);
    if (!e)
        return;
    e->kind = D3D9SOFT_BUFFER;
    e->object = buffer;
    e->a = offset;
    e->b = size;
    e->value = lockFlags;
}

void SoftBackend::StateChanged(const D3D9State&, D3D9StateKind kind, DWORD a, DWORD b, DWORD value)
{
    D3D9SoftEvent* e = Push(D3D9SOFT_STATE);
    if (!e)
        return;
    e->kind = kind;
    e->a = a;
    e->b = b;
    e->value = value;
}

HRESULT SoftBackend::BeginScene()
{
    Push(D3D9SOFT_BEGINSCENE);
    return D3D_OK;
}

HRESULT SoftBackend::EndScene()
{
    Push(D3D9SOFT_ENDSCENE);
    return D3D_OK;
}

static RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

// Clears the render target's kept contents inside the viewport (and scissor).
HRESULT SoftBackend::Clear(const D3D9State& state, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                           float z, DWORD stencil)
{
    D3D9SoftEvent* e = Push(D3D9SOFT_CLEAR);
    if (e) {
        e->a = count;
        e->b = flags;
        e->value = color;
        e->z = z;
        e->stencil = stencil;
        e->renderTarget = state.renderTargets[0];
        if (count > 0)
            e->object = rects;
    }
    D3D9SurfaceData* target = state.renderTargets[0];
    if (!(flags & D3DCLEAR_TARGET) || !target)
        return D3D_OK;
    const D3DVIEWPORT9& vp = state.viewport;
    RECT area = {static_cast<LONG>(vp.X), static_cast<LONG>(vp.Y), static_cast<LONG>(vp.X + vp.Width),
                 static_cast<LONG>(vp.Y + vp.Height)};
    if (state.renderStates[D3DRS_SCISSORTESTENABLE])
        area = Intersect(area, state.scissor);
    if (count == 0) {
        D3D9FillRect(target, area, color);
        return D3D_OK;
    }
    for (DWORD i = 0; i < count; ++i) {
        RECT r = {rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2};
        D3D9FillRect(target, Intersect(r, area), color);
    }
    return D3D_OK;
}

HRESULT SoftBackend::Fail(D3D9SoftErrorKind kind, DWORD detail)
{
    D3D9SoftEvent* e = Push(D3D9SOFT_ERROR);
    if (e) {
        e->a = kind;
        e->b = detail;
    }
    return D3DERR_INVALIDCALL;
}

// Finds the lowest and highest vertex the indices name (before the base
// index) and checks them against the declared vertex range.
HRESULT SoftBackend::CheckIndices(const D3D9State& state, const D3D9DrawCall& draw, INT* lowest, UINT* highest)
{
    const BYTE* bits;
    D3DFORMAT format;
    if (draw.userIndices) {
        bits = static_cast<const BYTE*>(draw.userIndices);
        format = draw.userIndexFormat;
    } else {
        format = state.indices->format;
        bits = state.indices->bits.data() + static_cast<size_t>(draw.startIndex) * D3D9IndexBytes(format);
    }
    UINT lo = 0;
    UINT hi = 0;
    D3D9IndexRange(bits, format, draw.vertexCount, &lo, &hi);
    if (lo < draw.minIndex || static_cast<uint64_t>(hi) >= static_cast<uint64_t>(draw.minIndex) + draw.numVertices) {
        return Fail(D3D9SOFT_ERROR_INDEX_RANGE, hi);
    }
    int64_t first = static_cast<int64_t>(lo) + draw.baseVertexIndex;
    int64_t last = static_cast<int64_t>(hi) + draw.baseVertexIndex;
    if (first < 0 || last > 0x7FFFFFFF)
        return Fail(D3D9SOFT_ERROR_VERTEX_RANGE, 0);
    *lowest = static_cast<INT>(first);
    *highest = static_cast<UINT>(last);
    return D3D_OK;
}

// The bytes a vertex reads from each stream, from the declaration or FVF.
static void StreamNeeds(const D3D9State& state, UINT needs[D3D9_MAX_STREAMS])
{
    std::fill(needs, needs + D3D9_MAX_STREAMS, 0u);
    std::vector<D3DVERTEXELEMENT9> fvfElements;
    for (const D3DVERTEXELEMENT9& e : D3D9DrawElements(state, &fvfElements)) {
        if (e.Stream < D3D9_MAX_STREAMS)
            needs[e.Stream] = std::max(needs[e.Stream], e.Offset + D3D9DeclTypeSize(e.Type));
    }
}

HRESULT SoftBackend::CheckStreams(const D3D9State& state, const D3D9DrawCall& draw, INT lowest, UINT highest)
{
    if (lowest < 0)
        return Fail(D3D9SOFT_ERROR_VERTEX_RANGE, 0);
    UINT needs[D3D9_MAX_STREAMS];
    StreamNeeds(state, needs);
    if (draw.userVertices) {
        if (needs[0] > draw.userStride)
            return Fail(D3D9SOFT_ERROR_VERTEX_RANGE, 0);
        return D3D_OK;
    }
    for (UINT s = 0; s < D3D9_MAX_STREAMS; ++s) {
        if (needs[s] == 0)
            continue;
        const D3D9StreamBinding& binding = state.streams[s];
        if (!binding.buffer)
            return Fail(D3D9SOFT_ERROR_VERTEX_RANGE, s);
        if (binding.stride < needs[s])
            return Fail(D3D9SOFT_ERROR_STRIDE, s);
        uint64_t end =
            static_cast<uint64_t>(binding.offset) + static_cast<uint64_t>(highest) * binding.stride + needs[s];
        if (end > binding.buffer->size)
            return Fail(D3D9SOFT_ERROR_VERTEX_RANGE, s);
    }
    return D3D_OK;
}

// P8 textures sample through the current palette, which must have been filled.
static bool PalettesReady(const D3D9State& state)
{
    bool paletteSet = state.currentPalette < state.palettes.size() && !state.palettes[state.currentPalette].empty();
    for (DWORD stage = 0; stage < D3DMAXTEXTURESTAGES; ++stage) {
        if (state.textureStageStates[stage][D3DTSS_COLOROP] == D3DTOP_DISABLE)
            break;
        const D3D9TextureData* t = state.textures[stage];
        if (t && t->format == D3DFMT_P8 && !paletteSet)
            return false;
    }
    return true;
}

HRESULT SoftBackend::Draw(const D3D9State& state, const D3D9DrawCall& draw)
{
    if (!PalettesReady(state))
        return Fail(D3D9SOFT_ERROR_NO_PALETTE, state.currentPalette);
    INT lowest = static_cast<INT>(draw.startVertex);
    UINT highest = draw.startVertex + draw.vertexCount - 1;
    if (draw.indexed) {
        HRESULT hr = CheckIndices(state, draw, &lowest, &highest);
        if (FAILED(hr))
            return hr;
    }
    HRESULT hr = CheckStreams(state, draw, lowest, highest);
    if (FAILED(hr))
        return hr;
    D3D9SoftEvent* e = Push(D3D9SOFT_DRAW);
    if (!e)
        return D3D_OK;
    e->draw = draw;
    e->draw.userVertices = nullptr;
    e->draw.userIndices = nullptr;
    e->fvf = state.fvf;
    e->declaration = state.declaration;
    e->stream0 = state.streams[0].buffer;
    e->stride0 = draw.userVertices ? draw.userStride : state.streams[0].stride;
    e->indices = state.indices;
    e->texture0 = state.textures[0];
    e->renderTarget = state.renderTargets[0];
    e->shadedFirst = static_cast<UINT>(lowest);
    if (shadedKept + (highest - static_cast<UINT>(lowest) + 1) > kMaxShadedKept)
        return D3D_OK;
    D3D9SoftShadeVertices(state, draw, static_cast<UINT>(lowest), highest, &e->shaded);
    shadedKept += e->shaded.size();
    return D3D_OK;
}

HRESULT SoftBackend::Present(D3D9SurfaceData* backBuffer, const RECT*, const RECT*, HWND)
{
    if (lost)
        return D3DERR_DEVICELOST;
    Record(D3D9SOFT_PRESENT, 0, backBuffer);
    return D3D_OK;
}

HRESULT SoftBackend::ReadRenderTarget(D3D9SurfaceData* source, D3D9SurfaceData* dest)
{
    Record(D3D9SOFT_READBACK, D3D9SOFT_SURFACE, source);
    if (source->bits.size() != dest->bits.size())
        return D3DERR_INVALIDCALL;
    dest->bits = source->bits;
    return D3D_OK;
}

HRESULT SoftBackend::StretchRect(D3D9SurfaceData* source, const RECT& sourceRect, D3D9SurfaceData* dest,
                                 const RECT& destRect, D3DTEXTUREFILTERTYPE filter)
{
    D3D9SoftEvent* e = Push(D3D9SOFT_STRETCHRECT);
    if (e) {
        e->object = dest;
        e->value = filter;
    }
    if (source->format == dest->format && !D3D9FormatIsDXT(source->format)) {
        D3D9CopyRectPoint(*source, sourceRect, dest, destRect);
    }
    return D3D_OK;
}

HRESULT SoftBackend::ColorFill(D3D9SurfaceData* surface, const RECT& rect, D3DCOLOR color)
{
    D3D9SoftEvent* e = Push(D3D9SOFT_COLORFILL);
    if (e) {
        e->object = surface;
        e->value = color;
    }
    return D3D9FillRect(surface, rect, color) ? D3D_OK : D3DERR_INVALIDCALL;
}

SoftBackend* SoftFrom(IDirect3D9* d3d)
{
    if (!d3d)
        return nullptr;
    return dynamic_cast<SoftBackend*>(static_cast<D3D9Direct3D*>(d3d)->Backend());
}

SoftBackend* SoftFrom(IDirect3DDevice9* device)
{
    if (!device)
        return nullptr;
    return dynamic_cast<SoftBackend*>(static_cast<D3D9Device*>(device)->Backend());
}

}  // namespace

D3D9Backend* D3D9CreateSoftBackend()
{
    const char* profile = std::getenv("MALL_D3D9_PROFILE");
    bool minimal = profile && std::strcmp(profile, "minimal") == 0;
    return new SoftBackend(minimal ? D3D9_CAPS_MINIMAL : D3D9_CAPS_FULL);
}

IDirect3D9* D3D9SoftCreate(D3D9CapsProfile profile) { return new D3D9Direct3D(new SoftBackend(profile)); }

bool D3D9SoftIsSoftware(IDirect3D9* d3d) { return SoftFrom(d3d) != nullptr; }

bool D3D9SoftIsSoftware(IDirect3DDevice9* device) { return SoftFrom(device) != nullptr; }

void D3D9SoftRefuseFormat(IDirect3D9* d3d, D3DFORMAT format, bool refuse)
{
    SoftBackend* soft = SoftFrom(d3d);
    if (!soft)
        return;
    if (refuse) {
        soft->refused.insert(format);
    } else {
        soft->refused.erase(format);
    }
}

void D3D9SoftLoseDevice(IDirect3DDevice9* device, UINT lostPolls)
{
    SoftBackend* soft = SoftFrom(device);
    if (!soft)
        return;
    soft->lost = true;
    soft->lostPolls = lostPolls;
}

void D3D9SoftFailResets(IDirect3DDevice9* device, UINT count)
{
    if (SoftBackend* soft = SoftFrom(device))
        soft->failResets = count;
}

void D3D9SoftFailCreates(IDirect3DDevice9* device, UINT count, DWORD classes)
{
    SoftBackend* soft = SoftFrom(device);
    if (!soft)
        return;
    soft->failCreates = count;
    soft->failClasses = classes;
}

const std::vector<D3D9SoftEvent>& D3D9SoftLog(IDirect3DDevice9* device)
{
    static const std::vector<D3D9SoftEvent> kEmpty;
    SoftBackend* soft = SoftFrom(device);
    return soft ? soft->log : kEmpty;
}

void D3D9SoftClearLog(IDirect3DDevice9* device)
{
    SoftBackend* soft = SoftFrom(device);
    if (!soft)
        return;
    soft->log.clear();
    soft->shadedKept = 0;
}

void D3D9SoftSetLogging(IDirect3DDevice9* device, bool on)
{
    if (SoftBackend* soft = SoftFrom(device))
        soft->logging = on;
}

size_t D3D9SoftCount(IDirect3DDevice9* device, D3D9SoftEventType type)
{
    size_t n = 0;
    for (const D3D9SoftEvent& e : D3D9SoftLog(device))
        n += e.type == type ? 1 : 0;
    return n;
}

const D3D9SoftEvent* D3D9SoftLast(IDirect3DDevice9* device, D3D9SoftEventType type)
{
    const std::vector<D3D9SoftEvent>& log = D3D9SoftLog(device);
    for (size_t i = log.size(); i > 0; --i) {
        if (log[i - 1].type == type)
            return &log[i - 1];
    }
    return nullptr;
}
