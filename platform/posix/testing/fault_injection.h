// Test-only control of the platform: make the next call of a platform function
// fail with a chosen code, as Windows could. Tests arm a fault; the platform
// takes it on the next call. Nothing in the program's own code refers to this.
#pragma once

#include <windows.h>

namespace pal::testing {

enum class Fault {
    InitializeCriticalSection,
    GetModuleFileName,
    CoRegisterClassObject,
    CoResumeClassObjects,
    CreateEvent,
    WindowsCreateStringReference,
    DatabaseCommit,  // a COMMIT of the registry or the toast store; the code is an SQLite result code
    // Registry calls, the Windows Runtime's start, task memory and resources:
    // Win32 codes for the registry and resources, an HRESULT for RoInitialize,
    // any non-zero code for CoTaskMemAlloc and CoTaskMemRealloc (they return null).
    RegCreateKeyEx,
    RegOpenKeyEx,
    RegCloseKey,
    RegSetValueEx,
    RegDeleteValue,
    RegDeleteKey,
    RoInitialize,
    CoTaskMemAlloc,
    CoTaskMemRealloc,
    FindResource,
    LoadResource,
    LoadLibraryEx,
    MultiByteToWideChar,  // a Win32 code
    InboxWrite,           // the toast inbox's write: half the record is written, then this errno
    Count
};

// The next `times` calls of the faulted function fail with code (a Win32 error
// or an HRESULT, as the function reports it). Zero disarms.
void InjectFailure(Fault fault, DWORD code, unsigned times = 1) noexcept;

// The same, after `passed` calls have gone through unharmed: reaches one call
// in the middle of a sequence.
void InjectFailureAfter(Fault fault, unsigned passed, DWORD code, unsigned times = 1) noexcept;

// Called by the platform: returns the armed code and uses one of its times, or 0.
DWORD TakeInjectedFailure(Fault fault) noexcept;

}  // namespace pal::testing
