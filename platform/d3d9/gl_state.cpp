// OpenGL back end: Direct3D's fixed-function state (render states, lights, transforms) onto GL's; stages and
// samplers are in gl_stages.cpp.
#include "platform/d3d9/gl_local.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

// ---------------------------------------------------------------- state bookkeeping

void GlBackend::StateChanged(const D3D9State&, D3D9StateKind kind, DWORD a, DWORD b, DWORD)
{
    ++gGlCounters.stateChanges;
    switch (kind) {
    case D3D9_STATE_RENDER:
        dirty_ |= kGlDirtyRender;
        if (a == D3DRS_TEXTUREFACTOR)
            stageDirty_ = 0xFFu;
        if (a == D3DRS_LIGHTING || a == D3DRS_AMBIENT || a == D3DRS_COLORVERTEX || a == D3DRS_SPECULARENABLE ||
            a == D3DRS_LOCALVIEWER || a == D3DRS_NORMALIZENORMALS ||
            (a >= D3DRS_DIFFUSEMATERIALSOURCE && a <= D3DRS_EMISSIVEMATERIALSOURCE)) {
            dirty_ |= kGlDirtyMaterial;
        }
        if (a == D3DRS_CLIPPLANEENABLE)
            dirty_ |= kGlDirtyClip;
        if (a == D3DRS_SCISSORTESTENABLE)
            dirty_ |= kGlDirtyScissor;
        if (a == D3DRS_POINTSPRITEENABLE)
            stageDirty_ = 0xFFu;
        break;
    case D3D9_STATE_TEXTURESTAGE:
        stageDirty_ = 0xFFu;  // a disabled stage turns off all later ones
        if (b == D3DTSS_TEXCOORDINDEX || b == D3DTSS_TEXTURETRANSFORMFLAGS)
            dirty_ |= kGlDirtyTransform;
        break;
    case D3D9_STATE_SAMPLER:
        if (a < kGlMaxStages)
            samplerDirty_ |= 1u << a;
        break;
    case D3D9_STATE_TEXTURE:
        stageDirty_ = 0xFFu;
        break;
    case D3D9_STATE_TRANSFORM:
        dirty_ |= kGlDirtyTransform;
        if (a == D3DTS_VIEW)
            dirty_ |= kGlDirtyLights | kGlDirtyClip;
        break;
    case D3D9_STATE_VIEWPORT:
        dirty_ |= kGlDirtyViewport | kGlDirtyTransform;
        break;
    case D3D9_STATE_SCISSOR:
        dirty_ |= kGlDirtyScissor;
        break;
    case D3D9_STATE_MATERIAL:
        dirty_ |= kGlDirtyMaterial;
        break;
    case D3D9_STATE_LIGHT:
    case D3D9_STATE_LIGHTENABLE:
        dirty_ |= kGlDirtyLights;
        break;
    case D3D9_STATE_CLIPPLANE:
        dirty_ |= kGlDirtyClip;
        break;
    case D3D9_STATE_RENDERTARGET:
    case D3D9_STATE_DEPTHSTENCIL:
        dirty_ |= kGlDirtyTargets | kGlDirtyViewport | kGlDirtyTransform | kGlDirtyRender;
        break;
    case D3D9_STATE_FVF:
    case D3D9_STATE_DECLARATION:
        dirty_ |= kGlDirtyTransform | kGlDirtyMaterial;
        break;
    case D3D9_STATE_VSCONSTANT:
        constantsLow_ = std::min(constantsLow_, a);
        constantsHigh_ = std::max(constantsHigh_, std::min<DWORD>(a + b, kGlShaderConstants));
        break;
    case D3D9_STATE_ALL:
        dirty_ = kGlDirtyAll;
        samplerDirty_ = 0xFFu;
        ForgetStages();
        renderStatesKnown_ = false;
        materialKey_ = 0xFFFFFFFFu;
        shaderMode_ = false;
        texGenKnown_ = 0;  // shader draws may have switched generation off
        constantsProgram_ = 0;
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- render states

static GLenum GlCompare(DWORD f)
{
    static const GLenum map[] = {GL_ALWAYS,  GL_NEVER,    GL_LESS,   GL_EQUAL, GL_LEQUAL,
                                 GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return f <= 8 ? map[f] : GL_ALWAYS;
}

static GLenum GlStencilOp(DWORD op)
{
    static const GLenum map[] = {GL_KEEP, GL_KEEP,   GL_ZERO,      GL_REPLACE,  GL_INCR,
                                 GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
    return op <= 8 ? map[op] : GL_KEEP;
}

static GLenum GlBlendFactor(DWORD f)
{
    switch (f) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_ONE:
        return GL_ONE;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR:
        return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR:
        return GL_ONE_MINUS_CONSTANT_COLOR;
    default:
        return GL_ONE;
    }
}

static GLenum GlBlendOp(DWORD op)
{
    switch (op) {
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

// BOTHSRCALPHA and BOTHINVSRCALPHA set both factors from the source one.
static void GlBlendPair(DWORD src, DWORD dst, GLenum* s, GLenum* d)
{
    if (src == D3DBLEND_BOTHSRCALPHA) {
        *s = GL_SRC_ALPHA;
        *d = GL_ONE_MINUS_SRC_ALPHA;
    } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
        *s = GL_ONE_MINUS_SRC_ALPHA;
        *d = GL_SRC_ALPHA;
    } else {
        *s = GlBlendFactor(src);
        *d = GlBlendFactor(dst);
    }
}

void GlBackend::ApplyBlend(const D3D9State& state)
{
    const DWORD* rs = state.renderStates;
    GlEnableIf(GL_BLEND, rs[D3DRS_ALPHABLENDENABLE] != 0);
    GLenum s, d, sa, da;
    GlBlendPair(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &s, &d);
    sa = s;
    da = d;
    GLenum op = GlBlendOp(rs[D3DRS_BLENDOP]), opAlpha = op;
    if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
        GlBlendPair(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &sa, &da);
        opAlpha = GlBlendOp(rs[D3DRS_BLENDOPALPHA]);
    }
    qgl.BlendFuncSeparate(s, d, sa, da);
    if (op == opAlpha) {
        qgl.BlendEquation(op);
    }
    float f[4];
    GlColorValue(rs[D3DRS_BLENDFACTOR], f);
    qgl.BlendColor(f[0], f[1], f[2], f[3]);
}

// Whether one of the render states differs from what was last sent (all of them while that is not known).
bool GlBackend::RenderStatesChanged(const DWORD* rs, std::initializer_list<D3DRENDERSTATETYPE> which) const
{
    bool changed = !renderStatesKnown_;
    for (auto s = which.begin(); !changed && s != which.end(); ++s)
        changed = rs[*s] != sentStates_[*s];
    gGlCounters.stateGroupsSent += changed ? 1 : 0;
    return changed;
}

void GlBackend::ForgetRenderStates()
{
    dirty_ |= kGlDirtyRender | kGlDirtyScissor;
    renderStatesKnown_ = false;
}

// Sends the groups of render states that changed since they were last sent.
void GlBackend::ApplyRenderStates(const D3D9State& state)
{
    const DWORD* rs = state.renderStates;
    const bool hasDepth = state.depthStencil != nullptr;
    const bool depthChanged = !renderStatesKnown_ || hasDepth != sentHasDepth_;
    if (RenderStatesChanged(rs, {D3DRS_ZENABLE, D3DRS_ZFUNC, D3DRS_ZWRITEENABLE}) || depthChanged) {
        GlEnableIf(GL_DEPTH_TEST, hasDepth && rs[D3DRS_ZENABLE] != D3DZB_FALSE);
        glDepthFunc(GlCompare(rs[D3DRS_ZFUNC]));
        glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    }
    if (RenderStatesChanged(rs, {D3DRS_FILLMODE, D3DRS_SHADEMODE})) {
        const DWORD fill = rs[D3DRS_FILLMODE];
        glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_POINT       ? GL_POINT
                                         : fill == D3DFILL_WIREFRAME ? GL_LINE
                                                                     : GL_FILL);
        glShadeModel(rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH);
    }
    if (RenderStatesChanged(rs, {D3DRS_ALPHATESTENABLE, D3DRS_ALPHAFUNC, D3DRS_ALPHAREF})) {
        GlEnableIf(GL_ALPHA_TEST, rs[D3DRS_ALPHATESTENABLE] != 0);
        glAlphaFunc(GlCompare(rs[D3DRS_ALPHAFUNC]), static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF) / 255.0f);
    }
    if (RenderStatesChanged(rs, {D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND, D3DRS_BLENDOP,
                                 D3DRS_SEPARATEALPHABLENDENABLE, D3DRS_SRCBLENDALPHA, D3DRS_DESTBLENDALPHA,
                                 D3DRS_BLENDOPALPHA, D3DRS_BLENDFACTOR})) {
        ApplyBlend(state);
    }
    if (RenderStatesChanged(rs, {D3DRS_CULLMODE, D3DRS_DITHERENABLE, D3DRS_COLORWRITEENABLE})) {
        // GL_CW names Direct3D's front faces (see SetupDefaults).
        const DWORD cull = rs[D3DRS_CULLMODE];
        GlEnableIf(GL_CULL_FACE, cull == D3DCULL_CW || cull == D3DCULL_CCW);
        glCullFace(cull == D3DCULL_CW ? GL_FRONT : GL_BACK);
        GlEnableIf(GL_DITHER, rs[D3DRS_DITHERENABLE] != 0);
        const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
        glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
    }
    if (RenderStatesChanged(rs, {D3DRS_STENCILENABLE, D3DRS_STENCILREF, D3DRS_STENCILMASK, D3DRS_STENCILFUNC,
                                 D3DRS_STENCILFAIL, D3DRS_STENCILZFAIL, D3DRS_STENCILPASS, D3DRS_TWOSIDEDSTENCILMODE,
                                 D3DRS_CCW_STENCILFUNC, D3DRS_CCW_STENCILFAIL, D3DRS_CCW_STENCILZFAIL,
                                 D3DRS_CCW_STENCILPASS, D3DRS_STENCILWRITEMASK}) ||
        depthChanged) {
        ApplyStencil(rs, hasDepth);
    }
    if (RenderStatesChanged(rs, {D3DRS_SLOPESCALEDEPTHBIAS, D3DRS_DEPTHBIAS})) {
        const float slope = GlFloatBits(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
        const float bias = GlFloatBits(rs[D3DRS_DEPTHBIAS]);
        const bool offset = slope != 0.0f || bias != 0.0f;
        GlEnableIf(GL_POLYGON_OFFSET_FILL, offset);
        GlEnableIf(GL_POLYGON_OFFSET_LINE, offset);
        GlEnableIf(GL_POLYGON_OFFSET_POINT, offset);
        // Direct3D's bias is in depth units; GL's in steps of a 24-bit buffer.
        if (offset)
            glPolygonOffset(slope, bias * 16777215.0f);
    }
    if (RenderStatesChanged(rs, {D3DRS_POINTSIZE, D3DRS_POINTSIZE_MIN, D3DRS_POINTSIZE_MAX, D3DRS_POINTSPRITEENABLE})) {
        glPointSize(std::max(GlFloatBits(rs[D3DRS_POINTSIZE]), 1.0f));
        qgl.PointParameterf(GL_POINT_SIZE_MIN, GlFloatBits(rs[D3DRS_POINTSIZE_MIN]));
        qgl.PointParameterf(GL_POINT_SIZE_MAX, std::min(GlFloatBits(rs[D3DRS_POINTSIZE_MAX]), maxPointSize_));
        GlEnableIf(GL_POINT_SPRITE, rs[D3DRS_POINTSPRITEENABLE] != 0);
        qgl.PointParameterf(GL_POINT_SPRITE_COORD_ORIGIN, GL_LOWER_LEFT);
    }
    std::memcpy(sentStates_, rs, sizeof sentStates_);
    sentHasDepth_ = hasDepth;
    renderStatesKnown_ = true;
}

void GlBackend::ApplyStencil(const DWORD* rs, bool hasDepth)
{
    const bool stencil = rs[D3DRS_STENCILENABLE] != 0 && hasDepth;
    GlEnableIf(GL_STENCIL_TEST, stencil);
    const GLint ref = static_cast<GLint>(rs[D3DRS_STENCILREF]);
    const GLuint smask = rs[D3DRS_STENCILMASK];
    qgl.StencilFuncSeparate(GL_FRONT, GlCompare(rs[D3DRS_STENCILFUNC]), ref, smask);
    qgl.StencilOpSeparate(GL_FRONT, GlStencilOp(rs[D3DRS_STENCILFAIL]), GlStencilOp(rs[D3DRS_STENCILZFAIL]),
                          GlStencilOp(rs[D3DRS_STENCILPASS]));
    // Counter-clockwise faces are GL's back faces here.
    if (rs[D3DRS_TWOSIDEDSTENCILMODE]) {
        qgl.StencilFuncSeparate(GL_BACK, GlCompare(rs[D3DRS_CCW_STENCILFUNC]), ref, smask);
        qgl.StencilOpSeparate(GL_BACK, GlStencilOp(rs[D3DRS_CCW_STENCILFAIL]), GlStencilOp(rs[D3DRS_CCW_STENCILZFAIL]),
                              GlStencilOp(rs[D3DRS_CCW_STENCILPASS]));
    } else {
        qgl.StencilFuncSeparate(GL_BACK, GlCompare(rs[D3DRS_STENCILFUNC]), ref, smask);
        qgl.StencilOpSeparate(GL_BACK, GlStencilOp(rs[D3DRS_STENCILFAIL]), GlStencilOp(rs[D3DRS_STENCILZFAIL]),
                              GlStencilOp(rs[D3DRS_STENCILPASS]));
    }
    glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
}

void GlBackend::ApplyFog(const D3D9State& state, bool pretransformed)
{
    const DWORD* rs = state.renderStates;
    DWORD mode = rs[D3DRS_FOGTABLEMODE];
    if (mode == D3DFOG_NONE && !pretransformed)
        mode = rs[D3DRS_FOGVERTEXMODE];
    // Pretransformed vertices carry no eye depth for GL to fog by.
    const bool on = rs[D3DRS_FOGENABLE] && mode != D3DFOG_NONE && !pretransformed;
    GlEnableIf(GL_FOG, on);
    fog_.on = on;
    if (!on)
        return;
    fog_.mode = mode == D3DFOG_EXP ? GL_EXP : mode == D3DFOG_EXP2 ? GL_EXP2 : GL_LINEAR;
    fog_.start = GlFloatBits(rs[D3DRS_FOGSTART]);
    fog_.end = GlFloatBits(rs[D3DRS_FOGEND]);
    fog_.density = GlFloatBits(rs[D3DRS_FOGDENSITY]);
    glFogi(GL_FOG_MODE, fog_.mode);
    glFogf(GL_FOG_START, fog_.start);
    glFogf(GL_FOG_END, fog_.end);
    glFogf(GL_FOG_DENSITY, fog_.density);
    float c[4];
    GlColorValue(rs[D3DRS_FOGCOLOR], c);
    glFogfv(GL_FOG_COLOR, c);
}

// ---------------------------------------------------------------- lighting

static void GlMaterialColor(GLenum pname, const D3DCOLORVALUE& c)
{
    const float v[4] = {c.r, c.g, c.b, c.a};
    glMaterialfv(GL_FRONT_AND_BACK, pname, v);
}

void GlBackend::ApplyLighting(const D3D9State& state, bool pretransformed, bool hasNormal, bool hasColor,
                              bool hasSpecular)
{
    const DWORD* rs = state.renderStates;
    const bool lighting = rs[D3DRS_LIGHTING] && !pretransformed;
    const bool specular = rs[D3DRS_SPECULARENABLE] != 0;
    GlEnableIf(GL_LIGHTING, lighting);
    GlEnableIf(GL_NORMALIZE, rs[D3DRS_NORMALIZENORMALS] != 0);
    // Unlit, the specular vertex colour is added after texturing when enabled.
    GlEnableIf(GL_COLOR_SUM, !lighting && specular && hasSpecular);
    if (!hasNormal)
        glNormal3f(0.0f, 0.0f, 0.0f);
    if (!hasColor)
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);  // Direct3D's default diffuse is opaque white
    if (!lighting) {
        glDisable(GL_COLOR_MATERIAL);
        materialKey_ = 0xFFFFFFFFu;
        return;
    }
    // Which material colour follows the vertex colour.
    GLenum track = 0;
    if (rs[D3DRS_COLORVERTEX] && hasColor) {
        const bool diffuse = rs[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1;
        const bool amb = rs[D3DRS_AMBIENTMATERIALSOURCE] == D3DMCS_COLOR1;
        if (diffuse && amb)
            track = GL_AMBIENT_AND_DIFFUSE;
        else if (diffuse)
            track = GL_DIFFUSE;
        else if (amb)
            track = GL_AMBIENT;
        else if (rs[D3DRS_EMISSIVEMATERIALSOURCE] == D3DMCS_COLOR1)
            track = GL_EMISSION;
        else if (rs[D3DRS_SPECULARMATERIALSOURCE] == D3DMCS_COLOR1 && specular)
            track = GL_SPECULAR;
    }
    const DWORD key = track | (specular ? 0x10000u : 0u);
    if (!(dirty_ & kGlDirtyMaterial) && key == materialKey_)
        return;
    dirty_ &= ~static_cast<DWORD>(kGlDirtyMaterial);
    materialKey_ = key;
    float ambient[4];
    GlColorValue(rs[D3DRS_AMBIENT], ambient);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    // The viewer position and a separate specular sum matter only with
    // specular light; without it GL's simpler lighting gives the same colours.
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, rs[D3DRS_LOCALVIEWER] && specular ? GL_TRUE : GL_FALSE);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, specular ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR);
    // Colour tracking overwrites the material, so send the material after
    // switching tracking off and before switching it on.
    glDisable(GL_COLOR_MATERIAL);
    const D3DMATERIAL9& m = state.material;
    GlMaterialColor(GL_DIFFUSE, m.Diffuse);
    GlMaterialColor(GL_AMBIENT, m.Ambient);
    GlMaterialColor(GL_EMISSION, m.Emissive);
    const D3DCOLORVALUE black = {0.0f, 0.0f, 0.0f, 0.0f};
    GlMaterialColor(GL_SPECULAR, specular ? m.Specular : black);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::min(std::max(m.Power, 0.0f), 128.0f));
    if (track) {
        glColorMaterial(GL_FRONT_AND_BACK, track);
        glEnable(GL_COLOR_MATERIAL);
    }
}

