// Widgets: rectangles, tiled pictures on the software device, pixel conversion, hit tests and bars.
#include "ui/toolkit/widget.h"

#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

using WidgetTest = UiTest;

FerroxPoint At(float x, float bottomUpY) { return {x, FerroxGetScreenHeight() - bottomUpY}; }

TEST(WidgetBaseTest, RectangleEdgesAreInsideAndScaleFlagMultiplies)
{
    CFerroxWidget widget;
    EXPECT_EQ(widget.m_x, -1.0f);
    EXPECT_EQ(widget.m_visible, 1);
    EXPECT_EQ(widget.m_id, -1);
    EXPECT_EQ(widget.HitTest(nullptr), 0);
    FerroxWidgetRecord record = {};
    record.x = 10;
    record.y = 20;
    record.width = 30;
    record.height = 40;
    widget.Configure(&record);
    FerroxPoint corner = At(40.0f, 60.0f);
    EXPECT_EQ(widget.HitTest(&corner), 1);
    FerroxPoint outside = At(40.5f, 60.0f);
    EXPECT_EQ(widget.HitTest(&outside), 0);
    FerroxSetInterfaceScale(2.0f, 0.5f);
    record.scaled = 1;
    widget.Configure(&record);
    EXPECT_EQ(widget.m_x, 20.0f);
    EXPECT_EQ(widget.m_height, 20.0f);
    FerroxSetInterfaceScale(1.0f, 1.0f);
}

TEST(WidgetBaseTest, OpaqueBlackKeepsGreenOne)
{
    const uint8_t black[4] = {0, 0, 0, 255};
    const uint8_t clear[4] = {0, 0, 0, 0};
    const uint8_t colour[4] = {10, 20, 30, 40};
    uint8_t out[4];
    FerroxImageConvertPixel(black, out);
    EXPECT_EQ(out[1], 1);
    FerroxImageConvertPixel(clear, out);
    EXPECT_EQ(out[1], 0);
    FerroxImageConvertPixel(colour, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{30, 20, 10, 40}));
}

// 16-bit texels keep the high bits of each channel; a 565 or 555 texel that would be 0 is 1.
TEST(WidgetBaseTest, SixteenBitPixelsKeepTheHighBits)
{
    const uint8_t bgra[4] = {0x1F, 0x84, 0xF8, 0x90};  // blue, green, red, alpha
    EXPECT_EQ(FerroxImagePackPixel(bgra, gxRASTERFORMAT1555), 0x8000 | 0x1F << 10 | 0x10 << 5 | 0x03);
    EXPECT_EQ(FerroxImagePackPixel(bgra, gxRASTERFORMAT4444), 0x9000 | 0xF << 8 | 0x8 << 4 | 0x1);
    EXPECT_EQ(FerroxImagePackPixel(bgra, gxRASTERFORMAT565), 0x1F << 11 | 0x21 << 5 | 0x03);
    EXPECT_EQ(FerroxImagePackPixel(bgra, gxRASTERFORMAT555), 0x1F << 10 | 0x10 << 5 | 0x03);
    const uint8_t dark[4] = {7, 3, 7, 255};  // below every format's lowest step
    EXPECT_EQ(FerroxImagePackPixel(dark, gxRASTERFORMAT565), 1);
    EXPECT_EQ(FerroxImagePackPixel(dark, gxRASTERFORMAT555), 1);
    EXPECT_EQ(FerroxImagePackPixel(dark, gxRASTERFORMAT1555), 0x8000);
}

// Tiles take the format the device suits to the picture: an opaque one has no alpha and is hit over its whole
// tiles; one with clear pixels keeps them, and they are not hit.
TEST_F(WidgetTest, TilesTakeTheFormatTheDeviceSuits)
{
    FerroxSetImageImplFactory(nullptr);
    UiPicture opaque(8, 8, {9, 9, 9, 255});
    UiPicture holed(8, 8, {9, 9, 9, 255});
    holed.At(0, 0) = {0, 0, 0, 0};
    ASSERT_TRUE(opaque.Write(Path("opaque.png")));
    ASSERT_TRUE(holed.Write(Path("holed.png")));
    for (const char* file : {"opaque.png", "holed.png"}) {
        const std::string name = Path(file);
        GxImage* picture = GxImageRead(name.c_str());
        ASSERT_NE(picture, nullptr);
        GxInt32 width = 0, height = 0, depth = 0, format = 0;
        ASSERT_NE(GxImageFindRasterFormat(picture, gxRASTERTYPETEXTURE, &width, &height, &depth, &format), nullptr);
        GxImageDestroy(picture);
        FerroxWidgetRecord record = {};
        record.name = name.c_str();
        CFerroxImage image;
        image.Configure(&record);
        const std::vector<FerroxImageTile>& tiles = image.GetImpl()->GetTiles();
        ASSERT_EQ(tiles.size(), 1u) << file;
        EXPECT_EQ(tiles[0].format, format & gxRASTERFORMATPIXELFORMATMASK) << file;
        const bool alpha = tiles[0].format == gxRASTERFORMAT8888 || tiles[0].format == gxRASTERFORMAT1555 ||
                           tiles[0].format == gxRASTERFORMAT4444;
        EXPECT_EQ(alpha, std::string(file) == "holed.png") << file;
        const FerroxPoint corner = At(0.5f, 7.5f);  // the top-left pixel
        EXPECT_EQ(image.HitTest(&corner), alpha ? 0 : 1) << file;
        const FerroxPoint middle = At(4.0f, 4.0f);
        EXPECT_EQ(image.HitTest(&middle), 1) << file;
    }
}

