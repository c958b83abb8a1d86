// Chunks on streams: library stamps, chunk headers and the search for a chunk, arrays, string chunks.
#include "gfx/core/stream.h"

#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/bytes.h"
#include "gfx/core/core_local.h"
#include "gfx/core/memory.h"

namespace {

constexpr GxUInt32 gxHINTSTRING = 0x30002;
constexpr GxUInt32 gxSTRINGPIECE = 64;
constexpr GxUInt32 gxWIDESTRINGPIECE = 128;
constexpr GxUInt32 gxREALSTAGING = 256;

// Library stamps pack a version (such as 0x37002) and a 16-bit build: 10 bits of release
// ((version + 0x10000) >> 8, so 0x37002 gives 0x070), the low 6 bits of the version,
// then the build. Decoding adds the 0x30000 family back. Stamps under 0x10000 are old plain
// versions (version >> 8) with no build.
constexpr GxUInt32 gxSTAMPRELEASEBIAS = 0x10000;
constexpr GxUInt32 gxSTAMPVERSIONBASE = 0x30000;
constexpr GxUInt32 gxSTAMPRELEASESHIFT = 8;
constexpr GxUInt32 gxSTAMPRELEASEMASK = 0x3FF;
constexpr GxUInt32 gxSTAMPRELEASEPOS = 22;
constexpr GxUInt32 gxSTAMPMINORMASK = 0x3F;
constexpr GxUInt32 gxSTAMPMINORPOS = 16;
constexpr GxUInt32 gxSTAMPBUILDMASK = 0xFFFF;
constexpr GxUInt32 gxSTAMPFIRSTPACKED = 0x10000;

bool VersionInWindow(GxUInt32 version) { return version >= gxVERSIONMIN && version <= gxVERSIONMAX; }

// Object chunks that hold other chunks (camera 0x05 and texture 0x06 among them); every other type
// is a plain body. Chunk headers report it so walkers know which bodies to descend into.
constexpr GxUInt32 gxCOMPLEXCHUNKS[] = {0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0E, 0x0F, 0x10, 0x12, 0x14, 0x1A};

bool IsComplexChunk(GxUInt32 type)
{
    for (GxUInt32 complex : gxCOMPLEXCHUNKS) {
        if (type == complex)
            return true;
    }
    return false;
}

// Where a string chunk's characters go: the caller's bounded buffer or one grown as needed.
struct GxStringSink {
    GxChar* buffer;
    GxUInt32 capacity;  // bytes, room for the NUL included
    GxUInt32 count;     // characters stored
    GxUInt32 maxChars;  // the most the chunk can hold
    bool owned;
    bool terminated;  // a NUL was seen; the rest of the body is padding
};

bool SinkReserve(GxStringSink& sink)
{
    if (sink.count + 1 < sink.capacity)
        return true;
    if (!sink.owned) {
        // The text does not fit the caller's buffer: refused, not cut.
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return false;
    }
    uint64_t limit = static_cast<uint64_t>(sink.maxChars) + 1;
    uint64_t wanted = sink.capacity < 32 ? 64 : static_cast<uint64_t>(sink.capacity) * 2;
    if (wanted > limit)
        wanted = limit;
    if (wanted > UINT32_MAX || wanted <= sink.capacity) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return false;
    }
    GxUInt32 grown = static_cast<GxUInt32>(wanted);
    GxChar* buffer = static_cast<GxChar*>(GxRealloc(sink.buffer, grown, gxHINTSTRING | gxMEMHINTFLAGRESIZEABLE));
    if (buffer == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return false;
    }
    sink.buffer = buffer;
    sink.capacity = grown;
    return true;
}

bool SinkPut(GxStringSink& sink, GxChar c)
{
    if (sink.terminated)
        return true;
    if (c == '\0') {
        sink.terminated = true;
        return true;
    }
    if (!SinkReserve(sink))
        return false;
    sink.buffer[sink.count++] = c;
    return true;
}

