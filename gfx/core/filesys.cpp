// File-system manager: registration, device lookup, slot allocation and the stdio-like file functions.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/filesys_local.h"
#include "platform/win32/windows.h"

namespace {

GxFileSystemManager manager;
CRITICAL_SECTION slotLock;

void ReportError(GxInt32 code)
{
    if (manager.errorCallback != nullptr)
        manager.errorCallback(code);
}

bool NameFits(const GxFileSystem* fs) { return std::memchr(fs->name, '\0', sizeof(fs->name)) != nullptr; }

bool DeviceMatches(const GxFileSystem* fs, const char* path, size_t length)
{
    return fs->deviceName != nullptr && std::strlen(fs->deviceName) == length &&
           _strnicmp(fs->deviceName, path, length) == 0;
}

// The file system for a path: the first whose device equals the path up to one
// of its ':' (tried in order), else the default one.
GxFileSystem* FileSystemForPath(const char* path)
{
    if (!manager.isOpen || manager.numFileSystems == 0) {
        ReportError(gxFSERRNOTFOUND);
        return nullptr;
    }
    for (const char* colon = std::strchr(path, ':'); colon != nullptr; colon = std::strchr(colon + 1, ':')) {
        size_t length = static_cast<size_t>(colon - path) + 1;
        for (GxFileSystem* fs = manager.first; fs != nullptr; fs = fs->next) {
            if (DeviceMatches(fs, path, length))
                return fs;
        }
    }
    if (manager.defaultFileSystem == nullptr)
        ReportError(gxFSERRNOTFOUND);
    return manager.defaultFileSystem;
}

// Mode letters to open flags; 0 when the mode names no access.
GxUInt32 ModeFlags(const char* mode)
{
    bool plus = std::strstr(mode, "+") != nullptr;
    bool binary = std::strstr(mode, "b") != nullptr;
    GxUInt32 flags = 0;
    if (std::strstr(mode, "r") != nullptr)
        flags |= plus ? (gxFILEMODEREAD | gxFILEMODEWRITE | gxFILEMODEKEEP) : gxFILEMODEREAD;
    if (std::strstr(mode, "w") != nullptr) {
        flags |= gxFILEMODEWRITE | gxFILEMODECREATE | (plus ? gxFILEMODEREAD : 0);
        flags |= std::strstr(mode, "x") != nullptr ? gxFILEMODEEXCLUSIVE : 0;
    }
    if (std::strstr(mode, "a") != nullptr) {
        flags |= gxFILEMODEWRITE | gxFILEMODEKEEP | gxFILEMODEAPPEND;
        flags |= (plus ? gxFILEMODEREAD : 0) | (binary ? gxFILEMODECREATE : 0);
    }
    return flags;
}

// Claims the first free slot of the file system, or null.
GxFile* ClaimSlot(GxFileSystem* fs)
{
    GxFile* claimed = nullptr;
    EnterCriticalSection(&slotLock);
    for (GxInt32 i = 0; i < fs->numFiles && fs->getFile != nullptr; i++) {
        GxFile* file = fs->getFile(fs, i);
        if (file != nullptr && file->status == gxFILESTATUSFREE) {
            file->status = gxFILESTATUSOPENING;
            claimed = file;
            break;
        }
    }
    LeaveCriticalSection(&slotLock);
    return claimed;
}

void FreeSlot(GxFile* file)
{
    EnterCriticalSection(&slotLock);
    file->status = gxFILESTATUSFREE;
    LeaveCriticalSection(&slotLock);
}

// Every file operation but the open works on a file that is open.
void AssertOpen(const GxFile* file)
{
    GX_ASSERT(file != nullptr && file->fileSystem != nullptr && file->status != gxFILESTATUSFREE &&
                  file->status != gxFILESTATUSOPENING,
              "a file that is open");
}

// size x count as a 32-bit byte count.
GxUInt32 ByteCount(size_t size, size_t count)
{
    GX_ASSERT(size != 0 && count <= 0xFFFFFFFFu / size, "items whose bytes a file operation can count");
    return static_cast<GxUInt32>(size * count);
}

void DestroyFileSystem(GxFileSystem* fs)
{
    if (fs->fsClose != nullptr)
        fs->fsClose(fs);
    if (fs->deviceName != nullptr)
        GxFree(fs->deviceName);
    fs->deviceName = nullptr;
    if (fs->deinit != nullptr)
        fs->deinit(fs->name);
    GxFree(fs);
}

}  // namespace

