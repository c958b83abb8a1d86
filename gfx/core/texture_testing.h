// Test helpers of the texture tests: the engine on the software device with counted textures and rasters, PNG files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/core/image.h"
#include "gfx/core/plugin.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/testsupport/png_writer.h"
#include "gfx/testsupport/software_fixture.h"

// Live textures and rasters, counted by extensions registered for the tests; each texture also carries
// a 4-byte extension value that goes through its extension chunk.
struct GxTextureTestCounts {
    GxInt32 textures = 0;
    GxInt32 rasters = 0;
    GxInt32 textureExtOffset = -1;
    GxInt32 refuseRasters = 0;  // rasters still to refuse, as a device out of room would
};
inline GxTextureTestCounts gxTextureTestCounts;
constexpr GxUInt32 gxTEXTURETESTPLUGIN = 0xFE01;
constexpr GxUInt32 gxRASTERTESTPLUGIN = 0xFE02;

inline void* GxTextureTestConstruct(void* object, GxInt32 offset, GxInt32)
{
    gxTextureTestCounts.textures++;
    *reinterpret_cast<GxUInt32*>(static_cast<char*>(object) + offset) = 0;
    return object;
}
inline void* GxTextureTestDestruct(void* object, GxInt32, GxInt32) { return gxTextureTestCounts.textures--, object; }
inline void* GxRasterTestConstruct(void* object, GxInt32, GxInt32)
{
    if (gxTextureTestCounts.refuseRasters > 0) {
        gxTextureTestCounts.refuseRasters--;
        return nullptr;
    }
    gxTextureTestCounts.rasters++;
    return object;
}
inline void* GxRasterTestDestruct(void* object, GxInt32, GxInt32) { return gxTextureTestCounts.rasters--, object; }

inline GxUInt32& GxTextureTestValue(GxTexture* texture)
{
    return *reinterpret_cast<GxUInt32*>(reinterpret_cast<char*>(texture) + gxTextureTestCounts.textureExtOffset);
}
inline GxInt32 GxTextureTestExtSize(const void* object, GxInt32 offset, GxInt32)
{
    return *reinterpret_cast<const GxUInt32*>(static_cast<const char*>(object) + offset) != 0 ? 4 : 0;
}
inline GxStream* GxTextureTestExtWrite(GxStream* stream, GxInt32, const void* object, GxInt32 offset, GxInt32)
{
    return GxStreamWriteInt32(stream, static_cast<const char*>(object) + offset, 4);
}
inline GxStream* GxTextureTestExtRead(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32)
{
    return length == 4 ? GxStreamReadInt32(stream, static_cast<char*>(object) + offset, 4) : nullptr;
}

// Sets one of the two addressing modes, leaving the other; the game sets both together.
inline void GxTextureTestSetAddressing(GxTexture* texture, GxUInt32 shift, GxUInt8 addressing)
{
    const GxUInt32 field = gxTEXTUREADDRESSMODEMASK << shift;
    texture->filterAddressing =
        (texture->filterAddressing & ~field) | ((addressing & gxTEXTUREADDRESSMODEMASK) << shift);
}

// The engine started on the software device with the counting plugins, a Win32 file system and the PNG reader.
class GxTextureTest : public GxD3D9SoftwareTest {
protected:
    void AttachPlugins() override
    {
        gxTextureTestCounts.textureExtOffset =
            GxTextureRegisterPlugin(4, gxTEXTURETESTPLUGIN, GxTextureTestConstruct, GxTextureTestDestruct, nullptr);
        ASSERT_GE(gxTextureTestCounts.textureExtOffset, 0);
        GxTextureRegisterPluginStream(gxTEXTURETESTPLUGIN, GxTextureTestExtRead, GxTextureTestExtWrite,
                                      GxTextureTestExtSize);
        ASSERT_GE(GxRasterRegisterPlugin(0, gxRASTERTESTPLUGIN, GxRasterTestConstruct, GxRasterTestDestruct, nullptr),
                  0);
    }
    void SetUp() override
    {
        gxTextureTestCounts = GxTextureTestCounts();
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(GxTestFileSystemOpen());
        ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
        directory = std::string("texture_test_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(directory);
        ASSERT_NE(GxImageSetPath((directory + "/").c_str()), nullptr);
        GxTestTakeErrorCode();
    }
    void TearDown() override
    {
        GxFileSystemManagerClose();
        GxD3D9SoftwareTest::TearDown();
        std::filesystem::remove_all(directory);
    }

    // A PNG of one colour per pixel (R, G, B, A) in the test's directory.
    bool WritePng(const std::string& name, GxInt32 width, GxInt32 height, const std::vector<GxRGBA>& pixels)
    {
        ContentPngImage png;
        png.width = static_cast<uint32_t>(width);
        png.height = static_cast<uint32_t>(height);
        png.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        for (const GxRGBA& c : pixels) {
            png.rows.insert(png.rows.end(), {c.red, c.green, c.blue, c.alpha});
        }
        return ContentWritePng((directory + "/" + name).c_str(), png);
    }
    bool WriteSolidPng(const std::string& name, GxInt32 width, GxInt32 height, GxRGBA colour)
    {
        return WritePng(name, width, height, std::vector<GxRGBA>(static_cast<size_t>(width * height), colour));
    }

    // One pixel of a 32-bit raster level as R, G, B, A.
    static GxRGBA Pixel(GxRaster* raster, GxInt32 level, GxInt32 x, GxInt32 y)
    {
        GxRGBA colour = {0, 0, 0, 0};
        if (GxRasterLock(raster, static_cast<GxUInt8>(level), gxRASTERLOCKREAD) == nullptr) {
            return colour;
        }
        const GxUInt8* p = raster->pixels + y * raster->stride + x * 4;
        colour = {p[2], p[1], p[0], p[3]};
        GxRasterUnlock(raster);
        return colour;
    }

    static GxImage* SolidImage(GxInt32 width, GxInt32 height, GxRGBA colour)
    {
        GxImage* image = GxImageCreate(width, height, 32);
        if (image == nullptr || GxImageAllocatePixels(image) == nullptr) {
            return nullptr;
        }
        for (GxInt32 y = 0; y < height; y++) {
            for (GxInt32 x = 0; x < width; x++) {
                std::memcpy(image->pixels + y * image->stride + x * 4, &colour, 4);
            }
        }
        return image;
    }

    // A texture raster filled from an image (format chosen by the device for the image and flags).
    static GxRaster* RasterFromImage(GxImage* image, GxInt32 flags)
    {
        GxRaster scratch = {};
        if (!GxEngineInstance->stdFunc[gxSTANDARDIMAGEFINDRASTERFORMAT](&scratch, image, flags)) {
            return nullptr;
        }
        GxRaster* raster =
            GxRasterCreate(scratch.width, scratch.height, scratch.depth, (scratch.format << 8) | scratch.type);
        if (raster != nullptr && !GxEngineInstance->stdFunc[gxSTANDARDRASTERSETIMAGE](raster, image, 0)) {
            GxRasterDestroy(raster);
            return nullptr;
        }
        return raster;
    }

    std::string directory;
};
