// The one place where raised failures turn back into HRESULTs: every COM entry
// point runs its body through CallAtComBoundary, so a string-layer error, a
// failed allocation or a platform exception leaves as the code it carries.
#pragma once

#include <raised_exception.h>

#include "common/wide_string.h"

#include <new>

template <class Body> HRESULT CallAtComBoundary(Body&& body) noexcept {
    return winsdk::GuardRaisedExceptions([&]() -> HRESULT {
        try {
            return body();
        } catch (const WideStringError& error) {
            return error.Code();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    });
}
