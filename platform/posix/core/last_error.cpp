// The thread's last error, kept per thread as on Windows.
#include <windows.h>

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

extern "C" DWORD WINAPI GetLastError() { return lastError; }
extern "C" void WINAPI SetLastError(DWORD code) { lastError = code; }
