// Tests of the spline plugin: tables through a started engine, interpolation, evaluation frames and errors.
#include "gfx/core/spline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "gfx/core/bytes.h"
#include "gfx/core/engine_testing.h"
#include "gfx/testsupport/engine_gtest.h"

namespace {

class SplineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(GxTestRecordingSetup([] { return GxSplinePluginAttach() != 0; }));
        GX_ASSERT_ENGINE_STARTED(*engine);
    }
    void TearDown() override { engine.reset(); }
    std::optional<GxTestEngine> engine;

    static GxV3d Position(const GxSpline* spline, GxReal t, GxInt32 pathType = gxSPLINEPATHSMOOTH)
    {
        GxMatrix m;
        GxMatrixSetIdentity(&m);
        const GxV3d up = {0, 1, 0};
        GxSplineFindMatrix(spline, pathType, t, &up, &m);
        return m.pos;
    }
};

void ExpectNear(const GxV3d& a, const GxV3d& b, float tolerance = 1e-3f)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

std::vector<GxV3d> Wiggle(int n)
{
    std::vector<GxV3d> points;
    for (int i = 0; i < n; i++) {
        points.push_back(
            {static_cast<GxReal>(i * 2), static_cast<GxReal>((i * 7) % 5), static_cast<GxReal>((i * 3) % 4) - 1});
    }
    return points;
}

TEST(SplinePlugin, NeedsItsPluginAttachedBeforeTheEngineStarts)
{
    ASSERT_TRUE(GxTestEngineStart());
    const std::vector<GxV3d> points = Wiggle(4);
    EXPECT_EQ(nullptr, GxSplineCreate(4, gxSPLINEOPEN, points.data()));
    GxTestEngineShutdown();
}

TEST_F(SplineTest, OpenSplinePassesThroughItsPointsAtEqualSharesOfT)
{
    for (int n = 4; n <= 10; n++) {
        const std::vector<GxV3d> points = Wiggle(n);
        GxSpline* spline = GxSplineCreate(n, gxSPLINEOPEN, points.data());
        ASSERT_NE(nullptr, spline);
        EXPECT_EQ(n + 2, spline->nStoredPoints);
        EXPECT_EQ(n, GxSplineGetNumControlPoints(spline));
        for (int i = 0; i < n; i++) {
            SCOPED_TRACE(testing::Message() << "n " << n << " point " << i);
            ExpectNear(points[i], Position(spline, static_cast<GxReal>(i) / (n - 1)));
        }
        GxSplineDestroy(spline);
    }
    // Longer splines use a window of ten points and stay close to theirs.
    const std::vector<GxV3d> points = Wiggle(25);
    GxSpline* spline = GxSplineCreate(25, gxSPLINEOPEN, points.data());
    ASSERT_NE(nullptr, spline);
    for (int i = 0; i < 25; i++) {
        ExpectNear(points[i], Position(spline, i / 24.0f), 0.05f);
    }
    GxSplineDestroy(spline);
}

TEST_F(SplineTest, ParameterOutsideTheRangeNeverLeavesTheStoredPoints)
{
    const std::vector<GxV3d> points = Wiggle(4);
    GxSpline* open = GxSplineCreate(4, gxSPLINEOPEN, points.data());
    ASSERT_NE(nullptr, open);
    ExpectNear(Position(open, 0.3f), Position(open, -0.3f));
    ExpectNear(points[3], Position(open, 2.0f));
    ExpectNear(points[3], Position(open, 1e30f));
    ExpectNear(points[0], Position(open, std::nanf("")));
    ExpectNear(Position(open, 0.99999994f), Position(open, 1.0f), 1e-3f);
    GxSplineDestroy(open);

    GxSpline* closed = GxSplineCreate(5, gxSPLINECLOSED, Wiggle(5).data());
    ASSERT_NE(nullptr, closed);
    ExpectNear(Position(closed, 0.25f), Position(closed, 1.25f));
    ExpectNear(Position(closed, 0.4f), Position(closed, -2.4f));
    GxSplineDestroy(closed);
}

TEST_F(SplineTest, ClosedSplineLoopsThroughEveryPoint)
{
    for (int n = 1; n <= 10; n++) {
        const std::vector<GxV3d> points = Wiggle(n);
        GxSpline* spline = GxSplineCreate(n, gxSPLINECLOSED, points.data());
        ASSERT_NE(nullptr, spline);
        EXPECT_EQ(n + 3, spline->nStoredPoints);
        for (int i = 0; i < n; i++) {
            SCOPED_TRACE(testing::Message() << "n " << n << " point " << i);
            ExpectNear(points[i], Position(spline, static_cast<GxReal>(i) / n));
        }
        ExpectNear(points[0], Position(spline, 1.0f));
        GxSplineDestroy(spline);
    }
}

