// OpenGL back end of the Direct3D 9 layer: adapter, device, targets and present (resources are in gl_resources.cpp).
#include "platform/d3d9/gl_local.h"
#include "platform/d3d9/shader_local.h"

#include <SDL.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>

// The back buffer and every render target are GL textures drawn with
// glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE): memory row 0 is the top row,
// as Direct3D has it, so read-back and texture sampling need no flips; only
// Present flips when it blits to the window.

D3D9Backend* D3D9CreateGLBackend()
{
    GlBackend* backend = new GlBackend();
    if (!backend->Probe()) {
        delete backend;
        return nullptr;
    }
    return backend;
}

GlBackend::GlBackend() {}

GlBackend::~GlBackend() { Close(); }

// Makes a throwaway context to learn what GL offers, so the adapter queries
// answer before a device exists.
bool GlBackend::Probe()
{
    GlContext probe;
    if (!GlContextCreate(&probe, nullptr, 16, 16))
        return false;
    const GLubyte* renderer = glGetString(GL_RENDERER);
    renderer_ = renderer ? reinterpret_cast<const char*>(renderer) : "OpenGL";
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
    GLfloat range[2] = {1.0f, 64.0f};
    glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, range);
    maxPointSize_ = range[1];
    GLint units = kGlMaxStages;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    maxUnits_ = std::min<int>(units, kGlMaxStages);
    combine3_ = GlHasExtension("GL_ATI_texture_env_combine3");
    if (GlHasExtension("GL_EXT_texture_filter_anisotropic"))
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy_);
    const bool s3tc = GlHasExtension("GL_EXT_texture_compression_s3tc");
    // The translated vertex shaders keep every constant in one uniform array.
    GLint uniformComponents = 0;
    glGetIntegerv(GL_MAX_VERTEX_UNIFORM_COMPONENTS, &uniformComponents);
    vertexShaders_ = uniformComponents >= static_cast<GLint>(kGlShaderConstants * 4 + kGlShaderSpareComponents);
    pixelShaders_ = glGetString(GL_SHADING_LANGUAGE_VERSION) != nullptr;
    GlContextDestroy(&probe);
    return s3tc && maxUnits_ >= 2;
}

void GlBackend::GetIdentifier(D3DADAPTER_IDENTIFIER9* id)
{
    std::memset(id, 0, sizeof(*id));
    std::snprintf(id->Driver, sizeof(id->Driver), "opengl");
    std::snprintf(id->Description, sizeof(id->Description), "OpenGL %s", renderer_.c_str());
    std::snprintf(id->DeviceName, sizeof(id->DeviceName), "\\\\.\\DISPLAY1");
}

