// The bump-map effect: emboss vertices rebuilt on the processor (coordinates shifted toward the light along the
// surface's tangent frame) and drawn in one pixel-shader pass or two blended fixed-function passes, optionally
// followed by the environment map.
//
// Sections: light vector, vertex streams, neighbours, vertex computation, routine.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/matrix.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/matfx_local.h"
#include "gfx/d3d9/raster.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/vertexbuffer.h"
#include "gfx/d3d9/vertexdecl.h"

namespace {

constexpr GxUInt32 kWhite = 0xFFFFFFFFu;
constexpr GxUInt32 kIndexBytes = 2;
constexpr GxUInt32 kMaxElements = MAXD3DDECLLENGTH + 1;
constexpr GxUInt32 kTriangleList = D3DPT_TRIANGLELIST;
constexpr GxUInt32 kTriangleStrip = D3DPT_TRIANGLESTRIP;
constexpr GxUInt32 kMatFXMemoryHint = 0x30120;  // the material-effects plugin's allocations

GxV3d Sub(const GxV3d& a, const GxV3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
GxV3d Scale(const GxV3d& a, GxReal s) { return {a.x * s, a.y * s, a.z * s}; }
GxReal Dot(const GxV3d& a, const GxV3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
GxV3d Cross(const GxV3d& a, const GxV3d& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// Unit length by the table-based inverse square root; zero stays zero.
GxV3d Normalise(const GxV3d& a)
{
    const GxReal squared = Dot(a, a);
    return squared > 0.0f ? Scale(a, GxInvSqrt(squared)) : a;
}

// ---------------------------------------------------------------------------------------------- light vector

GxFramedObject* FirstLight(GxFrame* frame)
{
    for (GxLink* link = frame->objectList.next; link && link != &frame->objectList; link = link->next) {
        auto* object =
            reinterpret_cast<GxFramedObject*>(reinterpret_cast<GxUInt8*>(link) - offsetof(GxFramedObject, inFrameList));
        if (object->object.type == gxOBJECTTYPELIGHT) {
            return object;
        }
    }
    return nullptr;
}

// The light in object space: a direction for directional and spot lights, else the light frame's position.
GxV3d LightVector(GxFrame* slotFrame)
{
    GxFrame* frame = slotFrame;
    if (!frame) {
        GX_ASSERT(GxEngineInstance->curCamera != nullptr, "meshes are drawn through the current camera");
        frame = static_cast<GxFrame*>(GxEngineInstance->curCamera->object.object.parent);
        GX_ASSERT(frame != nullptr, "a drawing camera hangs on a frame");
    }
    D3DMATRIX world;
    GxD3D9GetTransform(D3DTS_WORLD, &world);
    GxMatrix matrix = {};
    matrix.right = {world.m[0][0], world.m[0][1], world.m[0][2]};
    matrix.up = {world.m[1][0], world.m[1][1], world.m[1][2]};
    matrix.at = {world.m[2][0], world.m[2][1], world.m[2][2]};
    matrix.pos = {world.m[3][0], world.m[3][1], world.m[3][2]};
    GxMatrix inverse;
    GxMatrixInvert(&inverse, &matrix);
    const GxMatrix* ltm = GxFrameGetWorldMatrix(frame);
    const GxFramedObject* light = FirstLight(frame);
    const GxUInt8 type = light ? light->object.subType : 0;
    GxV3d out;
    if (type == gxLIGHTDIRECTIONAL || type == gxLIGHTSPOT || type == gxLIGHTSPOTSOFT) {
        const GxV3d direction = Scale(ltm->at, -1.0f);
        GxV3dTransformVector(&out, &direction, &inverse);
    } else {
        GxV3dTransformPoint(&out, &ltm->pos, &inverse);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------- vertex streams

// The elements the emboss reads, each within its stream's stride.
struct Layout {
    const D3DVERTEXELEMENT9* position = nullptr;
    const D3DVERTEXELEMENT9* normal = nullptr;
    const D3DVERTEXELEMENT9* colour = nullptr;
    const D3DVERTEXELEMENT9* texCoords = nullptr;
    const D3DVERTEXELEMENT9* tangent = nullptr;
    D3DVERTEXELEMENT9 elements[kMaxElements];
};

bool Fits(const GxD3D9InstanceHeader* header, const D3DVERTEXELEMENT9& e)
{
    if (e.Stream >= 2) {
        return false;
    }
    const GxUInt32 size = GxD3D9VertexDeclTypeGetSize(e.Type);
    return size > 0 && static_cast<GxUInt32>(e.Offset) + size <= header->streams[e.Stream].stride;
}

// False when the mesh has no position or texture-coordinate element it can read.
bool ReadLayout(const GxD3D9InstanceHeader* header, Layout* layout)
{
    if (!header->declaration) {
        return false;
    }
    UINT count = kMaxElements;
    if (FAILED(header->declaration->GetDeclaration(nullptr, &count)) || count == 0 || count > kMaxElements ||
        FAILED(header->declaration->GetDeclaration(layout->elements, &count))) {
        return false;
    }
    for (UINT i = 0; i < count && layout->elements[i].Type != D3DDECLTYPE_UNUSED; i++) {
        const D3DVERTEXELEMENT9& e = layout->elements[i];
        if (e.UsageIndex != 0 || !Fits(header, e)) {
            continue;
        }
        const D3DVERTEXELEMENT9** slot = e.Usage == D3DDECLUSAGE_POSITION   ? &layout->position
                                         : e.Usage == D3DDECLUSAGE_NORMAL   ? &layout->normal
                                         : e.Usage == D3DDECLUSAGE_COLOR    ? &layout->colour
                                         : e.Usage == D3DDECLUSAGE_TEXCOORD ? &layout->texCoords
                                         : e.Usage == D3DDECLUSAGE_TANGENT  ? &layout->tangent
                                                                            : nullptr;
        if (slot && !*slot) {
            *slot = &e;
        }
    }
    return layout->position && layout->texCoords;
}

// The mesh's vertices of both streams, locked for reading and unlocked when it goes.
class LockedStreams {
public:
    LockedStreams(GxD3D9InstanceHeader* header, const GxD3D9MeshInstance* mesh) : header_(header)
    {
        for (GxUInt32 s = 0; s < 2; s++) {
            const GxD3D9VertexStream& stream = header->streams[s];
            if (!stream.buffer || stream.stride == 0) {
                continue;
            }
            const GxUInt32 start = (header->streamOffsets ? stream.offset : 0) + mesh->vertexBase * stream.stride;
            void* data = nullptr;
            if (SUCCEEDED(stream.buffer->Lock(start, mesh->vertexCount * stream.stride, &data, D3DLOCK_NOSYSLOCK)) &&
                data) {
                bytes_[s] = static_cast<const GxUInt8*>(data);
            }
        }
    }
    ~LockedStreams()
    {
        for (GxUInt32 s = 0; s < 2; s++) {
            if (bytes_[s]) {
                header_->streams[s].buffer->Unlock();
            }
        }
    }
    LockedStreams(const LockedStreams&) = delete;
    LockedStreams& operator=(const LockedStreams&) = delete;

    // Where element e of vertex i lies, null when its stream is not locked.
    const GxUInt8* At(const D3DVERTEXELEMENT9* e, GxUInt32 i) const
    {
        const GxUInt8* base = bytes_[e->Stream];
        return base ? base + static_cast<size_t>(i) * header_->streams[e->Stream].stride + e->Offset : nullptr;
    }

private:
    GxD3D9InstanceHeader* header_;
    const GxUInt8* bytes_[2] = {};
};

GxV3d ReadV3d(const LockedStreams& streams, const D3DVERTEXELEMENT9* e, GxUInt32 i)
{
    GxV3d v = {0, 0, 0};
    const GxUInt8* p = e ? streams.At(e, i) : nullptr;
    if (p) {
        GxD3D9ReadV3d(e->Type, &v, p);
    }
    return v;
}

// ---------------------------------------------------------------------------------------------- neighbours

// The other two corners of the triangle that position i of a list or strip of `count` belongs to; false for
// other primitives and for an incomplete last triangle.
bool Neighbours(GxUInt32 primitive, GxUInt32 i, GxUInt32 count, GxUInt32* j, GxUInt32* k)
{
    if (primitive == kTriangleList) {
        const GxUInt32 base = 3 * (i / 3);
        *j = base + (i + 1) % 3;
        *k = base + (i + 2) % 3;
    } else if (primitive == kTriangleStrip) {
        const bool even = (i & 1) == 0;
        if (i < 2) {
            *j = even ? i + 1 : i + 2;
            *k = even ? i + 2 : i + 1;
        } else {
            *j = even ? i - 2 : i - 1;
            *k = even ? i - 1 : i - 2;
        }
    } else {
        return false;
    }
    return *j < count && *k < count;
}

// ---------------------------------------------------------------------------------------------- computation

struct Emboss {
    const LockedStreams& streams;
    const Layout& layout;
    GxD3D9EmbossVertex* out;
    GxV3d light;
    GxReal k;

    // Shift of vertex a from the triangle (a, b, c) it starts.
    void FromTriangle(GxUInt32 a, GxUInt32 b, GxUInt32 c) const
    {
        const GxV3d p0 = ReadV3d(streams, layout.position, a);
        const GxV3d p1 = ReadV3d(streams, layout.position, b);
        const GxV3d p2 = ReadV3d(streams, layout.position, c);
        const GxReal v0 = out[a].uv0[1], v1 = out[b].uv0[1], v2 = out[c].uv0[1];
        const GxV3d d = Normalise(Sub(light, p0));
        const GxV3d t = Normalise(Sub(Scale(Sub(p1, p0), v2 - v0), Scale(Sub(p2, p0), v1 - v0)));
        const GxV3d n = {out[a].normal[0], out[a].normal[1], out[a].normal[2]};
        const GxV3d bi = Cross(t, n);
        out[a].uv1[0] = out[a].uv0[0] - Dot(t, d) * k;
        out[a].uv1[1] = out[a].uv0[1] - Dot(bi, d) * k;
    }
};

void FillBase(const LockedStreams& streams, const Layout& layout, GxUInt32 count, GxD3D9EmbossVertex* out)
{
    for (GxUInt32 i = 0; i < count; i++) {
        GxD3D9EmbossVertex& v = out[i];
        const GxV3d p = ReadV3d(streams, layout.position, i);
        const GxV3d n = ReadV3d(streams, layout.normal, i);
        v.position[0] = p.x, v.position[1] = p.y, v.position[2] = p.z;
        v.normal[0] = n.x, v.normal[1] = n.y, v.normal[2] = n.z;
        v.colour = kWhite;
        const GxUInt8* colour = layout.colour ? streams.At(layout.colour, i) : nullptr;
        if (colour && layout.colour->Type == D3DDECLTYPE_D3DCOLOR) {
            std::memcpy(&v.colour, colour, sizeof(v.colour));
        }
        v.uv0[0] = v.uv0[1] = 0.0f;
        if (const GxUInt8* uv = streams.At(layout.texCoords, i)) {
            GxD3D9ReadTexCoords(layout.texCoords->Type, v.uv0, uv);
        }
        v.uv1[0] = v.uv0[0];
        v.uv1[1] = v.uv0[1];
    }
}

bool FromIndices(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, const Emboss& emboss)
{
    void* data = nullptr;
    if (FAILED(header->indexBuffer->Lock(mesh->firstIndex * kIndexBytes, mesh->indexCount * kIndexBytes, &data,
                                         D3DLOCK_NOSYSLOCK)) ||
        !data) {
        return false;
    }
    const auto* indices = static_cast<const GxUInt16*>(data);
    auto* done = static_cast<GxUInt8*>(GxCalloc(1, std::max<GxUInt32>(1, mesh->vertexCount), kMatFXMemoryHint));
    if (!done) {
        header->indexBuffer->Unlock();
        return false;
    }
    for (GxUInt32 p = 0; p < mesh->indexCount; p++) {
        const GxUInt32 a = indices[p];
        GxUInt32 q1 = 0, q2 = 0;
        if (a >= mesh->vertexCount || done[a] || !Neighbours(header->primitive, p, mesh->indexCount, &q1, &q2)) {
            continue;
        }
        const GxUInt32 b = indices[q1], c = indices[q2];
        if (b >= mesh->vertexCount || c >= mesh->vertexCount) {
            continue;
        }
        emboss.FromTriangle(a, b, c);
        done[a] = 1;
    }
    header->indexBuffer->Unlock();
    GxFree(done);
    return true;
}

}  // namespace

GxBool GxMaterialEffectsBumpMapComputeVertices(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh,
                                               GxD3D9EmbossVertex* out)
{
    Layout layout;
    const auto* material = static_cast<const GxMaterial*>(mesh->material);
    const GxMaterialEffectsSlot* slot = GxD3D9MatFXSlot(material, gxMATFXSLOTBUMPMAP);
    if (!slot || !ReadLayout(header, &layout)) {
        return 0;
    }
    const GxMaterialEffectsBumpMap& bump = slot->data.bumpMap;
    const LockedStreams streams(header, mesh);
    if (!streams.At(layout.position, 0) || !streams.At(layout.texCoords, 0)) {
        return 0;
    }
    FillBase(streams, layout, mesh->vertexCount, out);
    const Emboss emboss = {streams, layout, out, LightVector(static_cast<GxFrame*>(bump.frame)),
                           bump.coef * bump.invBumpWidth};
    if (layout.tangent && streams.At(layout.tangent, 0)) {
        for (GxUInt32 i = 0; i < mesh->vertexCount; i++) {
            const GxV3d p = ReadV3d(streams, layout.position, i);
            const GxV3d t = ReadV3d(streams, layout.tangent, i);
            const GxV3d n = {out[i].normal[0], out[i].normal[1], out[i].normal[2]};
            const GxV3d d = Sub(emboss.light, p);
            const GxReal squared = Dot(d, d);
            const GxReal inverse = squared > 0.0f ? GxInvSqrt(squared) : 0.0f;
            const GxV3d b = Cross(t, n);
            out[i].uv1[0] = out[i].uv0[0] + Dot(t, d) * inverse * emboss.k;
            out[i].uv1[1] = out[i].uv0[1] + Dot(b, d) * inverse * emboss.k;
        }
        return 1;
    }
    if (header->indexBuffer) {
        return FromIndices(header, mesh, emboss) ? 1 : 0;
    }
    for (GxUInt32 i = 0; i < mesh->vertexCount; i++) {
        GxUInt32 j = 0, k = 0;
        if (Neighbours(header->primitive, i, mesh->vertexCount, &j, &k)) {
            emboss.FromTriangle(i, j, k);
        }
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------- routine

namespace {

void SetBlend(GxInt32 which, GxUInt32 value)
{
    GxD3D9RenderStateSet(which, reinterpret_cast<void*>(static_cast<uintptr_t>(value)));
}

// Two blended passes: colour x (1 - height), then colour x height at the shifted coordinates added.
void FixedFunction(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 base)
{
    GxD3D9MatFXColour(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    GxD3D9MatFXAlpha(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    GxD3D9SetPixelShader(nullptr);
    GxD3D9SetVertexAlpha(1);
    GxD3D9SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    GxUInt32 srcBlend = 0, dstBlend = 0, zWrite = 0;
    GxD3D9RenderStateGet(gxRENDERSTATESRCBLEND, &srcBlend);
    GxD3D9RenderStateGet(gxRENDERSTATEDESTBLEND, &dstBlend);
    SetBlend(gxRENDERSTATESRCBLEND, gxD3D9BLENDINVSRCALPHA);
    SetBlend(gxRENDERSTATEDESTBLEND, gxD3D9BLENDZERO);
    GxD3D9InstanceMeshDraw(header, mesh, base);
    GxD3D9SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    SetBlend(gxRENDERSTATESRCBLEND, gxD3D9BLENDSRCALPHA);
    SetBlend(gxRENDERSTATEDESTBLEND, gxD3D9BLENDONE);
    GxD3D9GetRenderState(D3DRS_ZWRITEENABLE, &zWrite);
    GxD3D9SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    GxD3D9SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
    GxD3D9InstanceMeshDraw(header, mesh, base);
    GxD3D9SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    GxD3D9SetRenderState(D3DRS_ZWRITEENABLE, zWrite);
    GxD3D9SetVertexAlpha(0);
    SetBlend(gxRENDERSTATESRCBLEND, srcBlend);
    SetBlend(gxRENDERSTATEDESTBLEND, dstBlend);
}

void WithShader(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 base, GxTexture* source,
                GxTexture* envTexture)
{
    GxD3D9SetVertexAlpha(0);
    GxD3D9SetTexture(source, 1);
    GxUInt32 blending = 0, alphaTest = 0;
    GxD3D9GetRenderState(D3DRS_ALPHABLENDENABLE, &blending);
    GxD3D9GetRenderState(D3DRS_ALPHATESTENABLE, &alphaTest);
    GxD3D9SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    GxD3D9SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    const auto* material = static_cast<const GxMaterial*>(mesh->material);
    const GxMaterialEffectsSlot* env = envTexture ? GxD3D9MatFXSlot(material, gxMATFXSLOTENVMAP) : nullptr;
    IDirect3DPixelShader9* bumpEnv = GxD3D9MatFXShader(BumpEnvShader);
    if (env && bumpEnv && GxD3D9MatFXShininess(env->data.envMap.coef) != 0) {
        const GxMaterialEffectsEnvMap& data = env->data.envMap;
        GxMaterialEffectsSetupEnvMapStage(envTexture, 2, static_cast<GxFrame*>(data.frame));
        IDirect3DPixelShader9* shader = bumpEnv;
        if (data.useFrameBufferAlpha) {
            shader = GxD3D9MatFXShader(GxD3D9TextureHasAlpha(envTexture) ? BumpEnvAlphaShader : BumpEnvOpaqueShader);
        }
        GxD3D9SetPixelShader(shader);
        const float c0[4] = {data.coef, data.coef, data.coef, data.coef};
        IDirect3DDevice9* device = GxD3D9Device();
        GX_ASSERT(device != nullptr, "meshes are drawn while the device exists");
        device->SetPixelShaderConstantF(0, c0, 1);
        GxD3D9InstanceMeshDraw(header, mesh, base);
        GxD3D9SetTexture(nullptr, 2);
        GxD3D9SetTextureStageState(2, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        GxD3D9SetTextureStageState(2, D3DTSS_TEXCOORDINDEX, 2);
    } else {
        GxD3D9SetPixelShader(GxD3D9MatFXShader(BumpShader));
        GxD3D9InstanceMeshDraw(header, mesh, base);
    }
    GxD3D9SetPixelShader(nullptr);
    GxD3D9SetRenderState(D3DRS_ALPHABLENDENABLE, blending);
    GxD3D9SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest);
    GxD3D9SetTexture(nullptr, 1);
}

}  // namespace

void GxMaterialEffectsRenderBumpMap(GxD3D9InstanceHeader* header, GxD3D9MeshInstance* mesh, GxUInt32 flags,
                                    GxTexture* baseTexture, GxTexture* bumpTexture, GxTexture* envTexture)
{
    GxTexture* source = bumpTexture;
    if (!source && baseTexture && baseTexture->raster && GxD3D9TextureHasAlpha(baseTexture)) {
        source = baseTexture;
    }
    // Without a height source, or vertices the emboss cannot read, the mesh is drawn plain.
    Layout layout;
    if (!source || !ReadLayout(header, &layout)) {
        GxMaterialEffectsRenderPlain(header, mesh, flags, baseTexture);
        return;
    }
    IDirect3DVertexBuffer9* buffer = nullptr;
    void* data = nullptr;
    GxUInt32 base = 0;
    if (!GxD3D9DynamicVertexBufferLock(sizeof(GxD3D9EmbossVertex), mesh->vertexCount, &buffer, &data, &base)) {
        return;
    }
    const GxBool filled = GxMaterialEffectsBumpMapComputeVertices(header, mesh, static_cast<GxD3D9EmbossVertex*>(data));
    GxD3D9DynamicVertexBufferUnlock(buffer);
    if (!filled) {
        GxMaterialEffectsRenderPlain(header, mesh, flags, baseTexture);
        return;
    }
    GxD3D9SetTexture(source, 0);
    GxD3D9SetFVF(gxD3D9EMBOSSFVF);
    GxD3D9SetStreamSource(0, buffer, 0, sizeof(GxD3D9EmbossVertex));
    GxD3D9SetVertexShader(static_cast<IDirect3DVertexShader9*>(mesh->shader));
    const bool bumpEnv = GxD3D9MatFXShader(BumpEnvShader) != nullptr;
    if ((!envTexture || !bumpEnv) && !GxD3D9MatFXShader(BumpShader)) {
        FixedFunction(header, mesh, base);
    } else {
        WithShader(header, mesh, base, source, envTexture);
    }
    GxD3D9SetInstanceBuffers(header);
    GxD3D9MatFXStage0(1, baseTexture);
    if (envTexture && !bumpEnv) {
        GxMaterialEffectsRenderEnvMap(header, mesh, flags, 1, baseTexture, envTexture);
        GxD3D9MatFXStage0(1, baseTexture);
    }
}
