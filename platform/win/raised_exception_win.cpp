// Keeps the code of each structured exception raised on a thread, so that the
// COM boundary's catch(...) can return the HRESULT the exception carries.
#include <windows.h>

#include <raised_exception.h>

namespace {

thread_local DWORD lastRaisedCode = static_cast<DWORD>(E_UNEXPECTED);

LONG CALLBACK RecordRaisedException(PEXCEPTION_POINTERS pointers) {
    lastRaisedCode = pointers->ExceptionRecord->ExceptionCode;
    return EXCEPTION_CONTINUE_SEARCH;
}

// Installed before the program's entry point runs.
[[maybe_unused]] const PVOID recorder = AddVectoredExceptionHandler(1, RecordRaisedException);

}  // namespace

namespace winsdk {

DWORD LastRaisedExceptionCode() noexcept { return lastRaisedCode; }

}  // namespace winsdk