GxBool GxFileSystemManagerOpen(GxInt32 maxFileSystems)
{
    if (manager.isOpen || maxFileSystems < 0)
        return 0;
    manager = GxFileSystemManager{};
    manager.maxFileSystems = maxFileSystems;
    InitializeCriticalSection(&slotLock);
    manager.isOpen = 1;
    return 1;
}

void GxFileSystemManagerClose(void)
{
    if (!manager.isOpen)
        return;
    GxFileSystem* fs = manager.first;
    while (fs != nullptr) {
        GxFileSystem* next = fs->next;
        DestroyFileSystem(fs);
        fs = next;
    }
    DeleteCriticalSection(&slotLock);
    manager.first = nullptr;
    manager.defaultFileSystem = nullptr;
    manager.numFileSystems = 0;
    manager.isOpen = 0;
}

GxFileSystem* GxFileSystemManagerGetDefault(void) { return manager.defaultFileSystem; }

GxBool GxFileSystemManagerSetDefault(GxFileSystem* fs)
{
    // Only a registered file system may serve as default; it is freed when unregistered.
    if (fs != nullptr) {
        GxFileSystem* found = manager.first;
        while (found != nullptr && found != fs)
            found = found->next;
        if (found == nullptr) {
            ReportError(gxFSERRNOTFOUND);
            return 0;
        }
    }
    manager.defaultFileSystem = fs;
    return 1;
}

GxFileSystemManager* GxFileSystemManagerGet(void) { return &manager; }

GxBool GxFileSystemRegister(GxFileSystem* fs)
{
    if (!manager.isOpen)
        return 0;
    if (fs == nullptr || !NameFits(fs)) {
        ReportError(gxFSERRNOFILESYSTEM);
        return 0;
    }
    if (manager.maxFileSystems != 0 && manager.numFileSystems + 1 > manager.maxFileSystems) {
        ReportError(gxFSERRTOOMANY);
        return 0;
    }
    for (GxFileSystem* other = manager.first; other != nullptr; other = other->next) {
        if (other == fs || std::strcmp(other->name, fs->name) == 0)
            return 0;
    }
    if (fs->init != nullptr)
        fs->init(fs->name);
    fs->next = manager.first;
    manager.first = fs;
    manager.numFileSystems += 1;
    return 1;
}

void GxFileSystemUnregister(GxFileSystem* fs)
{
    if (fs == nullptr) {
        ReportError(gxFSERRNOFILESYSTEM);
        return;
    }
    if (manager.defaultFileSystem == fs)
        manager.defaultFileSystem = nullptr;
    GxFileSystem** link = &manager.first;
    while (*link != nullptr && *link != fs)
        link = &(*link)->next;
    if (*link == nullptr) {
        ReportError(gxFSERRNOTFOUND);
        return;
    }
    *link = fs->next;
    manager.numFileSystems -= 1;
    DestroyFileSystem(fs);
}

GxFileSystem* GxFileSystemFind(const char* name)
{
    GX_ASSERT(name != nullptr, "a name to find");
    for (GxFileSystem* fs = manager.first; fs != nullptr; fs = fs->next) {
        if (std::strcmp(fs->name, name) == 0)
            return fs;
    }
    return nullptr;
}

GxFileSystem* GxFileSystemFindByDevice(const char* device)
{
    GX_ASSERT(device != nullptr, "a device to find");
    for (GxFileSystem* fs = manager.first; fs != nullptr; fs = fs->next) {
        if (fs->deviceName != nullptr && _stricmp(fs->deviceName, device) == 0)
            return fs;
    }
    return nullptr;
}

GxFile* GxFileOpen(const char* path, const char* mode)
{
    GX_ASSERT(path != nullptr && mode != nullptr, "a path and a mode");
    GxUInt32 flags = ModeFlags(mode);
    GX_ASSERT(flags != 0, "a mode that names an access");
    GxFileSystem* fs = FileSystemForPath(path);
    if (fs == nullptr || fs->ops.open == nullptr)
        return nullptr;
    GxFile* file = ClaimSlot(fs);
    if (file == nullptr) {
        manager.lastError = gxFSERRNOSLOT;
        ReportError(gxFSERRNOSLOT);
        return nullptr;
    }
    if (fs->async)
        flags |= gxFILEMODEASYNC;
    if ((flags & gxFILEMODEASYNC) || file->async) {
        file->operation = gxFILEOPOPEN;
        file->callback = nullptr;
        file->callbackData = nullptr;
    }
    file->mode = flags;
    if (fs->ops.open(fs, file, path, flags) != gxFILEOPENOK) {
        FreeSlot(file);
        return nullptr;
    }
    file->openState = 2;
    return file;
}

