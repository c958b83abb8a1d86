// Tests of the square-root tables, vector functions and matrix operations against plain reference maths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "gfx/core/core_local.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/matrix.h"

namespace {

// Row-vector 4x4 reference in double precision: rows right, up, at, pos.
struct Ref {
    double m[4][4];
};

Ref ToRef(const GxMatrix& a)
{
    const GxV3d* rows[4] = {&a.right, &a.up, &a.at, &a.pos};
    Ref r{};
    for (int i = 0; i < 4; i++) {
        r.m[i][0] = rows[i]->x;
        r.m[i][1] = rows[i]->y;
        r.m[i][2] = rows[i]->z;
        r.m[i][3] = i == 3 ? 1.0 : 0.0;
    }
    return r;
}

Ref Mul(const Ref& a, const Ref& b)
{
    Ref r{};
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 4; j++) {
            for (int k = 0; k < 4; k++) {
                r.m[i][j] += a.m[i][k] * b.m[k][j];
            }
        }
    }
    return r;
}

// Image of each basis vector under a rotation about a unit axis (Rodrigues).
Ref RotationRef(double x, double y, double z, double degrees)
{
    const double len = std::sqrt(x * x + y * y + z * z);
    x /= len;
    y /= len;
    z /= len;
    const double t = degrees * M_PI / 180.0;
    const double c = std::cos(t);
    const double s = std::sin(t);
    Ref r{};
    for (int i = 0; i < 3; i++) {
        const double v[3] = {i == 0 ? 1.0 : 0.0, i == 1 ? 1.0 : 0.0, i == 2 ? 1.0 : 0.0};
        const double cross[3] = {y * v[2] - z * v[1], z * v[0] - x * v[2], x * v[1] - y * v[0]};
        const double dot = x * v[0] + y * v[1] + z * v[2];
        const double k[3] = {x, y, z};
        for (int j = 0; j < 3; j++) {
            r.m[i][j] = v[j] * c + cross[j] * s + k[j] * dot * (1.0 - c);
        }
    }
    r.m[3][3] = 1.0;
    return r;
}

Ref TranslationRef(const GxV3d& t)
{
    Ref r{};
    for (int i = 0; i < 4; i++) {
        r.m[i][i] = 1.0;
    }
    r.m[3][0] = t.x;
    r.m[3][1] = t.y;
    r.m[3][2] = t.z;
    return r;
}

Ref ScaleRef(const GxV3d& s)
{
    Ref r{};
    r.m[0][0] = s.x;
    r.m[1][1] = s.y;
    r.m[2][2] = s.z;
    r.m[3][3] = 1.0;
    return r;
}

void ExpectNear(const GxMatrix& a, const Ref& b, double tolerance = 1e-3)
{
    const Ref r = ToRef(a);
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 3; j++) {
            EXPECT_NEAR(r.m[i][j], b.m[i][j], tolerance) << "row " << i << " column " << j;
        }
    }
}

GxMatrix Make(GxV3d right, GxV3d up, GxV3d at, GxV3d pos, GxUInt32 flags = 0)
{
    GxMatrix m;
    std::memset(&m, 0, sizeof(m));
    m.right = right;
    m.up = up;
    m.at = at;
    m.pos = pos;
    m.flags = flags;
    return m;
}

// A general (non-orthogonal) matrix and a rotated-translated one.
GxMatrix General() { return Make({1.5f, 0.2f, -0.3f}, {0.1f, 0.8f, 0.4f}, {-0.2f, 0.3f, 2.0f}, {3.0f, -1.0f, 0.5f}); }

GxMatrix RigidMotion()
{
    GxMatrix m;
    GxMatrixSetIdentity(&m);
    const GxV3d axis = {1.0f, 2.0f, 3.0f};
    const GxV3d t = {4.0f, 5.0f, -6.0f};
    GxMatrixRotate(&m, &axis, 40.0f, gxCOMBINEREPLACE);
    GxMatrixTranslate(&m, &t, gxCOMBINEPOSTCONCAT);
    return m;
}

