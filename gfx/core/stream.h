// Byte streams over files, memory and callbacks, and the chunk format read and written through them.
#pragma once

#include "gfx/core/gx.h"

struct GxFile;

enum GxStreamType : GxInt32 {
    gxNASTREAM = 0,
    gxSTREAMFILE = 1,      // an open GxFile, left open at close
    gxSTREAMFILENAME = 2,  // a file opened by name and closed at close
    gxSTREAMMEMORY = 3,    // a memory buffer; a write stream grows its own
    gxSTREAMCUSTOM = 4,    // the caller's callbacks
};

enum GxStreamAccessType : GxInt32 {
    gxNASTREAMACCESS = 0,
    gxSTREAMREAD = 1,
    gxSTREAMWRITE = 2,
    gxSTREAMAPPEND = 3,
};

// Memory record given to GxStreamOpen (read, append) and filled by GxStreamClose (write, append).
// A buffer an append stream grows is reallocated with the engine's memory functions.
struct GxMemory {
    GxUInt8* start;
    GxUInt32 length;
};

typedef GxBool (*GxCustomStreamFnClose)(void* data);
// Returns the number of bytes read (at most length).
typedef GxUInt32 (*GxCustomStreamFnRead)(void* data, void* buffer, GxUInt32 length);
// Each returns a positive value on success.
typedef GxBool (*GxCustomStreamFnWrite)(void* data, const void* buffer, GxUInt32 length);
typedef GxBool (*GxCustomStreamFnSkip)(void* data, GxUInt32 offset);

// Callback record of a custom stream; any callback may be null.
struct GxStreamCustom {
    GxCustomStreamFnClose sfnclose;
    GxCustomStreamFnRead sfnread;
    GxCustomStreamFnWrite sfnwrite;
    GxCustomStreamFnSkip sfnskip;
    void* data;
};

struct GxStreamMemory {
    GxUInt32 position;
    GxUInt32 nSize;  // bytes held (read) or allocated (write, append)
    GxUInt8* memBlock;
    GxBool ownsBlock;  // the block was allocated or reallocated by this stream
};

struct GxStreamFile {
    GxFile* fpFile;
};

union GxStreamUnion {
    GxStreamMemory memory;
    GxStreamFile file;
    GxStreamCustom custom;
};

struct GxStream {
    GxStreamType type;
    GxStreamAccessType accessType;
    GxStreamUnion Type;
    GxBool freeOnClose;
};

// Chunk header as it lies on a stream: type, body size, library stamp (12 bytes, little-endian).
struct GxChunkHeader {
    GxUInt32 type;
    GxUInt32 length;        // body bytes, not counting the header
    GxUInt32 libraryStamp;  // GxStreamMakeLibraryStamp(version, build)
};
constexpr GxUInt32 gxCHUNKHEADERSIZE = 12;
static_assert(sizeof(GxChunkHeader) == gxCHUNKHEADERSIZE, "a chunk header is three words without padding");

// Chunk types owned by the stream module (the extension chunk 0x03 is in plugin.h).
constexpr GxUInt32 gxID_STRUCT = 0x01;
constexpr GxUInt32 gxID_STRING = 0x02;
constexpr GxUInt32 gxID_UNICODESTRING = 0x13;

struct GxChunkHeaderInfo {
    GxUInt32 type;
    GxUInt32 length;
    GxUInt32 version;
    GxUInt32 buildNum;
    GxInt32 isComplex;  // 1 for object chunks that hold other chunks
};

// A name of at most 32 characters and its NUL.
constexpr GxUInt32 gxNAMERECORDLENGTH = 33;
struct GxNameRecord {
    GxChar name[gxNAMERECORDLENGTH];
};

