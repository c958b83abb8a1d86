// Kernel handle registry, events and CloseHandle.
#include <new>
#include <unordered_set>

#include "platform/win32/kernel_local.h"

namespace {

std::unordered_set<KernelObject*>& LiveObjects()
{
    static std::unordered_set<KernelObject*> live;
    return live;
}

// Drops one reference; the caller holds KernelLock(). Returns the object when
// it must be deleted (outside the lock, since deleting a file closes it).
KernelObject* DropLocked(KernelObject* object)
{
    object->refs -= 1;
    return object->refs == 0 ? object : nullptr;
}

}  // namespace

std::mutex& KernelLock()
{
    static std::mutex lock;
    return lock;
}

HANDLE KernelRegister(KernelObject* object)
{
    std::lock_guard<std::mutex> guard(KernelLock());
    LiveObjects().insert(object);
    return static_cast<HANDLE>(object);
}

KernelObject* KernelAcquire(HANDLE handle, KernelType type)
{
    std::lock_guard<std::mutex> guard(KernelLock());
    auto* object = static_cast<KernelObject*>(handle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || LiveObjects().count(object) == 0 ||
        object->type != type) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    object->refs += 1;
    return object;
}

void KernelRelease(KernelObject* object)
{
    KernelObject* dead = nullptr;
    {
        std::lock_guard<std::mutex> guard(KernelLock());
        dead = DropLocked(object);
    }
    delete dead;
}

void KernelSignalEvent(HANDLE event, bool signalled)
{
    if (event == nullptr)
        return;
    std::lock_guard<std::mutex> guard(KernelLock());
    auto* object = static_cast<KernelObject*>(event);
    if (LiveObjects().count(object) == 0 || object->type != KernelType::Event)
        return;
    auto* ev = static_cast<EventObject*>(object);
    ev->signalled = signalled;
    if (signalled)
        ev->cv.notify_all();
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    KernelObject* object = nullptr;
    {
        std::lock_guard<std::mutex> guard(KernelLock());
        object = static_cast<KernelObject*>(hObject);
        if (hObject == nullptr || hObject == INVALID_HANDLE_VALUE || LiveObjects().count(object) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        LiveObjects().erase(object);
    }
    if (object->type == KernelType::File)
        KernelCancelPendingIo(static_cast<FileObject*>(object));
    KernelRelease(object);
    return TRUE;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR)
{
    auto* ev = new (std::nothrow) EventObject();
    if (ev == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    ev->manualReset = bManualReset != FALSE;
    ev->signalled = bInitialState != FALSE;
    SetLastError(ERROR_SUCCESS);
    return KernelRegister(ev);
}