// Reads a string body of `length` bytes (wide: 16-bit units, low byte kept) into the sink.
bool ReadStringBody(GxStream* stream, GxUInt32 length, bool wide, GxStringSink& sink)
{
    GxUInt8 piece[gxWIDESTRINGPIECE];
    GxUInt32 pieceSize = wide ? gxWIDESTRINGPIECE : gxSTRINGPIECE;
    while (length > 0) {
        GxUInt32 n = length < pieceSize ? length : pieceSize;
        if (GxStreamRead(stream, piece, n) != n) {  // the stream has raised why
            return false;
        }
        length -= n;
        // A wide body of odd size ends in a lone byte that makes no character.
        GxUInt32 step = wide ? 2 : 1;
        for (GxUInt32 i = 0; i + step <= n; i += step) {
            GxChar c = static_cast<GxChar>(piece[i]);
            if (!SinkPut(sink, c))
                return false;
        }
    }
    return true;
}

GxChar* ReadStringChunk(GxChar* buffer, GxUInt32 bufferSize, GxStream* stream, GxUInt32 length, bool wide)
{
    GxStringSink sink = {buffer, bufferSize, 0, wide ? length / 2 : length, buffer == nullptr, false};
    if (sink.owned) {
        // A body larger than what the stream holds is refused before anything is allocated, with the error its
        // short read would raise.
        if (length > GxStreamBytesLeft(stream)) {
            GxErrorRaise(gxPLUGINCORE, gxERRENDOFSTREAM);
            return nullptr;
        }
        GxUInt32 first = sink.maxChars < 63 ? sink.maxChars + 1 : 64;
        sink.buffer = static_cast<GxChar*>(GxMalloc(first, gxHINTSTRING));
        if (sink.buffer == nullptr) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return nullptr;
        }
        sink.capacity = first;
    }
    if (ReadStringBody(stream, length, wide, sink)) {
        sink.buffer[sink.count] = '\0';
        return sink.buffer;
    }
    if (sink.owned)
        GxFree(sink.buffer);
    else
        buffer[0] = '\0';
    return nullptr;
}

}  // namespace

GxUInt32 GxStreamMakeLibraryStamp(GxUInt32 version, GxUInt32 buildNum)
{
    const GxUInt32 release = ((version + gxSTAMPRELEASEBIAS) >> gxSTAMPRELEASESHIFT) & gxSTAMPRELEASEMASK;
    return (release << gxSTAMPRELEASEPOS) | ((version & gxSTAMPMINORMASK) << gxSTAMPMINORPOS) |
           (buildNum & gxSTAMPBUILDMASK);
}

void GxStreamDecodeLibraryStamp(GxUInt32 stamp, GxUInt32* version, GxUInt32* buildNum)
{
    if (stamp < gxSTAMPFIRSTPACKED) {
        *version = stamp << gxSTAMPRELEASESHIFT;
        *buildNum = 0;
        return;
    }
    const GxUInt32 release = (stamp >> gxSTAMPRELEASEPOS) & gxSTAMPRELEASEMASK;
    *version =
        ((release << gxSTAMPRELEASESHIFT) + gxSTAMPVERSIONBASE) | ((stamp >> gxSTAMPMINORPOS) & gxSTAMPMINORMASK);
    *buildNum = stamp & gxSTAMPBUILDMASK;
}

GxStream* GxStreamWriteChunkHeader(GxStream* stream, GxUInt32 type, GxUInt32 size, GxUInt32 version, GxUInt32 buildNum)
{
    const GxChunkHeader chunk = {type, size, GxStreamMakeLibraryStamp(version, buildNum)};
    GxUInt8 header[gxCHUNKHEADERSIZE];
    GxBytesPutU32(header, chunk.type);
    GxBytesPutU32(header + 4, chunk.length);
    GxBytesPutU32(header + 8, chunk.libraryStamp);
    return GxStreamWrite(stream, header, gxCHUNKHEADERSIZE);
}

GxBool GxStreamReadChunkHeader(GxStream* stream, GxUInt32* type, GxUInt32* length, GxUInt32* version,
                               GxUInt32* buildNum)
{
    GxUInt8 header[gxCHUNKHEADERSIZE];
    if (GxStreamRead(stream, header, gxCHUNKHEADERSIZE) != gxCHUNKHEADERSIZE) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return 0;
    }
    const GxChunkHeader chunk = {GxBytesGetU32(header), GxBytesGetU32(header + 4), GxBytesGetU32(header + 8)};
    GxUInt32 v, b;
    GxStreamDecodeLibraryStamp(chunk.libraryStamp, &v, &b);
    if (type != nullptr)
        *type = chunk.type;
    if (length != nullptr)
        *length = chunk.length;
    if (version != nullptr)
        *version = v;
    if (buildNum != nullptr)
        *buildNum = b;
    return 1;
}

