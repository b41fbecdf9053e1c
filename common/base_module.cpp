// The process's base module record, made during static initialisation. The
// program keeps no log, so a lock that cannot be made is told only to an
// attached debugger, and start-up goes on without the lock.
#include "common/base_module.h"

#include "common/static_order.h"

CAtlBaseModule _AtlBaseModule QUILL_STATIC_ORDER(QUILL_ORDER_BASE_MODULE);

CAtlBaseModule::CAtlBaseModule() noexcept
    : module_(GetModuleHandleW(nullptr)), resource_(module_), lock_{}, lockReady_(false) {
    lockReady_ = InitializeCriticalSectionEx(&lock_, 0, 0) != FALSE;
    if (!lockReady_ && IsDebuggerPresent()) {
        OutputDebugStringW(TEXT("ERROR : Unable to initialize critical section in CAtlBaseModule\n"));
    }
}

CAtlBaseModule::~CAtlBaseModule() {
    if (lockReady_) DeleteCriticalSection(&lock_);
}

HINSTANCE CAtlBaseModule::GetHInstanceAt(int index) noexcept {
    if (lockReady_) EnterCriticalSection(&lock_);
    HINSTANCE found = index == 0 ? resource_ : nullptr;
    if (lockReady_) LeaveCriticalSection(&lock_);
    return found;
}
