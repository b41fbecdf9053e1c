// Row-level registry operations over the keys and key_values tables.
#include "platform/posix/registry/sql_key_store.h"

namespace pal::registry {

void SqlKeyStore::Touch(KeyId key) {
    Query(db_, "UPDATE keys SET written = ?2 WHERE id = ?1").Bind(1, key).Bind(2, CurrentFileTime()).Run();
}

bool SqlKeyStore::KeyExists(KeyId key) {
    if (db_.CacheUseNow() == Connection::CacheUse::Answer) {
        if (const bool* known = db_.Cache().KeyExists(key)) return *known;
    }
    Query query(db_, "SELECT 1 FROM keys WHERE id = ?1");
    const bool exists = query.Bind(1, key).Step();
    if (db_.CacheUseNow() == Connection::CacheUse::Record) db_.Cache().PutKeyExists(key, exists);
    return exists;
}

std::optional<KeyId> SqlKeyStore::FindSubkey(KeyId parent, std::u16string_view name) {
    std::string folded = FoldedName(name);
    if (db_.CacheUseNow() == Connection::CacheUse::Answer) {
        if (const std::optional<KeyId>* known = db_.Cache().FindSubkey(parent, folded)) return *known;
    }
    Query query(db_, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
    std::optional<KeyId> found;
    if (query.Bind(1, parent).Bind(2, folded).Step()) found = query.Integer(0);
    if (db_.CacheUseNow() == Connection::CacheUse::Record) db_.Cache().PutSubkey(parent, std::move(folded), found);
    return found;
}

KeyId SqlKeyStore::CreateSubkey(KeyId parent, std::u16string_view name) {
    Query query(db_, "INSERT INTO keys(parent, name, folded, written) VALUES (?1, ?2, ?3, ?4)");
    query.Bind(1, parent).Bind(2, name).Bind(3, FoldedName(name)).Bind(4, CurrentFileTime()).Run();
    return db_.LastInsertedRow();
}

std::vector<std::u16string> SqlKeyStore::SubkeyNames(KeyId key) {
    std::vector<std::u16string> names;
    Query query(db_, "SELECT name FROM keys WHERE parent = ?1 ORDER BY folded");
    query.Bind(1, key);
    while (query.Step()) names.push_back(query.Text16(0));
    return names;
}

bool SqlKeyStore::HasSubkeys(KeyId key) {
    Query query(db_, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
    return query.Bind(1, key).Step();
}

void SqlKeyStore::DeleteKeyRow(KeyId key) {
    Query(db_, "DELETE FROM key_values WHERE key = ?1").Bind(1, key).Run();
    Query(db_, "DELETE FROM keys WHERE id = ?1").Bind(1, key).Run();
}

std::optional<StoredValue> SqlKeyStore::FindValue(KeyId key, std::u16string_view name) {
    std::string folded = FoldedName(name);
    if (db_.CacheUseNow() == Connection::CacheUse::Answer) {
        if (const std::optional<StoredValue>* known = db_.Cache().FindValue(key, folded)) return *known;
    }
    Query query(db_, "SELECT name, type, data FROM key_values WHERE key = ?1 AND folded = ?2");
    std::optional<StoredValue> found;
    if (query.Bind(1, key).Bind(2, folded).Step())
        found = StoredValue{query.Text16(0), static_cast<DWORD>(query.Integer(1)), query.Bytes(2)};
    if (db_.CacheUseNow() == Connection::CacheUse::Record) db_.Cache().PutValue(key, std::move(folded), found);
    return found;
}

std::vector<StoredValue> SqlKeyStore::Values(KeyId key) {
    std::vector<StoredValue> values;
    Query query(db_, "SELECT name, type, data FROM key_values WHERE key = ?1 ORDER BY rowid");
    query.Bind(1, key);
    while (query.Step()) values.push_back({query.Text16(0), static_cast<DWORD>(query.Integer(1)), query.Bytes(2)});
    return values;
}

void SqlKeyStore::StoreValue(KeyId key, std::u16string_view name, DWORD type, const BYTE* data, size_t size) {
    Query query(db_,
                "INSERT INTO key_values(key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
                "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data");
    query.Bind(1, key).Bind(2, name).Bind(3, FoldedName(name)).Bind(4, type).Bind(5, data, size).Run();
    Touch(key);
}

bool SqlKeyStore::RemoveValue(KeyId key, std::u16string_view name) {
    Query query(db_, "DELETE FROM key_values WHERE key = ?1 AND folded = ?2");
    query.Bind(1, key).Bind(2, FoldedName(name)).Run();
    if (query.Changes() == 0) return false;
    Touch(key);
    return true;
}

int64_t SqlKeyStore::LastWriteTime(KeyId key) {
    Query query(db_, "SELECT written FROM keys WHERE id = ?1");
    return query.Bind(1, key).Step() ? query.Integer(0) : 0;
}

std::vector<KeyRow> SqlKeyStore::KeyRows() {
    std::vector<KeyRow> rows;
    // Ids grow, so a parent's row comes before its children's.
    Query query(db_, "SELECT id, parent, name, written FROM keys WHERE parent <> 0 ORDER BY id");
    while (query.Step()) rows.push_back({query.Integer(0), query.Integer(1), query.Text16(2), query.Integer(3)});
    return rows;
}

std::vector<ValueRow> SqlKeyStore::ValueRows() {
    std::vector<ValueRow> rows;
    Query query(db_, "SELECT key, name, type, data FROM key_values ORDER BY key, rowid");
    while (query.Step())
        rows.push_back({query.Integer(0), {query.Text16(1), static_cast<DWORD>(query.Integer(2)), query.Bytes(3)}});
    return rows;
}

void SqlKeyStore::ReplaceRows(const std::vector<KeyRow>& keys, const std::vector<ValueRow>& values) {
    db_.Execute("DELETE FROM key_values");
    db_.Execute("DELETE FROM keys WHERE parent <> 0");
    for (const KeyRow& key : keys) {
        Query(db_, "INSERT INTO keys(id, parent, name, folded, written) VALUES (?1, ?2, ?3, ?4, ?5)")
            .Bind(1, key.id)
            .Bind(2, key.parent)
            .Bind(3, key.name)
            .Bind(4, FoldedName(key.name))
            .Bind(5, key.written)
            .Run();
    }
    for (const ValueRow& row : values) {
        const std::vector<BYTE>& data = row.value.data;
        Query(db_, "INSERT INTO key_values(key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5)")
            .Bind(1, row.key)
            .Bind(2, row.value.name)
            .Bind(3, FoldedName(row.value.name))
            .Bind(4, row.value.type)
            .Bind(5, data.data(), data.size())
            .Run();
    }
}

}  // namespace pal::registry
