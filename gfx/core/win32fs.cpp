// Win32 file system over the kernel file calls: slots, full paths, synchronous and overlapped transfers.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/win32fs.h"
#include "platform/win32/windows.h"

namespace {

constexpr GxUInt32 gxWIN32FSMEMHINT = 0x401BE;

void ReportError(GxInt32 code)
{
    GxFileSystemManager* manager = GxFileSystemManagerGet();
    if (manager->errorCallback != nullptr)
        manager->errorCallback(code);
}

void KeepOSError(void) { GxFileSystemManagerGet()->lastError = GetLastError(); }

bool MemoryReady(void)
{
    return GxEngineInstance != nullptr && GxEngineInstance->memoryFuncs.gxMalloc != nullptr &&
           GxEngineInstance->memoryFuncs.gxCalloc != nullptr && GxEngineInstance->memoryFuncs.gxFree != nullptr;
}

uint64_t Position(const GxFile* file) { return (static_cast<uint64_t>(file->posHigh) << 32) | file->posLow; }

void SetPosition(GxFile* file, uint64_t position)
{
    file->posLow = static_cast<GxUInt32>(position);
    file->posHigh = static_cast<GxUInt32>(position >> 32);
}

// Written data may carry the end of the file past its size at open.
void GrowSize(GxFile* file)
{
    uint64_t size = (static_cast<uint64_t>(file->sizeHigh) << 32) | file->sizeLow;
    uint64_t position = Position(file);
    if (position > size) {
        file->sizeLow = file->posLow;
        file->sizeHigh = file->posHigh;
    }
}

bool HasHandle(const GxFile* file)
{
    return file != nullptr && file->handle != nullptr && file->handle != INVALID_HANDLE_VALUE;
}

// Moves the OS file pointer; the position follows on success only.
bool MoveTo(GxFile* file, GxInt32 offset, DWORD method)
{
    LONG high = offset < 0 ? -1 : 0;
    DWORD low = SetFilePointer(file->handle, offset, &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) {
        KeepOSError();
        return false;
    }
    file->posLow = low;
    file->posHigh = static_cast<GxUInt32>(high);
    return true;
}

// Runs the completion callback of an asynchronous file once per operation.
void Complete(GxFile* file, GxUInt32 value)
{
    if (!file->async || file->callback == nullptr || file->operation == gxFILEOPNONE)
        return;
    GxInt32 operation = file->operation;
    file->operation = gxFILEOPNONE;
    file->callback(file, value, file->status, operation, file->callbackData);
}

// One overlapped transfer at the file's position; completes at once or stays pending.
GxUInt32 TransferAsync(GxFile* file, void* buffer, GxUInt32 n, bool write)
{
    // One event per open file, reused by every transfer.
    if (file->event == nullptr) {
        file->event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (file->event == nullptr) {
            KeepOSError();
            return 0;
        }
    }
    std::memset(&file->overlapped, 0, sizeof(file->overlapped));
    file->overlapped.Offset = file->posLow;
    file->overlapped.OffsetHigh = file->posHigh;
    file->overlapped.hEvent = file->event;
    file->status = gxFILESTATUSBUSY;
    file->operation = write ? gxFILEOPWRITE : gxFILEOPREAD;
    DWORD done = 0;
    BOOL ok = write ? WriteFile(file->handle, buffer, n, &done, &file->overlapped)
                    : ReadFile(file->handle, buffer, n, &done, &file->overlapped);
    DWORD error = GetLastError();
    KeepOSError();
    if (!ok) {
        if (error == ERROR_IO_PENDING || error == ERROR_SUCCESS)
            return 0;
        file->status = gxFILESTATUSFAILED;
        file->bytes = 0;
        Complete(file, 0);
        return 0;
    }
    MoveTo(file, static_cast<GxInt32>(done), FILE_CURRENT);
    GrowSize(file);
    file->bytes = done;
    file->status = done < n ? gxFILESTATUSFAILED : gxFILESTATUSREADY;
    Complete(file, done);
    return done;
}

GxUInt32 TransferSync(GxFile* file, void* buffer, GxUInt32 n, bool write)
{
    file->status = gxFILESTATUSBUSY;
    DWORD done = 0;
    BOOL ok =
        write ? WriteFile(file->handle, buffer, n, &done, nullptr) : ReadFile(file->handle, buffer, n, &done, nullptr);
    KeepOSError();
    if (!ok) {
        file->status = gxFILESTATUSFAILED;
        return 0;
    }
    SetPosition(file, Position(file) + done);
    GrowSize(file);
    file->bytes = done;
    file->status = gxFILESTATUSREADY;
    return done;
}

GxUInt32 Transfer(GxFile* file, void* buffer, GxUInt32 n, bool write)
{
    if (!HasHandle(file) || buffer == nullptr || file->status != gxFILESTATUSREADY)
        return 0;
    // Appending puts every write at the end, wherever the file was moved to.
    if (write && (file->mode & gxFILEMODEAPPEND) && !MoveTo(file, 0, FILE_END))
        return 0;
    return file->async ? TransferAsync(file, buffer, n, write) : TransferSync(file, buffer, n, write);
}

GxFile* GetFile(GxFileSystem* fs, GxInt32 index)
{
    GX_ASSERT(fs != nullptr && fs->files != nullptr && index >= 0, "a file system's slot index");
    if (index >= fs->numFiles)
        return nullptr;
    return &fs->files[index];
}

// Closes what is still open, then frees the slots.
void CloseFileSystem(GxFileSystem* fs)
{
    GX_ASSERT(fs != nullptr && fs->files != nullptr, "a file system with its slots");
    for (GxInt32 i = 0; i < fs->numFiles; i++) {
        if (HasHandle(&fs->files[i]) || fs->files[i].event != nullptr)
            GxWin32FileClose(&fs->files[i]);
    }
    GxFree(fs->files);
    fs->files = nullptr;
}

char* CopyString(const char* text)
{
    size_t length = std::strlen(text) + 1;
    char* copy = static_cast<char*>(GxMalloc(length, gxWIN32FSMEMHINT));
    if (copy != nullptr)
        std::memcpy(copy, text, length);
    return copy;
}

// Fills a new record; false when the manager cannot take it.
bool SetUp(GxFileSystem* fs, GxInt32 numFiles, const char* deviceName, const char* fsName)
{
    GxFileSystemManager* manager = GxFileSystemManagerGet();
    if (manager->maxFileSystems != 0 && manager->numFileSystems + 1 > manager->maxFileSystems) {
        ReportError(gxFSERRTOOMANY);
        return false;
    }
    if (GxFileSystemFind(fsName) != nullptr) {
        ReportError(gxFSERRNAMEUSED);
        return false;
    }
    if (GxFileSystemFindByDevice(deviceName) != nullptr)
        return false;
    std::strcpy(fs->name, fsName);
    fs->numFiles = numFiles;
    fs->async = 0;
    for (GxInt32 i = 0; i < numFiles; i++) {
        GxFile* file = &fs->files[i];
        file->status = gxFILESTATUSFREE;
        file->async = fs->async;
        file->operation = gxFILEOPNONE;
        file->fileSystem = fs;
        file->handle = INVALID_HANDLE_VALUE;
    }
    fs->deviceName = CopyString(deviceName);
    if (fs->deviceName == nullptr)
        return false;
    fs->state = 2;
    return true;
}

}  // namespace

