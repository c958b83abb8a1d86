// Kernel file calls over POSIX descriptors, with overlapped transfers that complete at once or on demand.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <new>
#include <vector>

#include "platform/win32/kernel_local.h"

FileObject::~FileObject()
{
    if (fd >= 0)
        close(fd);
}

namespace {

// An overlapped transfer left pending while deferral is on.
struct PendingIo {
    FileObject* file;  // holds a reference
    void* buffer;
    DWORD size;
    uint64_t offset;
    LPOVERLAPPED overlapped;
    bool write;
};

// Asked before each overlapped transfer when set; none in the game.
std::atomic<StandInIoGate> ioGate{nullptr};
// Asked before each write when set; none in the game.
std::atomic<StandInWriteGate> writeGate{nullptr};

bool InjectedWriteFailure()
{
    StandInWriteGate gate = writeGate.load();
    return gate && !gate();
}

std::vector<PendingIo>& PendingList()
{
    static std::vector<PendingIo> pending;  // guarded by KernelLock()
    return pending;
}

// Moves up to size bytes, retrying short transfers; at offset when offset >= 0.
// Returns the bytes moved, or -1 with errno set when nothing could be moved.
ssize_t Transfer(int fd, void* buffer, size_t size, int64_t offset, bool write)
{
    size_t done = 0;
    char* bytes = static_cast<char*>(buffer);
    while (done < size) {
        ssize_t n;
        if (offset >= 0)
            n = write ? pwrite(fd, bytes + done, size - done, offset + static_cast<int64_t>(done))
                      : pread(fd, bytes + done, size - done, offset + static_cast<int64_t>(done));
        else
            n = write ? ::write(fd, bytes + done, size - done) : ::read(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return done > 0 ? static_cast<ssize_t>(done) : -1;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// Performs an overlapped transfer and records its outcome in the record and its event.
DWORD CompleteIo(FileObject* file, void* buffer, DWORD size, uint64_t offset, LPOVERLAPPED overlapped, bool write)
{
    ssize_t n = Transfer(file->fd, buffer, size, static_cast<int64_t>(offset), write);
    DWORD error = ERROR_SUCCESS;
    if (n < 0)
        error = KernelErrorFromErrno(errno);
    else if (n == 0 && size > 0 && !write)
        error = ERROR_HANDLE_EOF;
    {
        std::lock_guard<std::mutex> guard(KernelLock());
        overlapped->InternalHigh = n > 0 ? static_cast<ULONG_PTR>(n) : 0;
        overlapped->Internal = error;
    }
    KernelSignalEvent(overlapped->hEvent, true);
    return error;
}

FileObject* AcquireFile(HANDLE handle) { return static_cast<FileObject*>(KernelAcquire(handle, KernelType::File)); }

BOOL Fail(FileObject* file, DWORD error)
{
    if (file != nullptr)
        KernelRelease(file);
    SetLastError(error);
    return FALSE;
}

BOOL TransferFile(HANDLE handle, void* buffer, DWORD size, LPDWORD done, LPOVERLAPPED overlapped, bool write)
{
    if (done != nullptr)
        *done = 0;
    FileObject* file = AcquireFile(handle);
    if (file == nullptr)
        return FALSE;
    if (buffer == nullptr && size > 0)
        return Fail(file, ERROR_INVALID_PARAMETER);
    if (write ? !file->canWrite : !file->canRead)
        return Fail(file, ERROR_ACCESS_DENIED);
    if (write && InjectedWriteFailure())
        return Fail(file, ERROR_DISK_FULL);
    if (overlapped == nullptr) {
        // An overlapped handle has no file position to work from.
        if (file->overlapped || done == nullptr)
            return Fail(file, ERROR_INVALID_PARAMETER);
        ssize_t n = Transfer(file->fd, buffer, size, -1, write);
        if (n < 0)
            return Fail(file, KernelErrorFromErrno(errno));
        *done = static_cast<DWORD>(n);
        KernelRelease(file);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    uint64_t offset = overlapped->Offset | (static_cast<uint64_t>(overlapped->OffsetHigh) << 32);
    if (offset > static_cast<uint64_t>(INT64_MAX) - size)
        return Fail(file, ERROR_INVALID_PARAMETER);
    {
        std::lock_guard<std::mutex> guard(KernelLock());
        overlapped->Internal = STATUS_PENDING;
        overlapped->InternalHigh = 0;
    }
    KernelSignalEvent(overlapped->hEvent, false);
    const StandInIoGate gate = ioGate.load();
    if (file->overlapped && gate && gate()) {
        std::lock_guard<std::mutex> guard(KernelLock());
        PendingList().push_back(PendingIo{file, buffer, size, offset, overlapped, write});
        SetLastError(ERROR_IO_PENDING);
        return FALSE;  // the pending record keeps the file reference
    }
    DWORD error = CompleteIo(file, buffer, size, offset, overlapped, write);
    // A synchronous handle given a position moves its file pointer past the transfer.
    if (!file->overlapped)
        lseek(file->fd, static_cast<off_t>(offset + overlapped->InternalHigh), SEEK_SET);
    if (error != ERROR_SUCCESS)
        return Fail(file, error);
    if (done != nullptr)
        *done = static_cast<DWORD>(overlapped->InternalHigh);
    KernelRelease(file);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

void RunPending(const PendingIo& io)
{
    CompleteIo(io.file, io.buffer, io.size, io.offset, io.overlapped, io.write);
    KernelRelease(io.file);
}

bool Exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

void KernelCancelPendingIo(FileObject* file)
{
    std::vector<PendingIo> cancelled;
    {
        std::lock_guard<std::mutex> guard(KernelLock());
        std::vector<PendingIo>& pending = PendingList();
        for (size_t i = 0; i < pending.size();) {
            if (pending[i].file != file) {
                i++;
                continue;
            }
            pending[i].overlapped->Internal = ERROR_OPERATION_ABORTED;
            pending[i].overlapped->InternalHigh = 0;
            cancelled.push_back(pending[i]);
            pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    for (const PendingIo& io : cancelled) {
        KernelSignalEvent(io.overlapped->hEvent, true);
        KernelRelease(io.file);
    }
}

namespace {

// Runs every transfer a gate held back.
int CompletePendingIo()
{
    std::vector<PendingIo> pending;
    {
        std::lock_guard<std::mutex> guard(KernelLock());
        pending.swap(PendingList());
    }
    for (const PendingIo& io : pending)
        RunPending(io);
    return static_cast<int>(pending.size());
}

}  // namespace

StandInIoCompleter StandInSetIoGate(StandInIoGate gate)
{
    ioGate.store(gate);
    return CompletePendingIo;
}

void StandInSetWriteGate(StandInWriteGate gate) { writeGate.store(gate); }

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE)
{
    std::string path;
    if (!KernelMapPath(lpFileName, path))
        return INVALID_HANDLE_VALUE;
    bool read = (dwDesiredAccess & (GENERIC_READ | GENERIC_ALL)) != 0;
    bool write = (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL)) != 0;
    int flags = 0;
    bool reportsExisting = false;
    switch (dwCreationDisposition) {
    case CREATE_NEW:
        flags = O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags = O_CREAT | O_TRUNC;
        reportsExisting = true;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags = O_CREAT;
        reportsExisting = true;
        break;
    case TRUNCATE_EXISTING:
        if (!write) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        flags = O_TRUNC;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Truncation needs a writable descriptor even when the caller only reads;
    // the handle's own rights still refuse its writes.
    bool openWritable = write || (flags & O_TRUNC) != 0;
    flags |= openWritable ? (read ? O_RDWR : (write ? O_WRONLY : O_RDWR)) : O_RDONLY;
    // Nothing is written through a link: a link planted under the name could send the bytes anywhere.
    if (openWritable || (flags & O_CREAT) != 0)
        flags |= O_NOFOLLOW;
    bool existed = Exists(path);
    mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    // Only plain files open: a directory is no file, a device never ends and a pipe would hold the open (hence
    // the open that does not wait, undone once the file is known to be plain).
    int fd = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode);
    if (fd < 0) {
        SetLastError(KernelErrorFromErrno(errno, &path));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    const int status = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new (std::nothrow) FileObject();
    if (file == nullptr) {
        close(fd);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    file->fd = fd;
    file->canRead = read;
    file->canWrite = write;
    file->overlapped = (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0;
    HANDLE handle = KernelRegister(file);
    SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped)
{
    return TransferFile(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped, false);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped)
{
    return TransferFile(hFile, const_cast<void*>(lpBuffer), nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped,
                        true);
}

BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred, BOOL bWait)
{
    if (lpOverlapped == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FileObject* file = AcquireFile(hFile);
    if (file == nullptr)
        return FALSE;
    bool found = false;
    PendingIo io{};
    {
        std::lock_guard<std::mutex> guard(KernelLock());
        if (lpOverlapped->Internal == STATUS_PENDING && bWait) {
            std::vector<PendingIo>& pending = PendingList();
            for (size_t i = 0; i < pending.size(); i++) {
                if (pending[i].overlapped == lpOverlapped && pending[i].file == file) {
                    io = pending[i];
                    pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
                    found = true;
                    break;
                }
            }
        }
    }
    if (found)
        RunPending(io);
    DWORD status;
    DWORD bytes;
    {
        std::lock_guard<std::mutex> guard(KernelLock());
        status = static_cast<DWORD>(lpOverlapped->Internal);
        bytes = static_cast<DWORD>(lpOverlapped->InternalHigh);
    }
    KernelRelease(file);
    if (status == STATUS_PENDING) {
        SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
    if (lpNumberOfBytesTransferred != nullptr)
        *lpNumberOfBytesTransferred = bytes;
    SetLastError(status);
    return status == ERROR_SUCCESS ? TRUE : FALSE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod)
{
    FileObject* file = AcquireFile(hFile);
    if (file == nullptr)
        return INVALID_SET_FILE_POINTER;
    int whence;
    switch (dwMoveMethod) {
    case FILE_BEGIN:
        whence = SEEK_SET;
        break;
    case FILE_CURRENT:
        whence = SEEK_CUR;
        break;
    case FILE_END:
        whence = SEEK_END;
        break;
    default:
        Fail(file, ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t distance =
        lpDistanceToMoveHigh != nullptr
            ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                   static_cast<uint32_t>(lDistanceToMove))
            : static_cast<int64_t>(lDistanceToMove);
    off_t before = lseek(file->fd, 0, SEEK_CUR);
    off_t after = lseek(file->fd, static_cast<off_t>(distance), whence);
    if (after < 0) {
        Fail(file, errno == EINVAL ? ERROR_NEGATIVE_SEEK : KernelErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high word the position must fit the low one, else nothing moves.
    if (lpDistanceToMoveHigh == nullptr && static_cast<uint64_t>(after) >= 0xFFFFFFFFull) {
        lseek(file->fd, before, SEEK_SET);
        Fail(file, ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh != nullptr)
        *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(after) >> 32);
    KernelRelease(file);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(static_cast<uint64_t>(after) & 0xFFFFFFFFu);
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    FileObject* file = AcquireFile(hFile);
    if (file == nullptr)
        return INVALID_FILE_SIZE;
    struct stat st;
    if (fstat(file->fd, &st) != 0) {
        Fail(file, KernelErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    KernelRelease(file);
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (lpFileSizeHigh != nullptr)
        *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile)
{
    FileObject* file = AcquireFile(hFile);
    if (file == nullptr)
        return FALSE;
    if (fsync(file->fd) != 0)
        return Fail(file, KernelErrorFromErrno(errno));
    KernelRelease(file);
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName)
{
    std::string path;
    if (!KernelMapPath(lpFileName, path))
        return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        SetLastError(KernelErrorFromErrno(errno, &path));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & 0222) == 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    SetLastError(ERROR_SUCCESS);
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    std::string path;
    if (!KernelMapPath(lpFileName, path))
        return FALSE;
    if (unlink(path.c_str()) != 0) {
        SetLastError(KernelErrorFromErrno(errno, &path));
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    std::string from;
    std::string to;
    if (!KernelMapPath(lpExistingFileName, from) || !KernelMapPath(lpNewFileName, to))
        return FALSE;
    struct stat st;
    if ((dwFlags & MOVEFILE_REPLACE_EXISTING) == 0 && stat(to.c_str(), &st) == 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (rename(from.c_str(), to.c_str()) != 0) {
        SetLastError(KernelErrorFromErrno(errno, &from));
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
