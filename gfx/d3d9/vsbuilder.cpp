// The vertex-shader text builder: register layout, declarations, transform, skinning, fog, lighting, effects.
#include "gfx/d3d9/vsbuilder.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr GxUInt32 kMaxEffects = 64;
constexpr GxUInt32 kMaxWeights = 4;
constexpr GxUInt32 kLightGroup = 4;            // lights whose factors share one register
constexpr GxUInt32 kPointRegisters = 2;        // position, colour
constexpr GxUInt32 kSpotRegisters = 4;         // position, direction, cone, colour
constexpr GxUInt32 kDirectionalRegisters = 2;  // direction, colour
constexpr GxUInt32 kFirstTexCoordInput = 5;    // v5 + set

const char kComponents[] = "xyzw";
const char* const kMasks[] = {"", "x", "xy", "xyz", "xyzw"};
const char* const kTriples[] = {"xxx", "yyy", "zzz", "www"};

GxUInt32 EffectRegisters(GxUInt32 effect)
{
    switch (effect) {
    case 1:
    case 2:
    case 6:
    case 7:
    case 9:
        return 2;
    case 3:
    case 10:
        return 4;
    case 11:
        return 6;
    default:
        return 0;
    }
}

GxUInt32 Groups(GxUInt32 lights) { return (lights + kLightGroup - 1) / kLightGroup; }

// Appends one instruction line; the buffer grows to whatever the line needs.
void Line(std::string& text, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length > 0) {
        const size_t at = text.size();
        text.resize(at + static_cast<size_t>(length) + 1);
        std::vsnprintf(&text[at], static_cast<size_t>(length) + 1, format, args);
        text[at + static_cast<size_t>(length)] = '\n';
    }
    va_end(args);
}

struct Builder {
    const GxD3D9VertexShaderDescriptor& d;
    const GxD3D9VertexShaderTarget& target;
    GxD3D9VertexShaderRegisters& regs;
    std::string text;
    const char* P = "v0";
    const char* N = "v3";
    bool normalsUsed = false;
    bool tangents = false;
    bool skinned = false;
    GxUInt32 pointBase = 0;
    GxUInt32 spotBase = 0;
    GxUInt32 lightsLeft = 0;

    void Registers();
    void Declarations();
    void Morph();
    void Skin();
    void Fog();
    void Lighting();
    void ColourLine(GxUInt32 colour, GxUInt32 k);
    void Tangents();
    void Effect();
};

void Builder::Registers()
{
    regs = {gxD3D9VSNOREGISTER, gxD3D9VSNOREGISTER, gxD3D9VSNOREGISTER,
            gxD3D9VSNOREGISTER, gxD3D9VSNOREGISTER, {gxD3D9VSNOREGISTER, gxD3D9VSNOREGISTER, gxD3D9VSNOREGISTER}};
    GxUInt32 r = gxD3D9VSLIGHTSREGISTER + kDirectionalRegisters * d.numDirectionalLights;
    pointBase = r;
    r += Groups(d.numPointLights) + kPointRegisters * d.numPointLights;
    spotBase = r;
    r += Groups(d.numSpotLights) + kSpotRegisters * d.numSpotLights;
    if (d.modulateMaterial) {
        regs.material = static_cast<GxUInt8>(r++);
    }
    if (d.fogMode && !target.wFog) {
        regs.fog = static_cast<GxUInt8>(r++);
    }
    if (d.morphing) {
        regs.morph = static_cast<GxUInt8>(r++);
    }
    if (skinned) {
        regs.bones = static_cast<GxUInt8>(r);
    }
    const GxUInt32 count = EffectRegisters(d.effect);
    if (count) {
        regs.effect = static_cast<GxUInt8>(skinned ? target.numConstants - count : r);
    }
}

