// How a non-continuable exception raised with RaiseException comes back to a COM
// boundary as the HRESULT it carries. On Linux the platform's RaiseException
// throws winsdk::RaisedException. On Windows GCC's catch(...) never sees a
// structured exception, so the body runs inside a frame of the platform's own
// whose exception handler takes it (raised_exception_win.cpp); a code that is
// not a failure HRESULT, or a C++ exception of a type the body does not handle,
// leaves as E_UNEXPECTED: a caught exception never reads as success.
#pragma once

#include <windows.h>

#include <type_traits>

#if defined(_WIN32)
extern "C" HRESULT winsdk_call_guarded(HRESULT (*body)(void* context), void* context);
#endif

namespace winsdk {

struct RaisedException {
    DWORD code;
    DWORD flags;
};

// A code that is not a failure HRESULT never reads as success.
inline HRESULT FailureFromRaised(DWORD code) noexcept {
    return FAILED(static_cast<HRESULT>(code)) ? static_cast<HRESULT>(code) : E_UNEXPECTED;
}

#if defined(_WIN32)
template <class Body> HRESULT GuardRaisedExceptions(Body&& body) noexcept {
    try {
        using Callable = std::remove_reference_t<Body>;
        return winsdk_call_guarded([](void* context) -> HRESULT { return (*static_cast<Callable*>(context))(); },
                                   const_cast<void*>(static_cast<const void*>(&body)));
    } catch (const RaisedException& raised) {
        return FailureFromRaised(raised.code);
    } catch (...) {
        return E_UNEXPECTED;
    }
}
#else
template <class Body> HRESULT GuardRaisedExceptions(Body&& body) noexcept {
    try {
        return body();
    } catch (const RaisedException& raised) {
        return FailureFromRaised(raised.code);
    }
}
#endif

}  // namespace winsdk
