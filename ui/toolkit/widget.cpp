// Widgets: the widget base, the tiled picture and its implementation, and the progress bar.
//
// Sections: scale factors and screen; widget base; picture loading and tiles; picture drawing and hit test;
// image widget; bar; plain box.
#include "ui/toolkit/widget.h"

#include "ui/toolkit/imagemap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>

#include "engine/application/base.h"
#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "gfx/2d/brush.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/renderstate.h"
#include "gfx/core/texture.h"

namespace {

constexpr float kVirtualScreenHeight = 600.0f;
constexpr int32_t kMaxTileSize = 256;
constexpr int32_t kBytesPerPixel = 4;
constexpr size_t kExtensionLength = 4;
constexpr const char* kMaskSuffix = " alpha.bmp";
constexpr FerroxColour kWhite = {255, 255, 255, 255};
constexpr int32_t kWideDepth = 32;
constexpr int32_t kNarrowDepth = 16;
constexpr int32_t kNarrowBytes = 2;

float g_scaleX = 1.0f;
float g_scaleY = 1.0f;
FerroxImageImplFactory g_implFactory = nullptr;

// The image search path for the duration of a load: the game's image path, then empty again.
struct ImagePathScope {
    explicit ImagePathScope(const char* path) { GxImageSetPath(path ? path : ""); }
    ~ImagePathScope() { GxImageSetPath(""); }
};

const char* GameImagePath() { return g_pFerroxGame ? g_pFerroxGame->GetImagePath() : ""; }

// A new widget of the kind, configured from the record.
template <typename T>
std::unique_ptr<T> MakeConfigured(const FerroxWidgetRecord* record)
{
    auto widget = std::make_unique<T>();
    widget->Configure(record);
    return widget;
}

}  // namespace

bool FerroxImageReadable(const GxImage* image)
{
    if (!image || !image->pixels || image->width <= 0 || image->height <= 0)
        return false;
    return image->depth == 32 || ((image->depth == 4 || image->depth == 8) && image->palette);
}

namespace {

// Copies the first channel of each mask pixel into the picture's alpha; sizes must agree.
GxImage* ApplyMaskChannel(GxImage* picture, const GxImage* mask)
{
    if (!FerroxImageReadable(mask) || picture->depth != 32 || mask->width != picture->width ||
        mask->height != picture->height)
        return picture;
    for (int32_t y = 0; y < picture->height; y++) {
        for (int32_t x = 0; x < picture->width; x++) {
            uint8_t rgba[kBytesPerPixel];
            FerroxReadImagePixel(mask, x, y, rgba);
            picture->pixels[static_cast<size_t>(y) * picture->stride + static_cast<size_t>(x) * kBytesPerPixel + 3] =
                rgba[0];
        }
    }
    return picture;
}

GxImage* ReadPicture(const FerroxWidgetRecord* record, const char* name)
{
    if (!name || !*name)
        return nullptr;
    if (std::strstr(name, ".png")) {
        GxImage* picture = GxImageRead(name);
        if (!picture || record->width == 0.0f || record->height == 0.0f)
            return picture;
        GxImage* resampled =
            GxImageCreateResample(picture, static_cast<GxInt32>(record->width), static_cast<GxInt32>(record->height));
        if (!resampled)
            return picture;
        GxImageDestroy(picture);
        return resampled;
    }
    if (record->object) {
        GxImage* picture = GxImageRead(name);
        return picture ? ApplyMaskChannel(picture, static_cast<const GxImage*>(record->object)) : nullptr;
    }
    std::string text = name;
    if (text.size() < kExtensionLength)
        return GxImageRead(name);
    std::string maskName = text.substr(0, text.size() - kExtensionLength) + kMaskSuffix;
    GxImage* picture = nullptr;
    {
        // The mask is looked for beside the picture, not along the search path.
        std::string saved = GxImageGetPath() ? GxImageGetPath() : "";
        GxImageSetPath("");
        picture = GxImageReadMaskedImage(name, maskName.c_str());
        GxImageSetPath(saved.c_str());
    }
    return picture ? picture : GxImageRead(name);
}

}  // namespace

// ---- Scale factors and screen ----

void FerroxSetInterfaceScale(float horizontal, float vertical)
{
    g_scaleX = horizontal;
    g_scaleY = vertical;
}

