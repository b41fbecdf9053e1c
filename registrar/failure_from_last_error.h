// The failure a platform call that reported failure leaves behind: the
// HRESULT of the thread's last error, or E_FAIL when no error code was left,
// so that a failed call can never read as success.
#pragma once

#include "common/hresult.h"

inline HRESULT FailureFromLastError() noexcept {
    const HRESULT failure = HResultFromLastError();
    return FAILED(failure) ? failure : E_FAIL;
}
