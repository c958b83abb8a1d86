// Tests of texture dictionaries: membership and iteration, the native dictionary chunk round trip and its refusals,
// tables of contents.
#include <cstring>
#include <string>
#include <vector>

#include "gfx/core/bytes.h"
#include "gfx/core/texdict_testing.h"
#include "gfx/core/texture_testing.h"

namespace {

using Bytes = std::vector<GxUInt8>;

Bytes WriteDictionary(const GxTexDictionary* dictionary)
{
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    const bool ok = GxTexDictionaryStreamWrite(dictionary, stream) != nullptr;
    Bytes bytes = GxTestCloseWriteStream(stream);
    return ok ? bytes : Bytes();
}

// Reads a whole dictionary chunk (header included) from bytes.
GxTexDictionary* ReadDictionary(Bytes bytes)
{
    GxTestReadStream in(std::move(bytes), gxID_TEXDICTIONARY);
    return in.Get() ? GxTexDictionaryStreamRead(in.Get()) : nullptr;
}

GxTOC* ReadTOC(Bytes bytes)
{
    GxTestReadStream in(std::move(bytes));
    return in.Get() ? GxTOCStreamRead(in.Get()) : nullptr;
}

class TexDictionary : public GxTextureTest {
protected:
    // A texture over a raster made from a solid image, with a name and an extension value.
    GxTexture* Make(const char* name, GxRGBA colour, GxInt32 flags, GxUInt8 filter)
    {
        GxImage* image = SolidImage(8, 8, colour);
        GxRaster* raster = image ? RasterFromImage(image, flags) : nullptr;
        if (raster && (flags & gxRASTERFORMATMIPMAP)) {
            GxTextureRasterGenerateMipmaps(raster, image);
        }
        GxImageDestroy(image);
        GxTexture* texture = raster ? GxTextureCreate(raster) : nullptr;
        if (texture) {
            GxTextureSetName(texture, name);
            GxTextureSetFilterMode(texture, filter);
            GxTextureTestValue(texture) = 0x5000 + colour.red;
        }
        return texture;
    }
    GxTexDictionary* Sample()
    {
        GxTexDictionary* dictionary = GxTexDictionaryCreate();
        GxTexDictionaryAddTexture(dictionary, Make("glass", {10, 20, 30, 128}, gxRASTERTYPETEXTURE, 2));
        GxTexDictionaryAddTexture(dictionary, Make("floor", {40, 50, 60, 255}, gxRASTERTYPETEXTURE, 1));
        GxTexture* mipmapped = Make("roof", {70, 80, 90, 255}, gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP, 6);
        GxTextureTestSetAddressing(mipmapped, gxTEXTUREADDRESSVSHIFT, gxTEXTUREADDRESSCLAMP);
        GxTexDictionaryAddTexture(dictionary, mipmapped);
        return dictionary;
    }
};

GxTexture* DestroyEvery(GxTexture* texture, void* data)
{
    ++*static_cast<GxInt32*>(data);
    GxTextureDestroy(texture);
    return texture;
}

GxTexture* StopAtFirst(GxTexture* texture, void* data)
{
    ++*static_cast<GxInt32*>(data);
    return texture == nullptr ? texture : nullptr;
}

// Texture names from the head of the dictionary's list.
std::vector<std::string> Names(GxTexDictionary* dictionary)
{
    std::vector<std::string> names;
    GxTexDictionaryForAllTextures(
        dictionary,
        [](GxTexture* texture, void* data) -> GxTexture* {
            static_cast<std::vector<std::string>*>(data)->push_back(texture->name);
            return texture;
        },
        &names);
    return names;
}

TEST_F(TexDictionary, MembershipCurrentAndIteration)
{
    GxTexDictionary* dictionary = GxTexDictionaryCreate();
    ASSERT_NE(dictionary, nullptr);
    EXPECT_EQ(dictionary->object.type, gxOBJECTTYPETEXDICTIONARY);
    GxTexture* a = GxTextureSetName(GxTextureCreate(nullptr), "a");
    GxTexture* b = GxTextureSetName(GxTextureCreate(nullptr), "b");
    GxTexDictionaryAddTexture(GxTexDictionaryGetCurrent(), a);
    GxTexDictionaryAddTexture(dictionary, a);
    GxTexDictionaryAddTexture(dictionary, b);
    EXPECT_EQ(GxTexDictionaryGetNumTextures(GxTexDictionaryGetCurrent()), 0);
    EXPECT_EQ(GxTexDictionaryFindNamedTexture(dictionary, "A"), a);
    GxInt32 calls = 0;
    GxTexDictionaryForAllTextures(dictionary, StopAtFirst, &calls);
    EXPECT_EQ(calls, 1);
    // The callback may destroy the texture it is given.
    calls = 0;
    GxTexDictionaryForAllTextures(dictionary, DestroyEvery, &calls);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(GxTexDictionaryGetNumTextures(dictionary), 0);
    EXPECT_EQ(gxTextureTestCounts.textures, 0);

    GxTexDictionarySetCurrent(dictionary);
    GxTexDictionaryDestroy(dictionary);
    EXPECT_EQ(GxTexDictionaryGetCurrent(), nullptr);
}

TEST_F(TexDictionary, NativeRoundTripAndEveryTruncation)
{
    GxTexDictionary* dictionary = Sample();
    const Bytes bytes = WriteDictionary(dictionary);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.size(), GxTexDictionaryStreamGetSize(dictionary) + 12);
    GxTexDictionaryDestroy(dictionary);
    GxTexDictionary* copy = ReadDictionary(bytes);
    ASSERT_NE(copy, nullptr);
    GxTexture* roof = GxTexDictionaryFindNamedTexture(copy, "roof");
    ASSERT_NE(roof, nullptr);
    EXPECT_EQ(roof->filterAddressing, 0x3106u);
    EXPECT_EQ(GxTextureTestValue(roof), 0x5000u + 70);
    EXPECT_EQ(Pixel(GxTexDictionaryFindNamedTexture(copy, "glass")->raster, 0, 5, 5).alpha, 128);
    // Each texture read goes to the head: the copy lists them in the reverse of the stream's order.
    EXPECT_EQ(Names(copy), (std::vector<std::string>{"glass", "floor", "roof"}));
    const Bytes reversed = WriteDictionary(copy);
    EXPECT_NE(reversed, bytes);
    GxTexDictionary* twice = ReadDictionary(reversed);
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(WriteDictionary(twice), bytes);
    GxTexDictionaryDestroy(twice);
    GxTexDictionaryDestroy(copy);
    for (size_t cut = 0; cut < bytes.size(); cut++) {
        EXPECT_EQ(ReadDictionary(Bytes(bytes.begin(), bytes.begin() + cut)), nullptr) << cut;
        ASSERT_EQ(gxTextureTestCounts.textures, 0) << cut;
        ASSERT_EQ(gxTextureTestCounts.rasters, 0) << cut;
    }
    GxTestTakeErrorCode();
}