GxInt32 GxFileClose(GxFile* file)
{
    AssertOpen(file);
    EnterCriticalSection(&slotLock);
    // A write that failed earlier leaves the slot failed; the close reports it, as fclose does.
    bool failed = (file->mode & gxFILEMODEWRITE) != 0 && file->status == gxFILESTATUSFAILED;
    file->status = gxFILESTATUSFREE;
    file->openState = 0;
    if (file->fileSystem->ops.close != nullptr)
        file->fileSystem->ops.close(file);
    if (file->status == gxFILESTATUSFAILED)
        failed = true;
    file->status = gxFILESTATUSFREE;
    LeaveCriticalSection(&slotLock);
    return failed ? -1 : 0;
}

size_t GxFileRead(void* buffer, size_t size, size_t count, GxFile* file)
{
    GX_ASSERT(buffer != nullptr, "a buffer to read into");
    AssertOpen(file);
    const GxUInt32 bytes = ByteCount(size, count);
    if (file->fileSystem->ops.read == nullptr)
        return 0;
    return file->fileSystem->ops.read(file, buffer, bytes) / size;
}

size_t GxFileWrite(const void* buffer, size_t size, size_t count, GxFile* file)
{
    GX_ASSERT(buffer != nullptr, "bytes to write");
    AssertOpen(file);
    const GxUInt32 bytes = ByteCount(size, count);
    if (file->fileSystem->ops.write == nullptr)
        return 0;
    return file->fileSystem->ops.write(file, buffer, bytes) / size;
}

GxInt32 GxFileSeek(GxFile* file, GxInt32 offset, GxInt32 origin)
{
    AssertOpen(file);
    if (origin < 0 || origin > 2 || file->fileSystem->ops.seek == nullptr)
        return -1;
    if (file->async) {
        file->operation = gxFILEOPSEEK;
        file->status = gxFILESTATUSBUSY;
    }
    return file->fileSystem->ops.seek(file, offset, origin + 1) ? 0 : -1;
}

GxInt32 GxFileTell(GxFile* file)
{
    AssertOpen(file);
    return static_cast<GxInt32>(file->posLow);
}

char* GxFileGets(char* buffer, GxInt32 n, GxFile* file)
{
    GX_ASSERT(buffer != nullptr, "a buffer to read into");
    AssertOpen(file);
    // Room for at least one byte and the NUL, else nothing can be read.
    if (n < 2)
        return nullptr;
    size_t got = GxFileRead(buffer, 1, static_cast<size_t>(n - 1), file);
    if (got == 0)
        return nullptr;
    for (size_t i = 0; i < got; i++) {
        if (buffer[i] == '\r' && i + 1 < got && buffer[i + 1] == '\n') {
            std::memmove(buffer + i, buffer + i + 1, got - i - 1);
            got -= 1;
        }
        if (buffer[i] != '\n')
            continue;
        size_t beyond = got - (i + 1);
        buffer[i + 1] = '\0';
        if (beyond > 0)
            GxFileSeek(file, -static_cast<GxInt32>(beyond), 1);
        return buffer;
    }
    buffer[got] = '\0';
    return buffer;
}

GxInt32 GxFilePuts(const char* string, GxFile* file)
{
    GX_ASSERT(string != nullptr, "a string to write");
    AssertOpen(file);
    size_t length = std::strlen(string);
    if (length == 0)
        return 0;
    return static_cast<GxInt32>(GxFileWrite(string, 1, length, file));
}

GxBool GxFileEof(GxFile* file)
{
    AssertOpen(file);
    if (file->fileSystem->ops.eof == nullptr)
        return 1;
    return file->fileSystem->ops.eof(file);
}

GxBool GxFileExists(const char* path)
{
    GX_ASSERT(path != nullptr, "a path to test");
    GxFileSystem* fs = FileSystemForPath(path);
    if (fs == nullptr || fs->ops.exists == nullptr)
        return 0;
    return fs->ops.exists(fs, path);
}

