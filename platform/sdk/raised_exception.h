// How a non-continuable exception raised with RaiseException comes back to a COM
// boundary as the HRESULT it carries. On Linux the platform's RaiseException
// throws winsdk::RaisedException; on Windows MinGW-w64's SEH unwinder hands the
// foreign exception to catch(...) and a vectored handler has kept its code.
// Whatever else reaches catch(...) there (a C++ exception of another type is
// raised with GCC's own code, 0x20474343, a success code) leaves as E_UNEXPECTED:
// a caught exception never reads as success.
#pragma once

#include <windows.h>

namespace winsdk {

#if defined(_WIN32)
DWORD LastRaisedExceptionCode() noexcept;

template <class Body> HRESULT GuardRaisedExceptions(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        const HRESULT raised = static_cast<HRESULT>(LastRaisedExceptionCode());
        return FAILED(raised) ? raised : E_UNEXPECTED;
    }
}
#else
struct RaisedException {
    DWORD code;
    DWORD flags;
};

template <class Body> HRESULT GuardRaisedExceptions(Body&& body) noexcept {
    try {
        return body();
    } catch (const RaisedException& raised) {
        return static_cast<HRESULT>(raised.code);
    }
}
#endif

}  // namespace winsdk
