// The toast store of the Wine lane's notification runtime: each toast shown is
// kept below the current user's key of the lane's records, with the fields the
// platform's own store keeps (an id that only grows, the AppUserModelID, the
// UTC time and the XML text as given), so the scenarios read them back.
#include "platform/posix/winrt/toast_store.h"

#include <cstdio>
#include <string>

#include "common/hresult.h"
#include "common/unique_any.h"
#include "tests/wine/wine_records.h"

namespace pal::toast_store {
namespace {

LSTATUS SetText(HKEY key, const wchar_t* name, std::basic_string_view<WCHAR> text) {
    const std::wstring copy(text);  // REG_SZ data ends with its terminator
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(copy.c_str()),
                          static_cast<DWORD>((copy.size() + 1) * sizeof(wchar_t)));
}

std::wstring UtcNow() {
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

}  // namespace

HRESULT Append(std::basic_string_view<WCHAR> appUserModelId, std::basic_string_view<WCHAR> xml, int64_t* id) noexcept {
    try {
        unique_hkey toasts;
        RETURN_IF_WIN32_ERROR(RegCreateKeyExW(HKEY_CURRENT_USER, wine_records::kToasts, 0, nullptr, 0, KEY_ALL_ACCESS,
                                              nullptr, toasts.put(), nullptr));
        DWORD existing = 0;
        RETURN_IF_WIN32_ERROR(RegQueryInfoKeyW(toasts.get(), nullptr, nullptr, nullptr, &existing, nullptr, nullptr,
                                               nullptr, nullptr, nullptr, nullptr, nullptr));
        // The first id not taken: a key that already exists belongs to a racing Show.
        for (int64_t next = existing + 1;; ++next) {
            wchar_t name[24];
            swprintf(name, 24, L"%08lld", static_cast<long long>(next));
            unique_hkey toast;
            DWORD disposition = 0;
            RETURN_IF_WIN32_ERROR(RegCreateKeyExW(toasts.get(), name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                  toast.put(), &disposition));
            if (disposition != REG_CREATED_NEW_KEY) continue;
            RETURN_IF_WIN32_ERROR(SetText(toast.get(), L"AppUserModelID", appUserModelId));
            RETURN_IF_WIN32_ERROR(SetText(toast.get(), L"Time", UtcNow()));
            RETURN_IF_WIN32_ERROR(SetText(toast.get(), L"Xml", xml));
            if (id != nullptr) *id = next;
            return S_OK;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace pal::toast_store
