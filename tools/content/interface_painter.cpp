// Interface pictures and their maps, painted from layout tables.
#include "tools/content/interface_painter.h"

#include "tools/content/font_writer.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

namespace {

constexpr int kChannels = 4;
constexpr uint8_t kOpaque = 255;
constexpr int kFrame = 2;            // frame width around a button on the background
constexpr int kPaletteLimit = 64;
constexpr size_t kPngPaletteEntries = 256;   // an 8-bit palette image's largest palette
constexpr int kBarWidth = 64;
constexpr int kBarHeight = 6;
constexpr int kSeasonWidth = 64;
constexpr int kSeasonHeight = 36;

ContentPngImage Blank(int width, int height)
{
    ContentPngImage image;
    image.width = static_cast<uint32_t>(width);
    image.height = static_cast<uint32_t>(height);
    image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    image.rows.assign(static_cast<size_t>(width) * height * kChannels, 0);
    return image;
}

void Put(ContentPngImage* image, int x, int row, const uint8_t* rgb, uint8_t alpha = kOpaque)
{
    if (x < 0 || row < 0 || x >= static_cast<int>(image->width) || row >= static_cast<int>(image->height))
        return;
    uint8_t* p = &image->rows[(static_cast<size_t>(row) * image->width + x) * kChannels];
    p[0] = rgb[0];
    p[1] = rgb[1];
    p[2] = rgb[2];
    p[3] = alpha;
}

// Fills a bottom-up rectangle.
void Fill(ContentPngImage* image, const ContentUiRect& r, const uint8_t* rgb, uint8_t alpha = kOpaque)
{
    const int height = static_cast<int>(image->height);
    for (int y = r.y; y < r.y + r.height; y++)
        for (int x = r.x; x < r.x + r.width; x++)
            Put(image, x, height - 1 - y, rgb, alpha);
}

void Shade(const uint8_t* rgb, int delta, uint8_t* out)
{
    for (int i = 0; i < 3; i++)
        out[i] = static_cast<uint8_t>(std::clamp(rgb[i] + delta, 1, 254));
}

ContentPngImage Map(const ContentCanvasLayout& layout, int colours)
{
    ContentPngImage map = Blank(layout.width, layout.height);
    uint8_t rgb[3];
    for (int k = 0; k < colours; k++) {
        ContentMapColour(k, rgb);
        Put(&map, k, 0, rgb);
    }
    const uint8_t white[3] = {255, 255, 255};
    Put(&map, colours, 0, white);
    return map;
}

// Paints each label with the message font's glyphs, coverage cut at half so the text stays one colour.
void PaintLabels(ContentPngImage* image, const std::vector<ContentUiLabel>& labels)
{
    constexpr uint8_t kHalfCoverage = 128;
    if (labels.empty())
        return;
    ContentFontPage page;
    std::string ignored;
    if (!ContentFontRasterise(ContentInterfaceFonts().front(), &page, &ignored))
        return;
    std::map<int, const ContentFontGlyph*> glyphs;
    for (const ContentFontGlyph& glyph : page.glyphs)
        glyphs[glyph.code] = &glyph;
    const int height = static_cast<int>(image->height);
    for (const ContentUiLabel& label : labels) {
        int pen = label.x;
        for (const char* c = label.text; *c; c++) {
            auto found = glyphs.find(static_cast<unsigned char>(*c));
            if (found == glyphs.end())
                continue;
            const ContentFontGlyph& g = *found->second;
            const int cellRow = height - label.y - (g.bottom - g.top);   // top row of the cell
            for (int py = g.top; py < g.bottom; py++) {
                for (int px = g.left; px < g.right; px++) {
                    const size_t at = (static_cast<size_t>(py) * page.size + px) * kChannels;
                    if (page.rgba[at + 3] >= kHalfCoverage)
                        Put(image, pen + px - g.left, cellRow + py - g.top, kContentLabelColour);
                }
            }
            pen += g.right - g.left;
        }
    }
}

bool Write(const std::string& path, const ContentPngImage& image, std::string* error)
{
    if (ContentWritePng(path.c_str(), image))
        return true;
    if (error)
        *error = "cannot write " + path;
    return false;
}

} // namespace

