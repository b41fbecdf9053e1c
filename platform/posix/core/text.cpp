// Text helpers of the user and kernel APIs. Upper-casing follows Unicode's
// simple mappings (the C.UTF-8 locale's table); comparisons fold both sides to
// upper case and compare code units, which is Windows' answer for equality.
// CharNextW steps one UTF-16 code unit and stays on the terminator.
#include <windows.h>

#include <clocale>
#include <cwctype>
#include <locale.h>

#include "platform/posix/core/utf.h"
#include "platform/posix/testing/fault_injection.h"

namespace {

locale_t UnicodeLocale() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return made != static_cast<locale_t>(nullptr) ? made : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    }();
    return locale;
}

WCHAR UpperUnit(WCHAR unit) {
    if (unit < 0x80) return (unit >= u'a' && unit <= u'z') ? static_cast<WCHAR>(unit - 32) : unit;
    if (unit >= 0xD800 && unit <= 0xDFFF) return unit;  // surrogate halves have no case
    const wint_t upper = towupper_l(static_cast<wint_t>(unit), UnicodeLocale());
    return upper <= 0xFFFF ? static_cast<WCHAR>(upper) : unit;
}

}  // namespace

extern "C" LPWSTR WINAPI CharNextW(LPCWSTR position) {
    if (position == nullptr) return nullptr;
    return const_cast<LPWSTR>(*position != 0 ? position + 1 : position);
}

extern "C" LPWSTR WINAPI CharUpperW(LPWSTR text) {
    // A pointer whose high bits are zero carries one character in its low word.
    if ((reinterpret_cast<ULONG_PTR>(text) >> 16) == 0) {
        return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(UpperUnit(static_cast<WCHAR>(reinterpret_cast<ULONG_PTR>(text)))));
    }
    for (WCHAR* p = text; *p != 0; ++p) *p = UpperUnit(*p);
    return text;
}

extern "C" int WINAPI lstrcmpiW(LPCWSTR first, LPCWSTR second) {
    if (first == nullptr || second == nullptr) return first == second ? 0 : (first == nullptr ? -1 : 1);
    for (;; ++first, ++second) {
        const WCHAR a = UpperUnit(*first);
        const WCHAR b = UpperUnit(*second);
        if (a != b) return a < b ? -1 : 1;
        if (a == 0) return 0;
    }
}

extern "C" int WINAPI lstrlenW(LPCWSTR text) {
    if (text == nullptr) return 0;
    int length = 0;
    while (text[length] != 0) ++length;
    return length;
}

// CP_ACP and CP_THREAD_ACP widen each byte (Latin-1); CP_UTF8 decodes UTF-8.
extern "C" int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount,
                                          LPWSTR wide, int wideCount) {
    if (multiByte == nullptr || multiByteCount == 0 || wideCount < 0 || (wide == nullptr && wideCount != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (flags != 0 || (codePage != CP_ACP && codePage != CP_THREAD_ACP && codePage != CP_UTF8)) {
        SetLastError(flags != 0 ? ERROR_INVALID_FLAGS : ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (const DWORD injected = pal::testing::TakeInjectedFailure(pal::testing::Fault::MultiByteToWideChar)) {
        SetLastError(injected);
        return 0;
    }
    const size_t byteCount = multiByteCount < 0 ? std::char_traits<char>::length(multiByte) + 1
                                                : static_cast<size_t>(multiByteCount);
    std::u16string converted;
    if (codePage == CP_UTF8) {
        converted = pal::FromUtf8(std::string_view(multiByte, byteCount));
    } else {
        converted.resize(byteCount);
        for (size_t i = 0; i < byteCount; ++i) converted[i] = static_cast<unsigned char>(multiByte[i]);
    }
    if (wideCount == 0) return static_cast<int>(converted.size());
    if (converted.size() > static_cast<size_t>(wideCount)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::char_traits<WCHAR>::copy(wide, converted.data(), converted.size());
    return static_cast<int>(converted.size());
}