TEST_F(SplineTest, FrameFollowsThePathAndItsFlagsDescribeTheRowsWritten)
{
    const GxV3d line[4] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
    GxSpline* spline = GxSplineCreate(4, gxSPLINEOPEN, line);
    ASSERT_NE(nullptr, spline);
    GxMatrix m;
    GxMatrixSetIdentity(&m);
    const GxV3d up = {0, 1, 0};
    EXPECT_FLOAT_EQ(0.0f, GxSplineFindMatrix(spline, gxSPLINEPATHSMOOTH, 0.5f, &up, &m));
    ExpectNear({1.5f, 0, 0}, m.pos);
    ExpectNear({1, 0, 0}, m.at);
    ExpectNear({0, 0, -1}, m.right);
    ExpectNear({0, 1, 0}, m.up);
    EXPECT_EQ(0u, m.flags & gxMATRIXINTERNALIDENTITY);
    EXPECT_EQ(gxMATRIXTYPEORTHONORMAL, m.flags & gxMATRIXTYPEORTHONORMAL);
    // Eased paths start slowly: eased 0.25 is smooth 0.125; 0.5 stays the middle.
    ExpectNear(Position(spline, 0.125f), Position(spline, 0.25f, gxSPLINEPATHEASED));
    ExpectNear(Position(spline, 0.5f), Position(spline, 0.5f, gxSPLINEPATHEASED));
    EXPECT_FLOAT_EQ(-1.0f, GxSplineFindMatrix(spline, 12, 0.5f, &up, &m));
    GxError error = GxTestTakeError();
    EXPECT_EQ(static_cast<GxInt32>(gxPLUGINSPLINE), error.pluginID);
    EXPECT_EQ(gxERRSPLINETYPE, error.errorCode);
    GxSplineDestroy(spline);

    const GxV3d still[4] = {{2, 2, 2}, {2, 2, 2}, {2, 2, 2}, {2, 2, 2}};
    GxSpline* point = GxSplineCreate(4, gxSPLINEOPEN, still);
    ASSERT_NE(nullptr, point);
    GxSplineFindMatrix(point, gxSPLINEPATHSMOOTH, 0.5f, nullptr, &m);
    ExpectNear({0, 0, 1}, m.at);
    ExpectNear({0, 1, 0}, m.up);
    GxSplineDestroy(point);
}

TEST_F(SplineTest, ControlPointsAreBoundedAndRecomputeTheCurve)
{
    std::vector<GxV3d> points = Wiggle(5);
    GxSpline* spline = GxSplineCreate(5, gxSPLINEOPEN, points.data());
    ASSERT_NE(nullptr, spline);
    GxV3d p;
    ASSERT_EQ(&p, GxSplineGetControlPoint(spline, 4, &p));
    ExpectNear(points[4], p);
    const GxV3d moved = {10, 20, 30};
    EXPECT_EQ(nullptr, GxSplineSetControlPoint(spline, 5, &moved));
    EXPECT_EQ(gxERRINVALIDENUM, GxTestTakeErrorCode());
    EXPECT_EQ(nullptr, GxSplineGetControlPoint(spline, -1, &p));
    EXPECT_EQ(gxERRINVALIDENUM, GxTestTakeErrorCode());
    ExpectNear(points[4], Position(spline, 1.0f));
    ASSERT_EQ(spline, GxSplineSetControlPoint(spline, 2, &moved));
    ExpectNear(moved, Position(spline, 0.5f));
    GxSplineDestroy(spline);
}

TEST_F(SplineTest, CreationRefusesBadTypesAndTooFewPoints)
{
    const std::vector<GxV3d> points = Wiggle(4);
    EXPECT_EQ(nullptr, GxSplineCreate(4, 3, points.data()));
    GxError error = GxTestTakeError();
    EXPECT_EQ(static_cast<GxInt32>(gxPLUGINSPLINE), error.pluginID);
    EXPECT_EQ(gxERRSPLINETYPE, error.errorCode);
    EXPECT_EQ(nullptr, GxSplineCreate(3, gxSPLINEOPEN, points.data()));
    EXPECT_EQ(gxERRNULLARG, GxTestTakeErrorCode());
    EXPECT_EQ(nullptr, GxSplineCreate(0, gxSPLINECLOSED, points.data()));
    EXPECT_EQ(nullptr, GxSplineCreate(-4, gxSPLINEOPEN, points.data()));
}