GxInt32 countedMultiplies = 0;

// Writes dst row by row while reading its sources, so aliasing would corrupt it.
GxMatrix* NaiveMultiply(GxMatrix* dst, const GxMatrix* a, const GxMatrix* b)
{
    countedMultiplies++;
    GxV3d GxMatrix::*rows[4] = {&GxMatrix::right, &GxMatrix::up, &GxMatrix::at, &GxMatrix::pos};
    for (int i = 0; i < 4; i++) {
        const GxV3d& r = a->*rows[i];
        GxV3d out = {r.x * b->right.x + r.y * b->up.x + r.z * b->at.x, r.x * b->right.y + r.y * b->up.y + r.z * b->at.y,
                     r.x * b->right.z + r.y * b->up.z + r.z * b->at.z};
        if (i == 3) {
            out.x += b->pos.x;
            out.y += b->pos.y;
            out.z += b->pos.z;
        }
        dst->*rows[i] = out;
    }
    return dst;
}

GxInt32 countedPointTransforms = 0;
GxV3d* CountingTransformPoint(GxV3d* dst, const GxV3d* src, const GxMatrix*)
{
    countedPointTransforms++;
    *dst = *src;
    return dst;
}

class MatrixTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(GxTestEngineStart()); }
    void TearDown() override { GxTestEngineShutdown(); }
};

TEST_F(MatrixTest, SquareRootTablesHitTheirEdgeCasesAndStayAccurate)
{
    EXPECT_EQ(GxSqrt(4.0f), 2.0f);
    EXPECT_EQ(GxInvSqrt(4.0f), 0.5f);
    EXPECT_EQ(GxSqrt(1.0f), 1.0f);
    EXPECT_EQ(GxSqrt(0.0f), 0.0f);
    EXPECT_EQ(GxInvSqrt(0.0f), 0.0f);
    // Both halves of the table, the rounding carry into the next exponent and extreme exponents.
    for (float x = 1e-30f; x < 1e30f; x *= 1.37f) {
        EXPECT_NEAR(GxSqrt(x) / std::sqrt(x), 1.0, 2e-4) << x;
        EXPECT_NEAR(GxInvSqrt(x) * std::sqrt(x), 1.0, 2e-4) << x;
    }
    EXPECT_NEAR(GxSqrt(std::nextafter(2.0f, 0.0f)), std::sqrt(2.0f), 1e-3);
    EXPECT_NEAR(GxSqrt(std::nextafter(4.0f, 0.0f)), 2.0f, 1e-3);
}

TEST_F(MatrixTest, SquareRootWorksWithoutAStartedEngine)
{
    GxTestEngineShutdown();
    EXPECT_NEAR(GxSqrt(9.0f), 3.0f, 1e-6);
    EXPECT_NEAR(GxInvSqrt(16.0f), 0.25f, 1e-6);
}

TEST_F(MatrixTest, VectorLengthsAndNormalisation)
{
    const GxV3d v = {3.0f, 4.0f, 12.0f};
    const GxV2d w = {6.0f, 8.0f};
    EXPECT_NEAR(GxV3dLength(&v), 13.0f, 1e-3);
    EXPECT_NEAR(GxV2dLength(&w), 10.0f, 1e-3);

    GxV3d n = v;
    EXPECT_NEAR(GxV3dNormalize(&n, &n), 13.0f, 1e-3);
    EXPECT_NEAR(GxV3dLength(&n), 1.0f, 1e-3);
    EXPECT_NEAR(n.z, 12.0f / 13.0f, 1e-3);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);

    const GxV3d zero = {0.0f, 0.0f, 0.0f};
    GxV3d out = {7.0f, 7.0f, 7.0f};
    EXPECT_EQ(GxV3dNormalize(&out, &zero), 0.0f);
    EXPECT_EQ(out.x, 0.0f);
    EXPECT_EQ(out.y, 0.0f);
    EXPECT_EQ(out.z, 0.0f);
    const GxError error = GxTestTakeError();
    EXPECT_EQ(error.pluginID, gxPLUGINCORE);
    EXPECT_EQ(error.errorCode, gxERRZEROLENGTH);

    GxV3d fast;
    EXPECT_NEAR(GxV3dNormalizeFast(&fast, &v), 1.0f / 13.0f, 1e-5);
    EXPECT_NEAR(fast.x, 3.0f / 13.0f, 1e-3);
    EXPECT_EQ(GxV3dNormalizeFast(&fast, &zero), 0.0f);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);
}

