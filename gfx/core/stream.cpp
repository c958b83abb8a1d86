// Byte streams over files, file names, memory and callbacks; blocks read against what a stream holds;
// name records and the stream and name-record modules.
#include "gfx/core/stream.h"

#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/filesys.h"
#include "gfx/core/memory.h"

static_assert(sizeof(GxNameRecord) == gxNAMERECORDLENGTH, "name records are 33 bytes");

namespace {

constexpr GxUInt32 gxSTREAMPLUGINID = 0x404;
constexpr GxUInt32 gxNAMERECORDPLUGINID = 0x412;
// Memory hints: a duration over the id of what the block belongs to.
constexpr GxUInt32 gxHINTSTREAMLIST = gxMEMHINTDURGLOBAL | gxSTREAMPLUGINID;
constexpr GxUInt32 gxHINTSTREAM = gxMEMHINTDUROBJECT | gxSTREAMPLUGINID;
constexpr GxUInt32 gxHINTSTREAMGROW = gxMEMHINTFLAGRESIZEABLE | gxHINTSTREAM;
constexpr GxUInt32 gxHINTNAMERECORDLIST = gxMEMHINTDURGLOBAL | gxNAMERECORDPLUGINID;
constexpr GxUInt32 gxHINTNAMERECORD = gxMEMHINTDUROBJECT | gxNAMERECORDPLUGINID;
constexpr GxUInt32 gxHINTBLOCK = gxMEMHINTDURFUNCTION | gxSTREAMPLUGINID;
static_assert(gxHINTSTREAMGROW == 0x1030404 && gxHINTNAMERECORD == 0x30412, "hints keep their values");
constexpr GxUInt32 gxMEMSTREAMSTEP = 512;

// First size of a block read from a stream that cannot tell its length; it doubles from there.
constexpr GxUInt32 gxBLOCKFIRSTSTEP = 0x10000;

// Each module block holds its free list and the list's record.
struct GxStreamModuleBlock {
    GxFreeList* freeList;
    GxFreeList record;
};

GxInt32 gxStreamModuleOffset = -1;
GxInt32 gxStreamModuleInstances = 0;
GxInt32 gxNameRecordModuleOffset = -1;
GxInt32 gxNameRecordModuleInstances = 0;

GxStreamModuleBlock* ModuleBlock(GxInt32 offset)
{
    return reinterpret_cast<GxStreamModuleBlock*>(GxEngineGetModuleBlock(offset));
}

// A module's free list, or null (with an error) while the engine is not started.
GxFreeList* ModuleFreeList(GxInt32 instances, GxInt32 offset)
{
    if (instances <= 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return nullptr;
    }
    return ModuleBlock(offset)->freeList;
}

GxFreeList* StreamFreeList() { return ModuleFreeList(gxStreamModuleInstances, gxStreamModuleOffset); }
GxFreeList* NameRecordFreeList() { return ModuleFreeList(gxNameRecordModuleInstances, gxNameRecordModuleOffset); }

const char* FileMode(GxStreamAccessType access)
{
    switch (access) {
    case gxSTREAMREAD:
        return "rb";
    case gxSTREAMWRITE:
        return "wb";
    case gxSTREAMAPPEND:
        return "ab";
    default:
        return nullptr;
    }
}

bool OpenFile(GxStream* stream, const void* data)
{
    GxFile* file = static_cast<GxFile*>(const_cast<void*>(data));
    if (file == nullptr || GxFileTell(file) == -1) {
        return false;
    }
    stream->Type.file.fpFile = file;
    return true;
}

bool OpenFileName(GxStream* stream, const void* data)
{
    const char* mode = FileMode(stream->accessType);
    if (mode == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRSTREAMACCESS);
        GxErrorRaise(gxPLUGINCORE, gxERRSTREAMOPEN);
        return false;
    }
    const char* name = static_cast<const char*>(data);
    GxFile* file = name != nullptr ? GxFileOpen(name, mode) : nullptr;
    if (file == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRSTREAMOPEN);
        return false;
    }
    stream->Type.file.fpFile = file;
    return true;
}

