// Round trips of images dictionaries, tables of contents, group names and native dictionaries through the library's
// readers.
#include "tools/content/texdict_writer.h"

#include <cstring>
#include <vector>

#include "gfx/core/texture_testing.h"
#include "gfx/d3d9/raster.h"
#include "tools/content/image_writer.h"

namespace {

using Bytes = std::vector<GxUInt8>;

// What a writer put on a memory stream; nothing when it failed.
template <typename Writer>
Bytes Written(Writer writer)
{
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    const bool ok = stream && writer(stream);
    Bytes bytes = GxTestCloseWriteStream(stream);
    return ok ? bytes : Bytes();
}

// The texture at a position of a dictionary's list, from its head.
GxTexture* TextureAt(GxTexDictionary* dictionary, GxInt32 index)
{
    GxLink* link = dictionary->texturesInDict.next;
    for (GxInt32 i = 0; i < index && link != &dictionary->texturesInDict; i++) {
        link = link->next;
    }
    return link == &dictionary->texturesInDict ? nullptr : GxLinkGetData(link, GxTexture, lInDictionary);
}

GxTexDictionary* ReadImages(const Bytes& bytes)
{
    GxTestReadStream in(bytes, gxID_IMAGEDICTIONARY);
    return in.Get() ? GxTexDictionaryStreamReadImages(in.Get()) : nullptr;
}

class ImageDictionary : public GxTextureTest {
protected:
    void TearDown() override
    {
        for (GxImage* image : images) {
            GxImageDestroy(image);
        }
        GxTextureTest::TearDown();
    }
    const GxImage* Solid(GxInt32 size, GxRGBA colour)
    {
        images.push_back(SolidImage(size, size, colour));
        return images.back();
    }
    const GxImage* Indexed(GxInt32 size)
    {
        GxImage* image = GxImageCreate(size, size, 8);
        GxImageAllocatePixels(image);
        for (GxInt32 i = 0; i < 256; i++) {
            image->palette[i] = {static_cast<GxUInt8>(i), 0, static_cast<GxUInt8>(255 - i), 255};
        }
        for (GxInt32 y = 0; y < size; y++) {
            for (GxInt32 x = 0; x < size; x++) {
                image->pixels[y * image->stride + x] = static_cast<GxUInt8>(16 * y + x);
            }
        }
        images.push_back(image);
        return image;
    }
    std::vector<ContentImageTexture> Sample()
    {
        std::vector<ContentImageTexture> textures(3);
        textures[0].name = "brick";
        textures[0].levels = {Solid(8, {200, 0, 0, 255})};
        textures[0].filterAddressing = 0x0003;
        textures[1].name = "pane";
        textures[1].mask = "panem";
        textures[1].levels = {Solid(8, {0, 200, 0, 128}), Solid(4, {0, 0, 200, 128})};
        textures[1].filterAddressing = 0x0206;
        textures[2].name = "sign";
        textures[2].levels = {Indexed(16)};
        textures[2].filterAddressing = 0x3302;
        return textures;
    }
    std::vector<GxImage*> images;
};

TEST_F(ImageDictionary, BothLayoutsReadBack)
{
    GxTexture* source = GxTextureCreate(nullptr);
    GxTextureTestValue(source) = 0xBEEF;
    for (ContentImageDictionaryLayout layout : {CONTENTIMAGEDICTIONARYRECORDS, CONTENTIMAGEDICTIONARYCHUNKS}) {
        std::vector<ContentImageTexture> textures = Sample();
        textures[1].extensionSource = source;
        const Bytes bytes = Written([&](GxStream* s) { return ContentImageDictionaryWrite(s, textures, layout); });
        ASSERT_EQ(bytes.size(), 12u + ContentImageDictionaryBodySize(textures, layout));
        GxTexDictionary* current = GxTexDictionaryGetCurrent();
        GxTexDictionary* dictionary = ReadImages(bytes);
        ASSERT_NE(dictionary, nullptr);
        EXPECT_EQ(GxTexDictionaryGetCurrent(), current);
        ASSERT_EQ(GxTexDictionaryGetNumTextures(dictionary), 3);
        // Each texture read goes to the head of the dictionary: the last stored comes first.
        EXPECT_STREQ(TextureAt(dictionary, 0)->name, "sign");
        EXPECT_STREQ(TextureAt(dictionary, 2)->name, "brick");

        // One level with a mipmapped filter: the device builds the levels; no addressing means wrap.
        GxTexture* brick = GxTexDictionaryFindNamedTexture(dictionary, "brick");
        EXPECT_EQ(brick->filterAddressing, layout ? 0x0003u : 0x1103u);
        EXPECT_EQ(GxRasterGetFormat(brick->raster) & 0xF000, gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP);
        EXPECT_EQ(Pixel(brick->raster, 0, 3, 3).red, 200);

        // Two stored levels fill two raster levels; an empty V takes U.
        GxTexture* pane = GxTexDictionaryFindNamedTexture(dictionary, "pane");
        EXPECT_EQ(pane->filterAddressing, 0x2206u);
        EXPECT_STREQ(pane->mask, "panem");
        EXPECT_EQ(GxRasterGetFormat(pane->raster) & 0xF000, gxRASTERFORMATMIPMAP);
        EXPECT_EQ(Pixel(pane->raster, 1, 3, 3).blue, 200);
        EXPECT_EQ(Pixel(pane->raster, 1, 3, 3).alpha, 128);
        EXPECT_EQ(GxTextureTestValue(pane), layout ? 0xBEEFu : 0u);
        EXPECT_EQ(GxTexDictionaryFindNamedTexture(dictionary, "sign")->filterAddressing, 0x3302u);
        GxTexDictionaryDestroy(dictionary);
    }
    GxTextureDestroy(source);
    EXPECT_EQ(gxTextureTestCounts.textures, 0);
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);
}

