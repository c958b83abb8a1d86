// Tests of the processor feature flags, the routine choice and the SSE transforms against the portable ones.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cstring>
#include <random>
#include <vector>

#include "gfx/d3d9/cpu_testing.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/testsupport/engine_fixture.h"

namespace {

const GxD3D9TransformSet sseSets[] = {
    {GxV3dTransformPointSSE, GxV3dTransformPointsSSE, GxV3dTransformVectorSSE, GxV3dTransformVectorsSSE},
    {GxV3dTransformPointSSEScalar, GxV3dTransformPointsSSEScalar, GxV3dTransformVectorSSEScalar,
     GxV3dTransformVectorsSSEScalar},
};

bool SameBits(const std::vector<GxV3d>& a, const std::vector<GxV3d>& b)
{
    return a.size() == b.size() && memcmp(a.data(), b.data(), a.size() * sizeof(GxV3d)) == 0;
}

// The routines' summation order: points (z*at + y*up) + (x*right + pos), vectors z*at + (y*up + x*right).
GxV3d Reference(const GxMatrix* m, const GxV3d& s, bool point)
{
    const float* r = &m->right.x;
    const float* u = &m->up.x;
    const float* a = &m->at.x;
    const float* p = &m->pos.x;
    float out[3];
    for (int k = 0; k < 3; k++) {
        out[k] = point ? (s.z * a[k] + s.y * u[k]) + (s.x * r[k] + p[k]) : s.z * a[k] + (s.y * u[k] + s.x * r[k]);
    }
    return GxV3d{out[0], out[1], out[2]};
}

}  // namespace

TEST(CPUTransforms, SSERoutinesSumInTheirOrder)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-100.0f, 100.0f);
    alignas(16) unsigned char buffer[sizeof(GxMatrix) + 16];
    for (int round = 0; round < 40; round++) {
        // Odd rounds use a matrix one float off 16-byte alignment with junk in the spare words.
        auto* m = reinterpret_cast<GxMatrix*>(buffer + (round % 2) * 4);
        GxV3d* rows[4] = {&m->right, &m->up, &m->at, &m->pos};
        for (GxV3d* row : rows) {
            *row = {d(rng), d(rng), d(rng)};
        }
        const GxUInt32 junk = round % 2 ? 0x7FC00001u : 0;
        m->flags = m->pad1 = m->pad2 = m->pad3 = junk;
        std::vector<GxV3d> src(13);
        for (GxV3d& v : src) {
            v = {d(rng) * 10, d(rng) * 10, d(rng) * 10};
        }
        std::vector<GxV3d> points(src.size()), vectors(src.size());
        for (size_t i = 0; i < src.size(); i++) {
            points[i] = Reference(m, src[i], true);
            vectors[i] = Reference(m, src[i], false);
        }
        for (const GxD3D9TransformSet& set : sseSets) {
            std::vector<GxV3d> out(src.size());
            set.points(out.data(), src.data(), 13, m);
            EXPECT_TRUE(SameBits(out, points));
            set.vectors(out.data(), src.data(), 13, m);
            EXPECT_TRUE(SameBits(out, vectors));
            set.point(&out[2], &src[2], m);
            set.vector(&out[3], &src[3], m);
            EXPECT_EQ(memcmp(&out[2], &points[2], sizeof(GxV3d)), 0);
            EXPECT_EQ(memcmp(&out[3], &vectors[3], sizeof(GxV3d)), 0);
            // In place: each element is read before it is written.
            out = src;
            set.points(out.data(), out.data(), 13, m);
            EXPECT_TRUE(SameBits(out, points));
        }
    }
}

TEST(CPUTransforms, WritesOnlyItsElements)
{
    GxMatrix identity = {};
    identity.right.x = identity.up.y = identity.at.z = 1.0f;
    identity.pos = {5.0f, 6.0f, 7.0f};
    const GxV3d p = {1.5f, -2.0f, 3.25f};
    for (const GxD3D9TransformSet& set : sseSets) {
        GxV3d out[3];
        memset(out, 0xAB, sizeof(out));
        GxV3d guard;
        memset(&guard, 0xAB, sizeof(guard));
        EXPECT_EQ(set.points(&out[1], &p, 0, &identity), &out[1]);
        EXPECT_EQ(memcmp(&out[1], &guard, sizeof(GxV3d)), 0);
        set.point(&out[1], &p, &identity);
        EXPECT_EQ(out[1].x, 6.5f);
        EXPECT_EQ(out[1].z, 10.25f);
        set.vector(&out[1], &p, &identity);  // the position row plays no part
        EXPECT_EQ(out[1].y, -2.0f);
        EXPECT_EQ(memcmp(&out[0], &guard, sizeof(GxV3d)), 0);
        EXPECT_EQ(memcmp(&out[2], &guard, sizeof(GxV3d)), 0);
    }
}

TEST(CPUFeatures, DetectionChoiceAndFlushToZero)
{
    // The routines chosen after a start go into the open engine's matrix and vector modules.
    GxTestEngine engine;
    ASSERT_TRUE(engine.Ok()) << engine.Failure();
    GxCPUDetectFeatures();
    EXPECT_EQ(GxCPUHaveSSE(), 1);  // every 64-bit processor has both
    EXPECT_EQ(GxCPUHaveSSE2(), 1);
    GxCPUSetFeatures(1, 1, 1);
    EXPECT_EQ(GxCPUHave3DNow(), 1);
    EXPECT_EQ(GxD3D9ChooseTransformFunctions(0, 0, 0).point, GxV3dTransformPointX87);
    EXPECT_EQ(GxD3D9ChooseTransformFunctions(0, 1, 0).vectors, GxV3dTransformVectorsX87);
    const GxD3D9TransformSet scalar = GxD3D9ChooseTransformFunctions(1, 1, 0);
    EXPECT_EQ(memcmp(&scalar, &sseSets[1], sizeof(scalar)), 0);
    const GxD3D9TransformSet pair = GxD3D9ChooseTransformFunctions(1, 1, 1);
    EXPECT_EQ(memcmp(&pair, &sseSets[0], sizeof(pair)), 0);
    EXPECT_EQ(GxD3D9ChooseTransformFunctions(1, 0, 0).points, GxV3dTransformPointsSSE);

    const unsigned int saved = _mm_getcsr();
    _mm_setcsr(saved & ~0x8000u);
    GxCPUSetFeatures(0, 0, 0);  // no SSE: MXCSR is left alone
    GxD3D9CPUAfterStart();
    EXPECT_EQ(_mm_getcsr() & 0x8000u, 0u);
    GxCPUSetFeatures(1, 1, 0);
    GxD3D9CPUAfterStart();
    EXPECT_EQ(_mm_getcsr() & 0x8000u, 0x8000u);
    GxD3D9CPUBeforeStop();
    EXPECT_EQ(_mm_getcsr() & 0x8000u, 0u);
    _mm_setcsr(saved);
    GxCPUDetectFeatures();
}