GxBool GxWin32FileSystemFullPath(const GxFileSystem* fs, const char* path, char* out, size_t outSize)
{
    GX_ASSERT(fs && fs->deviceName && path && out, "a file system, a path and room for the full path");
    const char* colon = std::strchr(path, ':');
    const char* rest = colon != nullptr ? colon + 1 : path;
    size_t deviceLength = std::strlen(fs->deviceName);
    size_t length = deviceLength + std::strlen(rest);
    if (length > static_cast<size_t>(gxFILEMAXPATH) || length + 1 > outSize)
        return 0;
    std::memcpy(out, fs->deviceName, deviceLength);
    char* dst = out + deviceLength;
    for (const char* src = rest; *src; src++)
        *dst++ = (*src == '/' || *src == '\\') ? '\\' : *src;
    *dst = '\0';
    return 1;
}

GxFileSystem* GxWin32FileSystemCreate(GxInt32 numFiles, const char* deviceName, const char* fsName)
{
    GX_ASSERT(numFiles > 0 && deviceName != nullptr && fsName != nullptr, "slots, a device and a name");
    if (!MemoryReady())
        return nullptr;
    // The name lives inline in the record.
    if (fsName[0] == '\0' || std::strlen(fsName) > static_cast<size_t>(gxFILESYSTEMMAXNAME))
        return nullptr;
    if (GxFileSystemFind(fsName) != nullptr)
        return nullptr;
    auto* fs = static_cast<GxFileSystem*>(GxMalloc(sizeof(GxFileSystem), gxWIN32FSMEMHINT));
    if (fs == nullptr)
        return nullptr;
    std::memset(fs, 0, sizeof(*fs));
    fs->getFile = GetFile;
    fs->fsClose = CloseFileSystem;
    fs->ops.open = GxWin32FileOpen;
    fs->ops.close = GxWin32FileClose;
    fs->ops.read = GxWin32FileRead;
    fs->ops.write = GxWin32FileWrite;
    fs->ops.seek = GxWin32FileSeek;
    fs->ops.sync = GxWin32FileSync;
    fs->ops.release = GxWin32FileRelease;
    fs->ops.eof = GxWin32FileEof;
    fs->ops.wait = GxWin32FileWait;
    fs->ops.exists = GxWin32FileExists;
    fs->ops.rename = GxWin32FileRename;
    fs->ops.remove = GxWin32FileRemove;
    fs->files = static_cast<GxFile*>(GxCalloc(static_cast<size_t>(numFiles), sizeof(GxFile), gxWIN32FSMEMHINT));
    if (fs->files != nullptr && SetUp(fs, numFiles, deviceName, fsName))
        return fs;
    if (fs->deviceName != nullptr)
        GxFree(fs->deviceName);
    if (fs->files != nullptr)
        GxFree(fs->files);
    GxFree(fs);
    return nullptr;
}

