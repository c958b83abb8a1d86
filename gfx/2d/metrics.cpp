// The ".met" font metrics reader: METRICS1 and METRICS2 bitmap fonts, METRICS3 outline fonts.
//
// Sections: line and character sources; glyph codes and maps; METRICS1; METRICS2; METRICS3; entry points.
// Every count and size comes from the file, so each is checked before it is used: codes must lie in
// 0..0xFFFF, baseline lines must hold a number, METRICS2 cells must not be exactly 3 pixels high,
// rectangles must have a height, and outline coordinates must be finite. Glyph records grow 32 at a time as lines
// arrive, so memory follows the bytes read; the extended map is bounded by the code range.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "gfx/2d/font_local.h"
#include "gfx/core/assert.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"

namespace {

constexpr GxInt32 kLineBytes = 255;  // longest line the reader hands out, without its NUL
constexpr GxUInt32 kReadChunk = 512;
constexpr GxInt32 kCellFrame = 3;
constexpr GxInt32 kMaxUtf8Followers = 5;
constexpr GxReal kTexelCentre = 0.5f;
constexpr GxReal kCellInset = 2.5f;  // METRICS2: the cell's first drawn texel after its frame

// ---- line and character sources ----

// Lines of at most 255 bytes, each with its line feed (a carriage return before it removed); the file's last
// line may end without one.
struct LineReader {
    GxStream* stream;
    GxUInt8 buffer[kReadChunk];
    GxUInt32 at = 0;
    GxUInt32 length = 0;

    explicit LineReader(GxStream* s) : stream(s) {}

    GxInt32 Byte()
    {
        if (at == length) {
            GxUInt32 want = kReadChunk;
            const GxUInt32 left = GxStreamBytesLeft(stream);
            if (left != gxSTREAMBYTESUNKNOWN && left < want) {
                want = left;
            }
            length = want ? GxStreamRead(stream, buffer, want) : 0;
            at = 0;
            if (length == 0) {
                return -1;
            }
        }
        return buffer[at++];
    }

    bool Read(GxChar* line)
    {
        GxInt32 n = 0;
        while (n < kLineBytes) {
            const GxInt32 c = Byte();
            if (c < 0) {
                break;
            }
            line[n++] = static_cast<GxChar>(c);
            if (c == '\n') {
                break;
            }
        }
        if (n == 0) {
            return false;
        }
        if (n >= 2 && line[n - 2] == '\r' && line[n - 1] == '\n') {
            line[n - 2] = '\n';
            n--;
        }
        line[n] = '\0';
        return true;
    }
};

// The bytes of the lines after the current one, line feeds left out (METRICS2 glyph characters). A text line
// longer than the reader's 255 bytes goes on with its next piece once this one is used up, so every character
// is taken once and in order; a page's end drops only what is left of the current piece.
struct TextBytes {
    LineReader* lines;
    GxChar line[kLineBytes + 1] = {};
    GxInt32 at = 0;

    GxInt32 Next()
    {
        while (line[at] == '\0' || line[at] == '\n') {
            if (!lines->Read(line)) {
                line[0] = '\0';
                return -1;
            }
            at = 0;
        }
        return static_cast<GxUInt8>(line[at++]);
    }
    // Drops what is left of the current line.
    void EndLine()
    {
        line[0] = '\0';
        at = 0;
    }
};

// One UTF-8 character; -1 for a bad lead byte, a missing follower or a code above 0xFFFF. The font files keep
// their own rule rather than the text converter's U+FFFD: a bad character fails the read, and followers' high bits
// are not examined, so forms the converter refuses (overlong ones, 5- and 6-byte ones) still name their code.
template <typename NextByte>
GxInt32 DecodeUtf8(NextByte next)
{
    const GxInt32 lead = next();
    if (lead < 0) {
        return -1;
    }
    if (lead < 0x80) {
        return lead;
    }
    GxInt32 followers = 0;
    GxInt32 code = 0;
    for (GxInt32 k = 1; k <= kMaxUtf8Followers; k++) {
        const GxInt32 mask = (0xFF << (6 - k)) & 0xFF;     // k + 2 leading ones
        const GxInt32 pattern = (0xFF << (7 - k)) & 0xFF;  // k + 1 leading ones, then a zero
        if ((lead & mask) == pattern) {
            followers = k;
            code = lead & ~mask & 0xFF;
            break;
        }
    }
    if (followers == 0) {
        return -1;
    }
    for (GxInt32 k = 0; k < followers; k++) {
        const GxInt32 b = next();
        if (b < 0) {
            return -1;
        }
        code = (code << 6) | (b & 0x3F);
        if (code >= gx2DFONTCODELIMIT) {
            return -1;
        }
    }
    return code;
}

// ---- glyph codes and maps ----

struct Reader {
    Gx2DFont* font;
    LineReader lines;
    GxInt32* codes = nullptr;  // code of each glyph index
    GxInt32 codeCapacity = 0;
    GxInt32 lowestExtended = gx2DFONTCODELIMIT;
    GxInt32 highestExtended = -1;