void Builder::Declarations()
{
    Line(text, "dcl_position0 v0");
    if (skinned && d.numWeights >= 2) {
        Line(text, "dcl_blendweight0 v1");
    }
    if (skinned) {
        Line(text, "dcl_blendindices0 v2");
    }
    if (d.prelit) {
        Line(text, "dcl_color0 v4");
    }
    if (normalsUsed) {
        Line(text, "dcl_normal0 v3");
    }
    if (tangents) {
        Line(text, "dcl_tangent0 v13");
    }
    switch (d.effect) {
    case 1:
    case 2:
    case 3:
    case 5:
    case 6:
    case 10:
    case 11:
        if (d.numTexCoords) {
            Line(text, "dcl_texcoord0 v5");
        }
        break;
    case 4:
    case 7:
        if (d.numTexCoords >= 2) {
            Line(text, "dcl_texcoord1 v6");
        }
        break;
    default:
        for (GxUInt32 k = 0; k < d.numTexCoords; k++) {
            Line(text, "dcl_texcoord%u v%u", k, k + kFirstTexCoordInput);
        }
    }
    if (d.morphing) {
        Line(text, "dcl_position1 v14");
        if (normalsUsed) {
            Line(text, "dcl_normal1 v15");
        }
    }
}

void Builder::Morph()
{
    const int m = regs.morph;
    if (!skinned) {
        Line(text, "mul r3, v0, c[%d].x", m);
        Line(text, "mad r3, v14, c[%d].y, r3", m);
        P = "r3";
        if (normalsUsed) {
            Line(text, "mul r5, v3, c[%d].x", m);
            Line(text, "mad r5, v15, c[%d].y, r5", m);
            N = "r5";
        }
        return;
    }
    Line(text, "mul r2, v0, c[%d].x", m);
    Line(text, "mad r2, v14, c[%d].y, r2", m);
    P = "r2";
    if (normalsUsed) {
        Line(text, "mul r4, v3, c[%d].x", m);
        Line(text, "mad r4, v15, c[%d].y, r4", m);
        N = "r4";
    }
}

void Builder::Skin()
{
    const int b = regs.bones;
    const GxUInt32 w = d.numWeights;
    const bool indexed = target.level >= gxD3D9VSLEVEL20;
    if (w == 1) {
        Line(text, indexed ? "mova a0.x, v2.x" : "mov a0.x, v2.x");
        Line(text, "m4x3 r3.xyz, %s, c[a0.x + %d]", P, b);
        if (normalsUsed) {
            Line(text, "m3x3 r5.xyz, %s, c[a0.x + %d]", N, b);
        }
    } else if (normalsUsed) {
        if (indexed) {
            Line(text, "mova a0.%s, v2", kMasks[w]);
        }
        for (GxUInt32 k = 0; k < w; k++) {
            const char c = kComponents[k];
            const char a = indexed ? c : 'x';
            if (!indexed) {
                Line(text, "mov a0.x, v2.%c", c);
            }
            if (k == 0) {
                Line(text, "mul r8, v1.%c, c[a0.%c + %d]", c, a, b);
                Line(text, "mul r9, v1.%c, c[a0.%c + %d]", c, a, b + 1);
                Line(text, "mul r10, v1.%c, c[a0.%c + %d]", c, a, b + 2);
            } else {
                Line(text, "mad r8, v1.%c, c[a0.%c + %d], r8", c, a, b);
                Line(text, "mad r9, v1.%c, c[a0.%c + %d], r9", c, a, b + 1);
                Line(text, "mad r10, v1.%c, c[a0.%c + %d], r10", c, a, b + 2);
            }
        }
        Line(text, "m4x3 r3.xyz, %s, r8", P);
        Line(text, "m3x3 r5.xyz, %s, r8", N);
    } else {
        if (indexed) {
            Line(text, "mova a0.%s, v2", kMasks[w]);
        }
        for (GxUInt32 k = 0; k < w; k++) {
            const char c = kComponents[k];
            if (!indexed) {
                Line(text, "mov a0.x, v2.%c", c);
            }
            Line(text, "m4x3 r5.xyz, %s, c[a0.%c + %d]", P, indexed ? c : 'x', b);
            if (k == 0) {
                Line(text, "mul r3.xyz, v1.%c, r5.xyz", c);
            } else {
                Line(text, "mad r3.xyz, v1.%c, r5.xyz, r3.xyz", c);
            }
        }
    }
    P = "r3";
    if (normalsUsed) {
        N = "r5";
    }
}

