// The registry calls on values: set, query, delete and enumerate. Data is kept
// byte for byte as given, whatever its type says, as Windows keeps it.
#include <windows.h>

#include <cstring>

#include "platform/posix/registry/call.h"

using namespace pal::registry;

namespace {

std::u16string_view NameOf(LPCWSTR name) { return name != nullptr ? std::u16string_view(name) : std::u16string_view(); }

// Fills the caller's type, data and size for a found value.
LSTATUS DeliverValue(const StoredValue& value, LPDWORD type, LPBYTE data, LPDWORD size) noexcept {
    if (type != nullptr) *type = value.type;
    if (size == nullptr) return ERROR_SUCCESS;
    const DWORD needed = static_cast<DWORD>(value.data.size());
    if (data != nullptr && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr && needed != 0) std::memcpy(data, value.data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                                         DWORD size) {
    if (LSTATUS injected = InjectedFailure(pal::testing::Fault::RegSetValueEx)) return injected;
    if (reserved != 0) return ERROR_INVALID_PARAMETER;
    if (data == nullptr && size != 0) return ERROR_NOACCESS;
    if (LSTATUS status = CheckValueName(valueName); status != ERROR_SUCCESS) return status;
    return OnKey(key, Access::Write, KEY_SET_VALUE, [&](KeyStore& db, const KeyObject& object) {
        KeyId target = 0;
        if (LSTATUS status = ValueTarget(db, object, target); status != ERROR_SUCCESS) return status;
        db.StoreValue(target, NameOf(valueName), type, data, size);
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}

extern "C" LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                           LPDWORD size) {
    if (reserved != nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_PARAMETER;
    StoredValue found;
    const LSTATUS status = OnKey(key, Access::CachedRead, KEY_QUERY_VALUE, [&](KeyStore& db, const KeyObject& object) {
        return FindMergedValue(db, object, NameOf(valueName), found);
    });
    return status != ERROR_SUCCESS ? status : DeliverValue(found, type, data, size);
}

extern "C" LSTATUS WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    if (LSTATUS injected = InjectedFailure(pal::testing::Fault::RegDeleteValue)) return injected;
    return OnKey(key, Access::Write, KEY_SET_VALUE, [&](KeyStore& db, const KeyObject& object) {
        std::vector<KeyId> layers;
        if (LSTATUS resolved = ResolveLayers(db, object, layers); resolved != ERROR_SUCCESS) return resolved;
        for (KeyId layer : layers) {
            if (db.RemoveValue(layer, NameOf(valueName))) return static_cast<LSTATUS>(ERROR_SUCCESS);
        }
        return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
    });
}

extern "C" LSTATUS WINAPI RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameLength,
                                        LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (valueName == nullptr || valueNameLength == nullptr || reserved != nullptr || (data != nullptr && dataSize == nullptr))
        return ERROR_INVALID_PARAMETER;
    StoredValue found;
    const LSTATUS status = OnKey(key, Access::Read, KEY_QUERY_VALUE, [&](KeyStore& db, const KeyObject& object) {
        std::vector<KeyId> layers;
        if (LSTATUS resolved = ResolveLayers(db, object, layers); resolved != ERROR_SUCCESS) return resolved;
        std::vector<StoredValue> values = MergedValues(db, layers);
        if (index >= values.size()) return static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS);
        found = std::move(values[index]);
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
    if (status != ERROR_SUCCESS) return status;
    if (LSTATUS copied = CopyName(found.name, valueName, valueNameLength); copied != ERROR_SUCCESS) return copied;
    return DeliverValue(found, type, data, dataSize);
}
