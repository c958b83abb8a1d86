// BMP reader (1, 4, 8, 15, 16, 24 and 32 bits, 8-bit run-length) and writer (4, 8 and 24 bits).
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/bytes.h"
#include "gfx/core/core_local.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/stream.h"

namespace {

constexpr GxUInt32 kRowHint = 0x10000;
constexpr GxUInt32 kFileHeaderSize = 14;
constexpr GxUInt32 kCoreHeaderSize = 12;
constexpr GxUInt32 kInfoHeaderSize = 40;
// Larger headers only add fields this reader does not use.
constexpr GxUInt32 kMaxHeaderSize = 0x1000;
constexpr GxUInt32 kCompressionNone = 0;
constexpr GxUInt32 kCompressionRle8 = 1;
constexpr GxUInt32 kCompressionRle4 = 2;
// Most pixels one 2-byte run-length code can give.
constexpr uint64_t kRleMaxRun = 255;
constexpr GxUInt32 kRleCodeSize = 2;

struct BmpHeader {
    GxUInt32 dataOffset;
    GxUInt32 headerSize;
    GxInt32 width;
    GxInt32 height;  // positive once read; topDown keeps the sign
    bool topDown;
    GxUInt32 bitCount;
    GxUInt32 compression;
    GxUInt32 colours;  // palette entries stored in the file
};

// Everything the reader makes, freed by its caller whatever happens.
struct BmpRead {
    GxStream* stream;
    GxImage* image;
    GxUInt8* row;
    GxUInt32 rowSize;
};

bool Fail(GxInt32 code)
{
    GxErrorRaise(gxPLUGINBMP, code);
    return false;
}

bool ReadBytes(GxStream* stream, void* buffer, GxUInt32 length)
{
    return GxStreamRead(stream, buffer, length) == length;
}

bool ReadHeader(GxStream* stream, BmpHeader* h)
{
    GxUInt8 file[kFileHeaderSize + 4];
    if (!ReadBytes(stream, file, 2) || file[0] != 'B' || file[1] != 'M' || !ReadBytes(stream, file + 2, 16)) {
        return false;
    }
    h->dataOffset = GxBytesGetU32(file + 10);
    h->headerSize = GxBytesGetU32(file + 14);
    GxUInt8 info[36];
    if (h->headerSize == kCoreHeaderSize) {
        if (!ReadBytes(stream, info, 8)) {
            return false;
        }
        h->width = static_cast<GxInt16>(GxBytesGetU16(info));
        h->height = static_cast<GxInt16>(GxBytesGetU16(info + 2));
        h->bitCount = GxBytesGetU16(info + 6);
        h->compression = kCompressionNone;
        h->colours = h->bitCount <= 8 ? (1u << h->bitCount) : 0;
        return true;
    }
    if (h->headerSize < kInfoHeaderSize || h->headerSize > kMaxHeaderSize) {
        return Fail(gxERRUNSUPPORTED);
    }
    if (!ReadBytes(stream, info, sizeof(info)) ||
        (h->headerSize > kInfoHeaderSize && !GxStreamSkip(stream, h->headerSize - kInfoHeaderSize))) {
        return false;
    }
    h->width = static_cast<GxInt32>(GxBytesGetU32(info));
    h->height = static_cast<GxInt32>(GxBytesGetU32(info + 4));
    h->bitCount = GxBytesGetU16(info + 10);
    h->compression = GxBytesGetU32(info + 12);
    const GxUInt32 used = GxBytesGetU32(info + 28);
    if (h->bitCount <= 8) {
        h->colours = (used >= 1 && used <= (1u << h->bitCount)) ? used : (1u << h->bitCount);
    } else {
        h->colours = 0;
    }
    return true;
}

// Refuses what the reader can not decode safely before anything is allocated.
bool CheckHeader(BmpHeader* h)
{
    const GxUInt32 b = h->bitCount;
    if (b != 1 && b != 4 && b != 8 && b != 15 && b != 16 && b != 24 && b != 32) {
        return Fail(gxERRINVALIDDEPTH);
    }
    if (h->compression == kCompressionRle4 || (h->compression > kCompressionRle8 && b < 24)) {
        return Fail(gxERRUNSUPPORTED);
    }
    if (h->width <= 0 || h->width > gxIMAGEFILEMAXSIDE || h->height == 0 || h->height > gxIMAGEFILEMAXSIDE ||
        h->height < -gxIMAGEFILEMAXSIDE) {
        return Fail(gxERRUNSUPPORTED);
    }
    h->topDown = h->height < 0;
    if (h->topDown) {
        h->height = -h->height;
    }
    // Run-length data of a few megabytes can declare a gigapixel: the size is judged before anything is made.
    if (!GxImageFileSizeAllowed(h->width, h->height, 1)) {
        return Fail(gxERRUNSUPPORTED);
    }
    return true;
}

// The entries the file does not give stay as the allocation left them.
bool ReadPalette(GxStream* stream, const BmpHeader& h, GxImage* image)
{
    if (h.headerSize != kCoreHeaderSize && h.headerSize != kInfoHeaderSize) {
        return Fail(gxERRUNSUPPORTED);
    }
    const GxUInt32 entrySize = h.headerSize == kCoreHeaderSize ? 3 : 4;
    GxUInt8 entries[256 * 4];
    if (!ReadBytes(stream, entries, h.colours * entrySize)) {
        return false;
    }
    for (GxUInt32 i = 0; i < h.colours; ++i) {
        const GxUInt8* e = entries + i * entrySize;
        image->palette[i] = GxRGBA{e[2], e[1], e[0], 255};
    }
    return true;
}

// Bytes of one row's pixels, unpadded: where run-length data of the row must end.
GxUInt32 RowBytes(const BmpHeader& h) { return (h.bitCount * static_cast<GxUInt32>(h.width) + 7) / 8; }

GxUInt32 FileRowSize(const BmpHeader& h) { return (RowBytes(h) + 3) & ~3u; }

// Run-length codes are decoded below 24 bits; 24 and 32 bits read plain rows whatever the compression says.
bool RunLength(const BmpHeader& h) { return h.compression == kCompressionRle8 && h.bitCount < 24; }

void ConvertRow(const BmpHeader& h, const GxUInt8* in, GxImage* image, GxInt32 y)
{
    GxUInt8* out = image->pixels + static_cast<size_t>(y) * image->stride;
    const GxInt32 width = h.width;
    for (GxInt32 x = 0; x < width; ++x) {
        GxUInt32 w = 0;
        switch (h.bitCount) {
        case 1:
            out[x] = (in[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        case 4:
            out[x] = (x & 1) ? (in[x >> 1] & 0x0F) : (in[x >> 1] >> 4);
            break;
        case 8:
            out[x] = in[x];
            break;
        case 15:
            // 5-5-5 words; bit 15 is unused.
            w = GxBytesGetU16(in + 2 * x);
            out[4 * x] = static_cast<GxUInt8>((w >> 7) & 0xF8);
            out[4 * x + 1] = static_cast<GxUInt8>((w >> 2) & 0xF8);
            out[4 * x + 2] = static_cast<GxUInt8>((w << 3) & 0xFF);
            out[4 * x + 3] = 255;
            break;
        case 16:
            // 5-6-5 words: green keeps six bits.
            w = GxBytesGetU16(in + 2 * x);
            out[4 * x] = static_cast<GxUInt8>((w >> 8) & 0xF8);
            out[4 * x + 1] = static_cast<GxUInt8>((w >> 3) & 0xFC);
            out[4 * x + 2] = static_cast<GxUInt8>((w << 3) & 0xFF);
            out[4 * x + 3] = 255;
            break;
        case 24:
        case 32: {
            const GxUInt8* p = in + x * static_cast<GxInt32>(h.bitCount / 8);
            out[4 * x] = p[2];
            out[4 * x + 1] = p[1];
            out[4 * x + 2] = p[0];
            out[4 * x + 3] = 255;
            break;
        }
        default:
            break;
        }
    }
}

GxInt32 ImageRow(const BmpHeader& h, GxInt32 fileRow) { return h.topDown ? fileRow : h.height - 1 - fileRow; }

bool ReadPlainRows(BmpRead* r, const BmpHeader& h)
{
    const GxUInt32 fileRow = FileRowSize(h);
    for (GxInt32 i = 0; i < h.height; ++i) {
        if (!ReadBytes(r->stream, r->row, fileRow)) {
            return false;
        }
        ConvertRow(h, r->row, r->image, ImageRow(h, i));
    }
    return true;
}

// Decodes one row of 8-bit run-length codes (runs of bytes, whatever the bit count) into r->row; *end is set at
// the end-of-bitmap code.
bool DecodeRleRow(BmpRead* r, const BmpHeader& h, bool* end)
{
    GxUInt32 x = 0;
    const GxUInt32 width = RowBytes(h);
    for (;;) {
        GxUInt8 pair[2];
        if (!ReadBytes(r->stream, pair, 2)) {
            return false;
        }
        const GxUInt32 count = pair[0], value = pair[1];
        if (count > 0) {
            if (count > width - x) {
                return Fail(gxERRUNSUPPORTED);
            }
            memset(r->row + x, static_cast<int>(value), count);
            x += count;
            continue;
        }
        if (value == 0 || value == 1) {
            *end = value == 1;
            return true;
        }
        // A delta code ends the read; the Part's decoder knows no skipped pixels.
        if (value == 2) {
            return false;
        }
        if (value > width - x) {
            return Fail(gxERRUNSUPPORTED);
        }
        if (!ReadBytes(r->stream, r->row + x, value) || ((value & 1) && !GxStreamSkip(r->stream, 1))) {
            return false;
        }
        x += value;
    }
}

bool ReadRleRows(BmpRead* r, const BmpHeader& h)
{
    for (GxInt32 i = 0; i < h.height; ++i) {
        bool end = false;
        if (!DecodeRleRow(r, h, &end)) {
            return false;
        }
        ConvertRow(h, r->row, r->image, ImageRow(h, i));
        if (end) {
            return true;
        }
    }
    return true;
}

// The declared pixels must be able to come from the bytes left: every stored row, or enough
// run-length codes at their greatest expansion. Checked before the image is allocated.
// `before` is the number of bytes between the stream's position and the pixels.
bool PixelsCanBePresent(const GxStream* stream, const BmpHeader& h, uint64_t before)
{
    const uint64_t rows = static_cast<uint64_t>(h.height);
    if (!RunLength(h)) {
        return GxStreamCanSupply(stream, before + rows * FileRowSize(h));
    }
    const uint64_t pixels = rows * static_cast<uint64_t>(RowBytes(h));
    return GxStreamCanSupply(stream, before + (pixels + kRleMaxRun - 1) / kRleMaxRun * kRleCodeSize);
}

bool ReadBmp(BmpRead* r)
{
    BmpHeader h = {};
    if (!ReadHeader(r->stream, &h) || !CheckHeader(&h)) {
        return false;
    }
    const GxUInt32 paletteBytes = h.bitCount <= 8 ? h.colours * (h.headerSize == kCoreHeaderSize ? 3 : 4) : 0;
    const GxUInt32 consumed = kFileHeaderSize + h.headerSize + paletteBytes;
    // A pixel offset inside the headers (or a negative one) would mean reading backwards.
    if (static_cast<GxInt32>(h.dataOffset) < 0 || h.dataOffset < consumed) {
        return Fail(gxERRUNSUPPORTED);
    }
    if (!PixelsCanBePresent(r->stream, h, h.dataOffset - kFileHeaderSize - h.headerSize)) {
        return Fail(gxERRENDOFSTREAM);
    }
    const GxInt32 depth = h.bitCount <= 4 ? 4 : (h.bitCount == 8 ? 8 : 32);
    r->image = GxImageCreate(h.width, h.height, depth);
    if (!r->image || !GxImageAllocatePixels(r->image)) {
        return false;
    }
    if (r->image->palette && !ReadPalette(r->stream, h, r->image)) {
        return false;
    }
    if (h.dataOffset > consumed && !GxStreamSkip(r->stream, h.dataOffset - consumed)) {
        return false;
    }
    const GxUInt32 bufferSize = ((static_cast<GxUInt32>(h.width) + 7) & ~7u) * ((h.bitCount + 7) / 8);
    r->rowSize = bufferSize > FileRowSize(h) ? bufferSize : FileRowSize(h);
    r->row = static_cast<GxUInt8*>(GxCalloc(r->rowSize, 1, kRowHint));
    if (!r->row) {
        return Fail(gxERRNOMEMORY);
    }
    if (RunLength(h)) {
        return ReadRleRows(r, h);
    }
    return ReadPlainRows(r, h);
}

GxUInt32 WriteRowSize(const GxImage* image, GxUInt32 bitCount)
{
    return ((static_cast<GxUInt32>(image->width) * bitCount + 31) >> 3) & ~3u;
}

void FillFileRow(const GxImage* image, GxInt32 y, GxUInt32 bitCount, GxUInt8* out)
{
    const GxUInt8* in = image->pixels + static_cast<size_t>(y) * image->stride;
    for (GxInt32 x = 0; x < image->width; ++x) {
        if (bitCount == 4) {
            const GxUInt8 index = in[x] & 0x0F;
            out[x >> 1] = (x & 1) ? static_cast<GxUInt8>(out[x >> 1] | index) : static_cast<GxUInt8>(index << 4);
        } else if (bitCount == 8) {
            out[x] = in[x];
        } else {
            out[3 * x] = in[4 * x + 2];
            out[3 * x + 1] = in[4 * x + 1];
            out[3 * x + 2] = in[4 * x];
        }
    }
}

bool WriteBmp(GxStream* stream, const GxImage* image, GxUInt32 bitCount, GxUInt8* row)
{
    const GxUInt32 rowSize = WriteRowSize(image, bitCount);
    const GxUInt32 paletteBytes = bitCount <= 8 ? (4u << bitCount) : 0;
    GxUInt8 header[54] = {'B', 'M'};
    GxBytesPutU32(header + 2, rowSize * static_cast<GxUInt32>(image->height) + 54 + paletteBytes);
    GxBytesPutU32(header + 10, 54 + paletteBytes);
    GxBytesPutU32(header + 14, kInfoHeaderSize);
    GxBytesPutU32(header + 18, static_cast<GxUInt32>(image->width));
    GxBytesPutU32(header + 22, static_cast<GxUInt32>(image->height));
    GxBytesPutU16(header + 26, 1);
    GxBytesPutU16(header + 28, bitCount);
    if (paletteBytes) {
        GxBytesPutU32(header + 46, 1u << bitCount);
        GxBytesPutU32(header + 50, 1u << bitCount);
    }
    if (!GxStreamWrite(stream, header, sizeof(header))) {
        return false;
    }
    if (paletteBytes) {
        GxUInt8 palette[256 * 4];
        for (GxUInt32 i = 0; i < (1u << bitCount); ++i) {
            const GxRGBA& c = image->palette[i];
            const GxUInt8 entry[4] = {c.blue, c.green, c.red, 0xFF};
            memcpy(palette + 4 * i, entry, 4);
        }
        if (!GxStreamWrite(stream, palette, paletteBytes)) {
            return false;
        }
    }
    for (GxInt32 y = image->height - 1; y >= 0; --y) {
        memset(row, 0, rowSize);
        FillFileRow(image, y, bitCount, row);
        if (!GxStreamWrite(stream, row, rowSize)) {
            return false;
        }
    }
    return true;
}

}  // namespace

GxImage* GxImageReadBMP(const GxChar* imageName)
{
    BmpRead r = {};
    r.stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, imageName);
    if (!r.stream) {
        return nullptr;
    }
    const bool ok = ReadBmp(&r);
    if (r.row) {
        GxFree(r.row);
    }
    GxStreamClose(r.stream, nullptr);
    if (!ok) {
        if (r.image) {
            GxImageDestroy(r.image);
        }
        return nullptr;
    }
    return r.image;
}

GxImage* GxImageWriteBMP(GxImage* image, const GxChar* imageName)
{
    GX_ASSERT(image && imageName && image->pixels, "an allocated image and a name to write");
    const bool palettised = (image->depth == 4 || image->depth == 8) && image->palette;
    GX_ASSERT((palettised || image->depth == 32) && image->width > 0 && image->height > 0,
              "an image of a depth images have");
    const GxUInt32 bitCount = palettised ? static_cast<GxUInt32>(image->depth) : 24;
    auto* row = static_cast<GxUInt8*>(GxMalloc(WriteRowSize(image, bitCount), kRowHint));
    if (!row) {
        GxErrorRaise(gxPLUGINBMP, gxERRNOMEMORY);
        return nullptr;
    }
    // The file is written beside its final name and renamed over it only once complete.
    GxChar temporary[gxFILEMAXPATH + 1];
    GxFile* file = GxFileOpenTemporary(imageName, temporary, sizeof(temporary));
    GxStream* stream = file ? GxStreamOpen(gxSTREAMFILE, gxSTREAMWRITE, file) : nullptr;
    bool ok = stream && WriteBmp(stream, image, bitCount, row);
    if (stream && !GxStreamClose(stream, nullptr)) {
        ok = false;
    }
    // A file that could not be flushed and closed is not saved either.
    ok = file && GxFileCommitTemporary(file, temporary, imageName, ok);
    GxFree(row);
    if (!ok) {
        GxErrorRaise(gxPLUGINBMP, gxERRWRITE);
        return nullptr;
    }
    return image;
}