// Data: type 1 a GxFile*, type 2 a file name, type 3 a GxMemory* (null for write), type 4 a GxStreamCustom*.
GxStream* GxStreamOpen(GxStreamType type, GxStreamAccessType accessType, const void* data);
// A memory stream written or appended to hands its buffer and written length to `data`
// (the caller frees it with GxFree); without `data` the stream frees a buffer it allocated.
GxBool GxStreamClose(GxStream* stream, void* data);
GxUInt32 GxStreamRead(GxStream* stream, void* buffer, GxUInt32 length);
GxStream* GxStreamWrite(GxStream* stream, const void* buffer, GxUInt32 length);
GxStream* GxStreamSkip(GxStream* stream, GxUInt32 offset);
// Bytes the stream can still deliver: what a memory stream holds past its position, what a file
// holds past its position; gxSTREAMBYTESUNKNOWN for custom streams. Readers check every count taken
// from their input against it before allocating.
constexpr GxUInt32 gxSTREAMBYTESUNKNOWN = 0xFFFFFFFFu;
GxUInt32 GxStreamBytesLeft(const GxStream* stream);
// False when the stream knows it holds fewer than `bytes` more; the test a count read from the
// stream passes before anything is allocated for it.
inline bool GxStreamCanSupply(const GxStream* stream, uint64_t bytes)
{
    const GxUInt32 left = GxStreamBytesLeft(stream);
    return left == gxSTREAMBYTESUNKNOWN || bytes <= left;
}
// Reads the next `length` bytes into a block the caller frees with GxFree. The block grows as the
// bytes arrive, so a length the stream cannot back costs no more memory than the bytes it delivers.
// A reader given a chunk reads its body this way and parses it from a memory stream, so it can
// never read past the chunk's end.
GxUInt8* GxStreamReadBlock(GxStream* stream, GxUInt32 length);

// Library stamp helpers: encode (version, build) and decode a stamp read from a stream.
GxUInt32 GxStreamMakeLibraryStamp(GxUInt32 version, GxUInt32 buildNum);
void GxStreamDecodeLibraryStamp(GxUInt32 stamp, GxUInt32* version, GxUInt32* buildNum);

GxStream* GxStreamWriteChunkHeader(GxStream* stream, GxUInt32 type, GxUInt32 size, GxUInt32 version, GxUInt32 buildNum);
// Any output may be null. Does not check the version window.
GxBool GxStreamReadChunkHeader(GxStream* stream, GxUInt32* type, GxUInt32* length, GxUInt32* version,
                               GxUInt32* buildNum);
GxStream* GxStreamReadChunkHeaderInfo(GxStream* stream, GxChunkHeaderInfo* info);
// Skips chunks of other types; the wanted one must carry a version inside the window.
GxBool GxStreamFindChunk(GxStream* stream, GxUInt32 type, GxUInt32* lengthOut, GxUInt32* versionOut);

// Arrays are stored little-endian; the int32 pair also serves 16-bit arrays and floats.
// All return the stream, or null when the write or read failed or came short.
GxStream* GxStreamWriteReal(GxStream* stream, const GxReal* reals, GxUInt32 numBytes);
GxStream* GxStreamWriteInt32(GxStream* stream, const void* ints, GxUInt32 numBytes);
GxStream* GxStreamReadInt32(GxStream* stream, void* ints, GxUInt32 numBytes);

// String chunks (0x02) and wide-string chunks (0x13).
GxUInt32 GxStringStreamGetSize(const GxChar* string);
const GxChar* GxStringStreamWrite(const GxChar* string, GxStream* stream);
// Reads the next string or wide-string chunk, skipping other chunks before it. With a buffer,
// the text and its NUL must fit in bufferSize bytes, else the chunk is refused; without one
// (bufferSize ignored) a buffer is allocated that the caller frees with GxFree.
// The result is always NUL-terminated.
GxChar* GxStringStreamRead(GxChar* buffer, GxStream* stream, GxUInt32 bufferSize);

// A 32-bit value, then a string chunk of at most 32 characters.
GxNameRecord* GxNameRecordStreamRead(GxStream* stream);
GxBool GxNameRecordDestroy(GxNameRecord* record);

void* GxStreamModuleOpen(void* instance, GxInt32 offset, GxInt32 size);
void* GxStreamModuleClose(void* instance, GxInt32 offset, GxInt32 size);
void* GxNameRecordModuleOpen(void* instance, GxInt32 offset, GxInt32 size);
void* GxNameRecordModuleClose(void* instance, GxInt32 offset, GxInt32 size);