void GlBackend::GetCaps(D3DCAPS9* caps)
{
    D3D9FillBaseCaps(caps, D3D9_CAPS_FULL);
    caps->MaxTextureWidth = static_cast<DWORD>(maxTextureSize_);
    caps->MaxTextureHeight = static_cast<DWORD>(maxTextureSize_);
    caps->MaxPointSize = maxPointSize_;
    caps->MaxActiveLights = kGlMaxLights;
    caps->MaxTextureBlendStages = static_cast<DWORD>(maxUnits_);
    caps->MaxSimultaneousTextures = static_cast<DWORD>(maxUnits_);
    caps->MaxAnisotropy = static_cast<DWORD>(maxAnisotropy_);
    caps->DevCaps |= D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps->DevCaps2 |= D3DDEVCAPS2_STREAMOFFSET;
    caps->Caps2 |= D3DCAPS2_CANAUTOGENMIPMAP;
    caps->RasterCaps |= D3DPRASTERCAPS_FOGVERTEX | D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_WFOG;
    caps->TextureCaps &=
        ~static_cast<DWORD>(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY | D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
    // The combiners have no bump mapping and no premodulation.
    caps->TextureOpCaps &=
        ~static_cast<DWORD>(D3DTEXOPCAPS_BUMPENVMAP | D3DTEXOPCAPS_BUMPENVMAPLUMINANCE | D3DTEXOPCAPS_PREMODULATE);
    if (!combine3_) {
        caps->TextureOpCaps &=
            ~static_cast<DWORD>(D3DTEXOPCAPS_MULTIPLYADD | D3DTEXOPCAPS_ADDSMOOTH | D3DTEXOPCAPS_BLENDTEXTUREALPHAPM);
    }
    // The combiners have no temporary register: stages that use it run as a fragment program.
    if (!pixelShaders_)
        caps->PrimitiveMiscCaps &= ~static_cast<DWORD>(D3DPMISCCAPS_TSSARGTEMP);
    caps->MaxVertexBlendMatrices = 0;
    caps->MaxVertexBlendMatrixIndex = 0;
    caps->VertexShaderVersion = vertexShaders_ ? D3DVS_VERSION(1, 1) : D3DVS_VERSION(0, 0);
    caps->PixelShaderVersion = pixelShaders_ ? D3DPS_VERSION(1, 1) : D3DPS_VERSION(0, 0);
    caps->PixelShader1xMaxValue = pixelShaders_ ? kPs11MaxValue : 0.0f;
    caps->MaxVertexShaderConst = vertexShaders_ ? kGlShaderConstants : 0;
}

void GlBackend::GetDesktopMode(D3DDISPLAYMODE* mode)
{
    mode->Width = 1024;
    mode->Height = 768;
    mode->RefreshRate = 60;
    mode->Format = D3DFMT_X8R8G8B8;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return;
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
        mode->Width = static_cast<UINT>(desktop.w);
        mode->Height = static_cast<UINT>(desktop.h);
        mode->RefreshRate = desktop.refresh_rate > 0 ? static_cast<UINT>(desktop.refresh_rate) : 60;
        if (SDL_BITSPERPIXEL(desktop.format) == 16)
            mode->Format = D3DFMT_R5G6B5;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void GlBackend::AddDisplayModes(std::vector<D3DDISPLAYMODE>* modes)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) != 0 || m.w <= 0 || m.h <= 0)
            continue;
        const int bits = SDL_BITSPERPIXEL(m.format);
        if (bits != 16 && bits != 24 && bits != 32)
            continue;
        D3DDISPLAYMODE mode;
        mode.Width = static_cast<UINT>(m.w);
        mode.Height = static_cast<UINT>(m.h);
        mode.RefreshRate = m.refresh_rate > 0 ? static_cast<UINT>(m.refresh_rate) : 60;
        mode.Format = bits == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8;
        modes->push_back(mode);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

static bool GlFormatRenderable(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_G16R16:
    case D3DFMT_A16B16G16R16:
        return true;
    default:
        return false;
    }
}

HRESULT GlBackend::CheckDeviceFormat(D3DFORMAT, DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format)
{
    const GlFormat* f = GlFormatFind(format);
    if (!f)
        return D3DERR_NOTAVAILABLE;
    if (type != D3DRTYPE_SURFACE && type != D3DRTYPE_TEXTURE && type != D3DRTYPE_CUBETEXTURE) {
        return D3DERR_NOTAVAILABLE;
    }
    if ((usage & D3DUSAGE_DEPTHSTENCIL) && !f->depth)
        return D3DERR_NOTAVAILABLE;
    if (!(usage & D3DUSAGE_DEPTHSTENCIL) && f->depth && type != D3DRTYPE_SURFACE && type != D3DRTYPE_TEXTURE) {
        return D3DERR_NOTAVAILABLE;
    }
    if ((usage & D3DUSAGE_RENDERTARGET) && !GlFormatRenderable(format))
        return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_AUTOGENMIPMAP) {
        if (f->blockBytes || f->convert || f->depth)
            return D3DOK_NOAUTOGEN;
    }
    return D3D_OK;
}

