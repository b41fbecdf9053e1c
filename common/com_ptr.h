// The one smart pointer for COM interfaces: holds one reference, releases it
// once, and queries for other interfaces by their declared IID.
#pragma once

#include <unknwn.h>

#include <utility>

template <class T> class com_ptr {
public:
    com_ptr() noexcept = default;
    com_ptr(std::nullptr_t) noexcept {}
    com_ptr(const com_ptr& other) noexcept : pointer_(other.pointer_) { AddRefIfAny(); }
    com_ptr(com_ptr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    com_ptr& operator=(com_ptr other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ~com_ptr() { reset(); }

    // Takes over a reference the caller already owns.
    static com_ptr attach(T* pointer) noexcept {
        com_ptr result;
        result.pointer_ = pointer;
        return result;
    }
    // Adds a reference of its own.
    static com_ptr copy(T* pointer) noexcept {
        com_ptr result = attach(pointer);
        result.AddRefIfAny();
        return result;
    }

    T* get() const noexcept { return pointer_; }
    T* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    T** put() noexcept {
        reset();
        return &pointer_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    T* detach() noexcept { return std::exchange(pointer_, nullptr); }

    void reset() noexcept {
        if (T* old = std::exchange(pointer_, nullptr)) old->Release();
    }

    template <class Q> HRESULT query(com_ptr<Q>& result) const noexcept {
        return pointer_->QueryInterface(__uuidof(Q), result.put_void());
    }

private:
    void AddRefIfAny() noexcept {
        if (pointer_) pointer_->AddRef();
    }

    T* pointer_ = nullptr;
};