TEST_F(MatrixTest, TransformsMatchReferenceInPlaceAndThroughReplacedRoutines)
{
    const GxMatrix m = General();
    const Ref r = ToRef(m);
    GxV3d points[3] = {{1.0f, 2.0f, 3.0f}, {-1.0f, 0.5f, 0.0f}, {0.0f, 0.0f, -2.0f}};
    GxV3d expectPoint[3];
    GxV3d expectVector[3];
    for (int i = 0; i < 3; i++) {
        const double p[3] = {points[i].x, points[i].y, points[i].z};
        double o[3];
        for (int j = 0; j < 3; j++) {
            o[j] = p[0] * r.m[0][j] + p[1] * r.m[1][j] + p[2] * r.m[2][j];
        }
        expectVector[i] = {float(o[0]), float(o[1]), float(o[2])};
        expectPoint[i] = {float(o[0] + r.m[3][0]), float(o[1] + r.m[3][1]), float(o[2] + r.m[3][2])};
    }
    GxV3d single;
    GxV3dTransformPoint(&single, &points[0], &m);
    EXPECT_NEAR(single.z, expectPoint[0].z, 1e-4);
    GxV3dTransformVector(&single, &points[0], &m);
    EXPECT_NEAR(single.x, expectVector[0].x, 1e-4);

    GxV3d inPlace[3];
    std::memcpy(inPlace, points, sizeof(points));
    EXPECT_EQ(GxV3dTransformPoints(inPlace, inPlace, 3, &m), inPlace);
    GxV3d vectors[3];
    GxV3dTransformVectors(vectors, points, 3, &m);
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(inPlace[i].x, expectPoint[i].x, 1e-4);
        EXPECT_NEAR(inPlace[i].y, expectPoint[i].y, 1e-4);
        EXPECT_NEAR(inPlace[i].z, expectPoint[i].z, 1e-4);
        EXPECT_NEAR(vectors[i].y, expectVector[i].y, 1e-4);
    }
    GxV3dTransformPointsX87(inPlace, points, 3, &m);
    EXPECT_NEAR(inPlace[2].x, expectPoint[2].x, 1e-4);

    countedPointTransforms = 0;
    ASSERT_TRUE(GxV3dSetTransformFunctions(CountingTransformPoint, nullptr, nullptr, nullptr));
    GxV3dTransformPoint(&single, &points[1], &m);
    EXPECT_EQ(countedPointTransforms, 1);
    ASSERT_TRUE(GxV3dSetTransformFunctions(nullptr, nullptr, nullptr, nullptr));
    GxV3dTransformPoint(&single, &points[1], &m);
    EXPECT_EQ(countedPointTransforms, 1);
    EXPECT_NEAR(single.x, expectPoint[1].x, 1e-4);
}