TEST_F(TexDictionary, EmptyDictionariesAndDeviceIdentifiers)
{
    GxTexDictionary* empty = GxTexDictionaryCreate();
    Bytes bytes = WriteDictionary(empty);
    GxTexDictionaryDestroy(empty);
    // Chunk header, 16-byte struct part, empty extension chunk.
    ASSERT_EQ(bytes.size(), 12u + 16u + 12u);
    EXPECT_EQ(bytes[26], 0x02);  // this device's identifier
    GxTexDictionary* read = ReadDictionary(bytes);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(GxTexDictionaryGetNumTextures(read), 0);
    GxTexDictionaryDestroy(read);

    // Identifier 0 is anybody's; another device's is refused without an error.
    bytes[26] = 0;
    read = ReadDictionary(bytes);
    EXPECT_NE(read, nullptr);
    GxTexDictionaryDestroy(read);
    bytes[26] = 7;
    GxTestTakeErrorCode();
    EXPECT_EQ(ReadDictionary(bytes), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);
    // A struct of other than 4 bytes is refused.
    bytes[16] = 8;
    EXPECT_EQ(ReadDictionary(bytes), nullptr);
}

TEST_F(TexDictionary, TableOfContentsIsBounded)
{
    Bytes bytes;
    GxBytesAppend(&bytes, 2);
    for (GxUInt32 i = 0; i < 2; i++) {
        GxBytesAppend(&bytes, 0x10 + i);
        GxBytesAppend(&bytes, 0);
        GxBytesAppend(&bytes, 100 * (i + 1));
        bytes.insert(bytes.end(), 16, static_cast<GxUInt8>(i));
    }
    GxTOC* toc = ReadTOC(bytes);
    ASSERT_NE(toc, nullptr);
    EXPECT_EQ(toc->numEntries, 2);
    EXPECT_EQ(GxTOCGetEntry(toc, 1)->id, 0x11u);
    EXPECT_EQ(GxTOCGetEntry(toc, 1)->offset, 200u);
    GxFree(toc);

    // Truncated entries, a negative count and an absurd count are refused.
    EXPECT_EQ(ReadTOC(Bytes(bytes.begin(), bytes.end() - 1)), nullptr);
    Bytes negative;
    GxBytesAppend(&negative, 0xFFFFFFFFu);
    EXPECT_EQ(ReadTOC(negative), nullptr);
    Bytes huge;
    GxBytesAppend(&huge, 0x40000000u);
    EXPECT_EQ(ReadTOC(huge), nullptr);
}

// Counts are held to the bytes that follow them before anything is made for them.
class TexDictionaryCounts : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GxTestEngineStart(0, 0x400000, GxTestMemoryReset()));
        GxTestTakeErrorCode();
    }
    void TearDown() override { GxTestEngineShutdown(); }
};

TEST_F(TexDictionaryCounts, CountsBeyondTheStreamAllocateNothing)
{
    Bytes toc;
    GxBytesAppend(&toc, gxTOCMAXENTRIES);
    gxTestMemory.largest = 0;
    EXPECT_EQ(ReadTOC(toc), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRREAD);
    EXPECT_LT(gxTestMemory.largest, 0x10000u);

    // 0xFFFF textures in the record and in the chunk layout of the images dictionary, and in a native one.
    const long live = GxTestLiveBlocks();
    for (GxUInt32 header : {0x0000FFFFu, 0x0001FFFFu}) {
        Bytes images;
        GxBytesAppend(&images, header);
        images.resize(200, 0);
        GxTestReadStream in(images);
        EXPECT_EQ(GxTexDictionaryStreamReadImages(in.Get()), nullptr);
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRREAD);
    }
    Bytes native;
    GxBytesAppend(&native, gxID_STRUCT);
    GxBytesAppend(&native, 4);
    GxBytesAppend(&native, 0x1C02000A);
    GxBytesAppend(&native, 0xFFFF);
    native.resize(100, 0);
    {
        GxTestReadStream in(native);
        EXPECT_EQ(GxTexDictionaryStreamRead(in.Get()), nullptr);
    }
    GxTestTakeErrorCode();
    EXPECT_EQ(GxTestLiveBlocks(), live);
}

}  // namespace