// Lights are given in world space: send them under the view matrix alone.
void GlBackend::ApplyLights(const D3D9State& state)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(&state.view.m[0][0]);
    int used = 0;
    for (size_t i = 0; i < state.lights.size() && used < kGlMaxLights; ++i) {
        const D3D9LightSlot& slot = state.lights[i];
        if (!slot.set || !slot.enabled)
            continue;
        const D3DLIGHT9& l = slot.light;
        RecordLight(used, l);
        const GLenum id = GL_LIGHT0 + static_cast<GLenum>(used++);
        glEnable(id);
        const float diffuse[4] = {l.Diffuse.r, l.Diffuse.g, l.Diffuse.b, l.Diffuse.a};
        const float spec[4] = {l.Specular.r, l.Specular.g, l.Specular.b, l.Specular.a};
        const float amb[4] = {l.Ambient.r, l.Ambient.g, l.Ambient.b, l.Ambient.a};
        glLightfv(id, GL_DIFFUSE, diffuse);
        glLightfv(id, GL_SPECULAR, spec);
        glLightfv(id, GL_AMBIENT, amb);
        if (l.Type == D3DLIGHT_DIRECTIONAL) {
            // GL wants the direction towards the light.
            const float pos[4] = {-l.Direction.x, -l.Direction.y, -l.Direction.z, 0.0f};
            glLightfv(id, GL_POSITION, pos);
            glLightf(id, GL_SPOT_CUTOFF, 180.0f);
            glLightf(id, GL_CONSTANT_ATTENUATION, 1.0f);
            glLightf(id, GL_LINEAR_ATTENUATION, 0.0f);
            glLightf(id, GL_QUADRATIC_ATTENUATION, 0.0f);
            continue;
        }
        const float pos[4] = {l.Position.x, l.Position.y, l.Position.z, 1.0f};
        glLightfv(id, GL_POSITION, pos);
        float a0 = l.Attenuation0, a1 = l.Attenuation1, a2 = l.Attenuation2;
        if (a0 <= 0.0f && a1 <= 0.0f && a2 <= 0.0f)
            a0 = 1.0f;
        glLightf(id, GL_CONSTANT_ATTENUATION, a0);
        glLightf(id, GL_LINEAR_ATTENUATION, a1);
        glLightf(id, GL_QUADRATIC_ATTENUATION, a2);
        if (l.Type == D3DLIGHT_SPOT) {
            const float dir[3] = {l.Direction.x, l.Direction.y, l.Direction.z};
            glLightfv(id, GL_SPOT_DIRECTION, dir);
            const float cutoff = std::min(std::max(l.Phi, l.Theta) * 0.5f * 57.29578f, 90.0f);
            glLightf(id, GL_SPOT_CUTOFF, cutoff);
            glLightf(id, GL_SPOT_EXPONENT, GlSpotExponent(l.Theta, l.Phi, l.Falloff));
        } else {
            glLightf(id, GL_SPOT_CUTOFF, 180.0f);
        }
    }
    usedLights_ = used;
    for (int i = used; i < kGlMaxLights; ++i)
        glDisable(GL_LIGHT0 + static_cast<GLenum>(i));
}