bool OpenMemory(GxStream* stream, const void* data)
{
    GxStreamMemory& mem = stream->Type.memory;
    const GxMemory* record = static_cast<const GxMemory*>(data);
    switch (stream->accessType) {
    case gxSTREAMWRITE:
        return true;
    case gxSTREAMREAD:
    case gxSTREAMAPPEND:
        GX_ASSERT(record && (record->start || record->length == 0), "a memory stream is read from a memory record");
        mem.position = stream->accessType == gxSTREAMREAD ? 0 : record->length;
        mem.nSize = record->length;
        mem.memBlock = record->start;
        return true;
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRSTREAMACCESS);
        return false;
    }
}

bool OpenCustom(GxStream* stream, const void* data)
{
    GX_ASSERT(data, "a custom stream is opened with its callbacks");
    stream->Type.custom = *static_cast<const GxStreamCustom*>(data);
    return true;
}

bool OpenByType(GxStream* stream, const void* data)
{
    switch (stream->type) {
    case gxSTREAMFILE:
        return OpenFile(stream, data);
    case gxSTREAMFILENAME:
        return OpenFileName(stream, data);
    case gxSTREAMMEMORY:
        return OpenMemory(stream, data);
    case gxSTREAMCUSTOM:
        return OpenCustom(stream, data);
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRSTREAMTYPE);
        return false;
    }
}

GxUInt32 ReadFile(GxStream* stream, void* buffer, GxUInt32 length)
{
    GxFile* file = stream->Type.file.fpFile;
    GxUInt32 got = static_cast<GxUInt32>(GxFileRead(buffer, 1, length, file));
    if (got < length)
        GxErrorRaise(gxPLUGINCORE, GxFileEof(file) ? gxERRENDOFSTREAM : gxERRREAD);
    return got;
}

GxUInt32 ReadMemory(GxStream* stream, void* buffer, GxUInt32 length)
{
    GxStreamMemory& mem = stream->Type.memory;
    // A write stream's block beyond the position holds nothing written.
    if (stream->accessType != gxSTREAMREAD) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return 0;
    }
    GxUInt32 avail = mem.nSize - mem.position;
    if (length > avail) {
        length = avail;
        GxErrorRaise(gxPLUGINCORE, gxERRENDOFSTREAM);
    }
    if (length != 0)
        std::memcpy(buffer, mem.memBlock + mem.position, length);
    mem.position += length;
    return length;
}

GxUInt32 ReadCustom(GxStream* stream, void* buffer, GxUInt32 length)
{
    GxStreamCustom& custom = stream->Type.custom;
    if (custom.sfnread == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return 0;
    }
    const GxUInt32 got = custom.sfnread(custom.data, buffer, length);
    GX_ASSERT(got <= length, "a read callback gives at most the bytes asked for");
    return got;
}

GxStream* WriteFile(GxStream* stream, const void* buffer, GxUInt32 length)
{
    GxUInt32 put = static_cast<GxUInt32>(GxFileWrite(buffer, 1, length, stream->Type.file.fpFile));
    if (put != length) {
        GxErrorRaise(gxPLUGINCORE, gxERRWRITE);
        return nullptr;
    }
    return stream;
}

// Grows the block in 512-byte steps, or by the whole write when that is larger.
bool GrowMemory(GxStreamMemory& mem, GxUInt32 length)
{
    if (mem.memBlock == nullptr) {
        mem.memBlock = static_cast<GxUInt8*>(GxMalloc(gxMEMSTREAMSTEP, gxHINTSTREAM));
        if (mem.memBlock == nullptr) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return false;
        }
        mem.nSize = gxMEMSTREAMSTEP;
        mem.ownsBlock = 1;
    }
    if (mem.nSize - mem.position >= length)
        return true;
    GxUInt32 step = length >= gxMEMSTREAMSTEP ? length : gxMEMSTREAMSTEP;
    if (step > UINT32_MAX - mem.nSize) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return false;
    }
    GxUInt32 newSize = mem.nSize + step;
    GxUInt8* block = static_cast<GxUInt8*>(GxRealloc(mem.memBlock, newSize, gxHINTSTREAMGROW));
    if (block == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return false;
    }
    mem.memBlock = block;
    mem.nSize = newSize;
    mem.ownsBlock = 1;
    return true;
}