const uint8_t kContentLabelColour[3] = {232, 228, 210};

void ContentMapColour(int k, uint8_t* rgb)
{
    // Channels stay within 20..235, so no colour is black or white; k below 64 gives distinct triples.
    rgb[0] = static_cast<uint8_t>(20 + (k % 4) * 60);
    rgb[1] = static_cast<uint8_t>(20 + ((k / 4) % 4) * 60);
    rgb[2] = static_cast<uint8_t>(20 + ((k / 16) % 4) * 60 + 15);
}

const ContentCanvasLayout& ContentMainBarLayout(void)
{
    static const ContentCanvasLayout layout = {
        "panels/main/base",
        "base",
        800,
        80,
        {70, 82, 104},
        {
            {4, 44, 32, 32},    // 1 build
            {38, 44, 32, 32},   // 2 manage
            {72, 44, 32, 32},   // 3 options
            {106, 44, 32, 32},  // 4 demolish
            {4, 8, 24, 24},     // 5 speed 0 (pause)
            {30, 8, 24, 24},    // 6 speed 1
            {56, 8, 24, 24},    // 7 speed 2
            {82, 8, 24, 24},    // 8 speed 3
            {652, 8, 24, 24},   // 9 floor down
            {740, 8, 24, 24},   // 10 floor up
            {652, 44, 32, 32},  // 11 messages
        },
        {
            {4, 44, 32, 32}, {38, 44, 32, 32}, {72, 44, 32, 32}, {106, 44, 32, 32},
            {4, 8, 24, 24}, {30, 8, 24, 24}, {56, 8, 24, 24}, {82, 8, 24, 24},
            {652, 8, 24, 24}, {740, 8, 24, 24}, {652, 44, 32, 32},
            {180, 12, 56, 20},   // date, right-aligned at 233
            {290, 12, 80, 20},   // balance, at 366
            {400, 12, 64, 20},   // shoppers, at 460
            {488, 8, 64, 16},    // rating bar from 490
        },
        {
            {180, 38, "Date"}, {290, 38, "Balance"}, {400, 38, "Shoppers"}, {488, 38, "Rating"},
            {684, 16, "Floor"},
        },
    };
    return layout;
}

ContentPngImage ContentCanvasBackground(const ContentCanvasLayout& layout)
{
    ContentPngImage image = Blank(layout.width, layout.height);
    Fill(&image, {0, 0, layout.width, layout.height}, layout.panel);
    uint8_t light[3], dark[3];
    Shade(layout.panel, 40, light);
    Shade(layout.panel, -40, dark);
    // A raised rim round the panel and a sunken frame round each button.
    Fill(&image, {0, layout.height - kFrame, layout.width, kFrame}, light);
    Fill(&image, {0, 0, layout.width, kFrame}, dark);
    for (const ContentUiRect& r : layout.buttons) {
        Fill(&image, {r.x - kFrame, r.y - kFrame, r.width + 2 * kFrame, r.height + 2 * kFrame}, dark);
        Fill(&image, {r.x, r.y, r.width, r.height}, light);
    }
    PaintLabels(&image, layout.labels);
    return image;
}

ContentPngImage ContentCanvasButton(const ContentCanvasLayout& layout, int button)
{
    const ContentUiRect& r = layout.buttons[static_cast<size_t>(button)];
    ContentPngImage image = Blank(r.width, r.height);
    uint8_t face[3], icon[3];
    ContentMapColour(button, icon);
    Shade(layout.panel, 90, face);
    Fill(&image, {0, 0, r.width, r.height}, face);
    // A centred mark of the button's own colour tells the buttons apart.
    Fill(&image, {r.width / 4, r.height / 4, r.width / 2, r.height / 2}, icon);
    return image;
}

