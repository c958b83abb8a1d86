// The level texture dictionary's file round trip and refusals, and the texture read that tries DDS first.
#include "engine/world/texdict.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data/startup.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/testsupport/driver_startup.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/testsupport/temp_dir.h"

namespace {

class TexDictionary : public GxD3D9SoftwareTest {
protected:
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        ASSERT_TRUE(GxTestFileSystemOpen());
        dir = std::filesystem::temp_directory_path() /
              (std::string("ferrox_texdict_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override
    {
        FerroxSetStartup(nullptr);
        GxFileSystemManagerClose();
        GxD3D9SoftwareTest::TearDown();
        std::filesystem::remove_all(dir);
    }
    std::string Path(const char* name) const { return (dir / name).string(); }
    // A dictionary holding one 4 x 4 texture of the name.
    static void AddTexture(CFerroxTexDictionary* holder, const char* name)
    {
        ASSERT_EQ(1, holder->Create());
        GxRaster* raster = GxRasterCreate(4, 4, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
        ASSERT_NE(nullptr, raster);
        GxTexture* texture = GxTextureCreate(raster);
        ASSERT_NE(nullptr, texture);
        GxTextureSetName(texture, name);
        GxTexDictionaryAddTexture(holder->GetDictionary(), texture);
    }
    std::filesystem::path dir;
};

}  // namespace

TEST_F(TexDictionary, SavedFileLoadsBackAndBecomesCurrent)
{
    CFerroxTexDictionary original;
    EXPECT_EQ(1, original.IsEmpty());
    AddTexture(&original, "bricks");
    const std::string file = Path("level.gxs");
    ASSERT_EQ(1, original.SaveFile(file.c_str()));
    EXPECT_TRUE(GxTestTemporariesIn(dir).empty());

    CFerroxTexDictionary loaded;
    ASSERT_EQ(1, loaded.LoadFile(file.c_str()));
    EXPECT_EQ(0, loaded.IsEmpty());
    EXPECT_NE(nullptr, GxTexDictionaryFindNamedTexture(loaded.GetDictionary(), "bricks"));
    EXPECT_EQ(0, loaded.IsCurrent());
    loaded.MakeCurrent();
    EXPECT_EQ(1, loaded.IsCurrent());
    loaded.Destroy();
    EXPECT_EQ(1, loaded.IsEmpty());
    EXPECT_EQ(nullptr, loaded.GetDictionary());
}

TEST_F(TexDictionary, FilesWithoutADictionaryKeepTheOneHeld)
{
    CFerroxTexDictionary held;
    AddTexture(&held, "kept");
    GxTexDictionary* before = held.GetDictionary();
    const std::string other = Path("other.gxs");
    std::ofstream(other, std::ios::binary) << std::string("\x10\0\0\0\x04\0\0\0\x02\0\x37\x1c"
                                                          "abcd",
                                                          16);
    EXPECT_EQ(0, held.LoadFile(other.c_str()));
    EXPECT_EQ(0, held.LoadFile(Path("missing.gxs").c_str()));
    EXPECT_EQ(before, held.GetDictionary());
    // A dictionary chunk cut short fails; the old dictionary was already given up for it.
    const std::string good = Path("good.gxs");
    ASSERT_EQ(1, held.SaveFile(good.c_str()));
    std::filesystem::resize_file(good, std::filesystem::file_size(good) - 8);
    EXPECT_EQ(0, held.LoadFile(good.c_str()));
    EXPECT_EQ(nullptr, held.GetDictionary());
    EXPECT_EQ(1, held.IsEmpty());
    // A failed read leaves the flag as the last read set it, the dictionary gone.
    CFerroxTexDictionary whole;
    AddTexture(&whole, "whole");
    const std::string wholeFile = Path("whole.gxs");
    ASSERT_EQ(1, whole.SaveFile(wholeFile.c_str()));
    CFerroxTexDictionary read;
    ASSERT_EQ(1, read.LoadFile(wholeFile.c_str()));
    ASSERT_EQ(0, read.IsEmpty());
    EXPECT_EQ(0, read.LoadFile(good.c_str()));
    EXPECT_EQ(nullptr, read.GetDictionary());
    EXPECT_EQ(0, read.IsEmpty());
}

TEST_F(TexDictionary, AFailedSaveLeavesTheOldFile)
{
    CFerroxTexDictionary empty;
    const std::string file = Path("keep.gxs");
    std::ofstream(file, std::ios::binary) << "old";
    EXPECT_EQ(0, empty.SaveFile(file.c_str()));  // nothing to write
    CFerroxTexDictionary held;
    AddTexture(&held, "t");
    EXPECT_EQ(0, held.SaveFile(Path("no/such/dir/level.gxs").c_str()));
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ("old", bytes);
}

namespace {

// A 2 x 2 A8R8G8B8 DDS file, written field by field.
void WriteDDS(const std::string& path)
{
    std::vector<uint32_t> words = {0x20534444u, 124, 0x1007, 2, 2, 8, 0, 0};
    words.resize(words.size() + 11, 0);
    const uint32_t format[8] = {32, 0x41, 0, 32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
    words.insert(words.end(), format, format + 8);
    const uint32_t caps[5] = {0x1000, 0, 0, 0, 0};
    words.insert(words.end(), caps, caps + 5);
    words.insert(words.end(), 4, 0xFF336699u);
    std::ofstream out(path, std::ios::binary);
    for (uint32_t w : words) {
        const char bytes[4] = {static_cast<char>(w), static_cast<char>(w >> 8), static_cast<char>(w >> 16),
                               static_cast<char>(w >> 24)};
        out.write(bytes, 4);
    }
}

int g_fallbackReads = 0;
GxTexture* CountingRead(const GxChar*, const GxChar*)
{
    ++g_fallbackReads;
    return nullptr;
}

}  // namespace

TEST_F(TexDictionary, TextureReadTriesDDSThenTheReadBeforeIt)
{
    ASSERT_TRUE(GxTextureSetReadCallback(CountingRead));
    FerroxSetStartup(GxTestDriverStartup());
    ASSERT_EQ(1, FerroxInstallTextureReader());
    ASSERT_EQ(1, FerroxInstallTextureReader());  // a second install must not call itself
    g_fallbackReads = 0;
    ASSERT_NE(nullptr, GxImageSetPath((dir.string() + "/").c_str()));
    EXPECT_EQ(nullptr, GxTextureRead("absent", nullptr));
    EXPECT_EQ(1, g_fallbackReads);
    WriteDDS(Path("tile.dds"));
    GxTexture* texture = GxTextureRead("tile", nullptr);
    ASSERT_NE(nullptr, texture);
    EXPECT_EQ(1, g_fallbackReads);
    EXPECT_EQ(2, GxTextureGetRaster(texture)->width);
    GxTextureDestroy(texture);
}