GxInt32 GxWin32FileOpen(GxFileSystem* fs, GxFile* file, const char* path, GxUInt32 mode)
{
    char fullPath[gxFILEMAXPATH + 1];
    GX_ASSERT(file != nullptr, "a slot to open");
    if (!GxWin32FileSystemFullPath(fs, path, fullPath, sizeof(fullPath)))
        return gxFILEOPENPATHTOOLONG;
    bool async = (mode & gxFILEMODEASYNC) != 0;
    bool write = (mode & gxFILEMODEWRITE) != 0;
    DWORD access = 0;
    DWORD share = 0;
    DWORD disposition = OPEN_EXISTING;
    DWORD attributes = FILE_ATTRIBUTE_READONLY;
    if (write) {
        access = GENERIC_WRITE;
        share = FILE_SHARE_WRITE;
        disposition = (mode & gxFILEMODEEXCLUSIVE) ? CREATE_NEW : (mode & gxFILEMODEKEEP) ? OPEN_ALWAYS : CREATE_ALWAYS;
        attributes = async ? 0 : FILE_ATTRIBUTE_NORMAL;
    }
    if (async)
        attributes |= FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING;
    if (mode & gxFILEMODEREAD) {
        access = write ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
        share = write ? (FILE_SHARE_READ | FILE_SHARE_WRITE) : FILE_SHARE_READ;
    }
    HANDLE handle = CreateFileA(fullPath, access, share, nullptr, disposition, attributes, nullptr);
    KeepOSError();
    if (handle == INVALID_HANDLE_VALUE)
        return gxFILEOPENOSREFUSED;
    file->handle = handle;
    file->async = async ? 1 : 0;
    file->opened = 1;
    file->bytes = 0;
    DWORD sizeHigh = 0;
    file->sizeLow = GetFileSize(handle, &sizeHigh);
    file->sizeHigh = sizeHigh;
    SetPosition(file, 0);
    // Appending starts at the end; the OS pointer must agree with the position.
    if ((mode & gxFILEMODEAPPEND) && !MoveTo(file, 0, FILE_END)) {
        CloseHandle(handle);
        file->handle = INVALID_HANDLE_VALUE;
        return gxFILEOPENOSREFUSED;
    }
    // Opening completes at once, even for an asynchronous file.
    file->status = gxFILESTATUSREADY;
    Complete(file, 0);
    return gxFILEOPENOK;
}

void GxWin32FileClose(GxFile* file)
{
    GX_ASSERT(file != nullptr, "a slot to close");
    file->status = gxFILESTATUSFREE;
    file->operation = gxFILEOPNONE;
    file->opened = 0;
    file->openState = 0;
    // Written data that cannot be flushed or closed is lost: the slot says so to GxFileClose.
    if (HasHandle(file)) {
        const bool flushed = (file->mode & gxFILEMODEWRITE) == 0 || FlushFileBuffers(file->handle);
        const bool closed = CloseHandle(file->handle);
        if (!flushed || !closed) {
            KeepOSError();
            file->status = gxFILESTATUSFAILED;
        }
    }
    file->handle = INVALID_HANDLE_VALUE;
    if (file->event != nullptr)
        CloseHandle(file->event);
    file->event = nullptr;
}

