// A scratch buffer that lives in place up to a fixed size and comes from the
// COM task allocator beyond it, so small data never touches the heap. Its
// contents are zeroed on allocation.
#pragma once

#include <windows.h>

#include <cstring>

#include "common/unique_any.h"

template <class T, size_t InlineCount> class InlineOrHeapBuffer {
public:
    // False when the heap cannot supply count elements.
    bool Allocate(size_t count) noexcept {
        if (count <= InlineCount) {
            data_ = inline_;
        } else {
            if (count > static_cast<size_t>(-1) / sizeof(T)) return false;
            heap_.reset(CoTaskMemAlloc(count * sizeof(T)));
            if (!heap_) return false;
            data_ = static_cast<T*>(heap_.get());
        }
        std::memset(data_, 0, count * sizeof(T));
        return true;
    }

    T* Data() noexcept { return data_; }

private:
    T inline_[InlineCount];
    unique_cotaskmem heap_;
    T* data_ = nullptr;
};
