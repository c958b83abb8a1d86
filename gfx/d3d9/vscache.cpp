// The vertex-shader cache: shader level and constants from the device, one entry per descriptor in key order,
// a memo of the last entry, and least-recently-used replacement when full.
#include <algorithm>
#include <array>

#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/vsbuilder.h"
#include "gfx/d3d9/vscache_local.h"
#include "gfx/world/world.h"
#include "platform/d3d9/d3dx9.h"

namespace {

GxD3D9VertexShaderCacheState& cache = gxD3D9VertexShaderCache;

constexpr GxUInt32 kEmptyKey = 0xFFFFFFFFu;  // no descriptor packs to this
constexpr DWORD kAssembleFlags = 4;
constexpr DWORD kVersionMask = 0xFFFF;
constexpr DWORD kVersion3 = 0x300;
constexpr DWORD kVersion2 = 0x200;
constexpr DWORD kVersion1 = 0x100;
constexpr DWORD kNormalisedDeclTypes =
    D3DDTCAPS_UBYTE4N | D3DDTCAPS_SHORT2N | D3DDTCAPS_SHORT4N | D3DDTCAPS_USHORT2N | D3DDTCAPS_USHORT4N;

constexpr GxD3D9VertexShaderRegisters kNoRegisters = {
    gxD3D9VSNOREGISTER, gxD3D9VSNOREGISTER, gxD3D9VSNOREGISTER,
    gxD3D9VSNOREGISTER, gxD3D9VSNOREGISTER, {gxD3D9VSNOREGISTER, gxD3D9VSNOREGISTER, gxD3D9VSNOREGISTER}};

void Empty()
{
    cache.count = 0;
    cache.memo = 0;
    cache.entries[0] = {kEmptyKey, kEmptyKey, nullptr, kNoRegisters};
}

GxInt32 LevelFromCaps(D3DCAPS9& caps)
{
    const DWORD version = caps.VertexShaderVersion & kVersionMask;
    if (version >= kVersion3) {
        return gxD3D9VSLEVEL2X;
    }
    if (version >= kVersion2) {
        return caps.VS20Caps.DynamicFlowControlDepth >= 1 ? gxD3D9VSLEVEL2X : gxD3D9VSLEVEL20;
    }
    if (version >= kVersion1) {
        // The instancing code reads these when it picks element types; vs_1_1 shaders take none of them.
        caps.DeclTypes &= ~kNormalisedDeclTypes;
        return gxD3D9VSLEVEL11;
    }
    return gxD3D9VSLEVELNONE;
}

GxD3D9VertexShaderCacheEntry* Found(GxD3D9VertexShaderCacheEntry* entry, GxD3D9VertexShaderRegisters* registers)
{
    // The render frame of the last use: the smallest stamp is the entry least recently drawn with.
    entry->stamp = GxWorldGetRenderFrame();
    cache.memo = static_cast<GxUInt32>(entry - cache.entries.data());
    if (registers) {
        *registers = entry->registers;
    }
    return entry;
}

}  // namespace

GxD3D9VertexShaderCacheState gxD3D9VertexShaderCache = {{}, 0, 0, 0, 0, false, D3DXAssembleShader};

void GxD3D9VertexShaderCacheOpen(void)
{
    Empty();
    D3DCAPS9& caps = gxD3D9State.caps;
    cache.wFog = (caps.RasterCaps & D3DPRASTERCAPS_WFOG) != 0;
    cache.level = LevelFromCaps(caps);
    if (cache.level == gxD3D9VSLEVELNONE) {
        return;
    }
    cache.constants = std::min<GxUInt32>(caps.MaxVertexShaderConst, gxD3D9VSMAXCONSTANTS);
}

void GxD3D9VertexShaderCacheClose(void)
{
    for (GxUInt32 i = 0; i < cache.count; i++) {
        if (cache.entries[i].shader) {
            GxD3D9DeleteVertexShader(cache.entries[i].shader);
        }
    }
    Empty();
}

IDirect3DVertexShader9* GxD3D9VertexShaderGenerate(const GxD3D9VertexShaderDescriptor* descriptor,
                                                   GxD3D9VertexShaderRegisters* registers)
{
    const GxD3D9VertexShaderTarget target = {cache.level, cache.wFog, cache.constants};
    const std::string text = GxD3D9VertexShaderWriteText(descriptor, &target, registers);
    if (text.empty()) {
        return nullptr;
    }
    ID3DXBuffer* tokens = nullptr;
    if (FAILED(cache.assemble(text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, kAssembleFlags, &tokens,
                              nullptr)) ||
        !tokens) {
        if (tokens) {
            tokens->Release();
        }
        return nullptr;
    }
    IDirect3DVertexShader9* shader = nullptr;
    if (!GxD3D9CreateVertexShader(static_cast<const DWORD*>(tokens->GetBufferPointer()), &shader)) {
        shader = nullptr;
    }
    tokens->Release();
    return shader;
}

IDirect3DVertexShader9* GxD3D9VertexShaderCacheGet(const GxD3D9VertexShaderDescriptor* descriptor,
                                                   GxD3D9VertexShaderRegisters* registers)
{
    const GxUInt32 key = GxD3D9VertexShaderDescriptorKey(descriptor);
    // The empty entry's key is only a placeholder: a descriptor with every bit set packs to it too.
    if (cache.count && cache.entries[cache.memo].key == key) {
        return Found(&cache.entries[cache.memo], registers)->shader;
    }
    auto* begin = cache.entries.data();
    auto* end = begin + cache.count;
    auto* at =
        std::lower_bound(begin, end, key, [](const GxD3D9VertexShaderCacheEntry& e, GxUInt32 k) { return e.key < k; });
    if (at != end && at->key == key) {
        return Found(at, registers)->shader;
    }
    GxD3D9VertexShaderRegisters made;
    IDirect3DVertexShader9* shader = GxD3D9VertexShaderGenerate(descriptor, &made);
    if (cache.count == gxD3D9VSCACHESIZE) {
        auto* oldest = std::min_element(begin, end,
                                        [](const GxD3D9VertexShaderCacheEntry& a,
                                           const GxD3D9VertexShaderCacheEntry& b) { return a.stamp < b.stamp; });
        if (oldest->shader) {
            GxD3D9DeleteVertexShader(oldest->shader);
        }
        std::move(oldest + 1, end, oldest);
        cache.count--;
        end--;
        at = std::lower_bound(begin, end, key,
                              [](const GxD3D9VertexShaderCacheEntry& e, GxUInt32 k) { return e.key < k; });
    }
    std::move_backward(at, end, end + 1);
    *at = {key, 0, shader, made};
    cache.count++;
    Found(at, registers);
    return shader;
}