void Builder::Fog()
{
    if (!d.fogMode) {
        return;
    }
    if (target.wFog) {
        Line(text, "dp4 oFog, %s, c[3]", P);
        return;
    }
    const int f = regs.fog;
    Line(text, "dp4 r0.w, %s, c[3]", P);
    if (d.fogMode == 1) {
        Line(text, "mad oFog, r0.w, c[%d].x, c[%d].y", f, f);
        return;
    }
    Line(text, "mul r0.w, r0.w, c[%d].x", f);
    if (d.fogMode == 3) {
        Line(text, "mul r0.w, r0.w, r0.w");
    }
    Line(text, "expp r0.w, r0.w");
    Line(text, "rcp oFog, r0.w");
}

void Builder::ColourLine(GxUInt32 colour, GxUInt32 k)
{
    if (lightsLeft == 1 && !d.modulateMaterial) {
        Line(text, "mad oD0, c[%u], r6.%c, r11", colour, kComponents[k]);
    } else {
        Line(text, "mad r11.xyz, c[%u].xyz, r6.%s, r11.xyz", colour, kTriples[k]);
    }
    lightsLeft--;
}

void Builder::Lighting()
{
    const GxUInt32 lights = d.numDirectionalLights + d.numPointLights + d.numSpotLights;
    const char* ambient = d.prelit ? "add %s, v4, c[4]" : "mov %s, c[4]";
    if (!normalsUsed || lights == 0) {
        if (d.modulateMaterial) {
            Line(text, ambient, "r11");
            Line(text, "mul oD0, r11, c[%d]", regs.material);
        } else {
            Line(text, ambient, "oD0");
        }
        return;
    }
    lightsLeft = lights;
    Line(text, ambient, "r11");
    for (GxUInt32 first = 0; first < d.numDirectionalLights; first += kLightGroup) {
        const GxUInt32 n = std::min(kLightGroup, d.numDirectionalLights - first);
        for (GxUInt32 k = 0; k < n; k++) {
            Line(text, "dp3 r6.%c, c[%u], %s", kComponents[k],
                 gxD3D9VSLIGHTSREGISTER + kDirectionalRegisters * (first + k), N);
        }
        Line(text, "max r6.%s, c[5].w, -r6.%s", kMasks[n], kMasks[n]);
        for (GxUInt32 k = 0; k < n; k++) {
            ColourLine(gxD3D9VSLIGHTSREGISTER + kDirectionalRegisters * (first + k) + 1, k);
        }
    }
    GxUInt32 g = pointBase;
    for (GxUInt32 first = 0; first < d.numPointLights; first += kLightGroup) {
        const GxUInt32 n = std::min(kLightGroup, d.numPointLights - first);
        const char* m = kMasks[n];
        for (GxUInt32 k = 0; k < n; k++) {
            const char c = kComponents[k];
            Line(text, "add r7.xyz, -c[%u].xyz, %s.xyz", g + 1 + kPointRegisters * k, P);
            Line(text, "dp3 r1.%c, r7, r7", c);
            Line(text, "rsq r1.%c, r1.%c", c, c);
            Line(text, "dp3 r6.%c, %s, r7", c, N);
        }
        Line(text, "max r8.%s, c[%u].%s, r1.%s", m, g, m, m);
        Line(text, "max r6.%s, c[%u].wwww, -r6.%s", m, g + 1, m);
        Line(text, "add r8.%s, -c[%u].%s, r8.%s", m, g, m, m);
        Line(text, "mul r6.%s, r6.%s, r8.%s", m, m, m);
        for (GxUInt32 k = 0; k < n; k++) {
            ColourLine(g + 2 + kPointRegisters * k, k);
        }
        g += 1 + kPointRegisters * n;
    }
    g = spotBase;
    for (GxUInt32 first = 0; first < d.numSpotLights; first += kLightGroup) {
        const GxUInt32 n = std::min(kLightGroup, d.numSpotLights - first);
        const char* m = kMasks[n];
        for (GxUInt32 k = 0; k < n; k++) {
            const char c = kComponents[k];
            const GxUInt32 p = g + 1 + kSpotRegisters * k;
            Line(text, "add r7.xyz, -c[%u].xyz, %s.xyz", p, P);
            Line(text, "dp3 r1.%c, r7, r7", c);
            Line(text, "rsq r1.%c, r1.%c", c, c);
            Line(text, "dp3 r6.%c, %s, r7", c, N);
            Line(text, "mul r7.xyz, r7.xyz, r1.%c", c);
            Line(text, "dp3 r7.w, r7, c[%u]", p + 1);
            Line(text, "mad r9.%c, r7.w, c[%u].x, c[%u].y", c, p + 2, p + 2);
        }
        Line(text, "max r8.%s, c[%u].%s, r1.%s", m, g, m, m);
        Line(text, "max r9.%s, c[%u].wwww, r9.%s", m, g + 1, m);
        Line(text, "max r6.%s, c[%u].wwww, -r6.%s", m, g + 1, m);
        Line(text, "add r8.%s, -c[%u].%s, r8.%s", m, g, m, m);
        Line(text, "mul r6.%s, r6.%s, r8.%s", m, m, m);
        Line(text, "mul r6.%s, r6.%s, r9.%s", m, m, m);
        for (GxUInt32 k = 0; k < n; k++) {
            ColourLine(g + 1 + kSpotRegisters * k + 3, k);
        }
        g += 1 + kSpotRegisters * n;
    }
    if (d.modulateMaterial) {
        Line(text, "mul oD0, r11, c[%d]", regs.material);
    }
}