GxStream* WriteMemory(GxStream* stream, const void* buffer, GxUInt32 length)
{
    // A read stream's buffer belongs to the caller and may not be written or grown.
    if (stream->accessType == gxSTREAMREAD) {
        GxErrorRaise(gxPLUGINCORE, gxERRWRITE);
        return nullptr;
    }
    GxStreamMemory& mem = stream->Type.memory;
    if (!GrowMemory(mem, length))
        return nullptr;
    std::memcpy(mem.memBlock + mem.position, buffer, length);
    mem.position += length;
    return stream;
}

GxStream* WriteCustom(GxStream* stream, const void* buffer, GxUInt32 length)
{
    GxStreamCustom& custom = stream->Type.custom;
    if (custom.sfnwrite == nullptr || custom.sfnwrite(custom.data, buffer, length) <= 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRWRITE);
        return nullptr;
    }
    return stream;
}

// Skipping past the end of a file being read would seem to succeed, so it is checked against the size.
GxStream* SkipFile(GxStream* stream, GxUInt32 offset)
{
    GxFile* file = stream->Type.file.fpFile;
    if (stream->accessType != gxSTREAMREAD) {
        if (offset > static_cast<GxUInt32>(INT32_MAX))
            return nullptr;
        if (GxFileSeek(file, static_cast<GxInt32>(offset), 1) != 0) {
            if (GxFileEof(file))
                GxErrorRaise(gxPLUGINCORE, gxERRENDOFSTREAM);
            return nullptr;
        }
        return stream;
    }
    GxInt32 pos = GxFileTell(file);
    if (pos < 0 || GxFileSeek(file, 0, 2) != 0)
        return nullptr;
    GxInt32 end = GxFileTell(file);
    if (end < pos || static_cast<GxUInt32>(end - pos) < offset) {
        GxErrorRaise(gxPLUGINCORE, gxERRENDOFSTREAM);
        return nullptr;
    }
    if (GxFileSeek(file, pos + static_cast<GxInt32>(offset), 0) != 0)
        return nullptr;
    return stream;
}

GxStream* SkipMemory(GxStream* stream, GxUInt32 offset)
{
    GxStreamMemory& mem = stream->Type.memory;
    if (stream->accessType != gxSTREAMREAD) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    if (offset <= mem.nSize - mem.position) {
        mem.position += offset;
        return stream;
    }
    mem.position = mem.nSize;
    GxErrorRaise(gxPLUGINCORE, gxERRENDOFSTREAM);
    return nullptr;
}

GxStream* SkipCustom(GxStream* stream, GxUInt32 offset)
{
    GxStreamCustom& custom = stream->Type.custom;
    if (custom.sfnskip == nullptr || custom.sfnskip(custom.data, offset) <= 0)
        return nullptr;
    return stream;
}

void CloseMemory(GxStream* stream, void* data)
{
    GxStreamMemory& mem = stream->Type.memory;
    if (stream->accessType == gxSTREAMREAD)
        return;
    GxMemory* out = static_cast<GxMemory*>(data);
    if (out != nullptr) {
        out->start = mem.memBlock;
        out->length = mem.position;
        return;
    }
    // Nobody takes the block: free it when it is ours, rather than lose it.
    if (mem.ownsBlock)
        GxFree(mem.memBlock);
}

}  // namespace

GxStream* GxStreamOpen(GxStreamType type, GxStreamAccessType accessType, const void* data)
{
    GxFreeList* list = StreamFreeList();
    if (list == nullptr)
        return nullptr;
    GxStream* stream = static_cast<GxStream*>(GxFreeListAllocEntry(list, gxHINTSTREAM));
    if (stream == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    std::memset(stream, 0, sizeof(*stream));
    stream->type = type;
    stream->accessType = accessType;
    stream->freeOnClose = 1;
    if (!OpenByType(stream, data)) {
        GxFreeListFreeEntry(list, stream);
        return nullptr;
    }
    return stream;
}

GxBool GxStreamClose(GxStream* stream, void* data)
{
    GX_ASSERT(stream, "an open stream is closed");
    GxBool result = 1;
    switch (stream->type) {
    case gxSTREAMFILE:
        break;
    case gxSTREAMFILENAME:
        // A failed write or close of a file this stream opened means the data did not arrive.
        if (GxFileClose(stream->Type.file.fpFile) != 0) {
            GxErrorRaise(gxPLUGINCORE, gxERRWRITE);
            result = 0;
        }
        break;
    case gxSTREAMMEMORY:
        CloseMemory(stream, data);
        break;
    case gxSTREAMCUSTOM:
        if (stream->Type.custom.sfnclose != nullptr && !stream->Type.custom.sfnclose(stream->Type.custom.data)) {
            GxErrorRaise(gxPLUGINCORE, gxERRWRITE);
            result = 0;
        }
        break;
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRSTREAMTYPE);
        result = 0;
        break;
    }
    if (stream->freeOnClose) {
        GxFreeList* list = StreamFreeList();
        if (list != nullptr)
            GxFreeListFreeEntry(list, stream);
    }
    return result;
}