void GlBackend::ApplyClipPlanes(const D3D9State& state)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(&state.view.m[0][0]);
    const DWORD enable = state.renderStates[D3DRS_CLIPPLANEENABLE];
    for (int i = 0; i < D3D9_MAX_CLIPPLANES; ++i) {
        const GLenum id = GL_CLIP_PLANE0 + static_cast<GLenum>(i);
        if (!(enable & (1u << i))) {
            glDisable(id);
            continue;
        }
        // Direct3D's planes are in world space; GL takes them through the modelview.
        const double p[4] = {state.clipPlanes[i][0], state.clipPlanes[i][1], state.clipPlanes[i][2],
                             state.clipPlanes[i][3]};
        glClipPlane(id, p);
        glEnable(id);
    }
}

// ---------------------------------------------------------------- transforms

void GlBackend::ApplyViewport(const D3D9State& state, bool pretransformed)
{
    int tw = 1, th = 1;
    TargetSize(state, &tw, &th);
    if (pretransformed) {
        // Pretransformed positions are target pixels: the viewport does not apply.
        glViewport(0, 0, tw, th);
        glDepthRange(0.0, 1.0);
        return;
    }
    const D3DVIEWPORT9& vp = state.viewport;
    glViewport(static_cast<GLint>(vp.X), static_cast<GLint>(vp.Y), static_cast<GLsizei>(vp.Width),
               static_cast<GLsizei>(vp.Height));
    glDepthRange(vp.MinZ, vp.MaxZ);
}