TEST_F(MatrixTest, MultiplyMatchesReferenceWithAliasingAndReplacedRoutine)
{
    const GxMatrix a = General();
    const GxMatrix b = RigidMotion();
    const Ref expectAB = Mul(ToRef(a), ToRef(b));
    const Ref expectAA = Mul(ToRef(a), ToRef(a));

    GxMatrix dst;
    GxMatrixMultiply(&dst, &a, &b);
    ExpectNear(dst, expectAB);
    EXPECT_EQ(dst.flags, a.flags & b.flags);

    for (int routine = 0; routine < 2; routine++) {
        ASSERT_TRUE(GxMatrixSetMultiplyFunction(routine == 0 ? nullptr : NaiveMultiply));
        GxMatrix m = a;
        GxMatrixMultiply(&m, &m, &b);
        ExpectNear(m, expectAB);
        m = b;
        GxMatrixMultiply(&m, &a, &m);
        ExpectNear(m, expectAB);
        m = a;
        GxMatrixMultiply(&m, &m, &m);
        ExpectNear(m, expectAA);
        GxMatrixMultiplyX87(&m, &a, &b);
        ExpectNear(m, expectAB);
    }
    GxMatrixSetMultiplyFunction(nullptr);

    // An identity operand copies the other one whole, flags included.
    GxMatrix identity;
    GxMatrixSetIdentity(&identity);
    GxMatrix other = a;
    other.flags = 0x12345;
    GxMatrixMultiply(&dst, &identity, &other);
    EXPECT_EQ(std::memcmp(&dst, &other, sizeof(dst)), 0);
    GxMatrixMultiply(&dst, &other, &identity);
    EXPECT_EQ(std::memcmp(&dst, &other, sizeof(dst)), 0);
}

// The built-in product must give each value exactly as the written-out sums in their order (frames, bones and
// skins would otherwise move by a rounding), in place too, and leave the destination's pad words alone.
TEST_F(MatrixTest, BuiltInProductIsTheWrittenOutSumsBitForBitAndKeepsPads)
{
    GxMatrix a = General();
    GxMatrix b = RigidMotion();
    a.right = {1e-3f, 7.77f, -123.456f};
    b.pos = {1e7f, -3.3e-5f, 0.1f};
    a.flags = 0x0000000Fu;  // as floats these would be denormals
    b.flags = 0x00010003u;
    GxMatrix expected = {};
    NaiveMultiply(&expected, &a, &b);
    const GxUInt32 pads[3] = {0x7FC00001u, 0x00000001u, 0xDEADBEEFu};
    const auto check = [&](const GxMatrix& m, const GxUInt32(&keep)[3]) {
        EXPECT_EQ(std::memcmp(&m.right, &expected.right, sizeof(GxV3d)), 0);
        EXPECT_EQ(std::memcmp(&m.up, &expected.up, sizeof(GxV3d)), 0);
        EXPECT_EQ(std::memcmp(&m.at, &expected.at, sizeof(GxV3d)), 0);
        EXPECT_EQ(std::memcmp(&m.pos, &expected.pos, sizeof(GxV3d)), 0);
        EXPECT_EQ(m.flags, a.flags & b.flags);
        EXPECT_EQ(m.pad1, keep[0]);
        EXPECT_EQ(m.pad2, keep[1]);
        EXPECT_EQ(m.pad3, keep[2]);
    };
    GxMatrix dst = {};
    dst.pad1 = pads[0];
    dst.pad2 = pads[1];
    dst.pad3 = pads[2];
    GxMatrixMultiply(&dst, &a, &b);
    check(dst, pads);
    GxMatrix inPlace = a;
    GxMatrixMultiply(&inPlace, &inPlace, &b);
    check(inPlace, {a.pad1, a.pad2, a.pad3});
    inPlace = b;
    GxMatrixMultiply(&inPlace, &a, &inPlace);
    check(inPlace, {b.pad1, b.pad2, b.pad3});
}