TEST_F(ImageDictionary, RefusedTexturesAreDroppedAndBrokenRecordsFailTheRead)
{
    // A raster the device refuses drops its texture; the records after it are still read.
    {
        const std::vector<ContentImageTexture> textures = Sample();
        const Bytes bytes = Written(
            [&](GxStream* s) { return ContentImageDictionaryWrite(s, textures, CONTENTIMAGEDICTIONARYRECORDS); });
        gxTextureTestCounts.refuseRasters = 1;
        GxTexDictionary* dictionary = ReadImages(bytes);
        ASSERT_NE(dictionary, nullptr);
        EXPECT_EQ(GxTexDictionaryGetNumTextures(dictionary), 2);
        EXPECT_EQ(GxTexDictionaryFindNamedTexture(dictionary, "brick"), nullptr);
        EXPECT_NE(GxTexDictionaryFindNamedTexture(dictionary, "sign"), nullptr);
        GxTexDictionaryDestroy(dictionary);
        EXPECT_EQ(gxTextureTestCounts.rasters, 0);
        GxTestTakeErrorCode();
    }
    // A record cut short leaves the stream inside it: nothing after it can be found, so the read fails.
    for (ContentImageDictionaryLayout layout : {CONTENTIMAGEDICTIONARYRECORDS, CONTENTIMAGEDICTIONARYCHUNKS}) {
        const std::vector<ContentImageTexture> textures = Sample();
        const Bytes bytes = Written([&](GxStream* s) { return ContentImageDictionaryWrite(s, textures, layout); });
        GxTexDictionary* current = GxTexDictionaryGetCurrent();
        for (size_t cut = 12; cut < bytes.size(); cut++) {
            ASSERT_EQ(ReadImages(Bytes(bytes.begin(), bytes.begin() + cut)), nullptr) << cut;
            ASSERT_EQ(gxTextureTestCounts.textures, 0) << cut;
            ASSERT_EQ(gxTextureTestCounts.rasters, 0) << cut;
            ASSERT_EQ(GxTexDictionaryGetCurrent(), current) << cut;
        }
    }
    // Level counts of 0 and beyond the limit in the second record.
    const std::vector<ContentImageTexture> textures = Sample();
    Bytes bytes =
        Written([&](GxStream* s) { return ContentImageDictionaryWrite(s, textures, CONTENTIMAGEDICTIONARYRECORDS); });
    const size_t second = 16 + 72 + ContentImageStreamGetSize(textures[0].levels[0]);
    for (GxUInt8 count : {static_cast<GxUInt8>(0), static_cast<GxUInt8>(17)}) {
        Bytes bad = bytes;
        bad[second + 64] = count;
        EXPECT_EQ(ReadImages(bad), nullptr);
        EXPECT_EQ(gxTextureTestCounts.textures, 0);
        EXPECT_EQ(gxTextureTestCounts.rasters, 0);
    }
    // Names that do not fit a record are refused by the writer.
    std::vector<ContentImageTexture> long_names = Sample();
    long_names[0].name = std::string(32, 'n');
    EXPECT_TRUE(Written([&](GxStream* s) {
                    return ContentImageDictionaryWrite(s, long_names, CONTENTIMAGEDICTIONARYRECORDS);
                }).empty());
}