GxUInt32 GxStreamRead(GxStream* stream, void* buffer, GxUInt32 length)
{
    GX_ASSERT(stream && (buffer || length == 0), "a stream is read into a buffer");
    switch (stream->type) {
    case gxSTREAMFILE:
    case gxSTREAMFILENAME:
        return ReadFile(stream, buffer, length);
    case gxSTREAMMEMORY:
        return ReadMemory(stream, buffer, length);
    case gxSTREAMCUSTOM:
        return ReadCustom(stream, buffer, length);
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRSTREAMTYPE);
        return 0;
    }
}

GxStream* GxStreamWrite(GxStream* stream, const void* buffer, GxUInt32 length)
{
    GX_ASSERT(stream && (buffer || length == 0), "a stream is written from a buffer");
    if (length == 0)
        return stream;
    switch (stream->type) {
    case gxSTREAMFILE:
    case gxSTREAMFILENAME:
        return WriteFile(stream, buffer, length);
    case gxSTREAMMEMORY:
        return WriteMemory(stream, buffer, length);
    case gxSTREAMCUSTOM:
        return WriteCustom(stream, buffer, length);
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRSTREAMTYPE);
        return nullptr;
    }
}

GxStream* GxStreamSkip(GxStream* stream, GxUInt32 offset)
{
    GX_ASSERT(stream, "an open stream is skipped");
    if (offset == 0)
        return stream;
    switch (stream->type) {
    case gxSTREAMFILE:
    case gxSTREAMFILENAME:
        return SkipFile(stream, offset);
    case gxSTREAMMEMORY:
        return SkipMemory(stream, offset);
    case gxSTREAMCUSTOM:
        return SkipCustom(stream, offset);
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRSTREAMTYPE);
        return nullptr;
    }
}

GxUInt32 GxStreamBytesLeft(const GxStream* stream)
{
    if (stream == nullptr)
        return 0;
    switch (stream->type) {
    case gxSTREAMFILE:
    case gxSTREAMFILENAME: {
        const GxFile* file = stream->Type.file.fpFile;
        if (file == nullptr)
            return 0;
        const uint64_t size = (static_cast<uint64_t>(file->sizeHigh) << 32) | file->sizeLow;
        const uint64_t position = (static_cast<uint64_t>(file->posHigh) << 32) | file->posLow;
        if (position >= size)
            return 0;
        const uint64_t left = size - position;
        return left >= gxSTREAMBYTESUNKNOWN ? gxSTREAMBYTESUNKNOWN - 1 : static_cast<GxUInt32>(left);
    }
    case gxSTREAMMEMORY: {
        const GxStreamMemory& memory = stream->Type.memory;
        return memory.position >= memory.nSize ? 0 : memory.nSize - memory.position;
    }
    default:
        return gxSTREAMBYTESUNKNOWN;
    }
}