TEST_F(MatrixTest, RotateTranslateScaleEachCombineMatchReference)
{
    const GxV3d axis = {0.3f, -1.0f, 0.5f};
    const GxV3d t = {2.0f, -3.0f, 0.25f};
    const GxV3d s = {2.0f, 0.5f, -1.5f};
    const GxMatrix base = General();
    const Ref rot = RotationRef(axis.x, axis.y, axis.z, 35.0);
    const Ref trans = TranslationRef(t);
    const Ref scale = ScaleRef(s);
    const Ref baseRef = ToRef(base);

    // Replacing gives the operation alone; pre- and post-concatenation put it before or after the base.
    GxMatrix replaced, m;
    auto expectEachCombine = [&](const char* what, const Ref& ref, auto apply) {
        SCOPED_TRACE(what);
        replaced = base;
        EXPECT_EQ(apply(&replaced, gxCOMBINEREPLACE), &replaced);
        ExpectNear(replaced, ref);
        m = base;
        apply(&m, gxCOMBINEPRECONCAT);
        ExpectNear(m, Mul(ref, baseRef));
        m = base;
        apply(&m, gxCOMBINEPOSTCONCAT);
        ExpectNear(m, Mul(baseRef, ref));
    };
    expectEachCombine("rotate", rot, [&](GxMatrix* x, GxInt32 c) { return GxMatrixRotate(x, &axis, 35.0f, c); });
    EXPECT_EQ(replaced.flags, GxUInt32(gxMATRIXTYPEORTHONORMAL));
    expectEachCombine("translate", trans, [&](GxMatrix* x, GxInt32 c) { return GxMatrixTranslate(x, &t, c); });
    EXPECT_EQ(replaced.flags & 0x20003u, GxUInt32(gxMATRIXTYPEORTHONORMAL));
    expectEachCombine("scale", scale, [&](GxMatrix* x, GxInt32 c) { return GxMatrixScale(x, &s, c); });
    EXPECT_EQ(m.flags & 0x20003u, 0u);

    const GxMatrix other = RigidMotion();
    expectEachCombine("transform", ToRef(other),
                      [&](GxMatrix* x, GxInt32 c) { return GxMatrixTransform(x, &other, c); });
    m = base;
    GxMatrixTransform(&m, &m, gxCOMBINEPOSTCONCAT);
    ExpectNear(m, Mul(baseRef, baseRef));

    // Combining onto an identity gives the rotation itself.
    GxMatrixSetIdentity(&m);
    GxMatrixRotate(&m, &axis, 35.0f, gxCOMBINEPOSTCONCAT);
    ExpectNear(m, rot);
    EXPECT_EQ(m.flags, GxUInt32(gxMATRIXTYPEORTHONORMAL));
}

TEST_F(MatrixTest, RotateAboutScaledZAxis)
{
    GxMatrix m;
    GxMatrixSetIdentity(&m);
    const GxV3d axis = {0.0f, 0.0f, 2.0f};
    GxMatrixRotate(&m, &axis, 90.0f, gxCOMBINEREPLACE);
    EXPECT_NEAR(m.right.x, 0.0f, 1e-3);
    EXPECT_NEAR(m.right.y, 1.0f, 1e-3);
    EXPECT_NEAR(m.up.x, -1.0f, 1e-3);
    EXPECT_NEAR(m.up.y, 0.0f, 1e-3);
    EXPECT_NEAR(m.at.z, 1.0f, 1e-3);
}

TEST_F(MatrixTest, InvalidCombineFailsAndLeavesMatrixAlone)
{
    const GxMatrix base = General();
    const GxV3d v = {1.0f, 2.0f, 3.0f};
    for (int op = 0; op < 5; op++) {
        GxMatrix m = base;
        GxMatrix* result = nullptr;
        switch (op) {
        case 0:
            result = GxMatrixTranslate(&m, &v, 3);
            break;
        case 1:
            result = GxMatrixRotate(&m, &v, 10.0f, -1);
            break;
        case 2:
            result = GxMatrixRotateCosSin(&m, &v, 0.5f, 0.5f, 3);
            break;
        case 3:
            result = GxMatrixScale(&m, &v, 7);
            break;
        default:
            result = GxMatrixTransform(&m, &base, 3);
            break;
        }
        EXPECT_EQ(result, nullptr) << op;
        EXPECT_EQ(std::memcmp(&m, &base, sizeof(m)), 0) << op;
        const GxError error = GxTestTakeError();
        EXPECT_EQ(error.pluginID, 0) << op;
        EXPECT_EQ(error.errorCode, gxERRINVALIDENUM) << op;
    }
}

