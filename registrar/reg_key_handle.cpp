// Opening, creating, closing and deleting keys for the script interpreter.
// Key deletion goes through RegDeleteKeyExW when the system offers it and
// through RegDeleteKeyW on systems that predate it.
#include "registrar/reg_key_handle.h"

#include <utility>

namespace {

constexpr REGSAM kViewFlags = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
constexpr DWORD kMaxKeyNameUnits = 256;  // 255 units and the NUL

using DeleteKeyExFunction = LSTATUS(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// Looked up once; the outcome holds for the rest of the process.
DeleteKeyExFunction FindDeleteKeyEx() noexcept {
    static const DeleteKeyExFunction found = []() -> DeleteKeyExFunction {
        const HMODULE advapi = GetModuleHandleW(TEXT("Advapi32.dll"));
        if (advapi == nullptr) return nullptr;
        const FARPROC address = GetProcAddress(advapi, "RegDeleteKeyExW");
        // Through a generic function type: the exported address has the declared signature.
        return reinterpret_cast<DeleteKeyExFunction>(reinterpret_cast<void (*)()>(address));
    }();
    return found;
}

}  // namespace

LONG RegKeyHandle::Adopt(HKEY key, REGSAM access) noexcept {
    const LONG closed = CloseKey();
    key_ = key;
    owned_ = true;
    viewFlags_ = access & kViewFlags;
    return closed;
}

LONG RegKeyHandle::OpenKey(HKEY parent, LPCWSTR name, REGSAM access) noexcept {
    HKEY opened = nullptr;
    const LONG code = RegOpenKeyExW(parent, name, 0, access, &opened);
    if (code != ERROR_SUCCESS) return code;
    return Adopt(opened, access);
}

LONG RegKeyHandle::CreateKey(HKEY parent, LPCWSTR name) noexcept {
    constexpr REGSAM access = KEY_READ | KEY_WRITE;
    HKEY created = nullptr;
    DWORD disposition = 0;
    const LONG code = RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &created,
                                      &disposition);
    if (code != ERROR_SUCCESS) return code;
    return Adopt(created, access);
}

LONG RegKeyHandle::CloseKey() noexcept {
    const HKEY key = std::exchange(key_, nullptr);
    if (key == nullptr || !std::exchange(owned_, true)) return ERROR_SUCCESS;
    return RegCloseKey(key);
}

LONG RegKeyHandle::DeleteKeyTree(LPCWSTR name) noexcept {
    RegKeyHandle child;
    LONG code = child.OpenKey(key_, name, KEY_READ | KEY_WRITE | viewFlags_);
    if (code != ERROR_SUCCESS) return code;
    // Index 0 each time: every enumerated subkey is gone before the next enumeration.
    WCHAR subKey[kMaxKeyNameUnits];
    DWORD length = kMaxKeyNameUnits;
    while (RegEnumKeyExW(child.Get(), 0, subKey, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        code = child.DeleteKeyTree(subKey);
        if (code != ERROR_SUCCESS) return code;
        length = kMaxKeyNameUnits;
    }
    child.CloseKey();
    return RemoveSubKey(name);
}

LONG RegKeyHandle::RemoveSubKey(LPCWSTR name) noexcept {
    if (const DeleteKeyExFunction deleteKeyEx = FindDeleteKeyEx()) return deleteKeyEx(key_, name, viewFlags_, 0);
    return RegDeleteKeyW(key_, name);
}
