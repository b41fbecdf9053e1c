// Kernel objects behind HANDLEs: events, processes and their threads. A handle
// is the address of its object; the table tells live handles from stale ones,
// and a lookup shares ownership so CloseHandle during a wait stays safe.
#pragma once

#include <windows.h>

#include <memory>

namespace pal {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // WAIT_OBJECT_0 once signalled, WAIT_TIMEOUT after the time-out, or WAIT_FAILED.
    virtual DWORD Wait(DWORD milliseconds) noexcept = 0;
};

// Enters the object in the handle table; returns its handle.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object of a live handle, or null (last error ERROR_INVALID_HANDLE).
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) noexcept;

template <class T> std::shared_ptr<T> LookupHandleAs(HANDLE handle) noexcept {
    auto object = std::dynamic_pointer_cast<T>(LookupHandle(handle));
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

}  // namespace pal