GxBool GxFileRename(const char* from, const char* to)
{
    GX_ASSERT(from != nullptr && to != nullptr, "two names");
    GxFileSystem* fs = FileSystemForPath(from);
    if (fs == nullptr || fs != FileSystemForPath(to) || fs->ops.rename == nullptr)
        return 0;
    return fs->ops.rename(fs, from, to);
}

GxBool GxFileRemove(const char* path)
{
    GX_ASSERT(path != nullptr, "a path to remove");
    GxFileSystem* fs = FileSystemForPath(path);
    if (fs == nullptr || fs->ops.remove == nullptr)
        return 0;
    return fs->ops.remove(fs, path);
}

namespace {

constexpr size_t kTokenBits = 4;
// Names tried before giving up: only a name another file took first makes another try worth it.
constexpr int kTemporaryAttempts = 16;
// Steps of the token sequence and the mix that spreads them (splitmix64).
constexpr uint64_t kTokenStep = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kMixFirst = 0xBF58476D1CE4E5B9ull;
constexpr uint64_t kMixSecond = 0x94D049BB133111EBull;

// Where this process starts in the token sequence: its clocks and where it lies in memory.
uint64_t TokenSeed()
{
    static const char here = 0;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const auto wall = std::chrono::system_clock::now().time_since_epoch().count();
    return static_cast<uint64_t>(now) ^ (static_cast<uint64_t>(wall) << 1) ^
           static_cast<uint64_t>(reinterpret_cast<std::uintptr_t>(&here));
}

// Each call in a process gives a token no earlier call gave; a process starting elsewhere in time or memory
// starts elsewhere in the sequence, so two games seldom meet, and exclusive creation settles it when they do.
uint64_t NextToken()
{
    static std::atomic<uint64_t> counter{TokenSeed()};
    uint64_t x = counter.fetch_add(kTokenStep) + kTokenStep;
    x = (x ^ (x >> 30)) * kMixFirst;
    x = (x ^ (x >> 27)) * kMixSecond;
    return x ^ (x >> 31);
}

bool TemporaryName(const char* path, uint64_t token, char* out, size_t outSize)
{
    static const char digits[] = "0123456789abcdef";
    const size_t length = std::strlen(path);
    const size_t total = length + 1 + kTokenDigits + kTemporarySuffixLength;
    if (total + 1 > outSize || total > static_cast<size_t>(gxFILEMAXPATH))
        return false;
    std::memcpy(out, path, length);
    char* at = out + length;
    *at++ = '.';
    for (size_t i = 0; i < kTokenDigits; i++)
        *at++ = digits[(token >> ((kTokenDigits - 1 - i) * kTokenBits)) & 0xF];
    std::memcpy(at, kTemporarySuffix, sizeof(kTemporarySuffix));
    return true;
}

}  // namespace

GxFile* GxFileOpenTemporary(const char* path, char* out, size_t outSize)
{
    if (path == nullptr || out == nullptr || *path == '\0')
        return nullptr;
    for (int attempt = 0; attempt < kTemporaryAttempts; attempt++) {
        if (!TemporaryName(path, NextToken(), out, outSize))
            return nullptr;
        GxFile* file = GxFileOpen(out, "wbx");
        if (file != nullptr)
            return file;
        if (manager.lastError != ERROR_FILE_EXISTS && manager.lastError != ERROR_ALREADY_EXISTS)
            return nullptr;
    }
    return nullptr;
}

GxBool GxFileCommitTemporary(GxFile* file, const char* temporary, const char* path, GxBool written)
{
    return GxFileCloseTemporary(file, temporary, written) && GxFileRenameTemporary(temporary, path);
}

GxBool GxFileCloseTemporary(GxFile* file, const char* temporary, GxBool written)
{
    if (file == nullptr || temporary == nullptr)
        return 0;
    const bool closed = GxFileClose(file) == 0;
    if (written && closed)
        return 1;
    GxFileRemove(temporary);
    return 0;
}

GxBool GxFileRenameTemporary(const char* temporary, const char* path)
{
    if (temporary == nullptr)
        return 0;
    if (path != nullptr && GxFileRename(temporary, path))
        return 1;
    GxFileRemove(temporary);
    return 0;
}
