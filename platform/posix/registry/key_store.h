// Keys and values as rows: the operations the registry calls are made of, on
// one concrete key (by id) inside the caller's transaction. Names keep their
// case; lookups use the platform's case folding.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/registry/database.h"

namespace pal::registry {

using KeyId = int64_t;
constexpr KeyId kMachineRoot = 1;
constexpr KeyId kUserRoot = 2;

struct StoredValue {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// The upper-cased name in big-endian units, so byte order is the platform's
// case-insensitive order.
std::string FoldedName(std::u16string_view name);

bool KeyExists(Connection& db, KeyId key);
std::optional<KeyId> FindSubkey(Connection& db, KeyId parent, std::u16string_view name);
// The key at path below from; matched, when given, counts the names found on the way.
std::optional<KeyId> FindPath(Connection& db, KeyId from, const std::vector<std::u16string>& path,
                              size_t* matched = nullptr);
KeyId CreateSubkey(Connection& db, KeyId parent, std::u16string_view name);
// Creates what is missing along path; reports whether the last key was new.
KeyId CreatePath(Connection& db, KeyId from, const std::vector<std::u16string>& path, bool& created);
std::vector<std::u16string> SubkeyNames(Connection& db, KeyId key);
bool HasSubkeys(Connection& db, KeyId key);
void DeleteKeyRow(Connection& db, KeyId key);  // with its values; the caller checks for subkeys

std::optional<StoredValue> FindValue(Connection& db, KeyId key, std::u16string_view name);
std::vector<StoredValue> Values(Connection& db, KeyId key);
void StoreValue(Connection& db, KeyId key, std::u16string_view name, DWORD type, const BYTE* data, size_t size);
bool RemoveValue(Connection& db, KeyId key, std::u16string_view name);

int64_t LastWriteTime(Connection& db, KeyId key);  // FILETIME ticks

}  // namespace pal::registry
