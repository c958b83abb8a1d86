// Tests of the processor feature flags, the routine choice and the SSE transforms against the portable ones.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "gfx/d3d9/d3d9_local.h"

namespace {

struct alignas(16) AlignedMatrix {
    GxMatrix m;
};

GxMatrix RandomMatrix(std::mt19937& rng)
{
    std::uniform_real_distribution<float> d(-100.0f, 100.0f);
    GxMatrix m = {};
    m.right = {d(rng), d(rng), d(rng)};
    m.up = {d(rng), d(rng), d(rng)};
    m.at = {d(rng), d(rng), d(rng)};
    m.pos = {d(rng), d(rng), d(rng)};
    return m;
}

std::vector<GxV3d> RandomVectors(std::mt19937& rng, size_t n)
{
    std::uniform_real_distribution<float> d(-1000.0f, 1000.0f);
    std::vector<GxV3d> v(n);
    for (GxV3d& e : v) {
        e = {d(rng), d(rng), d(rng)};
    }
    return v;
}

bool SameBits(const std::vector<GxV3d>& a, const std::vector<GxV3d>& b)
{
    return a.size() == b.size() && memcmp(a.data(), b.data(), a.size() * sizeof(GxV3d)) == 0;
}

struct Routines {
    const char* name;
    GxD3D9TransformSet set;
};

const Routines sseSets[] = {
    {"pair stores", {GxV3dTransformPointSSE, GxV3dTransformPointsSSE, GxV3dTransformVectorSSE, GxV3dTransformVectorsSSE}},
    {"scalar stores",
     {GxV3dTransformPointSSEScalar, GxV3dTransformPointsSSEScalar, GxV3dTransformVectorSSEScalar,
      GxV3dTransformVectorsSSEScalar}},
};

// With no engine open the core's entry points run the portable routines.
std::vector<GxV3d> Portable(const std::vector<GxV3d>& src, const GxMatrix* m, bool points)
{
    std::vector<GxV3d> out(src.size());
    if (points) {
        GxV3dTransformPoints(out.data(), src.data(), static_cast<GxInt32>(src.size()), m);
    } else {
        GxV3dTransformVectors(out.data(), src.data(), static_cast<GxInt32>(src.size()), m);
    }
    return out;
}

}  // namespace

TEST(CPUTransforms, SSERoutinesGiveThePortableBits)
{
    std::mt19937 rng(7);
    for (const Routines& r : sseSets) {
        SCOPED_TRACE(r.name);
        for (int round = 0; round < 20; round++) {
            AlignedMatrix am = {RandomMatrix(rng)};
            const std::vector<GxV3d> src = RandomVectors(rng, 37);
            std::vector<GxV3d> points(src.size()), vectors(src.size());
            r.set.points(points.data(), src.data(), static_cast<GxInt32>(src.size()), &am.m);
            r.set.vectors(vectors.data(), src.data(), static_cast<GxInt32>(src.size()), &am.m);
            EXPECT_TRUE(SameBits(points, Portable(src, &am.m, true)));
            EXPECT_TRUE(SameBits(vectors, Portable(src, &am.m, false)));

            GxV3d one = {}, expected = {};
            r.set.point(&one, &src[3], &am.m);
            GxV3dTransformPoint(&expected, &src[3], &am.m);
            EXPECT_EQ(memcmp(&one, &expected, sizeof(one)), 0);
            r.set.vector(&one, &src[4], &am.m);
            GxV3dTransformVector(&expected, &src[4], &am.m);
            EXPECT_EQ(memcmp(&one, &expected, sizeof(one)), 0);
        }
    }
}

