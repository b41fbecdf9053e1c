// Keys and values as rows: the operations the registry calls are made of, on
// one concrete key (by id) inside the caller's transaction. Names keep their
// case; lookups use the platform's case folding. Two stores answer them: the
// prefix's database, and one kept in this process's memory for tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pal::registry {

using KeyId = int64_t;
constexpr KeyId kMachineRoot = 1;
constexpr KeyId kUserRoot = 2;

struct StoredValue {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Every row of a store, for the test interface: keys below the hives with
// their parents first, and values in the order their keys list them.
struct KeyRow {
    KeyId id = 0;
    KeyId parent = 0;
    std::u16string name;
    int64_t written = 0;
};
struct ValueRow {
    KeyId key = 0;
    StoredValue value;
};

// A unit upper-cased as the platform compares names.
char16_t FoldedUnit(char16_t unit) noexcept;
// The upper-cased name in big-endian units, so byte order is the platform's
// case-insensitive order.
std::string FoldedName(std::u16string_view name);

// Now, in FILETIME ticks: when a key was last written.
int64_t CurrentFileTime();

class KeyStore {
public:
    virtual ~KeyStore() = default;

    virtual bool KeyExists(KeyId key) = 0;
    virtual std::optional<KeyId> FindSubkey(KeyId parent, std::u16string_view name) = 0;
    // Key ids are never reused: a stale handle must not find a new key.
    virtual KeyId CreateSubkey(KeyId parent, std::u16string_view name) = 0;
    // In the folded order.
    virtual std::vector<std::u16string> SubkeyNames(KeyId key) = 0;
    virtual bool HasSubkeys(KeyId key) = 0;
    virtual void DeleteKeyRow(KeyId key) = 0;  // with its values; the caller checks for subkeys

    virtual std::optional<StoredValue> FindValue(KeyId key, std::u16string_view name) = 0;
    // In the order the values were first set.
    virtual std::vector<StoredValue> Values(KeyId key) = 0;
    // An existing value keeps its place and the case of its name, as Windows does.
    virtual void StoreValue(KeyId key, std::u16string_view name, DWORD type, const BYTE* data, size_t size) = 0;
    virtual bool RemoveValue(KeyId key, std::u16string_view name) = 0;
    virtual int64_t LastWriteTime(KeyId key) = 0;  // FILETIME ticks

    // A key found at a fixed place (the classes root of each hive), by slot; 0
    // while unknown. Key ids are never reused and keys never move, so a
    // remembered key that still exists is still the one at that place.
    virtual int64_t& Remembered(size_t slot) = 0;

    // The test interface's whole-store reads and writes. ReplaceRows keeps the
    // hives and puts back exactly the rows given, with their ids.
    virtual std::vector<KeyRow> KeyRows() = 0;
    virtual std::vector<ValueRow> ValueRows() = 0;
    virtual void ReplaceRows(const std::vector<KeyRow>& keys, const std::vector<ValueRow>& values) = 0;
};

// The key at path below from; matched, when given, counts the names found on the way.
std::optional<KeyId> FindPath(KeyStore& db, KeyId from, const std::vector<std::u16string>& path,
                              size_t* matched = nullptr);
// Creates what is missing along path; reports whether the last key was new.
KeyId CreatePath(KeyStore& db, KeyId from, const std::vector<std::u16string>& path, bool& created);

}  // namespace pal::registry
