// Tests of CFerroxSpline: measuring and indexing at known points, edits that keep the copy and the curve in step.
#include "engine/world/spline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/testsupport/graphics.h"
#include "gfx/core/matrix.h"

namespace {

class FerroxSplineTest : public FerroxGraphicsTest {
protected:
    // Five points along x, 1, 2, 3 and 4 apart.
    void MakeFive(CFerroxSpline& spline)
    {
        const GxV3d points[5] = {{0, 0, 0}, {1, 0, 0}, {3, 0, 0}, {6, 0, 0}, {10, 0, 0}};
        ASSERT_EQ(1, spline.Create(points, 5, "walk"));
    }
    // The copy and the graphics spline hold the same points.
    static void ExpectInStep(CFerroxSpline& spline)
    {
        ASSERT_NE(nullptr, spline.GetSpline());
        ASSERT_EQ(spline.GetPointCount(), GxSplineGetNumControlPoints(spline.GetSpline()));
        for (int i = 0; i < spline.GetPointCount(); i++) {
            GxV3d p;
            GxSplineGetControlPoint(spline.GetSpline(), i, &p);
            EXPECT_FLOAT_EQ(p.x, spline.GetPoints()[i].x) << i;
            EXPECT_FLOAT_EQ(p.y, spline.GetPoints()[i].y) << i;
            EXPECT_FLOAT_EQ(p.z, spline.GetPoints()[i].z) << i;
        }
    }
};

TEST_F(FerroxSplineTest, IndexAndSegmentLengthAtKnownParameters)
{
    CFerroxSpline spline;
    MakeFive(spline);
    EXPECT_EQ(2, spline.GetPointIndex(0.3f, 0));
    EXPECT_EQ(1, spline.GetPointIndex(0.3f, 1));
    EXPECT_FLOAT_EQ(4.0f, spline.GetSegmentLength(1.0f));
    EXPECT_FLOAT_EQ(1.0f, spline.GetSegmentLength(0.0f));
    EXPECT_FLOAT_EQ(2.0f, spline.GetSegmentLength(0.3f));
    EXPECT_FLOAT_EQ(3.0f, spline.GetSegmentLength(0.6f));
    // The index is not held to the points: at the end the point ahead lies past the last one, and parameters
    // from a loaded path may lie anywhere.
    EXPECT_EQ(5, spline.GetPointIndex(1.0f, 0));
    EXPECT_EQ(4, spline.GetPointIndex(1.0f, 1));
    EXPECT_EQ(31, spline.GetPointIndex(7.5f, 0));
    EXPECT_EQ(-11, spline.GetPointIndex(-3.0f, 0));
    EXPECT_EQ(1000000000, spline.GetPointIndex(1.0e30f, 1));
    EXPECT_FLOAT_EQ(4.0f, spline.GetSegmentLength(3.0f));
    EXPECT_FLOAT_EQ(1.0f, spline.GetSegmentLength(-1.0f));

    GxMatrix atStart, below, atEnd, beyond;
    spline.FindMatrix(0.0f, &atStart);
    spline.FindMatrix(-0.5f, &below);
    spline.FindMatrix(1.0f, &atEnd);
    spline.FindMatrix(2.0f, &beyond);
    EXPECT_FLOAT_EQ(atStart.pos.x, below.pos.x);
    EXPECT_FLOAT_EQ(atEnd.pos.x, beyond.pos.x);
    EXPECT_NEAR(10.0f, atEnd.pos.x, 1e-3f);
}

TEST_F(FerroxSplineTest, TooFewPointsNeverDivideByZero)
{
    CFerroxSpline empty;
    EXPECT_EQ(0, empty.GetPointCount());
    EXPECT_EQ(0.0f, empty.GetSegmentLength(0.5f));
    EXPECT_EQ(1, empty.GetPointIndex(0.5f, 0));
    EXPECT_EQ(0, empty.GetPointIndex(0.5f, 1));
    EXPECT_EQ(0, empty.Translate({1, 0, 0}));
    GxMatrix m;
    GxMatrixSetIdentity(&m);
    empty.FindMatrix(0.5f, &m);
    EXPECT_EQ(0.0f, m.pos.x);
    // An open spline needs four points: three are kept but make no curve yet.
    const GxV3d three[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    EXPECT_EQ(0, empty.Create(three, 3, nullptr));
    EXPECT_EQ(0, empty.GetPointCount());
    EXPECT_EQ(1, empty.AppendPoint({3, 0, 0}));
    EXPECT_EQ(4, empty.GetPointCount());
    ExpectInStep(empty);
}

TEST_F(FerroxSplineTest, EditsKeepTheCopyAndTheCurveInStep)
{
    CFerroxSpline spline;
    MakeFive(spline);
    spline.SetPoint(5, {9, 9, 9});
    spline.SetPoint(-1, {9, 9, 9});
    EXPECT_EQ(5, spline.GetPointCount());
    ExpectInStep(spline);
    spline.SetPoint(2, {3, 1, 0});
    EXPECT_FLOAT_EQ(1.0f, spline.GetPoints()[2].y);
    ExpectInStep(spline);

    EXPECT_EQ(5, spline.Translate({1, 0, 0}));
    EXPECT_FLOAT_EQ(1.0f, spline.GetPoints()[0].x);
    EXPECT_FLOAT_EQ(11.0f, spline.GetPoints()[4].x);
    ExpectInStep(spline);

    EXPECT_EQ(5, spline.Rotate({0, 1, 0}, 90.0f));
    EXPECT_NEAR(0.0f, spline.GetPoints()[4].x, 1e-4f);
    EXPECT_NEAR(11.0f, std::fabs(spline.GetPoints()[4].z), 1e-4f);
    ExpectInStep(spline);

    CFerroxSpline line;
    const GxV3d four[4] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
    ASSERT_EQ(1, line.Create(four, 4, nullptr));
    ASSERT_EQ(1, line.AppendPoint({4, 0, 0}));
    EXPECT_EQ(5, line.GetPointCount());
    EXPECT_FLOAT_EQ(4.0f, line.GetPoints()[4].x);
    ExpectInStep(line);
    ASSERT_EQ(1, line.PrependPoint({-1, 0, 0}));
    EXPECT_FLOAT_EQ(-1.0f, line.GetPoints()[0].x);
    ASSERT_EQ(1, line.AppendSpline(&spline));
    EXPECT_EQ(11, line.GetPointCount());
    ExpectInStep(line);

    std::unique_ptr<CFerroxSpline> clone = spline.Clone();
    ASSERT_NE(nullptr, clone);
    EXPECT_STREQ("walk", clone->GetName());
    EXPECT_EQ(5, clone->GetPointCount());
    ExpectInStep(*clone);
}

TEST_F(FerroxSplineTest, AttachTakesOverAGraphicsSplineAndReadFailsCleanly)
{
    const GxV3d loop[3] = {{0, 0, 0}, {4, 0, 0}, {2, 0, 3}};
    GxSpline* closed = GxSplineCreate(3, gxSPLINECLOSED, loop);
    ASSERT_NE(nullptr, closed);
    CFerroxSpline spline;
    MakeFive(spline);
    ASSERT_EQ(1, spline.Attach(closed, "loop"));
    EXPECT_STREQ("loop", spline.GetName());
    EXPECT_EQ(3, spline.GetPointCount());
    ExpectInStep(spline);
    EXPECT_EQ(0, spline.Read(Path("missing.gxs").c_str()));
    EXPECT_EQ(0, spline.GetPointCount());
    EXPECT_EQ(nullptr, spline.GetPoints());
    spline.DrawDebugInfo();
}

}  // namespace
