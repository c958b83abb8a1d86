// Interface fonts: glyphs rasterised with FreeType into one page, written as a METRICS1 file and a PNG.
#include "tools/content/font_writer.h"

#include <algorithm>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "gfx/testsupport/png_writer.h"
#include "tools/content/content_file.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPadding = 2;  // clear pixels round every cell, so filtering never bleeds
constexpr int kPageSizes[] = {256, 512};
constexpr int kLatin1First = 160;
constexpr int kLatin1Last = 255;
constexpr int kAsciiFirst = 32;
constexpr int kAsciiLast = 126;
constexpr int kExtras[] = {0x0152, 0x0153, 0x2019, 0x201C, 0x201D, 0x2026, 0x20AC};
constexpr const char* kDejaVuDir = "/usr/share/fonts/truetype/dejavu/";

struct Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Face()
    {
        if (face) {
            FT_Done_Face(face);
        }
        if (library) {
            FT_Done_FreeType(library);
        }
    }
};

int Pixels26(FT_Pos value) { return static_cast<int>((value + 63) >> 6); }

// Lays the cells out row by row on a page of the given size; false when they do not fit.
bool Layout(const std::vector<int>& widths, int cellHeight, int size, std::vector<ContentFontGlyph>* cells)
{
    int x = kPadding;
    int y = kPadding;
    cells->clear();
    for (int width : widths) {
        if (x + width + kPadding > size) {
            x = kPadding;
            y += cellHeight + 2 * kPadding;
        }
        if (y + cellHeight + kPadding > size || x + width + kPadding > size) {
            return false;
        }
        cells->push_back({0, x, y, x + width, y + cellHeight});
        x += width + 2 * kPadding;
    }
    return true;
}

bool WriteText(const fs::path& path, const std::string& text)
{
    return ContentWriteBytes(path.string().c_str(), text.data(), static_cast<unsigned>(text.size()));
}

// A dark rim one pixel round the ink of a cell, inside the cell's own share of the padding, so that the letters
// read on light and dark alike: a rim pixel takes the darkest shade as far as its inked neighbours reach.
void AddRim(const ContentFontGlyph& cell, int size, std::vector<unsigned char>* rgba)
{
    constexpr unsigned char kRim[3] = {16, 18, 26};
    const int left = std::max(0, cell.left - kPadding), right = std::min(size, cell.right + kPadding);
    const int top = std::max(0, cell.top - kPadding), bottom = std::min(size, cell.bottom + kPadding);
    const int width = right - left;
    std::vector<unsigned char> ink(static_cast<size_t>(width) * (bottom - top));
    for (int y = top; y < bottom; y++)
        for (int x = left; x < right; x++)
            ink[static_cast<size_t>(y - top) * width + (x - left)] =
                (*rgba)[(static_cast<size_t>(y) * size + x) * 4 + 3];
    for (int y = top; y < bottom; y++) {
        for (int x = left; x < right; x++) {
            unsigned char around = 0;
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= left && nx < right && ny >= top && ny < bottom)
                        around = std::max(around, ink[static_cast<size_t>(ny - top) * width + (nx - left)]);
                }
            unsigned char* pixel = &(*rgba)[(static_cast<size_t>(y) * size + x) * 4];
            const unsigned char own = pixel[3];
            if (around <= own)
                continue;
            // The letter's own coverage stays white over the rim's dark.
            for (int c = 0; c < 3; c++)
                pixel[c] = static_cast<unsigned char>((255 * own + kRim[c] * (around - own)) / around);
            pixel[3] = around;
        }
    }
}

}  // namespace

std::vector<int> ContentFontCodes(void)
{
    std::vector<int> codes;
    for (int c = kAsciiFirst; c <= kAsciiLast; c++) {
        codes.push_back(c);
    }
    for (int c = kLatin1First; c <= kLatin1Last; c++) {
        codes.push_back(c);
    }
    codes.insert(codes.end(), std::begin(kExtras), std::end(kExtras));
    return codes;
}

const std::vector<ContentFontSpec>& ContentInterfaceFonts(void)
{
    static const std::vector<ContentFontSpec> fonts = {
        // The message line's and the panels' figures: narrow digits with a clear column after each, so that
        // figures side by side, and a figure before a bar, stay apart.
        {"msgfont", "DejaVuSansCondensed.ttf", 11, 1},
        {"tooltip", "DejaVuSans.ttf", 12},
        {"figures", "DejaVuSansMono-Bold.ttf", 12},
        {"bigFont", "DejaVuSans-Bold.ttf", 22},
    };
    return fonts;
}