namespace {

// The software rasteriser allocates and frees vertex buffers of a few hundred kilobytes on every draw. Left to
// itself, the C library may map and unmap them or trim the heap top each time: a crowded frame was seen spending
// up to a sixth of its time in page faults. Blocks up to this size come from the heap, which keeps this much free
// at its top before giving memory back.
constexpr int kGlHeapMapThreshold = 16 << 20;
constexpr int kGlHeapTrimThreshold = 64 << 20;

void GlKeepHeapForDriverBuffers()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, kGlHeapMapThreshold);
    mallopt(M_TRIM_THRESHOLD, kGlHeapTrimThreshold);
#endif
}

}  // namespace

HRESULT GlBackend::Open(HWND window, const D3DPRESENT_PARAMETERS& params)
{
    GlKeepHeapForDriverBuffers();
    if (open_)
        return D3DERR_INVALIDCALL;
    HWND target = params.hDeviceWindow ? params.hDeviceWindow : window;
    if (!GlContextCreate(&ctx_, target, static_cast<int>(params.BackBufferWidth),
                         static_cast<int>(params.BackBufferHeight))) {
        return D3DERR_NOTAVAILABLE;
    }
    open_ = true;
    SetupDefaults();
    swapInterval_ = params.PresentationInterval == static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE) ? 0 : 1;
    return D3D_OK;
}

// The GL state the whole device keeps: Direct3D's origin, depth range,
// winding and provoking vertex, and our FBOs and samplers.
void GlBackend::SetupDefaults()
{
    qgl.ClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    // Under the upper-left origin, GL_CW names the triangles Direct3D calls
    // clockwise on screen; those are Direct3D's front faces.
    glFrontFace(GL_CW);
    qgl.ProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glFogi(GL_FOG_COORDINATE_SOURCE, GL_FRAGMENT_DEPTH);
    qgl.GenFramebuffers(1, &drawFbo_);
    qgl.GenFramebuffers(1, &readFbo_);
    qgl.GenSamplers(kGlMaxStages, samplers_);
    for (int unit = 0; unit < maxUnits_; ++unit)
        qgl.BindSampler(static_cast<GLuint>(unit), samplers_[unit]);
    // Stages with no texture sample opaque white, as Direct3D's fixed function does.
    glGenTextures(1, &whiteTexture_);
    glBindTexture(GL_TEXTURE_2D, whiteTexture_);
    const GLubyte white[4] = {255, 255, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glGenTextures(1, &scratchTexture_);
    ForgetSentState();
    enabledArrays_ = 0;
    enabledTexArrays_ = 0;
}

// Everything sent to GL is sent again on the next draw: after a new context
// or a Reset, GL's state no longer matches what was last sent.
void GlBackend::ForgetSentState()
{
    dirty_ = kGlDirtyAll;
    renderStatesKnown_ = false;
    samplerDirty_ = 0xFFu;
    ForgetStages();
    boundColor_ = nullptr;
    boundDepth_ = nullptr;
    fboBound_ = false;
    materialKey_ = 0xFFFFFFFFu;
    programKnown_ = false;
    shaderMode_ = false;
    zeroedAttribs_ = 0;
    arraysCopy_ = 0;
    arraysKept_ = false;
    projectionKnown_ = false;
    texMatrixKnown_ = 0;
    texGenKnown_ = 0;
    constantsProgram_ = 0;
}

void GlBackend::Close()
{
    if (!open_)
        return;
    GlContextBind(&ctx_);
    qgl.DeleteFramebuffers(1, &drawFbo_);
    qgl.DeleteFramebuffers(1, &readFbo_);
    for (GLsync& fence : frameFences_) {
        if (fence)
            qgl.DeleteSync(fence);
        fence = nullptr;
    }
    qgl.DeleteSamplers(kGlMaxStages, samplers_);
    glDeleteTextures(1, &whiteTexture_);
    glDeleteTextures(1, &scratchTexture_);
    DeleteLitPrograms();
    DeleteStagePrograms();
    drawFbo_ = readFbo_ = whiteTexture_ = scratchTexture_ = 0;
    std::memset(samplers_, 0, sizeof(samplers_));
    GlContextDestroy(&ctx_);
    open_ = false;
}

HRESULT GlBackend::Reset(const D3DPRESENT_PARAMETERS& params)
{
    if (!open_)
        return D3DERR_INVALIDCALL;
    GlContextBind(&ctx_);
    swapInterval_ = params.PresentationInterval == static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE) ? 0 : 1;
    if (ctx_.ownsWindow && params.BackBufferWidth > 0 && params.BackBufferHeight > 0) {
        SDL_SetWindowSize(ctx_.window, static_cast<int>(params.BackBufferWidth),
                          static_cast<int>(params.BackBufferHeight));
    }
    ForgetSentState();
    return D3D_OK;
}