GxUInt32 GxWin32FileRead(GxFile* file, void* buffer, GxUInt32 n) { return Transfer(file, buffer, n, false); }

GxUInt32 GxWin32FileWrite(GxFile* file, const void* buffer, GxUInt32 n)
{
    return Transfer(file, const_cast<void*>(buffer), n, true);
}

GxBool GxWin32FileSeek(GxFile* file, GxInt32 offset, GxInt32 origin)
{
    if (!HasHandle(file) || origin < gxFSSEEKBEGIN || origin > gxFSSEEKEND)
        return 0;
    static const DWORD methods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    // The position is the pointer's low word, so a refused move leaves 0xFFFFFFFF: the file reads as ended.
    const DWORD low = SetFilePointer(file->handle, offset, nullptr, methods[origin - gxFSSEEKBEGIN]);
    const bool moved = low != INVALID_SET_FILE_POINTER;
    if (!moved)
        KeepOSError();
    file->posLow = low;
    file->posHigh = 0;
    // A seek completes at once, asynchronous file or not.
    if (file->async && file->status == gxFILESTATUSBUSY && file->operation == gxFILEOPSEEK) {
        file->status = moved ? gxFILESTATUSREADY : gxFILESTATUSFAILED;
        Complete(file, file->posLow);
    }
    return moved ? 1 : 0;
}

GxInt32 GxWin32FileSync(GxFile* file, GxBool wait)
{
    GX_ASSERT(file != nullptr, "a slot to sync");
    if (!file->async || file->status != gxFILESTATUSBUSY ||
        (file->operation != gxFILEOPREAD && file->operation != gxFILEOPWRITE) || !HasHandle(file))
        return file->status;
    DWORD done = 0;
    if (!GetOverlappedResult(file->handle, &file->overlapped, &done, wait ? TRUE : FALSE)) {
        DWORD error = GetLastError();
        KeepOSError();
        if (error == ERROR_IO_PENDING || error == ERROR_SUCCESS || error == ERROR_IO_INCOMPLETE)
            return file->status;
        file->bytes = 0;
        file->status = gxFILESTATUSFAILED;
        Complete(file, 0);
        return file->status;
    }
    MoveTo(file, static_cast<GxInt32>(done), FILE_CURRENT);
    GrowSize(file);
    file->bytes = done;
    file->status = gxFILESTATUSREADY;
    Complete(file, done);
    return file->status;
}

void GxWin32FileRelease(GxFile* file)
{
    // Giving the slot back must not strand its handle.
    GxWin32FileClose(file);
}

GxBool GxWin32FileEof(GxFile* file)
{
    GX_ASSERT(file != nullptr, "a slot to test");
    if (file->posLow == 0xFFFFFFFFu || file->posHigh > file->sizeHigh)
        return 1;
    return file->posHigh == file->sizeHigh && file->posLow >= file->sizeLow;
}

GxInt32 GxWin32FileWait(GxFile* file)
{
    GX_ASSERT(file != nullptr, "a slot to wait for");
    if (file->status == gxFILESTATUSFREE)
        return file->status;
    return GxWin32FileSync(file, 0);
}

GxBool GxWin32FileExists(GxFileSystem* fs, const char* path)
{
    char fullPath[gxFILEMAXPATH + 1];
    if (!GxWin32FileSystemFullPath(fs, path, fullPath, sizeof(fullPath)))
        return 0;
    return GetFileAttributesA(fullPath) != INVALID_FILE_ATTRIBUTES;
}

GxBool GxWin32FileRename(GxFileSystem* fs, const char* from, const char* to)
{
    char fromPath[gxFILEMAXPATH + 1];
    char toPath[gxFILEMAXPATH + 1];
    if (!GxWin32FileSystemFullPath(fs, from, fromPath, sizeof(fromPath)) ||
        !GxWin32FileSystemFullPath(fs, to, toPath, sizeof(toPath)))
        return 0;
    const BOOL moved = MoveFileExA(fromPath, toPath, MOVEFILE_REPLACE_EXISTING);
    KeepOSError();
    return moved ? 1 : 0;
}

GxBool GxWin32FileRemove(GxFileSystem* fs, const char* path)
{
    char fullPath[gxFILEMAXPATH + 1];
    if (!GxWin32FileSystemFullPath(fs, path, fullPath, sizeof(fullPath)))
        return 0;
    const BOOL removed = DeleteFileA(fullPath);
    KeepOSError();
    return removed ? 1 : 0;
}
