// Vertex-shader text for a range of descriptors, the descriptor key, the constant count, and the cache's memo and
// least-recently-used replacement.
#include "gfx/d3d9/vsbuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/vscache_testing.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/world/world_testing.h"
#include "platform/d3d9/d3dx9.h"

namespace {

using Descriptor = GxD3D9VertexShaderDescriptor;

constexpr GxD3D9VertexShaderTarget kVS11 = {gxD3D9VSLEVEL11, false, 96};
constexpr GxD3D9VertexShaderTarget kVS20 = {gxD3D9VSLEVEL20, false, 256};

std::string Text(const Descriptor& d, const GxD3D9VertexShaderTarget& target = kVS11,
                 GxD3D9VertexShaderRegisters* out = nullptr)
{
    GxD3D9VertexShaderRegisters registers;
    std::string text = GxD3D9VertexShaderWriteText(&d, &target, &registers);
    if (out) {
        *out = registers;
    }
    return text;
}

TEST(VertexShaderText, LevelsAndLimits)
{
    EXPECT_EQ(Text(Descriptor{}, kVS20).substr(0, 7), "vs_2_0\n");
    EXPECT_EQ(Text(Descriptor{}, {gxD3D9VSLEVELNONE, false, 96}), "");
    Descriptor tooMany{};
    tooMany.numWeights = 5;
    EXPECT_EQ(Text(tooMany), "");
}

constexpr GxUInt8 kNo = gxD3D9VSNOREGISTER;
constexpr GxD3D9VertexShaderTarget kVS11FogFromW = {gxD3D9VSLEVEL11, true, 96};

// The registers the shader reads the material, fog, effect, morph weights and bones from.
struct Registers {
    GxUInt8 material, fog, effect, morph, bones;
};

struct Form {
    const char* what;
    Descriptor descriptor;
    GxD3D9VertexShaderTarget target;
    Registers registers;
};

struct TextCase {
    Form form;
    const char* text;
};

// Descriptor columns: directional, point, spot lights; texture sets; morphing; weights; prelit; normals;
// normalised normals; material modulation; fog mode; effect.
const TextCase kTextCases[] = {
    {{"unlit", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kVS11, {kNo, kNo, kNo, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\nm4x4 oPos.xyzw, v0, c[0]\nmov oD0, c[4]\n"},
    // Lights without the normals bit: ambient plus vertex colour only.
    {{"lights without normals", {2, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0}, kVS11, {kNo, kNo, kNo, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\ndcl_color0 v4\ndcl_texcoord0 v5\n"
     "m4x4 oPos.xyzw, v0, c[0]\nadd oD0, v4, c[4]\nmov oT0.xy, v5\n"},
    {{"two texture sets", {0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}, kVS11, {kNo, kNo, kNo, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\ndcl_texcoord0 v5\ndcl_texcoord1 v6\n"
     "m4x4 oPos.xyzw, v0, c[0]\nmov oD0, c[4]\nmov oT0.xy, v5\nmov oT1.xy, v6\n"},
    {{"directional", {1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}, kVS11, {kNo, kNo, kNo, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\ndcl_normal0 v3\nm4x4 oPos.xyzw, v0, c[0]\nmov r11, c[4]\n"
     "dp3 r6.x, c[5], v3\nmax r6.x, c[5].w, -r6.x\nmad oD0, c[6], r6.x, r11\n"},
    {{"point, material", {0, 1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0}, kVS11, {8, kNo, kNo, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\ndcl_normal0 v3\nm4x4 oPos.xyzw, v0, c[0]\nmov r11, c[4]\n"
     "add r7.xyz, -c[6].xyz, v0.xyz\ndp3 r1.x, r7, r7\nrsq r1.x, r1.x\ndp3 r6.x, v3, r7\n"
     "max r8.x, c[5].x, r1.x\nmax r6.x, c[6].wwww, -r6.x\nadd r8.x, -c[5].x, r8.x\n"
     "mul r6.x, r6.x, r8.x\nmad r11.xyz, c[7].xyz, r6.xxx, r11.xyz\nmul oD0, r11, c[8]\n"},
    {{"spot", {0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0}, kVS11, {kNo, kNo, kNo, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\ndcl_normal0 v3\nm4x4 oPos.xyzw, v0, c[0]\nmov r11, c[4]\n"
     "add r7.xyz, -c[6].xyz, v0.xyz\ndp3 r1.x, r7, r7\nrsq r1.x, r1.x\ndp3 r6.x, v3, r7\n"
     "mul r7.xyz, r7.xyz, r1.x\ndp3 r7.w, r7, c[7]\nmad r9.x, r7.w, c[8].x, c[8].y\n"
     "max r8.x, c[5].x, r1.x\nmax r9.x, c[6].wwww, r9.x\nmax r6.x, c[6].wwww, -r6.x\n"
     "add r8.x, -c[5].x, r8.x\nmul r6.x, r6.x, r8.x\nmul r6.x, r6.x, r9.x\nmad oD0, c[9], r6.x, r11\n"},
    // The last light of all kinds writes the output; the point group follows the directional lights.
    {{"directional and point", {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}, kVS11, {kNo, kNo, kNo, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\ndcl_normal0 v3\nm4x4 oPos.xyzw, v0, c[0]\nmov r11, c[4]\n"
     "dp3 r6.x, c[5], v3\nmax r6.x, c[5].w, -r6.x\nmad r11.xyz, c[6].xyz, r6.xxx, r11.xyz\n"
     "add r7.xyz, -c[8].xyz, v0.xyz\ndp3 r1.x, r7, r7\nrsq r1.x, r1.x\ndp3 r6.x, v3, r7\n"
     "max r8.x, c[7].x, r1.x\nmax r6.x, c[8].wwww, -r6.x\nadd r8.x, -c[7].x, r8.x\n"
     "mul r6.x, r6.x, r8.x\nmad oD0, c[9], r6.x, r11\n"},
    {{"one weight, normalised", {1, 0, 0, 0, 0, 1, 0, 1, 1, 0, 0, 0}, kVS11, {kNo, kNo, kNo, kNo, 7}},
     "vs_1_1\ndcl_position0 v0\ndcl_blendindices0 v2\ndcl_normal0 v3\nmov a0.x, v2.x\n"
     "m4x3 r3.xyz, v0, c[a0.x + 7]\nm3x3 r5.xyz, v3, c[a0.x + 7]\nmov r3.w, v0.w\n"
     "m4x4 oPos.xyzw, r3, c[0]\ndp3 r5.w, r5, r5\nrsq r5.w, r5.w\nmul r5.xyz, r5, r5.w\n"
     "mov r11, c[4]\ndp3 r6.x, c[5], r5\nmax r6.x, c[5].w, -r6.x\nmad oD0, c[6], r6.x, r11\n"},
    {{"two weights, material", {2, 0, 0, 0, 0, 2, 0, 1, 0, 1, 0, 0}, kVS11, {9, kNo, kNo, kNo, 10}},
     "vs_1_1\ndcl_position0 v0\ndcl_blendweight0 v1\ndcl_blendindices0 v2\ndcl_normal0 v3\n"
     "mov a0.x, v2.x\nmul r8, v1.x, c[a0.x + 10]\nmul r9, v1.x, c[a0.x + 11]\nmul r10, v1.x, c[a0.x + 12]\n"
     "mov a0.x, v2.y\nmad r8, v1.y, c[a0.x + 10], r8\nmad r9, v1.y, c[a0.x + 11], r9\n"
     "mad r10, v1.y, c[a0.x + 12], r10\nm4x3 r3.xyz, v0, r8\nm3x3 r5.xyz, v3, r8\nmov r3.w, v0.w\n"
     "m4x4 oPos.xyzw, r3, c[0]\nmov r11, c[4]\ndp3 r6.x, c[5], r5\ndp3 r6.y, c[7], r5\n"
     "max r6.xy, c[5].w, -r6.xy\nmad r11.xyz, c[6].xyz, r6.xxx, r11.xyz\n"
     "mad r11.xyz, c[8].xyz, r6.yyy, r11.xyz\nmul oD0, r11, c[9]\n"},
    // Without normals every weight blends a transformed position; vs_2_0 loads all indices at once.
    {{"three weights, fog, vs_2_0", {0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1, 0}, kVS20, {kNo, 5, kNo, kNo, 6}},
     "vs_2_0\ndcl_position0 v0\ndcl_blendweight0 v1\ndcl_blendindices0 v2\nmova a0.xyz, v2\n"
     "m4x3 r5.xyz, v0, c[a0.x + 6]\nmul r3.xyz, v1.x, r5.xyz\nm4x3 r5.xyz, v0, c[a0.y + 6]\n"
     "mad r3.xyz, v1.y, r5.xyz, r3.xyz\nm4x3 r5.xyz, v0, c[a0.z + 6]\nmad r3.xyz, v1.z, r5.xyz, r3.xyz\n"
     "mov r3.w, v0.w\nm4x4 oPos.xyzw, r3, c[0]\ndp4 r0.w, r3, c[3]\nmad oFog, r0.w, c[5].x, c[5].y\n"
     "mov oD0, c[4]\n"},
    // A skinned effect takes its registers from the top of the constant file.
    {{"skinned effect", {0, 0, 0, 1, 0, 1, 0, 1, 0, 0, 0, 1}, kVS11, {kNo, kNo, 94, kNo, 5}},
     "vs_1_1\ndcl_position0 v0\ndcl_blendindices0 v2\ndcl_normal0 v3\ndcl_texcoord0 v5\nmov a0.x, v2.x\n"
     "m4x3 r3.xyz, v0, c[a0.x + 5]\nm3x3 r5.xyz, v3, c[a0.x + 5]\nmov r3.w, v0.w\n"
     "m4x4 oPos.xyzw, r3, c[0]\nmov oD0, c[4]\ndp3 r9.x, r5, c[94]\ndp3 r9.y, r5, c[95]\n"
     "mov oT0.xy, v5\nadd oT1.xy, r9.xy, v5.xy\n"},
    // Effects: the reflection lines, the bump lines ahead of a second reflection, the second set's transform, and
    // the tangent branch in place of the lighting.
    {{"environment with a set", {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 10}, kVS11, {kNo, kNo, 5, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\ndcl_normal0 v3\ndcl_texcoord0 v5\nm4x4 oPos.xyzw, v0, c[0]\nmov oD0, c[4]\n"
     "add r7.xyz, c[5].xyz, -v0.xyz\ndp3 r7.w, r7, r7\nrsq r7.w, r7.w\nmul r7.xyz, r7, r7.w\n"
     "dp3 r7.w, r7, v3\nadd r7.w, r7.w, r7.w\nmad r7, r7.w, v3, -r7\nmov oT0.xy, v5\n"
     "dp3 oT1.x, r7, c[6]\ndp3 oT1.y, r7, c[7]\ndp3 oT1.z, r7, c[8]\n"},
    {{"bump and environment, material", {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, 11}, kVS11, {5, kNo, 6, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\ndcl_normal0 v3\ndcl_texcoord0 v5\nm4x4 oPos.xyzw, v0, c[0]\nmov r11, c[4]\n"
     "mul oD0, r11, c[5]\ndp3 r9.x, v3, c[6]\ndp3 r9.y, v3, c[7]\nmov oT0.xy, v5\nadd oT1.xy, r9.xy, v5.xy\n"
     "add r7.xyz, c[8].xyz, -v0.xyz\ndp3 r7.w, r7, r7\nrsq r7.w, r7.w\nmul r7.xyz, r7, r7.w\n"
     "dp3 r7.w, r7, v3\nadd r7.w, r7.w, r7.w\nmad r7, r7.w, v3, -r7\n"
     "dp3 oT2.x, r7, c[9]\ndp3 oT2.y, r7, c[10]\ndp3 oT2.z, r7, c[11]\n"},
    {{"second set transformed", {0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 7}, kVS11, {kNo, kNo, 5, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\ndcl_texcoord1 v6\nm4x4 oPos.xyzw, v0, c[0]\nmov oD0, c[4]\n"
     "dp4 oT0.x, v6, c[5]\ndp4 oT0.y, v6, c[6]\n"},
    {{"bumped environment, prelit", {1, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 9}, kVS11, {kNo, kNo, 7, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\ndcl_color0 v4\ndcl_normal0 v3\ndcl_tangent0 v13\ndcl_texcoord0 v5\n"
     "m4x4 oPos.xyzw, v0, c[0]\nmov r4, v13\nmul r2, r4.zxyw, v3.yzxw\nmad r2, r4.yzxw, v3.zxyw, -r2\n"
     "mov oD0, v4\ndp3 r1.x, c[5], r4\ndp3 r1.y, c[5], r2\ndp3 r1.z, c[5], v3\ndp3 r1.w, r1, r1\n"
     "rsq r1.w, r1.w\nmul r1.xyz, r1, r1.w\nmad oD1.xyz, r1, c[5].w, c[5].w\n"
     "dp3 oT2.x, c[7], r4\ndp3 oT2.y, c[7], r2\ndp3 oT2.z, c[7], v3\n"
     "dp3 oT3.x, c[8], r4\ndp3 oT3.y, c[8], r2\ndp3 oT3.z, c[8], v3\nmov oT0.xy, v5\nmov oT1.xy, v5\n"},
    {{"exponential squared fog", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0}, kVS11, {kNo, 5, kNo, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\nm4x4 oPos.xyzw, v0, c[0]\ndp4 r0.w, v0, c[3]\n"
     "mul r0.w, r0.w, c[5].x\nmul r0.w, r0.w, r0.w\nexpp r0.w, r0.w\nrcp oFog, r0.w\nmov oD0, c[4]\n"},
    // With fog computed from w the shader writes the depth and takes no fog register.
    {{"fog from w", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0}, kVS11FogFromW, {kNo, kNo, kNo, kNo, kNo}},
     "vs_1_1\ndcl_position0 v0\nm4x4 oPos.xyzw, v0, c[0]\ndp4 oFog, v0, c[3]\nmov oD0, c[4]\n"},
    {{"morphing", {1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0}, kVS11, {kNo, kNo, kNo, 7, kNo}},
     "vs_1_1\ndcl_position0 v0\ndcl_normal0 v3\ndcl_position1 v14\ndcl_normal1 v15\n"
     "mul r3, v0, c[7].x\nmad r3, v14, c[7].y, r3\nmul r5, v3, c[7].x\nmad r5, v15, c[7].y, r5\n"
     "mov r3.w, v0.w\nm4x4 oPos.xyzw, r3, c[0]\nmov r11, c[4]\ndp3 r6.x, c[5], r5\n"
     "max r6.x, c[5].w, -r6.x\nmad oD0, c[6], r6.x, r11\n"},
};

TEST(VertexShaderText, EveryFormAndItsRegisters)
{
    for (const TextCase& c : kTextCases) {
        const Form& f = c.form;
        GxD3D9VertexShaderRegisters r;
        EXPECT_EQ(Text(f.descriptor, f.target, &r), c.text) << f.what;
        EXPECT_EQ(r.material, f.registers.material) << f.what;
        EXPECT_EQ(r.fog, f.registers.fog) << f.what;
        EXPECT_EQ(r.effect, f.registers.effect) << f.what;
        EXPECT_EQ(r.morph, f.registers.morph) << f.what;
        EXPECT_EQ(r.bones, f.registers.bones) << f.what;
    }
}

// Fifteen lights of each kind write far more than a fixed 4 KiB area held; the text is whole.
TEST(VertexShaderText, TextGrowsForEveryLight)
{
    Descriptor d{};
    d.numDirectionalLights = 15;
    d.numPointLights = 15;
    d.numSpotLights = 15;
    d.normals = 1;
    const std::string text = Text(d, {gxD3D9VSLEVEL11, false, 256});
    EXPECT_GT(text.size(), 4096u);
    const std::string last = "mad oD0, c[132], r6.z, r11\n";
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    EXPECT_EQ(text.find("mad oD0"), text.size() - last.size());
    EXPECT_EQ(GxD3D9VertexShaderGetNumConstants(&d), 133u);
}

TEST(VertexShaderDescriptor, KeyAndConstantCount)
{
    Descriptor d{};
    d.numDirectionalLights = 1;
    d.numPointLights = 2;
    d.numSpotLights = 3;
    d.numTexCoords = 4;
    d.morphing = 1;
    d.numWeights = 2;
    d.prelit = 1;
    d.normalizeNormals = 1;
    d.fogMode = 2;
    d.effect = 5;
    EXPECT_EQ(GxD3D9VertexShaderDescriptorKey(&d), 0x16554321u);
    // 5 + 2 + (1 + 4) + (1 + 12) + fog + morph
    EXPECT_EQ(GxD3D9VertexShaderGetNumConstants(&d), 27u);
    d.effect = 11;
    d.modulateMaterial = 1;
    EXPECT_EQ(GxD3D9VertexShaderGetNumConstants(&d), 34u);
}

// The engine is open with the world module, whose render frames stamp the cache's entries.
class VertexShaderCacheTest : public GxD3D9SoftwareTest {
protected:
    void AttachPlugins() override { ASSERT_TRUE(GxWorldPluginAttach()); }
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        saved = gxD3D9State.caps;
        gxD3D9State.caps.VertexShaderVersion = D3DVS_VERSION(1, 1);
        gxD3D9State.caps.MaxVertexShaderConst = 300;
        gxD3D9State.caps.DeclTypes = D3DDTCAPS_UBYTE4N | D3DDTCAPS_DEC3N;
        GxD3D9VertexShaderCacheOpen();
        assembled = 0;
        GxD3D9VertexShaderSetAssembler(CountAndRefuse);
    }
    void TearDown() override
    {
        GxD3D9VertexShaderSetAssembler(nullptr);
        GxD3D9VertexShaderCacheClose();
        gxD3D9State.caps = saved;
        GxD3D9SoftwareTest::TearDown();
    }
    // Counts the shaders the cache has generated: each text reaches the assembler, which refuses it.
    static HRESULT CountAndRefuse(const char*, UINT, const D3DXMACRO*, LPD3DXINCLUDE, DWORD, LPD3DXBUFFER*,
                                  LPD3DXBUFFER*)
    {
        assembled++;
        return E_FAIL;
    }
    static GxUInt32 Generated() { return assembled; }
    static GxUInt32 assembled;
    static Descriptor Numbered(GxUInt32 n)
    {
        Descriptor d{};
        d.numDirectionalLights = static_cast<GxUInt8>(n & 0xF);
        d.numPointLights = static_cast<GxUInt8>(n >> 4 & 0xF);
        d.numSpotLights = static_cast<GxUInt8>(n >> 8 & 0xF);
        return d;
    }
    D3DCAPS9 saved;
};

GxUInt32 VertexShaderCacheTest::assembled = 0;

TEST_F(VertexShaderCacheTest, OpenReadsTheDevice)
{
    EXPECT_EQ(GxD3D9VertexShaderGetLevel(), gxD3D9VSLEVEL11);
    EXPECT_EQ(GxD3D9VertexShaderGetMaxConstants(), 256u);
    EXPECT_EQ(gxD3D9State.caps.DeclTypes, static_cast<DWORD>(D3DDTCAPS_DEC3N));
    gxD3D9State.caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
    gxD3D9State.caps.VS20Caps.DynamicFlowControlDepth = 24;
    GxD3D9VertexShaderCacheOpen();
    EXPECT_EQ(GxD3D9VertexShaderGetLevel(), gxD3D9VSLEVEL2X);
    // A device without vertex shaders stops before the constant count, which keeps its value.
    gxD3D9State.caps.VertexShaderVersion = 0;
    gxD3D9State.caps.MaxVertexShaderConst = 8;
    GxD3D9VertexShaderCacheOpen();
    EXPECT_EQ(GxD3D9VertexShaderGetLevel(), gxD3D9VSLEVELNONE);
    EXPECT_EQ(GxD3D9VertexShaderGetMaxConstants(), 256u);
}

TEST_F(VertexShaderCacheTest, MemoAndLeastRecentlyUsedReplacement)
{
    GxD3D9VertexShaderRegisters r;
    const GxUInt32 before = Generated();
    const Descriptor a = Numbered(3);
    GxD3D9VertexShaderCacheGet(&a, &r);
    GxD3D9VertexShaderCacheGet(&a, &r);
    EXPECT_EQ(Generated() - before, 1u);  // a failed shader is asked for once too

    // Stamps are render frames: the upper half is asked for in one frame, the lower half in the next.
    GxWorldBumpRenderFrame();
    for (GxUInt32 n = gxD3D9VSCACHESIZE; n-- > 0;) {
        if (n == gxD3D9VSCACHESIZE / 2 - 1) {
            GxWorldBumpRenderFrame();
        }
        const Descriptor d = Numbered(n);
        GxD3D9VertexShaderCacheGet(&d, &r);
    }
    EXPECT_EQ(GxD3D9VertexShaderCacheCount(), gxD3D9VSCACHESIZE);
    EXPECT_EQ(Generated() - before, gxD3D9VSCACHESIZE);
    // A later frame touches one of the upper half; the new entry then replaces the lowest key among the
    // oldest stamps, which is the first entry of the upper half.
    GxWorldBumpRenderFrame();
    const Descriptor touched = Numbered(gxD3D9VSCACHESIZE / 2);
    const Descriptor newest = Numbered(gxD3D9VSCACHESIZE);
    GxD3D9VertexShaderCacheGet(&touched, &r);
    GxD3D9VertexShaderCacheGet(&newest, &r);
    EXPECT_EQ(GxD3D9VertexShaderCacheCount(), gxD3D9VSCACHESIZE);
    std::vector<GxUInt32> keys;
    for (GxUInt32 i = 0; i < GxD3D9VertexShaderCacheCount(); i++) {
        keys.push_back(GxD3D9VertexShaderCacheKey(i));
        if (i) {
            EXPECT_LT(keys[i - 1], keys[i]) << "entry " << i;
        }
    }
    const auto has = [&keys](GxUInt32 n) {
        const Descriptor d = Numbered(n);
        return std::find(keys.begin(), keys.end(), GxD3D9VertexShaderDescriptorKey(&d)) != keys.end();
    };
    EXPECT_TRUE(has(gxD3D9VSCACHESIZE / 2));
    EXPECT_FALSE(has(gxD3D9VSCACHESIZE / 2 + 1));
    EXPECT_TRUE(has(0));  // lower key, newer frame
    EXPECT_TRUE(has(gxD3D9VSCACHESIZE));
    EXPECT_EQ(Generated() - before, gxD3D9VSCACHESIZE + 1);
}

// Every bit set packs to the empty entry's placeholder key; an empty cache must still build it.
TEST_F(VertexShaderCacheTest, AllOnesDescriptorIsNotTakenForTheEmptyEntry)
{
    Descriptor d{0xF, 0xF, 0xF, 0xF, 1, 7, 1, 1, 1, 1, 3, 63};
    ASSERT_EQ(GxD3D9VertexShaderDescriptorKey(&d), 0xFFFFFFFFu);
    GxD3D9VertexShaderRegisters r;
    GxD3D9VertexShaderCacheGet(&d, &r);
    EXPECT_EQ(GxD3D9VertexShaderCacheCount(), 1u);
}

}  // namespace

namespace {

// Every vs_1_1 text the builder writes is accepted by the assembler: lights of each kind, every weight count with
// and without normals, each fog mode, morphing, and every effect.
TEST(VertexShaderText, EveryFormAssembles)
{
    std::vector<Descriptor> forms;
    for (GxUInt8 weights = 0; weights <= 4; weights++) {
        for (GxUInt8 normals = 0; normals <= 1; normals++) {
            Descriptor d{};
            d.numWeights = weights;
            d.normals = normals;
            d.normalizeNormals = normals;
            d.numDirectionalLights = 2;
            d.numPointLights = 5;
            d.numSpotLights = 1;
            d.prelit = 1;
            d.modulateMaterial = 1;
            d.numTexCoords = 2;
            d.fogMode = static_cast<GxUInt8>(weights % 4);
            forms.push_back(d);
            d.morphing = 1;
            forms.push_back(d);
        }
    }
    for (GxUInt8 effect = 1; effect <= 11; effect++) {
        for (GxUInt8 weights : {0, 1, 2}) {
            Descriptor d{};
            d.effect = effect;
            d.normals = 1;
            d.numWeights = weights;
            d.numTexCoords = 2;
            d.numPointLights = effect % 2;
            d.numDirectionalLights = effect % 3 == 0 ? 1 : 0;
            forms.push_back(d);
        }
    }
    for (const Descriptor& d : forms) {
        GxD3D9VertexShaderRegisters r;
        const std::string text = GxD3D9VertexShaderWriteText(&d, &kVS11, &r);
        ID3DXBuffer* tokens = nullptr;
        ID3DXBuffer* errors = nullptr;
        const HRESULT hr =
            D3DXAssembleShader(text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, 4, &tokens, &errors);
        EXPECT_TRUE(SUCCEEDED(hr)) << text << "\n"
                                   << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        if (tokens) {
            tokens->Release();
        }
        if (errors) {
            errors->Release();
        }
    }
}

}  // namespace
