// Critical sections as recursive mutexes: the owner may enter again, as on Windows.
#include <windows.h>

#include "platform/posix/testing/fault_injection.h"

extern "C" BOOL WINAPI InitializeCriticalSectionEx(LPCRITICAL_SECTION cs, DWORD, DWORD flags) {
    if (cs == nullptr || flags != 0) {
        SetLastError(cs == nullptr ? ERROR_INVALID_PARAMETER : ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (const DWORD injected = pal::testing::TakeInjectedFailure(pal::testing::Fault::InitializeCriticalSection)) {
        SetLastError(injected);
        return FALSE;
    }
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    const int error = pthread_mutex_init(&cs->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (error != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    cs->initialized = 1;
    return TRUE;
}

extern "C" void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs) { InitializeCriticalSectionEx(cs, 0, 0); }

extern "C" void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) { pthread_mutex_lock(&cs->mutex); }

extern "C" void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) { pthread_mutex_unlock(&cs->mutex); }

extern "C" void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) {
    if (cs->initialized) {
        pthread_mutex_destroy(&cs->mutex);
        cs->initialized = 0;
    }
}