ContentPngImage ContentPaletteImage(const ContentPngImage& rgba)
{
    const size_t pixels = static_cast<size_t>(rgba.width) * rgba.height;
    if (rgba.colourType != PNG_COLOR_TYPE_RGB_ALPHA || rgba.bitDepth != 8 || rgba.rows.size() < pixels * kChannels)
        return rgba;
    ContentPngImage out;
    out.width = rgba.width;
    out.height = rgba.height;
    out.colourType = PNG_COLOR_TYPE_PALETTE;
    out.bitDepth = 8;
    out.rows.resize(pixels);
    std::map<uint32_t, uint8_t> index;
    bool translucent = false;
    for (size_t i = 0; i < pixels; i++) {
        const uint8_t* p = &rgba.rows[i * kChannels];
        const uint32_t key = static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                             static_cast<uint32_t>(p[2]) << 8 | p[3];
        auto found = index.find(key);
        if (found == index.end()) {
            if (out.palette.size() == kPngPaletteEntries)
                return rgba;
            found = index.emplace(key, static_cast<uint8_t>(out.palette.size())).first;
            out.palette.push_back(png_color{p[0], p[1], p[2]});
            out.paletteAlpha.push_back(p[3]);
            translucent = translucent || p[3] != kOpaque;
        }
        out.rows[i] = found->second;
    }
    if (!translucent)
        out.paletteAlpha.clear();
    return out;
}

ContentPngImage ContentCanvasPlacementMap(const ContentCanvasLayout& layout)
{
    const int colours = static_cast<int>(layout.buttons.size());
    ContentPngImage map = Map(layout, colours);
    uint8_t rgb[3];
    for (int k = 0; k < colours; k++) {
        ContentMapColour(k, rgb);
        const ContentUiRect& r = layout.buttons[static_cast<size_t>(k)];
        Put(&map, r.x, layout.height - 1 - r.y, rgb);
    }
    return map;
}

ContentPngImage ContentCanvasHotSpotMap(const ContentCanvasLayout& layout)
{
    const int colours = static_cast<int>(layout.hotSpots.size());
    ContentPngImage map = Map(layout, colours);
    uint8_t rgb[3];
    for (int k = 0; k < colours; k++) {
        ContentMapColour(k, rgb);
        Fill(&map, layout.hotSpots[static_cast<size_t>(k)], rgb);
    }
    return map;
}

bool ContentWriteCanvas(const ContentCanvasLayout& layout, const std::string& dir, std::string* error)
{
    if (layout.buttons.size() >= kPaletteLimit || layout.hotSpots.size() >= kPaletteLimit) {
        if (error)
            *error = std::string("too many map colours in ") + layout.stem;
        return false;
    }
    const std::string base = dir + "/" + layout.stem;
    if (!Write(base + ".png", ContentPaletteImage(ContentCanvasBackground(layout)), error) ||
        !Write(base + "_p.png", ContentPaletteImage(ContentCanvasPlacementMap(layout)), error))
        return false;
    if (!layout.hotSpots.empty() && !Write(base + "_h.png", ContentPaletteImage(ContentCanvasHotSpotMap(layout)), error))
        return false;
    for (size_t k = 0; k < layout.buttons.size(); k++) {
        if (!Write(dir + "/" + std::to_string(k + 1) + "_s.png", ContentCanvasButton(layout, static_cast<int>(k)),
                   error))
            return false;
    }
    return true;
}

bool ContentWriteMainBar(const std::string& dir, std::string* error)
{
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    if (!ContentWriteCanvas(ContentMainBarLayout(), dir, error))
        return false;
    struct Season {
        const char* name;
        uint8_t sky[3];
        uint8_t ground[3];
    };
    const Season seasons[] = {
        {"spring", {150, 200, 240}, {90, 190, 80}},
        {"summer", {90, 170, 250}, {210, 190, 60}},
        {"autumn", {170, 160, 150}, {200, 110, 40}},
        {"winter", {200, 210, 220}, {245, 245, 250}},
    };
    for (const Season& season : seasons) {
        ContentPngImage image = Blank(kSeasonWidth, kSeasonHeight);
        Fill(&image, {0, 0, kSeasonWidth, kSeasonHeight}, season.sky);
        Fill(&image, {0, 0, kSeasonWidth, kSeasonHeight / 3}, season.ground);
        if (!Write(dir + "/" + season.name + ".png", image, error))
            return false;
    }
    ContentPngImage bar = Blank(kBarWidth, kBarHeight);
    const uint8_t white[3] = {255, 255, 255};
    Fill(&bar, {0, 0, kBarWidth, kBarHeight}, white);
    return Write(dir + "/bar.png", bar, error);
}
