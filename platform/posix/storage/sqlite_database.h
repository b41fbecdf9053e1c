// What the prefix's SQLite databases (the registry and the toast store) share:
// files that only their owner may read, SQL text parsed once per connection,
// and transactions that never stay open after a failed commit.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace pal::storage {

struct CloseDatabase {
    void operator()(sqlite3* database) const noexcept;
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

// sqlite3_open_v2 on a database file that is made mode 0600 first, whatever the
// umask, so that SQLite gives its -wal and -shm files the same mode.
int OpenPrivateDatabase(const std::string& path, int flags, sqlite3** database) noexcept;

// A connection's statements, each prepared on its first use and kept until the
// connection closes.
class PreparedStatements {
public:
    explicit PreparedStatements(sqlite3* database) noexcept : database_(database) {}
    ~PreparedStatements() { FinalizeAll(); }
    PreparedStatements(const PreparedStatements&) = delete;
    PreparedStatements& operator=(const PreparedStatements&) = delete;

    // The statement of sql, a string literal (its address is the key), reset and unbound.
    int Prepared(const char* sql, sqlite3_stmt** statement) noexcept;
    // Runs a statement that returns no rows (BEGIN, COMMIT, ...): SQLITE_OK or the failure.
    int Run(const char* sql) noexcept;
    // Every statement goes; the connection can then close.
    void FinalizeAll() noexcept;
    sqlite3* Database() const noexcept { return database_; }

private:
    sqlite3* database_;
    std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

// COMMIT. When it fails the transaction is rolled back, so the connection is
// ready for the next one; the result is the COMMIT's.
int CommitOrRollBack(PreparedStatements& statements) noexcept;

// The database's schema version (PRAGMA user_version): SQLITE_OK or the failure.
int ReadSchemaVersion(PreparedStatements& statements, int& version) noexcept;
int WriteSchemaVersion(PreparedStatements& statements, int version) noexcept;

// Creates the schema unless the database says it has it (user_version at least
// schemaVersion): journal_mode WAL, then the schema text in one write
// transaction. The text must be safe to run over any earlier version's schema,
// which is how a database moves up a version. Opening a database that is set
// up costs one pragma read.
int EnsureSchema(PreparedStatements& statements, const char* schema, int schemaVersion) noexcept;

}  // namespace pal::storage