TEST_F(WidgetTest, RealImageCutsTwelveTexturedTiles)
{
    FerroxSetImageImplFactory(nullptr);
    ASSERT_TRUE(UiPicture(300, 100, {5, 6, 7, 255}).Write(Path("big.png")));
    const std::string name = Path("big.png");
    FerroxWidgetRecord record = {};
    record.name = name.c_str();
    record.x = 4;
    record.y = 8;
    CFerroxImage image;
    image.Configure(&record);
    EXPECT_EQ(image.m_width, 300.0f);
    EXPECT_EQ(image.m_height, 100.0f);
    const std::vector<FerroxImageTile>& tiles = image.GetImpl()->GetTiles();
    ASSERT_EQ(tiles.size(), 12u);
    const float widths[] = {256, 32, 8, 4};
    const float heights[] = {64, 32, 4};
    for (size_t i = 0; i < tiles.size(); i++) {
        EXPECT_EQ(tiles[i].width, widths[i / 3]) << i;
        EXPECT_EQ(tiles[i].height, heights[i % 3]) << i;
        ASSERT_NE(tiles[i].texture, nullptr) << i;
        EXPECT_EQ(GxTextureGetRaster(tiles[i].texture)->width, tiles[i].pixelWidth);
    }
    // The first tile of a column is its top one, placed bottom-up.
    EXPECT_EQ(tiles[0].y, 36.0f);
    EXPECT_EQ(tiles[2].y, 0.0f);
    EXPECT_EQ(tiles[3].x, 256.0f);
}

// Texels of every tile, in tile order.
std::vector<uint8_t> TileBytes(const CFerroxImage& image)
{
    std::vector<uint8_t> bytes;
    for (const FerroxImageTile& tile : image.GetImpl()->GetTiles()) {
        GxRaster* raster = GxTextureGetRaster(tile.texture);
        const GxUInt8* texels = raster ? GxRasterLock(raster, 0, gxRASTERLOCKREAD) : nullptr;
        if (!texels)
            continue;
        for (int32_t y = 0; y < tile.pixelHeight; y++) {
            const GxUInt8* row = texels + static_cast<size_t>(y) * raster->stride;
            bytes.insert(bytes.end(), row, row + static_cast<size_t>(tile.pixelWidth) * 4);
        }
        GxRasterUnlock(raster);
    }
    return bytes;
}

TEST_F(WidgetTest, PalettePictureCutsTheSameTilesAsItsRgbaForm)
{
    FerroxSetImageImplFactory(nullptr);
    // Four entries: opaque black (drawn with green 1), a translucent and a clear colour, and a plain one.
    const UiRgba entries[] = {{0, 0, 0, 255}, {200, 10, 20, 128}, {7, 8, 9, 0}, {30, 60, 90, 255}};
    const int32_t w = 37, h = 21;  // odd sizes: several tiles, rows not a whole number of words
    UiPicture rgba(w, h);
    ContentPngImage indexed;
    indexed.width = w;
    indexed.height = h;
    indexed.colourType = PNG_COLOR_TYPE_PALETTE;
    for (const UiRgba& entry : entries) {
        indexed.palette.push_back({entry.r, entry.g, entry.b});
        indexed.paletteAlpha.push_back(entry.a);
    }
    for (int32_t row = 0; row < h; row++) {
        for (int32_t x = 0; x < w; x++) {
            const uint8_t index = static_cast<uint8_t>((x * 3 + row * 5) % 4);
            indexed.rows.push_back(index);
            rgba.At(x, row) = entries[index];
        }
    }
    ASSERT_TRUE(rgba.Write(Path("rgba.png")));
    ASSERT_TRUE(ContentWritePng(Path("indexed.png").c_str(), indexed));
    const std::string names[] = {Path("rgba.png"), Path("indexed.png")};
    std::vector<uint8_t> bytes[2];
    for (int form = 0; form < 2; form++) {
        FerroxWidgetRecord record = {};
        record.name = names[form].c_str();
        CFerroxImage image;
        image.Configure(&record);
        ASSERT_EQ(image.m_width, static_cast<float>(w));
        bytes[form] = TileBytes(image);
    }
    ASSERT_EQ(bytes[0].size(), static_cast<size_t>(w) * h * 4);
    EXPECT_EQ(bytes[0], bytes[1]);
}