float FerroxGetInterfaceScaleX() { return g_scaleX; }
float FerroxGetInterfaceScaleY() { return g_scaleY; }

float FerroxGetScreenHeight()
{
    GxCamera* camera = Gx2DDeviceGetCamera();
    if (!camera || !GxCameraGetRaster(camera))
        return kVirtualScreenHeight;
    return static_cast<float>(GxCameraGetRaster(camera)->height);
}

void FerroxSetImageImplFactory(FerroxImageImplFactory factory) { g_implFactory = factory; }

// ---- Widget base ----

CFerroxWidget::CFerroxWidget() { CFerroxWidget::Init(); }

void CFerroxWidget::Init()
{
    m_x = m_y = m_width = m_height = -1.0f;
    m_visible = 1;
    m_id = -1;
}

void CFerroxWidget::Render(float, float) {}
void CFerroxWidget::SetText(const char*) {}

int CFerroxWidget::HitTest(const FerroxPoint* point)
{
    if (!point)
        return 0;
    float y = FerroxGetScreenHeight() - point->y;
    return m_x <= point->x && point->x <= m_x + m_width && m_y <= y && y <= m_y + m_height ? 1 : 0;
}

void CFerroxWidget::SetColour(FerroxColour) {}
void CFerroxWidget::Spare(int32_t, int32_t) {}

void CFerroxWidget::Scale(float sx, float sy)
{
    m_x *= sx;
    m_width *= sx;
    m_y *= sy;
    m_height *= sy;
}

void CFerroxWidget::Update() {}

void CFerroxWidget::Configure(const FerroxWidgetRecord* record)
{
    if (!record)
        return;
    m_x = record->x;
    m_y = record->y;
    m_width = record->width;
    m_height = record->height;
    if (record->scaled)
        CFerroxWidget::Scale(g_scaleX, g_scaleY);
}

// ---- Picture loading and tiles ----

std::vector<int32_t> FerroxImageTileSizes(int32_t length)
{
    std::vector<int32_t> sizes;
    while (length > 0) {
        int32_t size = kMaxTileSize;
        while (size > length)
            size >>= 1;
        sizes.push_back(size);
        length -= size;
    }
    return sizes;
}

void FerroxImageConvertPixel(const uint8_t* rgba, uint8_t* bgra)
{
    bgra[0] = rgba[2];
    bgra[1] = rgba[1];
    bgra[2] = rgba[0];
    bgra[3] = rgba[3];
    if (rgba[0] == 0 && rgba[1] == 0 && rgba[2] == 0 && rgba[3] == 255)
        bgra[1] = 1;
}

CFerroxImageImpl::CFerroxImageImpl() : m_pBrush(nullptr), m_scaled(0), m_hasBrush(false), m_colour(kWhite) {}

CFerroxImageImpl::~CFerroxImageImpl() { CFerroxImageImpl::Release(); }

void CFerroxImageImpl::Spare0() {}
void CFerroxImageImpl::Spare1(int32_t, int32_t) {}

int CFerroxImageImpl::Init()
{
    m_pBrush = nullptr;
    m_hasBrush = false;
    m_scaled = 0;
    return 0;
}

void CFerroxImageImpl::Load(const FerroxWidgetRecord* record, float* rect, const char* name)
{
    Release();
    if (!record || !rect)
        return;
    float sx = record->scaled ? g_scaleX : 1.0f;
    float sy = record->scaled ? g_scaleY : 1.0f;
    m_scaled = record->scaled ? 1 : 0;
    GxImage* picture = nullptr;
    {
        ImagePathScope scope(GameImagePath());
        picture = ReadPicture(record, name);
    }
    rect[0] = record->x * sx;
    rect[1] = record->y * sy;
    if (!FerroxImageReadable(picture)) {
        // A missing picture is an image without tiles: it draws nothing and is never hit.
        rect[2] = rect[3] = 0.0f;
        if (picture)
            GxImageDestroy(picture);
        return;
    }
    CutIntoTiles(picture, sx, sy);
    rect[2] = static_cast<float>(picture->width) * sx;
    rect[3] = static_cast<float>(picture->height) * sy;
    GxImageDestroy(picture);
    m_colour = kWhite;
    m_hasBrush = CreateBrush();
}

