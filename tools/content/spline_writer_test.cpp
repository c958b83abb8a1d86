// Spline chunks written by the content writer and read back by the graphics core and the engine, whole and damaged.
#include "tools/content/spline_writer.h"
#include "platform/testsupport/filefaults.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/testsupport/graphics.h"
#include "engine/world/spline.h"
#include "gfx/core/filesys.h"
#include "gfx/core/spline.h"
#include "gfx/core/stream.h"
#include "gfx/testsupport/temp_dir.h"
#include "platform/win32/winbase.h"

namespace {

const GxV3d kPath[5] = {{0, 0, 0}, {2, 0, 0}, {4, 1, 0}, {6, 1, 2}, {8, 0, 2}};

class SplineChunkTest : public FerroxGraphicsTest {
protected:
    // Reads a chunk from bytes: the header, then the body through GxSplineStreamRead.
    static GxSpline* ReadBytes(const std::vector<GxUInt8>& bytes)
    {
        GxMemory memory = {const_cast<GxUInt8*>(bytes.data()), static_cast<GxUInt32>(bytes.size())};
        GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
        if (stream == nullptr) {
            return nullptr;
        }
        GxSpline* spline = nullptr;
        if (GxStreamFindChunk(stream, gxID_SPLINE, nullptr, nullptr)) {
            spline = GxSplineStreamRead(stream);
        }
        GxStreamClose(stream, nullptr);
        return spline;
    }
    static void Patch(std::vector<GxUInt8>& bytes, size_t offset, GxInt32 value)
    {
        std::memcpy(bytes.data() + offset, &value, 4);
    }
};

TEST_F(SplineChunkTest, WrittenChunkReadsBackWithItsNameAndPoints)
{
    const std::vector<GxUInt8> bytes = ContentSplineBytes("camera01", gxSPLINEOPEN, kPath, 5);
    ASSERT_EQ(12u + 40u + 60u, bytes.size());
    GxSpline* spline = ReadBytes(bytes);
    ASSERT_NE(nullptr, spline);
    EXPECT_STREQ("camera01", spline->name);
    ASSERT_EQ(5, GxSplineGetNumControlPoints(spline));
    for (int i = 0; i < 5; i++) {
        GxV3d p;
        GxSplineGetControlPoint(spline, i, &p);
        EXPECT_FLOAT_EQ(kPath[i].x, p.x);
        EXPECT_FLOAT_EQ(kPath[i].z, p.z);
    }
    GxSplineDestroy(spline);

    // A 32-character name fills its field without a terminator; the copy still ends.
    const std::vector<GxUInt8> longName =
        ContentSplineBytes("0123456789abcdef0123456789abcdefXYZ", gxSPLINECLOSED, kPath, 3);
    spline = ReadBytes(longName);
    ASSERT_NE(nullptr, spline);
    EXPECT_EQ(gxSPLINECLOSED, spline->splineType);
    EXPECT_EQ(0, std::strncmp("0123456789abcdef0123456789abcdef", spline->name, 32));
    GxSplineDestroy(spline);
}

TEST_F(SplineChunkTest, EveryTruncationAndBadCountIsRefused)
{
    const std::vector<GxUInt8> bytes = ContentSplineBytes("path", gxSPLINEOPEN, kPath, 5);
    for (size_t length = 0; length < bytes.size(); length++) {
        const std::vector<GxUInt8> cut(bytes.begin(), bytes.begin() + length);
        EXPECT_EQ(nullptr, ReadBytes(cut)) << length;
    }
    std::vector<GxUInt8> bad = bytes;
    Patch(bad, 12 + 32, -1);
    EXPECT_EQ(nullptr, ReadBytes(bad));
    Patch(bad, 12 + 32, 6);  // one point more than the stream holds
    EXPECT_EQ(nullptr, ReadBytes(bad));
    // Bad types, short open splines and huge counts: SplineStream's own tests.
    EXPECT_EQ(nullptr, ReadBytes(ContentSplineBytes("none", gxSPLINECLOSED, nullptr, 0)));
    GxSpline* single = ReadBytes(ContentSplineBytes("ok", gxSPLINECLOSED, kPath, 1));
    EXPECT_NE(nullptr, single);
    GxSplineDestroy(single);
}

TEST_F(SplineChunkTest, FilesAreReadThroughTheCoreAndTheEngine)
{
    const std::string path = Path("camera.gxs");
    ASSERT_TRUE(ContentSplineWriteFile(path.c_str(), "camera", gxSPLINEOPEN, kPath, 5));
    GxSpline* spline = GxSplineRead(path.c_str());
    ASSERT_NE(nullptr, spline);
    EXPECT_EQ(5, GxSplineGetNumControlPoints(spline));
    GxSplineDestroy(spline);

    CFerroxSpline camera;
    EXPECT_EQ(5, camera.Read(path.c_str()));
    ASSERT_NE(nullptr, camera.GetPoints());
    EXPECT_FLOAT_EQ(8.0f, camera.GetPoints()[4].x);
    EXPECT_EQ(0, camera.Read(Path("missing.gxs").c_str()));
    EXPECT_EQ(nullptr, camera.GetPoints());

    // A chunk stamped outside the version window is refused with its own error.
    std::vector<GxUInt8> bytes = ContentSplineBytes("old", gxSPLINEOPEN, kPath, 5);
    Patch(bytes, 8, 0x0000FFFF);
    const std::string oldPath = Path("old.gxs");
    {
        GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMWRITE, oldPath.c_str());
        ASSERT_NE(nullptr, stream);
        GxStreamWrite(stream, bytes.data(), static_cast<GxUInt32>(bytes.size()));
        GxStreamClose(stream, nullptr);
    }
    GxError discard;
    GxErrorGet(&discard);
    EXPECT_EQ(nullptr, GxSplineRead(oldPath.c_str()));
    GxError error;
    GxErrorGet(&error);
    EXPECT_EQ(gxERRBADVERSION, error.errorCode);
}

// A file whose writes fail is not stored, and the copy it was to replace stays whole.
TEST_F(SplineChunkTest, FailedWritesKeepTheEarlierFile)
{
    const std::string path = Path("kept.gxs");
    ASSERT_TRUE(ContentSplineWriteFile(path.c_str(), "first", gxSPLINEOPEN, kPath, 5));
    StandInFailWritesAfter(0);
    EXPECT_FALSE(ContentSplineWriteFile(path.c_str(), "second", gxSPLINEOPEN, kPath, 4));
    StandInFailWritesAfter(-1);
    EXPECT_TRUE(GxTestTemporariesIn(std::filesystem::path(path).parent_path(), "kept.gxs").empty());
    GxSpline* spline = GxSplineRead(path.c_str());
    ASSERT_NE(nullptr, spline);
    EXPECT_EQ(5, GxSplineGetNumControlPoints(spline));
    GxSplineDestroy(spline);
    GxError discard;
    GxErrorGet(&discard);
}

}  // namespace