    Reader(Gx2DFont* f, GxStream* stream) : font(f), lines(stream) {}
    ~Reader()
    {
        if (codes) {
            GxFree(codes);
        }
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
};

// A new glyph for a code; null for a refused code or when memory ran out.
Gx2DGlyph* AddGlyph(Reader* r, GxInt32 code)
{
    if (code < 0 || code >= gx2DFONTCODELIMIT) {
        return nullptr;
    }
    Gx2DFont* font = r->font;
    const GxInt32 index = font->numGlyphs;
    if (index >= r->codeCapacity) {
        const GxInt32 capacity = r->codeCapacity + 32;
        void* grown = GxRealloc(r->codes, sizeof(GxInt32) * static_cast<size_t>(capacity),
                                gx2DHINTFONTNAME | gxMEMHINTFLAGRESIZEABLE);
        if (!grown) {
            return nullptr;
        }
        r->codes = static_cast<GxInt32*>(grown);
        r->codeCapacity = capacity;
    }
    Gx2DGlyph* glyph = Gx2DFontAddGlyph(font);
    if (!glyph) {
        return nullptr;
    }
    r->codes[index] = code;
    if (code < gx2DFONTLOWCODES) {
        font->lowMap[code] = static_cast<GxInt16>(index);
    } else {
        font->flags |= gx2DFONTUNICODE;
        r->lowestExtended = code < r->lowestExtended ? code : r->lowestExtended;
        r->highestExtended = code > r->highestExtended ? code : r->highestExtended;
    }
    return glyph;
}

bool BuildExtendedMap(Reader* r)
{
    Gx2DFont* font = r->font;
    if (r->highestExtended < 0) {
        return true;
    }
    const GxInt32 length = r->highestExtended - r->lowestExtended + 1;
    auto* map = static_cast<GxInt16*>(GxMalloc(sizeof(GxInt16) * static_cast<size_t>(length), gx2DHINTFONTDATA));
    if (!map) {
        return false;
    }
    for (GxInt32 i = 0; i < length; i++) {
        map[i] = -1;
    }
    for (GxInt32 i = 0; i < font->numGlyphs; i++) {
        if (r->codes[i] >= gx2DFONTLOWCODES) {
            map[r->codes[i] - r->lowestExtended] = static_cast<GxInt16>(i);
        }
    }
    font->firstExtended = r->lowestExtended;
    font->extendedLength = length;
    font->extendedMap = map;
    return true;
}

int Scan(const GxChar* line, const GxChar* format, ...) __attribute__((format(scanf, 2, 3)));
int Scan(const GxChar* line, const GxChar* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = vsscanf(line, format, args);
    va_end(args);
    return n;
}

// A line that must hold a number (a baseline); false when it is missing or holds none.
bool ReadNumberLine(Reader* r, GxInt32* value)
{
    GxChar line[kLineBytes + 1];
    return r->lines.Read(line) && Scan(line, "%d", value) == 1;
}

// Bitmap readers read their pages from the font path into the font dictionary.
struct PageScope {
    GxTexDictionary* previous;
    PageScope()
    {
        previous = GxTexDictionaryGetCurrent();
        GxImageSetPath(gx2D.fontPath);
        GxTexDictionarySetCurrent(gx2D.fontDictionary);
    }
    ~PageScope() { GxTexDictionarySetCurrent(previous); }
};

// ---- METRICS1 ----

bool ReadMetrics1(Reader* r)
{
    Gx2DFont* font = r->font;
    font->kind = gx2DFONTBITMAP;
    GxChar line[kLineBytes + 1];
    GxChar name[kLineBytes + 1];
    GxChar mask[kLineBytes + 2];
    PageScope scope;
    // Without a page name the font has no texture and no glyphs.
    if (!r->lines.Read(line)) {
        return true;
    }
    const int names = Scan(line, "%255s %255s", name, mask);
    if (names < 1) {
        return true;
    }
    const GxChar* maskName = names == 2 ? mask : nullptr;
    if (names == 1 && gx2D.fontPath) {
        // A mask image "m" + name beside the page is used when one exists.
        const size_t length = strlen(gx2D.fontPath) + strlen(name) + 2;
        auto* probe = static_cast<GxChar*>(GxMalloc(length, gx2DHINTFONTNAME));
        if (!probe) {
            return false;
        }
        snprintf(probe, length, "%sm%s", gx2D.fontPath, name);
        const bool exists = GxFileExists(probe);
        GxFree(probe);
        if (exists) {
            snprintf(mask, sizeof(mask), "m%s", name);
            maskName = mask;
        }
    }
    GxTexture* page = GxTextureRead(name, maskName);
    if (!page) {
        return false;
    }
    font->pages[0] = page;
    const GxRaster* raster = GxTextureGetRaster(page);
    if (!raster || raster->width <= 0 || raster->height <= 0) {
        return false;
    }
    const GxReal rw = static_cast<GxReal>(raster->width);
    const GxReal rh = static_cast<GxReal>(raster->height);
    GxInt32 baseline = 0;
    if (!ReadNumberLine(r, &baseline)) {
        return false;
    }
    GxInt32 cellHeight = 0;
    while (r->lines.Read(line)) {
        GxInt32 code, left, top, right, bottom;
        if (Scan(line, "%i %i %i %i %i", &code, &left, &top, &right, &bottom) != 5) {
            continue;
        }
        // A cell of no height would divide the advance by zero.
        if (code < 0 || code >= gx2DFONTCODELIMIT || bottom == top) {
            return false;
        }
        Gx2DGlyph* glyph = AddGlyph(r, code);
        if (!glyph) {
            return false;
        }
        glyph->texture = page;
        glyph->ul = (static_cast<GxReal>(left) + kTexelCentre) / rw;
        glyph->vt = (static_cast<GxReal>(top) + kTexelCentre) / rh;
        glyph->ur = (static_cast<GxReal>(right) + kTexelCentre) / rw;
        glyph->vb = (static_cast<GxReal>(bottom) + kTexelCentre) / rh;
        glyph->advance = static_cast<GxReal>(static_cast<double>(right) - left) /
                         static_cast<GxReal>(static_cast<double>(bottom) - top);
        cellHeight = bottom - top;
    }
    // The cell height comes from the glyph lines: a page without any gives the font no height.
    if (cellHeight == 0) {
        return false;
    }
    font->height = static_cast<GxReal>(cellHeight);
    font->baseline = static_cast<GxReal>(baseline) / font->height;
    font->gap = 0.0f;
    return true;
}

// ---- METRICS2 ----

bool SamePixel(const GxImage* image, GxInt32 x, GxInt32 y, const GxUInt8* sentinel)
{
    return memcmp(image->pixels + static_cast<size_t>(y) * image->stride + static_cast<size_t>(x) * 4, sentinel, 4) ==
           0;
}

GxImage* PageImage(GxRaster* raster)
{
    GxImage* image = GxImageCreate(raster->width, raster->height, 32);
    if (!image) {
        return nullptr;
    }
    if (!GxImageAllocatePixels(image)) {
        GxImageDestroy(image);
        return nullptr;
    }
    memset(image->pixels, 0, static_cast<size_t>(image->stride) * static_cast<size_t>(image->height));
    GxStandardFunc toImage = GxEngineInstance->stdFunc[gxSTANDARDIMAGEGETRASTER];
    if (!toImage || !toImage(image, raster, 0)) {
        GxImageDestroy(image);
        return nullptr;
    }
    return image;
}

// Cuts one page into glyph cells; each takes the next character of the text.
bool ReadCells(Reader* r, TextBytes* text, const GxImage* image, GxInt32 page)
{
    const GxInt32 rw = image->width;
    const GxInt32 rh = image->height;
    const GxUInt8* sentinel = image->pixels;
    GxInt32 h = 0;
    for (GxInt32 row = 1; row < rh; row++) {
        if (SamePixel(image, 0, row, sentinel)) {
            h = row;
            break;
        }
    }
    // No sentinel below the first, or a cell height that would make every advance divide by zero.
    if (h == 0 || h == kCellFrame) {
        return false;
    }
    for (GxInt32 y0 = 0; y0 < rh; y0 += h) {
        GxInt32 last = 0;
        for (GxInt32 x = 1; x < rw; x++) {
            if (!SamePixel(image, x, y0, sentinel)) {
                continue;
            }
            if (x - last == 1) {
                break;
            }
            const GxInt32 code = DecodeUtf8([text] { return text->Next(); });
            // A bad character, or text that ends before the cells do.
            if (code < 0) {
                return false;
            }
            Gx2DGlyph* glyph = AddGlyph(r, code);
            if (!glyph) {
                return false;
            }
            glyph->texture = r->font->pages[page];
            glyph->page = static_cast<GxUInt8>(page);
            glyph->ul = (static_cast<GxReal>(last) + kCellInset) / static_cast<GxReal>(rw);
            glyph->vt = (static_cast<GxReal>(y0) + kCellInset) / static_cast<GxReal>(rh);
            glyph->ur = (static_cast<GxReal>(x) - kTexelCentre) / static_cast<GxReal>(rw);
            glyph->vb = (static_cast<GxReal>(y0 + h) - kTexelCentre) / static_cast<GxReal>(rh);
            glyph->advance = static_cast<GxReal>(x - last - kCellFrame) / static_cast<GxReal>(h - kCellFrame);
            last = x;
        }
    }
    r->font->height = static_cast<GxReal>(h - kCellFrame);
    return true;
}

bool ReadMetrics2(Reader* r)
{
    Gx2DFont* font = r->font;
    font->kind = gx2DFONTBITMAP;
    PageScope scope;
    GxChar line[kLineBytes + 1];
    GxChar name[kLineBytes + 1];
    GxChar mask[kLineBytes + 1];
    TextBytes text = {&r->lines};
    for (GxInt32 page = 0; page < gx2DFONTMAXPAGES; page++) {
        // The pages end at the end of the file or at a line without a name.
        if (!r->lines.Read(line)) {
            return true;
        }
        const int names = Scan(line, "%255s %255s", name, mask);
        if (names < 1) {
            return true;
        }
        GxInt32 baseline = 0;
        if (!ReadNumberLine(r, &baseline)) {
            return false;
        }
        GxTexture* texture = GxTextureRead(name, names == 2 ? mask : nullptr);
        if (!texture) {
            return false;
        }
        font->pages[page] = texture;
        GxRaster* raster = GxTextureGetRaster(texture);
        if (!raster || raster->width <= 0 || raster->height <= 0) {
            return false;
        }
        GxImage* image = PageImage(raster);
        if (!image) {
            return false;
        }
        const bool ok = ReadCells(r, &text, image, page);
        GxImageDestroy(image);
        if (!ok) {
            return false;
        }
        text.EndLine();
        font->baseline = static_cast<GxReal>(baseline) / font->height;
        font->gap = 0.0f;
    }
    return true;
}

// ---- METRICS3 ----

// A number too large for a float scans as infinite.
bool Finite(GxReal v) { return std::isfinite(v); }

// True when the line is exactly the text and a line feed (or the end of the file).
bool IsWord(const GxChar* line, const GxChar* word)
{
    const size_t n = strlen(word);
    return strncmp(line, word, n) == 0 && (line[n] == '\n' || line[n] == '\0');
}

bool LineEnds(const GxChar* rest) { return rest[0] == '\0' || (rest[0] == '\n' && rest[1] == '\0'); }

// A drawing line applied to a path (none: only its advance counts); false when the line is no drawing line.
bool DrawLine(const GxChar* line, Gx2DPath* path, GxReal* advance)
{
    GxReal v[6];
    int end = 0;
    if (Scan(line, "moveto %f %f%n", &v[0], &v[1], &end) == 2 && LineEnds(line + end) && Finite(v[0]) && Finite(v[1])) {
        if (path) {
            Gx2DPathMoveto(path, v[0], v[1]);
        }
    } else if (Scan(line, "lineto %f %f%n", &v[0], &v[1], &end) == 2 && LineEnds(line + end) && Finite(v[0]) &&
               Finite(v[1])) {
        if (path) {
            Gx2DPathLineto(path, v[0], v[1]);
        }
    } else if (Scan(line, "curveto %f %f %f %f %f %f%n", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &end) == 6 &&
               LineEnds(line + end) && Finite(v[0]) && Finite(v[1]) && Finite(v[2]) && Finite(v[3]) && Finite(v[4]) &&
               Finite(v[5])) {
        if (path) {
            Gx2DPathCurveto(path, v[0], v[1], v[2], v[3], v[4], v[5]);
        }
    } else {
        return false;
    }
    *advance = v[0];
    return true;
}

bool ReadMetrics3(Reader* r)
{
    Gx2DFont* font = r->font;
    font->kind = gx2DFONTOUTLINE;
    font->height = 1.0f;
    font->baseline = 0.0f;
    font->showString = Gx2DFontShowOutlineString;
    GxChar line[kLineBytes + 1];
    // Without a name line (missing or empty) the font is empty.
    if (!r->lines.Read(line) || line[0] == '\n') {
        return true;
    }
    GxInt32 open = 0;  // the character whose block is open, 0 for none
    Gx2DPath* path = nullptr;
    GxReal advance = 0.0f;
    bool ok = true;
    while (ok && r->lines.Read(line)) {
        if (!open) {
            // The character starts at the second byte (a line feed there is the character 10); a line without
            // one reads as code 0, which opens nothing. Followers past the line's end would be stale bytes.
            GxInt32 at = 1;
            const bool blank = line[1] == '\0';
            const GxInt32 code = blank ? 0 : DecodeUtf8([&line, &at]() -> GxInt32 {
                if (line[at - 1] == '\0') {
                    return -1;
                }
                return static_cast<GxUInt8>(line[at++]);
            });
            if (code < 0) {
                ok = false;
            }
            open = code > 0 ? code : 0;
            continue;
        }
        if (IsWord(line, "begin")) {
            if (path) {
                Gx2DPathDestroy(path);
            }
            path = Gx2DPathCreate();
            ok = path != nullptr;
        } else if (IsWord(line, "end")) {
            Gx2DGlyph* glyph = AddGlyph(r, open);
            if (!glyph) {
                ok = false;
                break;
            }
            if (path) {
                path = Gx2DPathLock(Gx2DPathRemoveSinglePoints(path));
            }
            glyph->path = path;
            glyph->advance = advance;
            path = nullptr;
            open = 0;
        } else if (IsWord(line, "closepath")) {
            if (path) {
                Gx2DPathClosePath(path);
            }
        } else {
            DrawLine(line, path, &advance);
        }
    }
    if (path) {
        Gx2DPathDestroy(path);
    }
    // A block still open at the end of the file was cut short.
    return ok && open == 0;
}

// ---- entry points ----

enum class Version {
    unknown,
    one,
    two,
    three
};

Version ReadVersion(LineReader* lines)
{
    GxChar line[kLineBytes + 1];
    if (!lines->Read(line)) {
        return Version::unknown;
    }
    if (strcmp(line, "METRICS1\n") == 0) {
        return Version::one;
    }
    if (strcmp(line, "METRICS2\n") == 0) {
        return Version::two;
    }
    if (strcmp(line, "METRICS3\n") == 0) {
        return Version::three;
    }
    return Version::unknown;
}

}  // namespace

Gx2DFont* Gx2DFontStreamReadMetrics(GxStream* stream)
{
    GX_ASSERT(stream, "a stream is given");
    Gx2DFont* font = Gx2DFontCreate();
    if (!font) {
        return nullptr;
    }
    bool ok = false;
    {
        Reader reader(font, stream);
        switch (ReadVersion(&reader.lines)) {
        case Version::one:
            ok = ReadMetrics1(&reader);
            break;
        case Version::two:
            ok = ReadMetrics2(&reader);
            break;
        case Version::three:
            ok = ReadMetrics3(&reader);
            break;
        case Version::unknown:
            ok = false;
            break;
        }
        ok = ok && BuildExtendedMap(&reader);
    }
    if (!ok) {
        Gx2DFontDestroy(font);
        return nullptr;
    }
    return font;
}

Gx2DFont* Gx2DFontReadMetrics(const GxChar* name)
{
    GX_ASSERT(name && gx2D.fontPath, "a name is given and the toolkit is open");
    const size_t size = strlen(gx2D.fontPath) + strlen(name) + 5;
    auto* fileName = static_cast<GxChar*>(GxMalloc(size, gx2DHINTFONTNAME));
    if (!fileName) {
        return nullptr;
    }
    GxStream* stream = nullptr;
    for (const GxChar* prefix = gx2D.fontPath; !stream;) {
        const GxChar* end = strchr(prefix, ';');
        const size_t prefixLength = end ? static_cast<size_t>(end - prefix) : strlen(prefix);
        snprintf(fileName, size, "%.*s%s.met", static_cast<int>(prefixLength), prefix, name);
        if (GxFileExists(fileName)) {
            stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, fileName);
        }
        if (!end) {
            break;
        }
        prefix = end + 1;
    }
    GxFree(fileName);
    if (!stream) {
        return nullptr;
    }
    Gx2DFont* font = Gx2DFontStreamReadMetrics(stream);
    GxStreamClose(stream, nullptr);
    return font;
}
