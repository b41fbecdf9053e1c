// Unnamed events, manual or automatic reset, as CreateEventW makes them.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/posix/process/kernel_object.h"
#include "platform/posix/testing/fault_injection.h"

namespace pal {
namespace {

class EventObject final : public KernelObject {
public:
    EventObject(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}

    DWORD Wait(DWORD milliseconds) noexcept override {
        std::unique_lock guard(lock_);
        const auto isSignalled = [this] { return signalled_; };
        if (milliseconds == INFINITE) {
            changed_.wait(guard, isSignalled);
        } else if (!changed_.wait_for(guard, std::chrono::milliseconds(milliseconds), isSignalled)) {
            return WAIT_TIMEOUT;
        }
        if (!manualReset_) signalled_ = false;  // an auto-reset event releases one waiter
        return WAIT_OBJECT_0;
    }

    void Set() {
        std::lock_guard guard(lock_);
        signalled_ = true;
        if (manualReset_) changed_.notify_all(); else changed_.notify_one();
    }

    void Reset() {
        std::lock_guard guard(lock_);
        signalled_ = false;
    }

private:
    const bool manualReset_;
    bool signalled_;
    std::mutex lock_;
    std::condition_variable changed_;
};

}  // namespace
}  // namespace pal

extern "C" HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    if (const DWORD code = pal::testing::TakeInjectedFailure(pal::testing::Fault::CreateEvent)) {
        SetLastError(code);
        return nullptr;
    }
    if (name != nullptr) {  // named events would need a namespace shared between processes
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    try {
        return pal::InsertHandle(std::make_shared<pal::EventObject>(manualReset != FALSE, initialState != FALSE));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

extern "C" BOOL WINAPI SetEvent(HANDLE event) {
    const auto object = pal::LookupHandleAs<pal::EventObject>(event);
    if (!object) return FALSE;
    object->Set();
    return TRUE;
}

extern "C" BOOL WINAPI ResetEvent(HANDLE event) {
    const auto object = pal::LookupHandleAs<pal::EventObject>(event);
    if (!object) return FALSE;
    object->Reset();
    return TRUE;
}
