// Interface fonts authored from outline font files: one METRICS1 ".met" file and one PNG page per font.
#pragma once

#include <string>
#include <vector>

struct ContentFontSpec {
    const char* name;      // file stem under images/fonts/, e.g. "msgfont"
    const char* fontFile;  // the outline font rasterised
    int pixelSize;         // FreeType pixel size
    int tracking = 0;      // clear columns after each glyph's advance, so that figures end short of their anchor
};

// One glyph cell of a page: code and rectangle (left, top, right, bottom) in page pixels.
struct ContentFontGlyph {
    int code;
    int left, top, right, bottom;
};

// A font rasterised into one page: white pixels with alpha equal to coverage.
struct ContentFontPage {
    int size = 0;                     // the page is square
    std::vector<unsigned char> rgba;  // size x size x 4
    int baseline = 0;                 // pixels above the cell bottom
    std::vector<ContentFontGlyph> glyphs;
};

// The character codes every interface font carries: ASCII, Latin-1 and the typographic extras the
// German and French texts use.
std::vector<int> ContentFontCodes(void);

// The fonts the game reads (stem, outline file, size).
const std::vector<ContentFontSpec>& ContentInterfaceFonts(void);

// Rasterises a font; false with a message when the outline file can not be used or the page is too small.
bool ContentFontRasterise(const ContentFontSpec& spec, ContentFontPage* page, std::string* error);

// The ".met" text of a page named pageName.
std::string ContentFontMetricsText(const ContentFontPage& page, const std::string& pageName);

// Writes dir/<name>.met and dir/<name>_pg.png, each replacing its old self whole (ContentWriteBytes: the engine's
// file system must be open).
bool ContentWriteFont(const ContentFontSpec& spec, const std::string& dir, std::string* error);
// Every interface font into dir.
bool ContentWriteInterfaceFonts(const std::string& dir, std::string* error);
