// Interface pictures and their maps, painted from layout tables.
#include "tools/content/interface_painter.h"

#include "engine/data/utf.h"
#include "tools/content/font_writer.h"
#include "tools/content/icon_painter.h"
#include "tools/content/label_texts.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

namespace {

constexpr int kChannels = 4;
constexpr uint8_t kOpaque = 255;
constexpr int kPaletteLimit = 64;
constexpr size_t kPngPaletteEntries = 256;  // an 8-bit palette image's largest palette
constexpr int kBarWidth = 64;
constexpr int kBarHeight = 6;
constexpr int kSeasonHeight = 36;
constexpr uint8_t kGlassAlpha = 28;

// Fills a bottom-up rectangle.
void Fill(ContentPngImage* image, const ContentUiRect& r, const uint8_t* rgb, uint8_t alpha = kOpaque)
{
    const int height = static_cast<int>(image->height);
    for (int y = r.y; y < r.y + r.height; y++)
        for (int x = r.x; x < r.x + r.width; x++)
            ContentPutPixel(image, x, height - 1 - y, rgb, alpha);
}

void Shade(const uint8_t* rgb, int delta, uint8_t* out)
{
    for (int i = 0; i < 3; i++)
        out[i] = static_cast<uint8_t>(std::clamp(rgb[i] + delta, 1, 254));
}

ContentPngImage Map(const ContentCanvasLayout& layout, int colours)
{
    ContentPngImage map = ContentBlankImage(layout.width, layout.height);
    uint8_t rgb[3];
    for (int k = 0; k < colours; k++) {
        ContentMapColour(k, rgb);
        ContentPutPixel(&map, k, 0, rgb);
    }
    const uint8_t white[3] = {255, 255, 255};
    ContentPutPixel(&map, colours, 0, white);
    return map;
}

// The rasterised interface font by index, made once; null when it can not be made.
const ContentFontPage* FontPage(int font)
{
    static std::map<int, ContentFontPage> pages;
    static std::map<int, bool> failed;
    const std::vector<ContentFontSpec>& fonts = ContentInterfaceFonts();
    if (font < 0 || font >= static_cast<int>(fonts.size()) || failed[font])
        return nullptr;
    auto found = pages.find(font);
    if (found != pages.end())
        return &found->second;
    ContentFontPage page;
    std::string ignored;
    if (!ContentFontRasterise(fonts[static_cast<size_t>(font)], &page, &ignored)) {
        failed[font] = true;
        return nullptr;
    }
    return &pages.emplace(font, std::move(page)).first->second;
}

// The character codes of a label: its UTF-16 units, decoded from UTF-8 as every text is (a bad byte is U+FFFD).
// The fonts hold no code past U+FFFF, so a surrogate half finds no glyph, as the character would not.
std::vector<int> Codes(const char* text)
{
    const std::u16string units = FerroxUtf8ToUtf16(text ? text : "");
    return std::vector<int>(units.begin(), units.end());
}

const ContentFontGlyph* Glyph(const ContentFontPage& page, int code)
{
    for (const ContentFontGlyph& glyph : page.glyphs)
        if (glyph.code == code)
            return &glyph;
    return nullptr;
}

int CellHeight(const ContentFontPage& page)
{
    return page.glyphs.empty() ? 0 : page.glyphs.front().bottom - page.glyphs.front().top;
}

// Paints each label with the message font's glyphs, coverage cut at half so the text stays one colour.
void PaintLabels(ContentPngImage* image, const std::vector<ContentUiLabel>& labels)
{
    constexpr uint8_t kHalfCoverage = 128;
    const int height = static_cast<int>(image->height);
    for (const ContentUiLabel& label : labels) {
        const ContentFontPage* page = FontPage(label.font);
        if (!page)
            continue;
        const ContentUiRect area = ContentLabelRect(label);
        const int scale = std::max(1, label.scale);
        int pen = area.x;
        const int cellTop = height - (area.y + area.height);  // top row of the cells
        for (int code : Codes(label.text)) {
            const ContentFontGlyph* g = Glyph(*page, code);
            if (!g)
                continue;
            for (int py = g->top; py < g->bottom; py++) {
                for (int px = g->left; px < g->right; px++) {
                    const size_t at = (static_cast<size_t>(py) * page->size + px) * kChannels;
                    // The letter's own ink, not the rim round it: its light pixels.
                    if (page->rgba[at + 3] < kHalfCoverage || page->rgba[at] < kHalfCoverage)
                        continue;
                    for (int sy = 0; sy < scale; sy++)
                        for (int sx = 0; sx < scale; sx++)
                            ContentPutPixel(image, pen + (px - g->left) * scale + sx,
                                            cellTop + (py - g->top) * scale + sy, kContentLabelColour);
                }
            }
            pen += (g->right - g->left) * scale;
        }
    }
}

// The marks' icons in the label colour.
void PaintMarks(ContentPngImage* image, const std::vector<ContentUiMark>& marks)
{
    for (const ContentUiMark& mark : marks) {
        const ContentUiRect& r = mark.place;
        const int row = static_cast<int>(image->height) - (r.y + r.height);
        ContentPaintIconFilling(image, r.x, row, r.width, r.height, mark.icon, kContentLabelColour);
    }
}

// Button k's icon, when it has one, over the bottom-up rectangle.
void PaintButtonIcon(ContentPngImage* image, const ContentCanvasLayout& layout, size_t k, const ContentUiRect& r,
                     const uint8_t* ink)
{
    if (k >= layout.icons.size())
        return;
    const int row = static_cast<int>(image->height) - (r.y + r.height);
    ContentPaintIcon(image, r.x, row, r.width, r.height, static_cast<ContentIcon>(layout.icons[k]), ink);
}

bool Overlap(const ContentUiRect& a, const ContentUiRect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// The rectangle grown by dx on the left and right and by dy below and above.
ContentUiRect Grown(const ContentUiRect& r, int dx, int dy)
{
    return {r.x - dx, r.y - dy, r.width + 2 * dx, r.height + 2 * dy};
}

bool Contains(const ContentUiRect& outer, const ContentUiRect& inner)
{
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

// The labels in a language: each English word's form there, or the word itself when it has none.
std::vector<ContentUiLabel> LanguageLabels(const std::vector<ContentUiLabel>& labels, int language)
{
    std::vector<ContentUiLabel> shown = labels;
    for (ContentUiLabel& label : shown) {
        if (const char* text = ContentLabelText(label.text, language))
            label.text = text;
    }
    return shown;
}

// Where a label's letters stand: its width, from its baseline up to the height of its digits (rows of labels
// stand closer than whole font cells).
ContentUiRect InkRect(const ContentUiLabel& label)
{
    const ContentUiRect cell = ContentLabelRect(label);
    return {cell.x, label.y, cell.width, ContentDigitHeight(label.font) * std::max(1, label.scale)};
}

}  // namespace

const uint8_t kContentLabelColour[3] = {232, 228, 210};
const uint8_t kContentIconInk[3] = {28, 34, 52};

int ContentTextWidth(int font, const char* text)
{
    const ContentFontPage* page = FontPage(font);
    if (!page || !text)
        return 0;
    int width = 0;
    for (int code : Codes(text))
        if (const ContentFontGlyph* g = Glyph(*page, code))
            width += g->right - g->left;
    return width;
}

int ContentDigitHeight(int font)
{
    constexpr uint8_t kInk = 128;
    const ContentFontPage* page = FontPage(font);
    const ContentFontGlyph* zero = page ? Glyph(*page, '0') : nullptr;
    if (!zero)
        return 0;
    for (int py = zero->top; py < zero->bottom; py++)
        for (int px = zero->left; px < zero->right; px++)
            if (const uint8_t* texel = &page->rgba[(static_cast<size_t>(py) * page->size + px) * kChannels];
                texel[3] >= kInk && texel[0] >= kInk)  // the letter's ink, not its rim
                return zero->bottom - py - page->baseline;
    return 0;
}

ContentUiRect ContentLabelRect(const ContentUiLabel& label)
{
    const ContentFontPage* page = FontPage(label.font);
    if (!page)
        return {label.x, label.y, 0, 0};
    const int scale = std::max(1, label.scale);
    const int width = ContentTextWidth(label.font, label.text) * scale;
    int left = label.x;
    if (label.align == CONTENT_LABEL_RIGHT)
        left = label.x - width;
    else if (label.align == CONTENT_LABEL_CENTRE)
        left = label.x - width / 2;
    return {left, label.y - page->baseline * scale, width, CellHeight(*page) * scale};
}

void ContentMapColour(int k, uint8_t* rgb)
{
    // Channels stay within 20..235, so no colour is black or white; k below 64 gives distinct triples.
    rgb[0] = static_cast<uint8_t>(20 + (k % 4) * 60);
    rgb[1] = static_cast<uint8_t>(20 + ((k / 4) % 4) * 60);
    rgb[2] = static_cast<uint8_t>(20 + ((k / 16) % 4) * 60 + 15);
}

const ContentCanvasLayout& ContentMainBarLayout(void)
{
    // The figures' icons: a row above the figures and under the message's lowest line, and the floor's after its
    // number.
    constexpr int kMarkSide = 14, kMarkY = 26, kMarkTop = kMarkY + kMarkSide;
    constexpr int kFloorMarkY = kContentMainFiguresY + kContentFloorDy - 6, kFloorTipX = 680;
    static const ContentCanvasLayout layout = {
        "panels/main/base",
        "base",
        800,
        80,
        {70, 82, 104},
        // No button reaches into the 10 pixels along the screen's edges, where the pointer scrolls the view.
        {
            {10, 44, 32, 32},   // 1 build
            {43, 44, 32, 32},   // 2 manage
            {76, 44, 32, 32},   // 3 options
            {109, 44, 32, 32},  // 4 demolish
            {10, 10, 24, 24},   // 5 speed 0 (pause)
            {36, 10, 24, 24},   // 6 speed 1
            {62, 10, 24, 24},   // 7 speed 2
            {88, 10, 24, 24},   // 8 speed 3
            {652, 10, 24, 24},  // 9 floor down
            {750, 10, 24, 24},  // 10 floor up
            {652, 44, 32, 32},  // 11 messages
        },
        {
            {10, 44, 32, 32},
            {43, 44, 32, 32},
            {76, 44, 32, 32},
            {109, 44, 32, 32},
            {10, 10, 24, 24},
            {36, 10, 24, 24},
            {62, 10, 24, 24},
            {88, 10, 24, 24},
            {652, 10, 24, 24},
            {750, 10, 24, 24},
            {652, 44, 32, 32},
        },
        {},
        {CONTENT_ICON_BUILD, CONTENT_ICON_MANAGE, CONTENT_ICON_OPTIONS, CONTENT_ICON_DEMOLISH, CONTENT_ICON_PAUSE,
         CONTENT_ICON_PLAY, CONTENT_ICON_FAST, CONTENT_ICON_FASTEST, CONTENT_ICON_FLOOR_DOWN, CONTENT_ICON_FLOOR_UP,
         CONTENT_ICON_MESSAGES},
        // Each figure's icon stands over its left end; its tooltip covers both.
        {
            {{180, kMarkY, kMarkSide, kMarkSide}, CONTENT_ICON_DATE, {180, 12, 56, kMarkTop - 12}},
            {{290, kMarkY, kMarkSide, kMarkSide}, CONTENT_ICON_CASH, {290, 12, 80, kMarkTop - 12}},
            {{400, kMarkY, kMarkSide, kMarkSide}, CONTENT_ICON_SHOPPERS, {400, 12, 64, kMarkTop - 12}},
            {{488, kMarkY, kMarkSide, kMarkSide}, CONTENT_ICON_RATING, {488, 8, 64, kMarkTop - 8}},
            {{kContentFloorLabelX, kFloorMarkY, kMarkSide, kMarkSide},
             CONTENT_ICON_STOREY,
             {kFloorTipX, 12, kContentFloorLabelX + kMarkSide - kFloorTipX, kFloorMarkY + kMarkSide - 12}},
        },
    };
    return layout;
}

ContentPngImage ContentCanvasBackground(const ContentCanvasLayout& layout, int language)
{
    ContentPngImage image = ContentBlankImage(layout.width, layout.height);
    Fill(&image, {0, 0, layout.width, layout.height}, layout.panel);
    uint8_t light[3], dark[3];
    Shade(layout.panel, 40, light);
    Shade(layout.panel, -40, dark);
    // A raised rim round the panel and a sunken frame round each button.
    Fill(&image, {0, layout.height - kContentButtonFrame, layout.width, kContentButtonFrame}, light);
    Fill(&image, {0, 0, layout.width, kContentButtonFrame}, dark);
    for (size_t k = 0; k < layout.buttons.size(); k++) {
        const ContentUiRect& r = layout.buttons[k];
        if (r.width <= kContentButtonFrame || r.height <= kContentButtonFrame)
            continue;  // an inert place: nothing to press
        Fill(&image,
             {r.x - kContentButtonFrame, r.y - kContentButtonFrame, r.width + 2 * kContentButtonFrame,
              r.height + 2 * kContentButtonFrame},
             dark);
        Fill(&image, {r.x, r.y, r.width, r.height}, light);
        PaintButtonIcon(&image, layout, k, r, kContentIconInk);
    }
    PaintLabels(&image, LanguageLabels(layout.labels, language));
    PaintMarks(&image, layout.marks);
    return image;
}

bool ContentCheckLabels(const ContentCanvasLayout& layout, int language, std::string* error)
{
    const char* const languages[kContentLanguageCount] = {"English", "German", "French"};
    auto fail = [&](const char* text, const std::string& problem) {
        if (error)
            *error = std::string("the label \"") + text + "\" of " + layout.stem + " " + problem + " in " +
                     (language >= 0 && language < kContentLanguageCount ? languages[language] : "no language");
        return false;
    };
    for (const ContentUiLabel& label : layout.labels) {
        if (!ContentLabelText(label.text, language))
            return fail(label.text, "has no form");
    }
    // Words and marks alike: the marks follow the labels, named by their icon's number.
    struct Placed {
        std::string name;
        ContentUiRect ink;
    };
    std::vector<Placed> placed;
    for (const ContentUiLabel& label : LanguageLabels(layout.labels, language))
        placed.push_back({label.text, InkRect(label)});
    for (const ContentUiMark& mark : layout.marks)
        placed.push_back({"icon " + std::to_string(mark.icon), mark.place});
    // Within the rims along the picture's top and bottom, a pixel clear of them.
    const ContentUiRect picture = Grown({0, 0, layout.width, layout.height}, 0, -kContentButtonFrame - 1);
    for (size_t i = 0; i < placed.size(); i++) {
        const ContentUiRect& ink = placed[i].ink;
        const char* name = placed[i].name.c_str();
        if (!Contains(picture, ink))
            return fail(name, "runs off the picture or onto its rim");
        // Words side by side keep a space between them; rows of words a pixel.
        const ContentUiRect room = Grown(ink, kContentLabelGap, 1);
        for (size_t j = 0; j < i; j++) {
            const ContentUiRect& other = placed[j].ink;
            if (Overlap(room, other))
                return fail(name, "runs into \"" + placed[j].name + "\" (x " + std::to_string(ink.x) + " to " +
                                      std::to_string(ink.x + ink.width) + " against " + std::to_string(other.x) +
                                      " to " + std::to_string(other.x + other.width) + ")");
        }
        // A word on a button stays within its face; one beside it keeps the space off the frame round it.
        for (const ContentUiRect& button : layout.buttons) {
            if (Contains(button, ink))
                continue;
            if (Overlap(room, Grown(button, kContentButtonFrame, kContentButtonFrame)))
                return fail(name, "runs over a button's edge");
        }
    }
    return true;
}

ContentPngImage ContentCanvasButton(const ContentCanvasLayout& layout, int button)
{
    const ContentUiRect& r = layout.buttons[static_cast<size_t>(button)];
    ContentPngImage image = ContentBlankImage(r.width, r.height);
    uint8_t face[3];
    Shade(layout.panel, 90, face);
    Fill(&image, {0, 0, r.width, r.height}, face);
    const size_t k = static_cast<size_t>(button);
    if (k < layout.icons.size() && layout.icons[k] != CONTENT_ICON_NONE) {
        PaintButtonIcon(&image, layout, k, {0, 0, r.width, r.height}, kContentIconInk);
        return image;
    }
    // Without an icon the picture is a hover light: a rim round a see-through face, so the resting look and
    // its label stay readable under it, and every pixel still takes the pointer.
    const int rim = std::min(kContentButtonFrame, std::min(r.width, r.height) / 2);
    uint8_t bright[3];
    Shade(face, 60, bright);
    Fill(&image, {0, 0, r.width, r.height}, bright, kGlassAlpha);
    Fill(&image, {0, 0, r.width, rim}, bright);
    Fill(&image, {0, r.height - rim, r.width, rim}, bright);
    Fill(&image, {0, 0, rim, r.height}, bright);
    Fill(&image, {r.width - rim, 0, rim, r.height}, bright);
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
        ContentPutPixel(&map, r.x, layout.height - 1 - r.y, rgb);
    }
    return map;
}

std::vector<ContentUiRect> ContentCanvasHotSpots(const ContentCanvasLayout& layout)
{
    std::vector<ContentUiRect> spots = layout.hotSpots;
    for (const ContentUiMark& mark : layout.marks)
        spots.push_back(mark.tip.width > 0 && mark.tip.height > 0 ? mark.tip : mark.place);
    return spots;
}

ContentPngImage ContentCanvasHotSpotMap(const ContentCanvasLayout& layout)
{
    const std::vector<ContentUiRect> spots = ContentCanvasHotSpots(layout);
    const int colours = static_cast<int>(spots.size());
    ContentPngImage map = Map(layout, colours);
    uint8_t rgb[3];
    for (int k = 0; k < colours; k++) {
        ContentMapColour(k, rgb);
        Fill(&map, spots[static_cast<size_t>(k)], rgb);
    }
    return map;
}

bool ContentWriteCanvasMaps(const ContentCanvasLayout& layout, const std::string& dir, const std::string& stem,
                            std::string* error)
{
    const size_t spots = ContentCanvasHotSpots(layout).size();
    if (layout.buttons.size() >= kPaletteLimit || spots >= kPaletteLimit) {
        if (error)
            *error = std::string("too many map colours in ") + layout.stem;
        return false;
    }
    const std::string base = dir + "/" + stem;
    if (!ContentWritePicture(base + "_p.png", ContentPaletteImage(ContentCanvasPlacementMap(layout)), error))
        return false;
    return spots == 0 ||
           ContentWritePicture(base + "_h.png", ContentPaletteImage(ContentCanvasHotSpotMap(layout)), error);
}

bool ContentWriteCanvas(const ContentCanvasLayout& layout, const std::string& dir, std::string* error)
{
    // One picture serves every language.
    const std::string base = dir + "/" + layout.stem;
    if (!ContentCheckLabels(layout, kContentEnglish, error) ||
        !ContentWritePicture(base + ".png", ContentPaletteImage(ContentCanvasBackground(layout)), error) ||
        !ContentWriteCanvasMaps(layout, dir, layout.stem, error))
        return false;
    for (size_t k = 0; k < layout.buttons.size(); k++) {
        if (!ContentWriteButton(dir, static_cast<int>(k) + 1, ContentCanvasButton(layout, static_cast<int>(k)), error))
            return false;
    }
    return true;
}

std::string ContentButtonFile(int number, bool withoutMap)
{
    constexpr int kTwoDigits = 10;
    return (withoutMap && number < kTwoDigits ? "0" : "") + std::to_string(number) + "_s.png";
}

bool ContentWriteButton(const std::string& dir, int number, const ContentPngImage& picture, std::string* error)
{
    const std::string mapped = ContentButtonFile(number, false);
    const std::string numbered = ContentButtonFile(number, true);
    return ContentWritePicture(dir + "/" + mapped, picture, error) &&
           (numbered == mapped || ContentWritePicture(dir + "/" + numbered, picture, error));
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
        // Drawn from the bar's bottom edge: its lowest rows stay clear, so the bar's rim runs on under it.
        ContentPngImage image = ContentBlankImage(kContentSeasonWidth, kSeasonHeight);
        const int above = kSeasonHeight - kContentButtonFrame;
        Fill(&image, {0, kContentButtonFrame, kContentSeasonWidth, above}, season.sky);
        Fill(&image, {0, kContentButtonFrame, kContentSeasonWidth, above / 3}, season.ground);
        if (!ContentWritePicture(dir + "/" + season.name + ".png", image, error))
            return false;
    }
    ContentPngImage bar = ContentBlankImage(kBarWidth, kBarHeight);
    const uint8_t white[3] = {255, 255, 255};
    Fill(&bar, {0, 0, kBarWidth, kBarHeight}, white);
    return ContentWritePicture(dir + "/bar.png", bar, error);
}

ContentPngImage ContentBlankImage(int width, int height)
{
    ContentPngImage image;
    image.width = static_cast<uint32_t>(width);
    image.height = static_cast<uint32_t>(height);
    image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    image.rows.assign(static_cast<size_t>(width) * height * kChannels, 0);
    return image;
}

bool ContentWritePicture(const std::string& path, const ContentPngImage& image, std::string* error)
{
    if (ContentWritePng(path.c_str(), image))
        return true;
    if (error)
        *error = "cannot write " + path;
    return false;
}

bool ContentMakeFolder(const std::string& dir, std::string* error)
{
    std::error_code failed;
    std::filesystem::create_directories(dir, failed);
    if (failed && error)
        *error = "cannot make " + dir;
    return !failed;
}

void ContentPutPixel(ContentPngImage* image, int x, int row, const uint8_t* rgb, uint8_t alpha)
{
    if (x < 0 || row < 0 || x >= static_cast<int>(image->width) || row >= static_cast<int>(image->height))
        return;
    uint8_t* p = &image->rows[(static_cast<size_t>(row) * image->width + x) * kChannels];
    p[0] = rgb[0];
    p[1] = rgb[1];
    p[2] = rgb[2];
    p[3] = alpha;
}
