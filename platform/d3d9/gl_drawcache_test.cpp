// What the OpenGL back end keeps between draws: decoded copies of static buffers (shader inputs, converted
// fixed-function arrays), vertex shader constants per program and the registers a program holds, texture units,
// and the fixed-function state around runs of shader draws. Whatever changes between two draws must show in the
// second.
#include "platform/d3d9/gl_pixel_testing.h"
#include "platform/d3d9/shader_local.h"

namespace {

struct ColourVertex {  // position (clip space) and a packed colour the back end must decode
    float x, y, z;
    DWORD color;
};

const D3DVERTEXELEMENT9 kColourElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    D3DDECL_END()};

// The same vertices with the colour read as a texture coordinate: another layout over the same buffer.
const D3DVERTEXELEMENT9 kCoordElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_UBYTE4N, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END()};

const char* const kColourShader = "vs_1_1\ndcl_position v0\ndcl_color v1\nmov oPos, v0\nmov oD0, v1\n";
// UBYTE4N reads the packed colour's bytes in memory order: b, g, r, a.
const char* const kCoordShader = "vs_1_1\ndcl_position v0\ndcl_texcoord v1\nmov oPos, v0\nmov oD0, v1.zyxw\n";

// The quad from x0 to x1 (clip space, full height) as a list of two screen-clockwise triangles.
void ClipQuad(float x0, float x1, DWORD color, ColourVertex out[6])
{
    const ColourVertex tl = {x0, 1, 0.5f, color}, tr = {x1, 1, 0.5f, color};
    const ColourVertex bl = {x0, -1, 0.5f, color}, br = {x1, -1, 0.5f, color};
    QuadAsList(tl, tr, bl, br, out);
}

class GlShaderDrawTest : public GlPixelTest {
protected:
    void SetUp() override
    {
        GlPixelTest::SetUp();
        if (IsSkipped())
            return;
        dev_ = gl_->get();
        D3DCAPS9 caps;
        ASSERT_EQ(dev_->GetDeviceCaps(&caps), D3D_OK);
        if (caps.VertexShaderVersion < D3DVS_VERSION(1, 1))
            GTEST_SKIP() << "no vertex shaders here";
        dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        dev_->SetRenderState(D3DRS_LIGHTING, FALSE);
    }
    void TearDown() override
    {
        for (IDirect3DUnknown9* o : owned_)
            o->Release();
    }

    IDirect3DVertexShader9* Shader(const char* text)
    {
        std::vector<DWORD> tokens;
        std::string error;
        EXPECT_TRUE(D3D9AssembleShaderText(text, std::strlen(text), &tokens, &error)) << error;
        IDirect3DVertexShader9* vs = nullptr;
        EXPECT_EQ(dev_->CreateVertexShader(tokens.data(), &vs), D3D_OK);
        owned_.push_back(vs);
        return vs;
    }
    IDirect3DVertexDeclaration9* Declaration(const D3DVERTEXELEMENT9* elements)
    {
        IDirect3DVertexDeclaration9* decl = nullptr;
        EXPECT_EQ(dev_->CreateVertexDeclaration(elements, &decl), D3D_OK);
        owned_.push_back(decl);
        return decl;
    }
    IDirect3DVertexBuffer9* Buffer(const ColourVertex* vertices, UINT count, DWORD usage = D3DUSAGE_WRITEONLY)
    {
        IDirect3DVertexBuffer9* vb = nullptr;
        const D3DPOOL pool = (usage & D3DUSAGE_DYNAMIC) ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
        EXPECT_EQ(dev_->CreateVertexBuffer(count * sizeof(ColourVertex), usage, 0, pool, &vb, nullptr), D3D_OK);
        owned_.push_back(vb);
        Fill(vb, 0, vertices, count, 0);
        return vb;
    }
    static void Fill(IDirect3DVertexBuffer9* vb, UINT first, const ColourVertex* vertices, UINT count, DWORD flags)
    {
        void* bits = nullptr;
        ASSERT_EQ(vb->Lock(first * sizeof(ColourVertex), count * sizeof(ColourVertex), &bits, flags), D3D_OK);
        std::memcpy(bits, vertices, count * sizeof(ColourVertex));
        vb->Unlock();
    }
    void Bind(IDirect3DVertexShader9* vs, IDirect3DVertexDeclaration9* decl, IDirect3DVertexBuffer9* vb)
    {
        dev_->SetVertexShader(vs);
        dev_->SetVertexDeclaration(decl);
        dev_->SetStreamSource(0, vb, 0, sizeof(ColourVertex));
    }

