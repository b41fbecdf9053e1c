// The registry's SQLite store: one pooled connection per thread and call, keyed
// by the prefix's database file, and one transaction per registry call. SQLite
// failures travel as StoreError (a Win32 registry code) up to the transaction.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/registry/read_cache.h"
#include "platform/posix/storage/sqlite_database.h"

struct sqlite3;
struct sqlite3_stmt;

namespace pal::registry {

struct StoreError {
    LSTATUS code;
};

// A lookup the read cache cannot answer, in a call that was to be answered
// from it alone: the call is run again in a transaction.
struct CacheMiss {};

class Connection;

// One use of a cached prepared statement; resets it when the use ends.
class Query {
public:
    Query(Connection& connection, const char* sql);
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    ~Query();

    Query& Bind(int index, int64_t value);
    Query& Bind(int index, const void* bytes, size_t size);  // a blob; empty binds a zero-length blob
    Query& Bind(int index, std::u16string_view text) { return Bind(index, text.data(), text.size() * sizeof(char16_t)); }
    Query& Bind(int index, const std::string& bytes) { return Bind(index, bytes.data(), bytes.size()); }

    bool Step();  // true while a row is available
    void Run();   // steps a statement that returns no rows
    int64_t Integer(int column) const;
    std::u16string Text16(int column) const;
    std::vector<BYTE> Bytes(int column) const;
    int64_t Changes() const;

private:
    Connection& connection_;
    sqlite3_stmt* statement_;
};

class Connection {
public:
    explicit Connection(const std::string& file);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    // Runs a statement that returns no rows (BEGIN, ROLLBACK, ...).
    void Execute(const char* sql);
    sqlite3_stmt* Prepared(const char* sql);
    storage::PreparedStatements& Statements() noexcept { return statements_; }
    [[noreturn]] void Fail(int result) const;
    sqlite3* Handle() const noexcept { return database_; }
    int64_t LastInsertedRow() const noexcept;

    // A key this connection found at a fixed place (the classes root of each
    // hive), by slot; 0 while unknown. Key ids are never reused and keys never
    // move, so a remembered key that still exists is still the one at that
    // place. Forgotten when a transaction that changed rows rolls back: what
    // it saw may be gone.
    int64_t& Remembered(size_t slot) { return remembered_.at(slot); }
    void ForgetRemembered() noexcept { remembered_.fill(0); }

    // While a call is answered from the cache alone, lookups read it and any
    // statement throws CacheMiss; while one is recorded, its lookups fill it.
    enum class CacheUse { None, Answer, Record };
    ReadCache& Cache() noexcept { return cache_; }
    CacheUse CacheUseNow() const noexcept { return cacheUse_; }

    // The cache's use for one call: None again when the scope ends, however it ends.
    class CacheUseScope {
    public:
        CacheUseScope(Connection& connection, CacheUse use) noexcept : connection_(connection) {
            connection_.cacheUse_ = use;
        }
        ~CacheUseScope() { connection_.cacheUse_ = CacheUse::None; }
        CacheUseScope(const CacheUseScope&) = delete;
        CacheUseScope& operator=(const CacheUseScope&) = delete;

    private:
        Connection& connection_;
    };

private:
    sqlite3* database_ = nullptr;
    storage::PreparedStatements statements_;
    std::array<int64_t, 2> remembered_{};
    ReadCache cache_;
    CacheUse cacheUse_ = CacheUse::None;
};

// CachedRead: a read that only looks up values and keys, which may be
// answered from what the connection read before while nothing was committed since.
enum class Access { Read, CachedRead, Write };

class KeyStore;

// Runs body in one transaction on the registry's rows: a connection to the
// current prefix's database (BEGIN IMMEDIATE for writes), or the store kept in
// memory. Commits when body returns ERROR_SUCCESS, rolls back otherwise; store
// failures become their code.
LSTATUS InTransaction(Access access, const std::function<LSTATUS(KeyStore&)>& body) noexcept;

}  // namespace pal::registry
