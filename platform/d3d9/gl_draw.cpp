// OpenGL back end: matrix helpers, vertex arrays and draws.
#include "platform/d3d9/gl_local.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// ---------------------------------------------------------------- pure helpers

void GlMatrixMultiply(const float a[16], const float b[16], float out[16])
{
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
// The shortfall is one step of the rasteriser's 8-bit sub-pixel grid: enough to
// break the tie, small enough that a texel drawn on its pixel takes under one
// level from its neighbour under linear filtering (1/64 mixed in about 2 %).
static const float kGlSubPixelStep = 1.0f / 256.0f;
static const float kGlRowShift = 0.5f - kGlSubPixelStep;

void GlPixelCentreProjection(const D3DMATRIX& projection, float width, float height, float out[16])
{
    float shift[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (width > 0.0f)
        shift[12] = 1.0f / width;
    if (height > 0.0f)
        shift[13] = -2.0f * kGlRowShift / height;
    GlMatrixMultiply(&projection.m[0][0], shift, out);
}

void GlPretransformedProjection(float width, float height, float out[16])
{
    std::memset(out, 0, sizeof(float) * 16);
    if (width <= 0.0f)
        width = 1.0f;
    if (height <= 0.0f)
        height = 1.0f;
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
float GlSpotExponent(float theta, float phi, float falloff)
{
    if (!(phi > theta) || falloff <= 0.0f)
        return 0.0f;
    const float inner = std::cos(theta * 0.5f);
    const float outer = std::cos(phi * 0.5f);
    // Angle where ((cos a - outer) / (inner - outer))^falloff = 0.5.
    const float cosHalf = outer + (inner - outer) * std::pow(0.5f, 1.0f / falloff);
    if (cosHalf <= 0.0f || cosHalf >= 1.0f)
        return 0.0f;
    const float e = std::log(0.5f) / std::log(cosHalf);
    return std::min(std::max(e, 0.0f), 128.0f);
}

static float GlHalfToFloat(uint16_t h)
{
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

void GlDecodeElement(BYTE type, const BYTE* src, float out[4])
{
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
        for (int i = 0; i < 4; ++i)
            out[i] = type == D3DDECLTYPE_UBYTE4 ? src[i] : src[i] / 255.0f;
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
            if (type == D3DDECLTYPE_SHORT2 || type == D3DDECLTYPE_SHORT4)
                out[i] = s;
            else if (type == D3DDECLTYPE_SHORT2N || type == D3DDECLTYPE_SHORT4N)
                out[i] = std::max(s / 32767.0f, -1.0f);
            else
                out[i] = u / 65535.0f;
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
        if (type == D3DDECLTYPE_UDEC3)
            out[3] = 1.0f;
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

// ---------------------------------------------------------------- vertex arrays

namespace {

enum {
    kArrayVertex = 1u << 0,
    kArrayNormal = 1u << 1,
    kArrayColor = 1u << 2,
    kArraySecondary = 1u << 3,
    kArrayTexture = 1u << 4,  // plus the stage: one texture coordinate array
};

// How GL's fixed-function arrays take an element type; 0 when they cannot.
struct GlPointerType {
    GLint size;
    GLenum type;
    GLboolean ok;
};

GlPointerType GlColorType(BYTE type)
{
    if (type == D3DDECLTYPE_D3DCOLOR)
        return {GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE};
    if (type == D3DDECLTYPE_UBYTE4N)
        return {4, GL_UNSIGNED_BYTE, GL_TRUE};
    if (type == D3DDECLTYPE_FLOAT3)
        return {3, GL_FLOAT, GL_TRUE};
    if (type == D3DDECLTYPE_FLOAT4)
        return {4, GL_FLOAT, GL_TRUE};
    return {0, 0, GL_FALSE};
}

GlPointerType GlTexCoordType(BYTE type)
{
    if (type <= D3DDECLTYPE_FLOAT4)
        return {type + 1, GL_FLOAT, GL_TRUE};
    if (type == D3DDECLTYPE_SHORT2)
        return {2, GL_SHORT, GL_TRUE};
    if (type == D3DDECLTYPE_SHORT4)
        return {4, GL_SHORT, GL_TRUE};
    return {0, 0, GL_FALSE};
}

int GlComponentCount(BYTE type)
{
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
        return 1;
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_FLOAT16_2:
        return 2;
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_UDEC3:
    case D3DDECLTYPE_DEC3N:
        return 3;
    default:
        return 4;
    }
}

}  // namespace

void GlBackend::DisableArrays()
{
    if (enabledArrays_ & kArrayVertex)
        glDisableClientState(GL_VERTEX_ARRAY);
    if (enabledArrays_ & kArrayNormal)
        glDisableClientState(GL_NORMAL_ARRAY);
    if (enabledArrays_ & kArrayColor)
        glDisableClientState(GL_COLOR_ARRAY);
    if (enabledArrays_ & kArraySecondary)
        glDisableClientState(GL_SECONDARY_COLOR_ARRAY);
    for (int i = 0; i < kGlMaxStages; ++i) {
        if (!(enabledTexArrays_ & (1u << i)))
            continue;
        qgl.ClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    for (GLuint i = 0; i < 32; ++i) {
        if (enabledAttribs_ & (1u << i))
            qgl.DisableVertexAttribArray(i);
    }
    enabledArrays_ = 0;
    enabledTexArrays_ = 0;
    enabledAttribs_ = 0;
    arraysCopy_ = 0;
    arraysKept_ = false;
}

// The one stream every element reads, with a buffer bound; -1 for none or several.
static int GlOnlyStream(const std::vector<D3DVERTEXELEMENT9>& elements, const D3D9State& state)
{
    if (elements.empty() || elements[0].Stream >= D3D9_MAX_STREAMS || !state.streams[elements[0].Stream].buffer)
        return -1;
    for (const D3DVERTEXELEMENT9& e : elements) {
        if (e.Stream != elements[0].Stream)
            return -1;
    }
    return elements[0].Stream;
}

// Points GL's fixed-function arrays as pointers_ lists them; kept for the next draw when all read from buffers.
void GlBackend::SendPointers(bool fromBuffers)
{
    DisableArrays();
    GLuint bound = 0;
    for (const GlArrayPointer& p : pointers_) {
        if (p.buffer != bound) {
            qgl.BindBuffer(GL_ARRAY_BUFFER, p.buffer);
            bound = p.buffer;
        }
        switch (p.array) {
        case kArrayVertex:
            glVertexPointer(p.size, p.type, p.stride, p.pointer);
            glEnableClientState(GL_VERTEX_ARRAY);
            break;
        case kArrayNormal:
            glNormalPointer(p.type, p.stride, p.pointer);
            glEnableClientState(GL_NORMAL_ARRAY);
            break;
        case kArrayColor:
            glColorPointer(p.size, p.type, p.stride, p.pointer);
            glEnableClientState(GL_COLOR_ARRAY);
            break;
        case kArraySecondary:
            qgl.SecondaryColorPointer(p.size, p.type, p.stride, p.pointer);
            glEnableClientState(GL_SECONDARY_COLOR_ARRAY);
            break;
        default: {
            const unsigned stage = p.array - kArrayTexture;
            qgl.ClientActiveTexture(GL_TEXTURE0 + stage);
            glTexCoordPointer(p.size, p.type, p.stride, p.pointer);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            enabledTexArrays_ |= 1u << stage;
            continue;
        }
        }
        enabledArrays_ |= p.array;
    }
    if (bound != 0)
        qgl.BindBuffer(GL_ARRAY_BUFFER, 0);
    sentPointers_ = pointers_;
    arraysKept_ = fromBuffers;
}

// Points GL's arrays at the vertex data of a draw. Elements GL's fixed function cannot read as they are, and
// pretransformed positions, are converted to floats: once over a whole static buffer, kept for later draws, else
// over the vertices the draw uses (baseVertex then re-bases the indices onto that copy).
GlArrays GlBackend::SetupArrays(const D3D9State& state, const D3D9DrawCall& draw)
{
    GlArrays arrays;
    std::vector<D3DVERTEXELEMENT9> fvfElements;
    const std::vector<D3DVERTEXELEMENT9>& elements = D3D9DrawElements(state, &fvfElements);
    const bool user = draw.userVertices != nullptr;
    const auto [first, count] = GlDrawVertices(draw);

    bool convert = false;
    for (const D3DVERTEXELEMENT9& e : elements) {
        if (e.Usage == D3DDECLUSAGE_POSITIONT)
            arrays.pretransformed = true;
        if (e.Usage == D3DDECLUSAGE_POSITION && e.UsageIndex == 0 && e.Type != D3DDECLTYPE_FLOAT3 &&
            e.Type != D3DDECLTYPE_FLOAT4)
            convert = true;
        // Packed DEC3N normals go through the conversion too: GL's fixed-function normal array does not
        // decode GL_INT_2_10_10_10_REV as Direct3D does on every driver (the normals came out wrong).
        if (e.Usage == D3DDECLUSAGE_NORMAL && e.UsageIndex == 0 && e.Type != D3DDECLTYPE_FLOAT3)
            convert = true;
        if (e.Usage == D3DDECLUSAGE_COLOR && e.UsageIndex < 2 && !GlColorType(e.Type).ok)
            convert = true;
        if (e.Usage == D3DDECLUSAGE_TEXCOORD && !GlTexCoordType(e.Type).ok)
            convert = true;
    }
    if (arrays.pretransformed)
        convert = true;
    if (convert && count <= 0)
        return arrays;

    // Source of each stream.
    GlSource sources[D3D9_MAX_STREAMS];
    const BYTE* cpu[D3D9_MAX_STREAMS];
    GLuint names[D3D9_MAX_STREAMS];
    for (int s = 0; s < D3D9_MAX_STREAMS; ++s) {
        sources[s] = {nullptr, 0, 0};
        cpu[s] = nullptr;
        names[s] = 0;
        if (user) {
            if (s == 0) {
                sources[0] = {static_cast<const BYTE*>(draw.userVertices), 0, static_cast<GLsizei>(draw.userStride)};
                cpu[0] = sources[0].client;
            }
            continue;
        }
        const D3D9StreamBinding& b = state.streams[s];
        if (!b.buffer)
            continue;
        const GlBuffer* gb = static_cast<const GlBuffer*>(b.buffer->backend);
        names[s] = gb ? gb->name : 0;
        sources[s] = {nullptr, b.offset, static_cast<GLsizei>(b.stride)};
        // A pointer into the CPU copy only where the offset lies inside it.
        if (b.offset < b.buffer->bits.size())
            cpu[s] = b.buffer->bits.data() + b.offset;
    }

    // Converted copy: float4 per element per vertex, interleaved; kept in a GL buffer for a static buffer.
    const size_t floatsPerVertex = elements.size() * 4;
    auto decode = [&](long from, long n) {
        convertScratch_.assign(static_cast<size_t>(n) * floatsPerVertex, 0.0f);
        for (size_t ei = 0; ei < elements.size(); ++ei) {
            const D3DVERTEXELEMENT9& e = elements[ei];
            if (e.Stream >= D3D9_MAX_STREAMS || !cpu[e.Stream])
                continue;
            const size_t stride = static_cast<size_t>(sources[e.Stream].stride);
            size_t limit =
                user ? SIZE_MAX : state.streams[e.Stream].buffer->bits.size() - state.streams[e.Stream].offset;
            const UINT size = D3D9DeclTypeSize(e.Type);
            for (long v = 0; v < n; ++v) {
                const size_t at = static_cast<size_t>(from + v) * stride + e.Offset;
                float* out = &convertScratch_[static_cast<size_t>(v) * floatsPerVertex + ei * 4];
                if (from + v < 0 || at + size > limit)
                    continue;
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
    };
    const GlConvertedCopy* copy = nullptr;
    if (convert) {
        const int stream = user ? -1 : GlOnlyStream(elements, state);
        const size_t vertices = stream >= 0 ? GlCopyVertices(state.streams[stream], draw) : 0;
        if (vertices) {
            const D3D9StreamBinding& b = state.streams[stream];
            std::vector<DWORD>& key = copyKey_;
            key.assign({kGlFixedCopy, b.offset, b.stride});
            for (const D3DVERTEXELEMENT9& e : elements) {
                key.push_back(e.Offset);
                key.push_back(static_cast<DWORD>(e.Type) | (static_cast<DWORD>(e.Usage) << 8) |
                              (static_cast<DWORD>(e.UsageIndex) << 16));
            }
            copy = GlFindCopy(b, key);
            if (!copy) {
                decode(0, static_cast<long>(vertices));
                copy = KeepCopy(b, key, vertices, floatsPerVertex);
                arraysKept_ = false;  // a full buffer's oldest copy went, and GL may hand its name to the next
            }
        }
        if (!copy) {
            decode(first, count);
            gGlCounters.uploadedBytes += convertScratch_.size() * sizeof(float);
        }
    }

    // Where each array reads: from the kept copy, the scratch copy, or the streams as they are.
    pointers_.clear();
    auto point = [&](unsigned array, GLint size, GLenum type, size_t ei, const D3DVERTEXELEMENT9& e) {
        GlArrayPointer p = {array, size, type, 0, 0, nullptr};
        if (convert) {
            p.stride = static_cast<GLsizei>(floatsPerVertex * sizeof(float));
            p.buffer = copy ? copy->name : 0;
            const GlSource source = {copy ? nullptr : reinterpret_cast<const BYTE*>(convertScratch_.data()), 0,
                                     p.stride};
            p.pointer = GlSourcePointer(source, ei * 4 * sizeof(float));
        } else {
            p.stride = sources[e.Stream].stride;
            p.buffer = user ? 0 : names[e.Stream];
            p.pointer = GlSourcePointer(sources[e.Stream], e.Offset);
        }
        pointers_.push_back(p);
    };

    bool havePosition = false;
    for (size_t ei = 0; ei < elements.size(); ++ei) {
        const D3DVERTEXELEMENT9& e = elements[ei];
        if (e.Stream >= D3D9_MAX_STREAMS || (!user && !state.streams[e.Stream].buffer) || (user && e.Stream != 0)) {
            continue;
        }
        if ((e.Usage == D3DDECLUSAGE_POSITION || e.Usage == D3DDECLUSAGE_POSITIONT) && e.UsageIndex == 0) {
            point(kArrayVertex, convert || e.Type == D3DDECLTYPE_FLOAT4 ? 4 : 3, GL_FLOAT, ei, e);
            havePosition = true;
        } else if (e.Usage == D3DDECLUSAGE_NORMAL && e.UsageIndex == 0) {
            point(kArrayNormal, 3, GL_FLOAT, ei, e);
            arrays.hasNormal = true;
        } else if (e.Usage == D3DDECLUSAGE_COLOR && e.UsageIndex < 2) {
            const GlPointerType t = convert ? GlPointerType{4, GL_FLOAT, GL_TRUE} : GlColorType(e.Type);
            if (e.UsageIndex == 0) {
                point(kArrayColor, t.size, t.type, ei, e);
                arrays.hasColor = true;
            } else {
                point(kArraySecondary, t.size == 4 ? 3 : t.size, t.type, ei, e);
                arrays.hasSpecular = true;
            }
        } else if (e.Usage == D3DDECLUSAGE_TEXCOORD) {
            // Every stage that reads this coordinate set gets it.
            for (int stage = 0; stage < maxUnits_; ++stage) {
                const DWORD index = state.textureStageStates[stage][D3DTSS_TEXCOORDINDEX];
                if ((index & 0xFFFF0000u) != 0 || (index & 0xFFFFu) != e.UsageIndex)
                    continue;
                const GlPointerType t = convert ? GlPointerType{4, GL_FLOAT, GL_TRUE} : GlTexCoordType(e.Type);
                point(kArrayTexture + static_cast<unsigned>(stage), t.size, t.type, ei, e);
                arrays.texCounts[stage] = GlComponentCount(e.Type);
            }
        }
    }
    if (!havePosition)
        return arrays;
    // Arrays read from buffers stay as they are for a draw that points them the same way (meshes sharing a
    // buffer); client memory may have moved or changed, so those are pointed again.
    const bool fromBuffers = !user && (!convert || copy);
    if (!fromBuffers || !arraysKept_ || pointers_ != sentPointers_)
        SendPointers(fromBuffers);
    // A copy of the draw's range alone starts at its first vertex; a copy of the whole buffer keeps the indices.
    convertedDraw_ = convert && !copy;
    arrays.baseVertex = convertedDraw_ ? static_cast<GLint>(draw.indexed ? -static_cast<long>(draw.minIndex) : 0)
                                       : static_cast<GLint>(draw.indexed ? draw.baseVertexIndex : 0);
    arrays.ok = true;
    return arrays;
}

// Texture coordinate generation for the stages that ask for it.
static void GlApplyTexGen(const D3D9State& state, int stage)
{
    const DWORD mode = state.textureStageStates[stage][D3DTSS_TEXCOORDINDEX] & 0xFFFF0000u;
    static const GLenum coords[3] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R};
    static const GLenum names[3] = {GL_S, GL_T, GL_R};
    if (mode == D3DTSS_TCI_PASSTHRU) {
        for (GLenum c : coords)
            glDisable(c);
        return;
    }
    GLint gen = GL_NORMAL_MAP;
    if (mode == D3DTSS_TCI_CAMERASPACEPOSITION)
        gen = GL_EYE_LINEAR;
    else if (mode == D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR)
        gen = GL_REFLECTION_MAP;
    else if (mode == D3DTSS_TCI_SPHEREMAP)
        gen = GL_SPHERE_MAP;
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

void GlBackend::ApplyState(const D3D9State& state, const GlArrays& arrays)
{
    const bool pretransformed = arrays.pretransformed;
    const bool modeChanged = pretransformed != lastPretransformed_;
    lastPretransformed_ = pretransformed;
    if (modeChanged)
        dirty_ |= kGlDirtyViewport | kGlDirtyTransform | kGlDirtyRender;
    if (dirty_ & kGlDirtyRender) {
        ApplyRenderStates(state);
        ApplyFog(state, pretransformed);
    }
    if (dirty_ & kGlDirtyScissor) {
        GlEnableIf(GL_SCISSOR_TEST, state.renderStates[D3DRS_SCISSORTESTENABLE] != 0);
        const RECT& r = state.scissor;
        glScissor(r.left, r.top, std::max<LONG>(r.right - r.left, 0), std::max<LONG>(r.bottom - r.top, 0));
    }
    if (dirty_ & kGlDirtyViewport)
        ApplyViewport(state, pretransformed);
    if ((dirty_ & kGlDirtyLights) && !pretransformed)
        ApplyLights(state);
    if (dirty_ & kGlDirtyClip)
        ApplyClipPlanes(state);
    if (dirty_ & (kGlDirtyLights | kGlDirtyClip | kGlDirtyTransform))
        ApplyTransforms(state, pretransformed);
    ApplyLighting(state, pretransformed, arrays.hasNormal, arrays.hasColor, arrays.hasSpecular);
    ApplyLitProgram(state, arrays);
    if (samplerDirty_)
        ApplySamplers(state);
    if (stageDirty_)
        ApplyStages(state);
    ApplyStageProgram(state);
    const DWORD keep = pretransformed ? kGlDirtyLights : 0u;
    dirty_ &= kGlDirtyMaterial | kGlDirtyTargets | keep;
}

static GLenum GlPrimitive(D3DPRIMITIVETYPE type)
{
    switch (type) {
    case D3DPT_POINTLIST:
        return GL_POINTS;
    case D3DPT_LINELIST:
        return GL_LINES;
    case D3DPT_LINESTRIP:
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
        return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
        return GL_TRIANGLE_FAN;
    default:
        return GL_TRIANGLES;
    }
}

std::vector<GlTraceCall>* gGlTrace = nullptr;
D3D9GLCounters gGlCounters;

HRESULT GlBackend::Draw(const D3D9State& state, const D3D9DrawCall& draw)
{
    if (gGlTrace) {
        gGlTrace->push_back({1,
                             {static_cast<DWORD>(draw.type), draw.primitiveCount, draw.indexed ? 1u : 0u,
                              draw.startVertex, static_cast<DWORD>(draw.baseVertexIndex), draw.minIndex}});
    }
    if (!open_)
        return D3DERR_INVALIDCALL;
    ++gGlCounters.draws;
    gGlCounters.vertices += draw.indexed ? draw.numVertices : draw.vertexCount;
    // A shader GL refused has nothing to run; a pixel shader runs after the fixed-function vertex stage only.
    if ((state.pixelShader && (!state.pixelShader->backend || state.vertexShader)) ||
        (state.vertexShader && !state.vertexShader->backend))
        return D3DERR_INVALIDCALL;
    GlContextBind(&ctx_);
    ThrottleBeforeNextFrame();
    if (!BindTargets(state))
        return D3DERR_INVALIDCALL;
    if (state.vertexShader) {
        const GlArrays arrays = SetupShaderArrays(state, draw);
        if (!arrays.ok)
            return D3DERR_INVALIDCALL;
        ApplyShaderState(state);
        return Submit(state, draw, arrays.baseVertex);
    }
    if (shaderMode_) {
        // The shader draws before switched off lighting, colour tracking and texture generation, set their own fog
        // and left transforms unsent; targets, viewport, scissor, lights and clip planes they left as this path
        // wants them, and re-sending those costs the driver a full revalidation at every switch.
        shaderMode_ = false;
        dirty_ |= kGlDirtyRender | kGlDirtyTransform | kGlDirtyMaterial;
        for (int& n : lastTexCounts_)
            n = -1;
    }
    const GlArrays arrays = SetupArrays(state, draw);
    if (!arrays.ok)
        return D3DERR_INVALIDCALL;
    const GLint baseVertex = arrays.baseVertex;
    for (int stage = 0; stage < maxUnits_; ++stage) {
        const bool gen = (state.textureStageStates[stage][D3DTSS_TEXCOORDINDEX] & 0xFFFF0000u) != 0;
        const int inputs = gen ? 3 : arrays.texCounts[stage];
        if (inputs != lastTexCounts_[stage] || (dirty_ & kGlDirtyTransform)) {
            ApplyTextureTransform(state, stage, inputs);
            lastTexCounts_[stage] = inputs;
        }
    }
    if (dirty_ & kGlDirtyTransform) {
        for (int stage = 0; stage < maxUnits_; ++stage) {
            const DWORD mode = state.textureStageStates[stage][D3DTSS_TEXCOORDINDEX] & 0xFFFF0000u;
            const unsigned bit = 1u << stage;
            if ((texGenKnown_ & bit) && sentTexGen_[stage] == mode)
                continue;
            qgl.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(stage));
            GlApplyTexGen(state, stage);
            sentTexGen_[stage] = mode;
            texGenKnown_ |= bit;
        }
    }
    ApplyState(state, arrays);
    if (state.pixelShader && !ApplyPixelShader(state))
        return D3DERR_INVALIDCALL;
    return Submit(state, draw, baseVertex);
}

// Issues the draw call over the arrays set up for it.
HRESULT GlBackend::Submit(const D3D9State& state, const D3D9DrawCall& draw, GLint baseVertex)
{
    const GLenum mode = GlPrimitive(draw.type);
    const GLsizei n = static_cast<GLsizei>(D3D9PrimitiveVertexCount(draw.type, draw.primitiveCount));
    if (n == 0)
        return D3D_OK;
    if (!draw.indexed) {
        // A converted copy starts at the draw's first vertex.
        const GLint first = (convertedDraw_ || draw.userVertices) ? 0 : static_cast<GLint>(draw.startVertex);
        glDrawArrays(mode, first, n);
        return D3D_OK;
    }
    // The draw's index range lets GL shade each vertex of it once instead of guessing the range from the indices.
    auto drawIndexed = [&](GLenum type, const void* indices) {
        if (draw.numVertices == 0) {
            qgl.DrawElementsBaseVertex(mode, n, type, indices, baseVertex);
            return;
        }
        qgl.DrawRangeElementsBaseVertex(mode, draw.minIndex, draw.minIndex + draw.numVertices - 1, n, type, indices,
                                        baseVertex);
    };
    if (draw.userIndices) {
        const GLenum type = draw.userIndexFormat == D3DFMT_INDEX32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
        qgl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        drawIndexed(type, draw.userIndices);
        return D3D_OK;
    }
    if (!state.indices || !state.indices->backend)
        return D3DERR_INVALIDCALL;
    const GlBuffer* ib = static_cast<const GlBuffer*>(state.indices->backend);
    const bool wide = state.indices->format == D3DFMT_INDEX32;
    qgl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->name);
    const uintptr_t offset = static_cast<uintptr_t>(draw.startIndex) * D3D9IndexBytes(state.indices->format);
    drawIndexed(wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(offset));
    return D3D_OK;
}