void Builder::Tangents()
{
    const int b = regs.bones;
    if (!skinned) {
        Line(text, "mov r4, v13");
    } else {
        if (d.numWeights == 1) {
            Line(text, "m3x3 r4.xyz, v13, c[a0.x + %d]", b);
        } else {
            Line(text, "m3x3 r4.xyz, v13, r8");
        }
        if (d.normalizeNormals) {
            Line(text, "dp3 r4.w, r4, r4");
            Line(text, "rsq r4.w, r4.w");
            Line(text, "mul r4.xyz, r4, r4.w");
        }
        Line(text, "slt r4.w, v13.w, v13.w");
    }
    if (d.morphing || skinned) {
        Line(text, "mov %s.w, v3.w", N);
    }
    Line(text, "mul r2, r4.zxyw, %s.yzxw", N);
    Line(text, "mad r2, r4.yzxw, %s.zxyw, -r2", N);
    if (d.normalizeNormals) {
        Line(text, "dp3 r2.w, r2, r2");
        Line(text, "rsq r2.w, r2.w");
        Line(text, "mul r2.xyz, r2, r2.w");
    }
    if (d.prelit) {
        Line(text, "mov oD0, v4");
    }
    auto tangentSpace = [&] {
        Line(text, "dp3 r1.x, %s, r4", "r7");
        Line(text, "dp3 r1.y, %s, r2", "r7");
        Line(text, "dp3 r1.z, %s, %s", "r7", N);
        Line(text, "dp3 r1.w, r1, r1");
        Line(text, "rsq r1.w, r1.w");
        Line(text, "mul r1.xyz, r1, r1.w");
    };
    const char* scale = nullptr;
    if (d.numDirectionalLights) {
        Line(text, "dp3 r1.x, c[5], r4");
        Line(text, "dp3 r1.y, c[5], r2");
        Line(text, "dp3 r1.z, c[5], %s", N);
        Line(text, "dp3 r1.w, r1, r1");
        Line(text, "rsq r1.w, r1.w");
        Line(text, "mul r1.xyz, r1, r1.w");
        scale = "w";
    } else if (d.numPointLights) {
        Line(text, "add r7.xyz, c[1 + 5].xyz, -%s.xyz", P);
        Line(text, "dp3 r7.w, r7, r7");
        Line(text, "rsq r7.w, r7.w");
        Line(text, "mul r7.xyz, r7, r7.w");
        Line(text, "rcp r7.w, r7.w");
        Line(text, "mad r7.w, r7.w, c[5].x, c[5].y");
        Line(text, "max r7.w, r7.w, c[5].w");
        tangentSpace();
        Line(text, "mul r1.xyz, r1, r7.w");
        scale = "z";
    } else if (d.numSpotLights) {
        Line(text, "add r7.xyz, c[1 + 5].xyz, -%s.xyz", P);
        Line(text, "dp3 r7.w, r7, r7");
        Line(text, "rsq r7.w, r7.w");
        Line(text, "mul r7.xyz, r7, r7.w");
        Line(text, "dp3 r9.w, r7, c[2 + 5]");
        Line(text, "mad r9.w, r9.w, c[3 + 5].x, c[3 + 5].y");
        Line(text, "rcp r7.w, r7.w");
        Line(text, "mad r7.w, r7.w, c[5].x, c[5].y");
        Line(text, "max r7.w, r7.w, c[5].w");
        Line(text, "max r9.w, r9.w, c[5].w");
        tangentSpace();
        Line(text, "mul r1.xyz, r1, r7.w");
        Line(text, "mul r1.xyz, r1, r9.w");
        scale = "z";
    }
    if (scale) {
        const char* out = d.effect == 8 ? "oT2" : (d.prelit ? "oD1" : "oD0");
        Line(text, "mad %s.xyz, r1, c[5].%s, c[5].%s", out, scale, scale);
    }
    if (d.effect == 9) {
        const int e = regs.effect;
        Line(text, "dp3 oT2.x, c[%d], r4", e);
        Line(text, "dp3 oT2.y, c[%d], r2", e);
        Line(text, "dp3 oT2.z, c[%d], %s", e, N);
        Line(text, "dp3 oT3.x, c[%d], r4", e + 1);
        Line(text, "dp3 oT3.y, c[%d], r2", e + 1);
        Line(text, "dp3 oT3.z, c[%d], %s", e + 1, N);
    }
    Line(text, "mov oT0.xy, v%d", d.numTexCoords + 4);
    Line(text, "mov oT1.xy, v5");
}