// Tables of contents and group names.
using StreamParts = GxTextureTest;

TEST_F(StreamParts, TableOfContentsAndGroupNamesReadBack)
{
    std::vector<GxTOCEntry> entries(2);
    entries[0] = {gxID_IMAGEDICTIONARY, 0, 64, {}};
    entries[1] = {0x10, 7, 4096, {}};
    entries[1].guid[15] = 0x5A;
    const Bytes toc = Written([&](GxStream* s) { return ContentTOCWrite(s, entries); });
    GxTestReadStream tocIn(toc, gxID_TOC);
    GxTOC* table = tocIn.Get() ? GxTOCStreamRead(tocIn.Get()) : nullptr;
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->numEntries, 2);
    EXPECT_EQ(GxTOCGetEntry(table, 0)->id, gxID_IMAGEDICTIONARY);
    EXPECT_EQ(GxTOCGetEntry(table, 1)->offset, 4096u);
    EXPECT_EQ(GxTOCGetEntry(table, 1)->guid[15], 0x5A);
    GxFree(table);

    const Bytes group = Written(
        [](GxStream* s) { return ContentChunkGroupStartWrite(s, "spawn_1_north") && ContentChunkGroupEndWrite(s); });
    GxTestReadStream groupIn(group, gxID_CHUNKGROUPSTART);
    GxNameRecord* record = groupIn.Get() ? GxNameRecordStreamRead(groupIn.Get()) : nullptr;
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->name, "spawn_1_north");
    GxNameRecordDestroy(record);
    EXPECT_EQ(group.size(), 12u + ContentNameRecordSize("spawn_1_north") + 12u);
    EXPECT_TRUE(Written([](GxStream* s) { return ContentNameRecordWrite(s, std::string(33, 'x').c_str()); }).empty());
}

// The native dictionary the content tool authors.
TEST_F(StreamParts, NativeDictionaryReadsBackIdentical)
{
    const Bytes bytes = Written([](GxStream* s) { return ContentNativeTexDictionaryWrite(s, 16); });
    ASSERT_FALSE(bytes.empty());
    GxTestReadStream in(bytes, gxID_TEXDICTIONARY);
    GxTexDictionary* dictionary = in.Get() ? GxTexDictionaryStreamRead(in.Get()) : nullptr;
    ASSERT_NE(dictionary, nullptr);
    // Stored opaque, alpha, mipmapped, compressed; each read goes to the head, so the list runs backwards.
    const char* names[] = {"compressed", "mipmapped", "alpha", "opaque"};
    for (GxInt32 i = 0; i < 4; i++) {
        EXPECT_STREQ(TextureAt(dictionary, i)->name, names[i]);
    }
    EXPECT_EQ(GxRasterGetFormat(TextureAt(dictionary, 3)->raster) & 0x0F00, gxRASTERFORMAT888);
    EXPECT_EQ(GxRasterGetFormat(TextureAt(dictionary, 2)->raster) & 0x0F00, gxRASTERFORMAT8888);
    EXPECT_EQ(GxRasterGetNumLevels(TextureAt(dictionary, 1)->raster), 5);
    EXPECT_EQ(TextureAt(dictionary, 1)->filterAddressing, 0x1106u);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(TextureAt(dictionary, 0)->raster)->d3dFormat,
              static_cast<GxUInt32>(D3DFMT_DXT1));
    // Written again the order is reversed; a second read turns it back.
    const Bytes again = Written([&](GxStream* s) { return GxTexDictionaryStreamWrite(dictionary, s) != nullptr; });
    EXPECT_NE(again, bytes);
    GxTestReadStream second(again, gxID_TEXDICTIONARY);
    GxTexDictionary* twice = second.Get() ? GxTexDictionaryStreamRead(second.Get()) : nullptr;
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(Written([&](GxStream* s) { return GxTexDictionaryStreamWrite(twice, s) != nullptr; }), bytes);
    GxTexDictionaryDestroy(twice);
    GxTexDictionaryDestroy(dictionary);
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);
    EXPECT_FALSE(ContentNativeTexDictionaryWrite(nullptr, 16));
    EXPECT_TRUE(Written([](GxStream* s) { return ContentNativeTexDictionaryWrite(s, 12); }).empty());
}

}  // namespace