namespace {

constexpr size_t kPaletteIndices = 256;  // an 8-bit index, and a 4-bit one kept a byte

// A palette picture's entries converted once, as RGBA then BGRA, per possible index byte.
std::vector<uint8_t> ConvertedPalette(const GxImage* picture)
{
    std::vector<uint8_t> table;
    if (picture->depth == 32)
        return table;
    table.resize(kPaletteIndices * 2 * kBytesPerPixel);
    const size_t entries = size_t{1} << picture->depth;
    for (size_t i = 0; i < kPaletteIndices; i++) {
        const GxRGBA& entry = picture->palette[i & (entries - 1)];
        uint8_t* rgba = &table[i * 2 * kBytesPerPixel];
        rgba[0] = entry.red;
        rgba[1] = entry.green;
        rgba[2] = entry.blue;
        rgba[3] = entry.alpha;
        FerroxImageConvertPixel(rgba, rgba + kBytesPerPixel);
    }
    return table;
}

// One row of a tile as BGRA texels, straight from the picture's row.
void CopyTileRow(const GxImage* picture, const std::vector<uint8_t>& palette, int32_t column, int32_t y, int32_t width,
                 uint8_t* bgra)
{
    const GxUInt8* source = picture->pixels + static_cast<size_t>(y) * picture->stride;
    if (palette.empty()) {
        source += static_cast<size_t>(column) * kBytesPerPixel;
        for (int32_t x = 0; x < width; x++, source += kBytesPerPixel, bgra += kBytesPerPixel)
            FerroxImageConvertPixel(source, bgra);
        return;
    }
    source += column;
    for (int32_t x = 0; x < width; x++, bgra += kBytesPerPixel) {
        const uint8_t* entry = &palette[static_cast<size_t>(source[x]) * 2 * kBytesPerPixel];
        std::memcpy(bgra, entry + kBytesPerPixel, kBytesPerPixel);
    }
}

// Whether the hit test reads a tile's alpha: the formats that keep one.
bool KeepsAlpha(int32_t format)
{
    return format == gxRASTERFORMAT1555 || format == gxRASTERFORMAT4444 || format == gxRASTERFORMAT8888;
}

}  // namespace

int32_t FerroxImageTileFormat(GxImage* picture)
{
    GxInt32 width = 0;
    GxInt32 height = 0;
    GxInt32 depth = 0;
    GxInt32 format = 0;
    if (!GxImageFindRasterFormat(picture, gxRASTERTYPETEXTURE, &width, &height, &depth, &format))
        return gxRASTERFORMAT8888;
    switch (format & gxRASTERFORMATPIXELFORMATMASK) {
    case gxRASTERFORMAT1555:
    case gxRASTERFORMAT565:
    case gxRASTERFORMAT4444:
    case gxRASTERFORMAT888:
    case gxRASTERFORMAT555:
        return format & gxRASTERFORMATPIXELFORMATMASK;
    default:
        // Palette pictures ask for their entries' format; a tile holds the colours themselves.
        return gxRASTERFORMAT8888;
    }
}