void Builder::Effect()
{
    const int e = regs.effect;
    auto bump = [&] {
        Line(text, "dp3 r9.x, %s, c[%d]", N, e);
        Line(text, "dp3 r9.y, %s, c[%d]", N, e + 1);
        Line(text, "mov oT0.xy, v5");
        Line(text, "add oT1.xy, r9.xy, v5.xy");
    };
    auto reflect = [&](int eye) {
        Line(text, "add r7.xyz, c[%d].xyz, -%s.xyz", eye, P);
        Line(text, "dp3 r7.w, r7, r7");
        Line(text, "rsq r7.w, r7.w");
        Line(text, "mul r7.xyz, r7, r7.w");
        Line(text, "dp3 r7.w, r7, %s", N);
        Line(text, "add r7.w, r7.w, r7.w");
        Line(text, "mad r7, r7.w, %s, -r7", N);
    };
    switch (d.effect) {
    case 1:
        bump();
        break;
    case 2:
        if (!d.numTexCoords) {
            Line(text, "dp4 oT0.x, %s, c[%d]", N, e);
            Line(text, "dp4 oT0.y, %s, c[%d]", N, e + 1);
        } else {
            Line(text, "mov oT0.xy, v5");
            Line(text, "dp4 oT1.x, %s, c[%d]", N, e);
            Line(text, "dp4 oT1.y, %s, c[%d]", N, e + 1);
        }
        break;
    case 3:
        Line(text, "dp4 oT2.x, %s, c[%d]", N, e + 2);
        Line(text, "dp4 oT2.y, %s, c[%d]", N, e + 3);
        bump();
        break;
    case 4:
        Line(text, "mov oT0.xy, v6");
        break;
    case 5:
        Line(text, "mov oT0.xy, v5");
        Line(text, "mov oT1.xy, v5");
        break;
    case 6:
    case 7: {
        const int input = d.effect == 6 ? 5 : 6;
        Line(text, "dp4 oT0.x, v%d, c[%d]", input, e);
        Line(text, "dp4 oT0.y, v%d, c[%d]", input, e + 1);
        break;
    }
    case 8:
    case 9:
        break;
    case 10:
        reflect(e);
        if (!d.numTexCoords) {
            Line(text, "dp3 oT0.x, r7, c[%d]", e + 1);
            Line(text, "dp3 oT0.y, r7, c[%d]", e + 2);
            Line(text, "dp3 oT0.z, r7, c[%d]", e + 3);
        } else {
            Line(text, "mov oT0.xy, v5");
            Line(text, "dp3 oT1.x, r7, c[%d]", e + 1);
            Line(text, "dp3 oT1.y, r7, c[%d]", e + 2);
            Line(text, "dp3 oT1.z, r7, c[%d]", e + 3);
        }
        break;
    case 11:
        bump();
        reflect(e + 2);
        Line(text, "dp3 oT2.x, r7, c[%d]", e + 3);
        Line(text, "dp3 oT2.y, r7, c[%d]", e + 4);
        Line(text, "dp3 oT2.z, r7, c[%d]", e + 5);
        break;
    default:
        for (GxUInt32 k = 0; k < d.numTexCoords; k++) {
            Line(text, "mov oT%u.xy, v%u", k, k + kFirstTexCoordInput);
        }
    }
}

