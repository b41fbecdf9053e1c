// Keys by id, each with its subkeys by folded name and its values in order;
// each change made in a call is logged so that a failed call can be undone.
// Undoing never allocates: removed keys are kept as detached nodes, removed
// values by value, and a log entry's room is made before its change.
#include "platform/posix/registry/memory_key_store.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <utility>

namespace pal::registry {

MemoryKeyStore::MemoryKeyStore() {
    keys_[kMachineRoot];
    keys_[kUserRoot];
}

LSTATUS MemoryKeyStore::InTransaction(const std::function<LSTATUS(KeyStore&)>& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t first = changes_.size();
    try {
        const LSTATUS status = body(*this);
        if (status != ERROR_SUCCESS) UndoFrom(first);
        if (!marked_) changes_.clear();
        return status;
    } catch (...) {
        UndoFrom(first);
        throw;
    }
}

void MemoryKeyStore::Mark() {
    std::lock_guard<std::mutex> lock(mutex_);
    changes_.clear();
    marked_ = true;
}

void MemoryKeyStore::ReturnToMark() {
    std::lock_guard<std::mutex> lock(mutex_);
    UndoFrom(0);
}

void MemoryKeyStore::UndoFrom(size_t first) noexcept {
    if (changes_.size() == first) return;
    for (size_t change = changes_.size(); change-- > first;) Undo(changes_[change]);
    changes_.erase(changes_.begin() + static_cast<ptrdiff_t>(first), changes_.end());
    remembered_.fill(0);
}

bool MemoryKeyStore::FoldedOrder::operator()(std::u16string_view left, std::u16string_view right) const noexcept {
    // Through pointers: the fuzz builds check each indexing, in code they trace.
    const char16_t* l = left.data();
    const char16_t* r = right.data();
    for (const char16_t* end = l + std::min(left.size(), right.size()); l != end; ++l, ++r) {
        if (*l != *r) return *l < *r;
    }
    return left.size() < right.size();
}

void MemoryKeyStore::MakeRoomForAChange() {
    if (changes_.size() == changes_.capacity()) changes_.reserve(changes_.capacity() * 2 + 16);
}

const std::u16string& MemoryKeyStore::Folded(std::u16string_view name) {
    foldBuffer_.resize(name.size());
    std::transform(name.begin(), name.end(), foldBuffer_.begin(), FoldedUnit);
    return foldBuffer_;
}

MemoryKeyStore::Key* MemoryKeyStore::Find(KeyId key) {
    const auto found = keys_.find(key);
    return found != keys_.end() ? &found->second : nullptr;
}

std::vector<MemoryKeyStore::Value>::iterator MemoryKeyStore::FindValueIn(Key& key, std::u16string_view name) {
    const std::u16string& folded = Folded(name);
    const FoldedOrder before;
    return std::find_if(key.values.begin(), key.values.end(),
                        [&](const Value& value) { return !before(value.folded, folded) && !before(folded, value.folded); });
}

bool MemoryKeyStore::KeyExists(KeyId key) { return Find(key) != nullptr; }

std::optional<KeyId> MemoryKeyStore::FindSubkey(KeyId parent, std::u16string_view name) {
    Key* key = Find(parent);
    if (key == nullptr) return std::nullopt;
    const auto found = key->subkeys.find(std::u16string_view(Folded(name)));
    if (found == key->subkeys.end()) return std::nullopt;
    return found->second;
}

void MemoryKeyStore::AddKey(KeyId id, KeyId parent, std::u16string_view name, int64_t written) {
    MakeRoomForAChange();
    Key& parentKey = keys_.at(parent);
    Key key;
    key.parent = parent;
    key.name = name;
    key.written = written;
    std::u16string folded = Folded(name);
    const auto [entry, added] = parentKey.subkeys.emplace(std::move(folded), id);
    if (!added) throw std::logic_error("registry: a key of that name is there");
    try {
        keys_.emplace(id, std::move(key));
    } catch (...) {
        parentKey.subkeys.erase(entry);
        throw;
    }
    nextId_ = std::max(nextId_, id + 1);
    changes_.push_back(Change(Change::Kind::KeyAdded, id));
}

KeyId MemoryKeyStore::CreateSubkey(KeyId parent, std::u16string_view name) {
    const KeyId id = nextId_;
    AddKey(id, parent, name, CurrentFileTime());
    return id;
}

std::vector<std::u16string> MemoryKeyStore::SubkeyNames(KeyId key) {
    std::vector<std::u16string> names;
    if (Key* found = Find(key)) {
        names.reserve(found->subkeys.size());
        for (const auto& [folded, id] : found->subkeys) names.push_back(keys_.at(id).name);
    }
    return names;
}

bool MemoryKeyStore::HasSubkeys(KeyId key) {
    const Key* found = Find(key);
    return found != nullptr && !found->subkeys.empty();
}

void MemoryKeyStore::RemoveKey(KeyId id) {
    const Key* key = Find(id);
    if (key == nullptr) return;
    const std::u16string& folded = Folded(key->name);
    MakeRoomForAChange();
    Change change(Change::Kind::KeyRemoved, id);
    auto& siblings = keys_.at(key->parent).subkeys;
    change.removedEntry = siblings.extract(siblings.find(std::u16string_view(folded)));
    change.removedKey = keys_.extract(id);
    changes_.push_back(std::move(change));
}

void MemoryKeyStore::DeleteKeyRow(KeyId key) { RemoveKey(key); }

std::optional<StoredValue> MemoryKeyStore::FindValue(KeyId key, std::u16string_view name) {
    Key* found = Find(key);
    if (found == nullptr) return std::nullopt;
    const auto value = FindValueIn(*found, name);
    if (value == found->values.end()) return std::nullopt;
    return value->value;
}

std::vector<StoredValue> MemoryKeyStore::Values(KeyId key) {
    std::vector<StoredValue> values;
    if (Key* found = Find(key)) {
        values.reserve(found->values.size());
        for (const Value& value : found->values) values.push_back(value.value);
    }
    return values;
}

void MemoryKeyStore::PutValue(KeyId id, std::u16string_view name, DWORD type, const BYTE* data, size_t size,
                              int64_t written) {
    Key* key = Find(id);
    if (key == nullptr) return;  // as an update of no row
    MakeRoomForAChange();
    StoredValue stored{std::u16string(name), type, std::vector<BYTE>(data, data + size)};
    Change change(Change::Kind::ValueAdded, id);
    change.written = key->written;
    if (const auto existing = FindValueIn(*key, name); existing != key->values.end()) {
        stored.name = existing->value.name;
        change.kind = Change::Kind::ValueReplaced;
        change.place = static_cast<size_t>(existing - key->values.begin());
        change.value.value = std::exchange(existing->value, std::move(stored));
    } else {
        change.place = key->values.size();
        key->values.push_back(Value{Folded(name), std::move(stored)});
    }
    key->written = written;
    changes_.push_back(std::move(change));
}

void MemoryKeyStore::StoreValue(KeyId key, std::u16string_view name, DWORD type, const BYTE* data, size_t size) {
    PutValue(key, name, type, data, size, CurrentFileTime());
}

void MemoryKeyStore::EraseValue(KeyId id, Key& key, std::vector<Value>::iterator value, int64_t written) {
    MakeRoomForAChange();
    Change change(Change::Kind::ValueRemoved, id);
    change.place = static_cast<size_t>(value - key.values.begin());
    change.written = key.written;
    change.value = std::move(*value);
    key.values.erase(value);
    key.written = written;
    changes_.push_back(std::move(change));
}

bool MemoryKeyStore::RemoveValue(KeyId id, std::u16string_view name) {
    Key* key = Find(id);
    if (key == nullptr) return false;
    const auto value = FindValueIn(*key, name);
    if (value == key->values.end()) return false;
    EraseValue(id, *key, value, CurrentFileTime());
    return true;
}

int64_t MemoryKeyStore::LastWriteTime(KeyId key) {
    const Key* found = Find(key);
    return found != nullptr ? found->written : 0;
}

void MemoryKeyStore::Undo(Change& change) noexcept {
    switch (change.kind) {
        case Change::Kind::KeyAdded: {
            auto node = keys_.extract(change.key);
            Key& parent = keys_.at(node.mapped().parent);
            for (auto entry = parent.subkeys.begin(); entry != parent.subkeys.end(); ++entry) {
                if (entry->second == change.key) {
                    parent.subkeys.erase(entry);
                    break;
                }
            }
            return;
        }
        case Change::Kind::KeyRemoved:
            keys_.at(change.removedKey.mapped().parent).subkeys.insert(std::move(change.removedEntry));
            keys_.insert(std::move(change.removedKey));
            return;
        case Change::Kind::ValueAdded:
        case Change::Kind::ValueReplaced:
        case Change::Kind::ValueRemoved: {
            Key& key = keys_.at(change.key);
            const auto place = key.values.begin() + static_cast<ptrdiff_t>(change.place);
            if (change.kind == Change::Kind::ValueAdded) {
                key.values.erase(place);
            } else if (change.kind == Change::Kind::ValueReplaced) {
                place->value = std::move(change.value.value);
            } else {
                key.values.insert(place, std::move(change.value));  // where it was: the room is still there
            }
            key.written = change.written;
            return;
        }
    }
}

std::vector<KeyRow> MemoryKeyStore::KeyRows() {
    std::vector<KeyRow> rows;
    for (const auto& [id, key] : keys_) {
        if (key.parent != 0) rows.push_back({id, key.parent, key.name, key.written});
    }
    std::sort(rows.begin(), rows.end(), [](const KeyRow& a, const KeyRow& b) { return a.id < b.id; });
    return rows;
}

std::vector<ValueRow> MemoryKeyStore::ValueRows() {
    std::vector<KeyId> ids;
    for (const auto& [id, key] : keys_) {
        if (!key.values.empty()) ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    std::vector<ValueRow> rows;
    for (KeyId id : ids) {
        for (const Value& value : keys_.at(id).values) rows.push_back({id, value.value});
    }
    return rows;
}

void MemoryKeyStore::ReplaceRows(const std::vector<KeyRow>& keys, const std::vector<ValueRow>& values) {
    // Children first (a key's id is above its parent's), so that no key is removed while it has subkeys.
    std::vector<KeyId> old;
    for (const auto& [id, key] : keys_) {
        if (key.parent != 0) old.push_back(id);
    }
    std::sort(old.begin(), old.end());
    for (auto id = old.rbegin(); id != old.rend(); ++id) RemoveKey(*id);
    for (KeyId hive : {kMachineRoot, kUserRoot}) {
        Key& key = keys_.at(hive);
        while (!key.values.empty()) EraseValue(hive, key, key.values.end() - 1, key.written);
    }
    for (const KeyRow& key : keys) AddKey(key.id, key.parent, key.name, key.written);
    for (const ValueRow& row : values) {
        const std::vector<BYTE>& data = row.value.data;
        PutValue(row.key, row.value.name, row.value.type, data.data(), data.size(), LastWriteTime(row.key));
    }
}

namespace {

std::atomic<MemoryKeyStore*> keptInMemory{nullptr};

}  // namespace

MemoryKeyStore* KeptInMemory() noexcept { return keptInMemory.load(std::memory_order_acquire); }

void KeepInMemory(bool inMemory) {
    // Made once and never destroyed: another thread may still be in a call.
    static MemoryKeyStore* const store = new MemoryKeyStore;
    keptInMemory.store(inMemory ? store : nullptr, std::memory_order_release);
}

}  // namespace pal::registry
