// String references for the platform calls of delivery and escaping. They live
// on the caller's stack, so each lasts only for the call that uses it.
#include "notify/string_reference.h"

#include <winstring.h>

#include <cstdlib>

#include "common/wide_string.h"

UINT32 CheckedStringLength(size_t measuredLength) {
    if (measuredLength > 0xFFFFFFFEu) RaiseFailure(kTextTooLong);
    return static_cast<UINT32>(measuredLength);
}

void RaiseFailure(HRESULT code) {
    RaiseException(static_cast<DWORD>(code), EXCEPTION_NONCONTINUABLE, 0, nullptr);
    // A non-continuable exception cannot come back here.
    std::abort();
}

StringReference::StringReference(const WCHAR* text) : header_{} {
    const UINT32 length = CheckedStringLength(WideLength(text));
    const HRESULT hr = WindowsCreateStringReference(text, length, &header_, &string_);
    if (FAILED(hr)) RaiseFailure(hr);
}