GxStream* GxStreamReadChunkHeaderInfo(GxStream* stream, GxChunkHeaderInfo* info)
{
    GX_ASSERT(info != nullptr, "a record to fill");
    if (!GxStreamReadChunkHeader(stream, &info->type, &info->length, &info->version, &info->buildNum))
        return nullptr;
    info->isComplex = IsComplexChunk(info->type) ? 1 : 0;
    return stream;
}

GxBool GxStreamFindChunk(GxStream* stream, GxUInt32 type, GxUInt32* lengthOut, GxUInt32* versionOut)
{
    for (;;) {
        GxUInt32 t, length, version;
        if (!GxStreamReadChunkHeader(stream, &t, &length, &version, nullptr))
            return 0;
        if (t == type) {
            if (!VersionInWindow(version)) {
                GxErrorRaise(gxPLUGINCORE, gxERRBADVERSION);
                return 0;
            }
            if (lengthOut != nullptr)
                *lengthOut = length;
            if (versionOut != nullptr)
                *versionOut = version;
            return 1;
        }
        if (GxStreamSkip(stream, length) == nullptr)
            return 0;
    }
}

GxStream* GxStreamWriteReal(GxStream* stream, const GxReal* reals, GxUInt32 numBytes)
{
    // Staged in pieces: the place where a big-endian host would swap bytes.
    GxUInt8 staging[gxREALSTAGING];
    const GxUInt8* src = reinterpret_cast<const GxUInt8*>(reals);
    GX_ASSERT(reals != nullptr || numBytes == 0, "values to write");
    while (numBytes > 0) {
        GxUInt32 n = numBytes < gxREALSTAGING ? numBytes : gxREALSTAGING;
        std::memcpy(staging, src, n);
        if (GxStreamWrite(stream, staging, n) == nullptr)
            return nullptr;
        src += n;
        numBytes -= n;
    }
    return stream;
}

GxStream* GxStreamWriteInt32(GxStream* stream, const void* ints, GxUInt32 numBytes)
{
    return GxStreamWrite(stream, ints, numBytes);
}

GxStream* GxStreamReadInt32(GxStream* stream, void* ints, GxUInt32 numBytes)
{
    if (GxStreamRead(stream, ints, numBytes) != numBytes) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    return stream;
}

GxUInt32 GxStringStreamGetSize(const GxChar* string)
{
    size_t length = string != nullptr ? std::strlen(string) : 0;
    return static_cast<GxUInt32>((length + 4) & ~static_cast<size_t>(3));
}

const GxChar* GxStringStreamWrite(const GxChar* string, GxStream* stream)
{
    static const GxUInt8 zeros[4] = {0, 0, 0, 0};
    if (string == nullptr)
        string = "";
    size_t length = std::strlen(string);
    GX_ASSERT(length <= UINT32_MAX - 4, "a string a chunk can hold");
    GxUInt32 size = GxStringStreamGetSize(string);
    GxUInt32 chars = static_cast<GxUInt32>(length);
    if (GxStreamWriteChunkHeader(stream, gxID_STRING, size, gxLIBRARYVERSION, gxLIBRARYBUILD) == nullptr ||
        GxStreamWrite(stream, string, chars) == nullptr || GxStreamWrite(stream, zeros, size - chars) == nullptr)
        return nullptr;
    return string;
}

GxChar* GxStringStreamRead(GxChar* buffer, GxStream* stream, GxUInt32 bufferSize)
{
    GX_ASSERT(stream != nullptr && (buffer == nullptr || bufferSize > 0), "a stream and room for the NUL");
    for (;;) {
        GxUInt32 type, length, version;
        if (!GxStreamReadChunkHeader(stream, &type, &length, &version, nullptr))
            break;
        if (!VersionInWindow(version)) {
            GxErrorRaise(gxPLUGINCORE, gxERRBADVERSION);
            break;
        }
        if (type == gxID_STRING || type == gxID_UNICODESTRING)
            return ReadStringChunk(buffer, bufferSize, stream, length, type == gxID_UNICODESTRING);
        if (GxStreamSkip(stream, length) == nullptr)
            break;
    }
    if (buffer != nullptr)
        buffer[0] = '\0';
    return nullptr;
}
