// The launcher's bitmap font: small letters of their own and the Latin-1 letters of French and German, each
// accent over its letter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32/dialog_local.h"

namespace {

bool SameCell(const FontCell& a, const FontCell& b) { return std::memcmp(a.rows, b.rows, sizeof(a.rows)) == 0; }

int Dots(const FontCell& cell, int firstRow, int lastRow)
{
    int dots = 0;
    for (int row = firstRow; row <= lastRow; ++row)
        for (int bit = 0; bit < 5; ++bit)
            dots += (cell.rows[row] >> bit) & 1;
    return dots;
}

// The Latin-1 letters of French and German with the letter each is written on.
struct Accented {
    unsigned char code;
    char base;
};
const Accented kFrenchAndGerman[] = {
    {0xE0, 'a'}, {0xE2, 'a'}, {0xE7, 'c'}, {0xE8, 'e'}, {0xE9, 'e'}, {0xEA, 'e'}, {0xEB, 'e'}, {0xEE, 'i'},
    {0xEF, 'i'}, {0xF4, 'o'}, {0xF9, 'u'}, {0xFB, 'u'}, {0xFC, 'u'}, {0xFF, 'y'}, {0xE4, 'a'}, {0xF6, 'o'},
    {0xC0, 'A'}, {0xC2, 'A'}, {0xC7, 'C'}, {0xC8, 'E'}, {0xC9, 'E'}, {0xCA, 'E'}, {0xCB, 'E'}, {0xCE, 'I'},
    {0xCF, 'I'}, {0xD4, 'O'}, {0xD9, 'U'}, {0xDB, 'U'}, {0xDC, 'U'}, {0xC4, 'A'}, {0xD6, 'O'},
};

}  // namespace

TEST(Font, SmallLettersAreTheirOwnAndEveryPrintableCharacterIsKnown)
{
    for (int code = 0x20; code < 0x7F; ++code)
        EXPECT_TRUE(FontGlyph(static_cast<unsigned char>(code)).known) << static_cast<char>(code);
    for (char small = 'a'; small <= 'z'; ++small)
        EXPECT_FALSE(SameCell(FontGlyph(small), FontGlyph(small - 'a' + 'A'))) << small;
    // Capitals keep the two accent rows above them empty.
    for (char capital = 'A'; capital <= 'Z'; ++capital)
        EXPECT_EQ(0, Dots(FontGlyph(capital), 0, 1)) << capital;
    // What the font lacks is the hollow box, never nothing.
    const FontCell control = FontGlyph(0x80);
    EXPECT_FALSE(control.known);
    EXPECT_GT(Dots(control, 0, kFontHeight - 1), 0);
}

TEST(Font, FrenchAndGermanLettersCarryTheirAccentsAboveTheirLetter)
{
    for (const Accented& letter : kFrenchAndGerman) {
        SCOPED_TRACE(static_cast<int>(letter.code));
        const FontCell cell = FontGlyph(letter.code);
        const FontCell base = FontGlyph(static_cast<unsigned char>(letter.base));
        ASSERT_TRUE(cell.known);
        EXPECT_FALSE(SameCell(cell, base));
        if (letter.base == 'c' || letter.base == 'C')
            continue;  // the cedilla hangs below
        const bool small = letter.base >= 'a';
        const int top = small ? 2 : 0;
        EXPECT_GT(Dots(cell, top, top + 1), 0);  // the accent
        EXPECT_EQ(0, Dots(base, top, top + 1) - (letter.base == 'i' ? 1 : 0));
    }
    EXPECT_TRUE(FontGlyph(0xDF).known);  // sharp s
    EXPECT_TRUE(FontGlyph(0xC6).known);  // AE
    EXPECT_TRUE(FontGlyph(0xE6).known);  // ae
}

TEST(Font, TextDrawsTheAccentsTheLaunchersLanguagesWrite)
{
    SDL_Surface* plain = SDL_CreateRGBSurfaceWithFormat(0, 80, kFontHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Surface* accented = SDL_CreateRGBSurfaceWithFormat(0, 80, kFontHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(accented, nullptr);
    SDL_FillRect(plain, nullptr, 0);
    SDL_FillRect(accented, nullptr, 0);
    FontDrawText(plain, 0, 0, "Francais", 0xFFFFFFFFu, 80);
    FontDrawText(accented, 0, 0, "Fran\347ais", 0xFFFFFFFFu, 80);
    const size_t bytes = static_cast<size_t>(plain->pitch) * kFontHeight;
    EXPECT_NE(0, std::memcmp(plain->pixels, accented->pixels, bytes));
    // The c with its cedilla takes one cell, as every character does: the letters after it are where they were.
    const int afterC = 5 * kFontCellWidth;
    for (int row = 0; row < kFontHeight; ++row) {
        const auto* a = static_cast<const Uint32*>(plain->pixels) + row * plain->pitch / 4;
        const auto* b = static_cast<const Uint32*>(accented->pixels) + row * accented->pitch / 4;
        EXPECT_EQ(0, std::memcmp(a + afterC, b + afterC, (80 - afterC) * sizeof(Uint32))) << row;
    }
    SDL_FreeSurface(plain);
    SDL_FreeSurface(accented);
}

TEST(Font, TheWidestModeFitsTheModeBoxInEveryLanguage)
{
    // The mode box is 135 pixels wide; its arrow button takes 16 and the text stands 3 in from either side.
    constexpr int kModeTextWidth = 135 - 16 - 2 * 3;
    constexpr int kWide = 200;
    SDL_Surface* whole = SDL_CreateRGBSurfaceWithFormat(0, kWide, kFontHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Surface* boxed = SDL_CreateRGBSurfaceWithFormat(0, kWide, kFontHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(whole, nullptr);
    ASSERT_NE(boxed, nullptr);
    for (const char* mode : {"1280 x 1024 x 32 bit", "1280 x 1024 x 32 Bit", "1280 x 1024 x 32 bits"}) {
        SDL_FillRect(whole, nullptr, 0);
        SDL_FillRect(boxed, nullptr, 0);
        FontDrawText(whole, 0, 0, mode, 0xFFFFFFFFu, kWide);
        FontDrawText(boxed, 0, 0, mode, 0xFFFFFFFFu, kModeTextWidth);
        const size_t bytes = static_cast<size_t>(whole->pitch) * kFontHeight;
        EXPECT_EQ(0, std::memcmp(whole->pixels, boxed->pixels, bytes)) << mode;
    }
    SDL_FreeSurface(whole);
    SDL_FreeSurface(boxed);
}
