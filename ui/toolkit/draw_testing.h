// Test fixture of the interface drawn for real on the OpenGL back end at 800 x 600: the test file system open with
// the PNG reader, a scratch folder of the test's own, frames read back as 0xRRGGBB pixels, and block fonts whose
// drawn text shows as pixels of its colour.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "gfx/2d/twod_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/headless.h"
#include "gfx/testsupport/temp_dir.h"

class UiDrawTest : public Gx2DOpenGLTest {
protected:
    static constexpr int kScreenW = 800;
    static constexpr int kScreenH = 600;
    static constexpr GxUInt32 kRgbMask = 0xFFFFFFu;

    // `stem` starts the name of the scratch folder.
    explicit UiDrawTest(const char* stem) : Gx2DOpenGLTest(kScreenW, kScreenH), m_stem(stem) {}

    void SetUp() override
    {
        Gx2DOpenGLTest::SetUp();
        if (!Ready())
            return;
        ASSERT_TRUE(GxTestFileSystemOpen());
        ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
        m_scratch.emplace(m_stem);
        dir = m_scratch->Dir();
    }
    void TearDown() override
    {
        if (Ready() || opened)
            GxFileSystemManagerClose();
        m_scratch.reset();
        Gx2DOpenGLTest::TearDown();
    }

    std::string P(const std::string& name) const { return (dir / name).string(); }

    // The frame as drawn, alpha masked off.
    std::vector<GxUInt32> Frame()
    {
        std::vector<GxUInt32> pixels = ReadBack();
        for (GxUInt32& pixel : pixels)
            pixel &= kRgbMask;
        return pixels;
    }
    static GxUInt32 At(const std::vector<GxUInt32>& pixels, int x, int bottomUpY)
    {
        return pixels[static_cast<size_t>((kScreenH - 1 - bottomUpY) * kScreenW + x)];
    }

    // Metrics over the block page giving each of `codes` an 8 x 16 block.
    static std::string BlockMetrics(const char* page, const std::string& codes)
    {
        std::string metrics = std::string("METRICS1\n") + page + "\n0\n";
        for (unsigned char code : codes)
            metrics += std::to_string(code) + " 0 0 8 16\n";
        return metrics;
    }

    std::filesystem::path dir;

private:
    std::string m_stem;
    std::optional<GxTestTempDir> m_scratch;
};
