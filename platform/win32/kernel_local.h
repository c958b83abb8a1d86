// Private declarations shared by the kernel stand-in's sources: handle objects, path mapping, errno mapping.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/win32/windows.h"

enum class KernelType {
    File,
    Event
};

// Every handle points at one of these. Objects are counted: CloseHandle drops
// the creator's reference, and calls in flight hold their own.
struct KernelObject {
    KernelType type;
    int refs = 1;
    explicit KernelObject(KernelType t) : type(t) {}
    virtual ~KernelObject() = default;
};

struct FileObject : KernelObject {
    int fd = -1;
    bool overlapped = false;
    bool canRead = false;
    bool canWrite = false;
    FileObject() : KernelObject(KernelType::File) {}
    ~FileObject() override;
};

struct EventObject : KernelObject {
    bool manualReset = false;
    bool signalled = false;
    std::condition_variable cv;  // waits on KernelLock()
    EventObject() : KernelObject(KernelType::Event) {}
};

// One lock guards the handle registry, events and pending overlapped records.
std::mutex& KernelLock();

// Registers a new object and returns its handle.
HANDLE KernelRegister(KernelObject* object);
// Takes a reference on the object of the handle when it is live and of the
// type; null with ERROR_INVALID_HANDLE otherwise.
KernelObject* KernelAcquire(HANDLE handle, KernelType type);
void KernelRelease(KernelObject* object);
// Sets an event by handle; ignores handles that are not live events.
void KernelSignalEvent(HANDLE event, bool signalled);
// Called by CloseHandle for a file before it drops the reference: aborts its pending operations.
void KernelCancelPendingIo(FileObject* file);

// Maps a Win32-style path to a Linux path (see StandInMapPath).
bool KernelMapPath(const char* path, std::string& out);
// The name the file system holds for a narrow name: its UTF-16 form back in UTF-8, so that bytes that are not UTF-8
// name the file their U+FFFD names (text.cpp).
std::string KernelFileSystemName(const char* name);
// Whether a name on disk is well-formed UTF-8, the only names a call can reach.
bool KernelIsUtf8(const char* name);
// The Win32 error code for an errno value; `path` refines ENOENT into
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND.
DWORD KernelErrorFromErrno(int error, const std::string* path = nullptr);
