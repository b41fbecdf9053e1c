// RaiseException: the platform's structured exceptions unwind as a C++
// exception, winsdk::RaisedException, which the COM boundary turns into the
// HRESULT it carries. Only non-continuable exceptions are supported, since a
// C++ throw cannot resume.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include <raised_exception.h>

extern "C" void WINAPI RaiseException(DWORD code, DWORD flags, DWORD, const ULONG_PTR*) {
    if ((flags & EXCEPTION_NONCONTINUABLE) == 0) {
        std::fprintf(stderr, "pal: continuable exception 0x%08X is not supported\n", static_cast<unsigned>(code));
        std::abort();
    }
    throw winsdk::RaisedException{code, flags};
}
