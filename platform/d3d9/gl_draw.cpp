// OpenGL back end: Direct3D fixed-function state onto GL's fixed function, vertex arrays and draws.
#include "platform/d3d9/gl_local.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// ---------------------------------------------------------------- pure helpers

void GlMatrixMultiply(const float a[16], const float b[16], float out[16]) {
  float r[16];
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r[i * 4 + j] = a[i * 4 + 0] * b[0 * 4 + j] + a[i * 4 + 1] * b[1 * 4 + j] + a[i * 4 + 2] * b[2 * 4 + j] +
                     a[i * 4 + 3] * b[3 * 4 + j];
    }
  }
  std::memcpy(out, r, sizeof(r));
}

// Direct3D puts pixel centres on integer coordinates, GL half a pixel further
// on: shift clip space by half a pixel right and down (y runs down in rows).
// Under the upper-left origin GL's edge rule counts Direct3D's top edges as
// bottom ones, so the vertical shift stops a little short: a top edge through
// a pixel centre then covers it and a bottom edge does not, as in Direct3D.
static const float kGlRowShift = 0.5f - 1.0f / 64.0f;

void GlPixelCentreProjection(const D3DMATRIX& projection, float width, float height, float out[16]) {
  float shift[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  if (width > 0.0f) shift[12] = 1.0f / width;
  if (height > 0.0f) shift[13] = -2.0f * kGlRowShift / height;
  GlMatrixMultiply(&projection.m[0][0], shift, out);
}

void GlPretransformedProjection(float width, float height, float out[16]) {
  std::memset(out, 0, sizeof(float) * 16);
  if (width <= 0.0f) width = 1.0f;
  if (height <= 0.0f) height = 1.0f;
  out[0] = 2.0f / width;
  out[5] = -2.0f / height;
  out[10] = 1.0f;
  out[12] = 1.0f / width - 1.0f;
  out[13] = 1.0f - 2.0f * kGlRowShift / height;
  out[15] = 1.0f;
}

// Direct3D lights fully inside theta/2 and fades to phi/2 with the falloff
// power; GL has one cone and a cosine power. The exponent is chosen so the
// cosine power falls to half where Direct3D's fade is half way.
float GlSpotExponent(float theta, float phi, float falloff) {
  if (!(phi > theta) || falloff <= 0.0f) return 0.0f;
  const float inner = std::cos(theta * 0.5f);
  const float outer = std::cos(phi * 0.5f);
  // Angle where ((cos a - outer) / (inner - outer))^falloff = 0.5.
  const float cosHalf = outer + (inner - outer) * std::pow(0.5f, 1.0f / falloff);
  if (cosHalf <= 0.0f || cosHalf >= 1.0f) return 0.0f;
  const float e = std::log(0.5f) / std::log(cosHalf);
  return std::min(std::max(e, 0.0f), 128.0f);
}

static float GlHalfToFloat(uint16_t h) {
  const int sign = (h >> 15) & 1;
  const int exponent = (h >> 10) & 0x1F;
  const int mantissa = h & 0x3FF;
  float v;
  if (exponent == 0) {
    v = std::ldexp(static_cast<float>(mantissa), -24);
  } else if (exponent == 31) {
    v = mantissa ? NAN : INFINITY;
  } else {
    v = std::ldexp(static_cast<float>(mantissa | 0x400), exponent - 25);
  }
  return sign ? -v : v;
}

void GlDecodeElement(BYTE type, const BYTE* src, float out[4]) {
  out[0] = 0.0f;
  out[1] = 0.0f;
  out[2] = 0.0f;
  out[3] = 1.0f;
  switch (type) {
    case D3DDECLTYPE_FLOAT1:
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_FLOAT4:
      std::memcpy(out, src, sizeof(float) * (type + 1u));
      return;
    case D3DDECLTYPE_D3DCOLOR:  // B,G,R,A bytes read as R,G,B,A
      out[0] = src[2] / 255.0f;
      out[1] = src[1] / 255.0f;
      out[2] = src[0] / 255.0f;
      out[3] = src[3] / 255.0f;
      return;
    case D3DDECLTYPE_UBYTE4:
    case D3DDECLTYPE_UBYTE4N:
      for (int i = 0; i < 4; ++i) out[i] = type == D3DDECLTYPE_UBYTE4 ? src[i] : src[i] / 255.0f;
      return;
    default:
      break;
  }
  if (type >= D3DDECLTYPE_SHORT2 && type <= D3DDECLTYPE_USHORT4N && type != D3DDECLTYPE_UBYTE4N) {
    const bool four = type == D3DDECLTYPE_SHORT4 || type == D3DDECLTYPE_SHORT4N || type == D3DDECLTYPE_USHORT4N;
    for (int i = 0; i < (four ? 4 : 2); ++i) {
      int16_t s;
      uint16_t u;
      std::memcpy(&s, src + i * 2, 2);
      std::memcpy(&u, src + i * 2, 2);
      if (type == D3DDECLTYPE_SHORT2 || type == D3DDECLTYPE_SHORT4) out[i] = s;
      else if (type == D3DDECLTYPE_SHORT2N || type == D3DDECLTYPE_SHORT4N) out[i] = std::max(s / 32767.0f, -1.0f);
      else out[i] = u / 65535.0f;
    }
    return;
  }
  if (type == D3DDECLTYPE_UDEC3 || type == D3DDECLTYPE_DEC3N) {
    uint32_t v;
    std::memcpy(&v, src, 4);
    for (int i = 0; i < 3; ++i) {
      const uint32_t bits = (v >> (i * 10)) & 0x3FFu;
      if (type == D3DDECLTYPE_UDEC3) {
        out[i] = static_cast<float>(bits);
      } else {
        const int s = bits & 0x200u ? static_cast<int>(bits) - 1024 : static_cast<int>(bits);
        out[i] = std::max(s / 511.0f, -1.0f);
      }
    }
    if (type == D3DDECLTYPE_UDEC3) out[3] = 1.0f;
    return;
  }
  if (type == D3DDECLTYPE_FLOAT16_2 || type == D3DDECLTYPE_FLOAT16_4) {
    for (int i = 0; i < (type == D3DDECLTYPE_FLOAT16_4 ? 4 : 2); ++i) {
      uint16_t h;
      std::memcpy(&h, src + i * 2, 2);
      out[i] = GlHalfToFloat(h);
    }
  }
}

// ---------------------------------------------------------------- state bookkeeping

void GlBackend::StateChanged(const D3D9State&, D3D9StateKind kind, DWORD a, DWORD b, DWORD) {
  switch (kind) {
    case D3D9_STATE_RENDER:
      dirty_ |= kGlDirtyRender;
      if (a == D3DRS_TEXTUREFACTOR) stageDirty_ = 0xFFu;
      if (a == D3DRS_LIGHTING || a == D3DRS_AMBIENT || a == D3DRS_COLORVERTEX || a == D3DRS_SPECULARENABLE ||
          a == D3DRS_LOCALVIEWER || a == D3DRS_NORMALIZENORMALS || (a >= D3DRS_DIFFUSEMATERIALSOURCE &&
                                                                    a <= D3DRS_EMISSIVEMATERIALSOURCE)) {
        dirty_ |= kGlDirtyMaterial;
      }
      if (a == D3DRS_CLIPPLANEENABLE) dirty_ |= kGlDirtyClip;
      if (a == D3DRS_SCISSORTESTENABLE) dirty_ |= kGlDirtyScissor;
      if (a == D3DRS_POINTSPRITEENABLE) stageDirty_ = 0xFFu;
      break;
    case D3D9_STATE_TEXTURESTAGE:
      stageDirty_ = 0xFFu;  // a disabled stage turns off all later ones
      if (b == D3DTSS_TEXCOORDINDEX || b == D3DTSS_TEXTURETRANSFORMFLAGS) dirty_ |= kGlDirtyTransform;
      break;
    case D3D9_STATE_SAMPLER:
      if (a < kGlMaxStages) samplerDirty_ |= 1u << a;
      break;
    case D3D9_STATE_TEXTURE:
      stageDirty_ = 0xFFu;
      break;
    case D3D9_STATE_TRANSFORM:
      dirty_ |= kGlDirtyTransform;
      if (a == D3DTS_VIEW) dirty_ |= kGlDirtyLights | kGlDirtyClip;
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
      stageDirty_ = 0xFFu;
      break;
    case D3D9_STATE_ALL:
      dirty_ = kGlDirtyAll;
      samplerDirty_ = 0xFFu;
      stageDirty_ = 0xFFu;
      materialKey_ = 0xFFFFFFFFu;
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- render states

static GLenum GlCompare(DWORD f) {
  static const GLenum map[] = {GL_ALWAYS, GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL, GL_GREATER, GL_NOTEQUAL, GL_GEQUAL,
                               GL_ALWAYS};
  return f <= 8 ? map[f] : GL_ALWAYS;
}

static GLenum GlStencilOp(DWORD op) {
  static const GLenum map[] = {GL_KEEP, GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR, GL_DECR, GL_INVERT, GL_INCR_WRAP,
                               GL_DECR_WRAP};
  return op <= 8 ? map[op] : GL_KEEP;
}

static GLenum GlBlendFactor(DWORD f) {
  switch (f) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
  }
}

static GLenum GlBlendOp(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

static float GlFloatBits(DWORD v) {
  float f;
  std::memcpy(&f, &v, sizeof(f));
  return f;
}

static void GlColorValue(D3DCOLOR c, float out[4]) {
  out[0] = ((c >> 16) & 0xFF) / 255.0f;
  out[1] = ((c >> 8) & 0xFF) / 255.0f;
  out[2] = (c & 0xFF) / 255.0f;
  out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

static void GlEnableIf(GLenum cap, bool on) {
  if (on) glEnable(cap);
  else glDisable(cap);
}

// BOTHSRCALPHA and BOTHINVSRCALPHA set both factors from the source one.
static void GlBlendPair(DWORD src, DWORD dst, GLenum* s, GLenum* d) {
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

void GlBackend::ApplyBlend(const D3D9State& state) {
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

void GlBackend::ApplyRenderStates(const D3D9State& state) {
  const DWORD* rs = state.renderStates;
  const bool hasDepth = state.depthStencil != nullptr;
  GlEnableIf(GL_DEPTH_TEST, hasDepth && rs[D3DRS_ZENABLE] != D3DZB_FALSE);
  glDepthFunc(GlCompare(rs[D3DRS_ZFUNC]));
  glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
  const DWORD fill = rs[D3DRS_FILLMODE];
  glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
  glShadeModel(rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH);
  GlEnableIf(GL_ALPHA_TEST, rs[D3DRS_ALPHATESTENABLE] != 0);
  glAlphaFunc(GlCompare(rs[D3DRS_ALPHAFUNC]), static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF) / 255.0f);
  ApplyBlend(state);
  // GL_CW names Direct3D's front faces (see SetupDefaults).
  const DWORD cull = rs[D3DRS_CULLMODE];
  GlEnableIf(GL_CULL_FACE, cull == D3DCULL_CW || cull == D3DCULL_CCW);
  glCullFace(cull == D3DCULL_CW ? GL_FRONT : GL_BACK);
  GlEnableIf(GL_DITHER, rs[D3DRS_DITHERENABLE] != 0);
  const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
  glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);

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

  const float slope = GlFloatBits(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
  const float bias = GlFloatBits(rs[D3DRS_DEPTHBIAS]);
  const bool offset = slope != 0.0f || bias != 0.0f;
  GlEnableIf(GL_POLYGON_OFFSET_FILL, offset);
  GlEnableIf(GL_POLYGON_OFFSET_LINE, offset);
  GlEnableIf(GL_POLYGON_OFFSET_POINT, offset);
  // Direct3D's bias is in depth units; GL's in steps of a 24-bit buffer.
  if (offset) glPolygonOffset(slope, bias * 16777215.0f);

  glPointSize(std::max(GlFloatBits(rs[D3DRS_POINTSIZE]), 1.0f));
  qgl.PointParameterf(GL_POINT_SIZE_MIN, GlFloatBits(rs[D3DRS_POINTSIZE_MIN]));
  qgl.PointParameterf(GL_POINT_SIZE_MAX, std::min(GlFloatBits(rs[D3DRS_POINTSIZE_MAX]), maxPointSize_));
  GlEnableIf(GL_POINT_SPRITE, rs[D3DRS_POINTSPRITEENABLE] != 0);
  qgl.PointParameterf(GL_POINT_SPRITE_COORD_ORIGIN, GL_LOWER_LEFT);
}

void GlBackend::ApplyFog(const D3D9State& state, bool pretransformed) {
  const DWORD* rs = state.renderStates;
  DWORD mode = rs[D3DRS_FOGTABLEMODE];
  if (mode == D3DFOG_NONE && !pretransformed) mode = rs[D3DRS_FOGVERTEXMODE];
  // Pretransformed vertices carry no eye depth for GL to fog by.
  const bool on = rs[D3DRS_FOGENABLE] && mode != D3DFOG_NONE && !pretransformed;
  GlEnableIf(GL_FOG, on);
  if (!on) return;
  glFogi(GL_FOG_MODE, mode == D3DFOG_EXP ? GL_EXP : mode == D3DFOG_EXP2 ? GL_EXP2 : GL_LINEAR);
  glFogf(GL_FOG_START, GlFloatBits(rs[D3DRS_FOGSTART]));
  glFogf(GL_FOG_END, GlFloatBits(rs[D3DRS_FOGEND]));
  glFogf(GL_FOG_DENSITY, GlFloatBits(rs[D3DRS_FOGDENSITY]));
  float c[4];
  GlColorValue(rs[D3DRS_FOGCOLOR], c);
  glFogfv(GL_FOG_COLOR, c);
}

// ---------------------------------------------------------------- lighting

static void GlMaterialColor(GLenum pname, const D3DCOLORVALUE& c) {
  const float v[4] = {c.r, c.g, c.b, c.a};
  glMaterialfv(GL_FRONT_AND_BACK, pname, v);
}

void GlBackend::ApplyLighting(const D3D9State& state, bool pretransformed, bool hasNormal, bool hasColor,
                              bool hasSpecular) {
  const DWORD* rs = state.renderStates;
  const bool lighting = rs[D3DRS_LIGHTING] && !pretransformed;
  const bool specular = rs[D3DRS_SPECULARENABLE] != 0;
  GlEnableIf(GL_LIGHTING, lighting);
  GlEnableIf(GL_NORMALIZE, rs[D3DRS_NORMALIZENORMALS] != 0);
  // Unlit, the specular vertex colour is added after texturing when enabled.
  GlEnableIf(GL_COLOR_SUM, !lighting && specular && hasSpecular);
  if (!hasNormal) glNormal3f(0.0f, 0.0f, 0.0f);
  if (!hasColor) glColor4f(1.0f, 1.0f, 1.0f, 1.0f);  // Direct3D's default diffuse is opaque white
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
    if (diffuse && amb) track = GL_AMBIENT_AND_DIFFUSE;
    else if (diffuse) track = GL_DIFFUSE;
    else if (amb) track = GL_AMBIENT;
    else if (rs[D3DRS_EMISSIVEMATERIALSOURCE] == D3DMCS_COLOR1) track = GL_EMISSION;
    else if (rs[D3DRS_SPECULARMATERIALSOURCE] == D3DMCS_COLOR1 && specular) track = GL_SPECULAR;
  }
  const DWORD key = track | (specular ? 0x10000u : 0u);
  if (!(dirty_ & kGlDirtyMaterial) && key == materialKey_) return;
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
void GlBackend::ApplyLights(const D3D9State& state) {
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(&state.view.m[0][0]);
  int used = 0;
  for (size_t i = 0; i < state.lights.size() && used < kGlMaxLights; ++i) {
    const D3D9LightSlot& slot = state.lights[i];
    if (!slot.set || !slot.enabled) continue;
    const D3DLIGHT9& l = slot.light;
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
    if (a0 <= 0.0f && a1 <= 0.0f && a2 <= 0.0f) a0 = 1.0f;
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
  for (int i = used; i < kGlMaxLights; ++i) glDisable(GL_LIGHT0 + static_cast<GLenum>(i));
}

void GlBackend::ApplyClipPlanes(const D3D9State& state) {
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

void GlBackend::ApplyViewport(const D3D9State& state, bool pretransformed) {
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

void GlBackend::ApplyTransforms(const D3D9State& state, bool pretransformed) {
  float m[16];
  glMatrixMode(GL_PROJECTION);
  if (pretransformed) {
    int tw = 1, th = 1;
    TargetSize(state, &tw, &th);
    GlPretransformedProjection(static_cast<float>(tw), static_cast<float>(th), m);
    glLoadMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return;
  }
  GlPixelCentreProjection(state.projection, static_cast<float>(state.viewport.Width),
                          static_cast<float>(state.viewport.Height), m);
  glLoadMatrixf(m);
  glMatrixMode(GL_MODELVIEW);
  // Row vectors: v * World * View; the row-major product loads as GL's column-major matrix.
  GlMatrixMultiply(&state.world[0].m[0][0], &state.view.m[0][0], m);
  glLoadMatrixf(m);
}

// Texture coordinates: Direct3D pads n input components with a 1 after the
// last one and takes the first `count` outputs, dividing by the last with
// PROJECTED. GL feeds (s, t, r, q) with r = 0, q = 1 and divides by q, so the
// matrix is rearranged to match.
void GlBackend::ApplyTextureTransform(const D3D9State& state, int stage, int inputCount) {
  qgl.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(stage));
  glMatrixMode(GL_TEXTURE);
  const DWORD flags = state.textureStageStates[stage][D3DTSS_TEXTURETRANSFORMFLAGS];
  const DWORD count = flags & 0xFFu;
  if (count == D3DTTFF_DISABLE) {
    glLoadIdentity();
    return;
  }
  const D3DMATRIX& t = state.textureTransforms[stage];
  float m[4][4];
  std::memcpy(m, t.m, sizeof(m));
  if (inputCount >= 1 && inputCount < 4) {
    // The padding 1 sits in component inputCount; GL's 1 is in q.
    float pad[4];
    std::memcpy(pad, m[inputCount], sizeof(pad));
    for (int r = inputCount; r < 3; ++r) std::memset(m[r], 0, sizeof(m[r]));
    std::memcpy(m[3], pad, sizeof(pad));
  }
  if (!(flags & D3DTTFF_PROJECTED) || count < 2) {
    for (int r = 0; r < 4; ++r) m[r][3] = r == 3 ? 1.0f : 0.0f;
  } else if (count != 4) {
    for (int r = 0; r < 4; ++r) m[r][3] = m[r][count - 1];
  }
  glLoadMatrixf(&m[0][0]);
}

// ---------------------------------------------------------------- texture stages

namespace {

struct GlArg {
  GLenum source;
  GLenum operand;
};

GlArg GlStageArg(DWORD arg, bool alpha) {
  GlArg a;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: a.source = GL_PRIMARY_COLOR; break;
    case D3DTA_TEXTURE: a.source = GL_TEXTURE; break;
    case D3DTA_TFACTOR:
    case D3DTA_CONSTANT: a.source = GL_CONSTANT; break;
    case D3DTA_SPECULAR: a.source = GL_PRIMARY_COLOR; break;
    default: a.source = GL_PREVIOUS; break;  // CURRENT, TEMP
  }
  const bool complement = (arg & D3DTA_COMPLEMENT) != 0;
  if (alpha || (arg & D3DTA_ALPHAREPLICATE)) {
    a.operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
  } else {
    a.operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
  }
  return a;
}

// One combiner function for the colour or the alpha part of a stage.
struct GlCombiner {
  GLenum mode = GL_REPLACE;
  GlArg args[3];
  int count = 1;
  float scale = 1.0f;
};

GlArg GlAlphaOf(GlArg a) {
  a.operand = (a.operand == GL_ONE_MINUS_SRC_COLOR || a.operand == GL_ONE_MINUS_SRC_ALPHA) ? GL_ONE_MINUS_SRC_ALPHA
                                                                                          : GL_SRC_ALPHA;
  return a;
}

GlArg GlComplementOf(GlArg a) {
  switch (a.operand) {
    case GL_SRC_COLOR: a.operand = GL_ONE_MINUS_SRC_COLOR; break;
    case GL_ONE_MINUS_SRC_COLOR: a.operand = GL_SRC_COLOR; break;
    case GL_SRC_ALPHA: a.operand = GL_ONE_MINUS_SRC_ALPHA; break;
    default: a.operand = GL_SRC_ALPHA; break;
  }
  return a;
}

GlCombiner GlStageCombiner(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2, bool alpha, bool combine3) {
  GlCombiner c;
  const GlArg a0 = GlStageArg(arg0, alpha), a1 = GlStageArg(arg1, alpha), a2 = GlStageArg(arg2, alpha);
  const GlArg previous = {GL_PREVIOUS, alpha ? static_cast<GLenum>(GL_SRC_ALPHA) : static_cast<GLenum>(GL_SRC_COLOR)};
  c.args[0] = a1;
  c.args[1] = a2;
  c.count = 2;
  auto blendBy = [&](GLenum source) {
    c.mode = GL_INTERPOLATE;
    c.args[2] = {source, GL_SRC_ALPHA};
    c.count = 3;
  };
  switch (op) {
    case D3DTOP_SELECTARG1: c.count = 1; break;
    case D3DTOP_SELECTARG2: c.args[0] = a2; c.count = 1; break;
    case D3DTOP_MODULATE: c.mode = GL_MODULATE; break;
    case D3DTOP_MODULATE2X: c.mode = GL_MODULATE; c.scale = 2.0f; break;
    case D3DTOP_MODULATE4X: c.mode = GL_MODULATE; c.scale = 4.0f; break;
    case D3DTOP_ADD: c.mode = GL_ADD; break;
    case D3DTOP_ADDSIGNED: c.mode = GL_ADD_SIGNED; break;
    case D3DTOP_ADDSIGNED2X: c.mode = GL_ADD_SIGNED; c.scale = 2.0f; break;
    case D3DTOP_SUBTRACT: c.mode = GL_SUBTRACT; break;
    case D3DTOP_BLENDDIFFUSEALPHA: blendBy(GL_PRIMARY_COLOR); break;
    case D3DTOP_BLENDTEXTUREALPHA: blendBy(GL_TEXTURE); break;
    case D3DTOP_BLENDFACTORALPHA: blendBy(GL_CONSTANT); break;
    case D3DTOP_BLENDCURRENTALPHA: blendBy(GL_PREVIOUS); break;
    case D3DTOP_DOTPRODUCT3: c.mode = GL_DOT3_RGBA; break;
    case D3DTOP_LERP:  // arg0 * arg1 + (1 - arg0) * arg2
      c.mode = GL_INTERPOLATE;
      c.args[2] = a0;
      c.count = 3;
      break;
    default:
      c.mode = GL_MODULATE;
      break;
  }
  if (!combine3) return c;
  // MODULATE_ADD computes args[0] * args[2] + args[1].
  switch (op) {
    case D3DTOP_MULTIPLYADD: c.mode = GL_MODULATE_ADD_ATI; c.args[0] = a1; c.args[2] = a2; c.args[1] = a0; c.count = 3; break;
    case D3DTOP_ADDSMOOTH: c.mode = GL_MODULATE_ADD_ATI; c.args[0] = a2; c.args[2] = GlComplementOf(a1); c.args[1] = a1; c.count = 3; break;
    case D3DTOP_BLENDTEXTUREALPHAPM:
      c.mode = GL_MODULATE_ADD_ATI;
      c.args[0] = a2;
      c.args[2] = {GL_TEXTURE, GL_ONE_MINUS_SRC_ALPHA};
      c.args[1] = a1;
      c.count = 3;
      break;
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
      if (alpha) break;
      c.mode = GL_MODULATE_ADD_ATI; c.args[0] = GlAlphaOf(a1); c.args[2] = a2; c.args[1] = a1; c.count = 3;
      break;
    case D3DTOP_MODULATECOLOR_ADDALPHA:
      if (alpha) break;
      c.mode = GL_MODULATE_ADD_ATI; c.args[0] = a1; c.args[2] = a2; c.args[1] = GlAlphaOf(a1); c.count = 3;
      break;
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
      if (alpha) break;
      c.mode = GL_MODULATE_ADD_ATI; c.args[0] = GlComplementOf(GlAlphaOf(a1)); c.args[2] = a2; c.args[1] = a1; c.count = 3;
      break;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
      if (alpha) break;
      c.mode = GL_MODULATE_ADD_ATI; c.args[0] = GlComplementOf(a1); c.args[2] = a2; c.args[1] = GlAlphaOf(a1); c.count = 3;
      break;
    default:
      break;
  }
  (void)previous;
  return c;
}

void GlSendCombiner(const GlCombiner& c, bool alpha) {
  static const GLenum rgbSources[3] = {GL_SRC0_RGB, GL_SRC1_RGB, GL_SRC2_RGB};
  static const GLenum rgbOperands[3] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB};
  static const GLenum alphaSources[3] = {GL_SRC0_ALPHA, GL_SRC1_ALPHA, GL_SRC2_ALPHA};
  static const GLenum alphaOperands[3] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA};
  GLenum mode = c.mode;
  if (alpha && mode == GL_DOT3_RGBA) mode = GL_REPLACE;
  glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB, static_cast<GLint>(mode));
  for (int i = 0; i < 3; ++i) {
    const GlArg a = i < c.count ? c.args[i] : c.args[0];
    glTexEnvi(GL_TEXTURE_ENV, alpha ? alphaSources[i] : rgbSources[i], static_cast<GLint>(a.source));
    glTexEnvi(GL_TEXTURE_ENV, alpha ? alphaOperands[i] : rgbOperands[i], static_cast<GLint>(a.operand));
  }
  glTexEnvf(GL_TEXTURE_ENV, alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE, c.scale);
}

// Whether a stage operation reads the stage's texture.
bool GlStageReadsTexture(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2) {
  if (op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM) return true;
  const bool texture1 = (arg1 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
  const bool texture2 = (arg2 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
  const bool texture0 = (arg0 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
  if (op == D3DTOP_SELECTARG1) return texture1;
  if (op == D3DTOP_SELECTARG2) return texture2;
  if (op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP) return texture0 || texture1 || texture2;
  return texture1 || texture2;
}

}  // namespace

void GlBackend::ApplyStages(const D3D9State& state) {
  float factor[4];
  GlColorValue(state.renderStates[D3DRS_TEXTUREFACTOR], factor);
  const bool sprites = state.renderStates[D3DRS_POINTSPRITEENABLE] != 0;
  bool active = true;
  for (int stage = 0; stage < maxUnits_; ++stage) {
    const DWORD* tss = state.textureStageStates[stage];
    qgl.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(stage));
    // The first disabled colour stage ends the cascade.
    if (tss[D3DTSS_COLOROP] == D3DTOP_DISABLE) active = false;
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_CUBE_MAP);
    if (!active) continue;
    const D3D9TextureData* texture = state.textures[stage];
    const GlTexture* tex = texture ? static_cast<const GlTexture*>(texture->backend) : nullptr;
    if (tex) {
      glBindTexture(tex->target, tex->name);
      glEnable(tex->target);
    } else {
      glBindTexture(GL_TEXTURE_2D, whiteTexture_);
      glEnable(GL_TEXTURE_2D);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factor);
    glTexEnvi(GL_POINT_SPRITE, GL_COORD_REPLACE, sprites ? GL_TRUE : GL_FALSE);
    // Without a texture, an operation that reads it passes the current
    // value on: untextured geometry keeps its vertex colour and alpha.
    GlCombiner color;
    color.args[0] = {GL_PREVIOUS, GL_SRC_COLOR};
    if (tex || !GlStageReadsTexture(tss[D3DTSS_COLOROP], tss[D3DTSS_COLORARG0], tss[D3DTSS_COLORARG1],
                                    tss[D3DTSS_COLORARG2])) {
      color = GlStageCombiner(tss[D3DTSS_COLOROP], tss[D3DTSS_COLORARG0], tss[D3DTSS_COLORARG1], tss[D3DTSS_COLORARG2],
                              false, combine3_);
    }
    GlCombiner alpha;
    if (tss[D3DTSS_ALPHAOP] == D3DTOP_DISABLE ||
        (!tex && GlStageReadsTexture(tss[D3DTSS_ALPHAOP], tss[D3DTSS_ALPHAARG0], tss[D3DTSS_ALPHAARG1],
                                     tss[D3DTSS_ALPHAARG2]))) {
      alpha.args[0] = {GL_PREVIOUS, GL_SRC_ALPHA};
    } else {
      alpha = GlStageCombiner(tss[D3DTSS_ALPHAOP], tss[D3DTSS_ALPHAARG0], tss[D3DTSS_ALPHAARG1], tss[D3DTSS_ALPHAARG2],
                              true, combine3_);
    }
    GlSendCombiner(color, false);
    GlSendCombiner(alpha, true);
  }
  stageDirty_ = 0;
}

static GLint GlAddress(DWORD mode) {
  switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
  }
}

void GlBackend::ApplySamplers(const D3D9State& state) {
  for (int s = 0; s < maxUnits_; ++s) {
    if (!(samplerDirty_ & (1u << s))) continue;
    const DWORD* ss = state.samplerStates[s];
    const GLuint id = samplers_[s];
    qgl.SamplerParameteri(id, GL_TEXTURE_WRAP_S, GlAddress(ss[D3DSAMP_ADDRESSU]));
    qgl.SamplerParameteri(id, GL_TEXTURE_WRAP_T, GlAddress(ss[D3DSAMP_ADDRESSV]));
    qgl.SamplerParameteri(id, GL_TEXTURE_WRAP_R, GlAddress(ss[D3DSAMP_ADDRESSW]));
    float border[4];
    GlColorValue(ss[D3DSAMP_BORDERCOLOR], border);
    qgl.SamplerParameterfv(id, GL_TEXTURE_BORDER_COLOR, border);
    const DWORD mag = ss[D3DSAMP_MAGFILTER], min = ss[D3DSAMP_MINFILTER], mip = ss[D3DSAMP_MIPFILTER];
    qgl.SamplerParameteri(id, GL_TEXTURE_MAG_FILTER, mag == D3DTEXF_POINT || mag == D3DTEXF_NONE ? GL_NEAREST : GL_LINEAR);
    const bool linear = !(min == D3DTEXF_POINT || min == D3DTEXF_NONE);
    GLint minFilter = linear ? GL_LINEAR : GL_NEAREST;
    if (mip == D3DTEXF_POINT) minFilter = linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (mip != D3DTEXF_NONE) minFilter = linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    qgl.SamplerParameteri(id, GL_TEXTURE_MIN_FILTER, minFilter);
    float aniso = 1.0f;
    if (min == D3DTEXF_ANISOTROPIC || mag == D3DTEXF_ANISOTROPIC) {
      aniso = std::min(static_cast<float>(std::max<DWORD>(ss[D3DSAMP_MAXANISOTROPY], 1)), maxAnisotropy_);
    }
    if (maxAnisotropy_ > 1.0f) qgl.SamplerParameterf(id, GL_TEXTURE_MAX_ANISOTROPY_EXT, aniso);
    qgl.SamplerParameterf(id, GL_TEXTURE_LOD_BIAS, GlFloatBits(ss[D3DSAMP_MIPMAPLODBIAS]));
    qgl.SamplerParameterf(id, GL_TEXTURE_MIN_LOD, static_cast<float>(ss[D3DSAMP_MAXMIPLEVEL]));
  }
  samplerDirty_ = 0;
}

// ---------------------------------------------------------------- vertex arrays

namespace {

enum {
  kArrayVertex = 1u << 0,
  kArrayNormal = 1u << 1,
  kArrayColor = 1u << 2,
  kArraySecondary = 1u << 3,
};

// Where one element's data starts: a GL buffer offset or a client pointer.
struct GlSource {
  const BYTE* base;  // buffer offset (as a pointer) or client memory
  GLsizei stride;
};

// How GL's fixed-function arrays take an element type; 0 when they cannot.
struct GlPointerType {
  GLint size;
  GLenum type;
  GLboolean ok;
};

GlPointerType GlColorType(BYTE type) {
  if (type == D3DDECLTYPE_D3DCOLOR) return {GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE};
  if (type == D3DDECLTYPE_UBYTE4N) return {4, GL_UNSIGNED_BYTE, GL_TRUE};
  if (type == D3DDECLTYPE_FLOAT3) return {3, GL_FLOAT, GL_TRUE};
  if (type == D3DDECLTYPE_FLOAT4) return {4, GL_FLOAT, GL_TRUE};
  return {0, 0, GL_FALSE};
}

GlPointerType GlTexCoordType(BYTE type) {
  if (type <= D3DDECLTYPE_FLOAT4) return {type + 1, GL_FLOAT, GL_TRUE};
  if (type == D3DDECLTYPE_SHORT2) return {2, GL_SHORT, GL_TRUE};
  if (type == D3DDECLTYPE_SHORT4) return {4, GL_SHORT, GL_TRUE};
  return {0, 0, GL_FALSE};
}

int GlComponentCount(BYTE type) {
  switch (type) {
    case D3DDECLTYPE_FLOAT1: return 1;
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_FLOAT16_2: return 2;
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_UDEC3:
    case D3DDECLTYPE_DEC3N: return 3;
    default: return 4;
  }
}

}  // namespace

void GlBackend::DisableArrays() {
  if (enabledArrays_ & kArrayVertex) glDisableClientState(GL_VERTEX_ARRAY);
  if (enabledArrays_ & kArrayNormal) glDisableClientState(GL_NORMAL_ARRAY);
  if (enabledArrays_ & kArrayColor) glDisableClientState(GL_COLOR_ARRAY);
  if (enabledArrays_ & kArraySecondary) glDisableClientState(GL_SECONDARY_COLOR_ARRAY);
  for (int i = 0; i < kGlMaxStages; ++i) {
    if (!(enabledTexArrays_ & (1u << i))) continue;
    qgl.ClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  enabledArrays_ = 0;
  enabledTexArrays_ = 0;
}

// Points GL's arrays at the vertex data of a draw. Elements GL's fixed
// function cannot read as they are, and pretransformed positions, are
// converted to floats over the vertices the draw uses; *baseVertex then
// re-bases the indices onto that copy.
bool GlBackend::SetupArrays(const D3D9State& state, const D3D9DrawCall& draw, GLint* baseVertex, bool* pretransformed,
                            bool* hasNormal, bool* hasColor, bool* hasSpecular, int texCounts[kGlMaxStages]) {
  std::vector<D3DVERTEXELEMENT9> fvfElements;
  const std::vector<D3DVERTEXELEMENT9>* elements = &fvfElements;
  if (state.declaration) {
    elements = &state.declaration->elements;
  } else {
    D3D9DeclarationFromFVF(state.fvf, &fvfElements);
  }
  const bool user = draw.userVertices != nullptr;

  // The first vertex the draw reads and how many.
  long first = 0, count = 0;
  if (draw.indexed) {
    first = static_cast<long>(draw.baseVertexIndex) + static_cast<long>(draw.minIndex);
    count = static_cast<long>(draw.numVertices);
  } else {
    first = user ? 0 : static_cast<long>(draw.startVertex);
    count = static_cast<long>(draw.vertexCount);
  }

  bool convert = false;
  *pretransformed = false;
  for (const D3DVERTEXELEMENT9& e : *elements) {
    if (e.Usage == D3DDECLUSAGE_POSITIONT) *pretransformed = true;
    if (e.Usage == D3DDECLUSAGE_POSITION && e.UsageIndex == 0 && e.Type != D3DDECLTYPE_FLOAT3 &&
        e.Type != D3DDECLTYPE_FLOAT4) convert = true;
    if (e.Usage == D3DDECLUSAGE_NORMAL && e.UsageIndex == 0 && e.Type != D3DDECLTYPE_FLOAT3 &&
        e.Type != D3DDECLTYPE_DEC3N) convert = true;
    if (e.Usage == D3DDECLUSAGE_COLOR && e.UsageIndex < 2 && !GlColorType(e.Type).ok) convert = true;
    if (e.Usage == D3DDECLUSAGE_TEXCOORD && !GlTexCoordType(e.Type).ok) convert = true;
  }
  if (*pretransformed) convert = true;
  if (convert && count <= 0) return false;

  // Source of each stream.
  GlSource sources[D3D9_MAX_STREAMS];
  const BYTE* cpu[D3D9_MAX_STREAMS];
  GLuint names[D3D9_MAX_STREAMS];
  for (int s = 0; s < D3D9_MAX_STREAMS; ++s) {
    sources[s] = {nullptr, 0};
    cpu[s] = nullptr;
    names[s] = 0;
    if (user) {
      if (s == 0) {
        sources[0] = {static_cast<const BYTE*>(draw.userVertices), static_cast<GLsizei>(draw.userStride)};
        cpu[0] = sources[0].base;
      }
      continue;
    }
    const D3D9StreamBinding& b = state.streams[s];
    if (!b.buffer) continue;
    const GlBuffer* gb = static_cast<const GlBuffer*>(b.buffer->backend);
    names[s] = gb ? gb->name : 0;
    sources[s] = {reinterpret_cast<const BYTE*>(static_cast<uintptr_t>(b.offset)), static_cast<GLsizei>(b.stride)};
    cpu[s] = b.buffer->bits.data() + b.offset;
  }

  // Converted copy: float4 per element per vertex, interleaved.
  const size_t floatsPerVertex = elements->size() * 4;
  if (convert) {
    convertScratch_.assign(static_cast<size_t>(count) * floatsPerVertex, 0.0f);
    for (size_t ei = 0; ei < elements->size(); ++ei) {
      const D3DVERTEXELEMENT9& e = (*elements)[ei];
      if (e.Stream >= D3D9_MAX_STREAMS || !cpu[e.Stream]) continue;
      const size_t stride = static_cast<size_t>(sources[e.Stream].stride);
      size_t limit = user ? SIZE_MAX : state.streams[e.Stream].buffer->bits.size() - state.streams[e.Stream].offset;
      const UINT size = D3D9DeclTypeSize(e.Type);
      for (long v = 0; v < count; ++v) {
        const size_t at = static_cast<size_t>(first + v) * stride + e.Offset;
        float* out = &convertScratch_[static_cast<size_t>(v) * floatsPerVertex + ei * 4];
        if (first + v < 0 || at + size > limit) continue;
        GlDecodeElement(e.Type, cpu[e.Stream] + at, out);
        if (e.Usage == D3DDECLUSAGE_POSITIONT) {
          // (x, y, z, 1/w) becomes the homogeneous (x w, y w, z w, w).
          const float rhw = out[3] != 0.0f ? out[3] : 1.0f;
          const float w = 1.0f / rhw;
          out[0] *= w;
          out[1] *= w;
          out[2] *= w;
          out[3] = w;
        }
      }
    }
  }

  DisableArrays();
  *hasNormal = *hasColor = *hasSpecular = false;
  for (int i = 0; i < kGlMaxStages; ++i) texCounts[i] = 0;
  qgl.BindBuffer(GL_ARRAY_BUFFER, 0);
  GLuint boundName = 0;
  auto pointerOf = [&](size_t ei, const D3DVERTEXELEMENT9& e, GLsizei* stride) -> const void* {
    if (convert) {
      *stride = static_cast<GLsizei>(floatsPerVertex * sizeof(float));
      if (boundName != 0) {
        qgl.BindBuffer(GL_ARRAY_BUFFER, 0);
        boundName = 0;
      }
      return &convertScratch_[ei * 4];
    }
    const GLuint name = user ? 0 : names[e.Stream];
    if (name != boundName) {
      qgl.BindBuffer(GL_ARRAY_BUFFER, name);
      boundName = name;
    }
    *stride = sources[e.Stream].stride;
    return sources[e.Stream].base + e.Offset;
  };

  bool havePosition = false;
  for (size_t ei = 0; ei < elements->size(); ++ei) {
    const D3DVERTEXELEMENT9& e = (*elements)[ei];
    if (e.Stream >= D3D9_MAX_STREAMS || (!user && !state.streams[e.Stream].buffer) || (user && e.Stream != 0)) {
      continue;
    }
    GLsizei stride = 0;
    if ((e.Usage == D3DDECLUSAGE_POSITION || e.Usage == D3DDECLUSAGE_POSITIONT) && e.UsageIndex == 0) {
      const void* p = pointerOf(ei, e, &stride);
      const GLint size = convert ? 4 : (e.Type == D3DDECLTYPE_FLOAT4 ? 4 : 3);
      glVertexPointer(size, GL_FLOAT, stride, p);
      glEnableClientState(GL_VERTEX_ARRAY);
      enabledArrays_ |= kArrayVertex;
      havePosition = true;
    } else if (e.Usage == D3DDECLUSAGE_NORMAL && e.UsageIndex == 0) {
      const void* p = pointerOf(ei, e, &stride);
      glNormalPointer(convert ? GL_FLOAT : e.Type == D3DDECLTYPE_DEC3N ? GL_INT_2_10_10_10_REV : GL_FLOAT, stride, p);
      glEnableClientState(GL_NORMAL_ARRAY);
      enabledArrays_ |= kArrayNormal;
      *hasNormal = true;
    } else if (e.Usage == D3DDECLUSAGE_COLOR && e.UsageIndex < 2) {
      const void* p = pointerOf(ei, e, &stride);
      const GlPointerType t = convert ? GlPointerType{4, GL_FLOAT, GL_TRUE} : GlColorType(e.Type);
      if (e.UsageIndex == 0) {
        glColorPointer(t.size, t.type, stride, p);
        glEnableClientState(GL_COLOR_ARRAY);
        enabledArrays_ |= kArrayColor;
        *hasColor = true;
      } else {
        qgl.SecondaryColorPointer(t.size == 4 ? 3 : t.size, t.type, stride, p);
        glEnableClientState(GL_SECONDARY_COLOR_ARRAY);
        enabledArrays_ |= kArraySecondary;
        *hasSpecular = true;
      }
    } else if (e.Usage == D3DDECLUSAGE_TEXCOORD) {
      // Every stage that reads this coordinate set gets it.
      for (int stage = 0; stage < maxUnits_; ++stage) {
        const DWORD index = state.textureStageStates[stage][D3DTSS_TEXCOORDINDEX];
        if ((index & 0xFFFF0000u) != 0 || (index & 0xFFFFu) != e.UsageIndex) continue;
        const void* p = pointerOf(ei, e, &stride);
        const GlPointerType t = convert ? GlPointerType{4, GL_FLOAT, GL_TRUE} : GlTexCoordType(e.Type);
        qgl.ClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(stage));
        glTexCoordPointer(t.size, t.type, stride, p);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        enabledTexArrays_ |= 1u << stage;
        texCounts[stage] = GlComponentCount(e.Type);
      }
    }
  }
  // With the colour array off GL keeps the last colour; the caller resets it.
  if (!*hasColor && (enabledArrays_ & kArrayColor)) glDisableClientState(GL_COLOR_ARRAY);
  if (boundName != 0) qgl.BindBuffer(GL_ARRAY_BUFFER, 0);
  if (!havePosition) return false;
  convertedDraw_ = convert;
  *baseVertex = convert ? static_cast<GLint>(draw.indexed ? -static_cast<long>(draw.minIndex) : 0)
                        : static_cast<GLint>(draw.indexed ? draw.baseVertexIndex : 0);
  return true;
}

// Texture coordinate generation for the stages that ask for it.
static void GlApplyTexGen(const D3D9State& state, int stage) {
  const DWORD mode = state.textureStageStates[stage][D3DTSS_TEXCOORDINDEX] & 0xFFFF0000u;
  static const GLenum coords[3] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R};
  static const GLenum names[3] = {GL_S, GL_T, GL_R};
  if (mode == D3DTSS_TCI_PASSTHRU) {
    for (GLenum c : coords) glDisable(c);
    return;
  }
  GLint gen = GL_NORMAL_MAP;
  if (mode == D3DTSS_TCI_CAMERASPACEPOSITION) gen = GL_EYE_LINEAR;
  else if (mode == D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR) gen = GL_REFLECTION_MAP;
  else if (mode == D3DTSS_TCI_SPHEREMAP) gen = GL_SPHERE_MAP;
  for (int i = 0; i < 3; ++i) {
    const bool use = !(gen == GL_SPHERE_MAP && i == 2);
    if (!use) {
      glDisable(coords[i]);
      continue;
    }
    glTexGeni(names[i], GL_TEXTURE_GEN_MODE, gen);
    if (gen == GL_EYE_LINEAR) {
      // Eye planes are taken through the modelview in force: identity here.
      glMatrixMode(GL_MODELVIEW);
      glPushMatrix();
      glLoadIdentity();
      float plane[4] = {0, 0, 0, 0};
      plane[i] = 1.0f;
      glTexGenfv(names[i], GL_EYE_PLANE, plane);
      glPopMatrix();
    }
    glEnable(coords[i]);
  }
}

void GlBackend::ApplyState(const D3D9State& state, bool pretransformed, bool hasNormal, bool hasColor,
                           bool hasSpecular) {
  const bool modeChanged = pretransformed != lastPretransformed_;
  lastPretransformed_ = pretransformed;
  if (modeChanged) dirty_ |= kGlDirtyViewport | kGlDirtyTransform | kGlDirtyRender;
  if (dirty_ & kGlDirtyRender) {
    ApplyRenderStates(state);
    ApplyFog(state, pretransformed);
  }
  if (dirty_ & kGlDirtyScissor) {
    GlEnableIf(GL_SCISSOR_TEST, state.renderStates[D3DRS_SCISSORTESTENABLE] != 0);
    const RECT& r = state.scissor;
    glScissor(r.left, r.top, std::max<LONG>(r.right - r.left, 0), std::max<LONG>(r.bottom - r.top, 0));
  }
  if (dirty_ & kGlDirtyViewport) ApplyViewport(state, pretransformed);
  if ((dirty_ & kGlDirtyLights) && !pretransformed) ApplyLights(state);
  if (dirty_ & kGlDirtyClip) ApplyClipPlanes(state);
  if (dirty_ & (kGlDirtyLights | kGlDirtyClip | kGlDirtyTransform)) ApplyTransforms(state, pretransformed);
  ApplyLighting(state, pretransformed, hasNormal, hasColor, hasSpecular);
  if (samplerDirty_) ApplySamplers(state);
  if (stageDirty_) ApplyStages(state);
  const DWORD keep = pretransformed ? kGlDirtyLights : 0u;
  dirty_ &= kGlDirtyMaterial | kGlDirtyTargets | keep;
}

static GLenum GlPrimitive(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
  }
}

std::vector<GlTraceCall>* gGlTrace = nullptr;

HRESULT GlBackend::Draw(const D3D9State& state, const D3D9DrawCall& draw) {
  if (gGlTrace) {
    gGlTrace->push_back({1, {static_cast<DWORD>(draw.type), draw.primitiveCount, draw.indexed ? 1u : 0u,
                             draw.startVertex, static_cast<DWORD>(draw.baseVertexIndex), draw.minIndex}});
  }
  if (!open_) return D3DERR_INVALIDCALL;
  // Shaders are refused at creation; a draw through one has nothing to run.
  if (state.vertexShader || state.pixelShader) return D3DERR_INVALIDCALL;
  GlContextBind(&ctx_);
  if (!BindTargets(state)) return D3DERR_INVALIDCALL;
  GLint baseVertex = 0;
  bool pretransformed = false, hasNormal = false, hasColor = false, hasSpecular = false;
  int texCounts[kGlMaxStages];
  if (!SetupArrays(state, draw, &baseVertex, &pretransformed, &hasNormal, &hasColor, &hasSpecular, texCounts)) {
    return D3DERR_INVALIDCALL;
  }
  for (int stage = 0; stage < maxUnits_; ++stage) {
    const bool gen = (state.textureStageStates[stage][D3DTSS_TEXCOORDINDEX] & 0xFFFF0000u) != 0;
    const int inputs = gen ? 3 : texCounts[stage];
    if (inputs != lastTexCounts_[stage] || (dirty_ & kGlDirtyTransform)) {
      ApplyTextureTransform(state, stage, inputs);
      lastTexCounts_[stage] = inputs;
    }
  }
  if (dirty_ & kGlDirtyTransform) {
    for (int stage = 0; stage < maxUnits_; ++stage) {
      qgl.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(stage));
      GlApplyTexGen(state, stage);
    }
  }
  ApplyState(state, pretransformed, hasNormal, hasColor, hasSpecular);

  const GLenum mode = GlPrimitive(draw.type);
  const GLsizei n = static_cast<GLsizei>(D3D9PrimitiveVertexCount(draw.type, draw.primitiveCount));
  if (n == 0) return D3D_OK;
  if (!draw.indexed) {
    // A converted copy starts at the draw's first vertex.
    const GLint first = (convertedDraw_ || draw.userVertices) ? 0 : static_cast<GLint>(draw.startVertex);
    glDrawArrays(mode, first, n);
    return D3D_OK;
  }
  if (draw.userIndices) {
    const GLenum type = draw.userIndexFormat == D3DFMT_INDEX32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    qgl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    qgl.DrawElementsBaseVertex(mode, n, type, draw.userIndices, baseVertex);
    return D3D_OK;
  }
  if (!state.indices || !state.indices->backend) return D3DERR_INVALIDCALL;
  const GlBuffer* ib = static_cast<const GlBuffer*>(state.indices->backend);
  const bool wide = state.indices->format == D3DFMT_INDEX32;
  qgl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->name);
  const uintptr_t offset = static_cast<uintptr_t>(draw.startIndex) * (wide ? 4u : 2u);
  qgl.DrawElementsBaseVertex(mode, n, wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(offset),
                             baseVertex);
  return D3D_OK;
}