// ---------------------------------------------------------------- render targets

GlAttachment GlBackend::AttachmentOf(D3D9SurfaceData* surface) const
{
    GlAttachment a;
    if (!surface)
        return a;
    if (surface->flags & D3D9_SURFACE_LEVEL) {
        D3D9TextureData* owner = surface->texture;
        GlTexture* tex = owner ? static_cast<GlTexture*>(owner->backend) : nullptr;
        if (!tex || tex->format->blockBytes)
            return a;
        a.texture = tex->name;
        a.textarget = GlFaceTarget(tex, surface->face);
        a.level = static_cast<GLint>(surface->level);
        a.depth = tex->format->depth;
        a.stencil = tex->format->stencil;
        a.valid = true;
        return a;
    }
    GlSurface* s = static_cast<GlSurface*>(surface->backend);
    if (!s)
        return a;
    a.texture = s->texture;
    a.renderbuffer = s->renderbuffer;
    a.depth = s->format->depth;
    a.stencil = s->format->stencil;
    a.valid = true;
    return a;
}

bool GlBackend::AttachTo(GLenum fboTarget, GLuint fbo, const GlAttachment& color, const GlAttachment& depth)
{
    qgl.BindFramebuffer(fboTarget, fbo);
    const GlAttachment* c = color.valid && !color.depth ? &color : nullptr;
    const GlAttachment* d = depth.valid && depth.depth ? &depth : (color.valid && color.depth ? &color : nullptr);
    if (c) {
        qgl.FramebufferTexture2D(fboTarget, GL_COLOR_ATTACHMENT0, c->textarget, c->texture, c->level);
    } else {
        qgl.FramebufferTexture2D(fboTarget, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    }
    qgl.FramebufferRenderbuffer(fboTarget, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    if (d) {
        const GLenum point = d->stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        if (d->renderbuffer) {
            qgl.FramebufferRenderbuffer(fboTarget, point, GL_RENDERBUFFER, d->renderbuffer);
        } else {
            qgl.FramebufferTexture2D(fboTarget, point, d->textarget, d->texture, d->level);
        }
    }
    if (fboTarget != GL_READ_FRAMEBUFFER) {
        glDrawBuffer(c ? GL_COLOR_ATTACHMENT0 : GL_NONE);
    }
    if (fboTarget != GL_DRAW_FRAMEBUFFER)
        glReadBuffer(c ? GL_COLOR_ATTACHMENT0 : GL_NONE);
    return qgl.CheckFramebufferStatus(fboTarget) == GL_FRAMEBUFFER_COMPLETE;
}

// Binds the FBO with the state's render target 0 and depth surface.
// Attaches a colour surface alone (no depth); false for depth surfaces and
// surfaces GL holds no image for.
bool GlBackend::AttachColorOnly(GLenum fboTarget, GLuint fbo, D3D9SurfaceData* surface)
{
    const GlAttachment color = AttachmentOf(surface);
    if (!color.valid || color.depth)
        return false;
    return AttachTo(fboTarget, fbo, color, GlAttachment());
}

// A draw without a depth surface keeps the one attached before: with none in the state the depth and stencil
// tests are off, so it is neither read nor written, while changing the attachments makes the driver finish the
// frame drawn so far before the next draw. Only a standalone surface at least as large as the colour surface
// stays (GL draws only where every attachment reaches; a texture's level could be sampled while attached).
D3D9SurfaceData* GlBackend::DepthToAttach(const D3D9State& state) const
{
    D3D9SurfaceData* color = state.renderTargets[0];
    if (state.depthStencil || !boundDepth_ || !color || (boundDepth_->flags & D3D9_SURFACE_LEVEL) ||
        AttachmentOf(color).depth)
        return state.depthStencil;
    if (boundDepth_->width < color->width || boundDepth_->height < color->height)
        return nullptr;
    return boundDepth_;
}

bool GlBackend::BindTargets(const D3D9State& state)
{
    D3D9SurfaceData* depthSurface = DepthToAttach(state);
    if (fboBound_ && boundColor_ == state.renderTargets[0] && boundDepth_ == depthSurface &&
        !(dirty_ & kGlDirtyTargets)) {
        return boundColor_ != nullptr;
    }
    dirty_ &= ~static_cast<DWORD>(kGlDirtyTargets);
    boundColor_ = state.renderTargets[0];
    boundDepth_ = depthSurface;
    fboBound_ = true;
    const GlAttachment color = AttachmentOf(boundColor_);
    if (!color.valid)
        return false;
    const bool complete = AttachTo(GL_FRAMEBUFFER, drawFbo_, color, AttachmentOf(boundDepth_));
    if (complete || boundDepth_ == state.depthStencil)
        return complete;
    // The kept depth surface does not go with this colour surface: the colour surface alone, as asked.
    boundDepth_ = nullptr;
    return AttachTo(GL_FRAMEBUFFER, drawFbo_, color, GlAttachment());
}

void GlBackend::TargetSize(const D3D9State& state, int* width, int* height) const
{
    const D3D9SurfaceData* rt = state.renderTargets[0];
    *width = rt ? static_cast<int>(rt->width) : 1;
    *height = rt ? static_cast<int>(rt->height) : 1;
}

HRESULT GlBackend::Clear(const D3D9State& state, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                         float z, DWORD stencil)
{
    if (gGlTrace)
        gGlTrace->push_back({0, {count, flags, color, 0, 0, 0}});
    if (!open_)
        return D3DERR_INVALIDCALL;
    GlContextBind(&ctx_);
    ThrottleBeforeNextFrame();
    if (!BindTargets(state))
        return D3DERR_INVALIDCALL;
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET)
        mask |= GL_COLOR_BUFFER_BIT;
    const GlAttachment depth = AttachmentOf(state.depthStencil);
    if ((flags & D3DCLEAR_ZBUFFER) && depth.valid)
        mask |= GL_DEPTH_BUFFER_BIT;
    if ((flags & D3DCLEAR_STENCIL) && depth.valid && depth.stencil)
        mask |= GL_STENCIL_BUFFER_BIT;
    if (!mask)
        return D3D_OK;
    // Clear writes every channel whatever the write masks say.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFFu);
    float c[4];
    GlColorValue(color, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClearDepth(std::min(std::max(z, 0.0f), 1.0f));
    glClearStencil(static_cast<GLint>(stencil));
    // Only the viewport (and the scissor rectangle while enabled) is cleared.
    LONG vx0 = static_cast<LONG>(state.viewport.X), vy0 = static_cast<LONG>(state.viewport.Y);
    LONG vx1 = vx0 + static_cast<LONG>(state.viewport.Width), vy1 = vy0 + static_cast<LONG>(state.viewport.Height);
    if (state.renderStates[D3DRS_SCISSORTESTENABLE]) {
        vx0 = std::max(vx0, state.scissor.left);
        vy0 = std::max(vy0, state.scissor.top);
        vx1 = std::min(vx1, state.scissor.right);
        vy1 = std::min(vy1, state.scissor.bottom);
    }
    const DWORD n = rects ? count : 0;
    for (DWORD i = 0; i < std::max<DWORD>(n, 1); ++i) {
        LONG x0 = vx0, y0 = vy0, x1 = vx1, y1 = vy1;
        if (n) {
            x0 = std::max(x0, rects[i].x1);
            y0 = std::max(y0, rects[i].y1);
            x1 = std::min(x1, rects[i].x2);
            y1 = std::min(y1, rects[i].y2);
        }
        if (x1 <= x0 || y1 <= y0)
            continue;
        // A clear of the whole target takes GL's fast path without a scissor.
        int tw = 0, th = 0;
        TargetSize(state, &tw, &th);
        const bool whole = x0 <= 0 && y0 <= 0 && x1 >= tw && y1 >= th;
        GlEnableIf(GL_SCISSOR_TEST, !whole);
        glScissor(x0, y0, x1 - x0, y1 - y0);
        glClear(mask);
    }
    ForgetRenderStates();
    return D3D_OK;
}

// Waits for the oldest frame still queued once kGlFramesInFlight are, then marks the end of the last one presented.
// Runs when the next frame begins rather than at the present: the wait and the fence are queries that a threaded
// driver answers only once it has worked through everything queued, and what the program does between two frames
// (its simulation) overlaps that work instead of waiting for it.
void GlBackend::ThrottleBeforeNextFrame()
{
    if (!throttleDue_)
        return;
    throttleDue_ = false;
    GLsync& oldest = frameFences_[nextFence_];
    if (oldest) {
        qgl.ClientWaitSync(oldest, GL_SYNC_FLUSH_COMMANDS_BIT, GL_TIMEOUT_IGNORED);
        qgl.DeleteSync(oldest);
    }
    oldest = qgl.FenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    nextFence_ = (nextFence_ + 1) % kGlFramesInFlight;
}

HRESULT GlBackend::Present(D3D9SurfaceData* backBuffer, const RECT* source, const RECT* dest, HWND)
{
    if (!open_ || !backBuffer)
        return D3DERR_INVALIDCALL;
    GlContextBind(&ctx_);
    const GlAttachment color = AttachmentOf(backBuffer);
    if (!color.valid)
        return D3DERR_INVALIDCALL;
    if (GlContextHeadless(&ctx_)) {
        // No one can see the window: copying the frame there would only make
        // the next frame wait for this one. Read-back reads the FBO anyway.
        throttleDue_ = true;
        glFlush();
        return D3D_OK;
    }
    AttachTo(GL_READ_FRAMEBUFFER, readFbo_, color, GlAttachment());
    qgl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDrawBuffer(GL_BACK);
    int ww = 0, wh = 0;
    GlContextDrawableSize(&ctx_, &ww, &wh);
    RECT src = {0, 0, static_cast<LONG>(backBuffer->width), static_cast<LONG>(backBuffer->height)};
    RECT dst = {0, 0, ww, wh};
    if (source)
        src = *source;
    if (dest)
        dst = *dest;
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const bool same =
        (src.right - src.left) == (dst.right - dst.left) && (src.bottom - src.top) == (dst.bottom - dst.top);
    // The window's row 0 is its bottom row: flip while copying.
    qgl.BlitFramebuffer(src.left, src.top, src.right, src.bottom, dst.left, wh - dst.top, dst.right, wh - dst.bottom,
                        GL_COLOR_BUFFER_BIT, same ? GL_NEAREST : GL_LINEAR);
    throttleDue_ = true;
    GlContextSwap(&ctx_, swapInterval_);
    qgl.BindFramebuffer(GL_FRAMEBUFFER, drawFbo_);
    fboBound_ = false;
    ForgetRenderStates();
    return D3D_OK;
}

HRESULT GlBackend::ReadRenderTarget(D3D9SurfaceData* source, D3D9SurfaceData* dest)
{
    if (!open_ || !source || !dest)
        return D3DERR_INVALIDCALL;
    if (source->width != dest->width || source->height != dest->height || source->format != dest->format) {
        return D3DERR_INVALIDCALL;
    }
    const GlFormat* f = GlFormatFind(dest->format);
    if (!f || f->blockBytes || f->convert || f->depth)
        return D3DERR_INVALIDCALL;
    GlContextBind(&ctx_);
    if (!AttachColorOnly(GL_READ_FRAMEBUFFER, readFbo_, source))
        return D3DERR_INVALIDCALL;
    glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(dest->pitch / static_cast<UINT>(f->bytesPerPixel)));
    glReadPixels(0, 0, static_cast<GLsizei>(dest->width), static_cast<GLsizei>(dest->height), f->format, f->type,
                 dest->bits.data());
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    qgl.BindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    fboBound_ = false;
    return D3D_OK;
}

// A texture holding a surface that has no GL storage of its own.
GLuint GlBackend::TemporaryTexture(D3D9SurfaceData* surface)
{
    const GlFormat* f = GlFormatFind(surface->format);
    if (!f || f->depth)
        return 0;
    GlTexture tex;
    tex.name = scratchTexture_;
    tex.format = f;
    qgl.ActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, scratchTexture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    // Level 0 of the scratch texture, whatever level the surface is of.
    const UINT level = surface->level;
    surface->level = 0;
    UploadLevel(&tex, surface, GL_TEXTURE_2D, nullptr);
    surface->level = level;
    glBindTexture(GL_TEXTURE_2D, 0);
    ForgetStages();
    return scratchTexture_;
}

HRESULT GlBackend::StretchRect(D3D9SurfaceData* source, const RECT& sourceRect, D3D9SurfaceData* dest,
                               const RECT& destRect, D3DTEXTUREFILTERTYPE filter)
{
    if (!open_ || !source || !dest)
        return D3DERR_INVALIDCALL;
    GlContextBind(&ctx_);
    GlAttachment src = AttachmentOf(source);
    const GlAttachment dst = AttachmentOf(dest);
    if (!dst.valid)
        return D3DERR_INVALIDCALL;
    if (!src.valid) {
        src.texture = TemporaryTexture(source);
        src.valid = src.texture != 0;
        if (!src.valid)
            return D3DERR_INVALIDCALL;
    }
    if (src.depth != dst.depth)
        return D3DERR_INVALIDCALL;
    GlAttachment none;
    const bool depth = src.depth;
    if (!AttachTo(GL_READ_FRAMEBUFFER, readFbo_, depth ? none : src, depth ? src : none))
        return D3DERR_INVALIDCALL;
    if (!AttachTo(GL_DRAW_FRAMEBUFFER, drawFbo_, depth ? none : dst, depth ? dst : none))
        return D3DERR_INVALIDCALL;
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    GLbitfield mask = GL_COLOR_BUFFER_BIT;
    if (depth)
        mask = GL_DEPTH_BUFFER_BIT | (src.stencil && dst.stencil ? GL_STENCIL_BUFFER_BIT : 0);
    const GLenum glFilter = (filter == D3DTEXF_LINEAR && !depth) ? GL_LINEAR : GL_NEAREST;
    qgl.BlitFramebuffer(sourceRect.left, sourceRect.top, sourceRect.right, sourceRect.bottom, destRect.left,
                        destRect.top, destRect.right, destRect.bottom, mask, glFilter);
    qgl.BindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    fboBound_ = false;
    ForgetRenderStates();
    return D3D_OK;
}

HRESULT GlBackend::ColorFill(D3D9SurfaceData* surface, const RECT& rect, D3DCOLOR color)
{
    if (!open_ || !surface)
        return D3DERR_INVALIDCALL;
    GlContextBind(&ctx_);
    if (!AttachColorOnly(GL_FRAMEBUFFER, drawFbo_, surface))
        return D3DERR_INVALIDCALL;
    fboBound_ = false;
    float c[4];
    GlColorValue(color, c);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_SCISSOR_TEST);
    glScissor(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    ForgetRenderStates();
    return D3D_OK;
}