TEST_F(MatrixTest, InvertOrthonormalGeneralSingularAndInPlace)
{
    GxMatrix identity;
    GxMatrixSetIdentity(&identity);

    const GxMatrix rigid = RigidMotion();
    ASSERT_EQ(rigid.flags & 3u, 3u);
    GxMatrix inverse;
    GxMatrixInvert(&inverse, &rigid);
    EXPECT_EQ(inverse.flags, GxUInt32(gxMATRIXTYPEORTHONORMAL));
    ExpectNear(identity, Mul(ToRef(rigid), ToRef(inverse)));
    ExpectNear(identity, Mul(ToRef(inverse), ToRef(rigid)));

    const GxMatrix general = General();
    GxMatrix m = general;
    GxMatrixInvert(&m, &m);
    EXPECT_EQ(m.flags, 0u);
    ExpectNear(identity, Mul(ToRef(general), ToRef(m)));
    ExpectNear(identity, Mul(ToRef(m), ToRef(general)));

    GxMatrix copy;
    GxMatrixInvert(&copy, &identity);
    EXPECT_EQ(std::memcmp(&copy, &identity, sizeof(copy)), 0);

    // A singular matrix gives finite cofactors, not a crash or a division by zero.
    GxMatrix singular = Make({1, 2, 3}, {2, 4, 6}, {0, 1, 0}, {1, 1, 1});
    GxMatrixInvert(&m, &singular);
    EXPECT_TRUE(std::isfinite(m.right.x) && std::isfinite(m.pos.z));
}

