// The registry kept in this process's memory, for tests and fuzzing: the same
// rows, ids and orders as the prefix's database, one call at a time under one
// lock, and every change a failed call made undone, as a rolled-back
// transaction would be.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/posix/registry/key_store.h"

namespace pal::registry {

class MemoryKeyStore final : public KeyStore {
public:
    MemoryKeyStore();

    // Runs body alone on the store. What it changed stays when it returns
    // ERROR_SUCCESS and is undone when it fails or throws (the exception goes on).
    LSTATUS InTransaction(const std::function<LSTATUS(KeyStore&)>& body);

    // From a mark on, changes are kept in the log after their calls succeed,
    // so that ReturnToMark can undo every call since, in one go.
    void Mark();
    void ReturnToMark();

    bool KeyExists(KeyId key) override;
    std::optional<KeyId> FindSubkey(KeyId parent, std::u16string_view name) override;
    KeyId CreateSubkey(KeyId parent, std::u16string_view name) override;
    std::vector<std::u16string> SubkeyNames(KeyId key) override;
    bool HasSubkeys(KeyId key) override;
    void DeleteKeyRow(KeyId key) override;

    std::optional<StoredValue> FindValue(KeyId key, std::u16string_view name) override;
    std::vector<StoredValue> Values(KeyId key) override;
    void StoreValue(KeyId key, std::u16string_view name, DWORD type, const BYTE* data, size_t size) override;
    bool RemoveValue(KeyId key, std::u16string_view name) override;
    int64_t LastWriteTime(KeyId key) override;

    int64_t& Remembered(size_t slot) override { return remembered_.at(slot); }

    std::vector<KeyRow> KeyRows() override;
    std::vector<ValueRow> ValueRows() override;
    void ReplaceRows(const std::vector<KeyRow>& keys, const std::vector<ValueRow>& values) override;

private:
    struct Value {
        std::u16string folded;
        StoredValue value;
    };
    // Unit by unit, as the database orders its big-endian folded names.
    struct FoldedOrder {
        using is_transparent = void;
        bool operator()(std::u16string_view left, std::u16string_view right) const noexcept;
    };
    using Subkeys = std::map<std::u16string, KeyId, FoldedOrder>;
    struct Key {
        KeyId parent = 0;
        std::u16string name;
        int64_t written = 0;
        Subkeys subkeys;  // by folded name
        std::vector<Value> values;                              // in the order first set
    };
    using Keys = std::unordered_map<KeyId, Key>;

    // One change, with what it takes to undo it.
    struct Change {
        enum class Kind { KeyAdded, KeyRemoved, ValueAdded, ValueReplaced, ValueRemoved };
        Change(Kind what, KeyId where) noexcept : kind(what), key(where) {}

        Kind kind;
        KeyId key;
        size_t place = 0;               // the value's index in its key
        int64_t written = 0;            // the key's time before
        Value value;                    // ValueReplaced, ValueRemoved: the value before
        Keys::node_type removedKey;     // KeyRemoved: the key, and its entry in its parent
        Subkeys::node_type removedEntry;
    };

    void MakeRoomForAChange();  // so that logging the change cannot fail once it is made
    const std::u16string& Folded(std::u16string_view name);  // in a buffer reused by the next call
    Key* Find(KeyId key);
    std::vector<Value>::iterator FindValueIn(Key& key, std::u16string_view name);
    void AddKey(KeyId id, KeyId parent, std::u16string_view name, int64_t written);
    void RemoveKey(KeyId id);
    void EraseValue(KeyId id, Key& key, std::vector<Value>::iterator value, int64_t written);
    void PutValue(KeyId id, std::u16string_view name, DWORD type, const BYTE* data, size_t size, int64_t written);
    void Undo(Change& change) noexcept;
    void UndoFrom(size_t first) noexcept;  // the changes logged from first on, last first

    std::mutex mutex_;
    Keys keys_;
    KeyId nextId_ = kUserRoot + 1;
    std::vector<Change> changes_;
    bool marked_ = false;
    std::u16string foldBuffer_;
    std::array<int64_t, 2> remembered_{};
};

// The process's store while tests keep the registry in memory, else null.
MemoryKeyStore* KeptInMemory() noexcept;
void KeepInMemory(bool inMemory);

}  // namespace pal::registry