    IDirect3DDevice9* dev_ = nullptr;
    std::vector<IDirect3DUnknown9*> owned_;
};

}  // namespace

TEST_F(GlShaderDrawTest, StaticBufferDrawsWhatItHoldsNowThroughEveryLayout)
{
    ColourVertex quads[12];
    ClipQuad(-1, 0, 0xFFFF0000u, quads);     // left: red
    ClipQuad(0, 1, 0xFF0000FFu, quads + 6);  // right: blue
    IDirect3DVertexBuffer9* vb = Buffer(quads, 12);
    IDirect3DVertexShader9* colour = Shader(kColourShader);
    IDirect3DVertexDeclaration9* colourDecl = Declaration(kColourElements);
    auto drawBoth = [&](IDirect3DDevice9* dev) {
        dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        dev->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);
    };
    Bind(colour, colourDecl, vb);
    Draw(drawBoth, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 255, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 0, 255));

    // A lock after the first draws: both halves show the new contents, the untouched part stays.
    ColourVertex green[6];
    ClipQuad(-1, 0, 0xFF00FF00u, green);
    Fill(vb, 0, green, 6, 0);
    Draw(drawBoth, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 0, 255, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 0, 255));

    // Another layout over the same buffer reads its own decoding of the same bytes.
    Bind(Shader(kCoordShader), Declaration(kCoordElements), vb);
    Draw(drawBoth, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 0, 255, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 0, 255));

    // Indexed, through a base vertex and a stream offset into the same buffer.
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(
        dev_->CreateIndexBuffer(6 * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
        D3D_OK);
    owned_.push_back(ib);
    void* bits = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &bits, 0), D3D_OK);
    const WORD indices[6] = {0, 1, 2, 3, 4, 5};
    std::memcpy(bits, indices, sizeof indices);
    ib->Unlock();
    Bind(colour, colourDecl, vb);
    dev_->SetIndices(ib);
    Draw([](IDirect3DDevice9* dev) { dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 6, 0, 6, 0, 2); }, 0xFF000000u,
         false);
    EXPECT_TRUE(Near(At(16, 32), 0, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 0, 255));
    dev_->SetStreamSource(0, vb, 6 * sizeof(ColourVertex), sizeof(ColourVertex));
    Draw([](IDirect3DDevice9* dev) { dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 6, 0, 2); }, 0xFF000000u,
         false);
    EXPECT_TRUE(Near(At(48, 32), 0, 0, 255));
}

TEST_F(GlShaderDrawTest, DynamicBufferRewrittenBetweenDrawsOfOneScene)
{
    ColourVertex quad[6];
    ClipQuad(-1, 0, 0xFFFF0000u, quad);
    IDirect3DVertexBuffer9* vb = Buffer(quad, 6, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY);
    Bind(Shader(kColourShader), Declaration(kColourElements), vb);
    Draw(
        [&](IDirect3DDevice9* dev) {
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
            ColourVertex right[6];
            ClipQuad(0, 1, 0xFF00FF00u, right);
            Fill(vb, 0, right, 6, D3DLOCK_DISCARD);
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 255, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 255, 0));
}

TEST_F(GlShaderDrawTest, ConstantsChangedUnderAnotherProgramReachEachProgram)
{
    ColourVertex quads[12];
    ClipQuad(-1, 0, 0xFFFFFFFFu, quads);
    ClipQuad(0, 1, 0xFFFFFFFFu, quads + 6);
    IDirect3DVertexBuffer9* vb = Buffer(quads, 12);
    IDirect3DVertexShader9* first = Shader("vs_1_1\ndcl_position v0\nmov oPos, v0\nmov oD0, c0\n");
    IDirect3DVertexShader9* second = Shader("vs_1_1\ndcl_position v0\nmov oPos, v0\nmov oD0, c7\n");
    Bind(first, Declaration(kColourElements), vb);
    const float red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1}, blue[4] = {0, 0, 1, 1};
    dev_->SetVertexShaderConstantF(0, red, 1);
    dev_->SetVertexShaderConstantF(7, green, 1);
    auto pair = [&](IDirect3DDevice9* dev) {
        dev->SetVertexShader(first);
        dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        dev->SetVertexShader(second);
        dev->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);
    };
    Draw(pair, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 255, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 255, 0));

    // Changed while the second program is bound: the first one must see it when it comes back.
    dev_->SetVertexShaderConstantF(0, blue, 1);
    dev_->SetVertexShaderConstantF(7, red, 1);
    Draw(
        [&](IDirect3DDevice9* dev) {
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);
            dev->SetVertexShader(first);
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 0, 0, 255));
    EXPECT_TRUE(Near(At(48, 32), 255, 0, 0));

    // Between two draws of the same program.
    Draw(
        [&](IDirect3DDevice9* dev) {
            dev->SetVertexShader(first);
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
            dev->SetVertexShaderConstantF(0, green, 1);
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 0, 0, 255));
    EXPECT_TRUE(Near(At(48, 32), 0, 255, 0));
}

