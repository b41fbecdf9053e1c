// The registry calls on keys: create, open, close, delete, enumerate, and the
// key's summary. Predefined keys opened with no subkey give themselves back.
#include <windows.h>

#include "platform/posix/registry/call.h"

using namespace pal::registry;

namespace {

constexpr DWORD kKnownCreateOptions =
    REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK | REG_OPTION_BACKUP_RESTORE | REG_OPTION_OPEN_LINK;

LSTATUS CheckCreateOptions(DWORD options, LPWSTR keyClass, const LPSECURITY_ATTRIBUTES security) {
    if ((options & ~kKnownCreateOptions) != 0) return ERROR_INVALID_PARAMETER;
    if (options != REG_OPTION_NON_VOLATILE) return ERROR_NOT_SUPPORTED;  // no volatile keys, links or backup mode
    if (keyClass != nullptr && keyClass[0] != 0) return ERROR_NOT_SUPPORTED;
    if (security != nullptr && security->lpSecurityDescriptor != nullptr) return ERROR_NOT_SUPPORTED;
    return ERROR_SUCCESS;
}

// Hands out a handle for child, or the predefined key itself for an empty path.
LSTATUS Publish(HKEY parent, const KeyPath& path, KeyObject& child, REGSAM granted, PHKEY result) noexcept {
    if (path.empty() && IsPredefinedKey(parent)) {
        *result = parent;
        return ERROR_SUCCESS;
    }
    try {
        child.access = granted;
        *result = AddKeyObject(std::move(child));
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
}

}  // namespace

extern "C" LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                          REGSAM desired, const LPSECURITY_ATTRIBUTES security, PHKEY result,
                                          LPDWORD disposition) {
    if (LSTATUS injected = InjectedFailure(pal::testing::Fault::RegCreateKeyEx)) return injected;
    if (subKey == nullptr || result == nullptr || reserved != 0) return ERROR_INVALID_PARAMETER;
    if (LSTATUS status = CheckCreateOptions(options, keyClass, security); status != ERROR_SUCCESS) return status;
    REGSAM granted = 0;
    if (LSTATUS status = GrantedAccess(desired, granted); status != ERROR_SUCCESS) return status;
    KeyPath path;
    if (LSTATUS status = ParseSubkeyPath(subKey, path); status != ERROR_SUCCESS) return status;
    KeyObject child;
    bool created = false;
    const LSTATUS status = OnKey(key, Access::Write, 0, [&](KeyStore& db, const KeyObject& parent) {
        return CreateBelow(db, parent, path, child, created);
    });
    if (status != ERROR_SUCCESS) return status;
    if (LSTATUS published = Publish(key, path, child, granted, result); published != ERROR_SUCCESS) return published;
    if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
    if (LSTATUS injected = InjectedFailure(pal::testing::Fault::RegOpenKeyEx)) return injected;
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    if (options == REG_OPTION_OPEN_LINK) return ERROR_NOT_SUPPORTED;
    if (options != 0) return ERROR_INVALID_PARAMETER;
    REGSAM granted = 0;
    if (LSTATUS status = GrantedAccess(desired, granted); status != ERROR_SUCCESS) return status;
    KeyPath path;
    if (LSTATUS status = ParseSubkeyPath(subKey, path); status != ERROR_SUCCESS) return status;
    KeyObject child;
    const LSTATUS status = OnKey(key, Access::CachedRead, 0, [&](KeyStore& db, const KeyObject& parent) {
        std::vector<KeyId> layers;
        return OpenBelow(db, parent, path, child, layers);
    });
    if (status != ERROR_SUCCESS) return status;
    return Publish(key, path, child, granted, result);
}