TEST_F(MatrixTest, OrthoNormalizeKeepsTheLeastDisturbedAxis)
{
    // Up is nearly orthogonal to at, so it is kept; the result is orthonormal and right-handed.
    // The result keeps the destination's own flag bits, less the identity bit.
    GxMatrix m = Make({1.0f, 0.3f, 0.1f}, {0.0f, 2.0f, 0.0f}, {0.0f, 0.05f, 1.0f}, {5, 6, 7}, 0x20000 | 0x80);
    GxMatrix out = Make({0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 0x20000 | 0x40);
    GxMatrixOrthoNormalize(&out, &m);
    EXPECT_LT(GxMatrixNormalError(&out), 1e-4);
    EXPECT_LT(GxMatrixOrthogonalError(&out), 1e-4);
    EXPECT_NEAR(GxMatrixDeterminant(&out), 1.0f, 1e-3);
    EXPECT_NEAR(out.up.y, 1.0f, 1e-3);
    EXPECT_EQ(out.pos.z, 7.0f);
    EXPECT_EQ(out.flags, GxUInt32(0x40 | gxMATRIXTYPEORTHONORMAL));

    // In place, with a zero right axis: up is kept and right rebuilt.
    m = Make({0, 0, 0}, {0, 3, 0}, {0, 0, 2}, {0, 0, 0});
    GxMatrixOrthoNormalize(&m, &m);
    EXPECT_NEAR(m.right.x, 1.0f, 1e-3);
    EXPECT_NEAR(m.at.z, 1.0f, 1e-3);

    // Zero up: at is kept.
    m = Make({2, 0, 0.5f}, {0, 0, 0}, {0, 0, 4}, {0, 0, 0});
    GxMatrixOrthoNormalize(&m, &m);
    EXPECT_NEAR(m.at.z, 1.0f, 1e-3);
    EXPECT_NEAR(m.up.y, 1.0f, 1e-3);
    EXPECT_LT(GxMatrixOrthogonalError(&m), 1e-4);

    // Everything zero stays finite.
    m = Make({0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0});
    GxMatrixOrthoNormalize(&m, &m);
    EXPECT_TRUE(std::isfinite(m.right.x) && std::isfinite(m.up.y) && std::isfinite(m.at.z));
}

TEST_F(MatrixTest, OptimizeAndMeasures)
{
    GxMatrix m;
    GxMatrixSetIdentity(&m);
    const GxV3d scale = {1.1f, 1.1f, 1.1f};
    GxMatrixScale(&m, &scale, gxCOMBINEREPLACE);
    m.flags = 0x20003 | 0x40;
    GxMatrixOptimize(&m, nullptr);
    EXPECT_EQ(m.flags, 0x40u | gxMATRIXTYPEORTHOGONAL);

    GxMatrixSetIdentity(&m);
    m.flags = 0;
    GxMatrixOptimize(&m, nullptr);
    EXPECT_EQ(m.flags, 0x20003u);

    // Orthonormal but moved: no identity flag.
    const GxV3d t = {0.5f, 0.0f, 0.0f};
    GxMatrixTranslate(&m, &t, gxCOMBINEPOSTCONCAT);
    m.flags = 0;
    GxMatrixOptimize(&m, nullptr);
    EXPECT_EQ(m.flags, 3u);
    const GxMatrixTolerance loose = {0.01f, 0.01f, 1.0f};
    GxMatrixOptimize(&m, &loose);
    EXPECT_EQ(m.flags, 0x20003u);

    const GxMatrix g = General();
    const Ref r = ToRef(g);
    const double det = r.m[0][0] * (r.m[1][1] * r.m[2][2] - r.m[1][2] * r.m[2][1]) -
                       r.m[0][1] * (r.m[1][0] * r.m[2][2] - r.m[1][2] * r.m[2][0]) +
                       r.m[0][2] * (r.m[1][0] * r.m[2][1] - r.m[1][1] * r.m[2][0]);
    EXPECT_NEAR(GxMatrixDeterminant(&g), det, 1e-4);
    GxMatrix d = Make({2, 0, 0}, {0, 1, 0}, {0, 1, 1}, {1, 0, 0});
    EXPECT_NEAR(GxMatrixNormalError(&d), 9.0f + 0.0f + 1.0f, 1e-5);
    EXPECT_NEAR(GxMatrixOrthogonalError(&d), 1.0f, 1e-5);
    EXPECT_NEAR(GxMatrixIdentityError(&d), 1.0f + 1.0f + 1.0f, 1e-5);

    GxMatrixUpdate(&d);
    EXPECT_EQ(d.flags, 0u);
}

TEST_F(MatrixTest, CreatedMatricesAreIdentityAndFreeListBacked)
{
    GxMatrix* matrices[300];
    for (auto& m : matrices) {
        m = GxMatrixCreate();
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->flags, 0x20003u);
        EXPECT_EQ(GxMatrixIdentityError(m), 0.0f);
    }
    for (auto& m : matrices) {
        EXPECT_TRUE(GxMatrixDestroy(m));
    }
}

// Single precision clears the precision bits and masks every exception, whatever else the word holds; restoring
// gives back the word saved by the set, not the one a later force left.
TEST(FPUControlWord, SinglePrecisionMasksExceptionsAndRestoresTheSavedWord)
{
    const GxUInt16 original = GxFPUReadControlWord();
    GxFPUSetSinglePrecision();
    const GxUInt16 single = GxFPUReadControlWord();
    EXPECT_EQ(single & 0x0300, 0);
    EXPECT_EQ(single & 0x003F, 0x003F);
    EXPECT_EQ(single & ~0x033F, original & ~0x033F) << "other bits stay";
    GxFPURestoreControlWord();
    EXPECT_EQ(GxFPUReadControlWord(), original);
    GxFPUSetSinglePrecision();
    GxFPUForceSinglePrecision();
    EXPECT_EQ(GxFPUReadControlWord(), single);
    GxFPURestoreControlWord();
    EXPECT_EQ(GxFPUReadControlWord(), original);
}

}  // namespace