TEST_F(GlShaderDrawTest, StatesSetBetweenShaderDrawsAndAroundFixedFunctionDrawsTakeEffect)
{
    ColourVertex quads[12];
    ClipQuad(-1, 0, 0xFFFF0000u, quads);
    ClipQuad(0, 1, 0xFF00FF00u, quads + 6);
    IDirect3DVertexBuffer9* vb = Buffer(quads, 12);
    IDirect3DVertexShader9* vs = Shader(kColourShader);
    IDirect3DVertexDeclaration9* decl = Declaration(kColourElements);
    TLVertex fixed[6];
    MakeTLQuad(0, 0, 64, 64, 0xFF0000FFu, fixed);
    Draw(
        [&](IDirect3DDevice9* dev) {
            Bind(vs, decl, vb);
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
            // A render state set within a run of shader draws, then reset.
            dev->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);
            dev->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
            // A fixed-function draw after the shader draws, masked to blue only.
            dev->SetVertexShader(nullptr);
            dev->SetFVF(kTLFVF);
            dev->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_BLUE);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, fixed, sizeof(TLVertex));
            dev->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 255, 0, 255));
    EXPECT_TRUE(Near(At(48, 32), 0, 0, 255));

    // Back to the shader after the fixed-function draw: the mask reset before it holds.
    Draw(
        [&](IDirect3DDevice9* dev) {
            Bind(vs, decl, vb);
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 0, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 255, 0));

    // A lit fixed-function draw after shader draws is lit again: ambient grey, not its red vertex colour.
    LitVertex lit[6];
    MakeFacingQuad(5, 0xFFFF0000u, lit);
    const D3DMATERIAL9 white = MakeWhiteMaterial();
    Draw(
        [&](IDirect3DDevice9* dev) {
            Bind(vs, decl, vb);
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);
            dev->SetVertexShader(nullptr);
            dev->SetFVF(kLitFVF);
            SetUp3D(dev);
            dev->SetMaterial(&white);
            dev->SetRenderState(D3DRS_LIGHTING, TRUE);
            dev->SetRenderState(D3DRS_AMBIENT, 0xFF808080u);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, lit, sizeof(LitVertex));
            dev->SetRenderState(D3DRS_LIGHTING, FALSE);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 128, 128, 128));
    EXPECT_TRUE(Near(At(48, 32), 128, 128, 128));
}

