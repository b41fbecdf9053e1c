// The growing output of the script expansion, held in the COM task allocator:
// NUL-terminated after every append, its capacity doubled whenever it fills.
#pragma once

#include <windows.h>

#include <cstddef>
#include <utility>

#include "common/unique_any.h"

class ExpandedText {
public:
    HRESULT Allocate(size_t capacity) noexcept;
    HRESULT Append(LPCWSTR units, size_t count) noexcept;
    // Hands the text over; the object is empty afterwards.
    unique_cotaskmem Release() noexcept { return std::move(storage_); }

private:
    WCHAR* Units() noexcept { return static_cast<WCHAR*>(storage_.get()); }

    unique_cotaskmem storage_;
    size_t capacity_ = 0;
    size_t length_ = 0;
};