TEST_F(WidgetTest, AlphaDecidesHitsAndNegativeScaleIsIgnored)
{
    UiPicture picture(8, 4, {200, 0, 0, 255});
    picture.At(2, 1) = {200, 0, 0, 0};  // transparent, row 1 from the top
    ASSERT_TRUE(picture.Write(Path("spot.png")));
    const std::string name = Path("spot.png");
    FerroxWidgetRecord record = {};
    record.name = name.c_str();
    record.x = 100;
    record.y = 50;
    CFerroxImage image;
    image.Configure(&record);
    // Pixel (2, 1) from the top spans bottom-up y 52..53 at x 102..103.
    FerroxPoint clear = At(102.5f, 52.5f);
    FerroxPoint opaque = At(103.5f, 52.5f);
    EXPECT_EQ(image.HitTest(&clear), 0);
    EXPECT_EQ(image.HitTest(&opaque), 1);
    FerroxPoint right = At(108.0f, 51.0f);  // on the right edge: inside the rectangle, past the last pixel
    EXPECT_EQ(image.HitTest(&right), 0);

    image.Scale(-1.0f, 2.0f);
    EXPECT_EQ(image.GetImpl()->GetTiles()[0].height, 4.0f);
    image.Scale(0.5f, 1.0f);
    EXPECT_EQ(image.GetImpl()->GetTiles()[0].width, 4.0f);
    EXPECT_EQ(image.m_width, 8.0f);  // the widget keeps its size for hit tests
}

// An image reads the picture it is given, in every language: another picture beside it is not read.
TEST_F(WidgetTest, ImageReadsThePictureItIsGivenInEveryLanguage)
{
    ASSERT_TRUE(UiPicture(4, 4, {1, 1, 1, 255}).Write(Path("words.png")));
    ASSERT_TRUE(UiPicture(6, 4, {1, 1, 1, 255}).Write(Path("wordsger.png")));
    ASSERT_TRUE(UiPicture(8, 4, {1, 1, 1, 255}).Write(Path("wordsfre.png")));
    const std::string name = Path("words.png");
    FerroxWidgetRecord record = {};
    record.name = name.c_str();
    for (int32_t language : {0, 1, 2}) {
        game->m_pLocale->SetLanguage(language);
        CFerroxImage image;
        image.Configure(&record);
        EXPECT_EQ(image.m_width, 4.0f) << language;
        EXPECT_STREQ(image.GetName(), name.c_str());
    }
}

TEST_F(WidgetTest, BarShowsItsShareAndAnchorsRight)
{
    ASSERT_TRUE(UiPicture(64, 6, {255, 255, 255, 255}).Write(Path("bar.png")));
    const std::string name = Path("bar.png");
    FerroxWidgetRecord record = {};
    record.name = name.c_str();
    record.extent = 128.0f;
    CFerroxBar bar;
    bar.Configure(&record);
    EXPECT_EQ(bar.m_fullLength, 128.0f);
    bar.SetPercent(50);
    bar.SetPercent(25);
    bar.Draw(0.0f, 0.0f);
    ASSERT_EQ(uiDrawRecords.size(), 1u);
    EXPECT_FLOAT_EQ(uiDrawRecords[0].width, 32.0f);
    bar.SetPercent(101);
    EXPECT_FLOAT_EQ(bar.m_factor, 0.25f);
    bar.SetPercent(0);
    EXPECT_EQ(bar.m_visible, 0);
    bar.SetPercent(25);
    bar.m_rightAnchored = 1;
    uiDrawRecords.clear();
    bar.Draw(200.0f, 0.0f);
    ASSERT_EQ(uiDrawRecords.size(), 1u);
    EXPECT_FLOAT_EQ(uiDrawRecords[0].x + uiDrawRecords[0].width, 200.0f);
}

}  // namespace