// Shader draws set their own fog and switch lighting off; the fixed-function draw after them, with no state set
// between but the shader and its layout, fogs and lights as the states set before the shader draws say.
TEST_F(GlShaderDrawTest, FixedFunctionDrawAfterShaderDrawsKeepsFogAndLightingSetBefore)
{
    ColourVertex quads[6];
    ClipQuad(-1, 1, 0xFF00FF00u, quads);
    IDirect3DVertexBuffer9* vb = Buffer(quads, 6);
    IDirect3DVertexShader9* vs = Shader(kColourShader);
    IDirect3DVertexDeclaration9* decl = Declaration(kColourElements);
    LitVertex red[6];
    MakeFacingQuad(5, 0xFFFF0000u, red);
    const float fogStart = 0.0f, fogEnd = 1.0f;  // the quad at depth 5 is all fog
    DWORD start = 0, end = 0;
    std::memcpy(&start, &fogStart, sizeof start);
    std::memcpy(&end, &fogEnd, sizeof end);
    const D3DMATERIAL9 white = MakeWhiteMaterial();
    auto fixedAfterShader = [&](IDirect3DDevice9* dev) {
        Bind(vs, decl, vb);
        dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        dev->SetVertexShader(nullptr);
        dev->SetFVF(kLitFVF);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, red, sizeof(LitVertex));
    };
    Draw(
        [&](IDirect3DDevice9* dev) {
            SetUp3D(dev);
            dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
            dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
            dev->SetRenderState(D3DRS_FOGCOLOR, 0xFF0000FFu);
            dev->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_NONE);
            dev->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
            dev->SetRenderState(D3DRS_FOGSTART, start);
            dev->SetRenderState(D3DRS_FOGEND, end);
            fixedAfterShader(dev);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 0, 0, 255));
    EXPECT_TRUE(Near(At(48, 32), 0, 0, 255));

    // Lit with the vertex colour tracked as the diffuse material, by an ambient light only: ambient grey.
    Draw(
        [&](IDirect3DDevice9* dev) {
            SetUp3D(dev);
            dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
            dev->SetRenderState(D3DRS_FOGENABLE, FALSE);
            dev->SetMaterial(&white);
            dev->SetRenderState(D3DRS_LIGHTING, TRUE);
            dev->SetRenderState(D3DRS_AMBIENT, 0xFF808080u);
            dev->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
            fixedAfterShader(dev);
            dev->SetRenderState(D3DRS_LIGHTING, FALSE);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 128, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 128, 0, 0));
}

// Fixed-function draws in a row keep the arrays the first one pointed while they read the same buffer the same way;
// each draw must still read its own buffer, offset and layout, also after shader draws in between.
TEST_F(GlShaderDrawTest, FixedFunctionDrawsInARowReadTheirOwnVertices)
{
    ColourVertex quads[12];
    ClipQuad(-1, 0, 0xFFFF0000u, quads);     // left: red
    ClipQuad(0, 1, 0xFF0000FFu, quads + 6);  // right: blue
    IDirect3DVertexBuffer9* left = Buffer(quads, 6);
    IDirect3DVertexBuffer9* right = Buffer(quads + 6, 6);
    IDirect3DVertexBuffer9* both = Buffer(quads, 12);
    const DWORD colourFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;
    auto from = [&](IDirect3DVertexBuffer9* vb, UINT first, DWORD fvf) {
        dev_->SetVertexShader(nullptr);
        dev_->SetFVF(fvf);
        dev_->SetStreamSource(0, vb, first * sizeof(ColourVertex), sizeof(ColourVertex));
        dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
    };
    // Draws the scene and checks the colour of its left and right halves.
    struct Rgb {
        int r, g, b;
    };
    auto expectHalves = [&](const Scene& scene, Rgb left, Rgb right) {
        Draw(scene, 0xFF000000u, false);
        EXPECT_TRUE(Near(At(16, 32), left.r, left.g, left.b));
        EXPECT_TRUE(Near(At(48, 32), right.r, right.g, right.b));
    };
    const Rgb red = {255, 0, 0}, blue = {0, 0, 255}, white = {255, 255, 255}, black = {0, 0, 0};
    // Another buffer, then another stream offset into one buffer.
    expectHalves(
        [&](IDirect3DDevice9*) {
            from(left, 0, colourFVF);
            from(right, 0, colourFVF);
        },
        red, blue);
    expectHalves(
        [&](IDirect3DDevice9*) {
            from(both, 6, colourFVF);
            from(both, 0, colourFVF);
        },
        red, blue);
    // The same buffer without its colour: the default diffuse, opaque white.
    expectHalves(
        [&](IDirect3DDevice9*) {
            from(both, 6, colourFVF);
            from(both, 0, D3DFVF_XYZ);
        },
        white, blue);
    // A shader draw between two draws from one buffer: the second points the arrays again.
    IDirect3DVertexShader9* vs = Shader(kColourShader);
    IDirect3DVertexDeclaration9* decl = Declaration(kColourElements);
    expectHalves(
        [&](IDirect3DDevice9* dev) {
            from(left, 0, colourFVF);
            Bind(vs, decl, right);
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
            dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
            from(left, 0, colourFVF);
        },
        red, black);
}