TEST(CPUTransforms, SpareWordsAlignmentAndAliasingDoNotChangeResults)
{
    std::mt19937 rng(11);
    AlignedMatrix clean = {RandomMatrix(rng)};
    AlignedMatrix dirty = clean;
    const GxUInt32 nan = 0x7FC00001u;
    dirty.m.flags = 0x20003;
    memcpy(&dirty.m.pad1, &nan, 4);
    memcpy(&dirty.m.pad2, &nan, 4);
    memcpy(&dirty.m.pad3, &nan, 4);
    // A copy one float off 16-byte alignment.
    alignas(16) unsigned char buffer[sizeof(GxMatrix) + 16];
    auto* unaligned = reinterpret_cast<GxMatrix*>(buffer + 4);
    memcpy(unaligned, &dirty.m, sizeof(GxMatrix));

    const std::vector<GxV3d> src = RandomVectors(rng, 9);
    const std::vector<GxV3d> expected = Portable(src, &clean.m, true);
    for (const Routines& r : sseSets) {
        SCOPED_TRACE(r.name);
        std::vector<GxV3d> out(src.size());
        r.set.points(out.data(), src.data(), 9, &dirty.m);
        EXPECT_TRUE(SameBits(out, expected));
        r.set.points(out.data(), src.data(), 9, unaligned);
        EXPECT_TRUE(SameBits(out, expected));
        std::vector<GxV3d> inPlace = src;
        r.set.points(inPlace.data(), inPlace.data(), 9, &dirty.m);
        EXPECT_TRUE(SameBits(inPlace, expected));
    }
}

TEST(CPUTransforms, IdentityCountZeroAndNeighbouringMemory)
{
    AlignedMatrix identity = {};
    identity.m.right.x = identity.m.up.y = identity.m.at.z = 1.0f;
    identity.m.pos = {5.0f, 6.0f, 7.0f};
    for (const Routines& r : sseSets) {
        SCOPED_TRACE(r.name);
        const GxV3d p = {1.5f, -2.0f, 3.25f};
        GxV3d out[3];
        memset(out, 0xAB, sizeof(out));
        r.set.point(&out[1], &p, &identity.m);
        EXPECT_EQ(out[1].x, 6.5f);
        EXPECT_EQ(out[1].y, 4.0f);
        EXPECT_EQ(out[1].z, 10.25f);
        r.set.vector(&out[1], &p, &identity.m);  // the position row plays no part
        EXPECT_EQ(out[1].x, 1.5f);
        EXPECT_EQ(out[1].y, -2.0f);
        EXPECT_EQ(out[1].z, 3.25f);
        // Only the 12 bytes of the element are written.
        unsigned char pattern[sizeof(GxV3d)];
        memset(pattern, 0xAB, sizeof(pattern));
        EXPECT_EQ(memcmp(&out[0], pattern, sizeof(GxV3d)), 0);
        EXPECT_EQ(memcmp(&out[2], pattern, sizeof(GxV3d)), 0);
        EXPECT_EQ(r.set.points(&out[0], &p, 0, &identity.m), &out[0]);
        EXPECT_EQ(memcmp(&out[0], pattern, sizeof(GxV3d)), 0);
    }
}

TEST(CPUFeatures, DetectionAndRoutineChoice)
{
    GxCPUDetectFeatures();
    // Every 64-bit processor has both.
    EXPECT_EQ(GxCPUHaveSSE(), 1);
    EXPECT_EQ(GxCPUHaveSSE2(), 1);

    GxD3D9TransformSet none = GxD3D9ChooseTransformFunctions(0, 0, 0);
    EXPECT_EQ(none.point, GxV3dTransformPointX87);
    EXPECT_EQ(none.vectors, GxV3dTransformVectorsX87);
    GxD3D9TransformSet sse2 = GxD3D9ChooseTransformFunctions(1, 1, 0);
    EXPECT_EQ(sse2.point, GxV3dTransformPointSSEScalar);
    EXPECT_EQ(sse2.points, GxV3dTransformPointsSSEScalar);
    EXPECT_EQ(sse2.vector, GxV3dTransformVectorSSEScalar);
    EXPECT_EQ(sse2.vectors, GxV3dTransformVectorsSSEScalar);
    EXPECT_EQ(GxD3D9ChooseTransformFunctions(1, 1, 1).point, GxV3dTransformPointSSE);
    EXPECT_EQ(GxD3D9ChooseTransformFunctions(1, 0, 0).vectors, GxV3dTransformVectorsSSE);
}

TEST(CPUFeatures, FlushToZeroFollowsTheSSEFlag)
{
    const unsigned int saved = _mm_getcsr();
    _mm_setcsr(saved & ~0x8000u);
    GxCPUSetFeatures(0, 0, 0);
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
