// What both stores share: name folding, the time keys are written at, and
// walks along a path of names.
#include "platform/posix/registry/key_store.h"

#include <chrono>

namespace pal::registry {

char16_t FoldedUnit(char16_t unit) noexcept {
    return static_cast<char16_t>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(unit)))));
}

std::string FoldedName(std::u16string_view name) {
    // Written in place, unit by unit: every registry call folds the names it looks up.
    std::string folded(name.size() * 2, '\0');
    for (size_t i = 0; i < name.size(); ++i) {
        const char16_t upper = FoldedUnit(name[i]);
        folded[2 * i] = static_cast<char>(upper >> 8);
        folded[2 * i + 1] = static_cast<char>(upper & 0xFF);
    }
    return folded;
}

// 100-nanosecond ticks since 1601, as FILETIME counts.
int64_t CurrentFileTime() {
    constexpr int64_t kUnixEpochTicks = 116444736000000000LL;
    const auto sinceUnixEpoch = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpochTicks + std::chrono::duration_cast<std::chrono::nanoseconds>(sinceUnixEpoch).count() / 100;
}

std::optional<KeyId> FindPath(KeyStore& db, KeyId from, const std::vector<std::u16string>& path, size_t* matched) {
    std::optional<KeyId> key = from;
    size_t found = 0;
    for (const std::u16string& name : path) {
        key = db.FindSubkey(*key, name);
        if (!key) break;
        ++found;
    }
    if (matched != nullptr) *matched = found;
    return key;
}

KeyId CreatePath(KeyStore& db, KeyId from, const std::vector<std::u16string>& path, bool& created) {
    created = false;
    KeyId key = from;
    for (const std::u16string& name : path) {
        if (std::optional<KeyId> existing = db.FindSubkey(key, name)) {
            key = *existing;
            created = false;
        } else {
            key = db.CreateSubkey(key, name);
            created = true;
        }
    }
    return key;
}

}  // namespace pal::registry