// Coordinates generated for a stage are generated again by a fixed-function draw after shader draws, and a stage
// that stops generating them reads its array again.
TEST_F(GlShaderDrawTest, GeneratedCoordinatesAroundShaderDraws)
{
    IDirect3DCubeTexture9* cube = MakeFaceColouredCube(dev_);
    ASSERT_NE(cube, nullptr);
    owned_.push_back(cube);
    const DWORD texels[2] = {0xFFFF0000u, 0xFF00FF00u};  // left texel red, right green
    IDirect3DTexture9* flat = nullptr;
    ASSERT_EQ(dev_->CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &flat, nullptr), D3D_OK);
    owned_.push_back(flat);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(flat->LockRect(0, &lr, nullptr, 0), D3D_OK);
    std::memcpy(lr.pBits, texels, sizeof texels);
    flat->UnlockRect(0);
    ColourVertex quad[6];
    ClipQuad(-1, 1, 0xFF000000u, quad);
    IDirect3DVertexBuffer9* vb = Buffer(quad, 6);
    IDirect3DVertexShader9* vs = Shader(kColourShader);
    IDirect3DVertexDeclaration9* decl = Declaration(kColourElements);
    LitVertex facing[6];
    MakeFacingQuad(1.0f, 0xFFFFFFFFu, facing);  // normals (0, 0, -1): the -Z face, cyan
    auto generated = [&](IDirect3DDevice9* dev) {
        dev->SetVertexShader(nullptr);
        dev->SetFVF(kLitFVF);
        dev->SetTexture(0, cube);
        dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, facing, sizeof(LitVertex));
    };
    auto scene = [&](IDirect3DDevice9* dev) {
        SetUp3D(dev);
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        generated(dev);
        Bind(vs, decl, vb);
        dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        generated(dev);
    };
    Draw(scene, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(32, 32), 0, 255, 255));

    Draw(
        [&](IDirect3DDevice9* dev) {
            scene(dev);
            // The array's coordinates again, through a flat texture: red on the left, green on the right.
            dev->SetTexture(0, flat);
            dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, facing, sizeof(LitVertex));
            dev->SetTexture(0, nullptr);
            dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(8, 32), 255, 0, 0));
    EXPECT_TRUE(Near(At(56, 32), 0, 255, 0));
}

TEST_F(GlPixelTest, ConvertedStaticBufferDrawsWhatItHoldsNow)
{
    IDirect3DDevice9* dev = gl_->get();
    TLVertex quads[12];
    MakeTLQuad(0, 0, 32, 64, 0xFFFF0000u, quads);
    MakeTLQuad(32, 0, 64, 64, 0xFF0000FFu, quads + 6);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(dev->CreateVertexBuffer(sizeof quads, D3DUSAGE_WRITEONLY, kTLFVF, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    auto fill = [&](const TLVertex* vertices, UINT first, UINT count) {
        void* bits = nullptr;
        ASSERT_EQ(vb->Lock(first * sizeof(TLVertex), count * sizeof(TLVertex), &bits, 0), D3D_OK);
        std::memcpy(bits, vertices, count * sizeof(TLVertex));
        vb->Unlock();
    };
    fill(quads, 0, 12);
    dev->SetFVF(kTLFVF);
    dev->SetStreamSource(0, vb, 0, sizeof(TLVertex));
    auto both = [](IDirect3DDevice9* d) {
        d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        d->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);
    };
    Draw(both, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 255, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 0, 255));
    TLVertex green[6];
    MakeTLQuad(32, 0, 64, 64, 0xFF00FF00u, green);
    fill(green, 6, 6);
    Draw(both, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 255, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 255, 0));
    // Indexed from a base vertex, and through a stream offset.
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(dev->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    void* bits = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &bits, 0), D3D_OK);
    const WORD indices[6] = {0, 1, 2, 3, 4, 5};
    std::memcpy(bits, indices, sizeof indices);
    ib->Unlock();
    dev->SetIndices(ib);
    Draw([](IDirect3DDevice9* d) { d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 6, 0, 6, 0, 2); }, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 0, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 255, 0));
    dev->SetStreamSource(0, vb, 6 * sizeof(TLVertex), sizeof(TLVertex));
    Draw([](IDirect3DDevice9* d) { d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2); }, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 0, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 255, 0));
    dev->SetStreamSource(0, nullptr, 0, 0);
    dev->SetIndices(nullptr);
    ib->Release();
    vb->Release();
}