extern "C" LSTATUS WINAPI RegCloseKey(HKEY key) {
    if (LSTATUS injected = InjectedFailure(pal::testing::Fault::RegCloseKey)) return injected;
    if (IsPredefinedKey(key)) return ERROR_SUCCESS;
    return RemoveKeyObject(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

extern "C" LSTATUS WINAPI RegDeleteKeyExW(HKEY key, LPCWSTR subKey, REGSAM desired, DWORD reserved) {
    if (LSTATUS injected = InjectedFailure(pal::testing::Fault::RegDeleteKey)) return injected;
    if (subKey == nullptr || reserved != 0) return ERROR_INVALID_PARAMETER;
    if ((desired & ~static_cast<REGSAM>(KEY_WOW64_RES)) != 0 || (desired & KEY_WOW64_RES) == KEY_WOW64_RES)
        return ERROR_INVALID_PARAMETER;
    KeyPath path;
    if (LSTATUS status = ParseSubkeyPath(subKey, path); status != ERROR_SUCCESS) return status;
    return OnKey(key, Access::Write, 0, [&](KeyStore& db, const KeyObject& parent) {
        KeyObject target;
        std::vector<KeyId> layers;
        if (LSTATUS status = OpenBelow(db, parent, path, target, layers); status != ERROR_SUCCESS) return status;
        // The hives and the classes root are not deletable; the classes view
        // deletes the user's key when there is one, uncovering the machine's.
        if (layers.empty() || (target.classesView && target.path.empty())) return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);
        const KeyId victim = layers.front();
        if (victim == kMachineRoot || victim == kUserRoot || db.HasSubkeys(victim))
            return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);
        db.DeleteKeyRow(victim);
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
}

extern "C" LSTATUS WINAPI RegDeleteKeyW(HKEY key, LPCWSTR subKey) { return RegDeleteKeyExW(key, subKey, 0, 0); }

extern "C" LSTATUS WINAPI RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                                        LPWSTR keyClass, LPDWORD classLength, PFILETIME lastWriteTime) {
    if (name == nullptr || nameLength == nullptr || reserved != nullptr || (keyClass != nullptr && classLength == nullptr))
        return ERROR_INVALID_PARAMETER;
    std::u16string found;
    int64_t written = 0;
    const LSTATUS status = OnKey(key, Access::Read, KEY_ENUMERATE_SUB_KEYS, [&](KeyStore& db, const KeyObject& object) {
        std::vector<KeyId> layers;
        if (LSTATUS resolved = ResolveLayers(db, object, layers); resolved != ERROR_SUCCESS) return resolved;
        std::vector<std::u16string> names = MergedSubkeys(db, layers);
        if (index >= names.size()) return static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS);
        found = std::move(names[index]);
        for (KeyId layer : layers) {
            if (std::optional<KeyId> child = db.FindSubkey(layer, found)) {
                written = db.LastWriteTime(*child);
                break;
            }
        }
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
    if (status != ERROR_SUCCESS) return status;
    if (keyClass != nullptr && *classLength == 0) return ERROR_MORE_DATA;
    if (LSTATUS copied = CopyName(found, name, nameLength); copied != ERROR_SUCCESS) return copied;
    if (keyClass != nullptr) {
        keyClass[0] = 0;
        *classLength = 0;
    }
    StoreFileTime(written, lastWriteTime);
    return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classLength, LPDWORD reserved,
                                           LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength,
                                           LPDWORD values, LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                                           LPDWORD securityDescriptor, PFILETIME lastWriteTime) {
    if (reserved != nullptr || (keyClass != nullptr && classLength == nullptr)) return ERROR_INVALID_PARAMETER;
    DWORD subkeyCount = 0, longestSubkey = 0, valueCount = 0, longestValueName = 0, largestValue = 0;
    int64_t written = 0;
    const LSTATUS status = OnKey(key, Access::Read, KEY_QUERY_VALUE, [&](KeyStore& db, const KeyObject& object) {
        std::vector<KeyId> layers;
        if (LSTATUS resolved = ResolveLayers(db, object, layers); resolved != ERROR_SUCCESS) return resolved;
        // Only what the caller asks for is read: a key's subkey count alone is a common question.
        if (subKeys != nullptr || maxSubKeyLength != nullptr) {
            for (const std::u16string& name : MergedSubkeys(db, layers)) {
                ++subkeyCount;
                longestSubkey = std::max(longestSubkey, static_cast<DWORD>(name.size()));
            }
        }
        if (values != nullptr || maxValueNameLength != nullptr || maxValueLength != nullptr) {
            for (const StoredValue& value : MergedValues(db, layers)) {
                ++valueCount;
                longestValueName = std::max(longestValueName, static_cast<DWORD>(value.name.size()));
                largestValue = std::max(largestValue, static_cast<DWORD>(value.data.size()));
            }
        }
        if (lastWriteTime != nullptr) {
            for (KeyId layer : layers) written = std::max(written, db.LastWriteTime(layer));
        }
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
    if (status != ERROR_SUCCESS) return status;
    if (keyClass != nullptr) {
        if (*classLength == 0) return ERROR_MORE_DATA;
        keyClass[0] = 0;
    }
    if (classLength != nullptr) *classLength = 0;
    if (subKeys != nullptr) *subKeys = subkeyCount;
    if (maxSubKeyLength != nullptr) *maxSubKeyLength = longestSubkey;
    if (maxClassLength != nullptr) *maxClassLength = 0;
    if (values != nullptr) *values = valueCount;
    if (maxValueNameLength != nullptr) *maxValueNameLength = longestValueName;
    if (maxValueLength != nullptr) *maxValueLength = largestValue;
    if (securityDescriptor != nullptr) *securityDescriptor = 0;
    StoreFileTime(written, lastWriteTime);
    return ERROR_SUCCESS;
}
