// The handle table and the calls that apply to every kernel object:
// CloseHandle and WaitForSingleObject.
#include "platform/posix/process/kernel_object.h"

#include <mutex>
#include <unordered_map>

namespace pal {
namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects;
};

// Never destroyed: handles may be closed by static destructors and detached threads.
HandleTable& Table() {
    static HandleTable* table = new HandleTable;
    return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    HANDLE handle = object.get();
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    table.objects.emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) noexcept {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    const auto found = table.objects.find(handle);
    if (found == table.objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return found->second;
}

}  // namespace pal

extern "C" BOOL WINAPI CloseHandle(HANDLE handle) {
    std::shared_ptr<pal::KernelObject> closed;
    {
        auto& table = pal::Table();
        std::lock_guard guard(table.lock);
        const auto found = table.objects.find(handle);
        if (found == table.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        closed = std::move(found->second);
        table.objects.erase(found);
    }
    return TRUE;  // the object goes when its last waiter lets it go
}

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    const auto object = pal::LookupHandle(handle);
    if (!object) return WAIT_FAILED;
    return object->Wait(milliseconds);
}