uint16_t FerroxImagePackPixel(const uint8_t* bgra, int32_t format)
{
    const uint32_t b = bgra[0];
    const uint32_t g = bgra[1];
    const uint32_t r = bgra[2];
    const uint32_t a = bgra[3];
    uint32_t packed = 0;
    switch (format) {
    case gxRASTERFORMAT1555:
        packed = (a >> 7) << 15 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
        break;
    case gxRASTERFORMAT4444:
        packed = (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4;
        break;
    case gxRASTERFORMAT565:
        packed = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
        break;
    case gxRASTERFORMAT555:
        packed = (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
        break;
    default:
        break;
    }
    // Pure black never reaches a texture: it is the colour key.
    if (packed == 0 && (format == gxRASTERFORMAT565 || format == gxRASTERFORMAT555))
        packed = 1;
    return static_cast<uint16_t>(packed);
}

void CFerroxImageImpl::CutIntoTiles(GxImage* picture, float sx, float sy)
{
    std::vector<int32_t> widths = FerroxImageTileSizes(picture->width);
    std::vector<int32_t> heights = FerroxImageTileSizes(picture->height);
    std::vector<uint8_t> bgra;
    const std::vector<uint8_t> palette = ConvertedPalette(picture);
    const int32_t format = FerroxImageTileFormat(picture);
    int32_t column = 0;
    for (int32_t width : widths) {
        int32_t row = 0;
        for (int32_t height : heights) {
            FerroxImageTile tile;
            tile.pixelWidth = width;
            tile.pixelHeight = height;
            tile.format = format;
            bgra.resize(static_cast<size_t>(width) * height * kBytesPerPixel);
            for (int32_t y = 0; y < height; y++) {
                const size_t at = static_cast<size_t>(y) * width;
                CopyTileRow(picture, palette, column, row + y, width, &bgra[at * kBytesPerPixel]);
            }
            tile.texture = CreateTexture(bgra.data(), width, height, format);
            tile.x = static_cast<float>(column) * sx;
            tile.y = static_cast<float>(picture->height - row - height) * sy;
            tile.width = static_cast<float>(width) * sx;
            tile.height = static_cast<float>(height) * sy;
            m_tiles.push_back(std::move(tile));
            row += height;
        }
        column += width;
    }
}

GxTexture* CFerroxImageImpl::CreateTexture(const uint8_t* bgra, int32_t width, int32_t height, int32_t format)
{
    const bool wide = format == gxRASTERFORMAT8888 || format == gxRASTERFORMAT888;
    GxRaster* raster = GxRasterCreate(width, height, wide ? kWideDepth : kNarrowDepth, gxRASTERTYPETEXTURE | format);
    if (!raster)
        return nullptr;
    GxUInt8* pixels = GxRasterLock(raster, 0, gxRASTERLOCKWRITE);
    if (!pixels) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    const size_t rowPixels = static_cast<size_t>(width);
    for (int32_t y = 0; y < height; y++) {
        GxUInt8* row = pixels + static_cast<size_t>(y) * raster->stride;
        const uint8_t* from = bgra + y * rowPixels * kBytesPerPixel;
        if (wide) {
            std::memcpy(row, from, rowPixels * kBytesPerPixel);
            continue;
        }
        for (size_t x = 0; x < rowPixels; x++) {
            const uint16_t packed = FerroxImagePackPixel(from + x * kBytesPerPixel, format);
            std::memcpy(row + x * kNarrowBytes, &packed, kNarrowBytes);
        }
    }
    GxRasterUnlock(raster);
    GxTexture* texture = GxTextureCreate(raster);
    if (!texture) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    GxTextureSetFilterMode(texture, gxFILTERLINEARMIPLINEAR);
    GxTextureSetAddressing(texture, gxTEXTUREADDRESSCLAMP);
    return texture;
}

void CFerroxImageImpl::DestroyTexture(GxTexture* texture)
{
    if (texture)
        GxTextureDestroy(texture);
}

bool CFerroxImageImpl::CreateBrush()
{
    // The 2D toolkit may open after the picture loads: the brush then comes with the first draw.
    if (Gx2DDeviceGetCamera() && !m_pBrush) {
        m_pBrush = Gx2DBrushCreate();
        if (!m_pBrush)
            return false;
        const GxV2d uv[4] = {{0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}, {0.0f, 0.0f}};
        Gx2DBrushSetUV(m_pBrush, &uv[0], &uv[1], &uv[2], &uv[3]);
        const GxRGBA c = {m_colour.red, m_colour.green, m_colour.blue, m_colour.alpha};
        Gx2DBrushSetRGBA(m_pBrush, &c, &c, &c, &c);
    }
    return true;
}

void CFerroxImageImpl::Release()
{
    if (m_pBrush) {
        Gx2DBrushDestroy(m_pBrush);
        m_pBrush = nullptr;
    }
    m_hasBrush = false;
    for (FerroxImageTile& tile : m_tiles)
        DestroyTexture(tile.texture);
    m_tiles.clear();
}

void CFerroxImageImpl::SetColour(FerroxColour colour)
{
    if (!m_hasBrush)
        return;
    m_colour = colour;
    if (!m_pBrush)
        return;
    const GxRGBA c = {colour.red, colour.green, colour.blue, colour.alpha};
    Gx2DBrushSetRGBA(m_pBrush, &c, &c, &c, &c);
}

void CFerroxImageImpl::Scale(float sx, float sy)
{
    if (sx < 0.0f || sy < 0.0f)
        return;
    for (FerroxImageTile& tile : m_tiles) {
        tile.x *= sx;
        tile.width *= sx;
        tile.y *= sy;
        tile.height *= sy;
    }
}

// ---- Picture drawing and hit test ----

void CFerroxImageImpl::Render(const float* rect, float x, float y)
{
    if (m_tiles.empty() || !m_hasBrush || !rect)
        return;
    GxV2d xStep = {1.0f, 0.0f};
    GxV2d yStep = {0.0f, 1.0f};
    GxV2d origin = {0.0f, 0.0f};
    bool device = Gx2DDeviceGetCamera() != nullptr;
    if (device && !CreateBrush())
        return;
    if (device) {
        Gx2DCTMPush();
        Gx2DCTMSetIdentity();
        Gx2DDeviceGetPixelVectors(&xStep, &yStep, &origin);
        // Half a pixel left and up puts texel centres on pixel centres.
        Gx2DCTMTranslate(-0.5f * xStep.x, 0.5f * yStep.y);
    }
    float sizeX = std::sqrt(xStep.x * xStep.x + xStep.y * xStep.y);
    float sizeY = std::sqrt(yStep.x * yStep.x + yStep.y * yStep.y);
    for (const FerroxImageTile& tile : m_tiles) {
        DrawTile(tile, (tile.x + rect[0] + x) * sizeX, (tile.y + rect[1] + y) * sizeY, tile.width * sizeX,
                 tile.height * sizeY);
    }
    if (device)
        Gx2DCTMPop();
}

void CFerroxImageImpl::DrawTile(const FerroxImageTile& tile, float x, float y, float width, float height)
{
    if (!m_pBrush || !tile.texture)
        return;
    Gx2DPath* path = Gx2DScratchPathGet();
    if (!path)
        return;
    Gx2DPathEmpty(path);
    Gx2DPathRect(path, x, y, width, height);
    Gx2DBrushSetTexture(m_pBrush, tile.texture);
    Gx2DPathFill(path, m_pBrush);
}

int CFerroxImageImpl::HitTest(const FerroxPoint* point, const float* rect)
{
    if (!point || !rect)
        return 0;
    float y = FerroxGetScreenHeight() - point->y;
    if (!(rect[0] <= point->x && point->x <= rect[0] + rect[2] && rect[1] <= y && y <= rect[1] + rect[3]))
        return 0;
    float u = point->x - rect[0];
    float v = rect[1] + rect[3] - y;
    if (!(0.0f <= u && u < rect[2] && 0.0f <= v && v < rect[3]))
        return 0;
    float up = rect[3] - v;
    for (const FerroxImageTile& tile : m_tiles) {
        if (!(tile.x <= u && u < tile.x + tile.width && tile.y < up && up <= tile.y + tile.height))
            continue;
        // Pixel under the point, in the tile's own pixels (rows top down).
        float fx = (u - tile.x) / tile.width * static_cast<float>(tile.pixelWidth);
        float fy = (tile.y + tile.height - up) / tile.height * static_cast<float>(tile.pixelHeight);
        int32_t px = std::min(static_cast<int32_t>(fx), tile.pixelWidth - 1);
        int32_t py = std::min(static_cast<int32_t>(fy), tile.pixelHeight - 1);
        // A format without alpha is hit over its whole tile.
        if (!KeepsAlpha(tile.format))
            return 1;
        return ReadTileAlpha(tile, px, py) != 0 ? 1 : 0;
    }
    return 0;
}

uint8_t CFerroxImageImpl::ReadTileAlpha(const FerroxImageTile& tile, int32_t px, int32_t py)
{
    constexpr int32_t kAlphaByte = 3;
    constexpr int32_t kAlphaBit = 15;
    constexpr int32_t kAlphaNibble = 12;
    constexpr uint8_t kAlphaSet = 0x80;
    constexpr int32_t kNibbleToByte = 4;
    GxRaster* raster = tile.texture ? GxTextureGetRaster(tile.texture) : nullptr;
    const GxUInt8* pixels = raster ? GxRasterLock(raster, 0, gxRASTERLOCKREAD) : nullptr;
    if (!pixels)
        return 0;
    const GxUInt8* row = pixels + static_cast<size_t>(py) * raster->stride;
    uint8_t alpha = 0;
    if (tile.format == gxRASTERFORMAT8888) {
        alpha = row[static_cast<size_t>(px) * kBytesPerPixel + kAlphaByte];
    } else {
        uint16_t packed = 0;
        std::memcpy(&packed, row + static_cast<size_t>(px) * kNarrowBytes, kNarrowBytes);
        alpha = tile.format == gxRASTERFORMAT1555 ? ((packed >> kAlphaBit) ? kAlphaSet : 0)
                                                  : static_cast<uint8_t>((packed >> kAlphaNibble) << kNibbleToByte);
    }
    GxRasterUnlock(raster);
    return alpha;
}

// ---- Image widget ----

CFerroxImage::CFerroxImage() : m_pImpl(g_implFactory ? g_implFactory() : new CFerroxImageImpl()) { m_pImpl->Init(); }

CFerroxImage::~CFerroxImage() = default;

void CFerroxImage::Init() {}
void CFerroxImage::Release() {}
void CFerroxImage::Update() {}

void CFerroxImage::Render(float parentX, float parentY)
{
    const float rect[4] = {m_x, m_y, m_width, m_height};
    m_pImpl->Render(rect, parentX, parentY);
}

int CFerroxImage::HitTest(const FerroxPoint* point)
{
    const float rect[4] = {m_x, m_y, m_width, m_height};
    return m_pImpl->HitTest(point, rect);
}

void CFerroxImage::SetColour(FerroxColour colour) { m_pImpl->SetColour(colour); }
void CFerroxImage::Scale(float sx, float sy) { m_pImpl->Scale(sx, sy); }

void CFerroxImage::Configure(const FerroxWidgetRecord* record)
{
    if (!record)
        return;
    CFerroxWidget::Configure(record);
    SetName(record->name);
    float rect[4] = {m_x, m_y, m_width, m_height};
    m_pImpl->Load(record, rect, GetName());
    m_x = rect[0];
    m_y = rect[1];
    m_width = rect[2];
    m_height = rect[3];
}

// ---- Bar ----

CFerroxBar::CFerroxBar() { CFerroxBar::Init(); }

void CFerroxBar::Init()
{
    m_fullLength = 0.0f;
    m_factor = 1.0f;
    m_inverseFactor = 1.0f;
    m_rightAnchored = 0;
}

void CFerroxBar::Configure(const FerroxWidgetRecord* record)
{
    if (!record)
        return;
    CFerroxImage::Configure(record);
    if (record->extent < 1.0f || m_width <= 0.0f) {
        m_fullLength = m_width;
        return;
    }
    m_fullLength = record->extent;
    Scale(record->extent / m_width, 1.0f);
}

void CFerroxBar::SetPercent(uint8_t value)
{
    constexpr uint8_t kFull = 100;
    constexpr float kPercent = 0.01f;
    if (value == 0) {
        m_visible = 0;
        return;
    }
    if (value > kFull)
        return;
    m_visible = 1;
    Scale(m_inverseFactor, 1.0f);
    m_factor = static_cast<float>(value) * kPercent;
    m_inverseFactor = static_cast<float>(kFull) / static_cast<float>(value);
    Scale(m_factor, 1.0f);
}

void CFerroxBar::Render(float parentX, float parentY)
{
    if (m_rightAnchored) {
        CFerroxImage::Render(parentX - m_factor * m_fullLength, parentY);
        return;
    }
    CFerroxImage::Render(parentX, parentY);
}

std::unique_ptr<CFerroxImage> FerroxMakeImage(const char* picture, float x, float y, int32_t scaled)
{
    FerroxWidgetRecord record = {};
    record.name = picture;
    record.x = x;
    record.y = y;
    record.scaled = scaled;
    return MakeConfigured<CFerroxImage>(&record);
}

std::unique_ptr<CFerroxBar> FerroxMakeBar(const char* picture, float length, int32_t scaled)
{
    FerroxWidgetRecord record = {};
    record.name = picture;
    record.extent = length;
    record.scaled = scaled;
    return MakeConfigured<CFerroxBar>(&record);
}

void FerroxReleaseButton()
{
    if (CFerroxMouse* mouse = FerroxGameMouse())
        mouse->LeftButtonUp();
}

void FerroxBeginFlatDrawing()
{
    GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(0));
    GxRenderStateSet(gxRENDERSTATEZTESTENABLE, GxRenderStateValue(0));
    GxRenderStateSet(gxRENDERSTATEFOGENABLE, GxRenderStateValue(0));
}