GxUInt8* GxStreamReadBlock(GxStream* stream, GxUInt32 length)
{
    GX_ASSERT(stream, "a block is read from an open stream");
    if (!GxStreamCanSupply(stream, length)) {
        GxErrorRaise(gxPLUGINCORE, gxERRENDOFSTREAM);
        return nullptr;
    }
    const bool known = GxStreamBytesLeft(stream) != gxSTREAMBYTESUNKNOWN;
    GxUInt32 capacity = known || length < gxBLOCKFIRSTSTEP ? length : gxBLOCKFIRSTSTEP;
    GxUInt8* block = static_cast<GxUInt8*>(GxMalloc(capacity == 0 ? 1 : capacity, gxHINTBLOCK));
    GxUInt32 got = 0;
    while (block != nullptr && got < length) {
        if (got == capacity) {
            capacity = capacity > length - capacity ? length : capacity * 2;
            GxUInt8* grown = static_cast<GxUInt8*>(GxRealloc(block, capacity, gxHINTBLOCK));
            if (grown == nullptr) {
                GxFree(block);
                block = nullptr;
                break;
            }
            block = grown;
        }
        const GxUInt32 wanted = capacity - got;
        if (GxStreamRead(stream, block + got, wanted) != wanted) {
            GxFree(block);
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            return nullptr;
        }
        got += wanted;
    }
    if (block == nullptr)
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
    return block;
}

GxNameRecord* GxNameRecordStreamRead(GxStream* stream)
{
    GxFreeList* list = NameRecordFreeList();
    if (list == nullptr)
        return nullptr;
    GxNameRecord* record = static_cast<GxNameRecord*>(GxFreeListAllocEntry(list, gxHINTNAMERECORD));
    if (record == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    std::memset(record, 0, sizeof(*record));
    GxInt32 unused;
    if (GxStreamReadInt32(stream, &unused, sizeof(unused)) == nullptr ||
        GxStringStreamRead(record->name, stream, sizeof(record->name)) == nullptr) {
        GxFreeListFreeEntry(list, record);
        return nullptr;
    }
    return record;
}

GxBool GxNameRecordDestroy(GxNameRecord* record)
{
    if (record == nullptr)
        return 1;
    GxFreeList* list = NameRecordFreeList();
    if (list != nullptr)
        GxFreeListFreeEntry(list, record);
    return 1;
}

static void* OpenModule(void* instance, GxInt32 offset, GxInt32* offsetOut, GxInt32* instances, GxInt32 entrySize,
                        GxInt32 alignment, GxUInt32 hint)
{
    *offsetOut = offset;
    GxStreamModuleBlock* block = ModuleBlock(offset);
    block->freeList = GxFreeListCreateAndPreallocate(entrySize, 16, alignment, 1, &block->record, hint);
    if (block->freeList == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    ++*instances;
    return instance;
}

static void* CloseModule(void* instance, GxInt32 offset, GxInt32* instances)
{
    GxStreamModuleBlock* block = ModuleBlock(offset);
    if (block->freeList != nullptr)
        GxFreeListDestroy(block->freeList);
    block->freeList = nullptr;
    --*instances;
    return instance;
}

void* GxStreamModuleOpen(void* instance, GxInt32 offset, GxInt32)
{
    return OpenModule(instance, offset, &gxStreamModuleOffset, &gxStreamModuleInstances,
                      static_cast<GxInt32>(sizeof(GxStream)), static_cast<GxInt32>(alignof(GxStream)),
                      gxHINTSTREAMLIST);
}

void* GxStreamModuleClose(void* instance, GxInt32 offset, GxInt32)
{
    return CloseModule(instance, offset, &gxStreamModuleInstances);
}

void* GxNameRecordModuleOpen(void* instance, GxInt32 offset, GxInt32)
{
    return OpenModule(instance, offset, &gxNameRecordModuleOffset, &gxNameRecordModuleInstances,
                      static_cast<GxInt32>(sizeof(GxNameRecord)), 0, gxHINTNAMERECORDLIST);
}

void* GxNameRecordModuleClose(void* instance, GxInt32 offset, GxInt32)
{
    return CloseModule(instance, offset, &gxNameRecordModuleInstances);
}

const GxCoreModule gxStreamModule = {gxSTREAMPLUGINID, static_cast<GxInt32>(sizeof(GxStreamModuleBlock)),
                                     GxStreamModuleOpen, GxStreamModuleClose};
const GxCoreModule gxNameRecordModule = {gxNAMERECORDPLUGINID, static_cast<GxInt32>(sizeof(GxStreamModuleBlock)),
                                         GxNameRecordModuleOpen, GxNameRecordModuleClose};