TEST_F(GlPixelTest, TexturesAndStagesSetDrawnAndResetTakeEffect)
{
    IDirect3DDevice9* dev = gl_->get();
    auto solid = [&](DWORD colour) {
        const DWORD texels[4] = {colour, colour, colour, colour};
        return MakeTexture(2, 2, D3DFMT_A8R8G8B8, texels, 8, 2);
    };
    IDirect3DTexture9* red = solid(0xFFFF0000u);
    IDirect3DTexture9* blue = solid(0xFF0000FFu);
    ASSERT_NE(red, nullptr);
    ASSERT_NE(blue, nullptr);
    TLVertex left[6], right[6];
    MakeTLQuad(0, 0, 32, 64, 0xFF00FF00u, left);
    MakeTLQuad(32, 0, 64, 64, 0xFF00FF00u, right);
    dev->SetFVF(kTLFVF);
    auto quad = [&](IDirect3DTexture9* texture, const TLVertex* v) {
        dev->SetTexture(0, texture);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TLVertex));
    };
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Draw(
        [&](IDirect3DDevice9*) {
            quad(red, left);
            quad(blue, right);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 255, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 0, 255));

    // Swapped, and a stage operation set for one draw and reset for the next.
    Draw(
        [&](IDirect3DDevice9* d) {
            quad(blue, left);
            d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
            quad(red, right);
            d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
            quad(red, left);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 255, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 255, 0));

    // New contents of the bound texture, and a texture made after another went (GL may reuse its name).
    D3DLOCKED_RECT lr;
    ASSERT_EQ(red->LockRect(0, &lr, nullptr, 0), D3D_OK);
    for (int y = 0; y < 2; ++y) {
        DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch);
        row[0] = row[1] = 0xFFFFFF00u;
    }
    red->UnlockRect(0);
    Draw([&](IDirect3DDevice9*) { quad(red, left); }, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 255, 255, 0));
    dev->SetTexture(0, nullptr);
    blue->Release();
    IDirect3DTexture9* cyan = solid(0xFF00FFFFu);
    ASSERT_NE(cyan, nullptr);
    Draw(
        [&](IDirect3DDevice9*) {
            quad(red, left);
            quad(cyan, right);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 255, 255, 0));
    EXPECT_TRUE(Near(At(48, 32), 0, 255, 255));
    dev->SetTexture(0, nullptr);
    cyan->Release();
    red->Release();
}

TEST_F(GlPixelTest, RenderStatesSetDrawnResetAndClearedTakeEffect)
{
    TLVertex left[6], right[6];
    MakeTLQuad(0, 0, 32, 64, 0xFFFFFFFFu, left);
    MakeTLQuad(32, 0, 64, 64, 0xFF404040u, right);
    Draw([&](IDirect3DDevice9* dev) {
        dev->SetFVF(kTLFVF);
        // Red only, then a clear (which writes every channel itself), then a draw still masked to red.
        dev->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, left, sizeof(TLVertex));
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, left, sizeof(TLVertex));
        dev->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
        // Additive blending for one draw, then off again: the second grey quad replaces the first sum.
        dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, right, sizeof(TLVertex));
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, right, sizeof(TLVertex));
        dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    });
    EXPECT_TRUE(Near(At(16, 32), 255, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 128, 128, 128));
    Draw([&](IDirect3DDevice9* dev) {
        dev->SetFVF(kTLFVF);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, right, sizeof(TLVertex));
        dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, right, sizeof(TLVertex));
    });
    EXPECT_TRUE(Near(At(16, 32), 0, 0, 0));
    EXPECT_TRUE(Near(At(48, 32), 64, 64, 64));
}

// A shader reading constants through a0 holds only the registers in use when it was made: registers set later,
// far past them, must reach it, the ones set before must stay, and addresses past every register set read zero.
TEST_F(GlShaderDrawTest, RelativeReadsSeeRegistersSetAfterTheShaderWasMade)
{
    ColourVertex quad[6];
    ClipQuad(-1, 1, 0xFFFFFFFFu, quad);
    IDirect3DVertexShader9* vs =
        Shader("vs_1_1\ndcl_position v0\nmov a0.x, c0.x\nmov oPos, v0\nmov oD0, c[a0.x + 1]\n");
    Bind(vs, Declaration(kColourElements), Buffer(quad, 6));
    const float red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1};
    auto drawAt = [&](float address) {
        const float a[4] = {address, 0, 0, 0};
        dev_->SetVertexShaderConstantF(0, a, 1);
        Draw([](IDirect3DDevice9* dev) { dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2); }, 0xFF0000FFu, false);
        return At(32, 32);
    };
    dev_->SetVertexShaderConstantF(1, red, 1);
    EXPECT_TRUE(Near(drawAt(0), 255, 0, 0));
    dev_->SetVertexShaderConstantF(201, green, 1);
    EXPECT_TRUE(Near(drawAt(200), 0, 255, 0));
    EXPECT_TRUE(Near(drawAt(0), 255, 0, 0));
    EXPECT_TRUE(Near(drawAt(230), 0, 0, 0));
}

