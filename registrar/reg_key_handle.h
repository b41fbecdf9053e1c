// An owned registry key of the script interpreter. It closes its key when
// replaced, when closed explicitly and when it goes out of scope; a handle
// made with Borrow wraps a key owned elsewhere and never closes it.
#pragma once

#include <windows.h>

class RegKeyHandle {
public:
    RegKeyHandle() noexcept = default;
    RegKeyHandle(const RegKeyHandle&) = delete;
    RegKeyHandle& operator=(const RegKeyHandle&) = delete;
    ~RegKeyHandle() { CloseKey(); }

    // A wrapper of a root key or of a block's parent key, for one operation.
    static RegKeyHandle Borrow(HKEY key) noexcept { return RegKeyHandle(key); }

    HKEY Get() const noexcept { return key_; }

    // Each returns a Win32 error code, 0 for success. A failed open keeps the current key.
    LONG OpenKey(HKEY parent, LPCWSTR name, REGSAM access) noexcept;
    LONG CreateKey(HKEY parent, LPCWSTR name) noexcept;
    LONG CloseKey() noexcept;
    // Deletes the named subkey of this key with everything below it.
    LONG DeleteKeyTree(LPCWSTR name) noexcept;
    // Deletes the named subkey of this key, which must have no subkeys.
    LONG RemoveSubKey(LPCWSTR name) noexcept;

private:
    explicit RegKeyHandle(HKEY borrowed) noexcept : key_(borrowed), owned_(false) {}
    LONG Adopt(HKEY key, REGSAM access) noexcept;

    HKEY key_ = nullptr;
    REGSAM viewFlags_ = 0;
    bool owned_ = true;
};