const char* Header(GxInt32 level)
{
    switch (level) {
    case gxD3D9VSLEVEL11:
        return "vs_1_1";
    case gxD3D9VSLEVEL20:
        return "vs_2_0";
    case gxD3D9VSLEVEL2X:
        return "vs_2_x";
    default:
        return nullptr;
    }
}

}  // namespace

GxUInt32 GxD3D9VertexShaderDescriptorKey(const GxD3D9VertexShaderDescriptor* d)
{
    constexpr GxUInt32 kNibble = 0xF;
    const GxUInt32 byte0 = (d->numDirectionalLights & kNibble) | (d->numPointLights & kNibble) << 4;
    const GxUInt32 byte1 = (d->numSpotLights & kNibble) | (d->numTexCoords & kNibble) << 4;
    const GxUInt32 byte2 = (d->morphing & 1u) | (d->numWeights & 7u) << 1 | (d->prelit & 1u) << 4 |
                           (d->normals & 1u) << 5 | (d->normalizeNormals & 1u) << 6 | (d->modulateMaterial & 1u) << 7;
    const GxUInt32 byte3 = (d->fogMode & 3u) | (d->effect & (kMaxEffects - 1)) << 2;
    return byte0 | byte1 << 8 | byte2 << 16 | byte3 << 24;
}

GxUInt32 GxD3D9VertexShaderGetNumConstants(const GxD3D9VertexShaderDescriptor* d)
{
    GxUInt32 n = gxD3D9VSLIGHTSREGISTER + kDirectionalRegisters * d->numDirectionalLights;
    n += Groups(d->numPointLights) + kPointRegisters * d->numPointLights;
    n += Groups(d->numSpotLights) + kSpotRegisters * d->numSpotLights;
    n += d->modulateMaterial ? 1 : 0;
    n += d->fogMode ? 1 : 0;
    n += EffectRegisters(d->effect);
    n += d->morphing ? 1 : 0;
    return n;
}

std::string GxD3D9VertexShaderWriteText(const GxD3D9VertexShaderDescriptor* descriptor,
                                        const GxD3D9VertexShaderTarget* target, GxD3D9VertexShaderRegisters* registers)
{
    Builder b{*descriptor, *target, *registers, std::string()};
    const GxD3D9VertexShaderDescriptor& d = *descriptor;
    b.skinned = d.numWeights != 0;
    const bool lit = d.numDirectionalLights || d.numPointLights || d.numSpotLights;
    const bool effectNormals = d.effect == 1 || d.effect == 2 || d.effect == 3 || (d.effect >= 8 && d.effect <= 11);
    b.normalsUsed = d.normals && (lit || effectNormals);
    b.tangents = b.normalsUsed && (d.effect == 8 || d.effect == 9);
    b.Registers();
    const char* header = Header(target->level);
    // The key has room for seven weights; the vertex carries at most four.
    if (!header || d.numWeights > kMaxWeights) {
        return std::string();
    }
    Line(b.text, "%s", header);
    b.Declarations();
    if (!d.morphing && !b.skinned) {
        Line(b.text, "m4x4 oPos.xyzw, v0, c[0]");
    } else {
        if (d.morphing) {
            b.Morph();
        }
        if (b.skinned) {
            b.Skin();
        }
        Line(b.text, "mov r3.w, v0.w");
        Line(b.text, "m4x4 oPos.xyzw, r3, c[0]");
    }
    b.Fog();
    if (d.normalizeNormals && b.normalsUsed) {
        Line(b.text, "dp3 r5.w, %s, %s", b.N, b.N);
        Line(b.text, "rsq r5.w, r5.w");
        Line(b.text, "mul r5.xyz, %s, r5.w", b.N);
        b.N = "r5";
    }
    if (b.tangents) {
        b.Tangents();
    } else {
        b.Lighting();
    }
    b.Effect();
    return b.text;
}