// Texture coordinates the shader does not write read (0, 0, 0, 1), also after fixed-function draws fed the same
// unit from an array.
TEST_F(GlShaderDrawTest, StageReadingACoordinateTheShaderLeavesAloneSamplesTheOrigin)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(dev_->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    owned_.push_back(texture);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(texture->LockRect(0, &lr, nullptr, 0), D3D_OK);
    for (int y = 0; y < 2; ++y) {
        DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch);
        row[0] = y == 0 ? 0xFFFF0000u : 0xFF00FF00u;  // red at the origin only
        row[1] = 0xFF00FF00u;
    }
    texture->UnlockRect(0);
    dev_->SetTexture(0, texture);
    dev_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    dev_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    ColourVertex quad[6];
    ClipQuad(0, 1, 0xFFFFFFFFu, quad);
    IDirect3DVertexBuffer9* vb = Buffer(quad, 6);
    IDirect3DVertexDeclaration9* decl = Declaration(kColourElements);
    TLVertex fixed[6];
    MakeTLQuad(0, 0, 32, 64, 0xFFFFFFFFu, fixed);
    for (TLVertex& v : fixed)
        v.u = v.v = 0.75f;  // the green texel diagonal from the origin
    Draw(
        [&](IDirect3DDevice9* dev) {
            dev->SetVertexShader(nullptr);
            dev->SetFVF(kTLFVF);
            dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, fixed, sizeof(TLVertex));
            Bind(Shader(kColourShader), decl, vb);
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        },
        0xFF000000u, false);
    EXPECT_TRUE(Near(At(16, 32), 0, 255, 0));
    EXPECT_TRUE(Near(At(48, 32), 255, 0, 0));
}

// A unit changes only what differs between two draws' stages: the texture alone, its kind (a cube map takes
// precedence over a flat texture GL still has enabled), or whether there is one at all.
TEST_F(GlPixelTest, StageTextureKindAndPresenceChangedBetweenDraws)
{
    IDirect3DDevice9* dev = gl_->get();
    IDirect3DCubeTexture9* cube = MakeFaceColouredCube(dev);
    ASSERT_NE(cube, nullptr);
    const DWORD texels[4] = {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u};
    IDirect3DTexture9* red = MakeTexture(2, 2, D3DFMT_A8R8G8B8, texels, 8, 2);
    ASSERT_NE(red, nullptr);
    LitVertex v[6];
    MakeFacingQuad(1.0f, 0xFF00FF00u, v);  // green vertices; normals pick the cube's cyan -Z face
    auto quad = [&](IDirect3DDevice9* d, IDirect3DBaseTexture9* texture, DWORD coordinates) {
        d->SetTexture(0, texture);
        d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, coordinates);
        d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(LitVertex));
    };
    auto scene = [&](IDirect3DDevice9* d, IDirect3DBaseTexture9* first, DWORD firstCoordinates,
                     IDirect3DBaseTexture9* second, DWORD secondCoordinates) {
        SetUp3D(d);
        d->SetRenderState(D3DRS_LIGHTING, FALSE);
        d->SetFVF(kLitFVF);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        quad(d, first, firstCoordinates);
        quad(d, second, secondCoordinates);
        d->SetTexture(0, nullptr);
        d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    };
    const DWORD normal = D3DTSS_TCI_CAMERASPACENORMAL;
    Draw([&](IDirect3DDevice9* d) { scene(d, cube, normal, red, 0); }, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(32, 32), 255, 0, 0));
    Draw([&](IDirect3DDevice9* d) { scene(d, red, 0, cube, normal); }, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(32, 32), 0, 255, 255));
    // Without a texture the operation that reads it passes the vertex colour on.
    Draw([&](IDirect3DDevice9* d) { scene(d, red, 0, nullptr, 0); }, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(32, 32), 0, 255, 0));
    Draw([&](IDirect3DDevice9* d) { scene(d, nullptr, 0, red, 0); }, 0xFF000000u, false);
    EXPECT_TRUE(Near(At(32, 32), 255, 0, 0));
    red->Release();
    cube->Release();
}
