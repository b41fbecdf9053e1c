// Storage of the replacement map in the COM task allocator.
#include "registrar/replacement_map.h"

#include <cstring>

#include "common/unique_any.h"

namespace {

unique_cotaskmem CopyText(LPCWSTR text) noexcept {
    const size_t bytes = (static_cast<size_t>(lstrlenW(text)) + 1) * sizeof(WCHAR);
    unique_cotaskmem copy(CoTaskMemAlloc(bytes));
    if (copy) std::memcpy(copy.get(), text, bytes);
    return copy;
}

// Grows an array of text pointers by one entry; false leaves it as it was.
bool GrowByOne(LPWSTR*& array, size_t count) noexcept {
    void* grown = CoTaskMemRealloc(array, (count + 1) * sizeof(LPWSTR));
    if (grown == nullptr) return false;
    array = static_cast<LPWSTR*>(grown);
    return true;
}

}  // namespace

bool ReplacementMap::Add(LPCWSTR name, LPCWSTR value) noexcept {
    unique_cotaskmem nameCopy = CopyText(name);
    unique_cotaskmem valueCopy = CopyText(value);
    if (!nameCopy || !valueCopy) return false;
    // A names array one entry longer than the count is harmless if the values array cannot grow.
    if (!GrowByOne(names_, count_) || !GrowByOne(values_, count_)) return false;
    names_[count_] = static_cast<LPWSTR>(nameCopy.release());
    values_[count_] = static_cast<LPWSTR>(valueCopy.release());
    ++count_;
    return true;
}

LPCWSTR ReplacementMap::Find(LPCWSTR name) const noexcept {
    for (size_t i = 0; i < count_; ++i) {
        if (lstrcmpiW(names_[i], name) == 0) return values_[i];
    }
    return nullptr;
}

void ReplacementMap::Clear() noexcept {
    for (size_t i = 0; i < count_; ++i) {
        CoTaskMemFree(names_[i]);
        CoTaskMemFree(values_[i]);
    }
    CoTaskMemFree(names_);
    CoTaskMemFree(values_);
    names_ = nullptr;
    values_ = nullptr;
    count_ = 0;
}