// A window table that cannot be made fails the open with error 3 and frees the window tables made; the basis
// block stays, and the next open takes it again.
TEST(SplinePlugin, AFailedWindowTableFreesTheWindowTablesMade)
{
    GxTestEngineSetup setup = GxTestRecordingSetup([] { return GxSplinePluginAttach() != 0; });
    setup.start = false;
    setup.memory = GxTestMemoryReset();
    size_t firstWindow = 0;
    {
        GxTestEngine engine(setup);
        ASSERT_TRUE(engine.Ok()) << engine.Failure();
        const size_t before = gxTestMemory.mallocs.size();
        ASSERT_TRUE(GxTestEngineOpenAndStart());
        firstWindow = before;
        while (firstWindow < gxTestMemory.mallocs.size() && gxTestMemory.mallocs[firstWindow].second != 0x30102) {
            firstWindow++;
        }
        ASSERT_LT(firstWindow, gxTestMemory.mallocs.size());
        firstWindow -= before;
    }
    setup.memory = GxTestMemoryReset();
    {
        GxTestEngine failed(setup);
        ASSERT_TRUE(failed.Ok()) << failed.Failure();
        gxTestMemory.mallocFailAfter = static_cast<int>(firstWindow) + 2;  // W4 and W5 made, W6 refused
        EXPECT_FALSE(GxTestEngineOpenAndStart());
        gxTestMemory.mallocFailAfter = -1;
        EXPECT_EQ(0, GxTestLiveBlocks(0xFFFFFFFF, 0x30102));
        EXPECT_EQ(1, GxTestLiveBlocks(0xFFFFFFFF, 0x40102));
    }
    setup.memory = GxTestMemoryReset();
    setup.start = true;
    {
        GxTestEngine again(setup);
        ASSERT_TRUE(again.Ok()) << again.Failure();
        EXPECT_EQ(0, GxTestLiveBlocks(0xFFFFFFFF, 0x40102));  // the kept block, not a new one
        EXPECT_EQ(7, GxTestLiveBlocks(0xFFFFFFFF, 0x30102));
    }
}

// A body is created as GxSplineCreate makes it, errors included; its name is copied up to its terminator.
TEST(SplineStream, BodiesAreCreatedAsGiven)
{
    GxTestEngine engine(GxTestRecordingSetup([] { return GxSplinePluginAttach() != 0; }));
    ASSERT_TRUE(engine.Ok()) << engine.Failure();
    auto body = [](GxInt32 count, GxInt32 type) {
        std::vector<GxUInt8> bytes(40 + 12 * count, 0);
        std::memcpy(bytes.data(), "cam\0junk", 8);
        GxBytesPutU32(bytes.data() + 32, static_cast<GxUInt32>(count));
        GxBytesPutU32(bytes.data() + 36, static_cast<GxUInt32>(type));
        for (GxInt32 i = 0; i < count * 3; i += 3) {
            GxBytesPutU32(bytes.data() + 40 + 4 * i, 0x3F800000u * (i > 0));
        }
        return bytes;
    };
    {
        GxTestReadStream in(body(2, 3));
        EXPECT_EQ(nullptr, GxSplineStreamRead(in.Get()));
        EXPECT_EQ(gxERRSPLINETYPE, GxTestTakeError().errorCode);
    }
    {
        GxTestReadStream in(body(3, gxSPLINEOPEN));
        EXPECT_EQ(nullptr, GxSplineStreamRead(in.Get()));
        EXPECT_EQ(gxERRNULLARG, GxTestTakeError().errorCode);
    }
    GxTestReadStream in(body(4, gxSPLINEOPEN));
    GxSpline* spline = GxSplineStreamRead(in.Get());
    ASSERT_NE(nullptr, spline);
    EXPECT_STREQ("cam", spline->name);
    EXPECT_TRUE(std::all_of(spline->name + 3, spline->name + gxSPLINENAMELENGTH, [](char c) { return c == 0; }));
    GxSplineDestroy(spline);
}

// A spline body claiming the most points the format allows, over 40 bytes: refused before the points
// are allocated when the stream knows its length, and read only as far as the bytes go when it does not.
TEST(SplineStream, CountsBeyondTheStreamAllocateNothing)
{
    GxTestEngineSetup setup = GxTestRecordingSetup([] { return GxSplinePluginAttach() != 0; });
    setup.memory = GxTestMemoryReset();
    GxTestEngine engine(setup);
    ASSERT_TRUE(engine.Ok()) << engine.Failure();
    std::vector<GxUInt8> body(40, 0);
    GxBytesPutU32(body.data() + 32, gxSPLINEMAXPOINTS);
    GxBytesPutU32(body.data() + 36, gxSPLINEOPEN);
    body.resize(100, 0);
    {
        GxTestReadStream in(body);
        gxTestMemory.largest = 0;
        EXPECT_EQ(GxSplineStreamRead(in.Get()), nullptr);
        EXPECT_LT(gxTestMemory.largest, 0x10000u);
    }
    struct Source {
        std::vector<GxUInt8>* bytes;
        size_t position;
    } source = {&body, 0};
    GxStreamCustom custom = {nullptr,
                             [](void* data, void* buffer, GxUInt32 n) -> GxUInt32 {
                                 auto* from = static_cast<Source*>(data);
                                 const size_t got = std::min<size_t>(n, from->bytes->size() - from->position);
                                 std::memcpy(buffer, from->bytes->data() + from->position, got);
                                 from->position += got;
                                 return static_cast<GxUInt32>(got);
                             },
                             nullptr, nullptr, &source};
    GxStream* stream = GxStreamOpen(gxSTREAMCUSTOM, gxSTREAMREAD, &custom);
    gxTestMemory.largest = 0;
    EXPECT_EQ(GxSplineStreamRead(stream), nullptr);
    EXPECT_LT(gxTestMemory.largest, 0x40000u);
    GxStreamClose(stream, nullptr);
}

}  // namespace