bool ContentFontRasterise(const ContentFontSpec& spec, ContentFontPage* page, std::string* error)
{
    Face face;
    const std::string file = std::string(kDejaVuDir) + spec.fontFile;
    if (FT_Init_FreeType(&face.library) != 0 || FT_New_Face(face.library, file.c_str(), 0, &face.face) != 0 ||
        FT_Set_Pixel_Sizes(face.face, 0, static_cast<FT_UInt>(spec.pixelSize)) != 0) {
        *error = "cannot load " + file;
        return false;
    }
    const FT_Size_Metrics& metrics = face.face->size->metrics;
    const int ascender = Pixels26(metrics.ascender);
    const int descender = -Pixels26(-metrics.descender);  // negative: below the baseline
    const int cellHeight = ascender - descender;

    const std::vector<int> codes = ContentFontCodes();
    std::vector<int> widths;
    for (int code : codes) {
        if (FT_Load_Char(face.face, static_cast<FT_ULong>(code), FT_LOAD_DEFAULT) != 0) {
            *error = spec.name + std::string(": no glyph for code ") + std::to_string(code);
            return false;
        }
        widths.push_back(Pixels26(face.face->glyph->advance.x) + spec.tracking);
    }
    std::vector<ContentFontGlyph> cells;
    int size = 0;
    for (int candidate : kPageSizes) {
        if (Layout(widths, cellHeight, candidate, &cells)) {
            size = candidate;
            break;
        }
    }
    if (size == 0) {
        *error = spec.name + std::string(": the glyphs do not fit one page");
        return false;
    }
    page->size = size;
    page->baseline = -descender;
    page->rgba.assign(static_cast<size_t>(size) * size * 4, 0);
    for (size_t i = 0; i < codes.size(); i++) {
        ContentFontGlyph& cell = cells[i];
        cell.code = codes[i];
        if (FT_Load_Char(face.face, static_cast<FT_ULong>(codes[i]), FT_LOAD_RENDER) != 0) {
            *error = spec.name + std::string(": cannot render code ") + std::to_string(codes[i]);
            return false;
        }
        const FT_GlyphSlot slot = face.face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int originX = cell.left + slot->bitmap_left;
        const int originY = cell.top + ascender - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; row++) {
            for (unsigned col = 0; col < bitmap.width; col++) {
                const int x = originX + static_cast<int>(col);
                const int y = originY + static_cast<int>(row);
                // Ink may reach into the padding but never into a neighbour's cell.
                if (x < cell.left - kPadding || x >= cell.right + kPadding || y < cell.top - kPadding ||
                    y >= cell.bottom + kPadding) {
                    continue;
                }
                const unsigned char coverage = bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + col];
                unsigned char* pixel = &page->rgba[(static_cast<size_t>(y) * size + x) * 4];
                pixel[0] = pixel[1] = pixel[2] = 255;
                pixel[3] = coverage > pixel[3] ? coverage : pixel[3];
            }
        }
    }
    for (const ContentFontGlyph& cell : cells)
        AddRim(cell, size, &page->rgba);
    page->glyphs = cells;
    return true;
}

std::string ContentFontMetricsText(const ContentFontPage& page, const std::string& pageName)
{
    std::string text = "METRICS1\n" + pageName + "\n" + std::to_string(page.baseline) + "\n";
    for (const ContentFontGlyph& g : page.glyphs) {
        text += std::to_string(g.code) + " " + std::to_string(g.left) + " " + std::to_string(g.top) + " " +
                std::to_string(g.right) + " " + std::to_string(g.bottom) + "\n";
    }
    return text;
}

bool ContentWriteFont(const ContentFontSpec& spec, const std::string& dir, std::string* error)
{
    ContentFontPage page;
    if (!ContentFontRasterise(spec, &page, error)) {
        return false;
    }
    const std::string pageName = std::string(spec.name) + "_pg";
    ContentPngImage image;
    image.width = static_cast<uint32_t>(page.size);
    image.height = static_cast<uint32_t>(page.size);
    image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    image.rows = page.rgba;
    const std::vector<uint8_t> png = ContentPngEncode(image);
    if (png.empty() ||
        !ContentWriteBytes((fs::path(dir) / (pageName + ".png")).string().c_str(), png.data(),
                           static_cast<unsigned>(png.size())) ||
        !WriteText(fs::path(dir) / (std::string(spec.name) + ".met"), ContentFontMetricsText(page, pageName))) {
        *error = std::string("cannot write ") + spec.name + " into " + dir;
        return false;
    }
    return true;
}

bool ContentWriteInterfaceFonts(const std::string& dir, std::string* error)
{
    std::error_code made;
    fs::create_directories(dir, made);
    if (made) {
        *error = "cannot make " + dir;
        return false;
    }
    for (const ContentFontSpec& spec : ContentInterfaceFonts()) {
        if (!ContentWriteFont(spec, dir, error)) {
            return false;
        }
    }
    return true;
}
