// Growth of the expanded script text.
#include "registrar/expanded_text.h"

#include <cstring>

namespace {
constexpr size_t kLargestCapacityToDouble = 0x3FFFFFFF;
}

HRESULT ExpandedText::Allocate(size_t capacity) noexcept {
    if (capacity > static_cast<size_t>(-1) / sizeof(WCHAR)) return E_OUTOFMEMORY;
    storage_.reset(CoTaskMemAlloc(capacity * sizeof(WCHAR)));
    if (!storage_) return E_OUTOFMEMORY;
    capacity_ = capacity;
    length_ = 0;
    Units()[0] = 0;
    return S_OK;
}

HRESULT ExpandedText::Append(LPCWSTR units, size_t count) noexcept {
    const size_t needed = length_ + count + 1;
    if (needed >= capacity_) {
        size_t capacity = capacity_;
        while (capacity <= needed) {
            if (capacity > kLargestCapacityToDouble) return E_OUTOFMEMORY;
            capacity *= 2;
        }
        void* grown = CoTaskMemRealloc(storage_.get(), capacity * sizeof(WCHAR));
        if (grown == nullptr) return E_OUTOFMEMORY;
        storage_.release();
        storage_.reset(grown);
        capacity_ = capacity;
    }
    std::memcpy(Units() + length_, units, count * sizeof(WCHAR));
    length_ += count;
    Units()[length_] = 0;
    return S_OK;
}