void GlBackend::ApplyTransforms(const D3D9State& state, bool pretransformed)
{
    float m[16];
    if (pretransformed) {
        int tw = 1, th = 1;
        TargetSize(state, &tw, &th);
        GlPretransformedProjection(static_cast<float>(tw), static_cast<float>(th), m);
        LoadProjection(m);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        return;
    }
    GlPixelCentreProjection(state.projection, static_cast<float>(state.viewport.Width),
                            static_cast<float>(state.viewport.Height), m);
    LoadProjection(m);
    glMatrixMode(GL_MODELVIEW);
    // Row vectors: v * World * View; the row-major product loads as GL's column-major matrix.
    GlMatrixMultiply(&state.world[0].m[0][0], &state.view.m[0][0], m);
    glLoadMatrixf(m);
}

// Every world change sends the transforms; the projection, which seldom changes with it, only when it differs.
void GlBackend::LoadProjection(const float m[16])
{
    if (projectionKnown_ && std::memcmp(sentProjection_, m, sizeof sentProjection_) == 0)
        return;
    std::memcpy(sentProjection_, m, sizeof sentProjection_);
    projectionKnown_ = true;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(m);
}

// Texture coordinates: Direct3D pads n input components with a 1 after the
// last one and takes the first `count` outputs, dividing by the last with
// PROJECTED. GL feeds (s, t, r, q) with r = 0, q = 1 and divides by q, so the
// matrix is rearranged to match.
static void GlTextureMatrix(const D3DMATRIX& t, DWORD flags, int inputCount, float m[4][4])
{
    const DWORD count = flags & 0xFFu;
    std::memcpy(m, t.m, sizeof(float) * 16);
    if (inputCount >= 1 && inputCount < 4) {
        // The padding 1 sits in component inputCount; GL's 1 is in q.
        float pad[4];
        std::memcpy(pad, m[inputCount], sizeof(pad));
        for (int r = inputCount; r < 3; ++r)
            std::memset(m[r], 0, sizeof(m[r]));
        std::memcpy(m[3], pad, sizeof(pad));
    }
    if (!(flags & D3DTTFF_PROJECTED) || count < 2) {
        for (int r = 0; r < 4; ++r)
            m[r][3] = r == 3 ? 1.0f : 0.0f;
    } else if (count != 4) {
        for (int r = 0; r < 4; ++r)
            m[r][3] = m[r][count - 1];
    }
}

void GlBackend::ApplyTextureTransform(const D3D9State& state, int stage, int inputCount)
{
    const DWORD flags = state.textureStageStates[stage][D3DTSS_TEXTURETRANSFORMFLAGS];
    const DWORD count = flags & 0xFFu;
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    if (count != D3DTTFF_DISABLE)
        GlTextureMatrix(state.textureTransforms[stage], flags, inputCount, m);
    // Every world change comes here; a matrix GL already holds (most often the identity) is not sent again.
    const unsigned bit = 1u << stage;
    if ((texMatrixKnown_ & bit) && std::memcmp(sentTexMatrices_[stage], m, sizeof m) == 0)
        return;
    std::memcpy(sentTexMatrices_[stage], m, sizeof m);
    texMatrixKnown_ |= bit;
    qgl.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(stage));
    glMatrixMode(GL_TEXTURE);
    if (count == D3DTTFF_DISABLE)
        glLoadIdentity();
    else
        glLoadMatrixf(&m[0][0]);
}
