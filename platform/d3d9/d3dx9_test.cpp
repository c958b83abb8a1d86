// Tests of the D3DX9-shaped matrix and vector helpers.
#include "platform/d3d9/d3dx9.h"
#include "platform/d3d9/gl_pixel_testing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

D3DXMATRIX MakeTranslation(float x, float y, float z)
{
    D3DXMATRIX m = MakeIdentity();
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

D3DXMATRIX MakeCountingMatrix()
{
    D3DXMATRIX m;
    for (int i = 0; i < 16; ++i)
        m.m[i / 4][i % 4] = static_cast<float>(i + 1);
    return m;
}

TEST(D3DXMatrix, MultiplyIsRowMajorAndMayAliasItsInputs)
{
    D3DXMATRIX a = MakeCountingMatrix();
    D3DXMATRIX t = MakeTranslation(10.0f, 20.0f, 30.0f);
    D3DXMATRIX r;
    D3DXMatrixMultiply(&r, &a, &t);
    // Row 0 of a is (1, 2, 3, 4): the translation row is weighted by w = 4.
    EXPECT_FLOAT_EQ(r._11, 1.0f + 4.0f * 10.0f);
    EXPECT_FLOAT_EQ(r._12, 2.0f + 4.0f * 20.0f);
    EXPECT_FLOAT_EQ(r._14, 4.0f);
    // Applying a then t to a point is the point times (a * t).
    D3DXMATRIX b = MakeCountingMatrix();
    D3DXMatrixMultiply(&b, &b, &t);  // aliasing the output with the first input
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            EXPECT_FLOAT_EQ(b.m[i][j], r.m[i][j]);
    }
    D3DXMATRIX c = MakeCountingMatrix();
    D3DXMATRIX expected;
    D3DXMatrixMultiply(&expected, &c, &c);
    D3DXMatrixMultiply(&c, &c, &c);
    EXPECT_FLOAT_EQ(c._23, expected._23);
    EXPECT_FLOAT_EQ(expected._11, 1 * 1 + 2 * 5 + 3 * 9 + 4 * 13);
}

TEST(D3DXMatrix, TransposeAndMultiplyTranspose)
{
    D3DXMATRIX a = MakeCountingMatrix();
    D3DXMATRIX t;
    D3DXMatrixTranspose(&t, &a);
    EXPECT_FLOAT_EQ(t._12, a._21);
    EXPECT_FLOAT_EQ(t._41, a._14);
    D3DXMatrixTranspose(&a, &a);
    EXPECT_FLOAT_EQ(a._12, 5.0f);
    D3DXMATRIX x = MakeCountingMatrix();
    D3DXMATRIX y = MakeTranslation(1.0f, 2.0f, 3.0f);
    D3DXMATRIX product, transposed, both;
    D3DXMatrixMultiply(&product, &x, &y);
    D3DXMatrixTranspose(&transposed, &product);
    D3DXMatrixMultiplyTranspose(&both, &x, &y);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            EXPECT_FLOAT_EQ(both.m[i][j], transposed.m[i][j]);
    }
}

TEST(D3DXVector, TransformsUseRowVectors)
{
    D3DXMATRIX t = MakeTranslation(10.0f, 20.0f, 30.0f);
    t._11 = 2.0f;
    D3DXVECTOR3 v(1.0f, 2.0f, 3.0f), out;
    D3DXVec3TransformNormal(&out, &v, &t);  // w = 0: no translation
    EXPECT_FLOAT_EQ(out.x, 2.0f);
    EXPECT_FLOAT_EQ(out.y, 2.0f);
    EXPECT_FLOAT_EQ(out.z, 3.0f);
    D3DXVec3TransformCoord(&out, &v, &t);
    EXPECT_FLOAT_EQ(out.x, 12.0f);
    EXPECT_FLOAT_EQ(out.y, 22.0f);
    EXPECT_FLOAT_EQ(out.z, 33.0f);
    // A projective matrix: the result is divided by w.
    D3DXMATRIX p = MakeIdentity();
    p._34 = 1.0f;
    p._44 = 0.0f;
    D3DXVec3TransformCoord(&out, &v, &p);
    EXPECT_FLOAT_EQ(out.x, 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(out.z, 1.0f);
    // In place.
    D3DXVec3TransformCoord(&v, &v, &t);
    EXPECT_FLOAT_EQ(v.x, 12.0f);
}

TEST(D3DXShader, AssemblesIntoABufferAndReportsErrorsInOne)
{
    ID3DXBuffer* shader = nullptr;
    ID3DXBuffer* errors = nullptr;
    const char src[] = "vs_1_1\nmov oPos, v0\n";
    ASSERT_EQ(D3DXAssembleShader(src, sizeof(src) - 1, nullptr, nullptr, 0, &shader, &errors), D3D_OK);
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(errors, nullptr);
    const DWORD expected[] = {0xFFFE0101u, 0x00000001u, 0xC00F0000u, 0x90E40000u, 0x0000FFFFu};
    ASSERT_EQ(shader->GetBufferSize(), sizeof(expected));
    EXPECT_EQ(std::memcmp(shader->GetBufferPointer(), expected, sizeof(expected)), 0);
    EXPECT_EQ(shader->Release(), 0u);

    const char bad[] = "vs_1_1\nmov oPos, v0\nfrob r0, r1\n";
    shader = reinterpret_cast<ID3DXBuffer*>(1);
    EXPECT_EQ(D3DXAssembleShader(bad, sizeof(bad) - 1, nullptr, nullptr, 0, &shader, &errors), D3DXERR_INVALIDDATA);
    EXPECT_EQ(shader, nullptr);
    ASSERT_NE(errors, nullptr);
    std::string message(static_cast<const char*>(errors->GetBufferPointer()));
    EXPECT_NE(message.find("line 3"), std::string::npos) << message;
    EXPECT_NE(message.find("frob"), std::string::npos) << message;
    EXPECT_EQ(errors->Release(), 0u);
    EXPECT_TRUE(FAILED(D3DXAssembleShader(bad, sizeof(bad) - 1, nullptr, nullptr, 0, &shader, nullptr)));
}

}  // namespace
