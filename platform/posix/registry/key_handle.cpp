// The handle table. Handles are shared_ptr-owned so a call that raced with
// RegCloseKey on another thread still works on a valid object.
// HKEY_USERS, HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG and HKEY_DYN_DATA have
// no store here and answer ERROR_INVALID_HANDLE, as Windows does for HKEY_DYN_DATA.
#include "platform/posix/registry/key_handle.h"

#include <mutex>
#include <unordered_map>

namespace pal::registry {
namespace {

constexpr REGSAM kPredefinedAccess = KEY_ALL_ACCESS;

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<HKEY, KeyRef> live;
};

// Never destroyed: threads may still close keys while the process exits.
HandleTable& Table() {
    static HandleTable* const table = new HandleTable;
    return *table;
}

KeyRef PredefinedObject(HKEY key) {
    static const KeyRef machine = std::make_shared<const KeyObject>(KeyObject{false, kMachineRoot, {}, kPredefinedAccess, {}});
    static const KeyRef user = std::make_shared<const KeyObject>(KeyObject{false, kUserRoot, {}, kPredefinedAccess, {}});
    static const KeyRef classes = std::make_shared<const KeyObject>(KeyObject{true, 0, {}, kPredefinedAccess, {}});
    if (key == HKEY_LOCAL_MACHINE) return machine;
    if (key == HKEY_CURRENT_USER) return user;
    if (key == HKEY_CLASSES_ROOT) return classes;
    return nullptr;
}

}  // namespace

bool IsPredefinedKey(HKEY key) noexcept {
    const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(key);
    return value >= reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) && value <= reinterpret_cast<ULONG_PTR>(HKEY_DYN_DATA);
}

KeyRef FindKeyObject(HKEY key) noexcept {
    if (IsPredefinedKey(key)) return PredefinedObject(key);
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto found = table.live.find(key);
    return found != table.live.end() ? found->second : nullptr;
}

HKEY AddKeyObject(KeyObject object) {
    KeyRef shared = std::make_shared<const KeyObject>(std::move(object));
    HKEY key = reinterpret_cast<HKEY>(const_cast<KeyObject*>(shared.get()));
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.live.emplace(key, std::move(shared));
    return key;
}

bool RemoveKeyObject(HKEY key) noexcept {
    KeyRef removed;  // released outside the lock
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto found = table.live.find(key);
    if (found == table.live.end()) return false;
    removed = std::move(found->second);
    table.live.erase(found);
    return true;
}

}  // namespace pal::registry
