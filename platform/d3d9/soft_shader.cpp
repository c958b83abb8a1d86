// Vertex shading for the software back end: fetches each vertex a draw uses and runs the bound vertex shader on it.
#include "platform/d3d9/d3d9_soft.h"
#include "platform/d3d9/shader_local.h"

#include <cstring>

namespace {

// Bytes are little-endian; components missing from a type read as (0, 0, 0, 1).
float ReadFloat(const BYTE* p)
{
    float f;
    std::memcpy(&f, p, sizeof(f));
    return f;
}

short ReadShort(const BYTE* p) { return static_cast<short>(p[0] | (p[1] << 8)); }

unsigned ReadUShort(const BYTE* p) { return static_cast<unsigned>(p[0] | (p[1] << 8)); }

constexpr float kByteScale = 255.0f;
constexpr float kShortScale = 32767.0f;
constexpr float kUShortScale = 65535.0f;
constexpr float kDec3Scale = 511.0f;
constexpr unsigned kDec3Bits = 10;
constexpr unsigned kDec3Mask = (1u << kDec3Bits) - 1u;

void Decode(BYTE type, const BYTE* p, float out[4])
{
    out[0] = out[1] = out[2] = 0.0f;
    out[3] = 1.0f;
    switch (type) {
    case D3DDECLTYPE_FLOAT4:
        out[3] = ReadFloat(p + 12);
        [[fallthrough]];
    case D3DDECLTYPE_FLOAT3:
        out[2] = ReadFloat(p + 8);
        [[fallthrough]];
    case D3DDECLTYPE_FLOAT2:
        out[1] = ReadFloat(p + 4);
        [[fallthrough]];
    case D3DDECLTYPE_FLOAT1:
        out[0] = ReadFloat(p);
        break;
    case D3DDECLTYPE_D3DCOLOR:  // stored B G R A
        out[0] = p[2] / kByteScale, out[1] = p[1] / kByteScale, out[2] = p[0] / kByteScale, out[3] = p[3] / kByteScale;
        break;
    case D3DDECLTYPE_UBYTE4:
        for (int i = 0; i < 4; ++i)
            out[i] = p[i];
        break;
    case D3DDECLTYPE_UBYTE4N:
        for (int i = 0; i < 4; ++i)
            out[i] = p[i] / kByteScale;
        break;
    case D3DDECLTYPE_SHORT4:
        out[2] = ReadShort(p + 4), out[3] = ReadShort(p + 6);
        [[fallthrough]];
    case D3DDECLTYPE_SHORT2:
        out[0] = ReadShort(p), out[1] = ReadShort(p + 2);
        break;
    case D3DDECLTYPE_SHORT4N:
        out[2] = ReadShort(p + 4) / kShortScale, out[3] = ReadShort(p + 6) / kShortScale;
        [[fallthrough]];
    case D3DDECLTYPE_SHORT2N:
        out[0] = ReadShort(p) / kShortScale, out[1] = ReadShort(p + 2) / kShortScale;
        break;
    case D3DDECLTYPE_USHORT4N:
        out[2] = ReadUShort(p + 4) / kUShortScale, out[3] = ReadUShort(p + 6) / kUShortScale;
        [[fallthrough]];
    case D3DDECLTYPE_USHORT2N:
        out[0] = ReadUShort(p) / kUShortScale, out[1] = ReadUShort(p + 2) / kUShortScale;
        break;
    case D3DDECLTYPE_DEC3N: {
        DWORD bits = static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16)) | (static_cast<DWORD>(p[3]) << 24);
        for (unsigned i = 0; i < 3; ++i) {
            int field = static_cast<int>((bits >> (kDec3Bits * i)) & kDec3Mask);
            if (field & (1 << (kDec3Bits - 1)))
                field -= 1 << kDec3Bits;
            out[i] = static_cast<float>(field) / kDec3Scale;
        }
        break;
    }
    default:
        break;
    }
}

}  // namespace

// Vertices lowest..highest have passed the stream range checks before this runs.
void D3D9SoftShadeVertices(const D3D9State& state, const D3D9DrawCall& draw, UINT lowest, UINT highest,
                           std::vector<D3D9VertexShaderOutput>* shaded)
{
    shaded->clear();
    const D3D9ShaderData* shader = state.vertexShader;
    if (!shader || highest < lowest || highest - lowest >= kD3D9SoftMaxShadedVertices)
        return;
    std::vector<D3DVERTEXELEMENT9> fvfElements;
    const std::vector<D3DVERTEXELEMENT9>& elements = D3D9DrawElements(state, &fvfElements);
    struct Fetch {
        const BYTE* base;
        UINT stride;
        BYTE type;
        int reg;
    };
    std::vector<Fetch> fetches;
    for (const D3DVERTEXELEMENT9& e : elements) {
        int reg = D3D9ShaderInputFor(shader->tokens, e.Usage, e.UsageIndex);
        if (reg < 0 || e.Stream >= D3D9_MAX_STREAMS)
            continue;
        if (draw.userVertices) {
            if (e.Stream != 0)
                continue;
            fetches.push_back({static_cast<const BYTE*>(draw.userVertices) + e.Offset, draw.userStride, e.Type, reg});
            continue;
        }
        const D3D9StreamBinding& binding = state.streams[e.Stream];
        if (!binding.buffer)
            continue;
        fetches.push_back({binding.buffer->bits.data() + binding.offset + e.Offset, binding.stride, e.Type, reg});
    }
    shaded->resize(highest - lowest + 1);
    float inputs[kVs11Inputs][4];
    for (UINT v = lowest; v <= highest; ++v) {
        std::memset(inputs, 0, sizeof(inputs));
        for (const Fetch& f : fetches)
            Decode(f.type, f.base + static_cast<size_t>(v) * f.stride, inputs[f.reg]);
        D3D9RunVertexShader(shader->tokens, state.vsConstants, D3D9_MAX_VS_CONSTANTS, inputs, &(*shaded)[v - lowest]);
    }
}
