// Windows Runtime string references over texts that already exist (literals,
// the caller's XML text, the AppUserModelID). A reference that cannot be made is
// raised as a non-continuable exception carrying its HRESULT, never returned.
#pragma once

#include <hstring.h>
#include <windows.h>

#include <cstddef>

// 0x80070216: a text too long for a 32-bit length.
inline constexpr HRESULT kTextTooLong = static_cast<HRESULT>(0x80070216);

// The measured length as a 32-bit count; above 0xFFFFFFFE (where the length
// plus the terminator no longer fits) it raises kTextTooLong.
UINT32 CheckedStringLength(size_t measuredLength);

[[noreturn]] void RaiseFailure(HRESULT code);

class StringReference {
public:
    // Measured up to the terminating zero.
    explicit StringReference(const WCHAR* text);
    StringReference(const StringReference&) = delete;
    StringReference& operator=(const StringReference&) = delete;

    // Valid while this object and its text live.
    HSTRING Get() const noexcept { return string_; }

private:
    HSTRING_HEADER header_;
    HSTRING string_ = nullptr;
};
