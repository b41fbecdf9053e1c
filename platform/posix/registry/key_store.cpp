// Row-level registry operations over the keys and key_values tables.
// Rows only change inside the transaction the registry call opened.
#include "platform/posix/registry/key_store.h"

#include <chrono>

namespace pal::registry {
namespace {

// 100-nanosecond ticks since 1601, as FILETIME counts.
int64_t Now() {
    constexpr int64_t kUnixEpochTicks = 116444736000000000LL;
    const auto sinceUnixEpoch = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpochTicks + std::chrono::duration_cast<std::chrono::nanoseconds>(sinceUnixEpoch).count() / 100;
}

void Touch(Connection& db, KeyId key) {
    Query(db, "UPDATE keys SET written = ?2 WHERE id = ?1").Bind(1, key).Bind(2, Now()).Run();
}

}  // namespace

std::string FoldedName(std::u16string_view name) {
    // Written in place, unit by unit: every registry call folds the names it looks up.
    std::string folded(name.size() * 2, '\0');
    for (size_t i = 0; i < name.size(); ++i) {
        const auto upper = static_cast<char16_t>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(name[i])))));
        folded[2 * i] = static_cast<char>(upper >> 8);
        folded[2 * i + 1] = static_cast<char>(upper & 0xFF);
    }
    return folded;
}

bool KeyExists(Connection& db, KeyId key) {
    Query query(db, "SELECT 1 FROM keys WHERE id = ?1");
    return query.Bind(1, key).Step();
}

std::optional<KeyId> FindSubkey(Connection& db, KeyId parent, std::u16string_view name) {
    Query query(db, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
    if (!query.Bind(1, parent).Bind(2, FoldedName(name)).Step()) return std::nullopt;
    return query.Integer(0);
}

std::optional<KeyId> FindPath(Connection& db, KeyId from, const std::vector<std::u16string>& path, size_t* matched) {
    std::optional<KeyId> key = from;
    size_t found = 0;
    for (const std::u16string& name : path) {
        key = FindSubkey(db, *key, name);
        if (!key) break;
        ++found;
    }
    if (matched != nullptr) *matched = found;
    return key;
}

KeyId CreateSubkey(Connection& db, KeyId parent, std::u16string_view name) {
    Query query(db, "INSERT INTO keys(parent, name, folded, written) VALUES (?1, ?2, ?3, ?4)");
    query.Bind(1, parent).Bind(2, name).Bind(3, FoldedName(name)).Bind(4, Now()).Run();
    return db.LastInsertedRow();
}

KeyId CreatePath(Connection& db, KeyId from, const std::vector<std::u16string>& path, bool& created) {
    created = false;
    KeyId key = from;
    for (const std::u16string& name : path) {
        if (std::optional<KeyId> existing = FindSubkey(db, key, name)) {
            key = *existing;
            created = false;
        } else {
            key = CreateSubkey(db, key, name);
            created = true;
        }
    }
    return key;
}

std::vector<std::u16string> SubkeyNames(Connection& db, KeyId key) {
    std::vector<std::u16string> names;
    Query query(db, "SELECT name FROM keys WHERE parent = ?1 ORDER BY folded");
    query.Bind(1, key);
    while (query.Step()) names.push_back(query.Text16(0));
    return names;
}

bool HasSubkeys(Connection& db, KeyId key) {
    Query query(db, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
    return query.Bind(1, key).Step();
}

void DeleteKeyRow(Connection& db, KeyId key) {
    Query(db, "DELETE FROM key_values WHERE key = ?1").Bind(1, key).Run();
    Query(db, "DELETE FROM keys WHERE id = ?1").Bind(1, key).Run();
}

std::optional<StoredValue> FindValue(Connection& db, KeyId key, std::u16string_view name) {
    Query query(db, "SELECT name, type, data FROM key_values WHERE key = ?1 AND folded = ?2");
    if (!query.Bind(1, key).Bind(2, FoldedName(name)).Step()) return std::nullopt;
    return StoredValue{query.Text16(0), static_cast<DWORD>(query.Integer(1)), query.Bytes(2)};
}

std::vector<StoredValue> Values(Connection& db, KeyId key) {
    std::vector<StoredValue> values;
    Query query(db, "SELECT name, type, data FROM key_values WHERE key = ?1 ORDER BY rowid");
    query.Bind(1, key);
    while (query.Step()) values.push_back({query.Text16(0), static_cast<DWORD>(query.Integer(1)), query.Bytes(2)});
    return values;
}

void StoreValue(Connection& db, KeyId key, std::u16string_view name, DWORD type, const BYTE* data, size_t size) {
    // An existing value keeps its place and the case of its name, as Windows does.
    Query query(db,
                "INSERT INTO key_values(key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
                "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data");
    query.Bind(1, key).Bind(2, name).Bind(3, FoldedName(name)).Bind(4, type).Bind(5, data, size).Run();
    Touch(db, key);
}

bool RemoveValue(Connection& db, KeyId key, std::u16string_view name) {
    Query query(db, "DELETE FROM key_values WHERE key = ?1 AND folded = ?2");
    query.Bind(1, key).Bind(2, FoldedName(name)).Run();
    if (query.Changes() == 0) return false;
    Touch(db, key);
    return true;
}

int64_t LastWriteTime(Connection& db, KeyId key) {
    Query query(db, "SELECT written FROM keys WHERE id = ?1");
    return query.Bind(1, key).Step() ? query.Integer(0) : 0;
}

}  // namespace pal::registry
